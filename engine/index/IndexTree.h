#pragma once
// The B+-tree of one index: search, insert with splits, delete with merge and redistribution,
// sequence numbers and counts from the subtree counts of interior entries.
#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

#include "engine/errors/EngineError.h"
#include "engine/index/IndexKey.h"
#include "engine/index/IndexPageCache.h"

namespace kura {

// A place in the leaf level. Entry -1 (ordinal 0) is before the first key; Entry equal to the
// leaf's entry count (ordinal KeyCount() + 1) is after the last one.
struct TIndexPosition {
  int32_t Page = 0;  // leaf page; 0 when the index is empty
  int Entry = -1;
  int64_t Ordinal = 0;  // 1-based sequence number of the entry
};

struct TIndexTreeStats {
  int Depth = 0;  // levels, 0 for an empty index
  int64_t Keys = 0;
  int64_t TreePages = 0;
  int64_t FreePages = 0;  // pages on the index's free list
};

class TIndexTree {
 public:
  static constexpr int kMaxDepth = 64;

  // The key definition must give the descriptor's key length (KURA_INDEXCORRUPT otherwise); the
  // tree keeps a reference to it, so it must outlive the tree. The tree itself holds no pages
  // between calls: a position names a leaf page and an entry, which stay valid until the
  // index is changed.
  TIndexTree(TIndexPageCache &cache, int indexNo, const TIndexKeyDefinition &keys);

  int IndexNo() const { return FIndexNo; }
  int KeyLength() const { return FKeyLength; }
  const TIndexKeyDefinition &Keys() const { return FKeys; }
  int32_t RootPage() const;

  // Number of keys: the sum of the root's counts (the root leaf's entry count).
  int64_t KeyCount();

  TIndexPosition First();
  TIndexPosition Last();
  // The first key >= the search key, compared over `length` bytes.
  TIndexPosition SearchFirstAtOrAfter(const uint8_t *key, int length);
  // The last key <= the search key, compared over `length` bytes.
  TIndexPosition SearchLastAtOrBefore(const uint8_t *key, int length);
  // The entry with that 1-based sequence number (before the first for < 1, after the last
  // beyond the count), found through the subtree counts.
  TIndexPosition PositionOfOrdinal(int64_t ordinal);
  // Move one entry along the leaf chain; false (and the position after the last / before
  // the first) at the end. A broken chain raises KURA_INDEXCORRUPT.
  bool Next(TIndexPosition &pos);
  bool Prior(TIndexPosition &pos);
  // Whether the position names an entry.
  bool OnEntry(const TIndexPosition &pos);
  // Key and RecordNumber of the entry at a position.
  void ReadEntry(const TIndexPosition &pos, uint8_t *key, uint32_t *recordNumber);

  // Appends the RecordNumbers of the entries from `pos` on whose ordinal is at most lastOrdinal,
  // reading each leaf once (the leaf chain is checked as Next checks it).
  void AppendRecordNumbers(TIndexPosition pos, int64_t lastOrdinal, std::vector<uint32_t> &out);

  bool KeyExists(const uint8_t *key);
  // Sequence number of the exact entry, 0 when it is not there.
  int64_t SequenceNumber(const uint8_t *key, uint32_t recordNumber);

  void Insert(const uint8_t *key, uint32_t recordNumber);
  // Inserts unless an entry with an equal key is there (then false and no change): the check
  // and the insertion share one descent.
  bool InsertUnique(const uint8_t *key, uint32_t recordNumber);
  // False when no entry with that key and RecordNumber exists.
  bool Delete(const uint8_t *key, uint32_t recordNumber);
  bool Replace(const uint8_t *oldKey, uint32_t oldRecord, const uint8_t *newKey, uint32_t newRecord);

  // Every page of the tree goes to the index's free list; the index becomes empty.
  void FreeAllPages();

  // Walks the whole tree and the free list and checks every rule the tree keeps (order,
  // counts, levels, both leaf-chain directions, page types). KURA_INDEXCORRUPT on a breach.
  TIndexTreeStats CheckStructure();

