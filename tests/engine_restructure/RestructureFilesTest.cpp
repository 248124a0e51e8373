// The files of a restructured table: backups, older backups, a move that fails half way, and
// the password of a table that becomes encrypted.
#include "tests/engine_restructure/RestructureTestSupport.h"

#include <sys/stat.h>

#include "engine/table/DataSession.h"
#include "engine/table/TableFileMoves.h"

using namespace kura;
using namespace kura::restructuretest;

namespace {

class Files : public RestructureTest {
 protected:
  void TearDown() override {
    FileMoveHookForTest() = nullptr;
    RestructureTest::TearDown();
  }
  // A change that needs every record copied: Name becomes String(20).
  static TRestructureDefinition Wider(TDataCursor &c) {
    TRestructureDefinition def = CurrentDefinition(c);
    def.Fields[1].DeclaredSize = 20;
    return def;
  }
  static void WriteFile(const std::string &path, const std::string &text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
  }
};

TEST_F(Files, OldFilesBecomeTheBackups) {
  Fill(10);
  const auto before = DirectoryFiles();
  TDataCursor &c = Open(Exclusive());
  ASSERT_TRUE(c.RestructureTable(Wider(c)));
  c.CloseCursor();
  const auto after = DirectoryFiles();
  EXPECT_EQ(after.at("people.DBK"), before.at("people.DAT"));
  EXPECT_EQ(after.at("people.IBK"), before.at("people.IDX"));
  EXPECT_FALSE(after.count("people.BBK"));
  EXPECT_EQ(after.size(), 4u);
  EXPECT_TRUE(PrivateFiles().empty());
  EXPECT_EQ(PeopleRows().size(), 10u);
}

TEST_F(Files, NoBackupKeepsNoCopies) {
  Fill(10);
  TDataCursor &c = Open(Exclusive());
  TRestructureDefinition def = Wider(c);
  def.NoBackup = true;
  ASSERT_TRUE(c.RestructureTable(def));
  c.CloseCursor();
  const auto after = DirectoryFiles();
  EXPECT_EQ(after.size(), 2u);
  EXPECT_TRUE(after.count("people.DAT") && after.count("people.IDX"));
  EXPECT_EQ(PeopleRows().size(), 10u);
}

TEST_F(Files, OlderBackupsAreRemovedFirst) {
  Fill(10);
  WriteFile(FDir.File("people.DBK"), "older data");
  WriteFile(FDir.File("people.IBK"), "older index");
  WriteFile(FDir.File("people.BBK"), "older blobs");
  const auto before = DirectoryFiles();
  {
    TDataCursor &c = Open(Exclusive());
    ASSERT_TRUE(c.RestructureTable(Wider(c)));
    c.CloseCursor();
  }
  auto after = DirectoryFiles();
  EXPECT_EQ(after.at("people.DBK"), before.at("people.DAT"));
  EXPECT_EQ(after.at("people.IBK"), before.at("people.IDX"));
  // The blob backup belonged to an older structure; this table has no blob file.
  EXPECT_FALSE(after.count("people.BBK"));
  EXPECT_EQ(after.size(), 4u);

  // An index rebuild keeps one backup set too: the index copy, without the older data copy.
  const auto middle = after;
  {
    TDataCursor &c = Open(Exclusive());
    TRestructureDefinition def = CurrentDefinition(c);
    def.Indexes.push_back(MakeIndex("ByValue", {3}));
    ASSERT_TRUE(c.RestructureTable(def));
    EXPECT_EQ(c.LastRestructureLevel(), TRestructureLevel::IndexRebuild);
    c.CloseCursor();
  }
  after = DirectoryFiles();
  EXPECT_EQ(after.at("people.IBK"), middle.at("people.IDX"));
  EXPECT_FALSE(after.count("people.DBK"));
  // Beside them the post journal through which the rebuilt index reached the file.
  EXPECT_EQ(after.size() - after.count("people.JNL"), 3u);
}

TEST_F(Files, FailedMoveLeavesTheOldTableWhole) {
  Fill(10);
  WriteFile(FDir.File("people.DBK"), "older data");
  const auto before = DirectoryFiles();
  // Each move in turn fails once: the table must open with its old structure and contents
  // whichever of them it was, and no file may be left under a wrong name.
  for (int failAt = 1; failAt <= 7; ++failAt) {
    int moves = 0;
    bool failed = false;
    FileMoveHookForTest() = [&](const std::string &, const std::string &) {
      if (++moves == failAt && !failed) {
        failed = true;
        RaiseEngineError(KURA_OSEACCES);
      }
    };
    TDataCursor &c = Open(Exclusive());
    const unsigned code = CodeOf([&] { c.RestructureTable(Wider(c)); });
    FileMoveHookForTest() = nullptr;
    if (!failed) {
      // Fewer moves than failAt: the restructure went through; nothing more to try.
      EXPECT_EQ(code, 0u);
      EXPECT_GE(failAt, 2);
      c.CloseCursor();
      break;
    }
    EXPECT_EQ(code, KURA_OSEACCES) << failAt;
    EXPECT_TRUE(c.IsOpen()) << failAt;
    EXPECT_EQ(c.Field(2).DeclaredSize, 16) << failAt;
    EXPECT_EQ(Codes(c).size(), 10u) << failAt;
    c.CloseCursor();
    EXPECT_EQ(DirectoryFiles(), before) << failAt;
    EXPECT_EQ(PrivateFiles(), std::vector<std::string>{}) << failAt;
    EXPECT_EQ(PeopleRows().size(), 10u) << failAt;
  }
}

TEST_F(Files, PrivateDirectoryOnAnotherDevice) {
  // The new table is built where the session keeps its private files; when that is another
  // file system, its files are copied over instead of renamed.
  char pattern[] = "/dev/shm/kura-private-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) GTEST_SKIP() << "no /dev/shm here";
  const std::string other = pattern;
  struct stat a {}, b {};
  if (::stat(other.c_str(), &a) != 0 || ::stat(FDir.Path().c_str(), &b) != 0 || a.st_dev == b.st_dev) {
    std::filesystem::remove_all(other);
    GTEST_SKIP() << "/dev/shm is on the same device";
  }
  DefaultSession().SetPrivateDir(other);
  Fill(20);
  const auto before = DirectoryFiles();
  {
    TDataCursor &c = Open(Exclusive());
    ASSERT_TRUE(c.RestructureTable(Wider(c)));
    EXPECT_EQ(c.Field(2).DeclaredSize, 20);
    c.CloseCursor();
  }
  EXPECT_TRUE(std::filesystem::is_empty(other));
  std::filesystem::remove_all(other);
  const auto after = DirectoryFiles();
  EXPECT_EQ(after.size(), 4u);
  EXPECT_EQ(after.at("people.DBK"), before.at("people.DAT"));
  EXPECT_EQ(PeopleRows().size(), 20u);
}

TEST_F(Files, EncryptedTablePasswordIsKnownOnlyWhileRestructuring) {
  Fill(3);
  TDataCursor &c = Open(Exclusive());
  TRestructureDefinition def = Wider(c);
  def.Encrypted = true;
  def.Password = "hidden";
  ASSERT_TRUE(c.RestructureTable(def));
  EXPECT_TRUE(c.Table()->DataFile().Encrypted());
  EXPECT_FALSE(DefaultSession().HasPassword("hidden"));
  EXPECT_EQ(Codes(c), (std::vector<int32_t>{1, 2, 3}));  // the cursor reopened within the operation
  c.CloseCursor();
  TDataCursor other(FDirectory, "people");
  EXPECT_EQ(CodeOf([&] { other.OpenCursor(); }), KURA_NOTSUFFTABLERIGHTS);
  DefaultSession().AddPassword("hidden");
  EXPECT_EQ(PeopleRows().size(), 3u);
  // The data file no longer shows the names in plain text.
  const std::vector<uint8_t> bytes = FileBytes(FDir.File("people.DAT"));
  const std::string text(bytes.begin(), bytes.end());
  EXPECT_EQ(text.find("Name"), std::string::npos);
  EXPECT_EQ(text.find("Value"), std::string::npos);
}

}  // namespace
