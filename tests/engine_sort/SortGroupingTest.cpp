// Distinct, grouping through the callbacks, and the row limit, against models built from the
// rows: a stable sort, and a std::map of per-group sums and counts.
#include <map>

#include "tests/engine_sort/SortTestSupport.h"

namespace kura::test {
namespace {

struct GroupModel {
  int64_t Sum = 0;
  int32_t Count = 0;
  int32_t FirstSeq = 0;
};

std::map<std::optional<int16_t>, GroupModel> GroupsOf(const std::vector<SortRow> &rows) {
  std::map<std::optional<int16_t>, GroupModel> groups;
  for (const SortRow &row : rows) {
    GroupModel &g = groups[row.Grp];
    if (g.Count == 0) g.FirstSeq = row.Seq;
    if (row.Val) g.Sum += *row.Val;
    ++g.Count;
  }
  return groups;
}

// What the callbacks saw.
struct GroupQuery {
  TDataFile *File = nullptr;
  std::vector<std::pair<std::optional<int16_t>, std::optional<int16_t>>> Starts;  // (source, target)
  int Finished = 0;
  int Accumulated = 0;
  int ThrowAfter = -1;  // accumulate calls before one throws
};

std::optional<int16_t> GroupOf(const TDataFile &file, const uint8_t *row) {
  if (FieldIsNull(file.Field(FGrp), row)) return std::nullopt;
  return static_cast<int16_t>(GetIntegerField(file.Field(FGrp), row));
}

// Sum of Val into Total, row count into Cnt, and at the end the average into Price.
TSortCallbacks SumCountCallbacks() {
  TSortCallbacks callbacks;
  callbacks.Accumulate = [](void *query, bool start, const uint8_t *source, uint8_t *target) {
    auto *q = static_cast<GroupQuery *>(query);
    const TDataFile &file = *q->File;
    if (q->ThrowAfter >= 0 && q->Accumulated >= q->ThrowAfter) throw std::runtime_error("accumulate failed");
    ++q->Accumulated;
    auto valueOf = [&](const uint8_t *row) {
      return FieldIsNull(file.Field(FVal), row) ? 0 : GetIntegerField(file.Field(FVal), row);
    };
    if (start) {
      q->Starts.emplace_back(GroupOf(file, source), GroupOf(file, target));
      SetIntegerField(file.Field(FTotal), target, valueOf(target));
      SetIntegerField(file.Field(FCnt), target, 1);
      return;
    }
    SetIntegerField(file.Field(FTotal), target, GetIntegerField(file.Field(FTotal), target) + valueOf(source));
    SetIntegerField(file.Field(FCnt), target, GetIntegerField(file.Field(FCnt), target) + 1);
  };
  callbacks.Finish = [](void *query, uint8_t *row) {
    auto *q = static_cast<GroupQuery *>(query);
    const TDataFile &file = *q->File;
    ++q->Finished;
    SetFloatField(file.Field(FPrice), row,
                  static_cast<double>(GetIntegerField(file.Field(FTotal), row)) /
                      static_cast<double>(GetIntegerField(file.Field(FCnt), row)));
  };
  return callbacks;
}

class SortGroupingTest : public SortTest, public ::testing::WithParamInterface<bool> {
 protected:
  // The parameter chooses the external path.
  TDataTable *Table(const std::string &name, const std::vector<SortRow> &rows) {
    if (GetParam())
      UseTinyBuffers(37);
    else
      UseLargeBuffers();
    TDataTable *table = CreateResultTable(name);
    Fill(*table, rows);
    return table;
  }
  void ExpectPath(const TSortOutcome &outcome) {
    EXPECT_EQ(outcome.External, GetParam());
    EXPECT_TRUE(RunFilesLeft().empty());
  }
};

TEST_P(SortGroupingTest, SumAndCountPerGroupMatchTheMapModel) {
  const std::vector<SortRow> rows = RandomRows(2500, 42);
  TDataTable *table = Table("groups", rows);
  GroupQuery query;
  query.File = &table->DataFile();
  TSortRequest request;
  request.Fields = {SortOn(*table, FGrp)};
  request.Callbacks = SumCountCallbacks();
  request.Query = &query;
  TSortOutcome outcome = SortRecords(*table, request);
  ExpectPath(outcome);

  const auto groups = GroupsOf(rows);
  std::vector<SortRow> sorted = ReadAll(*table);
  ASSERT_EQ(sorted.size(), groups.size());
  EXPECT_EQ(outcome.RowCount, static_cast<int32_t>(groups.size()));
  ExpectNumbered(sorted);
  size_t i = 0;
  std::optional<int16_t> previous;
  for (const auto &[group, model] : groups) {
    const SortRow &row = sorted[i];
    EXPECT_EQ(row.Grp, group);
    // The group row is the group's first row in insertion order, carrying the group's totals.
    EXPECT_EQ(row.Seq, model.FirstSeq);
    EXPECT_EQ(row.Total, model.Sum);
    EXPECT_EQ(row.Cnt, model.Count);
    ASSERT_TRUE(row.Price.has_value());
    EXPECT_DOUBLE_EQ(*row.Price, static_cast<double>(model.Sum) / model.Count);
    // A group starts from the previous group's row (the first one from itself).
    ASSERT_LT(i, query.Starts.size());
    EXPECT_EQ(query.Starts[i].first, i == 0 ? group : previous);
    EXPECT_EQ(query.Starts[i].second, group);
    previous = group;
    ++i;
  }
  EXPECT_EQ(query.Finished, static_cast<int>(groups.size()));
  EXPECT_EQ(query.Accumulated, static_cast<int>(rows.size()));
}

TEST_P(SortGroupingTest, RejectedGroupsAreDroppedAndTheLimitCountsKeptGroups) {
  const std::vector<SortRow> rows = RandomRows(1500, 7);
  const auto groups = GroupsOf(rows);
  for (int64_t limit : {-1, 1, 3}) {
    TDataTable *table = Table("having" + std::to_string(limit + 1), rows);
    GroupQuery query;
    query.File = &table->DataFile();
    TSortRequest request;
    request.Fields = {SortOn(*table, FGrp)};
    request.Callbacks = SumCountCallbacks();
    // HAVING Cnt is odd.
    request.Callbacks.Accept = [](void *q, const uint8_t *row) {
      const TDataFile &file = *static_cast<GroupQuery *>(q)->File;
      return GetIntegerField(file.Field(FCnt), row) % 2 == 1;
    };
    request.Query = &query;
    request.MaxRows = limit;
    ExpectPath(SortRecords(*table, request));

    std::vector<std::optional<int16_t>> expected;
    for (const auto &[group, model] : groups)
      if (model.Count % 2 == 1 && (limit < 0 || static_cast<int64_t>(expected.size()) < limit))
        expected.push_back(group);
    std::vector<SortRow> sorted = ReadAll(*table);
    ASSERT_EQ(sorted.size(), expected.size()) << "limit " << limit;
    for (size_t i = 0; i < sorted.size(); ++i) {
      EXPECT_EQ(sorted[i].Grp, expected[i]);
      EXPECT_EQ(sorted[i].Cnt, groups.at(expected[i]).Count);
      EXPECT_EQ(sorted[i].Total, groups.at(expected[i]).Sum);
    }
    ExpectNumbered(sorted);
  }
}

TEST_P(SortGroupingTest, DistinctKeepsTheFirstRowOfEachKey) {
  const std::vector<SortRow> rows = RandomRows(3000, 99);
  RowOrder model{{{FGrp, true}, {FName, false}}, true, 0};
  std::vector<SortRow> expected;
  for (const SortRow &row : model.Sorted(rows))
    if (expected.empty() || model.CompareFields(expected.back(), row) != 0) expected.push_back(row);
  ASSERT_LT(expected.size(), rows.size());

  for (int64_t limit : {-1, 25}) {
    TDataTable *table = Table("distinct" + std::to_string(limit + 1), rows);
    TSortRequest request;
    request.Fields = {SortOn(*table, FGrp, true), SortOn(*table, FName)};
    request.CaseInsensitive = true;
    request.Distinct = true;
    request.MaxRows = limit;
    ExpectPath(SortRecords(*table, request));
    std::vector<SortRow> want = expected;
    if (limit >= 0) want.resize(static_cast<size_t>(limit));
    std::vector<SortRow> sorted = ReadAll(*table);
    EXPECT_EQ(SeqOf(sorted), SeqOf(want));
    ExpectNumbered(sorted);
  }
}

TEST_P(SortGroupingTest, RowLimitKeepsTheFirstRowsInKeyOrder) {
  const std::vector<SortRow> rows = RandomRows(2000, 3);
  RowOrder model{{{FPrice, true}, {FVal, false}}};
  const std::vector<SortRow> all = model.Sorted(rows);
  for (int64_t limit : {0, 1, 100, 1999, 2000, 5000}) {
    TDataTable *table = Table("limit" + std::to_string(limit), rows);
    TSortRequest request;
    request.Fields = {SortOn(*table, FPrice, true), SortOn(*table, FVal)};
    request.MaxRows = limit;
    TSortOutcome outcome = SortRecords(*table, request);
    ExpectPath(outcome);
    std::vector<SortRow> want(all.begin(), all.begin() + std::min<int64_t>(limit, 2000));
    EXPECT_EQ(outcome.RowCount, static_cast<int32_t>(want.size()));
    EXPECT_EQ(SeqOf(ReadAll(*table)), SeqOf(want)) << "limit " << limit;
    EXPECT_EQ(table->DataFile().SlotCount(), static_cast<int32_t>(want.size()));
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, SortGroupingTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool> &info) {
                           return info.param ? std::string("External") : std::string("InMemory");
                         });

// Rows 1..n with the given groups and values, in that insertion order.
std::vector<SortRow> GroupRows(const std::vector<std::pair<int16_t, int32_t>> &values) {
  std::vector<SortRow> rows;
  for (const auto &[group, value] : values) {
    SortRow row;
    row.Seq = static_cast<int32_t>(rows.size() + 1);
    row.Grp = group;
    row.Val = value;
    rows.push_back(row);
  }
  return rows;
}

TEST_F(SortTest, LimitOfTwoGroupsKeepsTwoGroupsWithAllTheirRows) {
  UseLargeBuffers();
  TDataTable *table = CreateResultTable("two");
  Fill(*table, GroupRows({{3, 1}, {1, 10}, {2, 100}, {1, 20}, {3, 2}, {2, 200}, {1, 30}}));
  GroupQuery query;
  query.File = &table->DataFile();
  TSortRequest request;
  request.Fields = {SortOn(*table, FGrp)};
  request.Callbacks = SumCountCallbacks();
  request.Query = &query;
  request.MaxRows = 2;
  SortRecords(*table, request);
  std::vector<SortRow> sorted = ReadAll(*table);
  ASSERT_EQ(sorted.size(), 2u);
  EXPECT_EQ(sorted[0].Grp, 1);
  EXPECT_EQ(sorted[0].Total, 60);
  EXPECT_EQ(sorted[0].Cnt, 3);
  EXPECT_EQ(sorted[1].Grp, 2);
  EXPECT_EQ(sorted[1].Total, 300);
  EXPECT_EQ(sorted[1].Cnt, 2);
  // The third group was started (its first row accumulated from the second) but never closed.
  EXPECT_EQ(query.Finished, 2);
}

TEST_F(SortTest, FirstGroupRejectedWithALimitOfOneKeepsTheSecond) {
  UseLargeBuffers();
  TDataTable *table = CreateResultTable("second");
  Fill(*table, GroupRows({{1, 5}, {2, 7}, {3, 9}, {2, 1}}));
  GroupQuery query;
  query.File = &table->DataFile();
  TSortRequest request;
  request.Fields = {SortOn(*table, FGrp)};
  request.Callbacks = SumCountCallbacks();
  request.Callbacks.Accept = [](void *q, const uint8_t *row) {
    return GroupOf(*static_cast<GroupQuery *>(q)->File, row) != std::optional<int16_t>(1);
  };
  request.Query = &query;
  request.MaxRows = 1;
  SortRecords(*table, request);
  std::vector<SortRow> sorted = ReadAll(*table);
  ASSERT_EQ(sorted.size(), 1u);
  EXPECT_EQ(sorted[0].Grp, 2);
  EXPECT_EQ(sorted[0].Total, 8);
  ExpectNumbered(sorted);
}

TEST_F(SortTest, LimitOfZeroKeepsNothingAlsoWithGrouping) {
  UseLargeBuffers();
  for (bool grouping : {false, true}) {
    TDataTable *table = CreateResultTable(grouping ? "zero_groups" : "zero_rows");
    Fill(*table, GroupRows({{1, 5}, {1, 6}}));
    GroupQuery query;
    query.File = &table->DataFile();
    TSortRequest request;
    request.Fields = {SortOn(*table, FGrp)};
    if (grouping) request.Callbacks = SumCountCallbacks();
    request.Query = &query;
    request.MaxRows = 0;
    EXPECT_EQ(SortRecords(*table, request).RowCount, 0);
    EXPECT_EQ(table->DataFile().SlotCount(), 0);
    EXPECT_EQ(query.Accumulated, 0);
  }
}

TEST_F(SortTest, DistinctOverKeysEqualButForTheTieBreakKeepsOnlyTheFirst) {
  UseLargeBuffers();
  TDataTable *table = CreateResultTable("same");
  Fill(*table, GroupRows({{4, 1}, {4, 1}, {4, 1}}));
  TSortRequest request;
  request.Fields = {SortOn(*table, FGrp), SortOn(*table, FVal)};
  request.Distinct = true;
  SortRecords(*table, request);
  std::vector<SortRow> sorted = ReadAll(*table);
  ASSERT_EQ(sorted.size(), 1u);
  EXPECT_EQ(sorted[0].Seq, 1);
}

}  // namespace
}  // namespace kura::test
