#pragma once
// Little-endian reads and writes of the integers and floats kept in table files. The files
// look the same on every host, so values are always assembled byte by byte.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace kura {

inline uint8_t GetU8(const uint8_t *p) { return p[0]; }
inline uint16_t GetU16(const uint8_t *p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline int16_t GetI16(const uint8_t *p) { return static_cast<int16_t>(GetU16(p)); }
inline uint32_t GetU32(const uint8_t *p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
inline int32_t GetI32(const uint8_t *p) { return static_cast<int32_t>(GetU32(p)); }
inline uint64_t GetU64(const uint8_t *p) {
  return static_cast<uint64_t>(GetU32(p)) | (static_cast<uint64_t>(GetU32(p + 4)) << 32);
}
inline int64_t GetI64(const uint8_t *p) { return static_cast<int64_t>(GetU64(p)); }
inline double GetF64(const uint8_t *p) {
  uint64_t bits = GetU64(p);
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

inline void PutU8(uint8_t *p, uint8_t v) { p[0] = v; }
inline void PutU16(uint8_t *p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutI16(uint8_t *p, int16_t v) { PutU16(p, static_cast<uint16_t>(v)); }
inline void PutU32(uint8_t *p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void PutI32(uint8_t *p, int32_t v) { PutU32(p, static_cast<uint32_t>(v)); }
inline void PutU64(uint8_t *p, uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void PutI64(uint8_t *p, int64_t v) { PutU64(p, static_cast<uint64_t>(v)); }
inline void PutF64(uint8_t *p, double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  PutU64(p, bits);
}

// The length of text cut to at most limit bytes without splitting a UTF-8 sequence.
inline size_t Utf8CutLength(std::string_view text, size_t limit) {
  size_t length = text.size() < limit ? text.size() : limit;
  if (length < text.size())
    while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) --length;
  return length;
}

// The characters of zero-terminated data that fills at most size bytes.
inline std::string_view ZeroTerminatedText(const uint8_t *data, size_t size) {
  size_t length = 0;
  while (length < size && data[length] != 0) ++length;
  return std::string_view(reinterpret_cast<const char *>(data), length);
}

// A short string of capacity n occupies n + 1 bytes: a length byte and the characters. A
// length byte larger than the capacity is cut to the capacity so a damaged file cannot make
// the reader run past the field.
inline std::string GetShortString(const uint8_t *p, size_t capacity) {
  size_t length = p[0];
  if (length > capacity) length = capacity;
  return std::string(reinterpret_cast<const char *>(p + 1), length);
}
// Writes at most capacity bytes (never splitting a UTF-8 sequence) and zero-fills the rest.
inline void PutShortString(uint8_t *p, size_t capacity, std::string_view text) {
  size_t length = Utf8CutLength(text, capacity);
  std::memset(p, 0, capacity + 1);
  p[0] = static_cast<uint8_t>(length);
  std::memcpy(p + 1, text.data(), length);
}

}  // namespace kura
