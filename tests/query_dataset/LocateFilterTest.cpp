// Locate with every key list the lesson code uses, by filter (the figure query, no index)
// and by key (a table with fitting indexes) giving the same rows; Lookup; Filter text and
// OnFilterRecord.
#include "DataSetTestSupport.h"

namespace kura::dstest {
namespace {

using LocateFilter = DataSetTest;

struct Search {
  const char *Keys;
  std::vector<TKuraValue> Values;
  int ExpectedPst;  // 0: not found
};

std::vector<Search> Searches() {
  return {
      {"DTX", {1}, 31},
      {"BFR", {3}, 30},
      {"BFR", {9999}, 0},
      {"TES;PST", {2, 21}, 21},
      {"TES;PST", {3, 31}, 31},
      {"TES;PST", {3, 32}, 0},
      {"TES;PST;DTX", {3, 31, 1}, 31},
      {"TES;PST;DTX", {3, 31, 0}, 0},
      {"PST;BFR;DTX", {30, 3, 0}, 30},
      {"PST;BTO", {20, 1}, 20},
      {"PST;BTO", {10, 9999}, 10},
      {"PST;BTO", {21, 1}, 0},
  };
}

TEST_F(LocateFilter, QueryKeyListsWithoutIndex) {
  TKuraQuery q;
  Setup(q);
  OpenFigure(q, 1000);
  for (const Search &s : Searches()) {
    q.SetRecNo(2);  // PST 11
    const bool found = q.Locate(s.Keys, s.Values);
    EXPECT_EQ(found, s.ExpectedPst != 0) << s.Keys;
    EXPECT_EQ(q.FieldByName("PST").AsInteger(), found ? s.ExpectedPst : 11) << s.Keys << " (unchanged on failure)";
    EXPECT_EQ(q.RecordCount(), 6) << "the temporary filter is gone again";
  }
  // The first match in the cursor's order.
  q.Last();
  ASSERT_TRUE(q.Locate("TES", 0));
  EXPECT_EQ(q.FieldByName("PST").AsInteger(), 10);
  EXPECT_EQ(MessageOf([&] { q.Locate("TES;XYZ", std::vector<TKuraValue>{1, 2}); }), "項目 'XYZ' が見つかりません");
  EXPECT_THROW(q.Locate("TES;PST", std::vector<TKuraValue>{1}), EKuraDatabaseError);
}

TEST_F(LocateFilter, TableKeySearchAgreesWithFilterSearch) {
  TKuraTable t;
  t.SetDatabaseName("kyozai");
  t.SetTableName("figurek");
  t.SetIndexName("ByTesPst");
  t.Open();
  TKuraTable natural;
  natural.SetDatabaseName("kyozai");
  natural.SetTableName("figure");
  natural.Open();
  for (const Search &s : Searches()) {
    // Figure 1001 shares TES 0 / PST 10 with figure 1000; MNB makes the rows comparable.
    t.First();
    natural.First();
    const bool byKey = t.Locate(s.Keys, s.Values);
    const bool byFilter = natural.Locate(s.Keys, s.Values);
    ASSERT_EQ(byKey, byFilter) << s.Keys;
    if (!byKey) continue;
    EXPECT_EQ(t.FieldByName("PST").AsInteger(), natural.FieldByName("PST").AsInteger()) << s.Keys;
    EXPECT_EQ(t.FieldByName("BFR").AsInteger(), natural.FieldByName("BFR").AsInteger()) << s.Keys;
  }
  // "DTX" is searched on its own index (the first match in that index's order) while
  // ByTesPst stays the order the dataset walks in.
  ASSERT_TRUE(t.Locate("DTX", 1));
  EXPECT_EQ(t.FieldByName("PST").AsInteger(), 31);
  EXPECT_EQ(t.IndexName(), "ByTesPst");
  t.Prior();
  EXPECT_EQ(t.FieldByName("PST").AsInteger(), 30);
  ASSERT_TRUE(t.Locate("BFR", 1));
  t.Next();
  EXPECT_EQ(t.FieldByName("PST").AsInteger(), 20);
}

TEST_F(LocateFilter, CaseAndPartialOptions) {
  TKuraTable t;
  t.SetDatabaseName("kyozai");
  t.SetTableName("figure");
  t.Open();
  TLocateOptions options;
  EXPECT_FALSE(t.Locate("CMT", "D", options));
  options.CaseInsensitive = true;
  ASSERT_TRUE(t.Locate("CMT", "D", options));
  EXPECT_EQ(t.FieldByName("PST").AsInteger(), 31);
  // On the case-insensitive index of figurek the same search is a key search.
  TKuraTable k;
  k.SetDatabaseName("kyozai");
  k.SetTableName("figurek");
  k.SetIndexName("ByCmt");
  k.Open();
  ASSERT_TRUE(k.Locate("CMT", "D", options));
  EXPECT_EQ(k.FieldByName("PST").AsInteger(), 31);
  // NULL means IS NULL: the first row without a comment.
  ASSERT_TRUE(t.Locate("CMT", TKuraValue()));
  EXPECT_EQ(t.FieldByName("PST").AsInteger(), 10);
  t.Edit();
  t.FieldByName("CMT").SetAsString("abcdef");
  t.Post();
  t.Last();
  TLocateOptions partial;
  partial.PartialKey = true;
  ASSERT_TRUE(t.Locate("CMT", "abc*", partial));
  EXPECT_EQ(t.FieldByName("PST").AsInteger(), 10);
}

TEST_F(LocateFilter, LookupDoesNotMove) {
  TKuraQuery q;
  Setup(q);
  OpenFigure(q, 1000);
  q.SetRecNo(4);
  std::vector<TKuraValue> r = q.Lookup("PST;BTO", {20, 1}, "CMT;TES");
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0].AsString(), "a");
  EXPECT_EQ(r[1].AsInteger(), 1);
  EXPECT_EQ(q.RecNo(), 4);
  EXPECT_EQ(q.FieldByName("PST").AsInteger(), 21);
  EXPECT_TRUE(q.Lookup("PST", {99}, "CMT").empty());
  EXPECT_EQ(q.FieldByName("PST").AsInteger(), 21);
}

