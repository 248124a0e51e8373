#pragma once
// A scratch table with a primary and secondary indexes, cursors on it, and record helpers.
//
// Table "people": 1 Code Integer (primary key), 2 Name String(16), 3 Value Integer,
// 4 Tag Integer. Secondary indexes: "ByName" (Name), "ByValueName" (Value, Name), "ByTag"
// (Tag, unique).
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/cursor/DataCursor.h"
#include "engine/data/FieldCodec.h"
#include "engine/errors/EngineError.h"
#include "engine/table/DataSession.h"
#include "engine/table/Engine.h"
#include "engine/util/Bytes.h"
#include "tests/engine/TestSupport.h"

namespace kura::cursortest {

// Scratch directories and forked children are the engine tests' own.
using kura::test::Child;
using kura::test::TempDir;

// The engine code of what body throws; 0 when nothing is thrown.
template <typename Body>
unsigned CodeOf(Body body) {
  try {
    body();
  } catch (const std::exception &e) {
    return ErrorCodeOf(e);
  }
  return 0;
}

template <typename Body>
std::string MessageOf(Body body) {
  try {
    body();
  } catch (const EKuraEngineError &e) {
    return e.EngineMessage();
  }
  return {};
}


inline TFieldDescriptor MakeField(const std::string &name, EngineFieldType type, uint8_t size = 0,
                                  FieldSubType subType = FieldSubType::None, uint8_t scale = 0) {
  TFieldDescriptor f;
  f.Name = name;
  f.Type = type;
  f.SubType = subType;
  f.DeclaredSize = size;
  f.DeclaredScale = scale;
  return f;
}

inline TIndexDefinition MakeIndex(const std::string &name, std::vector<uint16_t> fields, bool unique = false,
                                  bool descending = false, KeyCompression compression = KeyCompression::None) {
  TIndexDefinition d;
  d.Name = name;
  for (uint16_t n : fields) {
    TIndexDefinitionField f;
    f.FieldNumber = n;
    d.Fields.push_back(f);
  }
  d.Unique = unique || name.empty();
  d.Descending = descending;
  d.Compression = compression;
  return d;
}

inline TDataFileDefinition PeopleDefinition() {
  TDataFileDefinition def;
  def.Fields = {MakeField("Code", EngineFieldType::Integer), MakeField("Name", EngineFieldType::String, 16),
                MakeField("Value", EngineFieldType::Integer), MakeField("Tag", EngineFieldType::Integer)};
  return def;
}

inline std::vector<TIndexDefinition> PeopleIndexes() {
  return {MakeIndex("", {1}), MakeIndex("ByName", {2}), MakeIndex("ByValueName", {3, 2}),
          MakeIndex("ByTag", {4}, true, false, KeyCompression::Full)};
}

struct TPerson {
  int32_t Code = 0;
  std::string Name;
  int32_t Value = 0;
  int32_t Tag = 0;
  bool NullValue = false;
};

class CursorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartEngine();
    DefaultSession().Settings.LockWaitTime = 5;
    DefaultSession().Settings.LockRetryCount = 2;
    FDirectory = DefaultSession().OpenDataDirectory("test", FDir.Path());
    TDataCursor creator(FDirectory, "people");
    creator.CreateTable(PeopleDefinition(), PeopleIndexes());
  }
  void TearDown() override {
    FCursors.clear();
    StopEngine();
  }

  TDataCursor &Open(TCursorOptions options = {}, const std::string &table = "people") {
    FCursors.push_back(std::make_unique<TDataCursor>(FDirectory, table));
    FCursors.back()->SetOptions(options);
    FCursors.back()->OpenCursor();
    return *FCursors.back();
  }

  static std::vector<uint8_t> Record(TDataCursor &c, const TPerson &p) {
    std::vector<uint8_t> r = c.NewRecordBuffer();
    c.SetInteger(1, r.data(), p.Code);
    c.SetString(2, r.data(), p.Name);
    if (p.NullValue)
      c.SetFieldNull(3, r.data());
    else
      c.SetInteger(3, r.data(), p.Value);
    c.SetInteger(4, r.data(), p.Tag);
    return r;
  }
  static TPerson Person(TDataCursor &c, const std::vector<uint8_t> &r) {
    TPerson p;
    p.Code = static_cast<int32_t>(c.GetInteger(1, r.data()));
    p.Name = c.GetString(2, r.data());
    p.NullValue = c.IsFieldNull(3, r.data());
    p.Value = p.NullValue ? 0 : static_cast<int32_t>(c.GetInteger(3, r.data()));
    p.Tag = static_cast<int32_t>(c.GetInteger(4, r.data()));
    return p;
  }
  static int32_t AutoIncOf(const std::vector<uint8_t> &r) { return GetI32(r.data() + 5); }

  // Appends code with name, value and tag = -code.
  static std::vector<uint8_t> Add(TDataCursor &c, int32_t code, const std::string &name, int32_t value,
                                  bool reposition = true) {
    std::vector<uint8_t> r = Record(c, {code, name, value, -code});
    c.AppendRecord(r.data(), reposition);
    return r;
  }
  // Codes in the cursor's order, from the beginning (forward) or the end (backward).
  static std::vector<int32_t> Codes(TDataCursor &c, bool backward = false) {
    std::vector<int32_t> codes;
    std::vector<uint8_t> r = c.NewRecordBuffer();
    if (backward) {
      c.SetToEnd();
      while (c.GetPriorRecord(r.data()) == KURA_NONE) codes.push_back(static_cast<int32_t>(c.GetInteger(1, r.data())));
    } else {
      c.SetToBegin();
      while (c.GetNextRecord(r.data()) == KURA_NONE) codes.push_back(static_cast<int32_t>(c.GetInteger(1, r.data())));
    }
    return codes;
  }
  // Positions the cursor on the record with that code (primary index search).
  static std::vector<uint8_t> GoTo(TDataCursor &c, int32_t code) {
    std::vector<uint8_t> key = c.NewRecordBuffer();
    c.SetInteger(1, key.data(), code);
    std::vector<uint8_t> r = c.NewRecordBuffer();
    std::string saved = c.IndexName();
    c.SetIndexName("");
    EXPECT_TRUE(c.Find(key.data(), false, 1, 0, false, r.data())) << code;
    c.SetIndexName(saved);
    std::vector<uint8_t> current = c.NewRecordBuffer();
    EXPECT_EQ(c.GetCurRecord(current.data()), KURA_NONE);
    return current;
  }

  TempDir FDir;
  TDataDirectory *FDirectory = nullptr;
  std::vector<std::unique_ptr<TDataCursor>> FCursors;
};

}  // namespace kura::cursortest
