// Opening, moving, counting, searching and ranges on one cursor.
#include "tests/engine_cursor/CursorTestSupport.h"

#include "engine/index/IndexFile.h"
#include "engine/table/DataTable.h"

using namespace kura;
using namespace kura::cursortest;

namespace {

class CursorBasics : public CursorTest {};

TEST_F(CursorBasics, EmptyTableGivesEofAtOnceAndCountZero) {
  TDataCursor &c = Open();
  std::vector<uint8_t> r = c.NewRecordBuffer();
  r[10] = 7;
  EXPECT_EQ(c.GetNextRecord(r.data()), KURA_EOF);
  EXPECT_EQ(r[10], 0);  // cleared
  EXPECT_EQ(c.GetPriorRecord(r.data()), KURA_BOF);
  EXPECT_EQ(c.RecordCount(), 0);
  EXPECT_EQ(c.SequenceNumber(), 0);
  c.SetToBegin();
  EXPECT_EQ(c.GetCurRecord(r.data()), KURA_BOF);
  c.SetToEnd();
  EXPECT_EQ(c.GetCurRecord(r.data()), KURA_EOF);
  EXPECT_FALSE(c.SetToRecNo(1));
}

TEST_F(CursorBasics, OpenSelectsPrimaryIndexAndCatalogue) {
  TDataCursor &c = Open();
  EXPECT_EQ(c.IndexNo(), 0);
  EXPECT_EQ(c.FieldCount(), 4);
  EXPECT_EQ(c.FieldNumber(" name "), 2);
  EXPECT_EQ(c.Catalogue()[1].Origin, "people.Name");
  EXPECT_EQ(CodeOf([&] { c.FieldNumber("Nope"); }), KURA_OUTOFRANGE);
  EXPECT_EQ(CodeOf([&] { c.Field(5); }), KURA_OUTOFRANGE);
  EXPECT_EQ(c.IndexNames(), (std::vector<std::string>{"", "ByName", "ByValueName", "ByTag"}));
  EXPECT_EQ(CodeOf([&] { c.SetIndexName("Missing"); }), KURA_INVALIDINDEXNAME);
  EXPECT_EQ(CodeOf([&] { c.SetOptions(TCursorOptions{}); }), KURA_TABLEOPEN);
  c.SetIndexName("byvaluename");
  EXPECT_EQ(c.IndexNo(), 2);
  EXPECT_EQ(c.IndexName(), "ByValueName");
}

TEST_F(CursorBasics, EveryOrderBothDirections) {
  TDataCursor &c = Open();
  Add(c, 30, "carol", 2);
  Add(c, 10, "alice", 3);
  Add(c, 20, "bob", 1);
  Add(c, 40, "alice", 1);
  EXPECT_EQ(Codes(c), (std::vector<int32_t>{10, 20, 30, 40}));
  EXPECT_EQ(Codes(c, true), (std::vector<int32_t>{40, 30, 20, 10}));
  c.SetIndexName("ByName");  // equal names in insertion order
  EXPECT_EQ(Codes(c), (std::vector<int32_t>{10, 40, 20, 30}));
  EXPECT_EQ(Codes(c, true), (std::vector<int32_t>{30, 20, 40, 10}));
  c.SetIndexName("ByValueName");
  EXPECT_EQ(Codes(c), (std::vector<int32_t>{40, 20, 30, 10}));
  c.SetIndexName("ByTag");  // tags are -code
  EXPECT_EQ(Codes(c), (std::vector<int32_t>{40, 30, 20, 10}));
  TCursorOptions natural;
  natural.NaturalOrder = true;
  TDataCursor &n = Open(natural);
  EXPECT_EQ(n.IndexNo(), kNaturalOrder);
  EXPECT_EQ(Codes(n), (std::vector<int32_t>{30, 10, 20, 40}));
  EXPECT_EQ(Codes(n, true), (std::vector<int32_t>{40, 20, 10, 30}));
  EXPECT_EQ(n.RecordCount(), 4);
}

TEST_F(CursorBasics, CountsAndSequenceNumbers) {
  TDataCursor &c = Open();
  for (int i = 1; i <= 50; ++i) Add(c, i * 2, "n" + std::to_string(i % 7), i % 5);
  EXPECT_EQ(c.RecordCount(), 50);
  std::vector<uint8_t> r = c.NewRecordBuffer();
  c.SetToBegin();
  for (int i = 1; i <= 50; ++i) {
    ASSERT_EQ(c.GetNextRecord(r.data()), KURA_NONE);
    EXPECT_EQ(c.SequenceNumber(), i);
  }
  EXPECT_EQ(c.GetNextRecord(r.data()), KURA_EOF);
  EXPECT_EQ(c.SequenceNumber(), 0);
  EXPECT_TRUE(c.SetToRecNo(17));
  c.GetCurRecord(r.data());
  EXPECT_EQ(c.GetInteger(1, r.data()), 34);
  EXPECT_EQ(c.SequenceNumber(), 17);
  EXPECT_FALSE(c.SetToRecNo(51));  // past the last: on the last, not found
  c.GetCurRecord(r.data());
  EXPECT_EQ(c.GetInteger(1, r.data()), 100);
  EXPECT_FALSE(c.SetToRecNo(0));
}

TEST_F(CursorBasics, FindFullPartialAndNearest) {
  TDataCursor &c = Open();
  Add(c, 1, "anna", 5);
  Add(c, 2, "anton", 3);
  Add(c, 3, "bert", 5);
  Add(c, 4, "berta", 3);
  Add(c, 5, "carl", 7);
  std::vector<uint8_t> key = c.NewRecordBuffer(), r = c.NewRecordBuffer();
  c.SetInteger(1, key.data(), 4);
  EXPECT_TRUE(c.Find(key.data(), false, 0, 0, false, r.data()));
  EXPECT_EQ(c.GetString(2, r.data()), "berta");
  c.SetInteger(1, key.data(), 9);
  EXPECT_FALSE(c.Find(key.data(), false, 0, 0, true, r.data()));
  EXPECT_EQ(c.GetInteger(1, r.data()), 5);  // after the last: on the last record

  // One of two fields: the first record whose first field equals the value.
  c.SetIndexName("ByValueName");
  c.SetInteger(3, key.data(), 5);
  c.SetString(2, key.data(), "zzz");
  EXPECT_TRUE(c.Find(key.data(), false, 1, 0, false, r.data()));
  EXPECT_EQ(c.GetString(2, r.data()), "anna");
  c.SetInteger(3, key.data(), 4);
  EXPECT_FALSE(c.Find(key.data(), false, 1, 0, true, r.data()));
  EXPECT_EQ(c.GetInteger(3, r.data()), 5);  // the next greater key

  // Partial length on a string: the first name beginning with "ber".
  c.SetIndexName("ByName");
  c.SetString(2, key.data(), "ber");
  EXPECT_TRUE(c.Find(key.data(), false, 0, 3, false, r.data()));
  EXPECT_EQ(c.GetString(2, r.data()), "bert");
  c.SetString(2, key.data(), "bx");
  EXPECT_FALSE(c.Find(key.data(), false, 0, 2, false, r.data()));
  EXPECT_EQ(c.GetString(2, r.data()), "carl");

  // Natural order has no key to search.
  TCursorOptions natural;
  natural.NaturalOrder = true;
  TDataCursor &n = Open(natural);
  EXPECT_FALSE(n.Find(key.data(), false, 0, 0, false, r.data()));
}

TEST_F(CursorBasics, RangesCountMoveAndPosition) {
  TDataCursor &c = Open();
  for (int i = 1; i <= 40; ++i) Add(c, i, "n" + std::to_string(i), i % 10);
  c.SetIndexName("ByValueName");
  std::vector<uint8_t> lo = c.NewRecordBuffer(), hi = c.NewRecordBuffer(), r = c.NewRecordBuffer();
  c.SetInteger(3, lo.data(), 3);
  c.SetInteger(3, hi.data(), 5);
  c.SetRange(lo.data(), hi.data(), false, 1, 0);
  EXPECT_EQ(c.RecordCount(), 12);
  std::vector<int32_t> codes = Codes(c);
  ASSERT_EQ(codes.size(), 12u);
  for (int32_t code : codes) EXPECT_TRUE(code % 10 >= 3 && code % 10 <= 5) << code;
  EXPECT_EQ(Codes(c, true).size(), 12u);
  EXPECT_TRUE(c.SetToRecNo(12));
  EXPECT_EQ(c.SequenceNumber(), 12);
  EXPECT_FALSE(c.SetToRecNo(13));
  // Exclusive ends.
  c.SetRange(lo.data(), hi.data(), false, 1, 0, true, true);
  EXPECT_EQ(c.RecordCount(), 4);
  for (int32_t code : Codes(c)) EXPECT_EQ(code % 10, 4);
  // Find stays inside the range.
  c.SetInteger(3, lo.data(), 9);
  c.SetRange(hi.data(), lo.data(), false, 1, 0);  // 5..9
  EXPECT_EQ(c.RecordCount(), 20);
  // A start above the end shows nothing.
  c.SetRange(lo.data(), hi.data(), false, 1, 0);
  EXPECT_EQ(c.RecordCount(), 0);
  EXPECT_EQ(c.GetNextRecord(r.data()), KURA_EOF);
  EXPECT_EQ(c.GetPriorRecord(r.data()), KURA_BOF);
  EXPECT_FALSE(c.SetToRecNo(1));
  c.ResetRange();
  EXPECT_EQ(c.RecordCount(), 40);
}

TEST_F(CursorBasics, BookmarksAndSetToCursor) {
  TDataCursor &c = Open();
  for (int i = 1; i <= 10; ++i) Add(c, i, "x" + std::to_string(i), 10 - i);
  std::vector<uint8_t> r = c.NewRecordBuffer();
  c.SetToRecNo(4);
  std::vector<uint8_t> mark = c.GetBookmark();
  EXPECT_EQ(static_cast<int>(mark.size()), c.KeyLength());
  c.SetToBegin();
  c.SetToBookmark(mark);
  c.GetCurRecord(r.data());
  EXPECT_EQ(c.GetInteger(1, r.data()), 4);
  // Gone: the nearest following key.
  c.DeleteRecord(r.data());
  c.SetToBookmark(mark);
  c.GetCurRecord(r.data());
  EXPECT_EQ(c.GetInteger(1, r.data()), 5);

  TDataCursor &other = Open();
  other.SetIndexName("ByValueName");
  EXPECT_EQ(other.SetToCursor(c), KURA_NONE);
  other.GetCurRecord(r.data());
  EXPECT_EQ(other.GetInteger(1, r.data()), 5);
  EXPECT_EQ(other.GetNextRecord(r.data()), KURA_NONE);  // the next in value order: code 4 is gone, so 3
  EXPECT_EQ(other.GetInteger(1, r.data()), 3);

  // Changing the index keeps the current record.
  c.SetIndexName("ByValueName");
  c.GetCurRecord(r.data());
  EXPECT_EQ(c.GetInteger(1, r.data()), 5);
  EXPECT_EQ(c.GetNextRecord(r.data()), KURA_NONE);
  EXPECT_EQ(c.GetInteger(1, r.data()), 3);
}

TEST_F(CursorBasics, SystemIndexOrderIsInsertionOrder) {
  TDataCursor &c = Open();
  Add(c, 5, "e", 0);
  Add(c, 1, "a", 0);
  Add(c, 3, "c", 0);
  c.SetIndexNo(kSystemRecordIndex);
  EXPECT_EQ(Codes(c), (std::vector<int32_t>{5, 1, 3}));
}

TEST_F(CursorBasics, NullsSortFirstAscendingAndLastDescending) {
  TDataCursor creator(FDirectory, "desc");
  TDataFileDefinition def = PeopleDefinition();
  creator.CreateTable(def, {MakeIndex("", {1}), MakeIndex("ValueDown", {3}, false, true)});
  TDataCursor &c = Open({}, "desc");
  std::vector<uint8_t> r = Record(c, {1, "a", 5, 0});
  c.AppendRecord(r.data());
  r = Record(c, {2, "b", 0, 0, true});
  c.AppendRecord(r.data());
  r = Record(c, {3, "c", -4, 0});
  c.AppendRecord(r.data());
  c.SetIndexName("ValueDown");
  EXPECT_EQ(Codes(c), (std::vector<int32_t>{1, 3, 2}));
}

}  // namespace
