// The concurrency run for as long as asked: kura_concurrency_soak [SECONDS] [WRITERS] [READERS].
// Prints the figures; the exit status is 1 when any read was inconsistent or anything failed.
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "tests/kura_concurrency/ConcurrencyRun.h"

int main(int argc, char **argv) {
  using namespace kura::concurrency;
  TRunOptions options;
  options.Seconds = argc > 1 ? std::atof(argv[1]) : 60;
  options.Writers = argc > 2 ? std::atoi(argv[2]) : 4;
  options.Readers = argc > 3 ? std::atoi(argv[3]) : 4;
  char pattern[] = "/tmp/kura-concurrency-XXXXXX";
  if (!::mkdtemp(pattern)) return 2;
  options.Directory = pattern;
  const TRunStats stats = RunConcurrency(options);
  std::printf("%d writers, %d readers, %.0f s: %s\n", options.Writers, options.Readers, options.Seconds,
              Describe(stats).c_str());
  std::error_code ignored;
  std::filesystem::remove_all(pattern, ignored);
  const bool ok = stats.Inconsistent == 0 && stats.ReadErrors == 0 && stats.WriteErrors == 0 &&
                  stats.FinalProblems == 0 && stats.ProcessFailures == 0;
  return ok ? 0 : 1;
}
