#pragma once
// What the program remembers between runs for its user: whether coordinates are shown,
// whether sounds play, and the lesson opened last. Kept with Qt's settings (an INI file
// in the user's configuration folder); tests point QSettings at a folder of their own.
#include <QSet>
#include <QSettings>
#include <QString>

namespace miretoka {

// The program's one settings file; every part that remembers something between runs uses it.
QSettings ProgramSettings();

class TUserSettings {
public:
  static bool Coordinates();
  static void SetCoordinates(bool shown);
  static bool Sound();
  static void SetSound(bool on);
  // MNB of the lesson opened last; 0 when none was opened yet.
  static int LastLesson();
  static void SetLastLesson(int mnb);
  // The lessons whose recorded sequence (or answer) the learner has followed to its end.
  static QSet<int> FinishedLessons();
  static void AddFinishedLesson(int mnb);
};

}  // namespace miretoka