 private:
  struct TPathStep {
    TPageRef Page;
    int Entry = 0;
  };
  // The interior pages from the root down to a leaf, with the entry taken in each: held in
  // place, a descent allocates nothing (a path is never deeper than kMaxDepth: a deeper tree is
  // refused as damaged on the way down).
  class TPath {
   public:
    TPath() = default;
    TPath(const TPath &) = delete;
    TPath &operator=(const TPath &) = delete;
    ~TPath() { clear(); }
    void clear() {
      while (FSize > 0) Steps()[--FSize].~TPathStep();
    }
    void push_back(TPathStep &&step) {
      if (FSize == static_cast<size_t>(kMaxDepth)) RaiseEngineError(KURA_INDEXCORRUPT);
      new (Steps() + FSize) TPathStep(std::move(step));
      ++FSize;
    }
    size_t size() const { return FSize; }
    TPathStep &operator[](size_t i) { return Steps()[i]; }
    TPathStep *begin() { return Steps(); }
    TPathStep *end() { return Steps() + FSize; }

   private:
    TPathStep *Steps() { return std::launder(reinterpret_cast<TPathStep *>(FStorage)); }
    alignas(TPathStep) unsigned char FStorage[kMaxDepth * sizeof(TPathStep)];
    size_t FSize = 0;
  };

  TIndexDescriptor &Desc();
  [[noreturn]] void Corrupt() const { FCache.RaiseCorrupt(); }
  TPageRef LoadPage(int32_t pageNo, bool expectRoot, int depth, bool likelyLeaf = false);
  TPageRef LoadLeafNeighbour(int32_t pageNo);
  // A page of this index, its key order checked once after it was read from disk.
  TPageRef Fetch(int32_t pageNo, bool likelyLeaf = false);
  void CheckKeyOrder(TPage &page);
  // The child of parent entry i, checked against that entry (lowest key, key below the next
  // entry's, count of keys below).
  TPageRef LoadChild(const TPage &parent, int i, int depth);
  int Cmp(const uint8_t *a, const uint8_t *b, int length) const { return FKeys.Compare(a, b, length); }
  // Entry of an interior page to descend into: the last one <= (or < when strict) the key,
  // the first when all are greater.
  int ChildIndex(const TPage &page, const uint8_t *key, int length, bool strict) const;
  // First entry of a leaf >= the key.
  int LowerBound(const TPage &page, const uint8_t *key, int length) const;
  // Returns the leaf (empty ref for an empty index); fills path (when given) with the interior
  // pages from the root and before (when given) with the number of keys left of the leaf.
  TPageRef Descend(const uint8_t *key, int length, bool strict, TPath *path, int64_t *before);
  // The leaf holding the entry (key, recordNumber) with the path down to it, and the entry's
  // place there (-1 when the index holds no such entry).
  int FindEntry(const uint8_t *key, uint32_t recordNumber, TPath &path, TPageRef &leaf);
  // Removes entry i of the leaf at the end of the path, keeping counts, keys and fill above it.
  void RemoveEntryAt(TPath &path, TPage &leaf, int i);
  bool InsertEntry(const uint8_t *key, uint32_t recordNumber, bool unique);
  void AddToCounts(TPath &path, int delta);
  void PropagateLowestKey(TPath &path, size_t level, const uint8_t *key);
  void Split(TPath &path, size_t level, TPage &page);
  void Rebalance(TPath &path, size_t level, TPage &page);
  void RemoveChildEntry(TPath &path, size_t level, int entry);
  void UnlinkFromLevel(TPage &page);
  void CollectPages(int32_t pageNo, int depth, std::vector<int32_t> &pages);
  int64_t CheckSubtree(int32_t pageNo, int depth, bool isRoot, const uint8_t *lowest, int &leafDepth,
                       std::vector<std::vector<int32_t>> &levels, int64_t &pages);

  TIndexPageCache &FCache;
  int FIndexNo;
  const TIndexKeyDefinition &FKeys;
  int FKeyLength;
};

}  // namespace kura
