#pragma once
// TBoard: a position with the capture rule, for replaying records.
//
// A move removes the opponent groups it leaves without liberties. What happens to a stone
// whose own group is then without liberties is the caller's choice: ミレトカ's play lets it
// stand (suicide is allowed and takes nothing), an SGF record means it to be taken off. There
// is no ko rule; a record may hold any move.
#include <cstdint>
#include <vector>

#include "go/Rules.h"

namespace go {

enum class TSuicide { Stays, Removed };

struct TPlayResult {
  std::vector<int> Captured;  // opponent stones taken off
  std::vector<int> Suicided;  // own stones taken off (TSuicide::Removed only)
};

class TBoard {
 public:
  explicit TBoard(int size = 19) : FSize(size), FCells(static_cast<size_t>(size * size), 0) {}

  int Size() const { return FSize; }
  int PointCount() const { return FSize * FSize; }
  std::int32_t At(int point) const { return FCells[static_cast<size_t>(point - 1)]; }
  TCells Cells() const { return FCells; }
  // Stones of each colour taken off so far.
  int BlackCaptured() const { return FBlackCaptured; }
  int WhiteCaptured() const { return FWhiteCaptured; }

  // Puts `colour` (0 empties the point) on `point` without any capture (setup stones).
  void Set(int point, std::int32_t colour);
  // Plays a stone of `colour` (1 or 2) on `point`, overwriting what stood there, and applies
  // captures. A pass (point 0) changes nothing.
  TPlayResult Play(std::int32_t colour, int point, TSuicide suicide = TSuicide::Removed);

  bool operator==(const TBoard &) const = default;

 private:
  int FSize;
  std::vector<std::int32_t> FCells;
  int FBlackCaptured = 0, FWhiteCaptured = 0;
};

}  // namespace go
