#pragma once
// The rule knowledge of ミレトカ's boards as plain functions over a row of cells.
//
// A position is `size` × `size` cells indexed by point − 1 (see Point.h): 0 empty, 1 black,
// 2 white. Lesson boards may also hold −1 or −2 (a stone shown with a red number); such a cell
// is neither a liberty, nor a group member, nor a stone for the territory rays, exactly as the
// board windows treat it. No function here keeps state.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace go {

using TCells = std::span<const std::int32_t>;

inline constexpr std::int32_t OffBoard = 3;

struct TNeighbour {
  std::int32_t Value = OffBoard;  // the neighbour's cell, or OffBoard
  int Point = 0;                  // 0 when off the board
};

// The four neighbours in the fixed order up, down, left, right.
std::array<TNeighbour, 4> Neighbours(TCells cells, int size, int point);

struct TGroup {
  std::vector<int> Stones;     // in increasing point order
  std::vector<int> Liberties;  // empty (0) points touching the group, increasing
};
// The group of the stone on `point` (cells equal to its value, connected along the lines) with
// its liberties: what a capture examines, and the whole group the end of a game marks dead
// from one clicked stone. An empty or off-board point gives an empty group.
TGroup GroupAt(TCells cells, int size, int point);

// The opponent stones that the stone on `point` captures: every group of the other colour
// touching it that has no liberty, in increasing point order. The stone's own group is not
// examined (whether a stone without liberties stays is the caller's rule).
std::vector<int> CapturedBy(TCells cells, int size, int point);

// Owner of an empty point: walking up, down, left and right along the lines to the first
// stone or the edge, 0 when no stone was met, 1 or 2 when only that colour was met, 3 when
// both were met.
std::int32_t TerritoryOwner(TCells cells, int size, int point);

struct TTerritory {
  std::int32_t Black = 0;
  std::int32_t White = 0;
};
// Counts the empty points in point order. A point nobody sees goes to the owner of the next
// owned point; those left over at the end go to the last owner seen (to nobody if none).
TTerritory CountTerritory(TCells cells, int size);

}  // namespace go
