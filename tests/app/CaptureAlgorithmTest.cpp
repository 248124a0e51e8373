// Neighbours and captured groups on the board in play, for every board size.
#include <gtest/gtest.h>

#include "app/board/PlayRules.h"
#include "app/board/PlayState.h"

namespace miretoka::play {
namespace {

class CaptureAlgorithmTest : public ::testing::Test {
protected:
  void SetUp() override { ResetAll(); }
  void TearDown() override { ResetAll(); }
  void Size(int n) {
    BoardSize = n;
    PointCount = n * n;
  }
  void Put(int point, int color) { Board[static_cast<std::size_t>(point - 1)] = color; }
};

TEST_F(CaptureAlgorithmTest, NeighboursInOrderUpDownLeftRightWithEdges) {
  for (int n : {19, 13, 9}) {
    Size(n);
    auto corner = GetNeighbours(1);
    EXPECT_EQ(corner[0].Value, OffBoard);
    EXPECT_EQ(corner[0].Point, 0);
    EXPECT_EQ(corner[1].Point, 2);
    EXPECT_EQ(corner[2].Value, OffBoard);
    EXPECT_EQ(corner[3].Point, n + 1);
    auto last = GetNeighbours(n * n);
    EXPECT_EQ(last[0].Point, n * n - 1);
    EXPECT_EQ(last[1].Value, OffBoard);  // bottom edge
    EXPECT_EQ(last[2].Point, n * n - n);
    EXPECT_EQ(last[3].Value, OffBoard);
    // The bottom of one column is not a neighbour of the top of the next.
    auto bottom = GetNeighbours(n);
    EXPECT_EQ(bottom[1].Value, OffBoard);
    auto top = GetNeighbours(n + 1);
    EXPECT_EQ(top[0].Value, OffBoard);
  }
}

TEST_F(CaptureAlgorithmTest, NeighbourValuesComeFromTheBoard) {
  Size(9);
  Put(5 + 1, 2);
  Put(5 - 1, 1);
  auto n = GetNeighbours(5);
  EXPECT_EQ(n[0].Value, 1);
  EXPECT_EQ(n[1].Value, 2);
  EXPECT_EQ(n[2].Value, OffBoard);
  EXPECT_EQ(n[3].Value, 0);
}

TEST_F(CaptureAlgorithmTest, ColumnEdgeStoneIsNotJoinedToTheNextColumn) {
  // On 9 lines, point 9 (bottom of column 0) and 10 (top of column 1) are not
  // neighbours: a white stone on 9 lives on its liberty at 18 even if 10 is black.
  Size(9);
  Put(9, 2);
  Put(8, 1);
  Put(10, 1);
  EXPECT_TRUE(FindCapturedPoints(8).empty());
  Put(18, 1);
  EXPECT_EQ(FindCapturedPoints(18), std::vector<std::int32_t>{9});
}

TEST_F(CaptureAlgorithmTest, LessonCellsAreNeitherLibertiesNorMembers) {
  Size(19);
  // A red-numbered lesson stone (-2) beside a white corner stone gives it no
  // liberty: black on 20 takes it.
  Put(1, 2);
  Put(2, -2);
  Put(20, 1);
  EXPECT_EQ(FindCapturedPoints(20), std::vector<std::int32_t>{1});
  // Nor does it join a group: the white stone on 3 is taken alone.
  Size(19);
  for (int p : {1, 2, 20}) Put(p, 0);
  Put(3, 2);
  Put(2, -2);
  Put(4, 1);
  Put(22, 1);
  EXPECT_EQ(FindCapturedPoints(22), std::vector<std::int32_t>{3});
  EXPECT_EQ(Board[1], -2);
}

TEST_F(CaptureAlgorithmTest, DeadGroupListsEachStoneOnceOnEverySize) {
  Size(9);
  for (int p : {1, 2, 10, 11, 12}) Put(p, 1);
  Put(3, 2);
  ListDeadGroup(11);
  EXPECT_EQ(DeadList.size(), 5u);
  for (int p : {1, 2, 10, 11, 12}) EXPECT_TRUE(IsInDeadList(p)) << p;
  EXPECT_FALSE(IsInDeadList(3));
  for (std::int32_t e : DeadList) EXPECT_LT(e, 0);
}

}  // namespace
}  // namespace miretoka::play
