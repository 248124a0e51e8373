// What a table does under the transaction lock: no lock bytes or change checks per row, while
// other processes still read the table as it was, wait to write, and find the records locked
// that must stay locked; record unlocks postponed to the end of a transaction go back in runs.
#include <gtest/gtest.h>

#include "engine/errors/EngineError.h"
#include "engine/file/LockRanges.h"
#include "engine/table/DataSession.h"
#include "tests/engine/TableTestSupport.h"
#include "tests/engine/TestSupport.h"

using namespace kura;
using namespace kura::test;

namespace {

// Appends a row the way a cursor does: the slot is locked before it is allocated.
int32_t AppendRow(TDataTable &table, int32_t value, bool keepLock) {
  table.WriteLock();
  TDataFile &file = table.DataFile();
  const int32_t slot = file.SlotForNewRecord(table.NoPrimaryKey());
  table.LockRecord(slot);
  TRecord *r = file.AllocateRecord(table.NoPrimaryKey());
  EXPECT_EQ(r->RecordNumber, slot);
  SetIntegerField(file.Field(3), r->Image.data(), value);
  file.MarkRecordDirty(r);
  file.ReleaseRecord(r);
  table.ChangePosted();
  if (!keepLock) table.UnlockRecord(slot);
  table.WriteUnlock();
  return slot;
}

int32_t SlotsSeen(TDataTable &table) {
  table.ReadLock();
  const int32_t slots = table.DataFile().SlotCount();
  table.ReadUnlock();
  return slots;
}

class TransactionLockTest : public SharedTableTest {};

}  // namespace

TEST_F(TransactionLockTest, RowsAppendedInATransactionStayUnseenAndKeepTheLocksThatOutliveIt) {
  TDataTable *t = FDirectory->OpenTable("shared", false, false, false, false);
  PostRecord(*t, "before", 1);
  t->StartTransaction();
  for (int32_t k = 2; k <= 50; ++k) AppendRow(*t, k, false);
  const int32_t kept = AppendRow(*t, 51, true);  // still locked for editing after the commit
  ASSERT_EQ(kept, 51);
  Child other([&] {
    TDataDirectory *d = ChildDirectory(FDir);
    TDataTable *c = d->OpenTable("shared", false, false, false, false);
    LockRetrySettings().Attempts = 3;
    LockRetrySettings().PauseMs = 1;
    // Readers are not held up and see the table as it was; writers wait for the commit.
    if (SlotsSeen(*c) != 1 || ReadValue(*c, 1) != 1) return 10;
    if (CodeOf([&] { c->WriteLock(); }) != KURA_LOCKTIMEOUT) return 11;
    Child::Current()->Send('1');
    Child::Current()->Receive();  // committed
    if (SlotsSeen(*c) != 51 || ReadValue(*c, 30) != 30 || ReadValue(*c, 51) != 51) return 12;
    // Only the row whose lock outlived the transaction is still locked.
    if (CodeOf([&] { c->LockRecord(kept); }) != KURA_RECLOCKFAILED) return 13;
    for (int32_t n : {2, 25, 50}) {
      c->LockRecord(n);
      c->UnlockRecord(n);
    }
    Child::Current()->Send('2');
    Child::Current()->Receive();  // unlocked
    c->LockRecord(kept);
    c->UnlockRecord(kept);
    d->CloseTable(c);
    return 0;
  });
  ASSERT_EQ(other.Receive(), '1');
  t->CommitTransaction(false);
  other.Send('c');
  ASSERT_EQ(other.Receive(), '2');
  t->UnlockRecord(kept);
  other.Send('u');
  EXPECT_EQ(other.Wait(), 0);
  EXPECT_EQ(t->OSLockedRecords().size(), 0u);
  FDirectory->CloseTable(t);
}

TEST_F(TransactionLockTest, APendingUnitOfADeadWriterIsCompletedBeforeTheTransactionReadsWithoutChecks) {
  // A writer that dies between journaling and applying its unit leaves it pending; the
  // transaction lock completes it, so the reads that follow without checks see the change.
  TDataTable *t = FDirectory->OpenTable("shared", false, false, false, false);
  PostRecord(*t, "row", 1);
  EXPECT_EQ(ReadValue(*t, 1), 1);
  Child writer([&] {
    TDataDirectory *d = ChildDirectory(FDir);
    TDataTable *c = d->OpenTable("shared", false, false, false, false);
    PostJournalTestHooks().StopAfterWrites = 1;  // the journal is written, nothing else
    PostJournalTestHooks().Stop = [] { _exit(0); };
    ModifyRecord(*c, 1, 77);
    return 1;
  });
  EXPECT_EQ(writer.Wait(), 0);
  t->StartTransaction();
  t->ReadLock();
  t->ReadUnlock();
  EXPECT_EQ(ReadValue(*t, 1), 77);
  AppendRow(*t, 2, false);
  t->CommitTransaction(false);
  Child reader([&] {
    TDataDirectory *d = ChildDirectory(FDir);
    TDataTable *c = d->OpenTable("shared", false, false, false, false);
    return SlotsSeen(*c) == 2 && ReadValue(*c, 1) == 77 && ReadValue(*c, 2) == 2 ? 0 : 1;
  });
  EXPECT_EQ(reader.Wait(), 0);
  FDirectory->CloseTable(t);
}

