#pragma once
// The command line of kura-sql.
#include <string>
#include <vector>

namespace kura::shell {

struct TShellOptions {
  std::string Database = ".";  // a directory, or "Memory"
  std::vector<std::string> Commands;  // -c texts, in order
  std::vector<std::string> Files;     // scripts ("-" is standard input)
  std::vector<std::string> Passwords;  // for encrypted tables
  bool Tsv = false;
  bool Table = false;  // aligned table even when output is not a terminal
  bool Csv = false;
  bool KeepGoing = false;
  bool Sync = false;  // every commit reaches the disk (ForceBufferFlush)
  bool Help = false;
  bool Version = false;
};

// Fills options from argv; false with a message in `error` for an unknown or incomplete option.
bool ParseShellOptions(int argc, const char *const *argv, TShellOptions &options, std::string &error);

const char *ShellUsage();
// "kura-sql <version> (Kura engine <version>)" and a line break.
std::string ShellVersion();

}  // namespace kura::shell
