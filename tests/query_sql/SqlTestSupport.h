#pragma once
// Helpers for statement parser tests: prepare a text (parse only, no validator) and read the
// SQL error a text fails with.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/errors/EngineError.h"
#include "query/sql/QueryStatement.h"

namespace kura::test {

inline std::unique_ptr<TQueryStatement> Prepare(const std::string &text) {
  auto s = std::make_unique<TQueryStatement>();
  s->Prepare(text);
  return s;
}

// The detail of the SQL error the text fails with; "(no error)" when it parses, and a note
// when some other failure comes out.
inline std::string ParseError(const std::string &text) {
  TQueryStatement s;
  try {
    s.Prepare(text);
  } catch (const EKuraEngineError &e) {
    if (e.ErrorCode() != KURA_SQLPARSE) return "(engine error " + std::to_string(e.ErrorCode()) + ")";
    const std::string prefix = "Kura Engine Error # 11949 SQL error - ";
    std::string what = e.what();
    if (what.compare(0, prefix.size(), prefix) != 0) return "(unexpected text) " + what;
    if (s.Prepared() || s.Master() || s.ParameterCount())
      return "(statement left prepared) " + what;
    return what.substr(prefix.size());
  }
  return "(no error)";
}

}  // namespace kura::test
