#pragma once
// The records a statement visits on one table: either every slot of its data file, or the
// sorted record numbers that index ranges (or an earlier pass) let through.
//
// A statement that names a key ends up with one or a few members; keeping them as a sorted
// vector rather than a bitmap over every slot keeps building, combining and walking such a set
// independent of the table's size. Sets may name slots of deleted records: whoever reads the
// records skips those.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/cursor/RecordsBitmap.h"

namespace kura {

class TCandidateRecords {
 public:
  // Every slot 1..slots.
  static TCandidateRecords AllSlots(uint32_t slots);
  // The given record numbers (sorted and made unique here).
  static TCandidateRecords Of(std::vector<uint32_t> members);
  static TCandidateRecords FromBitmap(const TRecordsBitmap &bitmap);

  bool IsAll() const { return FAll; }
  uint32_t Slots() const { return FSlots; }
  size_t Count() const { return FAll ? FSlots : FMembers.size(); }
  bool Empty() const { return Count() == 0; }
  // The members in ascending order (materialises an all-slots set).
  std::vector<uint32_t> ToVector() const;
  TRecordsBitmap ToBitmap() const;

  // Calls visit(recordNumber) for every member in ascending order while it returns true.
  template <class F>
  void ForEach(F &&visit) const {
    if (FAll) {
      for (uint32_t n = 1; n <= FSlots; ++n)
        if (!visit(n)) return;
      return;
    }
    for (uint32_t n : FMembers)
      if (!visit(n)) return;
  }

  void IntersectWith(const TCandidateRecords &other);
  void UnionWith(const TCandidateRecords &other);
  // Becomes the members of `universe` that are not members of this set.
  void ComplementWithin(const TCandidateRecords &universe);

 private:
  bool FAll = false;
  uint32_t FSlots = 0;
  std::vector<uint32_t> FMembers;  // sorted, unique (when not FAll)
};

}  // namespace kura
