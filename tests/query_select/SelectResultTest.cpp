// Result tables: projections, WHERE, ORDER BY, DISTINCT, GROUP BY with aggregates and
// HAVING, TOP, joins, UNION, IN ( SELECT ... ), parameters and re-execution.
#include "SelectTestSupport.h"

namespace kura::test {
namespace {

using T = EngineFieldType;

class ResultTest : public SelectTest {
 protected:
  void SetUp() override {
    SelectTest::SetUp();
    MakeTable("emp",
              {Field("ID", T::Integer), Field("Name", T::String, 10), Field("Dept", T::Integer),
               Field("Pay", T::Float), Field("Born", T::Date)},
              {{"1", "Aoki", "10", "300", "1990-01-02"},
               {"2", "Baba", "20", "200", "1985-05-06"},
               {"3", "Chiba", "10", "100", std::nullopt},
               {"4", "Doi", std::nullopt, "400", "2000-12-31"},
               {"5", "ebara", "20", std::nullopt, "1970-07-07"}});
    MakeTable("dept", {Field("DNo", T::Integer), Field("Title", T::String, 12)},
              {{"10", "Sales"}, {"20", "Research"}, {"30", "Empty"}});
  }
};

TEST_F(ResultTest, ProjectionAndCalculatedColumns) {
  EXPECT_EQ(Run("select Name, ID * 2 as Twice from emp where ID <= 2"),
            (R{{"Aoki", "2"}, {"Baba", "4"}}));
  auto q = Query("select ID, Name || '!' from emp");
  q->Execute();
  ASSERT_EQ(q->ColumnCount(), 2u);
  EXPECT_EQ(q->Column(0).Name, "ID");
  EXPECT_EQ(q->Column(0).Origin, "emp.ID");
  EXPECT_EQ(q->RowCount(), 5);
  EXPECT_FALSE(q->Live());
}

TEST_F(ResultTest, CalculatedColumnsNamedByTextThatIsNoFieldName) {
  // Named by their source text, which does not start as a field name must: the result table
  // is still made, under a name led by an underscore.
  auto q = Query("select -ID, 1 + ID, 'x', ID from emp where ID = 3");
  q->Execute();
  ASSERT_EQ(q->ColumnCount(), 4u);
  EXPECT_EQ(q->Column(0).Name, "_-ID");
  EXPECT_EQ(q->Column(1).Name, "_1 + ID");
  EXPECT_EQ(q->Column(2).Name, "_'x'");
  EXPECT_EQ(q->Column(3).Name, "ID");
  EXPECT_EQ(Run("select -ID, 1 + ID, 'x' from emp where ID = 3"), (R{{"-3", "4", "x"}}));
  // A text longer than a field name may be is cut, and equal names are told apart.
  EXPECT_EQ(Run("select ID + ID + ID + ID + ID + ID + ID + ID, ID + ID + ID + ID + ID + ID + ID + ID + 1 "
                "from emp where ID = 1"),
            (R{{"8", "9"}}));
}

TEST_F(ResultTest, WhereOperatorFamilies) {
  EXPECT_EQ(Run("select ID from emp where Pay > 150 and Pay <= 300"), (R{{"1"}, {"2"}}));
  EXPECT_EQ(Run("select ID from emp where Dept <> 10 or Dept is null"), (R{{"2"}, {"4"}, {"5"}}));
  // Comparisons are two-valued here: NULL = 10 is false, so its negation holds.
  EXPECT_EQ(Run("select ID from emp where not (Dept = 10)"), (R{{"2"}, {"4"}, {"5"}}));
  EXPECT_EQ(Run("select ID from emp where ID between 2 and 4"), (R{{"2"}, {"3"}, {"4"}}));
  EXPECT_EQ(Run("select ID from emp where ID in (1, 5)"), (R{{"1"}, {"5"}}));
  EXPECT_EQ(Run("select ID from emp where Name like 'B%' or Name like '%ra'"), (R{{"2"}, {"5"}}));
  EXPECT_EQ(Run("select ID from emp where Born is null"), (R{{"3"}}));
  EXPECT_EQ(Run("select ID from emp where Born < '1986-01-01'"), (R{{"2"}, {"5"}}));
}

TEST_F(ResultTest, OrderByDirectionsAndNoCase) {
  EXPECT_EQ(Run("select Name from emp order by Name"),
            (R{{"Aoki"}, {"Baba"}, {"Chiba"}, {"Doi"}, {"ebara"}}));
  EXPECT_EQ(Run("select ID from emp order by Dept desc, ID"), (R{{"2"}, {"5"}, {"1"}, {"3"}, {"4"}}));
  EXPECT_EQ(Run("select ID from emp order by 1 desc"), (R{{"5"}, {"4"}, {"3"}, {"2"}, {"1"}}));
  // A source column that is not selected still orders the rows.
  EXPECT_EQ(Run("select Name from emp order by Pay desc"),
            (R{{"Doi"}, {"Aoki"}, {"Baba"}, {"Chiba"}, {"ebara"}}));
}

TEST_F(ResultTest, DistinctAndTop) {
  EXPECT_EQ(Run("select distinct Dept from emp"), (R{{"NULL"}, {"10"}, {"20"}}));
  EXPECT_EQ(Run("select distinct Dept from emp top 2"), (R{{"NULL"}, {"10"}}));
  EXPECT_EQ(Run("select ID from emp top 2"), (R{{"1"}, {"2"}}));
  EXPECT_EQ(Run("select ID from emp order by ID desc top 2"), (R{{"5"}, {"4"}}));
}

TEST_F(ResultTest, GroupByAggregatesHaving) {
  EXPECT_EQ(Run("select Dept, count(*), count(Pay), sum(Pay), min(ID), max(ID) from emp group by Dept"),
            (R{{"NULL", "1", "1", "400", "4", "4"},
               {"10", "2", "2", "400", "1", "3"},
               {"20", "2", "1", "200", "2", "5"}}));
  EXPECT_EQ(Run("select Dept, avg(Pay) from emp group by Dept"),
            (R{{"NULL", "400"}, {"10", "200"}, {"20", "200"}}));
  EXPECT_EQ(Run("select Dept from emp group by Dept having count(ID) > 1"), (R{{"10"}, {"20"}}));
  EXPECT_EQ(Run("select Dept from emp group by Dept having sum(Pay) > 300 order by Dept desc"),
            (R{{"10"}, {"NULL"}}));
}

TEST_F(ResultTest, AggregateOnlyQueries) {
  EXPECT_EQ(Run("select count(*) from emp"), (R{{"5"}}));
  EXPECT_EQ(Run("select count(*), sum(ID), avg(ID) from emp where Dept = 10"), (R{{"2", "4", "2"}}));
  // No qualifying row leaves every column NULL.
  EXPECT_EQ(Run("select sum(ID) from emp where ID > 100"), (R{{"NULL"}}));
  EXPECT_EQ(Run("select count(ID) from emp where ID > 100"), (R{{"NULL"}}));
}

TEST_F(ResultTest, EmptyTableCounts) {
  MakeTable("none", {Field("X", T::Integer)}, {});
  EXPECT_EQ(Run("select count(*) from none"), (R{{"0"}}));
  EXPECT_EQ(Run("select count(*), max(X) from none"), (R{{"NULL", "NULL"}}));
}

TEST_F(ResultTest, FastCountIsTheTablesRecordCount) {
  {
    TDataCursor cursor(FDirectory, "emp");
    cursor.OpenCursor();
    std::vector<uint8_t> buffer = cursor.NewRecordBuffer();
    cursor.SetToBegin();
    ASSERT_EQ(cursor.GetNextRecord(buffer.data()), KURA_NONE);
    cursor.DeleteRecord(buffer.data());
    cursor.CloseCursor();
  }
  EXPECT_EQ(Run("select count(*) from emp"), (R{{"4"}}));
  EXPECT_EQ(Run("select count(*) from emp", true), (R{{"4"}}));
  EXPECT_EQ(Run("select count(*) as N from emp where ID > 0"), (R{{"4"}}));
}

TEST_F(ResultTest, RunningSum) {
  EXPECT_EQ(Run("select ID, runsum(ID) from emp group by ID"),
            (R{{"1", "1"}, {"2", "2"}, {"3", "3"}, {"4", "4"}, {"5", "5"}}));
}

TEST_F(ResultTest, Joins) {
  EXPECT_EQ(Run("select e.Name, d.Title from emp e inner join dept d on e.Dept = d.DNo order by e.ID"),
            (R{{"Aoki", "Sales"}, {"Baba", "Research"}, {"Chiba", "Sales"}, {"ebara", "Research"}}));
  EXPECT_EQ(Run("select e.Name, d.Title from emp e left outer join dept d on e.Dept = d.DNo order by e.ID"),
            (R{{"Aoki", "Sales"}, {"Baba", "Research"}, {"Chiba", "Sales"}, {"Doi", "NULL"},
               {"ebara", "Research"}}));
  EXPECT_EQ(Run("select d.Title, e.ID from emp e right outer join dept d on e.Dept = d.DNo "
                "order by d.Title, e.ID"),
            (R{{"Empty", "NULL"}, {"Research", "2"}, {"Research", "5"}, {"Sales", "1"}, {"Sales", "3"}}));
  EXPECT_EQ(Run("select Name, Title from emp, dept where Dept = DNo and Pay > 150 order by Name"),
            (R{{"Aoki", "Sales"}, {"Baba", "Research"}}));
  // A WHERE condition on the inner side of a LEFT OUTER JOIN filters after the NULL rows.
  EXPECT_EQ(Run("select e.ID from emp e left outer join dept d on e.Dept = d.DNo where d.Title is null"),
            (R{{"4"}}));
}

TEST_F(ResultTest, SmallestSourceDrivesTheJoin) {
  // dept (3 records) drives: rows come out in dept order; NOJOINOPTIMIZE keeps FROM order.
  EXPECT_EQ(Run("select e.ID, d.DNo from emp e, dept d where e.Dept = d.DNo"),
            (R{{"1", "10"}, {"3", "10"}, {"2", "20"}, {"5", "20"}}));
  EXPECT_EQ(Run("select e.ID, d.DNo from emp e, dept d where e.Dept = d.DNo nojoinoptimize"),
            (R{{"1", "10"}, {"2", "20"}, {"3", "10"}, {"5", "20"}}));
  // Conditions on the sources count: two employees earn over 250, so emp drives.
  EXPECT_EQ(Run("select e.ID, d.DNo from dept d, emp e where e.Dept = d.DNo and e.Pay > 250"),
            (R{{"1", "10"}}));
}

TEST_F(ResultTest, JoinDriverIsTheFewestQualifyingRecordsAndTheFirstWrittenAmongEquals) {
  // Sources are counted smallest table first and a count stops once it cannot win; the choice
  // (seen in the row order) must stay the one a full count of every source makes.
  MakeTable("big", {Field("K", T::Integer), Field("Tag", T::String, 4)},
            {{"2", "a"}, {"1", "b"}, {"2", "c"}, {"1", "d"}, {"9", "e"}, {"9", "f"}});
  MakeTable("small", {Field("K", T::Integer)}, {{"2"}, {"1"}, {"7"}});
  const struct {
    const char *Sql;
    R Rows;
  } cases[] = {
      // small: 2 records, big: 4: small drives although written second.
      {"select b.Tag, s.K from big b, small s where b.K = s.K and b.K < 5 and s.K < 5",
       R{{"a", "2"}, {"c", "2"}, {"b", "1"}, {"d", "1"}}},
      // 2 and 2: the first written drives, whichever table is counted first.
      {"select b.Tag, s.K from big b, small s where b.K = s.K and b.Tag in ('b', 'c') and s.K < 5",
       R{{"b", "1"}, {"c", "2"}}},
      {"select b.Tag, s.K from small s, big b where b.K = s.K and b.Tag in ('b', 'c') and s.K < 5",
       R{{"c", "2"}, {"b", "1"}}},
      // big: 1 record, found after the count of small (2) is known.
      {"select b.Tag, s.K from small s, big b where b.K = s.K and b.Tag = 'd' and s.K < 5", R{{"d", "1"}}},
  };
  for (const auto &c : cases) EXPECT_EQ(Run(c.Sql), c.Rows) << c.Sql;
}

TEST_F(ResultTest, UnionAndUnionAll) {
  EXPECT_EQ(Run("select Dept from emp where ID = 1 union select DNo from dept where DNo = 10"), (R{{"10"}}));
  EXPECT_EQ(Run("select Dept from emp where ID = 1 union all select DNo from dept where DNo = 10"),
            (R{{"10"}, {"10"}}));
  EXPECT_EQ(Run("select ID from emp where ID < 3 union select DNo from dept order by 1 desc"),
            (R{{"30"}, {"20"}, {"10"}, {"2"}, {"1"}}));
}

TEST_F(ResultTest, InSubSelect) {
  EXPECT_EQ(Run("select ID from emp where Dept in (select DNo from dept where Title = 'Sales')"),
            (R{{"1"}, {"3"}}));
  EXPECT_EQ(Run("select DNo from dept where DNo not in (select Dept from emp where Dept is not null)"),
            (R{{"30"}}));
  // "value = column" with NULL = NULL: the employee without a department finds the NULL.
  EXPECT_EQ(Run("select ID from emp where Dept in (select Dept from emp where ID >= 4)"), (R{{"2"}, {"4"}, {"5"}}));
}

TEST_F(ResultTest, ParametersReExecuted) {
  auto q = Query("select Name from emp where Dept = ? order by Name");
  ASSERT_EQ(q->ParameterCount(), 1u);
  q->SetParameterInt(0, 10);
  q->Execute();
  EXPECT_EQ(Read(*q), (R{{"Aoki"}, {"Chiba"}}));
  q->SetParameterInt(0, 20);
  q->Execute();
  EXPECT_EQ(Read(*q), (R{{"Baba"}, {"ebara"}}));
  // NULL = NULL is true here: a NULL parameter finds the row without a department.
  q->SetParameterNull(0);
  q->Execute();
  EXPECT_EQ(Read(*q), (R{{"Doi"}}));
}

TEST_F(ResultTest, ScriptsRunStatementByStatement) {
  auto q = Query("select count(*) from emp; select Title from dept where DNo = ?; select Nope from dept");
  q->Execute();
  EXPECT_EQ(Read(*q), (R{{"5"}}));
  ASSERT_TRUE(q->HasNextStatement());
  q->PrepareNext();
  ASSERT_EQ(q->ParameterCount(), 1u);
  q->SetParameterInt(0, 20);
  q->Execute();
  EXPECT_EQ(Read(*q), (R{{"Research"}}));
  ASSERT_TRUE(q->HasNextStatement());
  EXPECT_THROW(q->PrepareNext(), EKuraEngineError);
  EXPECT_FALSE(q->Prepared());
  EXPECT_FALSE(q->HasNextStatement());
  q->Close();
  EXPECT_TRUE(PrivateFiles().empty());
}

TEST_F(ResultTest, MaxRowCountStopsBeforeSorting) {
  auto q = std::make_unique<TSelectQuery>(DefaultSession(), DbPath());
  q->SetMaxRowCount(2);
  q->Prepare("select ID from emp order by ID desc");
  q->Execute();
  EXPECT_EQ(Read(*q), (R{{"2"}, {"1"}}));
}

TEST_F(ResultTest, IntoTableIsKept) {
  {
    auto q = Query("select ID, Name into copy1 from emp where ID < 3");
    q->Execute();
  }
  EXPECT_EQ(Run("select Name from copy1"), (R{{"Aoki"}, {"Baba"}}));
}

TEST_F(ResultTest, ProgressReportsAndAbort) {
  auto q = Query("select ID from emp");
  std::vector<int> seen;
  q->OnProgress = [&](int percent, bool &abort) {
    seen.push_back(percent);
    if (percent >= 40) abort = true;
  };
  q->Execute();
  ASSERT_FALSE(seen.empty());
  EXPECT_GE(seen.back(), 40);
  EXPECT_LT(q->RowCount(), 5);
  auto all = Query("select ID from emp");
  std::vector<int> full;
  all->OnProgress = [&](int percent, bool &) { full.push_back(percent); };
  all->Execute();
  ASSERT_FALSE(full.empty());
  EXPECT_EQ(full.back(), 100);
  EXPECT_EQ(all->RowCount(), 5);
}

TEST_F(ResultTest, WithLocksReleasesLocks) {
  EXPECT_EQ(Run("select ID from emp where ID = 2 with locks"), (R{{"2"}}));
  EXPECT_EQ(Run("select ID from emp where ID = 3 with locks"), (R{{"3"}}));
}

}  // namespace
}  // namespace kura::test

