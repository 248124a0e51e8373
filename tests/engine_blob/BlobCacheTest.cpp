#include <gtest/gtest.h>

#include "BlobTestSupport.h"
#include "ErrorCode.h"
#include "engine/blob/BlobBlockCache.h"

using namespace kura;
using namespace blobtest;

namespace {

// A file of 8 blocks of 64 bytes whose data bytes all hold the block number.
void FillBlocks(TMemoryBlobBlockStore &file) {
  file.Bytes().assign(512 + 8 * 64, 0);
  for (int32_t n = 1; n <= 8; ++n)
    std::fill_n(file.Bytes().begin() + static_cast<std::ptrdiff_t>(BlobBlockOffset(n, 64) + 18), 46,
                static_cast<uint8_t>(n));
}

}  // namespace

TEST(BlobBlockCache, MissReadsARunOfBlocksWithOneTransfer) {
  BlobFile f;
  f.Create(512);
  const auto v = RandomBytes(40 * 494, 1);
  const int32_t first = f.Store->WriteValue(0, 0, 1, v.data(), v.size());
  f.Reopen();
  EXPECT_EQ(f.Store->ReadAheadCount(), 32);
  const size_t before = f.File.ReadCount();
  EXPECT_EQ(f.Store->ReadValue(first, 1), v);
  EXPECT_EQ(f.File.ReadCount() - before, 2u);  // 32 blocks, then the remaining 8
  // The cache keeps at most BlobBufferSize / B = 64 blocks.
  EXPECT_LE(f.Store->Cache().Count(), 64u);
}

TEST(BlobBlockCache, DirtyBlocksAreWrittenInRunsOfConsecutiveNumbers) {
  BlobFile f;
  f.Create(512);
  const auto v = RandomBytes(40 * 494, 1);
  f.Store->WriteValue(0, 0, 1, v.data(), v.size());
  const size_t before = f.File.WriteCount();
  EXPECT_TRUE(f.Store->Flush());
  EXPECT_EQ(f.File.WriteCount() - before, 2u);  // the 40 blocks, then the header
  // Two separate runs: blocks 1 and 3 changed.
  f.Store->FreeBlock(1);
  TBlock *b = f.Store->GetBlock(3);
  b->Data[0] ^= 1;
  b->Dirty = true;
  f.Store->ReleaseBlock(b);
  const size_t again = f.File.WriteCount();
  f.Store->Flush();
  EXPECT_EQ(f.File.WriteCount() - again, 3u);
}

TEST(BlobBlockCache, ABlockChangedInTheCacheIsNeverReplacedByOlderFileBytes) {
  TMemoryBlobBlockStore file;
  FillBlocks(file);
  TBlobBlockCache cache(file, 64, false, "memo");
  cache.SetCapacity(4);
  // Block 3 changed in the cache, and three more changed blocks fill the cache.
  for (int32_t n : {3, 5, 6, 7}) {
    TBlock *b = cache.Get(n, 8, 1);
    b->Data[0] = static_cast<uint8_t>(100 + n);
    b->Dirty = true;
    cache.Release(b);
  }
  // Reading 1..4 in one run must make room by writing; block 3's bytes read from the file
  // before that write are stale and must not come back into the cache.
  TBlock *one = cache.Get(1, 8, 4);
  EXPECT_EQ(one->Data[0], 1);
  cache.Release(one);
  TBlock *three = cache.Get(3, 8, 1);
  EXPECT_EQ(three->Data[0], 103);
  cache.Release(three);
  cache.WriteDirty();
  EXPECT_EQ(file.Bytes()[BlobBlockOffset(3, 64) + 18], 103);
}

TEST(BlobBlockCache, HeldWritesGrowTheCacheInsteadOfWriting) {
  TMemoryBlobBlockStore file;
  FillBlocks(file);
  TBlobBlockCache cache(file, 64, false, "memo");
  cache.SetCapacity(2);
  cache.SetHoldWrites(true);
  const size_t before = file.WriteCount();
  for (int32_t n = 1; n <= 8; ++n) {
    TBlock *b = cache.NewBlock(n);
    b->Data[0] = 200;
    cache.Release(b);
  }
  EXPECT_EQ(file.WriteCount(), before);
  EXPECT_EQ(cache.Count(), 8u);
  EXPECT_GE(cache.Capacity(), 8u);
  cache.SetHoldWrites(false);
  EXPECT_TRUE(cache.WriteDirty());
  EXPECT_EQ(file.WriteCount() - before, 1u);
  EXPECT_EQ(file.Bytes()[BlobBlockOffset(8, 64) + 18], 200);
  cache.SetCapacity(2);
  cache.Trim();
  EXPECT_EQ(cache.Count(), 2u);
}

