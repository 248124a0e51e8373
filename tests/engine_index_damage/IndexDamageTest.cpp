// A sample of the bit-flip sweep over a small table's index file: with the page checks no
// damaged file reads back wrong; without them the same sample does (so the sample hits damage
// that matters).
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "tests/engine_index_damage/IndexDamageSweep.h"

namespace kura::indexdamage {
namespace {

TSweepStats Sweep(bool checks) {
  char pattern[] = "/tmp/kura-index-damage-XXXXXX";
  EXPECT_NE(::mkdtemp(pattern), nullptr);
  TSweepOptions options;
  options.Directory = pattern;
  options.ByteStride = 97;
  options.Checks = checks;
  TSweepStats stats = RunSweep(options);
  std::error_code ignored;
  std::filesystem::remove_all(pattern, ignored);
  std::printf("checks %s: %s\n", checks ? "on" : "off", Describe(stats).c_str());
  return stats;
}

TEST(IndexDamageTest, DamagedIndexPagesAreReportedNotReadWrong) {
  const TSweepStats with = Sweep(true);
  EXPECT_GT(with.Files, 100);
  EXPECT_EQ(with.Wrong, 0) << Describe(with);
  EXPECT_EQ(with.Crashed, 0) << Describe(with);
  const TSweepStats without = Sweep(false);
  EXPECT_EQ(without.Files, with.Files);
  EXPECT_GT(without.Wrong, 0) << Describe(without);
}

}  // namespace
}  // namespace kura::indexdamage