namespace kura::test {
namespace {

class BlobResultTest : public SelectTest {
 protected:
  void SetUp() override {
    SelectTest::SetUp();
    MakeTable("notes",
              {Field("ID", EngineFieldType::Integer), Field("Body", EngineFieldType::Blob, 0, 0, FieldSubType::Memo)},
              {{"1", std::string(2000, 'x') + "end"}, {"2", "short note"}, {"3", std::nullopt}});
  }
};

TEST_F(BlobResultTest, MemoValuesAreCopiedIntoResultTables) {
  auto rows = Run("select ID, Body from notes order by ID desc");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0][1], "NULL");
  EXPECT_EQ(rows[1][1], "short note");
  EXPECT_EQ(rows[2][1], std::string(2000, 'x') + "end");
}

TEST_F(BlobResultTest, MemoValuesInLiveResultsConditionsAndUnions) {
  EXPECT_EQ(Run("select Body from notes where ID = 2", true), (R{{"short note"}}));
  EXPECT_EQ(Run("select ID from notes where Body like '%end'"), (R{{"1"}}));
  EXPECT_EQ(Run("select Body from notes where ID = 2 union all select Body from notes where ID = 2"),
            (R{{"short note"}, {"short note"}}));
}

}  // namespace
}  // namespace kura::test

