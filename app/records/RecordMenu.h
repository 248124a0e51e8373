#pragma once
// The menu "棋譜" of the board windows:
//   開く…            opens an SGF record: a 19-line record on the main board, a 13- or 9-line
//                    one in the window of that size (from the main window it is opened there)
//   保存…            writes the game on this board, with its moves, as SGF
//   打ち掛けの書き出し (main window) → 19路盤 / 13路盤 / 9路盤: the adjourned game of that size
//   最近開いた棋譜    the records opened last (program settings)
// File choices go through ChooseFile, which tests replace.
#include <QObject>
#include <QString>
#include <functional>

class QMenu;
class QMenuBar;

namespace miretoka {

class TDataModule1;
class TForm2;
class TSmallBoardWindow;

namespace records {

class TRecordPlayer;

class TRecordMenu : public QObject {
  Q_OBJECT
 public:
  // The menu of the main window (`small13`, `small9` may be null until they exist).
  TRecordMenu(TForm2 *mainWindow, QMenuBar *bar);
  // The menu of a 13- or 9-line window.
  TRecordMenu(TSmallBoardWindow *window, QMenuBar *bar);

  TRecordPlayer &Player() const { return *FPlayer; }
  QMenu *Menu() const { return FMenu; }

  // Asks for a file: `save` for a file to write (with `suggested` as its name). An empty
  // answer cancels.
  std::function<QString(QWidget *parent, bool save, const QString &suggested)> ChooseFile;

  void OpenCommand();
  void OpenFile(const QString &file);
  void SaveCommand();
  void ExportSavedGame(int size);

 private:
  QWidget *FWindow;
  TForm2 *FMain = nullptr;
  TSmallBoardWindow *FSmall = nullptr;
  TRecordPlayer *FPlayer = nullptr;
  QMenu *FMenu = nullptr;
  QMenu *FRecent = nullptr;

  void Build(QMenuBar *bar);
  void FillRecent();
  int Lines() const;
};

// Hooks for the windows' menu set-up.
void InstallRecordMenu(TForm2 *mainWindow, QMenuBar *bar);
void InstallRecordMenu(TSmallBoardWindow *window, QMenuBar *bar);
// The record menu a window was given (null if none).
TRecordMenu *RecordMenuOf(QWidget *window);

}  // namespace records
}  // namespace miretoka
