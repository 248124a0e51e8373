#pragma once
// The value type the components exchange with the application (a small Variant), and the
// field types of the component layer.
#include <cstdint>
#include <string>
#include <variant>

#include "engine/data/FieldTypes.h"

namespace kura {

enum class TKuraFieldType {
  Unknown,
  String,
  FixedChar,
  SmallInt,
  Integer,
  Word,
  LargeInt,
  AutoInc,
  Boolean,
  Float,
  Currency,
  BCD,
  Date,
  Time,
  DateTime,
  Bytes,
  VarBytes,
  Blob,
  Memo,
  Graphic,
  FmtMemo,
  TypedBinary,
};

// The component type of an engine field (fixed-char strings, auto-increment integers, money
// floats and the blob subtypes are told apart).
TKuraFieldType FieldTypeOf(EngineFieldType type, FieldSubType subType);
const char *FieldTypeName(TKuraFieldType type);

class TKuraValue {
 public:
  TKuraValue() = default;
  TKuraValue(int v) : FData(static_cast<int64_t>(v)) {}
  TKuraValue(int64_t v) : FData(v) {}
  TKuraValue(double v) : FData(v) {}
  TKuraValue(bool v) : FData(v) {}
  TKuraValue(const char *v) : FData(std::string(v)) {}
  TKuraValue(std::string v) : FData(std::move(v)) {}
  static TKuraValue Null() { return TKuraValue(); }

  bool IsNull() const { return std::holds_alternative<std::monostate>(FData); }
  bool IsInteger() const { return std::holds_alternative<int64_t>(FData); }
  bool IsFloat() const { return std::holds_alternative<double>(FData); }
  bool IsString() const { return std::holds_alternative<std::string>(FData); }
  bool IsBoolean() const { return std::holds_alternative<bool>(FData); }

  // Conversions: NULL gives 0 / "" / false; a string that is not a number gives 0.
  int64_t AsInteger() const;
  double AsFloat() const;
  std::string AsString() const;
  bool AsBoolean() const;

  bool operator==(const TKuraValue &other) const { return FData == other.FData; }

 private:
  std::variant<std::monostate, int64_t, double, bool, std::string> FData;
};

}  // namespace kura
