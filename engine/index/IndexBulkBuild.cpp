// Sorting gathered index entries and writing them into a tree level by level.
#include "engine/index/IndexBulkBuild.h"

#include <algorithm>
#include <cstring>

#include "engine/index/IndexBytes.h"

namespace kura {

using namespace indexbytes;

TIndexEntryList::TIndexEntryList(int keyLength)
    : FKeyLength(keyLength), FStride(static_cast<size_t>(keyLength) + 4) {}

void TIndexEntryList::Reserve(size_t entries) {
  FData.reserve(entries * FStride);
  FOrder.reserve(entries);
}

void TIndexEntryList::Add(const uint8_t *key, uint32_t recordNumber) {
  const size_t at = FData.size();
  FData.resize(at + FStride);
  std::memcpy(FData.data() + at, key, static_cast<size_t>(FKeyLength));
  PutU32LE(FData.data() + at + FKeyLength, recordNumber);
  FOrder.push_back(static_cast<uint32_t>(FOrder.size()));
}

uint32_t TIndexEntryList::RecordNumber(size_t i) const { return GetU32LE(Key(i) + FKeyLength); }

void TIndexEntryList::Sort(const TIndexKeyDefinition &keys) {
  const size_t count = FOrder.size();
  if (count < 2) return;
  auto at = [&](uint32_t place) { return FData.data() + static_cast<size_t>(place) * FStride; };
  auto recordAt = [&](uint32_t place) { return GetU32LE(at(place) + FKeyLength); };
  if (!keys.UsesLocale()) {
    // Bytewise keys: the first eight bytes as one number decide most comparisons without a
    // call; only keys that agree on them are compared in full.
    struct TSortItem {
      uint64_t Prefix;
      uint32_t Place;
    };
    const int prefixBytes = std::min(FKeyLength, 8);
    std::vector<TSortItem> items(count);
    for (size_t i = 0; i < count; ++i) {
      const uint8_t *key = at(FOrder[i]);
      uint64_t v = 0;
      for (int j = 0; j < prefixBytes; ++j) v = (v << 8) | key[j];
      v <<= 8 * (8 - prefixBytes);
      items[i] = TSortItem{keys.Descending ? ~v : v, FOrder[i]};
    }
    const bool longKeys = FKeyLength > 8;
    auto less = [&](const TSortItem &a, const TSortItem &b) {
      if (a.Prefix != b.Prefix) return a.Prefix < b.Prefix;
      if (longKeys) {
        const int c = keys.Compare(at(a.Place), at(b.Place), FKeyLength);
        if (c != 0) return c < 0;
      }
      return recordAt(a.Place) < recordAt(b.Place);
    };
    // Keys gathered in slot order are often in order already (the system record index).
    if (!std::is_sorted(items.begin(), items.end(), less)) std::sort(items.begin(), items.end(), less);
    for (size_t i = 0; i < count; ++i) FOrder[i] = items[i].Place;
  } else {
    std::sort(FOrder.begin(), FOrder.end(), [&](uint32_t a, uint32_t b) {
      const int c = keys.Compare(at(a), at(b), FKeyLength);
      if (c != 0) return c < 0;
      return recordAt(a) < recordAt(b);
    });
  }
  // The entries are moved into the sorted order along the permutation's cycles (each entry once,
  // no second copy), so that everything after reads them in sequence. A list filtered before
  // sorting keeps only some of its entries and is read through the order as it is.
  if (count * FStride != FData.size()) return;
  std::vector<uint8_t> held(FStride);
  for (size_t i = 0; i < count; ++i) {
    if (FOrder[i] == i) continue;
    std::memcpy(held.data(), at(static_cast<uint32_t>(i)), FStride);
    size_t to = i;
    for (;;) {
      const uint32_t from = FOrder[to];
      FOrder[to] = static_cast<uint32_t>(to);
      if (from == i) {
        std::memcpy(FData.data() + to * FStride, held.data(), FStride);
        break;
      }
      std::memcpy(FData.data() + to * FStride, at(from), FStride);
      to = from;
    }
  }
}

std::vector<uint32_t> TIndexEntryList::RemoveDuplicates(const TIndexKeyDefinition &keys) {
  std::vector<uint32_t> dropped;
  size_t out = 0;
  for (size_t i = 0; i < FOrder.size(); ++i) {
    // Later equal keys are compared with the last entry kept.
    if (out > 0 && keys.Compare(Key(out - 1), Key(i), FKeyLength) == 0) {
      dropped.push_back(RecordNumber(i));
      continue;
    }
    FOrder[out++] = FOrder[i];
  }
  FOrder.resize(out);
  std::sort(dropped.begin(), dropped.end());
  return dropped;
}

std::vector<uint32_t> TIndexEntryList::KeyRanks(const TIndexKeyDefinition &keys) const {
  std::vector<uint32_t> ranks(FOrder.size());
  uint32_t rank = 0;
  for (size_t i = 0; i < FOrder.size(); ++i) {
    if (i > 0 && keys.Compare(Key(i - 1), Key(i), FKeyLength) != 0) ++rank;
    ranks[i] = rank;
  }
  return ranks;
}

namespace {

// Writes one level of the tree left to right. Two pages stay pinned: the one being filled and
// the one before it, which may still give entries to the last page when the level ends.
class TLevelWriter {
 public:
  TLevelWriter(TIndexPageCache &cache, int indexNo, bool leaves, bool counts)
      : FCache(cache), FIndexNo(indexNo), FLeaves(leaves), FCounts(counts),
        FStride(static_cast<size_t>(cache.Format(indexNo).InteriorStride())) {}

