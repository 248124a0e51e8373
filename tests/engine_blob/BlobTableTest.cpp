// The blob file of a table: created and opened with the table, sized and scrambled as the data
// header says, written through, held back in transactions, emptied, deleted and renamed with
// the table, and refused when its header is damaged.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "engine/blob/BlobByteOrder.h"
#include "engine/errors/EngineError.h"
#include "tests/engine_blob/BlobTableSupport.h"
#include "tests/engine_blob/ErrorCode.h"

using namespace blobtable;

namespace {

class BlobTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartTestEngine();
    FDirectory = DefaultSession().OpenDataDirectory("test", FDir.Path());
  }
  void TearDown() override { StopEngine(); }

  TDataTable *Create(const std::string &name, const TDataFileDefinition &def, bool memory = false) {
    TDataDirectory *d = memory ? MemoryDirectory() : FDirectory;
    d->CloseTable(d->CreateTable(name, def, memory));
    return d->OpenTable(name, false, false, memory, false);
  }
  TDataDirectory *MemoryDirectory() {
    if (!FMemory) FMemory = DefaultSession().OpenDataDirectory(kMemoryDatabaseName, "");
    return FMemory;
  }
  std::string BlobPath(const std::string &table) const { return FDir.File(table + ".BLB"); }

  TempDir FDir;
  TDataDirectory *FDirectory = nullptr;
  TDataDirectory *FMemory = nullptr;
};

}  // namespace

TEST_F(BlobTableTest, TableWithBlobFieldsCreatesAndOpensItsBlobFile) {
  TDataTable *t = Create("memos", BlobDefinition(1024));
  ASSERT_NE(t->BlobFile(), nullptr);
  TBlobStore *store = BlobStoreOf(*t);
  ASSERT_NE(store, nullptr);
  EXPECT_EQ(store->BlockSize(), 1024u);
  EXPECT_EQ(store->BlockCount(), 0);
  EXPECT_EQ(store->Header().Version, BlobFormatVersion);
  EXPECT_EQ(std::filesystem::file_size(BlobPath("memos")), BlobHeaderSize);
  EXPECT_EQ(BlobFieldsOf(*t).size(), 2u);
  EXPECT_EQ(BlobFieldsOf(*t)[1].FieldName, "Picture");
  FDirectory->CloseTable(t);

  // No Blob field: no blob file, and none left over from an earlier table of the name.
  TDataFileDefinition plain;
  plain.Fields = {MakeField("ID", EngineFieldType::Integer)};
  FDirectory->CreateTable("memos", plain, false);  // replaces the table
  EXPECT_FALSE(std::filesystem::exists(BlobPath("memos")));
  TDataTable *p = FDirectory->FindTable("memos", false);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->BlobFile(), nullptr);
  EXPECT_EQ(BlobStoreOf(*p), nullptr);
  FDirectory->CloseTable(p);
}

TEST_F(BlobTableTest, BlockSizeZeroInTheDataHeaderMeans512) {
  FDirectory->CloseTable(FDirectory->CreateTable("old", BlobDefinition(512), false));
  // An older table may carry 0 in the data header's block size.
  std::vector<uint8_t> data = ReadWholeFile(FDir.File("old.DAT"));
  ASSERT_GT(data.size(), 8u);
  blobio::PutInt32(data.data() + 4, 0);
  WriteWholeFile(FDir.File("old.DAT"), data);
  TDataTable *t = FDirectory->OpenTable("old", false, false, false, false);
  EXPECT_EQ(BlobStoreOf(*t)->BlockSize(), 512u);
  const int32_t n = PostBlobRecord(*t, 1, Pattern(1000, 3), {});
  // 494 + 494 + 12 bytes.
  EXPECT_EQ(BlobStoreOf(*t)->BlockCount(), 3);
  EXPECT_EQ(ReadBlobRecord(*t, n).Notes, Pattern(1000, 3));
  FDirectory->CloseTable(t);
  EXPECT_EQ(std::filesystem::file_size(BlobPath("old")), 512u + 3 * 512u);
}

TEST_F(BlobTableTest, CacheIsSizedFromTheSessionSettings) {
  DefaultSession().Settings.BlobBufferSize = 4096;
  TDataTable *t = Create("sized", BlobDefinition(256));
  EXPECT_EQ(BlobStoreOf(*t)->Cache().Capacity(), 16u);  // 4096 / 256
  FDirectory->CloseTable(t);
  DefaultSession().Settings.BlobBufferCount = 5;
  t = FDirectory->OpenTable("sized", false, false, false, false);
  EXPECT_EQ(BlobStoreOf(*t)->Cache().Capacity(), 5u);
  FDirectory->CloseTable(t);
}