namespace kura::test {
namespace {

class ResultEdgeTest : public SelectTest {
 protected:
  void SetUp() override {
    SelectTest::SetUp();
    MakeTable("g", {Field("K", EngineFieldType::Integer), Field("V", EngineFieldType::Integer),
                    Field("P", EngineFieldType::BCD, 0, 4)},
              {{"1", std::nullopt, "1.25"}, {"1", std::nullopt, "2.50"}, {"2", "5", "0.0001"}, {"2", "7", "0.0004"},
               {"3", "1", std::nullopt}, {"4", "2", "1"}, {"5", "9", "3"}});
  }
};

TEST_F(ResultEdgeTest, GroupWhoseColumnIsAlwaysNull) {
  // COUNT(column) of such a group is 0; AVG over no values is unknown, like SUM.
  EXPECT_EQ(Run("select K, count(V), avg(V), sum(V) from g where K <= 2 group by K"),
            (R{{"1", "0", "NULL", "NULL"}, {"2", "2", "6", "12"}}));
  EXPECT_EQ(Run("select avg(V), count(V) from g where K = 1"), (R{{"NULL", "0"}}));
}

TEST_F(ResultEdgeTest, BcdAverageRoundsToFourPlacesTiesToEven) {
  // (0.0001 + 0.0004) / 2 = 0.00025, which lies halfway: the even neighbour 0.0002 wins.
  auto rows = Run("select K, avg(P), sum(P) from g where K = 2 group by K");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][1], "0.0002");
  EXPECT_EQ(rows[0][2], "0.0005");
  EXPECT_EQ(Run("select avg(P) from g where K = 2"), (R{{"0.0002"}}));
}

