// The application's own queries: live results over the lesson tables in natural or index
// order, and a result table when no index serves ORDER BY.
#include "SelectTestSupport.h"
#include "engine/cursor/DataCursor.h"

namespace kura::test {
namespace {

using T = EngineFieldType;

class LiveTest : public SelectTest {
 protected:
  void SetUp() override {
    SelectTest::SetUp();
    MakeTable("mokuji", {Field("MNB", T::SmallInt), Field("ITEM", T::String, 40), Field("PRB", T::SmallInt)},
              {{"3", "Three", "0"}, {"-1", "Saved", "0"}, {"1", "One", "1"}, {"2", "Two", "0"}},
              {{"", {"MNB"}}});
    MakeTable("figure",
              {Field("MNB", T::SmallInt), Field("TES", T::SmallInt), Field("COL", T::SmallInt),
               Field("PST", T::SmallInt), Field("BFR", T::SmallInt), Field("BTO", T::SmallInt),
               Field("DTX", T::String, 60), Field("CMT", T::String, 100)},
              {{"1", "0", "1", "40", "0", "0", std::nullopt, "first"},
               {"2", "0", "2", "41", "3", "0", std::nullopt, std::nullopt},
               {"1", "1", "2", "60", "2", "0", std::nullopt, "second"},
               {"1", "2", "1", "61", "1", "0", std::nullopt, "third"},
               {"1", "3", "2", "62", "0", "0", std::nullopt, std::nullopt}});
  }
};

TEST_F(LiveTest, ContentsQueryIsLiveInIndexOrder) {
  auto q = Query("select * from mokuji\nWhere MNB > 0\nOrder By MNB", true);
  EXPECT_TRUE(q->Live());
  q->Execute();
  EXPECT_EQ(q->ResultTable(), nullptr);
  EXPECT_EQ(Read(*q), (R{{"1", "One", "1"}, {"2", "Two", "0"}, {"3", "Three", "0"}}));
  EXPECT_EQ(q->LiveRecords(), (std::vector<int32_t>{3, 4, 1}));
}

TEST_F(LiveTest, ContentsQueryWithoutIndexIsAResultTable) {
  MakeTable("mokuji2", {Field("MNB", T::SmallInt), Field("ITEM", T::String, 40)}, {{"2", "b"}, {"1", "a"}});
  auto q = Query("select * from mokuji2 Where MNB > 0 Order By MNB", true);
  EXPECT_FALSE(q->Live());
  q->Execute();
  EXPECT_NE(q->ResultTable(), nullptr);
  EXPECT_EQ(Read(*q), (R{{"1", "a"}, {"2", "b"}}));
}

TEST_F(LiveTest, FigureQueryIsLiveInNaturalOrder) {
  auto q = Query("select * from figure\nWhere MNB = ?", true);
  EXPECT_TRUE(q->Live());
  q->SetParameterInt(0, 1);
  q->Execute();
  EXPECT_EQ(q->LiveRecords(), (std::vector<int32_t>{1, 3, 4, 5}));
  q->SetParameterInt(0, 2);
  q->Execute();
  EXPECT_EQ(q->LiveRecords(), (std::vector<int32_t>{2}));
  EXPECT_EQ(Read(*q)[0][3], "41");
}

TEST_F(LiveTest, BranchQueryOrderedByUnindexedColumnIsAResultTable) {
  auto q = Query("Select *\nFrom figure\nWhere (MNB = ?) and (BFR > 0) order by BFR", true);
  EXPECT_FALSE(q->Live());
  q->SetParameterInt(0, 1);
  q->Execute();
  auto rows = Read(*q);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][1], "2");  // BFR 1
  EXPECT_EQ(rows[1][1], "1");  // BFR 2
}

TEST_F(LiveTest, LiveCalculatedColumns) {
  auto q = Query("select MNB, ITEM || '*' as Mark from mokuji where MNB < 0", true);
  EXPECT_TRUE(q->Live());
  q->Execute();
  EXPECT_EQ(Read(*q), (R{{"-1", "Saved*"}}));
}

}  // namespace
}  // namespace kura::test


