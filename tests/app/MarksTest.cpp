// Marks on lesson figures: characters on a stone, on a patch of board colour and straight on
// the board, in the standard colour, green and red, as the main window draws them when a
// lesson is opened, played, cleared and replayed, and as an author places them with the
// lettering (文字仕様) of the editor layout.
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTableView>
#include <QTest>

#include "LessonTestSupport.h"
#include "app/authoring/LessonAuthoring.h"
#include "app/board/PlayState.h"
#include "app/lessons/Marks.h"
#include "controls/CuteButton.h"

namespace miretoka::test {
namespace {

using namespace play;

const QColor Green(0, 255, 0);
const QColor Red(255, 0, 0);
const QColor BoardPatch(254, 231, 182);

class MarksTest : public LessonTest {
protected:
  // Lesson 1000: a black stone, then one mark of every code, then a sequence of two moves,
  // the second drawn onto the red direct mark.
  kyozai::TLessonSource Lessons() const override {
    kyozai::TLessonSource s;
    s.Contents = {{1000, "記号", 0}};
    s.Figures = {FigureRow(1000, 0, 1, 61, 0, 9999, 0, "基本図"), FigureRow(1000, 0, 1, 62, 0, 0, 11, "A"),
                 FigureRow(1000, 0, 2, 63, 0, 0, 11, "B"),         FigureRow(1000, 0, 3, 64, 0, 0, 21, "C"),
                 FigureRow(1000, 0, 0, 65, 0, 0, 33, "D"),         FigureRow(1000, 0, 2, 66, 0, 0, 12, "E"),
                 FigureRow(1000, 0, 3, 67, 0, 0, 22, "F"),         FigureRow(1000, 0, 1, 68, 0, 0, 13, "G"),
                 FigureRow(1000, 0, 0, 69, 0, 0, 31, "H"),         FigureRow(1000, 0, 0, 70, 0, 0, 32, "I"),
                 FigureRow(1000, 0, 3, 71, 1, 0, 23, "J"),         FigureRow(1000, 1, 2, 100, 0, 1, 0, "一手目"),
                 FigureRow(1000, 2, 1, 65, 2, 0, 0, "二手目")};
    return s;
  }

