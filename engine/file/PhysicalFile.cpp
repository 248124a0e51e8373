// Operating-system files with open-file-description byte-range locks.
#include "engine/file/PhysicalFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>

#include "engine/errors/ErrorCodes.h"
#include "engine/file/MappedCopy.h"
#include "engine/file/OSErrorMap.h"
#include "engine/util/TextScan.h"

namespace kura {

TPhysicalFile::TPhysicalFile(std::string name) : TAbstractFile(std::move(name)) {}

TPhysicalFile::~TPhysicalFile() { CloseDescriptor(); }

void TPhysicalFile::AllowReadMapping() {
  std::lock_guard<std::recursive_mutex> guard(FLock);
  FMapAllowed = true;
}

void TPhysicalFile::WriteInSmallPieces() {
  std::lock_guard<std::recursive_mutex> guard(FLock);
  FSmallPieces = true;
}

void TPhysicalFile::Unmap() {
  if (FMap) ::munmap(const_cast<uint8_t *>(FMap), static_cast<size_t>(FMapSize));
  FMap = nullptr;
  FMapSize = 0;
  FReadsPastMap = kRemapAfterReads;  // the next read maps the file again
}

bool TPhysicalFile::MapCovers(int64_t offset, int64_t count) {
  // The file's first page (its header, which tells a change by others from damage) is always
  // read from the file: a file cut below it while open must read short there, where a mapping
  // would show zeros past the new end of the page.
  // Reads of long runs (scans, blocks) go to the file too: through the mapping, every page they
  // pass would count as the process's memory until the file is closed.
  if (!FMapAllowed || FDescriptor < 0 || offset < kUnmappedHead || count <= 0 || count > kLargestMappedRead)
    return false;
  if (FMap && count <= FMapSize - offset) return true;
  // Not mapped, or the file grew past the mapping: mapped (again) at the first read, and then
  // once in every so many reads that the mapping cannot serve (a file too large, a file growing).
  if (FReadsPastMap < kRemapAfterReads) {
    ++FReadsPastMap;
    return false;
  }
  Unmap();
  FReadsPastMap = 0;
  struct stat info;
  if (::fstat(FDescriptor, &info) != 0 || info.st_size <= 0 || info.st_size > kLargestMappedFile) return false;
  void *at = ::mmap(nullptr, static_cast<size_t>(info.st_size), PROT_READ, MAP_SHARED, FDescriptor, 0);
  if (at == MAP_FAILED) {
    FMapAllowed = false;  // this file cannot be mapped (its file system, a limit): read it
    return false;
  }
  FMap = static_cast<const uint8_t *>(at);
  FMapSize = info.st_size;
  return count <= FMapSize - offset;
}

void TPhysicalFile::CloseDescriptor() {
  Unmap();
  if (FDescriptor >= 0) {
    ::close(FDescriptor);
    FDescriptor = -1;
    if (FTemporary) ::unlink(FName.c_str());
  }
  FLocks.clear();
}

void TPhysicalFile::CloseInheritedDescriptor() {
  Unmap();
  if (FDescriptor >= 0) ::close(FDescriptor);
  FDescriptor = -1;
  FHandles.clear();
  FLocks.clear();
}

int TPhysicalFile::FailWith(int osError) {
  FLastOSError = osError;
  return -static_cast<int>(MapOSError(osError));
}

bool TPhysicalFile::OSLock(uint64_t start, uint64_t length, short type) {
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = static_cast<off_t>(start);
  lock.l_len = static_cast<off_t>(length);
  lock.l_pid = 0;
  return ::fcntl(FDescriptor, F_OFD_SETLK, &lock) == 0;
}

int64_t TPhysicalFile::Size() {
  std::lock_guard<std::recursive_mutex> guard(FLock);
  if (FDescriptor < 0) return -static_cast<int64_t>(KURA_OSEBADF);
  struct stat info {};
  if (::fstat(FDescriptor, &info) != 0) return FailWith(errno);
  return static_cast<int64_t>(info.st_size);
}

int32_t TPhysicalFile::CreateFile() {
  std::lock_guard<std::recursive_mutex> guard(FLock);
  if (FDescriptor >= 0) return -static_cast<int>(KURA_OSEACCES);
  // Not truncated before the marker is ours: another process may still be using the file.
  int fd = ::open(FName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return FailWith(errno);
  FDescriptor = fd;
  FWritable = true;
  if (!OSLock(kOpenMarkerOffset, 1, F_WRLCK)) {
    int error = errno;
    ::close(fd);
    FDescriptor = -1;
    return FailWith(error == EAGAIN ? EACCES : error);
  }
  if (::ftruncate(fd, 0) != 0) {
    int error = errno;
    ::close(fd);
    FDescriptor = -1;
    return FailWith(error);
  }
  posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  FExclusive = true;
  FReadOnly = false;
  FReadOnlyByAttribute = false;
  return AddHandle();
}

int32_t TPhysicalFile::OpenFile(bool readOnlyRequested, bool &readOnly, bool &readOnlyByAttribute) {
  std::lock_guard<std::recursive_mutex> guard(FLock);
  if (FDescriptor < 0) {
    struct stat info {};
    if (::stat(FName.c_str(), &info) != 0) return FailWith(errno);
    // The read-only attribute is a file without any write permission bit.
    FReadOnlyByAttribute = (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
    FReadOnly = FReadOnlyByAttribute || readOnlyRequested;
    int fd = -1;
    if (!FReadOnly) {
      fd = ::open(FName.c_str(), O_RDWR | O_CLOEXEC);
      if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM)) FReadOnly = true;
    }
    if (FReadOnly) fd = ::open(FName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return FailWith(errno);
    FDescriptor = fd;
    FWritable = !FReadOnly;
    bool marked;
    if (!FExclusive) {
      marked = OSLock(kOpenMarkerOffset, 1, F_RDLCK);
    } else if (FWritable) {
      marked = OSLock(kOpenMarkerOffset, 1, F_WRLCK);
    } else {
      marked = OSLock(kOpenMarkerOffset, 1, F_RDLCK);
      if (marked) {
        struct flock probe {};
        probe.l_type = F_WRLCK;
        probe.l_whence = SEEK_SET;
        probe.l_start = static_cast<off_t>(kOpenMarkerOffset);
        probe.l_len = 1;
        marked = ::fcntl(fd, F_OFD_GETLK, &probe) == 0 && probe.l_type == F_UNLCK;
      }
    }
    if (!marked) {
      ::close(fd);
      FDescriptor = -1;
      return FailWith(EACCES);
    }
  }
  readOnly = FReadOnly;
  readOnlyByAttribute = FReadOnlyByAttribute;
  return AddHandle();
}

int TPhysicalFile::CloseHandle(int32_t handle) {
  std::lock_guard<std::recursive_mutex> guard(FLock);
  int result = TAbstractFile::CloseHandle(handle);
  if (result == 0 && FHandles.empty()) CloseDescriptor();
  return result;
}

int TPhysicalFile::Rename(const std::string &newName) {
  std::lock_guard<std::recursive_mutex> guard(FLock);
  int osError = 0;
  int result = RenameOnDisk(FName, newName, osError);
  if (result < 0) {
    FLastOSError = osError;
    return result;
  }
  FName = newName;
  return 0;
}

int TPhysicalFile::Delete() {
  std::lock_guard<std::recursive_mutex> guard(FLock);
  int osError = 0;
  int result = DeleteOnDisk(FName, osError);
  if (result < 0) FLastOSError = osError;
  return result;
}

int64_t TPhysicalFile::Read(int32_t handle, void *buffer, int64_t count) {
  std::lock_guard<std::recursive_mutex> guard(FLock);
  int index = FindHandle(handle);
  if (index < 0 || FDescriptor < 0) return -static_cast<int64_t>(KURA_OSEBADF);
  if (count < 0) return -static_cast<int64_t>(KURA_OSUNKNOWN);
  if (MapCovers(FHandles[index].Position, count)) {
    if (CopyFromMapping(buffer, FMap + FHandles[index].Position, static_cast<size_t>(count))) {
      FHandles[index].Position += count;
      return count;
    }
    // The mapping could not give the bytes (the file was cut under it): the read tells.
    Unmap();
    FMapAllowed = false;
  }
  int64_t done = 0;
  auto *bytes = static_cast<uint8_t *>(buffer);
  while (done < count) {
    ssize_t n = ::pread(FDescriptor, bytes + done, static_cast<size_t>(count - done),
                        static_cast<off_t>(FHandles[index].Position + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return FailWith(errno);
    }
    if (n == 0) break;
    done += n;
  }
  FHandles[index].Position += done;
  return done;
}

int TPhysicalFile::Reserve(int64_t size) {
  std::lock_guard<std::recursive_mutex> guard(FLock);
  if (FDescriptor < 0) return -static_cast<int>(KURA_OSEBADF);
  struct stat info;
  if (::fstat(FDescriptor, &info) != 0) return FailWith(errno);
  if (info.st_size >= size) return 0;
  // Allocated now, so that the writes into it cannot fail for want of space later.
  const int error = ::posix_fallocate(FDescriptor, info.st_size, static_cast<off_t>(size - info.st_size));
  if (error == 0) return 0;
  if (error != EOPNOTSUPP && error != EINVAL) return FailWith(error);
  if (::ftruncate(FDescriptor, static_cast<off_t>(size)) != 0) return FailWith(errno);
  return 0;
}

int64_t TPhysicalFile::Write(int32_t handle, const void *buffer, int64_t count) {
  std::lock_guard<std::recursive_mutex> guard(FLock);
  int index = FindHandle(handle);
  if (index < 0 || FDescriptor < 0) return -static_cast<int64_t>(KURA_OSEBADF);
  if (count < 0) return -static_cast<int64_t>(KURA_OSUNKNOWN);
  if (count == 0) {
    Unmap();
    if (::ftruncate(FDescriptor, static_cast<off_t>(FHandles[index].Position)) != 0) return FailWith(errno);
    return 0;
  }
  const TWritePiece piece{buffer, count};
  return WriteGather(handle, &piece, 1);
}

int64_t TPhysicalFile::WriteGather(int32_t handle, const TWritePiece *pieces, size_t count) {
  std::lock_guard<std::recursive_mutex> guard(FLock);
  int index = FindHandle(handle);
  if (index < 0 || FDescriptor < 0) return -static_cast<int64_t>(KURA_OSEBADF);
  // At most IOV_MAX pieces a call, empty ones left out, held in place for the usual few; a short
  // write (or one cut at a small-piece boundary) goes on from the byte where it stopped.
  constexpr size_t kHeldInPlace = 16;
  iovec held[kHeldInPlace];
  std::vector<iovec> more;
  iovec *vectors = held;
  size_t room = kHeldInPlace;
  if (count > kHeldInPlace) {
    more.resize(std::min<size_t>(count, IOV_MAX));
    vectors = more.data();
    room = more.size();
  }
  int64_t done = 0;
  size_t next = 0;       // the first piece not wholly written
  int64_t nextDone = 0;  // its bytes already written
  while (next < count) {
    const int64_t at = FHandles[index].Position + done;
    // Up to the next multiple of the small piece, for files written so; the rest goes on as
    // after a short write.
    int64_t budget = FSmallPieces ? kSmallWritePiece - at % kSmallWritePiece : INT64_MAX;
    size_t used = 0;
    for (size_t i = next; i < count && used < room && budget > 0; ++i) {
      const int64_t skip = i == next ? nextDone : 0;
      const int64_t length = std::min(pieces[i].Count - skip, budget);
      if (length > 0) {
        vectors[used++] = {const_cast<uint8_t *>(static_cast<const uint8_t *>(pieces[i].Bytes)) + skip,
                           static_cast<size_t>(length)};
        budget -= length;
      }
    }
    if (used == 0) break;
    ssize_t n = ::pwritev(FDescriptor, vectors, static_cast<int>(used), static_cast<off_t>(at));
    if (n < 0) {
      if (errno == EINTR) continue;
      // Also after some pieces went out: the caller learns why the rest did not (a full disk).
      return FailWith(errno);
    }
    if (n == 0) break;
    done += n;
    for (int64_t left = n; left > 0 && next < count;) {
      const int64_t rest = pieces[next].Count - nextDone;
      if (left >= rest) {
        left -= rest;
        ++next;
        nextDone = 0;
      } else {
        nextDone += left;
        left = 0;
      }
    }
  }
  FHandles[index].Position += done;
  return done;
}

int TPhysicalFile::Flush() {
  std::lock_guard<std::recursive_mutex> guard(FLock);
  if (FDescriptor < 0) return -static_cast<int>(KURA_OSEBADF);
  // The bytes and the size are what a table needs back after a power loss; fdatasync leaves
  // out only times of access and change.
  if (::fdatasync(FDescriptor) != 0) return FailWith(errno);
  return 0;
}

bool TPhysicalFile::LockRange(uint64_t start, uint64_t length) {
  std::lock_guard<std::recursive_mutex> guard(FLock);
  if (FDescriptor < 0 || length == 0 || !RangeIsFree(start, start + length - 1)) return false;
  // A read-only descriptor can only hold read locks; they still exclude every writer.
  if (!OSLock(start, length, FWritable ? F_WRLCK : F_RDLCK)) return false;
  AddRange(start, length);
  return true;
}

bool TPhysicalFile::UnlockRange(uint64_t start, uint64_t length) {
  std::lock_guard<std::recursive_mutex> guard(FLock);
  if (FDescriptor < 0 || !RemoveRange(start, length)) return false;
  return OSLock(start, length, F_UNLCK);
}

bool TPhysicalFile::UnlockRangesWithin(uint64_t start, uint64_t length) {
  std::lock_guard<std::recursive_mutex> guard(FLock);
  if (FDescriptor < 0) return false;
  TAbstractFile::UnlockRangesWithin(start, length);
  return OSLock(start, length, F_UNLCK);
}

bool TPhysicalFile::UnlockRangeKeeping(uint64_t start, uint64_t length, const std::vector<uint64_t> &keep) {
  std::lock_guard<std::recursive_mutex> guard(FLock);
  if (FDescriptor < 0 || !TAbstractFile::UnlockRangeKeeping(start, length, keep)) return false;
  // Unlocking the pieces between the kept bytes leaves those bytes locked all the while.
  bool ok = true;
  uint64_t next = start;
  const uint64_t end = start + length - 1;
  for (uint64_t offset : keep) {
    if (offset > next) ok = OSLock(next, offset - next, F_UNLCK) && ok;
    next = offset + 1;
  }
  if (next <= end) ok = OSLock(next, end - next + 1, F_UNLCK) && ok;
  return ok;
}

// Another process has the file open when some other description holds the open marker.
static bool OpenedElsewhere(const std::string &name) {
  int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct flock probe {};
  probe.l_type = F_WRLCK;
  probe.l_whence = SEEK_SET;
  probe.l_start = static_cast<off_t>(kOpenMarkerOffset);
  probe.l_len = 1;
  bool busy = ::fcntl(fd, F_OFD_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
  ::close(fd);
  return busy;
}

int TPhysicalFile::RenameOnDisk(const std::string &name, const std::string &newName, int &osError) {
  // A file in use by another process is neither moved nor deleted, as with sharing modes.
  if (OpenedElsewhere(name)) {
    osError = EACCES;
    return -static_cast<int>(KURA_OSEACCES);
  }
  // Moving onto an existing file is refused, as the move-file operation does elsewhere.
  if (::renameat2(AT_FDCWD, name.c_str(), AT_FDCWD, newName.c_str(), RENAME_NOREPLACE) != 0) {
    osError = errno;
    if (osError == EEXIST) return -static_cast<int>(KURA_OSEACCES);
    return -static_cast<int>(MapOSError(osError));
  }
  return 0;
}

int TPhysicalFile::DeleteOnDisk(const std::string &name, int &osError) {
  if (OpenedElsewhere(name)) {
    osError = EACCES;
    return -static_cast<int>(KURA_OSEACCES);
  }
  if (::unlink(name.c_str()) != 0) {
    osError = errno;
    return -static_cast<int>(MapOSError(osError));
  }
  return 0;
}

bool TPhysicalFile::ExistsOnDisk(const std::string &name) {
  struct stat info {};
  if (!name.empty() && ::stat(name.c_str(), &info) == 0) return S_ISREG(info.st_mode);
  // Not under this name: perhaps under the same name in another case.
  const std::string found = ResolveNameOnDisk(name);
  return found != name && ::stat(found.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::vector<std::string> TPhysicalFile::ListDirectoryOnDisk(const std::string &directory) {
  std::vector<std::string> names;
  if (DIR *dir = ::opendir(directory.empty() ? "." : directory.c_str())) {
    while (struct dirent *entry = ::readdir(dir)) names.emplace_back(entry->d_name);
    ::closedir(dir);
  }
  return names;
}

bool TPhysicalFile::NameIn(const std::vector<std::string> &names, const std::string &base) {
  for (const std::string &name : names)
    if (SameTextIgnoringCase(name, base)) return true;
  return false;
}

std::string TPhysicalFile::ResolveNameOnDisk(const std::string &name) {
  struct stat info {};
  if (name.empty() || ::stat(name.c_str(), &info) == 0) return name;
  size_t slash = name.find_last_of('/');
  std::string directory = slash == std::string::npos ? std::string() : name.substr(0, slash + 1);
  std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
  DIR *dir = ::opendir(directory.empty() ? "." : directory.c_str());
  if (!dir) return name;
  std::string found;
  while (struct dirent *entry = ::readdir(dir)) {
    std::string candidate = entry->d_name;
    if (SameTextIgnoringCase(candidate, base)) {
      found = directory + candidate;
      break;
    }
  }
  ::closedir(dir);
  return found.empty() ? name : found;
}

}  // namespace kura
