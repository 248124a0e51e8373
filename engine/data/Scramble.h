#pragma once
// The running-XOR scrambling of encrypted tables. The same call scrambles and unscrambles.
#include <cstddef>
#include <cstdint>

namespace kura {

struct TScrambleKey {
  uint8_t Low;
  uint8_t High;
};

// Key for descriptors, records, index and blob contents.
inline constexpr TScrambleKey kRecordKey{0x5A, 0xC3};
// Key for the password and description texts of the data header.
inline constexpr TScrambleKey kPasswordKey{0x3C, 0x96};

// Each byte is XORed with both bytes of a 16-bit running value that starts at high*256+low;
// after each byte the low byte counts up and the high byte down, each wrapping. Only
// length mod 65 536 bytes are processed, so a multiple of 65 536 leaves the buffer unchanged.
void Scramble(uint8_t *buffer, size_t length, TScrambleKey key);

}  // namespace kura
