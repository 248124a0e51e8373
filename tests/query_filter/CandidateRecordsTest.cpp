// Candidate record sets: every set operation between all-slots sets and explicit member lists
// (small against large too, where members are looked up one by one) gives what the same
// operation on plain sets of numbers gives, and bitmaps convert both ways.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <random>
#include <set>

#include "query/filter/CandidateRecords.h"

namespace kura::test {
namespace {

using Numbers = std::set<uint32_t>;

struct Sample {
  TCandidateRecords Set;
  Numbers Expected;
};

// An all-slots set of 0..300 slots, or a random subset of 1..400 of about `density` members.
Sample Make(std::mt19937 &random, bool all, double density) {
  if (all) {
    const uint32_t slots = std::uniform_int_distribution<uint32_t>(0, 300)(random);
    Numbers expected;
    for (uint32_t n = 1; n <= slots; ++n) expected.insert(n);
    return {TCandidateRecords::AllSlots(slots), expected};
  }
  std::vector<uint32_t> members;
  std::bernoulli_distribution pick(density);
  for (uint32_t n = 1; n <= 400; ++n)
    if (pick(random)) members.push_back(n);
  // Given unsorted and with a repeat: the set sorts and de-duplicates.
  std::shuffle(members.begin(), members.end(), random);
  if (!members.empty()) members.push_back(members.front());
  Numbers expected(members.begin(), members.end());
  return {TCandidateRecords::Of(members), expected};
}

Numbers Members(const TCandidateRecords &set) {
  Numbers out;
  uint32_t last = 0;
  set.ForEach([&](uint32_t n) {
    EXPECT_GT(n, last) << "members come in ascending order";
    last = n;
    out.insert(n);
    return true;
  });
  EXPECT_EQ(out.size(), set.Count());
  return out;
}

TEST(CandidateRecords, SetOperationsAgreeWithPlainSets) {
  std::mt19937 random(20261209);
  const double densities[] = {0.002, 0.02, 0.3, 0.9};
  for (int round = 0; round < 400; ++round) {
    const Sample a = Make(random, round % 5 == 0, densities[round % 4]);
    const Sample b = Make(random, round % 7 == 0, densities[(round / 4) % 4]);
    Numbers both, either, rest;
    std::set_intersection(a.Expected.begin(), a.Expected.end(), b.Expected.begin(), b.Expected.end(),
                          std::inserter(both, both.end()));
    std::set_union(a.Expected.begin(), a.Expected.end(), b.Expected.begin(), b.Expected.end(),
                   std::inserter(either, either.end()));
    std::set_difference(b.Expected.begin(), b.Expected.end(), a.Expected.begin(), a.Expected.end(),
                        std::inserter(rest, rest.end()));
    TCandidateRecords set = a.Set;
    set.IntersectWith(b.Set);
    EXPECT_EQ(Members(set), both) << "intersection, round " << round;
    set = a.Set;
    set.UnionWith(b.Set);
    EXPECT_EQ(Members(set), either) << "union, round " << round;
    set = a.Set;
    set.ComplementWithin(b.Set);
    EXPECT_EQ(Members(set), rest) << "complement, round " << round;
    EXPECT_EQ(Members(TCandidateRecords::FromBitmap(a.Set.ToBitmap())), a.Expected) << "bitmap, round " << round;
  }
}

TEST(CandidateRecords, SlotZeroIsNeverAMember) {
  const TCandidateRecords set = TCandidateRecords::Of({0, 5, 3, 5});
  EXPECT_EQ(Members(set), (Numbers{3, 5}));
  EXPECT_TRUE(TCandidateRecords::AllSlots(0).Empty());
}

}  // namespace
}  // namespace kura::test
