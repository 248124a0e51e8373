// Several cursors on one table, in one process and in two: record locks, change detection and
// re-synchronisation.
#include "tests/engine_cursor/CursorTestSupport.h"

#include "engine/index/IndexFile.h"
#include "engine/table/DataTable.h"

using namespace kura;
using namespace kura::cursortest;

namespace {

class CursorSharing : public CursorTest {
 protected:
  void Fill(TDataCursor &c, int n) {
    for (int i = 1; i <= n; ++i) Add(c, i, "n" + std::to_string(i), i);
  }
};

TEST_F(CursorSharing, CursorsShareOneTable) {
  TDataCursor &a = Open();
  TDataCursor &b = Open();
  EXPECT_EQ(a.Table(), b.Table());
  EXPECT_EQ(a.Table()->OpenCount(), 2);
  a.CloseCursor();
  EXPECT_TRUE(b.Table()->FilesOpen());
  TCursorOptions exclusive;
  exclusive.Exclusive = true;
  TDataCursor c(FDirectory, "people");
  c.SetOptions(exclusive);
  EXPECT_EQ(MessageOf([&] { c.OpenCursor(); }), "Access denied to table 'people'");
  EXPECT_FALSE(c.IsOpen());
}

TEST_F(CursorSharing, OptimisticEditAfterAnotherCursorsDelete) {
  DefaultSession().Settings.LockProtocol = TLockProtocol::Optimistic;
  TDataCursor &a = Open();
  TDataCursor &b = Open();
  Fill(a, 3);
  std::vector<uint8_t> edit = GoTo(a, 2);
  EXPECT_EQ(a.GetCurRecord(edit.data(), true), KURA_NONE);  // optimistic: compares only
  EXPECT_EQ(a.EditLockedRecord(), 0);
  std::vector<uint8_t> rb = GoTo(b, 2);
  b.DeleteRecord(rb.data());
  a.SetString(2, edit.data(), "edited");
  EXPECT_EQ(MessageOf([&] { a.ModifyRecord(edit.data()); }),
            "Record has been changed or deleted by another user, session, or table cursor in the table 'people'");
  EXPECT_TRUE(a.RecordChangedFlag());
  EXPECT_EQ(CodeOf([&] { a.ModifyRecord(edit.data()); }), KURA_KEYORRECDELETED);
  a.CancelRecord();
  EXPECT_FALSE(a.RecordChangedFlag());
  // The cursor stands in the gap of the deleted record.
  std::vector<uint8_t> r = a.NewRecordBuffer();
  EXPECT_EQ(a.GetCurRecord(r.data()), KURA_KEYORRECDELETED);
  ASSERT_EQ(a.GetNextRecord(r.data()), KURA_NONE);
  EXPECT_EQ(a.GetInteger(1, r.data()), 3);
  EXPECT_EQ(a.RecordCount(), 2);
}

TEST_F(CursorSharing, OptimisticEditAfterAnotherCursorsModify) {
  DefaultSession().Settings.LockProtocol = TLockProtocol::Optimistic;
  TDataCursor &a = Open();
  TDataCursor &b = Open();
  Fill(a, 3);
  std::vector<uint8_t> edit = GoTo(a, 2);
  std::vector<uint8_t> rb = GoTo(b, 2);
  b.SetInteger(3, rb.data(), 99);
  b.ModifyRecord(rb.data());
  a.SetString(2, edit.data(), "mine");
  EXPECT_EQ(CodeOf([&] { a.ModifyRecord(edit.data()); }), KURA_KEYORRECDELETED);
  a.CancelRecord();
  // Read again, the edit goes through.
  std::vector<uint8_t> fresh = a.NewRecordBuffer();
  ASSERT_EQ(a.GetCurRecord(fresh.data()), KURA_NONE);
  EXPECT_EQ(a.GetInteger(3, fresh.data()), 99);
  a.SetString(2, fresh.data(), "mine");
  EXPECT_NO_THROW(a.ModifyRecord(fresh.data()));
  // An edit without another writer in between never fails.
  std::vector<uint8_t> again = GoTo(a, 3);
  a.SetInteger(3, again.data(), 7);
  EXPECT_NO_THROW(a.ModifyRecord(again.data()));
}

TEST_F(CursorSharing, PessimisticLockRefusesTheSecondCursorAtOnce) {
  TDataCursor &a = Open();
  TDataCursor &b = Open();
  Fill(a, 3);
  std::vector<uint8_t> ra = GoTo(a, 2);
  ASSERT_EQ(a.GetCurRecord(ra.data(), true), KURA_NONE);
  EXPECT_EQ(a.EditLockedRecord(), a.CurrentRecordNumber());
  std::vector<uint8_t> rb = GoTo(b, 2);
  EXPECT_EQ(MessageOf([&] { b.GetCurRecord(rb.data(), true); }),
            "Record in the table 'people' is in use by another user");
  EXPECT_EQ(CodeOf([&] { b.DeleteRecord(rb.data()); }), KURA_RECLOCKFAILED);
  b.SetString(2, rb.data(), "b");
  EXPECT_EQ(CodeOf([&] { b.ModifyRecord(rb.data()); }), KURA_RECLOCKFAILED);
  // Post with the unlock flag clear keeps the lock; CancelRecord releases it.
  a.SetString(2, ra.data(), "a");
  a.ModifyRecord(ra.data(), false);
  EXPECT_NE(a.EditLockedRecord(), 0);
  EXPECT_EQ(CodeOf([&] { b.GetCurRecord(rb.data(), true); }), KURA_RECLOCKFAILED);
  a.CancelRecord();
  EXPECT_EQ(a.EditLockedRecord(), 0);
  // b's buffer is stale now: the comparison refuses it and the lock is given back.
  EXPECT_EQ(CodeOf([&] { b.GetCurRecord(rb.data(), true); }), KURA_KEYORRECDELETED);
  EXPECT_EQ(b.EditLockedRecord(), 0);
  ASSERT_EQ(b.GetCurRecord(rb.data()), KURA_NONE);
  ASSERT_EQ(b.GetCurRecord(rb.data(), true), KURA_NONE);
  b.WriteUnlockRecord();
  EXPECT_EQ(b.EditLockedRecord(), 0);
}

TEST_F(CursorSharing, AnotherCursorsWritesAreSeenAndPositionsKept) {
  TDataCursor &a = Open();
  TDataCursor &b = Open();
  Fill(a, 5);
  std::vector<uint8_t> r = GoTo(a, 3);
  // b deletes 2 and appends 0: a's record stays current, its sequence number moves.
  std::vector<uint8_t> rb = GoTo(b, 2);
  b.DeleteRecord(rb.data());
  Add(b, 0, "zero", 0);
  Add(b, 10, "ten", 10);
  EXPECT_EQ(a.RecordCount(), 6);
  ASSERT_EQ(a.GetCurRecord(r.data()), KURA_NONE);
  EXPECT_EQ(a.GetInteger(1, r.data()), 3);
  EXPECT_EQ(a.SequenceNumber(), 3);
  ASSERT_EQ(a.GetPriorRecord(r.data()), KURA_NONE);
  EXPECT_EQ(a.GetInteger(1, r.data()), 1);
  // b moves a's current record to another key: a stays where the record was, so the records
  // between the old and the new key are not skipped; the moved record is met again there.
  GoTo(a, 4);
  rb = GoTo(b, 4);
  b.SetInteger(1, rb.data(), 8);
  b.ModifyRecord(rb.data());
  ASSERT_EQ(a.GetNextRecord(r.data()), KURA_NONE);
  EXPECT_EQ(a.GetInteger(1, r.data()), 5);
  ASSERT_EQ(a.GetNextRecord(r.data()), KURA_NONE);
  EXPECT_EQ(a.GetInteger(1, r.data()), 8);
  ASSERT_EQ(a.GetNextRecord(r.data()), KURA_NONE);
  EXPECT_EQ(a.GetInteger(1, r.data()), 10);
  // b deletes a's current record: next and prior are its neighbours.
  GoTo(a, 3);
  rb = GoTo(b, 3);
  b.DeleteRecord(rb.data());
  ASSERT_EQ(a.GetNextRecord(r.data()), KURA_NONE);
  EXPECT_EQ(a.GetInteger(1, r.data()), 5);
  GoTo(a, 5);
  rb = GoTo(b, 5);
  b.DeleteRecord(rb.data());
  ASSERT_EQ(a.GetPriorRecord(r.data()), KURA_NONE);
  EXPECT_EQ(a.GetInteger(1, r.data()), 1);
}

TEST_F(CursorSharing, NaturalOrderCursorSeesAppendsOfAnother) {
  TCursorOptions natural;
  natural.NaturalOrder = true;
  TDataCursor &a = Open(natural);
  TDataCursor &b = Open();
  Fill(b, 3);
  EXPECT_EQ(Codes(a), (std::vector<int32_t>{1, 2, 3}));
  Add(b, 7, "seven", 7);
  EXPECT_EQ(a.RecordCount(), 4);
  EXPECT_EQ(Codes(a, true), (std::vector<int32_t>{7, 3, 2, 1}));
}

TEST_F(CursorSharing, SecondProcessChangesTheTableWhileACursorIsOpen) {
  TDataCursor &a = Open();
  Fill(a, 4);
  std::vector<uint8_t> r = GoTo(a, 2);
  const std::string path = FDir.Path();
  Child child([path] {
    StartEngine();
    DefaultSession().Settings.LockWaitTime = 5;
    DefaultSession().Settings.LockRetryCount = 2;
    TDataDirectory *d = DefaultSession().OpenDataDirectory("test", path);
    TDataCursor c(d, "people");
    c.OpenCursor();
    std::vector<uint8_t> rec = c.NewRecordBuffer();
    c.SetInteger(1, rec.data(), 3);
    if (!c.Find(rec.data(), false, 0, 0, false, rec.data())) return 1;
    c.DeleteRecord(rec.data());
    std::vector<uint8_t> add = c.NewRecordBuffer();
    c.SetInteger(1, add.data(), 9);
    c.SetString(2, add.data(), "nine");
    c.SetInteger(4, add.data(), -9);
    c.AppendRecord(add.data());
    Child::Current()->Send('1');
    // Lock record 1 for editing and hold it until the parent has tried.
    c.SetInteger(1, rec.data(), 1);
    if (!c.Find(rec.data(), false, 0, 0, false, rec.data())) return 2;
    if (c.GetCurRecord(rec.data(), true) != KURA_NONE) return 3;
    Child::Current()->Send('2');
    Child::Current()->Receive();
    c.SetString(2, rec.data(), "child");
    c.ModifyRecord(rec.data());
    Child::Current()->Send('3');
    Child::Current()->Receive();
    c.CloseCursor();
    StopEngine();
    return 0;
  });
  ASSERT_EQ(child.Receive(), '1');
  EXPECT_EQ(a.RecordCount(), 4);
  EXPECT_EQ(Codes(a), (std::vector<int32_t>{1, 2, 4, 9}));
  ASSERT_EQ(child.Receive(), '2');
  std::vector<uint8_t> one = GoTo(a, 1);
  EXPECT_EQ(MessageOf([&] { a.GetCurRecord(one.data(), true); }),
            "Record in the table 'people' is in use by another user");
  child.Send('g');
  ASSERT_EQ(child.Receive(), '3');
  // The child changed record 1 after we read it: our post is refused, a fresh read works.
  a.SetInteger(3, one.data(), 100);
  EXPECT_EQ(CodeOf([&] { a.ModifyRecord(one.data()); }), KURA_KEYORRECDELETED);
  a.CancelRecord();
  ASSERT_EQ(a.GetCurRecord(one.data()), KURA_NONE);
  EXPECT_EQ(a.GetString(2, one.data()), "child");
  ASSERT_EQ(a.GetCurRecord(one.data(), true), KURA_NONE);
  a.SetInteger(3, one.data(), 100);
  EXPECT_NO_THROW(a.ModifyRecord(one.data()));
  child.Send('x');
  EXPECT_EQ(child.Wait(), 0);
  EXPECT_EQ(Codes(a), (std::vector<int32_t>{1, 2, 4, 9}));
}

TEST_F(CursorSharing, ReadLockTableKeepsOtherProcessesFromWriting) {
  TDataCursor &a = Open();
  Fill(a, 2);
  a.ReadLockTable();
  const std::string path = FDir.Path();
  Child child([path] {
    StartEngine();
    TDataDirectory *d = DefaultSession().OpenDataDirectory("test", path);
    TDataCursor c(d, "people");
    c.OpenCursor();
    Child::Current()->Send('o');
    std::vector<uint8_t> add = c.NewRecordBuffer();
    c.SetInteger(1, add.data(), 5);
    c.SetInteger(4, add.data(), -5);
    c.AppendRecord(add.data());  // waits for the parent's read lock to go
    Child::Current()->Send('w');
    c.CloseCursor();
    StopEngine();
    return 0;
  });
  ASSERT_EQ(child.Receive(), 'o');
  usleep(100 * 1000);
  EXPECT_EQ(a.RecordCount(), 2);  // nothing written while the lock is held
  a.ReadUnlockTable();
  ASSERT_EQ(child.Receive(), 'w');
  EXPECT_EQ(child.Wait(), 0);
  EXPECT_EQ(a.RecordCount(), 3);
}

}  // namespace
