// Expression filters: record reads an index saves, the error messages, the filter limit, the
// counts from the index, writes under active filters and the order of filters.
#include "tests/query_filter/FilterTestSupport.h"

namespace kura::filtertest {
namespace {

int64_t CountWhere(TDataCursor &c, const std::string &text) {
  TExpTreePtr tree = CompileFilterText(c, text, {});
  return static_cast<int64_t>(FilterTest::AcceptedIdsOf(c, *tree).size());
}

TEST_F(FilterTest, FilterOnFirstIndexFieldReadsNoRecordThatCannotMatch) {
  TDataCursor &c = Open();
  const int64_t matching = CountWhere(c, "Num BETWEEN 10 AND 19");
  ASSERT_GT(matching, 0);

  TExprFilter *filter = AddExprFilter(c, "Num BETWEEN 10 AND 19");
  EXPECT_EQ(filter->RootLevel(), TOptLevel::Full);
  EXPECT_EQ(filter->EstimatedCount(c, filter->Tree()), matching);
  uint64_t before = c.RecordReads();
  c.ActivateFilter(filter);
  EXPECT_EQ(c.RecordReads(), before) << "a fully answered filter reads no record to build its set";
  EXPECT_EQ(c.RecordCount(), matching);
  before = c.RecordReads();
  EXPECT_EQ(static_cast<int64_t>(VisibleIds(c).size()), matching);
  EXPECT_LE(c.RecordReads() - before, static_cast<uint64_t>(matching)) << "only matching records are read";
  c.DropFilter(filter);

  // Partly answered: only the records inside the index range are read to judge the rest.
  const int64_t candidates = CountWhere(c, "Num = 20");
  TExprFilter *partial = AddExprFilter(c, "Amount > 100 AND Num = 20");
  EXPECT_EQ(partial->RootLevel(), TOptLevel::Partial);
  before = c.RecordReads();
  c.ActivateFilter(partial);
  EXPECT_EQ(c.RecordReads() - before, static_cast<uint64_t>(candidates));
  EXPECT_EQ(c.RecordCount(), CountWhere(c, "Amount > 100 AND Num = 20"));
  c.DropFilter(partial);

  // Without an index every live record is read once.
  TExprFilterOptions plain;
  plain.UseIndexes = false;
  TExprFilter *unoptimised = AddExprFilter(c, "Num BETWEEN 10 AND 19", plain);
  before = c.RecordReads();
  c.ActivateFilter(unoptimised);
  EXPECT_EQ(c.RecordReads() - before, static_cast<uint64_t>(kRecords));
  EXPECT_EQ(c.RecordCount(), matching);
}

TEST_F(FilterTest, OptimisationLevelsAndCounts) {
  TDataCursor &c = Open();
  struct TCase {
    const char *Text;
    TOptLevel Level;
  } cases[] = {
      {"Id > 100", TOptLevel::Full},
      {"100 < Id", TOptLevel::Full},  // turned round
      {"Num IS NULL", TOptLevel::Full},
      {"Name IN ('apple0', 'fig1')", TOptLevel::Full},
      {"Name NOT IN ('apple0', 'fig1')", TOptLevel::Full},
      {"Title = 'apple'", TOptLevel::None},  // the Title index ignores case, the comparison does not
      {"UPPER(Title) = UPPER('apple')", TOptLevel::Full},
      {"Amount > 3", TOptLevel::None},  // no index
      {"Code = 'appl'", TOptLevel::None},
      {"Cat = 3 AND Id < 50", TOptLevel::Full},
      {"Amount > 3 AND Id < 50", TOptLevel::Partial},
      {"Cat = 3 OR Amount > 3", TOptLevel::None},
      {"Cat = 3 OR Id = 4", TOptLevel::Full},
      {"NOT (Cat = 3)", TOptLevel::Full},
      {"NOT (Cat = 3 AND Amount > 3)", TOptLevel::Partial},
      {"NOT (Cat = 3 OR Amount > 3)", TOptLevel::None},
      {"Name LIKE 'ap%'", TOptLevel::Full},
      {"Name LIKE '%p%'", TOptLevel::None},
      {"Price > 12.5", TOptLevel::Full},
      {"Price NOT IN (1, 2.5)", TOptLevel::Full},
      {"Price BETWEEN -3 AND 100.25", TOptLevel::Full},
      {"Day = '2021-03-01'", TOptLevel::Full},
      {"Day >= '2021-03-01'", TOptLevel::Full},
      {"Label LIKE 'Gr%'", TOptLevel::Full},
      {"Score BETWEEN -3 AND 7", TOptLevel::Full},
      {"Num = NULL", TOptLevel::Full},
      {"Num > NULL", TOptLevel::None},
  };
  for (const TCase &k : cases) {
    SCOPED_TRACE(k.Text);
    TExprFilter *f = AddExprFilter(c, k.Text);
    EXPECT_EQ(f->RootLevel(), k.Level);
    // A single comparison is counted exactly; AND and OR take the smaller and larger count.
    const TExpToken &root = f->Tree();
    const bool logical = root.Kind == TExpNodeKind::Binary && (root.Code == TExpCode::And || root.Code == TExpCode::Or);
    if (k.Level == TOptLevel::Full && !logical) EXPECT_EQ(f->EstimatedCount(c, root), CountWhere(c, k.Text));
    if (logical && k.Level == TOptLevel::Full) {
      const int64_t l = f->EstimatedCount(c, *root.Left), r = f->EstimatedCount(c, *root.Right);
      EXPECT_EQ(f->EstimatedCount(c, root), root.Code == TExpCode::And ? std::min(l, r) : std::max(l, r));
    }
    c.DropFilter(f);
  }
  // Case-insensitive option: the Title index serves plain comparisons.
  TExprFilterOptions ci;
  ci.CaseInsensitive = true;
  TExprFilter *f = AddExprFilter(c, "Title = 'APPLE'", ci);
  EXPECT_EQ(f->RootLevel(), TOptLevel::Full);
  c.ActivateFilter(f);
  std::vector<uint8_t> r = c.NewRecordBuffer();
  int64_t seen = 0;
  c.SetToBegin();
  while (c.GetNextRecord(r.data()) == KURA_NONE) {
    EXPECT_EQ(c.GetString(3, r.data()) == "apple" || c.GetString(3, r.data()) == "Apple" ||
                  c.GetString(3, r.data()) == "APPLE",
              true);
    ++seen;
  }
  EXPECT_GT(seen, 0);
}

TEST_F(FilterTest, InvalidFilterTextsGiveTheirMessages) {
  TDataCursor &c = Open();
  struct TCase {
    const char *Text;
    const char *Detail;
  } cases[] = {
      {"", "filter expression is empty"},
      {"   \t ", "filter expression is empty"},
      {"Num + 1", "filter expression must be a boolean expression"},
      {"Name", "filter expression must be a boolean expression"},
      {"Num = = 3", "filter expression is invalid"},
      {"Nope > 3", "filter expression is invalid"},
      {"Num > 'x' AND (", "filter expression is invalid"},
      {"Num IN (SELECT Id FROM items)", "filter expression is invalid"},
  };
  for (const TCase &k : cases) {
    SCOPED_TRACE(k.Text);
    uint16_t code = 0;
    const std::string message = MessageOf([&] { AddExprFilter(c, k.Text); }, code);
    EXPECT_EQ(code, KURA_INVALIDFILTER);
    EXPECT_EQ(message, std::string("Filter error for the table 'items' - ") + k.Detail);
  }
  EXPECT_EQ(c.FilterCount(), 0u);
  // A tree that is not Boolean is refused as well.
  TExpTreePtr number(MakeConstant(TDataType::Integer, TExpValue::OfInt(3)));
  uint16_t code = 0;
  EXPECT_EQ(MessageOf([&] { AddExprFilter(c, std::move(number)); }, code),
            "Filter error for the table 'items' - filter expression must be a boolean expression");
  EXPECT_EQ(code, KURA_INVALIDFILTER);
}

TEST_F(FilterTest, SixtyFifthFilterFails) {
  TDataCursor &c = Open();
  for (int i = 0; i < 64; ++i) c.ActivateFilter(AddExprFilter(c, "Id > " + std::to_string(i)));
  EXPECT_EQ(c.RecordCount(), kRecords - 63);
  uint16_t code = 0;
  MessageOf([&] { AddExprFilter(c, "Id > 100"); }, code);
  EXPECT_EQ(code, KURA_INTERNALLIMIT);
  EXPECT_EQ(c.FilterCount(), 64u);
  EXPECT_EQ(c.RecordCount(), kRecords - 63);
}

TEST_F(FilterTest, WritesUnderActiveFiltersFollowTheExpression) {
  TDataCursor &c = Open();
  TExprFilter *f = AddExprFilter(c, "Num >= 100 AND Amount IS NOT NULL");
  c.ActivateFilter(f);
  const int64_t count = c.RecordCount();
  ASSERT_GT(count, 0);
  std::vector<uint8_t> r = c.NewRecordBuffer();
  c.SetToBegin();
  ASSERT_EQ(c.GetNextRecord(r.data()), KURA_NONE);
  const int64_t firstId = c.GetInteger(1, r.data());
  // Changed so that it no longer passes: it leaves the filtered view.
  ASSERT_EQ(c.GetCurRecord(r.data(), true), KURA_NONE);
  c.SetInteger(4, r.data(), 5);
  c.ModifyRecord(r.data());
  EXPECT_EQ(c.RecordCount(), count - 1);
  std::vector<int64_t> ids = VisibleIds(c);
  EXPECT_EQ(std::find(ids.begin(), ids.end(), firstId), ids.end());
  // A new record that passes joins it; one that does not stays out.
  std::vector<uint8_t> added = c.NewRecordBuffer();
  c.SetInteger(1, added.data(), 5001);
  c.SetInteger(4, added.data(), 120);
  c.SetFloat(5, added.data(), 1.5);
  c.AppendRecord(added.data());
  c.SetInteger(1, added.data(), 5002);
  c.SetFieldNull(5, added.data());
  c.AppendRecord(added.data());
  ids = VisibleIds(c);
  EXPECT_EQ(c.RecordCount(), count);
  EXPECT_NE(std::find(ids.begin(), ids.end(), 5001), ids.end());
  EXPECT_EQ(std::find(ids.begin(), ids.end(), 5002), ids.end());
  // Rebuilding the set from the index agrees with what the writes left.
  c.DeactivateFilter(f);
  c.ActivateFilter(f);
  EXPECT_EQ(VisibleIds(c), ids);
}

TEST_F(FilterTest, FiltersCombineInListOrder) {
  TDataCursor &c = Open();
  TExprFilter *query = AddExprFilter(c, "Amount > 50");  // end group
  TExprFilterOptions textOptions;
  textOptions.EndGroup = false;
  TExprFilter *text = AddExprFilter(c, "Cat = 4", textOptions);
  // The Filter-text filter sits before the query's filter and both restrict the view.
  EXPECT_FALSE(text->EndGroup());
  EXPECT_TRUE(query->EndGroup());
  c.ActivateFilter(query);
  c.ActivateFilter(text);
  TExpTreePtr both = CompileFilterText(c, "Cat = 4 AND Amount > 50", {});
  const std::vector<int64_t> expected = AcceptedIdsOf(c, *both);
  // The record-by-record filter only sees what the index-answered one let through.
  c.DeactivateFilter(query);
  c.DeactivateFilter(text);
  c.ActivateFilter(text);
  const int64_t inCat = CountWhere(c, "Cat = 4");
  const uint64_t before = c.RecordReads();
  c.ActivateFilter(query);
  const uint64_t reads = c.RecordReads() - before;
  EXPECT_EQ(reads, static_cast<uint64_t>(inCat));
  EXPECT_EQ(VisibleIds(c), expected);
}

}  // namespace
}  // namespace kura::filtertest