TEST_F(ResultEdgeTest, DistinctTopGivesTheFirstValuesInAscendingOrder) {
  EXPECT_EQ(Run("select distinct K from g top 3"), (R{{"1"}, {"2"}, {"3"}}));
  EXPECT_EQ(Run("select K from g group by K order by K desc top 2"), (R{{"5"}, {"4"}}));
  EXPECT_EQ(Run("select K, count(*) from g group by K top 2"), (R{{"1", "2"}, {"2", "2"}}));
}

TEST_F(ResultEdgeTest, IntoMemoryAndEncryptedResults) {
  {
    auto q = Query("select K, V into memory mem1 from g where V is not null");
    q->Execute();
    EXPECT_EQ(q->RowCount(), 5);
  }
  auto q = std::make_unique<TSelectQuery>(DefaultSession(), "Memory");
  q->Prepare("select count(*) from mem1");
  q->Execute();
  EXPECT_EQ(Read(*q), (R{{"5"}}));
  auto e = Query("select K from g where K = 3 encrypted with 'himitsu'");
  e->Execute();
  ASSERT_NE(e->ResultTable(), nullptr);
  EXPECT_TRUE(e->ResultTable()->DataFile().Encrypted());
  EXPECT_EQ(Read(*e), (R{{"3"}}));
}

