// Engine start/stop, sessions, directories and tables within one process.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "engine/errors/EngineError.h"
#include "engine/file/FileHandler.h"
#include "engine/file/FileList.h"
#include "engine/table/DataSession.h"
#include "tests/engine/TableTestSupport.h"
#include "tests/engine/TestSupport.h"

using namespace kura;
using namespace kura::test;

namespace {
std::string MessageOf(const std::function<void()> &body) {
  try {
    body();
  } catch (const EKuraEngineError &e) {
    return e.what();
  }
  return "nothing raised";
}
}  // namespace

TEST(Engine, DefaultSessionNeedsARunningEngine) {
  StopEngine();
  EXPECT_EQ(MessageOf([] { DefaultSession(); }), "Kura Engine Error # 10758 The database engine is not initialized");
  StartEngine();
  TDataSession &session = DefaultSession();
  EXPECT_EQ(&session, &DefaultSession());
  EXPECT_EQ(session.Settings.LockRetryCount, 15);
  EXPECT_EQ(session.Settings.LockWaitTime, 100);
  EXPECT_EQ(session.Settings.DataBufferSize, 16384u);
  EXPECT_EQ(session.Settings.DataBufferCount, 8192u);
  EXPECT_FALSE(session.Settings.StrictChangeDetection);
  EXPECT_FALSE(session.Settings.ForceBufferFlush);
  EXPECT_EQ(session.PrivateDir().back(), '/');
  session.SetPrivateDir("");
  EXPECT_EQ(session.PrivateDir(), session.CreationDirectory());
  StopEngine();
  EXPECT_FALSE(EngineStarted());
}

TEST_F(EngineTest, DirectoriesAreSharedByPathAndCounted) {
  TDataSession &session = DefaultSession();
  TDataDirectory *a = session.OpenDataDirectory("Memory", "");
  TDataDirectory *b = session.OpenDataDirectory("MEMORY", "");
  EXPECT_EQ(a, b);
  EXPECT_EQ(a->ReferenceCount(), 2);
  EXPECT_TRUE(a->IsMemory());
  EXPECT_EQ(a->Path(), "");
  TDataDirectory *k1 = session.OpenDataDirectory("kyozai", " kyozai ");
  TDataDirectory *k2 = session.OpenDataDirectory("other name", "KYOZAI/");
  EXPECT_EQ(k1, k2);
  EXPECT_EQ(k1->Path(), "kyozai/");  // relative paths stay relative
  TDataDirectory *here = session.OpenDataDirectory("here", "");
  EXPECT_EQ(here->Path(), session.CreationDirectory());
  session.CloseDataDirectory(a);
  EXPECT_EQ(session.DirectoryCount(), 3u);
  session.CloseDataDirectory(b);
  EXPECT_EQ(session.DirectoryCount(), 2u);
}

TEST_F(EngineTest, PasswordsAreKeptCaseSensitively) {
  TDataSession &session = DefaultSession();
  session.AddPassword("");
  session.AddPassword("Kuro");
  session.AddPassword("Kuro");
  EXPECT_TRUE(session.HasPassword("Kuro"));
  EXPECT_FALSE(session.HasPassword("kuro"));
  session.AddPassword("shiro");
  session.RemovePassword("Kuro");
  EXPECT_FALSE(session.HasPassword("Kuro"));
  session.RemoveAllPasswords();
  EXPECT_FALSE(session.HasPassword("shiro"));
}

