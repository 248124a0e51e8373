#pragma once
// Helpers for the record sort tests: an engine with index files per test, a temporary database
// directory with its own private directory, a result-like table without indexes, a row model
// of that table, and reading the sorted table back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "engine/data/FieldCodec.h"
#include "engine/index/IndexDefinition.h"
#include "engine/index/IndexFile.h"
#include "engine/locale/Collation.h"
#include "engine/sort/SortRecords.h"
#include "engine/table/DataDirectory.h"
#include "engine/table/DataTable.h"
#include "engine/table/Engine.h"
#include "engine/util/Bytes.h"

namespace kura::test {

// One row of the test table. Fields: ID (AutoInc), Seq (Integer: the insertion ordinal), Name
// (String 10), Grp (SmallInt), Val (Integer), Price (Float), Total (LargeInt), Cnt (Integer),
// Memo (Blob).
struct SortRow {
  int32_t Seq = 0;
  std::optional<std::string> Name;
  std::optional<int16_t> Grp;
  std::optional<int32_t> Val;
  std::optional<double> Price;
  std::optional<int64_t> Total;
  std::optional<int32_t> Cnt;
  int32_t AutoInc = 0;
  int32_t RecordNumber = 0;
};

enum SortFieldNo : int { FId = 1, FSeq, FName, FGrp, FVal, FPrice, FTotal, FCnt, FMemo };

inline TFieldDescriptor SortField(const std::string &name, EngineFieldType type, uint8_t size = 0,
                                  FieldSubType subType = FieldSubType::None) {
  TFieldDescriptor f;
  f.Name = name;
  f.Type = type;
  f.SubType = subType;
  f.DeclaredSize = size;
  return f;
}

inline TDataFileDefinition SortTableDefinition(uint16_t languageId = 0, bool encrypted = false) {
  using T = EngineFieldType;
  TDataFileDefinition def;
  def.Fields = {SortField("ID", T::Integer, 0, FieldSubType::AutoInc),
                SortField("Seq", T::Integer),
                SortField("Name", T::String, 10),
                SortField("Grp", T::SmallInt),
                SortField("Val", T::Integer),
                SortField("Price", T::Float),
                SortField("Total", T::LargeInt),
                SortField("Cnt", T::Integer),
                SortField("Memo", T::Blob, 0, FieldSubType::Memo)};
  def.LanguageId = languageId;
  def.Encrypted = encrypted;
  if (encrypted) def.Password = "kagi";
  return def;
}

class SortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartEngine();
    InstallIndexFiles();
    char pattern[] = "/tmp/kura-sort-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    FRoot = pattern;
    std::filesystem::create_directories(FRoot / "db");
    std::filesystem::create_directories(FRoot / "private");
    Session().SetPrivateDir((FRoot / "private").string());
    Session().AddPassword("kagi");
    FDirectory = Session().OpenDataDirectory("SortDb", (FRoot / "db").string() + "/");
  }
  void TearDown() override {
    StopEngine();
    std::error_code ignored;
    std::filesystem::remove_all(FRoot, ignored);
  }

  static TDataSession &Session() { return DefaultSession(); }

  // Every record stays cached (the in-memory path) / at most `records` are cached and runs
  // hold that many records (the external path). Settings apply to tables opened afterwards;
  // the run length is read when the sort runs.
  static void UseLargeBuffers() {
    Session().Settings.DataBufferSize = 64u << 20;
    Session().Settings.DataBufferCount = 1u << 20;
  }
  static void UseTinyBuffers(uint32_t records = 64) {
    Session().Settings.DataBufferSize = 1u << 20;
    Session().Settings.DataBufferCount = records;
  }

  // A table as a result table is made: exclusive, without a primary key or other index.
  TDataTable *CreateResultTable(const std::string &name, uint16_t languageId = 0, bool encrypted = false) {
    TDataTable *table = FDirectory->CreateTable(name, SortTableDefinition(languageId, encrypted), false);
    auto *index = dynamic_cast<TIndexFile *>(table->IndexFile());
    EXPECT_NE(index, nullptr);
    DefinePrimaryIndex(index->Header(), TIndexDefinition{}, ErrorTexts{});
    index->Pages().MarkHeaderDirty();
    EXPECT_TRUE(table->NoPrimaryKey());
    return table;
  }

  static void WriteRow(TDataFile &file, uint8_t *image, const SortRow &row) {
    SetIntegerField(file.Field(FSeq), image, row.Seq);
    if (row.Name)
      SetStringField(file.Field(FName), image, *row.Name, file.LanguageId());
    else
      SetFieldNull(file.Field(FName), image);
    auto optionalInt = [&](int field, const auto &value) {
      if (value)
        SetIntegerField(file.Field(field), image, *value);
      else
        SetFieldNull(file.Field(field), image);
    };
    optionalInt(FGrp, row.Grp);
    optionalInt(FVal, row.Val);
    optionalInt(FTotal, row.Total);
    optionalInt(FCnt, row.Cnt);
    if (row.Price)
      SetFloatField(file.Field(FPrice), image, *row.Price);
    else
      SetFieldNull(file.Field(FPrice), image);
  }

  static SortRow ReadRow(const TDataFile &file, const uint8_t *image) {
    SortRow row;
    row.RecordNumber = GetI32(image + 1);
    row.AutoInc = GetI32(image + 5);
    row.Seq = static_cast<int32_t>(GetIntegerField(file.Field(FSeq), image));
    if (!FieldIsNull(file.Field(FName), image)) row.Name = GetStringField(file.Field(FName), image);
    if (!FieldIsNull(file.Field(FGrp), image))
      row.Grp = static_cast<int16_t>(GetIntegerField(file.Field(FGrp), image));
    if (!FieldIsNull(file.Field(FVal), image))
      row.Val = static_cast<int32_t>(GetIntegerField(file.Field(FVal), image));
    if (!FieldIsNull(file.Field(FPrice), image)) row.Price = GetFloatField(file.Field(FPrice), image);
    if (!FieldIsNull(file.Field(FTotal), image)) row.Total = GetIntegerField(file.Field(FTotal), image);
    if (!FieldIsNull(file.Field(FCnt), image))
      row.Cnt = static_cast<int32_t>(GetIntegerField(file.Field(FCnt), image));
    return row;
  }

  // Appends the rows in order (auto-increment values 1, 2, ...).
  static void Fill(TDataTable &table, const std::vector<SortRow> &rows) {
    TDataFile &file = table.DataFile();
    for (const SortRow &row : rows) {
      TRecord *r = file.AllocateRecord(table.NoPrimaryKey());
      ASSERT_NE(r, nullptr);
      WriteRow(file, r->Image.data(), row);
      file.MarkRecordDirty(r);
      file.ReleaseRecord(r);
    }
  }

  // The table's slots in order (every slot must be live).
  static std::vector<SortRow> ReadAll(TDataTable &table) {
    TDataFile &file = table.DataFile();
    std::vector<SortRow> rows;
    for (int32_t n = 1; n <= file.SlotCount(); ++n) {
      TRecord *r = file.GetRecord(n);
      EXPECT_NE(r, nullptr);
      if (!r) break;
      EXPECT_EQ(r->Image[0], 0) << "slot " << n << " is not live";
      rows.push_back(ReadRow(file, r->Image.data()));
      file.ReleaseRecord(r);
    }
    return rows;
  }

  // Random rows: short mixed-case names (some with non-ASCII letters), small groups, about
  // one value in eight NULL.
  static std::vector<SortRow> RandomRows(size_t count, uint32_t seed, bool nonAscii = false) {
    std::mt19937 random(seed);
    static const std::vector<std::string> ascii = {"a", "b", "A", "B", "c", "C", "z", "Z", "m", "_"};
    static const std::vector<std::string> wide = {"a", "A", "e", "E", "\xC3\xA9", "\xC3\x89", "o", "\xC3\xB6", "z"};
    const std::vector<std::string> &letters = nonAscii ? wide : ascii;
    auto maybeNull = [&]() { return random() % 8 == 0; };
    std::vector<SortRow> rows;
    for (size_t i = 0; i < count; ++i) {
      SortRow row;
      row.Seq = static_cast<int32_t>(i + 1);
      if (!maybeNull()) {
        std::string name;
        const size_t length = 1 + random() % 4;
        for (size_t k = 0; k < length; ++k) name += letters[random() % letters.size()];
        row.Name = name;
      }
      if (!maybeNull()) row.Grp = static_cast<int16_t>(static_cast<int>(random() % 13) - 6);
      if (!maybeNull()) row.Val = static_cast<int32_t>(random() % 2001) - 1000;
      if (!maybeNull()) row.Price = (static_cast<int>(random() % 4001) - 2000) / 8.0;
      rows.push_back(row);
    }
    return rows;
  }

  // *.TMP files in the private directory.
  std::vector<std::string> RunFilesLeft() const {
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(FRoot / "private"))
      if (entry.path().extension() == ".TMP") names.push_back(entry.path().filename().string());
    return names;
  }

  TSortField SortOn(TDataTable &table, int fieldNo, bool descending = false) {
    return TSortField{table.DataFile().Field(fieldNo), descending};
  }

  std::filesystem::path FRoot;
  TDataDirectory *FDirectory = nullptr;
};