TEST_F(ResultEdgeTest, IntoTheSourceTableItselfIsRefused) {
  auto q = Query("select * into g from g");
  EXPECT_THROW(q->Execute(), EKuraEngineError);
  q->Close();
  EXPECT_EQ(Run("select count(*) from g"), (R{{"7"}}));
}

TEST_F(ResultEdgeTest, ExecuteBeforePrepareAndRowsBeforeExecute) {
  TSelectQuery q(DefaultSession(), DbPath());
  EXPECT_THROW(q.Execute(), EKuraEngineError);
  q.Prepare("select K from g");
  EXPECT_EQ(q.RowCount(), 0);
  EXPECT_TRUE(q.Row(0).empty());
  EXPECT_THROW(q.SetParameterInt(0, 1), EKuraEngineError);
}

TEST_F(ResultEdgeTest, ReExecutionSeesNewRecordsAndReplacesTheResultTable) {
  // Asked for a live result, the query opens its source writable, so others in this process
  // may write to it too (a read-only open holds the process's files read-only).
  auto q = Query("select count(*) from g where K > 4", true);
  EXPECT_FALSE(q->Live());
  q->Execute();
  EXPECT_EQ(Read(*q), (R{{"1"}}));
  // Another session adds a record meanwhile.
  TDataSession &other = CreateSession();
  TDataDirectory *directory = other.OpenDataDirectory("Other", DbPath());
  TDataTable *table = directory->OpenTable("g", false, false, false, false);
  TDataFile &file = table->DataFile();
  table->WriteLock();
  TRecord *r = file.AllocateRecord(table->NoPrimaryKey());
  SetIntegerField(file.Field(1), r->Image.data(), 6);
  file.MarkRecordDirty(r);
  file.ReleaseRecord(r);
  table->ChangePosted();
  table->WriteUnlock();
  directory->CloseTable(table);
  other.CloseDataDirectory(directory);
  DestroySession(&other);
  q->Execute();
  EXPECT_EQ(Read(*q), (R{{"2"}}));
  q->Close();
  EXPECT_TRUE(PrivateFiles().empty());
}

}  // namespace
}  // namespace kura::test

