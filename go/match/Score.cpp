#include "go/match/Score.h"

#include <cmath>
#include <cstdio>

#include "go/Point.h"
#include "go/Rules.h"

namespace go::match {

std::vector<int> TerritoryMap(const TMatch &match, const std::vector<int> &dead) {
  const int size = match.Size(), n = size * size;
  std::vector<std::int32_t> cells(match.Board().Cells().begin(), match.Board().Cells().end());
  for (int p : dead)
    if (OnBoard(size, p)) cells[static_cast<size_t>(p - 1)] = 0;
  std::vector<int> owner(static_cast<size_t>(n), 0);
  std::vector<bool> seen(static_cast<size_t>(n), false);
  for (int start = 1; start <= n; ++start) {
    if (cells[static_cast<size_t>(start - 1)] != 0 || seen[static_cast<size_t>(start - 1)]) continue;
    // One empty region and the colours around it.
    std::vector<int> region{start}, todo{start};
    seen[static_cast<size_t>(start - 1)] = true;
    int touches = 0;
    while (!todo.empty()) {
      const int p = todo.back();
      todo.pop_back();
      for (const TNeighbour &nb : Neighbours(cells, size, p)) {
        if (nb.Point == 0) continue;
        const std::int32_t v = cells[static_cast<size_t>(nb.Point - 1)];
        if (v == 1 || v == 2) {
          touches |= v;
        } else if (!seen[static_cast<size_t>(nb.Point - 1)]) {
          seen[static_cast<size_t>(nb.Point - 1)] = true;
          region.push_back(nb.Point);
          todo.push_back(nb.Point);
        }
      }
    }
    if (touches == 1 || touches == 2)
      for (int p : region) owner[static_cast<size_t>(p - 1)] = touches;
  }
  return owner;
}

TScore CountScore(const TMatch &match, const std::vector<int> &dead, double komi) {
  TScore s;
  s.Komi = komi;
  for (int o : TerritoryMap(match, dead)) {
    if (o == 1) ++s.BlackTerritory;
    if (o == 2) ++s.WhiteTerritory;
  }
  // TBoard counts the stones of each colour taken off.
  s.BlackPrisoners = match.Board().WhiteCaptured();
  s.WhitePrisoners = match.Board().BlackCaptured();
  for (int p : dead) {
    if (!OnBoard(match.Size(), p)) continue;
    const std::int32_t v = match.Board().At(p);
    if (v == 2) ++s.BlackPrisoners;
    if (v == 1) ++s.WhitePrisoners;
  }
  return s;
}

std::string ResultText(double margin) {
  if (std::fabs(margin) < 0.25) return "持碁";
  const std::string side = margin > 0 ? "黒の " : "白の ";
  const double a = std::fabs(margin);
  const long whole = static_cast<long>(std::floor(a + 1e-9));
  const bool half = a - static_cast<double>(whole) > 0.25;
  if (whole == 0) return side + "半目勝ち";
  return side + std::to_string(whole) + (half ? "目半勝ち" : "目勝ち");
}

std::string ResignationText(int winner) { return std::string(winner == 1 ? "黒の " : "白の ") + "中押し勝ち"; }

std::string SgfResult(double margin) {
  if (std::fabs(margin) < 0.25) return "0";
  char text[32];
  std::snprintf(text, sizeof text, "%s+%g", margin > 0 ? "B" : "W", std::fabs(margin));
  return text;
}

std::string SgfResignation(int winner) { return winner == 1 ? "B+R" : "W+R"; }

}  // namespace go::match
