// TForm2: the comforts around the board - the 設定 menu (coordinates, sounds), the keys
// of the board window and what is remembered between runs.
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QTableView>
#include <QTextBrowser>

#include "app/board/BoardCoordinates.h"
#include "app/board/MainWindow.h"
#include "app/board/PlayState.h"
#include "app/board/SmallBoardWindow.h"
#include "app/board/SmallBoardWindows.h"
#include "app/data/DataModule.h"
#include "app/feedback/ErrorReporter.h"
#include "app/feedback/SoundPlayer.h"
#include "app/start/UserSettings.h"

namespace miretoka {

using namespace play;

void TForm2::BuildSettingsMenu(QMenuBar *bar) {
  QMenu *menu = bar->addMenu(QStringLiteral("設定"));
  menu->setObjectName(QStringLiteral("Settings"));
  menu->menuAction()->setObjectName(QStringLiteral("Settings"));
  FMenuItems[QStringLiteral("Settings")] = menu->menuAction();
  QAction *coordinates = AddItem(menu, "CoordinatesItem", QStringLiteral("座標表示"), &TForm2::CoordinatesItemClick);
  coordinates->setCheckable(true);
  coordinates->setChecked(TUserSettings::Coordinates());
  QAction *sound = AddItem(menu, "SoundItem", QStringLiteral("効果音"), &TForm2::SoundItemClick);
  sound->setCheckable(true);
  sound->setChecked(TUserSettings::Sound());
  SetSoundOn(sound->isChecked());
}

void TForm2::CoordinatesItemClick() {
  const bool shown = MenuItem(QStringLiteral("CoordinatesItem"))->isChecked();
  TUserSettings::SetCoordinates(shown);
  ShowCoordinates(shown);
}

void TForm2::ShowCoordinates(bool shown) {
  if (FCoordinates) FCoordinates->setVisible(shown);
  for (TSmallBoardWindow *w : {static_cast<TSmallBoardWindow *>(FForm3), static_cast<TSmallBoardWindow *>(FForm4)})
    if (w) w->ShowCoordinates(shown);
}

void TForm2::SoundItemClick() {
  const bool on = MenuItem(QStringLiteral("SoundItem"))->isChecked();
  TUserSettings::SetSound(on);
  SetSoundOn(on);
}

void TForm2::SetUpKeys() {
  StepKeys = [this](int direction) { StepLesson(direction); };
  struct TKey {
    QKeySequence Sequence;
    const char *Name;
    std::function<void()> Run;
  };
  const TKey keys[] = {
      {QKeySequence(Qt::Key_Left), "StepBackKey", [this] { if (StepKeys) StepKeys(-1); }},
      {QKeySequence(Qt::Key_Right), "StepForwardKey", [this] { if (StepKeys) StepKeys(+1); }},
      {QKeySequence(Qt::Key_Home), "BasicFigureKey", [this] { if (StepKeys) StepKeys(0); }},
      {QKeySequence(QKeySequence::Undo), "TakeBackKey", [this] { CuteButton7Click(); }},
      // The menu bar from the keyboard: its first menu opens, the arrows go on from there.
      {QKeySequence(Qt::Key_F10), "MenuKey", [this] {
         if (!menuBar()->actions().isEmpty()) menuBar()->setActiveAction(menuBar()->actions().first());
       }},
  };
  for (const TKey &k : keys) {
    auto *shortcut = new QShortcut(k.Sequence, this);
    shortcut->setObjectName(QString::fromLatin1(k.Name));
    const std::function<void()> run = k.Run;
    connect(shortcut, &QShortcut::activated, this, [this, run] { RunHandler(this, run); });
  }
}

void TForm2::StepLesson(int direction) {
  // The keys step a lesson; without one on the board only the take-back has a meaning.
  if (direction < 0)
    CuteButton7Click();
  else if (!FLessonOpen)
    return;
  else if (direction > 0)
    CuteButton5Click();
  else
    CuteButton9Click();
}

void TForm2::ShowLastLesson() {
  // The lesson opened last time: the contents cursor waits on it, marked, unopened (opening
  // it would wipe nothing, but the learner may want the board first).
  const int last = TUserSettings::LastLesson();
  if (!FDataModule || last <= 0 || !FDataModule->KuraQuery1.Active()) return;
  kura::TKuraQuery &q = FDataModule->KuraQuery1;
  if (!q.Locate("MNB", kura::TKuraValue(last))) q.First();
  FDBGrid1->scrollTo(FDBGrid1->model()->index(static_cast<int>(q.RecNo()) - 1, 0));
}

}  // namespace miretoka
