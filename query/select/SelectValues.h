#pragma once
// Moving values between record images and evaluator values: a field read into the
// representation its type has in expressions, and an expression value written into a field.
#include <cstdint>
#include <string>

#include "engine/data/FieldDescriptor.h"
#include "query/expr/ExpValue.h"
#include "query/expr/ValueConvert.h"

namespace kura {

// The expression type a field reads as (String size = declared length + 1).
TTypeInfo FieldTypeInfo(const TFieldDescriptor &field);

// NULL for a NULL field and for Blob fields (their contents live in the blob file).
void ReadFieldValue(const TFieldDescriptor &field, const uint8_t *record, TExpValue &value);

// A NULL value clears the field; a value of the field's own expression type is stored.
void WriteFieldValue(const TFieldDescriptor &field, uint8_t *record, const TExpValue &value,
                     uint16_t languageId);

// The text of a value in the engine's own forms ("NULL" is left to the caller).
std::string FieldValueText(const TTypeInfo &type, const TExpValue &value);

}  // namespace kura
