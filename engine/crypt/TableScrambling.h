#pragma once
// Which bytes of each table file are scrambled when the table is encrypted. The file code
// scrambles a copy right before writing and unscrambles right after reading, so caches always
// hold plain bytes. Every helper undoes itself when called a second time.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kura {

inline constexpr size_t DataHeaderSize = 127;
inline constexpr size_t FieldDescriptorSize = 768;
inline constexpr size_t DataDescriptionOffset = 35;  // short string [50]
inline constexpr size_t DataDescriptionCapacity = 50;
inline constexpr size_t DataPasswordOffset = 87;     // short string [15]
inline constexpr size_t DataPasswordCapacity = 15;
inline constexpr size_t IndexPageSize = 4096;
inline constexpr size_t BlobFileHeaderSize = 512;
inline constexpr size_t BlobBlockHeaderBytes = 18;

// Data header (127 bytes): the characters of the description and of the password, with the
// password key. The length bytes stay plain; a length beyond the string's capacity (a damaged
// header) is cut to the capacity.
void ScrambleDataHeaderStrings(uint8_t *header);
// One short string's characters: the length byte at text[0] stays plain.
void ScrambleShortStringText(uint8_t *text, size_t capacity);
// A short string field of the data header (length byte + capacity bytes) whose characters are
// scrambled with the password key: its plain text, and the field written from a text (cut to
// the capacity, the rest zero, the characters scrambled).
std::string ReadScrambledShortString(const uint8_t *field, size_t capacity);
void WriteScrambledShortString(uint8_t *field, size_t capacity, std::string_view text);
// All field descriptors of a data file as one buffer of fieldCount * 768 bytes.
void ScrambleFieldDescriptors(uint8_t *descriptors, size_t fieldCount);
// One record image.
void ScrambleRecord(uint8_t *record, size_t recordSize);
// The 4096-byte index header and every 4096-byte index page are scrambled alike.
void ScrambleIndexPage(uint8_t *page);
// The 512-byte blob file header.
void ScrambleBlobHeader(uint8_t *header);
// One blob block of blockSize bytes: its 18 header bytes and its data bytes as two buffers.
void ScrambleBlobBlock(uint8_t *block, size_t blockSize);

}  // namespace kura
