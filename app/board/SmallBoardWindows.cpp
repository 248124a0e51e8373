#include "app/board/SmallBoardWindows.h"

#include <QMenu>
#include <QMenuBar>

#include "app/records/RecordMenu.h"

namespace miretoka {

namespace {
// The parts both small boards share: pictures 2 px inside their cell and not
// stretched, labels top-aligned 10 px down, vertical lines one pixel longer.
TBoardGeometry SmallBoard(int lines, QPoint origin) {
  TBoardGeometry g;
  g.Lines = lines;
  g.Origin = origin;
  g.VerticalExtra = 1;
  g.ImageOffset = QPoint(2, 2);
  g.StretchImages = false;
  g.LabelOffset = QPoint(4, 10);
  g.LabelAlignment = Qt::AlignHCenter | Qt::AlignTop;
  return g;
}
}  // namespace

TBoardGeometry TForm3::Design() {
  TBoardGeometry g = SmallBoard(13, QPoint(80, 88));
  g.Stars = {{3, 3}, {3, 9}, {9, 3}, {9, 9}, {6, 6}};
  return g;
}

TForm3::TForm3(QWidget *parent) : TSmallBoardWindow("Form3", Design(), QStringLiteral("1手戻し"), parent) {
  QMenu *n1 = MainMenu1()->addMenu(QStringLiteral("打ち掛け"));
  n1->setObjectName(QStringLiteral("N1"));
  AddItem(n1, "Save1", QStringLiteral("保存"), [this] { Save1Click(); });
  AddItem(n1, "N2", QStringLiteral("復元"), [this] { N2Click(); });
  records::InstallRecordMenu(this, MainMenu1());  // 棋譜
  AddItem(MainMenu1(), "N3", QStringLiteral("地の計算"), [this] { N3Click(); });
  AddItem(MainMenu1(), "N6", QStringLiteral("メイン碁盤へ"), [this] { N6Click(); });
  AddItem(MainMenu1(), "Exit1", QStringLiteral("終了"), [this] { Exit1Click(); });
}

TBoardGeometry TForm4::Design() {
  TBoardGeometry g = SmallBoard(9, QPoint(112, 120));
  g.Stars = {{4, 4}};
  return g;
}

TForm4::TForm4(QWidget *parent) : TSmallBoardWindow("Form4", Design(), QStringLiteral("１手戻す"), parent) {
  records::InstallRecordMenu(this, MainMenu1());  // 棋譜
  AddItem(MainMenu1(), "N1", QStringLiteral("地の計算"), [this] { N1Click(); });
  AddItem(MainMenu1(), "N4", QStringLiteral("メイン碁盤へ"), [this] { N4Click(); });
  AddItem(MainMenu1(), "Exit1", QStringLiteral("終了"), [this] { Exit1Click(); });
}

}  // namespace miretoka
