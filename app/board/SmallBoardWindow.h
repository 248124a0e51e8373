#pragma once
// TSmallBoardWindow: what the 13-line and the 9-line board windows have in
// common. They are shown modally over the main window and play on the very
// same shared state, with BoardSize and PointCount set to their size by the
// menu item that opens them. No lessons, no gomoku and no marks here; a
// Shift-click takes a stone off as a prisoner.
#include <QDialog>
#include <QString>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "app/board/BoardLayout.h"
#include "app/board/BoardSnapshot.h"
#include "app/board/PlayBoard.h"
#include "app/board/WindowParts.h"

class QAction;
class QGroupBox;
class QLineEdit;
class QMenuBar;
class QRadioButton;
class QTimer;
class TCuteButton;

namespace miretoka {

class TDataModule1;
class TStatusPanels;

class TSmallBoardWindow : public QDialog {
  Q_OBJECT
public:
  ~TSmallBoardWindow() override;

  // --- controls ---
  int Lines() const { return FGeometry.Lines; }
  const TBoardGeometry &Geometry() const { return FGeometry; }
  TPointImage *Image(int k) const { return FBoard->Image(k); }
  TPointLabel *Label(int k) const { return FBoard->Label(k); }
  TShape *Shape(int k) const { return FShapes.at(static_cast<std::size_t>(k)); }
  int ShapeCount() const { return static_cast<int>(FShapes.size()) - 1; }
  QWidget *Client() const { return FClient; }
  QLineEdit *Edit1() const { return FBoard->Edit1(); }
  QLineEdit *Edit2() const { return FBoard->Edit2(); }
  QGroupBox *GroupBox1() const { return FModeBox.GroupBox1; }
  QRadioButton *RadioButton1() const { return FModeBox.Buttons[0]; }
  QRadioButton *RadioButton2() const { return FModeBox.Buttons[1]; }
  QRadioButton *RadioButton3() const { return FModeBox.Buttons[2]; }
  TCuteButton *CuteButton1() const { return FCuteButton1; }
  TCuteButton *CuteButton2() const { return FCuteButton2; }
  TStatusPanels *StatusBar1() const { return FStatusBar1; }
  QMenuBar *MainMenu1() const { return FMainMenu1; }
  QAction *MenuItem(const QString &name) const;
  QTimer *Timer1() const { return FTimer1; }

  // --- board ---
  int PointFromLabel(const TPointLabel *label) const;
  // Draws a stone of code 0 (no number), 1 (number, the previous number
  // cleared) or 2 (number, earlier numbers kept), then captures around it.
  void DrawStone(int moveNumber, int color, int point, int code);
  // The window's clear: empty board, counters reset, "始めてください。".
  void ClearWindow();

  // --- event handlers ---
  void FormCreate();
  void Label1MouseDown(TPointLabel *sender, Qt::MouseButton button, Qt::KeyboardModifiers shift);
  void CuteButton1Click();  // take a move back
  void CuteButton2Click();  // save, clear, keep alternate or free mode
  void RadioButton1Click();
  void RadioButton2Click();
  void RadioButton3Click();
  void Timer1Timer();

  // Coordinates around the board (the main window's 設定 menu switches them).
  void ShowCoordinates(bool shown);
  QWidget *Coordinates() const { return FCoordinates; }

  // The data module whose figure table keeps this board's saved game.
  void SetDataModule(TDataModule1 *dataModule) { FDataModule = dataModule; }

  // Ends the program; replaced by tests.
  std::function<void()> Terminate;

protected:
  TSmallBoardWindow(const char *name, const TBoardGeometry &geometry, const QString &undoCaption,
                    QWidget *parent);

  // Menu commands, reached through each window's own menu items.
  void SaveCommand();      // "保存"
  void RestoreCommand();   // "復元"
  void CountCommand();     // "地の計算"
  void MainBoardCommand(); // "メイン碁盤へ"
  void ExitCommand();      // "終了"

  // A menu item on `menu` (the menu bar or one of its menus) running `command`.
  QAction *AddItem(QWidget *menu, const char *name, const QString &caption, std::function<void()> handler);

  void showEvent(QShowEvent *event) override;

private:
  TBoardGeometry FGeometry;
  QWidget *FClient = nullptr;
  std::vector<TShape *> FShapes;
  std::unique_ptr<TPlayBoard> FBoard;
  TPlayModeBox FModeBox;
  TCuteButton *FCuteButton1 = nullptr;
  TCuteButton *FCuteButton2 = nullptr;
  TStatusPanels *FStatusBar1 = nullptr;
  QMenuBar *FMainMenu1 = nullptr;
  std::map<QString, QAction *> FMenuItems;
  QTimer *FTimer1 = nullptr;
  TDataModule1 *FDataModule = nullptr;
  // The board before each placement and each removal (Shift-click, dead stones):
  // 1手戻す returns to it, removals included.
  TTakeBackStack<TBoardSnapshot> FTakeBack;
  QWidget *FCoordinates = nullptr;
};

}  // namespace miretoka
