// TForm2: a click on the board, alternate and free placement, taking a move
// back and clearing the board.
#include "app/ErrorReporter.h"
#include "app/MainWindow.h"
#include "app/PlayState.h"
#include "app/StatusPanels.h"

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
        MarkDeadStones(point);
        break;
      case PlayGomoku:
        GomokuPlace(point);
        break;
      default:
        break;
    }
  } else if (CurrentFigure != 0) {
    AuthoringClick(point);
  } else {
    Reporter().ShowInformation(this, QStringLiteral("目次をダブルクリックしてください。"));
    PlayFeedback(0);
  }
}

void TForm2::AlternatePlace(int point) {
  PlaybackStepped = 0;
  ClearMarks();
  MoveCount += 1;
  MoveNumber += 1;
  Board[static_cast<std::size_t>(point - 1)] = CurrentColor;
  MoveRecord &rec = MoveAt(MoveCount);
  rec.Number = MoveNumber;
  rec.Color = CurrentColor;
  rec.Point = point;
  Label(point)->SetTransparent(true);
  DrawStone(MoveNumber, CurrentColor, point, 1, QString());
  PlayFeedback(0);
  FStatusBar1->SetPanelText(0, QString());
  CurrentColor = NextColor(CurrentColor);
  if (LessonKind == 1 || LessonKind == 2) CheckAnswerMove(point);
}

void TForm2::FreePlace(int point, Qt::MouseButton button) {
  ClearMarks();
  MoveCount += 1;
  MoveNumber = 0;
  CurrentColor = button == Qt::LeftButton ? 1 : 2;
  Board[static_cast<std::size_t>(point - 1)] = CurrentColor;
  MoveRecord &rec = MoveAt(MoveCount);
  rec.Number = 0;
  rec.Color = CurrentColor;
  rec.Point = point;
  Label(point)->SetTransparent(true);
  DrawStone(0, CurrentColor, point, 0, QString());
}

void TForm2::UndoMove() {
  if (MoveCount < 1) return;
  CancelDeadMarking(true);
  // Put back the stones this move captured. The records are taken out of the
  // log, wherever they stand in it, so later records are never overwritten.
  for (std::size_t i = 0; i < CaptureLog.size();) {
    const CaptureRecord rec = CaptureLog[i];
    if (rec.MoveKey != MoveCount) {
      ++i;
      continue;
    }
    LoadStone(rec.Point, rec.Color);  // before any change: a missing picture leaves the record in place
    CurrentColor = rec.Color;
    Board[static_cast<std::size_t>(rec.Point - 1)] = rec.Color;
    CaptureLog.erase(CaptureLog.begin() + static_cast<std::ptrdiff_t>(i));
    if (rec.Color == 1)
      BlackCaptured -= 1;
    else
      WhiteCaptured -= 1;
    ShowCaptured();
  }
  const int q = MoveAt(MoveCount).Point;
  if (q >= 1 && q <= MaxPoints) {
    Image(q)->Clear();
    Label(q)->setText(QString());
    Label(q)->SetTransparent(true);
    Board[static_cast<std::size_t>(q - 1)] = 0;
  }
  MoveCount -= 1;
  if (MoveNumber > 0) MoveNumber -= 1;
  const int r = MoveCount > 0 ? MoveAt(MoveCount).Point : 0;
  if (LessonMode == 1 && MoveNumber > 0 && r >= 1 && r <= MaxPoints) Label(r)->setText(QString::number(MoveNumber));
  LastPoint = r;
  if (CurrentColor > 0) CurrentColor = NextColor(CurrentColor);
}

void TForm2::StepBack() {
  if (MoveCount >= 1) {
    UndoMove();
    return;
  }
  // Stepping a lesson figure back comes with figure playback.
}

void TForm2::CuteButton7Click() {
  FStatusBar1->SetPanelText(0, QString());
  if (PlaybackStepped != 0 || MoveCount != 0) {
    StepBack();
  } else {
    FStatusBar1->SetPanelText(0, QStringLiteral("もう戻せません。"));
    PlayFeedback(0);
  }
}

void TForm2::CuteButton6Click() { ClearBoard(); }

// "1手進む" and "元に戻す" step through and reload lesson figures; they come
// with the lesson panel.
void TForm2::CuteButton5Click() { FStatusBar1->SetPanelText(0, QString()); }
void TForm2::CuteButton9Click() {}

// Seams to the lesson panel.
void TForm2::ChooseBranch(int) {}
void TForm2::CheckAnswerMove(int) {}
void TForm2::AuthoringClick(int) {}

}  // namespace miretoka
