// Reading the B+-tree: descent, positions, moving along the leaf chain, counts.
#include <cstring>

#include "engine/index/IndexBytes.h"
#include "engine/index/IndexTree.h"
#include "engine/index/IndexPageChecks.h"

namespace kura {

TIndexTree::TIndexTree(TIndexPageCache &cache, int indexNo, const TIndexKeyDefinition &keys)
    : FCache(cache), FIndexNo(indexNo), FKeys(keys), FKeyLength(keys.KeyLength()) {
  if (indexNo < 0 || indexNo >= kIndexSlots) Corrupt();
  if (FKeyLength < 1 || FKeyLength > kMaxKeyLength + 4) Corrupt();
  if (FCache.Descriptor(indexNo).KeyLength != FKeyLength) Corrupt();
}

TIndexDescriptor &TIndexTree::Desc() { return FCache.Descriptor(FIndexNo); }

int32_t TIndexTree::RootPage() const { return FCache.Header().Descriptors[FIndexNo].RootPage; }

void TIndexTree::CheckKeyOrder(TPage &page) {
  if (page.KeysChecked) return;
  if (IndexPageChecksEnabled()) {
    const int n = page.Count();
    if (!FKeys.UsesLocale() && FKeyLength <= 8) {
      if (!ShortKeysInOrder(page.Entries.data(), n, static_cast<size_t>(page.Stride()), FKeyLength, FKeys.Descending,
                            false))
        Corrupt();
    } else {
      for (int i = 1; i < n; ++i)
        if (Cmp(page.Key(i - 1), page.Key(i), FKeyLength) >= 0) Corrupt();
    }
  }
  page.KeysChecked = true;
}

TPageRef TIndexTree::Fetch(int32_t pageNo, bool likelyLeaf) {
  // Short keys that compare bytewise are checked while a page is decoded (the same check as
  // below, in the pass that copies the entries).
  int keyOrder = 0;
  if (IndexPageChecksEnabled() && !FKeys.UsesLocale() && FKeyLength <= 8) keyOrder = FKeys.Descending ? -1 : 1;
  TPageRef page = FCache.GetPage(FIndexNo, pageNo, keyOrder, likelyLeaf);
  CheckKeyOrder(*page);
  return page;
}

TPageRef TIndexTree::LoadPage(int32_t pageNo, bool expectRoot, int depth, bool likelyLeaf) {
  if (depth >= kMaxDepth) Corrupt();
  TPageRef page = Fetch(pageNo, likelyLeaf);
  if (page->Free || page->Count() == 0) Corrupt();
  if (page->IsRoot() != expectRoot) Corrupt();
  return page;
}

TPageRef TIndexTree::LoadChild(const TPage &parent, int i, int depth) {
  TPageRef child = LoadPage(static_cast<int32_t>(parent.Value(i)), false, depth, depth == FCache.LeafDepth(FIndexNo));
  // Pages in memory change only through this tree, which keeps parent entries right: a child
  // is checked against its parent entry once after either of them was read from disk.
  if (IndexPageChecksEnabled() && (child->CheckedUnder != parent.LoadSerial || parent.LoadSerial == 0)) {
    TPage &c = *child;
    if (std::memcmp(parent.Key(i), c.Key(0), static_cast<size_t>(FKeyLength)) != 0) Corrupt();
    if (i + 1 < parent.Count() && Cmp(c.Key(c.Count() - 1), parent.Key(i + 1), FKeyLength) >= 0) Corrupt();
    if (!Desc().NoCounts && !Desc().FullText && static_cast<int64_t>(parent.KeyCount(i)) != c.SubtreeKeys())
      Corrupt();
    c.CheckedUnder = parent.LoadSerial;
  }
  return child;
}

TPageRef TIndexTree::LoadLeafNeighbour(int32_t pageNo) {
  TPageRef page = Fetch(pageNo);
  if (page->Free || page->Count() == 0 || page->Type != PageLeaf) Corrupt();
  return page;
}

namespace {

// A search key prepared for the binary search of one page. Keys without a collation compare
// bytewise, and then without a call per probe: up to 16 bytes as one or two big-endian numbers,
// longer ones with memcmp. Every key is followed by at least its 4-byte value and the entries by
// 8 spare bytes, so 8-byte loads from the first 16 bytes of a key of at least 9 bytes (or from
// the first 8 of any key) stay inside them.
class TKeyProbe {
 public:
  TKeyProbe(const TIndexKeyDefinition &keys, const uint8_t *key, int length)
      : FKeys(keys), FKey(key), FLength(length) {
    if (keys.UsesLocale() || length <= 0) {
      FMode = length <= 0 ? Equal : Collated;
      return;
    }
    FDescending = keys.Descending;
    if (length > 16) {
      FMode = Bytes;
      return;
    }
    uint8_t padded[16] = {};
    std::memcpy(padded, key, static_cast<size_t>(length));
    if (length <= 8) {
      FMode = OneNumber;
      FShift = 8 * (8 - length);
      FHigh = Load(padded) >> FShift;
    } else {
      FMode = TwoNumbers;
      FShift = 8 * (16 - length);
      FHigh = Load(padded);
      FLow = Load(padded + 8) >> FShift;
    }
  }

