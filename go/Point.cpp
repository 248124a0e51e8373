#include "go/Point.h"

namespace go {

namespace {
int LetterValue(char c) {
  if (c >= 'a' && c <= 'z') return c - 'a';
  if (c >= 'A' && c <= 'Z') return c - 'A' + 26;
  return -1;
}
char LetterOf(int value) { return value < 26 ? static_cast<char>('a' + value) : static_cast<char>('A' + value - 26); }
// Display columns skip I, which is too easily read as J or 1.
constexpr std::string_view DisplayColumns = "ABCDEFGHJKLMNOPQRST";
}  // namespace

std::string SgfLetters(int size, int point) {
  return {LetterOf(ColumnOf(size, point)), LetterOf(RowOf(size, point))};
}

std::optional<int> PointFromSgf(int size, std::string_view letters) {
  if (letters.size() != 2) return std::nullopt;
  const int column = LetterValue(letters[0]);
  const int row = LetterValue(letters[1]);
  if (column < 0 || row < 0 || column >= size || row >= size) return std::nullopt;
  return PointOf(size, column, row);
}

std::string DisplayName(int size, int point) {
  std::string name(1, DisplayColumns[static_cast<size_t>(ColumnOf(size, point))]);
  return name + std::to_string(size - RowOf(size, point));
}

std::optional<int> PointFromDisplay(int size, std::string_view name) {
  if (name.size() < 2 || name.size() > 3) return std::nullopt;
  char c = name[0];
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  const size_t column = DisplayColumns.find(c);
  if (column == std::string_view::npos || static_cast<int>(column) >= size) return std::nullopt;
  int number = 0;
  for (char d : name.substr(1)) {
    if (d < '0' || d > '9') return std::nullopt;
    number = number * 10 + (d - '0');
  }
  if (number < 1 || number > size) return std::nullopt;
  return PointOf(size, static_cast<int>(column), size - number);
}

}  // namespace go
