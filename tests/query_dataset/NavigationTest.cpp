// Navigation over a query and a table: Bof/Eof, RecNo, RecordCount, fields by position and
// name, the state machine's refusals, and the change notifications.
#include "DataSetTestSupport.h"

namespace kura::dstest {
namespace {

using Navigation = DataSetTest;

TEST_F(Navigation, EofAndBofFollowTheWalk) {
  TKuraQuery q;
  Setup(q);
  OpenFigure(q, 1000);
  ASSERT_TRUE(q.Active());
  EXPECT_EQ(q.RecordCount(), 6);
  EXPECT_TRUE(q.Bof());
  EXPECT_FALSE(q.Eof());
  EXPECT_EQ(q.RecNo(), 1);
  EXPECT_EQ(q.Fields(3).AsInteger(), 10) << "fields by position";
  EXPECT_EQ(q.FieldByName("pst").AsInteger(), 10) << "names without regard to case";
  for (int i = 0; i < 5; ++i) q.Next();
  EXPECT_FALSE(q.Eof()) << "on the last row, Eof is not set until a Next finds nothing";
  EXPECT_FALSE(q.Bof());
  EXPECT_EQ(q.FieldByName("PST").AsInteger(), 31);
  EXPECT_EQ(q.RecNo(), 6);
  q.Next();
  EXPECT_TRUE(q.Eof());
  EXPECT_EQ(q.FieldByName("PST").AsInteger(), 31) << "stays on the last row";
  q.Prior();
  EXPECT_FALSE(q.Eof());
  EXPECT_EQ(q.FieldByName("PST").AsInteger(), 30);
  q.First();
  q.Prior();
  EXPECT_TRUE(q.Bof());
  EXPECT_EQ(q.FieldByName("PST").AsInteger(), 10);
  q.Last();
  EXPECT_TRUE(q.Eof());
  EXPECT_EQ(q.FieldByName("PST").AsInteger(), 31);
  q.SetRecNo(3);
  EXPECT_EQ(q.FieldByName("PST").AsInteger(), 20);
  EXPECT_EQ(q.RecNo(), 3);
  EXPECT_EQ(q.MoveBy(2), 2);
  EXPECT_EQ(q.RecNo(), 5);
  EXPECT_EQ(Column(q, "PST"), (std::vector<int64_t>{10, 11, 20, 21, 30, 31})) << "append order";
}

TEST_F(Navigation, EmptyResult) {
  TKuraQuery q;
  Setup(q);
  OpenFigure(q, 5);
  EXPECT_TRUE(q.Bof());
  EXPECT_TRUE(q.Eof());
  EXPECT_TRUE(q.IsEmpty());
  EXPECT_EQ(q.RecordCount(), 0);
  EXPECT_EQ(q.RecNo(), 0);
  EXPECT_TRUE(q.FieldByName("MNB").IsNull());
  EXPECT_EQ(q.FieldByName("MNB").AsInteger(), 0);
  q.Next();
  q.Prior();
  EXPECT_TRUE(q.Bof() && q.Eof());
  EXPECT_EQ(MessageOf([&] { q.Delete(); }), dsmsg::DataSetEmpty);
}

TEST_F(Navigation, ClosedDatasetAndUnknownNames) {
  TKuraQuery q;
  Setup(q);
  EXPECT_EQ(MessageOf([&] { q.Next(); }), dsmsg::DataSetClosed);
  OpenFigure(q, 1000);
  EXPECT_EQ(MessageOf([&] { q.FieldByName("XYZ"); }), "項目 'XYZ' が見つかりません");
  EXPECT_EQ(q.FindField("XYZ"), nullptr);
  EXPECT_EQ(q.FieldCount(), 8);
  EXPECT_EQ(q.Fields(7).FieldName(), "CMT");
  EXPECT_THROW(q.Fields(8), EKuraDatabaseError);
  q.Close();
  EXPECT_FALSE(q.Active());
  EXPECT_EQ(q.FieldCount(), 0);
}

struct Counter : TDataSetObserver {
  int opened = 0, closed = 0, scrolled = 0, record = 0, changed = 0, state = 0;
  void DataSetOpened(TKuraDataSet &) override { ++opened; }
  void DataSetClosed(TKuraDataSet &) override { ++closed; }
  void DataSetScrolled(TKuraDataSet &) override { ++scrolled; }
  void RecordChanged(TKuraDataSet &) override { ++record; }
  void DataSetChanged(TKuraDataSet &) override { ++changed; }
  void StateChanged(TKuraDataSet &) override { ++state; }
};

TEST_F(Navigation, ObserversHearOpenScrollEditAndClose) {
  TKuraTable t;
  t.SetDatabaseName("kyozai");
  t.SetTableName("figure");
  Counter c;
  t.AddObserver(&c);
  t.Open();
  EXPECT_EQ(c.opened, 1);
  t.Next();
  t.Next();
  EXPECT_EQ(c.scrolled, 2);
  t.Last();
  t.Next();  // nothing after the last row: no scroll
  EXPECT_EQ(c.scrolled, 3);
  const int statesBefore = c.state;
  t.Edit();
  t.FieldByName("CMT").SetAsString("changed");
  EXPECT_EQ(c.record, 1);
  t.Post();
  EXPECT_GE(c.changed, 1);
  EXPECT_EQ(c.state, statesBefore + 2) << "browse -> edit -> browse";
  t.Close();
  EXPECT_EQ(c.closed, 1);
  t.RemoveObserver(&c);
  t.Open();
  EXPECT_EQ(c.opened, 1);
}

TEST_F(Navigation, TableInIndexOrderAndRanges) {
  TKuraTable t;
  t.SetDatabaseName("kyozai");
  t.SetTableName("figurek");
  t.SetIndexName("ByTesPst");
  t.Open();
  EXPECT_EQ(Column(t, "PST"), (std::vector<int64_t>{10, 10, 11, 20, 21, 30, 31}));
  EXPECT_TRUE(t.FindKey({3}));
  EXPECT_EQ(t.FieldByName("PST").AsInteger(), 30);
  EXPECT_FALSE(t.FindKey({7}));
  EXPECT_EQ(t.FieldByName("PST").AsInteger(), 30) << "a failed search stays";
  t.SetRange({1}, {2});
  EXPECT_EQ(t.RecordCount(), 2);
  EXPECT_EQ(Column(t, "TES"), (std::vector<int64_t>{1, 2}));
  t.CancelRange();
  EXPECT_EQ(t.RecordCount(), 7);
  t.SetIndexFieldNames("DTX");
  EXPECT_EQ(t.FieldByName("DTX").AsInteger(), 0);
  t.Last();
  EXPECT_EQ(t.FieldByName("DTX").AsInteger(), 1);
  EXPECT_EQ(CodeOf([&] { t.SetIndexName("NoSuchIndex"); }), KURA_INVALIDINDEXNAME);
}

}  // namespace
}  // namespace kura::dstest

