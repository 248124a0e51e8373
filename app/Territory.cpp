#include "app/Territory.h"

#include "app/PlayState.h"

namespace miretoka::play {

namespace {
// A cell counts as a stone only when it holds a real colour; lesson cells of
// -1/-2 are neither stones nor territory here.
bool IsStone(std::int32_t v) { return v == 1 || v == 2; }
std::int32_t Cell(std::int32_t col, std::int32_t row) {
  return Board[static_cast<std::size_t>(col * BoardSize + row)];
}
}  // namespace

std::int32_t TerritoryOwner(std::int32_t point) {
  const std::int32_t col = (point - 1) / BoardSize;
  const std::int32_t row = (point - 1) % BoardSize;
  std::int32_t c = 0, s = 0;
  const int steps[4][2] = {{0, -1}, {0, 1}, {-1, 0}, {1, 0}};  // up, down, left, right
  for (const auto &d : steps) {
    std::int32_t x = col + d[0], y = row + d[1];
    while (x >= 0 && x < BoardSize && y >= 0 && y < BoardSize) {
      const std::int32_t v = Cell(x, y);
      if (IsStone(v)) {
        ++c;
        s += v;
        break;
      }
      x += d[0];
      y += d[1];
    }
  }
  if (c == 0) return 0;
  if (s % c != 0) return 3;
  return s / c;
}

TerritoryCount CountTerritory() {
  TerritoryCount t;
  std::int32_t pending = 0, last = 0;
  for (std::int32_t p = 1; p <= PointCount; ++p) {
    if (Board[static_cast<std::size_t>(p - 1)] != 0) continue;
    switch (TerritoryOwner(p)) {
      case 1:
        t.Black += pending + 1;
        pending = 0;
        last = 1;
        break;
      case 2:
        t.White += pending + 1;
        pending = 0;
        last = 2;
        break;
      case 0:
        ++pending;
        break;
      default:
        break;  // neutral
    }
  }
  if (pending > 0) {
    if (last == 1) t.Black += pending;
    if (last == 2) t.White += pending;
  }
  return t;
}

}  // namespace miretoka::play
