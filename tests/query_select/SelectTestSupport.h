#pragma once
// Helpers for SELECT tests: an engine with index files, a temporary database directory with
// its own private directory, tables built through the engine API from field lists and rows,
// and results read back as text.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "engine/data/FieldCodec.h"
#include "engine/errors/EngineError.h"
#include "engine/blob/BlobFile.h"
#include "engine/index/IndexDefinition.h"
#include "engine/index/IndexFile.h"
#include "engine/table/DataDirectory.h"
#include "engine/table/DataSession.h"
#include "engine/table/Engine.h"
#include "query/select/SelectBlobs.h"
#include "engine/cursor/DataCursor.h"
#include "query/select/SelectQuery.h"
#include "query/select/SelectValues.h"

namespace kura::test {

using Cell = std::optional<std::string>;  // a value as text; nullopt is NULL
using Rows = std::vector<std::vector<Cell>>;

struct IndexSpec {
  std::string Name;  // empty: primary
  std::vector<std::string> Fields;
  bool Descending = false;
  bool CaseInsensitive = false;
};

inline TFieldDescriptor Field(const std::string &name, EngineFieldType type, uint8_t size = 0, uint8_t scale = 0,
                              FieldSubType subType = FieldSubType::None) {
  TFieldDescriptor f;
  f.Name = name;
  f.Type = type;
  f.DeclaredSize = size;
  f.DeclaredScale = scale;
  f.SubType = subType;
  return f;
}

class SelectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartEngine();
    InstallIndexFiles();
    InstallBlobFiles();
    char pattern[] = "/tmp/kura-select-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    FRoot = pattern;
    std::filesystem::create_directories(FRoot / "db");
    std::filesystem::create_directories(FRoot / "private");
    DefaultSession().SetPrivateDir((FRoot / "private").string());
    FDirectory = DefaultSession().OpenDataDirectory("SelectDb", DbPath());
  }
  void TearDown() override {
    StopEngine();
    std::error_code ignored;
    std::filesystem::remove_all(FRoot, ignored);
  }

  std::string DbPath() const { return (FRoot / "db").string() + "/"; }

  // Creates a table with the fields and indexes, appends the rows (values as text, converted
  // to each field's type) and closes it.
  void MakeTable(const std::string &name, const std::vector<TFieldDescriptor> &fields, const Rows &rows,
                 const std::vector<IndexSpec> &indexes = {}, uint16_t languageId = 0) {
    TDataFileDefinition def;
    def.Fields = fields;
    def.LanguageId = languageId;
    // Index definitions need the laid-out fields (stored sizes).
    std::vector<TFieldDescriptor> laid = fields;
    LayoutFields(laid);
    auto fieldNo = [&](const std::string &n) {
      for (size_t i = 0; i < laid.size(); ++i)
        if (laid[i].Name == n) return static_cast<int>(i) + 1;
      return 0;
    };
    std::vector<TIndexDefinition> definitions;
    for (const IndexSpec &spec : indexes) {
      TIndexDefinition d;
      d.Name = spec.Name;
      d.CaseInsensitive = spec.CaseInsensitive;
      for (const std::string &fieldName : spec.Fields) {
        const int no = fieldNo(fieldName);
        TIndexDefinitionField f;
        f.FieldNumber = static_cast<uint16_t>(no);
        f.FieldName = fieldName;
        f.Type = laid[no - 1].Type;
        f.StoredSize = laid[no - 1].DataSize;
        f.Descending = spec.Descending;
        d.Fields.push_back(f);
      }
      definitions.push_back(d);
    }
    auto fill = [&](uint8_t *image, TDataTable &table, const TDataFile &file, const std::vector<Cell> &row) {
      for (size_t i = 0; i < row.size() && i < fields.size(); ++i) {
        const TFieldDescriptor &f = file.Field(static_cast<int>(i) + 1);
        if (f.IsAutoInc()) continue;
        if (f.Type == EngineFieldType::Blob) {
          WriteBlobValue(table, f, image, row[i] ? TExpValue::OfStr(*row[i]) : TExpValue());
          continue;
        }
        TExpValue v;
        if (row[i]) {
          TTypeInfo text{EngineFieldType::String, FieldSubType::None, 251, 0};
          ASSERT_TRUE(ConvertValue(text, TExpValue::OfStr(*row[i]), FieldTypeInfo(f), v)) << *row[i];
        }
        WriteFieldValue(f, image, v, file.LanguageId());
      }
    };
    // Through a cursor, so that the indexes hold every record.
    TDataCursor cursor(FDirectory, name);
    cursor.CreateTable(def, definitions);
    TCursorOptions options;
    options.NaturalOrder = true;
    cursor.SetOptions(options);
    cursor.OpenCursor();
    for (const auto &row : rows) {
      std::vector<uint8_t> buffer = cursor.NewRecordBuffer();
      cursor.InitRecord(buffer.data());
      fill(buffer.data(), *cursor.Table(), cursor.Table()->DataFile(), row);
      cursor.AppendRecord(buffer.data());
    }
    cursor.CloseCursor();
  }

  std::unique_ptr<TSelectQuery> Query(const std::string &sql, bool live = false) {
    auto q = std::make_unique<TSelectQuery>(DefaultSession(), DbPath());
    q->SetRequestLive(live);
    q->Prepare(sql);
    return q;
  }

  // The rows of an executed query as text ("NULL" for NULL).
  static std::vector<std::vector<std::string>> Read(TSelectQuery &q) {
    std::vector<std::vector<std::string>> out;
    const int64_t count = q.RowCount();
    for (int64_t i = 0; i < count; ++i) {
      std::vector<TExpValue> values = q.Row(i);
      std::vector<std::string> row;
      for (size_t c = 0; c < values.size(); ++c)
        row.push_back(values[c].Null ? "NULL" : FieldValueText(q.Column(c).Type, values[c]));
      out.push_back(row);
    }
    return out;
  }

  std::vector<std::vector<std::string>> Run(const std::string &sql, bool live = false) {
    auto q = Query(sql, live);
    q->Execute();
    return Read(*q);
  }

  // The detail of the SQL error a text fails with at prepare; "(no error)" when it prepares.
  std::string PrepareError(const std::string &sql, bool live = false) {
    TSelectQuery q(DefaultSession(), DbPath());
    q.SetRequestLive(live);
    try {
      q.Prepare(sql);
    } catch (const EKuraEngineError &e) {
      if (e.ErrorCode() != KURA_SQLPARSE) return "(engine error " + std::to_string(e.ErrorCode()) + ") " + e.what();
      const std::string prefix = "Kura Engine Error # 11949 SQL error - ";
      std::string what = e.what();
      if (what.compare(0, prefix.size(), prefix) != 0) return "(unexpected text) " + what;
      if (q.Prepared()) return "(left prepared) " + what;
      return what.substr(prefix.size());
    }
    return "(no error)";
  }

  std::vector<std::string> PrivateFiles() const {
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(FRoot / "private"))
      names.push_back(entry.path().filename().string());
    return names;
  }

  std::filesystem::path FRoot;
  TDataDirectory *FDirectory = nullptr;
};

using R = std::vector<std::vector<std::string>>;

}  // namespace kura::test
