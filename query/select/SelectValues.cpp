#include "query/select/SelectValues.h"

#include "engine/data/Bcd.h"
#include "engine/data/FieldCodec.h"
#include "query/expr/Bcd.h"

namespace kura {

TTypeInfo FieldTypeInfo(const TFieldDescriptor &field) {
  TTypeInfo info;
  info.Type = field.Type;
  info.SubType = field.SubType;
  info.Scale = field.Type == EngineFieldType::BCD ? field.DeclaredScale : 0;
  switch (field.Type) {
    case EngineFieldType::String: info.Size = field.DeclaredSize + 1u; break;
    case EngineFieldType::Bytes:
    case EngineFieldType::VarBytes: info.Size = field.DeclaredSize; break;
    default: info.Size = DataTypeSize(field.Type); break;
  }
  return info;
}

void ReadFieldValue(const TFieldDescriptor &field, const uint8_t *record, TExpValue &value) {
  value.Clear();
  if (field.Type == EngineFieldType::Blob) return;
  if (!field.IsAutoInc() && FieldIsNull(field, record)) return;
  switch (field.Type) {
    case EngineFieldType::String:
      value = TExpValue::OfStr(GetStringField(field, record));
      return;
    case EngineFieldType::Bytes:
    case EngineFieldType::VarBytes: {
      std::vector<uint8_t> bytes = GetBytesField(field, record);
      value.Null = false;
      value.Str.assign(bytes.begin(), bytes.end());
      return;
    }
    case EngineFieldType::Float:
    case EngineFieldType::TimeStamp:
    case EngineFieldType::Extended:
      value = TExpValue::OfFloat(GetFloatField(field, record));
      return;
    case EngineFieldType::BCD: {
      int64_t scaled = 0;
      if (BcdToCurrency(GetBcdField(field, record), scaled)) value = TExpValue::OfInt(scaled);
      return;
    }
    default:
      value = TExpValue::OfInt(GetIntegerField(field, record));
      return;
  }
}

void WriteFieldValue(const TFieldDescriptor &field, uint8_t *record, const TExpValue &value,
                     uint16_t languageId) {
  if (field.IsAutoInc()) return;
  if (value.Null || field.Type == EngineFieldType::Blob) {
    SetFieldNull(field, record);
    return;
  }
  switch (field.Type) {
    case EngineFieldType::String:
      SetStringField(field, record, value.Str, languageId);
      return;
    case EngineFieldType::Bytes:
    case EngineFieldType::VarBytes:
      SetBytesField(field, record, std::vector<uint8_t>(value.Str.begin(), value.Str.end()));
      return;
    case EngineFieldType::Float:
    case EngineFieldType::TimeStamp:
    case EngineFieldType::Extended:
      SetFloatField(field, record, value.Float);
      return;
    case EngineFieldType::BCD:
      SetBcdField(field, record, CurrencyToBcd(value.Int, field.DeclaredScale));
      return;
    default:
      SetIntegerField(field, record, value.Int);
      return;
  }
}

std::string FieldValueText(const TTypeInfo &type, const TExpValue &value) {
  if (value.Null) return std::string();
  if (type.Type == EngineFieldType::Bytes || type.Type == EngineFieldType::VarBytes) {
    static const char *digits = "0123456789ABCDEF";
    std::string text;
    for (unsigned char c : value.Str) {
      text += digits[c >> 4];
      text += digits[c & 15];
    }
    return text;
  }
  // Integers are written in decimal as their stored bytes hold them (the conversion to a String
  // value below says the same, by way of those bytes): directly, since every row of a result
  // is written out this way.
  switch (type.Type) {
    case EngineFieldType::SmallInt: return std::to_string(static_cast<int16_t>(value.Int));
    case EngineFieldType::Word: return std::to_string(static_cast<uint16_t>(value.Int));
    case EngineFieldType::Integer: return std::to_string(static_cast<int32_t>(value.Int));
    case EngineFieldType::LargeInt: return std::to_string(value.Int);
    default: break;
  }
  TTypeInfo asText{EngineFieldType::String, FieldSubType::None, 1024, 0};
  TExpValue out;
  if (type.Type == EngineFieldType::String || type.Type == EngineFieldType::Blob) return value.Str;
  if (ConvertValue(type, value, asText, out)) return out.Str;
  return ValueText(type, value);
}

}  // namespace kura
