#pragma once
// The menu 対局 of the main window: "コンピュータと対局…" asks for the settings of a game
// (対局の設定) and opens the game window of that board size. One game at a time: a new one
// closes the one before.
class QMenuBar;

namespace miretoka {

class TDataModule1;
class TForm2;

namespace versus {

class TComputerGameWindow;

// `dataModule` keeps the adjourned games.
void InstallPlayMenu(TForm2 *mainWindow, TDataModule1 *dataModule, QMenuBar *bar);
// The game window opened last from the menu (null when none is open).
TComputerGameWindow *CurrentGameWindow();

}  // namespace versus
}  // namespace miretoka