  // Keys of at most 8 bytes compared as one number (no collation).
  bool IsOneNumber() const { return FMode == OneNumber; }
  // The first entry of the page for which before(entry) is false, where every entry for which it
  // holds comes first: OneNumber keys only, searched without a branch on the comparisons (a
  // binary search's branches go either way at random and cost a misprediction a step).
  // orEqual: entries equal to the search key count as before it too.
  // wholePage: the page may have left the processor's cache; all of it is asked for at once.
  int FirstNotBefore(const TPage &page, bool orEqual, bool wholePage = false) const {
    const int count = page.Count();
    if (count == 0) return 0;
    const size_t stride = static_cast<size_t>(page.Stride());
    const uint8_t *const entries = page.Entries.data();
    const uint64_t key = FHigh;
    const int shift = FShift;
    const bool descending = FDescending;
    auto before = [&](size_t i) {
      const uint64_t v = Load(entries + i * stride) >> shift;
      const bool less = descending ? v > key : v < key;
      return less || (orEqual && v == key);
    };
    size_t base = 0, n = static_cast<size_t>(count);
    if (wholePage && count >= 64) {
      // Two waits for memory instead of one a step: 15 keys spread over the page are asked for
      // together and give the sixteenth that holds the answer, whose lines are then asked for
      // together and searched.
      constexpr size_t kParts = 16;
      size_t at[kParts];
      for (size_t p = 1; p < kParts; ++p) {
        at[p] = p * n / kParts;
        __builtin_prefetch(entries + at[p] * stride);
      }
      size_t lo = 0, hi = n;
      for (size_t p = 1; p < kParts; ++p) {
        if (!before(at[p])) {
          hi = at[p];
          break;
        }
        lo = at[p] + 1;
      }
      const uint8_t *const end = entries + hi * stride + 8;
      for (const uint8_t *line = entries + lo * stride; line < end; line += 64) __builtin_prefetch(line);
      __builtin_prefetch(end - 1);
      while (lo < hi) {
        const size_t mid = (lo + hi) / 2;
        if (before(mid))
          lo = mid + 1;
        else
          hi = mid;
      }
      return static_cast<int>(lo);
    }
    while (n > 1) {
      const size_t half = n / 2;
      // Both places the next step may look at are fetched while this one compares: in a page
      // that is not in the processor's cache every step would otherwise wait for memory.
      const size_t next = (n - half) / 2;
      __builtin_prefetch(entries + (base + next) * stride);
      __builtin_prefetch(entries + (base + half + next) * stride);
      base = before(base + half) ? base + half : base;
      n -= half;
    }
    return static_cast<int>(base + (before(base) ? 1 : 0));
  }

  // Sign of (entry key - search key) over the length, in index order.
  int Compare(const uint8_t *entryKey) const {
    int r;
    switch (FMode) {
      case OneNumber: {
        const uint64_t v = Load(entryKey) >> FShift;
        r = v < FHigh ? -1 : (v > FHigh ? 1 : 0);
        break;
      }
      case TwoNumbers: {
        uint64_t v = Load(entryKey);
        if (v == FHigh) {
          v = Load(entryKey + 8) >> FShift;
          r = v < FLow ? -1 : (v > FLow ? 1 : 0);
        } else {
          r = v < FHigh ? -1 : 1;
        }
        break;
      }
      case Bytes:
        r = std::memcmp(entryKey, FKey, static_cast<size_t>(FLength));
        break;
      case Collated:
        return FKeys.Compare(entryKey, FKey, FLength);
      default:
        return 0;
    }
    return FDescending ? -r : r;
  }

