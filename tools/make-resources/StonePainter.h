#pragma once
// Draws the 28 x 28 go stones shown on the board's points.
#include <QImage>

namespace miretoka::resources {
enum class StoneKind { Black, White };

// Side of a stone picture in pixels: one board cell.
inline constexpr int kStoneSide = 28;

// A shaded stone lit from the upper left, with a soft contact shadow, anti-aliased edges
// and fully transparent corners. Format_ARGB32_Premultiplied.
// `scale` 2 or 3 paints the same stone with 2 or 3 times the pixels, for screens scaled
// to 200 % or 300 % (saved as stB@2x.bmp, stB@3x.bmp beside the 28-pixel picture).
QImage PaintStone(StoneKind kind, int scale = 1);
}  // namespace miretoka::resources
