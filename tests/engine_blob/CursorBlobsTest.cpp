#include <gtest/gtest.h>

#include <cstring>

#include "BlobTestSupport.h"
#include "ErrorCode.h"
#include "engine/blob/CursorBlobs.h"

using namespace kura;
using namespace blobtest;

namespace {

// Record: prefix (9 bytes), Blob field 1 at 9, Blob field 2 at 18, String[10] field 3 at 27.
constexpr size_t RecordSize = 9 + 9 + 9 + 12;

struct CursorBlobFixture : ::testing::Test {
  BlobFile f;
  std::vector<TBlobFieldInfo> fields{{1, EngineFieldType::Blob, 9, "CMT"},
                                     {2, EngineFieldType::Blob, 18, "PIC"},
                                     {3, EngineFieldType::String, 27, "DTX"}};
  int32_t lastBlobNumber = 0;
  std::function<int32_t()> next = [this] { return ++lastBlobNumber; };

  void SetUp() override { f.Create(512); }
  std::vector<uint8_t> Record() { return std::vector<uint8_t>(RecordSize, 0); }
  static std::vector<uint8_t> Bytes(const std::string &s) { return {s.begin(), s.end()}; }
  static std::string Text(const std::vector<uint8_t> &v) { return {v.begin(), v.end()}; }

  // Writes a value into field 1 of a fresh record and posts it; returns the stored record.
  std::vector<uint8_t> Stored(TCursorBlobs &blobs, const std::vector<uint8_t> &value) {
    auto record = Record();
    blobs.OpenBlob(record, fields[0]);
    blobs.PutBlob(record, fields[0], 0, static_cast<uint32_t>(value.size()), value.data());
    blobs.FreeBlob(record, fields[0]);
    blobs.WriteBlobs(record, record, fields, next);
    return record;
  }
  std::string ReadAll(TCursorBlobs &blobs, std::vector<uint8_t> &record, const TBlobFieldInfo &field) {
    const uint32_t size = blobs.OpenBlob(record, field);
    std::vector<uint8_t> out(size);
    EXPECT_EQ(blobs.GetBlob(record, field, 0, size, out.data()), size);
    blobs.FreeBlob(record, field);
    return Text(out);
  }
};

}  // namespace

TEST_F(CursorBlobFixture, WriteAtPostAndReadBack) {
  TCursorBlobs blobs(f.Store.get(), "figure");
  auto record = Record();
  EXPECT_EQ(blobs.OpenBlob(record, fields[0]), 0u);
  EXPECT_EQ(ReadBlobReference(record, fields[0]).FirstBlock, -1);  // the negated handle
  const auto hello = Bytes("hello, stones");
  blobs.PutBlob(record, fields[0], 0, static_cast<uint32_t>(hello.size()), hello.data());
  EXPECT_EQ(blobs.GetBlobSize(record, fields[0]), hello.size());
  char part[32] = {};
  EXPECT_EQ(blobs.GetBlob(record, fields[0], 7, 100, reinterpret_cast<uint8_t *>(part)), 6u);
  EXPECT_EQ(std::string(part), "stones");
  EXPECT_EQ(blobs.GetBlob(record, fields[0], 13, 5, reinterpret_cast<uint8_t *>(part)), 0u);
  // Overwriting in the middle and appending.
  blobs.PutBlob(record, fields[0], 0, 5, reinterpret_cast<const uint8_t *>("HELLO"));
  blobs.PutBlob(record, fields[0], 13, 2, reinterpret_cast<const uint8_t *>("!!"));
  EXPECT_EQ(blobs.GetBlobSize(record, fields[0]), 15u);

  auto stored = Record();
  blobs.WriteBlobs(record, stored, fields, next);
  const TBlobReference ref = ReadBlobReference(stored, fields[0]);
  EXPECT_EQ(ref.FirstBlock, 1);
  EXPECT_EQ(ref.ChangeNumber, 1);
  EXPECT_EQ(stored[9], 1);  // not NULL
  // The blob is still open in the cursor's buffer, now clean.
  EXPECT_EQ(ReadBlobReference(record, fields[0]).FirstBlock, -1);
  EXPECT_FALSE(blobs.BufferOf(record, fields[0])->Modified);
  blobs.FreeBlob(record, fields[0]);
  EXPECT_EQ(ReadBlobReference(record, fields[0]), ref);
  EXPECT_EQ(blobs.OpenBlobCount(), 0u);
  // The untouched second Blob field stays empty and NULL.
  EXPECT_EQ(ReadBlobReference(stored, fields[1]).FirstBlock, 0);
  EXPECT_EQ(stored[18], 0);

  TCursorBlobs reader(f.Store.get(), "figure");
  EXPECT_EQ(ReadAll(reader, stored, fields[0]), "HELLO, stones!!");
}

