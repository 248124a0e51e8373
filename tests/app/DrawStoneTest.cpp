// DrawStone with every code, the feedback sounds, ClearBoard and ClearMarks.
#include <QLineEdit>

#include "BoardTestSupport.h"
#include "app/board/PlayState.h"

namespace miretoka::test {
namespace {

using namespace play;

const QColor Red(255, 0, 0);
const QColor Green(0, 255, 0);

TEST_F(BoardTest, CodeOneOnFreshBoardClearsNothingAndRemembersThePoint) {
  ASSERT_EQ(LastPoint, 0);
  Text(5);  // all labels hold their blank
  Board[99] = 1;
  Form->DrawStone(7, 1, 100, 1, QStringLiteral("コメント"));
  EXPECT_TRUE(HasStone(100));
  EXPECT_EQ(Text(100), QStringLiteral("7"));
  EXPECT_EQ(Form->Label(100)->FontColor(), QColor(Qt::white));
  EXPECT_EQ(LastPoint, 100);
  EXPECT_EQ(Panel(1), QStringLiteral("コメント"));
  for (int k = 1; k <= 361; ++k)
    if (k != 100) ASSERT_EQ(Text(k), QStringLiteral(" ")) << k;
}

TEST_F(BoardTest, CodeOneKeepsOnlyTheNewestNumberAndCodeTwoKeepsThemAll) {
  Board[9] = 1;
  Form->DrawStone(1, 1, 10, 1, QString());
  Board[10] = 2;
  Form->DrawStone(2, 2, 11, 1, QString());
  EXPECT_TRUE(Text(10).isEmpty());
  EXPECT_EQ(Text(11), QStringLiteral("2"));
  EXPECT_EQ(Form->Label(11)->FontColor(), QColor(Qt::black));
  Board[11] = 1;
  Form->DrawStone(3, 1, 12, 2, QString());
  EXPECT_EQ(Text(11), QStringLiteral("2"));
  EXPECT_EQ(Text(12), QStringLiteral("3"));
  EXPECT_EQ(LastPoint, 12);
}

TEST_F(BoardTest, CodeZeroDrawsStoneWithoutNumber) {
  Board[49] = 2;
  Form->DrawStone(9, 2, 50, 0, QString());
  EXPECT_TRUE(HasStone(50));
  EXPECT_EQ(Text(50), QStringLiteral(" "));
  EXPECT_EQ(LastPoint, 50);
}

TEST_F(BoardTest, NegativeColourShowsRedNumberOnItsStone) {
  Board[59] = -1;
  Form->DrawStone(4, -1, 60, 2, QString());
  EXPECT_TRUE(HasStone(60));
  EXPECT_EQ(Text(60), QStringLiteral("4"));
  // Pure red is hard to read on black: a red number on a black stone is a light red.
  EXPECT_EQ(Form->Label(60)->FontColor(), QColor(255, 150, 150));
  // The picture is the black one: the same pixels as a black stone elsewhere.
  Board[60] = 1;
  Form->DrawStone(0, 1, 61, 0, QString());
  EXPECT_EQ(Form->Image(60)->pixmap().toImage(), Form->Image(61)->pixmap().toImage());
  Board[61] = 2;
  Form->DrawStone(0, 2, 62, 0, QString());
  EXPECT_NE(Form->Image(60)->pixmap().toImage(), Form->Image(62)->pixmap().toImage());
}

TEST_F(BoardTest, StonePictureCornersAreTransparent) {
  Board[0] = 1;
  Form->DrawStone(0, 1, 1, 0, QString());
  const QImage img = Form->Image(1)->pixmap().toImage();
  EXPECT_EQ(qAlpha(img.pixel(0, 0)), 0);
  EXPECT_EQ(qAlpha(img.pixel(14, 14)), 255);
}

TEST_F(BoardTest, MarkCodeTwentyThreeIsBoldRedOnOpaqueBoardColour) {
  LastPoint = 5;
  Form->DrawStone(0, 1, 70, 23, QStringLiteral("A"));
  EXPECT_FALSE(HasStone(70));
  EXPECT_EQ(Text(70), QStringLiteral("A"));
  EXPECT_TRUE(Form->Label(70)->IsBold());
  EXPECT_EQ(Form->Label(70)->FontColor(), Red);
  EXPECT_FALSE(Form->Label(70)->IsTransparent());
  EXPECT_EQ(Form->Label(70)->palette().color(QPalette::Window), QColor(254, 231, 182));
  EXPECT_EQ(LastPoint, 5);
  EXPECT_TRUE(Panel(1).isEmpty());
}

TEST_F(BoardTest, MarkCodeTwelveDrawsStoneAndGreenPlainText) {
  Form->DrawStone(0, 2, 80, 12, QStringLiteral("△"));
  EXPECT_TRUE(HasStone(80));
  EXPECT_EQ(Text(80), QStringLiteral("△"));
  EXPECT_EQ(Form->Label(80)->FontColor(), Green);
  EXPECT_FALSE(Form->Label(80)->IsBold());
  EXPECT_TRUE(Form->Label(80)->IsTransparent());
  EXPECT_EQ(Cell(80), 0);  // marks never write the board
}

TEST_F(BoardTest, MarkCodesOfStandardColourAndDirectPlace) {
  Form->DrawStone(0, 1, 90, 11, QStringLiteral("x"));
  EXPECT_EQ(Form->Label(90)->FontColor(), QColor(Qt::white));
  Form->DrawStone(0, 2, 91, 31, QStringLiteral("y"));
  EXPECT_FALSE(HasStone(91));
  EXPECT_EQ(Form->Label(91)->FontColor(), QColor(Qt::black));
  EXPECT_TRUE(Form->Label(91)->IsBold());
  EXPECT_TRUE(Form->Label(91)->IsTransparent());
  // A later stone on the point returns to plain type.
  Board[90] = 1;
  Form->DrawStone(5, 1, 91, 2, QString());
  EXPECT_FALSE(Form->Label(91)->IsBold());
}

TEST_F(BoardTest, MarkOnStoneNeverCaptures) {
  // A white stone in atari; a mark drawn with a black stone picture beside it.
  Board[P(5, 5) - 1] = 2;
  Board[P(4, 5) - 1] = 1;
  Board[P(6, 5) - 1] = 1;
  Board[P(5, 4) - 1] = 1;
  Board[P(5, 6) - 1] = 1;
  Form->DrawStone(0, 1, P(5, 6), 13, QStringLiteral("A"));
  EXPECT_EQ(Cell(P(5, 5)), 2);
  EXPECT_TRUE(CaptureLog.empty());
  // The same stone drawn with a stone code captures.
  Form->DrawStone(0, 1, P(5, 6), 0, QString());
  EXPECT_EQ(Cell(P(5, 5)), 0);
  EXPECT_EQ(Edit1(), QStringLiteral("1"));
}

TEST_F(BoardTest, TurnRuleSwapsOneAndTwo) {
  EXPECT_EQ(NextColor(1), 2);
  EXPECT_EQ(NextColor(2), 1);
}

TEST_F(BoardTest, PlayFeedbackPlaysTheTwoSounds) {
  Form->PlayFeedback(0);
  Form->PlayFeedback(1);
  Form->PlayFeedback(7);
  ASSERT_EQ(Player->Played.size(), 3);
  EXPECT_TRUE(Player->Played[0].endsWith(QStringLiteral("/Oto1.wav")));
  EXPECT_TRUE(Player->Played[1].endsWith(QStringLiteral("/Oto2.wav")));
  EXPECT_TRUE(Player->Played[2].endsWith(QStringLiteral("/Oto2.wav")));
}

TEST_F(BoardTest, ClearBoardLeavesOneBlankEverywhereAndResetsCounters) {
  Form->RadioButton1()->setChecked(true);
  Click(P(3, 3));
  Click(P(4, 4));
  Form->DrawStone(0, 1, P(10, 10), 23, QStringLiteral("B"));
  Form->StatusBar1();
  Press(6);
  EXPECT_EQ(MoveCount, 0);
  EXPECT_EQ(MoveNumber, 0);
  EXPECT_EQ(CurrentColor, 1);
  EXPECT_EQ(PlaybackStepped, 0);
  EXPECT_TRUE(CaptureLog.empty());
  EXPECT_EQ(Edit1(), QStringLiteral("0"));
  EXPECT_EQ(Edit2(), QStringLiteral("0"));
  EXPECT_TRUE(Panel(0).isEmpty());
  EXPECT_TRUE(Panel(1).isEmpty());
  for (int k = 1; k <= 361; ++k) {
    ASSERT_EQ(Text(k), QStringLiteral(" ")) << k;
    ASSERT_TRUE(Form->Label(k)->IsTransparent()) << k;
    ASSERT_FALSE(HasStone(k)) << k;
    ASSERT_EQ(Cell(k), 0) << k;
  }
  for (const MoveRecord &m : MoveList) ASSERT_EQ(m.Point, 0);
  // The mode and the radio buttons stay; a cleared board has no newest stone.
  EXPECT_EQ(PlayMode, PlayAlternate);
  EXPECT_TRUE(Form->RadioButton1()->isChecked());
  EXPECT_EQ(LastPoint, 0);

  Form->ClearMarks();
  for (int k = 1; k <= 361; ++k) ASSERT_EQ(Text(k), QStringLiteral(" ")) << k;
}

TEST_F(BoardTest, ClearBoardKeepsTheAuthoringMarksOfTheMoveList) {
  MoveAt(3).Mark = 23;
  Form->ClearBoard();
  EXPECT_EQ(MoveAt(3).Mark, 23);
}

TEST_F(BoardTest, ClearMarksRemovesBackgroundAndChoiceMarksOnly) {
  Form->RadioButton1()->setChecked(true);
  Click(P(3, 3));                                             // number "1"
  Form->DrawStone(0, 1, P(8, 8), 23, QStringLiteral("A"));    // opaque mark
  Form->DrawStone(0, 1, P(9, 9), 32, QStringLiteral("●"));    // choice mark
  Form->DrawStone(0, 1, P(10, 10), 33, QStringLiteral("B"));  // transparent mark
  Form->ClearMarks();
  EXPECT_EQ(Text(P(3, 3)), QStringLiteral("1"));
  EXPECT_TRUE(Text(P(8, 8)).isEmpty());
  EXPECT_TRUE(Form->Label(P(8, 8))->IsTransparent());
  EXPECT_TRUE(Text(P(9, 9)).isEmpty());
  EXPECT_EQ(Text(P(10, 10)), QStringLiteral("B"));
  EXPECT_EQ(Text(P(1, 1)), QStringLiteral(" "));
}

}  // namespace
}  // namespace miretoka::test
