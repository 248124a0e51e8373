// TForm2: opening a lesson from the contents grid - finding the lesson under a
// heading, rebuilding the figure query for it and drawing its basic figure (or,
// in a lesson with problems, the first problem).
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTableView>
#include <stdexcept>

#include "app/start/AppStart.h"
#include "app/lessons/ContentsDelegate.h"
#include "app/data/DataModule.h"
#include "app/feedback/ErrorReporter.h"
#include "app/lessons/FigureNavigation.h"
#include "app/board/MainWindow.h"
#include "app/board/PlayState.h"
#include "app/start/UserSettings.h"
#include "app/board/StatusPanels.h"
#include "controls/CuteButton.h"

namespace miretoka {

using namespace play;

namespace {

std::int32_t Field(kura::TKuraQuery &q, int position) { return static_cast<std::int32_t>(q.Fields(position).AsInteger()); }

// Field positions of a figure row.
enum { fMNB, fTES, fCOL, fPST, fBFR, fBTO, fDTX, fCMT };

// The text of Edit3 as a figure number, or the conversion error of the platform.
int FigureNumberFromText(const QString &text) {
  bool ok = false;
  const int n = text.trimmed().toInt(&ok);
  if (!ok) throw std::runtime_error(QStringLiteral("'%1' は整数ではありません").arg(text).toStdString());
  return n;
}

}  // namespace

void TForm2::DBGrid1CellClick() { OpenLesson(1); }

bool TForm2::OpenLessonNumbered(int mnb) {
  kura::TKuraQuery &contents = LessonData(FDataModule).KuraQuery1;
  if (!contents.Active() || !contents.Locate("MNB", kura::TKuraValue(mnb))) return false;
  OpenLesson(0);
  return true;
}

void TForm2::DBGrid1DblClick() { OpenLesson(1); }

void TForm2::ShowHelpTopicOf(int contextNumber) {
  if (ShowHelpTopic) ShowHelpTopic(this, HelpFile, contextNumber);
}

int TForm2::FirstLessonUnder(int n) {
  kura::TKuraQuery &q = LessonData(FDataModule).KuraQuery1;
  int child = 0;
  int c = n;
  for (int i = 0; i < 4; ++i) {
    if (n % 1000 == 0)
      child = n + 100;
    else if (n % 100 == 0)
      child = n + 10;
    else if (n % 10 == 0)
      child = n + 1;
    q.Next();  // on the last row the cursor stays, and c is that row's own number
    c = Field(q, 0);
    if (c != child) break;
    n = child;
  }
  if (c != n) q.Prior();
  return n;
}

bool TForm2::DrawFigureRows(bool plainStones) {
  kura::TKuraQuery &q = LessonData(FDataModule).KuraQuery2;
  if (q.IsEmpty()) return false;
  for (bool first = true;; first = false) {
    MoveNumber = 0;
    CurrentColor = Field(q, fCOL);
    const int p = Field(q, fPST);
    int d = Field(q, fDTX);
    const QString t = QString::fromStdString(q.Fields(fCMT).AsString());
    if (p == 0) return !first;
    if (d < 10) {
      if (p >= 1 && p <= MaxPoints) Board[static_cast<std::size_t>(p - 1)] = CurrentColor;
      if (plainStones) d = 0;
    }
    DrawStone(0, CurrentColor, p, d, t);
    if (Field(q, fBFR) > 0) {
      CurrentColor = 1;
      return true;
    }
    q.Next();
    if (q.Eof()) return true;  // the rows ended before a branch end: stop on the last one
  }
}

void TForm2::ShowProblem() {
  DrawFigureRows(true);
  // The learner's first stone must not take a number (or a mark) off the problem's figure.
  LastPoint = 0;
}

bool TForm2::GameInProgress() const { return !FLessonOpen && MoveCount > 0; }

void TForm2::OpenLesson(int showHelp) {
  TDataModule1 &dm = LessonData(FDataModule);
  kura::TKuraQuery &contents = dm.KuraQuery1;
  // Without lessons (no lesson directory, or no contents rows) there is nothing to open, and
  // the board is left as it is.
  if (!contents.Active() || contents.IsEmpty()) return;
  if (GameInProgress() &&
      Reporter().AskYesNo(this, QStringLiteral("盤上の碁は消えます。教材を開いていいですか？")) == TAnswer::No)
    return;
  ClearBoard();
  FLessonOpen = true;
  int n = Field(contents, 0);
  n = FirstLessonUnder(n);
  CurrentFigure = n;
  LessonKind = Field(contents, 2);
  TUserSettings::SetLastLesson(CurrentFigure);
  FContentsDelegate->SetLastOpened(CurrentFigure);
  FDBGrid1->viewport()->update();

  if (LessonMode == 1 && LessonKind > 0) {
    PlayMode = PlayAlternate;
    {
      // The buttons show the mode in force; "交互"'s own handler (which passes the turn)
      // does not run, black answers first.
      const QSignalBlocker block(RadioButton1());
      RadioButton1()->setChecked(true);
    }
    dm.OpenFigure(CurrentFigure);
    CuteButton(10)->setEnabled(true);
    FComboBox1->setEnabled(true);
    FComboBox2->setEnabled(true);
    // 解答選択 stays beside 問題選択 (lower down it would lie under 元に戻す).
    if (LessonKind >= 2) FComboBox2->show();
    FComboBox1->setCurrentIndex(0);
    dm.KuraQuery2.Locate("DTX", kura::TKuraValue(1));
    CurrentProblem = 1;
    ShowProblem();
    ShowHelpTopicOf(CurrentFigure);
    return;
  }

  CuteButton(5)->setEnabled(true);
  CuteButton(10)->setEnabled(false);
  FComboBox1->setEnabled(false);
  FComboBox2->setEnabled(false);
  // Contents row 1000 opens any figure by the number an author typed into Edit3.
  if (CurrentFigure == 1000 && !FEdit3->text().isEmpty()) CurrentFigure = FigureNumberFromText(FEdit3->text());
  dm.OpenFigure(CurrentFigure);
  PlayMode = PlayFree;
  RadioButton2()->setChecked(true);
  kura::TKuraQuery &figure = dm.KuraQuery2;
  figure.First();
  const bool drawn = DrawFigureRows(false);
  LastPoint = 0;  // the first move of the lesson takes nothing off its basic figure
  if (LessonMode != 1) return;
  if (showHelp == 1) ShowHelpTopicOf(CurrentFigure);
  if (drawn && LessonKind == 0 && AutoAdvance == 0) {
    MoveNumber = Field(figure, fTES);
    CurrentColor = Field(figure, fCOL);
    const std::int32_t r = ClassifyRow(dm);
    if (r == 1 || r == 2) ShowChoices();
  }
  CurrentColor = 1;
}

}  // namespace miretoka
