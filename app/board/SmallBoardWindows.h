#pragma once
// The 13-line window TForm3 and the 9-line window TForm4, shown modally from
// the main window's menu. Everything but their size, the caption of the
// take-back button and their menu bar is TSmallBoardWindow's.
#include "app/board/SmallBoardWindow.h"

namespace miretoka {

// 13 lines: menu "打ち掛け" (保存, 復元), "地の計算", "メイン碁盤へ", "終了".
class TForm3 : public TSmallBoardWindow {
  Q_OBJECT
public:
  explicit TForm3(QWidget *parent = nullptr);
  static TBoardGeometry Design();

  void Save1Click() { SaveCommand(); }
  void N2Click() { RestoreCommand(); }
  void N3Click() { CountCommand(); }
  void N6Click() { MainBoardCommand(); }
  void Exit1Click() { ExitCommand(); }
};

// 9 lines: menu "地の計算", "メイン碁盤へ", "終了"; no saving or restoring from
// the menu, though "クリア" still saves the game before clearing.
class TForm4 : public TSmallBoardWindow {
  Q_OBJECT
public:
  explicit TForm4(QWidget *parent = nullptr);
  static TBoardGeometry Design();

  void N1Click() { CountCommand(); }
  void N4Click() { MainBoardCommand(); }
  void Exit1Click() { ExitCommand(); }
};

}  // namespace miretoka
