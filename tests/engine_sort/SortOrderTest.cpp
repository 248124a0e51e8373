// Order of the sorted records: several fields with mixed directions, NULLs, texts with and
// without a locale and case-insensitively, compared with a stable sort of the same rows; the
// in-memory and the external path agree.
#include "tests/engine_sort/SortTestSupport.h"

namespace kura::test {
namespace {

TEST_F(SortTest, ThreeCachedRecordsOnADescendingIntegerField) {
  UseLargeBuffers();
  TDataTable *table = CreateResultTable("three");
  std::vector<SortRow> rows(3);
  const int32_t values[] = {2, 3, 1};
  for (int i = 0; i < 3; ++i) {
    rows[i].Seq = i + 1;
    rows[i].Val = values[i];
  }
  Fill(*table, rows);
  TSortRequest request;
  request.Fields = {SortOn(*table, FVal, true)};
  TSortOutcome outcome = SortRecords(*table, request);
  EXPECT_TRUE(outcome.Sorted);
  EXPECT_FALSE(outcome.External);
  EXPECT_EQ(outcome.RowCount, 3);
  std::vector<SortRow> sorted = ReadAll(*table);
  ASSERT_EQ(sorted.size(), 3u);
  EXPECT_EQ(*sorted[0].Val, 3);
  EXPECT_EQ(*sorted[1].Val, 2);
  EXPECT_EQ(*sorted[2].Val, 1);
  ExpectNumbered(sorted);
}

struct OrderCase {
  const char *Name;
  std::vector<RowOrder::Key> Keys;
  bool CaseInsensitive;
  uint16_t LanguageId;
};

void PrintTo(const OrderCase &c, std::ostream *os) { *os << c.Name; }

class SortOrderTest : public SortTest, public ::testing::WithParamInterface<OrderCase> {};

// Both paths over the same rows give the model's order; the external one through several runs,
// leaving no run file behind.
TEST_P(SortOrderTest, BothPathsMatchAStableSortOfTheRows) {
  const OrderCase &c = GetParam();
  const bool nonAscii = c.LanguageId != 0;
  const std::vector<SortRow> rows = RandomRows(3000, 1234, nonAscii);
  RowOrder model{c.Keys, c.CaseInsensitive, c.LanguageId};
  const std::vector<int32_t> expected = SeqOf(model.Sorted(rows));

  UseLargeBuffers();
  TDataTable *cached = CreateResultTable("cached", c.LanguageId);
  Fill(*cached, rows);
  UseTinyBuffers(64);
  TDataTable *spilled = CreateResultTable("spilled", c.LanguageId);
  Fill(*spilled, rows);

  for (TDataTable *table : {cached, spilled}) {
    TSortRequest request;
    for (const RowOrder::Key &k : c.Keys) request.Fields.push_back(SortOn(*table, k.Field, k.Descending));
    request.CaseInsensitive = c.CaseInsensitive;
    TSortOutcome outcome = SortRecords(*table, request);
    EXPECT_TRUE(outcome.Sorted);
    EXPECT_EQ(outcome.External, table == spilled);
    if (table == spilled) EXPECT_EQ(outcome.RunCount, (3000 + 63) / 64);
    EXPECT_EQ(outcome.RowCount, 3000);
    std::vector<SortRow> sorted = ReadAll(*table);
    EXPECT_EQ(SeqOf(sorted), expected) << table->Name();
    ExpectNumbered(sorted);
    EXPECT_TRUE(RunFilesLeft().empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Keys, SortOrderTest,
    ::testing::Values(
        OrderCase{"IntegerAscending", {{FVal, false}}, false, 0},
        OrderCase{"GroupAscValueDescPriceAsc", {{FGrp, false}, {FVal, true}, {FPrice, false}}, false, 0},
        OrderCase{"NameDescGroupAsc", {{FName, true}, {FGrp, false}}, false, 0},
        OrderCase{"NameCaseInsensitiveThenPriceDesc", {{FName, false}, {FPrice, true}}, true, 0},
        OrderCase{"NameWithLocale", {{FName, false}, {FVal, false}}, false, 0x0407},
        OrderCase{"NameWithLocaleDescending", {{FName, true}, {FGrp, true}}, false, 0x0407},
        OrderCase{"NameWithLocaleCaseInsensitive", {{FName, false}}, true, 0x0407},
        OrderCase{"NoFieldsKeepsInsertionOrder", {}, false, 0}),
    [](const ::testing::TestParamInfo<OrderCase> &info) { return std::string(info.param.Name); });

TEST_F(SortTest, NullsComeFirstAscendingAndLastDescending) {
  UseLargeBuffers();
  TDataTable *table = CreateResultTable("nulls");
  std::vector<SortRow> rows(5);
  const std::optional<int32_t> values[] = {5, std::nullopt, -2, std::nullopt, 0};
  for (int i = 0; i < 5; ++i) {
    rows[i].Seq = i + 1;
    rows[i].Val = values[i];
  }
  Fill(*table, rows);
  TSortRequest request;
  request.Fields = {SortOn(*table, FVal)};
  SortRecords(*table, request);
  EXPECT_EQ(SeqOf(ReadAll(*table)), (std::vector<int32_t>{2, 4, 3, 5, 1}));
  request.Fields = {SortOn(*table, FVal, true)};
  SortRecords(*table, request);
  // Equal keys (the two NULLs) keep their order: the first sort renumbered them 1 and 2.
  EXPECT_EQ(SeqOf(ReadAll(*table)), (std::vector<int32_t>{1, 5, 3, 2, 4}));
}

TEST_F(SortTest, EncryptedTableSortsOnBothPathsAndStaysReadable) {
  const std::vector<SortRow> rows = RandomRows(500, 77);
  RowOrder model{{{FName, false}, {FSeq, true}}};
  for (bool tiny : {false, true}) {
    if (tiny)
      UseTinyBuffers(32);
    else
      UseLargeBuffers();
    TDataTable *table = CreateResultTable(tiny ? "secret_runs" : "secret_cached", 0, true);
    Fill(*table, rows);
    TSortRequest request;
    request.Fields = {SortOn(*table, FName), SortOn(*table, FSeq, true)};
    TSortOutcome outcome = SortRecords(*table, request);
    EXPECT_EQ(outcome.External, tiny);
    EXPECT_EQ(SeqOf(ReadAll(*table)), SeqOf(model.Sorted(rows)));
    // The run files held scrambled records and are gone.
    EXPECT_TRUE(RunFilesLeft().empty());
    // Read again from disk: the records were written scrambled and read back plain.
    FDirectory->CloseTable(table);
    TDataTable *again = FDirectory->OpenTable(tiny ? "secret_runs" : "secret_cached", true, false, false, false);
    EXPECT_EQ(SeqOf(ReadAll(*again)), SeqOf(model.Sorted(rows)));
    FDirectory->CloseTable(again);
  }
}

TEST_F(SortTest, TableOfTheMemoryDatabaseSortsThroughRunFiles) {
  UseTinyBuffers(40);
  TDataDirectory *memory = Session().OpenDataDirectory(kMemoryDatabaseName, "");
  TDataTable *table = memory->CreateTable("inmem", SortTableDefinition(), true);
  auto *index = dynamic_cast<TIndexFile *>(table->IndexFile());
  ASSERT_NE(index, nullptr);
  DefinePrimaryIndex(index->Header(), TIndexDefinition{}, ErrorTexts{});
  const std::vector<SortRow> rows = RandomRows(1000, 8);
  Fill(*table, rows);
  TSortRequest request;
  request.Fields = {SortOn(*table, FGrp, true), SortOn(*table, FName)};
  TSortOutcome outcome = SortRecords(*table, request);
  EXPECT_TRUE(outcome.External);
  RowOrder model{{{FGrp, true}, {FName, false}}};
  EXPECT_EQ(SeqOf(ReadAll(*table)), SeqOf(model.Sorted(rows)));
  EXPECT_TRUE(RunFilesLeft().empty());
  memory->CloseTable(table);
}

TEST_F(SortTest, SortedTableReopensWithConsistentHeaders) {
  UseTinyBuffers(50);
  TDataTable *table = CreateResultTable("reopen");
  const std::vector<SortRow> rows = RandomRows(700, 5);
  Fill(*table, rows);
  TSortRequest request;
  request.Fields = {SortOn(*table, FPrice, true)};
  request.MaxRows = 300;
  ASSERT_EQ(SortRecords(*table, request).RowCount, 300);
  auto *index = dynamic_cast<TIndexFile *>(table->IndexFile());
  ASSERT_NE(index, nullptr);
  EXPECT_EQ(index->Header().LiveRecordCount, 300);
  EXPECT_EQ(table->DataFile().SlotCount(), 300);
  FDirectory->CloseTable(table);

  // A shared open validates the header against the file length.
  TDataTable *again = FDirectory->OpenTable("reopen", false, false, false, false);
  EXPECT_EQ(again->DataFile().SlotCount(), 300);
  EXPECT_EQ(again->DataFile().Header().FreeListHead(), 0);
  EXPECT_GE(again->DataFile().LastAutoIncValue(), 300);
  RowOrder model{{{FPrice, true}}};
  std::vector<SortRow> expected = model.Sorted(rows);
  expected.resize(300);
  std::vector<SortRow> sorted = ReadAll(*again);
  EXPECT_EQ(SeqOf(sorted), SeqOf(expected));
  ExpectNumbered(sorted);
  FDirectory->CloseTable(again);
}

TEST_F(SortTest, SortInsideATransactionSurvivesTheRollbackConsistently) {
  const std::vector<SortRow> rows = RandomRows(400, 12);
  RowOrder model{{{FVal, true}}};
  for (bool tiny : {false, true}) {
    if (tiny)
      UseTinyBuffers(30);
    else
      UseLargeBuffers();
    const std::string name = tiny ? "txn_runs" : "txn_cached";
    TDataTable *table = CreateResultTable(name);
    Fill(*table, rows);
    FDirectory->StartTransaction();
    ASSERT_TRUE(table->InTransaction());
    TSortRequest request;
    request.Fields = {SortOn(*table, FVal, true)};
    request.MaxRows = 350;
    TSortOutcome outcome = SortRecords(*table, request);
    EXPECT_EQ(outcome.External, tiny);
    FDirectory->RollbackTransaction();
    std::vector<SortRow> expected = model.Sorted(rows);
    expected.resize(350);
    EXPECT_EQ(SeqOf(ReadAll(*table)), SeqOf(expected));
    FDirectory->CloseTable(table);
    // Headers and file length agree (a shared open validates them).
    TDataTable *again = FDirectory->OpenTable(name, false, false, false, false);
    EXPECT_EQ(SeqOf(ReadAll(*again)), SeqOf(expected));
    EXPECT_EQ(dynamic_cast<TIndexFile *>(again->IndexFile())->Header().LiveRecordCount, 350);
    FDirectory->CloseTable(again);
  }
}

TEST_F(SortTest, ManyRunsAreMergedInLevelsWithTheSameResult) {
  // Runs of one record: 4200 runs, merged 64 at a time into runs of 64, and 64 of those into
  // one of 4096, before the last merge.
  UseTinyBuffers(1);
  TDataTable *table = CreateResultTable("levels");
  const std::vector<SortRow> rows = RandomRows(4200, 21);
  Fill(*table, rows);
  TSortRequest request;
  request.Fields = {SortOn(*table, FName, true), SortOn(*table, FPrice)};
  TSortOutcome outcome = SortRecords(*table, request);
  EXPECT_EQ(outcome.RunCount, 4200);
  EXPECT_EQ(outcome.IntermediateMerges, 4200 / 64 + 1);
  RowOrder model{{{FName, true}, {FPrice, false}}};
  std::vector<SortRow> sorted = ReadAll(*table);
  EXPECT_EQ(SeqOf(sorted), SeqOf(model.Sorted(rows)));
  ExpectNumbered(sorted);
  EXPECT_TRUE(RunFilesLeft().empty());
}

TEST_F(SortTest, DeletedSlotsDoNotComeBack) {
  for (bool tiny : {false, true}) {
    if (tiny)
      UseTinyBuffers(16);
    else
      UseLargeBuffers();
    TDataTable *table = CreateResultTable(tiny ? "deleted_runs" : "deleted_cached");
    const std::vector<SortRow> rows = RandomRows(100, 9);
    Fill(*table, rows);
    std::vector<SortRow> kept;
    for (const SortRow &row : rows) {
      if (row.Seq % 3 == 0)
        table->DataFile().FreeRecord(row.Seq, true);
      else
        kept.push_back(row);
    }
    TSortRequest request;
    request.Fields = {SortOn(*table, FVal)};
    TSortOutcome outcome = SortRecords(*table, request);
    EXPECT_EQ(outcome.External, tiny);
    EXPECT_EQ(outcome.RowCount, static_cast<int32_t>(kept.size()));
    RowOrder model{{{FVal, false}}};
    EXPECT_EQ(SeqOf(ReadAll(*table)), SeqOf(model.Sorted(kept)));
    EXPECT_EQ(table->DataFile().Header().FreeListHead(), 0);
  }
}

TEST_F(SortTest, EmptyTableStaysEmpty) {
  for (bool tiny : {false, true}) {
    if (tiny)
      UseTinyBuffers(4);
    else
      UseLargeBuffers();
    TDataTable *table = CreateResultTable(tiny ? "empty_runs" : "empty_cached");
    TSortRequest request;
    request.Fields = {SortOn(*table, FVal)};
    TSortOutcome outcome = SortRecords(*table, request);
    EXPECT_TRUE(outcome.Sorted);
    EXPECT_EQ(outcome.RowCount, 0);
    EXPECT_EQ(table->DataFile().SlotCount(), 0);
  }
}

}  // namespace
}  // namespace kura::test
