#include "app/board/PlayRules.h"

#include <algorithm>

#include "app/board/PlayState.h"

namespace miretoka::play {

namespace {
// The cells of the board in play; Board is always large enough for 19 lines.
go::TCells Cells() { return go::TCells(Board.data(), static_cast<std::size_t>(PointCount)); }
}  // namespace

std::array<NeighbourEntry, 4> GetNeighbours(std::int32_t point) {
  return go::Neighbours(Cells(), BoardSize, point);
}

std::vector<std::int32_t> FindCapturedPoints(std::int32_t point) {
  return go::CapturedBy(Cells(), BoardSize, point);
}

void ListDeadGroup(std::int32_t point) {
  DeadList.clear();
  for (int stone : go::GroupAt(Cells(), BoardSize, point).Stones) DeadList.push_back(-stone);
}

bool IsInDeadList(std::int32_t point) {
  return std::find(DeadList.begin(), DeadList.end(), -point) != DeadList.end();
}

std::int32_t TerritoryOwner(std::int32_t point) { return go::TerritoryOwner(Cells(), BoardSize, point); }

TerritoryCount CountTerritory() { return go::CountTerritory(Cells(), BoardSize); }

}  // namespace miretoka::play