TEST_F(BlobTableTest, ValuesWrittenThroughAreOnDiskAtOnceAndSurviveReopen) {
  TDataTable *t = Create("memos", BlobDefinition());
  const int32_t a = PostBlobRecord(*t, 1, Text("kuro"), Pattern(5000, 1));
  const int32_t b = PostBlobRecord(*t, 2, {}, Pattern(494, 2));
  // A shared table writes every post through: blocks and header are in the file now.
  const int32_t blocks = BlobStoreOf(*t)->BlockCount();
  EXPECT_EQ(blocks, 1 + 11 + 1);
  EXPECT_EQ(std::filesystem::file_size(BlobPath("memos")), 512u + blocks * 512u);
  EXPECT_FALSE(BlobStoreOf(*t)->HeaderDirty());
  EXPECT_FALSE(BlobStoreOf(*t)->Cache().HasDirty());
  ModifyBlobRecord(*t, a, Text("shiro"), Pattern(100, 9));  // shortened: blocks freed, not lost
  FDirectory->CloseTable(t);

  t = FDirectory->OpenTable("memos", false, false, false, false);
  StoredRecord ra = ReadBlobRecord(*t, a), rb = ReadBlobRecord(*t, b);
  EXPECT_EQ(ra.Id, 1);
  EXPECT_EQ(ra.Notes, Text("shiro"));
  EXPECT_EQ(ra.Picture, Pattern(100, 9));
  EXPECT_TRUE(rb.Notes.empty());
  EXPECT_EQ(rb.Picture, Pattern(494, 2));
  EXPECT_EQ(BlobStoreOf(*t)->FreeListBlocks().size(), 10u);
  FDirectory->CloseTable(t);
}

TEST_F(BlobTableTest, MemoryDatabaseKeepsItsBlobFileInMemory) {
  TDataTable *t = Create("mem", BlobDefinition(128), true);
  ASSERT_TRUE(t->InMemory());
  const int32_t n = PostBlobRecord(*t, 7, Pattern(3000, 5), Text("goban"));
  EXPECT_TRUE(TFileHandler::Exists(t->BlobFileName(), true));
  EXPECT_FALSE(std::filesystem::exists(BlobPath("mem")));
  MemoryDirectory()->CloseTable(t);

  t = MemoryDirectory()->OpenTable("mem", false, false, true, false);
  EXPECT_EQ(BlobStoreOf(*t)->BlockSize(), 128u);
  StoredRecord r = ReadBlobRecord(*t, n);
  EXPECT_EQ(r.Id, 7);
  EXPECT_EQ(r.Notes, Pattern(3000, 5));
  EXPECT_EQ(r.Picture, Text("goban"));
  const std::string blobName = t->BlobFileName();
  MemoryDirectory()->CloseTable(t);

  MemoryDirectory()->RenameTable("mem", true, "mem2");
  EXPECT_FALSE(TFileHandler::Exists(blobName, true));
  t = MemoryDirectory()->OpenTable("mem2", false, false, true, false);
  EXPECT_EQ(ReadBlobRecord(*t, n).Notes, Pattern(3000, 5));
  const std::string renamedBlob = t->BlobFileName();
  MemoryDirectory()->CloseTable(t);
  MemoryDirectory()->DeleteTable("mem2", true);
  EXPECT_FALSE(TFileHandler::Exists(renamedBlob, true));
}

