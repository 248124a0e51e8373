#pragma once
// The clicks an author records in the editor layout before registering them: the entries of
// play::MoveList (Number, Color, Point, Mark) and, for a mark click, its characters in
// MoveTexts at the same index.
#include <QString>
#include <cstdint>
#include <vector>

namespace miretoka::play {

// Characters of the mark recorded as MoveList entry i (empty for a move). Starts with room
// for 100 and grows with the move list, so a long basic figure keeps every mark's text.
extern std::vector<QString> MoveTexts;
constexpr int InitialMoveTextsSize = 100;

// MoveTexts entry i, growing the list when i lies past its end.
QString &MoveTextAt(std::int32_t i);

// The number of leading MoveList entries that hold a point (an entry with Point 0 ends the
// recorded clicks).
std::int32_t CountMoves();

// Forgets the recorded clicks: the first 100 MoveList entries zeroed (marks included), every
// text emptied, MoveCount 0.
void ResetMoveList();

}  // namespace miretoka::play
