// Handle bookkeeping and the in-process lock list shared by both file kinds.
#include "engine/file/AbstractFile.h"

#include <algorithm>

#include "engine/errors/ErrorCodes.h"

namespace kura {

TAbstractFile::TAbstractFile(std::string name) : FName(std::move(name)) {}
TAbstractFile::~TAbstractFile() = default;

int TAbstractFile::FindHandle(int32_t handle) const {
  for (size_t i = 0; i < FHandles.size(); ++i)
    if (FHandles[i].Number == handle) return static_cast<int>(i);
  return -1;
}

int32_t TAbstractFile::AddHandle() {
  TFileHandleEntry entry;
  entry.Number = ++FLastHandle;
  FHandles.push_back(entry);
  return entry.Number;
}

int TAbstractFile::CloseHandle(int32_t handle) {
  std::lock_guard<std::recursive_mutex> guard(FLock);
  int index = FindHandle(handle);
  if (index < 0) return -static_cast<int>(KURA_OSEBADF);
  FHandles.erase(FHandles.begin() + index);
  return 0;
}

int64_t TAbstractFile::Seek(int32_t handle, int origin, int64_t distance) {
  std::lock_guard<std::recursive_mutex> guard(FLock);
  int index = FindHandle(handle);
  if (index < 0) return -static_cast<int64_t>(KURA_OSEBADF);
  int64_t base = 0;
  if (origin == SeekFromCurrent) {
    base = FHandles[index].Position;
  } else if (origin == SeekFromEnd) {
    base = Size();
    if (base < 0) return base;
  }
  int64_t position = base + distance;
  if (position < 0) return -static_cast<int64_t>(KURA_OSUNKNOWN);
  FHandles[index].Position = position;
  return position;
}

bool TAbstractFile::RangeIsFree(uint64_t start, uint64_t end) const {
  for (const TLockRangeEntry &entry : FLocks)
    if (start <= entry.End && entry.Start <= end) return false;
  return true;
}

void TAbstractFile::AddRange(uint64_t start, uint64_t length) {
  FLocks.push_back(TLockRangeEntry{start, start + length - 1, length});
}

bool TAbstractFile::RemoveRange(uint64_t start, uint64_t length) {
  for (size_t i = 0; i < FLocks.size(); ++i) {
    if (FLocks[i].Start == start && FLocks[i].Length == length) {
      FLocks.erase(FLocks.begin() + static_cast<long>(i));
      return true;
    }
  }
  return false;
}

bool TAbstractFile::LockRange(uint64_t start, uint64_t length) {
  std::lock_guard<std::recursive_mutex> guard(FLock);
  if (length == 0 || !RangeIsFree(start, start + length - 1)) return false;
  AddRange(start, length);
  return true;
}

bool TAbstractFile::UnlockRange(uint64_t start, uint64_t length) {
  std::lock_guard<std::recursive_mutex> guard(FLock);
  return RemoveRange(start, length);
}

bool TAbstractFile::UnlockRangesWithin(uint64_t start, uint64_t length) {
  std::lock_guard<std::recursive_mutex> guard(FLock);
  uint64_t end = start + length - 1;
  FLocks.erase(std::remove_if(FLocks.begin(), FLocks.end(),
                              [&](const TLockRangeEntry &e) { return e.Start >= start && e.End <= end; }),
               FLocks.end());
  return true;
}

}  // namespace kura