namespace kura::test {
namespace {

// A result larger than the record cache is sorted and grouped through run files, which are
// gone afterwards.
TEST_F(SelectTest, LargeResultsSpillToRunFiles) {
  Rows rows;
  for (int i = 0; i < 6000; ++i)
    rows.push_back({std::to_string((i * 7919) % 6000), std::to_string(i % 37), "w" + std::to_string(i % 101)});
  MakeTable("big", {Field("N", EngineFieldType::Integer), Field("G", EngineFieldType::Integer),
                    Field("W", EngineFieldType::String, 8)},
            rows);
  DefaultSession().Settings.DataBufferCount = 64;
  auto ordered = Run("select N from big where N >= 0 order by N desc");
  ASSERT_EQ(ordered.size(), 6000u);
  for (int i = 0; i < 6000; ++i) ASSERT_EQ(ordered[i][0], std::to_string(5999 - i));
  auto groups = Run("select G, count(*), sum(N) from big group by G");
  ASSERT_EQ(groups.size(), 37u);
  int64_t total = 0, counted = 0;
  for (size_t g = 0; g < groups.size(); ++g) {
    EXPECT_EQ(groups[g][0], std::to_string(g));
    counted += std::stoll(groups[g][1]);
    total += std::stoll(groups[g][2]);
  }
  EXPECT_EQ(counted, 6000);
  EXPECT_EQ(total, 5999LL * 6000 / 2);
  EXPECT_EQ(Run("select distinct W from big").size(), 101u);
  EXPECT_TRUE(PrivateFiles().empty());
}

}  // namespace
}  // namespace kura::test
