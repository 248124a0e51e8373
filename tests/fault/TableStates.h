#pragma once
// What a directory of tables holds, read back with kura-sql in several ways that must agree
// (a plain SELECT, counts, primary-key and index-served queries, a scan).
#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "tests/fault/KuraSqlRun.h"

namespace kura::faulttest {

// What the tables hold, as kura-sql shows them.
struct TState {
  std::map<std::string, std::vector<std::string>> Rows;    // sorted rows of a plain SELECT
  std::map<std::string, std::vector<std::string>> Schema;  // .schema lines
  bool operator==(const TState &o) const { return Rows == o.Rows && Schema == o.Schema; }
};

struct TRead {
  TState State;
  std::vector<std::string> Problems;
};

inline const std::string kSchemaHeader = "Field\tType\tRequired";

// Reads the tables back; every disagreement between the ways of reading them is a problem.
inline TRead ReadTables(const fs::path &dir, const std::vector<std::string> &tables) {
  TRead read;
  std::map<std::string, std::vector<std::string>> ids;  // first column of every row
  std::string checks;
  std::vector<std::pair<std::string, std::string>> expected;  // header -> table
  for (const std::string &t : tables) {
    const TRun run = RunSql(dir, "SELECT * FROM " + t + ";\n.schema " + t + "\n");
    if (run.Status != 0) {
      read.Problems.push_back(t + ": reading failed: " + run.Err);
      continue;
    }
    std::vector<std::string> lines = Lines(run.Out);
    auto schema = std::find(lines.begin(), lines.end(), kSchemaHeader);
    if (lines.empty() || schema == lines.end()) {
      read.Problems.push_back(t + ": unexpected output " + run.Out);
      continue;
    }
    std::vector<std::string> rows(lines.begin() + 1, schema);
    rows.insert(rows.begin(), "#" + lines.front());
    std::sort(rows.begin() + 1, rows.end());
    read.State.Rows[t] = rows;
    read.State.Schema[t] = std::vector<std::string>(schema + 1, lines.end());
    for (size_t i = 1; i < rows.size(); ++i) ids[t].push_back(rows[i].substr(0, rows[i].find('\t')));
    std::sort(ids[t].begin(), ids[t].end());
    // Counting, the primary key, every index's first column, and a scan the indexes cannot serve.
    checks += "SELECT COUNT(*) AS cnt_" + t + " FROM " + t + ";\n";
    expected.push_back({"cnt_" + t, t});
    checks += "SELECT id AS pk_" + t + " FROM " + t + " WHERE id >= -2147483647;\n";
    expected.push_back({"pk_" + t, t});
    checks += "SELECT id AS scan_" + t + " FROM " + t + " WHERE id + 0 >= -2147483647;\n";
    expected.push_back({"scan_" + t, t});
    for (const std::string &line : read.State.Schema[t]) {
      if (line.rfind("INDEX ", 0) != 0) continue;
      const size_t open = line.find('('), end = line.find_first_of(",)", open);
      const std::string column = line.substr(open + 1, end - open - 1);
      const std::string name = line.substr(6, line.find(' ', 6) - 6);
      bool text = false;
      for (const std::string &field : read.State.Schema[t])
        if (field.rfind(column + "\t", 0) == 0) text = field.find("CHAR") != std::string::npos;
      const std::string low = text ? "''" : "-2147483647";
      checks += "SELECT id AS ix_" + t + "_" + name + " FROM " + t + " WHERE " + column + " >= " + low + " OR " + column +
                " < " + low + " OR " + column + " IS NULL;\n";
      expected.push_back({"ix_" + t + "_" + name, t});
    }
  }
  if (!read.Problems.empty() || expected.empty()) return read;
  const TRun run = RunSql(dir, checks);
  if (run.Status != 0) {
    read.Problems.push_back("checks failed: " + run.Err);
    return read;
  }
  const std::vector<std::string> lines = Lines(run.Out);
  size_t at = 0;
  for (size_t e = 0; e < expected.size(); ++e) {
    const auto &[header, table] = expected[e];
    if (at >= lines.size() || lines[at] != header) {
      read.Problems.push_back("missing result " + header);
      return read;
    }
    ++at;
    std::vector<std::string> got;
    while (at < lines.size() && (e + 1 == expected.size() || lines[at] != expected[e + 1].first)) got.push_back(lines[at++]);
    if (header.rfind("cnt_", 0) == 0) {
      if (got.size() != 1 || got[0] != std::to_string(ids[table].size()))
        read.Problems.push_back(header + " says " + (got.empty() ? "nothing" : got[0]) + " for " +
                                std::to_string(ids[table].size()) + " rows");
      continue;
    }
    std::sort(got.begin(), got.end());
    if (got != ids[table])
      read.Problems.push_back(header + " gives " + std::to_string(got.size()) + " rows, the plain SELECT " +
                              std::to_string(ids[table].size()));
  }
  return read;
}

}  // namespace kura::faulttest