  TPointLabel *L(int k) const { return Form->Label(k); }
  // Text, colour, weight, background and picture of a mark label in one go.
  void ExpectMark(int k, const char *text, const QColor &colour, bool bold, bool opaque, bool stone) {
    SCOPED_TRACE(k);
    EXPECT_EQ(Text(k), QString::fromUtf8(text));
    EXPECT_EQ(L(k)->FontColor(), colour);
    EXPECT_EQ(L(k)->IsBold(), bold);
    EXPECT_EQ(L(k)->IsTransparent(), !opaque);
    if (opaque) EXPECT_EQ(L(k)->palette().color(QPalette::Window), BoardPatch);
    EXPECT_EQ(HasStone(k), stone);
    EXPECT_EQ(Cell(k), 0);  // a mark never occupies its point
  }
  void ExpectAllMarks() {
    ExpectMark(62, "A", Qt::white, false, false, true);  // standard on a black stone: white
    ExpectMark(63, "B", Qt::black, false, false, true);  // standard on a white stone: black
    ExpectMark(64, "C", Qt::black, true, true, false);   // background, standard: black on the patch
    ExpectMark(65, "D", Red, true, false, false);        // direct, red, on the lines
    ExpectMark(66, "E", Green, false, false, true);
    ExpectMark(67, "F", Green, true, true, false);
    ExpectMark(68, "G", Red, false, false, true);
    ExpectMark(69, "H", Qt::black, true, false, false);
    ExpectMark(70, "I", Green, true, false, false);
    ExpectMark(71, "J", Red, true, true, false);
  }
  void EnterEditor() {
    Form->CuteButton(1)->show();
    Press(1);
    ASSERT_EQ(LessonMode, 2);
  }
  // A click on the button's indicator (a one-character caption leaves the middle of the
  // button outside its clickable area).
  void ChooseLettering(int number) {
    QRadioButton *rb = Form->RadioButton(number);
    ASSERT_NE(rb, nullptr) << number;
    QTest::mouseClick(rb, Qt::LeftButton, Qt::NoModifier, QPoint(8, rb->height() / 2));
  }
  void ClickFigureRow(int row) {
    QTableView *grid = Form->DBGrid2();
    const QModelIndex index = grid->model()->index(row, 0);
    ASSERT_TRUE(index.isValid()) << "row " << row;
    grid->scrollTo(index);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, grid->visualRect(index).center());
  }
};

TEST_F(MarksTest, EveryPlaceAndColourIsDrawnWhenTheLessonOpens) {
  Open(1000);
  EXPECT_EQ(Cell(61), 1);
  EXPECT_TRUE(HasStone(61));
  ExpectAllMarks();
  // Marks leave the status bar and the last point alone: panel 1 keeps the stone's comment.
  EXPECT_EQ(Panel(1), QStringLiteral("基本図"));
  EXPECT_EQ(LastPoint, 0);  // the first move takes nothing off the figure
  EXPECT_EQ(Text(100), QStringLiteral("●"));  // the sequence is offered after the marks
}

TEST_F(MarksTest, AFreeClickRemovesBackgroundMarksOnly) {
  Open(1000);
  ASSERT_EQ(PlayMode, PlayFree);
  Click(200);
  for (int k : {64, 67, 71}) {
    SCOPED_TRACE(k);
    EXPECT_TRUE(Text(k).isEmpty());
    EXPECT_TRUE(L(k)->IsTransparent());
  }
  EXPECT_TRUE(Text(100).isEmpty());  // the choice went too
  ExpectMark(62, "A", Qt::white, false, false, true);
  ExpectMark(65, "D", Red, true, false, false);
  ExpectMark(69, "H", Qt::black, true, false, false);
  ExpectMark(70, "I", Green, true, false, false);
}

TEST_F(MarksTest, AnAlternateClickRemovesBackgroundMarksToo) {
  Open(1000);
  ClickRadio(1);
  ASSERT_EQ(PlayMode, PlayAlternate);
  Click(200);
  EXPECT_TRUE(Text(64).isEmpty());
  EXPECT_TRUE(L(67)->IsTransparent());
  ExpectMark(68, "G", Red, false, false, true);
}

TEST_F(MarksTest, AMoveDrawnOnAMarkShowsItsNumberInRegularType) {
  Open(1000);
  Click(100);  // the choice: white's first move
  EXPECT_EQ(Text(100), QStringLiteral("1"));
  Press(5);  // black's move onto the red direct mark
  EXPECT_EQ(Cell(65), 1);
  EXPECT_EQ(Text(65), QStringLiteral("2"));
  EXPECT_FALSE(L(65)->IsBold());
  EXPECT_EQ(L(65)->FontColor(), Qt::white);
  EXPECT_TRUE(L(65)->IsTransparent());
  EXPECT_EQ(Panel(0), QStringLiteral("手順はここまでです。"));
  // Stepping back takes the move's stone and number away and shows the mark it covered.
  Press(7);
  EXPECT_EQ(Cell(65), 0);
  EXPECT_FALSE(HasStone(65));
  EXPECT_EQ(Text(65), QStringLiteral("D"));
  EXPECT_TRUE(L(65)->IsBold());
}

TEST_F(MarksTest, ClearingTheBoardBlanksEveryMark) {
  Open(1000);
  Press(6);
  for (int k = 61; k <= 71; ++k) {
    SCOPED_TRACE(k);
    EXPECT_EQ(Text(k), QStringLiteral(" "));
    EXPECT_TRUE(L(k)->IsTransparent());
    EXPECT_FALSE(HasStone(k));
  }
}

TEST_F(MarksTest, ReplayingToAFigureRowDrawsTheMarksAsMarks) {
  EnterEditor();
  Open(1000);
  ClickFigureRow(12);  // the last move
  ExpectMark(62, "A", Qt::white, false, false, true);
  ExpectMark(64, "C", Qt::black, true, true, false);
  ExpectMark(71, "J", Red, true, true, false);
  EXPECT_EQ(Text(100), QStringLiteral("1"));
  EXPECT_EQ(Text(65), QStringLiteral("2"));  // the move drawn over the direct mark
  EXPECT_EQ(Cell(65), 1);
  EXPECT_EQ(Cell(61), 1);
}

TEST_F(MarksTest, TheLetteringButtonsSetPlaceAndColour) {
  EnterEditor();
  EXPECT_EQ(MarkPlace, 0);
  EXPECT_EQ(MarkColor, 0);
  EXPECT_TRUE(Form->GroupBox2()->isVisible());
  EXPECT_TRUE(Form->GroupBox3()->isVisible());
  const std::pair<int, const char *> captions[] = {{5, "石上"}, {6, "背景"}, {7, "直接"},
                                                   {8, "標準"}, {9, "緑"},   {10, "赤"}};
  for (const auto &[number, caption] : captions) {
    ASSERT_NE(Form->RadioButton(number), nullptr) << number;
    EXPECT_EQ(Form->RadioButton(number)->text(), QString::fromUtf8(caption));
  }
  ChooseLettering(6);
  EXPECT_EQ(MarkPlace, 2);
  ChooseLettering(10);
  EXPECT_EQ(MarkColor, 3);
  Form->RadioButton(5)->setChecked(true);  // checked by the program: the handler runs as well
  EXPECT_EQ(MarkPlace, 1);
  ChooseLettering(8);
  EXPECT_EQ(MarkColor, 1);
  ChooseLettering(9);
  EXPECT_EQ(MarkColor, 2);
  ChooseLettering(7);
  EXPECT_EQ(MarkPlace, 3);
}

TEST_F(MarksTest, AMarkClickWithoutCompleteLetteringIsRefused) {
  EnterEditor();
  Open(1000);
  Form->Edit3()->setText(QStringLiteral("X"));
  Click(200);
  EXPECT_EQ(Messages->Informations, QStringList{QStringLiteral("文字仕様を選択してください")});
  EXPECT_EQ(MoveCount, 0);
  EXPECT_EQ(Text(200), QStringLiteral(" "));  // as the opening left it
  EXPECT_EQ(Cell(200), 0);
  ChooseLettering(7);  // a place but still no colour
  Click(200);
  EXPECT_EQ(Messages->Informations.size(), 2);
  EXPECT_EQ(MoveCount, 0);
  ChooseLettering(10);
  Click(200);  // now complete: recorded normally
  EXPECT_EQ(Messages->Informations.size(), 2);
  EXPECT_EQ(MoveCount, 1);
  ExpectMark(200, "X", Red, true, false, false);
}

TEST_F(MarksTest, AuthoringMarkClicksDrawAndRecordEachPlace) {
  EnterEditor();
  Open(1000);
  Form->Edit3()->setText(QStringLiteral("あ"));
  ChooseLettering(5);  // 石上
  ChooseLettering(8);  // 標準
  Click(200, Qt::RightButton);  // a white stone with black characters
  EXPECT_EQ(Text(200), QStringLiteral("あ"));
  EXPECT_EQ(L(200)->FontColor(), Qt::black);
  EXPECT_TRUE(HasStone(200));
  EXPECT_EQ(Cell(200), 2);  // a mark on a stone puts the stone on the board
  EXPECT_EQ(MoveList[0].Number, 0);
  EXPECT_EQ(MoveList[0].Color, 2);
  EXPECT_EQ(MoveList[0].Point, 200);
  EXPECT_EQ(MoveList[0].Mark, 11);
  EXPECT_EQ(MoveTexts[0], QStringLiteral("あ"));

  ChooseLettering(6);  // 背景
  ChooseLettering(9);  // 緑
  Form->Edit3()->setText(QStringLiteral("い"));
  Click(201);
  ExpectMark(201, "い", Green, true, true, false);
  EXPECT_EQ(MoveList[1].Color, 3);
  EXPECT_EQ(MoveList[1].Mark, 22);
  EXPECT_EQ(MoveTexts[1], QStringLiteral("い"));

  ChooseLettering(7);  // 直接
  ChooseLettering(10);  // 赤
  Form->Edit3()->setText(QStringLiteral("う"));
  Click(202);
  ExpectMark(202, "う", Red, true, false, false);
  EXPECT_EQ(MoveList[2].Color, 0);
  EXPECT_EQ(MoveList[2].Mark, 33);
  EXPECT_EQ(MoveCount, 3);
  EXPECT_EQ(MoveNumber, 0);
  EXPECT_EQ(CountMoves(), 3);
}

// A problem lesson draws the marks of its problem figure the same way.
class ProblemMarksTest : public LessonTest {
protected:
  kyozai::TLessonSource Lessons() const override {
    kyozai::TLessonSource s;
    s.Contents = {{1000, "記号の問題", 3}};
    s.Figures = {FigureRow(1000, 0, 1, 61, 0, 9999, 1, "○"), FigureRow(1000, 0, 3, 62, 0, 0, 23, "ア"),
                 FigureRow(1000, 0, 2, 63, 1, 0, 12, "イ")};
    return s;
  }
};

TEST_F(ProblemMarksTest, TheProblemFigureShowsItsMarks) {
  Open(1000);
  ASSERT_EQ(CurrentProblem, 1);
  EXPECT_EQ(Cell(61), 1);
  EXPECT_TRUE(HasStone(61));
  EXPECT_EQ(Text(62), QStringLiteral("ア"));
  EXPECT_EQ(Form->Label(62)->FontColor(), Red);
  EXPECT_TRUE(Form->Label(62)->IsBold());
  EXPECT_FALSE(Form->Label(62)->IsTransparent());
  EXPECT_FALSE(HasStone(62));
  EXPECT_EQ(Text(63), QStringLiteral("イ"));
  EXPECT_EQ(Form->Label(63)->FontColor(), Green);
  EXPECT_TRUE(HasStone(63));
  EXPECT_EQ(Cell(62), 0);
  EXPECT_EQ(Cell(63), 0);
}

}  // namespace
}  // namespace miretoka::test
