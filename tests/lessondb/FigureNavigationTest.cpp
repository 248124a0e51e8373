// The walks over the figure query on small figures built for them: a root branch, two
// branches hanging at one end, a single branch, ends with nothing hanging, a problem lesson
// whose problems share points, a figure without branch marks and an end with 25 branches.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <functional>
#include <string>

#include "ScratchDirTest.h"
#include "KyozaiBuilder.h"
#include "LessonSource.h"
#include "app/data/DataModule.h"
#include "app/lessons/FigureNavigation.h"
#include "app/board/PlayState.h"
#include "query/dataset/DataSetErrors.h"
#include "query/dataset/KuraSession.h"

namespace {

namespace fs = std::filesystem;
using namespace miretoka;

kyozai::TFigureRow Row(int mnb, int tes, int col, int pst, int bfr, int bto, int dtx = 0) {
  kyozai::TFigureRow r;
  r.MNB = mnb;
  r.TES = tes;
  r.COL = col;
  r.PST = pst;
  r.BFR = bfr;
  r.BTO = bto;
  r.DTX = dtx;
  return r;
}

// Figure 1000, a lesson without problems (rows numbered as RecNo):
//   1 root start (BTO 9999)       2 root end, branch 1
//   3 branch A at 1, first row    4 branch A end, branch 2
//   5 branch B at 1, one row (BTO 1, BFR 3; nothing hangs at 3)
//   6 single branch at 2, one row (BFR 4; nothing hangs at 4)
// Figure 2000, a problem lesson: problem 1 on rows 1-3, problem 2 on rows 4-7 with the same
// points and move numbers as problem 1; two branches hang at problem 2's basic end (3).
// Figure 3000: three rows without any branch marks (a damaged figure).
// Figure 4000: a root of one row (BFR 1) and 25 one-row branches hanging at 1.
kyozai::TLessonSource NavigationSource() {
  kyozai::TLessonSource s;
  s.Contents = {{1000, "分岐", 0}, {2000, "問題", 1}, {3000, "壊れた図", 0}, {4000, "多い分岐", 0}};
  s.Figures = {
      Row(1000, 0, 1, 10, 0, 9999), Row(1000, 0, 2, 20, 1, 0),  Row(1000, 1, 1, 30, 0, 1),
      Row(1000, 2, 2, 40, 2, 0),    Row(1000, 1, -1, 50, 3, 1), Row(1000, 3, 1, 60, 4, 2),

      Row(2000, 0, 1, 10, 0, 9999, 1), Row(2000, 0, 2, 20, 1, 0, 1), Row(2000, 1, 1, 30, 2, 1, 1),
      Row(2000, 0, 1, 10, 0, 9999, 2), Row(2000, 0, 2, 20, 3, 0, 2), Row(2000, 1, 1, 30, 4, 3, 2),
      Row(2000, 1, -1, 31, 5, 3, 2),

      Row(3000, 0, 1, 10, 0, 0), Row(3000, 0, 2, 11, 0, 0), Row(3000, 0, 1, 12, 0, 0),
  };
  s.Figures.push_back(Row(4000, 0, 1, 1, 1, 9999));
  for (int i = 0; i < 25; ++i) s.Figures.push_back(Row(4000, 1, i % 2 ? -1 : 1, 100 + i, 2 + i, 1));
  return s;
}

class FigureNavigationTest : public TScratchDirTest {
 protected:
  void SetUp() override {
    TScratchDirTest::SetUp();
    if (HasFatalFailure()) return;
    kyozai::BuildKyozai(NavigationSource(), "kyozai");
    play::ResetAll();
  }
  void TearDown() override {
    FDm.DataModuleDestroy();
    TScratchDirTest::TearDown();
  }
  kura::TKuraQuery &Q() { return FDm.KuraQuery2; }
  void Open(int mnb) {
    FDm.OpenFigure(mnb);
    ASSERT_TRUE(FDm.FigureOpen());
  }
  void GoTo(int recNo) {
    Q().SetRecNo(recNo);
    ASSERT_EQ(Q().RecNo(), recNo);
  }
  // Sets MoveNumber to the current row's TES, as the callers of ClassifyRow do.
  void TakeMoveNumber() { play::MoveNumber = static_cast<std::int32_t>(Q().FieldByName("TES").AsInteger()); }

