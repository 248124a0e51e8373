// No control of a board window covers another, in every layout the windows take: the
// learner's and the author's, with a lesson of each problem kind open, after switching
// back and forth, and on the 13- and 9-line boards.
#include <QRadioButton>

#include "LessonTestSupport.h"
#include "SmallBoardTestSupport.h"
#include "app/board/BoardControls.h"
#include "controls/CuteButton.h"

namespace miretoka::test {
namespace {

// The visible controls of a window's client beside its board, each with its name.
std::vector<QWidget *> PanelControls(QWidget *client) {
  std::vector<QWidget *> controls;
  for (QWidget *w : client->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
    if (!w->isVisible()) continue;
    if (qobject_cast<TShape *>(w) || qobject_cast<TPointImage *>(w) || qobject_cast<TPointLabel *>(w)) continue;
    controls.push_back(w);
  }
  return controls;
}

// Every pair of visible controls is disjoint, and none lies on the board (`board`).
void ExpectNoOverlap(QWidget *client, QRect board, const std::string &layout) {
  const std::vector<QWidget *> controls = PanelControls(client);
  ASSERT_GT(controls.size(), 5u) << layout;
  for (std::size_t i = 0; i < controls.size(); ++i) {
    const QRect a = controls[i]->geometry();
    EXPECT_FALSE(a.intersects(board)) << layout << ": " << controls[i]->objectName().toStdString();
    EXPECT_TRUE(client->rect().contains(a)) << layout << ": " << controls[i]->objectName().toStdString();
    for (std::size_t j = i + 1; j < controls.size(); ++j)
      EXPECT_FALSE(a.intersects(controls[j]->geometry()))
          << layout << ": " << controls[i]->objectName().toStdString() << " / "
          << controls[j]->objectName().toStdString();
  }
}

class LayoutOverlapTest : public LessonTest {
protected:
  kyozai::TLessonSource Lessons() const override {
    kyozai::TLessonSource s;
    s.Contents = {{1100, "図", 0}, {1200, "問題１", 1}, {1300, "問題２", 2}, {1400, "問題３", 3}};
    for (int mnb : {1100, 1200, 1300, 1400})
      s.Figures.push_back(FigureRow(mnb, 0, 1, 61, 1, 9999, mnb == 1100 ? 0 : 1, mnb == 1100 ? "" : "○"));
    return s;
  }
  void Check(const std::string &layout) { ExpectNoOverlap(Form->Client(), Form->Shape(1)->geometry(), layout); }
};

TEST_F(LayoutOverlapTest, NoControlCoversAnotherInAnyLayoutOfTheMainWindow) {
  Check("start");
  for (int mnb : {1100, 1200, 1300, 1400}) {
    Open(mnb);
    Check("learner, lesson " + std::to_string(mnb));
  }
  Form->CuteButton(1)->show();  // the author's toggle, as Ctrl+Shift+E brings it out
  for (int mnb : {1100, 1200, 1300, 1400}) {
    Open(mnb);
    Form->CuteButton1Click();
    Check("editor, lesson " + std::to_string(mnb));
    Form->CuteButton1Click();
    Check("learner after the editor, lesson " + std::to_string(mnb));
  }
}

class SmallLayoutOverlapTest : public SmallBoardTest {};

TEST_F(SmallLayoutOverlapTest, NoControlCoversAnotherOnTheSmallBoards) {
  for (TSmallBoardWindow *w : {static_cast<TSmallBoardWindow *>(Form3.get()), static_cast<TSmallBoardWindow *>(Form4.get())}) {
    w->show();
    ExpectNoOverlap(w->Client(), w->Shape(1)->geometry(), w->objectName().toStdString());
    w->hide();
  }
}

}  // namespace
}  // namespace miretoka::test