 private:
  enum TMode { Equal, OneNumber, TwoNumbers, Bytes, Collated };
  static uint64_t Load(const uint8_t *p) { return indexbytes::GetU64BE(p); }
  const TIndexKeyDefinition &FKeys;
  const uint8_t *FKey;
  int FLength;
  TMode FMode = Equal;
  bool FDescending = false;
  int FShift = 0;
  uint64_t FHigh = 0, FLow = 0;
};

// Sum of the subtree counts of an interior page's entries [0, end).
int64_t CountsBefore(const TPage &page, int end) {
  const size_t stride = static_cast<size_t>(page.Stride());
  const uint8_t *count = page.Entries.data() + page.Format.KeyLength + 4;
  int64_t sum = 0;
  for (int e = 0; e < end; ++e, count += stride) sum += indexbytes::GetU32LE(count);
  return sum;
}

}  // namespace

int TIndexTree::ChildIndex(const TPage &page, const uint8_t *key, int length, bool strict) const {
  const TKeyProbe probe(FKeys, key, length);
  if (probe.IsOneNumber()) {
    const int lo = probe.FirstNotBefore(page, !strict);
    return lo > 0 ? lo - 1 : 0;
  }
  int lo = 0, hi = page.Count();  // first entry that is > key (>= when strict)
  while (lo < hi) {
    int mid = (lo + hi) / 2;
    int c = probe.Compare(page.Key(mid));
    if (c < 0 || (c == 0 && !strict))
      lo = mid + 1;
    else
      hi = mid;
  }
  return lo > 0 ? lo - 1 : 0;
}

int TIndexTree::LowerBound(const TPage &page, const uint8_t *key, int length) const {
  const TKeyProbe probe(FKeys, key, length);
  // A leaf read from disk a few pages ago is still in the processor's cache; one kept longer
  // (changed pages of a large transaction, say) mostly is not.
  if (probe.IsOneNumber()) return probe.FirstNotBefore(page, false, FCache.LoadSerial() - page.LoadSerial > 4);
  int lo = 0, hi = page.Count();
  while (lo < hi) {
    int mid = (lo + hi) / 2;
    if (probe.Compare(page.Key(mid)) < 0)
      lo = mid + 1;
    else
      hi = mid;
  }
  return lo;
}

TPageRef TIndexTree::Descend(const uint8_t *key, int length, bool strict, TPath *path, int64_t *before) {
  if (path) path->clear();
  if (before) *before = 0;
  int32_t pageNo = RootPage();
  if (pageNo == 0) return TPageRef();
  TPageRef page = LoadPage(pageNo, true, 0);
  int depth = 0;
  while (!page->IsLeaf()) {
    int i = key ? ChildIndex(*page, key, length, strict) : 0;
    if (before) *before += CountsBefore(*page, i);
    TPageRef child = LoadChild(*page, i, ++depth);
    if (path) path->push_back(TPathStep{std::move(page), i});
    page = std::move(child);
  }
  FCache.NoteLeafDepth(FIndexNo, depth);
  return page;
}

int64_t TIndexTree::KeyCount() {
  int32_t root = RootPage();
  if (root == 0) return 0;
  TPageRef page = LoadPage(root, true, 0);
  if (!Desc().NoCounts && !Desc().FullText) return page->SubtreeKeys();
  // Without counts the leaves are walked.
  TIndexPosition pos = First();
  int64_t n = 0;
  while (Next(pos)) ++n;
  return n;
}

bool TIndexTree::OnEntry(const TIndexPosition &pos) {
  if (pos.Page == 0 || pos.Entry < 0) return false;
  TPageRef page = Fetch(pos.Page);
  return !page->Free && page->IsLeaf() && pos.Entry < page->Count();
}

void TIndexTree::ReadEntry(const TIndexPosition &pos, uint8_t *key, uint32_t *recordNumber) {
  if (pos.Page == 0 || pos.Entry < 0) Corrupt();
  TPageRef page = Fetch(pos.Page);
  if (page->Free || !page->IsLeaf() || pos.Entry >= page->Count()) Corrupt();
  if (key) std::memcpy(key, page->Key(pos.Entry), static_cast<size_t>(FKeyLength));
  if (recordNumber) *recordNumber = page->Value(pos.Entry);
}

TIndexPosition TIndexTree::First() {
  TIndexPosition pos;
  TPageRef leaf = Descend(nullptr, 0, false, nullptr, nullptr);
  if (!leaf) return pos;
  pos.Page = static_cast<int32_t>(leaf->PageNo);
  pos.Entry = 0;
  pos.Ordinal = 1;
  return pos;
}

TIndexPosition TIndexTree::Last() {
  TIndexPosition pos;
  int32_t pageNo = RootPage();
  if (pageNo == 0) return pos;
  int64_t before = 0;
  TPageRef page = LoadPage(pageNo, true, 0);
  int depth = 0;
  while (!page->IsLeaf()) {
    int i = page->Count() - 1;
    before += CountsBefore(*page, i);
    page = LoadChild(*page, i, ++depth);
  }
  pos.Page = static_cast<int32_t>(page->PageNo);
  pos.Entry = page->Count() - 1;
  pos.Ordinal = before + page->Count();
  return pos;
}

TIndexPosition TIndexTree::SearchFirstAtOrAfter(const uint8_t *key, int length) {
  TIndexPosition pos;
  int64_t before;
  // Routing on "<" finds the leftmost of several keys that agree over a short length.
  TPageRef leaf = Descend(key, length, true, nullptr, &before);
  if (!leaf) return pos;
  int i = LowerBound(*leaf, key, length);
  pos.Page = static_cast<int32_t>(leaf->PageNo);
  pos.Entry = i;
  pos.Ordinal = before + i + 1;
  if (i == leaf->Count() && leaf->NextPage != 0) {
    TPageRef next = LoadLeafNeighbour(leaf->NextPage);
    if (next->PrevPage != static_cast<int32_t>(leaf->PageNo)) Corrupt();
    pos.Page = static_cast<int32_t>(next->PageNo);
    pos.Entry = 0;
  }
  return pos;
}

TIndexPosition TIndexTree::SearchLastAtOrBefore(const uint8_t *key, int length) {
  TIndexPosition pos;
  int64_t before;
  TPageRef leaf = Descend(key, length, false, nullptr, &before);
  if (!leaf) return pos;
  const TKeyProbe probe(FKeys, key, length);
  int lo = 0, hi = leaf->Count();  // first entry > key
  while (lo < hi) {
    int mid = (lo + hi) / 2;
    if (probe.Compare(leaf->Key(mid)) <= 0)
      lo = mid + 1;
    else
      hi = mid;
  }
  int i = lo - 1;
  pos.Page = static_cast<int32_t>(leaf->PageNo);
  pos.Entry = i;
  pos.Ordinal = before + i + 1;
  if (i < 0 && leaf->PrevPage != 0) {
    TPageRef prev = LoadLeafNeighbour(leaf->PrevPage);
    if (prev->NextPage != static_cast<int32_t>(leaf->PageNo)) Corrupt();
    pos.Page = static_cast<int32_t>(prev->PageNo);
    pos.Entry = prev->Count() - 1;
  }
  return pos;
}

TIndexPosition TIndexTree::PositionOfOrdinal(int64_t ordinal) {
  TIndexPosition pos;
  int32_t pageNo = RootPage();
  if (pageNo == 0) return pos;
  int64_t total = KeyCount();
  if (ordinal < 1) {
    pos = First();
    pos.Entry = -1;
    pos.Ordinal = 0;
    return pos;
  }
  if (ordinal > total) {
    pos = Last();
    pos.Entry += 1;
    pos.Ordinal = total + 1;
    return pos;
  }
  int64_t remaining = ordinal;
  TPageRef page = LoadPage(pageNo, true, 0);
  int depth = 0;
  while (!page->IsLeaf()) {
    const int last = page->Count() - 1;
    const size_t stride = static_cast<size_t>(page->Stride());
    const uint8_t *count = page->Entries.data() + page->Format.KeyLength + 4;
    int i = 0;
    for (; i < last; ++i, count += stride) {
      const int64_t below = indexbytes::GetU32LE(count);
      if (remaining <= below) break;
      remaining -= below;
    }
    page = LoadChild(*page, i, ++depth);
  }
  // The counts must lead to an entry of this leaf.
  if (remaining < 1 || remaining > page->Count()) Corrupt();
  pos.Page = static_cast<int32_t>(page->PageNo);
  pos.Entry = static_cast<int>(remaining - 1);
  pos.Ordinal = ordinal;
  return pos;
}

bool TIndexTree::Next(TIndexPosition &pos) {
  if (pos.Page == 0) return false;
  TPageRef page = Fetch(pos.Page);
  if (page->Free || !page->IsLeaf()) Corrupt();
  if (pos.Entry >= page->Count()) return false;
  if (pos.Entry + 1 < page->Count()) {
    ++pos.Entry;
    ++pos.Ordinal;
    return true;
  }
  if (page->NextPage == 0) {
    pos.Entry = page->Count();
    ++pos.Ordinal;
    return false;
  }
  // The next leaf must point back and continue the key order; a loop can never satisfy both.
  TPageRef next = LoadLeafNeighbour(page->NextPage);
  if (next->PrevPage != static_cast<int32_t>(page->PageNo)) Corrupt();
  if (page->Count() > 0 && Cmp(page->Key(page->Count() - 1), next->Key(0), FKeyLength) >= 0) Corrupt();
  pos.Page = static_cast<int32_t>(next->PageNo);
  pos.Entry = 0;
  ++pos.Ordinal;
  return true;
}

bool TIndexTree::Prior(TIndexPosition &pos) {
  if (pos.Page == 0) return false;
  TPageRef page = Fetch(pos.Page);
  if (page->Free || !page->IsLeaf()) Corrupt();
  if (pos.Entry < 0) return false;
  if (pos.Entry > page->Count()) pos.Entry = page->Count();
  if (pos.Entry - 1 >= 0) {
    --pos.Entry;
    --pos.Ordinal;
    return true;
  }
  if (page->PrevPage == 0) {
    pos.Entry = -1;
    pos.Ordinal = 0;
    return false;
  }
  TPageRef prev = LoadLeafNeighbour(page->PrevPage);
  if (prev->NextPage != static_cast<int32_t>(page->PageNo)) Corrupt();
  if (page->Count() > 0 && Cmp(prev->Key(prev->Count() - 1), page->Key(0), FKeyLength) >= 0) Corrupt();
  pos.Page = static_cast<int32_t>(prev->PageNo);
  pos.Entry = prev->Count() - 1;
  --pos.Ordinal;
  return true;
}

void TIndexTree::AppendRecordNumbers(TIndexPosition pos, int64_t lastOrdinal, std::vector<uint32_t> &out) {
  if (pos.Page == 0 || pos.Entry < 0 || pos.Ordinal > lastOrdinal) return;
  TPageRef page = Fetch(pos.Page);
  int64_t ordinal = pos.Ordinal;
  int entry = pos.Entry;
  for (;;) {
    if (page->Free || !page->IsLeaf()) Corrupt();
    const TPage &leaf = *page;
    const int n = leaf.Count();
    const size_t stride = static_cast<size_t>(leaf.Stride());
    const uint8_t *value = leaf.Entries.data() + static_cast<size_t>(entry) * stride + FKeyLength;
    for (; entry < n && ordinal <= lastOrdinal; ++entry, ++ordinal, value += stride)
      out.push_back(indexbytes::GetU32LE(value));
    if (ordinal > lastOrdinal || leaf.NextPage == 0) return;
    TPageRef next = LoadLeafNeighbour(leaf.NextPage);
    if (next->PrevPage != static_cast<int32_t>(leaf.PageNo)) Corrupt();
    if (n > 0 && Cmp(leaf.Key(n - 1), next->Key(0), FKeyLength) >= 0) Corrupt();
    page = std::move(next);
    entry = 0;
  }
}

bool TIndexTree::KeyExists(const uint8_t *key) {
  TIndexPosition pos = SearchFirstAtOrAfter(key, FKeyLength);
  if (!OnEntry(pos)) return false;
  std::vector<uint8_t> found(static_cast<size_t>(FKeyLength));
  ReadEntry(pos, found.data(), nullptr);
  return Cmp(found.data(), key, FKeyLength) == 0;
}

int64_t TIndexTree::SequenceNumber(const uint8_t *key, uint32_t recordNumber) {
  TIndexPosition pos = SearchFirstAtOrAfter(key, FKeyLength);
  std::vector<uint8_t> found(static_cast<size_t>(FKeyLength));
  while (OnEntry(pos)) {
    uint32_t rec;
    ReadEntry(pos, found.data(), &rec);
    if (Cmp(found.data(), key, FKeyLength) != 0) return 0;
    if (rec == recordNumber) return pos.Ordinal;
    if (!Next(pos)) break;
  }
  return 0;
}

}  // namespace kura
