#pragma once
// Helpers for the session/directory/table tests: an engine per test and record posting the
// way a cursor posts (write lock, slot, record lock, write-through, unlock).
#include <gtest/gtest.h>

#include <functional>

#include "engine/data/FieldCodec.h"
#include "engine/table/DataTable.h"
#include "engine/table/Engine.h"
#include "engine/index/IndexFile.h"
#include "tests/engine/DataTestSupport.h"
#include "tests/engine/TestSupport.h"

namespace kura::test {

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartEngine();
    // Tables get their real index files, so the read and write locks use the index ranges.
    InstallIndexFiles();
    DefaultSession().Settings.LockWaitTime = 10;
    DefaultSession().Settings.LockRetryCount = 3;
  }
  void TearDown() override { StopEngine(); }
};

inline TDataFileDefinition NumberedDefinition() {
  TDataFileDefinition def;
  def.Fields = {MakeField("ID", EngineFieldType::Integer, 0, FieldSubType::AutoInc),
                MakeField("Text", EngineFieldType::String, 12), MakeField("Value", EngineFieldType::Integer)};
  return def;
}

// Appends a record with the given text and value; returns its record number.
inline int32_t PostRecord(TDataTable &table, const std::string &text, int32_t value) {
  table.WriteLock();
  TDataFile &file = table.DataFile();
  TRecord *r = file.AllocateRecord(table.NoPrimaryKey());
  int32_t n = r->RecordNumber;
  table.LockRecord(n);
  SetStringField(file.Field(2), r->Image.data(), text, file.LanguageId());
  SetIntegerField(file.Field(3), r->Image.data(), value);
  file.MarkRecordDirty(r);
  file.ReleaseRecord(r);
  table.ChangePosted();
  table.UnlockRecord(n);
  table.WriteUnlock();
  return n;
}

// Changes the value of record n.
inline void ModifyRecord(TDataTable &table, int32_t n, int32_t value) {
  table.WriteLock();
  table.LockRecord(n);
  TRecord *r = table.DataFile().GetRecord(n);
  SetIntegerField(table.DataFile().Field(3), r->Image.data(), value);
  table.DataFile().MarkRecordDirty(r);
  table.DataFile().ReleaseRecord(r);
  table.ChangePosted();
  table.UnlockRecord(n);
  table.WriteUnlock();
}

inline void DeleteRecord(TDataTable &table, int32_t n) {
  table.WriteLock();
  table.LockRecord(n);
  table.DataFile().FreeRecord(n, table.NoPrimaryKey());
  table.ChangePosted();
  table.UnlockRecord(n);
  table.WriteUnlock();
}

// Reads the value of record n, restarting when the table changed underneath.
inline int64_t ReadValue(TDataTable &table, int32_t n) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    TRecord *r = table.DataFile().GetRecord(n);
    if (!r) continue;
    int64_t v = GetIntegerField(table.DataFile().Field(3), r->Image.data());
    table.DataFile().ReleaseRecord(r);
    return v;
  }
  ADD_FAILURE() << "record " << n << " never became readable";
  return -1;
}

// In a forked child: a fresh engine with short lock waits and the test's directory.
inline TDataDirectory *ChildDirectory(const TempDir &dir) {
  StartEngine();
  DefaultSession().Settings.LockWaitTime = 10;
  DefaultSession().Settings.LockRetryCount = 3;
  return DefaultSession().OpenDataDirectory("test", dir.Path());
}

// A directory on disk with the table "shared" in it, for tests that fork a second process.
class SharedTableTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    FDirectory = DefaultSession().OpenDataDirectory("test", FDir.Path());
    FDirectory->CloseTable(FDirectory->CreateTable("shared", NumberedDefinition(), false));
  }
  TempDir FDir;
  TDataDirectory *FDirectory = nullptr;
};

}  // namespace kura::test
