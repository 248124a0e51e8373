// The 13-line and 9-line windows: their pixels, captions, menus, status bar
// and clock, and which point a clicked label is.
#include <QAction>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTimer>

#include "SmallBoardTestSupport.h"
#include "app/board/PlayState.h"
#include "app/board/StatusPanels.h"
#include "controls/CuteButton.h"

namespace miretoka::test {
namespace {

using namespace play;

struct TDesign {
  int Lines;
  QPoint Background;
  int BackgroundSize;
  QPoint FirstLine;
  int Length;
  std::vector<std::pair<int, int>> Stars;
};

// The design values of each window, written out rather than computed.
const TDesign Design13{13, {80, 88}, 368, {96, 104}, 336, {{3, 3}, {3, 9}, {9, 3}, {9, 9}, {6, 6}}};
const TDesign Design9{9, {112, 120}, 256, {128, 136}, 224, {{4, 4}}};

void ExpectBoardAtItsPixels(TSmallBoardWindow *w, const TDesign &d) {
  const int n = d.Lines;
  ASSERT_EQ(w->ShapeCount(), 1 + 2 * n + static_cast<int>(d.Stars.size()));
  EXPECT_EQ(w->Shape(1)->geometry(), QRect(d.Background, QSize(d.BackgroundSize, d.BackgroundSize)));
  EXPECT_EQ(w->Shape(1)->Color(), QColor(254, 231, 182));
  for (int r = 0; r < n; ++r) {
    const QRect g = w->Shape(2 + r)->geometry();
    EXPECT_EQ(g.topLeft(), d.FirstLine + QPoint(0, 28 * r)) << r;
    EXPECT_EQ(g.width(), d.Length) << r;
  }
  for (int c = 0; c < n; ++c) {
    const QRect g = w->Shape(2 + n + c)->geometry();
    EXPECT_EQ(g.topLeft(), d.FirstLine + QPoint(28 * c, 0)) << c;
    EXPECT_EQ(g.height(), d.Length + 1) << c;
  }
  for (std::size_t i = 0; i < d.Stars.size(); ++i) {
    TShape *s = w->Shape(2 + 2 * n + static_cast<int>(i));
    EXPECT_EQ(s->Kind(), TShape::TKind::Circle);
    EXPECT_EQ(s->size(), QSize(5, 5));
    const QPoint crossing = d.FirstLine + QPoint(28 * d.Stars[i].first, 28 * d.Stars[i].second);
    EXPECT_EQ(s->geometry().center(), crossing) << i;
  }
  for (int c = 0; c < n; ++c)
    for (int r = 0; r < n; ++r) {
      const int k = c * n + r + 1;
      EXPECT_EQ(w->Image(k)->geometry(), QRect(d.Background + QPoint(2 + 28 * c, 2 + 28 * r), QSize(28, 28))) << k;
      EXPECT_FALSE(w->Image(k)->hasScaledContents()) << k;
      EXPECT_EQ(w->Label(k)->geometry(), QRect(d.Background + QPoint(4 + 28 * c, 10 + 28 * r), QSize(26, 16))) << k;
      EXPECT_EQ(w->Label(k)->alignment(), Qt::AlignHCenter | Qt::AlignTop) << k;
      EXPECT_EQ(w->Label(k)->objectName(), QStringLiteral("Label%1").arg(k));
    }
}

void ExpectMenuItems(TSmallBoardWindow *w, const std::vector<std::pair<const char *, QString>> &items) {
  for (const auto &[name, caption] : items) {
    QAction *a = w->MenuItem(QString::fromLatin1(name));
    ASSERT_NE(a, nullptr) << name;
    EXPECT_EQ(a->text(), caption) << name;
  }
}

TEST_F(SmallBoardTest, ThirteenLineBoardAtItsPixels) {
  ExpectBoardAtItsPixels(Form3.get(), Design13);
  EXPECT_EQ(Form3->Label(1)->pos(), QPoint(84, 98));
  EXPECT_EQ(Form3->Label(14)->pos(), QPoint(112, 98));
  EXPECT_EQ(Form3->Label(169)->pos(), QPoint(84 + 28 * 12, 98 + 28 * 12));
}

TEST_F(SmallBoardTest, NineLineBoardAtItsPixels) {
  ExpectBoardAtItsPixels(Form4.get(), Design9);
  EXPECT_EQ(Form4->Label(1)->pos(), QPoint(116, 130));
  EXPECT_EQ(Form4->Label(81)->pos(), QPoint(116 + 28 * 8, 130 + 28 * 8));
}

TEST_F(SmallBoardTest, EveryLabelGivesItsOwnPointWhileItsWindowIsShown) {
  On13([&] {
    for (int k = 1; k <= 169; ++k) ASSERT_EQ(Form3->PointFromLabel(Form3->Label(k)), k);
  });
  On9([&] {
    for (int k = 1; k <= 81; ++k) ASSERT_EQ(Form4->PointFromLabel(Form4->Label(k)), k);
  });
}

// Alternate clicks on point 1, the bottom of column 0, the top of column 1
// and the last point place black, white, black, white exactly there.
void ExpectClicksLandOnTheirPoints(TSmallBoardWindow *w) {
  const int n = w->Lines();
  const int points[4] = {1, n, n + 1, n * n};
  for (int k : points) SmallBoardTest::ClickOn(w, k);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(Board[static_cast<std::size_t>(points[i] - 1)], i % 2 + 1) << points[i];
    EXPECT_EQ(MoveAt(i + 1).Point, points[i]);
  }
  EXPECT_FALSE(w->Image(n * n)->IsEmpty());
  EXPECT_EQ(w->Label(n * n)->text(), QStringLiteral("4"));
  EXPECT_EQ(MoveCount, 4);
}

TEST_F(SmallBoardTest, ClicksOnFirstLastAndColumnEndLabelsPlaceThere) {
  On13([&] { ExpectClicksLandOnTheirPoints(Form3.get()); });
  On9([&] { ExpectClicksLandOnTheirPoints(Form4.get()); });
}

TEST_F(SmallBoardTest, WindowsCarryTheirCaptionsMenusAndButtons) {
  for (TSmallBoardWindow *w : {static_cast<TSmallBoardWindow *>(Form3.get()), static_cast<TSmallBoardWindow *>(Form4.get())}) {
    EXPECT_EQ(w->windowTitle(), QStringLiteral("ミレトカ"));
    EXPECT_TRUE(w->isModal());
    EXPECT_EQ(w->CuteButton2()->Caption(), QStringLiteral("クリア"));
    EXPECT_EQ(w->RadioButton1()->text(), QStringLiteral("交互"));
    EXPECT_EQ(w->RadioButton2()->text(), QStringLiteral("自由"));
    EXPECT_EQ(w->RadioButton3()->text(), QStringLiteral("終局"));
    EXPECT_EQ(w->GroupBox1()->palette().color(QPalette::Window), QColor(250, 235, 235));
    EXPECT_EQ(w->Edit1()->text(), QStringLiteral("0"));
    EXPECT_EQ(w->Edit2()->text(), QStringLiteral("0"));
    EXPECT_EQ(PanelOf(w, 0), QStringLiteral("始めてください。"));
  }
  EXPECT_EQ(Form3->CuteButton1()->Caption(), QStringLiteral("1手戻し"));
  EXPECT_EQ(Form4->CuteButton1()->Caption(), QStringLiteral("１手戻す"));
  ExpectMenuItems(Form3.get(), {{"Save1", QStringLiteral("保存")},
                                {"N2", QStringLiteral("復元")},
                                {"N3", QStringLiteral("地の計算")},
                                {"N6", QStringLiteral("メイン碁盤へ")},
                                {"Exit1", QStringLiteral("終了")}});
  ExpectMenuItems(Form4.get(),
                  {{"N1", QStringLiteral("地の計算")}, {"N4", QStringLiteral("メイン碁盤へ")}, {"Exit1", QStringLiteral("終了")}});
  EXPECT_EQ(Form4->MenuItem(QStringLiteral("Save1")), nullptr);
  EXPECT_EQ(Form4->MenuItem(QStringLiteral("N2")), nullptr);
  QStringList bar;
  for (QAction *a : Form3->MainMenu1()->actions()) bar << a->text();
  // 棋譜 (game records) follows the adjourned game.
  EXPECT_EQ(bar, QStringList({QStringLiteral("打ち掛け"), QStringLiteral("棋譜"), QStringLiteral("地の計算"),
                              QStringLiteral("メイン碁盤へ"), QStringLiteral("終了")}));
}

TEST_F(SmallBoardTest, NoPlayModeButtonIsCheckedBeforeTheFirstOpening) {
  for (TSmallBoardWindow *w : {static_cast<TSmallBoardWindow *>(Form3.get()), static_cast<TSmallBoardWindow *>(Form4.get())}) {
    EXPECT_FALSE(w->RadioButton1()->isChecked());
    EXPECT_FALSE(w->RadioButton2()->isChecked());
    EXPECT_FALSE(w->RadioButton3()->isChecked());
  }
}

TEST_F(SmallBoardTest, ClockStaysEmptyForTheFirstMinute) {
  static const QRegularExpression clock(QStringLiteral("^\\d\\d/\\d\\d  \\d\\d:\\d\\d (AM|PM)$"));
  ASSERT_EQ(Form3->StatusBar1()->PanelCount(), 3);
  EXPECT_EQ(Form3->StatusBar1()->Panel(0)->width(), 300);
  EXPECT_EQ(Form3->StatusBar1()->Panel(1)->width(), 300);
  EXPECT_TRUE(PanelOf(Form3.get(), 2).isEmpty());
  EXPECT_EQ(Form3->Timer1()->interval(), 60000);
  EXPECT_TRUE(Form3->Timer1()->isActive());
  emit Form3->Timer1()->timeout({});
  EXPECT_TRUE(clock.match(PanelOf(Form3.get(), 2)).hasMatch()) << PanelOf(Form3.get(), 2).toStdString();
  EXPECT_TRUE(PanelOf(Form4.get(), 2).isEmpty());
}

}  // namespace
}  // namespace miretoka::test
