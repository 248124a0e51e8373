// Building index keys from record images. Keys compare bytewise: integers are big-endian with
// the sign bit inverted, doubles get their sign folded, NULL has indicator 0 and sorts first.
#include <cmath>
#include <cstring>
#include <string>

#include "engine/errors/EngineError.h"
#include "engine/index/IndexBytes.h"
#include "engine/index/IndexKey.h"
#include "engine/locale/Collation.h"

namespace kura {

using namespace indexbytes;

namespace {

void PutSignedBE32(uint8_t *out, int32_t v) { PutU32BE(out, static_cast<uint32_t>(v) ^ 0x80000000u); }
void PutSignedBE16(uint8_t *out, int16_t v) {
  PutU16BE(out, static_cast<uint16_t>(static_cast<uint16_t>(v) ^ 0x8000u));
}
void PutSignedBE64(uint8_t *out, int64_t v) {
  PutU64BE(out, static_cast<uint64_t>(v) ^ 0x8000000000000000ull);
}

// Doubles: a value >= 0 gets its top bit set, a negative one has every bit inverted, so the
// big-endian bytes order as the values do.
void PutDoubleKey(uint8_t *out, double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  if (v >= 0)
    bits |= 0x8000000000000000ull;
  else
    bits = ~bits;
  PutU64BE(out, bits);
}

// The packed decimal record (precision, sign and places, two digits per byte) as a currency
// integer: value x 10000, rounded half away from zero, saturated at the 64-bit limits.
int64_t BcdToCurrency(const uint8_t *bcd) {
  int precision = bcd[0];
  if (precision > 64) precision = 64;
  bool negative = (bcd[1] & 0x80) != 0;
  int places = bcd[1] & 0x3F;
  if (places > precision) places = precision;
  int integerDigits = precision - places;
  const __int128 limit = static_cast<__int128>(INT64_MAX);
  __int128 value = 0;
  bool saturated = false;
  auto digitAt = [&](int i) {
    uint8_t b = bcd[2 + i / 2];
    int d = (i % 2 == 0) ? (b >> 4) : (b & 0x0F);
    return d > 9 ? 9 : d;
  };
  // Integer digits and up to four decimals make the currency value.
  int kept = integerDigits + (places < 4 ? places : 4);
  for (int i = 0; i < kept; ++i) {
    value = value * 10 + digitAt(i);
    if (value > limit) {
      saturated = true;
      value = limit;
      break;
    }
  }
  if (!saturated) {
    for (int i = places; i < 4; ++i) {
      value *= 10;
      if (value > limit) {
        value = limit;
        saturated = true;
        break;
      }
    }
  }
  if (!saturated && places > 4 && digitAt(kept) >= 5 && value < limit) value += 1;
  int64_t result = static_cast<int64_t>(value);
  return negative ? -result : result;
}

// Cuts a UTF-8 text to at most n bytes without splitting a character.
std::string CutUtf8(std::string text, size_t n) {
  if (text.size() <= n) return text;
  while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  text.resize(n);
  return text;
}

}  // namespace

void EncodeKeyValue(const TIndexKeyField &field, const uint8_t *data, bool caseInsensitive,
                    uint16_t languageId, uint8_t *out) {
  const uint16_t size = field.KeySize();
  switch (field.Type) {
    case EngineFieldType::String: {
      std::memset(out, 0, size);
      size_t length = 0;
      while (length < field.StoredSize && data[length] != 0) ++length;
      std::string text(reinterpret_cast<const char *>(data), length);
      if (caseInsensitive) text = UpperCase(languageId, text);
      // The last byte stays zero: the text is zero-terminated inside its stored size.
      text = CutUtf8(std::move(text), size > 0 ? size - 1 : 0);
      std::memcpy(out, text.data(), text.size());
      break;
    }
    case EngineFieldType::Date:
    case EngineFieldType::Integer:
    case EngineFieldType::Time:
      PutSignedBE32(out, GetI32LE(data));
      break;
    case EngineFieldType::SmallInt:
      PutSignedBE16(out, GetI16LE(data));
      break;
    case EngineFieldType::Boolean:
    case EngineFieldType::Word:
      PutU16BE(out, GetU16LE(data));
      break;
    case EngineFieldType::LargeInt:
      PutSignedBE64(out, static_cast<int64_t>(GetU64LE(data)));
      break;
    case EngineFieldType::BCD:
      PutSignedBE64(out, BcdToCurrency(data));
      break;
    case EngineFieldType::Float:
    case EngineFieldType::TimeStamp:
      PutDoubleKey(out, GetDoubleLE(data));
      break;
    default:  // Bytes, VarBytes, LongWord, Extended: the stored bytes as they are
      std::memcpy(out, data, size);
      break;
  }
}

TIndexKeyDefinition TIndexKeyDefinition::SystemRecordIndex() {
  TIndexKeyDefinition d;
  d.SystemIndex = true;
  d.Unique = true;
  return d;
}

int TIndexKeyDefinition::KeyLength() const {
  if (SystemIndex) return 5;
  int k = 0;
  for (const TIndexKeyField &f : Fields) k += f.KeySize() + 1;
  return Unique ? k : k + 4;
}

int TIndexKeyDefinition::FieldKeyOffset(size_t fieldIndex) const {
  int k = 0;
  for (size_t i = 0; i < fieldIndex && i < Fields.size(); ++i) k += Fields[i].KeySize() + 1;
  return k;
}

int TIndexKeyDefinition::PrefixLength(int fieldCount, int partialLength) const {
  if (fieldCount < 0) fieldCount = 0;
  size_t n = static_cast<size_t>(fieldCount) < Fields.size() ? static_cast<size_t>(fieldCount) : Fields.size();
  int length = FieldKeyOffset(n);
  if (partialLength > 0 && n < Fields.size()) {
    int size = Fields[n].KeySize();
    length += 1 + (partialLength < size ? partialLength : size);
  }
  return length > KeyLength() ? KeyLength() : length;
}

void TIndexKeyDefinition::FillKeyTail(uint8_t *key, int from, bool highest) const {
  const int k = KeyLength();
  if (from < 0) from = 0;
  if (from < k) std::memset(key + from, highest ? 0xFF : 0x00, static_cast<size_t>(k - from));
}

void TIndexKeyDefinition::BuildKey(const uint8_t *record, size_t recordSize, uint8_t *key) const {
  if (recordSize < 9) RaiseEngineError(KURA_INVALIDIDXDESC);
  int32_t autoInc = GetI32LE(record + 5);
  if (SystemIndex) {
    key[0] = record[0];
    PutSignedBE32(key + 1, autoInc);
    return;
  }
  uint8_t *p = key;
  const bool invertFields = !Descending && LanguageId == 0;
  for (const TIndexKeyField &f : Fields) {
    const uint16_t size = f.KeySize();
    if (f.AutoInc) {
      p[0] = 1;
      PutSignedBE32(p + 1, autoInc);
    } else {
      if (f.Type == EngineFieldType::Blob || static_cast<size_t>(f.NullOffset) + 1 + f.StoredSize > recordSize ||
          f.NullOffset < 9)
        RaiseEngineError(KURA_INVALIDIDXDESC);
      if (record[f.NullOffset] != 0) {
        p[0] = 1;
        EncodeKeyValue(f, record + f.NullOffset + 1, CaseInsensitive, LanguageId, p + 1);
      } else {
        std::memset(p, 0, size + 1u);
      }
    }
    if (f.Descending && invertFields) {
      // A String keeps its final zero so that shorter texts still end the comparison.
      int n = size + 1 - (f.Type == EngineFieldType::String ? 1 : 0);
      for (int i = 0; i < n; ++i) p[i] = static_cast<uint8_t>(~p[i]);
    }
    p += size + 1;
  }
  if (!Unique) PutSignedBE32(p, autoInc);
}

std::vector<uint8_t> TIndexKeyDefinition::BuildKey(const uint8_t *record, size_t recordSize) const {
  std::vector<uint8_t> key(static_cast<size_t>(KeyLength()));
  BuildKey(record, recordSize, key.data());
  return key;
}

}  // namespace kura
