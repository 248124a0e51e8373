// Appending, modifying and deleting: key violations, validation, auto-increment, read-only
// cursors, and the position after a write.
#include "tests/engine_cursor/CursorTestSupport.h"

#include <algorithm>

#include "engine/data/DateTimeCodec.h"
#include "engine/index/IndexFile.h"
#include "engine/table/DataTable.h"

using namespace kura;
using namespace kura::cursortest;

namespace {

class CursorWrite : public CursorTest {};

TEST_F(CursorWrite, DuplicatePrimaryKeyLeavesEverythingUnchanged) {
  TDataCursor &c = Open();
  Add(c, 1, "a", 1);
  Add(c, 2, "b", 2);
  const int32_t changeBefore = c.IndexFile()->Header().ChangeCounter;
  std::vector<uint8_t> r = Record(c, {1, "dup", 9, 77});
  std::string message = MessageOf([&] { c.AppendRecord(r.data()); });
  EXPECT_EQ(message, "Duplicate key found in the index '' of the table 'people'");
  EXPECT_EQ(c.RecordCount(), 2);
  EXPECT_EQ(c.IndexFile()->Header().ChangeCounter, changeBefore);
  EXPECT_EQ(c.IndexFile()->Header().LiveRecordCount, 2);
  // No index took the key of the failed record.
  c.SetIndexName("ByName");
  EXPECT_EQ(Codes(c), (std::vector<int32_t>{1, 2}));
  c.SetIndexName("ByValueName");
  EXPECT_EQ(c.RecordCount(), 2);
  c.SetIndexNo(kSystemRecordIndex);
  EXPECT_EQ(Codes(c), (std::vector<int32_t>{1, 2}));
  // A duplicate in a later (secondary) index leaves the indexes searched before it as they were.
  r = Record(c, {3, "c", 3, -1});  // tag -1 belongs to code 1
  EXPECT_EQ(MessageOf([&] { c.AppendRecord(r.data()); }),
            "Duplicate key found in the index 'ByTag' of the table 'people'");
  for (const char *index : {"", "ByName", "ByValueName", "ByTag"}) {
    c.SetIndexName(index);
    std::vector<int32_t> codes = Codes(c);
    std::sort(codes.begin(), codes.end());
    EXPECT_EQ(codes, (std::vector<int32_t>{1, 2})) << index;
  }
  EXPECT_EQ(c.RecordCount(), 2);
  EXPECT_EQ(c.IndexFile()->Header().LiveRecordCount, 2);
  // The record goes in once its tag is free.
  r = Record(c, {3, "c", 3, -3});
  c.AppendRecord(r.data());
  c.SetIndexName("ByName");
  EXPECT_EQ(Codes(c), (std::vector<int32_t>{1, 2, 3}));
}

TEST_F(CursorWrite, ModifyIntoAnExistingKeyFailsAndKeepsTheRecord) {
  TDataCursor &c = Open();
  Add(c, 1, "a", 1);
  Add(c, 2, "b", 2);
  std::vector<uint8_t> r = GoTo(c, 2);
  c.SetInteger(1, r.data(), 1);
  EXPECT_EQ(CodeOf([&] { c.ModifyRecord(r.data()); }), KURA_KEYVIOL);
  std::vector<uint8_t> now = c.NewRecordBuffer();
  EXPECT_EQ(c.GetCurRecord(now.data()), KURA_NONE);
  EXPECT_EQ(c.GetInteger(1, now.data()), 2);
  EXPECT_EQ(Codes(c), (std::vector<int32_t>{1, 2}));
  // The same cursor posts again after correcting the value.
  GoTo(c, 2);
  c.SetInteger(1, r.data(), 5);
  c.ModifyRecord(r.data());
  EXPECT_EQ(Codes(c), (std::vector<int32_t>{1, 5}));
}

TEST_F(CursorWrite, ReadOnlyCursorRefusesEveryChange) {
  TDataCursor &w = Open();
  Add(w, 1, "a", 1);
  TCursorOptions ro;
  ro.ReadOnly = true;
  TDataCursor &c = Open(ro);
  std::vector<uint8_t> r = Record(c, {2, "b", 2, -2});
  EXPECT_EQ(MessageOf([&] { c.AppendRecord(r.data()); }), "Access denied to table 'people'");
  r = GoTo(c, 1);
  c.SetString(2, r.data(), "changed");
  EXPECT_EQ(CodeOf([&] { c.ModifyRecord(r.data()); }), KURA_OSEACCES);
  EXPECT_EQ(CodeOf([&] { c.DeleteRecord(r.data()); }), KURA_OSEACCES);
  EXPECT_EQ(c.RecordCount(), 1);
}

TEST_F(CursorWrite, AutoIncrementAndItsSuppression) {
  TDataCursor &c = Open();
  std::vector<uint8_t> a = Add(c, 1, "a", 1);
  std::vector<uint8_t> b = Add(c, 2, "b", 2);
  EXPECT_EQ(AutoIncOf(a), 1);
  EXPECT_EQ(AutoIncOf(b), 2);
  c.SuppressAutoInc(true);
  std::vector<uint8_t> r = Record(c, {3, "c", 3, -3});
  PutI32(r.data() + 5, 50);
  c.AppendRecord(r.data());
  EXPECT_EQ(c.GetDataHeader().LastAutoIncValue(), 50);
  // The system record index refuses a second record with the same value.
  r = Record(c, {4, "d", 4, -4});
  PutI32(r.data() + 5, 2);
  EXPECT_EQ(CodeOf([&] { c.AppendRecord(r.data()); }), KURA_KEYVIOL);
  EXPECT_EQ(c.RecordCount(), 3);
  c.SuppressAutoInc(false);
  r = Record(c, {4, "d", 4, -4});
  c.AppendRecord(r.data());
  EXPECT_EQ(AutoIncOf(r), 51);
}

TEST_F(CursorWrite, RequiredMinimumAndMaximum) {
  TDataCursor creator(FDirectory, "checked");
  TDataFileDefinition def;
  TFieldDescriptor code = MakeField("Code", EngineFieldType::Integer);
  code.Required = true;
  code.MinValue = "1";
  code.MaxValue = "100";
  TFieldDescriptor name = MakeField("Name", EngineFieldType::String, 10);
  name.MinValue = "b";
  TFieldDescriptor day = MakeField("Day", EngineFieldType::Date);
  day.MaxValue = "2000-01-01";
  def.Fields = {code, name, day};
  creator.CreateTable(def, {MakeIndex("", {1})});
  TDataCursor &c = Open({}, "checked");
  std::vector<uint8_t> r = c.NewRecordBuffer();
  EXPECT_EQ(MessageOf([&] { c.AppendRecord(r.data()); }),
            "A value must be provided for the field 'Code' in the table 'checked'");
  c.SetInteger(1, r.data(), 0);
  EXPECT_EQ(MessageOf([&] { c.AppendRecord(r.data()); }),
            "The value for the field 'Code' in the table 'checked' is below the minimum allowable value");
  c.SetInteger(1, r.data(), 101);
  EXPECT_EQ(MessageOf([&] { c.AppendRecord(r.data()); }),
            "The value for the field 'Code' in the table 'checked' is above the maximum allowable value");
  c.SetInteger(1, r.data(), 100);
  c.SetString(2, r.data(), "a");
  EXPECT_EQ(CodeOf([&] { c.AppendRecord(r.data()); }), KURA_MINVALERR);
  c.SetString(2, r.data(), "b");
  c.SetInteger(3, r.data(), 730120 + 1);  // past 2000-01-01
  EXPECT_EQ(CodeOf([&] { c.AppendRecord(r.data()); }), KURA_MAXVALERR);
  c.SetFieldNull(3, r.data());  // NULL is not compared
  EXPECT_NO_THROW(c.AppendRecord(r.data()));
  EXPECT_EQ(c.RecordCount(), 1);
}

TEST_F(CursorWrite, InitRecordPutsDefaults) {
  TDataCursor creator(FDirectory, "defaults");
  TDataFileDefinition def;
  TFieldDescriptor a = MakeField("A", EngineFieldType::Integer);
  a.DefaultValue = "42";
  TFieldDescriptor s = MakeField("S", EngineFieldType::String, 8);
  s.DefaultValue = "hello";
  TFieldDescriptor d = MakeField("D", EngineFieldType::Date);
  d.DefaultValue = "CURRENT_DATE";
  TFieldDescriptor b = MakeField("B", EngineFieldType::Boolean);
  b.DefaultValue = "True";
  TFieldDescriptor m = MakeField("M", EngineFieldType::BCD, 0, FieldSubType::None, 2);
  m.DefaultValue = "12.345";
  TFieldDescriptor none = MakeField("N", EngineFieldType::Float);
  def.Fields = {a, s, d, b, m, none};
  creator.CreateTable(def, {});
  TDataCursor &c = Open({}, "defaults");
  std::vector<uint8_t> r(c.RecordBufferSize(), 0xAB);
  c.InitRecord(r.data());
  EXPECT_EQ(c.GetInteger(1, r.data()), 42);
  EXPECT_EQ(c.GetString(2, r.data()), "hello");
  int32_t today = 0, ms = 0;
  CurrentLocalDateTime(today, ms);
  EXPECT_NEAR(static_cast<double>(c.GetInteger(3, r.data())), today, 1.0);
  EXPECT_EQ(c.GetInteger(4, r.data()), 1);
  int64_t currency = 0;
  ASSERT_TRUE(BcdToCurrency(c.GetBcd(5, r.data()), currency));
  EXPECT_EQ(currency, 123500);  // 12.35 with two places
  EXPECT_TRUE(c.IsFieldNull(6, r.data()));
  EXPECT_EQ(r[0], 0);
}

TEST_F(CursorWrite, RepositionAfterModifyFollowsTheRecord) {
  TDataCursor &c = Open();
  for (int i = 1; i <= 5; ++i) Add(c, i * 10, "n", i);
  std::vector<uint8_t> r = GoTo(c, 20);
  c.SetInteger(1, r.data(), 45);
  c.ModifyRecord(r.data(), true, true);
  std::vector<uint8_t> now = c.NewRecordBuffer();
  ASSERT_EQ(c.GetCurRecord(now.data()), KURA_NONE);
  EXPECT_EQ(c.GetInteger(1, now.data()), 45);
  EXPECT_EQ(c.SequenceNumber(), 4);
  ASSERT_EQ(c.GetNextRecord(now.data()), KURA_NONE);
  EXPECT_EQ(c.GetInteger(1, now.data()), 50);
  // Without repositioning the cursor stays on the record too, now at its new place.
  r = GoTo(c, 10);
  c.SetInteger(1, r.data(), 47);
  c.ModifyRecord(r.data(), true, false);
  ASSERT_EQ(c.GetCurRecord(now.data()), KURA_NONE);
  EXPECT_EQ(c.GetInteger(1, now.data()), 47);
  ASSERT_EQ(c.GetPriorRecord(now.data()), KURA_NONE);
  EXPECT_EQ(c.GetInteger(1, now.data()), 45);
}

// A modify without repositioning leaves the cursor on its record with the new values, and the
// moves from there reach the record's neighbours in the cursor's order, whether or not the write
// changed the key of that order (the cursor keeps its index position when it did not).
TEST_F(CursorWrite, ModifyWithoutRepositionStaysOnTheRecordInEveryOrder) {
  struct TCase {
    const char *Order;  // index name; "#system" for the system record index
    int Field;          // 1 Code, 2 Name, 3 Value
    int32_t NewInt;     // for Code and Value
    const char *NewName;
    std::vector<int32_t> CodesAfter;  // the whole order afterwards
    int32_t Current, Next, Prior;
  };
  // Codes 10..50 with names e..a and values 10..50; the record with code 30 is changed.
  const std::vector<TCase> cases = {
      {"", 3, 999, nullptr, {10, 20, 30, 40, 50}, 30, 40, 20},           // another index's key changes
      {"ByName", 3, 999, nullptr, {50, 40, 30, 20, 10}, 30, 20, 40},     // name order, value changes
      {"ByValueName", 1, 33, nullptr, {10, 20, 33, 40, 50}, 33, 40, 20}, // primary key changes
      {"ByValueName", 3, 45, nullptr, {10, 20, 40, 30, 50}, 30, 50, 40}, // this order's key changes
      {"", 1, 45, nullptr, {10, 20, 40, 45, 50}, 45, 50, 40},            // this order's key changes
      {"#system", 2, 0, "zz", {10, 20, 30, 40, 50}, 30, 40, 20},         // name changes
  };
  for (size_t n = 0; n < cases.size(); ++n) {
    const TCase &t = cases[n];
    SCOPED_TRACE(std::string(t.Order) + " field " + std::to_string(t.Field));
    const std::string table = "people" + std::to_string(n);
    TDataCursor(FDirectory, table).CreateTable(PeopleDefinition(), PeopleIndexes());
    TDataCursor &c = Open({}, table);
    const char *names[] = {"e", "d", "c", "b", "a"};
    for (int i = 1; i <= 5; ++i) Add(c, i * 10, names[i - 1], i * 10);
    const bool system = std::string(t.Order) == "#system";
    if (!system) c.SetIndexName(t.Order);
    std::vector<uint8_t> r = GoTo(c, 30);
    // The system record index has no name to return to after the search: the record stays
    // current when the order changes.
    if (system) c.SetIndexNo(kSystemRecordIndex);
    if (t.NewName)
      c.SetString(t.Field, r.data(), t.NewName);
    else
      c.SetInteger(t.Field, r.data(), t.NewInt);
    c.ModifyRecord(r.data(), true, false);
    std::vector<uint8_t> now = c.NewRecordBuffer();
    ASSERT_EQ(c.GetCurRecord(now.data()), KURA_NONE);
    EXPECT_EQ(c.GetInteger(1, now.data()), t.Current);
    if (t.NewName)
      EXPECT_EQ(c.GetString(t.Field, now.data()), t.NewName);
    else
      EXPECT_EQ(c.GetInteger(t.Field, now.data()), t.NewInt);
    ASSERT_EQ(c.GetNextRecord(now.data()), KURA_NONE);
    EXPECT_EQ(c.GetInteger(1, now.data()), t.Next);
    ASSERT_EQ(c.GetPriorRecord(now.data()), KURA_NONE);
    EXPECT_EQ(c.GetInteger(1, now.data()), t.Current);
    ASSERT_EQ(c.GetPriorRecord(now.data()), KURA_NONE);
    EXPECT_EQ(c.GetInteger(1, now.data()), t.Prior);
    EXPECT_EQ(Codes(c), t.CodesAfter);
    EXPECT_EQ(Codes(c, true), std::vector<int32_t>(t.CodesAfter.rbegin(), t.CodesAfter.rend()));
  }
}

TEST_F(CursorWrite, RepositionAfterDeleteLandsOnTheFollowingRecord) {
  TDataCursor &c = Open();
  for (int i = 1; i <= 4; ++i) Add(c, i, "n", i);
  std::vector<uint8_t> r = GoTo(c, 2);
  c.DeleteRecord(r.data(), true);
  std::vector<uint8_t> now = c.NewRecordBuffer();
  ASSERT_EQ(c.GetCurRecord(now.data()), KURA_NONE);
  EXPECT_EQ(c.GetInteger(1, now.data()), 3);
  // Deleting the last record with reposition: on the new last, end flag set.
  r = GoTo(c, 4);
  c.DeleteRecord(r.data(), true);
  EXPECT_EQ(c.GetNextRecord(now.data()), KURA_EOF);
  ASSERT_EQ(c.GetPriorRecord(now.data()), KURA_NONE);
  EXPECT_EQ(c.GetInteger(1, now.data()), 3);
  // Without repositioning the cursor stands in the gap: next and prior are the neighbours.
  Add(c, 4, "n", 4);
  r = GoTo(c, 3);
  c.DeleteRecord(r.data(), false);
  EXPECT_EQ(c.GetCurRecord(now.data()), KURA_NOCURRREC);
  ASSERT_EQ(c.GetNextRecord(now.data()), KURA_NONE);
  EXPECT_EQ(c.GetInteger(1, now.data()), 4);
  GoTo(c, 4);
  r = GoTo(c, 4);
  c.DeleteRecord(r.data(), false);
  ASSERT_EQ(c.GetPriorRecord(now.data()), KURA_NONE);
  EXPECT_EQ(c.GetInteger(1, now.data()), 1);
}

TEST_F(CursorWrite, DeleteInNaturalOrderGoesToNextHigherThenLower) {
  TCursorOptions natural;
  natural.NaturalOrder = true;
  TDataCursor &c = Open(natural);
  for (int i = 1; i <= 4; ++i) Add(c, i, "n", i);
  std::vector<uint8_t> r = c.NewRecordBuffer(), now = c.NewRecordBuffer();
  c.SetToRecNo(2);
  c.GetCurRecord(r.data());
  EXPECT_EQ(c.CurrentRecordNumber(), 2);
  c.DeleteRecord(r.data(), true);
  EXPECT_EQ(c.CurrentRecordNumber(), 3);
  c.SetToRecNo(3);
  c.GetCurRecord(r.data());
  EXPECT_EQ(c.CurrentRecordNumber(), 4);
  c.DeleteRecord(r.data(), true);
  EXPECT_EQ(c.CurrentRecordNumber(), 3);  // the last was deleted: the next lower
  ASSERT_EQ(c.GetCurRecord(now.data()), KURA_NONE);
  EXPECT_EQ(c.GetInteger(1, now.data()), 3);
  EXPECT_EQ(c.RecordCount(), 2);
}

TEST_F(CursorWrite, NaturalOrderModifyAndBookmarks) {
  TCursorOptions natural;
  natural.NaturalOrder = true;
  TDataCursor &c = Open(natural);
  for (int i = 1; i <= 5; ++i) Add(c, i * 10, "n", i);
  std::vector<uint8_t> r = c.NewRecordBuffer(), now = c.NewRecordBuffer();
  EXPECT_TRUE(c.SetToRecNo(3));
  c.GetCurRecord(r.data());
  const int32_t slot = c.CurrentRecordNumber();
  c.SetInteger(1, r.data(), 5);  // a new key does not move a record in natural order
  c.ModifyRecord(r.data(), true, true);
  EXPECT_EQ(c.CurrentRecordNumber(), slot);
  EXPECT_EQ(c.SequenceNumber(), 3);
  ASSERT_EQ(c.GetNextRecord(now.data()), KURA_NONE);
  EXPECT_EQ(c.GetInteger(1, now.data()), 40);
  std::vector<uint8_t> mark = c.GetBookmark();
  ASSERT_EQ(mark.size(), 4u);
  c.SetToBegin();
  c.SetToBookmark(mark);
  EXPECT_EQ(c.SequenceNumber(), 4);
  EXPECT_FALSE(c.Find(r.data(), false, 0, 0, false, now.data()));  // no key order to search
  EXPECT_EQ(Codes(c), (std::vector<int32_t>{10, 20, 5, 40, 50}));
}

TEST_F(CursorWrite, AppendWithoutRepositionKeepsTheCurrentRecord) {
  TDataCursor &c = Open();
  Add(c, 10, "a", 1);
  Add(c, 20, "b", 1);
  GoTo(c, 20);
  Add(c, 15, "c", 1, false);
  std::vector<uint8_t> now = c.NewRecordBuffer();
  ASSERT_EQ(c.GetCurRecord(now.data()), KURA_NONE);
  EXPECT_EQ(c.GetInteger(1, now.data()), 20);
  EXPECT_EQ(c.SequenceNumber(), 3);
  ASSERT_EQ(c.GetPriorRecord(now.data()), KURA_NONE);
  EXPECT_EQ(c.GetInteger(1, now.data()), 15);
  Add(c, 5, "d", 1, true);
  ASSERT_EQ(c.GetCurRecord(now.data()), KURA_NONE);
  EXPECT_EQ(c.GetInteger(1, now.data()), 5);
}

TEST_F(CursorWrite, FreedSlotsAreReusedWithAPrimaryKey) {
  TDataCursor &c = Open();
  for (int i = 1; i <= 3; ++i) Add(c, i, "n", i);
  std::vector<uint8_t> r = GoTo(c, 2);
  const int32_t slot = c.CurrentRecordNumber();
  c.DeleteRecord(r.data());
  Add(c, 9, "new", 9);
  EXPECT_EQ(c.CurrentRecordNumber(), slot);
  c.SetIndexNo(kSystemRecordIndex);
  EXPECT_EQ(Codes(c), (std::vector<int32_t>{1, 3, 9}));
  EXPECT_EQ(c.RecordCount(), 3);
}

TEST_F(CursorWrite, WritesWithoutACurrentRecordAreRefused) {
  TDataCursor &c = Open();
  Add(c, 1, "a", 1);
  c.SetToBegin();
  std::vector<uint8_t> r = Record(c, {1, "a", 1, -1});
  EXPECT_EQ(CodeOf([&] { c.ModifyRecord(r.data()); }), KURA_NOCURRREC);
  EXPECT_EQ(CodeOf([&] { c.DeleteRecord(r.data()); }), KURA_NOCURRREC);
}

TEST_F(CursorWrite, DeleteComparesTheRecordAsRead) {
  TDataCursor &c = Open();
  Add(c, 1, "a", 1);
  std::vector<uint8_t> r = GoTo(c, 1);
  std::vector<uint8_t> stale = r;
  c.SetString(2, stale.data(), "other");
  EXPECT_EQ(CodeOf([&] { c.DeleteRecord(stale.data()); }), KURA_KEYORRECDELETED);
  EXPECT_EQ(c.RecordCount(), 1);
  c.DeleteRecord(r.data());
  EXPECT_EQ(c.RecordCount(), 0);
}

}  // namespace
