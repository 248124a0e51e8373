#pragma once
// A table of a few thousand generated records with indexes of every kind a filter can use:
//
// "items": 1 Id Integer (primary key), 2 Name String(12) (index "ByName", case-sensitive),
// 3 Title String(12) (index "ByTitle", case-insensitive), 4 Num Integer, often NULL (index
// "ByNum", descending), 5 Amount Float (no index), 6 Cat Integer (index "ByCatId" on Cat, Id),
// 7 Code String(8) (no index), 8 Label String(10) (index "ByLabel", the field descending),
// 9 Score Integer (index "ByScoreId" on Score descending, Id), 10 Day Date (index "ByDay"),
// 11 Price BCD with 2 decimals (index "ByPrice", descending). Language() gives the table's
// language (0: byte order).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/cursor/DataCursor.h"
#include "engine/errors/EngineError.h"
#include "engine/table/DataSession.h"
#include "engine/table/Engine.h"
#include "query/expr/Evaluator.h"
#include "query/filter/ExprFilter.h"
#include "query/select/SelectValues.h"
#include "tests/engine/TestSupport.h"

namespace kura::filtertest {

using kura::test::TempDir;

inline TFieldDescriptor MakeField(const std::string &name, EngineFieldType type, uint8_t size = 0,
                                  uint8_t scale = 0) {
  TFieldDescriptor f;
  f.Name = name;
  f.Type = type;
  f.DeclaredSize = size;
  f.DeclaredScale = scale;
  return f;
}

inline TIndexDefinition MakeIndex(const std::string &name, std::vector<uint16_t> fields, bool caseInsensitive = false,
                                  bool descending = false, bool firstFieldDescending = false) {
  TIndexDefinition d;
  d.Name = name;
  for (uint16_t n : fields) {
    TIndexDefinitionField f;
    f.FieldNumber = n;
    f.Descending = firstFieldDescending && d.Fields.empty();
    d.Fields.push_back(f);
  }
  d.Unique = name.empty();
  d.CaseInsensitive = caseInsensitive;
  d.Descending = descending;
  return d;
}

// Words with upper and lower case letters so that case matters.
inline const std::vector<std::string> &Words() {
  static const std::vector<std::string> words = {"apple", "Apple", "APPLE", "banana", "Banana", "cherry",
                                                 "date",  "Date",  "elder", "fig",    "grape",  "Grape",
                                                 "kiwi",  "lemon", "Lemon", "mango",  "apricot", "Apricot",
                                                 "\xC3\xA9clair", "Eclair", "eclair", "\xC3\x89clair"};
  return words;
}

// Record-by-record evaluation of a tree against a record buffer of the cursor.
class TBufferContext : public TEvalContext {
 public:
  TBufferContext(TDataCursor &cursor, const uint8_t *record) : FCursor(cursor), FRecord(record) {}
  void ReadColumn(const TExpToken &column, TExpValue &value) override {
    ReadFieldValue(FCursor.Field(column.FieldNo), FRecord, value);
  }

 private:
  TDataCursor &FCursor;
  const uint8_t *FRecord;
};

inline constexpr int32_t kFirstDay = 737790;  // a day number in 2021

class FilterTest : public ::testing::Test {
 protected:
  static constexpr int kRecords = 3000;
  virtual uint16_t Language() const { return 0; }

