#pragma once
// Default, minimum and maximum texts of a field: whether a text is a valid constant of the
// field's type. Numbers follow the SQL number syntax, dates, times, timestamps and booleans
// their text forms; CURRENT_DATE, CURRENT_TIME and CURRENT_TIMESTAMP are accepted where they
// make sense as defaults. An empty text always means "none".
#include <cstdint>
#include <string_view>

#include "engine/data/FieldTypes.h"

namespace kura {

bool IsValidFieldConstant(EngineFieldType type, FieldSubType subType, std::string_view text);
// Decimal integer with optional sign, within the 64-bit range.
bool ParseIntegerText(std::string_view text, int64_t &value);
// SQL number: optional sign, digits with optional "." and fraction, optional exponent.
bool ParseNumberText(std::string_view text, double &value);

}  // namespace kura
