#pragma once
// Writing a result: an aligned table with column headers for people, or tab-separated lines
// for programs (header line of names, tab, line break and backslash escaped), or CSV.
#include <ostream>
#include <string>
#include <string_view>
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
// Appends a value to a tab-separated line, escaped as EscapeTsv does.
void AppendTsv(std::string &line, std::string_view value);
// Without `header` only the rows are written (a result written in parts).
void WriteTsv(std::ostream &out, const TResultText &result, const std::string &nullText = "NULL", bool header = true);
void WriteTable(std::ostream &out, const TResultText &result, const std::string &nullText = "");
// Comma-separated values: a header line of names; a value holding a comma, quote or line
// break is quoted with its quotes doubled.
std::string QuoteCsv(const std::string &value);
void WriteCsv(std::ostream &out, const TResultText &result, const std::string &nullText = "", bool header = true);

}  // namespace kura::shell
