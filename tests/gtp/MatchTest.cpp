// The game against the computer: legal moves under the normal rules, taking back, handicap
// places and Japanese counting.
#include <gtest/gtest.h>

#include "go/Point.h"
#include "go/match/Handicap.h"
#include "go/match/Match.h"
#include "go/match/Score.h"

namespace go::match {
namespace {

int P9(const char *name) { return *PointFromDisplay(9, name); }

// Plays the moves alternately from black (a name or "pass"), failing on a refusal.
void PlayAll(TMatch &m, std::initializer_list<const char *> moves) {
  for (const char *name : moves) {
    const int p = std::string(name) == "pass" ? 0 : P9(name);
    ASSERT_EQ(m.Play(m.ToMove(), p), TRefusal::None) << name;
  }
}

TEST(Match, IllegalMovesAreRefused) {
  TMatch m(9);
  // Black C5 D4 D6 E5 (around D5), white E4 E6 F5 and then D5 would be retaken at once.
  PlayAll(m, {"D4", "E4", "D6", "E6", "C5", "F5", "E5", "D5"});  // white D5 takes E5: a ko
  EXPECT_EQ(m.Moves().back().Captured, std::vector<int>{P9("E5")});
  EXPECT_EQ(m.Check(1, P9("E5")), TRefusal::Ko);
  EXPECT_EQ(m.Check(1, P9("D5")), TRefusal::Occupied);
  EXPECT_EQ(m.Check(2, P9("A1")), TRefusal::WrongTurn);
  EXPECT_EQ(m.Check(1, 82), TRefusal::NotOnBoard);
  PlayAll(m, {"A9", "J9"});  // a ko threat elsewhere and its answer: now the retake is fine
  EXPECT_EQ(m.Check(1, P9("E5")), TRefusal::None);

  TMatch s(9);
  PlayAll(s, {"B1", "pass", "A2"});
  // White A1 would have no liberty and take nothing.
  EXPECT_EQ(s.Check(2, P9("A1")), TRefusal::Suicide);
  // Black filling its own corner keeps a liberty through B1 and is fine.
  PlayAll(s, {"pass"});
  EXPECT_EQ(s.Check(1, P9("A1")), TRefusal::None);
  PlayAll(s, {"pass"});  // white passed before: two passes in turn
  EXPECT_TRUE(s.TwoPasses());
  EXPECT_EQ(s.Check(1, P9("E5")), TRefusal::Over);
}

TEST(Match, UndoRestoresPositionCapturesAndTurn) {
  TMatch m(9);
  PlayAll(m, {"A2", "A1", "B1"});  // black B1 takes white A1
  EXPECT_EQ(m.Board().At(P9("A1")), 0);
  EXPECT_EQ(m.Board().WhiteCaptured(), 1);
  ASSERT_TRUE(m.Undo());
  EXPECT_EQ(m.Board().At(P9("A1")), 2);
  EXPECT_EQ(m.Board().WhiteCaptured(), 0);
  EXPECT_EQ(m.ToMove(), 1);
  EXPECT_EQ(m.LastPoint(), P9("A1"));
  ASSERT_TRUE(m.Undo());
  ASSERT_TRUE(m.Undo());
  EXPECT_FALSE(m.Undo());
  EXPECT_EQ(m.Board(), TBoard(9));
}

TEST(Match, HandicapStonesStandOnTheUsualPoints) {
  EXPECT_TRUE(HandicapPoints(19, 0).empty());
  EXPECT_TRUE(HandicapPoints(19, 1).empty());
  auto names = [](int size, int stones) {
    std::vector<std::string> out;
    for (int p : HandicapPoints(size, stones)) out.push_back(DisplayName(size, p));
    return out;
  };
  EXPECT_EQ(names(19, 2), (std::vector<std::string>{"D4", "Q16"}));
  EXPECT_EQ(names(19, 5), (std::vector<std::string>{"D4", "Q16", "D16", "Q4", "K10"}));
  EXPECT_EQ(names(19, 9), (std::vector<std::string>{"D4", "Q16", "D16", "Q4", "D10", "Q10", "K4", "K16", "K10"}));
  EXPECT_EQ(names(13, 4), (std::vector<std::string>{"D4", "K10", "D10", "K4"}));
  EXPECT_EQ(names(9, 3), (std::vector<std::string>{"C3", "G7", "C7"}));
  EXPECT_EQ(HandicapPoints(9, 12).size(), 9u);
  const TMatch m(9, HandicapPoints(9, 2));
  EXPECT_EQ(m.ToMove(), 2);
  EXPECT_EQ(m.Board().At(P9("C3")), 1);
}

TEST(Match, JapaneseCounting) {
  // Black owns columns A–D, white F–J, column E is shared by a wall of each... black wall
  // on D, white wall on F, column E empty (dame); a dead white stone sits at B5.
  TMatch m(9);
  for (int row = 1; row <= 9; ++row) {
    const std::string d = "D" + std::to_string(row), f = "F" + std::to_string(row);
    ASSERT_EQ(m.Play(1, P9(d.c_str())), TRefusal::None);
    ASSERT_EQ(m.Play(2, P9(f.c_str())), TRefusal::None);
  }
  ASSERT_EQ(m.Play(1, 0), TRefusal::None);
  ASSERT_EQ(m.Play(2, P9("B5")), TRefusal::None);
  const TScore alive = CountScore(m, {}, 6.5);
  EXPECT_EQ(alive.BlackTerritory, 0);  // the white stone spoils the region while it lives
  EXPECT_EQ(alive.WhiteTerritory, 27);
  const TScore s = CountScore(m, {P9("B5")}, 6.5);
  EXPECT_EQ(s.BlackTerritory, 27);
  EXPECT_EQ(s.WhiteTerritory, 27);
  EXPECT_EQ(s.BlackPrisoners, 1);
  EXPECT_EQ(s.WhitePrisoners, 0);
  EXPECT_DOUBLE_EQ(s.Margin(), 28 - 33.5);
  EXPECT_EQ(ResultText(s.Margin()), "白の 5目半勝ち");
  EXPECT_EQ(SgfResult(s.Margin()), "W+5.5");
}

TEST(Match, ResultTexts) {
  struct Case {
    double Margin;
    const char *Text, *Sgf;
  };
  const std::vector<Case> cases = {
      {3.5, "黒の 3目半勝ち", "B+3.5"}, {-0.5, "白の 半目勝ち", "W+0.5"}, {12, "黒の 12目勝ち", "B+12"},
      {0, "持碁", "0"},                 {-20.5, "白の 20目半勝ち", "W+20.5"},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(ResultText(c.Margin), c.Text);
    EXPECT_EQ(SgfResult(c.Margin), c.Sgf);
  }
  EXPECT_EQ(ResignationText(2), "白の 中押し勝ち");
  EXPECT_EQ(SgfResignation(1), "B+R");
}

}  // namespace
}  // namespace go::match
