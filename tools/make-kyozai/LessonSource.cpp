#include "LessonSource.h"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace kyozai {

namespace {

std::vector<std::string> SplitTabs(const std::string &line) {
  std::vector<std::string> cells;
  size_t start = 0;
  for (;;) {
    size_t tab = line.find('\t', start);
    if (tab == std::string::npos) {
      cells.push_back(line.substr(start));
      return cells;
    }
    cells.push_back(line.substr(start, tab - start));
    start = tab + 1;
  }
}

std::vector<std::string> Lines(const std::string &text) {
  std::vector<std::string> lines;
  std::string line;
  std::istringstream in(text);
  while (std::getline(in, line)) {
    // A stray CR of a file saved with CRLF line ends is not part of the last cell.
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

[[noreturn]] void Fail(const std::string &file, size_t lineNumber, const std::string &what) {
  throw ELessonSourceError(file + ":" + std::to_string(lineNumber) + ": " + what);
}

int ToInteger(const std::string &cell, const std::string &column, const std::string &file, size_t lineNumber) {
  int value = 0;
  const char *first = cell.data();
  const char *last = cell.data() + cell.size();
  if (first != last && *first == '+') Fail(file, lineNumber, column + " '" + cell + "' is not an integer");
  auto [end, error] = std::from_chars(first, last, value);
  if (cell.empty() || error != std::errc() || end != last)
    Fail(file, lineNumber, column + " '" + cell + "' is not an integer");
  return value;
}

// The cells of every data line; the header must start with `columns` (more columns after
// them are allowed and ignored).
std::vector<std::vector<std::string>> DataCells(const std::string &text, const std::vector<std::string> &columns,
                                                const std::string &file) {
  std::vector<std::string> lines = Lines(text);
  if (lines.empty()) Fail(file, 1, "the header line is missing");
  std::string header = lines[0];
  if (header.rfind("\xEF\xBB\xBF", 0) == 0) header.erase(0, 3);
  std::vector<std::string> names = SplitTabs(header);
  if (names.size() < columns.size()) Fail(file, 1, "the header has too few columns");
  for (size_t i = 0; i < columns.size(); ++i)
    if (names[i] != columns[i]) Fail(file, 1, "column " + std::to_string(i + 1) + " must be " + columns[i]);
  std::vector<std::vector<std::string>> rows;
  for (size_t n = 1; n < lines.size(); ++n) {
    std::vector<std::string> cells = SplitTabs(lines[n]);
    if (cells.size() != names.size())
      Fail(file, n + 1, std::to_string(cells.size()) + " cells, the header has " + std::to_string(names.size()));
    cells.resize(columns.size());
    rows.push_back(std::move(cells));
  }
  return rows;
}

std::string ReadFile(const std::filesystem::path &path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ELessonSourceError("cannot read " + path.string());
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

std::vector<TContentsRow> ParseContents(const std::string &text, const std::string &name) {
  std::vector<TContentsRow> rows;
  size_t lineNumber = 1;
  for (const auto &cells : DataCells(text, {"MNB", "ITEM", "PRB"}, name)) {
    ++lineNumber;
    TContentsRow row;
    row.MNB = ToInteger(cells[0], "MNB", name, lineNumber);
    row.ITEM = cells[1];
    row.PRB = ToInteger(cells[2], "PRB", name, lineNumber);
    rows.push_back(std::move(row));
  }
  return rows;
}

std::vector<TFigureRow> ParseFigures(const std::string &text, const std::string &name) {
  static const std::vector<std::string> columns = {"MNB", "TES", "COL", "PST", "BFR", "BTO", "DTX", "CMT"};
  std::vector<TFigureRow> rows;
  size_t lineNumber = 1;
  for (const auto &cells : DataCells(text, columns, name)) {
    ++lineNumber;
    TFigureRow row;
    int *numbers[] = {&row.MNB, &row.TES, &row.COL, &row.PST, &row.BFR, &row.BTO, &row.DTX};
    for (size_t i = 0; i < 7; ++i) *numbers[i] = ToInteger(cells[i], columns[i], name, lineNumber);
    row.CMT = cells[7];
    rows.push_back(std::move(row));
  }
  return rows;
}

TLessonSource ReadLessonSource(const std::string &directory) {
  std::filesystem::path dir(directory);
  TLessonSource source;
  source.Contents = ParseContents(ReadFile(dir / "mokuji.tsv"), "mokuji.tsv");
  source.Figures = ParseFigures(ReadFile(dir / "figure.tsv"), "figure.tsv");
  return source;
}

}  // namespace kyozai
