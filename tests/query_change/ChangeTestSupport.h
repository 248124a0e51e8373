#pragma once
// A database directory of its own for each test, a runner on it, and results read as text.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/blob/BlobFile.h"
#include "engine/errors/EngineError.h"
#include "engine/index/IndexFile.h"
#include "engine/table/DataSession.h"
#include "engine/table/Engine.h"
#include "query/run/SqlRunner.h"
#include "query/select/SelectValues.h"

namespace kura::test {

class ChangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartEngine();
    InstallIndexFiles();
    InstallBlobFiles();
    char pattern[] = "/tmp/kura-change-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    FRoot = pattern;
    std::filesystem::create_directories(FRoot / "db");
    std::filesystem::create_directories(FRoot / "private");
    DefaultSession().SetPrivateDir((FRoot / "private").string());
    FRunner = std::make_unique<TSqlRunner>(DefaultSession(), DbPath());
  }
  void TearDown() override {
    FRunner.reset();
    StopEngine();
    std::error_code ignored;
    std::filesystem::remove_all(FRoot, ignored);
  }

  std::string DbPath() const { return (FRoot / "db").string() + "/"; }

  int64_t Exec(const std::string &sql) { return FRunner->Run(sql).RowsAffected; }

  // Rows of a SELECT as "a|b|c" lines, NULL as "NULL".
  std::vector<std::string> Query(const std::string &sql) {
    TRunResult r = FRunner->Run(sql);
    std::vector<std::string> rows;
    if (!r.Select) return rows;
    TSelectQuery &q = *r.Select;
    for (int64_t i = 0; i < q.RowCount(); ++i) {
      std::vector<TExpValue> values = q.Row(i);
      std::string line;
      for (size_t c = 0; c < values.size(); ++c) {
        if (c) line += "|";
        line += values[c].Null ? std::string("NULL") : FieldValueText(q.Column(c).Type, values[c]);
      }
      rows.push_back(line);
    }
    return rows;
  }

  // The engine error a statement fails with (code 0 and empty text when it does not fail).
  struct Failure {
    uint16_t Code = 0;
    std::string Message;
  };
  Failure FailureOf(const std::string &sql) {
    try {
      FRunner->Run(sql);
    } catch (const EKuraEngineError &e) {
      return {e.ErrorCode(), e.EngineMessage()};
    }
    return {};
  }

  std::filesystem::path FRoot;
  std::unique_ptr<TSqlRunner> FRunner;
};

}  // namespace kura::test
