#pragma once
// A set of record numbers with constant-time insertion, removal and lookup.
//
// A transaction can lock, cover and postpone the unlock of tens of thousands of records, each
// entering two or three of these sets; a balanced tree made every lock a dozen cache misses.
// Record numbers are slot numbers, so a bitmap indexed by them is small (one bit per slot up
// to the largest number held); numbers beyond kBitmapLimit (never a real slot of a table this
// size) go to a tree instead. The numbers inserted are also logged in a vector, so that the
// members can be listed in order in time proportional to their count, not to the bitmap's.
#include <cstddef>
#include <cstdint>
#include <set>
#include <vector>

namespace kura {

class TRecordNumberSet {
 public:
  size_t count(int32_t n) const;
  // Whether n was not a member yet.
  bool insert(int32_t n);
  size_t erase(int32_t n);
  bool empty() const { return FCount == 0; }
  size_t size() const { return FCount; }
  void clear();
  void swap(TRecordNumberSet &other) noexcept;
  // The members in ascending order.
  std::vector<int32_t> Sorted() const;

 private:
  static constexpr int32_t kBitmapLimit = 1 << 26;
  static bool InBitmap(int32_t n) { return n >= 0 && n < kBitmapLimit; }
  bool Bit(int32_t n) const;
  // Rebuilds the log from the members once it holds many removed or repeated numbers.
  void CompactLog();

  std::vector<uint64_t> FBits;
  // Every member of the bitmap is here at least once; removed numbers may stay until compacted.
  mutable std::vector<int32_t> FLog;
  std::set<int32_t> FOutside;
  size_t FCount = 0;
};

}  // namespace kura
