// Cursors inside transactions, on in-memory tables and with strict change detection.
#include "tests/engine_cursor/CursorTestSupport.h"

#include "engine/index/IndexFile.h"
#include "engine/table/DataTable.h"

using namespace kura;
using namespace kura::cursortest;

namespace {

class CursorTransaction : public CursorTest {};

TEST_F(CursorTransaction, RollbackBringsBackTheTableAndTheCursorFollows) {
  TDataCursor &c = Open();
  TDataCursor &other = Open();
  for (int i = 1; i <= 3; ++i) Add(c, i, "n" + std::to_string(i), i);
  FDirectory->StartTransaction();
  Add(c, 4, "four", 4);
  std::vector<uint8_t> r = GoTo(c, 1);
  c.SetInteger(3, r.data(), 100);
  c.ModifyRecord(r.data());
  r = GoTo(c, 2);
  c.DeleteRecord(r.data());
  EXPECT_EQ(Codes(other), (std::vector<int32_t>{1, 3, 4}));
  GoTo(other, 3);
  FDirectory->RollbackTransaction();
  EXPECT_EQ(Codes(c), (std::vector<int32_t>{1, 2, 3}));
  EXPECT_EQ(c.RecordCount(), 3);
  std::vector<uint8_t> now = other.NewRecordBuffer();
  ASSERT_EQ(other.GetCurRecord(now.data()), KURA_NONE);  // still on its record
  EXPECT_EQ(other.GetInteger(1, now.data()), 3);
  ASSERT_EQ(other.GetPriorRecord(now.data()), KURA_NONE);
  EXPECT_EQ(other.GetInteger(1, now.data()), 2);
  r = GoTo(c, 1);
  EXPECT_EQ(c.GetInteger(3, r.data()), 1);
  c.SetIndexName("ByValueName");
  EXPECT_EQ(Codes(c), (std::vector<int32_t>{1, 2, 3}));
}

TEST_F(CursorTransaction, CommitWritesForTheNextUser) {
  TDataCursor &c = Open();
  FDirectory->StartTransaction();
  for (int i = 1; i <= 300; ++i) Add(c, i, "n" + std::to_string(i % 13), i % 17, false);
  // New slots under the transaction lock take no record locks; locking one of them still works.
  EXPECT_TRUE(c.Table()->OSLockedRecords().empty());
  std::vector<uint8_t> r = GoTo(c, 10);
  ASSERT_EQ(c.GetCurRecord(r.data(), true), KURA_NONE);
  EXPECT_EQ(c.Table()->OSLockedRecords().size(), 1u);
  c.SetString(2, r.data(), "locked");
  c.ModifyRecord(r.data());  // the unlock waits for the end of the transaction
  EXPECT_EQ(c.EditLockedRecord(), 0);
  FDirectory->CommitTransaction(false);
  EXPECT_TRUE(c.Table()->OSLockedRecords().empty());
  c.CloseCursor();
  TDataCursor &d = Open();
  EXPECT_EQ(d.RecordCount(), 300);
  d.SetIndexName("ByName");
  EXPECT_EQ(d.RecordCount(), 300);
  std::vector<uint8_t> key = d.NewRecordBuffer();
  d.SetString(2, key.data(), "locked");
  EXPECT_TRUE(d.Find(key.data(), false, 0, 0, false, r.data()));
  EXPECT_EQ(d.GetInteger(1, r.data()), 10);
}

TEST_F(CursorTransaction, InMemoryDatabase) {
  TDataDirectory *memory = DefaultSession().OpenDataDirectory("Memory", "");
  TDataCursor creator(memory, "scratch");
  creator.CreateTable(PeopleDefinition(), PeopleIndexes());
  TDataCursor c(memory, "scratch");
  c.OpenCursor();
  for (int i = 5; i >= 1; --i) Add(c, i, "m" + std::to_string(i), i);
  EXPECT_EQ(Codes(c), (std::vector<int32_t>{1, 2, 3, 4, 5}));
  c.SetIndexName("ByTag");
  EXPECT_EQ(Codes(c), (std::vector<int32_t>{5, 4, 3, 2, 1}));
  EXPECT_FALSE(std::filesystem::exists("scratch.DAT"));
  c.CloseCursor();
  DefaultSession().CloseDataDirectory(memory);
}

TEST_F(CursorTransaction, StrictChangeDetectionSeesTheOtherCursor) {
  DefaultSession().Settings.StrictChangeDetection = true;
  TDataCursor &a = Open();
  TDataCursor &b = Open();
  Add(a, 1, "a", 1);
  EXPECT_EQ(b.RecordCount(), 1);
  std::vector<uint8_t> r = GoTo(b, 1);
  ASSERT_EQ(b.GetCurRecord(r.data(), true), KURA_NONE);
  b.SetString(2, r.data(), "b");
  b.ModifyRecord(r.data());
  r = GoTo(a, 1);
  EXPECT_EQ(a.GetString(2, r.data()), "b");
}

}  // namespace
