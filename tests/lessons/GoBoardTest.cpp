#include <gtest/gtest.h>

#include "GoBoard.h"
#include "LessonTables.h"

using lessons::GoBoard;
using lessons::pointFromCoordinate;

namespace {
int P(const char* xy) { return pointFromCoordinate(xy); }
}  // namespace

TEST(GoBoardTest, PointsRunDownTheColumns) {
    EXPECT_EQ(pointFromCoordinate("aa"), 1);
    EXPECT_EQ(pointFromCoordinate("ab"), 2);   // below point 1
    EXPECT_EQ(pointFromCoordinate("ba"), 20);  // top of the second column
    EXPECT_EQ(pointFromCoordinate("jj"), 181); // centre
    EXPECT_EQ(pointFromCoordinate("ss"), 361);
    EXPECT_EQ(pointFromCoordinate("ta"), 0);
    EXPECT_EQ(pointFromCoordinate("a"), 0);
    EXPECT_EQ(pointFromCoordinate("AA"), 0);
}

TEST(GoBoardTest, NeighboursStopAtTheEdges) {
    EXPECT_EQ(GoBoard::neighbours(1), (std::vector<int>{2, 20}));
    EXPECT_EQ(GoBoard::neighbours(19).size(), 2u);   // bottom-left corner
    EXPECT_EQ(GoBoard::neighbours(361).size(), 2u);
    EXPECT_EQ(GoBoard::neighbours(181).size(), 4u);
    // Point 19 (bottom of column 0) and point 20 (top of column 1) are not neighbours.
    for (int n : GoBoard::neighbours(19)) EXPECT_NE(n, 20);
}

TEST(GoBoardTest, CapturesASingleStoneAndACornerStone) {
    GoBoard board;
    board.play(P("jj"), 2);
    board.play(P("ij"), 1);
    board.play(P("kj"), 1);
    board.play(P("ji"), 1);
    EXPECT_EQ(board.liberties(P("jj")), 1);
    auto result = board.play(P("jk"), 1);
    EXPECT_EQ(result.captured, std::vector<int>{P("jj")});
    EXPECT_TRUE(board.isEmpty(P("jj")));
    EXPECT_FALSE(result.suicide);
    EXPECT_EQ(result.koPoint, 0);  // the capturing stone keeps four liberties

    // Surrounded by white on its other sides, the capturing stone keeps only the
    // emptied point: white may not take back there at once.
    GoBoard ko;
    ko.play(P("jj"), 2);
    for (const char* b : {"ij", "kj", "ji"}) ko.play(P(b), 1);
    for (const char* w : {"ik", "kk", "jl"}) ko.play(P(w), 2);
    EXPECT_EQ(ko.play(P("jk"), 1).koPoint, P("jj"));

    GoBoard corner;
    corner.play(1, 2);
    corner.play(2, 1);
    auto r2 = corner.play(20, 1);
    EXPECT_EQ(r2.captured, std::vector<int>{1});
}

TEST(GoBoardTest, OneStoneCapturesTwoGroupsAndSuicideIsReported) {
    GoBoard board;
    // Two white stones on either side of the empty point "cb", each in atari.
    for (const char* w : {"bb", "db"}) board.play(P(w), 2);
    for (const char* b : {"ba", "bc", "ab", "da", "dc", "eb"}) board.play(P(b), 1);
    auto result = board.play(P("cb"), 1);
    EXPECT_EQ(result.captured.size(), 2u);
    EXPECT_FALSE(result.suicide);

    GoBoard eye;
    for (const char* w : {"ab", "ba"}) eye.play(P(w), 2);
    auto suicide = eye.play(P("aa"), 1);
    EXPECT_TRUE(suicide.captured.empty());
    EXPECT_TRUE(suicide.suicide);
}

TEST(GoBoardTest, FillingTheLastLibertyOfABigGroupCapturesItWhole) {
    GoBoard board;
    // White wall on the first column, closed in by black on the second column.
    for (int row = 0; row < 19; ++row) board.play(row + 1, 2);
    for (int row = 0; row < 18; ++row) board.play(19 + row + 1, 1);
    EXPECT_EQ(board.liberties(1), 1);
    auto result = board.play(19 + 18 + 1, 1);
    EXPECT_EQ(result.captured.size(), 19u);
}