TEST_F(LocateFilter, FilterText) {
  TKuraTable t;
  t.SetDatabaseName("kyozai");
  t.SetTableName("figure");
  t.SetFilter("TES > 1 and MNB = 1000");
  t.SetFiltered(true);
  t.Open();
  EXPECT_EQ(t.RecordCount(), 3);
  EXPECT_EQ(Column(t, "PST"), (std::vector<int64_t>{21, 30, 31}));
  t.SetFilter("CMT = 'C'");
  EXPECT_EQ(t.RecordCount(), 0);
  TFilterOptions options;
  options.CaseInsensitive = true;
  t.SetFilterOptions(options);
  EXPECT_EQ(t.RecordCount(), 1);
  t.SetFilter("CMT = 'x*'");
  EXPECT_EQ(t.RecordCount(), 1) << "a trailing * compares as a prefix";
  options.NoPartialCompare = true;
  t.SetFilterOptions(options);
  EXPECT_EQ(t.RecordCount(), 0);
  t.SetFiltered(false);
  EXPECT_EQ(t.RecordCount(), 7);
  // An empty text filters nothing; bad texts name the table and leave the dataset unfiltered.
  t.SetFiltered(true);
  t.SetFilter("");
  EXPECT_EQ(t.RecordCount(), 7);
  for (const char *bad : {"TES +", "TES + 1", "NOSUCH = 1"}) {
    try {
      t.SetFilter(bad);
      ADD_FAILURE() << "accepted: " << bad;
    } catch (const EKuraEngineError &e) {
      EXPECT_EQ(e.ErrorCode(), KURA_INVALIDFILTER) << bad;
      EXPECT_NE(e.EngineMessage().find("figure"), std::string::npos) << e.EngineMessage();
    }
    EXPECT_EQ(t.RecordCount(), 7) << bad;
    t.SetFilter("MNB = 1001");
    EXPECT_EQ(t.RecordCount(), 1);
  }
}

TEST_F(LocateFilter, OnFilterRecordSurvivesExceptions) {
  TKuraTable t;
  t.SetDatabaseName("kyozai");
  t.SetTableName("figure");
  int seen = 0, reported = 0;
  TKuraDataSet::ApplicationExceptionHandler = [&](const std::exception &) { ++reported; };
  t.SetOnFilterRecord([&](TKuraDataSet &ds, bool &accept) {
    ++seen;
    EXPECT_EQ(ds.State(), TDataSetState::dsFilter);
    const int64_t pst = ds.FieldByName("PST").AsInteger();
    if (pst == 11) throw std::runtime_error("handler failed");
    accept = pst >= 30 || pst == 11;
  });
  t.SetFiltered(true);
  t.Open();
  TKuraDataSet::ApplicationExceptionHandler = nullptr;
  EXPECT_EQ(seen, 7) << "every record was asked";
  EXPECT_EQ(reported, 1);
  EXPECT_EQ(Column(t, "PST"), (std::vector<int64_t>{11, 30, 31})) << "the failing record stays accepted";
}

}  // namespace
}  // namespace kura::dstest

namespace kura::dstest {
namespace {

TEST_F(LocateFilter, KeySearchOnAnOrderedLiveQuerySeesOnlyItsRows) {
  TKuraQuery q;
  Setup(q);
  q.SQL().Add("select * from figurek where MNB = :MNB order by TES, PST");
  q.Params()[0].SetAsInteger(1001);
  q.Open();
  ASSERT_TRUE(q.Live()) << "ByTesPst serves the ORDER BY";
  EXPECT_EQ(q.RecordCount(), 1);
  // Figure 1000 has a row with the same TES and PST earlier in the index.
  ASSERT_TRUE(q.Locate("TES;PST", std::vector<TKuraValue>{0, 10}));
  EXPECT_EQ(q.FieldByName("MNB").AsInteger(), 1001);
  EXPECT_FALSE(q.Locate("TES;PST", std::vector<TKuraValue>{3, 31}));
  EXPECT_EQ(q.FieldByName("MNB").AsInteger(), 1001);
  q.Close();
  q.Params()[0].SetAsInteger(1000);
  q.Open();
  EXPECT_EQ(Column(q, "PST"), (std::vector<int64_t>{10, 11, 20, 21, 30, 31}));
  ASSERT_TRUE(q.Locate("TES;PST", std::vector<TKuraValue>{3, 30}));
  EXPECT_EQ(q.RecNo(), 5);
  TLocateOptions partial;
  partial.PartialKey = true;
  ASSERT_TRUE(q.Locate("TES", 2, partial));
  EXPECT_EQ(q.FieldByName("PST").AsInteger(), 21);
}

}  // namespace
}  // namespace kura::dstest
