// The three play-mode buttons, dead-stone marking and the territory count.
#include "BoardTestSupport.h"
#include "app/board/PlayRules.h"
#include "app/board/PlayState.h"
#include "app/board/StatusPanels.h"

namespace miretoka::test {
namespace {

using namespace play;

const QString EndGameMessage = QStringLiteral("手入れの完了を確認してください。ダメ詰めは不要です。");

class EndGameTest : public BoardTest {
protected:
  // Free placement: black with the left button, white with the right one.
  void Black(std::initializer_list<int> points) {
    for (int p : points) Click(p, Qt::LeftButton);
  }
  void White(std::initializer_list<int> points) {
    for (int p : points) Click(p, Qt::RightButton);
  }
  int Stars() const {
    int n = 0;
    for (int k = 1; k <= 361; ++k) n += Text(k) == QStringLiteral("*");
    return n;
  }
};

TEST_F(EndGameTest, RadioHandlerRunsOnlyWhenTheButtonBecomesChecked) {
  Black({P(3, 3), P(4, 4)});
  ASSERT_EQ(CurrentColor, 1);
  ClickRadio(1);  // after black free stones, "交互" gives the move to white
  EXPECT_EQ(PlayMode, PlayAlternate);
  EXPECT_EQ(CurrentColor, 2);
  ClickRadio(1);  // already checked: nothing runs
  EXPECT_EQ(CurrentColor, 2);
  Form->RadioButton1()->setChecked(true);  // from code, still checked: nothing
  EXPECT_EQ(CurrentColor, 2);
  Form->RadioButton2()->setChecked(true);  // from code, newly checked: runs
  EXPECT_EQ(PlayMode, PlayFree);
  EXPECT_FALSE(Form->RadioButton1()->isChecked());
  Form->RadioButton1()->setChecked(true);
  EXPECT_EQ(CurrentColor, 1);
}

TEST_F(EndGameTest, EndOfGameAsksToFinishOnceOnly) {
  ClickRadio(3);
  EXPECT_EQ(PlayMode, PlayEndOfGame);
  ASSERT_EQ(Messages->Informations.size(), 1);
  EXPECT_EQ(Messages->Informations[0], EndGameMessage);
  ClickRadio(3);
  Form->RadioButton3()->setChecked(true);
  EXPECT_EQ(Messages->Informations.size(), 1);
}

TEST_F(EndGameTest, BlockOfFourMarkedAndRemovedOnConfirmation) {
  Black({P(5, 5), P(5, 6), P(6, 5), P(6, 6)});
  White({P(10, 10)});
  ClickRadio(3);
  Click(P(5, 5));
  EXPECT_EQ(Stars(), 4);
  for (int p : {P(5, 5), P(5, 6), P(6, 5), P(6, 6)}) EXPECT_EQ(Text(p), QStringLiteral("*"));
  EXPECT_EQ(DeadMarked, 1);
  // A click on another stone or on an empty point changes nothing.
  Click(P(10, 10));
  Click(P(12, 12));
  EXPECT_EQ(Stars(), 4);
  EXPECT_EQ(Cell(P(5, 5)), 1);
  EXPECT_EQ(Cell(P(12, 12)), 0);
  // The confirming click on a marked stone removes the group.
  Click(P(6, 6));
  for (int p : {P(5, 5), P(5, 6), P(6, 5), P(6, 6)}) {
    EXPECT_EQ(Cell(p), 0);
    EXPECT_FALSE(HasStone(p));
    EXPECT_TRUE(Text(p).isEmpty());
  }
  EXPECT_EQ(Edit2(), QStringLiteral("4"));
  EXPECT_EQ(Edit1(), QStringLiteral("0"));
  EXPECT_EQ(DeadMarked, 0);
  EXPECT_EQ(Cell(P(10, 10)), 2);
  // Taking back first brings the removed group back, marked as it was, then the
  // white stone's placement.
  Press(7);
  for (int p : {P(5, 5), P(5, 6), P(6, 5), P(6, 6)}) {
    EXPECT_EQ(Cell(p), 1);
    EXPECT_TRUE(HasStone(p));
  }
  EXPECT_EQ(Edit2(), QStringLiteral("0"));
  EXPECT_EQ(Stars(), 4);
  Press(7);
  EXPECT_EQ(Cell(P(10, 10)), 0);
  EXPECT_EQ(Cell(P(6, 6)), 1);
}

TEST_F(EndGameTest, GroupFollowsTheLinesAndStopsAtOtherColours) {
  // A black chain bent around a corner, a black stone touching only diagonally.
  Black({P(2, 2), P(2, 3), P(3, 3), P(4, 3), P(5, 4)});
  White({P(2, 4), P(3, 2)});
  ClickRadio(3);
  Click(P(2, 2));
  EXPECT_EQ(Stars(), 4);
  EXPECT_EQ(Text(P(5, 4)), QStringLiteral(" "));
  EXPECT_EQ(Text(P(2, 4)), QStringLiteral(" "));
}

TEST_F(EndGameTest, GroupLargerThanFiftyStonesIsMarkedAndRemoved) {
  for (int c = 0; c < 3; ++c)
    for (int r = 0; r < 19; ++r) Click(P(c, r), Qt::RightButton);
  ClickRadio(3);
  Click(P(1, 9));
  EXPECT_EQ(Stars(), 57);
  Click(P(0, 0));
  EXPECT_EQ(Edit1(), QStringLiteral("57"));
  for (int k = 1; k <= 361; ++k) ASSERT_EQ(Cell(k), 0);
}

TEST_F(EndGameTest, UnconfirmedMarkingEndsWithClear) {
  Black({P(5, 5)});
  ClickRadio(3);
  Click(P(5, 5));
  ASSERT_EQ(DeadMarked, 1);
  Press(6);
  EXPECT_EQ(DeadMarked, 0);
  // A stone on the same point afterwards is marked, not taken as a confirmation.
  ClickRadio(2);
  Black({P(5, 5)});
  ClickRadio(3);
  Click(P(5, 5));
  EXPECT_EQ(Cell(P(5, 5)), 1);
  EXPECT_EQ(Text(P(5, 5)), QStringLiteral("*"));
}

TEST_F(EndGameTest, UnconfirmedMarkingEndsWithTakeBackAndRestoresNumbers) {
  Trigger("N10");
  Play({P(3, 3), P(15, 15), P(3, 4)});
  ClickRadio(3);
  Click(P(3, 4));
  ASSERT_EQ(Text(P(3, 4)), QStringLiteral("*"));
  Press(7);  // takes back move 3 and cancels the marking
  EXPECT_EQ(DeadMarked, 0);
  EXPECT_EQ(Cell(P(3, 4)), 0);
  EXPECT_NE(Text(P(3, 3)), QStringLiteral("*"));
  EXPECT_EQ(Text(P(15, 15)), QStringLiteral("2"));
  Click(P(3, 3));  // marks again rather than confirming
  EXPECT_EQ(Cell(P(3, 3)), 1);
  EXPECT_EQ(Text(P(3, 3)), QStringLiteral("*"));
}

TEST_F(EndGameTest, LeavingEndOfGameCancelsTheMarking) {
  Trigger("N10");
  Play({P(3, 3), P(15, 15)});
  ClickRadio(3);
  Click(P(15, 15));
  ASSERT_EQ(Text(P(15, 15)), QStringLiteral("*"));
  ClickRadio(2);
  EXPECT_EQ(DeadMarked, 0);
  EXPECT_EQ(Text(P(15, 15)), QStringLiteral("2"));  // its number is back
  ClickRadio(3);
  Click(P(15, 15));
  EXPECT_EQ(Cell(P(15, 15)), 2);
  EXPECT_EQ(Text(P(15, 15)), QStringLiteral("*"));
}

TEST_F(EndGameTest, OwnerFollowsTheRaysAlongTheLines) {
  Black({P(5, 2)});
  EXPECT_EQ(TerritoryOwner(P(5, 10)), 1);  // black above in its column, nothing else
  White({P(12, 10)});
  EXPECT_EQ(TerritoryOwner(P(5, 10)), 3);  // black above, white to the right
  EXPECT_EQ(TerritoryOwner(P(8, 12)), 0);  // nothing in any direction
  EXPECT_EQ(TerritoryOwner(P(12, 16)), 2);
  // A red-numbered lesson cell is not a stone for the rays.
  Board[P(5, 6) - 1] = -1;
  EXPECT_EQ(TerritoryOwner(P(5, 8)), 1);
}

TEST_F(EndGameTest, CountOnlyInEndOfGameMode) {
  Black({P(3, 3)});
  Trigger("N10");
  Play({P(3, 3)});
  Form->StatusBar1()->SetPanelText(0, QStringLiteral("そのまま"));
  Player->Played.clear();
  Trigger("N9");
  EXPECT_EQ(Panel(0), QStringLiteral("そのまま"));
  EXPECT_EQ(Sounds(), 0);
}

TEST_F(EndGameTest, EmptyBoardCountsNothingForEither) {
  ClickRadio(3);
  Trigger("N9");
  EXPECT_EQ(Panel(0), QStringLiteral("盤面：黒 0 目、白 0 目です。"));
  EXPECT_EQ(Sounds(), 1);
}

TEST_F(EndGameTest, UnseenPointsGoToTheNextOwnerAndTheRestToTheLast) {
  // One black stone in the corner: column 0 and row 0 see it; every other point
  // waits for the next owned point in order, the last ones go to the last owner.
  Black({1});
  ClickRadio(3);
  Trigger("N9");
  EXPECT_EQ(Panel(0), QStringLiteral("盤面：黒 360 目、白 0 目です。"));
}

TEST_F(EndGameTest, PrisonersAreTakenFromTheirOwnSide) {
  // Every point but three is occupied; the three empty points see only black.
  Black({P(0, 3), P(1, 0), P(1, 1), P(1, 2)});
  for (int k = 1; k <= 361; ++k)
    if (Cell(k) == 0 && k != P(0, 0) && k != P(0, 1) && k != P(0, 2)) Click(k, Qt::RightButton);
  ASSERT_EQ(CountTerritory().Black, 3);
  ASSERT_EQ(CountTerritory().White, 0);
  BlackCaptured = 5;  // as if five black stones had been taken earlier
  ClickRadio(3);
  Trigger("N9");
  EXPECT_EQ(Panel(0), QStringLiteral("盤面：黒 -2 目、白 0 目です。"));
}

TEST_F(EndGameTest, CompleteSmallEndOfGameCountedByHand) {
  // Black wall on column 3, white wall on column 5, a dead white stone in
  // black's area. Columns 0-2: 57 black points; column 4 sees both: neutral;
  // columns 6-18: 13 x 19 = 247 white points; white lost one stone: 246.
  for (int r = 0; r < 19; ++r) Click(P(3, r), Qt::LeftButton);
  for (int r = 0; r < 19; ++r) Click(P(5, r), Qt::RightButton);
  White({P(1, 1)});
  ClickRadio(3);
  Click(P(1, 1));
  Click(P(1, 1));
  ASSERT_EQ(Edit1(), QStringLiteral("1"));
  Trigger("N9");
  EXPECT_EQ(Panel(0), QStringLiteral("盤面：黒 57 目、白 246 目です。"));
  EXPECT_EQ(Sounds(), 1);
}

}  // namespace
}  // namespace miretoka::test
