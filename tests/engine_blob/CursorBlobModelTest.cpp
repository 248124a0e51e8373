#include <gtest/gtest.h>

#include <cstring>

#include "BlobTestSupport.h"
#include "engine/blob/CursorBlobs.h"

using namespace kura;
using namespace blobtest;

namespace {

// Records of three Blob fields, edited through the cursor's blob operations against a model of
// their values: random writes at random offsets, truncation, posts, cancels and deletes.
constexpr size_t RecordSize = 9 + 3 * 9;

struct Row {
  std::vector<uint8_t> Stored = std::vector<uint8_t>(RecordSize, 0);
  std::vector<uint8_t> Values[3];
};

std::vector<uint8_t> ReadField(TCursorBlobs &blobs, std::vector<uint8_t> record, const TBlobFieldInfo &field) {
  const uint32_t size = blobs.OpenBlob(record, field);
  std::vector<uint8_t> out(size);
  EXPECT_EQ(blobs.GetBlob(record, field, 0, size, out.data()), size);
  blobs.FreeBlob(record, field);
  return out;
}

}  // namespace

TEST(CursorBlobModel, EditsPostsCancelsAndDeletesAgainstAModel) {
  BlobFile f;
  f.Create(256, true);
  const std::vector<TBlobFieldInfo> fields{{1, EngineFieldType::Blob, 9, "A"},
                                           {2, EngineFieldType::Blob, 18, "B"},
                                           {3, EngineFieldType::Blob, 27, "C"}};
  int32_t lastBlobNumber = 0;
  const std::function<int32_t()> next = [&] { return lastBlobNumber = FollowingBlobNumber(lastBlobNumber); };
  TCursorBlobs blobs(f.Store.get(), "t");
  std::map<int, Row> rows;
  std::mt19937 rng(2024);
  for (int step = 0; step < 1200; ++step) {
    const int key = static_cast<int>(rng() % 40);
    Row &row = rows[key];
    if (rng() % 10 == 0) {  // delete the record
      blobs.FreeRecordBlobs(row.Stored, fields);
      rows.erase(key);
      continue;
    }
    // Edit some fields of a copy of the record, then post or cancel.
    std::vector<uint8_t> edit = row.Stored;
    std::vector<uint8_t> values[3] = {row.Values[0], row.Values[1], row.Values[2]};
    for (int i = 0; i < 3; ++i) {
      if (rng() % 2) continue;
      const TBlobFieldInfo &field = fields[static_cast<size_t>(i)];
      ASSERT_EQ(blobs.OpenBlob(edit, field), values[i].size());
      if (rng() % 4 == 0 || values[i].size() > 150000) {
        const uint32_t cut = values[i].empty() ? 0 : static_cast<uint32_t>(rng() % (values[i].size() + 1));
        blobs.TruncateBlob(edit, field, cut);
        values[i].resize(cut);
      } else {
        const uint32_t offset = static_cast<uint32_t>(rng() % (values[i].size() + 1));
        const size_t length = rng() % 8 == 0 ? 20000 + rng() % 60000 : rng() % 1500;
        const auto bytes = RandomBytes(length, rng);
        blobs.PutBlob(edit, field, offset, static_cast<uint32_t>(length), bytes.data());
        if (offset + length > values[i].size()) values[i].resize(offset + length);
        std::memcpy(values[i].data() + offset, bytes.data(), length);
      }
      ASSERT_EQ(blobs.GetBlobSize(edit, field), values[i].size());
      blobs.FreeBlob(edit, field);
    }
    if (rng() % 5 == 0) {
      blobs.DiscardBlobs(edit, fields);
      EXPECT_EQ(edit, row.Stored);
    } else {
      std::vector<uint8_t> stored = edit;
      blobs.WriteBlobs(edit, stored, fields, next);
      EXPECT_EQ(edit, stored);
      row.Stored = stored;
      for (int i = 0; i < 3; ++i) {
        row.Values[i] = values[i];
        EXPECT_EQ(row.Stored[fields[static_cast<size_t>(i)].NullOffset], values[i].empty() ? 0 : 1);
      }
    }
    ASSERT_EQ(blobs.OpenBlobCount(), 0u);
    if (step % 300 == 299) f.Reopen(), blobs.SetStore(f.Store.get());
  }
  f.Reopen();
  TCursorBlobs reader(f.Store.get(), "t");
  std::map<int, LiveBlob> live;
  for (auto &[key, row] : rows) {
    for (int i = 0; i < 3; ++i) {
      const TBlobFieldInfo &field = fields[static_cast<size_t>(i)];
      EXPECT_EQ(ReadField(reader, row.Stored, field), row.Values[i]);
      const TBlobReference ref = ReadBlobReference(row.Stored, field);
      live[key * 3 + i] = LiveBlob{ref.FirstBlock, ref.ChangeNumber, row.Values[i]};
    }
  }
  ExpectChainInvariants(*f.Store, live);
  EXPECT_EQ(f.File.Size(), BlobHeaderSize + static_cast<uint64_t>(f.Store->BlockCount()) * 256);
}
