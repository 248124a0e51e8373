// Two processes on one table: record locks, exclusive opens, the write semaphore and change
// counters. The child is forked and starts its own engine; a pipe keeps the steps in order.
#include <gtest/gtest.h>

#include "engine/errors/EngineError.h"
#include "engine/file/LockRanges.h"
#include "engine/table/DataSession.h"
#include "tests/engine/TableTestSupport.h"
#include "tests/engine/TestSupport.h"

using namespace kura;
using namespace kura::test;

namespace {

class ProcessTest : public SharedTableTest {};

}  // namespace

TEST_F(ProcessTest, RecordLockHeldByAnotherProcessFailsAfterRetryCountPlusOneTries) {
  TDataTable *t = FDirectory->OpenTable("shared", false, false, false, false);
  PostRecord(*t, "one", 1);
  PostRecord(*t, "two", 2);
  Child child([&] {
    TDataDirectory *d = ChildDirectory(FDir);
    TDataTable *c = d->OpenTable("shared", false, false, false, false);
    c->LockRecord(2);
    Child::Current()->Send('L');
    Child::Current()->Receive();  // until the parent has tried
    c->UnlockRecord(2);
    Child::Current()->Send('U');
    Child::Current()->Receive();
    return 0;
  });
  ASSERT_EQ(child.Receive(), 'L');
  DefaultSession().Settings.LockRetryCount = 4;
  std::string message;
  try {
    t->LockRecord(2);
  } catch (const EKuraEngineError &e) {
    message = e.what();
  }
  EXPECT_EQ(message, "Kura Engine Error # 10258 Record in the table 'shared' is in use by another user");
  EXPECT_EQ(t->LastLockAttempts(), 5);
  EXPECT_FALSE(t->HoldsReadLock());  // never left holding the read lock while failing
  t->LockRecord(1);                  // other records are free
  t->UnlockRecord(1);
  child.Send('t');
  ASSERT_EQ(child.Receive(), 'U');
  EXPECT_NO_THROW(t->LockRecord(2));
  t->UnlockRecord(2);
  child.Send('x');
  EXPECT_EQ(child.Wait(), 0);
  FDirectory->CloseTable(t);
}

TEST_F(ProcessTest, ExclusiveOpenBlocksTheOtherProcess) {
  TDataTable *t = FDirectory->OpenTable("shared", true, false, false, false);
  Child shared([&] {
    TDataDirectory *d = ChildDirectory(FDir);
    std::string message;
    try {
      d->OpenTable("shared", false, false, false, false);
    } catch (const EKuraEngineError &e) {
      message = e.EngineMessage();
    }
    return message.find("Access denied to table '") == 0 ? 0 : 1;
  });
  EXPECT_EQ(shared.Wait(), 0);
  FDirectory->CloseTable(t);
  t = FDirectory->OpenTable("shared", false, false, false, false);
  Child exclusive([&] {
    TDataDirectory *d = ChildDirectory(FDir);
    unsigned blocked = CodeOf([&] { d->OpenTable("shared", true, false, false, false); });
    TDataTable *c = d->OpenTable("shared", false, false, false, false);  // shared with shared
    d->CloseTable(c);
    return blocked == KURA_OSEACCES ? 0 : 1;
  });
  EXPECT_EQ(exclusive.Wait(), 0);
  FDirectory->CloseTable(t);
  // Once nobody has it open, the other process gets it exclusively.
  Child after([&] {
    TDataDirectory *d = ChildDirectory(FDir);
    TDataTable *c = d->OpenTable("shared", true, false, false, false);
    d->CloseTable(c);
    return 0;
  });
  EXPECT_EQ(after.Wait(), 0);
}

TEST_F(ProcessTest, WritesOfOneProcessAreSeenByTheOtherThroughTheChangeCounters) {
  TDataTable *t = FDirectory->OpenTable("shared", false, false, false, false);
  PostRecord(*t, "one", 1);
  EXPECT_EQ(ReadValue(*t, 1), 1);
  Child writer([&] {
    TDataDirectory *d = ChildDirectory(FDir);
    TDataTable *c = d->OpenTable("shared", false, false, false, false);
    ModifyRecord(*c, 1, 111);
    PostRecord(*c, "two", 2);
    d->CloseTable(c);
    return 0;
  });
  EXPECT_EQ(writer.Wait(), 0);
  EXPECT_EQ(t->DataFile().SlotCount(), 1);  // nothing seen before a check
  uint64_t serial = t->ChangeSerial();
  EXPECT_TRUE(t->ReadLock());
  t->ReadUnlock();
  EXPECT_GT(t->ChangeSerial(), serial);
  EXPECT_EQ(t->DataFile().SlotCount(), 2);
  EXPECT_EQ(ReadValue(*t, 1), 111);
  EXPECT_EQ(ReadValue(*t, 2), 2);
  FDirectory->CloseTable(t);
}

