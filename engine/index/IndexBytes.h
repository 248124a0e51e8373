#pragma once
// Explicit byte-order helpers for index pages and keys. Page and header integers are
// little-endian; key bytes are big-endian so that keys compare bytewise.
#include <bit>
#include <cstdint>
#include <cstring>

namespace kura::indexbytes {

inline uint16_t GetU16LE(const uint8_t *p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline int16_t GetI16LE(const uint8_t *p) { return static_cast<int16_t>(GetU16LE(p)); }
inline uint32_t GetU32LE(const uint8_t *p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline int32_t GetI32LE(const uint8_t *p) { return static_cast<int32_t>(GetU32LE(p)); }
inline uint64_t GetU64LE(const uint8_t *p) {
  return static_cast<uint64_t>(GetU32LE(p)) | (static_cast<uint64_t>(GetU32LE(p + 4)) << 32);
}

inline void PutU16LE(uint8_t *p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutU32LE(uint8_t *p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void PutI32LE(uint8_t *p, int32_t v) { PutU32LE(p, static_cast<uint32_t>(v)); }

inline void PutU16BE(uint8_t *p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v >> 8);
  p[1] = static_cast<uint8_t>(v);
}
inline void PutU32BE(uint8_t *p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}
// Eight bytes from p as a big-endian number: the first bytes of keys, compared as a number in
// their bytewise order.
inline uint64_t GetU64BE(const uint8_t *p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap64(v);
  return v;
}
inline void PutU64BE(uint8_t *p, uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (56 - 8 * i));
}
inline uint32_t GetU32BE(const uint8_t *p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}

inline double GetDoubleLE(const uint8_t *p) {
  uint64_t bits = GetU64LE(p);
  double d;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

}  // namespace kura::indexbytes
