// Restructuring by copying every record into a new table: conversions, losses, blobs,
// auto-increment values, in-memory tables.
#include "tests/engine_restructure/RestructureTestSupport.h"

#include "engine/file/FileHandler.h"
#include "engine/table/DataSession.h"

using namespace kura;
using namespace kura::restructuretest;

namespace {

class Copy : public RestructureTest {
 protected:
  // "words": Code Integer (primary key), Word String(20).
  void MakeWords(const std::vector<std::string> &words) {
    TDataFileDefinition def;
    def.Fields = {MakeField("Code", EngineFieldType::Integer), MakeField("Word", EngineFieldType::String, 20)};
    TDataCursor creator(FDirectory, "words");
    creator.CreateTable(def, {MakeIndex("", {1})});
    TDataCursor &c = Open({}, "words");
    int code = 0;
    for (const std::string &w : words) {
      std::vector<uint8_t> r = c.NewRecordBuffer();
      c.InitRecord(r.data());
      c.SetInteger(1, r.data(), ++code);
      c.SetString(2, r.data(), w);
      c.AppendRecord(r.data());
    }
    c.CloseCursor();
  }
};

TEST_F(Copy, ShorterStringsAreCutWithoutALossReport) {
  MakeWords({"abcdefghijklmnop", "short", "exactly10c"});
  TDataCursor &c = Open(Exclusive(), "words");
  TRestructureDefinition def = CurrentDefinition(c);
  def.Fields[1].DeclaredSize = 10;
  std::vector<TLoss> losses;
  c.DataLossCallback = Recorder(losses);
  ASSERT_TRUE(c.RestructureTable(def));
  EXPECT_EQ(c.LastRestructureLevel(), TRestructureLevel::FullRebuild);
  EXPECT_TRUE(losses.empty());
  EXPECT_TRUE(c.IsOpen());
  EXPECT_EQ(c.Field(2).DeclaredSize, 10);
  c.CloseCursor();
  EXPECT_EQ(PeopleRows("words"), (std::vector<std::string>{"1|abcdefghij", "2|short", "3|exactly10c"}));
  EXPECT_TRUE(PrivateFiles().empty());
}

TEST_F(Copy, DroppedFieldIsReportedForEveryRecordUntilStopAsking) {
  Fill(5);
  {
    TDataCursor &c = Open(Exclusive());
    TRestructureDefinition def = CurrentDefinition(c);
    def.Fields.erase(def.Fields.begin() + 3);  // Tag
    def.Indexes.pop_back();                    // ByTag went with it
    std::vector<TLoss> losses;
    c.DataLossCallback = Recorder(losses);
    ASSERT_TRUE(c.RestructureTable(def));
    EXPECT_EQ(losses, (std::vector<TLoss>(5, {TDataLossCause::LossFieldDropped, "Tag"})));
    EXPECT_EQ(c.FieldCount(), 3);
    c.CloseCursor();
  }
  EXPECT_EQ(PeopleRows(), (std::vector<std::string>{"1|n1|10", "2|n2|20", "3|n3|30", "4|n4|40", "5|n5|50"}));
  TDataCursor &c = Open(Exclusive());
  TRestructureDefinition def = CurrentDefinition(c);
  def.Fields.erase(def.Fields.begin() + 2);  // Value
  def.Indexes.erase(def.Indexes.begin() + 2);
  std::vector<TLoss> losses;
  c.DataLossCallback = Recorder(losses, true, 2);
  ASSERT_TRUE(c.RestructureTable(def));
  EXPECT_EQ(losses, (std::vector<TLoss>(2, {TDataLossCause::LossFieldDropped, "Value"})));
  EXPECT_EQ(Codes(c), (std::vector<int32_t>{1, 2, 3, 4, 5}));
}

TEST_F(Copy, CancelFromTheCallbackLeavesFilesAndContents) {
  Fill(6);
  const auto before = DirectoryFiles();
  TDataCursor &c = Open(Exclusive());
  TRestructureDefinition def = CurrentDefinition(c);
  def.Fields.erase(def.Fields.begin() + 3);
  def.Indexes.pop_back();
  std::vector<TLoss> losses;
  c.DataLossCallback = Recorder(losses, true, 0, 3);
  EXPECT_FALSE(c.RestructureTable(def));
  EXPECT_EQ(losses.size(), 3u);
  EXPECT_TRUE(c.IsOpen());
  EXPECT_EQ(c.FieldCount(), 4);
  EXPECT_EQ(Codes(c), (std::vector<int32_t>{1, 2, 3, 4, 5, 6}));
  c.CloseCursor();
  EXPECT_EQ(DirectoryFiles(), before);
  EXPECT_TRUE(PrivateFiles().empty());
}

TEST_F(Copy, ValuesAreConvertedFieldByField) {
  TDataFileDefinition def0;
  def0.Fields = {MakeField("Code", EngineFieldType::Integer), MakeField("Text", EngineFieldType::String, 10),
                 MakeField("Amount", EngineFieldType::Float), MakeField("Count", EngineFieldType::Integer)};
  {
    TDataCursor creator(FDirectory, "mixed");
    creator.CreateTable(def0, {MakeIndex("", {1})});
    TDataCursor &c = Open({}, "mixed");
    const char *texts[] = {"42", "x1", "-7"};
    const double amounts[] = {2.75, -3.5, 1e30};
    for (int i = 0; i < 3; ++i) {
      std::vector<uint8_t> r = c.NewRecordBuffer();
      c.InitRecord(r.data());
      c.SetInteger(1, r.data(), i + 1);
      c.SetString(2, r.data(), texts[i]);
      c.SetFloat(3, r.data(), amounts[i]);
      if (i != 2) c.SetInteger(4, r.data(), 100 + i);
      c.AppendRecord(r.data());
    }
    c.CloseCursor();
  }
  TDataCursor &c = Open(Exclusive(), "mixed");
  TRestructureDefinition def = CurrentDefinition(c);
  def.Fields[1].Type = EngineFieldType::Integer;  // text -> integer
  def.Fields[1].DeclaredSize = 0;
  def.Fields[2].Type = EngineFieldType::Integer;  // float -> integer, truncated
  def.Fields[3].Type = EngineFieldType::String;   // integer -> text
  def.Fields[3].DeclaredSize = 8;
  std::vector<TLoss> losses;
  c.DataLossCallback = Recorder(losses);
  ASSERT_TRUE(c.RestructureTable(def));
  // "x1" is no number, 1e30 no 32-bit integer: both reported, their records kept with 0.
  EXPECT_EQ(losses, (std::vector<TLoss>{{TDataLossCause::LossConversion, "Text"},
                                        {TDataLossCause::LossConversion, "Amount"}}));
  c.CloseCursor();
  // A NULL stays NULL.
  EXPECT_EQ(PeopleRows("mixed"), (std::vector<std::string>{"1|42|2|100", "2|0|-3|101", "3|-7|0|NULL"}));
}

TEST_F(Copy, KeyViolationsAndValidityFailuresAreReported) {
  Fill(12);
  {
    TDataCursor &c = Open();
    std::vector<uint8_t> r = GoTo(c, 7);
    c.SetFieldNull(3, r.data());
    c.ModifyRecord(r.data());
    c.CloseCursor();
  }
  TDataCursor &c = Open(Exclusive());
  TRestructureDefinition def = CurrentDefinition(c);
  def.Fields[1].DeclaredSize = 2;  // "n1", "n10", "n11", "n12" all become "n1"
  def.Indexes[1].Unique = true;    // ByName
  def.Fields[2].Required = true;   // Value: required, at least 30
  def.Fields[2].MinValue = "30";
  std::vector<TLoss> losses;
  c.DataLossCallback = Recorder(losses);
  ASSERT_TRUE(c.RestructureTable(def));
  // Records 1 and 2 are below the minimum and 7 has no value; 10 keeps "n1" (record 1 is
  // gone), 11 and 12 meet it in the unique index.
  EXPECT_EQ(losses, (std::vector<TLoss>{{TDataLossCause::LossValidity, "Value"},
                                        {TDataLossCause::LossValidity, "Value"},
                                        {TDataLossCause::LossValidity, "Value"},
                                        {TDataLossCause::LossKeyViolation, "ByName"},
                                        {TDataLossCause::LossKeyViolation, "ByName"}}));
  EXPECT_EQ(Codes(c), (std::vector<int32_t>{3, 4, 5, 6, 8, 9, 10}));
}

TEST_F(Copy, FieldsFollowTheirNumbersAndNewFieldsStartFromTheirDefault) {
  Fill(3);
  TDataCursor &c = Open(Exclusive());
  TRestructureDefinition def = CurrentDefinition(c);
  TFieldDescriptor score = MakeField("Score", EngineFieldType::Integer);
  score.DefaultValue = "5";
  // Value, Code, Score (new), Name; Tag dropped without asking anyone.
  def.Fields = {def.Fields[2], def.Fields[0], score, def.Fields[1]};
  def.Indexes = {MakeIndex("", {2}), MakeIndex("ByName", {4})};
  std::vector<int> progress;
  DefaultSession().Settings.ProgressSteps = 50;
  c.ProgressCallback = [&](int percent) { progress.push_back(percent); };
  ASSERT_TRUE(c.RestructureTable(def));
  EXPECT_EQ(progress, (std::vector<int>{66, 100}));
  c.CloseCursor();
  EXPECT_EQ(PeopleRows(), (std::vector<std::string>{"10|1|5|n1", "20|2|5|n2", "30|3|5|n3"}));
}

TEST_F(Copy, AutoIncrementValuesAreKept) {
  TDataFileDefinition def0;
  def0.Fields = {MakeField("Seq", EngineFieldType::Integer, 0, FieldSubType::AutoInc),
                 MakeField("Name", EngineFieldType::String, 8)};
  TDataCursor creator(FDirectory, "numbered");
  creator.CreateTable(def0, {MakeIndex("", {1})});
  {
    TDataCursor &c = Open({}, "numbered");
    for (int i = 0; i < 5; ++i) {
      std::vector<uint8_t> r = c.NewRecordBuffer();
      c.InitRecord(r.data());
      c.SetString(2, r.data(), "r" + std::to_string(i + 1));
      c.AppendRecord(r.data());
    }
    c.SetToEnd();
    std::vector<uint8_t> r = c.NewRecordBuffer();
    ASSERT_EQ(c.GetPriorRecord(r.data()), KURA_NONE);
    c.DeleteRecord(r.data());  // Seq 5 goes; 5 stays handed out
    ASSERT_TRUE(c.SetToRecNo(2));
    ASSERT_EQ(c.GetCurRecord(r.data()), KURA_NONE);
    c.DeleteRecord(r.data());
    c.CloseCursor();
  }
  {
    TDataCursor &c = Open(Exclusive(), "numbered");
    TRestructureDefinition def = CurrentDefinition(c);
    def.Fields.push_back(MakeField("Extra", EngineFieldType::SmallInt));
    ASSERT_TRUE(c.RestructureTable(def));
    EXPECT_EQ(c.Table()->DataFile().LastAutoIncValue(), 5);
    def = CurrentDefinition(c);
    def.Fields[1].DeclaredSize = 6;
    def.LastAutoIncValue = 40;
    ASSERT_TRUE(c.RestructureTable(def));
    EXPECT_EQ(c.Table()->DataFile().LastAutoIncValue(), 40);
    def = CurrentDefinition(c);
    def.Fields[1].DeclaredSize = 7;
    def.LastAutoIncValue = 2;  // never lowered below what was handed out
    ASSERT_TRUE(c.RestructureTable(def));
    EXPECT_EQ(c.Table()->DataFile().LastAutoIncValue(), 40);
    c.CloseCursor();
  }
  EXPECT_EQ(PeopleRows("numbered"), (std::vector<std::string>{"1|r1|NULL", "3|r3|NULL", "4|r4|NULL"}));
  TDataCursor &c = Open({}, "numbered");
  std::vector<uint8_t> r = c.NewRecordBuffer();
  c.InitRecord(r.data());
  c.SetString(2, r.data(), "new");
  c.AppendRecord(r.data());
  EXPECT_EQ(c.GetInteger(1, c.CurrentRecord().data()), 41);
}

TEST_F(Copy, BlobsAreCarriedOver) {
  TDataFileDefinition def0;
  def0.Fields = {MakeField("Code", EngineFieldType::Integer), MakeField("Notes", EngineFieldType::Blob, 0, FieldSubType::Memo)};
  TDataCursor creator(FDirectory, "notes");
  creator.CreateTable(def0, {MakeIndex("", {1})});
  std::vector<uint8_t> big(5000);
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 13 + 1);
  {
    TDataCursor &c = Open({}, "notes");
    for (int code = 1; code <= 3; ++code) {
      std::vector<uint8_t> r = c.NewRecordBuffer();
      c.InitRecord(r.data());
      c.SetInteger(1, r.data(), code);
      if (code != 2) {
        c.OpenBlob(r.data(), 2);
        c.PutBlob(r.data(), 2, 0, static_cast<uint32_t>(big.size() / code), big.data());
        c.FreeBlob(r.data(), 2);
      }
      c.AppendRecord(r.data());
    }
    c.CloseCursor();
  }
  {
    TDataCursor &c = Open(Exclusive(), "notes");
    TRestructureDefinition def = CurrentDefinition(c);
    def.Fields.insert(def.Fields.begin() + 1, MakeField("Title", EngineFieldType::String, 12));
    def.Indexes[0].Fields[0].FieldNumber = 1;
    def.BlobBlockSize = 1024;
    ASSERT_TRUE(c.RestructureTable(def));
    c.CloseCursor();
  }
  TDataCursor &c = Open({}, "notes");
  EXPECT_EQ(c.Table()->DataFile().BlobBlockSize(), 1024);
  std::vector<uint8_t> r = c.NewRecordBuffer();
  c.SetToBegin();
  for (int code = 1; code <= 3; ++code) {
    ASSERT_EQ(c.GetNextRecord(r.data()), KURA_NONE);
    EXPECT_EQ(c.GetInteger(1, r.data()), code);
    if (code == 2) {
      EXPECT_TRUE(c.IsFieldNull(3, r.data()));
      continue;
    }
    const uint32_t size = c.OpenBlob(r.data(), 3);
    std::vector<uint8_t> got(size);
    c.GetBlob(r.data(), 3, 0, size, got.data());
    c.FreeBlob(r.data(), 3);
    EXPECT_EQ(got, std::vector<uint8_t>(big.begin(), big.begin() + static_cast<long>(big.size() / code)));
  }
  c.CloseCursor();
  // A blob meeting a field that is not a Blob is a conversion loss.
  TDataCursor &x = Open(Exclusive(), "notes");
  TRestructureDefinition def = CurrentDefinition(x);
  def.Fields[2].Type = EngineFieldType::String;
  def.Fields[2].SubType = FieldSubType::None;
  def.Fields[2].DeclaredSize = 20;
  std::vector<TLoss> losses;
  x.DataLossCallback = Recorder(losses);
  ASSERT_TRUE(x.RestructureTable(def));
  EXPECT_EQ(losses, (std::vector<TLoss>(2, {TDataLossCause::LossConversion, "Notes"})));
  EXPECT_EQ(x.RecordCount(), 3);
}