  void SetUp() override {
    StartEngine();
    FDirectory = DefaultSession().OpenDataDirectory("test", FDir.Path());
    TDataFileDefinition def;
    def.Fields = {MakeField("Id", EngineFieldType::Integer),  MakeField("Name", EngineFieldType::String, 12),
                  MakeField("Title", EngineFieldType::String, 12), MakeField("Num", EngineFieldType::Integer),
                  MakeField("Amount", EngineFieldType::Float), MakeField("Cat", EngineFieldType::Integer),
                  MakeField("Code", EngineFieldType::String, 8), MakeField("Label", EngineFieldType::String, 10),
                  MakeField("Score", EngineFieldType::Integer), MakeField("Day", EngineFieldType::Date),
                  MakeField("Price", EngineFieldType::BCD, 0, 2)};
    def.LanguageId = Language();
    TDataCursor creator(FDirectory, "items");
    creator.CreateTable(def, {MakeIndex("", {1}), MakeIndex("ByName", {2}), MakeIndex("ByTitle", {3}, true),
                              MakeIndex("ByNum", {4}, false, true), MakeIndex("ByCatId", {6, 1}),
                              MakeIndex("ByLabel", {8}, false, false, true),
                              MakeIndex("ByScoreId", {9, 1}, false, false, true), MakeIndex("ByDay", {10}),
                              MakeIndex("ByPrice", {11}, false, true)});
    TDataCursor &c = Open();
    std::mt19937 rng(20261209);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    for (int i = 1; i <= kRecords; ++i) {
      std::vector<uint8_t> r = c.NewRecordBuffer();
      c.SetInteger(1, r.data(), i);
      if (pick(10) != 0) c.SetString(2, r.data(), Words()[pick(static_cast<int>(Words().size()))] + std::to_string(pick(5)));
      if (pick(8) != 0) c.SetString(3, r.data(), Words()[pick(static_cast<int>(Words().size()))]);
      if (pick(5) != 0) c.SetInteger(4, r.data(), pick(200) - 50);
      if (pick(6) != 0) c.SetFloat(5, r.data(), pick(1000) / 4.0);
      c.SetInteger(6, r.data(), pick(12));
      if (pick(4) != 0) c.SetString(7, r.data(), Words()[pick(static_cast<int>(Words().size()))].substr(0, 4));
      if (pick(7) != 0) c.SetString(8, r.data(), Words()[pick(static_cast<int>(Words().size()))]);
      if (pick(9) != 0) c.SetInteger(9, r.data(), pick(60) - 30);
      if (pick(9) != 0) WriteFieldValue(c.Field(10), r.data(), TExpValue::OfInt(kFirstDay + pick(40)), 0);
      // Prices in cents, some negative; the value is scaled by 10 000.
      if (pick(9) != 0) WriteFieldValue(c.Field(11), r.data(), TExpValue::OfInt((pick(4000) - 1000) * 100), 0);
      c.AppendRecord(r.data(), false);
    }
  }
  void TearDown() override {
    FCursors.clear();
    StopEngine();
  }

  TDataCursor &Open(const std::string &index = "") {
    FCursors.push_back(std::make_unique<TDataCursor>(FDirectory, "items"));
    FCursors.back()->OpenCursor();
    if (index == "*") FCursors.back()->SetIndexNo(kNaturalOrder);
    else FCursors.back()->SetIndexName(index);
    return *FCursors.back();
  }

  // Ids of the visible records in cursor order.
  static std::vector<int64_t> VisibleIds(TDataCursor &c) {
    std::vector<int64_t> ids;
    std::vector<uint8_t> r = c.NewRecordBuffer();
    c.SetToBegin();
    while (c.GetNextRecord(r.data()) == KURA_NONE) ids.push_back(c.GetInteger(1, r.data()));
    return ids;
  }

  // Ids of the records a tree accepts, judged one by one in cursor order (through the filters
  // the cursor already has active).
 public:
  static std::vector<int64_t> AcceptedIdsOf(TDataCursor &c, const TExpToken &tree) { return AcceptedIds(c, tree); }
 protected:
  static std::vector<int64_t> AcceptedIds(TDataCursor &c, const TExpToken &tree) {
    std::vector<int64_t> ids;
    std::vector<uint8_t> r = c.NewRecordBuffer();
    c.SetToBegin();
    while (c.GetNextRecord(r.data()) == KURA_NONE) {
      TBufferContext context(c, r.data());
      TEvaluator evaluator(&context, c.LanguageId(), c.SortId());
      if (evaluator.Condition(tree)) ids.push_back(c.GetInteger(1, r.data()));
    }
    return ids;
  }

  template <typename Body>
  static std::string MessageOf(Body body, uint16_t &code) {
    code = 0;
    try {
      body();
    } catch (const EKuraEngineError &e) {
      code = e.ErrorCode();
      return e.EngineMessage();
    }
    return {};
  }

  TempDir FDir;
  TDataDirectory *FDirectory = nullptr;
  std::vector<std::unique_ptr<TDataCursor>> FCursors;
};

}  // namespace kura::filtertest
