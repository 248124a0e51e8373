// The running-XOR scrambling routine.
#include "engine/crypt/Scramble.h"

namespace kura {

void Scramble(uint8_t *buffer, size_t length, ScrambleKey key) {
  const size_t count = length & 0xFFFFu;
  uint8_t low = key.Low;
  uint8_t high = key.High;
  for (size_t i = 0; i < count; ++i) {
    buffer[i] = static_cast<uint8_t>(buffer[i] ^ low ^ high);
    ++low;   // wraps 255 -> 0
    --high;  // wraps 0 -> 255
  }
}

}  // namespace kura