namespace kura::test {
namespace {

// Live results are cursors on the source table: the filter, the index order and the
// projection are the cursor's own, and records appended through it go to the table.
TEST_F(LiveTest, LiveResultIsACursorOnTheTable) {
  auto q = Query("select MNB, ITEM, ITEM || '!' as Loud from mokuji where MNB > 0 order by MNB", true);
  ASSERT_TRUE(q->Live());
  q->Execute();
  TDataCursor *cursor = q->LiveCursor();
  ASSERT_NE(cursor, nullptr);
  EXPECT_EQ(cursor->RecordCount(), 3);
  ASSERT_EQ(cursor->FieldCount(), 3);
  EXPECT_EQ(cursor->Catalogue()[0].Origin, "mokuji.MNB");
  EXPECT_EQ(cursor->Catalogue()[2].SourceField, 0);
  std::vector<uint8_t> buffer = cursor->NewRecordBuffer();
  std::vector<std::string> seen;
  cursor->SetToBegin();
  while (cursor->GetNextRecord(buffer.data()) == KURA_NONE)
    seen.push_back(std::to_string(cursor->GetInteger(1, buffer.data())) + ":" + cursor->GetString(3, buffer.data()));
  EXPECT_EQ(seen, (std::vector<std::string>{"1:One!", "2:Two!", "3:Three!"}));

  // Appending through the live result: a record that passes WHERE shows; one that fails it
  // does not, but both are in the table.
  cursor->InitRecord(buffer.data());
  cursor->SetInteger(1, buffer.data(), 4);
  cursor->SetString(2, buffer.data(), "Four");
  cursor->AppendRecord(buffer.data());
  cursor->InitRecord(buffer.data());
  cursor->SetInteger(1, buffer.data(), -5);
  cursor->SetString(2, buffer.data(), "Hidden");
  cursor->AppendRecord(buffer.data());
  EXPECT_EQ(cursor->RecordCount(), 4);
  q->Close();
  EXPECT_EQ(Run("select count(*) from mokuji"), (R{{"6"}}));
  EXPECT_EQ(Run("select ITEM from mokuji where MNB = 4"), (R{{"Four"}}));
}

TEST_F(LiveTest, LiveCursorFollowsNewParameters) {
  auto q = Query("select * from figure where MNB = ?", true);
  q->SetParameterInt(0, 1);
  q->Execute();
  ASSERT_NE(q->LiveCursor(), nullptr);
  EXPECT_EQ(q->LiveCursor()->RecordCount(), 4);
  q->SetParameterInt(0, 2);
  q->Execute();
  EXPECT_EQ(q->LiveCursor()->RecordCount(), 1);
  auto table = Query("select * from figure where MNB = 1 order by BFR", true);
  table->Execute();
  EXPECT_EQ(table->LiveCursor(), nullptr);
}

}  // namespace
}  // namespace kura::test

