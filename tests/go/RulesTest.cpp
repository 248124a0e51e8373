// Points and their spellings, the rule functions over cells, and the board with captures.
#include <gtest/gtest.h>

#include "go/Board.h"
#include "go/Point.h"
#include "go/Rules.h"

namespace go {
namespace {

TEST(PointTest, SpellingsOfKnownPoints) {
  struct Case {
    int Size, Column, Row;
    const char *Sgf, *Display;
  } cases[] = {{19, 0, 0, "aa", "A19"}, {19, 0, 1, "ab", "A18"}, {19, 1, 0, "ba", "B19"},
               {19, 3, 3, "dd", "D16"},  {19, 9, 9, "jj", "K10"}, {19, 18, 18, "ss", "T1"},
               {13, 12, 0, "ma", "N13"}, {9, 4, 4, "ee", "E5"},   {9, 8, 8, "ii", "J1"}};
  for (const Case &c : cases) {
    const int p = PointOf(c.Size, c.Column, c.Row);
    EXPECT_EQ(SgfLetters(c.Size, p), c.Sgf);
    EXPECT_EQ(DisplayName(c.Size, p), c.Display);
    EXPECT_EQ(PointFromSgf(c.Size, c.Sgf), p);
    EXPECT_EQ(PointFromDisplay(c.Size, c.Display), p);
  }
  EXPECT_EQ(PointOf(19, 1, 0), 20);  // the top of the second column
  EXPECT_EQ(PointFromSgf(9, "jj"), std::nullopt);
  EXPECT_EQ(PointFromSgf(19, "tt"), std::nullopt);
  EXPECT_EQ(PointFromSgf(19, "a"), std::nullopt);
  EXPECT_EQ(PointFromDisplay(19, "I5"), std::nullopt);  // there is no column I
  EXPECT_EQ(PointFromDisplay(19, "A20"), std::nullopt);
}

// A 9-line position from rows of text: '.' empty, 'X' black, 'O' white, 'r' a red-numbered
// black lesson stone (-1).
std::vector<std::int32_t> Cells(const std::vector<std::string> &rows) {
  const int size = static_cast<int>(rows.size());
  std::vector<std::int32_t> cells(static_cast<size_t>(size * size), 0);
  for (int r = 0; r < size; ++r)
    for (int c = 0; c < size; ++c) {
      const char ch = rows[static_cast<size_t>(r)][static_cast<size_t>(c)];
      cells[static_cast<size_t>(PointOf(size, c, r) - 1)] = ch == 'X' ? 1 : ch == 'O' ? 2 : ch == 'r' ? -1 : 0;
    }
  return cells;
}

TEST(RulesTest, NeighboursGroupsAndCaptures) {
  const auto cells = Cells({"XO.......", "O........", ".........", "...O.....", "..OX.....", "...O.....",
                            ".........", ".........", "........."});
  // Corner point 1: up and left are off the board.
  const auto n = Neighbours(cells, 9, 1);
  EXPECT_EQ(n[0].Value, OffBoard);
  EXPECT_EQ(n[1].Point, 2);
  EXPECT_EQ(n[2].Value, OffBoard);
  EXPECT_EQ(n[3].Point, 10);
  // The black corner stone has no liberty; white's stones beside it have.
  EXPECT_TRUE(GroupAt(cells, 9, 1).Liberties.empty());
  EXPECT_EQ(GroupAt(cells, 9, PointOf(9, 1, 0)).Liberties.size(), 2u);
  // White at (4,4) captures black (3,4) in the middle once its last liberty goes.
  auto centre = cells;
  centre[static_cast<size_t>(PointOf(9, 4, 4) - 1)] = 2;
  EXPECT_EQ(CapturedBy(centre, 9, PointOf(9, 4, 4)), std::vector<int>{PointOf(9, 3, 4)});
  // A red-numbered lesson stone is neither a liberty nor a group member.
  const auto red = Cells({"Xr.......", "O........", ".........", ".........", ".........", ".........",
                          ".........", ".........", "........."});
  EXPECT_EQ(CapturedBy(red, 9, PointOf(9, 0, 1)), std::vector<int>{1});
}

TEST(RulesTest, TerritoryOfASplitBoard) {
  // Black holds the left four columns, white the right four; column 4 is the wall.
  std::vector<std::string> rows(9, "...XO....");
  const auto cells = Cells(rows);
  EXPECT_EQ(TerritoryOwner(cells, 9, PointOf(9, 0, 0)), 1);
  EXPECT_EQ(TerritoryOwner(cells, 9, PointOf(9, 8, 8)), 2);
  const TTerritory t = CountTerritory(cells, 9);
  EXPECT_EQ(t.Black, 27);
  EXPECT_EQ(t.White, 36);
}

TEST(CaptureBoardTest, CapturesAndTheTwoSuicideRules) {
  TBoard board(9);
  // Black surrounds the corner; white plays into it.
  board.Set(2, 1);
  board.Set(10, 1);
  for (TSuicide rule : {TSuicide::Stays, TSuicide::Removed}) {
    TBoard b = board;
    const TPlayResult r = b.Play(2, 1, rule);
    EXPECT_TRUE(r.Captured.empty());
    EXPECT_EQ(b.At(1), rule == TSuicide::Stays ? 2 : 0);
    EXPECT_EQ(b.WhiteCaptured(), rule == TSuicide::Stays ? 0 : 1);
  }
  // A stone without liberties that captures is no suicide: the capture comes first.
  TBoard corner(9);
  for (int p : {2, 10}) corner.Set(p, 2);
  for (int p : {3, 11, 19}) corner.Set(p, 1);
  const TPlayResult r = corner.Play(1, 1, TSuicide::Removed);
  EXPECT_EQ(r.Captured, (std::vector<int>{2, 10}));
  EXPECT_TRUE(r.Suicided.empty());
  EXPECT_EQ(corner.At(1), 1);
  TBoard take(9);
  take.Set(2, 1);
  take.Set(1, 2);
  const TPlayResult t = take.Play(1, 10);
  EXPECT_EQ(t.Captured, std::vector<int>{1});
  EXPECT_EQ(take.WhiteCaptured(), 1);
  EXPECT_EQ(take.At(1), 0);
}

}  // namespace
}  // namespace go
