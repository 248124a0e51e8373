// The whole sweep: kura_index_damage_sweep [STRIDE] [--no-checks]. Prints the figures; the exit
// status is 1 when any damaged file read back silently wrong or crashed the reader.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "tests/engine_index_damage/IndexDamageSweep.h"

int main(int argc, char **argv) {
  using namespace kura::indexdamage;
  TSweepOptions options;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--no-checks") == 0) options.Checks = false;
    else options.ByteStride = std::atoi(argv[i]) > 0 ? std::atoi(argv[i]) : 1;
  }
  char pattern[] = "/tmp/kura-index-damage-XXXXXX";
  if (!::mkdtemp(pattern)) return 2;
  options.Directory = pattern;
  const TSweepStats stats = RunSweep(options);
  if (std::getenv("KURA_SWEEP_SHOW")) std::printf("%s\n", stats.Undamaged.c_str());
  std::printf("checks %s, every %d. byte: %s\n", options.Checks ? "on" : "off", options.ByteStride,
              Describe(stats).c_str());
  std::error_code ignored;
  if (std::getenv("KURA_SWEEP_SHOW")) std::printf("kept in %s\n", pattern);
  else std::filesystem::remove_all(pattern, ignored);
  return stats.Wrong == 0 && stats.Crashed == 0 ? 0 : 1;
}
