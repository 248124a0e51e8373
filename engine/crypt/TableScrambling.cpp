// The scrambled parts of the data, index and blob files of an encrypted table.
#include "engine/crypt/TableScrambling.h"

#include <algorithm>

#include "engine/crypt/Scramble.h"

namespace kura {

void ScrambleShortStringText(uint8_t *text, size_t capacity) {
  const size_t length = std::min<size_t>(text[0], capacity);
  Scramble(text + 1, length, PasswordScrambleKey);
}

std::string ReadScrambledShortString(const uint8_t *field, size_t capacity) {
  const size_t length = std::min<size_t>(field[0], capacity);
  std::string text(reinterpret_cast<const char *>(field + 1), length);
  Scramble(reinterpret_cast<uint8_t *>(text.data()), text.size(), PasswordScrambleKey);
  return text;
}

void WriteScrambledShortString(uint8_t *field, size_t capacity, std::string_view text) {
  size_t length = std::min(text.size(), std::min<size_t>(capacity, 255));
  // A cut never splits a UTF-8 sequence.
  if (length < text.size())
    while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) --length;
  std::fill(field, field + capacity + 1, 0);
  field[0] = static_cast<uint8_t>(length);
  std::copy(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(length), field + 1);
  Scramble(field + 1, length, PasswordScrambleKey);
}

void ScrambleDataHeaderStrings(uint8_t *header) {
  ScrambleShortStringText(header + DataDescriptionOffset, DataDescriptionCapacity);
  ScrambleShortStringText(header + DataPasswordOffset, DataPasswordCapacity);
}

void ScrambleFieldDescriptors(uint8_t *descriptors, size_t fieldCount) {
  Scramble(descriptors, fieldCount * FieldDescriptorSize, RecordScrambleKey);
}

void ScrambleRecord(uint8_t *record, size_t recordSize) { Scramble(record, recordSize, RecordScrambleKey); }

void ScrambleIndexPage(uint8_t *page) { Scramble(page, IndexPageSize, RecordScrambleKey); }

void ScrambleBlobHeader(uint8_t *header) { Scramble(header, BlobFileHeaderSize, RecordScrambleKey); }

void ScrambleBlobBlock(uint8_t *block, size_t blockSize) {
  if (blockSize < BlobBlockHeaderBytes) {
    Scramble(block, blockSize, RecordScrambleKey);
    return;
  }
  Scramble(block, BlobBlockHeaderBytes, RecordScrambleKey);
  Scramble(block + BlobBlockHeaderBytes, blockSize - BlobBlockHeaderBytes, RecordScrambleKey);
}

}  // namespace kura
