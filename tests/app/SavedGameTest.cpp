// The adjourned game: which moves a save takes, and the replay of stored moves
// on a small board with their captures. (The table behind them is not there yet.)
#include <QLineEdit>

#include "SmallBoardTestSupport.h"
#include "app/PlayState.h"
#include "app/SavedGame.h"
#include "controls/CuteButton.h"

namespace miretoka::test {
namespace {

using namespace play;

TEST_F(SmallBoardTest, SaveTakesTheMovesOnTheBoardOnly) {
  On9([&] {
    EXPECT_TRUE(MovesToSave().empty());
    for (int p : {4, 5, 6}) ClickOn(Form4.get(), p);
    const std::vector<TSavedMove> three = {{1, 1, 4}, {2, 2, 5}, {3, 1, 6}};
    EXPECT_EQ(MovesToSave(), three);
    PressOn(Form4->CuteButton1());  // the taken-back move is not saved
    EXPECT_EQ(MovesToSave(), std::vector<TSavedMove>(three.begin(), three.begin() + 2));
  });
}

TEST_F(SmallBoardTest, ReplayRepeatsTheCapturesAndHandsTheTurnOn) {
  On9([&] {
    const std::vector<TSavedMove> stored = {{1, 1, 4}, {2, 2, 5}, {3, 1, 6}, {4, 2, 41}, {5, 1, 14}};
    ReplayMoves(stored, [&](int number, int color, int point) { Form4->DrawStone(number, color, point, 1); });
    EXPECT_EQ(MoveCount, 5);
    EXPECT_EQ(MoveNumber, 5);
    EXPECT_EQ(CurrentColor, 2);  // white to play after black's fifth move
    EXPECT_EQ(Cell(5), 0);       // captured again
    EXPECT_FALSE(StoneOn(Form4.get(), 5));
    EXPECT_EQ(Form4->Edit1()->text(), QStringLiteral("1"));
    EXPECT_EQ(Form4->Label(14)->text(), QStringLiteral("5"));
    for (int p : {4, 6, 41}) EXPECT_TRUE(Form4->Label(p)->text().isEmpty()) << p;
    ASSERT_EQ(CaptureLog.size(), 1u);
    EXPECT_EQ(CaptureLog[0].MoveKey, 5);
    // Taken back move by move, with the capture.
    PressOn(Form4->CuteButton1());
    EXPECT_EQ(Cell(5), 2);
    EXPECT_EQ(Form4->Label(41)->text(), QStringLiteral("4"));
    EXPECT_EQ(CurrentColor, 1);
  });
}

TEST_F(SmallBoardTest, ReplayOfNothingLeavesBlackToPlayAndPassesOverBadRows) {
  On13([&] {
    ReplayMoves({}, [&](int, int, int) { ADD_FAILURE() << "nothing to draw"; });
    EXPECT_EQ(CurrentColor, 1);
    EXPECT_EQ(MoveCount, 0);
    // Rows naming no point of this board, or no colour, are not moves.
    int drawn = 0;
    ReplayMoves({{1, 1, 0}, {2, 2, 170}, {3, 3, 20}, {4, 1, 20}},
                [&](int number, int color, int point) {
                  ++drawn;
                  Form3->DrawStone(number, color, point, 1);
                });
    EXPECT_EQ(drawn, 1);
    EXPECT_EQ(MoveCount, 1);
    EXPECT_EQ(MoveAt(1).Point, 20);
    EXPECT_EQ(Cell(20), 1);
    EXPECT_EQ(CurrentColor, 2);
  });
}

}  // namespace
}  // namespace miretoka::test
