// Running-XOR scrambling.
#include "engine/data/Scramble.h"

namespace kura {

void Scramble(uint8_t *buffer, size_t length, TScrambleKey key) {
  uint8_t low = key.Low, high = key.High;
  size_t count = length % 65536;
  for (size_t i = 0; i < count; ++i) {
    buffer[i] = static_cast<uint8_t>(buffer[i] ^ low ^ high);
    ++low;
    --high;
  }
}

}  // namespace kura
