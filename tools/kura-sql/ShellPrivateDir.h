#pragma once
// A kura-sql run's private directory (result tables, sort runs): "kura-sql-<pid>-XXXXXX" in
// the user's folder "kura-sql-user-<uid>" of the system's temporary directory (in the temporary
// directory itself when that folder cannot be used safely), with a file "owner" inside on which the run holds an
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

  // The folder of this user's runs in `temp`, made when missing; `temp` itself when the name is
  // taken by anything but a directory of this user closed to others. Stale runs are looked for
  // there only, so a start does not read a temporary directory of thousands of entries.
  static std::filesystem::path RunsFolder(const std::filesystem::path &temp);
  // Removes the private directories in `parent` left by runs that are gone; returns how many.
  static int RemoveStale(const std::filesystem::path &parent);

 private:
  std::string FPath;
  int FLockFd = -1;
};

}  // namespace kura