TEST_F(EngineTest, TwoUsersShareOneTableAndClosingTheFirstKeepsTheFiles) {
  TempDir dir;
  TDataDirectory *d = DefaultSession().OpenDataDirectory("test", dir.Path());
  TDataTable *created = d->CreateTable("figure", NumberedDefinition(), false);
  PostRecord(*created, "first", 1);
  d->CloseTable(created);
  EXPECT_EQ(d->TableCount(), 0u);
  TDataTable *a = d->OpenTable("figure", false, false, false, false);
  TDataTable *b = d->OpenTable(" FIGURE ", false, false, false, false);
  EXPECT_EQ(a, b);
  EXPECT_EQ(a->OpenCount(), 2);
  d->CloseTable(a);
  EXPECT_TRUE(b->FilesOpen());
  EXPECT_EQ(ReadValue(*b, 1), 1);
  EXPECT_EQ(MessageOf([&] { d->OpenTable("figure", true, false, false, false); }),
            "Kura Engine Error # 11013 Access denied to table 'figure'");
  d->CloseTable(b);
  TDataTable *x = d->OpenTable("figure", true, false, false, false);
  EXPECT_EQ(CodeOf([&] { d->OpenTable("figure", false, false, false, false); }), KURA_OSEACCES);
  EXPECT_EQ(CodeOf([&] { d->DeleteTable("figure", false); }), KURA_OSEACCES);
  EXPECT_EQ(CodeOf([&] { d->CreateTable("figure", NumberedDefinition(), false); }), KURA_OSEACCES);
  d->CloseTable(x);
}

TEST_F(EngineTest, ExistsDeleteRenameAndUniqueNames) {
  TempDir dir;
  TDataDirectory *d = DefaultSession().OpenDataDirectory("test", dir.Path());
  EXPECT_FALSE(d->TableExists("mokuji", false));
  d->CloseTable(d->CreateTable("mokuji", NumberedDefinition(), false));
  EXPECT_TRUE(d->TableExists("mokuji", false));
  EXPECT_TRUE(d->TableExists("MOKUJI.dat", false));
  d->RenameTable("mokuji", false, "contents.txt");
  EXPECT_FALSE(d->TableExists("mokuji", false));
  EXPECT_TRUE(TFileHandler::Exists(dir.File("contents.DAT"), false));
  EXPECT_EQ(CodeOf([&] { d->OpenTable("mokuji", false, false, false, false); }), KURA_OSENOENT);
  d->DeleteTable("contents", false);
  EXPECT_FALSE(d->TableExists("contents", false));
  EXPECT_EQ(CodeOf([&] { d->DeleteTable("contents", false); }), KURA_OSENOENT);
  std::string unique = d->UniqueTableName(false);
  EXPECT_EQ(unique.substr(unique.size() - 4), ".DAT");
  d->CloseTable(d->CreateTable(unique, NumberedDefinition(), false));
  std::string next = d->UniqueTableName(false);
  EXPECT_NE(next, unique);
  EXPECT_EQ(unique.substr(0, unique.size() - 5), next.substr(0, next.size() - 5));
}

TEST_F(EngineTest, MemoryTablesLiveUntilDeleted) {
  TDataDirectory *m = DefaultSession().OpenDataDirectory("Memory", "");
  EXPECT_EQ(CodeOf([&] { m->OpenTable("scratch", false, false, false, false); }), KURA_OSENOENT);
  TDataTable *t = m->CreateTable("scratch", NumberedDefinition(), true);
  EXPECT_TRUE(t->InMemory());
  PostRecord(*t, "kept", 7);
  m->CloseTable(t);
  EXPECT_TRUE(m->TableExists("scratch", true));
  t = m->OpenTable("scratch", false, false, true, false);
  EXPECT_EQ(ReadValue(*t, 1), 7);
  m->CloseTable(t);
  m->DeleteTable("scratch", true);
  EXPECT_FALSE(m->TableExists("scratch", true));
}

TEST_F(EngineTest, ReadOnlyAttributeMakesTheTableReadOnly) {
  TempDir dir;
  TDataDirectory *d = DefaultSession().OpenDataDirectory("test", dir.Path());
  d->CloseTable(d->CreateTable("ro", NumberedDefinition(), false));
  chmod(dir.File("ro.DAT").c_str(), 0444);
  TDataTable *t = d->OpenTable("ro", false, false, false, false);
  EXPECT_TRUE(t->ReadOnly());
  EXPECT_TRUE(t->ReadOnlyForced());
  EXPECT_EQ(CodeOf([&] { t->WriteLock(); }), KURA_OSEACCES);
  t->LockRecord(1);  // read-only forced tables skip record locking
  t->StartTransaction();
  EXPECT_FALSE(t->InTransaction());
  d->CloseTable(t);
  // A read-only open of a writable file is read-only but not forced.
  chmod(dir.File("ro.DAT").c_str(), 0644);
  t = d->OpenTable("ro", false, true, false, false);
  EXPECT_TRUE(t->ReadOnly());
  EXPECT_FALSE(t->ReadOnlyForced());
  d->CloseTable(t);
}

