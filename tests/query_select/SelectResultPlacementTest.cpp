// Where a result lives: an in-memory table while small, moved to files of the private
// directory past the memory limit (at once with a limit of 1 byte, half way with a limit of a
// few rows), or an INTO table of the database. Every statement gives the same rows, types and
// blobs in each place; GROUP BY gathers its groups in a hash while small and falls back to
// the record sort past four times the limit, so those two agree too. A temporary result
// leaves no file behind.
#include <algorithm>
#include <filesystem>

#include "engine/file/FileHandler.h"
#include "engine/file/FileNames.h"
#include "SelectTestSupport.h"

namespace kura::test {
namespace {

using T = EngineFieldType;

class ResultPlacementTest : public SelectTest {
 protected:
  void SetUp() override {
    SelectTest::SetUp();
    Rows rows;
    for (int i = 1; i <= 90; ++i) {
      // NULL regions and prices; items that differ only in case; a SmallInt whose sums leave
      // its range in some groups; memos of growing size.
      Cell region = i % 5 == 0 ? Cell() : Cell("R" + std::to_string(i % 3));
      const std::string item = (i % 2 ? "item" : "ITEM") + std::to_string(i * 7 % 6);
      Cell price = i % 7 == 0 ? Cell() : Cell(std::to_string(i * 13 % 50) + ".25");
      const std::string lot = std::to_string(i % 4 == 1 ? 20000 : i);
      Cell note = i % 3 == 0 ? Cell() : Cell(std::string(static_cast<size_t>(i * 11), static_cast<char>('a' + i % 26)));
      rows.push_back({std::to_string(i), region, item, std::to_string(i % 9), price, lot, note});
    }
    const std::vector<TFieldDescriptor> fields{Field("ID", T::Integer),   Field("Region", T::String, 8),
                                               Field("Item", T::String, 12), Field("Qty", T::Integer),
                                               Field("Price", T::Float),   Field("Lot", T::SmallInt),
                                               Field("Note", T::Blob, 0, 0, FieldSubType::Memo)};
    MakeTable("sales", fields, rows, {{"", {"ID"}}});
    // The same rows under a collation (German), where text keys compare through the locale.
    MakeTable("verkauf", fields, rows, {{"", {"ID"}}}, 0x0407);
  }

  // Rows and column types of a statement run with the given memory limit (negative: run it
  // INTO a table of the database and read that table back).
  R RunPlaced(const std::string &sql, int64_t limit, std::vector<std::string> &types) {
    std::string text = sql;
    if (limit < 0) {
      const size_t from = text.find(" from ");
      text.insert(from, " into placed");
    }
    auto q = Query(text);
    q->SetResultMemoryLimit(limit < 0 ? int64_t{1} << 40 : limit);
    q->Execute();
    size_t visible = q->ColumnCount();
    if (limit < 0) {
      q.reset();
      q = Query("select * from placed");
      q->Execute();
    }
    visible = std::min(visible, q->ColumnCount());
    types.clear();
    // (an INTO table also keeps the count column behind each AVG: compare the visible ones)
    for (size_t c = 0; c < visible; ++c) {
      const TTypeInfo type = q->Column(c).Type;
      types.push_back(std::to_string(static_cast<int>(type.Type)) + "/" + std::to_string(type.Size));
    }
    R rows = Read(*q);
    for (auto &row : rows) row.resize(visible);
    return rows;
  }

