#pragma once
// GTP vertices: a column letter A–T without I, then the row number counted from the bottom
// line ("D4", "K10"), upper or lower case, or "pass"; a generated move may also be "resign".
// Points are numbered as everywhere in ミレトカ (see go/Point.h).
#include <optional>
#include <string>
#include <string_view>

namespace go::gtp {

enum class TVertexKind { Point, Pass, Resign };

struct TVertex {
  TVertexKind Kind = TVertexKind::Pass;
  int Point = 0;  // the point for TVertexKind::Point, else 0
  bool operator==(const TVertex &) const = default;
};

// "D4" for a point of a board of `size` lines, "pass" for point 0.
std::string VertexText(int size, int point);
// The vertex a text names on a board of `size` lines; nullopt for anything else (an "I"
// column, a row or column outside the board, trailing characters). `allowResign` admits
// "resign" (only genmove answers it).
std::optional<TVertex> ParseVertex(int size, std::string_view text, bool allowResign = false);

// "black"/"white" for colours 1 and 2.
const char *ColorText(int color);

}  // namespace go::gtp
