#pragma once
// The SQLite side of the comparison tests: an in-memory SQLite database next to the test's
// Kura database, and the rows of both read as "a|b|c" lines in which numbers compare by value
// (the engines print 2.0 and 2, or the last digits of a float, differently).
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ChangeTestSupport.h"

namespace kura::test {

using TextRows = std::vector<std::string>;

// A number rounded to `digits` significant digits; any other cell as it is.
inline std::string NormalCell(const std::string &cell, int digits) {
  if (cell == "NULL" || cell.empty()) return cell;
  char *end = nullptr;
  const double v = std::strtod(cell.c_str(), &end);
  if (end && *end == '\0') {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*g", digits, v);
    return buffer;
  }
  return cell;
}

class SqliteSideTest : public ChangeTest {
 protected:
  void SetUp() override {
    ChangeTest::SetUp();
    ASSERT_EQ(sqlite3_open(":memory:", &FLite), SQLITE_OK);
  }
  void TearDown() override {
    sqlite3_close(FLite);
    ChangeTest::TearDown();
  }

  TextRows Lite(const std::string &sql) {
    sqlite3_stmt *statement = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(FLite, sql.c_str(), -1, &statement, nullptr), SQLITE_OK) << sql;
    TextRows rows;
    while (statement && sqlite3_step(statement) == SQLITE_ROW) {
      std::string line;
      for (int c = 0; c < sqlite3_column_count(statement); ++c) {
        if (c) line += "|";
        const unsigned char *text = sqlite3_column_text(statement, c);
        line += text ? NormalCell(reinterpret_cast<const char *>(text), FDigits) : std::string("NULL");
      }
      rows.push_back(line);
    }
    sqlite3_finalize(statement);
    return rows;
  }

  // The generated values hold no "|", so a row's cells are split at it.
  TextRows Kura(const std::string &sql) {
    TextRows rows;
    for (const std::string &row : Query(sql)) {
      std::string line, cell;
      bool first = true;
      for (size_t i = 0; i <= row.size(); ++i) {
        if (i < row.size() && row[i] != '|') {
          cell += row[i];
          continue;
        }
        line += (first ? "" : "|") + NormalCell(cell, FDigits);
        first = false;
        cell.clear();
      }
      rows.push_back(line);
    }
    return rows;
  }

  sqlite3 *FLite = nullptr;
  int FDigits = 12;
};

}  // namespace kura::test
