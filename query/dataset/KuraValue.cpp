// Component values and field types.
#include "query/dataset/KuraValue.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace kura {

TKuraFieldType FieldTypeOf(EngineFieldType type, FieldSubType subType) {
  switch (type) {
    case EngineFieldType::String:
      return subType == FieldSubType::FixedChar ? TKuraFieldType::FixedChar : TKuraFieldType::String;
    case EngineFieldType::Date: return TKuraFieldType::Date;
    case EngineFieldType::Time: return TKuraFieldType::Time;
    case EngineFieldType::TimeStamp: return TKuraFieldType::DateTime;
    case EngineFieldType::Boolean: return TKuraFieldType::Boolean;
    case EngineFieldType::SmallInt: return TKuraFieldType::SmallInt;
    case EngineFieldType::Integer:
      return subType == FieldSubType::AutoInc ? TKuraFieldType::AutoInc : TKuraFieldType::Integer;
    case EngineFieldType::Word: return TKuraFieldType::Word;
    case EngineFieldType::LongWord:
    case EngineFieldType::LargeInt: return TKuraFieldType::LargeInt;
    case EngineFieldType::Float:
      return subType == FieldSubType::Money ? TKuraFieldType::Currency : TKuraFieldType::Float;
    case EngineFieldType::Extended: return TKuraFieldType::Float;
    case EngineFieldType::BCD: return TKuraFieldType::BCD;
    case EngineFieldType::Bytes: return TKuraFieldType::Bytes;
    case EngineFieldType::VarBytes: return TKuraFieldType::VarBytes;
    case EngineFieldType::Blob:
      switch (subType) {
        case FieldSubType::Memo: return TKuraFieldType::Memo;
        case FieldSubType::Graphic: return TKuraFieldType::Graphic;
        case FieldSubType::FormattedMemo: return TKuraFieldType::FmtMemo;
        case FieldSubType::TypedBinary: return TKuraFieldType::TypedBinary;
        default: return TKuraFieldType::Blob;
      }
    default: return TKuraFieldType::Unknown;
  }
}

const char *FieldTypeName(TKuraFieldType type) {
  static const char *const names[] = {"Unknown", "String",   "FixedChar", "SmallInt", "Integer", "Word",
                                      "LargeInt", "AutoInc", "Boolean",   "Float",    "Currency", "BCD",
                                      "Date",    "Time",     "DateTime",  "Bytes",    "VarBytes", "Blob",
                                      "Memo",    "Graphic",  "FmtMemo",   "TypedBinary"};
  return names[static_cast<int>(type)];
}

int64_t TKuraValue::AsInteger() const {
  if (auto p = std::get_if<int64_t>(&FData)) return *p;
  if (auto p = std::get_if<double>(&FData)) return static_cast<int64_t>(std::llround(*p));
  if (auto p = std::get_if<bool>(&FData)) return *p ? 1 : 0;
  if (auto p = std::get_if<std::string>(&FData)) return std::strtoll(p->c_str(), nullptr, 10);
  return 0;
}

double TKuraValue::AsFloat() const {
  if (auto p = std::get_if<int64_t>(&FData)) return static_cast<double>(*p);
  if (auto p = std::get_if<double>(&FData)) return *p;
  if (auto p = std::get_if<bool>(&FData)) return *p ? 1 : 0;
  if (auto p = std::get_if<std::string>(&FData)) return std::strtod(p->c_str(), nullptr);
  return 0;
}

std::string TKuraValue::AsString() const {
  if (auto p = std::get_if<int64_t>(&FData)) return std::to_string(*p);
  if (auto p = std::get_if<double>(&FData)) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", *p);
    return buf;
  }
  if (auto p = std::get_if<bool>(&FData)) return *p ? "True" : "False";
  if (auto p = std::get_if<std::string>(&FData)) return *p;
  return {};
}

bool TKuraValue::AsBoolean() const {
  if (auto p = std::get_if<bool>(&FData)) return *p;
  if (auto p = std::get_if<std::string>(&FData)) return *p == "True" || *p == "TRUE" || *p == "true";
  return AsInteger() != 0;
}

}  // namespace kura
