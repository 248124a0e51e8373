#pragma once
// The Go rules of the library go/ applied to the board in play: the shared cells of
// PlayState.h on BoardSize lines. Only the binding to the play state lives here; what a
// neighbour, a capture, a group or a territory is stays in go/Rules.h, written once.
#include <array>
#include <cstdint>
#include <vector>

#include "go/Rules.h"

namespace miretoka::play {

// Value 0/1/2 (or a lesson's -1/-2) is the Board cell of the neighbour; OffBoard (3) with
// Point 0 when the neighbour would lie off the board.
using NeighbourEntry = go::TNeighbour;
using go::OffBoard;

// The four neighbours of a point in the fixed order up, down, left, right.
std::array<NeighbourEntry, 4> GetNeighbours(std::int32_t point);

// The opponent stones that the stone just written on `point` captures: every group of the
// other colour that touches it and has no liberty, in increasing point order. The stone's own
// group is never examined, so a stone without liberties that captures nothing stays (suicide
// is allowed on the free board and in lessons).
std::vector<std::int32_t> FindCapturedPoints(std::int32_t point);

// Lists the whole group of the stone on `point` in DeadList, every member examined
// (negative), for the dead-stone marking of the end of a game.
void ListDeadGroup(std::int32_t point);

// True when -point is an examined entry of DeadList.
bool IsInDeadList(std::int32_t point);

// Owner of an empty point: 0 when no stone is seen along the lines, 1 or 2 when only that
// colour is seen, 3 when both are (neutral).
std::int32_t TerritoryOwner(std::int32_t point);

// The territory count of the end of a game (see go::CountTerritory).
using TerritoryCount = go::TTerritory;
TerritoryCount CountTerritory();

}  // namespace miretoka::play
