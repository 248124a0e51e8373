#pragma once
// The settings of games against the computer, kept in the program's settings file (tests
// point QSettings at a folder of their own):
//   play/engine             the command that starts a GTP engine, "gnugo --mode gtp" at first
//   play/moveTimeoutSeconds how long the engine may think about one move (120)
//   play/size, play/color, play/handicap, play/komi, play/level   the last game's choices
#include <QString>
#include <QStringList>

namespace miretoka::versus {

inline const char *DefaultEngineCommand = "gnugo --mode gtp";

// What the learner chose in 対局の設定.
struct TGameSettings {
  int Size = 9;          // 9, 13 or 19
  int LearnerColor = 1;  // 1 black, 2 white
  int Handicap = 0;      // 0 to 9; 0 and 1 place no stones
  double Komi = 6.5;
  int Level = 1;         // GNU Go's level, 1 to 10
  QString EngineCommand = QString::fromLatin1(DefaultEngineCommand);
};

// The usual komi: 6.5 in an even game, 0.5 with a handicap.
double DefaultKomi(int handicap);

TGameSettings LoadGameSettings();
void StoreGameSettings(const TGameSettings &settings);
int MoveTimeoutMs();
// Commands other than a move get this long.
inline constexpr int CommandTimeoutMs = 15000;

// Program and arguments of the engine command; GNU Go is given "--level N" unless the
// command names a level itself. An empty program when the command is empty.
struct TEngineLaunch {
  QString Program;
  QStringList Arguments;
};
TEngineLaunch EngineLaunch(const QString &command, int level);

}  // namespace miretoka::versus
