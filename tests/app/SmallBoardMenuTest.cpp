// Opening the 13-line and 9-line windows from the main menu, leaving them,
// quitting from them, and the main board after they close.
#include <QApplication>
#include <QLineEdit>
#include <QRadioButton>

#include "app/board/SavedGame.h"
#include "SmallBoardTestSupport.h"
#include "app/board/PlayState.h"
#include "app/board/StatusPanels.h"
#include "controls/CuteButton.h"

namespace miretoka::test {
namespace {

using namespace play;

TEST_F(SmallBoardTest, ThirteenLineItemOpensAlternatePlayWithBlack) {
  ASSERT_EQ(PlayMode, PlayFree);  // the main window starts in free mode
  On13([&] {
    EXPECT_EQ(BoardSize, 13);
    EXPECT_EQ(PointCount, 169);
    EXPECT_EQ(PlayMode, PlayAlternate);
    EXPECT_EQ(CurrentColor, 1);  // the "交互" handler passed the turn; the item gives it back to black
    EXPECT_TRUE(Form3->RadioButton1()->isChecked());
    EXPECT_EQ(PanelOf(Form3.get(), 0), QStringLiteral("始めてください。"));
  });
  // Second visit after choosing free play there: "交互" is checked again.
  On13([&] { Form3->RadioButton2()->setChecked(true); });
  On13([&] {
    EXPECT_EQ(PlayMode, PlayAlternate);
    EXPECT_TRUE(Form3->RadioButton1()->isChecked());
    EXPECT_EQ(CurrentColor, 1);
  });
}

TEST_F(SmallBoardTest, NineLineItemLeavesTheModeToTheAlternateButton) {
  ASSERT_EQ(PlayMode, PlayFree);
  // First visit: "交互" was not checked, so its handler runs and sets alternate play.
  On9([&] {
    EXPECT_EQ(BoardSize, 9);
    EXPECT_EQ(PointCount, 81);
    EXPECT_EQ(PlayMode, PlayAlternate);
    EXPECT_EQ(CurrentColor, 1);
    EXPECT_TRUE(Form4->RadioButton1()->isChecked());
  });
  // Second visit: "交互" is still checked, and alternate play is what the board
  // plays - never the main window's free mode behind a checked "交互".
  ASSERT_EQ(PlayMode, PlayFree);
  On9([&] {
    EXPECT_EQ(PlayMode, PlayAlternate);
    EXPECT_EQ(CurrentColor, 1);
    ClickOn(Form4.get(), 41, Qt::RightButton);
    EXPECT_EQ(Cell(41), 1);
    EXPECT_EQ(Form4->Label(41)->text(), QStringLiteral("1"));
  });
  // After choosing "自由" there, the next visit checks "交互" anew.
  On9([&] { Form4->RadioButton2()->setChecked(true); });
  ClickRadio(3);  // end of game on the main board
  ASSERT_EQ(PlayMode, PlayEndOfGame);
  On9([&] { EXPECT_EQ(PlayMode, PlayAlternate); });
}

TEST_F(SmallBoardTest, SmallBoardStartsEmptyWhateverTheMainBoardHeld) {
  ClickRadio(1);
  for (int p : {P(0, 0), P(0, 1), P(1, 0), P(2, 2)}) Click(p);  // 19-line points 1, 2, 20, 41
  ASSERT_EQ(MoveCount, 4);
  On9([&] {
    EXPECT_EQ(MoveCount, 0);
    EXPECT_EQ(MoveNumber, 0);
    EXPECT_TRUE(CaptureLog.empty());
    for (int k = 1; k <= 81; ++k) ASSERT_EQ(Cell(k), 0) << k;
    ClickOn(Form4.get(), 2);  // a point the 19-line game held
    EXPECT_EQ(Cell(2), 1);
    EXPECT_EQ(Form4->Label(2)->text(), QStringLiteral("1"));
  });
}

TEST_F(SmallBoardTest, MainBoardPlaysOnNineteenLinesAfterTheWindowCloses) {
  On13([&] {
    for (int p : {14, 15, 1, 27}) ClickOn(Form3.get(), p);
    TriggerOn(Form3.get(), "N6");  // "メイン碁盤へ"
    EXPECT_FALSE(Form3->isVisible());
  });
  EXPECT_EQ(BoardSize, 19);
  EXPECT_EQ(PointCount, 361);
  EXPECT_EQ(MoveCount, 0);
  EXPECT_EQ(CurrentColor, 1);
  EXPECT_EQ(PlayMode, PlayFree);  // as the main window's buttons show
  EXPECT_TRUE(Form->RadioButton2()->isChecked());
  for (int k = 1; k <= 361; ++k) {
    ASSERT_EQ(Cell(k), 0) << k;
    ASSERT_FALSE(HasStone(k)) << k;
  }
  // The small window was cleared too.
  for (int k = 1; k <= 169; ++k) ASSERT_FALSE(StoneOn(Form3.get(), k)) << k;
  EXPECT_EQ(PanelOf(Form3.get(), 0), QStringLiteral("始めてください。"));

  // A white stone in the bottom-left corner of the 19-line board (point 19)
  // is taken by black on 18 and 38; on 13 lines point 19 would lie elsewhere.
  Click(19, Qt::RightButton);
  Click(18);
  EXPECT_EQ(Cell(19), 2);
  Click(38);
  EXPECT_EQ(Cell(19), 0);
  EXPECT_FALSE(HasStone(19));
  EXPECT_EQ(Edit1(), QStringLiteral("1"));
  Click(20);  // the top of the second column, not a 13-line neighbour
  EXPECT_EQ(Cell(20), 1);
  EXPECT_TRUE(HasStone(20));
}

TEST_F(SmallBoardTest, ClosingWithTheCloseBoxAlsoBringsBackTheMainBoard) {
  ClickRadio(1);
  Trigger("N7");  // gomoku
  On9([&] {
    ClickOn(Form4.get(), 5);
    Form4->close();
  });
  EXPECT_EQ(BoardSize, 19);
  EXPECT_EQ(PointCount, 361);
  EXPECT_EQ(PlayMode, PlayGomoku);
  EXPECT_EQ(Panel(1), QStringLiteral("五目並べ中"));
  Click(P(9, 9));
  Click(P(9, 10));
  EXPECT_EQ(Cell(P(9, 9)), 1);
  EXPECT_EQ(Cell(P(9, 10)), 2);
  EXPECT_TRUE(Text(P(9, 9)).trimmed().isEmpty());  // gomoku stones carry no number
}

TEST_F(SmallBoardTest, UnconfirmedMarkingOnTheMainBoardDoesNotCarryOver) {
  for (int p : {P(3, 3), P(3, 4)}) Click(p);
  ClickRadio(3);
  Click(P(3, 3));
  ASSERT_EQ(Text(P(3, 4)), QStringLiteral("*"));
  On9([&] {
    ClickOn(Form4.get(), 2);
    Form4->RadioButton3()->setChecked(true);
    ClickOn(Form4.get(), 2);  // marks the new stone rather than answering the old marking
    EXPECT_EQ(Form4->Label(2)->text(), QStringLiteral("*"));
    ClickOn(Form4.get(), 2);
    EXPECT_EQ(Cell(2), 0);
    EXPECT_EQ(Form4->Edit2()->text(), QStringLiteral("1"));
  });
  EXPECT_NE(Text(P(3, 4)), QStringLiteral("*"));
}

TEST_F(SmallBoardTest, ASmallBoardIgnoresClicksWhileAnotherSizeIsInPlay) {
  ASSERT_EQ(BoardSize, 19);
  Form3->Label1MouseDown(Form3->Label(1), Qt::LeftButton, Qt::NoModifier);
  Form4->Label1MouseDown(Form4->Label(2), Qt::LeftButton, Qt::ShiftModifier);
  EXPECT_EQ(Cell(1), 0);
  EXPECT_EQ(MoveCount, 0);
  EXPECT_FALSE(StoneOn(Form3.get(), 1));
  EXPECT_EQ(Sounds(), 0);
}

TEST_F(SmallBoardTest, QuitFromASmallWindowAsksFirst) {
  On13([&] {
    Messages->Answer = TAnswer::No;
    TriggerOn(Form3.get(), "Exit1");
    ASSERT_EQ(Messages->Questions.size(), 1);
    EXPECT_EQ(Messages->Questions[0], QStringLiteral("「ミレトカ」を終了していいですか？"));
    EXPECT_EQ(SmallTerminated, 0);
    EXPECT_TRUE(Form3->isVisible());
  });
  On9([&] {
    Messages->Answer = TAnswer::Yes;
    TriggerOn(Form4.get(), "Exit1");
    EXPECT_EQ(Messages->Questions.size(), 2);
    EXPECT_EQ(SmallTerminated, 1);
  });
  EXPECT_EQ(Terminated, 0);  // the main window's own quit is not involved
}

}  // namespace
}  // namespace miretoka::test
