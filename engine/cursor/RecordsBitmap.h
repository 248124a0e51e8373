#pragma once
// A set of record numbers kept as a bitmap: the visible records of a cursor, the records a
// filter lets through, the result sets of index-answered comparisons.
//
// Bit n stands for RecordNumber n (bit 0 is never used). The bitmap grows as needed; counts
// per block of 4096 bits make rank and select queries (ordinal of a record, record of an
// ordinal) quick on large tables.
#include <cstdint>
#include <vector>

namespace kura {

class TRecordsBitmap {
 public:
  static constexpr uint32_t kInitialBits = 8192;

  TRecordsBitmap() { Resize(kInitialBits); }
  explicit TRecordsBitmap(uint32_t bits) { Resize(bits); }

  // Makes room for record numbers below `bits` (never shrinks).
  void Resize(uint32_t bits);
  uint32_t Capacity() const { return static_cast<uint32_t>(FWords.size() * 64); }

  void Clear();
  void Set(uint32_t recordNumber);
  void Reset(uint32_t recordNumber);
  void Assign(uint32_t recordNumber, bool value) { value ? Set(recordNumber) : Reset(recordNumber); }
  bool Test(uint32_t recordNumber) const {
    return recordNumber / 64 < FWords.size() && (FWords[recordNumber / 64] >> (recordNumber % 64)) & 1u;
  }
  uint32_t Count() const { return FCount; }
  bool Empty() const { return FCount == 0; }

  // The first member >= from / the last member <= from; 0 when there is none.
  uint32_t NextMember(uint32_t from) const;
  uint32_t PriorMember(uint32_t from) const;
  // Number of members <= recordNumber (the 1-based ordinal of a member).
  uint32_t Rank(uint32_t recordNumber) const;
  // The member with that 1-based ordinal; 0 when out of range.
  uint32_t Select(uint32_t ordinal) const;

  // Set operations; the result keeps this object's capacity or more.
  void IntersectWith(const TRecordsBitmap &other);
  void UnionWith(const TRecordsBitmap &other);
  // Members of `universe` that are not members of this set.
  void ComplementWithin(const TRecordsBitmap &universe);

 private:
  static constexpr uint32_t kWordsPerBlock = 64;  // 4096 bits
  void Recount();
  void BuildBlockCounts() const;

  std::vector<uint64_t> FWords;
  uint32_t FCount = 0;
  // Members before each block; rebuilt lazily after changes.
  mutable std::vector<uint32_t> FBlockStart;
  mutable bool FBlocksValid = false;
};

}  // namespace kura