TEST_F(BlobTableTest, EncryptedTableScramblesTheBlobFile) {
  const std::string secret = "This memo is about the corner joseki of the lesson.";
  TDataTable *plain = Create("plain", BlobDefinition());
  TDataTable *locked = Create("locked", BlobDefinition(512, true));
  const int32_t np = PostBlobRecord(*plain, 1, Text(secret), Pattern(700, 4));
  const int32_t nl = PostBlobRecord(*locked, 1, Text(secret), Pattern(700, 4));
  FDirectory->CloseTable(plain);
  FDirectory->CloseTable(locked);

  const std::vector<uint8_t> p = ReadWholeFile(BlobPath("plain"));
  const std::vector<uint8_t> l = ReadWholeFile(BlobPath("locked"));
  ASSERT_EQ(p.size(), l.size());
  EXPECT_NE(p, l);
  // The header and every block are scrambled: no stretch of the header or memo is readable.
  EXPECT_FALSE(std::equal(p.begin(), p.begin() + BlobHeaderSize, l.begin()));
  auto contains = [](const std::vector<uint8_t> &hay, const std::string &needle) {
    return std::search(hay.begin(), hay.end(), needle.begin(), needle.end()) != hay.end();
  };
  EXPECT_TRUE(contains(p, "corner joseki"));
  EXPECT_FALSE(contains(l, "corner joseki"));

  locked = FDirectory->OpenTable("locked", false, false, false, false);
  StoredRecord r = ReadBlobRecord(*locked, nl);
  EXPECT_EQ(r.Notes, Text(secret));
  EXPECT_EQ(r.Picture, Pattern(700, 4));
  FDirectory->CloseTable(locked);
  (void)np;
}

TEST_F(BlobTableTest, RollbackLeavesTheBlobFileByteIdentical) {
  DefaultSession().Settings.BlobBufferCount = 4;  // a transaction outgrows the cache
  TDataTable *t = Create("trans", BlobDefinition());
  const int32_t n = PostBlobRecord(*t, 1, Pattern(2000, 1), Text("before"));
  const std::vector<uint8_t> before = ReadWholeFile(BlobPath("trans"));

  FDirectory->StartTransaction();
  ModifyBlobRecord(*t, n, Pattern(9000, 2), {});
  const int32_t added = PostBlobRecord(*t, 2, Pattern(12000, 3), Text("new"));
  EXPECT_EQ(ReadBlobRecord(*t, n).Notes, Pattern(9000, 2));
  EXPECT_EQ(ReadBlobRecord(*t, added).Notes, Pattern(12000, 3));
  EXPECT_TRUE(ReadWholeFile(BlobPath("trans")) == before);  // nothing reached the file
  FDirectory->RollbackTransaction();

  EXPECT_TRUE(ReadWholeFile(BlobPath("trans")) == before);
  StoredRecord r = ReadBlobRecord(*t, n);
  EXPECT_EQ(r.Notes, Pattern(2000, 1));
  EXPECT_EQ(r.Picture, Text("before"));
  EXPECT_EQ(BlobStoreOf(*t)->BlockCount(), 6);
  // After the rollback writes go through again.
  ModifyBlobRecord(*t, n, Text("after"), {});
  EXPECT_FALSE(ReadWholeFile(BlobPath("trans")) == before);
  FDirectory->CloseTable(t);
}

TEST_F(BlobTableTest, CommitWritesTheHeldBlocks) {
  DefaultSession().Settings.BlobBufferCount = 4;
  TDataTable *t = Create("trans", BlobDefinition());
  FDirectory->StartTransaction();
  const int32_t n = PostBlobRecord(*t, 1, Pattern(12000, 6), Text("kept"));
  EXPECT_EQ(std::filesystem::file_size(BlobPath("trans")), BlobHeaderSize);
  // The 26 blocks went to the journal as the cache filled: it holds what it was given.
  EXPECT_LE(BlobStoreOf(*t)->Cache().Count(), 4u);
  EXPECT_EQ(ReadBlobRecord(*t, n).Notes, Pattern(12000, 6));
  FDirectory->CommitTransaction(true);
  EXPECT_EQ(std::filesystem::file_size(BlobPath("trans")), 512u + 26u * 512u);
  FDirectory->CloseTable(t);
  t = FDirectory->OpenTable("trans", false, false, false, false);
  EXPECT_EQ(ReadBlobRecord(*t, n).Notes, Pattern(12000, 6));
  EXPECT_EQ(ReadBlobRecord(*t, n).Picture, Text("kept"));
  FDirectory->CloseTable(t);
}

