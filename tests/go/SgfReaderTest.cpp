// The SGF grammar as the reader takes it, and damaged records with their messages.
#include <gtest/gtest.h>

#include "go/Point.h"
#include "go/SgfReader.h"

namespace go {
namespace {

TGameTree One(const std::string &text) {
  std::vector<TGameTree> trees = ParseSgfText(text);
  EXPECT_EQ(trees.size(), 1u);
  return std::move(trees.front());
}

TEST(SgfReaderTest, GameInformationMovesAndPasses) {
  TGameTree t = One("(;FF[4]GM[1]SZ[13]HA[2]KM[ 0.5 ]PB[黒田]PW[白井]DT[2026-12-09]RE[B+R]GN[練習]"
                    "AB[dd][jj];W[dj];B[];W[tt]C[pass?])");
  EXPECT_EQ(t.Info.Size, 13);
  EXPECT_EQ(t.Info.Handicap, 2);
  EXPECT_EQ(t.Info.Komi, "0.5");
  EXPECT_EQ(t.Info.BlackName, "黒田");
  EXPECT_EQ(t.Info.WhiteName, "白井");
  EXPECT_EQ(t.Info.Date, "2026-12-09");
  EXPECT_EQ(t.Info.Result, "B+R");
  EXPECT_EQ(t.Info.GameName, "練習");
  EXPECT_EQ(t.Root()->AddBlack, (std::vector<int>{PointOf(13, 3, 3), PointOf(13, 9, 9)}));
  const auto line = t.MainLine();
  ASSERT_EQ(line.size(), 4u);
  EXPECT_EQ(line[1]->MoveColor, 2);
  EXPECT_EQ(line[1]->MovePoint, PointOf(13, 3, 9));
  EXPECT_EQ(line[2]->MoveColor, 1);
  EXPECT_EQ(line[2]->MovePoint, 0);  // B[] passes
  EXPECT_EQ(line[3]->MovePoint, 0);  // W[tt] passes on a board up to 19 lines
  EXPECT_EQ(line[3]->Comment, "pass?");
}

TEST(SgfReaderTest, TextEscapesSoftBreaksAndWhiteSpace) {
  struct Case {
    const char *Value;
    const char *Comment;  // C keeps line breaks
    const char *Name;     // GN (simple text) turns them into blanks
  } cases[] = {
      {"a\\]b", "a]b", "a]b"},
      {"back\\\\slash", "back\\slash", "back\\slash"},
      {"soft\\\nbreak", "softbreak", "softbreak"},
      {"two\nlines", "two\nlines", "two lines"},
      {"tab\there", "tab here", "tab here"},
      {"\\:colon", ":colon", ":colon"},
      {"日本語\\\n続き", "日本語続き", "日本語続き"},
  };
  for (const Case &c : cases) {
    TGameTree t = One(std::string("(;GN[") + c.Value + "]C[" + c.Value + "])");
    EXPECT_EQ(t.Root()->Comment, c.Comment) << c.Value;
    EXPECT_EQ(t.Info.GameName, c.Name) << c.Value;
  }
}

TEST(SgfReaderTest, PointListsMarkupAndAnnotations) {
  TGameTree t = One("(;SZ[9]AW[aa:bb][ii]AE[]TR[cc]SQ[dd:dc]CR[ee]MA[ff]LB[gg:A][hh:1\\:2]TE[2];B[ab]BM[1]MN[42])");
  const TNode *r = t.Root();
  // The rectangle aa:bb holds four points, column by column.
  EXPECT_EQ(r->AddWhite, (std::vector<int>{1, 2, 10, 11, 81}));
  EXPECT_TRUE(r->AddEmpty.empty());
  EXPECT_EQ(r->Triangles, std::vector<int>{PointOf(9, 2, 2)});
  EXPECT_EQ(r->Squares, (std::vector<int>{PointOf(9, 3, 2), PointOf(9, 3, 3)}));
  EXPECT_EQ(r->Circles, std::vector<int>{PointOf(9, 4, 4)});
  EXPECT_EQ(r->Crosses, std::vector<int>{PointOf(9, 5, 5)});
  ASSERT_EQ(r->Labels.size(), 2u);
  EXPECT_EQ(r->Labels[0].Text, "A");
  EXPECT_EQ(r->Labels[1].Text, "1:2");
  EXPECT_EQ(r->Tesuji, 2);
  const TNode *m = r->Children.front();
  EXPECT_EQ(m->BadMove, 1);
  EXPECT_EQ(m->MoveNumber, 42);
}

TEST(SgfReaderTest, VariationsCollectionsUnknownPropertiesAndOldNames) {
  std::vector<TGameTree> trees = ParseSgfText(
      "header text\n(;RU[Japanese]XY[1][2]AddBlack[aa];B[bb](;W[cc];B[dd])(;W[ee]TM[3]))\n(;SZ[9];B[aa])\ntrailer");
  ASSERT_EQ(trees.size(), 2u);
  const TNode *root = trees[0].Root();
  ASSERT_EQ(root->Unknown.size(), 2u);
  EXPECT_EQ(root->Unknown[0], (TRawProperty{"RU", {"Japanese"}}));
  EXPECT_EQ(root->Unknown[1], (TRawProperty{"XY", {"1", "2"}}));
  EXPECT_EQ(root->AddBlack, std::vector<int>{1});  // "AddBlack" counts as AB
  const TNode *b = root->Children.front();
  ASSERT_EQ(b->Children.size(), 2u);
  EXPECT_EQ(b->Children[0]->Children.front()->MovePoint, PointOf(19, 3, 3));
  EXPECT_EQ(b->Children[1]->Unknown.front(), (TRawProperty{"TM", {"3"}}));
  EXPECT_EQ(trees[1].Info.Size, 9);
}

TEST(SgfReaderTest, DamagedRecordsSayWhatAndWhere) {
  struct Case {
    const char *Text;
    TSgfErrorCode Code;
    int Line, Column;
    const char *Says;
  } cases[] = {
      {"no record here", TSgfErrorCode::NotSgf, 1, 1, "「(;」がありません"},
      {"(;B[aa];W[bb]", TSgfErrorCode::Truncated, 1, 1, "「)」がありません"},
      {"(;B[aa]\n;W[bb", TSgfErrorCode::Truncated, 2, 3, "「]」がない"},
      {"(;B[aa](;W[bb])", TSgfErrorCode::Truncated, 1, 1, "「)」がありません"},
      {"(;B[aa]))", TSgfErrorCode::Unbalanced, 1, 9, "「(」のない「)」"},
      {"(;B[aa]])", TSgfErrorCode::BadProperty, 1, 8, "「]」は置けません"},
      {"(B[aa])", TSgfErrorCode::BadProperty, 1, 2, "「;」がありません"},
      {"(;B[aa]()", TSgfErrorCode::BadProperty, 1, 9, "節のない変化"},
      {"(;C)", TSgfErrorCode::BadProperty, 1, 3, "値「[…]」がありません"},
      {"(;SZ[9]\nB[jj])", TSgfErrorCode::BadPoint, 2, 2, "9路盤の上にありません"},
      {"(;AB[aa:zz])", TSgfErrorCode::BadPoint, 1, 5, "19路盤の上にありません"},
      {"(;B[a])", TSgfErrorCode::BadPoint, 1, 4, "B[a]"},
      {"(;LB[aa])", TSgfErrorCode::BadValue, 1, 5, "「:」がありません"},
      {"(;SZ[15])", TSgfErrorCode::BadSize, 1, 5, "15路盤の棋譜は開けません"},
      {"(;SZ[19:13])", TSgfErrorCode::BadSize, 1, 5, "長方形の盤"},
      {"(;SZ[big])", TSgfErrorCode::BadValue, 1, 5, "盤の大きさではありません"},
      {"(;GM[4]SZ[15])", TSgfErrorCode::NotGo, 1, 5, "囲碁の棋譜ではありません"},
      {"(;B[aa];W[こ])", TSgfErrorCode::BadPoint, 1, 10, "W[こ]"},
  };
  for (const Case &c : cases) {
    try {
      ParseSgfText(c.Text);
      ADD_FAILURE() << "no error for " << c.Text;
    } catch (const ESgfError &e) {
      EXPECT_EQ(e.Code, c.Code) << c.Text;
      EXPECT_EQ(e.Line, c.Line) << c.Text;
      EXPECT_EQ(e.Column, c.Column) << c.Text;
      const std::string what = e.what();
      EXPECT_NE(what.find(c.Says), std::string::npos) << c.Text << " -> " << what;
      EXPECT_EQ(what.rfind(std::to_string(c.Line) + "行" + std::to_string(c.Column) + "列: ", 0), 0u) << what;
    }
  }
}

TEST(SgfReaderTest, DeepVariationsAreRefusedNotRecursed) {
  std::string deep;
  for (int i = 0; i < MaxVariationDepth + 5; ++i) deep += "(;B[aa]";
  try {
    ParseSgfText(deep);
    ADD_FAILURE() << "nesting accepted";
  } catch (const ESgfError &e) {
    EXPECT_EQ(e.Code, TSgfErrorCode::TooDeep);
  }
  // A long note of brackets before the record is read once, not once per bracket.
  const std::string note(4000000, '(');
  EXPECT_EQ(ParseSgfText(note + "(;B[aa])").size(), 1u);
  // A long main line is no nesting at all.
  std::string longLine = "(;SZ[9]";
  for (int i = 0; i < 200000; ++i) longLine += i % 2 ? ";W[aa]" : ";B[bb]";
  longLine += ")";
  EXPECT_EQ(ParseSgfText(longLine).front().NodeCount(), 200001u);
}

}  // namespace
}  // namespace go