namespace kura::test {
namespace {

TEST_F(LiveTest, ResultTableIsServedThroughACursor) {
  auto q = Query("select MNB, ITEM from mokuji where MNB > 0 order by ITEM desc");
  q->Execute();
  EXPECT_EQ(q->LiveCursor(), nullptr);
  TDataCursor *cursor = q->ResultCursor();
  ASSERT_NE(cursor, nullptr);
  EXPECT_EQ(cursor->RecordCount(), 3);
  std::vector<uint8_t> buffer = cursor->NewRecordBuffer();
  std::vector<std::string> seen;
  cursor->SetToBegin();
  while (cursor->GetNextRecord(buffer.data()) == KURA_NONE) seen.push_back(cursor->GetString(2, buffer.data()));
  EXPECT_EQ(seen, (std::vector<std::string>{"Two", "Three", "One"}));
  // Edits change the result table only.
  cursor->InitRecord(buffer.data());
  cursor->SetInteger(1, buffer.data(), 9);
  cursor->SetString(2, buffer.data(), "Nine");
  cursor->AppendRecord(buffer.data());
  EXPECT_EQ(cursor->RecordCount(), 4);
  q->Close();
  EXPECT_EQ(Run("select count(*) from mokuji"), (R{{"4"}}));
  EXPECT_TRUE(PrivateFiles().empty());
}

TEST_F(LiveTest, WhereOnIndexedColumnReadsOnlyMatchingRecords) {
  Rows rows;
  for (int i = 1; i <= 300; ++i) rows.push_back({std::to_string((i * 7) % 300 + 1), "item " + std::to_string(i)});
  MakeTable("stones", {Field("NO", T::SmallInt), Field("NAME", T::String, 20)}, rows, {{"", {"NO"}}});

  auto q = Query("select NO, NAME from stones where NO between 100 and 104 order by NO", true);
  ASSERT_TRUE(q->Live());
  q->Execute();
  ASSERT_NE(q->LiveCursor(), nullptr);
  // Every record read is one of the five matching records, each read once.
  EXPECT_EQ(q->LiveRecords().size(), 5u);
  EXPECT_EQ(q->LiveCursor()->RecordReads(), 5u);
  auto result = Read(*q);
  ASSERT_EQ(result.size(), 5u);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(result[static_cast<size_t>(i)][0], std::to_string(100 + i));

  // A condition the index cannot answer keeps the record-by-record test beside the indexed one.
  auto mixed = Query("select NO, NAME from stones where NO = 57 and NAME like 'item%'", true);
  ASSERT_TRUE(mixed->Live());
  mixed->Execute();
  ASSERT_EQ(mixed->LiveRecords().size(), 1u);
  // Only the one candidate the index leaves is read (the LIKE test reads it once more).
  EXPECT_GE(mixed->LiveCursor()->RecordReads(), 1u);
  EXPECT_LE(mixed->LiveCursor()->RecordReads(), 2u);
  EXPECT_EQ(Read(*mixed)[0][0], "57");

  // Parameters are judged with the values given for that execution.
  auto param = Query("select NO, NAME from stones where NO = ? and NO >= 5", true);
  param->SetParameterInt(0, 9);
  param->Execute();
  ASSERT_EQ(param->LiveRecords().size(), 1u);
  EXPECT_EQ(Read(*param)[0][0], "9");
  param->SetParameterInt(0, 11);
  param->Execute();
  ASSERT_EQ(Read(*param).size(), 1u);
  EXPECT_EQ(Read(*param)[0][0], "11");
}

TEST_F(LiveTest, IndexedWhereInResultTablesAndJoinsKeepsItsResults) {
  Rows rows;
  for (int i = 1; i <= 50; ++i) rows.push_back({std::to_string(i), "n" + std::to_string(50 - i)});
  MakeTable("pts", {Field("NO", T::SmallInt), Field("NAME", T::String, 20)}, rows, {{"", {"NO"}}});
  // Ordered by an unindexed column: a result table, its source narrowed through the index.
  auto q = Query("select NO, NAME from pts where NO between 3 and 5 order by NAME", true);
  EXPECT_FALSE(q->Live());
  q->Execute();
  EXPECT_EQ(Read(*q), (R{{"5", "n45"}, {"4", "n46"}, {"3", "n47"}}));
  // Constants the column's type cannot hold exactly are still compared as written.
  EXPECT_TRUE(Run("select NO from pts where NO = 2.5").empty());
  EXPECT_EQ(Run("select NO from pts where NO between 9.5 and 10.5"), (R{{"10"}}));
  EXPECT_EQ(Run("select NO from pts where NO > 40000").size(), 0u);
  // Conditions on one source of a join, on both, and in an outer join's ON.
  EXPECT_EQ(Run("select p.NO, m.ITEM from pts p, mokuji m where p.NO = m.MNB and p.NO < 3 order by p.NO"),
            (R{{"1", "One"}, {"2", "Two"}}));
  EXPECT_EQ(Run("select p.NO, m.ITEM from pts p left outer join mokuji m on m.MNB = p.NO and m.MNB = 3 "
                "where p.NO <= 3 order by p.NO"),
            (R{{"1", "NULL"}, {"2", "NULL"}, {"3", "Three"}}));
}

}  // namespace
}  // namespace kura::test
