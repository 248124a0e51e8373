// Live results with a column list (a projection of the source table, calculated columns
// included), Locate inside a filtered dataset, record locks between two datasets, ExecSQL.
#include "DataSetTestSupport.h"

namespace kura::dstest {
namespace {

using LiveResult = DataSetTest;

TEST_F(LiveResult, ColumnListIsAProjectionOfTheTable) {
  TKuraQuery q;
  Setup(q);
  q.SQL().Add("select PST, CMT, TES + 100 as T2 from figure where MNB = 1000");
  q.Open();
  ASSERT_TRUE(q.Live());
  EXPECT_EQ(q.FieldNames(), (std::vector<std::string>{"PST", "CMT", "T2"}));
  EXPECT_EQ(Column(q, "T2"), (std::vector<int64_t>{100, 100, 101, 102, 103, 103}));
  EXPECT_EQ(q.FieldByName("T2").Origin, "");
  EXPECT_EQ(q.FieldByName("PST").Origin, "figure.PST");
  ASSERT_TRUE(q.Locate("PST", 21));
  q.Edit();
  EXPECT_EQ(MessageOf([&] { q.FieldByName("T2").SetAsInteger(5); }), "Field T2 cannot be modified.");
  q.FieldByName("CMT").SetAsString("through projection");
  q.Post();
  EXPECT_EQ(q.FieldByName("T2").AsInteger(), 102);
  TKuraTable t;
  t.SetDatabaseName("kyozai");
  t.SetTableName("figure");
  t.Open();
  ASSERT_TRUE(t.Locate("PST;MNB", std::vector<TKuraValue>{21, 1000}));
  EXPECT_EQ(t.FieldByName("CMT").AsString(), "through projection");
  EXPECT_EQ(t.FieldByName("BFR").AsInteger(), 2) << "fields outside the projection keep their values";
}

TEST_F(LiveResult, LocateSearchesOnlyTheFilteredRows) {
  TKuraTable t;
  t.SetDatabaseName("kyozai");
  t.SetTableName("figure");
  t.SetFilter("MNB = 1001");
  t.SetFiltered(true);
  t.Open();
  ASSERT_TRUE(t.Locate("TES;PST", std::vector<TKuraValue>{0, 10}));
  EXPECT_EQ(t.FieldByName("MNB").AsInteger(), 1001);
  EXPECT_FALSE(t.Locate("PST", 20));
  EXPECT_EQ(t.RecordCount(), 1) << "the Filter text stays in force after Locate";
}

TEST_F(LiveResult, SecondEditOfALockedRecordFails) {
  TKuraTable a, b;
  for (TKuraTable *t : {&a, &b}) {
    t->SetDatabaseName("kyozai");
    t->SetTableName("figure");
    t->Open();
  }
  a.Edit();
  EXPECT_EQ(CodeOf([&] { b.Edit(); }), KURA_RECLOCKFAILED);
  EXPECT_EQ(b.State(), TDataSetState::dsBrowse);
  a.FieldByName("CMT").SetAsString("first");
  a.Post();
  // b still shows the record as it was: its edit is refused until it reads the record again.
  EXPECT_EQ(CodeOf([&] { b.Edit(); }), KURA_KEYORRECDELETED);
  EXPECT_EQ(b.State(), TDataSetState::dsBrowse);
  b.Refresh();
  b.Edit();
  EXPECT_EQ(b.FieldByName("CMT").AsString(), "first");
  b.Cancel();
  a.Edit();
  a.Cancel();
}

TEST_F(LiveResult, ExecSqlRunsWithoutAResultSet) {
  TKuraQuery q;
  Setup(q);
  q.SQL().Add("select * from figure where MNB = :MNB");
  q.Params()[0].SetAsInteger(1000);
  q.ExecSQL();
  EXPECT_FALSE(q.Active());
  EXPECT_EQ(q.RowsAffected(), 6);
  EXPECT_FALSE(q.Prepared());
}

}  // namespace
}  // namespace kura::dstest

namespace kura::dstest {
namespace {

TEST_F(LiveResult, ExecSqlChangesDataWithParameters) {
  TKuraQuery q;
  Setup(q);
  q.SQL().Add("insert into figure (MNB, TES, PST, CMT) values (:MNB, 1, :PST, :CMT)");
  q.Params()[0].SetAsInteger(19);
  q.Params()[1].SetAsInteger(72);
  q.Params()[2].SetAsString("saved game");
  q.ExecSQL();
  EXPECT_EQ(q.RowsAffected(), 1);
  EXPECT_FALSE(q.Prepared());
  // Prepared once, run twice with new values.
  q.Prepare();
  q.Params()[1].SetAsInteger(73);
  q.ExecSQL();
  q.Params()[1].SetAsInteger(74);
  q.ExecSQL();
  EXPECT_TRUE(q.Prepared());
  q.Unprepare();

  TKuraQuery r;
  Setup(r);
  OpenFigure(r, 19);
  EXPECT_EQ(Column(r, "PST"), (std::vector<int64_t>{72, 73, 74}));
  r.Close();

  q.SQL().Clear();
  q.SQL().Add("update figure set CMT = :C where MNB = :M and PST > :P");
  q.ParamByName("C").SetAsString("late");
  q.ParamByName("M").SetAsInteger(19);
  q.ParamByName("P").SetAsInteger(72);
  q.ExecSQL();
  EXPECT_EQ(q.RowsAffected(), 2);
  q.SQL().Clear();
  q.SQL().Add("delete from figure where MNB = :M");
  q.Params()[0].SetAsInteger(19);
  q.ExecSQL();
  EXPECT_EQ(q.RowsAffected(), 3);
  OpenFigure(r, 19);
  EXPECT_TRUE(r.IsEmpty());
  // Open on a statement without rows runs it and then reports that there is nothing to show.
  q.SQL().Clear();
  q.SQL().Add("insert into figure (MNB) values (77)");
  EXPECT_EQ(MessageOf([&] { q.Open(); }), "Error creating table handle.");
  EXPECT_FALSE(q.Active());
  OpenFigure(r, 77);
  EXPECT_EQ(r.RecordCount(), 1);
  // Errors of the statement reach the application with their code.
  q.SQL().Clear();
  q.SQL().Add("insert into mokuji (MNB, ITEM) values (1000, 'dup')");
  EXPECT_EQ(CodeOf([&] { q.ExecSQL(); }), KURA_KEYVIOL);
}

}  // namespace
}  // namespace kura::dstest
