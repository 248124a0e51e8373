// Gomoku on the 19-line board.
#include "BoardTestSupport.h"
#include "app/board/PlayState.h"

namespace miretoka::test {
namespace {

using namespace play;

TEST_F(BoardTest, GomokuAlternatesWithoutNumbersCapturesOrSound) {
  ASSERT_TRUE(Form->RadioButton2()->isChecked());
  Trigger("N7");
  EXPECT_EQ(PlayMode, PlayGomoku);
  EXPECT_TRUE(Form->RadioButton1()->isChecked());  // shown only
  EXPECT_EQ(PlayMode, PlayGomoku);
  EXPECT_EQ(CurrentColor, 1);
  EXPECT_EQ(Panel(1), QStringLiteral("五目並べ中"));
  // White stone at (5,5), surrounded by four black stones, stays.
  Play({P(5, 4), P(5, 5), P(5, 6), P(12, 0), P(4, 5), P(12, 1), P(6, 5)});
  EXPECT_TRUE(Panel(1).isEmpty());
  EXPECT_EQ(Cell(P(5, 4)), 1);
  EXPECT_EQ(Cell(P(5, 5)), 2);
  EXPECT_EQ(Cell(P(6, 5)), 1);
  EXPECT_EQ(Edit1(), QStringLiteral("0"));
  EXPECT_TRUE(CaptureLog.empty());
  for (int k : {P(5, 4), P(5, 5), P(6, 5)}) EXPECT_EQ(Text(k), QStringLiteral(" "));
  EXPECT_EQ(Sounds(), 0);
  EXPECT_EQ(MoveCount, 7);
  EXPECT_EQ(MoveAt(2).Number, 0);
  EXPECT_EQ(MoveAt(2).Color, 2);
}

TEST_F(BoardTest, GomokuFiveInARowGivesNoMessage) {
  Trigger("N7");
  for (int i = 0; i < 5; ++i) {
    Click(P(3 + i, 3));
    Click(P(3 + i, 10));
  }
  EXPECT_TRUE(Messages->Informations.isEmpty());
  EXPECT_TRUE(Panel(0).isEmpty());
  EXPECT_EQ(Sounds(), 0);
  Click(P(15, 15));  // play goes on
  EXPECT_EQ(Cell(P(15, 15)), 1);
}

TEST_F(BoardTest, GomokuChosenTwiceIsLikeOnce) {
  Trigger("N7");
  Click(P(3, 3));
  Trigger("N7");
  EXPECT_EQ(PlayMode, PlayGomoku);
  EXPECT_EQ(CurrentColor, 1);
  Click(P(4, 4));
  EXPECT_EQ(Cell(P(4, 4)), 1);
}

TEST_F(BoardTest, GomokuEndReturnsToNumberedGoWithCaptures) {
  Trigger("N7");
  Play({P(5, 5), P(5, 4), P(4, 5), P(4, 4)});  // black, white, black, white
  Trigger("N8");
  EXPECT_EQ(PlayMode, PlayAlternate);
  EXPECT_TRUE(Panel(1).isEmpty());
  EXPECT_TRUE(Form->RadioButton1()->isChecked());
  // White at (5,4): black (4,4)? no, that is white. Black plays (6,4) and (5,3).
  Click(P(6, 4));
  EXPECT_EQ(Text(P(6, 4)), QStringLiteral("1"));
  Click(P(12, 12));
  Click(P(5, 3));  // (5,4) white: up (5,3) B, down (5,5) B, left (4,4) W, right (6,4) B
  EXPECT_EQ(Cell(P(5, 4)), 2);  // still joined to (4,4), which has liberties
  Click(P(13, 13));
  Click(P(3, 4));
  Click(P(14, 14));
  Click(P(4, 3));  // the white pair has no liberty left
  EXPECT_EQ(Cell(P(5, 4)), 0);
  EXPECT_EQ(Cell(P(4, 4)), 0);
  EXPECT_EQ(Edit1(), QStringLiteral("2"));
}

TEST_F(BoardTest, GomokuStonesAreTakenBack) {
  Trigger("N7");
  Play({P(3, 3), P(4, 4)});
  Press(7);
  EXPECT_EQ(Cell(P(4, 4)), 0);
  EXPECT_EQ(CurrentColor, 2);
  Press(7);
  EXPECT_EQ(MoveCount, 0);
  EXPECT_EQ(CurrentColor, 1);
}

TEST_F(BoardTest, GomokuEndsWithARadioButtonChangingState) {
  Trigger("N7");
  ClickRadio(1);  // shown checked already: its handler does not run
  EXPECT_EQ(PlayMode, PlayGomoku);
  ClickRadio(2);
  EXPECT_EQ(PlayMode, PlayFree);
  Trigger("N7");
  Trigger("N10");
  EXPECT_EQ(PlayMode, PlayAlternate);
}

TEST_F(BoardTest, GomokuLeavesLessonMarksAndStonesAlreadyThere) {
  Click(P(9, 9));  // a free black stone before gomoku
  Form->DrawStone(0, 1, P(2, 2), 23, QStringLiteral("A"));
  Trigger("N7");
  Click(P(3, 3));
  EXPECT_EQ(Text(P(2, 2)), QStringLiteral("A"));
  EXPECT_EQ(Cell(P(9, 9)), 1);
}

}  // namespace
}  // namespace miretoka::test
