// Table maintenance through a table component: indexes added and deleted, a restructure with
// its data-loss questions and progress, and the component opening again on the new structure.
#include <algorithm>

#include "DataSetTestSupport.h"

namespace kura::dstest {
namespace {

using TableMaintenance = DataSetTest;

void OpenAlone(TKuraTable &t, const std::string &table) {
  t.SetDatabaseName("kyozai");
  t.SetTableName(table);
  t.SetExclusive(true);
  t.Open();
}

TEST_F(TableMaintenance, MaintenanceNeedsTheTableAlone) {
  TKuraTable t;
  t.SetDatabaseName("kyozai");
  t.SetTableName("figure");
  t.Open();
  EXPECT_EQ(CodeOf([&] { t.AddIndex("ByPst", "PST"); }), unsigned(KURA_NEEDEXCLACCESS));
  EXPECT_TRUE(t.Active()) << "a refused operation leaves the component open";
  EXPECT_EQ(Column(t, "PST").size(), FigureRows().size());
}

TEST_F(TableMaintenance, UniqueIndexKeepsTheFirstOfEqualKeysAndOrdersByIt) {
  TKuraTable t;
  OpenAlone(t, "figure");
  std::vector<int> progress;
  t.OnMaintenanceProgress = [&](TKuraTable &, int percent) { progress.push_back(percent); };
  // COL holds 1 and 2 only: the first row with each value stays.
  t.AddIndex("ByCol", "COL", /*unique=*/true);
  EXPECT_TRUE(t.Active());
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.back(), 100);
  EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
  const std::vector<std::string> names = t.IndexNames();
  EXPECT_NE(std::find(names.begin(), names.end(), "ByCol"), names.end());
  t.SetIndexName("ByCol");
  EXPECT_EQ(Column(t, "COL"), (std::vector<int64_t>{1, 2}));
  EXPECT_EQ(Column(t, "PST"), (std::vector<int64_t>{10, 11}));
  EXPECT_EQ(CodeOf([&] { t.AddIndex("Bad", "NOSUCH"); }), unsigned(KURA_OUTOFRANGE));
}

TEST_F(TableMaintenance, DeletingTheIndexInUseFallsBackAndUnknownNamesFail) {
  TKuraTable t;
  OpenAlone(t, "figurek");
  t.SetIndexName("ByDtx");
  t.DeleteIndex("ByDtx");
  EXPECT_TRUE(t.Active());
  EXPECT_TRUE(t.IndexName().empty());
  const std::vector<std::string> names = t.IndexNames();
  EXPECT_EQ(std::find(names.begin(), names.end(), "ByDtx"), names.end());
  EXPECT_EQ(Column(t, "PST").size(), FigureRows().size());
  EXPECT_EQ(CodeOf([&] { t.DeleteIndex("ByDtx"); }), unsigned(KURA_INVALIDINDEXNAME));

  TKuraTable m;
  OpenAlone(m, "mokuji");
  ASSERT_TRUE(m.Cursor()->HasPrimaryKey());
  m.DeleteIndex("primary");
  EXPECT_FALSE(m.Cursor()->HasPrimaryKey());
  EXPECT_EQ(Column(m, "MNB").size(), 4u);
}

TEST_F(TableMaintenance, DroppingAFieldAsksOncePerRecordUntilToldToStop) {
  TKuraTable t;
  OpenAlone(t, "figure");
  TRestructureDefinition next = t.CurrentStructure();
  ASSERT_EQ(next.Fields.size(), 8u);
  next.Fields.pop_back();  // CMT
  int asked = 0;
  t.OnDataLost = [&](TKuraTable &sender, TDataLossCause cause, const std::string &context, bool &go, bool &stop) {
    EXPECT_EQ(&sender, &t);
    EXPECT_EQ(cause, TDataLossCause::LossFieldDropped);
    EXPECT_EQ(context, "CMT");
    EXPECT_TRUE(go);
    if (++asked == 3) stop = true;
  };
  next.NoBackup = true;
  EXPECT_TRUE(t.RestructureTable(next));
  EXPECT_EQ(asked, 3);
  EXPECT_TRUE(t.Active());
  EXPECT_EQ(t.FieldCount(), 7);
  EXPECT_EQ(t.FindField("CMT"), nullptr);
  std::vector<int64_t> pst;
  for (const FigureRow &r : FigureRows()) pst.push_back(r.PST);
  EXPECT_EQ(Column(t, "PST"), pst);
}

TEST_F(TableMaintenance, CancelledRestructureLeavesTheTableAsItWas) {
  TKuraTable t;
  OpenAlone(t, "figure");
  TRestructureDefinition next = t.CurrentStructure();
  next.Fields.erase(next.Fields.begin() + 3);  // PST
  t.OnDataLost = [](TKuraTable &, TDataLossCause, const std::string &, bool &go, bool &) { go = false; };
  EXPECT_FALSE(t.RestructureTable(next));
  EXPECT_TRUE(t.Active());
  EXPECT_EQ(t.FieldCount(), 8);
  std::vector<int64_t> pst;
  for (const FigureRow &r : FigureRows()) pst.push_back(r.PST);
  EXPECT_EQ(Column(t, "PST"), pst);
  t.First();
  EXPECT_EQ(t.FieldByName("CMT").AsString(), "");
  t.Next();
  t.Next();
  EXPECT_EQ(t.FieldByName("CMT").AsString(), "a");
}

TEST_F(TableMaintenance, WideningAFieldKeepsEveryValue) {
  TKuraTable t;
  OpenAlone(t, "mokuji");
  TRestructureDefinition next = t.CurrentStructure();
  next.Fields[1].DeclaredSize = 80;
  int asked = 0;
  t.OnDataLost = [&](TKuraTable &, TDataLossCause, const std::string &, bool &, bool &) { ++asked; };
  EXPECT_TRUE(t.RestructureTable(next));
  EXPECT_EQ(asked, 0);
  EXPECT_EQ(t.Cursor()->Field(2).DeclaredSize, 80);
  ASSERT_TRUE(t.Locate("MNB", TKuraValue(1010)));
  EXPECT_EQ(t.FieldByName("ITEM").AsString(), "石の取り方");
}

}  // namespace
}  // namespace kura::dstest
