// Records as they come from game servers and editors become figures whose main line and
// comments are the file's.
#include <gtest/gtest.h>

#include "FigureSgf.h"
#include "SgfTestTrees.h"
#include "go/SgfReader.h"
#include "go/Point.h"
#include "go/SgfText.h"

namespace {

struct TMove {
  int Color, Point;
  std::string Comment;
  bool operator==(const TMove &) const = default;
};

// The main line of a figure: from the basic figure, always the first branch hanging at an end.
std::vector<TMove> FigureMainLine(const std::vector<kyozai::TFigureRow> &rows) {
  std::vector<TMove> line;
  int end = 0;
  for (const auto &r : rows)
    if (r.BFR > 0 && r.BTO == 9999) {
      end = r.BFR;
      break;
    }
  for (;;) {
    size_t start = rows.size();
    for (size_t i = 0; i < rows.size(); ++i)
      if (rows[i].BTO == end && end != 9999) {
        start = i;
        break;
      }
    if (start == rows.size()) return line;
    size_t i = start;
    for (; i < rows.size(); ++i) {
      line.push_back({std::abs(rows[i].COL), rows[i].PST, rows[i].CMT});
      if (rows[i].BFR > 0) break;
    }
    if (i == rows.size()) return line;
    end = rows[i].BFR;
  }
}

std::vector<TMove> RecordMainLine(const go::TGameTree &tree) {
  std::vector<TMove> line;
  for (const go::TNode *n : tree.MainLine())
    if (n->HasMove() && n->MovePoint > 0) line.push_back({n->MoveColor, n->MovePoint, n->Comment});
  return line;
}

TEST(RecordImportTest, ServerRecordsInEveryEncoding) {
  const std::string utf8 = go::test::ServerStyleRecord(260, 25);
  struct Case {
    const char *What;
    std::string Bytes;
  } cases[] = {
      {"UTF-8", utf8},
      {"Shift_JIS without CA", go::ConvertFromUtf8(utf8.substr(0, utf8.find("CA[")) +
                                                       utf8.substr(utf8.find("CA[UTF-8]") + 9),
                                                   "Shift_JIS")},
      {"UTF-16 with mark", "\xFF\xFE" + go::ConvertFromUtf8(utf8, "UTF-16LE")},
  };
  for (const Case &c : cases) {
    ASSERT_FALSE(c.Bytes.empty()) << c.What;
    const go::TSgfRecord record = go::ReadSgf(c.Bytes);
    const kyozai::TLessonFigure f = kyozai::TreeToFigure(record.Trees.front(), 5000);
    EXPECT_EQ(f.Title, "秋の大会 第3局") << c.What;
    const std::vector<TMove> expected = RecordMainLine(record.Trees.front());
    ASSERT_EQ(expected.size(), 260u) << c.What;
    EXPECT_EQ(FigureMainLine(f.Rows), expected) << c.What;
    // Variations became further branches; every row is a move of the record's colour.
    int roots = 0, branches = 0;
    for (const auto &r : f.Rows) {
      roots += r.BTO == 9999;
      branches += r.BFR > 0;
      EXPECT_EQ(r.MNB, 5000);
    }
    EXPECT_EQ(roots, 1) << c.What;
    // A branch starts at every node where the record branches (and at the root's child).
    int starts = 0;
    std::vector<const go::TNode *> stack{record.Trees.front().Root()};
    while (!stack.empty()) {
      const go::TNode *n = stack.back();
      stack.pop_back();
      if (n->Parent && (n->Parent->Parent == nullptr || n->Parent->Children.size() > 1)) ++starts;
      stack.insert(stack.end(), n->Children.begin(), n->Children.end());
    }
    EXPECT_GT(starts, 25) << c.What;
    EXPECT_EQ(branches, 1 + starts) << c.What;
  }
}

TEST(RecordImportTest, WhatAFigureCannotHoldIsCountedNotSilentlyLost) {
  const std::string text =
      "(;SZ[19]C[対局前のあいさつ];B[pd]C[よろしく];W[]C[パス];B[dd]TR[dd]"
      ";AB[aa]C[置き石];W[dp]BM[1]C[【不正解】悪手];B[pp])";
  const kyozai::TLessonFigure f = kyozai::TreeToFigure(go::ParseSgfText(text).front(), 5000);
  ASSERT_EQ(f.Rows.size(), 1u + 4u);
  // No stones in the root: one invisible mark is the basic figure.
  EXPECT_EQ(f.Rows[0].DTX, 31);
  EXPECT_EQ(f.Rows[0].CMT, "");
  EXPECT_EQ(f.Rows[0].BTO, 9999);
  EXPECT_EQ(f.Rows[1].CMT, "よろしく");
  EXPECT_EQ(f.Rows[1].TES, 1);
  EXPECT_EQ(f.Rows[3].COL, 2);  // BM inside a line does not make a red stone
  EXPECT_EQ(f.Rows[3].CMT, "悪手");
  EXPECT_EQ(f.Warnings.size(), 5u);  // pass, later setup, markup on a move, a lost comment, root comment
}

TEST(RecordImportTest, SetupAfterAnInformationNodeIsTheBasicFigure) {
  // As problem sites write them: game information, then the position, then the answer.
  const auto f = kyozai::TreeToFigure(
      go::ParseSgfText("(;GM[1]SZ[19]GN[詰碁];AB[ba][bb]AW[aa][ab]C[黒先];B[ac]C[正解])").front(), 5000);
  ASSERT_EQ(f.Rows.size(), 5u);
  EXPECT_EQ(f.Rows[0].COL, 1);
  EXPECT_EQ(f.Rows[0].BTO, 9999);
  EXPECT_EQ(f.Rows[3].CMT, "黒先");
  EXPECT_EQ(f.Rows[3].BFR, 1);
  EXPECT_EQ(f.Rows[4].TES, 1);
  EXPECT_EQ(f.Rows[4].BTO, 1);
  EXPECT_TRUE(f.Warnings.empty());
}

TEST(RecordImportTest, RefusesOtherBoardsAndCutsLongComments) {
  EXPECT_THROW(kyozai::TreeToFigure(go::ParseSgfText("(;SZ[9];B[ee])").front(), 5000), kyozai::EFigureSgfError);
  const std::string longComment(400, 'x');
  const auto f = kyozai::TreeToFigure(go::ParseSgfText("(;AB[dd];B[pp]C[" + longComment + "])").front(), 5000);
  ASSERT_EQ(f.Rows.size(), 2u);
  EXPECT_EQ(f.Rows[1].CMT.size(), kyozai::CommentLimit);
  EXPECT_EQ(f.Warnings.size(), 1u);
}

}  // namespace

