// Two processes on one table with Blob fields: values written by one are read by a freshly
// started other, changes are seen through the blob header's change counter, and the blob
// file's read and write lock ranges exclude each other. The child is forked and starts its own
// engine; a pipe keeps the steps in order.
#include <gtest/gtest.h>

#include "engine/file/LockRanges.h"
#include "tests/engine_blob/BlobTableSupport.h"

using namespace blobtable;

namespace {

class BlobProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartTestEngine();
    FDirectory = DefaultSession().OpenDataDirectory("test", FDir.Path());
  }
  void TearDown() override {
    LockRetrySettings() = TLockRetrySettings{};
    StopEngine();
  }
  TDataTable *CreateShared(const TDataFileDefinition &def) {
    FDirectory->CloseTable(FDirectory->CreateTable("shared", def, false));
    return FDirectory->OpenTable("shared", false, false, false, false);
  }
  TempDir FDir;
  TDataDirectory *FDirectory = nullptr;
};

// Exit status of a child that compares a record with what it expects (0 = same).
int CheckRecord(const std::string &path, int32_t n, int32_t id, const std::vector<uint8_t> &notes,
                const std::vector<uint8_t> &picture) {
  TDataDirectory *d = ChildDirectory(path);
  TDataTable *t = d->OpenTable("shared", false, false, false, false);
  StoredRecord r = ReadBlobRecord(*t, n);
  int status = 0;
  if (r.Id != id) status = 1;
  else if (r.Notes != notes) status = 2;
  else if (r.Picture != picture) status = 3;
  d->CloseTable(t);
  return status;
}

}  // namespace

TEST_F(BlobProcessTest, AFreshProcessReadsTheValuesBack) {
  TDataTable *t = CreateShared(BlobDefinition(256));
  const int32_t a = PostBlobRecord(*t, 10, Pattern(20000, 1), Text("ishi"));
  const int32_t b = PostBlobRecord(*t, 20, {}, Pattern(233, 2));
  FDirectory->CloseTable(t);
  Child first([&] { return CheckRecord(FDir.Path(), a, 10, Pattern(20000, 1), Text("ishi")); });
  EXPECT_EQ(first.Wait(), 0);
  Child second([&] { return CheckRecord(FDir.Path(), b, 20, {}, Pattern(233, 2)); });
  EXPECT_EQ(second.Wait(), 0);
}

TEST_F(BlobProcessTest, EncryptedValuesReadBackInAFreshProcess) {
  TDataTable *t = CreateShared(BlobDefinition(512, true));
  const int32_t n = PostBlobRecord(*t, 5, Pattern(3000, 7), Text("himitsu"));
  FDirectory->CloseTable(t);
  Child child([&] { return CheckRecord(FDir.Path(), n, 5, Pattern(3000, 7), Text("himitsu")); });
  EXPECT_EQ(child.Wait(), 0);
}

TEST_F(BlobProcessTest, AChangeByAnotherProcessIsSeenThroughTheChangeCounter) {
  TDataTable *t = CreateShared(BlobDefinition());
  const int32_t n = PostBlobRecord(*t, 1, Pattern(1400, 1), Text("old"));
  // The parent has the blocks cached.
  EXPECT_EQ(ReadBlobRecord(*t, n).Notes, Pattern(1400, 1));
  EXPECT_GT(BlobStoreOf(*t)->Cache().Count(), 0u);
  const int32_t counter = BlobStoreOf(*t)->Header().ChangeCounter;

  Child child([&] {
    TDataDirectory *d = ChildDirectory(FDir.Path());
    TDataTable *c = d->OpenTable("shared", false, false, false, false);
    // Same lengths: the chains are rewritten in place, so only the blocks and the counter change.
    ModifyBlobRecord(*c, n, Pattern(1400, 99), Text("new"));
    d->CloseTable(c);
    return 0;
  });
  ASSERT_EQ(child.Wait(), 0);

  EXPECT_TRUE(t->ReadLock());  // the change check sees it
  EXPECT_GT(BlobStoreOf(*t)->Header().ChangeCounter, counter);
  t->ReadUnlock();
  StoredRecord r = ReadBlobRecord(*t, n);
  EXPECT_EQ(r.Notes, Pattern(1400, 99));
  EXPECT_EQ(r.Picture, Text("new"));
  FDirectory->CloseTable(t);
}

TEST_F(BlobProcessTest, ReadersOfTheBlobFileKeepWritersOut) {
  TDataTable *t = CreateShared(BlobDefinition());
  PostBlobRecord(*t, 1, Text("a"), {});
  const std::string blobName = t->BlobFileName();
  LockRetrySettings().Attempts = 5;

  // Another process holds one read byte of the blob file only.
  Child reader([&] {
    StartTestEngine();
    TBlobFile file;
    file.Open(blobName, false, false, false, false);
    if (!file.LockRange(BlobReadLockOffset(4711), 1)) return 1;
    Child::Current()->Send('R');
    Child::Current()->Receive();
    file.UnlockRange(BlobReadLockOffset(4711), 1);
    Child::Current()->Send('U');
    Child::Current()->Receive();
    return 0;
  });
  ASSERT_EQ(reader.Receive(), 'R');
  EXPECT_EQ(CodeOf([&] { t->WriteLock(); }), KURA_LOCKTIMEOUT);
  EXPECT_FALSE(t->HoldsWriteLock());
  EXPECT_NO_THROW(t->ReadLock());  // readers do not exclude each other
  t->ReadUnlock();
  reader.Send('g');
  ASSERT_EQ(reader.Receive(), 'U');
  EXPECT_NO_THROW(t->WriteLock());
  t->WriteUnlock();
  reader.Send('x');
  EXPECT_EQ(reader.Wait(), 0);

  // While this table holds its read lock, the blob file's write range cannot be taken.
  t->ReadLock();
  Child writer([&] {
    StartTestEngine();
    TBlobFile file;
    file.Open(blobName, false, false, false, false);
    const bool locked = file.LockRange(BlobWriteLockOffset, BlobWriteLockLength);
    if (locked) file.UnlockRange(BlobWriteLockOffset, BlobWriteLockLength);
    return locked ? 1 : 0;
  });
  EXPECT_EQ(writer.Wait(), 0);
  t->ReadUnlock();
  Child after([&] {
    StartTestEngine();
    TBlobFile file;
    file.Open(blobName, false, false, false, false);
    const bool locked = file.LockRange(BlobWriteLockOffset, BlobWriteLockLength);
    if (locked) file.UnlockRange(BlobWriteLockOffset, BlobWriteLockLength);
    return locked ? 0 : 1;
  });
  EXPECT_EQ(after.Wait(), 0);
  FDirectory->CloseTable(t);
}
