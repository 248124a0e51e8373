// What the sort refuses or leaves alone, and how it cleans up: shared tables, tables with
// indexes, bad sort fields, callbacks that throw, run file names already taken.
#include <fstream>

#include "tests/engine_sort/SortTestSupport.h"
#include "engine/index/IndexKeyMapping.h"
#include "engine/sort/SortRuns.h"

namespace kura::test {
namespace {

uint16_t CodeOf(const std::function<void()> &action) {
  try {
    action();
  } catch (const EKuraEngineError &e) {
    return e.ErrorCode();
  }
  return KURA_NONE;
}

TSortRequest ByValue(TDataTable &table) {
  TSortRequest request;
  request.Fields = {TSortField{table.DataFile().Field(FVal), false}};
  return request;
}

TEST_F(SortTest, SharedTableIsRefusedWithNeedExclusiveAccess) {
  UseLargeBuffers();
  TDataTable *table = CreateResultTable("shared");
  const std::vector<SortRow> rows = RandomRows(50, 1);
  Fill(*table, rows);
  FDirectory->CloseTable(table);
  TDataTable *shared = FDirectory->OpenTable("shared", false, false, false, false);
  ASSERT_FALSE(shared->Exclusive());
  EXPECT_EQ(CodeOf([&] { SortRecords(*shared, ByValue(*shared)); }), KURA_NEEDEXCLACCESS);
  EXPECT_EQ(SeqOf(ReadAll(*shared)), SeqOf(rows));
  FDirectory->CloseTable(shared);
}

TEST_F(SortTest, TablesWithAPrimaryKeyOrASecondaryIndexAreLeftAlone) {
  UseLargeBuffers();
  const std::vector<SortRow> rows = RandomRows(60, 2);
  TDataTable *keyed = FDirectory->CreateTable("keyed", SortTableDefinition(), false);
  auto *keyedIndex = dynamic_cast<TIndexFile *>(keyed->IndexFile());
  ASSERT_NE(keyedIndex, nullptr);
  TIndexDefinition primary;
  primary.Fields = {DefinitionFieldFromDescriptor(keyed->DataFile().Field(FSeq))};
  primary.Unique = true;
  DefinePrimaryIndex(keyedIndex->Header(), primary, ErrorTexts{});
  keyedIndex->Pages().MarkHeaderDirty();
  ASSERT_FALSE(keyed->NoPrimaryKey());
  Fill(*keyed, rows);

  TDataTable *indexed = CreateResultTable("indexed");
  auto *index = dynamic_cast<TIndexFile *>(indexed->IndexFile());
  TIndexDefinition secondary;
  secondary.Name = "ByVal";
  secondary.Fields = {DefinitionFieldFromDescriptor(indexed->DataFile().Field(FVal))};
  AddSecondaryIndex(index->Header(), secondary, ErrorTexts{});
  index->Pages().MarkHeaderDirty();
  Fill(*indexed, rows);

  for (TDataTable *table : {keyed, indexed}) {
    TSortOutcome outcome = SortRecords(*table, ByValue(*table));
    EXPECT_FALSE(outcome.Sorted) << table->Name();
    EXPECT_EQ(SeqOf(ReadAll(*table)), SeqOf(rows)) << table->Name();
  }
}

TEST_F(SortTest, BadSortFieldsAreRefusedBeforeAnythingChanges) {
  UseTinyBuffers(8);
  TDataTable *table = CreateResultTable("badfields");
  const std::vector<SortRow> rows = RandomRows(40, 3);
  Fill(*table, rows);

  TSortRequest blob;
  blob.Fields = {TSortField{table->DataFile().Field(FMemo), false}};
  try {
    SortRecords(*table, blob);
    ADD_FAILURE() << "a Blob sort field was accepted";
  } catch (const EKuraEngineError &e) {
    EXPECT_EQ(e.ErrorCode(), KURA_SEARCHCOLREQD);
    EXPECT_EQ(e.Context().Field, "Memo");
  }

  TSortRequest tooMany;
  tooMany.Fields.assign(kMaxSortFields + 1, TSortField{table->DataFile().Field(FVal), false});
  EXPECT_EQ(CodeOf([&] { SortRecords(*table, tooMany); }), KURA_INDEXLIMIT);

  // A descriptor that does not fit this table's records (another table's field).
  TSortField foreign{table->DataFile().Field(FVal), false};
  foreign.Field.Offset = static_cast<uint16_t>(table->DataFile().RecordSize() - 2);
  TSortRequest outside;
  outside.Fields = {foreign};
  EXPECT_EQ(CodeOf([&] { SortRecords(*table, outside); }), KURA_INVALIDIDXDESC);

  EXPECT_EQ(SeqOf(ReadAll(*table)), SeqOf(rows));
  EXPECT_TRUE(RunFilesLeft().empty());

  // The full limit of sort fields is accepted.
  TSortRequest many;
  many.Fields.assign(kMaxSortFields, TSortField{table->DataFile().Field(FVal), false});
  EXPECT_EQ(SortRecords(*table, many).RowCount, 40);
}

TSortRequest ThrowingGrouping(TDataTable &table, int *calls, int throwAt) {
  TSortRequest request = ByValue(table);
  request.Query = calls;
  request.Callbacks.Accumulate = [throwAt](void *query, bool, const uint8_t *, uint8_t *) {
    int &n = *static_cast<int *>(query);
    if (++n == throwAt) throw std::runtime_error("group failed");
  };
  return request;
}

TEST_F(SortTest, ThrowingCallbackInMemoryLeavesTheTableAsItWas) {
  UseLargeBuffers();
  TDataTable *table = CreateResultTable("throw_cached");
  const std::vector<SortRow> rows = RandomRows(300, 4);
  Fill(*table, rows);
  int calls = 0;
  EXPECT_THROW(SortRecords(*table, ThrowingGrouping(*table, &calls, 150)), std::runtime_error);
  EXPECT_EQ(calls, 150);
  EXPECT_EQ(SeqOf(ReadAll(*table)), SeqOf(rows));
  // And the table still sorts afterwards.
  EXPECT_EQ(SortRecords(*table, ByValue(*table)).RowCount, 300);
}

TEST_F(SortTest, ThrowingCallbackDuringTheMergeRemovesTheRunFiles) {
  UseTinyBuffers(16);
  TDataTable *table = CreateResultTable("throw_runs");
  Fill(*table, RandomRows(400, 5));
  int calls = 0;
  EXPECT_THROW(SortRecords(*table, ThrowingGrouping(*table, &calls, 200)), std::runtime_error);
  EXPECT_EQ(calls, 200);
  EXPECT_TRUE(RunFilesLeft().empty());
  // The records were written out before the runs were made; the table keeps whole records.
  EXPECT_EQ(table->DataFile().SlotCount(), 400);
}

TEST_F(SortTest, RunFilesTakeNamesNotInUseAndLeaveOthersAlone) {
  UseTinyBuffers(10);
  const std::string taken = (FRoot / "private" / (ThreadNumberDigits() + "0.TMP")).string();
  {
    std::ofstream out(taken);
    out << "someone else's";
  }
  TDataTable *table = CreateResultTable("names");
  const std::vector<SortRow> rows = RandomRows(95, 6);
  Fill(*table, rows);
  TSortOutcome outcome = SortRecords(*table, ByValue(*table));
  EXPECT_EQ(outcome.RunCount, 10);
  RowOrder model{{{FVal, false}}};
  EXPECT_EQ(SeqOf(ReadAll(*table)), SeqOf(model.Sorted(rows)));
  std::ifstream in(taken);
  std::string text;
  std::getline(in, text);
  EXPECT_EQ(text, "someone else's");
  EXPECT_EQ(RunFilesLeft(), std::vector<std::string>{ThreadNumberDigits() + "0.TMP"});
}

TEST(SortRunsTest, RunsReadBackInOrderAndGoWhenDiscarded) {
  char pattern[] = "/tmp/kura-runs-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const std::string dir = std::string(pattern) + "/";
  StartEngine();
  {
    TSortRuns runs(dir, 3, true);
    const uint8_t first[] = {1, 2, 3, 4, 5, 6};
    const uint8_t second[] = {7, 8, 9};
    runs.AddRun(first, 2);
    runs.AddRun(second, 1);
    ASSERT_EQ(runs.Count(), 2u);
    EXPECT_NE(runs.FileName(0), runs.FileName(1));
    // Scrambled on disk.
    std::ifstream raw(runs.FileName(0), std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(raw)), std::istreambuf_iterator<char>());
    ASSERT_EQ(bytes.size(), 6u);
    EXPECT_NE(std::vector<uint8_t>(bytes.begin(), bytes.end()), std::vector<uint8_t>(first, first + 6));
    uint8_t record[3];
    ASSERT_TRUE(runs.Next(0, record));
    EXPECT_EQ(std::vector<uint8_t>(record, record + 3), (std::vector<uint8_t>{1, 2, 3}));
    ASSERT_TRUE(runs.Next(0, record));
    EXPECT_EQ(std::vector<uint8_t>(record, record + 3), (std::vector<uint8_t>{4, 5, 6}));
    EXPECT_FALSE(runs.Next(0, record));
    ASSERT_TRUE(runs.Next(1, record));
    EXPECT_EQ(record[2], 9);
    // Destroyed with one run still open.
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir));
  StopEngine();
  std::filesystem::remove_all(pattern);
}

}  // namespace
}  // namespace kura::test
