// What a learner meets in a lesson: whole comments, answers that explain themselves,
// take-backs that return to exactly the board shown before, and a lesson that stays
// intact through saving, stepping back and the small boards.
#include <QLineEdit>
#include <QScrollBar>
#include <QTextBrowser>

#include "LessonTestSupport.h"
#include "SmallBoardTestSupport.h"
#include "app/board/PlayState.h"

namespace miretoka::test {
namespace {

using namespace play;

// 80 characters, far more than the status bar's panel holds.
const char *LongComment =
    "黒が先に打ちます。石は線と線の交わる点（交点）に置きます。黒と白が一手ずつ交互に打ちます。一度置いた石は動かしません。"
    "取られない限り盤の上に残ります。印のつい";
// 130 characters: five lines of 26, the longest comment shown without scrolling.
const QString FiveLines = QString(130, QChar(0x77F3));

kyozai::TLessonSource TeachingSource() {
  kyozai::TLessonSource s;
  s.Contents = {{1100, "問題：取ろう", 1}, {1200, "置き方", 0}};
  s.Figures = {
      // Problem 1: black takes the white stone on 181, and the sequence goes on.
      FigureRow(1100, 0, 2, 181, 0, 9999, 1, ""), FigureRow(1100, 0, 1, 180, 0, 0, 1, ""),
      FigureRow(1100, 0, 1, 162, 1, 0, 1, "黒番。白石を取ってください。"),
      FigureRow(1100, 1, 1, 200, 0, 1, 1, "正解。白を追いかけます。"),
      FigureRow(1100, 2, 2, 182, 0, 0, 1, "白は逃げます。"), FigureRow(1100, 3, 1, 183, 2, 0, 1, "ここまで。"),
      // A plain lesson: a black stone marked "A", a letter on the board, one move offered,
      // then a long comment.
      FigureRow(1200, 0, 1, 61, 0, 9999, 0, ""), FigureRow(1200, 0, 1, 61, 0, 0, 11, "A"),
      FigureRow(1200, 0, 0, 100, 1, 0, 33, "B"),
      FigureRow(1200, 1, 2, 62, 0, 1, 0, "白"), FigureRow(1200, 2, 1, 63, 2, 0, 0, LongComment)};
  return s;
}

// The picture the learner sees: per point the stone, the text and the cell.
struct TShown {
  std::vector<std::tuple<bool, QString, int>> Points;
  bool operator==(const TShown &) const = default;
};

class LearnerLessonTest : public LessonTest {
protected:
  kyozai::TLessonSource Lessons() const override { return TeachingSource(); }
  TShown Shown() const {
    TShown s;
    for (int k = 1; k <= 361; ++k) s.Points.emplace_back(HasStone(k), Text(k).trimmed(), Cell(k));
    return s;
  }
  QTextBrowser *Comment() const { return Form->CommentArea(); }
};

TEST_F(LearnerLessonTest, TheWholeCommentIsReadableWithoutScrollingUpToFiveLines) {
  Open(1200);
  Click(62);   // the offered move
  Press(5);    // the move with the long comment
  EXPECT_EQ(Comment()->toPlainText(), QString::fromUtf8(LongComment));
  EXPECT_TRUE(Comment()->isVisible());
  Form->ShowComment(FiveLines);
  QCoreApplication::processEvents();
  EXPECT_EQ(Comment()->verticalScrollBar()->maximum(), 0) << "130 characters must fit";
  // A longer text wraps and scrolls; it never runs off to the side.
  Form->ShowComment(FiveLines.repeated(3));
  QCoreApplication::processEvents();
  EXPECT_GT(Comment()->verticalScrollBar()->maximum(), 0);
  EXPECT_EQ(Comment()->horizontalScrollBar()->maximum(), 0);
}

TEST_F(LearnerLessonTest, AnAnswerOnTheBoardShowsItsComment) {
  Open(1100);
  Click(200);
  EXPECT_EQ(Panel(0), QStringLiteral("正解です。進めてください。"));
  EXPECT_EQ(Comment()->toPlainText(), QStringLiteral("正解。白を追いかけます。"));
}

TEST_F(LearnerLessonTest, TakingBackAReplyRestoresExactlyTheBoardBeforeIt) {
  Open(1100);
  Click(200);  // the learner's right answer: "1"
  const TShown afterAnswer = Shown();
  Press(5);  // white's reply "2"
  ASSERT_EQ(Text(182), QStringLiteral("2"));
  Press(7);
  EXPECT_EQ(Shown(), afterAnswer);
  EXPECT_EQ(Text(200), QStringLiteral("1"));
  Press(5);  // and the reply can be shown again
  EXPECT_EQ(Text(182), QStringLiteral("2"));
  Press(7);
  Press(7);  // the answer itself goes: the problem as it was set
  for (int k : {181, 180, 162}) EXPECT_TRUE(HasStone(k)) << k;
  EXPECT_FALSE(HasStone(200));
  for (int k = 1; k <= 361; ++k) ASSERT_TRUE(Text(k).trimmed().isEmpty()) << k;
}

TEST_F(LearnerLessonTest, TheFirstMoveOfALessonLeavesTheFiguresMarks) {
  Open(1200);
  ASSERT_EQ(Text(61), QStringLiteral("A"));
  Click(62);
  EXPECT_EQ(Text(62), QStringLiteral("1"));
  EXPECT_EQ(Text(61), QStringLiteral("A"));
}

TEST_F(LearnerLessonTest, TheLearnersWordsAtTheEndOfASequence) {
  Open(1200);
  Click(62);
  Press(5);
  EXPECT_EQ(Panel(0), QStringLiteral("手順はここまでです。"));
  Open(1200);
  Press(5);  // a choice awaited: the box names the marks as the status bar does
  EXPECT_EQ(Messages->Informations.last(), QStringLiteral("緑丸か赤丸の一つをクリックしてください。"));
}

TEST_F(LearnerLessonTest, SavingDuringALessonKeepsItsSequenceGoing) {
  Open(1200);
  Click(120);  // a stone of the learner's own wipes the offered choice
  Trigger("Save1");
  EXPECT_EQ(CurrentFigure, 1200);
  Press(5);  // the lesson offers its move again
  EXPECT_EQ(Text(62), QStringLiteral("●"));
  Click(62);
  EXPECT_EQ(Cell(62), 2);
}

TEST_F(LearnerLessonTest, ResetInAPlainGameKeepsTheGame) {
  Click(P(3, 3));
  Click(P(4, 4), Qt::RightButton);
  Press(9);
  EXPECT_EQ(Cell(P(3, 3)), 1);
  EXPECT_EQ(Cell(P(4, 4)), 2);
  EXPECT_EQ(MoveCount, 2);
  EXPECT_FALSE(Panel(0).isEmpty());
}

TEST_F(LearnerLessonTest, OpeningALessonOverAGameAsksFirst) {
  Click(P(10, 10));
  Messages->Answer = TAnswer::No;
  Open(1200);
  ASSERT_EQ(Messages->Questions.size(), 1);
  EXPECT_EQ(Cell(P(10, 10)), 1);
  EXPECT_FALSE(HasStone(61));
  Messages->Answer = TAnswer::Yes;
  Open(1200);
  EXPECT_EQ(Cell(P(10, 10)), 0);
  EXPECT_TRUE(HasStone(61));
  Click(P(5, 5));  // stones on a lesson are no game of their own: no question
  Open(1200);
  EXPECT_EQ(Messages->Questions.size(), 2);
}

// ---- the small boards and the 19-line game ----

class LearnerSmallBoardTest : public SmallBoardTest {};

TEST_F(LearnerSmallBoardTest, TheNineteenLineGameWaitsWhileASmallBoardIsPlayed) {
  ClickRadio(1);
  CurrentColor = 1;
  Play({P(3, 3), P(15, 15), P(3, 15)});
  On9([&] { ClickOn(Form4.get(), 41); });
  On13([&] { ClickOn(Form3.get(), 85); });
  EXPECT_EQ(BoardSize, 19);
  EXPECT_EQ(MoveCount, 3);
  for (int p : {P(3, 3), P(3, 15)}) EXPECT_EQ(Cell(p), 1);
  EXPECT_EQ(Cell(P(15, 15)), 2);
  EXPECT_EQ(Text(P(3, 15)), QStringLiteral("3"));
  EXPECT_EQ(Cell(41), 0);
  Press(7);  // and it goes on where it was
  EXPECT_EQ(Cell(P(3, 15)), 0);
  EXPECT_EQ(Text(P(15, 15)), QStringLiteral("2"));
}

TEST_F(LearnerSmallBoardTest, TheCheckedButtonIsTheModeOfTheNineLineBoard) {
  ClickRadio(2);  // 自由 on the main board
  On9([] {});
  On9([&] {
    EXPECT_TRUE(Form4->RadioButton1()->isChecked());
    for (int p : {11, 21, 31}) ClickOn(Form4.get(), p);
    EXPECT_EQ(Cell(11), 1);
    EXPECT_EQ(Cell(21), 2);
    EXPECT_EQ(Cell(31), 1);
  });
}

TEST_F(LearnerSmallBoardTest, RemovalsOnASmallBoardCanBeTakenBack) {
  On13([&] {
    ClickOn(Form3.get(), 85);
    ClickOn(Form3.get(), 86);
    ClickOn(Form3.get(), 86, Qt::LeftButton, Qt::ShiftModifier);  // white taken off by hand
    ASSERT_EQ(Cell(86), 0);
    ASSERT_EQ(Form3->Edit1()->text(), QStringLiteral("1"));
    PressOn(Form3->CuteButton1());
    EXPECT_EQ(Cell(86), 2);
    EXPECT_TRUE(StoneOn(Form3.get(), 86));
    EXPECT_EQ(Form3->Edit1()->text(), QStringLiteral("0"));
    EXPECT_EQ(Form3->Label(86)->text(), QStringLiteral("2"));
    PressOn(Form3->CuteButton1());  // then the moves themselves
    EXPECT_EQ(Cell(86), 0);
  });
}

}  // namespace
}  // namespace miretoka::test
