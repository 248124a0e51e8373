#include "go/Board.h"

#include "go/Point.h"

namespace go {

void TBoard::Set(int point, std::int32_t colour) {
  if (OnBoard(FSize, point)) FCells[static_cast<size_t>(point - 1)] = colour;
}

TPlayResult TBoard::Play(std::int32_t colour, int point, TSuicide suicide) {
  TPlayResult r;
  if (!OnBoard(FSize, point) || (colour != 1 && colour != 2)) return r;
  FCells[static_cast<size_t>(point - 1)] = colour;
  r.Captured = CapturedBy(FCells, FSize, point);
  for (int p : r.Captured) FCells[static_cast<size_t>(p - 1)] = 0;
  (colour == 1 ? FWhiteCaptured : FBlackCaptured) += static_cast<int>(r.Captured.size());
  if (suicide == TSuicide::Removed) {
    TGroup own = GroupAt(FCells, FSize, point);
    if (own.Liberties.empty()) {
      r.Suicided = own.Stones;
      for (int p : r.Suicided) FCells[static_cast<size_t>(p - 1)] = 0;
      (colour == 1 ? FBlackCaptured : FWhiteCaptured) += static_cast<int>(r.Suicided.size());
    }
  }
  return r;
}

}  // namespace go
