// Private directories of kura-sql runs: making, locking and removing stale ones.
#include "ShellPrivateDir.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace kura {
namespace {

constexpr const char *kPrefix = "kura-sql-";
constexpr const char *kOwnerFile = "owner";

// The pid in "kura-sql-<pid>-XXXXXX"; 0 when the name is not of that form.
pid_t PidInName(std::string_view name) {
  const std::string_view prefix = kPrefix;
  if (name.substr(0, prefix.size()) != prefix) return 0;
  const size_t dash = name.find('-', prefix.size());
  if (dash == std::string::npos || dash == prefix.size() || dash + 1 >= name.size()) return 0;
  pid_t pid = 0;
  for (size_t i = prefix.size(); i < dash; ++i) {
    if (name[i] < '0' || name[i] > '9' || pid > 99999999) return 0;
    pid = pid * 10 + (name[i] - '0');
  }
  return pid;
}

bool ProcessGone(pid_t pid) { return ::kill(pid, 0) == -1 && errno == ESRCH; }

}  // namespace

int TShellPrivateDir::RemoveStale(const std::filesystem::path &parent) {
  // The system's temporary directory may hold thousands of entries: their names are read
  // plainly and only those of the private directories' form are looked at further (a path
  // object per entry costs more than the rest of a short run's start).
  std::vector<std::string> names;
  if (DIR *listing = ::opendir(parent.c_str())) {
    while (const dirent *entry = ::readdir(listing))
      if (PidInName(entry->d_name) > 0) names.emplace_back(entry->d_name);
    ::closedir(listing);
  }
  int removed = 0;
  for (const std::string &name : names) {
    const std::filesystem::path dir = parent / name;
    const pid_t pid = PidInName(name);
    if (pid == ::getpid()) continue;
    struct stat info;
    // Only real directories of this user (never through a link).
    if (::lstat(dir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid()) continue;
    if (!ProcessGone(pid)) continue;
    // The owner's lock must be free too (a pid may have been taken again; a live owner holds it).
    const int fd = ::open((dir / kOwnerFile).c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
      const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
      if (free) {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
        ++removed;
      }
      ::close(fd);
    } else if (errno == ENOENT) {
      // Killed before it made its owner file.
      std::error_code ignored;
      std::filesystem::remove_all(dir, ignored);
      ++removed;
    }
  }
  return removed;
}

std::filesystem::path TShellPrivateDir::RunsFolder(const std::filesystem::path &temp) {
  const std::filesystem::path folder = temp / ("kura-sql-user-" + std::to_string(::geteuid()));
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return temp;
  // Anyone may have made the name first in a shared temporary directory: only a real
  // directory of this user that nobody else may enter is used (never through a link).
  struct stat info;
  if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid() ||
      (info.st_mode & 077) != 0)
    return temp;
  return folder;
}

TShellPrivateDir::TShellPrivateDir() {
  std::error_code error;
  const std::filesystem::path temp = std::filesystem::temp_directory_path(error);
  if (error) return;
  const std::filesystem::path parent = RunsFolder(temp);
  RemoveStale(parent);
  std::string pattern = (parent / (std::string(kPrefix) + std::to_string(::getpid()) + "-XXXXXX")).string();
  if (!::mkdtemp(pattern.data())) return;
  FLockFd = ::open((std::filesystem::path(pattern) / kOwnerFile).c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (FLockFd < 0 || ::flock(FLockFd, LOCK_EX | LOCK_NB) != 0) {
    if (FLockFd >= 0) ::close(FLockFd);
    FLockFd = -1;
    std::filesystem::remove_all(pattern, error);
    return;
  }
  FPath = pattern;
}

TShellPrivateDir::~TShellPrivateDir() {
  if (!FPath.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(FPath, ignored);
  }
  if (FLockFd >= 0) ::close(FLockFd);
}

}  // namespace kura