  void Add(const uint8_t *key, uint32_t value, uint32_t count) {
    if (!FCurrent) NextPage();
    TPage *page = FCurrent.Get();
    page->InsertEntry(page->Count(), key, value, count);
    if (!page->Overflows()) return;
    page->RemoveEntry(page->Count() - 1);
    if (page->Count() == 0) FCache.RaiseCorrupt();  // one entry larger than a page
    NextPage();
    FCurrent->InsertEntry(0, key, value, count);
  }

  // Ends the level; true when it has a single page, which then became the root.
  bool Finish() {
    if (!FCurrent) return false;
    TPage &last = *FCurrent;
    const bool fixedSize = !(FLeaves && last.Format.CompressedLeaves());
    if (FPrevious && fixedSize && last.Count() < last.Capacity() / 2) {
      TPage &before = *FPrevious;
      const int wanted = (before.Count() + last.Count()) / 2;
      before.MoveTailTo(last, before.Count() - (wanted - last.Count()));
    }
    if (FPages == 1) {
      last.Type = FLeaves ? PageRootLeaf : PageRootInterior;
      FCache.MarkDirty(last);
      FCache.Descriptor(FIndexNo).RootPage = static_cast<int32_t>(last.PageNo);
      FCache.MarkHeaderDirty();
      FCurrent.Release();
      return true;
    }
    Seal(FPrevious);
    Seal(FCurrent);
    return false;
  }

  // One entry per page of this level: its lowest key, its page number, the keys below it.
  const std::vector<uint8_t> &Parents() const { return FParents; }
  size_t ParentCount() const { return FParents.size() / FStride; }

 private:
  void NextPage() {
    Seal(FPrevious);
    TPageRef fresh = FCache.AllocatePage(FIndexNo, FLeaves ? PageLeaf : PageInterior);
    if (FCurrent) {
      FCurrent->NextPage = static_cast<int32_t>(fresh->PageNo);
      fresh->PrevPage = static_cast<int32_t>(FCurrent->PageNo);
    }
    FPrevious = std::move(FCurrent);
    FCurrent = std::move(fresh);
    ++FPages;
  }

  void Seal(TPageRef &ref) {
    if (!ref) return;
    TPage &page = *ref;
    const size_t at = FParents.size();
    FParents.resize(at + FStride);
    const int k = page.Format.KeyLength;
    std::memcpy(FParents.data() + at, page.Key(0), static_cast<size_t>(k));
    PutU32LE(FParents.data() + at + k, page.PageNo);
    PutU32LE(FParents.data() + at + k + 4, FCounts ? static_cast<uint32_t>(page.SubtreeKeys()) : 0);
    FCache.MarkDirty(page);
    ref.Release();
  }

  TIndexPageCache &FCache;
  int FIndexNo;
  bool FLeaves;
  bool FCounts;
  size_t FStride;
  TPageRef FPrevious, FCurrent;
  int64_t FPages = 0;
  std::vector<uint8_t> FParents;
};

}  // namespace

void BuildIndexFromSorted(TIndexPageCache &cache, int indexNo, const TIndexKeyDefinition &keys,
                          const TIndexEntryList &sorted) {
  TIndexDescriptor &d = cache.Descriptor(indexNo);
  const int k = keys.KeyLength();
  if (d.RootPage != 0 || d.KeyLength != k || d.FullText) cache.RaiseCorrupt();
  if (sorted.Empty()) return;
  const bool counts = !d.NoCounts;
  // The order is checked before any page is taken, so that a refused list leaves no trace.
  for (size_t i = 1; i < sorted.Size(); ++i)
    if (keys.Compare(sorted.Key(i - 1), sorted.Key(i), k) >= 0) cache.RaiseCorrupt();
  TLevelWriter leaves(cache, indexNo, true, counts);
  for (size_t i = 0; i < sorted.Size(); ++i) leaves.Add(sorted.Key(i), sorted.RecordNumber(i), 0);
  if (leaves.Finish()) return;
  std::vector<uint8_t> level = leaves.Parents();
  size_t entries = leaves.ParentCount();
  const size_t stride = static_cast<size_t>(k) + 8;
  for (int depth = 1;; ++depth) {
    if (depth >= 64) cache.RaiseCorrupt();
    TLevelWriter interior(cache, indexNo, false, counts);
    for (size_t i = 0; i < entries; ++i) {
      const uint8_t *e = level.data() + i * stride;
      interior.Add(e, GetU32LE(e + k), GetU32LE(e + k + 4));
    }
    if (interior.Finish()) return;
    level = interior.Parents();
    entries = interior.ParentCount();
  }
}

}  // namespace kura
