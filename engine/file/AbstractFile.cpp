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

int64_t TAbstractFile::WriteGather(int32_t handle, const TWritePiece *pieces, size_t count) {
  std::lock_guard<std::recursive_mutex> guard(FLock);
  int64_t done = 0;
  for (size_t i = 0; i < count; ++i) {
    if (pieces[i].Count == 0) continue;  // a write of nothing would cut the file
    const int64_t n = Write(handle, pieces[i].Bytes, pieces[i].Count);
    if (n < 0) return done > 0 ? done : n;
    done += n;
    if (n < pieces[i].Count) break;
  }
  return done;
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

bool TAbstractFile::LockGapsWithin(uint64_t start, uint64_t length, size_t held,
                                   std::vector<std::pair<uint64_t, uint64_t>> &taken) {
  std::lock_guard<std::recursive_mutex> guard(FLock);
  taken.clear();
  if (length == 0) return true;
  const uint64_t end = start + length - 1;
  // The gaps between the ranges held inside; a range reaching out of it is not expected there
  // and makes the whole attempt fail (nothing is taken).
  std::vector<std::pair<uint64_t, uint64_t>> gaps;
  size_t inside = 0;
  uint64_t next = start;
  auto it = FLocks.upper_bound(start);
  if (it != FLocks.begin() && std::prev(it)->second.End >= start) return false;
  for (; it != FLocks.end() && it->first <= end; ++it) {
    if (it->second.End > end || ++inside > held) return false;
    if (it->first > next) gaps.emplace_back(next, it->first - next);
    next = it->second.End + 1;
  }
  if (inside != held) return false;
  if (next <= end) gaps.emplace_back(next, end - next + 1);
  for (const auto &[gapStart, gapLength] : gaps) {
    if (!LockRange(gapStart, gapLength)) {
      for (const auto &[s, l] : taken) UnlockRange(s, l);
      taken.clear();
      return false;
    }
    taken.emplace_back(gapStart, gapLength);
  }
  return true;
}

bool TAbstractFile::UnlockRangeKeeping(uint64_t start, uint64_t length, const std::vector<uint64_t> &keep) {
  std::lock_guard<std::recursive_mutex> guard(FLock);
  if (!RemoveRange(start, length)) return false;
  for (uint64_t offset : keep) AddRange(offset, 1);
  return true;
}

bool TAbstractFile::UnlockRangesWithin(uint64_t start, uint64_t length) {
  std::lock_guard<std::recursive_mutex> guard(FLock);
  const uint64_t end = start + length - 1;
  for (auto it = FLocks.lower_bound(start); it != FLocks.end() && it->first <= end;)
    it = it->second.End <= end ? FLocks.erase(it) : std::next(it);
  return true;
}

}  // namespace kura
