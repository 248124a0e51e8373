#pragma once
// Writing SGF (FF[4]) records: UTF-8 with CA[UTF-8], without byte-order mark, LF line ends.
//
// The root node carries FF, GM, CA, AP, SZ and the game information; then every node's
// properties in a fixed order (move, setup, annotations, comment, markup, the kept unknown
// ones). Lines stay readable: a run of moves fills a line up to about LineWidth columns,
// every variation starts on a new line, long point lists wrap between values and long
// comments are broken with soft line breaks ("\" before the line end), which a reader
// removes again. What the writer writes reads back to the same tree.
#include <string>
#include <vector>

#include "go/GameTree.h"

namespace go {

inline constexpr int LineWidth = 72;

// The application name and version written as AP.
inline constexpr const char *WriterApplication = "Miretoka:3.3";

std::string WriteSgf(const TGameTree &tree);
// A collection of several trees, one after the other.
std::string WriteSgf(const std::vector<TGameTree> &trees);

// Escapes a text for a value: "\" and "]" get a backslash, and ":" too when `compose` (the text
// part of LB).
std::string EscapeValue(const std::string &text, bool compose = false);

}  // namespace go