TEST_F(CursorBlobFixture, OpeningTwiceCountsAndFreeingAModifiedBlobKeepsItUntilPost) {
  TCursorBlobs blobs(f.Store.get(), "figure");
  auto record = Record();
  blobs.OpenBlob(record, fields[0]);
  EXPECT_EQ(blobs.OpenBlob(record, fields[0]), 0u);
  EXPECT_EQ(blobs.OpenBlobCount(), 1u);
  EXPECT_EQ(blobs.BufferOf(record, fields[0])->OpenCount, 2);
  blobs.PutBlob(record, fields[0], 0, 3, reinterpret_cast<const uint8_t *>("abc"));
  blobs.FreeBlob(record, fields[0]);
  blobs.FreeBlob(record, fields[0]);
  // Closed by its streams, but its change is kept for the post.
  EXPECT_EQ(blobs.OpenBlobCount(), 1u);
  blobs.WriteBlobs(record, record, fields, next);
  EXPECT_EQ(blobs.OpenBlobCount(), 0u);
  TCursorBlobs reader(f.Store.get(), "figure");
  EXPECT_EQ(ReadAll(reader, record, fields[0]), "abc");
}

TEST_F(CursorBlobFixture, WrongFieldsHandlesOffsetsAndLengths) {
  TCursorBlobs blobs(f.Store.get(), "figure");
  auto record = Record();
  try {
    blobs.OpenBlob(record, fields[2]);
    FAIL();
  } catch (const EKuraEngineError &e) {
    EXPECT_EQ(e.ErrorCode(), KURA_NOTABLOB);
    EXPECT_EQ(e.EngineMessage(), "Invalid blob field 'DTX' specified for the table 'figure'");
  }
  // A field description that does not fit the record.
  TBlobFieldInfo outside{4, EngineFieldType::Blob, static_cast<uint16_t>(RecordSize - 4), "X"};
  EXPECT_EQ(ErrorCodeRaisedBy([&] { blobs.OpenBlob(record, outside); }), KURA_NOTABLOB);
  // A negative value that is no open blob of this cursor.
  StoreFirstBlockBytes(record, fields[0], -5);
  EXPECT_EQ(ErrorCodeRaisedBy([&] { blobs.OpenBlob(record, fields[0]); }), KURA_INVALIDBLOBOFFSET);
  StoreFirstBlockBytes(record, fields[0], INT32_MIN);
  EXPECT_EQ(ErrorCodeRaisedBy([&] { blobs.OpenBlob(record, fields[0]); }), KURA_INVALIDBLOBOFFSET);
  StoreFirstBlockBytes(record, fields[0], 0);
  // Access without opening.
  uint8_t buf[8];
  EXPECT_EQ(ErrorCodeRaisedBy([&] { blobs.GetBlob(record, fields[0], 0, 8, buf); }), KURA_INVALIDBLOBHANDLE);
  EXPECT_EQ(ErrorCodeRaisedBy([&] { blobs.PutBlob(record, fields[0], 0, 8, buf); }), KURA_INVALIDBLOBHANDLE);
  EXPECT_EQ(ErrorCodeRaisedBy([&] { blobs.GetBlobSize(record, fields[0]); }), KURA_INVALIDBLOBHANDLE);
  EXPECT_EQ(ErrorCodeRaisedBy([&] { blobs.FreeBlob(record, fields[0]); }), KURA_INVALIDBLOBHANDLE);
  // A handle of another field copied into this one.
  blobs.OpenBlob(record, fields[1]);
  std::memcpy(record.data() + 10, record.data() + 19, 4);
  EXPECT_EQ(ErrorCodeRaisedBy([&] { blobs.GetBlobSize(record, fields[0]); }), KURA_INVALIDBLOBHANDLE);
  EXPECT_EQ(ErrorCodeRaisedBy([&] { blobs.OpenBlob(record, fields[0]); }), KURA_INVALIDBLOBOFFSET);
  StoreFirstBlockBytes(record, fields[0], 0);

  blobs.OpenBlob(record, fields[0]);
  blobs.PutBlob(record, fields[0], 0, 4, reinterpret_cast<const uint8_t *>("abcd"));
  EXPECT_EQ(ErrorCodeRaisedBy([&] { blobs.GetBlob(record, fields[0], 5, 1, buf); }), KURA_INVALIDBLOBOFFSET);
  EXPECT_EQ(ErrorCodeRaisedBy([&] { blobs.PutBlob(record, fields[0], 5, 1, buf); }), KURA_INVALIDBLOBOFFSET);
  EXPECT_EQ(ErrorCodeRaisedBy([&] { blobs.PutBlob(record, fields[0], 4, 0x7FFFFFFF, buf); }), KURA_INVALIDBLOBLEN);
  EXPECT_EQ(ErrorCodeRaisedBy([&] { blobs.TruncateBlob(record, fields[0], 5); }), KURA_INVALIDBLOBLEN);
  blobs.TruncateBlob(record, fields[0], 2);
  EXPECT_EQ(blobs.GetBlobSize(record, fields[0]), 2u);
  EXPECT_EQ(blobs.GetBlob(record, fields[0], 0, 8, buf), 2u);
  EXPECT_EQ(std::memcmp(buf, "ab", 2), 0);
}

