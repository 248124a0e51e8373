#pragma once
// Settings of a session with their defaults.
#include <cstdint>

namespace kura {

enum class TLockProtocol : uint8_t { Pessimistic = 0, Optimistic = 1 };

struct TSessionSettings {
  bool ForceBufferFlush = false;
  bool StrictChangeDetection = false;
  uint8_t LockRetryCount = 15;
  uint16_t LockWaitTime = 100;  // milliseconds
  TLockProtocol LockProtocol = TLockProtocol::Pessimistic;
  uint16_t ProgressSteps = 20;  // percent
  uint32_t DataBufferSize = 16384;
  uint32_t DataBufferCount = 8192;
  uint32_t IndexBufferSize = 16384;
  uint32_t BlobBufferSize = 32768;
  uint32_t BlobBufferCount = 8192;
};

}  // namespace kura
