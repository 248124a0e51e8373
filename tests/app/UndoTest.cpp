// "1手戻す" and "クリア": taking moves back with the stones they captured.
#include <array>

#include "BoardTestSupport.h"
#include "app/board/PlayState.h"

namespace miretoka::test {
namespace {

using namespace play;

// What a learner sees of the board and its counters.
struct Snapshot {
  std::array<std::int32_t, 361> Cells{};
  std::array<bool, 361> Stones{};
  std::array<QString, 361> Texts;
  QString Edit1, Edit2;
  int Color = 0, Number = 0, Count = 0, Last = 0;
  bool operator==(const Snapshot &) const = default;
};

class UndoTest : public BoardTest {
protected:
  void SetUp() override {
    BoardTest::SetUp();
    Trigger("N10");
    Player->Played.clear();
  }
  Snapshot Take() const {
    Snapshot s;
    for (int k = 1; k <= 361; ++k) {
      s.Cells[k - 1] = Cell(k);
      s.Stones[k - 1] = HasStone(k);
      s.Texts[k - 1] = Text(k).trimmed();
    }
    s.Edit1 = BoardTest::Edit1();
    s.Edit2 = BoardTest::Edit2();
    s.Color = CurrentColor;
    s.Number = MoveNumber;
    s.Count = MoveCount;
    s.Last = LastPoint;
    return s;
  }
  // Plays every point in turn, then takes every move back, checking after each
  // take-back that the board is exactly as it was before that move.
  void PlayForwardAndBack(const std::vector<int> &points) {
    std::vector<Snapshot> before;
    for (int p : points) {
      before.push_back(Take());
      Click(p);
      ASSERT_EQ(MoveCount, static_cast<int>(before.size())) << "move at point " << p << " refused";
    }
    for (std::size_t i = before.size(); i-- > 0;) {
      Press(7);
      ASSERT_TRUE(Take() == before[i]) << "after taking back move " << i + 1;
    }
  }
  void ExpectEmptyStart() {
    for (int k = 1; k <= 361; ++k) {
      ASSERT_EQ(Cell(k), 0) << k;
      ASSERT_FALSE(HasStone(k)) << k;
    }
    EXPECT_EQ(Edit1(), QStringLiteral("0"));
    EXPECT_EQ(Edit2(), QStringLiteral("0"));
    EXPECT_EQ(MoveCount, 0);
    EXPECT_EQ(MoveNumber, 0);
    EXPECT_EQ(CurrentColor, 1);
    EXPECT_EQ(BlackCaptured, 0);
    EXPECT_EQ(WhiteCaptured, 0);
    EXPECT_TRUE(CaptureLog.empty());
  }
};

TEST_F(UndoTest, ThreeMovesBackToTheEmptyBoardThenNothingLeft) {
  Click(P(3, 3));
  Click(P(15, 15));
  Click(P(3, 15));
  for (int i = 0; i < 3; ++i) Press(7);
  ExpectEmptyStart();
  EXPECT_TRUE(Panel(0).isEmpty());
  Player->Played.clear();
  Press(7);
  EXPECT_EQ(Panel(0), QStringLiteral("もう戻せません。"));
  EXPECT_EQ(Sounds(), 1);
  ExpectEmptyStart();
}

TEST_F(UndoTest, TakeBackEmptiesPanelZeroFirst) {
  Click(P(3, 3));
  Press(7);
  Press(7);
  ASSERT_EQ(Panel(0), QStringLiteral("もう戻せません。"));
  Click(P(4, 4));
  Press(7);
  EXPECT_TRUE(Panel(0).isEmpty());
}

TEST_F(UndoTest, PreviousStoneShowsItsNumberAgain) {
  Play({P(3, 3), P(15, 15), P(3, 15), P(15, 3), P(9, 9)});
  ASSERT_TRUE(Text(P(15, 3)).isEmpty());
  Press(7);
  EXPECT_EQ(Text(P(15, 3)), QStringLiteral("4"));
  EXPECT_EQ(LastPoint, P(15, 3));
  EXPECT_EQ(MoveNumber, 4);
  EXPECT_EQ(CurrentColor, 1);  // black's move 5 was taken back: black again
  EXPECT_FALSE(HasStone(P(9, 9)));
  EXPECT_TRUE(Text(P(9, 9)).trimmed().isEmpty());
}

TEST_F(UndoTest, TakingBackATwoStoneCaptureRestoresBothWhiteStones) {
  ClickRadio(2);
  for (int p : {P(8, 4), P(8, 6)}) Click(p, Qt::RightButton);
  for (int p : {P(8, 3), P(7, 4), P(9, 4), P(7, 6), P(9, 6), P(8, 7)}) Click(p);
  Form->RadioButton1()->setChecked(true);
  CurrentColor = 1;
  Click(P(8, 5));
  ASSERT_EQ(Edit1(), QStringLiteral("2"));
  Press(7);
  EXPECT_EQ(Cell(P(8, 4)), 2);
  EXPECT_EQ(Cell(P(8, 6)), 2);
  EXPECT_TRUE(HasStone(P(8, 4)));
  EXPECT_TRUE(HasStone(P(8, 6)));
  EXPECT_TRUE(Text(P(8, 4)).trimmed().isEmpty());
  EXPECT_TRUE(Text(P(8, 6)).trimmed().isEmpty());
  EXPECT_EQ(Edit1(), QStringLiteral("0"));
  EXPECT_EQ(Cell(P(8, 5)), 0);
  EXPECT_FALSE(HasStone(P(8, 5)));
  EXPECT_EQ(CurrentColor, 1);
  EXPECT_TRUE(CaptureLog.empty());
  // The restored stones are real stones: playing the point again captures them again.
  Click(P(8, 5));
  EXPECT_EQ(Edit1(), QStringLiteral("2"));
}

TEST_F(UndoTest, WholeGameForwardAndBackWithCaptures) {
  const std::vector<int> game = {
      P(0, 1),  P(0, 0),   P(1, 0),   // 3: black takes the corner stone
      P(5, 5),  P(5, 4),   P(15, 0),  P(4, 5),   P(15, 2),  P(6, 5),   P(10, 10),
      P(5, 6),                        // 11: black takes (5,5)
      P(10, 12), P(14, 0), P(17, 18), P(16, 0),  P(12, 12), P(14, 2),  P(12, 14),
      P(16, 2), P(13, 13), P(15, 3),  P(8, 8),
      P(15, 1),                       // 23: black takes two white groups at once
      P(0, 0),                        // 24: white into the corner without liberty
      P(18, 18), P(18, 17),           // 26: white takes the black corner stone
      P(2, 0)};
  PlayForwardAndBack(game);
  ExpectEmptyStart();
}

TEST_F(UndoTest, LongKoFightPastFourHundredMovesTakesBackExactly) {
  ClickRadio(2);
  for (int p : {P(1, 0), P(0, 1), P(1, 2)}) Click(p);
  for (int p : {P(2, 0), P(3, 1), P(2, 2), P(1, 1)}) Click(p, Qt::RightButton);
  ClickRadio(1);
  ASSERT_EQ(CurrentColor, 1);
  const int setup = MoveCount;
  for (int i = 0; i < 225; ++i) {
    Click(P(2, 1));
    Click(P(1, 1));
  }
  ASSERT_EQ(MoveCount, setup + 450);
  EXPECT_EQ(CaptureLogCount(), 450);
  EXPECT_EQ(Edit1(), QStringLiteral("225"));
  EXPECT_EQ(Edit2(), QStringLiteral("225"));
  EXPECT_EQ(MoveAt(MoveCount).Point, P(1, 1));
  for (int i = 0; i < 450; ++i) Press(7);
  EXPECT_EQ(MoveCount, setup);
  EXPECT_EQ(Cell(P(1, 1)), 2);
  EXPECT_EQ(Cell(P(2, 1)), 0);
  EXPECT_EQ(Edit1(), QStringLiteral("0"));
  EXPECT_EQ(Edit2(), QStringLiteral("0"));
  EXPECT_TRUE(CaptureLog.empty());
  while (MoveCount > 0) Press(7);
  for (int k = 1; k <= 361; ++k) ASSERT_EQ(Cell(k), 0) << k;
}

TEST_F(UndoTest, MoveNumberNeverGoesBelowZero) {
  ClickRadio(2);
  Click(P(3, 3));
  Click(P(4, 4));
  Press(7);
  Press(7);
  EXPECT_EQ(MoveNumber, 0);
  ClickRadio(1);
  CurrentColor = 1;
  Click(P(9, 9));
  EXPECT_EQ(Text(P(9, 9)), QStringLiteral("1"));
}

// A step forward that drew nothing leaves nothing to take back.
TEST_F(UndoTest, PlaybackStepWithoutMovesIsRefused) {
  PlaybackStepped = 1;
  Press(7);
  EXPECT_EQ(Panel(0), QStringLiteral("もう戻せません。"));
  EXPECT_EQ(Sounds(), 1);
}

TEST_F(UndoTest, ClearKeepsModeRadioButtonsAndBoardSize) {
  ClickRadio(3);
  ASSERT_EQ(PlayMode, PlayEndOfGame);
  Press(6);
  EXPECT_EQ(PlayMode, PlayEndOfGame);
  EXPECT_TRUE(Form->RadioButton3()->isChecked());
  EXPECT_EQ(BoardSize, 19);
}

TEST_F(UndoTest, MoveListGrowsPastItsFirstSize) {
  EXPECT_EQ(MoveList.size(), static_cast<std::size_t>(InitialMoveListSize));
  MoveAt(401).Point = 7;
  EXPECT_GE(MoveList.size(), 401u);
  EXPECT_EQ(MoveAt(401).Point, 7);
  EXPECT_EQ(MoveAt(400).Point, 0);
}

}  // namespace
}  // namespace miretoka::test
