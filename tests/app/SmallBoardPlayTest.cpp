// Play on the 13-line and 9-line windows: placement, capture at the edges,
// Shift-click removal, take-back, "クリア", end of game and the territory count.
#include <QLineEdit>
#include <QRadioButton>

#include "SmallBoardTestSupport.h"
#include "app/board/PlayState.h"
#include "controls/CuteButton.h"

namespace miretoka::test {
namespace {

using namespace play;

class SmallBoardPlayTest : public SmallBoardTest {
protected:
  TForm4 *W9() const { return Form4.get(); }
  TForm3 *W13() const { return Form3.get(); }
  static int P9(int c, int r) { return At(9, c, r); }
  static int P13(int c, int r) { return At(13, c, r); }
  void Play9(std::initializer_list<int> points) {
    for (int p : points) ClickOn(W9(), p);
  }
};

TEST_F(SmallBoardPlayTest, StoneOnTheLeftEdgeOfTheNineLineBoardIsCaptured) {
  On9([&] {
    // Black 4, white 5 (left edge, row 4), black 6, white elsewhere, black 14.
    Play9({4, 5, 6, P9(4, 4), 14});
    EXPECT_EQ(Cell(5), 0);
    EXPECT_FALSE(StoneOn(W9(), 5));
    EXPECT_TRUE(W9()->Label(5)->text().isEmpty());
    EXPECT_EQ(W9()->Edit1()->text(), QStringLiteral("1"));
    EXPECT_EQ(W9()->Edit2()->text(), QStringLiteral("0"));
    ASSERT_EQ(CaptureLog.size(), 1u);
    EXPECT_EQ(CaptureLog[0].MoveKey, 5);
    EXPECT_EQ(CaptureLog[0].StoneNumber, 5);
    EXPECT_EQ(CaptureLog[0].Color, 2);
    EXPECT_EQ(CaptureLog[0].Point, 5);
    EXPECT_EQ(W9()->Label(14)->text(), QStringLiteral("5"));
    EXPECT_TRUE(W9()->Label(P9(4, 4))->text().isEmpty());  // only the newest number stays
    EXPECT_EQ(CurrentColor, 2);
    EXPECT_EQ(Sounds(), 5);
  });
}

TEST_F(SmallBoardPlayTest, BottomOfAColumnDoesNotTouchTheTopOfTheNext) {
  On9([&] {
    W9()->RadioButton2()->setChecked(true);
    ASSERT_EQ(PlayMode, PlayFree);
    ClickOn(W9(), 9, Qt::RightButton);   // white in the bottom-left corner
    ClickOn(W9(), 10, Qt::RightButton);  // white at the top of column 1
    ClickOn(W9(), 8);
    EXPECT_EQ(Cell(9), 2);  // still a liberty on the right
    ClickOn(W9(), 18);
    EXPECT_EQ(Cell(9), 0);
    EXPECT_EQ(Cell(10), 2);
    EXPECT_EQ(W9()->Edit1()->text(), QStringLiteral("1"));
    // The bottom-right corner: two black stones take it.
    ClickOn(W9(), 81, Qt::RightButton);
    ClickOn(W9(), 80);
    ClickOn(W9(), 72);
    EXPECT_EQ(Cell(81), 0);
    EXPECT_EQ(W9()->Edit1()->text(), QStringLiteral("2"));
    EXPECT_TRUE(W9()->Label(80)->text().isEmpty());  // free stones carry no number
    EXPECT_EQ(Sounds(), 0);
  });
}

TEST_F(SmallBoardPlayTest, TakeBackRestoresTheCaptureThenRefuses) {
  On9([&] {
    Play9({4, 5, 6, P9(4, 4), 14});
    PressOn(W9()->CuteButton1());
    EXPECT_EQ(Cell(5), 2);
    EXPECT_TRUE(StoneOn(W9(), 5));
    EXPECT_TRUE(W9()->Label(5)->text().isEmpty());  // put back without a number
    EXPECT_EQ(Cell(14), 0);
    EXPECT_FALSE(StoneOn(W9(), 14));
    EXPECT_EQ(W9()->Edit1()->text(), QStringLiteral("0"));
    EXPECT_EQ(W9()->Label(P9(4, 4))->text(), QStringLiteral("4"));
    EXPECT_EQ(CurrentColor, 1);
    EXPECT_EQ(MoveCount, 4);
    EXPECT_TRUE(CaptureLog.empty());
    for (int i = 0; i < 4; ++i) PressOn(W9()->CuteButton1());
    for (int k = 1; k <= 81; ++k) ASSERT_EQ(Cell(k), 0) << k;
    EXPECT_EQ(MoveNumber, 0);
    EXPECT_TRUE(PanelOf(W9(), 0).isEmpty());
    const int before = Sounds();
    PressOn(W9()->CuteButton1());
    EXPECT_EQ(PanelOf(W9(), 0), QStringLiteral("もう戻せません。"));
    EXPECT_EQ(Sounds(), before + 1);
  });
}

TEST_F(SmallBoardPlayTest, ShiftClickTakesAStoneOffForGood) {
  On9([&] {
    Play9({P9(2, 2), P9(6, 6)});
    ClickOn(W9(), P9(6, 6), Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_EQ(Cell(P9(6, 6)), 0);
    EXPECT_FALSE(StoneOn(W9(), P9(6, 6)));
    EXPECT_EQ(W9()->Edit1()->text(), QStringLiteral("1"));
    EXPECT_EQ(MoveCount, 2);
    ClickOn(W9(), P9(2, 2), Qt::RightButton, Qt::ShiftModifier);
    EXPECT_EQ(W9()->Edit2()->text(), QStringLiteral("1"));
    ClickOn(W9(), P9(5, 5), Qt::LeftButton, Qt::ShiftModifier);  // an empty point: nothing
    EXPECT_EQ(Cell(P9(5, 5)), 0);
    EXPECT_EQ(WhiteCaptured + BlackCaptured, 2);
    // Shift with Ctrl is not a removal: the click places a stone.
    ClickOn(W9(), P9(5, 5), Qt::LeftButton, Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_EQ(Cell(P9(5, 5)), 1);
    PressOn(W9()->CuteButton1());  // takes back that stone, not the removed ones
    EXPECT_EQ(Cell(P9(5, 5)), 0);
    EXPECT_EQ(Cell(P9(6, 6)), 0);
    EXPECT_TRUE(W9()->Label(P9(6, 6))->text().isEmpty());  // no number on an empty point
    EXPECT_EQ(W9()->Edit1()->text(), QStringLiteral("1"));
  });
}

TEST_F(SmallBoardPlayTest, OccupiedPointIsRefusedAndGomokuNeverCarriesOver) {
  On13([&] {
    ClickOn(W13(), 20);
    ClickOn(W13(), 20);
    EXPECT_EQ(MoveCount, 1);
    EXPECT_EQ(Cell(20), 1);
  });
  On9([] {});     // "交互" of the 9-line window is checked from now on
  Trigger("N7");  // gomoku on the main board
  On9([&] {
    EXPECT_EQ(PlayMode, PlayAlternate);
    ClickOn(W9(), 41);
    EXPECT_EQ(Cell(41), 1);
    EXPECT_EQ(W9()->Label(41)->text(), QStringLiteral("1"));
  });
}

TEST_F(SmallBoardPlayTest, ClearTwiceOnAnEmptyBoardIsHarmless) {
  On13([&] {
    PressOn(W13()->CuteButton2());
    PressOn(W13()->CuteButton2());
    EXPECT_TRUE(Messages->Errors.isEmpty());
    EXPECT_EQ(PanelOf(W13(), 0), QStringLiteral("始めてください。"));
    EXPECT_EQ(PlayMode, PlayAlternate);
    EXPECT_TRUE(W13()->RadioButton1()->isChecked());
  });
}

TEST_F(SmallBoardPlayTest, ClearEmptiesTheBoardAndKeepsAlternatePlay) {
  On13([&] {
    for (int p : {P13(3, 3), P13(3, 4), P13(4, 3)}) ClickOn(W13(), p);
    PressOn(W13()->CuteButton2());
    for (int k = 1; k <= 169; ++k) {
      ASSERT_EQ(Cell(k), 0) << k;
      ASSERT_FALSE(StoneOn(W13(), k)) << k;
      ASSERT_TRUE(W13()->Label(k)->text().isEmpty()) << k;
    }
    EXPECT_EQ(MoveCount, 0);
    EXPECT_EQ(MoveAt(1).Point, 0);
    EXPECT_EQ(CurrentColor, 1);
    EXPECT_EQ(PlayMode, PlayAlternate);
    ClickOn(W13(), P13(6, 6));
    EXPECT_EQ(W13()->Label(P13(6, 6))->text(), QStringLiteral("1"));
  });
}

TEST_F(SmallBoardPlayTest, ClearInEndOfGameModeSwitchesToFree) {
  On13([&] {
    W13()->RadioButton3()->setChecked(true);
    ASSERT_EQ(PlayMode, PlayEndOfGame);
    ASSERT_EQ(Messages->Informations.size(), 1);
    EXPECT_EQ(Messages->Informations[0], QStringLiteral("手入れの完了を確認してください。ダメ詰めは不要です。"));
    PressOn(W13()->CuteButton2());
    EXPECT_TRUE(W13()->RadioButton2()->isChecked());
    EXPECT_EQ(PlayMode, PlayFree);
  });
}

TEST_F(SmallBoardPlayTest, DeadGroupOnTheNineLineEdgeIsMarkedAndTakenOff) {
  On9([&] {
    W9()->RadioButton2()->setChecked(true);
    for (int p : {P9(0, 0), P9(0, 1), P9(1, 0)}) ClickOn(W9(), p, Qt::RightButton);
    ClickOn(W9(), P9(0, 8));  // a black stone at the bottom of column 0
    ClickOn(W9(), P9(1, 8));
    W9()->RadioButton3()->setChecked(true);
    ClickOn(W9(), P9(0, 1));
    int stars = 0;
    for (int k = 1; k <= 81; ++k) stars += W9()->Label(k)->text() == QStringLiteral("*");
    EXPECT_EQ(stars, 3);
    ClickOn(W9(), P9(0, 8));  // not one of the marked stones: the marks stay
    EXPECT_EQ(W9()->Label(P9(0, 0))->text(), QStringLiteral("*"));
    ClickOn(W9(), P9(1, 0));
    for (int p : {P9(0, 0), P9(0, 1), P9(1, 0)}) EXPECT_EQ(Cell(p), 0) << p;
    EXPECT_EQ(Cell(P9(0, 8)), 1);
    EXPECT_EQ(W9()->Edit1()->text(), QStringLiteral("3"));
    EXPECT_EQ(W9()->Edit2()->text(), QStringLiteral("0"));
  });
}

TEST_F(SmallBoardPlayTest, TerritoryOfANineLineBoardCountedByHand) {
  On9([&] {
    W9()->RadioButton2()->setChecked(true);
    // A black wall on column 3, a white wall on column 5.
    for (int r = 0; r < 9; ++r) {
      ClickOn(W9(), P9(3, r));
      ClickOn(W9(), P9(5, r), Qt::RightButton);
    }
    // A white stone inside black's side, taken off as a prisoner.
    ClickOn(W9(), P9(1, 4), Qt::RightButton);
    ClickOn(W9(), P9(1, 4), Qt::LeftButton, Qt::ShiftModifier);
    ASSERT_EQ(WhiteCaptured, 1);
    const int before = Sounds();
    TriggerOn(W9(), "N1");
    // Columns 0-2 see only black (27 points), columns 6-8 only white (27),
    // column 4 sees both and is neutral; white loses its one prisoner.
    EXPECT_EQ(PanelOf(W9(), 0), QStringLiteral("黒 27 目、白 26 目です。"));
    EXPECT_EQ(Sounds(), before + 1);
  });
}

TEST_F(SmallBoardPlayTest, TerritoryIsCountedInAlternateModeToo) {
  On13([&] {
    ASSERT_EQ(PlayMode, PlayAlternate);
    ClickOn(W13(), P13(3, 3));
    TriggerOn(W13(), "N3");
    // One black stone sees every point of its column and row: those 24 go to
    // black, and every point before them waits for black too.
    EXPECT_TRUE(PanelOf(W13(), 0).startsWith(QStringLiteral("黒 "))) << PanelOf(W13(), 0).toStdString();
    EXPECT_EQ(PanelOf(W13(), 0), QStringLiteral("黒 168 目、白 0 目です。"));
  });
}

}  // namespace
}  // namespace miretoka::test
