#pragma once
// The usual fixed places of handicap stones on 9-, 13- and 19-line boards: the star points
// of the corners first (lower left and upper right, then upper left, lower right), then for
// an odd number the centre, and from six stones the middles of the left and right sides,
// from eight also those of the top and bottom. On a 9-line board the corner points are the
// 3-3 points, on larger boards the 4-4 points. These are the points of GTP's fixed_handicap
// (GNU Go places the same), so that engines and records agree.
#include <vector>

namespace go::match {

inline constexpr int MaxHandicap = 9;

// The points of `stones` handicap stones (0 and 1 give none; more than 9 is taken as 9).
std::vector<int> HandicapPoints(int size, int stones);

}  // namespace go::match
