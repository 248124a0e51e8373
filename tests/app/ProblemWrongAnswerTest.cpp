// A wrong answer recorded in a board-answered problem (a red first move, 1180 問題：逃げよう
// problem 1: the black stone on ff in atari, fg runs out, gg leaves it) is judged wrong
// when it is played on the board, with the recorded reason, and leaves the figure where it was.
#include "LessonTestSupport.h"
#include "app/board/PlayState.h"

namespace miretoka::test {
namespace {

using namespace play;
using WrongAnswerTest = LessonTest;

const QString Wrong = QStringLiteral("この手は間違いです。");

TEST_F(WrongAnswerTest, ARecordedWrongMoveIsTakenBackWithItsReason) {
  Open(1180);
  const int run = P(5, 6), leave = P(6, 6);
  Click(leave);
  EXPECT_EQ(Messages->Informations, QStringList{Wrong});
  EXPECT_EQ(Cell(leave), 0);
  EXPECT_EQ(MoveCount, 0);
  EXPECT_EQ(CurrentColor, 1);
  EXPECT_EQ(Panel(1), QStringLiteral("アタリを放っておくと…"));
  EXPECT_NE(Panel(0), QStringLiteral("正解です。進めてください。"));

  // The figure still stands at the end of the problem: 1手進む offers both paths.
  Press(5);
  EXPECT_EQ(Text(run), QStringLiteral("●"));
  EXPECT_EQ(Text(leave), QStringLiteral("●"));

  Press(9);  // 元に戻す
  Click(run);
  EXPECT_EQ(Cell(run), 1);
  EXPECT_EQ(Panel(0), QStringLiteral("正解です。解答手順は終了です。"));
  EXPECT_EQ(Messages->Informations, QStringList{Wrong});
}

}  // namespace
}  // namespace miretoka::test