TEST_F(ProcessTest, DiskReadsCheckForChangesFirstUnlessStrict) {
  TDataTable *t = FDirectory->OpenTable("shared", false, false, false, false);
  for (int k = 1; k <= 3; ++k) PostRecord(*t, "r", k);
  t->DataFile().DropCache();
  Child writer([&] {
    TDataDirectory *d = ChildDirectory(FDir);
    TDataTable *c = d->OpenTable("shared", false, false, false, false);
    ModifyRecord(*c, 2, 22);
    d->CloseTable(c);
    return 0;
  });
  EXPECT_EQ(writer.Wait(), 0);
  // The first read from disk notices the change and asks the caller to start again.
  EXPECT_EQ(t->DataFile().GetRecord(2), nullptr);
  EXPECT_EQ(ReadValue(*t, 2), 22);
  // With strict detection the cursor checks before every read; a disk read itself does not.
  DefaultSession().Settings.StrictChangeDetection = true;
  t->DataFile().DropCache();
  Child again([&] {
    TDataDirectory *d = ChildDirectory(FDir);
    TDataTable *c = d->OpenTable("shared", false, false, false, false);
    ModifyRecord(*c, 3, 33);
    d->CloseTable(c);
    return 0;
  });
  EXPECT_EQ(again.Wait(), 0);
  TRecord *r = t->DataFile().GetRecord(3);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(GetIntegerField(t->DataFile().Field(3), r->Image.data()), 33);
  t->DataFile().ReleaseRecord(r);
  EXPECT_TRUE(t->ReadLock());  // the header change is still to be seen
  t->ReadUnlock();
  FDirectory->CloseTable(t);
}

TEST_F(ProcessTest, WriteSemaphoreHeldElsewhereTimesOut) {
  TDataTable *t = FDirectory->OpenTable("shared", false, false, false, false);
  Child holder([&] {
    TDataDirectory *d = ChildDirectory(FDir);
    TDataTable *c = d->OpenTable("shared", false, false, false, false);
    c->StartTransaction();  // the transaction lock is the write semaphore
    Child::Current()->Send('T');
    Child::Current()->Receive();
    c->RollbackTransaction();
    Child::Current()->Send('R');
    Child::Current()->Receive();
    return 0;
  });
  ASSERT_EQ(holder.Receive(), 'T');
  TLockRetrySettings saved = LockRetrySettings();
  LockRetrySettings().Attempts = 4;
  LockRetrySettings().PauseMs = 1;
  std::string message;
  try {
    t->WriteLock();
  } catch (const EKuraEngineError &e) {
    message = e.EngineMessage();
  }
  EXPECT_EQ(message, "General lock failure with the table 'shared'");
  EXPECT_FALSE(t->HoldsWriteLock());
  holder.Send('r');
  ASSERT_EQ(holder.Receive(), 'R');
  EXPECT_NO_THROW(t->WriteLock());
  t->WriteUnlock();
  LockRetrySettings() = saved;
  holder.Send('x');
  EXPECT_EQ(holder.Wait(), 0);
  FDirectory->CloseTable(t);
}

TEST_F(ProcessTest, TableWrittenAndClosedReadsBackIdenticallyInAFreshProcess) {
  TDataTable *t = FDirectory->OpenTable("shared", true, false, false, false);
  for (int k = 1; k <= 300; ++k) PostRecord(*t, "row " + std::to_string(k), k * k);
  FDirectory->CloseTable(t);
  const std::vector<uint8_t> bytes = ReadWholeFile(FDir.File("shared.DAT"));
  Child reader([&] {
    TDataDirectory *d = ChildDirectory(FDir);
    TDataTable *c = d->OpenTable("shared", false, true, false, false);
    int bad = 0;
    for (int k = 1; k <= 300; ++k) {
      TRecord *r = c->DataFile().GetRecord(k);
      if (!r) return 50;
      if (GetStringField(c->DataFile().Field(2), r->Image.data()) != "row " + std::to_string(k)) ++bad;
      if (GetIntegerField(c->DataFile().Field(3), r->Image.data()) != k * k) ++bad;
      if (GetIntegerField(c->DataFile().Field(1), r->Image.data()) != k) ++bad;
      c->DataFile().ReleaseRecord(r);
    }
    d->CloseTable(c);
    return bad;
  });
  EXPECT_EQ(reader.Wait(), 0);
  EXPECT_EQ(ReadWholeFile(FDir.File("shared.DAT")), bytes);
}

TEST_F(ProcessTest, ReadersExcludeWritersOfOtherProcessesButNotOtherReaders) {
  TDataTable *t = FDirectory->OpenTable("shared", false, false, false, false);
  ASSERT_NE(t->IndexFile(), nullptr);  // the lock ranges live in the index file
  t->ReadLock();
  Child other([&] {
    TDataDirectory *d = ChildDirectory(FDir);
    TDataTable *c = d->OpenTable("shared", false, false, false, false);
    LockRetrySettings().Attempts = 3;
    LockRetrySettings().PauseMs = 1;
    unsigned writer = CodeOf([&] { c->WriteLock(); });
    c->ReadLock();  // another reader is fine
    c->ReadUnlock();
    Child::Current()->Send('1');
    Child::Current()->Receive();  // the parent released its read lock
    unsigned later = CodeOf([&] { c->WriteLock(); });
    c->WriteUnlock();
    d->CloseTable(c);
    return (writer == KURA_LOCKTIMEOUT && later == 0) ? 0 : 1;
  });
  EXPECT_EQ(other.Receive(), '1');
  t->ReadUnlock();
  other.Send('2');
  EXPECT_EQ(other.Wait(), 0);
  FDirectory->CloseTable(t);
}
