// Record number sets against std::set: the same answers for every mix of operations.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <vector>

#include "engine/table/RecordNumberSet.h"

using kura::TRecordNumberSet;

namespace {

std::vector<int32_t> Members(const std::set<int32_t> &model) { return {model.begin(), model.end()}; }

}  // namespace

TEST(RecordNumberSet, AgreesWithAnOrderedSetThroughInsertsRemovalsClearsAndSwaps) {
  struct Case {
    const char *name;
    int32_t low, high;  // numbers drawn from low..high
    int eraseEvery;     // one operation in eraseEvery is a removal
  };
  const Case cases[] = {
      {"few slots, much churn", 1, 40, 2},
      {"many slots, mostly inserts", 1, 200000, 5},
      {"numbers outside the bitmap too", -5, (1 << 26) + 5, 3},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    std::mt19937 random(7);
    std::uniform_int_distribution<int32_t> number(c.low, c.high);
    TRecordNumberSet set, other;
    std::set<int32_t> model;
    for (int step = 0; step < 20000; ++step) {
      // Edge numbers of the range come up often.
      const int32_t n = step % 7 == 0 ? (step % 2 ? c.low : c.high) : number(random);
      if (step % c.eraseEvery == 0) {
        ASSERT_EQ(set.erase(n), model.erase(n)) << n;
      } else {
        ASSERT_EQ(set.insert(n), model.insert(n).second) << n;
      }
      ASSERT_EQ(set.count(n), model.count(n)) << n;
      ASSERT_EQ(set.size(), model.size());
      if (step % 4999 == 0) ASSERT_EQ(set.Sorted(), Members(model));
    }
    EXPECT_EQ(set.Sorted(), Members(model));
    set.swap(other);
    EXPECT_TRUE(set.empty());
    EXPECT_EQ(other.Sorted(), Members(model));
    other.clear();
    EXPECT_TRUE(other.empty());
    EXPECT_TRUE(other.Sorted().empty());
    for (int32_t n : model) EXPECT_EQ(other.count(n), 0u) << n;
    // A cleared set is used again.
    EXPECT_TRUE(other.insert(c.high));
    EXPECT_EQ(other.Sorted(), std::vector<int32_t>{c.high});
  }
}
