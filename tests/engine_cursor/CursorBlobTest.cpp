// Blob fields through a cursor: writing with the record, reading back, replacing, deleting.
#include "tests/engine_cursor/CursorTestSupport.h"

#include "engine/blob/BlobFile.h"
#include "engine/table/DataTable.h"

using namespace kura;
using namespace kura::cursortest;

namespace {

class CursorBlobs : public CursorTest {
 protected:
  void SetUp() override {
    CursorTest::SetUp();
    TDataFileDefinition def;
    def.Fields = {MakeField("Code", EngineFieldType::Integer), MakeField("Notes", EngineFieldType::Blob, 0, FieldSubType::Memo)};
    TDataCursor creator(FDirectory, "notes");
    creator.CreateTable(def, {MakeIndex("", {1})});
  }
  static std::vector<uint8_t> Text(size_t n, uint8_t seed) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(seed + i * 7);
    return v;
  }
  void Append(TDataCursor &c, int32_t code, const std::vector<uint8_t> &text) {
    std::vector<uint8_t> r = c.NewRecordBuffer();
    c.InitRecord(r.data());
    c.SetInteger(1, r.data(), code);
    c.OpenBlob(r.data(), 2);
    c.PutBlob(r.data(), 2, 0, static_cast<uint32_t>(text.size()), text.data());
    c.FreeBlob(r.data(), 2);
    c.AppendRecord(r.data());
  }
  std::vector<uint8_t> Read(TDataCursor &c, std::vector<uint8_t> &r) {
    uint32_t size = c.OpenBlob(r.data(), 2);
    std::vector<uint8_t> out(size);
    EXPECT_EQ(c.GetBlob(r.data(), 2, 0, size, out.data()), size);
    EXPECT_EQ(c.GetBlobSize(r.data(), 2), size);
    c.FreeBlob(r.data(), 2);
    return out;
  }
};

TEST_F(CursorBlobs, WrittenWithTheRecordAndReadBack) {
  TDataCursor &c = Open({}, "notes");
  Append(c, 1, Text(3000, 1));
  Append(c, 2, Text(10, 2));
  Append(c, 3, {});
  std::vector<uint8_t> r = c.NewRecordBuffer();
  c.SetToBegin();
  ASSERT_EQ(c.GetNextRecord(r.data()), KURA_NONE);
  EXPECT_EQ(Read(c, r), Text(3000, 1));
  ASSERT_EQ(c.GetNextRecord(r.data()), KURA_NONE);
  EXPECT_EQ(Read(c, r), Text(10, 2));
  ASSERT_EQ(c.GetNextRecord(r.data()), KURA_NONE);
  EXPECT_TRUE(c.IsFieldNull(2, r.data()));
  EXPECT_EQ(c.OpenBlobCount(), 0u);
  EXPECT_EQ(CodeOf([&] { c.OpenBlob(r.data(), 1); }), KURA_NOTABLOB);
  c.CloseCursor();
  TDataCursor &d = Open({}, "notes");
  ASSERT_EQ(d.GetNextRecord(r.data()), KURA_NONE);
  EXPECT_EQ(Read(d, r), Text(3000, 1));
}

TEST_F(CursorBlobs, ModifyReplacesAndDeleteFreesTheChain) {
  TDataCursor &c = Open({}, "notes");
  Append(c, 1, Text(5000, 3));
  Append(c, 2, Text(700, 4));
  std::vector<uint8_t> r = GoTo(c, 1);
  ASSERT_EQ(c.GetCurRecord(r.data(), true), KURA_NONE);
  c.OpenBlob(r.data(), 2);
  c.TruncateBlob(r.data(), 2, 0);
  std::vector<uint8_t> shorter = Text(100, 9);
  c.PutBlob(r.data(), 2, 0, 100, shorter.data());
  c.ModifyRecord(r.data());
  c.FreeBlob(r.data(), 2);
  EXPECT_EQ(c.OpenBlobCount(), 0u);
  r = GoTo(c, 1);
  EXPECT_EQ(Read(c, r), shorter);
  TBlobStore *store = BlobStoreOf(*c.Table());
  ASSERT_NE(store, nullptr);
  const int32_t blocksBefore = store->BlockCount();
  r = GoTo(c, 2);
  // The record as read is compared although the buffer holds an open blob's handle now.
  EXPECT_EQ(c.OpenBlob(r.data(), 2), 700u);
  c.DeleteRecord(r.data());
  c.FreeBlob(r.data(), 2);
  // The freed blocks are reused by the next value instead of growing the file.
  Append(c, 3, Text(600, 5));
  EXPECT_EQ(store->BlockCount(), blocksBefore);
  r = GoTo(c, 3);
  EXPECT_EQ(Read(c, r), Text(600, 5));
}

TEST_F(CursorBlobs, CancelDropsUnpostedBlobChanges) {
  TDataCursor &c = Open({}, "notes");
  Append(c, 1, Text(50, 1));
  std::vector<uint8_t> r = GoTo(c, 1);
  c.OpenBlob(r.data(), 2);
  std::vector<uint8_t> other = Text(50, 99);
  c.PutBlob(r.data(), 2, 0, 50, other.data());
  c.FreeBlob(r.data(), 2);
  c.CancelRecord(r.data());
  EXPECT_EQ(c.OpenBlobCount(), 0u);
  r = GoTo(c, 1);
  EXPECT_EQ(Read(c, r), Text(50, 1));
  TCursorOptions ro;
  ro.ReadOnly = true;
  TDataCursor &reader = Open(ro, "notes");
  std::vector<uint8_t> rr = GoTo(reader, 1);
  reader.OpenBlob(rr.data(), 2);
  EXPECT_EQ(CodeOf([&] { reader.PutBlob(rr.data(), 2, 0, 1, other.data()); }), KURA_OSEACCES);
}

}  // namespace