namespace kura::filtertest {
namespace {

// A tree built the way Locate builds one: equalities with options, joined with AND.
TExpToken *Column(TDataCursor &c, int fieldNo) {
  TExpToken *n = NewExpToken();
  n->Kind = TExpNodeKind::Column;
  n->ColumnName = c.Field(fieldNo).Name;
  n->FieldNo = fieldNo;
  const TTypeInfo info = FieldTypeInfo(c.Field(fieldNo));
  n->DataType = info.Type;
  n->SubType = info.SubType;
  n->Size = info.Size;
  n->Scale = info.Scale;
  n->Source = &c;
  return n;
}

TExpToken *Comparison(TExpToken *left, TExpToken *right, bool caseInsensitive, uint32_t partial) {
  TExpToken *n = NewExpToken();
  n->Kind = TExpNodeKind::Compare;
  n->Code = TExpCode::Equal;
  n->Text = "=";
  n->DataType = TDataType::Boolean;
  n->CaseInsensitive = caseInsensitive;
  n->PartialLength = partial;
  n->SetLeft(left);
  n->SetRight(right);
  return n;
}

TEST_F(FilterTest, TreesAreUsedAsGiven) {
  TDataCursor &c = Open();
  // Title = 'APR' over three characters without regard to case, AND Cat = 5.
  TExpToken *title = Comparison(Column(c, 3), MakeConstant(TDataType::String, TExpValue::OfStr("APR"), 4), true, 3);
  TExpToken *cat = Comparison(Column(c, 6), MakeConstant(TDataType::Integer, TExpValue::OfInt(5)), false, 0);
  TExpToken *both = NewExpToken();
  both->Kind = TExpNodeKind::Binary;
  both->Code = TExpCode::And;
  both->DataType = TDataType::Boolean;
  both->SetLeft(title);
  both->SetRight(cat);
  TExpTreePtr reference(CopyTree(both));
  TExprFilter *filter = AddExprFilter(c, TExpTreePtr(both));
  EXPECT_EQ(filter->RootLevel(), TOptLevel::Full);  // ByTitle ignores case, ByCatId serves Cat
  const std::vector<int64_t> expected = AcceptedIds(c, *reference);
  ASSERT_FALSE(expected.empty());
  c.ActivateFilter(filter);
  EXPECT_EQ(VisibleIds(c), expected);
  std::vector<uint8_t> r = c.NewRecordBuffer();
  c.SetToBegin();
  while (c.GetNextRecord(r.data()) == KURA_NONE) {
    EXPECT_EQ(c.GetInteger(6, r.data()), 5);
    std::string t = c.GetString(3, r.data()).substr(0, 3);
    for (char &ch : t) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    EXPECT_EQ(t, "APR");
  }
  // The same comparison case-sensitive has no index (ByTitle ignores case) but still agrees.
  c.DropFilter(filter);
  TExpTreePtr exact(Comparison(Column(c, 3), MakeConstant(TDataType::String, TExpValue::OfStr("Apr"), 4), false, 3));
  TExpTreePtr exactReference(CopyTree(exact.get()));
  TExprFilter *sensitive = AddExprFilter(c, std::move(exact));
  EXPECT_EQ(sensitive->RootLevel(), TOptLevel::None);
  const std::vector<int64_t> exactExpected = AcceptedIdsOf(c, *exactReference);
  ASSERT_FALSE(exactExpected.empty());
  c.ActivateFilter(sensitive);
  EXPECT_EQ(VisibleIds(c), exactExpected);
}

}  // namespace
}  // namespace kura::filtertest

