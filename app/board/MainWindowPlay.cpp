// TForm2: a click on the board, alternate and free placement, taking a move
// back and clearing the board.
#include "app/board/PlayRules.h"
#include "app/feedback/ErrorReporter.h"
#include "app/board/PlayBoard.h"
#include "app/board/MainWindow.h"
#include "app/board/PlayState.h"
#include "app/board/StatusPanels.h"

namespace miretoka {

using namespace play;

void TForm2::Label1MouseDown(TPointLabel *sender, Qt::MouseButton button, Qt::KeyboardModifiers) {
  FStatusBar1->SetPanelText(0, QString());
  const int point = PointFromLabel(sender);
  if (point < 1 || point > PointCount) return;
  if (sender->text() == QStringLiteral("●")) {
    ChooseBranch(point);
    return;
  }
  if (LessonMode == 1) {
    if (PlayMode != PlayEndOfGame && Board[static_cast<std::size_t>(point - 1)] > 0) return;
    switch (PlayMode) {
      case PlayAlternate:
        AlternatePlace(point);
        break;
      case PlayFree:
        FreePlace(point, button);
        break;
      case PlayEndOfGame:
        // Taking a marked group off can be taken back; marking it is undone by its own click.
        if (DeadMarked == 1 && IsInDeadList(point)) RememberStep();
        FBoard->MarkDeadStones(point);
        break;
      case PlayGomoku:
        GomokuPlace(point);
        break;
      default:
        break;
    }
  } else if (CurrentFigure != 0) {
    AuthoringClick(point, button);
  } else {
    Reporter().ShowInformation(this, QStringLiteral("目次をダブルクリックしてください。"));
    PlayFeedback(0);
  }
}

void TForm2::AlternatePlace(int point) {
  RememberStep();
  PlaybackStepped = 0;
  ClearMarks();
  // The marks just wiped include the offered "●" choices, so no choice is awaited any more:
  // 1手進む offers the branches again from the branch end, where the figure cursor stays.
  ChoicePending = 0;
  MoveNumber += 1;
  RecordMove(MoveNumber, CurrentColor, point);
  Label(point)->SetTransparent(true);
  DrawStone(MoveNumber, CurrentColor, point, 1, QString());
  PlayFeedback(0);
  FStatusBar1->SetPanelText(0, QString());
  CurrentColor = NextColor(CurrentColor);
  if (LessonKind == 1 || LessonKind == 2) CheckAnswerMove(point);
}

void TForm2::FreePlace(int point, Qt::MouseButton button) {
  RememberStep();
  ClearMarks();
  ChoicePending = 0;  // the offered choices went with the marks
  MoveNumber = 0;
  CurrentColor = button == Qt::LeftButton ? 1 : 2;
  RecordMove(0, CurrentColor, point);
  Label(point)->SetTransparent(true);
  DrawStone(0, CurrentColor, point, 0, QString());
}

void TForm2::UndoMove() { FBoard->UndoMove(); }

void TForm2::CuteButton6Click() { ClearBoard(); }

}  // namespace miretoka