TEST_F(Copy, InMemoryTableIsRebuiltInMemory) {
  TDataDirectory *memory = DefaultSession().OpenDataDirectory("Memory", "");
  TDataCursor creator(memory, "temp");
  creator.CreateTable(PeopleDefinition(), PeopleIndexes());
  {
    TDataCursor c(memory, "temp");
    c.OpenCursor();
    for (int i = 1; i <= 4; ++i) Add(c, i, "m" + std::to_string(i), i);
    c.CloseCursor();
  }
  {
    TDataCursor c(memory, "temp");
    TCursorOptions o = Exclusive();
    c.SetOptions(o);
    c.OpenCursor();
    TRestructureDefinition def = CurrentDefinition(c);
    def.Fields[2].Type = EngineFieldType::LargeInt;
    def.Fields.push_back(MakeField("More", EngineFieldType::Boolean));
    ASSERT_TRUE(c.RestructureTable(def));
    EXPECT_EQ(c.LastRestructureLevel(), TRestructureLevel::FullRebuild);
    EXPECT_EQ(c.Field(3).Type, EngineFieldType::LargeInt);
    EXPECT_EQ(Codes(c), (std::vector<int32_t>{1, 2, 3, 4}));
    // Indexes of an in-memory table are rebuilt in memory as well.
    def = CurrentDefinition(c);
    def.Indexes.push_back(MakeIndex("ByMore", {5, 1}));
    ASSERT_TRUE(c.RestructureTable(def));
    EXPECT_EQ(c.LastRestructureLevel(), TRestructureLevel::IndexRebuild);
    c.SetIndexName("ByMore");
    EXPECT_EQ(Codes(c, true), (std::vector<int32_t>{4, 3, 2, 1}));
    c.CloseCursor();
  }
  EXPECT_TRUE(TFileHandler::Exists("temp.IBK", true));
  TFileHandler::DeleteFile("temp.IBK", true, "temp");
  EXPECT_TRUE(memory->TableExists("temp", true));
  EXPECT_FALSE(TFileHandler::Exists("temp.DBK", true));
  EXPECT_TRUE(PrivateFiles().empty());
  TDataCursor c(memory, "temp");
  c.OpenCursor();
  EXPECT_EQ(c.FieldCount(), 5);
  std::vector<uint8_t> r = GoTo(c, 3);
  EXPECT_EQ(c.GetInteger(3, r.data()), 3);
  c.CloseCursor();
  c.DeleteTable();
  DefaultSession().CloseDataDirectory(memory);
}

}  // namespace
