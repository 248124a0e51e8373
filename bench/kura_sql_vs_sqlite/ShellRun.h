// Runs one shell process on a script with a time limit and measures it: wall time, the child's
// user and system CPU time and its peak resident memory (from wait4).
#pragma once

#include <string>
#include <vector>

namespace kura::bench {

struct TRunResult {
  bool Finished = false;  // false: killed at the time limit
  bool Failed = false;    // a non-zero exit status or text on standard error
  std::string Errors;     // the start of standard error
  double WallSeconds = 0;
  double CpuSeconds = 0;  // user + system
  long PeakKilobytes = 0;
};

// Runs program with arguments, standard input from inputPath, standard output to outputPath
// ("/dev/null" to discard it). After limitSeconds the process is killed. The child finds phase in
// its environment as KURA_BENCH_PHASE, so that a wrapper (a profiler) can name its output.
// Forks the process that starts the shells from now on; call it early, while the benchmark holds
// little memory, so that the shells' peak memory is their own. Without it RunShell forks directly.
bool StartShellLauncher();

TRunResult RunShell(const std::vector<std::string> &command, const std::string &inputPath,
                    const std::string &outputPath, const std::string &errorPath, double limitSeconds,
                    const std::string &phase = "");

}  // namespace kura::bench
