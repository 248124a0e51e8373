#include "go/gtp/GtpVertex.h"

#include <cctype>

#include "go/Point.h"

namespace go::gtp {

namespace {

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char &c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace

std::string VertexText(int size, int point) {
  if (!OnBoard(size, point)) return "pass";
  return DisplayName(size, point);
}

std::optional<TVertex> ParseVertex(int size, std::string_view text, bool allowResign) {
  const std::string word = Lower(text);
  if (word == "pass") return TVertex{TVertexKind::Pass, 0};
  if (word == "resign") {
    if (allowResign) return TVertex{TVertexKind::Resign, 0};
    return std::nullopt;
  }
  if (word.size() < 2 || word.size() > 3) return std::nullopt;
  const char letter = word[0];
  if (letter < 'a' || letter > 'z' || letter == 'i') return std::nullopt;
  const int column = letter - 'a' - (letter > 'i' ? 1 : 0);
  int row = 0;
  for (size_t i = 1; i < word.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(word[i]))) return std::nullopt;
    row = row * 10 + (word[i] - '0');
  }
  if (word[1] == '0') return std::nullopt;  // "A05" is no vertex
  if (column >= size || row < 1 || row > size) return std::nullopt;
  return TVertex{TVertexKind::Point, PointOf(size, column, size - row)};
}

const char *ColorText(int color) { return color == 1 ? "black" : "white"; }

}  // namespace go::gtp
