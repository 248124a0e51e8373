#pragma once
// Owner of empty points and the territory count of the end of a game.
#include <cstdint>

namespace miretoka::play {

// Owner of an empty point: walking up, down, left and right along the lines to
// the first stone or the edge, 0 when no stone was met, 1 or 2 when only that
// colour was met, 3 when both were met (neutral).
std::int32_t TerritoryOwner(std::int32_t point);

struct TerritoryCount {
  std::int32_t Black = 0;
  std::int32_t White = 0;
};

// Counts the empty points of the board in play in point order. A point nobody
// sees is given to the owner of the next owned point; the ones left over at the
// end go to the last owner seen, and to nobody when no point had an owner.
TerritoryCount CountTerritory();

}  // namespace miretoka::play
