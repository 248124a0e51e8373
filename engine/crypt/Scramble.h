#pragma once
// The running-XOR routine that scrambles the protected parts of an encrypted table's files.
// Scrambling hides the contents from a casual look at the files; it is obfuscation, not
// protection of secrets: anyone with this source can undo it without the password.
#include <cstddef>
#include <cstdint>

namespace kura {

// A key is a byte pair that seeds the 16-bit running value high * 256 + low.
struct ScrambleKey {
  uint8_t Low;
  uint8_t High;
};

// Key for everything scrambled in the table files except the two header strings.
inline constexpr ScrambleKey RecordScrambleKey{0x6B, 0xB3};
// Key for the password and the description in the data header.
inline constexpr ScrambleKey PasswordScrambleKey{0x2D, 0xE5};

// Each byte is XORed with both bytes of the running value; then the low byte counts up and the
// high byte counts down, each wrapping within 0..255. The same call undoes itself.
//
// The routine's byte count is a 16-bit quantity in the file format: only the first
// length mod 65536 bytes are processed, so a buffer whose length is a multiple of 65536 (or 0)
// stays as it is. Existing files depend on this, so it is kept.
void Scramble(uint8_t *buffer, size_t length, ScrambleKey key);

}  // namespace kura
