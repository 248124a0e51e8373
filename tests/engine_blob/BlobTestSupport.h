#pragma once
// Test helpers: a blob file in memory, raw pokes into its blocks, and the chain invariants.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "engine/blob/BlobByteOrder.h"
#include "engine/blob/BlobStore.h"
#include "engine/blob/MemoryBlobBlockStore.h"

namespace blobtest {

using namespace kura;

inline std::vector<uint8_t> RandomBytes(size_t n, std::mt19937 &rng) {
  std::vector<uint8_t> v(n);
  for (auto &b : v) b = static_cast<uint8_t>(rng());
  return v;
}

inline std::vector<uint8_t> RandomBytes(size_t n, unsigned seed = 1) {
  std::mt19937 rng(seed);
  return RandomBytes(n, rng);
}

// Offsets of the header fields inside a block.
enum BlockField : size_t { PrevField = 0, NextField = 4, UsedField = 8, ChangeField = 10, LengthField = 14 };

// A memory file that can claim to be longer than it is (a file grown by another user, or one
// as long as the limits allow, without holding gigabytes).
class TClaimingStore : public TMemoryBlobBlockStore {
 public:
  uint64_t Size() override { return std::max<uint64_t>(TMemoryBlobBlockStore::Size(), Claimed); }
  uint64_t Claimed = 0;
};

struct BlobFile {
  TClaimingStore File;
  uint32_t BlockSize = 512;
  bool Encrypted = false;
  TBlobCacheSettings Settings;
  std::unique_ptr<TBlobStore> Store;

  void Create(uint32_t blockSize = 512, bool encrypted = false, TBlobCacheSettings settings = {}) {
    BlockSize = blockSize;
    Encrypted = encrypted;
    Settings = settings;
    Store = std::make_unique<TBlobStore>(File, blockSize, encrypted, "memo", settings);
    Store->Create();
  }
  // Writes everything and opens the file again with fresh caches.
  void Reopen() {
    Store->Close();
    OpenAgain();
  }
  void OpenAgain() {
    Store = std::make_unique<TBlobStore>(File, BlockSize, Encrypted, "memo", Settings);
    Store->Open();
  }
  size_t DataBytes() const { return BlockSize - 18; }
  // Raw access to an unencrypted file's block header fields.
  void PokeBlock(int32_t block, BlockField field, int32_t value) {
    uint8_t *p = File.Bytes().data() + BlobBlockOffset(block, BlockSize) + field;
    if (field == UsedField) blobio::PutUInt16(p, static_cast<uint16_t>(value));
    else blobio::PutInt32(p, value);
  }
  int32_t PeekBlock(int32_t block, BlockField field) {
    const uint8_t *p = File.Bytes().data() + BlobBlockOffset(block, BlockSize) + field;
    return field == UsedField ? blobio::GetUInt16(p) : blobio::GetInt32(p);
  }
  void PokeHeader(size_t offset, int32_t value) { blobio::PutInt32(File.Bytes().data() + offset, value); }
};

struct LiveBlob {
  int32_t First = 0;
  int32_t Change = 0;
  std::vector<uint8_t> Value;
};

// Every live value reads back exactly; every chain is well linked (previous links, used bytes,
// total length in the first block only, the change number everywhere); every block of the
// file belongs to exactly one chain or to the free list.
inline void ExpectChainInvariants(TBlobStore &store, const std::map<int, LiveBlob> &live) {
  const size_t dataBytes = store.DataBytesPerBlock();
  std::set<int32_t> owned;
  for (const auto &[key, blob] : live) {
    SCOPED_TRACE("blob " + std::to_string(key));
    EXPECT_EQ(store.ReadValue(blob.First, blob.Change), blob.Value);
    if (blob.Value.empty()) {
      EXPECT_EQ(blob.First, 0);
      continue;
    }
    const auto chain = store.ChainBlocks(blob.First, blob.Change);
    ASSERT_EQ(chain.size(), (blob.Value.size() + dataBytes - 1) / dataBytes);
    for (size_t i = 0; i < chain.size(); ++i) {
      EXPECT_TRUE(owned.insert(chain[i]).second) << "block " << chain[i] << " in two chains";
      TBlock *b = store.GetBlock(chain[i]);
      EXPECT_EQ(b->PrevBlock, i == 0 ? 0 : chain[i - 1]);
      EXPECT_EQ(b->TotalLength, i == 0 ? static_cast<int32_t>(blob.Value.size()) : 0);
      EXPECT_EQ(b->UsedBytes, std::min(dataBytes, blob.Value.size() - i * dataBytes));
      EXPECT_EQ(b->ChangeNumber, blob.Change);
      store.ReleaseBlock(b);
    }
  }
  const auto freeList = store.FreeListBlocks();
  for (int32_t n : freeList) EXPECT_TRUE(owned.insert(n).second) << "free block " << n << " also in use";
  EXPECT_EQ(owned.size(), static_cast<size_t>(store.BlockCount()));
  if (!owned.empty()) {
    EXPECT_EQ(*owned.begin(), 1);
    EXPECT_EQ(*owned.rbegin(), store.BlockCount());
  }
  EXPECT_EQ(store.Cache().PinnedCount(), 0u);
}

}  // namespace blobtest
