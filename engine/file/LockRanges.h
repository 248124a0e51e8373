#pragma once
// The byte ranges the tables lock in their files. All of them lie at offsets the real data never
// reaches (just below 4 GiB), so they can be locked on files of any size.
//
//   data file   record n                 4 294 967 294 - n, length 1
//   data file   all record locks         4 094 967 293, length 200 000 001 (unlock only)
//   data file   write semaphore          4 294 967 295, length 1
//   index/blob  write lock               4 294 901 759, length 65 536
//   index/blob  read lock                4 294 967 295 - v, v random 1..65 535, length 1
//
// A reader takes one random byte inside the range a writer locks as a whole: readers exclude
// writers and writers exclude readers, while readers do not exclude each other.
#include <cstdint>

namespace kura {

class TFileHandler;

inline constexpr uint64_t kRecordLockBase = 4294967294ULL;
inline constexpr uint64_t kAllRecordLocksStart = 4094967293ULL;
inline constexpr uint64_t kAllRecordLocksLength = 200000001ULL;
inline constexpr uint64_t kWriteSemaphoreOffset = 4294967295ULL;
inline constexpr uint64_t kWriteRangeStart = 4294901759ULL;
inline constexpr uint64_t kWriteRangeLength = 65536ULL;
inline constexpr uint64_t kReadLockTop = 4294967295ULL;

inline uint64_t RecordLockOffset(uint32_t recordNumber) { return kRecordLockBase - recordNumber; }
inline uint64_t ReadLockOffset(uint16_t v) { return kReadLockTop - v; }

// Attempts and pause of the read lock, write lock and write semaphore. The defaults are 32 767
// attempts 3 ms apart; tests may lower the attempts to see a timeout quickly.
struct TLockRetrySettings {
  int Attempts = 32767;
  int PauseMs = 3;
};
TLockRetrySettings &LockRetrySettings();

// A pseudo-random read-lock byte 1..65 535 (0 is replaced by 1).
uint16_t RandomReadLockByte();

// Retried lock operations; false after the last failed attempt.
bool TakeReadLockByte(TFileHandler &file, uint16_t &chosen);
bool TakeWriteRange(TFileHandler &file);
bool TakeWriteSemaphore(TFileHandler &file);
bool ReleaseReadLockByte(TFileHandler &file, uint16_t chosen);
bool ReleaseWriteRange(TFileHandler &file);
bool ReleaseWriteSemaphore(TFileHandler &file);

}  // namespace kura