namespace kura::filtertest {
namespace {

TEST_F(FilterTest, CountOfNotAndIndexChangesUnderAFilter) {
  TCursorOptions exclusive;
  exclusive.Exclusive = true;
  FCursors.clear();  // the cursor that filled the table
  FCursors.push_back(std::make_unique<TDataCursor>(FDirectory, "items"));
  TDataCursor &c = *FCursors.back();
  c.SetOptions(exclusive);
  c.OpenCursor();
  TExprFilter *f = AddExprFilter(c, "NOT (Cat IN (1, 2)) AND Name > 'c'");
  EXPECT_EQ(f->RootLevel(), TOptLevel::Full);
  const TExpToken &root = f->Tree();
  EXPECT_EQ(f->EstimatedCount(c, *root.Left), CountWhere(c, "NOT (Cat IN (1, 2))"));
  const std::vector<int64_t> expected = AcceptedIdsOf(c, *CompileFilterText(c, "NOT (Cat IN (1, 2)) AND Name > 'c'", {}));
  c.ActivateFilter(f);
  EXPECT_EQ(VisibleIds(c), expected);
  // The index that answered Name goes away: the filter falls back to evaluating records.
  c.DeactivateFilter(f);
  c.DeleteIndex("ByName");
  c.SetIndexName("");
  c.ActivateFilter(f);
  EXPECT_EQ(f->RootLevel(), TOptLevel::Partial);
  EXPECT_EQ(VisibleIds(c), expected);
  // A new index on Code serves a new filter.
  TIndexDefinition byCode = MakeIndex("ByCode", {7});
  c.AddSecondaryIndex(byCode);
  TExprFilter *g = AddExprFilter(c, "Code IN ('appl', 'fig')");
  EXPECT_EQ(g->RootLevel(), TOptLevel::Full);
  c.ActivateFilter(g);
  std::vector<uint8_t> r = c.NewRecordBuffer();
  c.SetToBegin();
  int64_t seen = 0;
  while (c.GetNextRecord(r.data()) == KURA_NONE) {
    const std::string code = c.GetString(7, r.data());
    EXPECT_TRUE(code == "appl" || code == "fig");
    ++seen;
  }
  EXPECT_EQ(seen, c.RecordCount());
}

}  // namespace
}  // namespace kura::filtertest