TEST_F(CursorBlobFixture, AtMost128BlobsAreOpen) {
  TCursorBlobs blobs(f.Store.get(), "figure");
  std::vector<std::vector<uint8_t>> records(129, Record());
  for (size_t i = 0; i < 128; ++i) blobs.OpenBlob(records[i], fields[i % 2]);
  EXPECT_EQ(blobs.OpenBlobCount(), 128u);
  try {
    blobs.OpenBlob(records[128], fields[0]);
    FAIL();
  } catch (const EKuraEngineError &e) {
    EXPECT_EQ(e.ErrorCode(), KURA_OPENBLOBLIMIT);
    EXPECT_EQ(e.EngineMessage(), "Too many blobs opened in the table 'figure'");
  }
  // Opening an open blob again is not a new blob.
  blobs.OpenBlob(records[5], fields[1]);
  blobs.FreeBlob(records[5], fields[1]);
  blobs.FreeBlob(records[5], fields[1]);
  EXPECT_EQ(blobs.OpenBlobCount(), 127u);
  blobs.OpenBlob(records[128], fields[0]);
  EXPECT_EQ(blobs.OpenBlobCount(), 128u);
  blobs.CloseAll();
  EXPECT_EQ(blobs.OpenBlobCount(), 0u);
}

TEST_F(CursorBlobFixture, EmptyValueStoresFirstBlockZeroAndNull) {
  TCursorBlobs blobs(f.Store.get(), "figure");
  auto record = Stored(blobs, std::vector<uint8_t>(1000, 'x'));
  EXPECT_EQ(record[9], 1);
  blobs.OpenBlob(record, fields[0]);
  blobs.TruncateBlob(record, fields[0], 0);
  blobs.FreeBlob(record, fields[0]);
  blobs.WriteBlobs(record, record, fields, next);
  EXPECT_EQ(ReadBlobReference(record, fields[0]).FirstBlock, 0);
  EXPECT_EQ(record[9], 0);
  EXPECT_EQ(f.Store->FreeListBlocks().size(), 3u);
  EXPECT_EQ(lastBlobNumber, 1);  // an empty value takes no change number
}

TEST_F(CursorBlobFixture, ValueReplacedByAnotherCursor) {
  TCursorBlobs first(f.Store.get(), "figure"), second(f.Store.get(), "figure");
  const auto stored = Stored(first, Bytes("original text"));
  // Both cursors hold the same stored record; the first opens the blob before the change.
  auto mine = stored, theirs = stored;
  first.OpenBlob(mine, fields[0]);
  second.OpenBlob(theirs, fields[0]);
  second.PutBlob(theirs, fields[0], 0, 7, reinterpret_cast<const uint8_t *>("REPLACE"));
  second.WriteBlobs(theirs, theirs, fields, next);
  // Reading the old reference again fails.
  auto old = stored;
  TCursorBlobs third(f.Store.get(), "figure");
  EXPECT_EQ(ErrorCodeRaisedBy([&] { third.OpenBlob(old, fields[0]); }), KURA_KEYORRECDELETED);
  EXPECT_EQ(third.OpenBlobCount(), 0u);
  // Posting a change over the old reference fails and leaves the newer value alone.
  first.PutBlob(mine, fields[0], 0, 4, reinterpret_cast<const uint8_t *>("MINE"));
  EXPECT_EQ(ErrorCodeRaisedBy([&] { first.WriteBlobs(mine, mine, fields, next); }), KURA_KEYORRECDELETED);
  EXPECT_EQ(ReadAll(third, theirs, fields[0]), "REPLACEl text");
}

TEST_F(CursorBlobFixture, CancelDropsTheChanges) {
  TCursorBlobs blobs(f.Store.get(), "figure");
  const auto stored = Stored(blobs, Bytes("kept"));
  auto record = stored;
  blobs.OpenBlob(record, fields[0]);
  blobs.PutBlob(record, fields[0], 0, 4, reinterpret_cast<const uint8_t *>("LOST"));
  EXPECT_EQ(Text(blobs.BufferOf(record, fields[0])->ValueAsRead()), "kept");
  blobs.FreeBlob(record, fields[0]);
  blobs.DiscardBlobs(record, fields);
  EXPECT_EQ(record, stored);
  EXPECT_EQ(blobs.OpenBlobCount(), 0u);
  EXPECT_EQ(ReadAll(blobs, record, fields[0]), "kept");
  // A blob still open keeps its handle; its value goes back to what was read.
  blobs.OpenBlob(record, fields[0]);
  blobs.TruncateBlob(record, fields[0], 1);
  blobs.DiscardBlobs(record, fields);
  EXPECT_EQ(blobs.GetBlobSize(record, fields[0]), 4u);
  blobs.FreeBlob(record, fields[0]);
  EXPECT_EQ(record, stored);
}

