// Every shipped lesson goes out as SGF and comes back as the very same figure rows, through the
// lesson tables as kyozai-sgf uses them; and the command line's refusals.
#include <cstdlib>
#include <fstream>
#include <set>

#include "FigureSgf.h"
#include "LessonTables.h"
#include "ScratchKyozai.h"
#include "go/SgfReader.h"
#include "go/SgfWriter.h"

namespace {

using LessonRoundTripTest = TScratchKyozai;

std::vector<kyozai::TFigureRow> SourceRows(const kyozai::TLessonSource &source, int mnb) {
  std::vector<kyozai::TFigureRow> rows;
  for (const auto &r : source.Figures)
    if (r.MNB == mnb) rows.push_back(r);
  return rows;
}

TEST_F(LessonRoundTripTest, EveryShippedLessonComesBackRowForRow) {
  std::set<int> figures;
  for (const auto &r : FSource.Figures) figures.insert(r.MNB);
  ASSERT_GE(figures.size(), 15u);
  for (int mnb : figures) {
    std::string text;
    {
      kyozai::TLessonTables tables(Kyozai());
      kyozai::TLessonFigure figure;
      figure.Rows = tables.Figure(mnb);
      auto contents = tables.Contents(mnb);
      ASSERT_TRUE(contents.has_value()) << mnb;
      figure.Title = contents->ITEM;
      figure.Kind = contents->PRB;
      text = go::WriteSgf(kyozai::FigureToTree(figure, mnb));
    }
    // Read as a file would be, stored over the old rows, read from the table again.
    const go::TSgfRecord record = go::ReadSgf(text);
    const kyozai::TLessonFigure back = kyozai::TreeToFigure(record.Trees.front(), mnb);
    EXPECT_TRUE(back.Warnings.empty()) << mnb;
    kyozai::TLessonTables tables(Kyozai());
    tables.ReplaceFigure(mnb, back.Rows);
    std::string why;
    EXPECT_TRUE(SameRows(tables.Figure(mnb), SourceRows(FSource, mnb), why)) << "figure " << mnb << ": " << why
                                                                              << "\n" << text;
    EXPECT_EQ(back.Kind, tables.Contents(mnb)->PRB) << mnb;
    EXPECT_EQ(back.Title, tables.Contents(mnb)->ITEM) << mnb;
  }
}

TEST_F(LessonRoundTripTest, ExportShowsRightAndWrongAnswers) {
  kyozai::TLessonTables tables(Kyozai());
  kyozai::TLessonFigure figure;
  figure.Rows = tables.Figure(1160);  // コウ: a wrong recapture as a red choice
  const go::TGameTree tree = kyozai::FigureToTree(figure, 1160);
  bool wrong = false;
  std::vector<const go::TNode *> stack{tree.Root()};
  while (!stack.empty()) {
    const go::TNode *n = stack.back();
    stack.pop_back();
    if (n->BadMove) wrong = n->Comment.rfind("【不正解】", 0) == 0;
    stack.insert(stack.end(), n->Children.begin(), n->Children.end());
  }
  EXPECT_TRUE(wrong);
  figure.Rows = tables.Figure(1230);  // a problem lesson: right and wrong first answers
  figure.Kind = 1;
  const go::TGameTree problems = kyozai::FigureToTree(figure, 1230);
  ASSERT_EQ(problems.Root()->Children.size(), 4u);  // one variation per problem
  for (const go::TNode *p : problems.Root()->Children) {
    // Each problem offers its right answer and a wrong one, in whatever order they were recorded.
    int right = 0, bad = 0;
    for (const go::TNode *answer : p->Children) {
      if (answer->Tesuji == 1 && answer->Comment.rfind("正解", 0) == 0) ++right;
      if (answer->BadMove && answer->Comment.rfind("【不正解】", 0) == 0) ++bad;
    }
    EXPECT_EQ(right, 1);
    EXPECT_GE(bad, 1);
  }
}

int Tool(const std::string &arguments) {
  const int status = std::system((std::string(KYOZAI_SGF) + " " + arguments + " >/dev/null 2>&1").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(LessonRoundTripTest, CommandLineRefusesWhatItMustNotDo) {
  const std::string file = (FDir / "1140.sgf").string();
  const std::string dir = Kyozai();
  EXPECT_EQ(Tool("export " + dir + " 1140 " + file), 0);
  EXPECT_EQ(Tool("import " + dir + " 1140 " + file), 1);  // in use
  EXPECT_EQ(Tool("import " + dir + " 1140 " + file + " --replace"), 0);
  EXPECT_EQ(Tool("import " + dir + " 999 " + file), 1);  // no lesson number
  EXPECT_EQ(Tool("import " + dir + " 5010 " + file), 0);  // a new lesson
  EXPECT_EQ(Tool("export " + dir + " 4242 " + file), 1);  // no such figure
  EXPECT_EQ(Tool("export " + dir + " x " + file), 2);
  EXPECT_EQ(Tool("import " + (FDir / "nothing").string() + " 5020 " + file), 1);
  kyozai::TLessonTables tables(dir);
  std::string why;
  EXPECT_TRUE(SameRows(tables.Figure(1140), SourceRows(FSource, 1140), why)) << why;
  auto added = tables.Figure(5010);
  ASSERT_EQ(added.size(), SourceRows(FSource, 1140).size());
  EXPECT_EQ(added.front().MNB, 5010);
  ASSERT_TRUE(tables.Contents(5010).has_value());
  EXPECT_EQ(tables.Contents(5010)->ITEM, tables.Contents(1140)->ITEM);
  // A damaged file changes nothing.
  std::ofstream(file, std::ios::trunc) << "(;GM[1]SZ[19];B[pd];W[";
  EXPECT_EQ(Tool("import " + dir + " 5010 " + file + " --replace"), 1);
  EXPECT_EQ(tables.Figure(5010).size(), added.size());
}

}  // namespace
