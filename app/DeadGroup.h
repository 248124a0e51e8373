#pragma once
// Listing a group of stones for the dead-stone marking of the end of a game.
#include <cstdint>

namespace miretoka::play {

// Appends to DeadList the neighbours of `point` (on the board in play) that
// hold `color` and are not listed yet, waiting (n) or examined (-n).
void ExpandDeadGroup(std::int32_t point, std::int32_t color);

// Lists the whole group of the stone on `point` in DeadList, every member
// examined (negative). The list grows with the group, whatever its size.
void ListDeadGroup(std::int32_t point);

// True when -point is an examined entry of DeadList.
bool IsInDeadList(std::int32_t point);

}  // namespace miretoka::play
