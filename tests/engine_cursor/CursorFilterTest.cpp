// Filters, the visible-record set, and projections with calculated fields.
#include "tests/engine_cursor/CursorTestSupport.h"

#include "engine/index/IndexFile.h"
#include "engine/table/DataTable.h"

using namespace kura;
using namespace kura::cursortest;

namespace {

class CursorFilters : public CursorTest {
 protected:
  void Fill(TDataCursor &c, int n) {
    for (int i = 1; i <= n; ++i) Add(c, i, "n" + std::to_string(i % 4), i % 10);
  }
};

// Lets through records whose Value is even; counts how often it is asked.
class EvenValueFilter : public TCursorFilter {
 public:
  bool Accepts(TDataCursor &c, const uint8_t *record) override {
    ++Calls;
    return !c.IsFieldNull(3, record) && c.GetInteger(3, record) % 2 == 0;
  }
  int Calls = 0;
};

// The same set, produced at once without reading records (as an index-answered filter does).
class EvenValueSetFilter : public EvenValueFilter {
 public:
  explicit EvenValueSetFilter(std::vector<uint32_t> members) : FMembers(std::move(members)) {}
  bool BuildRecordSet(TDataCursor &, const TRecordsBitmap &candidates, TRecordsBitmap &result) override {
    ++SetBuilds;
    for (uint32_t n : FMembers)
      if (candidates.Test(n)) result.Set(n);
    return true;
  }
  int SetBuilds = 0;