TEST_F(EngineTest, PostponedUnlocksGoBackInRunsAndLeaveTheOtherLocksHeld) {
  TDataDirectory *m = DefaultSession().OpenDataDirectory("Memory", "");
  m->CloseTable(m->CreateTable("runs", NumberedDefinition(), true));
  TDataTable *t = m->OpenTable("runs", false, false, true, false);
  for (int k = 1; k <= 12; ++k) PostRecord(*t, "r", k);
  TDataSession &other = CreateSession();
  other.Settings.LockRetryCount = 0;
  other.Settings.LockWaitTime = 1;
  TDataDirectory *m2 = other.OpenDataDirectory("Memory", "");
  TDataTable *t2 = m2->OpenTable("runs", false, false, true, false);
  auto lockable = [&](int32_t n) {
    if (CodeOf([&] { t2->LockRecord(n); }) != 0) return false;
    t2->UnlockRecord(n);
    return true;
  };
  t2->LockRecord(8);  // another session's lock among the ones released
  t->StartTransaction();
  const std::vector<int32_t> released = {2, 3, 4, 5, 7, 9, 11, 12};
  for (int32_t n : released) {
    t->LockRecord(n);
    t->UnlockRecord(n);  // postponed to the end of the transaction
  }
  for (int32_t n : {1, 6, 10}) t->LockRecord(n);  // next to the runs, held on
  EXPECT_FALSE(lockable(3));
  t->CommitTransaction(false);
  for (int32_t n : released) EXPECT_TRUE(lockable(n)) << n;
  for (int32_t n : {1, 6, 10}) EXPECT_FALSE(lockable(n)) << n;
  EXPECT_EQ(CodeOf([&] { t->LockRecord(8); }), KURA_RECLOCKFAILED);
  t2->UnlockRecord(8);
  for (int32_t n : {1, 6, 10}) t->UnlockRecord(n);
  for (int32_t n : {1, 6, 10}) EXPECT_TRUE(lockable(n)) << n;
  m2->CloseTable(t2);
  other.CloseDataDirectory(m2);
  DestroySession(&other);
  m->CloseTable(t);
}

TEST_F(TransactionLockTest, ManyRecordLocksAreCoveredAndGoBackButForTheLocksThatOutliveTheTransaction) {
  DefaultSession().Settings.LockRetryCount = 0;
  DefaultSession().Settings.LockWaitTime = 1;
  TDataTable *t = FDirectory->OpenTable("shared", false, false, false, false);
  for (int k = 1; k <= 400; ++k) PostRecord(*t, "r", k);
  // Another user's lock taken before the cover (another session of this process, and another
  // process) stays theirs; the transaction falls back to single locks where a cover cannot be had.
  for (const bool otherHoldsALock : {false, true}) {
    SCOPED_TRACE(otherHoldsALock ? "another user holds record 2" : "no other lock");
    TDataSession &other = CreateSession();
    other.Settings.LockRetryCount = 0;
    other.Settings.LockWaitTime = 1;
    TDataTable *t2 = other.OpenDataDirectory("test", FDir.Path())->OpenTable("shared", false, false, false, false);
    auto lockable = [&](int32_t n) {
      if (CodeOf([&] { t2->LockRecord(n); }) != 0) return false;
      t2->UnlockRecord(n);
      return true;
    };
    if (otherHoldsALock) t2->LockRecord(2);
    const int32_t kept = 397;  // locked in the transaction and held on after it
    t->StartTransaction();
    for (int32_t n = 3; n <= 300; n += 3) {
      t->LockRecord(n);
      t->UnlockRecord(n);  // postponed to the end of the transaction
    }
    t->LockRecord(kept);
    EXPECT_FALSE(lockable(150));
    // With the cover held, untouched records are locked too; without it they stay free.
    EXPECT_EQ(lockable(301), otherHoldsALock);
    if (otherHoldsALock) EXPECT_EQ(CodeOf([&] { t->LockRecord(2); }), KURA_RECLOCKFAILED);
    Child process([&] {
      TDataDirectory *d = ChildDirectory(FDir);
      TDataTable *c = d->OpenTable("shared", false, false, false, false);
      const bool untouchedFree = CodeOf([&] { c->LockRecord(302); }) == 0;
      if (untouchedFree) c->UnlockRecord(302);
      if (untouchedFree != otherHoldsALock) return 10;
      if (CodeOf([&] { c->LockRecord(3); }) != KURA_RECLOCKFAILED) return 11;
      Child::Current()->Send('1');
      Child::Current()->Receive();  // committed
      for (int32_t n : {1, 3, 150, 300, 302, 400}) {
        if (CodeOf([&] { c->LockRecord(n); }) != 0) return 20 + n % 100;
        c->UnlockRecord(n);
      }
      if (CodeOf([&] { c->LockRecord(kept); }) != KURA_RECLOCKFAILED) return 12;
      if (CodeOf([&] { c->LockRecord(2); }) != (otherHoldsALock ? KURA_RECLOCKFAILED : 0)) return 13;
      d->CloseTable(c);
      return 0;
    });
    ASSERT_EQ(process.Receive(), '1');
    t->CommitTransaction(false);
    process.Send('c');
    EXPECT_EQ(process.Wait(), 0);
    EXPECT_TRUE(lockable(150));
    EXPECT_FALSE(lockable(kept));
    EXPECT_EQ(t->OSLockedRecords().size(), 1u);
    t->UnlockRecord(kept);
    EXPECT_TRUE(lockable(kept));
    if (otherHoldsALock) t2->UnlockRecord(2);
    DestroySession(&other);
  }
  FDirectory->CloseTable(t);
}
