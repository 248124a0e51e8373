// Record cache: hash map, recency list of evictable entries, list of changed entries.
#include "engine/data/RecordCache.h"

#include <algorithm>

namespace kura {

TRecordStack::~TRecordStack() {
  for (TRecord *r : FRecords) delete r;
}

TRecord *TRecordStack::Take(TDataFile *owner, size_t recordSize) {
  TRecord *record;
  if (FRecords.empty()) {
    record = new TRecord();
  } else {
    record = FRecords.back();
    FRecords.pop_back();
  }
  record->Owner = owner;
  record->RecordNumber = 0;
  record->Dirty = false;
  record->PinCount = 0;
  record->InCache = false;
  record->Image.assign(recordSize, 0);
  record->Newer = record->Older = nullptr;
  record->FList = 0;
  return record;
}

void TRecordStack::Give(TRecord *record) {
  if (FRecords.size() < kMaxPooled)
    FRecords.push_back(record);
  else
    delete record;
}

void TRecordCache::Link(TRecord *r, uint8_t list) {
  TList &l = ListOf(list);
  r->Newer = nullptr;
  r->Older = l.Newest;
  if (l.Newest) l.Newest->Newer = r;
  l.Newest = r;
  if (!l.Oldest) l.Oldest = r;
  ++l.Count;
  r->FList = list;
}

void TRecordCache::Unlink(TRecord *r) {
  if (r->FList == kNone) return;
  TList &l = ListOf(r->FList);
  if (r->Newer) r->Newer->Older = r->Older;
  else l.Newest = r->Older;
  if (r->Older) r->Older->Newer = r->Newer;
  else l.Oldest = r->Newer;
  r->Newer = r->Older = nullptr;
  --l.Count;
  r->FList = kNone;
}

void TRecordCache::Place(TRecord *r) {
  const uint8_t wanted = r->Dirty ? kDirtyList : (r->PinCount == 0 ? kLru : kNone);
  if (r->FList == wanted) {
    // A clean entry released again becomes the most recently used.
    if (wanted == kLru && FLru.Newest != r) {
      Unlink(r);
      Link(r, kLru);
    }
    return;
  }
  Unlink(r);
  if (wanted != kNone) Link(r, wanted);
}

size_t TRecordCache::SlotOf(int32_t key) const {
  // Fibonacci hashing: consecutive record numbers spread over the whole table.
  const uint64_t h = static_cast<uint64_t>(static_cast<uint32_t>(key)) * 0x9E3779B97F4A7C15ULL;
  return static_cast<size_t>(h >> 32) & (FSlots.size() - 1);
}

void TRecordCache::Grow() {
  std::vector<TSlot> old;
  old.swap(FSlots);
  FSlots.assign(old.empty() ? 64 : old.size() * 2, TSlot());
  const size_t mask = FSlots.size() - 1;
  for (const TSlot &s : old) {
    if (s.Key == 0) continue;
    size_t i = SlotOf(s.Key);
    while (FSlots[i].Key != 0) i = (i + 1) & mask;
    FSlots[i] = s;
  }
}

void TRecordCache::EraseSlot(size_t i) {
  // Backward shift: the entries after the hole that probed past it move up, so lookups never
  // need tombstones.
  const size_t mask = FSlots.size() - 1;
  size_t hole = i;
  for (size_t j = (i + 1) & mask; FSlots[j].Key != 0; j = (j + 1) & mask) {
    const size_t home = SlotOf(FSlots[j].Key);
    // j's entry may fill the hole when its home does not lie cyclically in (hole, j].
    const bool between = hole <= j ? (home > hole && home <= j) : (home > hole || home <= j);
    if (!between) {
      FSlots[hole] = FSlots[j];
      hole = j;
    }
  }
  FSlots[hole] = TSlot();
  --FCount;
}

TRecord *TRecordCache::Find(int32_t n) const {
  if (FCount == 0 || n == 0) return nullptr;
  const size_t mask = FSlots.size() - 1;
  for (size_t i = SlotOf(n); FSlots[i].Key != 0; i = (i + 1) & mask)
    if (FSlots[i].Key == n) return FSlots[i].Record;
  return nullptr;
}

void TRecordCache::Insert(TRecord *r) {
  if ((FCount + 1) * 2 > FSlots.size()) Grow();
  const size_t mask = FSlots.size() - 1;
  size_t i = SlotOf(r->RecordNumber);
  while (FSlots[i].Key != 0 && FSlots[i].Key != r->RecordNumber) i = (i + 1) & mask;
  if (FSlots[i].Key == 0) ++FCount;
  FSlots[i] = TSlot{r->RecordNumber, r};
  r->InCache = true;
  r->FList = kNone;
  Place(r);
}

void TRecordCache::Remove(TRecord *r) {
  if (FCount > 0) {
    const size_t mask = FSlots.size() - 1;
    for (size_t i = SlotOf(r->RecordNumber); FSlots[i].Key != 0; i = (i + 1) & mask) {
      if (FSlots[i].Key != r->RecordNumber) continue;
      if (FSlots[i].Record == r) EraseSlot(i);
      break;
    }
  }
  Unlink(r);
  r->InCache = false;
}

void TRecordCache::Pin(TRecord *r) {
  ++r->PinCount;
  if (r->InCache && r->FList == kLru) Unlink(r);
}

void TRecordCache::Unpin(TRecord *r) {
  if (r->PinCount > 0) --r->PinCount;
  if (r->InCache && r->PinCount == 0) Place(r);
}

void TRecordCache::MarkDirty(TRecord *r) {
  r->Dirty = true;
  if (r->InCache && r->FList != kDirtyList) Place(r);
}

void TRecordCache::MarkClean(TRecord *r) {
  r->Dirty = false;
  if (r->InCache) Place(r);
}

std::vector<TRecord *> TRecordCache::EvictOldest(size_t count) {
  std::vector<TRecord *> victims;
  while (victims.size() < count && FLru.Oldest) {
    TRecord *r = FLru.Oldest;
    Remove(r);
    victims.push_back(r);
  }
  return victims;
}

std::vector<TRecord *> TRecordCache::DirtyRecords(bool includePinned) const {
  // Sorted with their numbers beside them: a comparison that followed both pointers would wait
  // on memory every time once the changed records no longer fit the processor's caches.
  std::vector<std::pair<int32_t, TRecord *>> numbered;
  numbered.reserve(FDirty.Count);
  for (TRecord *r = FDirty.Oldest; r; r = r->Newer)
    if (includePinned || r->PinCount == 0) numbered.emplace_back(r->RecordNumber, r);
  std::sort(numbered.begin(), numbered.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
  std::vector<TRecord *> dirty;
  dirty.reserve(numbered.size());
  for (const auto &entry : numbered) dirty.push_back(entry.second);
  return dirty;
}

bool TRecordCache::HasUnpinnedDirtyIn(int32_t first, int32_t last) const {
  if (FDirty.Count == 0) return false;
  // Whichever is shorter: the changed entries, or the numbers of the range.
  if (static_cast<int64_t>(FDirty.Count) <= static_cast<int64_t>(last) - first + 1) {
    for (TRecord *r = FDirty.Oldest; r; r = r->Newer)
      if (r->PinCount == 0 && r->RecordNumber >= first && r->RecordNumber <= last) return true;
    return false;
  }
  for (int32_t n = first; n <= last; ++n) {
    const TRecord *r = Find(n);
    if (r && r->Dirty && r->PinCount == 0) return true;
  }
  return false;
}

std::vector<TRecord *> TRecordCache::RemoveAll() {
  std::vector<TRecord *> all;
  all.reserve(FCount);
  for (TSlot &s : FSlots) {
    if (s.Key == 0) continue;
    TRecord *r = s.Record;
    r->Newer = r->Older = nullptr;
    r->FList = kNone;
    r->InCache = false;
    all.push_back(r);
    s = TSlot();
  }
  FCount = 0;
  FLru = TList();
  FDirty = TList();
  return all;
}

}  // namespace kura
