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
  auto after = FLocks.upper_bound(end);
  if (after == FLocks.begin()) return true;
  return std::prev(after)->second.End < start;
}

void TAbstractFile::AddRange(uint64_t start, uint64_t length) {
  FLocks[start] = TLockRangeEntry{start, start + length - 1, length};
}

bool TAbstractFile::RemoveRange(uint64_t start, uint64_t length) {
  auto it = FLocks.find(start);
  if (it == FLocks.end() || it->second.Length != length) return false;
  FLocks.erase(it);
  return true;
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

size_t TAbstractFile::RangesWithin(uint64_t start, uint64_t length) {
  std::lock_guard<std::recursive_mutex> guard(FLock);
  const uint64_t end = start + length - 1;
  size_t count = 0;
  for (auto it = FLocks.lower_bound(start); it != FLocks.end() && it->first <= end; ++it)
    count += it->second.End <= end;
  return count;
}

bool TAbstractFile::UnlockRangesWithin(uint64_t start, uint64_t length) {
  std::lock_guard<std::recursive_mutex> guard(FLock);
  const uint64_t end = start + length - 1;
  for (auto it = FLocks.lower_bound(start); it != FLocks.end() && it->first <= end;)
    it = it->second.End <= end ? FLocks.erase(it) : std::next(it);
  return true;
}

}  // namespace kura
