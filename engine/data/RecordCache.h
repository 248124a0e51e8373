#pragma once
// Cached records of a data file: a hash map from record number to entry, a recency list of the
// entries that may be evicted (clean and unpinned) and a list of the changed entries, so that
// neither a lookup nor an eviction ever walks the cache. A small pool keeps released record
// objects for reuse.
//
// Every entry of the cache is in exactly one of three states: clean and unpinned (on the
// recency list, newest first), changed (on the changed list, pinned or not), or clean and pinned
// (on neither). Pins and changes therefore go through the cache, which moves the entry.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kura {

class TDataFile;

// A transaction may hold a million of these: the fields are ordered to leave no gaps.
struct TRecord {
  TDataFile *Owner = nullptr;
  std::vector<uint8_t> Image;  // record size bytes
  // Links of the list the entry is on (see above); which list, if any, is FList.
  TRecord *Newer = nullptr;
  TRecord *Older = nullptr;
  int32_t RecordNumber = 0;
  int PinCount = 0;
  bool Dirty = false;
  bool InCache = false;
  uint8_t FList = 0;
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
  TRecord *Find(int32_t recordNumber) const;
  // Adds an entry (its number not cached yet) in the state its Dirty flag and pins give it.
  void Insert(TRecord *record);
  void Remove(TRecord *record);
  // Pins and unpins an entry (or a record no longer in the cache, whose count alone changes).
  // An entry whose last pin goes becomes the most recently used.
  void Pin(TRecord *record);
  void Unpin(TRecord *record);
  // Marks the entry changed or clean (written).
  void MarkDirty(TRecord *record);
  void MarkClean(TRecord *record);
  // The least recently used entry that is neither dirty nor pinned, or null.
  TRecord *Evictable() const { return FLru.Oldest; }
  // Removes up to count least recently used entries that are neither dirty nor pinned and
  // returns them.
  std::vector<TRecord *> EvictOldest(size_t count);
  // The changed entries (pinned ones only when asked), by record number.
  std::vector<TRecord *> DirtyRecords(bool includePinned) const;
  // Whether a changed, unpinned entry lies in first..last.
  bool HasUnpinnedDirtyIn(int32_t first, int32_t last) const;
  size_t DirtyCount() const { return FDirty.Count; }
  // Empties the cache and returns every entry.
  std::vector<TRecord *> RemoveAll();
  size_t Count() const { return FCount; }
  size_t Capacity() const { return FCapacity; }
  void SetCapacity(size_t capacity) { FCapacity = capacity < 1 ? 1 : capacity; }

 private:
  struct TList {
    TRecord *Newest = nullptr;
    TRecord *Oldest = nullptr;
    size_t Count = 0;
  };
  void Link(TRecord *record, uint8_t list);
  void Unlink(TRecord *record);
  TList &ListOf(uint8_t list) { return list == kLru ? FLru : FDirty; }
  // Puts an entry on the list its state asks for.
  void Place(TRecord *record);

  // The map: open addressing with linear probing over a power-of-two table, at most half full;
  // record numbers are at least 1, so 0 marks a free slot.
  struct TSlot {
    int32_t Key = 0;
    TRecord *Record = nullptr;
  };
  size_t SlotOf(int32_t key) const;
  void Grow();
  void EraseSlot(size_t slot);

  static constexpr uint8_t kNone = 0, kLru = 1, kDirtyList = 2;
  std::vector<TSlot> FSlots;
  size_t FCount = 0;
  TList FLru, FDirty;
  size_t FCapacity = 1;
};

}  // namespace kura