namespace kura::filtertest {
namespace {

TEST_F(FilterTest, FiltersWorkInsideARange) {
  TDataCursor &c = Open("ByCatId");
  std::vector<uint8_t> low = c.NewRecordBuffer(), high = c.NewRecordBuffer();
  c.SetInteger(6, low.data(), 2);
  c.SetInteger(6, high.data(), 4);
  c.SetRange(low.data(), high.data(), false, 1, 0);
  const std::string text = "Name > 'c' OR Num IS NULL";
  TExpTreePtr tree = CompileFilterText(c, text, {});
  const std::vector<int64_t> expected = AcceptedIdsOf(c, *tree);  // the range alone limits these
  ASSERT_FALSE(expected.empty());
  for (bool useIndexes : {true, false}) {
    TExprFilterOptions options;
    options.UseIndexes = useIndexes;
    TExprFilter *f = AddExprFilter(c, text, options);
    c.ActivateFilter(f);
    EXPECT_EQ(VisibleIds(c), expected);
    EXPECT_EQ(c.RecordCount(), static_cast<int64_t>(expected.size()));
    std::vector<uint8_t> r = c.NewRecordBuffer();
    c.SetToBegin();
    while (c.GetNextRecord(r.data()) == KURA_NONE) {
      const int64_t cat = c.GetInteger(6, r.data());
      EXPECT_TRUE(cat >= 2 && cat <= 4);
    }
    c.DropFilter(f);
  }
}

}  // namespace
}  // namespace kura::filtertest
