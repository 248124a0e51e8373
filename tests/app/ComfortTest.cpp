// The comforts of the board window: coordinates, the keys, the sound switch and what is
// remembered between runs (in the test run's own settings folder).
#include <QAction>
#include <QComboBox>
#include <QRadioButton>
#include <QTableView>
#include <QMenuBar>
#include <QTest>

#include "LessonTestSupport.h"
#include "app/board/BoardCoordinates.h"
#include "app/board/PlayState.h"
#include "app/lessons/ContentsDelegate.h"
#include "app/start/UserSettings.h"
#include "controls/CuteButton.h"

namespace miretoka::test {
namespace {

using namespace play;

class ComfortTest : public LessonTest {
protected:
  kyozai::TLessonSource Lessons() const override {
    kyozai::TLessonSource s;
    s.Contents = {{1000, "章", 0}, {1100, "節", 0}, {1110, "一", 0}, {1200, "二", 0}};
    s.Figures = {FigureRow(1110, 0, 1, 61, 1, 9999, 0, ""), FigureRow(1110, 1, 2, 62, 0, 1, 0, "白"),
                 FigureRow(1110, 2, 1, 63, 2, 0, 0, "黒"), FigureRow(1200, 0, 2, 100, 1, 9999, 0, "")};
    return s;
  }
  void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(Form.get(), static_cast<Qt::Key>(key), modifiers);
  }
};

TEST_F(ComfortTest, ColumnLettersSkipI) {
  const struct {
    int Column;
    const char *Name;
  } cases[] = {{0, "A"}, {7, "H"}, {8, "J"}, {12, "N"}, {18, "T"}};
  for (const auto &c : cases) EXPECT_EQ(TBoardCoordinates::ColumnName(c.Column), QString::fromLatin1(c.Name));
}

TEST_F(ComfortTest, CoordinatesAreSwitchedFromTheMenuAndRemembered) {
  ASSERT_FALSE(Form->Coordinates()->isVisible());
  Trigger("CoordinatesItem");
  EXPECT_TRUE(Form->Coordinates()->isVisible());
  EXPECT_TRUE(TUserSettings::Coordinates());
  // They stand beside the board, not on it: the board's cells still take the clicks.
  EXPECT_EQ(Form->Client()->childAt(Form->Label(1)->geometry().center()), Form->Label(1));
  Trigger("CoordinatesItem");
  EXPECT_FALSE(Form->Coordinates()->isVisible());
  EXPECT_FALSE(TUserSettings::Coordinates());
}

TEST_F(ComfortTest, TheSoundSwitchSilencesTheBoardAndIsRemembered) {
  Trigger("SoundItem");
  EXPECT_FALSE(TUserSettings::Sound());
  ClickRadio(1);
  Click(P(3, 3));
  EXPECT_EQ(Sounds(), 0);
  Trigger("SoundItem");
  Click(P(4, 4));
  EXPECT_EQ(Sounds(), 1);
}

TEST_F(ComfortTest, ArrowKeysStepTheLessonAndHomeReturnsToItsFigure) {
  Open(1110);
  Click(62);  // the offered move
  Key(Qt::Key_Right);
  EXPECT_EQ(Cell(63), 1);
  Key(Qt::Key_Left);
  EXPECT_EQ(Cell(63), 0);
  EXPECT_EQ(Cell(62), 2);
  Key(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Cell(62), 0);
  Click(62);
  Key(Qt::Key_Right);
  Key(Qt::Key_Home);
  EXPECT_EQ(Cell(62), 0);
  EXPECT_EQ(Cell(63), 0);
  EXPECT_EQ(Cell(61), 1);
}

TEST_F(ComfortTest, ArrowKeysLeaveAGameWithoutLessonAlone) {
  Click(P(9, 9));
  Key(Qt::Key_Right);
  Key(Qt::Key_Home);
  EXPECT_EQ(Cell(P(9, 9)), 1);
  for (int k = 1; k <= 361; ++k)
    if (k != P(9, 9)) ASSERT_EQ(Cell(k), 0) << k;
  Key(Qt::Key_Left);
  EXPECT_EQ(Cell(P(9, 9)), 0);
}

TEST_F(ComfortTest, EveryControlOfTheLearnerIsOnTheTabChain) {
  int controls = 0;
  for (QWidget *w : Form->Client()->findChildren<QWidget *>()) {
    if (!w->isVisible() || !(qobject_cast<TCuteButton *>(w) || qobject_cast<QComboBox *>(w) ||
                             qobject_cast<QRadioButton *>(w) || qobject_cast<QTableView *>(w)))
      continue;
    EXPECT_TRUE(w->focusPolicy() & Qt::TabFocus) << w->objectName().toStdString();
    ++controls;
  }
  EXPECT_GE(controls, 10);
}

TEST_F(ComfortTest, TheMenuBarOpensFromTheKeyboard) {
  Key(Qt::Key_F10);
  EXPECT_EQ(Form->menuBar()->activeAction(), Form->menuBar()->actions().first());
}

TEST_F(ComfortTest, TheLastLessonIsRememberedForTheNextRun) {
  Open(1200);
  EXPECT_EQ(TUserSettings::LastLesson(), 1200);
  // The next run: a new window puts the contents cursor on it.
  Form.reset();
  DataModule.DataModuleDestroy();
  Form = std::make_unique<TForm2>(&DataModule);
  EXPECT_EQ(GridRow(), RowOf(1200));
}

TEST_F(ComfortTest, TheContentsAreAnIndentedTreeWithTheLessonsMarked) {
  TContentsDelegate *tree = Form->ContentsDelegate();
  const struct {
    int Mnb;
    const char *Shown;
  } rows[] = {{1000, "章"}, {1100, "　節"}, {1110, "　　一"}, {1200, "　二"}};
  for (const auto &r : rows) EXPECT_EQ(tree->ShownText(RowOf(r.Mnb)), QString::fromUtf8(r.Shown)) << r.Mnb;
  EXPECT_TRUE(tree->IsChapter(RowOf(1000)));
  EXPECT_FALSE(tree->IsChapter(RowOf(1110)));
  Open(1110);
  EXPECT_EQ(tree->ShownText(RowOf(1110)), QStringLiteral("　　▶一"));
  Click(62);
  Press(5);  // the end of the sequence: the lesson is finished
  Open(1200);
  EXPECT_EQ(tree->ShownText(RowOf(1110)), QStringLiteral("　　✓一"));
  EXPECT_EQ(tree->ShownText(RowOf(1200)), QStringLiteral("　▶二"));
  EXPECT_TRUE(TUserSettings::FinishedLessons().contains(1110));
}

}  // namespace
}  // namespace miretoka::test
