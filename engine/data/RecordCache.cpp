// Record cache with recency probe and record pool.
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
  record->KeyBuffer.clear();
  record->Newer = record->Older = nullptr;
  return record;
}

void TRecordStack::Give(TRecord *record) {
  if (FRecords.size() < kMaxPooled)
    FRecords.push_back(record);
  else
    delete record;
}

void TRecordCache::Unlink(TRecord *r) {
  if (r->Newer) r->Newer->Older = r->Older;
  else FNewest = r->Older;
  if (r->Older) r->Older->Newer = r->Newer;
  else FOldest = r->Newer;
  r->Newer = r->Older = nullptr;
}

void TRecordCache::LinkFront(TRecord *r) {
  r->Newer = nullptr;
  r->Older = FNewest;
  if (FNewest) FNewest->Newer = r;
  FNewest = r;
  if (!FOldest) FOldest = r;
}

void TRecordCache::Touch(TRecord *r) {
  if (FNewest == r) return;
  Unlink(r);
  LinkFront(r);
}

TRecord *TRecordCache::Find(int32_t n) {
  int probes = 0;
  for (TRecord *r = FNewest; r && probes < 4; r = r->Older, ++probes) {
    if (r->RecordNumber == n) {
      Touch(r);
      return r;
    }
  }
  auto it = std::lower_bound(FSorted.begin(), FSorted.end(), n,
                             [](const TRecord *r, int32_t value) { return r->RecordNumber < value; });
  if (it == FSorted.end() || (*it)->RecordNumber != n) return nullptr;
  Touch(*it);
  return *it;
}

void TRecordCache::Insert(TRecord *r) {
  auto it = std::lower_bound(FSorted.begin(), FSorted.end(), r->RecordNumber,
                             [](const TRecord *x, int32_t value) { return x->RecordNumber < value; });
  FSorted.insert(it, r);
  LinkFront(r);
  r->InCache = true;
}

void TRecordCache::Remove(TRecord *r) {
  auto it = std::lower_bound(FSorted.begin(), FSorted.end(), r->RecordNumber,
                             [](const TRecord *x, int32_t value) { return x->RecordNumber < value; });
  if (it != FSorted.end() && *it == r) FSorted.erase(it);
  Unlink(r);
  r->InCache = false;
}

std::vector<TRecord *> TRecordCache::EvictOldest(size_t count) {
  std::vector<TRecord *> victims;
  for (TRecord *r = FOldest; r && victims.size() < count; r = r->Newer)
    if (!r->Dirty && r->PinCount == 0) victims.push_back(r);
  for (TRecord *r : victims) {
    Unlink(r);
    r->InCache = false;
  }
  FSorted.erase(std::remove_if(FSorted.begin(), FSorted.end(), [](const TRecord *r) { return !r->InCache; }),
                FSorted.end());
  return victims;
}

std::vector<TRecord *> TRecordCache::RemoveAll() {
  std::vector<TRecord *> all;
  all.swap(FSorted);
  for (TRecord *r : all) {
    r->Newer = r->Older = nullptr;
    r->InCache = false;
  }
  FNewest = FOldest = nullptr;
  return all;
}

TRecord *TRecordCache::Evictable() {
  // Entries that cannot go (changed and not yet written, or pinned) are moved to the front as
  // they are passed, so that a long transaction's changed records are not walked again at every
  // eviction. They cannot be evicted anyway, and once written they only count as recently
  // used. After kMaxPassed of them in a row the search gives up: the cache is then mostly
  // changed records, and growing it is cheaper than walking them (a long UPDATE would
  // otherwise walk its changed records at every record it reads).
  constexpr int kMaxPassed = 256;
  TRecord *r = FOldest;
  TRecord *const stop = FNewest;
  int passed = 0;
  while (r) {
    TRecord *next = r->Newer;
    if (!r->Dirty && r->PinCount == 0) return r;
    if (r == stop || ++passed > kMaxPassed) break;
    Touch(r);
    r = next;
  }
  return nullptr;
}

}  // namespace kura
