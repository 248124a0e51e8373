// Table-level work through a cursor: creation, exclusive operations, indexes, passwords, a
// missing or damaged index file.
#include "tests/engine_cursor/CursorTestSupport.h"

#include <fstream>

#include "engine/index/IndexFile.h"
#include "engine/table/DataTable.h"

using namespace kura;
using namespace kura::cursortest;

namespace {

class CursorTable : public CursorTest {
 protected:
  void Fill(TDataCursor &c, int n) {
    for (int i = 1; i <= n; ++i) Add(c, i, "n" + std::to_string(i % 7), i % 10);
  }
  TCursorOptions Exclusive() {
    TCursorOptions o;
    o.Exclusive = true;
    return o;
  }
};

TEST_F(CursorTable, CreateRefusesAnExistingTableUnlessOverwriting) {
  TDataCursor c(FDirectory, "people");
  EXPECT_EQ(MessageOf([&] { c.CreateTable(PeopleDefinition(), PeopleIndexes()); }),
            "The table 'people' already exists");
  {
    TDataCursor w(FDirectory, "people");
    w.OpenCursor();
    Add(w, 1, "a", 1);
  }
  c.CreateTable(PeopleDefinition(), {MakeIndex("", {1})}, true);
  c.OpenCursor();
  EXPECT_EQ(c.RecordCount(), 0);
  EXPECT_EQ(c.IndexNames().size(), 1u);
  EXPECT_EQ(CodeOf([&] { c.CreateTable(PeopleDefinition(), {}, true); }), KURA_TABLEOPEN);
}

TEST_F(CursorTable, BadIndexDefinitionsLeaveNoTable) {
  TDataCursor c(FDirectory, "broken");
  EXPECT_EQ(CodeOf([&] { c.CreateTable(PeopleDefinition(), {MakeIndex("", {9})}); }), KURA_INVALIDIDXDESC);
  EXPECT_EQ(CodeOf([&] { c.CreateTable(PeopleDefinition(), {MakeIndex("", {1}), MakeIndex("x", {2}), MakeIndex("X", {3})}); }),
            KURA_INDEXEXISTS);
  EXPECT_FALSE(FDirectory->TableExists("broken", false));
  EXPECT_FALSE(std::filesystem::exists(FDir.File("broken.IDX")));
}

TEST_F(CursorTable, TableWithoutPrimaryKeyUsesNaturalOrder) {
  TDataCursor creator(FDirectory, "heap");
  creator.CreateTable(PeopleDefinition(), {MakeIndex("ByName", {2})});
  TDataCursor &c = Open({}, "heap");
  EXPECT_FALSE(c.HasPrimaryKey());
  EXPECT_TRUE(c.InNaturalOrder());
  Add(c, 3, "c", 0);
  Add(c, 1, "a", 0);
  Add(c, 3, "b", 0);  // no primary key: duplicates allowed
  EXPECT_EQ(Codes(c), (std::vector<int32_t>{3, 1, 3}));
  c.SetIndexName("ByName");
  EXPECT_EQ(Codes(c), (std::vector<int32_t>{1, 3, 3}));
  c.SetIndexName("");
  EXPECT_TRUE(c.InNaturalOrder());
  // Freed slots are not reused, so natural order stays insertion order.
  std::vector<uint8_t> r = c.NewRecordBuffer();
  c.SetToRecNo(1);
  c.GetCurRecord(r.data());
  c.DeleteRecord(r.data());
  Add(c, 7, "g", 0);
  EXPECT_EQ(Codes(c), (std::vector<int32_t>{1, 3, 7}));
}

TEST_F(CursorTable, ExclusiveOperations) {
  TDataCursor &shared = Open();
  Fill(shared, 20);
  EXPECT_EQ(MessageOf([&] { shared.EmptyTable(); }), "The table 'people' must be opened exclusively");
  EXPECT_EQ(CodeOf([&] { shared.AddSecondaryIndex(MakeIndex("ByValue", {3})); }), KURA_NEEDEXCLACCESS);
  EXPECT_EQ(CodeOf([&] { shared.DeleteIndex("ByName"); }), KURA_NEEDEXCLACCESS);
  shared.CloseCursor();

  TDataCursor &c = Open(Exclusive());
  // A new unique index: records whose key is already there are deleted.
  int indexNo = c.AddSecondaryIndex(MakeIndex("UniqueValue", {3}, true));
  EXPECT_EQ(indexNo, 4);
  EXPECT_EQ(c.RecordCount(), 10);
  c.SetIndexName("UniqueValue");
  EXPECT_EQ(Codes(c), (std::vector<int32_t>{10, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
  c.SetIndexName("ByName");
  EXPECT_EQ(c.RecordCount(), 10);
  c.DeleteIndex("ByName");
  EXPECT_EQ(c.IndexNames(), (std::vector<std::string>{"", "ByValueName", "ByTag", "UniqueValue"}));
  EXPECT_EQ(c.IndexNo(), 0);
  c.SetIndexName("UniqueValue");
  EXPECT_EQ(c.RecordCount(), 10);
  EXPECT_EQ(CodeOf([&] { c.DeleteIndex("Nope"); }), KURA_INVALIDINDEXNAME);
  std::vector<uint8_t> dup = Record(c, {50, "x", 3, -50});
  EXPECT_EQ(MessageOf([&] { c.AppendRecord(dup.data()); }),
            "Duplicate key found in the index 'UniqueValue' of the table 'people'");
  c.EmptyTable();
  EXPECT_EQ(c.RecordCount(), 0);
  EXPECT_EQ(Codes(c).size(), 0u);
  Add(c, 1, "again", 1);
  EXPECT_EQ(c.RecordCount(), 1);
  c.CloseCursor();
  // Everything written at close is there for the next user.
  TDataCursor &again = Open();
  EXPECT_EQ(again.IndexNames(), (std::vector<std::string>{"", "ByValueName", "ByTag", "UniqueValue"}));
  EXPECT_EQ(Codes(again), (std::vector<int32_t>{1}));
}

TEST_F(CursorTable, RenameAndDelete) {
  TDataCursor c(FDirectory, "people");
  c.RenameTable("folk");
  EXPECT_EQ(c.TableName(), "folk");
  EXPECT_TRUE(std::filesystem::exists(FDir.File("folk.IDX")));
  c.OpenCursor();
  EXPECT_EQ(c.IndexNames().size(), 4u);
  EXPECT_EQ(CodeOf([&] { c.DeleteTable(); }), KURA_TABLEOPEN);
  c.CloseCursor();
  c.DeleteTable();
  EXPECT_FALSE(FDirectory->TableExists("folk", false));
  EXPECT_EQ(CodeOf([&] { c.OpenCursor(); }), KURA_OSENOENT);
}

TEST_F(CursorTable, MissingIndexFileIsMadeAgainAndKeepsInsertionOrder) {
  {
    TDataCursor &c = Open();
    const int32_t codes[] = {50, 10, 40, 20, 30, 60};
    for (int32_t code : codes) Add(c, code, "n", code);
    std::vector<uint8_t> r = GoTo(c, 20);
    c.DeleteRecord(r.data());
    c.CloseCursor();
  }
  ASSERT_TRUE(std::filesystem::remove(FDir.File("people.IDX")));
  // Shared or read-only users are told which file is missing; nothing is made.
  for (bool readOnly : {false, true}) {
    TCursorOptions options;
    options.ReadOnly = readOnly;
    TDataCursor refused(FDirectory, "people");
    refused.SetOptions(options);
    EXPECT_EQ(MessageOf([&] { refused.OpenCursor(); }),
              "The index file '" + FDir.File("people.IDX") +
                  "' of the table 'people' is missing; open the table exclusively to make it again without its keys");
    EXPECT_FALSE(std::filesystem::exists(FDir.File("people.IDX")));
  }
  // The user who has the table alone makes it again.
  TCursorOptions exclusive;
  exclusive.Exclusive = true;
  TDataCursor &c = Open(exclusive);
  EXPECT_FALSE(c.HasPrimaryKey());
  EXPECT_TRUE(c.InNaturalOrder());
  EXPECT_EQ(c.IndexNames(), (std::vector<std::string>{""}));
  EXPECT_FALSE(c.Table()->IndexesRebuilt());  // done once, by this first cursor
  EXPECT_EQ(Codes(c), (std::vector<int32_t>{50, 10, 40, 30, 60}));
  EXPECT_EQ(c.RecordCount(), 5);
  EXPECT_EQ(c.IndexFile()->Header().LiveRecordCount, 5);
  c.SetIndexNo(kSystemRecordIndex);
  EXPECT_EQ(Codes(c), (std::vector<int32_t>{50, 10, 40, 30, 60}));
  c.SetIndexNo(kNaturalOrder);
  // New records go to the end; the rebuilt file is on disk for the next user.
  Add(c, 5, "n", 5);
  c.CloseCursor();
  TDataCursor &d = Open();
  EXPECT_EQ(Codes(d), (std::vector<int32_t>{50, 10, 40, 30, 60, 5}));
  EXPECT_EQ(d.RecordCount(), 6);
}

TEST_F(CursorTable, EncryptedTableNeedsThePassword) {
  TDataFileDefinition def = PeopleDefinition();
  def.Encrypted = true;
  def.Password = "secret";
  TDataCursor creator(FDirectory, "locked");
  creator.CreateTable(def, {MakeIndex("", {1})});
  TDataCursor c(FDirectory, "locked");
  EXPECT_EQ(MessageOf([&] { c.OpenCursor(); }), "Insufficient rights to the table 'locked', a password is required");
  EXPECT_FALSE(c.IsOpen());
  int asked = 0;
  c.PasswordCallback = [&] {
    ++asked;
    if (asked == 1) DefaultSession().AddPassword("wrong");
    if (asked == 2) DefaultSession().AddPassword("secret");
    return asked < 5;
  };
  c.OpenCursor();
  EXPECT_EQ(asked, 2);
  Add(c, 1, "hidden", 1);
  c.CloseCursor();
  TDataCursor again(FDirectory, "locked");
  again.OpenCursor();  // the session knows the password now
  EXPECT_EQ(Codes(again), (std::vector<int32_t>{1}));
}

TEST_F(CursorTable, IndexFileOfAnotherTableIsRefused) {
  TDataFileDefinition def;
  def.Fields = {MakeField("Wide", EngineFieldType::String, 40)};
  TDataCursor creator(FDirectory, "other");
  creator.CreateTable(def, {MakeIndex("", {1})});
  std::filesystem::copy_file(FDir.File("other.IDX"), FDir.File("people.IDX"),
                             std::filesystem::copy_options::overwrite_existing);
  TDataCursor c(FDirectory, "people");
  EXPECT_EQ(CodeOf([&] { c.OpenCursor(); }), KURA_INDEXCORRUPT);
  EXPECT_FALSE(c.IsOpen());
  // A header that cannot be an index header.
  std::vector<uint8_t> garbage(4096, 0xEE);
  {
    std::ofstream out(FDir.File("people.IDX"), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(garbage.data()), static_cast<std::streamsize>(garbage.size()));
  }
  const unsigned code = CodeOf([&] { c.OpenCursor(); });
  EXPECT_TRUE(code == KURA_HEADERCORRUPT || code == KURA_OLDVERSION) << code;
  EXPECT_FALSE(c.IsOpen());
}

// Overwrites bytes of one index page on disk.
void DamagePage(const std::string &file, int32_t page, int offset, const std::vector<uint8_t> &bytes) {
  std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
  f.seekp(static_cast<std::streamoff>(page) * 4096 + offset);
  f.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

TEST_F(CursorTable, DamagedIndexPagesGiveIndexCorruptNeverACrash) {
  {
    TDataCursor &c = Open();
    for (int i = 1; i <= 900; ++i) Add(c, i * 3, "name" + std::to_string(i % 97), i % 41);
    c.CloseCursor();
  }
  const std::string idx = FDir.File("people.IDX");
  const std::vector<uint8_t> original = [&] {
    std::ifstream in(idx, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }();
  const int32_t pages = static_cast<int32_t>(original.size() / 4096);
  ASSERT_GT(pages, 10);
  // Every page for the entry count; every third page for the other kinds of damage.
  const std::vector<std::pair<int, std::vector<uint8_t>>> damages = {
      {1, {0xFF, 0x7F}},              // an entry count that does not fit the page
      {7, {0xFF, 0xFF, 0xFF, 0x7F}},  // next page far beyond the file
      {3, {0x05, 0x00, 0x00, 0x00}},  // previous page pointing elsewhere
      {0, {0x09}},                    // no page type
  };
  for (const auto &[offset, bytes] : damages) {
    int corruptSeen = 0;
    const int32_t step = offset == 1 ? 1 : 3;
    for (int32_t page = 1; page < pages; page += step) {
      {
        std::ofstream out(idx, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char *>(original.data()), static_cast<std::streamsize>(original.size()));
      }
      DamagePage(idx, page, offset, bytes);
      TDataCursor c(FDirectory, "people");
      unsigned opened = CodeOf([&] { c.OpenCursor(); });
      if (opened != 0) {
        // The damaged page lies on the first path read.
        EXPECT_EQ(opened, KURA_INDEXCORRUPT) << "page " << page << " offset " << offset;
        ++corruptSeen;
        continue;
      }
      for (int indexNo : {0, 1, 2, 3, kSystemRecordIndex}) {
        unsigned code = CodeOf([&] {
          c.SetIndexNo(indexNo);
          Codes(c);
          Codes(c, true);
          c.RecordCount();
          c.SetToRecNo(700);
        });
        if (code != 0) {
          EXPECT_EQ(code, KURA_INDEXCORRUPT) << "page " << page << " offset " << offset;
          ++corruptSeen;
        }
      }
      c.CloseCursor();
    }
    EXPECT_GT(corruptSeen, 0) << "offset " << offset;
  }
}

}  // namespace
