#include "app/play/PlaySettings.h"

#include <QFileInfo>
#include <QSettings>

#include "app/start/UserSettings.h"
#include "go/gtp/GtpEngine.h"

namespace miretoka::versus {

double DefaultKomi(int handicap) { return handicap > 0 ? 0.5 : 6.5; }

TGameSettings LoadGameSettings() {
  QSettings s = ProgramSettings();
  TGameSettings g;
  const int size = s.value(QStringLiteral("play/size"), g.Size).toInt();
  if (size == 9 || size == 13 || size == 19) g.Size = size;
  g.LearnerColor = s.value(QStringLiteral("play/color"), 1).toInt() == 2 ? 2 : 1;
  g.Handicap = qBound(0, s.value(QStringLiteral("play/handicap"), 0).toInt(), 9);
  g.Komi = s.value(QStringLiteral("play/komi"), DefaultKomi(g.Handicap)).toDouble();
  g.Level = qBound(1, s.value(QStringLiteral("play/level"), 1).toInt(), 10);
  const QString command = s.value(QStringLiteral("play/engine")).toString().trimmed();
  if (!command.isEmpty()) g.EngineCommand = command;
  return g;
}

void StoreGameSettings(const TGameSettings &g) {
  QSettings s = ProgramSettings();
  s.setValue(QStringLiteral("play/size"), g.Size);
  s.setValue(QStringLiteral("play/color"), g.LearnerColor);
  s.setValue(QStringLiteral("play/handicap"), g.Handicap);
  s.setValue(QStringLiteral("play/komi"), g.Komi);
  s.setValue(QStringLiteral("play/level"), g.Level);
  s.setValue(QStringLiteral("play/engine"), g.EngineCommand);
}

int MoveTimeoutMs() {
  QSettings s = ProgramSettings();
  const double seconds = s.value(QStringLiteral("play/moveTimeoutSeconds"), 120.0).toDouble();
  return static_cast<int>(qBound(0.1, seconds, 3600.0) * 1000);
}

TEngineLaunch EngineLaunch(const QString &command, int level) {
  TEngineLaunch launch;
  const std::vector<std::string> words = go::gtp::SplitCommand(command.toStdString());
  if (words.empty()) return launch;
  launch.Program = QString::fromStdString(words.front());
  for (size_t i = 1; i < words.size(); ++i) launch.Arguments << QString::fromStdString(words[i]);
  const bool gnugo = QFileInfo(launch.Program).fileName().startsWith(QLatin1String("gnugo"));
  if (gnugo && !launch.Arguments.contains(QLatin1String("--level")))
    launch.Arguments << QStringLiteral("--level") << QString::number(level);
  return launch;
}

}  // namespace miretoka::versus
