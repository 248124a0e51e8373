#pragma once
// Building an index from all of its entries at once instead of key by key: the entries are
// gathered, sorted in index order, written into leaves left to right and the interior levels
// are made from the leaves bottom-up, each entry with its child's lowest key and subtree count.
// The pages are the ordinary index pages; only their fill differs from a tree grown by single
// inserts (full pages, see BuildIndexFromSorted).
#include <cstdint>
#include <vector>

#include "engine/index/IndexKey.h"
#include "engine/index/IndexPageCache.h"

namespace kura {

// (key, RecordNumber) entries of one index, gathered in any order and sorted in one go.
class TIndexEntryList {
 public:
  explicit TIndexEntryList(int keyLength);

  void Reserve(size_t entries);
  void Add(const uint8_t *key, uint32_t recordNumber);
  size_t Size() const { return FOrder.size(); }
  bool Empty() const { return FOrder.empty(); }
  // Entry i in the current order (the order of adding until sorted).
  const uint8_t *Key(size_t i) const { return FData.data() + static_cast<size_t>(FOrder[i]) * FStride; }
  uint32_t RecordNumber(size_t i) const;

  // Index order of the keys, equal keys by RecordNumber (so the record in the lower slot comes
  // first among keys that compare equal).
  void Sort(const TIndexKeyDefinition &keys);
  // After Sort: drops each entry whose key compares equal to the entry before it and returns
  // the RecordNumbers dropped, ascending.
  std::vector<uint32_t> RemoveDuplicates(const TIndexKeyDefinition &keys);
  // After Sort: the rank of each entry's key among the distinct keys (equal keys share one),
  // by the entry's position.
  std::vector<uint32_t> KeyRanks(const TIndexKeyDefinition &keys) const;
  // Keeps the entries whose RecordNumber passes the test, in their order.
  template <typename Keep>
  void Filter(Keep keep) {
    size_t out = 0;
    for (size_t i = 0; i < FOrder.size(); ++i)
      if (keep(RecordNumber(i))) FOrder[out++] = FOrder[i];
    FOrder.resize(out);
  }

 private:
  int FKeyLength;
  size_t FStride;  // key + 4-byte RecordNumber
  std::vector<uint8_t> FData;  // the entries in the order they were added
  std::vector<uint32_t> FOrder;  // the entries' places in FData, in the current order
};

// Fills the empty index `indexNo` with the sorted entries. Every page but the last of each level
// is filled as far as it holds; when the last page of a level would be less than half full (the
// fill a page keeps after deletes), the last two share their entries. Keys must be strictly
// ascending in index order (KURA_INDEXCORRUPT otherwise) and the index must be empty.
void BuildIndexFromSorted(TIndexPageCache &cache, int indexNo, const TIndexKeyDefinition &keys,
                          const TIndexEntryList &sorted);

}  // namespace kura
