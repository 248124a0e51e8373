// The index file over the file layer, and the tables opening and creating it.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "IndexTestSupport.h"
#include "engine/data/FieldDescriptor.h"
#include "engine/index/IndexFile.h"
#include "engine/index/IndexKeyMapping.h"
#include "engine/table/DataDirectory.h"
#include "engine/table/DataSession.h"
#include "engine/table/Engine.h"

using namespace kura;
using namespace kura::indextest;

namespace {

class TScratchDir {
 public:
  TScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kura-index-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (char *made = mkdtemp(buffer.data())) FPath = made;
  }
  ~TScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(FPath, ignored);
  }
  std::string File(const std::string &name) const { return FPath + "/" + name; }
  std::string Dir() const { return FPath + "/"; }

 private:
  std::string FPath;
};

std::vector<uint8_t> ReadWholeFile(const std::string &name) {
  std::ifstream in(name, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// An index of 5-byte keys filled with n keys.
void FillSystemIndex(TIndexPageCache &pages, int n) {
  TIndexKeyDefinition keys = TIndexKeyDefinition::SystemRecordIndex();
  TIndexTree tree(pages, kSystemRecordIndex, keys);
  for (int i = 1; i <= n; ++i) {
    std::vector<uint8_t> record(9, 0);
    indexbytes::PutI32LE(record.data() + 5, i);
    tree.Insert(keys.BuildKey(record.data(), record.size()).data(), static_cast<uint32_t>(i));
  }
}

int64_t SystemKeys(TIndexPageCache &pages) {
  TIndexKeyDefinition keys = TIndexKeyDefinition::SystemRecordIndex();
  TIndexTree tree(pages, kSystemRecordIndex, keys);
  return tree.CheckStructure().Keys;
}

}  // namespace

TEST(IndexFile, CreateWritesAnEmptyHeaderAndPagesSurviveReopening) {
  TScratchDir dir;
  const std::string name = dir.File("t.IDX");
  {
    TIndexFile file;
    file.CreateIndexFile(name, false, false);
    EXPECT_EQ(std::filesystem::file_size(name), static_cast<uintmax_t>(kIndexPageSize));
    FillSystemIndex(file.Pages(), 3000);
    EXPECT_TRUE(file.WriteChanges(false, true));
    EXPECT_FALSE(file.WriteChanges(false, false));  // nothing left to write
    file.CloseFile(false);
  }
  std::vector<uint8_t> raw = ReadWholeFile(name);
  ASSERT_GE(raw.size(), static_cast<size_t>(kIndexPageSize));
  EXPECT_EQ(raw[4], 5);
  TIndexFile file;
  file.OpenIndexFile(name, false, false, false, false);
  EXPECT_EQ(static_cast<int64_t>(raw.size()), static_cast<int64_t>(file.Header().NextPage) * kIndexPageSize);
  EXPECT_EQ(SystemKeys(file.Pages()), 3000);
  EXPECT_EQ(file.PageCount(), static_cast<uint32_t>(file.Header().NextPage));
  file.CloseFile(false);
}

TEST(IndexFile, MissingFileAndDamagedHeaderAreReported) {
  TScratchDir dir;
  TIndexFile file;
  EXPECT_EQ(CodeOf([&] { file.OpenIndexFile(dir.File("none.IDX"), false, false, false, false); }), KURA_OSENOENT);
  {
    std::ofstream out(dir.File("old.IDX"), std::ios::binary);
    std::vector<char> page(kIndexPageSize, 0);
    page[4] = 4;
    out.write(page.data(), kIndexPageSize);
  }
  EXPECT_EQ(CodeOf([&] { file.OpenIndexFile(dir.File("old.IDX"), false, false, false, false); }), KURA_OLDVERSION);
  EXPECT_FALSE(file.IsOpen());
  {
    std::ofstream out(dir.File("short.IDX"), std::ios::binary);
    out.write("abc", 3);
  }
  EXPECT_EQ(CodeOf([&] { file.OpenIndexFile(dir.File("short.IDX"), false, false, false, false); }), KURA_HEADERCORRUPT);
}

TEST(IndexFile, EncryptedFilesAreScrambledOnDisk) {
  TScratchDir dir;
  const std::string name = dir.File("secret.IDX");
  {
    TIndexFile file;
    file.SetEncrypted(true);
    file.CreateIndexFile(name, false, false);
    FillSystemIndex(file.Pages(), 500);
    file.CloseFile(false);
  }
  std::vector<uint8_t> raw = ReadWholeFile(name);
  EXPECT_NE(raw[4], 5);  // the version byte is not readable as it is
  EXPECT_EQ(std::string(raw.begin() + 3731, raw.begin() + 3742).find("Sys Deleted"), std::string::npos);
  TIndexFile file;
  file.SetEncrypted(true);
  file.OpenIndexFile(name, false, false, false, false);
  EXPECT_EQ(SystemKeys(file.Pages()), 500);
  file.CloseFile(false);
  TIndexFile plain;
  EXPECT_NE(CodeOf([&] { plain.OpenIndexFile(name, false, false, false, false); }), 0);
}

TEST(IndexFile, AnotherHandleSeesChangesThroughTheChangeCounter) {
  // Plain files are checked by their counter bytes alone, scrambled ones by the whole page.
  for (const bool encrypted : {false, true}) {
    SCOPED_TRACE(encrypted ? "encrypted" : "plain");
    TScratchDir dir;
    const std::string name = dir.File("shared.IDX");
    {
      TIndexFile created;
      created.SetEncrypted(encrypted);
      created.CreateIndexFile(name, false, false);
      created.CloseFile(false);
    }
    TIndexFile writer;
    writer.SetEncrypted(encrypted);
    writer.OpenIndexFile(name, false, false, false, false);
    TIndexFile reader;
    reader.SetEncrypted(encrypted);
    reader.OpenIndexFile(name, false, false, false, false);
    EXPECT_FALSE(reader.ReadHeaderChanged());
    FillSystemIndex(writer.Pages(), 800);
    writer.WriteChanges(false, false);
    EXPECT_TRUE(reader.ReadHeaderChanged());
    EXPECT_EQ(SystemKeys(reader.Pages()), 800);
    // Changes counted in memory (exclusive use, transactions) are not mistaken for another
    // user's.
    reader.CountChangeInMemory();
    EXPECT_FALSE(reader.ReadHeaderChanged());
    writer.CloseFile(false);
    // A file cut below its header while open is damaged, not unchanged.
    std::filesystem::resize_file(name, 2);
    EXPECT_EQ(CodeOf([&] { reader.ReadHeaderChanged(); }), KURA_HEADERCORRUPT);
    reader.CloseFile(true);
  }
}

TEST(IndexFile, PagesMissingFromTheFileAreIndexCorrupt) {
  TScratchDir dir;
  const std::string name = dir.File("cut.IDX");
  {
    TIndexFile file;
    file.CreateIndexFile(name, false, false);
    FillSystemIndex(file.Pages(), 2000);
    file.CloseFile(false);
  }
  std::filesystem::resize_file(name, 3 * kIndexPageSize);
  TIndexFile file;
  file.OpenIndexFile(name, false, false, false, false);
  EXPECT_EQ(CodeOf([&] { SystemKeys(file.Pages()); }), KURA_INDEXCORRUPT);
  file.CloseFile(true);
}

TEST(IndexFile, EmptyingCutsTheFileAfterTheHeader) {
  TScratchDir dir;
  const std::string name = dir.File("empty.IDX");
  TIndexFile file;
  file.CreateIndexFile(name, false, false);
  FillSystemIndex(file.Pages(), 2000);
  file.WriteChanges(false, false);
  ASSERT_GT(std::filesystem::file_size(name), static_cast<uintmax_t>(kIndexPageSize));
  file.Empty();
  EXPECT_EQ(std::filesystem::file_size(name), static_cast<uintmax_t>(kIndexPageSize));
  EXPECT_EQ(SystemKeys(file.Pages()), 0);
  file.CloseFile(false);
}

TEST(IndexFile, InMemoryFilesWorkTheSameWay) {
  TIndexFile file;
  file.CreateIndexFile("index-test-memory.IDX", true, false);
  FillSystemIndex(file.Pages(), 1500);
  file.CloseFile(false);
  TIndexFile again;
  again.OpenIndexFile("index-test-memory.IDX", true, false, false, false);
  EXPECT_EQ(SystemKeys(again.Pages()), 1500);
  again.CloseFile(false);
  TFileHandler::DeleteFile("index-test-memory.IDX", true, "index-test-memory");
}

namespace {

TFieldDescriptor Field(int number, const std::string &name, EngineFieldType type, uint8_t size = 0,
                       FieldSubType sub = FieldSubType::None) {
  TFieldDescriptor f;
  f.FieldNumber = static_cast<int16_t>(number);
  f.Name = name;
  f.Type = type;
  f.SubType = sub;
  f.DeclaredSize = size;
  return f;
}

class IndexFileTables : public testing::Test {
 protected:
  void SetUp() override {
    InstallIndexFiles();
    StartEngine();
    Directory = DefaultSession().OpenDataDirectory("idx", Scratch.Dir());
    Definition.Fields = {Field(1, "ID", EngineFieldType::Integer, 0, FieldSubType::AutoInc),
                         Field(2, "Name", EngineFieldType::String, 10), Field(3, "Value", EngineFieldType::Integer)};
  }
  void TearDown() override { StopEngine(); }

  TScratchDir Scratch;
  TDataDirectory *Directory = nullptr;
  TDataFileDefinition Definition;
};

}  // namespace

TEST_F(IndexFileTables, CreatingATableCreatesItsIndexFile) {
  TDataTable *table = Directory->CreateTable("people", Definition, false);
  Directory->CloseTable(table);
  ASSERT_TRUE(std::filesystem::exists(Scratch.File("people.IDX")));
  EXPECT_EQ(std::filesystem::file_size(Scratch.File("people.IDX")), static_cast<uintmax_t>(kIndexPageSize));
  table = Directory->OpenTable("people", false, false, false, false);
  auto *index = dynamic_cast<TIndexFile *>(table->IndexFile());
  ASSERT_NE(index, nullptr);
  EXPECT_FALSE(table->IndexesRebuilt());
  EXPECT_EQ(index->Header().Descriptors[kSystemRecordIndex].Name, "Sys Deleted");
  Directory->CloseTable(table);
}

TEST_F(IndexFileTables, MissingIndexFileIsMadeAgainAndTheSystemIndexRebuilt) {
  TDataTable *table = Directory->CreateTable("items", Definition, false);
  Directory->CloseTable(table);
  table = Directory->OpenTable("items", true, false, false, false);
  TDataFile &data = table->DataFile();
  for (int i = 0; i < 300; ++i) {
    TRecord *r = data.AllocateRecord(true);
    data.MarkRecordDirty(r);
    data.ReleaseRecord(r);
  }
  data.FreeRecord(7, true);
  data.FreeRecord(100, true);
  table->FlushBuffers();
  Directory->CloseTable(table);
  std::filesystem::remove(Scratch.File("items.IDX"));

  table = Directory->OpenTable("items", true, false, false, false);
  EXPECT_TRUE(table->IndexesRebuilt());
  ASSERT_TRUE(std::filesystem::exists(Scratch.File("items.IDX")));
  auto *index = dynamic_cast<TIndexFile *>(table->IndexFile());
  ASSERT_NE(index, nullptr);
  RebuildSystemRecordIndex(*index, table->DataFile());
  EXPECT_TRUE(table->NoPrimaryKey());
  EXPECT_EQ(index->Header().LiveRecordCount, 298);
  // Every slot is in the system index; the live ones first, in insertion order.
  TIndexKeyDefinition keys = TIndexKeyDefinition::SystemRecordIndex();
  TIndexTree tree(index->Pages(), kSystemRecordIndex, keys);
  EXPECT_EQ(tree.CheckStructure().Keys, 300);
  std::vector<uint32_t> order;
  TIndexPosition pos = tree.First();
  do {
    uint32_t rec;
    tree.ReadEntry(pos, nullptr, &rec);
    order.push_back(rec);
  } while (tree.Next(pos));
  ASSERT_EQ(order.size(), 300u);
  EXPECT_EQ(order[0], 1u);
  EXPECT_EQ(order[6], 8u);  // slot 7 is deleted
  EXPECT_EQ(order[298], 7u);
  EXPECT_EQ(order[299], 100u);
  table->FlushBuffers();
  Directory->CloseTable(table);
  table = Directory->OpenTable("items", false, false, false, false);
  EXPECT_FALSE(table->IndexesRebuilt());
  EXPECT_TRUE(table->NoPrimaryKey());
  Directory->CloseTable(table);
}

TEST_F(IndexFileTables, KeysOfTableFieldsFollowTheirDescriptors) {
  TDataTable *table = Directory->CreateTable("keyed", Definition, false);
  TDataFile &data = table->DataFile();
  std::vector<TFieldDescriptor> fields;
  for (int i = 1; i <= data.FieldCount(); ++i) fields.push_back(data.Field(i));
  auto *index = dynamic_cast<TIndexFile *>(table->IndexFile());
  TIndexDefinition primary;
  primary.Fields = {DefinitionFieldFromDescriptor(fields[0])};
  DefinePrimaryIndex(index->Header(), primary, {});
  TIndexDefinition byName;
  byName.Name = "ByName";
  byName.Fields = {DefinitionFieldFromDescriptor(fields[1], true), DefinitionFieldFromDescriptor(fields[2])};
  int nameNo = AddSecondaryIndex(index->Header(), byName, {});
  index->Pages().MarkHeaderDirty();
  TIndexKeyDefinition pk = KeyDefinitionForIndex(index->Header(), kPrimaryIndex, fields, 0, 0, {});
  TIndexKeyDefinition nk = KeyDefinitionForIndex(index->Header(), nameNo, fields, 0, 0, {});
  EXPECT_EQ(pk.KeyLength(), 5);
  EXPECT_TRUE(pk.Fields[0].AutoInc);
  EXPECT_EQ(nk.KeyLength(), 12 + 5 + 4);
  EXPECT_TRUE(nk.Fields[0].Descending);
  EXPECT_EQ(nk.Fields[1].NullOffset, fields[2].Offset);
  // A descriptor naming a field the table does not have means a foreign index file.
  index->Header().Descriptors[nameNo].FieldNumbers[1] = 9;
  EXPECT_EQ(CodeOf([&] { KeyDefinitionForIndex(index->Header(), nameNo, fields, 0, 0, {}); }), KURA_INDEXCORRUPT);
  index->Header().Descriptors[nameNo].FieldNumbers[1] = 3;
  index->Header().Descriptors[nameNo].KeyLength = 30;
  EXPECT_EQ(CodeOf([&] { KeyDefinitionForIndex(index->Header(), nameNo, fields, 0, 0, {}); }), KURA_INDEXCORRUPT);
  Directory->CloseTable(table);
}

TEST_F(IndexFileTables, ATemporaryTableKeepsItsIndexFileUntilItsLastClose) {
  // Creating closes the new files once; a temporary index file must survive that close.
  TDataTable *table = Directory->CreateTable("scratch", Definition, false, /*temporary=*/true);
  ASSERT_TRUE(std::filesystem::exists(Scratch.File("scratch.IDX")));
  ASSERT_NE(dynamic_cast<TIndexFile *>(table->IndexFile()), nullptr);
  Directory->CloseTable(table);
  EXPECT_FALSE(std::filesystem::exists(Scratch.File("scratch.DAT")));
  EXPECT_FALSE(std::filesystem::exists(Scratch.File("scratch.IDX")));
}

TEST_F(IndexFileTables, AMissingIndexFileOfATemporaryTableIsMadeAgainAndOpens) {
  TDataTable *table = Directory->CreateTable("scratch2", Definition, false);
  Directory->CloseTable(table);
  std::filesystem::remove(Scratch.File("scratch2.IDX"));
  table = Directory->OpenTable("scratch2", true, false, false, /*temporary=*/true);
  EXPECT_TRUE(table->IndexesRebuilt());
  EXPECT_TRUE(std::filesystem::exists(Scratch.File("scratch2.IDX")));
  Directory->CloseTable(table);
}