TEST_F(EngineTest, SharedTablesWriteThroughExclusiveTablesWriteAtClose) {
  TempDir dir;
  TDataDirectory *d = DefaultSession().OpenDataDirectory("test", dir.Path());
  d->CloseTable(d->CreateTable("t", NumberedDefinition(), false));
  const size_t empty = ReadWholeFile(dir.File("t.DAT")).size();
  TDataTable *shared = d->OpenTable("t", false, false, false, false);
  PostRecord(*shared, "a", 1);
  const size_t recordSize = shared->DataFile().RecordSize();
  std::vector<uint8_t> afterShared = ReadWholeFile(dir.File("t.DAT"));
  EXPECT_EQ(afterShared.size(), empty + shared->DataFile().RecordSize());
  EXPECT_EQ(GetI32(afterShared.data()), 1);  // header written once
  d->CloseTable(shared);
  TDataTable *exclusive = d->OpenTable("t", true, false, false, false);
  PostRecord(*exclusive, "b", 2);
  PostRecord(*exclusive, "c", 3);
  EXPECT_EQ(ReadWholeFile(dir.File("t.DAT")), afterShared);
  EXPECT_EQ(exclusive->DataFile().ChangeCounter(), 3);  // counted in memory
  d->CloseTable(exclusive);  // the table object is gone after its last close
  std::vector<uint8_t> closed = ReadWholeFile(dir.File("t.DAT"));
  EXPECT_EQ(closed.size(), empty + 3u * recordSize);
  EXPECT_EQ(GetI32(closed.data()), 4);
}

TEST_F(EngineTest, RolledBackTransactionLeavesTheFilesByteForByte) {
  TempDir dir;
  TDataDirectory *d = DefaultSession().OpenDataDirectory("test", dir.Path());
  TDataTable *t = d->CreateTable("tx", NumberedDefinition(), false);
  d->CloseTable(t);
  t = d->OpenTable("tx", false, false, false, false);
  for (int k = 1; k <= 20; ++k) PostRecord(*t, "row", k);
  DeleteRecord(*t, 5);
  const std::vector<uint8_t> before = ReadWholeFile(dir.File("tx.DAT"));
  const std::vector<uint8_t> indexBefore = ReadWholeFile(dir.File("tx.IDX"));  // empty without one
  d->StartTransaction();
  EXPECT_TRUE(t->InTransaction());
  EXPECT_TRUE(t->HoldsTransactionLock());
  for (int k = 0; k < 500; ++k) PostRecord(*t, "new", 100 + k);  // beyond the cache: it grows
  ModifyRecord(*t, 3, -3);
  DeleteRecord(*t, 7);
  EXPECT_EQ(t->PostponedUnlocks().count(3), 1u);
  EXPECT_EQ(ReadValue(*t, 3), -3);
  EXPECT_EQ(ReadWholeFile(dir.File("tx.DAT")), before);
  EXPECT_EQ(ReadWholeFile(dir.File("tx.IDX")), indexBefore);
  d->RollbackTransaction();
  EXPECT_FALSE(t->InTransaction());
  EXPECT_TRUE(t->OSLockedRecords().empty());
  EXPECT_EQ(ReadWholeFile(dir.File("tx.DAT")), before);
  EXPECT_EQ(ReadWholeFile(dir.File("tx.IDX")), indexBefore);
  EXPECT_EQ(t->DataFile().SlotCount(), 20);
  EXPECT_EQ(ReadValue(*t, 3), 3);
  // Committed changes reach the file.
  d->StartTransaction();
  PostRecord(*t, "kept", 42);
  ModifyRecord(*t, 3, 33);
  d->CommitTransaction(true);
  EXPECT_FALSE(t->HoldsTransactionLock());
  EXPECT_TRUE(t->OSLockedRecords().empty());
  d->CloseTable(t);
  t = d->OpenTable("tx", false, false, false, false);
  // With a primary key the freed slot 5 is reused; without one the record gets a new slot.
  const bool reused = !t->NoPrimaryKey();
  EXPECT_EQ(t->DataFile().SlotCount(), reused ? 20 : 21);
  EXPECT_EQ(ReadValue(*t, reused ? 5 : 21), 42);
  EXPECT_EQ(ReadValue(*t, 3), 33);
  d->CloseTable(t);
}