TEST_F(CursorBlobFixture, DeletingARecordFreesItsChains) {
  TCursorBlobs blobs(f.Store.get(), "figure");
  auto record = Record();
  blobs.OpenBlob(record, fields[0]);
  blobs.OpenBlob(record, fields[1]);
  const auto a = RandomBytes(1000, 1), b = RandomBytes(600, 2);
  blobs.PutBlob(record, fields[0], 0, 1000, a.data());
  blobs.PutBlob(record, fields[1], 0, 600, b.data());
  blobs.WriteBlobs(record, record, fields, next);
  EXPECT_EQ(f.Store->BlockCount(), 5);
  blobs.FreeRecordBlobs(record, fields);
  EXPECT_EQ(f.Store->FreeListBlocks().size(), 5u);
  ExpectChainInvariants(*f.Store, {});
  // A stored record holding a handle is damage.
  StoreFirstBlockBytes(record, fields[0], -1);
  EXPECT_EQ(ErrorCodeRaisedBy([&] { blobs.FreeRecordBlobs(record, fields); }), KURA_MEMOCORRUPT);
}

TEST_F(CursorBlobFixture, FailedPostLeavesTheChangeForTheNextTry) {
  TCursorBlobs blobs(f.Store.get(), "figure");
  f.Store->Close();
  f.PokeHeader(9, MaxBlobBlockNumber + 1);
  f.File.Claimed = BlobBlockOffset(MaxBlobBlockNumber + 1, 512);
  f.OpenAgain();
  blobs.SetStore(f.Store.get());
  auto record = Record();
  blobs.OpenBlob(record, fields[0]);
  blobs.PutBlob(record, fields[0], 0, 3, reinterpret_cast<const uint8_t *>("abc"));
  blobs.FreeBlob(record, fields[0]);
  EXPECT_EQ(ErrorCodeRaisedBy([&] { blobs.WriteBlobs(record, record, fields, next); }), KURA_TABLEFULL);
  EXPECT_TRUE(blobs.BufferOf(record, fields[0])->Modified);
  EXPECT_EQ(blobs.GetBlobSize(record, fields[0]), 3u);
}

TEST(BlobReference, FieldInfoFromAStoredDescriptorAndReferenceBytes) {
  std::vector<uint8_t> descriptor(768, 0);
  descriptor[0] = 7;
  descriptor[2] = 3;
  std::memcpy(descriptor.data() + 3, "CMT", 3);
  descriptor[84] = 3;  // Blob
  descriptor[85] = 22;  // Memo
  descriptor[90] = 0x2C;
  descriptor[91] = 0x01;  // 300
  const TBlobFieldInfo info = BlobFieldInfoFromDescriptor(descriptor.data());
  EXPECT_EQ(info.FieldNumber, 7);
  EXPECT_EQ(info.FieldName, "CMT");
  EXPECT_EQ(info.FieldType, EngineFieldType::Blob);
  EXPECT_EQ(info.NullOffset, 300);
  descriptor[2] = 200;  // a damaged name length is cut to 30 characters
  EXPECT_EQ(BlobFieldInfoFromDescriptor(descriptor.data()).FieldName.size(), 30u);

  std::vector<uint8_t> record(309, 0);
  EXPECT_TRUE(BlobFieldFits(record, info));
  EXPECT_FALSE(BlobFieldFits(std::vector<uint8_t>(308, 0), info));
  StoreBlobReference(record, info, {0x01020304, 0x0A0B0C0D});
  EXPECT_EQ(record[300], 1);
  // Little-endian: first block in bytes 1 to 4, change number in bytes 5 to 8.
  EXPECT_EQ(std::vector<uint8_t>(record.begin() + 301, record.end()),
            (std::vector<uint8_t>{0x04, 0x03, 0x02, 0x01, 0x0D, 0x0C, 0x0B, 0x0A}));
  EXPECT_EQ(ReadBlobReference(record, info), (TBlobReference{0x01020304, 0x0A0B0C0D}));
  StoreBlobReference(record, info, {0, 5});
  EXPECT_EQ(record[300], 0);

  EXPECT_EQ(FollowingBlobNumber(0), 1);
  EXPECT_EQ(FollowingBlobNumber(41), 42);
  EXPECT_EQ(FollowingBlobNumber(2147483647), 1);
  EXPECT_EQ(FollowingBlobNumber(-9), 1);
}
