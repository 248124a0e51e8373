// TForm2: taking back in the learner layout. Every step a learner takes on the main
// board - a stone placed, a lesson move shown, a branch chosen, dead stones taken off -
// first keeps the board as it was, and 1手戻す returns to exactly that picture: the
// same stones, numbers, marks, choices, comments and figure position. Stepping back
// therefore never goes behind the lesson's basic figure.
#include <QTextBrowser>
#include <QTimer>

#include "app/board/MainWindow.h"
#include "app/board/PlayState.h"
#include "app/board/StatusPanels.h"
#include "app/data/DataModule.h"

namespace miretoka {

using namespace play;

void TForm2::RememberStep() {
  if (LessonMode != 1) return;  // authors step back through the figure rows themselves
  TStep step;
  step.Board = TakeSnapshot(*FBoard);
  if (FDataModule && FDataModule->KuraQuery2.Active() && !FDataModule->KuraQuery2.IsEmpty()) {
    step.Figure = FDataModule->CurrentFigure;
    step.FigureRow = FDataModule->KuraQuery2.GetBookmark();
  }
  step.Prompt = FStatusBar1->PanelText(0);
  step.Comment = FStatusBar1->PanelText(1);
  FTakeBack.Push(std::move(step));
}

bool TForm2::TakeBackStep() {
  if (FTakeBack.Empty()) return false;
  const TStep step = FTakeBack.Pop();
  FTimer2->stop();  // an answer playing by itself would step on at once; AutoAdvance stays
  RestoreSnapshot(*FBoard, step.Board);
  if (!step.FigureRow.empty() && FDataModule && FDataModule->KuraQuery2.Active() &&
      FDataModule->CurrentFigure == step.Figure)
    FDataModule->KuraQuery2.GotoBookmark(step.FigureRow);
  FStatusBar1->SetPanelText(0, step.Prompt);
  ShowComment(step.Comment);
  return true;
}

void TForm2::ShowComment(const QString &text) {
  FStatusBar1->SetPanelText(1, text);
  if (FComment) FComment->setPlainText(text);
}

void TForm2::CuteButton7Click() {
  FStatusBar1->SetPanelText(0, QString());
  if (LessonMode == 1) {
    if (TakeBackStep()) return;
    // A restored game was replayed without steps: its moves go back one by one.
    if (MoveCount >= 1) {
      UndoMove();
      return;
    }
  } else if (PlaybackStepped != 0 || MoveCount != 0) {
    StepBack();
    return;
  }
  FStatusBar1->SetPanelText(0, QStringLiteral("もう戻せません。"));
  PlayFeedback(0);
}

}  // namespace miretoka
