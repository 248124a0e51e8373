#include "go/match/Handicap.h"

#include "go/Point.h"

namespace go::match {

std::vector<int> HandicapPoints(int size, int stones) {
  if (stones < 2) return {};
  if (stones > MaxHandicap) stones = MaxHandicap;
  const int edge = size >= 13 ? 3 : 2;  // column/row from the edge, counted from 0
  const int low = edge, high = size - 1 - edge, mid = size / 2;
  // (column, row) with row 0 at the top.
  const int lowerLeft = PointOf(size, low, high), upperRight = PointOf(size, high, low);
  const int upperLeft = PointOf(size, low, low), lowerRight = PointOf(size, high, high);
  const int centre = PointOf(size, mid, mid);
  const int left = PointOf(size, low, mid), right = PointOf(size, high, mid);
  const int top = PointOf(size, mid, low), bottom = PointOf(size, mid, high);

  std::vector<int> points{lowerLeft, upperRight};
  if (stones >= 3) points.push_back(upperLeft);
  if (stones >= 4) points.push_back(lowerRight);
  if (stones >= 6) {
    points.push_back(left);
    points.push_back(right);
  }
  if (stones >= 8) {
    points.push_back(bottom);
    points.push_back(top);
  }
  if (stones % 2 == 1 && stones >= 5) points.push_back(centre);
  return points;
}

}  // namespace go::match
