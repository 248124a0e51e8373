#pragma once
// A kura-sql run's private directory (result tables, sort runs) in the system's temporary
// directory: "kura-sql-<pid>-XXXXXX", with a file "owner" inside on which the run holds an
// exclusive lock until it ends. The lock goes with the process however it ends, so a directory
// whose process is no longer running and whose lock is free was left by a run that was killed;
// each run removes such directories (its user's only) before making its own.
#include <filesystem>
#include <string>

namespace kura {

class TShellPrivateDir {
 public:
  // Removes stale directories, then makes and locks this run's own (Path() empty on failure).
  TShellPrivateDir();
  // Removes this run's directory.
  ~TShellPrivateDir();
  TShellPrivateDir(const TShellPrivateDir &) = delete;
  TShellPrivateDir &operator=(const TShellPrivateDir &) = delete;

  const std::string &Path() const { return FPath; }

  // Removes the private directories in `parent` left by runs that are gone; returns how many.
  static int RemoveStale(const std::filesystem::path &parent);

 private:
  std::string FPath;
  int FLockFd = -1;
};

}  // namespace kura
