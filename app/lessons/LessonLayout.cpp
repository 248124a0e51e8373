// TForm2: the two layouts of the lesson panel - the learner's ("入門") and the
// author's ("編集") - and the button that switches between them.
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QTableView>

#include "app/board/MainWindow.h"
#include "app/board/PlayState.h"
#include "controls/CuteButton.h"

namespace miretoka {

using namespace play;

namespace {
void SetTop(QWidget *w, int top) { w->move(w->x(), top); }
}  // namespace

void TForm2::ShowLearnerLayout() {
  for (int k : {2, 3, 8, 4, 11})
    if (TCuteButton *b = CuteButton(k)) b->hide();
  SetTop(CuteButton(5), 384);
  SetTop(CuteButton(7), 384);
  SetTop(CuteButton(6), 416);
  SetTop(CuteButton(9), 416);
  CuteButton(10)->setEnabled(false);
  SetTop(CuteButton(10), 352);
  FComboBox1->setEnabled(false);
  FComboBox2->setEnabled(false);
  SetTop(FComboBox1, 324);
  SetTop(FComboBox2, 324);
  for (const char *name : {"LabelAgeishi", "LabelBlack", "LabelWhite"})
    if (auto *w = FClient->findChild<QWidget *>(QString::fromLatin1(name))) w->show();
  FEdit1->show();
  FEdit2->show();
  GroupBox1()->show();
  FGroupBox2->hide();
  FGroupBox3->hide();
  FEdit3->hide();
  FDBGrid1->setGeometry(FDBGrid1->x(), 20, FDBGrid1->width(), 276);
  // A learner only picks lessons: a key pressed over the contents must not rename one.
  FDBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  FDBGrid2->hide();
}

void TForm2::ShowEditorLayout() {
  for (int k : {2, 3}) {
    CuteButton(k)->show();
    SetTop(CuteButton(k), 404);
  }
  for (int k : {8, 4}) {
    CuteButton(k)->show();
    SetTop(CuteButton(k), 432);
  }
  SetTop(CuteButton(5), 460);
  SetTop(CuteButton(7), 460);
  SetTop(CuteButton(6), 488);
  SetTop(CuteButton(9), 488);
  CuteButton(10)->setEnabled(true);
  SetTop(CuteButton(10), 376);
  CuteButton(11)->show();
  FComboBox1->setEnabled(true);
  FComboBox2->setEnabled(true);
  SetTop(FComboBox1, 348);
  SetTop(FComboBox2, 348);
  for (const char *name : {"LabelAgeishi", "LabelBlack", "LabelWhite"})
    if (auto *w = FClient->findChild<QWidget *>(QString::fromLatin1(name))) w->hide();
  FEdit1->hide();
  FEdit2->hide();
  GroupBox1()->hide();
  FGroupBox2->show();
  SetTop(FGroupBox2, 268);
  FGroupBox3->show();
  SetTop(FGroupBox3, 268);
  FEdit3->show();
  SetTop(FEdit3, 376);
  // Below the layout toggle, which stands above the grid's right end.
  FDBGrid1->setGeometry(FDBGrid1->x(), 22, FDBGrid1->width(), 95);
  // Authors type titles and problem kinds straight into the contents.
  FDBGrid1->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
  FDBGrid2->show();
  FDBGrid2->setGeometry(FDBGrid2->x(), 127, FDBGrid2->width(), 140);
}

void TForm2::CuteButton1Click() {
  if (LessonMode == 1) {
    LessonMode = 2;
    CuteButton(1)->SetCaption(QStringLiteral("編集"));
    ShowEditorLayout();
    if (LessonKind == 1) {
      FComboBox1->hide();
      FComboBox2->hide();
    }
  } else {
    LessonMode = 1;
    CuteButton(1)->SetCaption(QStringLiteral("入門"));
    ShowLearnerLayout();
    if (LessonKind > 0) {
      // Back in their learner places beside each other, clear of the step buttons.
      FComboBox1->show();
      FComboBox2->show();
      CuteButton(10)->show();
    }
  }
}

}  // namespace miretoka
