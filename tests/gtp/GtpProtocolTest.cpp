// The GTP text: commands, responses cut out of the engine's output, vertices.
#include <gtest/gtest.h>

#include "go/gtp/GtpEngine.h"
#include "go/gtp/GtpProtocol.h"
#include "go/gtp/GtpVertex.h"

namespace go::gtp {
namespace {

TEST(GtpProtocol, CommandsAreOneLineWithOptionalId) {
  EXPECT_EQ(FormatCommand(12, "play black D4"), "12 play black D4\n");
  EXPECT_EQ(FormatCommand(-1, "name"), "name\n");
  EXPECT_EQ(FormatCommand(3, "komi 6.5\nquit"), "3 komi 6.5 quit\n");
}

struct ReaderCase {
  const char *Name;
  std::vector<std::string> Pieces;  // output as it arrives
  std::vector<TResponse> Expected;
  bool Broken;
};

TEST(GtpProtocol, ResponsesAreCutFromOutput) {
  const std::vector<ReaderCase> cases = {
      {"plain", {"= \n\n"}, {{true, -1, ""}}, false},
      {"id and text", {"=5 D4\n\n"}, {{true, 5, "D4"}}, false},
      {"failure", {"?7 illegal move\n\n"}, {{false, 7, "illegal move"}}, false},
      {"split anywhere", {"=1", "2 C", "3\n", "\n=13 pa", "ss\n\n"}, {{true, 12, "C3"}, {true, 13, "pass"}}, false},
      {"multi-line", {"=4 A1 B2\nC3 D4\n\n"}, {{true, 4, "A1 B2\nC3 D4"}}, false},
      {"carriage returns and tabs", {"=2\tE5\r\n\r\n"}, {{true, 2, "E5"}}, false},
      {"incomplete waits", {"=3 D4\n"}, {}, false},
      {"blank lines before", {"\n\n=1 x\n\n"}, {{true, 1, "x"}}, false},
      {"not a response", {"GNU Go says hello\n\n"}, {}, true},
      {"letters after the sign", {"=x D4\n\n"}, {}, true},
      {"good then garbage", {"=1\n\nwhat?\n"}, {{true, 1, ""}}, true},
  };
  for (const ReaderCase &c : cases) {
    SCOPED_TRACE(c.Name);
    TResponseReader reader;
    std::vector<TResponse> got;
    for (const std::string &piece : c.Pieces) {
      reader.Feed(piece);
      while (auto r = reader.Next()) got.push_back(*r);
    }
    EXPECT_EQ(got, c.Expected);
    EXPECT_EQ(reader.Broken(), c.Broken);
  }
}

TEST(GtpProtocol, Vertices) {
  struct Case {
    int Size;
    const char *Text;
    std::optional<TVertex> Expected;
  };
  // Point = column × size + row + 1, row 0 at the top.
  const std::vector<Case> cases = {
      {19, "A19", TVertex{TVertexKind::Point, 1}},
      {19, "a1", TVertex{TVertexKind::Point, 19}},
      {19, "T1", TVertex{TVertexKind::Point, 361}},
      {19, "J19", TVertex{TVertexKind::Point, 8 * 19 + 1}},  // J follows H: no I column
      {9, "E5", TVertex{TVertexKind::Point, 4 * 9 + 4 + 1}},
      {9, "PASS", TVertex{TVertexKind::Pass, 0}},
      {9, "I5", std::nullopt},
      {9, "K5", std::nullopt},   // beyond the ninth column (J)
      {9, "E10", std::nullopt},
      {9, "E0", std::nullopt},
      {9, "E05", std::nullopt},
      {9, "E5x", std::nullopt},
      {9, "", std::nullopt},
      {9, "resign", std::nullopt},  // only where a move is generated
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(std::string(c.Text) + " on " + std::to_string(c.Size));
    EXPECT_EQ(ParseVertex(c.Size, c.Text), c.Expected);
  }
  EXPECT_EQ(ParseVertex(9, "Resign", true), (TVertex{TVertexKind::Resign, 0}));
  for (int size : {9, 13, 19})
    for (int p = 1; p <= size * size; ++p) ASSERT_EQ(ParseVertex(size, VertexText(size, p))->Point, p);
  EXPECT_EQ(VertexText(9, 0), "pass");
  EXPECT_EQ(VertexText(13, 13), "A1");
}

TEST(GtpProtocol, PointListsAndEngineCommands) {
  EXPECT_EQ(ParsePointList(9, "C3 G7\nE5"), (std::vector<int>{2 * 9 + 6 + 1, 6 * 9 + 2 + 1, 4 * 9 + 4 + 1}));
  EXPECT_EQ(ParsePointList(9, ""), std::vector<int>{});
  EXPECT_EQ(ParsePointList(9, "C3 pass"), std::nullopt);
  EXPECT_EQ(ParsePointList(9, "C3 Z3"), std::nullopt);
  EXPECT_EQ(SplitCommand("gnugo --mode gtp"), (std::vector<std::string>{"gnugo", "--mode", "gtp"}));
  EXPECT_EQ(SplitCommand("\"/opt/my engine/go\"  -x \"\""),
            (std::vector<std::string>{"/opt/my engine/go", "-x", ""}));
}

}  // namespace
}  // namespace go::gtp
