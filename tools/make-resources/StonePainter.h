#pragma once
// Draws the 28 x 28 go stones shown on the board's points.
#include <QImage>

namespace miretoka::resources {
enum class StoneKind { Black, White };

// Side of a stone picture in pixels: one board cell.
inline constexpr int kStoneSide = 28;

// A shaded stone lit from the upper left, with a soft contact shadow, anti-aliased edges
// and fully transparent corners. Format_ARGB32_Premultiplied.
QImage PaintStone(StoneKind kind);
}  // namespace miretoka::resources
