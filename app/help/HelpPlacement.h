#pragma once
// Where the help window first appears: beside the program's window, not over the board. On a
// desktop without a window manager a new window otherwise lands in the screen's top-left
// corner, right over the board the learner is clicking.
#include <QRect>

namespace miretoka {

// The help window's first geometry: to the right of `owner` when the wanted size fits there
// within `available`, else to its left; else in the wider of the two side strips, narrowed to
// it, when that strip is at least `minWidth` wide; else at the right edge of `available`
// (overlapping the owner, as little as the wanted width allows). The height is kept within
// `available` and the top follows the owner's top.
QRect HelpWindowPlacement(const QRect &owner, const QSize &wanted, const QRect &available, int minWidth = 240);

}  // namespace miretoka
