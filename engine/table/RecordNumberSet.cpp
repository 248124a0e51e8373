// Record number sets: a bitmap with a log of the numbers inserted.
#include "engine/table/RecordNumberSet.h"

#include <algorithm>

namespace kura {

bool TRecordNumberSet::Bit(int32_t n) const {
  const size_t word = static_cast<size_t>(n) >> 6;
  return word < FBits.size() && (FBits[word] >> (n & 63) & 1u);
}

size_t TRecordNumberSet::count(int32_t n) const {
  if (!InBitmap(n)) return FOutside.count(n);
  return Bit(n) ? 1 : 0;
}

bool TRecordNumberSet::insert(int32_t n) {
  if (!InBitmap(n)) {
    if (!FOutside.insert(n).second) return false;
    ++FCount;
    return true;
  }
  const size_t word = static_cast<size_t>(n) >> 6;
  if (word >= FBits.size()) {
    // Grows geometrically, so that numbers inserted in ascending order cost constant time.
    if (word >= FBits.capacity()) FBits.reserve(std::max(word + 1, FBits.capacity() * 2));
    FBits.resize(word + 1, 0);
  }
  const uint64_t mask = uint64_t{1} << (n & 63);
  if (FBits[word] & mask) return false;
  FBits[word] |= mask;
  ++FCount;
  FLog.push_back(n);
  if (FLog.size() > 2 * FCount + 64) CompactLog();
  return true;
}

size_t TRecordNumberSet::erase(int32_t n) {
  if (!InBitmap(n)) {
    if (!FOutside.erase(n)) return 0;
    --FCount;
    return 1;
  }
  if (!Bit(n)) return 0;
  FBits[static_cast<size_t>(n) >> 6] &= ~(uint64_t{1} << (n & 63));
  --FCount;
  return 1;
}

void TRecordNumberSet::clear() {
  // The log names every set bit: clearing costs what was inserted, not the bitmap's size.
  for (int32_t n : FLog) FBits[static_cast<size_t>(n) >> 6] = 0;
  FLog.clear();
  FOutside.clear();
  FCount = 0;
}

void TRecordNumberSet::swap(TRecordNumberSet &other) noexcept {
  FBits.swap(other.FBits);
  FLog.swap(other.FLog);
  FOutside.swap(other.FOutside);
  std::swap(FCount, other.FCount);
}

void TRecordNumberSet::CompactLog() {
  std::vector<int32_t> members;
  members.reserve(FCount);
  for (int32_t n : FLog)
    if (Bit(n)) members.push_back(n);
  std::sort(members.begin(), members.end());
  members.erase(std::unique(members.begin(), members.end()), members.end());
  FLog.swap(members);
}

std::vector<int32_t> TRecordNumberSet::Sorted() const {
  const_cast<TRecordNumberSet *>(this)->CompactLog();
  std::vector<int32_t> result;
  result.reserve(FCount);
  // Numbers outside the bitmap are negative (before it) or very large (after it).
  auto large = FOutside.lower_bound(0);
  result.insert(result.end(), FOutside.begin(), large);
  result.insert(result.end(), FLog.begin(), FLog.end());
  result.insert(result.end(), large, FOutside.end());
  return result;
}

}  // namespace kura