TEST_F(EngineTest, TemporaryTablesDisappearWithTheirLastClose) {
  TempDir dir;
  TDataDirectory *d = DefaultSession().OpenDataDirectory("test", dir.Path());
  d->CloseTable(d->CreateTable("tmp", NumberedDefinition(), false));
  TDataTable *t = d->OpenTable("tmp", true, false, false, true);
  PostRecord(*t, "gone", 1);
  d->CloseTable(t);
  EXPECT_FALSE(TFileHandler::Exists(dir.File("tmp.DAT"), false));
  // Stale companions of an earlier table of the same name go with a new create.
  WriteWholeFile(dir.File("tmp.IDX"), {1, 2, 3});
  WriteWholeFile(dir.File("tmp.BLB"), {4, 5, 6});
  d->CloseTable(d->CreateTable("tmp", NumberedDefinition(), false));
  EXPECT_NE(ReadWholeFile(dir.File("tmp.IDX")), (std::vector<uint8_t>{1, 2, 3}));  // new or gone
  EXPECT_FALSE(TFileHandler::Exists(dir.File("tmp.BLB"), false));  // no blob fields: gone
}

TEST_F(EngineTest, EmptyingNeedsExclusiveUseAndWritesOnlyTheHeaderAndDescriptors) {
  TempDir dir;
  TDataDirectory *d = DefaultSession().OpenDataDirectory("test", dir.Path());
  d->CloseTable(d->CreateTable("e", NumberedDefinition(), false));
  TDataTable *shared = d->OpenTable("e", false, false, false, false);
  PostRecord(*shared, "x", 1);
  EXPECT_EQ(CodeOf([&] { shared->Empty(); }), KURA_NEEDEXCLACCESS);
  d->CloseTable(shared);
  TDataTable *t = d->OpenTable("e", true, false, false, false);
  t->Empty();
  d->CloseTable(t);
  EXPECT_EQ(ReadWholeFile(dir.File("e.DAT")).size(), 127u + 3 * 768);
}

TEST_F(EngineTest, PinnedRecordsAreWrittenByAPostedChange) {
  TempDir dir;
  TDataDirectory *d = DefaultSession().OpenDataDirectory("test", dir.Path());
  d->CloseTable(d->CreateTable("p", NumberedDefinition(), false));
  TDataTable *t = d->OpenTable("p", false, false, false, false);
  PostRecord(*t, "x", 1);
  TRecord *held = t->DataFile().GetRecord(1);  // a cursor's current record stays pinned
  ModifyRecord(*t, 1, 5);
  t->DataFile().ReleaseRecord(held);
  t->DataFile().DropCache();
  EXPECT_EQ(ReadValue(*t, 1), 5);
  d->CloseTable(t);
}

TEST_F(EngineTest, TablesOpenedInsideATransactionJoinIt) {
  TDataDirectory *m = DefaultSession().OpenDataDirectory("Memory", "");
  m->CloseTable(m->CreateTable("a", NumberedDefinition(), true));
  m->StartTransaction();
  TDataTable *a = m->OpenTable("a", false, false, true, false);
  EXPECT_TRUE(a->InTransaction());
  PostRecord(*a, "x", 1);
  m->CloseTable(a);  // kept while the transaction runs
  EXPECT_EQ(m->TableCount(), 1u);
  m->RollbackTransaction();
  EXPECT_EQ(m->TableCount(), 0u);
  a = m->OpenTable("a", false, false, true, false);
  EXPECT_EQ(a->DataFile().SlotCount(), 0);
  m->CloseTable(a);
}

