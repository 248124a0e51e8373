// Field encodings in record images.
#include "engine/data/FieldCodec.h"

#include <cmath>
#include <cstring>

#include "engine/locale/Collation.h"
#include "engine/util/Bytes.h"

namespace kura {

const uint8_t *FieldData(const TFieldDescriptor &field, const uint8_t *record) {
  return field.IsAutoInc() ? record + kAutoIncOffset : record + field.Offset + 1;
}

uint8_t *FieldData(const TFieldDescriptor &field, uint8_t *record) {
  return field.IsAutoInc() ? record + kAutoIncOffset : record + field.Offset + 1;
}

bool FieldIsNull(const TFieldDescriptor &field, const uint8_t *record) {
  if (field.IsAutoInc()) return false;
  return record[field.Offset] == 0;
}

void SetFieldNull(const TFieldDescriptor &field, uint8_t *record) {
  if (field.IsAutoInc()) return;
  record[field.Offset] = 0;
  size_t length = field.Type == EngineFieldType::Blob ? 4 : field.DataSize;
  std::memset(record + field.Offset + 1, 0, length);
}

std::string PrepareStringValue(std::string_view text, FieldCharCase charCase, uint16_t languageId) {
  size_t end = text.size();
  while (end > 0 && text[end - 1] == ' ') --end;
  std::string_view trimmed = text.substr(0, end);
  switch (charCase) {
    case FieldCharCase::Lower: return LowerCase(languageId, trimmed);
    case FieldCharCase::Upper: return UpperCase(languageId, trimmed);
    default: return std::string(trimmed);
  }
}

void SetStringField(const TFieldDescriptor &field, uint8_t *record, std::string_view text, uint16_t languageId) {
  std::string value = PrepareStringValue(text, field.CharCase, languageId);
  // Case mapping may have produced trailing blanks only if the text had them; cut to size
  // without splitting a UTF-8 sequence.
  size_t length = Utf8CutLength(value, field.DeclaredSize);
  // A zero byte inside the text ends it.
  size_t zero = value.find('\0');
  if (zero != std::string::npos && zero < length) length = zero;
  uint8_t *data = record + field.Offset + 1;
  std::memset(data, 0, field.DataSize);
  std::memcpy(data, value.data(), length);
  record[field.Offset] = length > 0 ? 1 : 0;
}

std::string GetStringField(const TFieldDescriptor &field, const uint8_t *record) {
  if (FieldIsNull(field, record)) return std::string();
  return std::string(ZeroTerminatedText(record + field.Offset + 1, field.DataSize));
}

void SetIntegerField(const TFieldDescriptor &field, uint8_t *record, int64_t value) {
  uint8_t *data = FieldData(field, record);
  switch (field.Type) {
    case EngineFieldType::SmallInt: PutI16(data, static_cast<int16_t>(value)); break;
    case EngineFieldType::Word: PutU16(data, static_cast<uint16_t>(value)); break;
    case EngineFieldType::Boolean: PutU16(data, value != 0 ? 1 : 0); break;
    case EngineFieldType::Integer:
    case EngineFieldType::Date:
    case EngineFieldType::Time: PutI32(data, static_cast<int32_t>(value)); break;
    case EngineFieldType::LongWord: PutU32(data, static_cast<uint32_t>(value)); break;
    case EngineFieldType::LargeInt: PutI64(data, value); break;
    case EngineFieldType::Float:
    case EngineFieldType::TimeStamp: PutF64(data, static_cast<double>(value)); break;
    case EngineFieldType::Extended: DoubleToExtended(static_cast<double>(value), data); break;
    default: return;
  }
  if (!field.IsAutoInc()) record[field.Offset] = 1;
}

int64_t GetIntegerField(const TFieldDescriptor &field, const uint8_t *record) {
  const uint8_t *data = FieldData(field, record);
  switch (field.Type) {
    case EngineFieldType::SmallInt: return GetI16(data);
    case EngineFieldType::Word:
    case EngineFieldType::Boolean: return GetU16(data);
    case EngineFieldType::Integer:
    case EngineFieldType::Date:
    case EngineFieldType::Time: return GetI32(data);
    case EngineFieldType::LongWord: return GetU32(data);
    case EngineFieldType::LargeInt: return GetI64(data);
    case EngineFieldType::Float:
    case EngineFieldType::TimeStamp: {
      double v = GetF64(data);
      return std::isfinite(v) && std::fabs(v) < 9.2e18 ? static_cast<int64_t>(v) : 0;
    }
    default: return 0;
  }
}

void SetFloatField(const TFieldDescriptor &field, uint8_t *record, double value) {
  uint8_t *data = FieldData(field, record);
  switch (field.Type) {
    case EngineFieldType::Float:
    case EngineFieldType::TimeStamp: PutF64(data, value); break;
    case EngineFieldType::Extended: DoubleToExtended(value, data); break;
    default: SetIntegerField(field, record, static_cast<int64_t>(value)); return;
  }
  record[field.Offset] = 1;
}

double GetFloatField(const TFieldDescriptor &field, const uint8_t *record) {
  const uint8_t *data = FieldData(field, record);
  switch (field.Type) {
    case EngineFieldType::Float:
    case EngineFieldType::TimeStamp: return GetF64(data);
    case EngineFieldType::Extended: return ExtendedToDouble(data);
    default: return static_cast<double>(GetIntegerField(field, record));
  }
}

void SetBcdField(const TFieldDescriptor &field, uint8_t *record, const TBcd &value) {
  if (field.Type != EngineFieldType::BCD) return;
  value.Encode(record + field.Offset + 1);
  record[field.Offset] = 1;
}

TBcd GetBcdField(const TFieldDescriptor &field, const uint8_t *record) {
  TBcd value;
  if (field.Type == EngineFieldType::BCD) value.Decode(record + field.Offset + 1);
  return value;
}

void SetBytesField(const TFieldDescriptor &field, uint8_t *record, const std::vector<uint8_t> &bytes) {
  uint8_t *data = FieldData(field, record);
  size_t size = field.IsAutoInc() ? 4 : field.DataSize;
  size_t n = bytes.size() < size ? bytes.size() : size;
  std::memset(data, 0, size);
  if (n > 0) std::memcpy(data, bytes.data(), n);
  if (!field.IsAutoInc()) record[field.Offset] = 1;
}

std::vector<uint8_t> GetBytesField(const TFieldDescriptor &field, const uint8_t *record) {
  const uint8_t *data = FieldData(field, record);
  size_t size = field.IsAutoInc() ? 4 : field.DataSize;
  return std::vector<uint8_t>(data, data + size);
}

void DoubleToExtended(double value, uint8_t *bytes) {
  std::memset(bytes, 0, 10);
  uint16_t sign = std::signbit(value) ? 0x8000 : 0;
  if (value == 0) {
    PutU16(bytes + 8, sign);
    return;
  }
  if (std::isnan(value)) {
    PutU64(bytes, 0xC000000000000000ULL);
    PutU16(bytes + 8, 0x7FFF);
    return;
  }
  if (std::isinf(value)) {
    PutU64(bytes, 0x8000000000000000ULL);
    PutU16(bytes + 8, static_cast<uint16_t>(sign | 0x7FFF));
    return;
  }
  int exponent;
  double fraction = std::frexp(std::fabs(value), &exponent);  // [0.5, 1)
  uint64_t mantissa = static_cast<uint64_t>(std::ldexp(fraction, 64));
  PutU64(bytes, mantissa);
  PutU16(bytes + 8, static_cast<uint16_t>(sign | static_cast<uint16_t>(exponent - 1 + 16383)));
}

double ExtendedToDouble(const uint8_t *bytes) {
  uint64_t mantissa = GetU64(bytes);
  uint16_t top = GetU16(bytes + 8);
  bool negative = (top & 0x8000) != 0;
  int exponent = top & 0x7FFF;
  double value;
  if (exponent == 0x7FFF) {
    value = (mantissa << 1) == 0 ? INFINITY : NAN;
  } else if (mantissa == 0) {
    value = 0;
  } else {
    value = std::ldexp(static_cast<double>(mantissa), exponent - 16383 - 63);
  }
  return negative ? -value : value;
}

}  // namespace kura
