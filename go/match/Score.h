#pragma once
// Japanese counting: each side's territory (empty points surrounded by its stones alone,
// once the dead stones are taken off) plus its prisoners (the stones it captured during the
// game and the dead stones of the opponent); white adds the komi. Points that touch both
// colours (dame, and the points of a seki) count for nobody.
#include <string>
#include <vector>

#include "go/match/Match.h"

namespace go::match {

struct TScore {
  int BlackTerritory = 0, WhiteTerritory = 0;
  int BlackPrisoners = 0, WhitePrisoners = 0;  // stones each side took (captured + dead)
  double Komi = 0;
  double Black() const { return BlackTerritory + BlackPrisoners; }
  double White() const { return WhiteTerritory + WhitePrisoners + Komi; }
  // Black's lead (negative: white leads).
  double Margin() const { return Black() - White(); }
};

// Territory owner of every point after `dead` stones are taken off: 0 nobody, 1 black,
// 2 white; stones left standing are 0.
std::vector<int> TerritoryMap(const TMatch &match, const std::vector<int> &dead);

TScore CountScore(const TMatch &match, const std::vector<int> &dead, double komi);

// "黒の 3目半勝ち", "白の 半目勝ち", "持碁" (UTF-8).
std::string ResultText(double margin);
// After a resignation: "黒の 中押し勝ち" for `winner` 1.
std::string ResignationText(int winner);
// The result as SGF writes it: "B+3.5", "W+R", "0".
std::string SgfResult(double margin);
std::string SgfResignation(int winner);

}  // namespace go::match
