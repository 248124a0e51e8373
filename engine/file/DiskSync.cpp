// Syncing files and directories by name.
#include "engine/file/DiskSync.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "engine/errors/EngineError.h"
#include "engine/file/PhysicalFile.h"

namespace kura {

namespace {

[[noreturn]] void RaiseSync(int osError, const std::string &errorName) {
  ErrorTexts texts;
  texts.Table = errorName;
  RaiseEngineErrorOS(KURA_WRITEERR, osError, texts);
}

// A descriptor of its own is enough: the kernel writes back the file's (or directory's) pages
// whoever made them dirty. fdatasync suffices for files (it includes a changed size);
// directories need fsync.
void SyncPath(const std::string &path, bool directory, const std::string &errorName) {
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | (directory ? O_DIRECTORY : 0));
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) RaiseSync(errno, errorName);
  const int result = directory ? ::fsync(fd) : ::fdatasync(fd);
  const int error = errno;
  ::close(fd);
  if (result != 0) RaiseSync(error, errorName);
}

}  // namespace

void SyncFileNamed(const std::string &name, bool memory, const std::string &errorName) {
  if (memory) return;
  SyncPath(TPhysicalFile::ResolveNameOnDisk(name), false, errorName);
}

void SyncDirectoryOf(const std::string &fileName, bool memory, const std::string &errorName) {
  if (memory) return;
  const size_t slash = fileName.find_last_of('/');
  const std::string directory = slash == std::string::npos ? std::string(".") : fileName.substr(0, slash + 1);
  SyncPath(directory.empty() ? std::string("/") : directory, true, errorName);
}

}  // namespace kura