  static bool InMemoryFileExists(const std::string &directory, const std::string &table) {
    return TFileHandler::Exists(TableFileName(directory, table, kDataExtension), true);
  }
};

TEST_F(ResultPlacementTest, SmallSpilledAndFileResultsAgree) {
  const std::vector<std::string> statements{
      "select * from sales",
      "select ID, Note, Item from sales where Qty > 3 order by Item desc, ID",
      "select Region, count(*), count(Price), sum(Qty), avg(Price), min(ID), max(Price), sum(Lot) from sales "
      "group by Region",
      "select Region, Item, sum(Qty), avg(Lot) from sales group by Region, Item having count(ID) > 2 "
      "order by Item desc",
      "select Item, count(*), sum(Lot) from sales group by Item top 3",
      "select Item, count(*), min(Lot), avg(Qty) from verkauf group by Item",
      "select Region, min(Price) from verkauf group by Region order by Region desc",
      "select distinct Item, Region from sales order by Region, Item",
      "select Item from sales where ID < 30 union select Item from verkauf where ID > 60 order by 1",
      "select ID, Price from sales where ID in (select ID from verkauf where Qty = 2) order by Price desc, ID top 5",
  };
  // 1 byte: every result moves to files with its first row; 2 000 bytes: some way through, and
  // GROUP BY writes its groups as rows part way; the default: in memory throughout.
  const std::vector<int64_t> limits{1, 2000, -1};
  for (const std::string &sql : statements) {
    SCOPED_TRACE(sql);
    std::vector<std::string> expectedTypes;
    const R expected = RunPlaced(sql, int64_t{16} << 20, expectedTypes);
    ASSERT_FALSE(expected.empty());
    for (int64_t limit : limits) {
      SCOPED_TRACE("limit " + std::to_string(limit));
      std::vector<std::string> types;
      EXPECT_EQ(RunPlaced(sql, limit, types), expected);
      EXPECT_EQ(types, expectedTypes);
    }
  }
  // The groups are really there: the NULL region first, with its 18 rows.
  std::vector<std::string> types;
  const R regions = RunPlaced("select Region, count(*) from sales group by Region", 1, types);
  EXPECT_EQ(regions, (R{{"NULL", "18"}, {"R0", "24"}, {"R1", "24"}, {"R2", "24"}}));
}

TEST_F(ResultPlacementTest, OverflowedGroupSumStaysNullWhereverTheGroupsMoveToTheSort) {
  // Group 1 overflows with its first two rows; a later small value must not restart its sum,
  // also when the gathered groups were written out (after any number of groups) and the
  // record sort combines the rest.
  MakeTable("ov", {Field("K", T::Integer), Field("P", T::BCD, 0, 4)},
            {{"1", "600000000000000"}, {"1", "600000000000000"}, {"2", "1"}, {"3", "2"}, {"4", "3"},
             {"1", "1"}, {"2", "5"}, {"5", "1"}, {"1", "2"}});
  const R expected{{"1", "NULL", "4"}, {"2", "6", "2"}, {"3", "2", "1"}, {"4", "3", "1"}, {"5", "1", "1"}};
  for (int64_t limit : {1, 40, 80, 120, 160, 200, 250, 300, 400, 500, 700, 1000, 1 << 20}) {
    SCOPED_TRACE(limit);
    auto q = Query("select K, sum(P), count(P) from ov group by K");
    q->SetResultMemoryLimit(limit);
    q->Execute();
    EXPECT_EQ(Read(*q), expected);
  }
}

TEST_F(ResultPlacementTest, TemporaryResultsLeaveNothingBehind) {
  const std::string privateDir = (FRoot / "private").string() + "/";
  // A union's parts and a sub-select's rows are results of their own that move to files (under
  // other names where the first result's files took theirs) and go again.
  const std::vector<std::pair<std::string, int64_t>> statements{
      {"select * from sales order by Item desc", 90},
      {"select Item from sales union all select Item from verkauf", 180},
      {"select ID from sales where ID in (select ID from verkauf where Qty = 2) union all select ID from verkauf",
       100},
  };
  for (const auto &[sql, rows] : statements)
    for (int64_t limit : {int64_t{16} << 20, int64_t{1}}) {
      SCOPED_TRACE(sql + " limit " + std::to_string(limit));
      auto q = Query(sql);
      q->SetResultMemoryLimit(limit);
      q->Execute();
      ASSERT_NE(q->ResultTable(), nullptr);
      const std::string name = q->ResultTable()->Name();
      EXPECT_EQ(q->ResultTable()->InMemory(), limit > 1);
      EXPECT_EQ(InMemoryFileExists(privateDir, name), limit > 1);
      // Only the result's own files are there while it lives.
      const std::string stem = name.substr(0, name.size() - 4);
      const std::vector<std::string> files = PrivateFiles();
      EXPECT_EQ(files.empty(), limit > 1);
      for (const std::string &file : files) EXPECT_EQ(file.substr(0, file.rfind('.')), stem) << file;
      EXPECT_EQ(q->RowCount(), rows);
      q->Close();
      EXPECT_FALSE(InMemoryFileExists(privateDir, name));
      EXPECT_TRUE(PrivateFiles().empty());
    }
}

}  // namespace
}  // namespace kura::test