namespace kura::dstest {
namespace {

TEST_F(Navigation, PeekRowReadsWithoutMoving) {
  TKuraQuery q;
  Setup(q);
  OpenFigure(q, 1000);
  q.SetRecNo(3);
  Counter c;
  q.AddObserver(&c);
  std::vector<std::string> row = q.RowTexts(5);
  ASSERT_EQ(row.size(), 8u);
  EXPECT_EQ(row[3], "30");
  EXPECT_EQ(row[7], "c");
  EXPECT_EQ(q.RecNo(), 3);
  EXPECT_EQ(q.FieldByName("PST").AsInteger(), 20);
  EXPECT_TRUE(q.RowTexts(7).empty());
  EXPECT_TRUE(q.RowTexts(0).empty());
  // While editing, the current row shows the values being edited and other rows stay
  // readable; the edit still posts to its own row.
  q.Edit();
  q.FieldByName("CMT").SetAsString("editing");
  EXPECT_EQ(q.RowTexts(3)[7], "editing");
  EXPECT_EQ(q.RowTexts(1)[3], "10");
  q.Post();
  EXPECT_EQ(q.RowTexts(3)[7], "editing");
  EXPECT_EQ(q.RowTexts(4)[7], "b");
  EXPECT_EQ(c.scrolled, 1) << "only the post moved (onto its own row)";
  q.RemoveObserver(&c);
}

}  // namespace
}  // namespace kura::dstest

namespace kura::dstest {
namespace {

TEST_F(Navigation, DatasetsRegisterWithTheirDatabase) {
  TKuraQuery q;
  Setup(q);
  TKuraTable t;
  t.SetDatabaseName("KYOZAI");
  t.SetTableName("figure");
  OpenFigure(q, 1000);
  t.Open();
  ASSERT_NE(q.Database(), nullptr);
  EXPECT_EQ(q.Database(), t.Database()) << "one database component per name, any case";
  EXPECT_TRUE(q.Database()->Temporary());
  EXPECT_EQ(q.Database()->UseCount(), 2);
  TKuraDatabase *db = q.Database();
  t.Close();
  EXPECT_EQ(db->UseCount(), 1);
  EXPECT_EQ(t.Database(), nullptr);
  EXPECT_EQ(MessageOf([&] { q.SetDatabaseName("other"); }), dsmsg::DataSetOpen);
  // Stopping the session closes its datasets.
  Session().Close();
  EXPECT_FALSE(q.Active());
  EXPECT_EQ(q.Database(), nullptr);
  OpenFigure(q, 1001);
  EXPECT_EQ(q.RecordCount(), 1) << "the session starts again on the next open";
}

TEST_F(Navigation, MissingDirectoryOrTableLeavesTheDatasetClosed) {
  TKuraTable t;
  t.SetDatabaseName("kyozai");
  t.SetTableName("nosuch");
  EXPECT_EQ(CodeOf([&] { t.Open(); }), KURA_OSENOENT);
  EXPECT_FALSE(t.Active());
  TKuraQuery q;
  q.SetDatabaseName("missingdir");
  q.SQL().Add("select * from figure");
  EXPECT_NE(CodeOf([&] { q.Open(); }), 0u);
  EXPECT_FALSE(q.Active());
  EXPECT_EQ(q.Database(), nullptr);
  t.SetTableName("");
  EXPECT_EQ(MessageOf([&] { t.Open(); }), "Table name is missing.");
}

}  // namespace
}  // namespace kura::dstest

namespace kura::dstest {
namespace {

TEST_F(Navigation, SessionStartsAgainAfterTheEngineStopped) {
  TKuraQuery q;
  Setup(q);
  OpenFigure(q, 1000);
  q.Close();
  StopEngine();
  EXPECT_FALSE(Session().Active());
  OpenFigure(q, 1000);
  EXPECT_EQ(q.RecordCount(), 6);
}

}  // namespace
}  // namespace kura::dstest
