#include "go/match/Match.h"

#include <algorithm>

#include "go/Point.h"
#include "go/Rules.h"

namespace go::match {

TMatch::TMatch(int size, const std::vector<int> &handicap) : FSize(size), FHandicap(handicap), FBoard(size) {
  for (int p : handicap) FBoard.Set(p, 1);
  FToMove = handicap.empty() ? 1 : 2;
}

bool TMatch::TwoPasses() const {
  const size_t n = FMoves.size();
  return n >= 2 && FMoves[n - 1].Point == 0 && FMoves[n - 2].Point == 0;
}

TRefusal TMatch::Check(int color, int point) const {
  if (TwoPasses()) return TRefusal::Over;
  if (color != FToMove) return TRefusal::WrongTurn;
  if (point == 0) return TRefusal::None;
  if (!OnBoard(FSize, point)) return TRefusal::NotOnBoard;
  if (FBoard.At(point) != 0) return TRefusal::Occupied;
  TBoard after = FBoard;
  const TPlayResult r = after.Play(color, point, TSuicide::Removed);
  if (!r.Suicided.empty()) return TRefusal::Suicide;
  // A capture of one stone may retake a ko: the position must not repeat the one before
  // the opponent's move.
  if (r.Captured.size() == 1 && !FHistory.empty() && after.Cells().size() == FHistory.back().Cells().size()) {
    const TCells a = after.Cells(), b = FHistory.back().Cells();
    if (std::equal(a.begin(), a.end(), b.begin())) return TRefusal::Ko;
  }
  return TRefusal::None;
}

TRefusal TMatch::Play(int color, int point) {
  const TRefusal refusal = Check(color, point);
  if (refusal != TRefusal::None) return refusal;
  FHistory.push_back(FBoard);
  TMatchMove move{color, point, {}};
  if (point != 0) move.Captured = FBoard.Play(color, point, TSuicide::Removed).Captured;
  FMoves.push_back(std::move(move));
  FToMove = 3 - color;
  return TRefusal::None;
}

bool TMatch::Undo() {
  if (FMoves.empty()) return false;
  FBoard = FHistory.back();
  FHistory.pop_back();
  FToMove = FMoves.back().Color;
  FMoves.pop_back();
  return true;
}

}  // namespace go::match
