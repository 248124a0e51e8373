#pragma once
// One file of the process (operating-system or in-memory) shared by every user through handle
// numbers. Results that can fail are non-negative on success and a negative engine code
// (-KURA_...) on failure; the operating-system error number of the last failure is kept.
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace kura {

struct TFileHandleEntry {
  int32_t Number = 0;
  int64_t Position = 0;
};

struct TLockRangeEntry {
  uint64_t Start = 0;
  uint64_t End = 0;  // last byte of the range
  uint64_t Length = 0;
};

enum TSeekOrigin : int { SeekFromStart = 0, SeekFromCurrent = 1, SeekFromEnd = 2 };

// One piece of a write gathered from several buffers.
struct TWritePiece {
  const void *Bytes = nullptr;
  int64_t Count = 0;
};

class TAbstractFile {
 public:
  explicit TAbstractFile(std::string name);
  virtual ~TAbstractFile();
  TAbstractFile(const TAbstractFile &) = delete;
  TAbstractFile &operator=(const TAbstractFile &) = delete;

  // Handle number → list index, -1 when unknown.
  virtual int FindHandle(int32_t handle) const;
  // Size in bytes, or a negative code.
  virtual int64_t Size() = 0;
  // Creates (or overwrites) the file and opens a first handle on it; the handle number or a
  // negative code.
  virtual int32_t CreateFile() = 0;
  // Opens the file once more; returns the new handle number or a negative code.
  virtual int32_t OpenFile(bool readOnlyRequested, bool &readOnly, bool &readOnlyByAttribute) = 0;
  // Releases a handle; 0 or a negative code.
  virtual int CloseHandle(int32_t handle);
  virtual int Rename(const std::string &newName) = 0;
  virtual int Delete() = 0;
  // Transfers at the handle's position and advances it; bytes moved or a negative code. A write
  // of 0 bytes truncates the file at the position.
  virtual int64_t Read(int32_t handle, void *buffer, int64_t count) = 0;
  virtual int64_t Write(int32_t handle, const void *buffer, int64_t count) = 0;
  // The pieces one after the other from the handle's position (empty ones add nothing), as one
  // write where the file allows it; bytes moved or a negative code.
  virtual int64_t WriteGather(int32_t handle, const TWritePiece *pieces, size_t count);
  virtual int Flush() { return 0; }
  // The file may be read through a shared mapping from now on (table files: another process cuts
  // them only where no reader has anything to read); files that cannot be mapped ignore it.
  virtual void AllowReadMapping() {}
  // The file is rewritten in place a few bytes at a time (table data and index files): long
  // writes reach the system in pieces that keep its cache of the file in small units.
  virtual void WriteInSmallPieces() {}
  // Makes sure the file can grow to size bytes without running out of space (the file becomes
  // at least that long, the new bytes zero); 0 or a negative code.
  virtual int Reserve(int64_t size) {
    (void)size;
    return 0;
  }
  // New position, or a negative code.
  virtual int64_t Seek(int32_t handle, int origin, int64_t distance);
  // Byte-range locks; the answer is success or failure, never an error.
  virtual bool LockRange(uint64_t start, uint64_t length);
  virtual bool UnlockRange(uint64_t start, uint64_t length);
  // Releases every lock lying wholly inside the range (one unlock for all record locks).
  virtual bool UnlockRangesWithin(uint64_t start, uint64_t length);
  // How many of the ranges this process holds lie wholly inside the range.
  size_t RangesWithin(uint64_t start, uint64_t length);
  // Locks every byte of the range that this process does not hold yet, as few ranges as the
  // locks already held allow; all of them or (false) none, and none unless exactly held ranges of
  // this process lie inside (all of them the caller's: another session's lock is another user's).
  // taken receives the new ranges as (start, length).
  bool LockGapsWithin(uint64_t start, uint64_t length, size_t held, std::vector<std::pair<uint64_t, uint64_t>> &taken);
  // Gives back a range this process took as one, except the single bytes in keep (ascending,
  // inside the range), which stay locked without a moment free, each as a range of its own.
  virtual bool UnlockRangeKeeping(uint64_t start, uint64_t length, const std::vector<uint64_t> &keep);

  std::recursive_mutex &Lock() { return FLock; }
  const std::string &Name() const { return FName; }
  int OpenHandleCount() const { return static_cast<int>(FHandles.size()); }
  int LastOSError() const { return FLastOSError; }
  bool Exclusive() const { return FExclusive; }
  void SetExclusive(bool value) { FExclusive = value; }
  bool Temporary() const { return FTemporary; }
  void SetTemporary(bool value) { FTemporary = value; }
  bool ReadOnly() const { return FReadOnly; }
  bool ReadOnlyByAttribute() const { return FReadOnlyByAttribute; }
  virtual bool IsMemory() const = 0;

 protected:
  int32_t AddHandle();
  bool RangeIsFree(uint64_t start, uint64_t end) const;
  void AddRange(uint64_t start, uint64_t length);
  bool RemoveRange(uint64_t start, uint64_t length);

  std::string FName;
  bool FExclusive = false;
  bool FReadOnly = false;
  bool FReadOnlyByAttribute = false;
  bool FTemporary = false;
  std::vector<TFileHandleEntry> FHandles;
  int32_t FLastHandle = 0;
  int64_t FLogicalSize = 0;
  // Ranges held by this process, by first byte; they never overlap, so the one that could
  // overlap a new range is the last one starting at or before the new range's end.
  std::map<uint64_t, TLockRangeEntry> FLocks;
  int FLastOSError = 0;
  std::recursive_mutex FLock;
};

}  // namespace kura
