// Opening lessons from the contents grid DBGrid1 of the main window: the basic figure on
// the board labels, the status bar, the first choices, headings that open the lesson beneath
// them, problem lessons, the author's row 1000 with Edit3, and the two layouts.
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QRadioButton>
#include <QTableView>
#include <QTest>

#include "LessonTestSupport.h"
#include "app/board/PlayState.h"
#include "app/data/DataModule.h"
#include "controls/CuteButton.h"

namespace miretoka::test {
namespace {

using namespace play;

const QColor Green(0, 255, 0);
const QColor Red(255, 0, 0);

TEST_F(LessonTest, ClickingALessonDrawsItsBasicFigureAndOffersTheFirstMove) {
  Open(1130);  // 石を取る: a white stone in atari in the middle, two white stones on the edge
  EXPECT_TRUE(Messages->Errors.isEmpty()) << Messages->Errors.join(QLatin1Char('\n')).toStdString();
  EXPECT_EQ(CurrentFigure, 1130);
  EXPECT_EQ(DataModule.CurrentFigure, 1130);
  EXPECT_EQ(LessonKind, 0);
  for (int k : {181, 39, 58}) {
    EXPECT_EQ(Cell(k), 2) << k;
    EXPECT_TRUE(HasStone(k)) << k;
  }
  for (int k : {180, 162, 200, 20, 40, 59, 78}) {
    EXPECT_EQ(Cell(k), 1) << k;
    EXPECT_TRUE(HasStone(k)) << k;
    EXPECT_TRUE(Text(k).trimmed().isEmpty()) << k;  // basic figures carry no numbers
  }
  int stones = 0;
  for (int k = 1; k <= 361; ++k) stones += HasStone(k) ? 1 : 0;
  EXPECT_EQ(stones, 10);
  // The comment of the last stone drawn, and the one branch hanging at the figure's end.
  EXPECT_EQ(Panel(1), QStringLiteral("黒番です。白石の呼吸点があといくつ残っているか数えてみましょう。"));
  EXPECT_EQ(Panel(0), QStringLiteral("緑丸か赤丸の一つをクリックしてください。"));
  EXPECT_EQ(Text(182), QStringLiteral("●"));
  EXPECT_EQ(Form->Label(182)->FontColor(), Green);
  EXPECT_EQ(Cell(182), 0);
  EXPECT_EQ(ChoicePending, 1);
  EXPECT_EQ(PlayMode, PlayFree);
  EXPECT_TRUE(Form->RadioButton2()->isChecked());
  EXPECT_EQ(CurrentColor, 1);
  EXPECT_EQ(MoveCount, 0);
  EXPECT_EQ(HelpTopics, std::vector<int>{1130});
  EXPECT_TRUE(Form->CuteButton(5)->isEnabled());
  EXPECT_FALSE(Form->CuteButton(10)->isEnabled());
  EXPECT_EQ(GridRow(), RowOf(1130));
  EXPECT_EQ(Grid()->currentIndex().row(), RowOf(1130));
}

TEST_F(LessonTest, TwoBranchesAreOfferedGreenAndRed) {
  Open(1150);  // 逃げる: running out (green) or playing elsewhere (a wrong move, red)
  EXPECT_EQ(Text(182), QStringLiteral("●"));
  EXPECT_EQ(Form->Label(182)->FontColor(), Green);
  EXPECT_EQ(Text(301), QStringLiteral("●"));
  EXPECT_EQ(Form->Label(301)->FontColor(), Red);
  EXPECT_EQ(Cell(301), 0);
  EXPECT_EQ(Panel(1), QStringLiteral("黒石はアタリにされています。黒番です。どうしますか？"));
}

TEST_F(LessonTest, AHeadingOpensTheFirstLessonBeneathIt) {
  ClickRow(RowOf(1000));  // 第１章 → 1100 → 1110
  EXPECT_EQ(CurrentFigure, 1110);
  EXPECT_EQ(GridRow(), RowOf(1110));
  EXPECT_EQ(Grid()->currentIndex().row(), RowOf(1110));
  // 石の置き方: the star points as red marks, no stones; the first move offered on 289.
  for (int k : {61, 289, 73, 301}) {
    EXPECT_EQ(Text(k), k == 289 ? QStringLiteral("●") : QStringLiteral("星")) << k;
    EXPECT_EQ(Cell(k), 0) << k;
    EXPECT_FALSE(HasStone(k)) << k;
  }
  EXPECT_EQ(Text(181), QStringLiteral("天"));
  EXPECT_EQ(Form->Label(181)->FontColor(), Red);
  EXPECT_TRUE(Form->Label(181)->IsBold());
  EXPECT_TRUE(Form->Label(181)->IsTransparent());
  EXPECT_EQ(HelpTopics, std::vector<int>{1110});

  ClickRow(RowOf(2100));  // a section: 2100 → 2110
  EXPECT_EQ(CurrentFigure, 2110);
  EXPECT_EQ(GridRow(), RowOf(2110));
}

TEST_F(LessonTest, OpeningAgainStartsFromAClearedBoard) {
  Open(1130);
  Press(5);  // offered a choice: the step only asks for a click
  EXPECT_EQ(Messages->Informations, QStringList{QStringLiteral("緑丸か赤丸の一つをクリックしてください。")});
  Click(182);  // the choice: black takes the white stone
  EXPECT_EQ(Cell(181), 0);
  Open(1150);
  EXPECT_EQ(Cell(181), 1);
  EXPECT_EQ(Cell(182), 0);
  EXPECT_EQ(Edit1(), QStringLiteral("0"));
  for (int k : {39, 58, 20, 40}) EXPECT_EQ(Cell(k), 0) << k;  // nothing left of lesson 1130
}

TEST_F(LessonTest, DoubleClickOpensTheLessonAsWell) {
  DoubleClickRow(RowOf(1140));
  EXPECT_EQ(CurrentFigure, 1140);
  EXPECT_EQ(Cell(29), 2);
  EXPECT_EQ(Cell(28), 1);
  EXPECT_EQ(Cell(30), 1);
  EXPECT_GE(HelpTopics.size(), 2u);  // each click of the double click opened it afresh
  for (int topic : HelpTopics) EXPECT_EQ(topic, 1140);
  EXPECT_EQ(ChoicePending, 1);
}

TEST_F(LessonTest, AProblemLessonShowsItsFirstProblem) {
  Form->ComboBox1()->setCurrentIndex(2);
  Open(1230);  // 問題：石を取ろう, kind 1
  EXPECT_EQ(LessonKind, 1);
  EXPECT_EQ(CurrentProblem, 1);
  EXPECT_EQ(Form->ComboBox1()->currentIndex(), 0);
  EXPECT_EQ(Form->ComboBox1()->currentText(), QStringLiteral("問題１"));
  EXPECT_EQ(PlayMode, PlayAlternate);
  EXPECT_TRUE(Form->CuteButton(10)->isEnabled());
  EXPECT_TRUE(Form->ComboBox1()->isEnabled());
  EXPECT_TRUE(Form->ComboBox2()->isEnabled());
  EXPECT_EQ(Form->ComboBox2()->y(), 324);  // kind 1 answers on the board only
  EXPECT_EQ(Cell(181), 2);
  for (int k : {180, 162, 200}) EXPECT_EQ(Cell(k), 1) << k;
  int stones = 0;
  for (int k = 1; k <= 361; ++k) stones += HasStone(k) ? 1 : 0;
  EXPECT_EQ(stones, 4);  // problem 2 and later are not drawn
  EXPECT_EQ(Panel(1), QStringLiteral("黒番。白石を取ってください。"));
  EXPECT_EQ(DataModule.KuraQuery2.Fields(6).AsInteger(), 1);
  EXPECT_EQ(HelpTopics, std::vector<int>{1230});
  EXPECT_EQ(ChoicePending, 0);

  Open(1240);  // kind 2: the answer box stays beside the problem box, clear of 元に戻す
  EXPECT_EQ(LessonKind, 2);
  EXPECT_EQ(Form->ComboBox2()->y(), 324);
  EXPECT_TRUE(Form->ComboBox2()->isVisible());
  EXPECT_EQ(Panel(1).left(6), QStringLiteral("白はアタリ？"));
}

TEST_F(LessonTest, EditorLayoutShowsTheFigureGridAndTheAuthoringControls) {
  Open(1150);
  Form->CuteButton1Click();
  EXPECT_EQ(LessonMode, 2);
  EXPECT_EQ(Form->CuteButton(1)->Caption(), QStringLiteral("編集"));
  for (int k : {2, 3}) {
    EXPECT_TRUE(Form->CuteButton(k)->isVisible()) << k;
    EXPECT_EQ(Form->CuteButton(k)->y(), 404) << k;
  }
  for (int k : {8, 4}) {
    EXPECT_TRUE(Form->CuteButton(k)->isVisible()) << k;
    EXPECT_EQ(Form->CuteButton(k)->y(), 432) << k;
  }
  for (int k : {5, 7}) EXPECT_EQ(Form->CuteButton(k)->y(), 460) << k;
  for (int k : {6, 9}) EXPECT_EQ(Form->CuteButton(k)->y(), 488) << k;
  EXPECT_TRUE(Form->CuteButton(10)->isEnabled());
  EXPECT_EQ(Form->CuteButton(10)->y(), 376);
  EXPECT_TRUE(Form->CuteButton(11)->isVisible());
  EXPECT_EQ(Form->CuteButton(11)->Caption(), QStringLiteral("MNB変"));
  EXPECT_TRUE(Form->ComboBox1()->isEnabled());
  EXPECT_EQ(Form->ComboBox1()->y(), 348);
  EXPECT_EQ(Form->ComboBox2()->y(), 348);
  EXPECT_FALSE(Form->Edit1()->isVisible());
  EXPECT_FALSE(Form->Edit2()->isVisible());
  EXPECT_FALSE(Form->GroupBox1()->isVisible());
  EXPECT_TRUE(Form->GroupBox2()->isVisible());
  EXPECT_TRUE(Form->GroupBox3()->isVisible());
  EXPECT_EQ(Form->GroupBox2()->y(), 268);
  EXPECT_EQ(Form->GroupBox3()->y(), 268);
  EXPECT_TRUE(Form->Edit3()->isVisible());
  EXPECT_EQ(Form->Edit3()->y(), 376);
  EXPECT_EQ(Grid()->y(), 22);  // below the layout toggle
  EXPECT_EQ(Grid()->height(), 95);

  QTableView *figures = Form->DBGrid2();
  ASSERT_NE(figures, nullptr);
  EXPECT_EQ(figures->objectName(), QStringLiteral("DBGrid2"));
  EXPECT_TRUE(figures->isVisible());
  EXPECT_EQ(figures->y(), 127);
  EXPECT_EQ(figures->height(), 140);
  QAbstractItemModel *model = figures->model();
  ASSERT_NE(model, nullptr);
  const QStringList titles = {"MNB", "TES", "COL", "PST", "BFR", "BTO", "DTX", "CMT"};
  ASSERT_EQ(model->columnCount(), titles.size());
  for (int c = 0; c < titles.size(); ++c) {
    EXPECT_EQ(model->headerData(c, Qt::Horizontal).toString(), titles[c]);
    EXPECT_EQ(figures->columnWidth(c), 30) << c;
  }
  // The rows of the open figure, in their order.
  ASSERT_EQ(model->rowCount(), 9);
  EXPECT_EQ(model->index(0, 3).data().toString(), QStringLiteral("181"));
  EXPECT_EQ(model->index(0, 5).data().toString(), QStringLiteral("9999"));
  EXPECT_EQ(model->index(7, 2).data().toString(), QStringLiteral("-1"));
  EXPECT_EQ(model->index(8, 7).data().toString(), QStringLiteral("白に取られてしまいました。アタリにされたら、まず逃げることを考えましょう。"));

  // Opening in the editor layout draws the figure but offers no choice and shows no help.
  HelpTopics.clear();
  Open(1130);
  EXPECT_EQ(Cell(181), 2);
  EXPECT_NE(Text(182), QStringLiteral("●"));
  EXPECT_EQ(ChoicePending, 0);
  EXPECT_TRUE(HelpTopics.empty());
  EXPECT_EQ(model->rowCount(), 13);

  // And back.
  Form->CuteButton1Click();
  EXPECT_EQ(LessonMode, 1);
  EXPECT_EQ(Form->CuteButton(1)->Caption(), QStringLiteral("入門"));
  for (int k : {2, 3, 8, 4, 11}) EXPECT_FALSE(Form->CuteButton(k)->isVisible()) << k;
  for (int k : {5, 7}) EXPECT_EQ(Form->CuteButton(k)->y(), 384) << k;
  for (int k : {6, 9}) EXPECT_EQ(Form->CuteButton(k)->y(), 416) << k;
  EXPECT_FALSE(Form->CuteButton(10)->isEnabled());
  EXPECT_TRUE(Form->Edit1()->isVisible());
  EXPECT_TRUE(Form->GroupBox1()->isVisible());
  EXPECT_FALSE(Form->GroupBox2()->isVisible());
  EXPECT_FALSE(Form->Edit3()->isVisible());
  EXPECT_FALSE(figures->isVisible());
  EXPECT_EQ(Grid()->y(), 20);
  EXPECT_EQ(Grid()->height(), 276);
}

TEST_F(LessonTest, BackToTheLearnerLayoutInAProblemLessonShowsTheProblemControlsDisabled) {
  Open(1240);
  Form->CuteButton1Click();
  Form->CuteButton1Click();
  EXPECT_TRUE(Form->ComboBox1()->isVisible());
  EXPECT_EQ(Form->ComboBox1()->y(), 324);
  EXPECT_EQ(Form->ComboBox2()->y(), 324);
  EXPECT_TRUE(Form->CuteButton(10)->isVisible());
  EXPECT_FALSE(Form->ComboBox1()->isEnabled());
  EXPECT_FALSE(Form->CuteButton(10)->isEnabled());
}

TEST_F(LessonTest, AuthorsBringOutTheLayoutToggleWithAKey) {
  ASSERT_FALSE(Form->CuteButton(1)->isVisible());
  QTest::keyClick(Form.get(), Qt::Key_E, Qt::ControlModifier | Qt::ShiftModifier);
  ASSERT_TRUE(Form->CuteButton(1)->isVisible());
  Press(1);
  EXPECT_EQ(LessonMode, 2);
  EXPECT_TRUE(Form->DBGrid2()->isVisible());
  Press(1);
  EXPECT_EQ(LessonMode, 1);
  EXPECT_FALSE(Form->DBGrid2()->isVisible());
}

TEST_F(LessonTest, AClickInTheFigureGridMovesTheFigureCursor) {
  Open(1150);
  Form->CuteButton1Click();
  QTableView *figures = Form->DBGrid2();
  const QModelIndex index = figures->model()->index(6, 3);
  figures->scrollTo(index);
  QTest::mouseClick(figures->viewport(), Qt::LeftButton, Qt::NoModifier, figures->visualRect(index).center());
  EXPECT_EQ(DataModule.KuraQuery2.RecNo(), 7);
  EXPECT_EQ(DataModule.KuraQuery2.Fields(3).AsInteger(), 201);
  EXPECT_TRUE(Messages->Errors.isEmpty());
}

// ---- lessons written for the test ----

class NoLessonsTest : public LessonTest {
protected:
  kyozai::TLessonSource Lessons() const override { return {}; }
};

TEST_F(NoLessonsTest, ResetWithoutLessonsLeavesTheBoard) {
  ASSERT_EQ(Grid()->model()->rowCount(), 0);
  Click(P(3, 3));
  Press(9);
  EXPECT_EQ(Cell(P(3, 3)), 1);
  Press(5);
  EXPECT_EQ(Panel(0), QStringLiteral("もう進めません。"));
  EXPECT_TRUE(Messages->Errors.isEmpty()) << Messages->Errors.join(QLatin1Char('\n')).toStdString();
}

class AuthorLessonTest : public LessonTest {
protected:
  // 1000 has no section 1100, so its own row is opened (and Edit3 may name another figure);
  // 2000 (no 2100 follows) has a figure of its own whose third stone has DTX 1; 2010 has a
  // figure without rows.
  kyozai::TLessonSource Lessons() const override {
    kyozai::TLessonSource s;
    s.Contents = {{1000, "編集用", 0}, {1010, "レッスン", 0}, {2000, "章", 0}, {2010, "空", 0}};
    s.Figures = {FigureRow(1000, 0, 1, 100, 1, 9999, 0, "図1000"),
                 FigureRow(1010, 0, 2, 200, 1, 9999, 0, "図1010"),
                 FigureRow(2000, 0, 1, 40, 0, 9999, 0, "一"),
                 FigureRow(2000, 0, 2, 41, 0, 0, 0, "二"),
                 FigureRow(2000, 0, 1, 42, 1, 0, 1, "三"),
                 FigureRow(5000, 0, 2, 300, 1, 9999, 0, "図5000")};
    return s;
  }
};

TEST_F(AuthorLessonTest, RowThousandOpensTheFigureNamedInEditThree) {
  ClickRow(RowOf(1000));
  EXPECT_EQ(CurrentFigure, 1000);
  EXPECT_EQ(Cell(100), 1);
  Form->Edit3()->setText(QStringLiteral("5000"));
  ClickRow(RowOf(1000));
  EXPECT_EQ(CurrentFigure, 5000);
  EXPECT_EQ(Cell(300), 2);
  EXPECT_EQ(Cell(100), 0);
  EXPECT_EQ(Panel(1), QStringLiteral("図5000"));
  EXPECT_EQ(HelpTopics.back(), 5000);
  // Other rows do not look at Edit3.
  ClickRow(RowOf(1010));
  EXPECT_EQ(CurrentFigure, 1010);
  EXPECT_EQ(Cell(200), 2);
}

TEST_F(AuthorLessonTest, AFigureNumberThatIsNotAnIntegerEndsTheOpening) {
  ClickRow(RowOf(1010));
  Form->Edit3()->setText(QStringLiteral("12a"));
  ClickRow(RowOf(1000));
  ASSERT_EQ(Messages->Errors.size(), 1);
  EXPECT_EQ(Messages->Errors[0], QStringLiteral("'12a' は整数ではありません"));
  EXPECT_EQ(CurrentFigure, 1000);
  EXPECT_EQ(Cell(200), 0);  // the board was cleared
  EXPECT_EQ(DataModule.KuraQuery2.Fields(0).AsInteger(), 1010);  // the figure query is unchanged
}

TEST_F(AuthorLessonTest, AHeadingWithoutItsFirstChildOpensItsOwnFigure) {
  ClickRow(RowOf(2000));
  EXPECT_EQ(CurrentFigure, 2000);
  EXPECT_EQ(GridRow(), RowOf(2000));
  EXPECT_EQ(Cell(40), 1);
  EXPECT_EQ(Cell(41), 2);
  EXPECT_EQ(Cell(42), 1);
  // DTX 1 on the third stone: a numbering code, which empties the label drawn before it.
  EXPECT_EQ(Text(41), QString());
  EXPECT_EQ(Text(40), QStringLiteral(" "));
  EXPECT_EQ(Panel(1), QStringLiteral("三"));
}

TEST_F(AuthorLessonTest, AnEmptyFigureShowsAnEmptyBoard) {
  ClickRow(RowOf(2010));
  EXPECT_TRUE(Messages->Errors.isEmpty()) << Messages->Errors.join(QLatin1Char('\n')).toStdString();
  EXPECT_EQ(CurrentFigure, 2010);
  for (int k = 1; k <= 361; ++k) ASSERT_FALSE(HasStone(k)) << k;
  EXPECT_EQ(ChoicePending, 0);
  EXPECT_EQ(Panel(0), QString());
}

}  // namespace
}  // namespace miretoka::test
