#include "app/board/BoardSnapshot.h"

#include "app/board/BoardControls.h"
#include "app/board/PlayBoard.h"

namespace miretoka {

using namespace play;

TBoardSnapshot TakeSnapshot(const TPlayBoard &board) {
  TBoardSnapshot s;
  s.Points.reserve(static_cast<std::size_t>(board.Points()));
  for (int k = 1; k <= board.Points(); ++k) {
    const TPointLabel *label = board.Label(k);
    s.Points.push_back({board.Image(k)->pixmap(), label->text(), label->FontColor(), label->IsBold(),
                        label->IsTransparent()});
  }
  s.Board = Board;
  s.CurrentColor = CurrentColor;
  s.MoveNumber = MoveNumber;
  s.MoveCount = MoveCount;
  s.LastPoint = LastPoint;
  s.BlackCaptured = BlackCaptured;
  s.WhiteCaptured = WhiteCaptured;
  s.PlaybackStepped = PlaybackStepped;
  s.ChoicePending = ChoicePending;
  s.MoveList = MoveList;
  s.CaptureLog = CaptureLog;
  s.DeadList = DeadList;
  s.DeadMarked = DeadMarked;
  s.DeadCoveredTexts = DeadCoveredTexts;
  s.ChoiceTable = ChoiceTable;
  return s;
}

void RestoreSnapshot(TPlayBoard &board, const TBoardSnapshot &s) {
  const int n = std::min(board.Points(), static_cast<int>(s.Points.size()));
  for (int k = 1; k <= n; ++k) {
    const TPointView &v = s.Points[static_cast<std::size_t>(k - 1)];
    board.Image(k)->SetPicture(v.Picture);
    TPointLabel *label = board.Label(k);
    label->setText(v.Text);
    label->SetFontColor(v.FontColor);
    label->SetBold(v.Bold);
    label->SetTransparent(v.Transparent);
  }
  Board = s.Board;
  CurrentColor = s.CurrentColor;
  MoveNumber = s.MoveNumber;
  MoveCount = s.MoveCount;
  LastPoint = s.LastPoint;
  BlackCaptured = s.BlackCaptured;
  WhiteCaptured = s.WhiteCaptured;
  PlaybackStepped = s.PlaybackStepped;
  ChoicePending = s.ChoicePending;
  MoveList = s.MoveList;
  CaptureLog = s.CaptureLog;
  DeadList = s.DeadList;
  DeadMarked = s.DeadMarked;
  DeadCoveredTexts = s.DeadCoveredTexts;
  ChoiceTable = s.ChoiceTable;
  board.ShowCaptured();
}

}  // namespace miretoka
