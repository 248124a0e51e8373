// Query components: SQL lines and parameters, Prepare and Unprepare rules, messages, result
// tables with duplicate names, master parameters.
#include "DataSetTestSupport.h"
#include "query/dataset/KuraDataSource.h"

namespace kura::dstest {
namespace {

using Query = DataSetTest;

TEST_F(Query, EmptySqlFailsAndStaysClosed) {
  TKuraQuery q;
  Setup(q);
  EXPECT_EQ(MessageOf([&] { q.Open(); }), "No SQL statement available");
  EXPECT_FALSE(q.Active());
  q.SQL().Add(" ");
  EXPECT_EQ(MessageOf([&] { q.Open(); }), "No SQL statement available");
  EXPECT_EQ(MessageOf([&] { q.Prepare(); }), "No SQL statement available");
  EXPECT_FALSE(q.Prepared());
}

TEST_F(Query, ParametersAndReopening) {
  TKuraQuery q;
  Setup(q);
  OpenFigure(q, 1000);
  EXPECT_EQ(q.Text(), "select * from figure\nWhere MNB = ?\n");
  EXPECT_EQ(q.ParamCount(), 1);
  EXPECT_EQ(q.RecordCount(), 6);
  OpenFigure(q, 1001);
  EXPECT_EQ(q.RecordCount(), 1);
  EXPECT_EQ(q.FieldByName("CMT").AsString(), "x");
  // New lines and a new parameter, as NextBranchNumber builds them.
  q.Close();
  q.SQL().Clear();
  q.SQL().Add("Select *");
  q.SQL().Add("From figure");
  q.SQL().Add("Where (MNB = :MNB) and (BFR > 0) order by BFR");
  q.ParamByName("MNB").SetAsInteger(1000);
  q.Open();
  EXPECT_EQ(Column(q, "BFR"), (std::vector<int64_t>{1, 2, 3, 4}));
  q.Close();
  EXPECT_FALSE(q.Prepared()) << "Close unprepares what Open prepared";
  // A parameter without a value.
  q.SQL().Clear();
  q.SQL().Add("select * from figure where MNB = :other");
  EXPECT_EQ(MessageOf([&] { q.Open(); }), "No value for parameter 'other'");
  EXPECT_FALSE(q.Active());
}

TEST_F(Query, PrepareRules) {
  TKuraQuery q;
  Setup(q);
  q.SQL().Add("select * from figure where MNB = :MNB");
  q.Prepare();
  EXPECT_TRUE(q.Prepared());
  q.Params()[0].SetAsInteger(1000);
  q.Open();
  EXPECT_EQ(MessageOf([&] { q.Prepare(); }), "データセットが開かれているため, この操作は実行できません");
  q.Close();
  EXPECT_TRUE(q.Prepared()) << "prepared by the application: stays prepared";
  q.SQL().Add("and TES = 0");
  EXPECT_FALSE(q.Prepared()) << "a change of text unprepares";
  q.Params()[0].SetAsInteger(1000);
  q.Open();
  EXPECT_EQ(q.RecordCount(), 2);
  q.Close();
  // A syntax error leaves the query unprepared, so the next open parses again.
  q.SQL().Clear();
  q.SQL().Add("select * form figure");
  EXPECT_EQ(CodeOf([&] { q.Open(); }), KURA_SQLPARSE);
  EXPECT_FALSE(q.Active());
  EXPECT_FALSE(q.Prepared());
  EXPECT_EQ(CodeOf([&] { q.Open(); }), KURA_SQLPARSE);
  // Missing table.
  q.SQL().Clear();
  q.SQL().Add("select * from nosuchtable");
  EXPECT_NE(CodeOf([&] { q.Open(); }), 0u);
  EXPECT_FALSE(q.Active());
}

TEST_F(Query, ParamCheckOffLeavesTheTextAlone) {
  TKuraQuery q;
  Setup(q);
  q.SetParamCheck(false);
  q.SQL().Add("select * from figure where CMT = ':x'");
  EXPECT_EQ(q.ParamCount(), 0);
  EXPECT_EQ(q.Text(), "select * from figure where CMT = ':x'\n");
  q.Open();
  EXPECT_EQ(q.RecordCount(), 0);
}

TEST_F(Query, BlankStringParameterIsNull) {
  TKuraQuery q;
  Setup(q);
  q.SQL().Add("select * from figure where CMT = :C");
  q.Params()[0].SetAsString("   ");
  q.Open();
  EXPECT_EQ(Column(q, "PST"), (std::vector<int64_t>{10, 11}));
}

TEST_F(Query, DuplicateResultNamesAndReadOnlyResults) {
  TKuraQuery q;
  Setup(q);
  q.SQL().Add("select a.MNB, b.MNB, a.ITEM from mokuji a, mokuji b where a.MNB = b.MNB and a.MNB > 0");
  q.Open();
  EXPECT_FALSE(q.Live());
  std::vector<std::string> names = q.FieldNames();
  ASSERT_EQ(names.size(), 3u);
  EXPECT_EQ(names[0], "MNB");
  EXPECT_EQ(names[1], "MNB_1");
  EXPECT_EQ(q.RowsAffected(), 3);
  q.Close();
  q.SetReadOnly(true);
  OpenFigure(q, 1000);
  EXPECT_FALSE(q.CanModify());
  EXPECT_TRUE(q.ReadOnly());
  EXPECT_EQ(MessageOf([&] { q.Edit(); }), dsmsg::DataSetReadOnly);
}

// The rows of an unsorted result table are written by the statement straight into the data
// file; the cursor on the result must still show every one of them.
TEST_F(Query, UnsortedResultTableRowsReachTheCursor) {
  TKuraQuery q;
  Setup(q);
  q.SQL().Add("select a.MNB, b.MNB, a.ITEM from mokuji a, mokuji b where a.MNB = b.MNB and a.MNB > 0");
  q.Open();
  EXPECT_EQ(q.RecordCount(), 3);
  EXPECT_EQ(Column(q, "MNB_1"), (std::vector<int64_t>{1000, 1010, 1020}));
}

TEST_F(Query, ContentsInOrderAndMaxRowCount) {
  TKuraQuery q;
  Setup(q);
  q.SQL().Add("select * from mokuji");
  q.SQL().Add("Where MNB > 0");
  q.SQL().Add("Order By MNB");
  q.Open();
  EXPECT_EQ(Column(q, "MNB"), (std::vector<int64_t>{1000, 1010, 1020}));
  q.Last();
  EXPECT_EQ(q.Fields(1).AsString(), "問題");
  q.Close();
  q.SetRequestLive(false);
  q.SetMaxRowCount(2);
  q.Open();
  EXPECT_EQ(q.RecordCount(), 2);
}

TEST_F(Query, MasterDataSourceFillsParameters) {
  TKuraQuery master;
  Setup(master);
  master.SQL().Add("select * from mokuji where MNB >= 1000 order by MNB");
  TKuraDataSource source(&master);
  TKuraQuery detail;
  Setup(detail);
  detail.SQL().Add("select * from figure where MNB = :MNB");
  detail.SetDataSource(&source);
  master.Open();
  detail.Open();
  EXPECT_EQ(detail.RecordCount(), 6) << "MNB 1000 from the master";
  master.Next();
  EXPECT_EQ(detail.RecordCount(), 0) << "MNB 1010 has no figure rows";
  master.First();
  EXPECT_EQ(detail.RecordCount(), 6);
  // An assigned parameter wins over the master.
  detail.Close();
  detail.Params()[0].SetAsInteger(1001);
  detail.Open();
  EXPECT_EQ(detail.RecordCount(), 1);
  // A chain back to the query itself is refused.
  TKuraDataSource own(&detail);
  EXPECT_EQ(MessageOf([&] { detail.SetDataSource(&own); }), "Circular data links are not allowed.");
  TKuraDataSource second(&master);
  master.SetDataSource(nullptr);
  TKuraDataSource fromDetail(&detail);
  EXPECT_EQ(MessageOf([&] { master.SetDataSource(&fromDetail); }), "Circular data links are not allowed.");
}

}  // namespace
}  // namespace kura::dstest

