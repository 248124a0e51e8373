// Retried table locks on the reserved byte ranges.
#include "engine/file/LockRanges.h"

#include <atomic>
#include <chrono>
#include <random>
#include <thread>

#include "engine/file/FileHandler.h"

namespace kura {

TLockRetrySettings &LockRetrySettings() {
  static TLockRetrySettings settings;
  return settings;
}

uint16_t RandomReadLockByte() {
  thread_local std::minstd_rand generator(static_cast<unsigned>(
      std::chrono::steady_clock::now().time_since_epoch().count() ^
      std::hash<std::thread::id>()(std::this_thread::get_id())));
  uint16_t v = static_cast<uint16_t>(generator() & 0xFFFF);
  return v == 0 ? 1 : v;
}

namespace {

template <typename Attempt>
bool Retry(Attempt attempt) {
  const TLockRetrySettings settings = LockRetrySettings();
  for (int i = 0; i < settings.Attempts; ++i) {
    if (attempt()) return true;
    if (i + 1 < settings.Attempts) std::this_thread::sleep_for(std::chrono::milliseconds(settings.PauseMs));
  }
  return false;
}

}  // namespace

bool TakeReadLockByte(TFileHandler &file, uint16_t &chosen) {
  return Retry([&] {
    uint16_t v = RandomReadLockByte();
    if (!file.LockRange(ReadLockOffset(v), 1)) return false;
    chosen = v;
    return true;
  });
}

bool TakeWriteRange(TFileHandler &file) {
  return Retry([&] { return file.LockRange(kWriteRangeStart, kWriteRangeLength); });
}

bool TakeWriteSemaphore(TFileHandler &file) {
  return Retry([&] { return file.LockRange(kWriteSemaphoreOffset, 1); });
}

bool ReleaseReadLockByte(TFileHandler &file, uint16_t chosen) { return file.UnlockRange(ReadLockOffset(chosen), 1); }

bool ReleaseWriteRange(TFileHandler &file) { return file.UnlockRange(kWriteRangeStart, kWriteRangeLength); }

bool ReleaseWriteSemaphore(TFileHandler &file) { return file.UnlockRange(kWriteSemaphoreOffset, 1); }

}  // namespace kura
