#pragma once
// Cached records of a data file: a list sorted by record number for binary search, a recency
// chain probed first (cursors mostly revisit the records they just used), and a small pool of
// released record objects.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kura {

class TDataFile;

struct TRecord {
  TDataFile *Owner = nullptr;
  int32_t RecordNumber = 0;
  bool Dirty = false;
  int PinCount = 0;
  bool InCache = false;
  std::vector<uint8_t> Image;      // record size bytes
  std::vector<uint8_t> KeyBuffer;  // used by sorting
  TRecord *Newer = nullptr;        // recency chain links
  TRecord *Older = nullptr;
};

// Released records for reuse; at most 64 are kept, the rest destroyed.
class TRecordStack {
 public:
  static constexpr size_t kMaxPooled = 64;
  ~TRecordStack();
  TRecord *Take(TDataFile *owner, size_t recordSize);
  void Give(TRecord *record);
  size_t Count() const { return FRecords.size(); }

 private:
  std::vector<TRecord *> FRecords;
};

class TRecordCache {
 public:
  // A hit moves the entry to the front of the recency chain.
  TRecord *Find(int32_t recordNumber);
  void Insert(TRecord *record);
  void Remove(TRecord *record);
  // The least recently used entry that is neither dirty nor pinned, or null. Entries passed on
  // the way move to the front of the recency chain.
  TRecord *Evictable();
  void Touch(TRecord *record);
  // Removes up to count least recently used entries that are neither dirty nor pinned, in one
  // pass over the list, and returns them.
  std::vector<TRecord *> EvictOldest(size_t count);
  // Empties the cache and returns every entry.
  std::vector<TRecord *> RemoveAll();
  size_t Count() const { return FSorted.size(); }
  const std::vector<TRecord *> &Sorted() const { return FSorted; }
  size_t Capacity() const { return FCapacity; }
  void SetCapacity(size_t capacity) { FCapacity = capacity < 1 ? 1 : capacity; }

 private:
  void Unlink(TRecord *record);
  void LinkFront(TRecord *record);

  std::vector<TRecord *> FSorted;
  TRecord *FNewest = nullptr;
  TRecord *FOldest = nullptr;
  size_t FCapacity = 1;
};

}  // namespace kura
