#pragma once
// The value a node carries: one slot per representation, chosen by the node's data type.
//
//   String, Memo and other Blob, Bytes, VarBytes  -> Str (bytes; strings without a terminator)
//   Boolean (0/1), SmallInt, Integer, Word, LargeInt -> Int
//   Date (day number, 0001-01-01 = day 1), Time (milliseconds since midnight) -> Int
//   BCD (value scaled by 10 000) -> Int
//   Float, TimeStamp (day number x 86 400 000 + milliseconds of the day) -> Float
#include <cstdint>
#include <string>

#include "engine/data/FieldTypes.h"

namespace kura {

using TDataType = EngineFieldType;

struct TExpValue {
  bool Null = true;
  int64_t Int = 0;
  double Float = 0;
  std::string Str;

  void Clear() {
    Null = true;
    Int = 0;
    Float = 0;
    Str.clear();
  }
  static TExpValue OfInt(int64_t v) { TExpValue r; r.Null = false; r.Int = v; return r; }
  static TExpValue OfFloat(double v) { TExpValue r; r.Null = false; r.Float = v; return r; }
  static TExpValue OfStr(std::string v) {
    TExpValue r;
    r.Null = v.empty();  // an empty string is NULL throughout the system
    r.Str = std::move(v);
    return r;
  }
  static TExpValue OfBool(bool v) { return OfInt(v ? 1 : 0); }
};

// Type families used by the checker and the evaluator.
inline bool IsNumericType(TDataType t) {
  return IsIntegerType(t) || t == TDataType::Float || t == TDataType::BCD;
}
inline bool IsDateTimeType(TDataType t) {
  return t == TDataType::Date || t == TDataType::Time || t == TDataType::TimeStamp;
}
inline bool IsMemo(TDataType t, FieldSubType s) {
  return t == TDataType::Blob && s == FieldSubType::Memo;
}
inline bool IsStringLike(TDataType t, FieldSubType s) {
  return t == TDataType::String || IsMemo(t, s);
}
// Which slot of TExpValue holds values of a type.
inline bool HoldsFloat(TDataType t) { return t == TDataType::Float || t == TDataType::TimeStamp; }
inline bool HoldsString(TDataType t) {
  return t == TDataType::String || t == TDataType::Blob || t == TDataType::Bytes ||
         t == TDataType::VarBytes;
}

// Size in bytes of a value of a type in a node's value buffer (String: declared length + 1).
uint32_t DataTypeSize(TDataType t, uint32_t declaredLength = 0);

}  // namespace kura
