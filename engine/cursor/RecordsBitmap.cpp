// Record-number bitmaps.
#include "engine/cursor/RecordsBitmap.h"

#include <algorithm>
#include <bit>

namespace kura {

void TRecordsBitmap::Resize(uint32_t bits) {
  size_t words = (static_cast<size_t>(bits) + 63) / 64;
  if (words > FWords.size()) {
    FWords.resize(words, 0);
    FBlocksValid = false;
  }
}

void TRecordsBitmap::Clear() {
  std::fill(FWords.begin(), FWords.end(), 0);
  FCount = 0;
  FBlocksValid = false;
}

void TRecordsBitmap::Set(uint32_t recordNumber) {
  if (recordNumber / 64 >= FWords.size()) {
    // Grow by doubling so that appending record after record stays cheap.
    size_t bits = FWords.size() * 64;
    while (bits <= recordNumber) bits = bits < 64 ? 64 : bits * 2;
    Resize(static_cast<uint32_t>(bits > 0xFFFFFFC0u ? 0xFFFFFFC0u : bits));
  }
  uint64_t &w = FWords[recordNumber / 64];
  uint64_t mask = uint64_t{1} << (recordNumber % 64);
  if (!(w & mask)) {
    w |= mask;
    ++FCount;
    FBlocksValid = false;
  }
}

void TRecordsBitmap::Reset(uint32_t recordNumber) {
  if (recordNumber / 64 >= FWords.size()) return;
  uint64_t &w = FWords[recordNumber / 64];
  uint64_t mask = uint64_t{1} << (recordNumber % 64);
  if (w & mask) {
    w &= ~mask;
    --FCount;
    FBlocksValid = false;
  }
}

uint32_t TRecordsBitmap::NextMember(uint32_t from) const {
  size_t i = from / 64;
  if (i >= FWords.size()) return 0;
  uint64_t w = FWords[i] & (~uint64_t{0} << (from % 64));
  while (true) {
    if (w) return static_cast<uint32_t>(i * 64 + static_cast<size_t>(std::countr_zero(w)));
    if (++i >= FWords.size()) return 0;
    w = FWords[i];
  }
}

uint32_t TRecordsBitmap::PriorMember(uint32_t from) const {
  if (FWords.empty()) return 0;
  size_t i = from / 64;
  uint64_t w;
  if (i >= FWords.size()) {
    i = FWords.size() - 1;
    w = FWords[i];
  } else {
    unsigned shift = 63 - from % 64;
    w = FWords[i] & (~uint64_t{0} >> shift);
  }
  while (true) {
    if (w) return static_cast<uint32_t>(i * 64 + 63 - static_cast<size_t>(std::countl_zero(w)));
    if (i == 0) return 0;
    w = FWords[--i];
  }
}

void TRecordsBitmap::BuildBlockCounts() const {
  size_t blocks = (FWords.size() + kWordsPerBlock - 1) / kWordsPerBlock;
  FBlockStart.assign(blocks + 1, 0);
  uint32_t total = 0;
  for (size_t b = 0; b < blocks; ++b) {
    FBlockStart[b] = total;
    size_t end = std::min(FWords.size(), (b + 1) * kWordsPerBlock);
    for (size_t i = b * kWordsPerBlock; i < end; ++i) total += static_cast<uint32_t>(std::popcount(FWords[i]));
  }
  FBlockStart[blocks] = total;
  FBlocksValid = true;
}

uint32_t TRecordsBitmap::Rank(uint32_t recordNumber) const {
  if (FCount == 0) return 0;
  if (!FBlocksValid) BuildBlockCounts();
  size_t word = recordNumber / 64;
  if (word >= FWords.size()) return FCount;
  size_t block = word / kWordsPerBlock;
  uint32_t rank = FBlockStart[block];
  for (size_t i = block * kWordsPerBlock; i < word; ++i) rank += static_cast<uint32_t>(std::popcount(FWords[i]));
  unsigned bit = recordNumber % 64;
  uint64_t mask = bit == 63 ? ~uint64_t{0} : ((uint64_t{1} << (bit + 1)) - 1);
  return rank + static_cast<uint32_t>(std::popcount(FWords[word] & mask));
}

uint32_t TRecordsBitmap::Select(uint32_t ordinal) const {
  if (ordinal < 1 || ordinal > FCount) return 0;
  if (!FBlocksValid) BuildBlockCounts();
  // Last block whose start is below the ordinal.
  size_t lo = 0, hi = FBlockStart.size() - 1;
  while (hi - lo > 1) {
    size_t mid = (lo + hi) / 2;
    if (FBlockStart[mid] < ordinal)
      lo = mid;
    else
      hi = mid;
  }
  uint32_t remaining = ordinal - FBlockStart[lo];
  for (size_t i = lo * kWordsPerBlock; i < FWords.size(); ++i) {
    uint32_t n = static_cast<uint32_t>(std::popcount(FWords[i]));
    if (remaining > n) {
      remaining -= n;
      continue;
    }
    uint64_t w = FWords[i];
    for (uint32_t k = 1; k < remaining; ++k) w &= w - 1;
    return static_cast<uint32_t>(i * 64 + static_cast<size_t>(std::countr_zero(w)));
  }
  return 0;
}

void TRecordsBitmap::Recount() {
  uint32_t total = 0;
  for (uint64_t w : FWords) total += static_cast<uint32_t>(std::popcount(w));
  FCount = total;
  FBlocksValid = false;
}

void TRecordsBitmap::IntersectWith(const TRecordsBitmap &other) {
  for (size_t i = 0; i < FWords.size(); ++i) FWords[i] &= i < other.FWords.size() ? other.FWords[i] : 0;
  Recount();
}

void TRecordsBitmap::UnionWith(const TRecordsBitmap &other) {
  if (other.FWords.size() > FWords.size()) FWords.resize(other.FWords.size(), 0);
  for (size_t i = 0; i < other.FWords.size(); ++i) FWords[i] |= other.FWords[i];
  Recount();
}

void TRecordsBitmap::ComplementWithin(const TRecordsBitmap &universe) {
  std::vector<uint64_t> result(universe.FWords.size(), 0);
  for (size_t i = 0; i < result.size(); ++i)
    result[i] = universe.FWords[i] & ~(i < FWords.size() ? FWords[i] : 0);
  if (result.size() < FWords.size()) result.resize(FWords.size(), 0);
  FWords.swap(result);
  Recount();
}

}  // namespace kura