 private:
  std::vector<uint32_t> FMembers;
};

TEST_F(CursorFilters, CallbackFilterLimitsEveryOrderAndCount) {
  TDataCursor &c = Open();
  Fill(c, 30);
  TCursorFilter *f = c.AddCallbackFilter([&](const uint8_t *r) { return c.GetInteger(3, r) % 3 == 0; });
  EXPECT_EQ(c.RecordCount(), 30);  // not active yet
  c.ActivateFilter(f);
  std::vector<int32_t> expected;
  for (int i = 1; i <= 30; ++i)
    if ((i % 10) % 3 == 0) expected.push_back(i);
  EXPECT_EQ(c.RecordCount(), static_cast<int64_t>(expected.size()));
  EXPECT_EQ(Codes(c), expected);
  std::vector<int32_t> backward(expected.rbegin(), expected.rend());
  EXPECT_EQ(Codes(c, true), backward);
  std::vector<uint8_t> r = c.NewRecordBuffer();
  EXPECT_TRUE(c.SetToRecNo(3));
  EXPECT_EQ(c.SequenceNumber(), 3);
  c.GetCurRecord(r.data());
  EXPECT_EQ(c.GetInteger(1, r.data()), expected[2]);
  c.SetIndexName("ByValueName");
  EXPECT_EQ(c.RecordCount(), static_cast<int64_t>(expected.size()));
  for (int32_t code : Codes(c)) EXPECT_EQ((code % 10) % 3, 0);
  c.DeactivateFilter(f);
  EXPECT_EQ(c.RecordCount(), 30);
  c.DropFilter(f);
  EXPECT_EQ(CodeOf([&] { c.ActivateFilter(f); }), KURA_NOSUCHFILTER);
}

TEST_F(CursorFilters, NaturalOrderWithFilter) {
  TCursorOptions natural;
  natural.NaturalOrder = true;
  TDataCursor &c = Open(natural);
  Fill(c, 12);
  auto filter = std::make_unique<EvenValueFilter>();
  TCursorFilter *f = c.AddFilter(std::move(filter));
  c.ActivateFilter(f);
  EXPECT_EQ(Codes(c), (std::vector<int32_t>{2, 4, 6, 8, 10, 12}));
  EXPECT_EQ(c.RecordCount(), 6);
  c.SetToRecNo(2);
  EXPECT_EQ(c.SequenceNumber(), 2);
}

TEST_F(CursorFilters, RecordSetProviderIsUsedInsteadOfReadingRecords) {
  TDataCursor &c = Open();
  Fill(c, 20);
  std::vector<uint32_t> members;
  for (uint32_t n = 2; n <= 20; n += 2) members.push_back(n);  // record n holds code n
  auto owned = std::make_unique<EvenValueSetFilter>(members);
  EvenValueSetFilter *f = owned.get();
  c.AddFilter(std::move(owned));
  c.ActivateFilter(f);
  EXPECT_EQ(f->SetBuilds, 1);
  EXPECT_EQ(f->Calls, 0);
  EXPECT_EQ(c.RecordCount(), 10);
  EXPECT_EQ(Codes(c).size(), 10u);
  EXPECT_EQ(f->Calls, 0);
  // One record posted: only that record is asked.
  Add(c, 22, "x", 4);
  EXPECT_EQ(f->Calls, 1);
  EXPECT_EQ(c.RecordCount(), 11);
}

TEST_F(CursorFilters, ModifiedRecordThatFailsTheFilterGivesWayToTheNext) {
  TDataCursor &c = Open();
  for (int i = 1; i <= 6; ++i) Add(c, i, "n", 2 * i);  // all even
  auto owned = std::make_unique<EvenValueFilter>();
  TCursorFilter *f = c.AddFilter(std::move(owned));
  c.ActivateFilter(f);
  std::vector<uint8_t> r = GoTo(c, 3);
  c.SetInteger(3, r.data(), 7);
  c.ModifyRecord(r.data(), true, true);
  std::vector<uint8_t> now = c.NewRecordBuffer();
  ASSERT_EQ(c.GetCurRecord(now.data()), KURA_NONE);
  EXPECT_EQ(c.GetInteger(1, now.data()), 4);
  EXPECT_EQ(c.RecordCount(), 5);
  // The last passing record fails: the new last, with the end flag set.
  r = GoTo(c, 6);
  c.SetInteger(3, r.data(), 9);
  c.ModifyRecord(r.data(), true, true);
  EXPECT_TRUE(c.AtEnd());
  EXPECT_EQ(c.GetInteger(1, c.CurrentRecord().data()), 5);
  EXPECT_EQ(c.GetNextRecord(now.data()), KURA_EOF);
  ASSERT_EQ(c.GetPriorRecord(now.data()), KURA_NONE);
  EXPECT_EQ(c.GetInteger(1, now.data()), 5);
  // A record that starts passing joins the set.
  r = GoTo(c, 4);
  std::vector<uint8_t> add = Record(c, {9, "z", 10, -9});
  c.AppendRecord(add.data());
  EXPECT_EQ(c.RecordCount(), 5);
}

TEST_F(CursorFilters, FilterAndRangeTogether) {
  TDataCursor &c = Open();
  Fill(c, 40);
  c.SetIndexName("ByValueName");
  std::vector<uint8_t> lo = c.NewRecordBuffer(), hi = c.NewRecordBuffer();
  c.SetInteger(3, lo.data(), 2);
  c.SetInteger(3, hi.data(), 5);
  c.SetRange(lo.data(), hi.data(), false, 1, 0);
  auto owned = std::make_unique<EvenValueFilter>();
  TCursorFilter *f = c.AddFilter(std::move(owned));
  c.ActivateFilter(f);
  EXPECT_EQ(c.RecordCount(), 8);  // values 2 and 4
  for (int32_t code : Codes(c)) EXPECT_TRUE(code % 10 == 2 || code % 10 == 4);
}

TEST_F(CursorFilters, FilterListOrderAndLimit) {
  TDataCursor &c = Open();
  Fill(c, 3);
  std::vector<std::string> log;
  class Named : public TCursorFilter {
   public:
    Named(std::vector<std::string> &log, std::string name) : FLog(log), FName(std::move(name)) {}
    bool Accepts(TDataCursor &, const uint8_t *) override {
      FLog.push_back(FName);
      return true;
    }

   private:
    std::vector<std::string> &FLog;
    std::string FName;
  };
  TCursorFilter *query = c.AddFilter(std::make_unique<Named>(log, "query"), true);
  TCursorFilter *locate = c.AddFilter(std::make_unique<Named>(log, "locate"), false);
  c.ActivateFilter(query);
  c.ActivateFilter(locate);
  ASSERT_FALSE(log.empty());
  // The dataset's filters run before the query engine's.
  EXPECT_EQ(log[log.size() - 6], "locate");
  EXPECT_EQ(log.back(), "query");
  for (size_t i = c.FilterCount(); i < kMaxCursorFilters; ++i) c.AddCallbackFilter([](const uint8_t *) { return true; });
  EXPECT_EQ(MessageOf([&] { c.AddCallbackFilter([](const uint8_t *) { return true; }); }),
            "Too many filters defined for the table 'people'");
}

TEST_F(CursorFilters, ProjectionWithCalculatedField) {
  TDataCursor &c = Open();
  Fill(c, 5);
  TProjectionField code;
  code.Field.Name = "Id";
  code.SourceField = 1;
  code.Origin = "people.Code";
  TProjectionField twice;
  twice.Field = MakeField("Twice", EngineFieldType::Integer);
  twice.Field.Calculated = 1;
  TProjectionField value;
  value.Field.Name = "Value";
  value.SourceField = 3;
  c.SetProjection({code, twice, value});
  EXPECT_EQ(c.FieldCount(), 3);
  EXPECT_EQ(c.RecordBufferSize(), c.StoredRecordSize() + 5);
  EXPECT_EQ(c.Field(1).Name, "Id");
  EXPECT_EQ(c.Catalogue()[1].SourceField, 0);
  c.CalculateFields = [](TDataCursor &cur, uint8_t *record) {
    if (cur.IsFieldNull(3, record)) return;
    cur.SetInteger(2, record, cur.GetInteger(3, record) * 2);
  };
  std::vector<uint8_t> r = c.NewRecordBuffer();
  c.SetToBegin();
  int seen = 0;
  while (c.GetNextRecord(r.data()) == KURA_NONE) {
    ++seen;
    EXPECT_EQ(c.GetInteger(2, r.data()), 2 * c.GetInteger(3, r.data()));
  }
  EXPECT_EQ(seen, 5);
  // A filter sees the calculated value.
  TCursorFilter *f = c.AddCallbackFilter([&](const uint8_t *rec) { return c.GetInteger(2, rec) > 6; });
  c.ActivateFilter(f);
  EXPECT_EQ(c.RecordCount(), 2);  // values 4 and 5
  // Bad projections.
  TProjectionField dup = value;
  EXPECT_EQ(CodeOf([&] { c.SetProjection({value, dup}); }), KURA_INVALIDFIELDNAME);
  TProjectionField bad;
  bad.Field.Name = "X";
  bad.SourceField = 9;
  EXPECT_EQ(CodeOf([&] { c.SetProjection({bad}); }), KURA_INVALIDFIELDNAME);
}

// "Value = v" answered from the first key field of ByValueName: the record set comes from a
// walk over the index range, the way an index-optimised expression filter works.
class ValueFromIndexFilter : public TCursorFilter {
 public:
  explicit ValueFromIndexFilter(int32_t value) : FValue(value) {}
  bool Accepts(TDataCursor &c, const uint8_t *record) override {
    ++Calls;
    return !c.IsFieldNull(3, record) && c.GetInteger(3, record) == FValue;
  }
  bool BuildRecordSet(TDataCursor &c, const TRecordsBitmap &candidates, TRecordsBitmap &result) override {
    const int indexNo = 2;  // ByValueName
    const TIndexKeyDefinition &keys = c.KeysOf(indexNo);
    std::vector<uint8_t> probe = c.NewRecordBuffer();
    c.SetInteger(3, probe.data(), FValue);
    std::vector<uint8_t> key = keys.BuildKey(probe.data(), c.StoredRecordSize());
    const int length = keys.PrefixLength(1);
    TIndexTree tree = c.IndexTree(indexNo);
    TIndexPosition pos = tree.SearchFirstAtOrAfter(key.data(), length);
    std::vector<uint8_t> found(key.size());
    uint32_t recNo = 0;
    while (tree.OnEntry(pos)) {
      tree.ReadEntry(pos, found.data(), &recNo);
      if (keys.Compare(found.data(), key.data(), length) != 0) break;
      if (candidates.Test(recNo)) result.Set(recNo);
      if (!tree.Next(pos)) break;
    }
    return true;
  }
  int Calls = 0;

 private:
  int32_t FValue;
};

TEST_F(CursorFilters, FilterAnsweredFromAnIndexReadsNoRecords) {
  TDataCursor &c = Open();
  Fill(c, 100);
  auto owned = std::make_unique<ValueFromIndexFilter>(4);
  ValueFromIndexFilter *f = owned.get();
  c.ActivateFilter(c.AddFilter(std::move(owned)));
  EXPECT_EQ(f->Calls, 0);
  EXPECT_EQ(c.RecordCount(), 10);
  std::vector<int32_t> expected;
  for (int i = 4; i <= 100; i += 10) expected.push_back(i);
  EXPECT_EQ(Codes(c), expected);
  c.SetIndexName("ByName");
  EXPECT_EQ(c.RecordCount(), 10);
  EXPECT_EQ(f->Calls, 0);
}

}  // namespace
