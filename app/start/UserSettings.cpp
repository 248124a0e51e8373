#include "app/start/UserSettings.h"

#include <QSettings>
#include <QStringList>

namespace miretoka {

namespace {
QSettings Store() { return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Miretoka"), QStringLiteral("miretoka")); }
}  // namespace

bool TUserSettings::Coordinates() { return Store().value(QStringLiteral("board/coordinates"), false).toBool(); }
void TUserSettings::SetCoordinates(bool shown) { Store().setValue(QStringLiteral("board/coordinates"), shown); }
bool TUserSettings::Sound() { return Store().value(QStringLiteral("board/sound"), true).toBool(); }
void TUserSettings::SetSound(bool on) { Store().setValue(QStringLiteral("board/sound"), on); }
int TUserSettings::LastLesson() { return Store().value(QStringLiteral("lessons/last"), 0).toInt(); }
void TUserSettings::SetLastLesson(int mnb) { Store().setValue(QStringLiteral("lessons/last"), mnb); }

QSet<int> TUserSettings::FinishedLessons() {
  QSet<int> finished;
  for (const QString &n : Store().value(QStringLiteral("lessons/finished")).toStringList()) finished.insert(n.toInt());
  return finished;
}

void TUserSettings::AddFinishedLesson(int mnb) {
  QStringList list = Store().value(QStringLiteral("lessons/finished")).toStringList();
  if (list.contains(QString::number(mnb))) return;
  list.append(QString::number(mnb));
  Store().setValue(QStringLiteral("lessons/finished"), list);
}

}  // namespace miretoka