  TDataModule1 FDm;
};

TEST_F(FigureNavigationTest, BranchStartAndEndWalks) {
  Open(1000);
  GoTo(4);
  GoToBranchStart(FDm);
  EXPECT_EQ(Q().RecNo(), 3);
  GoTo(2);
  GoToBranchStart(FDm);
  EXPECT_EQ(Q().RecNo(), 1);
  // A row that starts a branch is its own start.
  GoTo(5);
  GoToBranchStart(FDm);
  EXPECT_EQ(Q().RecNo(), 5);

  GoTo(1);
  EXPECT_EQ(GoToBranchEnd(FDm), 2);
  EXPECT_EQ(Q().RecNo(), 2);
  GoTo(3);
  EXPECT_EQ(GoToBranchEnd(FDm), 2);
  EXPECT_EQ(Q().RecNo(), 4);
  // A row that ends a branch counts only itself; the last row too.
  EXPECT_EQ(GoToBranchEnd(FDm), 1);
  EXPECT_EQ(Q().RecNo(), 4);
  GoTo(6);
  EXPECT_EQ(GoToBranchEnd(FDm), 1);
  EXPECT_EQ(Q().RecNo(), 6);
}

TEST_F(FigureNavigationTest, WalksStopAtTheFirstAndLastRowOfAFigureWithoutBranchMarks) {
  Open(3000);
  GoTo(3);
  GoToBranchStart(FDm);
  EXPECT_EQ(Q().RecNo(), 1);
  EXPECT_EQ(Q().FieldByName("PST").AsInteger(), 10);
  // Starting on the first row itself (Bof already set by First).
  Q().First();
  GoToBranchStart(FDm);
  EXPECT_EQ(Q().RecNo(), 1);

  GoTo(1);
  EXPECT_EQ(GoToBranchEnd(FDm), 3);
  EXPECT_EQ(Q().RecNo(), 3);
  Q().Last();
  EXPECT_EQ(GoToBranchEnd(FDm), 1);
  EXPECT_EQ(Q().RecNo(), 3);

  // Stepping back from the first row stays there.
  Q().First();
  StepToPreviousRow(FDm);
  EXPECT_EQ(Q().RecNo(), 1);
}

TEST_F(FigureNavigationTest, StepToPreviousRowCrossesBranchStartsToTheParentEnd) {
  Open(1000);
  GoTo(3);  // branch A's first row continues the end of branch 1
  StepToPreviousRow(FDm);
  EXPECT_EQ(Q().RecNo(), 2);
  GoTo(5);  // so does branch B, although row 4 lies before it
  StepToPreviousRow(FDm);
  EXPECT_EQ(Q().RecNo(), 2);
  GoTo(6);
  StepToPreviousRow(FDm);
  EXPECT_EQ(Q().RecNo(), 4);
  GoTo(4);  // inside a branch: the prior row
  StepToPreviousRow(FDm);
  EXPECT_EQ(Q().RecNo(), 3);
  // The root's first row looks for BFR 9999, finds nothing and stays.
  GoTo(1);
  StepToPreviousRow(FDm);
  EXPECT_EQ(Q().RecNo(), 1);
}

TEST_F(FigureNavigationTest, FindBranchesListsTheBranchesInFigureOrder) {
  Open(1000);
  play::ChoiceTable[7] = {1, 99, 1};  // left over from an earlier end
  GoTo(2);
  EXPECT_EQ(FindBranches(FDm, 1), 2);
  EXPECT_EQ(play::ChoiceTable[0].Color, 1);
  EXPECT_EQ(play::ChoiceTable[0].Point, 30);
  EXPECT_EQ(play::ChoiceTable[0].From, 1);
  EXPECT_EQ(play::ChoiceTable[1].Color, -1);
  EXPECT_EQ(play::ChoiceTable[1].Point, 50);
  EXPECT_EQ(play::ChoiceTable[1].From, 1);
  for (int i = 2; i < play::ChoiceTableSize; ++i) EXPECT_EQ(play::ChoiceTable[i].Point, 0) << i;
  // The walk leaves the cursor after the last row.
  EXPECT_TRUE(Q().Eof());
  EXPECT_EQ(Q().RecNo(), 6);

  EXPECT_EQ(FindBranches(FDm, 2), 1);
  EXPECT_EQ(play::ChoiceTable[0].Point, 60);
  EXPECT_EQ(play::ChoiceTable[0].From, 2);
  EXPECT_EQ(play::ChoiceTable[1].Point, 0);

  // Nothing hangs at end 4: every entry is zero.
  EXPECT_EQ(FindBranches(FDm, 4), 0);
  for (const auto &e : play::ChoiceTable) {
    EXPECT_EQ(e.Color, 0);
    EXPECT_EQ(e.Point, 0);
    EXPECT_EQ(e.From, 0);
  }
}

TEST_F(FigureNavigationTest, FindBranchesKeepsTheFirstTwentyOfMoreBranches) {
  Open(4000);
  EXPECT_EQ(FindBranches(FDm, 1), play::ChoiceTableSize);
  for (int i = 0; i < play::ChoiceTableSize; ++i) {
    EXPECT_EQ(play::ChoiceTable[i].Point, 100 + i) << i;
    EXPECT_EQ(play::ChoiceTable[i].Color, i % 2 ? -1 : 1) << i;
    EXPECT_EQ(play::ChoiceTable[i].From, 1) << i;
  }
  EXPECT_TRUE(Q().Eof());
  EXPECT_EQ(Q().RecNo(), 26);
}

TEST_F(FigureNavigationTest, ClassifyRowInALessonWithoutProblems) {
  Open(1000);
  play::LessonKind = 0;
  struct Case {
    int row, kind;
  } cases[] = {{1, 3}, {2, 2}, {3, 3}, {4, 1}, {5, 0}, {6, 0}};
  for (const Case &c : cases) {
    GoTo(c.row);
    TakeMoveNumber();
    EXPECT_EQ(ClassifyRow(FDm), c.kind) << "row " << c.row;
    EXPECT_EQ(Q().RecNo(), c.row) << "row " << c.row;
  }
  // Row 2 filled the table with both branches; row 4 with its single one.
  GoTo(4);
  TakeMoveNumber();
  ASSERT_EQ(ClassifyRow(FDm), 1);
  EXPECT_EQ(play::ChoiceTable[0].Point, 60);
  EXPECT_EQ(play::ChoiceTable[1].Point, 0);
  // A row that goes on does not touch the table.
  GoTo(1);
  TakeMoveNumber();
  ASSERT_EQ(ClassifyRow(FDm), 3);
  EXPECT_EQ(play::ChoiceTable[0].Point, 60);
}

TEST_F(FigureNavigationTest, ClassifyRowRefindsByMoveNumberAndPoint) {
  Open(1000);
  play::LessonKind = 0;
  // The re-find uses MoveNumber, not the row's TES: row 5 (TES 1, PST 50) is found again by
  // (1, 50); with MoveNumber 2 no row has (2, 50) and the row that was classified stays current
  // instead of the last row the branch search ended on.
  GoTo(5);
  play::MoveNumber = 1;
  EXPECT_EQ(ClassifyRow(FDm), 0);
  EXPECT_EQ(Q().RecNo(), 5);
  GoTo(2);
  play::MoveNumber = 2;
  EXPECT_EQ(ClassifyRow(FDm), 2);
  EXPECT_EQ(Q().RecNo(), 2);
  // A key that matches an earlier row moves the cursor there: in figure 2000, problem 2's
  // first row (TES 0, PST 10) is found again as problem 1's first row by "TES;PST".
  FDm.OpenFigure(2000);
  GoTo(4);
  TakeMoveNumber();
  EXPECT_EQ(ClassifyRow(FDm), 3);
  EXPECT_EQ(Q().RecNo(), 1);
  EXPECT_EQ(Q().FieldByName("DTX").AsInteger(), 1);
}

TEST_F(FigureNavigationTest, ClassifyRowInAProblemLessonRefindsWithinTheProblem) {
  Open(2000);
  play::LessonKind = 1;
  play::CurrentProblem = 2;
  // Problem 2's rows repeat problem 1's points and move numbers; the key with the problem
  // number finds problem 2's row, where "TES;PST" would find problem 1's.
  struct Case {
    int row, kind;
  } cases[] = {{4, 3}, {5, 2}, {6, 0}, {7, 0}};
  for (const Case &c : cases) {
    GoTo(c.row);
    TakeMoveNumber();
    EXPECT_EQ(ClassifyRow(FDm), c.kind) << "row " << c.row;
    EXPECT_EQ(Q().RecNo(), c.row) << "row " << c.row;
  }
  GoTo(5);
  ASSERT_EQ(ClassifyRow(FDm), 2);
  EXPECT_EQ(play::ChoiceTable[0].Point, 30);
  EXPECT_EQ(play::ChoiceTable[1].Point, 31);
  EXPECT_EQ(play::ChoiceTable[1].Color, -1);
  EXPECT_EQ(play::ChoiceTable[2].Point, 0);

  play::CurrentProblem = 1;
  GoTo(1);
  TakeMoveNumber();
  EXPECT_EQ(ClassifyRow(FDm), 3);
  EXPECT_EQ(Q().RecNo(), 1);
  GoTo(2);
  EXPECT_EQ(ClassifyRow(FDm), 1);
  EXPECT_EQ(Q().RecNo(), 2);
  EXPECT_EQ(play::ChoiceTable[0].Point, 30);
  EXPECT_EQ(play::ChoiceTable[0].From, 1);
}

TEST_F(FigureNavigationTest, AnEmptyFigureGivesNothingAndDoesNotFail) {
  Open(5555);
  EXPECT_EQ(Q().RecordCount(), 0);
  GoToBranchStart(FDm);
  EXPECT_EQ(GoToBranchEnd(FDm), 0);
  StepToPreviousRow(FDm);
  play::ChoiceTable[0] = {1, 5, 1};
  EXPECT_EQ(FindBranches(FDm, 1), 0);
  EXPECT_EQ(play::ChoiceTable[0].Point, 0);
  EXPECT_EQ(ClassifyRow(FDm), 0);
  EXPECT_TRUE(Q().Eof());
  EXPECT_TRUE(Q().Bof());
}

}  // namespace

namespace {

// Before a lesson is opened the figure query is closed: the walks report the dataset's error
// (shown by the standard error box) instead of reading a row that is not there.
TEST_F(FigureNavigationTest, WalksOnAClosedFigureQueryRaiseTheDatasetError) {
  ASSERT_FALSE(FDm.FigureOpen());
  const auto expectClosed = [](const std::function<void()> &walk) {
    try {
      walk();
      ADD_FAILURE() << "no error";
    } catch (const kura::EKuraDatabaseError &e) {
      EXPECT_STREQ(e.what(), kura::dsmsg::DataSetClosed);
    }
  };
  expectClosed([&] { GoToBranchStart(FDm); });
  expectClosed([&] { GoToBranchEnd(FDm); });
  expectClosed([&] { StepToPreviousRow(FDm); });
  expectClosed([&] { FindBranches(FDm, 1); });
  expectClosed([&] { ClassifyRow(FDm); });
}

}  // namespace
