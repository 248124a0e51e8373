// Playing a lesson figure in the main window: 1手進む through a sequence with its comments
// and sounds, the green and red "●" choices where branches hang, 1手戻す back across
// captures and branch starts, 元に戻す, and the timer that plays a sequence by itself.
// Lessons of data/lessons: 1150 逃げる (two branches, the second a wrong move that loses a
// stone), 1160 コウ (captures and recaptures), 1230 a problem lesson.
#include <QComboBox>
#include <QTimer>

#include "LessonTestSupport.h"
#include "app/board/PlayState.h"
#include "app/data/DataModule.h"
#include "controls/CuteButton.h"

namespace miretoka::test {
namespace {

using namespace play;

const QColor Green(0, 255, 0);
const QColor Red(255, 0, 0);

class FigurePlaybackTest : public LessonTest {
protected:
  QString LastSound() const { return Player->Played.isEmpty() ? QString() : Player->Played.last().section('/', -1); }
  int Choices() const {
    int n = 0;
    for (int k = 1; k <= 361; ++k) n += Text(k) == QStringLiteral("●") ? 1 : 0;
    return n;
  }
};

TEST_F(FigurePlaybackTest, TheMainSequenceStepByStepWithCommentsAndSounds) {
  Open(1150);
  ASSERT_EQ(Choices(), 2);
  Press(7);  // nothing played yet
  EXPECT_EQ(Panel(0), QStringLiteral("もう戻せません。"));
  Press(5);  // a choice is awaited: the step only asks for it
  EXPECT_EQ(Messages->Informations, QStringList{QStringLiteral("緑丸か赤丸の一つをクリックしてください。")});
  EXPECT_EQ(Cell(182), 0);

  Click(182);  // the green choice: black runs out
  EXPECT_EQ(Choices(), 0);
  EXPECT_EQ(Cell(182), 1);
  EXPECT_EQ(Text(182), QStringLiteral("1"));
  EXPECT_EQ(Panel(1), QStringLiteral("伸びて逃げました。呼吸点が３つに増えました。"));
  EXPECT_EQ(Panel(0), QStringLiteral("進めてください。"));
  EXPECT_EQ(LastSound(), QStringLiteral("Oto1.wav"));
  EXPECT_EQ(ChoicePending, 0);
  EXPECT_EQ(MoveCount, 0);

  Press(5);
  EXPECT_EQ(Cell(183), 2);
  EXPECT_EQ(Text(183), QStringLiteral("2"));
  EXPECT_TRUE(Text(182).isEmpty());  // only the newest move keeps its number
  EXPECT_EQ(Panel(1), QStringLiteral("白は前をふさぎます。黒の呼吸点は２つになりました。"));
  EXPECT_EQ(Panel(0), QStringLiteral("進めてください。"));
  EXPECT_EQ(LastSound(), QStringLiteral("Oto1.wav"));

  const int sounds = Sounds();
  Press(5);  // the last move of the sequence
  EXPECT_EQ(Cell(201), 1);
  EXPECT_EQ(Text(201), QStringLiteral("3"));
  EXPECT_EQ(Panel(0), QStringLiteral("手順はここまでです。"));
  EXPECT_EQ(Sounds(), sounds + 1);
  EXPECT_EQ(LastSound(), QStringLiteral("Oto2.wav"));
  EXPECT_EQ(CurrentColor, 1);
  EXPECT_EQ(MoveNumber, 0);

  Press(5);
  EXPECT_EQ(Panel(0), QStringLiteral("もう進めません。"));
  EXPECT_EQ(LastSound(), QStringLiteral("Oto1.wav"));
  EXPECT_EQ(Cell(201), 1);
}

TEST_F(FigurePlaybackTest, SteppingBackAcrossABranchStartOffersTheChoicesAgain) {
  Open(1150);
  Click(182);
  Press(5);
  Press(5);
  Press(7);
  EXPECT_EQ(Cell(201), 0);
  EXPECT_FALSE(HasStone(201));
  EXPECT_EQ(Panel(1), QStringLiteral("白は前をふさぎます。黒の呼吸点は２つになりました。"));
  Press(7);
  EXPECT_EQ(Cell(183), 0);
  EXPECT_EQ(Panel(1), QStringLiteral("伸びて逃げました。呼吸点が３つに増えました。"));
  EXPECT_EQ(Choices(), 0);
  Press(7);  // back from the branch's first move onto the end of the basic figure
  EXPECT_EQ(Cell(182), 0);
  EXPECT_FALSE(HasStone(182));
  EXPECT_EQ(Panel(1), QStringLiteral("黒石はアタリにされています。黒番です。どうしますか？"));
  EXPECT_EQ(Choices(), 2);
  EXPECT_EQ(Text(182), QStringLiteral("●"));
  EXPECT_EQ(Text(301), QStringLiteral("●"));
  EXPECT_EQ(ChoicePending, 1);
  EXPECT_EQ(DataModule.KuraQuery2.Fields(4).AsInteger(), 1);  // the cursor is back on the end
  for (int k : {181, 180, 162, 200}) EXPECT_TRUE(HasStone(k)) << k;

  // Now the red choice: a black stone with a red number, and white takes the stone in atari.
  Click(301);
  EXPECT_EQ(Choices(), 0);
  EXPECT_EQ(Cell(301), 1);
  EXPECT_TRUE(HasStone(301));
  EXPECT_EQ(Text(301), QStringLiteral("1"));
  EXPECT_EQ(Form->Label(301)->FontColor(), QColor(255, 150, 150));  // red, readable on black
  EXPECT_EQ(Panel(1), QStringLiteral("アタリを放っておいて、ほかに打つと…"));
  EXPECT_EQ(Panel(0), QStringLiteral("進めてください。"));
  Press(5);
  EXPECT_EQ(Cell(182), 2);
  EXPECT_EQ(Cell(181), 0);
  EXPECT_FALSE(HasStone(181));
  EXPECT_EQ(Edit2(), QStringLiteral("1"));
  EXPECT_EQ(Panel(0), QStringLiteral("手順はここまでです。"));
  ASSERT_EQ(CaptureLog.size(), 1u);
  EXPECT_EQ(CaptureLog[0].MoveKey, 2);
  EXPECT_EQ(CaptureLog[0].StoneNumber, 0);  // a stone of the basic figure
  EXPECT_EQ(CaptureLog[0].Color, 1);

  Press(7);  // the captured stone comes back, without a number
  EXPECT_EQ(Cell(181), 1);
  EXPECT_TRUE(HasStone(181));
  EXPECT_TRUE(Text(181).trimmed().isEmpty());
  EXPECT_EQ(Edit2(), QStringLiteral("0"));
  EXPECT_EQ(Cell(182), 0);
  EXPECT_TRUE(CaptureLog.empty());
  EXPECT_EQ(Panel(1), QStringLiteral("アタリを放っておいて、ほかに打つと…"));
}

TEST_F(FigurePlaybackTest, ACapturedNumberedStoneComesBackWithItsNumber) {
  Open(1160);  // コウ
  ASSERT_EQ(Text(200), QStringLiteral("●"));
  Click(200);  // black takes the white stone in atari
  EXPECT_EQ(Cell(181), 0);
  EXPECT_EQ(Edit1(), QStringLiteral("1"));
  EXPECT_EQ(Panel(0), QStringLiteral("進めてください。"));
  EXPECT_EQ(Choices(), 0);
  // The next step shows the two branches at this end: white plays elsewhere (green) or
  // takes back at once (red).
  Press(5);
  EXPECT_EQ(Choices(), 2);
  EXPECT_EQ(Form->Label(73)->FontColor(), Green);
  EXPECT_EQ(Text(181), QStringLiteral("●"));
  EXPECT_EQ(Form->Label(181)->FontColor(), Red);
  EXPECT_EQ(Cell(181), 0);
  Click(73);
  Press(5);
  EXPECT_EQ(Choices(), 2);  // black connects (181) or plays elsewhere (289)
  EXPECT_EQ(Form->Label(289)->FontColor(), Green);
  Click(289);
  Press(5);  // white takes the black stone of move 1
  EXPECT_EQ(Cell(181), 2);
  EXPECT_EQ(Cell(200), 0);
  EXPECT_EQ(Edit2(), QStringLiteral("1"));
  EXPECT_EQ(Text(181), QStringLiteral("4"));
  EXPECT_EQ(Panel(0), QStringLiteral("手順はここまでです。"));
  ASSERT_EQ(CaptureLog.size(), 2u);
  EXPECT_EQ(CaptureLog[1].MoveKey, 4);
  EXPECT_EQ(CaptureLog[1].StoneNumber, 1);
  EXPECT_EQ(CaptureLog[1].Point, 200);

  // The stone comes back as it was shown before move 4: move 1's number had already
  // given way to the newer moves.
  Press(7);
  EXPECT_EQ(Cell(200), 1);
  EXPECT_TRUE(HasStone(200));
  EXPECT_TRUE(Text(200).isEmpty());
  EXPECT_EQ(Edit2(), QStringLiteral("0"));
  EXPECT_EQ(Cell(181), 0);
  EXPECT_EQ(Edit1(), QStringLiteral("1"));  // the first capture stays
}

TEST_F(FigurePlaybackTest, TakingBackAClickedMoveLeavesTheFiguresCapturesAlone) {
  Open(1160);
  Click(200);  // the figure's move 1 takes the white stone on 181
  ASSERT_EQ(Cell(181), 0);
  ASSERT_EQ(CaptureLog.size(), 1u);
  ASSERT_EQ(CaptureLog[0].MoveKey, 1);
  ASSERT_EQ(PlayMode, PlayFree);
  Click(5);  // the learner's own stone: record 1 of the move list
  ASSERT_EQ(MoveCount, 1);
  Press(7);  // takes back the learner's stone only
  EXPECT_EQ(Cell(5), 0);
  EXPECT_EQ(Cell(181), 0);
  EXPECT_FALSE(HasStone(181));
  EXPECT_EQ(Edit1(), QStringLiteral("1"));
  EXPECT_EQ(CaptureLog.size(), 1u);
}

// Taking back returns over the learner's steps only: the lesson's basic figure is
// not a move to take back, so it stays however often 1手戻す is pressed.
TEST_F(FigurePlaybackTest, TakingBackStopsAtTheBasicFigure) {
  Open(1150);
  Click(182);
  Press(5);
  Press(7);
  EXPECT_EQ(Cell(183), 0);
  EXPECT_EQ(Text(182), QStringLiteral("1"));
  Press(7);  // back onto the end of the basic figure, its choices offered again
  EXPECT_EQ(Cell(182), 0);
  EXPECT_EQ(Choices(), 2);
  EXPECT_EQ(ChoicePending, 1);
  for (int i = 0; i < 3; ++i) {
    Press(7);
    EXPECT_EQ(Panel(0), QStringLiteral("もう戻せません。"));
  }
  for (int k : {181, 180, 162, 200}) EXPECT_TRUE(HasStone(k)) << k;
  EXPECT_EQ(Choices(), 2);
  EXPECT_TRUE(Messages->Errors.isEmpty()) << Messages->Errors.join(QLatin1Char('\n')).toStdString();
}

TEST_F(FigurePlaybackTest, ResetReopensTheLessonWithoutHelp) {
  Open(1150);
  Click(182);
  Press(5);
  HelpTopics.clear();
  Press(9);  // 元に戻す
  EXPECT_EQ(Cell(182), 0);
  EXPECT_EQ(Cell(183), 0);
  EXPECT_EQ(Cell(181), 1);
  EXPECT_EQ(Choices(), 2);
  EXPECT_TRUE(HelpTopics.empty());
  EXPECT_FALSE(Form->Timer2()->isActive());
  Press(7);
  EXPECT_EQ(Panel(0), QStringLiteral("もう戻せません。"));
}

TEST_F(FigurePlaybackTest, ResetInAProblemLessonShowsTheChosenProblem) {
  Open(1230);
  Form->ComboBox1()->setCurrentIndex(2);
  Press(9);
  EXPECT_EQ(CurrentProblem, 3);
  for (int k : {1, 2}) EXPECT_EQ(Cell(k), 2) << k;
  for (int k : {20, 21}) EXPECT_EQ(Cell(k), 1) << k;
  EXPECT_EQ(Cell(181), 0);
  EXPECT_EQ(Panel(1), QStringLiteral("黒番。隅の白２子を取ってください。"));
}

TEST_F(FigurePlaybackTest, TheTimerPlaysASequenceWhileAutoAdvanceIsOn) {
  Open(1150);
  Click(182);
  AutoAdvance = 1;  // as 解答表示 would set it
  Form->Timer2()->stop();
  Form->Timer2Timer();
  EXPECT_EQ(Cell(183), 2);
  EXPECT_TRUE(Form->Timer2()->isActive());  // each drawn move starts the timer again
  Form->Timer2Timer();
  EXPECT_EQ(Cell(201), 1);
  EXPECT_EQ(AutoAdvance, 0);  // the end of the sequence ends the automatic play
  EXPECT_EQ(Panel(0), QStringLiteral("手順はここまでです。"));
  Form->Timer2Timer();  // the next tick finds nothing to do and stops the timer
  EXPECT_FALSE(Form->Timer2()->isActive());
  EXPECT_EQ(Panel(0), QStringLiteral("手順はここまでです。"));
}

TEST_F(FigurePlaybackTest, AChoiceAwaitedIsShownAgainByEachTimerTick) {
  Open(1150);
  AutoAdvance = 1;
  Form->Timer2()->stop();
  Form->Timer2Timer();
  EXPECT_EQ(Choices(), 2);
  EXPECT_EQ(Cell(182), 0);
  EXPECT_EQ(Cell(301), 0);
  EXPECT_EQ(Panel(0), QStringLiteral("緑丸か赤丸の一つをクリックしてください。"));
  EXPECT_EQ(ChoicePending, 1);
  EXPECT_FALSE(Form->Timer2()->isActive());  // the choice waits for a click
  Click(301);  // with AutoAdvance on, the choice starts the timer instead of asking to go on
  EXPECT_TRUE(Form->Timer2()->isActive());
  EXPECT_NE(Panel(0), QStringLiteral("進めてください。"));
}

}  // namespace
}  // namespace miretoka::test
