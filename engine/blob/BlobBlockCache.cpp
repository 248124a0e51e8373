// Blob block cache.
#include "engine/blob/BlobBlockCache.h"

#include <algorithm>

#include "engine/blob/BlobFormat.h"
#include "engine/crypt/TableScrambling.h"
#include "engine/errors/EngineError.h"

namespace kura {
namespace {

constexpr size_t PoolLimit = 64;
constexpr size_t CapacityStep = 64;
// A run longer than this is written in parts, so that neither the write buffer nor what the
// post journal takes of one write grows with the value.
constexpr size_t MaxRunBytes = 1u << 20;

}  // namespace

TBlobBlockCache::TBlobBlockCache(IBlobBlockStore &store, uint32_t blockSize, bool encrypted, std::string tableName)
    : FStore(store), FBlockSize(blockSize), FEncrypted(encrypted), FTableName(std::move(tableName)) {}

void TBlobBlockCache::SetCapacity(size_t blocks) { FConfigured = FCapacity = std::max<size_t>(blocks, 1); }

size_t TBlobBlockCache::PinnedCount() const {
  size_t n = 0;
  for (const auto &[number, b] : FBlocks) n += b->PinCount > 0;
  return n;
}

bool TBlobBlockCache::HasDirty() const {
  for (const auto &[number, b] : FBlocks)
    if (b->Dirty) return true;
  return false;
}

TBlock *TBlobBlockCache::Find(int32_t n) const {
  auto it = FBlocks.find(n);
  return it == FBlocks.end() ? nullptr : it->second.get();
}

bool TBlobBlockCache::IsCached(int32_t n) const { return Find(n) != nullptr; }

void TBlobBlockCache::LinkFront(TBlock *block) {
  block->MruPrev = nullptr;
  block->MruNext = FMruHead;
  if (FMruHead != nullptr) FMruHead->MruPrev = block;
  FMruHead = block;
  if (FMruTail == nullptr) FMruTail = block;
  block->OnMru = true;
}

void TBlobBlockCache::Unlink(TBlock *block) {
  if (!block->OnMru) return;
  if (block->MruPrev != nullptr) block->MruPrev->MruNext = block->MruNext;
  else FMruHead = block->MruNext;
  if (block->MruNext != nullptr) block->MruNext->MruPrev = block->MruPrev;
  else FMruTail = block->MruPrev;
  block->MruPrev = block->MruNext = nullptr;
  block->OnMru = false;
}

void TBlobBlockCache::Pin(TBlock *block) {
  ++block->PinCount;
  Unlink(block);
}

void TBlobBlockCache::Place(TBlock *block) {
  if (block->PinCount > 0) return;
  if (block->Dirty) {
    Unlink(block);
    if (!block->OnDirtyList) {
      FDirtyList.push_back(block);
      block->OnDirtyList = true;
    }
    return;
  }
  if (FMruHead == block) return;
  Unlink(block);
  LinkFront(block);
}

void TBlobBlockCache::Evict(TBlock *block) {
  // The caller keeps the changed list right (only clean blocks are evicted one by one).
  Unlink(block);
  auto it = FBlocks.find(block->BlockNumber);
  std::unique_ptr<TBlock> owned = std::move(it->second);
  FBlocks.erase(it);
  if (FPool.size() < PoolLimit) FPool.push_back(std::move(owned));
}

bool TBlobBlockCache::EvictOldest() {
  // Entries of the recency list were clean and unpinned when they joined it; one changed since
  // (by a caller that held no pin) moves to the changed list as it is passed, once.
  while (TBlock *b = FMruTail) {
    if (b->PinCount == 0 && !b->Dirty && !b->OnDirtyList) {
      Evict(b);
      return true;
    }
    Unlink(b);
    Place(b);
  }
  return false;
}

void TBlobBlockCache::MakeRoom() {
  if (FBlocks.size() < FCapacity) return;
  if (EvictOldest()) return;
  // A transaction's changed blocks go out only where the journal gathers them (see
  // IBlobBlockStore::WritesGathered): then its memory stays bounded however much it writes.
  if ((!FHoldWrites || FStore.WritesGathered()) && WriteDirty() && EvictOldest()) return;
  FCapacity += CapacityStep;  // everything is pinned or must stay dirty
}

TBlock *TBlobBlockCache::Insert(int32_t n) {
  MakeRoom();
  std::unique_ptr<TBlock> block;
  if (!FPool.empty()) {
    block = std::move(FPool.back());
    FPool.pop_back();
  } else {
    block = std::make_unique<TBlock>();
  }
  block->Reset(n, DataBytes());
  block->MruPrev = block->MruNext = nullptr;
  block->OnMru = block->OnDirtyList = false;
  TBlock *raw = block.get();
  FBlocks[n] = std::move(block);
  LinkFront(raw);
  return raw;
}

TBlock *TBlobBlockCache::Get(int32_t n, int32_t lastBlock, int32_t readAhead) {
  if (TBlock *hit = Find(n)) {
    Pin(hit);
    return hit;
  }
  // Reading more than the cache can keep would only throw blocks away again.
  const int64_t runLength = std::clamp<int64_t>(readAhead, 1, static_cast<int64_t>(FCapacity));
  const int64_t runEnd = std::min<int64_t>(lastBlock, static_cast<int64_t>(n) + runLength - 1);
  const size_t count = static_cast<size_t>(std::max<int64_t>(runEnd - n + 1, 1));
  // Blocks that are dirty or in use now keep their cached contents. This is decided before the
  // read: making room for the run may write such a block and evict it, and then the bytes read
  // for it here are older than the file.
  std::vector<bool> keep(count, false);
  for (size_t i = 1; i < count; ++i) {
    const TBlock *cached = Find(n + static_cast<int32_t>(i));
    keep[i] = cached != nullptr && (cached->Dirty || cached->PinCount > 0);
  }
  std::vector<uint8_t> run(count * FBlockSize);
  const size_t got = FStore.ReadAt(BlobBlockOffset(n, FBlockSize), run.data(), run.size());
  const size_t whole = got / FBlockSize;
  if (whole == 0) {
    ErrorTexts texts;
    texts.Table = FTableName;
    RaiseEngineErrorOS(KURA_READERR, 0, texts);
  }
  TBlock *wanted = nullptr;
  for (size_t i = 0; i < whole; ++i) {
    if (keep[i]) continue;
    const int32_t k = n + static_cast<int32_t>(i);
    TBlock *entry = i == 0 ? nullptr : Find(k);
    if (entry != nullptr && (entry->Dirty || entry->PinCount > 0)) continue;
    uint8_t *raw = run.data() + i * FBlockSize;
    if (FEncrypted) ScrambleBlobBlock(raw, FBlockSize);
    if (entry == nullptr) entry = Insert(k);
    entry->DecodeFrom(raw, FBlockSize);
    if (i == 0) {
      wanted = entry;
      Pin(wanted);  // keeps it while the rest of the run goes in
    }
  }
  return wanted;
}

TBlock *TBlobBlockCache::NewBlock(int32_t n) {
  TBlock *entry = Find(n);
  if (entry == nullptr) {
    entry = Insert(n);
  } else {
    const int pins = entry->PinCount;
    entry->Reset(n, DataBytes());
    entry->PinCount = pins;
  }
  entry->Dirty = true;
  Pin(entry);
  return entry;
}

void TBlobBlockCache::Release(TBlock *block) {
  if (block == nullptr || block->PinCount <= 0) return;
  --block->PinCount;
  if (FBlocks.count(block->BlockNumber) != 0) Place(block);
}

void TBlobBlockCache::ShrinkToCapacity() {
  while (FBlocks.size() > FConfigured && EvictOldest()) {
  }
  FCapacity = std::max(FConfigured, FBlocks.size());
}

bool TBlobBlockCache::WriteDirty() {
  std::vector<TBlock *> dirty;
  std::vector<TBlock *> still;  // changed, but pinned: they stay on the list
  for (TBlock *b : FDirtyList) {
    if (b->Dirty && b->PinCount == 0) {
      dirty.push_back(b);
      b->OnDirtyList = false;
    } else if (b->Dirty) {
      still.push_back(b);
    } else {
      b->OnDirtyList = false;
    }
  }
  FDirtyList.swap(still);
  if (dirty.empty()) return false;
  std::sort(dirty.begin(), dirty.end(), [](const TBlock *a, const TBlock *b) { return a->BlockNumber < b->BlockNumber; });
  const size_t maxBlocks = std::max<size_t>(1, MaxRunBytes / FBlockSize);
  std::vector<uint8_t> run;
  size_t i = 0;
  try {
    while (i < dirty.size()) {
      size_t j = i + 1;
      while (j < dirty.size() && j - i < maxBlocks && dirty[j]->BlockNumber == dirty[j - 1]->BlockNumber + 1) ++j;
      run.assign((j - i) * FBlockSize, 0);
      for (size_t k = i; k < j; ++k) {
        uint8_t *raw = run.data() + (k - i) * FBlockSize;
        dirty[k]->EncodeTo(raw, FBlockSize);
        if (FEncrypted) ScrambleBlobBlock(raw, FBlockSize);
      }
      FStore.WriteAt(BlobBlockOffset(dirty[i]->BlockNumber, FBlockSize), run.data(), run.size());
      for (size_t k = i; k < j; ++k) {
        TBlock *b = dirty[k];
        b->Dirty = false;
        Unlink(b);
        LinkFront(b);
      }
      i = j;
      // The blocks just written can go again: a large change leaves the cache as it is written.
      if (FBlocks.size() > FConfigured) ShrinkToCapacity();
    }
  } catch (...) {
    // What was not written stays changed.
    for (size_t k = i; k < dirty.size(); ++k) {
      if (!dirty[k]->OnDirtyList) {
        FDirtyList.push_back(dirty[k]);
        dirty[k]->OnDirtyList = true;
      }
    }
    throw;
  }
  ShrinkToCapacity();
  return true;
}

void TBlobBlockCache::Clear() {
  std::vector<TBlock *> victims;
  for (const auto &[number, b] : FBlocks)
    if (b->PinCount == 0) victims.push_back(b.get());
  std::vector<TBlock *> kept;
  for (TBlock *b : FDirtyList) {
    if (b->PinCount > 0) kept.push_back(b);
    else b->OnDirtyList = false;
  }
  FDirtyList.swap(kept);
  for (TBlock *b : victims) Evict(b);
  FCapacity = std::max(FConfigured, FBlocks.size());
}

void TBlobBlockCache::Trim() {
  while (FBlocks.size() > FCapacity && EvictOldest()) {
  }
  if (!FHoldWrites) ShrinkToCapacity();
}

}  // namespace kura