TEST_F(EngineTest, RecordLocksWithinTheProcessAndUnlockRules) {
  TDataDirectory *m = DefaultSession().OpenDataDirectory("Memory", "");
  TDataTable *t = m->CreateTable("locks", NumberedDefinition(), true);
  m->CloseTable(t);
  t = m->OpenTable("locks", false, false, true, false);
  PostRecord(*t, "a", 1);
  EXPECT_EQ(CodeOf([&] { t->LockRecord(0); }), KURA_RECLOCKFAILED);
  t->LockRecord(1);
  EXPECT_EQ(t->OSLockedRecords().count(1), 1u);
  // A second session's directory has its own table object over the same shared file.
  TDataSession &other = CreateSession();
  other.Settings.LockRetryCount = 2;
  other.Settings.LockWaitTime = 1;
  TDataDirectory *m2 = other.OpenDataDirectory("Memory", "");
  TDataTable *t2 = m2->OpenTable("locks", false, false, true, false);
  EXPECT_NE(t, t2);
  EXPECT_EQ(MessageOf([&] { t2->LockRecord(1); }),
            "Kura Engine Error # 10258 Record in the table 'locks' is in use by another user");
  EXPECT_EQ(t2->LastLockAttempts(), 3);
  t->UnlockRecord(1);
  t2->LockRecord(1);
  t2->UnlockRecord(1);
  m2->CloseTable(t2);
  other.CloseDataDirectory(m2);
  DestroySession(&other);
  m->CloseTable(t);
}

TEST_F(EngineTest, DamagedTablesAreRejectedAtOpen) {
  TempDir dir;
  TDataDirectory *d = DefaultSession().OpenDataDirectory("test", dir.Path());
  d->CloseTable(d->CreateTable("bad", NumberedDefinition(), false));
  std::vector<uint8_t> bytes = ReadWholeFile(dir.File("bad.DAT"));
  bytes.push_back(1);
  WriteWholeFile(dir.File("bad.DAT"), bytes);
  EXPECT_EQ(MessageOf([&] { d->OpenTable("bad", false, false, false, false); }),
            "Kura Engine Error # 8961 Header information corrupt in the table 'bad'");
  EXPECT_EQ(d->TableCount(), 0u);
  EXPECT_EQ(TFileList::Instance().FileCount(), 0u);  // a failed open leaves nothing open
  bytes.pop_back();
  bytes[8] = 4;
  WriteWholeFile(dir.File("bad.DAT"), bytes);
  EXPECT_EQ(MessageOf([&] { d->OpenTable("bad", false, false, false, false); }),
            "Kura Engine Error # 12035 The table 'bad' is not the correct version");
}

TEST_F(EngineTest, ChangeCheckDropsWhatAnotherSessionChanged) {
  TDataDirectory *m = DefaultSession().OpenDataDirectory("Memory", "");
  m->CloseTable(m->CreateTable("shared", NumberedDefinition(), true));
  TDataTable *t = m->OpenTable("shared", false, false, true, false);
  PostRecord(*t, "a", 1);
  TDataSession &other = CreateSession();
  TDataTable *t2 = other.OpenDataDirectory("Memory", "")->OpenTable("shared", false, false, true, false);
  EXPECT_EQ(ReadValue(*t2, 1), 1);
  uint64_t serial = t2->ChangeSerial();
  ModifyRecord(*t, 1, 99);
  EXPECT_EQ(ReadValue(*t2, 1), 1);  // still cached: the cache is only checked under a lock
  EXPECT_TRUE(t2->ReadLock());
  t2->ReadUnlock();
  EXPECT_GT(t2->ChangeSerial(), serial);
  EXPECT_EQ(ReadValue(*t2, 1), 99);
  EXPECT_FALSE(t2->ReadLock());
  t2->ReadUnlock();
  DestroySession(&other);
  m->CloseTable(t);
}
