// The least work that reaches a new structure: properties only, indexes rebuilt in place, and
// the index operations a restructure builds on (adding and deleting indexes).
#include "tests/engine_restructure/RestructureTestSupport.h"

#include <algorithm>

#include "engine/blob/BlobFile.h"
#include "engine/blob/BlobStore.h"

using namespace kura;
using namespace kura::restructuretest;

namespace {

class Levels : public RestructureTest {};

constexpr size_t kPeopleRecordsStart = 127 + 768 * 4;

TEST_F(Levels, RenamingAFieldRewritesItsDescriptorOnly) {
  Fill(30);
  const auto before = DirectoryFiles();
  const auto indexTime = std::filesystem::last_write_time(FDir.File("people.IDX"));
  TDataCursor &c = Open(Exclusive());
  TRestructureDefinition def = CurrentDefinition(c);
  def.Fields[1].Name = "FullName";
  def.Fields[1].Description = "the whole name";
  def.Description = "everyone";
  EXPECT_TRUE(c.RestructureTable(def));
  EXPECT_EQ(c.LastRestructureLevel(), TRestructureLevel::PropertiesOnly);
  EXPECT_EQ(c.FieldNumber("FullName"), 2);
  EXPECT_EQ(CodeOf([&] { c.FieldNumber("Name"); }), KURA_OUTOFRANGE);
  c.CloseCursor();

  const auto after = DirectoryFiles();
  EXPECT_EQ(after.size(), before.size());  // no backups, nothing new
  EXPECT_EQ(after.at("people.IDX"), before.at("people.IDX"));
  EXPECT_EQ(std::filesystem::last_write_time(FDir.File("people.IDX")), indexTime);
  const std::vector<uint8_t> &oldData = before.at("people.DAT");
  const std::vector<uint8_t> &newData = after.at("people.DAT");
  ASSERT_EQ(oldData.size(), newData.size());
  // The records were not copied: every slot is byte for byte what it was.
  EXPECT_TRUE(std::equal(oldData.begin() + kPeopleRecordsStart, oldData.end(), newData.begin() + kPeopleRecordsStart));
  EXPECT_NE(oldData, newData);
  EXPECT_TRUE(PrivateFiles().empty());

  TDataCursor &again = Open();
  EXPECT_EQ(again.Field(2).Name, "FullName");
  EXPECT_EQ(again.Field(2).Description, "the whole name");
  EXPECT_EQ(again.Table()->DataFile().Description(), "everyone");
  EXPECT_EQ(Codes(again).size(), 30u);
}

TEST_F(Levels, UniqueIndexKeepsTheRecordInTheLowerSlot) {
  {
    TDataCursor &c = Open();
    // Values 1, 2, 3, 1, 2, 3: the second of each pair lies in a higher slot.
    for (int i = 1; i <= 6; ++i) Add(c, 10 - i, "x" + std::to_string(i), (i - 1) % 3 + 1);
    c.CloseCursor();
  }
  TDataCursor &c = Open(Exclusive());
  std::vector<int> progress;
  c.ProgressCallback = [&](int percent) { progress.push_back(percent); };
  c.AddSecondaryIndex(MakeIndex("OneValue", {3}, true));
  EXPECT_EQ(progress, (std::vector<int>{33, 66, 100}));
  c.SetIndexName("OneValue");
  EXPECT_EQ(Codes(c), (std::vector<int32_t>{9, 8, 7}));
  EXPECT_EQ(c.RecordCount(), 3);
  c.SetIndexName("ByName");
  EXPECT_EQ(Codes(c), (std::vector<int32_t>{9, 8, 7}));
  EXPECT_EQ(c.IndexFile()->Header().LiveRecordCount, 3);
}

TEST_F(Levels, RefusedUniqueIndexLeavesEveryRecordAndNoIndex) {
  {
    TDataCursor &c = Open();
    for (int i = 1; i <= 6; ++i) Add(c, 10 - i, "x" + std::to_string(i), (i - 1) % 3 + 1);
    c.CloseCursor();
  }
  TDataCursor &c = Open(Exclusive());
  const int secondaries = c.IndexFile()->Header().SecondaryCount;
  EXPECT_EQ(CodeOf([&] { c.AddSecondaryIndex(MakeIndex("OneValue", {3}, true), /*refuseDuplicates=*/true); }),
            KURA_KEYVIOL);
  EXPECT_EQ(c.IndexFile()->Header().SecondaryCount, secondaries);
  EXPECT_EQ(c.IndexFile()->Header().LiveRecordCount, 6);
  EXPECT_EQ(c.RecordCount(), 6);
  c.SetIndexName("ByName");
  EXPECT_EQ(Codes(c), (std::vector<int32_t>{9, 8, 7, 6, 5, 4}));
  c.CloseCursor();
  // The refusal is on disk too: a fresh cursor sees every record and no new index, and the
  // name can be used again once the values are unique.
  TDataCursor &again = Open(Exclusive());
  EXPECT_EQ(again.RecordCount(), 6);
  const std::vector<std::string> names = again.IndexNames();
  EXPECT_EQ(std::find(names.begin(), names.end(), "OneValue"), names.end());
  again.AddSecondaryIndex(MakeIndex("OneValue", {1}, true), true);
  again.SetIndexName("OneValue");
  EXPECT_EQ(again.RecordCount(), 6);
}

TEST_F(Levels, RecordDroppedByAUniqueIndexFreesItsBlobs) {
  TDataFileDefinition def;
  def.Fields = {MakeField("Code", EngineFieldType::Integer), MakeField("Tag", EngineFieldType::Integer),
                MakeField("Notes", EngineFieldType::Blob, 0, FieldSubType::Memo)};
  TDataCursor creator(FDirectory, "notes");
  creator.CreateTable(def, {MakeIndex("", {1})});
  TDataCursor &c = Open(Exclusive(), "notes");
  const std::vector<uint8_t> text(2000, 'x');
  for (int code = 1; code <= 2; ++code) {
    std::vector<uint8_t> r = c.NewRecordBuffer();
    c.InitRecord(r.data());
    c.SetInteger(1, r.data(), code);
    c.SetInteger(2, r.data(), 5);
    c.OpenBlob(r.data(), 3);
    c.PutBlob(r.data(), 3, 0, static_cast<uint32_t>(text.size()), text.data());
    c.FreeBlob(r.data(), 3);
    c.AppendRecord(r.data());
  }
  TBlobStore *store = BlobStoreOf(*c.Table());
  ASSERT_NE(store, nullptr);
  EXPECT_TRUE(store->FreeListBlocks().empty());
  c.AddSecondaryIndex(MakeIndex("OneTag", {2}, true));
  EXPECT_EQ(Codes(c), (std::vector<int32_t>{1}));
  // The second record's blob chain went to the free list with it.
  EXPECT_GE(store->FreeListBlocks().size(), 4u);
}

TEST_F(Levels, DeleteIndexNamesAndThePrimaryKey) {
  Fill(5);
  TDataCursor &c = Open(Exclusive());
  EXPECT_EQ(CodeOf([&] { c.DeleteIndex("NoSuchIndex"); }), KURA_INVALIDINDEXNAME);
  EXPECT_EQ(MessageOf([&] { c.DeleteIndex("Missing"); }),
            "Invalid secondary index name 'Missing' specified for the table 'people'");
  c.DeleteIndex("  byname ");  // trimmed, without regard to case
  EXPECT_EQ(c.IndexNames(), (std::vector<std::string>{"", "ByValueName", "ByTag"}));
  c.DeleteIndex("");
  EXPECT_FALSE(c.HasPrimaryKey());
  EXPECT_TRUE(c.IndexFile()->Header().NoPrimaryKey);
  EXPECT_TRUE(c.InNaturalOrder());
  EXPECT_TRUE(c.AtBeginning());
  EXPECT_EQ(CodeOf([&] { c.DeleteIndex(""); }), KURA_INVALIDINDEXNAME);
  EXPECT_EQ(Codes(c), (std::vector<int32_t>{1, 2, 3, 4, 5}));
  c.CloseCursor();
  TDataCursor &again = Open();
  EXPECT_FALSE(again.HasPrimaryKey());
  std::vector<uint8_t> twin = Record(again, {1, "twin", 0, -99});
  again.AppendRecord(twin.data());  // no key any more: the same code is accepted
  EXPECT_EQ(Codes(again).size(), 6u);
}

TEST_F(Levels, RefusedInsideATransaction) {
  Fill(3);
  TDataCursor &c = Open(Exclusive());
  FDirectory->StartTransaction();
  TRestructureDefinition def = CurrentDefinition(c);
  def.Fields[1].DeclaredSize = 20;
  EXPECT_EQ(MessageOf([&] { c.RestructureTable(def); }), "The table 'people' is already in use");
  FDirectory->RollbackTransaction();
  EXPECT_TRUE(c.RestructureTable(def));
  EXPECT_EQ(Codes(c), (std::vector<int32_t>{1, 2, 3}));
}

TEST_F(Levels, DefinitionErrorsChangeNothing) {
  Fill(4);
  {
    TDataCursor &shared = Open();
    EXPECT_EQ(CodeOf([&] { shared.RestructureTable(CurrentDefinition(shared)); }), KURA_NEEDEXCLACCESS);
    shared.CloseCursor();
  }
  const auto before = DirectoryFiles();
  TDataCursor &c = Open(Exclusive());
  TRestructureDefinition def = CurrentDefinition(c);
  TRestructureDefinition bad = def;
  bad.Indexes[1].Fields[0].FieldNumber = 9;
  EXPECT_EQ(MessageOf([&] { c.RestructureTable(bad); }), "Invalid field number or name '9' specified for the table 'people'");
  bad = def;
  bad.Fields[2].Name = "name";
  EXPECT_EQ(CodeOf([&] { c.RestructureTable(bad); }), KURA_INVALIDFIELDNAME);
  bad = def;
  bad.Fields[1].DeclaredSize = 251;
  EXPECT_EQ(CodeOf([&] { c.RestructureTable(bad); }), KURA_INVALIDFLDTYPE);
  bad = def;
  bad.Fields[2].MinValue = "not a number";
  EXPECT_EQ(CodeOf([&] { c.RestructureTable(bad); }), KURA_INVALIDVCHKSTRUCT);
  bad = def;
  bad.Indexes.push_back(MakeIndex("ByName", {3}));
  EXPECT_EQ(CodeOf([&] { c.RestructureTable(bad); }), KURA_INDEXEXISTS);
  bad = def;
  bad.Encrypted = true;
  bad.Password = "";
  EXPECT_EQ(CodeOf([&] { c.RestructureTable(bad); }), KURA_INVALIDPASSWORD);
  bad = def;
  bad.BlobBlockSize = 32;
  EXPECT_EQ(CodeOf([&] { c.RestructureTable(bad); }), KURA_BLOBLIMIT);
  EXPECT_EQ(Codes(c), (std::vector<int32_t>{1, 2, 3, 4}));
  c.CloseCursor();
  EXPECT_EQ(DirectoryFiles(), before);
  EXPECT_TRUE(PrivateFiles().empty());
}

TEST_F(Levels, ChangedIndexesAreRebuiltInPlace) {
  Fill(12);
  const auto before = DirectoryFiles();
  TDataCursor &c = Open(Exclusive());
  std::vector<int> progress;
  c.ProgressCallback = [&](int percent) { progress.push_back(percent); };
  TRestructureDefinition def = CurrentDefinition(c);
  def.Indexes[1].Descending = true;                     // ByName changes
  def.Indexes.erase(def.Indexes.begin() + 2);           // ByValueName goes
  def.Indexes.push_back(MakeIndex("ByValue", {3}, true));  // a new one
  std::vector<TLoss> losses;
  c.DataLossCallback = Recorder(losses);
  ASSERT_TRUE(c.RestructureTable(def));
  EXPECT_EQ(c.LastRestructureLevel(), TRestructureLevel::IndexRebuild);
  EXPECT_TRUE(losses.empty());
  EXPECT_EQ(progress.back(), 100);
  EXPECT_EQ(c.IndexNames(), (std::vector<std::string>{"", "ByName", "ByTag", "ByValue"}));
  c.SetIndexName("ByName");
  EXPECT_EQ(Codes(c), (std::vector<int32_t>{9, 8, 7, 6, 5, 4, 3, 2, 12, 11, 10, 1}));
  c.SetIndexName("ByValue");
  EXPECT_EQ(Codes(c), (std::vector<int32_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
  c.SetIndexName("ByTag");
  EXPECT_EQ(Codes(c, true).front(), 1);
  c.CloseCursor();

  // The records stayed where they were; the index file was copied aside first.
  const auto after = DirectoryFiles();
  EXPECT_TRUE(std::equal(before.at("people.DAT").begin() + kPeopleRecordsStart, before.at("people.DAT").end(),
                         after.at("people.DAT").begin() + kPeopleRecordsStart));
  ASSERT_TRUE(after.count("people.IBK"));
  EXPECT_EQ(after.at("people.IBK"), before.at("people.IDX"));
  EXPECT_FALSE(after.count("people.DBK"));
  // The rebuilt file is sound for the next user.
  TDataCursor &again = Open();
  again.SetIndexName("ByValue");
  EXPECT_EQ(again.RecordCount(), 12);
  std::vector<uint8_t> dup = Record(again, {50, "x", 30, -50});
  EXPECT_EQ(CodeOf([&] { again.AppendRecord(dup.data()); }), KURA_KEYVIOL);
}

TEST_F(Levels, IndexRebuildDropsViolatorsWhenToldToGoOn) {
  {
    TDataCursor &c = Open();
    for (int i = 1; i <= 8; ++i) Add(c, i, "n" + std::to_string(i), i % 3);
    c.CloseCursor();
  }
  TDataCursor &c = Open(Exclusive());
  TRestructureDefinition def = CurrentDefinition(c);
  def.Indexes.push_back(MakeIndex("OneValue", {3}, true));
  def.NoBackup = true;
  std::vector<TLoss> losses;
  c.DataLossCallback = Recorder(losses);
  ASSERT_TRUE(c.RestructureTable(def));
  EXPECT_EQ(losses, (std::vector<TLoss>(5, {TDataLossCause::LossKeyViolation, "OneValue"})));
  EXPECT_EQ(Codes(c), (std::vector<int32_t>{1, 2, 3}));
  c.SetIndexName("ByName");
  EXPECT_EQ(Codes(c), (std::vector<int32_t>{1, 2, 3}));
  EXPECT_EQ(c.IndexFile()->Header().LiveRecordCount, 3);
  c.CloseCursor();
  EXPECT_FALSE(std::filesystem::exists(FDir.File("people.IBK")));
  EXPECT_EQ(PeopleRows().size(), 3u);
}

// Records are taken in slot order across all rebuilt indexes: a record dropped for one index
// holds no key in another, so a later record with its key there stays.
TEST_F(Levels, RecordDroppedForOneIndexDoesNotBlockAnother) {
  {
    TDataCursor &c = Open();
    Add(c, 1, "a", 0);
    Add(c, 2, "b", 0);  // OneValue: 0 is taken by record 1
    Add(c, 3, "b", 1);  // OneName: "b" belonged to record 2 only, which is gone
    Add(c, 4, "a", 2);  // OneName: "a" is taken by record 1
    c.CloseCursor();
  }
  TDataCursor &c = Open(Exclusive());
  TRestructureDefinition def = CurrentDefinition(c);
  def.Indexes.push_back(MakeIndex("OneValue", {3}, true));
  def.Indexes.push_back(MakeIndex("OneName", {2}, true));
  def.NoBackup = true;
  std::vector<TLoss> losses;
  c.DataLossCallback = Recorder(losses);
  ASSERT_TRUE(c.RestructureTable(def));
  EXPECT_EQ(losses, (std::vector<TLoss>{{TDataLossCause::LossKeyViolation, "OneValue"},
                                        {TDataLossCause::LossKeyViolation, "OneName"}}));
  for (const char *index : {"", "OneValue", "OneName"}) {
    c.SetIndexName(index);
    EXPECT_EQ(Codes(c), (std::vector<int32_t>{1, 3})) << index;
  }
  EXPECT_EQ(c.IndexFile()->Header().LiveRecordCount, 2);
}

TEST_F(Levels, CancelledIndexRebuildPutsTheIndexFileBack) {
  {
    TDataCursor &c = Open();
    for (int i = 1; i <= 8; ++i) Add(c, i, "n" + std::to_string(i), i % 3);
    c.CloseCursor();
  }
  const auto before = DirectoryFiles();
  TDataCursor &c = Open(Exclusive());
  TRestructureDefinition def = CurrentDefinition(c);
  def.Indexes[1].Descending = true;
  def.Indexes.push_back(MakeIndex("OneValue", {3}, true));
  std::vector<TLoss> losses;
  c.DataLossCallback = Recorder(losses, true, 0, 2);  // cancels at the second loss
  EXPECT_FALSE(c.RestructureTable(def));
  EXPECT_EQ(losses.size(), 2u);
  EXPECT_EQ(c.IndexNames(), (std::vector<std::string>{"", "ByName", "ByValueName", "ByTag"}));
  EXPECT_EQ(Codes(c), (std::vector<int32_t>{1, 2, 3, 4, 5, 6, 7, 8}));
  c.CloseCursor();
  EXPECT_EQ(DirectoryFiles(), before);
  EXPECT_EQ(PeopleRows().size(), 8u);
}

TEST_F(Levels, PrimaryKeyGivenToATableWithoutOne) {
  TDataCursor creator(FDirectory, "heap");
  creator.CreateTable(PeopleDefinition(), {MakeIndex("ByName", {2})});
  {
    TDataCursor &c = Open({}, "heap");
    for (int code : {5, 3, 9, 1}) Add(c, code, "h", code);
    c.CloseCursor();
  }
  TDataCursor &c = Open(Exclusive(), "heap");
  TRestructureDefinition def = CurrentDefinition(c);
  def.Indexes.insert(def.Indexes.begin(), MakeIndex("", {1}));
  ASSERT_TRUE(c.RestructureTable(def));
  EXPECT_EQ(c.LastRestructureLevel(), TRestructureLevel::IndexRebuild);
  EXPECT_TRUE(c.HasPrimaryKey());
  EXPECT_EQ(Codes(c), (std::vector<int32_t>{1, 3, 5, 9}));
  std::vector<uint8_t> dup = Record(c, {3, "again", 0, 0});
  EXPECT_EQ(CodeOf([&] { c.AppendRecord(dup.data()); }), KURA_KEYVIOL);
}

}  // namespace
