// A click on the board: routing, alternate and free placement, capture.
#include "BoardTestSupport.h"
#include "app/board/PlayState.h"
#include "app/board/StatusPanels.h"

namespace miretoka::test {
namespace {

using namespace play;

class PlacementTest : public BoardTest {
protected:
  void SetUp() override {
    BoardTest::SetUp();
    Trigger("N10");  // alternate play, black to move
    Player->Played.clear();
  }
};

TEST_F(PlacementTest, AlternateStonesAreNumberedAndTheTurnPasses) {
  Click(P(3, 3));
  EXPECT_EQ(Cell(P(3, 3)), 1);
  EXPECT_EQ(Text(P(3, 3)), QStringLiteral("1"));
  EXPECT_EQ(Form->Label(P(3, 3))->FontColor(), QColor(Qt::white));
  EXPECT_EQ(CurrentColor, 2);
  EXPECT_EQ(Sounds(), 1);
  Click(P(15, 15));
  EXPECT_EQ(Cell(P(15, 15)), 2);
  EXPECT_EQ(Text(P(15, 15)), QStringLiteral("2"));
  EXPECT_TRUE(Text(P(3, 3)).isEmpty());  // the previous number disappears
  EXPECT_EQ(CurrentColor, 1);
  EXPECT_EQ(Sounds(), 2);
  EXPECT_TRUE(Player->Played[0].endsWith(QStringLiteral("Oto1.wav")));
  EXPECT_EQ(MoveCount, 2);
  EXPECT_EQ(MoveNumber, 2);
  EXPECT_EQ(LastPoint, P(15, 15));
  EXPECT_EQ(MoveAt(1).Number, 1);
  EXPECT_EQ(MoveAt(1).Color, 1);
  EXPECT_EQ(MoveAt(1).Point, P(3, 3));
  EXPECT_EQ(MoveAt(2).Color, 2);
  EXPECT_EQ(MoveAt(2).Point, P(15, 15));
  EXPECT_TRUE(Panel(1).isEmpty());
}

TEST_F(PlacementTest, NumberingContinuesFromTheCurrentMoveNumber) {
  MoveNumber = 12;  // as a lesson figure leaves it
  Click(P(9, 9));
  EXPECT_EQ(Text(P(9, 9)), QStringLiteral("13"));
  EXPECT_EQ(MoveAt(1).Number, 13);
}

TEST_F(PlacementTest, AlternatePlacementClearsLessonMarksAndPlaybackFlag) {
  Form->DrawStone(0, 1, P(8, 8), 23, QStringLiteral("A"));
  PlaybackStepped = 1;
  Click(P(3, 3));
  EXPECT_TRUE(Text(P(8, 8)).isEmpty());
  EXPECT_TRUE(Form->Label(P(8, 8))->IsTransparent());
  EXPECT_EQ(PlaybackStepped, 0);
}

TEST_F(PlacementTest, FreePlacementChoosesColourByButtonWithoutNumberSoundOrTurn) {
  ClickRadio(2);
  ASSERT_EQ(PlayMode, PlayFree);
  Click(P(3, 3), Qt::RightButton);
  EXPECT_EQ(Cell(P(3, 3)), 2);
  EXPECT_EQ(CurrentColor, 2);  // stays for the next click to override
  Click(P(4, 4), Qt::MiddleButton);
  EXPECT_EQ(Cell(P(4, 4)), 2);
  Click(P(5, 5), Qt::LeftButton);
  EXPECT_EQ(Cell(P(5, 5)), 1);
  EXPECT_EQ(CurrentColor, 1);
  Click(P(6, 6), Qt::LeftButton);
  EXPECT_EQ(Cell(P(6, 6)), 1);
  for (int k : {P(3, 3), P(4, 4), P(5, 5), P(6, 6)}) {
    EXPECT_TRUE(HasStone(k));
    EXPECT_EQ(Text(k), QStringLiteral(" "));  // no number is written
  }
  EXPECT_EQ(Sounds(), 0);
  EXPECT_EQ(MoveCount, 4);
  EXPECT_EQ(MoveNumber, 0);
  EXPECT_EQ(MoveAt(1).Number, 0);
  EXPECT_EQ(MoveAt(1).Color, 2);
}

TEST_F(PlacementTest, OccupiedPointIsRefusedSilentlyButPanelZeroEmptied) {
  Click(P(3, 3));
  Form->StatusBar1()->SetPanelText(0, QStringLiteral("前の表示"));
  Player->Played.clear();
  Click(P(3, 3));
  EXPECT_TRUE(Panel(0).isEmpty());
  EXPECT_EQ(Cell(P(3, 3)), 1);
  EXPECT_EQ(MoveCount, 1);
  EXPECT_EQ(CurrentColor, 2);
  EXPECT_EQ(Sounds(), 0);
  ClickRadio(2);
  Click(P(3, 3), Qt::RightButton);
  EXPECT_EQ(Cell(P(3, 3)), 1);
  EXPECT_EQ(MoveCount, 1);
}

TEST_F(PlacementTest, LessonRedStoneCellDoesNotOccupyThePoint) {
  Board[P(7, 7) - 1] = -1;
  Click(P(7, 7));
  EXPECT_EQ(Cell(P(7, 7)), 1);
}

TEST_F(PlacementTest, SingleStoneInTheMiddleIsCapturedAndLogged) {
  // B W B W B W B: black surrounds the white stone at (5,5).
  Play({P(4, 5), P(5, 5), P(6, 5), P(12, 12), P(5, 4), P(12, 13)});
  EXPECT_EQ(Edit1(), QStringLiteral("0"));
  Click(P(5, 6));  // move 7, the last liberty
  EXPECT_EQ(Cell(P(5, 5)), 0);
  EXPECT_FALSE(HasStone(P(5, 5)));
  EXPECT_EQ(Edit1(), QStringLiteral("1"));
  EXPECT_EQ(Edit2(), QStringLiteral("0"));
  EXPECT_EQ(WhiteCaptured, 1);
  ASSERT_EQ(CaptureLogCount(), 1);
  EXPECT_EQ(CaptureLog[0].MoveKey, 7);
  EXPECT_EQ(CaptureLog[0].StoneNumber, 7);
  EXPECT_EQ(CaptureLog[0].Color, 2);
  EXPECT_EQ(CaptureLog[0].Point, P(5, 5));
}

TEST_F(PlacementTest, CornerStoneHasNoLibertyOffTheBoard) {
  ClickRadio(2);
  Click(1, Qt::RightButton);
  Click(2);
  EXPECT_EQ(Cell(1), 2);
  Click(20);
  EXPECT_EQ(Cell(1), 0);
  EXPECT_EQ(Edit1(), QStringLiteral("1"));
}

TEST_F(PlacementTest, WhiteCapturesBlackAndBlackBoxCounts) {
  ClickRadio(2);
  Click(361);
  Click(360, Qt::RightButton);
  Click(361 - 19, Qt::RightButton);
  EXPECT_EQ(Cell(361), 0);
  EXPECT_EQ(Edit2(), QStringLiteral("1"));
  EXPECT_EQ(Edit1(), QStringLiteral("0"));
  EXPECT_EQ(CaptureLog.back().Color, 1);
}

TEST_F(PlacementTest, OneStoneCapturesTwoGroupsEachLoggedInPointOrder) {
  ClickRadio(2);
  // White: a two-stone group above and a single stone below the point (8,5).
  for (int p : {P(8, 4), P(8, 3), P(8, 6)}) Click(p, Qt::RightButton);
  for (int p : {P(8, 2), P(7, 3), P(9, 3), P(7, 4), P(9, 4), P(7, 6), P(9, 6), P(8, 7)}) Click(p);
  EXPECT_EQ(Edit1(), QStringLiteral("0"));
  Click(P(8, 5));
  EXPECT_EQ(Cell(P(8, 3)), 0);
  EXPECT_EQ(Cell(P(8, 4)), 0);
  EXPECT_EQ(Cell(P(8, 6)), 0);
  EXPECT_EQ(Edit1(), QStringLiteral("3"));
  ASSERT_EQ(CaptureLogCount(), 3);
  EXPECT_EQ(CaptureLog[0].Point, P(8, 3));
  EXPECT_EQ(CaptureLog[1].Point, P(8, 4));
  EXPECT_EQ(CaptureLog[2].Point, P(8, 6));
  for (const CaptureRecord &r : CaptureLog) EXPECT_EQ(r.MoveKey, MoveCount);
}

TEST_F(PlacementTest, SuicideStoneStaysWithoutLiberty) {
  ClickRadio(2);
  for (int p : {P(5, 4), P(5, 6), P(4, 5), P(6, 5)}) Click(p, Qt::RightButton);
  Click(P(5, 5));
  EXPECT_EQ(Cell(P(5, 5)), 1);
  EXPECT_TRUE(HasStone(P(5, 5)));
  EXPECT_EQ(Edit1(), QStringLiteral("0"));
  EXPECT_EQ(Edit2(), QStringLiteral("0"));
  // A two-stone black group filling its own last liberty also stays.
  for (int p : {P(10, 3), P(11, 4), P(11, 5), P(10, 6), P(9, 5), P(9, 4)}) Click(p, Qt::RightButton);
  Click(P(10, 4));
  Click(P(10, 5));
  EXPECT_EQ(Cell(P(10, 4)), 1);
  EXPECT_EQ(Cell(P(10, 5)), 1);
  EXPECT_TRUE(CaptureLog.empty());
}

TEST_F(PlacementTest, OnlyOpponentGroupsTouchingTheNewStoneAreExamined) {
  ClickRadio(2);
  // A white stone put into a black eye stays without liberty...
  for (int p : {P(5, 4), P(5, 6), P(4, 5), P(6, 5)}) Click(p);
  Click(P(5, 5), Qt::RightButton);
  ASSERT_EQ(Cell(P(5, 5)), 2);
  // ...and a black stone elsewhere does not take it.
  Click(P(12, 12));
  EXPECT_EQ(Cell(P(5, 5)), 2);
  // Nor does one that touches only its black neighbours.
  Click(P(5, 3));
  EXPECT_EQ(Cell(P(5, 5)), 2);
  EXPECT_TRUE(CaptureLog.empty());
}

TEST_F(PlacementTest, NoKoRuleImmediateRecaptureIsAccepted) {
  ClickRadio(2);
  // Black: (1,0) (0,1) (1,2); white: (2,0) (3,1) (2,2) and (1,1) in the ko.
  for (int p : {P(1, 0), P(0, 1), P(1, 2)}) Click(p);
  for (int p : {P(2, 0), P(3, 1), P(2, 2), P(1, 1)}) Click(p, Qt::RightButton);
  ClickRadio(1);  // "交互" passes the turn: black to move
  ASSERT_EQ(CurrentColor, 1);
  Click(P(2, 1));  // black takes the ko
  EXPECT_EQ(Cell(P(1, 1)), 0);
  EXPECT_EQ(Cell(P(2, 1)), 1);
  Click(P(1, 1));  // white takes back at once
  EXPECT_EQ(Cell(P(2, 1)), 0);
  EXPECT_EQ(Cell(P(1, 1)), 2);
  EXPECT_EQ(Edit1(), QStringLiteral("1"));
  EXPECT_EQ(Edit2(), QStringLiteral("1"));
}

TEST_F(PlacementTest, EditorLayoutWithoutFigureAsksForTheContents) {
  LessonMode = 2;
  CurrentFigure = 0;
  Click(P(3, 3));
  ASSERT_EQ(Messages->Informations.size(), 1);
  EXPECT_EQ(Messages->Informations[0], QStringLiteral("目次をダブルクリックしてください。"));
  EXPECT_EQ(Sounds(), 1);
  EXPECT_EQ(Cell(P(3, 3)), 0);
}

TEST_F(PlacementTest, EditorLayoutWithFigureGoesToAuthoringNotToPlay) {
  LessonMode = 2;
  CurrentFigure = 1100;
  Click(P(3, 3));
  EXPECT_TRUE(Messages->Informations.isEmpty());
  // An authoring click records a numbered move (free play would record number 0) and shows
  // it without its number.
  EXPECT_EQ(Cell(P(3, 3)), 1);
  EXPECT_EQ(MoveCount, 1);
  EXPECT_EQ(MoveList[0].Number, 1);
  EXPECT_EQ(MoveList[0].Point, P(3, 3));
  EXPECT_EQ(MoveNumber, 1);
  EXPECT_NE(Text(P(3, 3)), QStringLiteral("1"));
}

TEST_F(PlacementTest, ChoiceMarkGoesToTheBranchChoiceWhateverTheMode) {
  // The test's lesson 1000 offers white's move on point 80 after its basic figure.
  Form->OpenLesson(0);
  ASSERT_EQ(Text(80), QStringLiteral("●"));
  ASSERT_EQ(PlayMode, PlayFree);
  Click(80);  // a left click would place black in free mode; on a choice it takes the branch
  EXPECT_EQ(Cell(80), 2);
  EXPECT_EQ(Text(80), QStringLiteral("1"));
  EXPECT_EQ(MoveCount, 0);
  EXPECT_EQ(Panel(1), QStringLiteral("一手目"));
  EXPECT_EQ(Panel(0), QStringLiteral("手順はここまでです。"));
}

}  // namespace
}  // namespace miretoka::test
