#include "query/filter/CandidateRecords.h"

#include <algorithm>
#include <iterator>

namespace kura {

TCandidateRecords TCandidateRecords::AllSlots(uint32_t slots) {
  TCandidateRecords set;
  set.FAll = true;
  set.FSlots = slots;
  return set;
}

TCandidateRecords TCandidateRecords::Of(std::vector<uint32_t> members) {
  TCandidateRecords set;
  if (!std::is_sorted(members.begin(), members.end())) std::sort(members.begin(), members.end());
  members.erase(std::unique(members.begin(), members.end()), members.end());
  // Slot 0 never holds a record.
  if (!members.empty() && members.front() == 0) members.erase(members.begin());
  set.FMembers = std::move(members);
  return set;
}

TCandidateRecords TCandidateRecords::FromBitmap(const TRecordsBitmap &bitmap) {
  std::vector<uint32_t> members;
  members.reserve(bitmap.Count());
  for (uint32_t n = bitmap.NextMember(1); n != 0; n = bitmap.NextMember(n + 1)) members.push_back(n);
  TCandidateRecords set;
  set.FMembers = std::move(members);
  return set;
}

std::vector<uint32_t> TCandidateRecords::ToVector() const {
  if (!FAll) return FMembers;
  std::vector<uint32_t> all(FSlots);
  for (uint32_t n = 1; n <= FSlots; ++n) all[n - 1] = n;
  return all;
}

TRecordsBitmap TCandidateRecords::ToBitmap() const {
  const uint32_t highest = FAll ? FSlots : (FMembers.empty() ? 0 : FMembers.back());
  TRecordsBitmap bitmap(highest + 1);
  ForEach([&bitmap](uint32_t n) {
    bitmap.Set(n);
    return true;
  });
  return bitmap;
}

void TCandidateRecords::IntersectWith(const TCandidateRecords &other) {
  if (other.FAll) {
    if (FAll) {
      FSlots = std::min(FSlots, other.FSlots);
      return;
    }
    FMembers.erase(std::upper_bound(FMembers.begin(), FMembers.end(), other.FSlots), FMembers.end());
    return;
  }
  if (FAll) {
    FAll = false;
    FMembers.assign(other.FMembers.begin(), std::upper_bound(other.FMembers.begin(), other.FMembers.end(), FSlots));
    FSlots = 0;
    return;
  }
  // A few members against many: each is looked up, so that a key's set meets a large set at
  // the cost of its own size.
  const std::vector<uint32_t> &small = FMembers.size() <= other.FMembers.size() ? FMembers : other.FMembers;
  const std::vector<uint32_t> &large = FMembers.size() <= other.FMembers.size() ? other.FMembers : FMembers;
  std::vector<uint32_t> both;
  if (small.size() * 16 < large.size()) {
    for (uint32_t n : small)
      if (std::binary_search(large.begin(), large.end(), n)) both.push_back(n);
  } else {
    std::set_intersection(small.begin(), small.end(), large.begin(), large.end(), std::back_inserter(both));
  }
  FMembers.swap(both);
}

void TCandidateRecords::UnionWith(const TCandidateRecords &other) {
  if (FAll && other.FAll) {
    FSlots = std::max(FSlots, other.FSlots);
    return;
  }
  // Slots beyond an all-slots set's end are kept as members.
  const std::vector<uint32_t> mine = ToVector();
  const std::vector<uint32_t> theirs = other.ToVector();
  std::vector<uint32_t> either;
  std::set_union(mine.begin(), mine.end(), theirs.begin(), theirs.end(), std::back_inserter(either));
  FAll = false;
  FSlots = 0;
  FMembers.swap(either);
}

void TCandidateRecords::ComplementWithin(const TCandidateRecords &universe) {
  std::vector<uint32_t> rest;
  if (universe.FAll) {
    rest.reserve(universe.FSlots >= Count() ? universe.FSlots - Count() : 0);
    auto it = FMembers.begin();
    for (uint32_t n = 1; n <= universe.FSlots; ++n) {
      if (FAll) {
        if (n <= FSlots) continue;
      } else {
        while (it != FMembers.end() && *it < n) ++it;
        if (it != FMembers.end() && *it == n) continue;
      }
      rest.push_back(n);
    }
  } else if (FAll) {
    rest.assign(std::upper_bound(universe.FMembers.begin(), universe.FMembers.end(), FSlots), universe.FMembers.end());
  } else {
    std::set_difference(universe.FMembers.begin(), universe.FMembers.end(), FMembers.begin(), FMembers.end(),
                        std::back_inserter(rest));
  }
  FAll = false;
  FSlots = 0;
  FMembers.swap(rest);
}

}  // namespace kura