namespace {

TEST(RecordImportTest, EveryMarkupKindBecomesAMarkAndGoesOutAgain) {
  const go::TGameTree tree =
      go::ParseSgfText("(;AB[dd]AW[pp]TR[dd]SQ[pp]CR[jj]MA[aa]LB[dp:Ａ][pd:天]C[印の練習];B[qq])").front();
  const kyozai::TLessonFigure f = kyozai::TreeToFigure(tree, 5000);
  struct Expected {
    const char *Point;
    int Col, Dtx;
    const char *Text;
  } expected[] = {{"dd", 1, 0, ""}, {"pp", 2, 0, "印の練習"},  {"dp", 3, 21, "Ａ"}, {"pd", 3, 21, "天"},
                  {"dd", 1, 11, "△"},       {"pp", 2, 11, "□"}, {"jj", 3, 21, "○"}, {"aa", 3, 21, "×"}};
  ASSERT_EQ(f.Rows.size(), std::size(expected) + 1);
  // AB and AW first; the comment on the last stone; then labels, then the symbols.
  for (size_t i = 0; i < std::size(expected); ++i) {
    const auto &r = f.Rows[i];
    const Expected &e = expected[i];
    EXPECT_EQ(r.PST, *go::PointFromSgf(19, e.Point)) << i;
    EXPECT_EQ(r.COL, e.Col) << i;
    EXPECT_EQ(r.DTX, e.Dtx) << i;
    EXPECT_EQ(r.CMT, e.Text) << i;
  }
  // The mark rows go out as the same markup, no exact rows needed.
  const go::TGameTree back = kyozai::FigureToTree(f, 5000);
  const go::TNode &root = *back.Root();
  EXPECT_EQ(root.Triangles, tree.Root()->Triangles);
  EXPECT_EQ(root.Squares, tree.Root()->Squares);
  EXPECT_EQ(root.Circles, tree.Root()->Circles);
  EXPECT_EQ(root.Crosses, tree.Root()->Crosses);
  EXPECT_EQ(root.Labels, tree.Root()->Labels);
}

}  // namespace
