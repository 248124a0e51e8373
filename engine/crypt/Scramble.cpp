// The running-XOR scrambling routine.
#include "engine/crypt/Scramble.h"

namespace kura {

void Scramble(uint8_t *buffer, size_t length, ScrambleKey key) {
  const size_t count = length & 0xFFFFu;
  // The running value repeats after 256 bytes, so the XOR pattern is built once.
  uint8_t pattern[256];
  uint8_t low = key.Low;
  uint8_t high = key.High;
  for (uint8_t &p : pattern) {
    p = static_cast<uint8_t>(low ^ high);
    ++low;   // wraps 255 -> 0
    --high;  // wraps 0 -> 255
  }
  size_t i = 0;
  for (; i + sizeof pattern <= count; i += sizeof pattern)
    for (size_t j = 0; j < sizeof pattern; ++j) buffer[i + j] = static_cast<uint8_t>(buffer[i + j] ^ pattern[j]);
  for (size_t j = 0; i < count; ++i, ++j) buffer[i] = static_cast<uint8_t>(buffer[i] ^ pattern[j]);
}

}  // namespace kura
