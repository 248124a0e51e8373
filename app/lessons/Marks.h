#pragma once
// Marks of lesson figures: characters written on a stone, on a patch of board colour or
// straight onto the board, in the standard colour, green or red. A mark is kept as a mark
// code, place x 10 + colour (11 to 33), in the figure row's DTX and its characters in CMT;
// DrawStone draws every code above 2 as a mark.
//
// The lettering (文字仕様) an author has chosen for the next mark click lives here too.
#include <cstdint>

namespace miretoka::play {

// The place of a mark: 1 "石上" on a stone, 2 "背景" on a board-coloured patch, 3 "直接"
// straight on the board; 0 while none has been chosen.
extern std::int32_t MarkPlace;
// The colour of a mark: 1 "標準" (white on black, else black), 2 "緑", 3 "赤"; 0 while none
// has been chosen.
extern std::int32_t MarkColor;

constexpr std::int32_t MarkOnStone = 1;
constexpr std::int32_t MarkOnBackground = 2;
constexpr std::int32_t MarkDirect = 3;

// COL of a background mark row; a direct mark row carries 0, a mark on a stone the stone's colour.
constexpr std::int32_t BackgroundMarkColor = 3;

// DTX of 10 and above is a mark code; below 10 the row is a stone (or a problem number).
inline bool IsMarkCode(std::int32_t dtx) { return dtx >= 10; }
inline std::int32_t MarkCode(std::int32_t place, std::int32_t colour) { return place * 10 + colour; }
// The lettering (文字仕様) is complete when both a place and a colour have been chosen.
inline bool LetteringChosen() { return MarkPlace != 0 && MarkColor != 0; }

// No place and no colour chosen, as when the window opens.
void ResetLettering();

}  // namespace miretoka::play
