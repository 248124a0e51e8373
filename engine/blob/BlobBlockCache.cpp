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
constexpr int MruProbes = 4;
constexpr size_t EvictionScan = 8;

}  // namespace

TBlobBlockCache::TBlobBlockCache(IBlobBlockStore &store, uint32_t blockSize, bool encrypted, std::string tableName)
    : FStore(store), FBlockSize(blockSize), FEncrypted(encrypted), FTableName(std::move(tableName)) {}

void TBlobBlockCache::SetCapacity(size_t blocks) { FCapacity = std::max<size_t>(blocks, 1); }

size_t TBlobBlockCache::PinnedCount() const {
  size_t n = 0;
  for (const auto &b : FSorted) n += b->PinCount > 0;
  return n;
}

bool TBlobBlockCache::HasDirty() const {
  for (const auto &b : FSorted)
    if (b->Dirty) return true;
  return false;
}

size_t TBlobBlockCache::LowerIndex(int32_t n) const {
  auto it = std::lower_bound(FSorted.begin(), FSorted.end(), n,
                             [](const std::unique_ptr<TBlock> &b, int32_t v) { return b->BlockNumber < v; });
  return static_cast<size_t>(it - FSorted.begin());
}

TBlock *TBlobBlockCache::Find(int32_t n) const {
  // Cursors mostly come back to the blocks they just used.
  int probes = 0;
  for (TBlock *b = FMruHead; b != nullptr && probes < MruProbes; b = b->MruNext, ++probes)
    if (b->BlockNumber == n) return b;
  const size_t i = LowerIndex(n);
  if (i < FSorted.size() && FSorted[i]->BlockNumber == n) return FSorted[i].get();
  return nullptr;
}

bool TBlobBlockCache::IsCached(int32_t n) const { return Find(n) != nullptr; }

void TBlobBlockCache::LinkFront(TBlock *block) {
  block->MruPrev = nullptr;
  block->MruNext = FMruHead;
  if (FMruHead != nullptr) FMruHead->MruPrev = block;
  FMruHead = block;
  if (FMruTail == nullptr) FMruTail = block;
}

void TBlobBlockCache::Unlink(TBlock *block) {
  if (block->MruPrev != nullptr) block->MruPrev->MruNext = block->MruNext;
  else FMruHead = block->MruNext;
  if (block->MruNext != nullptr) block->MruNext->MruPrev = block->MruPrev;
  else FMruTail = block->MruPrev;
  block->MruPrev = block->MruNext = nullptr;
}

void TBlobBlockCache::Touch(TBlock *block) {
  if (FMruHead == block) return;
  Unlink(block);
  LinkFront(block);
}

void TBlobBlockCache::Evict(TBlock *block) {
  Unlink(block);
  const size_t i = LowerIndex(block->BlockNumber);
  std::unique_ptr<TBlock> owned = std::move(FSorted[i]);
  FSorted.erase(FSorted.begin() + static_cast<std::ptrdiff_t>(i));
  if (FPool.size() < PoolLimit) FPool.push_back(std::move(owned));
}

bool TBlobBlockCache::EvictOne(size_t scanLimit) {
  size_t scanned = 0;
  for (TBlock *b = FMruTail; b != nullptr && scanned < scanLimit; b = b->MruPrev, ++scanned) {
    if (b->PinCount == 0 && !b->Dirty) {
      Evict(b);
      return true;
    }
  }
  return false;
}

void TBlobBlockCache::MakeRoom() {
  if (FSorted.size() < FCapacity) return;
  // When the least recently used entries are all dirty, writing them is cheaper than searching
  // the whole chain for a clean one on every insertion.
  if (EvictOne(FHoldWrites ? SIZE_MAX : EvictionScan)) return;
  if (!FHoldWrites && WriteDirty() && EvictOne(SIZE_MAX)) return;
  if (EvictOne(SIZE_MAX)) return;
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
  TBlock *raw = block.get();
  const size_t i = LowerIndex(n);
  FSorted.insert(FSorted.begin() + static_cast<std::ptrdiff_t>(i), std::move(block));
  LinkFront(raw);
  return raw;
}

TBlock *TBlobBlockCache::Get(int32_t n, int32_t lastBlock, int32_t readAhead) {
  if (TBlock *hit = Find(n)) {
    Touch(hit);
    ++hit->PinCount;
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
      ++wanted->PinCount;  // keeps it while the rest of the run goes in
    }
  }
  Touch(wanted);
  return wanted;
}

TBlock *TBlobBlockCache::NewBlock(int32_t n) {
  TBlock *entry = Find(n);
  if (entry == nullptr) {
    entry = Insert(n);
  } else {
    const int pins = entry->PinCount;
    TBlock *prev = entry->MruPrev, *next = entry->MruNext;
    entry->Reset(n, DataBytes());
    entry->PinCount = pins;
    entry->MruPrev = prev;
    entry->MruNext = next;
    Touch(entry);
  }
  entry->Dirty = true;
  ++entry->PinCount;
  return entry;
}

void TBlobBlockCache::Release(TBlock *block) {
  if (block != nullptr && block->PinCount > 0) --block->PinCount;
}

bool TBlobBlockCache::WriteDirty() {
  bool wrote = false;
  std::vector<uint8_t> run;
  size_t i = 0;
  while (i < FSorted.size()) {
    TBlock *first = FSorted[i].get();
    if (!first->Dirty || first->PinCount > 0) {
      ++i;
      continue;
    }
    size_t j = i + 1;
    while (j < FSorted.size() && FSorted[j]->Dirty && FSorted[j]->PinCount == 0 &&
           FSorted[j]->BlockNumber == FSorted[j - 1]->BlockNumber + 1)
      ++j;
    run.assign((j - i) * FBlockSize, 0);
    for (size_t k = i; k < j; ++k) {
      uint8_t *raw = run.data() + (k - i) * FBlockSize;
      FSorted[k]->EncodeTo(raw, FBlockSize);
      if (FEncrypted) ScrambleBlobBlock(raw, FBlockSize);
    }
    FStore.WriteAt(BlobBlockOffset(first->BlockNumber, FBlockSize), run.data(), run.size());
    for (size_t k = i; k < j; ++k) FSorted[k]->Dirty = false;
    wrote = true;
    i = j;
  }
  return wrote;
}

void TBlobBlockCache::Clear() {
  std::vector<TBlock *> victims;
  for (const auto &b : FSorted)
    if (b->PinCount == 0) victims.push_back(b.get());
  for (TBlock *b : victims) Evict(b);
}

void TBlobBlockCache::Trim() {
  while (FSorted.size() > FCapacity && EvictOne(SIZE_MAX)) {
  }
}

}  // namespace kura