namespace kura::dstest {
namespace {

TEST_F(Query, MasterDestroyedBeforeDetail) {
  auto master = std::make_unique<TKuraQuery>();
  Setup(*master);
  master->SQL().Add("select * from mokuji where MNB = 1000");
  TKuraDataSource source(master.get());
  TKuraQuery detail;
  Setup(detail);
  detail.SQL().Add("select * from figure where MNB = :MNB");
  detail.SetDataSource(&source);
  master->Open();
  detail.Open();
  EXPECT_EQ(detail.RecordCount(), 6);
  master.reset();
  source.SetDataSet(nullptr);
  // The detail forgot its master: it reopens without one and asks for the value.
  detail.Close();
  EXPECT_EQ(MessageOf([&] { detail.Open(); }), "No value for parameter 'MNB'");
}

}  // namespace
}  // namespace kura::dstest

namespace kura::dstest {
namespace {

TEST_F(Query, MemoryDatabase) {
  TKuraDatabase &db = Session().OpenDatabase("Memory");
  db.Open();
  {
    TDataCursor c(&db.Handle(), "scratch");
    c.CreateTable(FigureDefinition(), {});
  }
  TKuraTable t;
  t.SetDatabaseName("memory");
  t.SetTableName("scratch");
  t.Open();
  t.Append();
  t.FieldByName("MNB").SetAsInteger(19);
  t.FieldByName("CMT").SetAsString("saved");
  t.Post();
  TKuraQuery q;
  q.SetDatabaseName("Memory");
  q.SetRequestLive(true);
  q.SQL().Add("select * from scratch where MNB = :MNB");
  q.Params()[0].SetAsInteger(19);
  q.Open();
  ASSERT_EQ(q.RecordCount(), 1);
  EXPECT_EQ(q.FieldByName("CMT").AsString(), "saved");
  EXPECT_FALSE(std::filesystem::exists("scratch.DAT")) << "nothing reaches the disk";
}

}  // namespace
}  // namespace kura::dstest