TEST_F(BlobTableTest, ExclusiveTableWritesAtCloseAndReadsPastUnwrittenBlocks) {
  DefaultSession().Settings.BlobBufferCount = 8;
  FDirectory->CloseTable(FDirectory->CreateTable("excl", BlobDefinition(), false));
  TDataTable *t = FDirectory->OpenTable("excl", true, false, false, false);
  const int32_t a = PostBlobRecord(*t, 1, Pattern(1400, 8), {});  // blocks 1-3
  // An exclusive table keeps posted changes until a flush or the close.
  EXPECT_TRUE(BlobStoreOf(*t)->HeaderDirty());
  EXPECT_EQ(std::filesystem::file_size(BlobPath("excl")), BlobHeaderSize);
  t->FlushBuffers();
  EXPECT_EQ(std::filesystem::file_size(BlobPath("excl")), 512u + 3u * 512u);
  t->BlobFile()->DropCache();
  const int32_t b = PostBlobRecord(*t, 2, Pattern(900, 9), {});  // blocks 4-5, only cached
  ASSERT_EQ(BlobStoreOf(*t)->BlockCount(), 5);

  // Deleting the first record frees its chain; walking it reads ahead from block 1 into blocks
  // 4 and 5, which the file does not hold yet.
  t->WriteLock();
  TRecord *r = t->DataFile().GetRecord(a);
  ASSERT_NE(r, nullptr);
  const std::vector<uint8_t> image = r->Image;
  t->DataFile().ReleaseRecord(r);
  TCursorBlobs blobs(BlobStoreOf(*t), t->Name());
  EXPECT_NO_THROW(blobs.FreeRecordBlobs(image, BlobFieldsOf(*t)));
  t->DataFile().FreeRecord(a, t->NoPrimaryKey());
  t->ChangePosted();
  t->WriteUnlock();
  EXPECT_EQ(BlobStoreOf(*t)->FreeListBlocks().size(), 3u);
  FDirectory->CloseTable(t);

  EXPECT_EQ(std::filesystem::file_size(BlobPath("excl")), 512u + 5u * 512u);
  t = FDirectory->OpenTable("excl", false, false, false, false);
  EXPECT_EQ(ReadBlobRecord(*t, b).Notes, Pattern(900, 9));
  EXPECT_EQ(BlobStoreOf(*t)->FreeListBlocks().size(), 3u);
  // The freed blocks are used again.
  PostBlobRecord(*t, 3, Pattern(1400, 10), {});
  EXPECT_EQ(BlobStoreOf(*t)->BlockCount(), 5);
  FDirectory->CloseTable(t);
}

TEST_F(BlobTableTest, EmptyResetsTheBlobFile) {
  FDirectory->CloseTable(FDirectory->CreateTable("full", BlobDefinition(), false));
  TDataTable *t = FDirectory->OpenTable("full", true, false, false, false);
  PostBlobRecord(*t, 1, Pattern(4000, 1), Pattern(4000, 2));
  t->FlushBuffers();
  ASSERT_GT(std::filesystem::file_size(BlobPath("full")), BlobHeaderSize);
  const int32_t counter = BlobStoreOf(*t)->Header().ChangeCounter;
  t->Empty();
  EXPECT_EQ(std::filesystem::file_size(BlobPath("full")), BlobHeaderSize);
  EXPECT_EQ(BlobStoreOf(*t)->BlockCount(), 0);
  EXPECT_EQ(BlobStoreOf(*t)->Header().FirstFreeBlock, 0);
  EXPECT_GT(BlobStoreOf(*t)->Header().ChangeCounter, counter);
  const int32_t n = PostBlobRecord(*t, 2, Text("again"), {});
  EXPECT_EQ(n, 1);
  EXPECT_EQ(BlobStoreOf(*t)->BlockCount(), 1);
  FDirectory->CloseTable(t);
  t = FDirectory->OpenTable("full", false, false, false, false);
  EXPECT_EQ(ReadBlobRecord(*t, n).Notes, Text("again"));
  FDirectory->CloseTable(t);
}

TEST_F(BlobTableTest, DeleteAndRenameTakeTheBlobFileAlong) {
  TDataTable *t = Create("old", BlobDefinition());
  const int32_t n = PostBlobRecord(*t, 3, Text("moved"), {});
  EXPECT_EQ(CodeOf([&] { FDirectory->RenameTable("old", false, "new"); }), KURA_OSEACCES);
  FDirectory->CloseTable(t);
  FDirectory->RenameTable("old", false, "new");
  EXPECT_FALSE(std::filesystem::exists(BlobPath("old")));
  EXPECT_TRUE(std::filesystem::exists(BlobPath("new")));
  t = FDirectory->OpenTable("new", false, false, false, false);
  EXPECT_EQ(ReadBlobRecord(*t, n).Notes, Text("moved"));
  FDirectory->CloseTable(t);
  FDirectory->DeleteTable("new", false);
  EXPECT_FALSE(std::filesystem::exists(BlobPath("new")));
  EXPECT_FALSE(std::filesystem::exists(FDir.File("new.DAT")));
}

