#pragma once
// What a board window shows and the play state behind it, kept whole so that a
// take-back puts back exactly the picture, the numbers and the marks that were
// there before the move - whatever kind of step the move was (a placed stone, a
// lesson move, a branch choice, stones taken off at the end of the game).
#include <QColor>
#include <QPixmap>
#include <QString>
#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "app/board/MoveHistory.h"
#include "app/board/PlayState.h"

namespace miretoka {

class TPlayBoard;

struct TPointView {
  QPixmap Picture;
  QString Text;
  QColor FontColor;
  bool Bold = false;
  bool Transparent = true;
};

struct TBoardSnapshot {
  std::vector<TPointView> Points;  // index k - 1 is point k
  std::array<std::int32_t, play::MaxPoints> Board{};
  std::int32_t CurrentColor = 1, MoveNumber = 0, MoveCount = 0, LastPoint = 0;
  std::int32_t BlackCaptured = 0, WhiteCaptured = 0, PlaybackStepped = 0, ChoicePending = 0;
  std::vector<play::MoveRecord> MoveList;
  std::vector<play::CaptureRecord> CaptureLog;
  std::vector<std::int32_t> DeadList;
  std::int32_t DeadMarked = 0;
  std::vector<std::pair<std::int32_t, QString>> DeadCoveredTexts;
  std::array<play::ChoiceEntry, play::ChoiceTableSize> ChoiceTable{};  // the "●" offered
};

// Everything of `board` and of the shared play state that a move can change.
TBoardSnapshot TakeSnapshot(const TPlayBoard &board);
// Puts it all back and shows the captured-stone counters again.
void RestoreSnapshot(TPlayBoard &board, const TBoardSnapshot &snapshot);

// The steps a learner can take back, newest last. `T` is a snapshot, or a window's
// snapshot with what that window shows besides the board.
template <class T>
class TTakeBackStack {
public:
  void Push(T snapshot) { FSteps.push_back(std::move(snapshot)); }
  bool Empty() const { return FSteps.empty(); }
  int Size() const { return static_cast<int>(FSteps.size()); }
  T Pop() {
    T top = std::move(FSteps.back());
    FSteps.pop_back();
    return top;
  }
  void Clear() { FSteps.clear(); }

private:
  std::vector<T> FSteps;
};

}  // namespace miretoka
