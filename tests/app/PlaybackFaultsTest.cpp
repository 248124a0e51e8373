// Lesson playback in the main window where the learner's clicks and the figure's moves
// meet: a stone placed beside the offered "●" choices while one is awaited, and a wrong answer
// taken back after figure moves were drawn between the learner's stones. Lessons of
// data/lessons: 1150 逃げる (two branches at the end of the basic figure, free placement),
// 1230 a kind 1 problem lesson (problem 1 answers with one branch, problem 4 with a long
// sequence played on by 1手進む).
#include <QAbstractItemView>
#include <QComboBox>
#include <QTest>

#include "LessonTestSupport.h"
#include "app/board/PlayState.h"
#include "app/data/DataModule.h"

namespace miretoka::test {
namespace {

using namespace play;

const QString ChooseOne = QStringLiteral("緑丸か赤丸の一つをクリックしてください。");
const QString Wrong = QStringLiteral("この手は間違いです。");

class PlaybackFaultsTest : public LessonTest {
protected:
  int Choices() const {
    int n = 0;
    for (int k = 1; k <= 361; ++k) n += Text(k) == QStringLiteral("●") ? 1 : 0;
    return n;
  }
  // Opens 問題選択 and clicks problem n in its list, as a person chooses.
  void ChooseProblem(int n) {
    QComboBox *box = Form->ComboBox1();
    ASSERT_TRUE(box->isEnabled());
    box->showPopup();
    QAbstractItemView *list = box->view();
    ASSERT_TRUE(list->isVisible());
    const QModelIndex item = list->model()->index(n - 1, 0);
    ASSERT_TRUE(item.isValid());
    list->scrollTo(item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, list->visualRect(item).center());
    QCoreApplication::processEvents();
    ASSERT_EQ(CurrentProblem, n);
  }
};

// ---- a click beside the choices while one is awaited ----

// A click on any point but a "●" places a stone as usual, and the placement wipes the marks;
// the choice they offered is then withdrawn too, and 1手進む offers it again.
TEST_F(PlaybackFaultsTest, AStonePlacedBesideTheChoicesWithdrawsThemUntilTheNextStep) {
  Open(1150);
  ASSERT_EQ(PlayMode, PlayFree);
  ASSERT_EQ(Choices(), 2);
  ASSERT_EQ(ChoicePending, 1);
  Click(P(3, 3));
  EXPECT_EQ(Cell(P(3, 3)), 1);
  EXPECT_EQ(Choices(), 0);
  EXPECT_EQ(ChoicePending, 0);  // nothing left to click is awaited

  Press(5);  // the branches at this end are offered again instead of a request to click
  EXPECT_TRUE(Messages->Informations.isEmpty());
  EXPECT_EQ(Choices(), 2);
  EXPECT_EQ(Text(182), QStringLiteral("●"));
  EXPECT_EQ(Text(301), QStringLiteral("●"));
  EXPECT_EQ(ChoicePending, 1);
  EXPECT_EQ(Panel(0), ChooseOne);

  Click(182);  // and playback goes on from the choice
  EXPECT_EQ(Choices(), 0);
  EXPECT_EQ(Cell(182), 1);
  EXPECT_EQ(ChoicePending, 0);
  Press(5);
  EXPECT_EQ(Cell(183), 2);
  EXPECT_EQ(Text(183), QStringLiteral("2"));
  EXPECT_EQ(Cell(P(3, 3)), 1);  // the learner's stone stays
  EXPECT_TRUE(Messages->Informations.isEmpty());
}

TEST_F(PlaybackFaultsTest, AWrongAnswerBesideTheOfferedChoiceLeavesPlaybackGoing) {
  Open(1230);  // problem 1; its answer hangs at the end of the basic figure
  ASSERT_EQ(PlayMode, PlayAlternate);
  Press(5);  // the answer is offered as a choice, beside the recorded wrong answer
  ASSERT_EQ(Choices(), 2);
  ASSERT_EQ(Text(182), QStringLiteral("●"));
  Click(P(3, 3));  // wrong, and taken back: the board is as it was, choice and all
  EXPECT_EQ(Messages->Informations, QStringList{Wrong});
  EXPECT_EQ(Cell(P(3, 3)), 0);
  EXPECT_EQ(MoveCount, 0);
  EXPECT_EQ(Text(182), QStringLiteral("●"));
  EXPECT_EQ(ChoicePending, 1);
  Click(182);
  EXPECT_EQ(Cell(182), 1);
  EXPECT_EQ(Cell(181), 0);  // the white stone is taken
  EXPECT_EQ(ChoicePending, 0);
  EXPECT_EQ(Panel(0), QStringLiteral("手順はここまでです。"));
}

// ---- a wrong answer taken back after figure moves ----

TEST_F(PlaybackFaultsTest, AWrongAnswerTakenBackGivesTheNumberBackToTheFiguresMove) {
  Open(1230);
  ChooseProblem(4);
  Click(282);  // the right first move, the learner's own stone
  ASSERT_EQ(Panel(0), QStringLiteral("正解です。進めてください。"));
  ASSERT_EQ(Text(282), QStringLiteral("1"));
  Press(5);  // the figure plays white's reply
  ASSERT_EQ(Cell(264), 2);
  ASSERT_EQ(Text(264), QStringLiteral("2"));
  ASSERT_TRUE(Text(282).isEmpty());

  Click(P(3, 3));  // a wrong third move, taken back
  EXPECT_EQ(Messages->Informations, QStringList{Wrong});
  EXPECT_EQ(Cell(P(3, 3)), 0);
  EXPECT_EQ(MoveCount, 1);
  EXPECT_EQ(MoveNumber, 2);
  EXPECT_EQ(CurrentColor, 1);
  // The newest stone on the board is white's reply: it shows its number again, and the
  // learner's first stone stays without one.
  EXPECT_EQ(Text(264), QStringLiteral("2"));
  EXPECT_TRUE(Text(282).isEmpty());
  EXPECT_EQ(LastPoint, 264);

  Click(265);  // the right third move goes on from there
  EXPECT_EQ(Cell(265), 1);
  EXPECT_EQ(Text(265), QStringLiteral("3"));
  EXPECT_TRUE(Text(264).isEmpty());
  EXPECT_TRUE(Text(282).isEmpty());
  EXPECT_EQ(Messages->Informations, QStringList{Wrong});
}

}  // namespace
}  // namespace miretoka::test