TEST_F(BlobTableTest, DamagedBlobHeaderRefusesTheOpenWithItsCode) {
  FDirectory->CloseTable(FDirectory->CreateTable("hurt", BlobDefinition(), false));
  TDataTable *t = FDirectory->OpenTable("hurt", false, false, false, false);
  PostBlobRecord(*t, 1, Pattern(1500, 1), {});
  FDirectory->CloseTable(t);
  const std::vector<uint8_t> good = ReadWholeFile(BlobPath("hurt"));
  auto openCode = [&](const std::vector<uint8_t> &bytes) {
    WriteWholeFile(BlobPath("hurt"), bytes);
    return CodeOf([&] { FDirectory->CloseTable(FDirectory->OpenTable("hurt", false, false, false, false)); });
  };
  std::vector<uint8_t> bad = good;
  bad[4] = 4;  // format version
  EXPECT_EQ(openCode(bad), KURA_OLDVERSION);
  bad = good;
  blobio::PutInt32(bad.data() + 5, 9);  // first free block beyond the 4 blocks
  EXPECT_EQ(openCode(bad), KURA_HEADERCORRUPT);
  bad = good;
  blobio::PutInt32(bad.data() + 9, 1000);  // counts blocks the file does not hold
  EXPECT_EQ(openCode(bad), KURA_HEADERCORRUPT);
  bad.assign(good.begin(), good.begin() + 100);  // cut inside the header
  EXPECT_EQ(openCode(bad), KURA_HEADERCORRUPT);
  std::filesystem::remove(BlobPath("hurt"));
  EXPECT_EQ(CodeOf([&] { FDirectory->OpenTable("hurt", false, false, false, false); }), KURA_OSENOENT);
  // A failed open leaves nothing behind: the repaired table opens.
  EXPECT_EQ(openCode(good), 0u);
  EXPECT_EQ(FDirectory->FindTable("hurt", false), nullptr);
  t = FDirectory->OpenTable("hurt", false, false, false, false);
  EXPECT_EQ(ReadBlobRecord(*t, 1).Notes, Pattern(1500, 1));
  FDirectory->CloseTable(t);
}

namespace {

// A blob file that counts the flushes of its operating-system buffers.
class TCountingBlobFile : public TBlobFile {
 public:
  using TBlobFile::TBlobFile;
  void FlushOS() override {
    ++Flushes();
    TBlobFile::FlushOS();
  }
  static int &Flushes() {
    static int flushes = 0;
    return flushes;
  }
};

// Changes the ID of record n only (the blob file is not touched).
void ModifyId(TDataTable &t, int32_t n, int32_t id) {
  t.WriteLock();
  t.LockRecord(n);
  TRecord *r = t.DataFile().GetRecord(n);
  SetIntegerField(t.DataFile().Field(1), r->Image.data(), id);
  t.DataFile().MarkRecordDirty(r);
  t.DataFile().ReleaseRecord(r);
  t.ChangePosted();
  t.UnlockRecord(n);
  t.WriteUnlock();
}

}  // namespace

