#pragma once
// Neighbours of a point and the search for opponent groups left without liberties.
#include <array>
#include <cstdint>
#include <vector>

namespace miretoka::play {

// Value 0/1/2 is the Board cell of the neighbour; 3 means off the board (Point 0).
struct NeighbourEntry {
  std::int32_t Value = 3;
  std::int32_t Point = 0;
};
constexpr std::int32_t OffBoard = 3;

// The four neighbours of a point in the fixed order up, down, left, right,
// on the board in play (BoardSize, PointCount).
std::array<NeighbourEntry, 4> GetNeighbours(std::int32_t point);

// The opponent stones that the stone just written on `point` captures:
// every group of the other colour that touches it and has no liberty,
// in increasing point order. The stone's own group is never examined, so a
// stone without liberties that captures nothing stays (suicide is allowed).
std::vector<std::int32_t> FindCapturedPoints(std::int32_t point);

}  // namespace miretoka::play
