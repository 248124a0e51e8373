#include "app/DeadGroup.h"

#include <algorithm>

#include "app/PlayState.h"

namespace miretoka::play {

namespace {
bool Listed(std::int32_t n) {
  return std::any_of(DeadList.begin(), DeadList.end(),
                     [n](std::int32_t e) { return e == n || e == -n; });
}
}  // namespace

void ExpandDeadGroup(std::int32_t point, std::int32_t color) {
  const std::int32_t size = BoardSize;
  const std::int32_t c = (point - 1) / size + 1;
  const std::int32_t r = (point - 1) % size + 1;
  auto consider = [&](std::int32_t cc, std::int32_t rr) {
    const std::int32_t n = (cc - 1) * size + rr;
    if (Board[static_cast<std::size_t>(n - 1)] == color && !Listed(n)) DeadList.push_back(n);
  };
  if (r - 1 > 0) consider(c, r - 1);
  if (r + 1 < size + 1) consider(c, r + 1);
  if (c - 1 > 0) consider(c - 1, r);
  if (c + 1 < size + 1) consider(c + 1, r);
}

void ListDeadGroup(std::int32_t point) {
  DeadList.clear();
  DeadList.push_back(point);
  for (;;) {
    auto it = std::find_if(DeadList.begin(), DeadList.end(), [](std::int32_t e) { return e > 0; });
    if (it == DeadList.end()) break;
    const std::int32_t p = *it;
    *it = -p;
    ExpandDeadGroup(p, Board[static_cast<std::size_t>(p - 1)]);
  }
}

bool IsInDeadList(std::int32_t point) {
  return std::find(DeadList.begin(), DeadList.end(), -point) != DeadList.end();
}

}  // namespace miretoka::play
