#include "go/Rules.h"

#include <algorithm>

namespace go {

namespace {
std::int32_t Cell(TCells cells, int point) { return cells[static_cast<size_t>(point - 1)]; }
bool IsStone(std::int32_t v) { return v == 1 || v == 2; }
}  // namespace

std::array<TNeighbour, 4> Neighbours(TCells cells, int size, int point) {
  std::array<TNeighbour, 4> n{};
  const int count = size * size;
  auto at = [&](int p) { return TNeighbour{Cell(cells, p), p}; };
  if ((point - 1) % size > 0) n[0] = at(point - 1);
  if (point % size > 0) n[1] = at(point + 1);
  if (point - size > 0) n[2] = at(point - size);
  if (point + size <= count) n[3] = at(point + size);
  return n;
}

TGroup GroupAt(TCells cells, int size, int point) {
  TGroup g;
  const int count = size * size;
  if (point < 1 || point > count || static_cast<int>(cells.size()) < count) return g;
  const std::int32_t colour = Cell(cells, point);
  if (!IsStone(colour)) return g;
  std::vector<char> seen(static_cast<size_t>(count) + 1, 0);
  std::vector<int> queue{point};
  seen[static_cast<size_t>(point)] = 1;
  for (size_t head = 0; head < queue.size(); ++head) {
    for (const TNeighbour &n : Neighbours(cells, size, queue[head])) {
      if (n.Point == 0 || seen[static_cast<size_t>(n.Point)]) continue;
      if (n.Value == colour) {
        seen[static_cast<size_t>(n.Point)] = 1;
        queue.push_back(n.Point);
      } else if (n.Value == 0) {
        seen[static_cast<size_t>(n.Point)] = 2;
        g.Liberties.push_back(n.Point);
      }
    }
  }
  g.Stones = std::move(queue);
  std::sort(g.Stones.begin(), g.Stones.end());
  std::sort(g.Liberties.begin(), g.Liberties.end());
  return g;
}

std::vector<int> CapturedBy(TCells cells, int size, int point) {
  std::vector<int> captured;
  const int count = size * size;
  if (point < 1 || point > count || static_cast<int>(cells.size()) < count) return captured;
  const std::int32_t own = Cell(cells, point);
  if (!IsStone(own)) return captured;
  const std::int32_t opp = 2 / own;
  for (const TNeighbour &n : Neighbours(cells, size, point)) {
    if (n.Value != opp) continue;
    if (std::binary_search(captured.begin(), captured.end(), n.Point)) continue;
    TGroup g = GroupAt(cells, size, n.Point);
    if (!g.Liberties.empty()) continue;
    captured.insert(captured.end(), g.Stones.begin(), g.Stones.end());
    std::sort(captured.begin(), captured.end());
  }
  return captured;
}

std::int32_t TerritoryOwner(TCells cells, int size, int point) {
  const int column = (point - 1) / size;
  const int row = (point - 1) % size;
  int seen = 0, sum = 0;
  const int steps[4][2] = {{0, -1}, {0, 1}, {-1, 0}, {1, 0}};  // up, down, left, right
  for (const auto &d : steps) {
    for (int x = column + d[0], y = row + d[1]; x >= 0 && x < size && y >= 0 && y < size; x += d[0], y += d[1]) {
      const std::int32_t v = cells[static_cast<size_t>(x * size + y)];
      if (IsStone(v)) {
        ++seen;
        sum += v;
        break;
      }
    }
  }
  if (seen == 0) return 0;
  if (sum % seen != 0) return 3;
  return sum / seen;
}

TTerritory CountTerritory(TCells cells, int size) {
  TTerritory t;
  std::int32_t pending = 0, last = 0;
  for (int p = 1; p <= size * size; ++p) {
    if (Cell(cells, p) != 0) continue;
    switch (TerritoryOwner(cells, size, p)) {
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
        break;  // seen by both: nobody's
    }
  }
  if (last == 1) t.Black += pending;
  if (last == 2) t.White += pending;
  return t;
}

}  // namespace go
