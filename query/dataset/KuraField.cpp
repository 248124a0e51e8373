// Field objects.
#include "query/dataset/KuraField.h"

#include <cmath>

#include "engine/data/FieldCodec.h"
#include "query/dataset/DataSetErrors.h"
#include "query/dataset/KuraBlobStream.h"
#include "query/expr/DateTimeText.h"
#include "query/select/SelectValues.h"

namespace kura {

TField::TField(TFieldBufferOwner *owner, const TFieldDescriptor &descriptor, std::string name, int index)
    : FOwner(owner),
      FDescriptor(descriptor),
      FFieldName(std::move(name)),
      FIndex(index),
      FDataType(FieldTypeOf(descriptor.Type, descriptor.SubType)) {
  // Calculated columns of a projection have no stored place to write to.
  if (descriptor.Calculated != 0) ReadOnly = true;
}

int TField::Size() const {
  if (FDataType == TKuraFieldType::BCD) return FDescriptor.DeclaredScale;
  if (TypeHasDeclaredSize(FDescriptor.Type)) return FDescriptor.DeclaredSize;
  return 0;
}

TTypeInfo TField::TypeInfo() const { return FieldTypeInfo(FDescriptor); }

void TField::ReadExpValue(const uint8_t *record, TExpValue &value) const {
  value.Clear();
  if (!record) return;
  if (FDescriptor.Type == EngineFieldType::Blob) {
    // The field holds a reference into the blob file; without the blob layer only its
    // presence is known.
    value.Null = FieldIsNull(FDescriptor, record);
    return;
  }
  ReadFieldValue(FDescriptor, record, value);
}

namespace {

// Whether a Blob field of a record buffer holds the handle of a blob its cursor has open (the
// first-block number is then negative and the indicator still tells the value as read).
bool HoldsOpenBlob(const TFieldDescriptor &field, const uint8_t *record) {
  const uint8_t *data = FieldData(field, record);
  const uint32_t first = static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 |
                         static_cast<uint32_t>(data[2]) << 16 | static_cast<uint32_t>(data[3]) << 24;
  return static_cast<int32_t>(first) < 0;
}

}  // namespace

bool TField::IsNull() const {
  const uint8_t *record = FOwner->FieldReadBuffer();
  if (!record) return true;
  // A blob being changed is NULL when its value is empty, whatever it was before.
  if (IsBlob() && HoldsOpenBlob(FDescriptor, record)) return ReadBlobText().empty();
  return FieldIsNull(FDescriptor, record);
}

std::string TField::ReadBlobText() const {
  const uint8_t *record = FOwner->FieldReadBuffer();
  if (!record) return {};
  if (FieldIsNull(FDescriptor, record) && !HoldsOpenBlob(FDescriptor, record)) return {};
  TKuraBlobStream stream(const_cast<TField &>(*this), TBlobStreamMode::bmRead);
  return stream.ReadText();
}

void TField::WriteBlobText(const std::string &text) {
  CheckedWriteBuffer();
  TKuraBlobStream stream(*this, TBlobStreamMode::bmWrite);
  stream.WriteText(text);
}

TKuraValue TField::Value() const {
  if (IsBlob()) return IsNull() ? TKuraValue() : TKuraValue(ReadBlobText());
  TExpValue v;
  ReadExpValue(FOwner->FieldReadBuffer(), v);
  if (v.Null) return TKuraValue();
  switch (FDescriptor.Type) {
    case EngineFieldType::String: return TKuraValue(v.Str);
    case EngineFieldType::Boolean: return TKuraValue(v.Int != 0);
    case EngineFieldType::Float: return TKuraValue(v.Float);
    case EngineFieldType::BCD: return TKuraValue(static_cast<double>(v.Int) / 10000.0);
    case EngineFieldType::SmallInt:
    case EngineFieldType::Integer:
    case EngineFieldType::Word:
    case EngineFieldType::LongWord:
    case EngineFieldType::LargeInt: return TKuraValue(v.Int);
    default: return TKuraValue(AsString());
  }
}

int64_t TField::AsInteger() const {
  TExpValue v;
  ReadExpValue(FOwner->FieldReadBuffer(), v);
  if (IsBlob()) v = TExpValue::OfStr(ReadBlobText());
  if (v.Null) return 0;
  if (HoldsFloat(FDescriptor.Type)) return static_cast<int64_t>(std::llround(v.Float));
  if (FDescriptor.Type == EngineFieldType::BCD) return static_cast<int64_t>(std::llround(v.Int / 10000.0));
  if (HoldsString(FDescriptor.Type)) {
    int64_t out = 0;
    if (!TryParseInteger(v.Str, INT64_MIN, INT64_MAX, out))
      RaiseDatabaseError(FormatMessage("'%s' is not a valid integer value", v.Str).c_str());
    return out;
  }
  return v.Int;
}

double TField::AsFloat() const {
  TExpValue v;
  ReadExpValue(FOwner->FieldReadBuffer(), v);
  if (IsBlob()) v = TExpValue::OfStr(ReadBlobText());
  if (v.Null) return 0;
  if (HoldsFloat(FDescriptor.Type)) return v.Float;
  if (FDescriptor.Type == EngineFieldType::BCD) return static_cast<double>(v.Int) / 10000.0;
  if (HoldsString(FDescriptor.Type)) {
    double out = 0;
    if (!TryParseFloat(v.Str, out))
      RaiseDatabaseError(FormatMessage("'%s' is not a valid floating point value", v.Str).c_str());
    return out;
  }
  return static_cast<double>(v.Int);
}

bool TField::AsBoolean() const {
  TExpValue v;
  ReadExpValue(FOwner->FieldReadBuffer(), v);
  if (IsBlob()) v = TExpValue::OfStr(ReadBlobText());
  if (v.Null) return false;
  if (HoldsString(FDescriptor.Type)) return ParseBoolean(v.Str);
  if (HoldsFloat(FDescriptor.Type)) return v.Float != 0;
  return v.Int != 0;
}

std::string TField::AsString() const {
  if (IsBlob()) return ReadBlobText();
  TExpValue v;
  ReadExpValue(FOwner->FieldReadBuffer(), v);
  if (v.Null) return {};
  if (HoldsString(FDescriptor.Type)) return v.Str;
  if (FDescriptor.Type == EngineFieldType::Boolean) return BooleanText(v.Int != 0);
  return FieldValueText(TypeInfo(), v);
}

uint8_t *TField::CheckedWriteBuffer() {
  uint8_t *record = FOwner->FieldWriteBuffer();
  if (ReadOnly) RaiseDatabaseError(dsmsg::FieldReadOnly, FFieldName);
  return record;
}

void TField::Write(const TTypeInfo &type, const TExpValue &value, const std::string &text) {
  if (IsBlob()) return WriteBlobText(value.Null ? std::string() : text);
  uint8_t *record = CheckedWriteBuffer();
  TExpValue converted;
  const TTypeInfo target = TypeInfo();
  if (value.Null) {
    converted.Null = true;
  } else if (!ConvertValue(type, value, target, converted) || converted.Null) {
    // A text that is empty after conversion is NULL; anything else that does not convert is
    // refused rather than stored as a zero.
    if (!(HoldsString(type.Type) && value.Str.empty()))
      throw EKuraDatabaseError("'" + text + "' is not a valid value for field '" + FFieldName + "'");
    converted.Null = true;
  }
  WriteFieldValue(FDescriptor, record, converted, FOwner->FieldLanguageId());
  FOwner->FieldChanged(*this);
}

void TField::SetAsInteger(int64_t value) {
  TTypeInfo t;
  t.Type = EngineFieldType::LargeInt;
  Write(t, TExpValue::OfInt(value), std::to_string(value));
}

void TField::SetAsFloat(double value) {
  TTypeInfo t;
  t.Type = EngineFieldType::Float;
  Write(t, TExpValue::OfFloat(value), FloatText(value));
}

void TField::SetAsBoolean(bool value) {
  TTypeInfo t;
  t.Type = EngineFieldType::Boolean;
  Write(t, TExpValue::OfBool(value), BooleanText(value));
}

void TField::SetAsString(const std::string &value) {
  TTypeInfo t;
  t.Type = EngineFieldType::String;
  t.Size = static_cast<uint32_t>(value.size()) + 1;
  TExpValue v;
  v.Null = value.empty();
  v.Str = value;
  Write(t, v, value);
}

void TField::SetValue(const TKuraValue &value) {
  if (value.IsNull()) return Clear();
  if (value.IsInteger()) return SetAsInteger(value.AsInteger());
  if (value.IsFloat()) return SetAsFloat(value.AsFloat());
  if (value.IsBoolean()) return SetAsBoolean(value.AsBoolean());
  SetAsString(value.AsString());
}

void TField::Clear() {
  // An emptied blob gives its blocks back when the record is posted.
  if (IsBlob()) return WriteBlobText({});
  uint8_t *record = CheckedWriteBuffer();
  TExpValue v;
  WriteFieldValue(FDescriptor, record, v, FOwner->FieldLanguageId());
  FOwner->FieldChanged(*this);
}

}  // namespace kura
