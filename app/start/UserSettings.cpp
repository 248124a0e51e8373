#include "app/start/UserSettings.h"

#include <QSettings>
#include <QStringList>

namespace miretoka {

QSettings ProgramSettings() {
  return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Miretoka"), QStringLiteral("miretoka"));
}

bool TUserSettings::Coordinates() { return ProgramSettings().value(QStringLiteral("board/coordinates"), false).toBool(); }
void TUserSettings::SetCoordinates(bool shown) { ProgramSettings().setValue(QStringLiteral("board/coordinates"), shown); }
bool TUserSettings::Sound() { return ProgramSettings().value(QStringLiteral("board/sound"), true).toBool(); }
void TUserSettings::SetSound(bool on) { ProgramSettings().setValue(QStringLiteral("board/sound"), on); }
int TUserSettings::LastLesson() { return ProgramSettings().value(QStringLiteral("lessons/last"), 0).toInt(); }
void TUserSettings::SetLastLesson(int mnb) { ProgramSettings().setValue(QStringLiteral("lessons/last"), mnb); }

QSet<int> TUserSettings::FinishedLessons() {
  QSet<int> finished;
  for (const QString &n : ProgramSettings().value(QStringLiteral("lessons/finished")).toStringList()) finished.insert(n.toInt());
  return finished;
}

void TUserSettings::AddFinishedLesson(int mnb) {
  QStringList list = ProgramSettings().value(QStringLiteral("lessons/finished")).toStringList();
  if (list.contains(QString::number(mnb))) return;
  list.append(QString::number(mnb));
  ProgramSettings().setValue(QStringLiteral("lessons/finished"), list);
}

}  // namespace miretoka
