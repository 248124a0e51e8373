#pragma once
// The block cache of a blob file: blocks found by number through a hash map, a recency list of
// the blocks that may be evicted (clean and unpinned), a list of the changed blocks, run reads
// with read-ahead, run writes of dirty blocks, and a small pool of released block objects.
//
// Blocks are marked changed by their users while pinned; a block whose last pin goes joins the
// changed list or the front of the recency list. Eviction takes the oldest entry of the recency
// list, so it never walks the changed blocks a transaction holds: a transaction that writes
// many blocks stays linear.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/blob/BlobBlock.h"
#include "engine/blob/BlobBlockStore.h"

namespace kura {

class TBlobBlockCache {
 public:
  TBlobBlockCache(IBlobBlockStore &store, uint32_t blockSize, bool encrypted, std::string tableName);
  TBlobBlockCache(const TBlobBlockCache &) = delete;
  TBlobBlockCache &operator=(const TBlobBlockCache &) = delete;

  uint32_t BlockSize() const { return FBlockSize; }
  size_t DataBytes() const { return FBlockSize - 18; }
  // Blocks kept before clean ones are evicted (at least 1). Grows by itself when every entry
  // is pinned or dirty and dirty blocks may not be written; shrinks back once they are written.
  void SetCapacity(size_t blocks);
  size_t Capacity() const { return FCapacity; }
  size_t Count() const { return FBlocks.size(); }
  size_t PinnedCount() const;
  bool HasDirty() const;
  // While set (a transaction), dirty blocks are only written to make room where the store
  // gathers the writes for the commit; elsewhere the cache grows.
  void SetHoldWrites(bool hold) { FHoldWrites = hold; }
  bool HoldWrites() const { return FHoldWrites; }

  // Block n, pinned. On a miss the run n .. min(n + readAhead - 1, lastBlock) is read with one
  // transfer; the blocks of the run that are cached dirty or pinned keep their cached contents.
  // A block that cannot be read whole raises KURA_READERR. The caller checks n's range.
  TBlock *Get(int32_t n, int32_t lastBlock, int32_t readAhead);
  // A zero-filled, dirty, pinned entry for block n, without reading the file (a block just
  // allocated). A cached entry for n is overwritten.
  TBlock *NewBlock(int32_t n);
  void Release(TBlock *block);
  bool IsCached(int32_t n) const;

  // Writes every dirty, unpinned block, each run of consecutive numbers with one write (runs
  // longer than a megabyte in several). Blocks written become clean, and the clean ones beyond
  // the capacity are evicted as the writing goes on, so writing out a large change does not
  // need a second copy of it. Returns whether anything was written.
  bool WriteDirty();
  // Drops every unpinned entry, dirty or not (another user changed the file, or a rollback).
  void Clear();
  // Evicts clean, unpinned entries until the cache is within its capacity.
  void Trim();

 private:
  TBlock *Find(int32_t n) const;
  TBlock *Insert(int32_t n);
  void MakeRoom();
  // Evicts the least recently used clean, unpinned block; false when there is none.
  bool EvictOldest();
  void Evict(TBlock *block);
  void Pin(TBlock *block);
  // An unpinned block goes where its state asks: the changed list or the recency list's front.
  void Place(TBlock *block);
  void LinkFront(TBlock *block);
  void Unlink(TBlock *block);
  // Evicts clean blocks beyond the configured capacity and lets a grown capacity shrink back.
  void ShrinkToCapacity();

  IBlobBlockStore &FStore;
  uint32_t FBlockSize;
  bool FEncrypted;
  std::string FTableName;
  size_t FConfigured = 64;
  size_t FCapacity = 64;
  bool FHoldWrites = false;
  std::unordered_map<int32_t, std::unique_ptr<TBlock>> FBlocks;
  TBlock *FMruHead = nullptr;
  TBlock *FMruTail = nullptr;
  std::vector<TBlock *> FDirtyList;            // blocks released dirty (some may be clean since)
  std::vector<std::unique_ptr<TBlock>> FPool;  // released objects for reuse
};

}  // namespace kura
