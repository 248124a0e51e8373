// A few seconds of two writer and three reader processes on the same tables: no reader sees a
// row missing, a row twice, a memo other than written, or a state no writer committed, and the
// final state holds every committed change.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "tests/kura_concurrency/ConcurrencyRun.h"

namespace kura::concurrency {
namespace {

TEST(ConcurrencyTest, ReadersSeeOnlyWholeCommittedStatesWhileOthersWrite) {
  // The journal holds 16 KiB in memory: the writers' batches of memos reach its body before
  // their commits, while the readers read the table.
  ::setenv("KURA_JOURNAL_SPILL_BYTES", "16384", 1);
  char pattern[] = "/tmp/kura-concurrency-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  TRunOptions options;
  options.Directory = pattern;
  options.Writers = 2;
  options.Readers = 3;
  options.Seconds = 3;
  const TRunStats stats = RunConcurrency(options);
  const std::string described = Describe(stats);
  std::printf("%s\n", described.c_str());
  EXPECT_EQ(stats.ProcessFailures, 0) << described;
  // Both sides really ran at the same time.
  EXPECT_GT(stats.Reads, 100) << described;
  EXPECT_GT(stats.Writes, 50) << described;
  EXPECT_EQ(stats.Inconsistent, 0) << described;
  EXPECT_EQ(stats.ReadErrors, 0) << described;
  EXPECT_EQ(stats.WriteErrors, 0) << described;
  EXPECT_EQ(stats.FinalProblems, 0) << described;
  std::error_code ignored;
  std::filesystem::remove_all(pattern, ignored);
}

}  // namespace
}  // namespace kura::concurrency
