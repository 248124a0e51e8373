#pragma once
// Writing a result: an aligned table with column headers for people, or tab-separated lines
// for programs (header line of names, NULL as "NULL", tab, line break and backslash escaped).
#include <ostream>
#include <string>
#include <vector>

namespace kura::shell {

struct TResultText {
  std::vector<std::string> Names;
  std::vector<bool> RightAligned;  // numbers line up on the right
  std::vector<std::vector<std::string>> Rows;
  std::vector<std::vector<bool>> Null;
};

// Tab, line break, carriage return and backslash as \t, \n, \r and \\.
std::string EscapeTsv(const std::string &value);
void WriteTsv(std::ostream &out, const TResultText &result);
void WriteTable(std::ostream &out, const TResultText &result);

}  // namespace kura::shell
