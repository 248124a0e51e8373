#include "app/Capture.h"

#include "app/PlayState.h"

namespace miretoka::play {

namespace {
NeighbourEntry Entry(std::int32_t point) {
  NeighbourEntry e;
  e.Point = point;
  e.Value = Board[static_cast<std::size_t>(point - 1)];
  return e;
}
}  // namespace

std::array<NeighbourEntry, 4> GetNeighbours(std::int32_t point) {
  std::array<NeighbourEntry, 4> n{};  // all off board until found
  if ((point - 1) % BoardSize > 0) n[0] = Entry(point - 1);
  if (point % BoardSize > 0) n[1] = Entry(point + 1);
  if (point - BoardSize > 0) n[2] = Entry(point - BoardSize);
  if (point + BoardSize <= PointCount) n[3] = Entry(point + BoardSize);
  return n;
}

std::vector<std::int32_t> FindCapturedPoints(std::int32_t point) {
  std::vector<std::int32_t> result;
  if (point < 1 || point > PointCount) return result;
  const std::int32_t own = Board[static_cast<std::size_t>(point - 1)];
  if (own != 1 && own != 2) return result;
  const std::int32_t opp = 2 / own;

  std::array<std::int32_t, 4> candidates{};
  const auto around = GetNeighbours(point);
  for (std::size_t i = 0; i < 4; ++i)
    if (around[i].Point > 0 && around[i].Value == opp) candidates[i] = around[i].Point;

  const auto count = static_cast<std::size_t>(PointCount);
  std::vector<char> captured(count + 1, 0);
  std::vector<char> visited(count + 1, 0);
  std::vector<std::int32_t> queue;
  queue.reserve(count);
  for (std::int32_t q : candidates) {
    if (q == 0 || captured[static_cast<std::size_t>(q)]) continue;
    std::fill(visited.begin(), visited.end(), 0);
    queue.clear();
    queue.push_back(q);
    visited[static_cast<std::size_t>(q)] = 1;
    bool liberty = false;
    for (std::size_t head = 0; head < queue.size() && !liberty; ++head) {
      for (const NeighbourEntry &n : GetNeighbours(queue[head])) {
        if (n.Value == 0) {
          liberty = true;
          break;
        }
        if (n.Value == opp && n.Point > 0 && !visited[static_cast<std::size_t>(n.Point)]) {
          visited[static_cast<std::size_t>(n.Point)] = 1;
          queue.push_back(n.Point);
        }
      }
    }
    if (!liberty)
      for (std::int32_t v : queue) captured[static_cast<std::size_t>(v)] = 1;
  }
  for (std::int32_t k = 1; k <= PointCount; ++k)
    if (captured[static_cast<std::size_t>(k)]) result.push_back(k);
  return result;
}

}  // namespace miretoka::play