// The expected order of rows under sort fields, computed from the row values alone.
struct RowOrder {
  struct Key {
    int Field;
    bool Descending;
  };
  std::vector<Key> Keys;
  bool CaseInsensitive = false;
  uint16_t LanguageId = 0;

  template <typename T>
  static int Cmp(const std::optional<T> &a, const std::optional<T> &b) {
    if (!a || !b) return (a ? 1 : 0) - (b ? 1 : 0);  // NULL first
    return *a < *b ? -1 : (*b < *a ? 1 : 0);
  }
  int CmpText(const std::optional<std::string> &a, const std::optional<std::string> &b) const {
    if (!a || !b) return (a ? 1 : 0) - (b ? 1 : 0);
    std::string x = CaseInsensitive ? UpperCase(LanguageId, *a) : *a;
    std::string y = CaseInsensitive ? UpperCase(LanguageId, *b) : *b;
    if (LanguageId != 0) return CompareStrings(LanguageId, 0, x, y);
    return x.compare(y) < 0 ? -1 : (x == y ? 0 : 1);
  }
  int CompareFields(const SortRow &a, const SortRow &b) const {
    for (const Key &k : Keys) {
      int c = 0;
      switch (k.Field) {
        case FSeq: c = a.Seq < b.Seq ? -1 : (a.Seq > b.Seq ? 1 : 0); break;
        case FName: c = CmpText(a.Name, b.Name); break;
        case FGrp: c = Cmp(a.Grp, b.Grp); break;
        case FVal: c = Cmp(a.Val, b.Val); break;
        case FPrice: c = Cmp(a.Price, b.Price); break;
        default: ADD_FAILURE() << "no model for field " << k.Field;
      }
      if (k.Descending) c = -c;
      if (c != 0) return c;
    }
    return 0;
  }
  // Stable: rows in insertion order keep it among equal keys.
  std::vector<SortRow> Sorted(std::vector<SortRow> rows) const {
    std::stable_sort(rows.begin(), rows.end(),
                     [&](const SortRow &a, const SortRow &b) { return CompareFields(a, b) < 0; });
    return rows;
  }
};

inline std::vector<int32_t> SeqOf(const std::vector<SortRow> &rows) {
  std::vector<int32_t> seq;
  for (const SortRow &r : rows) seq.push_back(r.Seq);
  return seq;
}

// Output rows are numbered by position: record number and auto-increment value 1, 2, ...
inline void ExpectNumbered(const std::vector<SortRow> &rows) {
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i].RecordNumber, static_cast<int32_t>(i + 1));
    EXPECT_EQ(rows[i].AutoInc, static_cast<int32_t>(i + 1));
  }
}

}  // namespace kura::test
