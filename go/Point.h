#pragma once
// Points of a Go board and their three spellings.
//
// A point is numbered as everywhere in ミレトカ: point = column × size + row + 1, column 0 the
// leftmost line and row 0 the top line, so points run down the columns (1 is the top-left
// corner, 2 the point below it). 0 is no point (a pass where a move is meant).
//
// SGF letters: column letter then row letter, 'a' = 0 … 'z' = 25 (then 'A' = 26 … 'Z' = 51),
// counted from the top-left corner: "aa" = 1, "ab" = 2, "ba" = size + 1.
// Display coordinates: column letters A–T without I from the left, row numbers from the bottom
// (1 is the bottom line): the top-left corner of a 19-line board is "A19", the centre "K10".
#include <optional>
#include <string>
#include <string_view>

namespace go {

inline int PointOf(int size, int column, int row) { return column * size + row + 1; }
inline int ColumnOf(int size, int point) { return (point - 1) / size; }
inline int RowOf(int size, int point) { return (point - 1) % size; }
inline bool OnBoard(int size, int point) { return point >= 1 && point <= size * size; }

// "dd" for column 3, row 3. The point must lie on the board.
std::string SgfLetters(int size, int point);
// The point of two SGF letters, or nullopt when the text is not two letters of a point of this
// board.
std::optional<int> PointFromSgf(int size, std::string_view letters);

// "D16" for column 3, row 3 of a 19-line board.
std::string DisplayName(int size, int point);
// The point of a display coordinate ("D16", also lower case "d16"), nullopt if it names none.
std::optional<int> PointFromDisplay(int size, std::string_view name);

}  // namespace go
