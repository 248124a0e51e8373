#pragma once
// The general conversion of one value between data types (CAST, implicit conversions of
// constants, the values of IF, IFNULL and COALESCE).
#include "query/expr/ExpValue.h"

namespace kura {

struct TTypeInfo {
  TDataType Type = TDataType::Unknown;
  FieldSubType SubType = FieldSubType::None;
  uint32_t Size = 0;  // String: declared length + 1; Bytes/VarBytes: length
  uint8_t Scale = 0;
};

// Converts a non-NULL value; false when it does not convert (the caller then uses NULL).
// A String result is cut to the target size. Never throws.
bool ConvertValue(const TTypeInfo &from, const TExpValue &in, const TTypeInfo &to, TExpValue &out);

// The text of a value as CAST to String writes it (times in 24-hour form).
std::string ValueText(const TTypeInfo &type, const TExpValue &v);

}  // namespace kura
