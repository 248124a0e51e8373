#pragma once
// Running kura-sql on a table directory, with or without the fault injector, for the tests of
// this folder.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace kura::faulttest {

namespace fs = std::filesystem;

struct TRun {
  int Status = -1;
  std::string Out, Err;
};

inline std::string ReadFile(const fs::path &p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline std::vector<std::string> Lines(const std::string &text) {
  std::vector<std::string> lines;
  std::stringstream s(text);
  std::string line;
  while (std::getline(s, line)) lines.push_back(line);
  return lines;
}

// The scripts and outputs of one test process: made on first use, removed when the process that
// made it ends (a forked child that exits leaves it to its parent).
class TScratchDir {
 public:
  TScratchDir() : FOwner(getpid()) {
    char pattern[] = "/tmp/kura-fault-XXXXXX";
    if (mkdtemp(pattern)) FPath = pattern;
  }
  ~TScratchDir() {
    std::error_code ignored;
    if (!FPath.empty() && getpid() == FOwner) fs::remove_all(FPath, ignored);
  }
  const fs::path &Path() const { return FPath; }

 private:
  fs::path FPath;
  pid_t FOwner;
};

inline fs::path Scratch() {
  static TScratchDir root;
  return root.Path();
}

// Runs kura-sql on dir with the script; fault: extra environment ("" for none).
inline TRun RunSql(const fs::path &dir, const std::string &script, const std::string &fault = "") {
  const fs::path scriptFile = Scratch() / "script.sql";
  const fs::path outFile = Scratch() / "out.txt", errFile = Scratch() / "err.txt";
  std::ofstream(scriptFile, std::ios::binary) << script;
  std::string command = fault + " " KURA_SQL_BINARY " --db '" + dir.string() + "' --tsv -f '" + scriptFile.string() +
                        "' >'" + outFile.string() + "' 2>'" + errFile.string() + "'";
  TRun run;
  const int status = std::system(command.c_str());
  run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  run.Out = ReadFile(outFile);
  run.Err = ReadFile(errFile);
  return run;
}

inline std::string FaultEnv(const fs::path &dir, const std::string &mode, long at, const fs::path &out = {}) {
  std::string env = "LD_PRELOAD=" KURA_FAULT_LIBRARY " KURA_FAULT_DIR='" + dir.string() + "' KURA_FAULT_MODE=" + mode +
                    " KURA_FAULT_AT=" + std::to_string(at);
  if (!out.empty()) env += " KURA_FAULT_OUT='" + out.string() + "'";
  return env;
}

}  // namespace kura::faulttest
