#pragma once
// Reading and writing one field's value in a record image with the stored encodings.
//
// A field is a null-indicator byte (1 = value present) at the descriptor's offset followed by
// its data; an AutoInc field is the record's bytes 5 to 8 and is never NULL. Callers pass
// record images of the table's record size; descriptors come from a validated data file, so
// offset + data size lies inside the record.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/data/Bcd.h"
#include "engine/data/FieldDescriptor.h"

namespace kura {

bool FieldIsNull(const TFieldDescriptor &field, const uint8_t *record);
// Indicator 0 and zeroed data (for Blob only the first four data bytes); AutoInc is left alone.
void SetFieldNull(const TFieldDescriptor &field, uint8_t *record);
// The field's data bytes (the prefix bytes 5 to 8 for AutoInc).
const uint8_t *FieldData(const TFieldDescriptor &field, const uint8_t *record);
uint8_t *FieldData(const TFieldDescriptor &field, uint8_t *record);

// String: trailing blanks removed, case mapped as the descriptor says with the table's language
// (0 = US English), cut to the declared size without splitting a character, rest zero; an
// empty result is stored as NULL.
void SetStringField(const TFieldDescriptor &field, uint8_t *record, std::string_view text, uint16_t languageId);
std::string GetStringField(const TFieldDescriptor &field, const uint8_t *record);

// Integer-like types: SmallInt, Integer (and AutoInc), Word, LongWord, LargeInt, Boolean
// (stored as 1 for any non-zero value), Date (day number), Time (milliseconds).
void SetIntegerField(const TFieldDescriptor &field, uint8_t *record, int64_t value);
int64_t GetIntegerField(const TFieldDescriptor &field, const uint8_t *record);
// Float, TimeStamp (the stored double) and Extended (converted to and from 80 bits).
void SetFloatField(const TFieldDescriptor &field, uint8_t *record, double value);
double GetFloatField(const TFieldDescriptor &field, const uint8_t *record);
void SetBcdField(const TFieldDescriptor &field, uint8_t *record, const TBcd &value);
TBcd GetBcdField(const TFieldDescriptor &field, const uint8_t *record);
// Bytes, VarBytes, Blob reference and Extended raw bytes: copied up to the data size, rest zero.
void SetBytesField(const TFieldDescriptor &field, uint8_t *record, const std::vector<uint8_t> &bytes);
std::vector<uint8_t> GetBytesField(const TFieldDescriptor &field, const uint8_t *record);

// 80-bit extended floats (64-bit mantissa with explicit integer bit, 15-bit exponent, sign).
void DoubleToExtended(double value, uint8_t *bytes);
double ExtendedToDouble(const uint8_t *bytes);

// Trailing blanks removed and case mapped (the string write rule without storing).
std::string PrepareStringValue(std::string_view text, FieldCharCase charCase, uint16_t languageId);

}  // namespace kura
