// TForm2: stepping through the recorded sequences of a lesson figure - 1手進む,
// 1手戻す over the figure, 元に戻す, the branch choices offered as green or red
// "●" marks, and the timer that plays a sequence by itself.
#include <QComboBox>
#include <QTimer>
#include <cstdlib>

#include "app/data/DataModule.h"
#include "app/feedback/ErrorReporter.h"
#include "app/lessons/FigureNavigation.h"
#include "app/board/MainWindow.h"
#include "app/board/PlayState.h"
#include "app/board/StatusPanels.h"
#include "app/start/UserSettings.h"
#include "app/lessons/ContentsDelegate.h"
#include <QTableView>

namespace miretoka {

using namespace play;

namespace {

enum { fMNB, fTES, fCOL, fPST, fBFR, fBTO, fDTX, fCMT };

std::int32_t Field(kura::TKuraQuery &q, int position) { return static_cast<std::int32_t>(q.Fields(position).AsInteger()); }
QString Text(kura::TKuraQuery &q, int position) { return QString::fromStdString(q.Fields(position).AsString()); }

bool OnBoard(int point) { return point >= 1 && point <= MaxPoints; }

// The figure query when it holds rows to walk; null before any lesson or for an empty figure.
kura::TKuraQuery *FigureRows(TDataModule1 *dm) {
  if (!dm || !dm->KuraQuery2.Active() || dm->KuraQuery2.IsEmpty()) return nullptr;
  return &dm->KuraQuery2;
}

}  // namespace

void TForm2::FigureCaptureKeys(CaptureRecord &record) {
  kura::TKuraQuery *q = FigureRows(FDataModule);
  if (!q) return;
  // The stone's number is the move that put it there: the last row on its point among the
  // rows before this move. The walk puts the cursor back on the row being played, so the
  // drawing that called this goes on from its own row.
  const std::vector<uint8_t> here = q->GetBookmark();
  record.MoveKey = Field(*q, fTES);
  std::int32_t number = 0;
  for (q->First(); !q->Eof(); q->Next()) {
    const std::int32_t tes = Field(*q, fTES);
    if (tes >= record.MoveKey) break;
    if (Field(*q, fPST) == record.Point) number = tes;
  }
  record.StoneNumber = number;
  q->GotoBookmark(here);
}

void TForm2::LessonFinished() {
  if (LessonMode != 1 || !FLessonOpen || CurrentFigure <= 0) return;
  TUserSettings::AddFinishedLesson(CurrentFigure);
  FContentsDelegate->SetFinished(TUserSettings::FinishedLessons());
  FDBGrid1->viewport()->update();
}

QString TForm2::EndOfSequenceText() {
  // An author registers sequences; a learner has simply reached the end of one.
  return LessonMode == 1 ? QStringLiteral("手順はここまでです。") : QStringLiteral("登録手順は終了です。");
}

void TForm2::ShowChoices() {
  for (const ChoiceEntry &e : ChoiceTable) {
    if (e.Point <= 0) break;
    if (!FBoard->HasPoint(e.Point)) continue;
    Label(e.Point)->setText(QStringLiteral("●"));
    Label(e.Point)->SetFontColor(e.Color > 0 ? QColor(0, 255, 0) : QColor(255, 0, 0));
  }
  FStatusBar1->SetPanelText(0, QStringLiteral("緑丸か赤丸の一つをクリックしてください。"));
  ChoicePending = 1;
}

void TForm2::StepForward() {
  kura::TKuraQuery *figure = FigureRows(FDataModule);
  if (!figure) {
    FStatusBar1->SetPanelText(0, QStringLiteral("もう進めません。"));
    PlayFeedback(0);
    return;
  }
  kura::TKuraQuery &q = *figure;
  TDataModule1 &dm = *FDataModule;
  MoveNumber = Field(q, fTES);
  CurrentColor = Field(q, fCOL);
  const std::int32_t r = ClassifyRow(dm);
  if (r == 1 || r == 2) {
    ShowChoices();
    return;
  }
  if (r == 3) {
    RememberStep();
    q.Next();
  }
  // Nothing hangs at this end - or the rows ended where the sequence should go on.
  if (r == 0 || q.Eof()) {
    if (r == 3) FTakeBack.Pop();  // nothing was drawn
    FStatusBar1->SetPanelText(0, QStringLiteral("もう進めません。"));
    PlayFeedback(0);
    return;
  }
  MoveNumber = Field(q, fTES);
  CurrentColor = Field(q, fCOL);
  const int p = Field(q, fPST);
  const QString t = Text(q, fCMT);
  if (FBoard->HasPoint(p)) {
    Label(p)->SetBold(false);
    // A move drawn on a background mark's patch shows its number on the stone, not on the patch.
    Label(p)->SetTransparent(true);
  }
  if (OnBoard(p)) Board[static_cast<std::size_t>(p - 1)] = CurrentColor;  // a wrong move keeps its sign
  DrawStone(MoveNumber, CurrentColor, p, 1, t);
  if (LessonKind == 0)
    q.Locate("TES;PST", std::vector<kura::TKuraValue>{kura::TKuraValue(MoveNumber), kura::TKuraValue(p)});
  else
    q.Locate("TES;PST;DTX", std::vector<kura::TKuraValue>{kura::TKuraValue(MoveNumber), kura::TKuraValue(p),
                                                         kura::TKuraValue(CurrentProblem)});
  if (ClassifyRow(dm) != 0) {
    PlayFeedback(0);
    FStatusBar1->SetPanelText(0, QStringLiteral("進めてください。"));
    PassTurnInProblem();
  } else {
    PlayFeedback(1);
    FStatusBar1->SetPanelText(0, EndOfSequenceText());
    LessonFinished();
    CurrentColor = 1;
    MoveNumber = 0;
    AutoAdvance = 0;
  }
  if (AutoAdvance == 1) FTimer2->start();
}

void TForm2::ChooseBranch(int point) {
  kura::TKuraQuery *figure = FigureRows(FDataModule);
  if (!figure) {
    ClearMarks();
    return;  // no figure, so nothing was offered
  }
  RememberStep();  // 1手戻す offers the same choices again
  ClearMarks();
  kura::TKuraQuery &q = *figure;
  TDataModule1 &dm = *FDataModule;
  if (LessonKind != 0) {
    // From the current row on, the first row on the chosen point (else the last row).
    while (Field(q, fPST) != point) {
      q.Next();
      if (q.Eof()) break;
    }
  } else {
    for (const ChoiceEntry &e : ChoiceTable) {
      if (e.Point == point) {
        q.Locate("PST;BTO", std::vector<kura::TKuraValue>{kura::TKuraValue(point), kura::TKuraValue(e.From)});
        break;
      }
    }
  }
  MoveNumber = Field(q, fTES);
  CurrentColor = Field(q, fCOL);
  const QString t = Text(q, fCMT);
  if (OnBoard(point)) Board[static_cast<std::size_t>(point - 1)] = std::abs(CurrentColor);
  DrawStone(MoveNumber, CurrentColor, point, 1, t);
  PlayFeedback(0);
  ChoicePending = 0;
  const std::int32_t r = ClassifyRow(dm);
  if (LessonKind == 0)
    q.Locate("TES;PST", std::vector<kura::TKuraValue>{kura::TKuraValue(MoveNumber), kura::TKuraValue(point)});
  if (r != 0) {
    PassTurnInProblem();
    if (AutoAdvance == 1)
      FTimer2->start();
    else
      FStatusBar1->SetPanelText(0, QStringLiteral("進めてください。"));
  } else {
    PlayFeedback(1);
    FStatusBar1->SetPanelText(0, EndOfSequenceText());
    LessonFinished();
    AutoAdvance = 0;
  }
}

void TForm2::StepBack() {
  // The learner goes back over the steps taken; only an author steps the figure rows back.
  if (LessonMode == 1 && TakeBackStep()) return;
  if (MoveCount >= 1) {
    UndoMove();
    return;
  }
  kura::TKuraQuery *figure = FigureRows(FDataModule);
  if (!figure || LessonMode == 1) return;
  kura::TKuraQuery &q = *figure;
  TDataModule1 &dm = *FDataModule;
  MoveNumber = Field(q, fTES);
  // The stones this move captured come back, with their numbers.
  for (std::size_t i = 0; i < CaptureLog.size();) {
    const CaptureRecord rec = CaptureLog[i];
    if (rec.MoveKey != MoveNumber || rec.FromFigure == 0 || !FBoard->HasPoint(rec.Point)) {
      ++i;
      continue;
    }
    FBoard->LoadStone(rec.Point, rec.Color);
    CurrentColor = rec.Color;
    Board[static_cast<std::size_t>(rec.Point - 1)] = rec.Color;
    if (rec.StoneNumber > 0) {
      Label(rec.Point)->setText(QString::number(rec.StoneNumber));
      Label(rec.Point)->SetFontColor(rec.Color == 1 ? Qt::white : Qt::black);
    }
    CaptureLog.erase(CaptureLog.begin() + static_cast<std::ptrdiff_t>(i));
    if (rec.Color == 1)
      BlackCaptured -= 1;
    else
      WhiteCaptured -= 1;
    FBoard->ShowCaptured();
  }
  const int p = Field(q, fPST);
  if (FBoard->HasPoint(p)) {
    Image(p)->Clear();
    Label(p)->setText(QString());
    Board[static_cast<std::size_t>(p - 1)] = 0;
  }
  StepToPreviousRow(dm);
  ShowComment(Text(q, fCMT));
  const std::int32_t b = Field(q, fBFR);
  if (b > 0) {
    // Back on a branch end: its choices are offered again.
    const std::int32_t r = ClassifyRow(dm);
    if (r == 1 || r == 2) ShowChoices();
    q.Locate("BFR", kura::TKuraValue(b));
  }
}

void TForm2::CuteButton5Click() {
  FStatusBar1->SetPanelText(0, QString());
  PlaybackStepped = 1;
  if (ChoicePending == 1)
    Reporter().ShowInformation(this, QStringLiteral("緑丸か赤丸の一つをクリックしてください。"));
  else
    StepForward();
}

void TForm2::CuteButton9Click() {
  FTimer2->stop();  // AutoAdvance keeps its value
  if (!FLessonOpen) {
    // A game, not a lesson, is on the board: there is no basic figure to return to, and
    // the game stays.
    FStatusBar1->SetPanelText(0, QStringLiteral("教材が開かれていません。目次から選んでください。"));
    PlayFeedback(0);
    return;
  }
  if (LessonKind != 0) {
    CurrentProblem = std::max(FComboBox1->currentIndex(), 0) + 1;
    ClearBoard();
    kura::TKuraQuery &q = LessonData(FDataModule).KuraQuery2;
    q.Locate("DTX", kura::TKuraValue(CurrentProblem));
    ShowProblem();
  } else {
    OpenLesson(0);
  }
}

void TForm2::Timer2Timer() {
  if (AutoAdvance != 0)
    StepForward();
  else
    FTimer2->stop();
}

}  // namespace miretoka