TEST(BlobBlockCache, PinnedBlocksStayWhileTheCacheIsFull) {
  TMemoryBlobBlockStore file;
  FillBlocks(file);
  TBlobBlockCache cache(file, 64, false, "memo");
  cache.SetCapacity(2);
  TBlock *a = cache.Get(1, 8, 1);
  TBlock *b = cache.Get(2, 8, 1);
  TBlock *c = cache.Get(3, 8, 1);  // nothing can go: the cache grows
  EXPECT_EQ(cache.Count(), 3u);
  EXPECT_EQ(a->Data[0], 1);
  EXPECT_EQ(b->Data[0], 2);
  EXPECT_EQ(c->Data[0], 3);
  EXPECT_EQ(cache.PinnedCount(), 3u);
  cache.Release(a);
  cache.Release(b);
  cache.Release(c);
  cache.Clear();
  EXPECT_EQ(cache.Count(), 0u);
  // Reading past the end of the file is an error, not garbage.
  EXPECT_EQ(ErrorCodeRaisedBy([&] { cache.Get(9, 9, 1); }), KURA_READERR);
}

TEST(BlobBlockCache, ReadAheadAndCapacityFollowTheBlockSizeAndSessionSettings) {
  TMemoryBlobBlockStore file;
  TBlobStore small(file, 64, false, "memo");
  EXPECT_EQ(small.ReadAheadCount(), 256);
  EXPECT_EQ(small.Cache().Capacity(), 512u);  // 32 768 / 64
  TBlobStore huge(file, 65553, false, "memo");
  EXPECT_EQ(huge.ReadAheadCount(), 1);
  EXPECT_EQ(huge.Cache().Capacity(), 1u);
  TBlobCacheSettings settings;
  settings.BlobBufferCount = 10;
  TBlobStore counted(file, 512, false, "memo", settings);
  EXPECT_EQ(counted.ReadAheadCount(), 32);
  EXPECT_EQ(counted.Cache().Capacity(), 10u);
}

TEST(BlobBlockCache, AChangeLargerThanTheCacheIsWrittenInPartsAndLeavesTheCacheAtItsSize) {
  // A transaction's blocks (writes held) grow the cache; writing them out at the commit goes in
  // writes of at most a megabyte, and the blocks written leave the cache as it goes.
  TMemoryBlobBlockStore file;
  file.Bytes().assign(512, 0);
  TBlobBlockCache cache(file, 512, false, "memo");
  cache.SetCapacity(4);
  cache.SetHoldWrites(true);
  constexpr int32_t kBlocks = 5000;  // 2.5 MB
  for (int32_t n = 1; n <= kBlocks; ++n) {
    TBlock *b = cache.NewBlock(n);
    b->Data[0] = static_cast<uint8_t>(n % 251);
    b->UsedBytes = 1;
    cache.Release(b);
  }
  EXPECT_EQ(cache.Count(), static_cast<size_t>(kBlocks));
  EXPECT_EQ(file.WriteCount(), 0u);
  EXPECT_TRUE(cache.WriteDirty());
  EXPECT_EQ(file.WriteCount(), 3u);  // 2048 + 2048 + 904 blocks
  EXPECT_LE(cache.Count(), 4u);
  EXPECT_EQ(cache.Capacity(), 4u);
  EXPECT_FALSE(cache.HasDirty());
  for (int32_t n : {1, 2048, 2049, 4096, 4097, kBlocks}) {
    TBlock *b = cache.Get(n, kBlocks, 1);
    EXPECT_EQ(b->Data[0], n % 251) << n;
    EXPECT_EQ(b->UsedBytes, 1) << n;
    cache.Release(b);
  }
}