TEST_F(BlobTableTest, ForcedBufferFlushPushesTheBlobFileWhenItWasWritten) {
  TDataTable *t = Create("flushed", BlobDefinition());
  FDirectory->CloseTable(t);
  const TSideFileFactories saved = SideFileFactories();
  SideFileFactories().OpenBlob = [](TDataTable &table, const std::string &fileName) {
    auto file = std::make_unique<TCountingBlobFile>(&table);
    file->OpenBlobFile(fileName, table.InMemory(), table.Exclusive(), false, table.Temporary(),
                       BlobFileOptionsOf(table));
    return std::unique_ptr<TTableSideFile>(std::move(file));
  };
  TCountingBlobFile::Flushes() = 0;
  t = FDirectory->OpenTable("flushed", false, false, false, false);
  SideFileFactories() = saved;

  const int32_t n = PostBlobRecord(*t, 1, Text("a"), {});
  EXPECT_EQ(TCountingBlobFile::Flushes(), 0);  // not asked for
  DefaultSession().Settings.ForceBufferFlush = true;
  ModifyBlobRecord(*t, n, Text("b"), Text("c"));
  EXPECT_EQ(TCountingBlobFile::Flushes(), 1);
  ModifyId(*t, n, 2);  // nothing written to the blob file: nothing to flush
  EXPECT_EQ(TCountingBlobFile::Flushes(), 1);
  DefaultSession().Settings.ForceBufferFlush = false;
  FDirectory->StartTransaction();
  ModifyBlobRecord(*t, n, Text("d"), {});
  EXPECT_EQ(TCountingBlobFile::Flushes(), 1);
  FDirectory->CommitTransaction(true);  // the caller asks for it
  EXPECT_EQ(TCountingBlobFile::Flushes(), 2);
  // A shared table wrote its posts through without a flush: a flush asked for afterwards has
  // nothing left to write and still puts every file on the disk.
  ModifyBlobRecord(*t, n, Text("e"), {});
  EXPECT_EQ(TCountingBlobFile::Flushes(), 2);
  t->FlushBuffers(true);
  EXPECT_EQ(TCountingBlobFile::Flushes(), 3);
  ModifyBlobRecord(*t, n, Text("d"), {});
  FDirectory->CloseTable(t);
  t = FDirectory->OpenTable("flushed", false, false, false, false);
  StoredRecord r = ReadBlobRecord(*t, n);
  EXPECT_EQ(r.Id, 2);
  EXPECT_EQ(r.Notes, Text("d"));
  EXPECT_TRUE(r.Picture.empty());
  FDirectory->CloseTable(t);
}

TEST_F(BlobTableTest, TemporaryTableKeepsItsBlobFileUntilTheLastClose) {
  FDirectory->CloseTable(FDirectory->CreateTable("result", BlobDefinition(), false));
  TDataTable *t = FDirectory->OpenTable("result", true, false, false, true);
  const int32_t n = PostBlobRecord(*t, 1, Pattern(2000, 4), Text("tmp"));
  EXPECT_EQ(ReadBlobRecord(*t, n).Notes, Pattern(2000, 4));
  EXPECT_TRUE(std::filesystem::exists(BlobPath("result")));
  FDirectory->CloseTable(t);
  EXPECT_FALSE(std::filesystem::exists(BlobPath("result")));
  EXPECT_FALSE(std::filesystem::exists(FDir.File("result.DAT")));
}

TEST_F(BlobTableTest, TableCreatedTemporaryHasItsBlobFileWhileOpen) {
  // The blob file must outlive the close that follows its create (the index layer is left out
  // here: this is about the blob file alone).
  const TSideFileFactories saved = SideFileFactories();
  SideFileFactories().OpenIndex = nullptr;
  SideFileFactories().CreateIndex = nullptr;
  TDataTable *t = nullptr;
  EXPECT_NO_THROW(t = FDirectory->CreateTable("result", BlobDefinition(), false, true));
  SideFileFactories() = saved;
  ASSERT_NE(t, nullptr);
  ASSERT_NE(BlobStoreOf(*t), nullptr);
  const int32_t n = PostBlobRecord(*t, 1, Pattern(2000, 4), Text("tmp"));
  EXPECT_EQ(ReadBlobRecord(*t, n).Picture, Text("tmp"));
  FDirectory->CloseTable(t);
  EXPECT_FALSE(std::filesystem::exists(BlobPath("result")));
}

TEST_F(BlobTableTest, ReadOnlyBlobFileMakesTheTableReadOnly) {
  TDataTable *t = Create("ro", BlobDefinition());
  const int32_t n = PostBlobRecord(*t, 1, Text("fixed"), {});
  FDirectory->CloseTable(t);
  const std::vector<uint8_t> before = ReadWholeFile(BlobPath("ro"));
  std::filesystem::permissions(BlobPath("ro"), std::filesystem::perms::owner_read | std::filesystem::perms::group_read |
                                                   std::filesystem::perms::others_read);
  t = FDirectory->OpenTable("ro", false, false, false, false);
  EXPECT_TRUE(t->ReadOnlyForced());
  EXPECT_TRUE(t->ReadOnly());
  EXPECT_EQ(ReadBlobRecord(*t, n).Notes, Text("fixed"));
  EXPECT_EQ(CodeOf([&] { t->WriteLock(); }), KURA_OSEACCES);
  FDirectory->CloseTable(t);
  EXPECT_TRUE(ReadWholeFile(BlobPath("ro")) == before);
  std::filesystem::permissions(BlobPath("ro"), std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
}
