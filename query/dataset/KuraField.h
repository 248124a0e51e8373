#pragma once
// Field objects of a dataset: one column of the active record, read and written with the
// engine's stored encodings and converted to and from integers, floats and text.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/data/FieldDescriptor.h"
#include "query/dataset/KuraValue.h"
#include "query/expr/ExpValue.h"
#include "query/expr/ValueConvert.h"

namespace kura {

class TField;

// What fields need of their dataset.
class TFieldBufferOwner {
 public:
  virtual ~TFieldBufferOwner() = default;
  // The record the fields show (null when there is none).
  virtual const uint8_t *FieldReadBuffer() const = 0;
  // The record being edited; fails with "Table is not in edit or insert mode." outside edit
  // and insert state.
  virtual uint8_t *FieldWriteBuffer() = 0;
  virtual void FieldChanged(TField &field) = 0;
  virtual uint16_t FieldLanguageId() const = 0;
};

class TField {
 public:
  // descriptor: the field as the cursor's catalogue describes it (offset into the record).
  TField(TFieldBufferOwner *owner, const TFieldDescriptor &descriptor, std::string name, int index);

  const std::string &FieldName() const { return FFieldName; }
  int FieldNo() const { return FDescriptor.FieldNumber; }
  int Index() const { return FIndex; }
  TKuraFieldType DataType() const { return FDataType; }
  // Declared size of strings and bytes; the scale of BCD fields.
  int Size() const;
  // 32 for BCD fields.
  int Precision() const { return FDataType == TKuraFieldType::BCD ? 32 : 0; }
  bool Required() const { return FDescriptor.Required; }
  const TFieldDescriptor &Descriptor() const { return FDescriptor; }
  TTypeInfo TypeInfo() const;

  bool ReadOnly = false;
  std::string DisplayLabel;  // empty: the field name
  std::string Origin;        // "table.field"
  std::string DisplayName() const { return DisplayLabel.empty() ? FFieldName : DisplayLabel; }

  bool IsNull() const;
  // An empty field reads as 0, 0.0, false or the empty string.
  int64_t AsInteger() const;
  double AsFloat() const;
  bool AsBoolean() const;
  std::string AsString() const;
  TKuraValue Value() const;

  // Writing needs edit or insert state ("Table is not in edit or insert mode.") and a field
  // that may be modified ("Field %s cannot be modified."). A value that does not convert to
  // the field's type fails with "'%s' is not a valid value for field '%s'".
  void SetAsInteger(int64_t value);
  void SetAsFloat(double value);
  void SetAsBoolean(bool value);
  void SetAsString(const std::string &value);
  void SetValue(const TKuraValue &value);
  void Clear();

  // The field's value in its expression type (for filters and Locate).
  void ReadExpValue(const uint8_t *record, TExpValue &value) const;

  // The dataset (or other record holder) the field belongs to.
  TFieldBufferOwner *Owner() const { return FOwner; }
  // Memo, graphic and other Blob fields: their value lives in the table's blob file and is
  // read and written through a blob stream of the owning dataset. AsString gives the value's
  // bytes (a memo's text); assigning writes a new value into the record being edited.
  bool IsBlob() const { return FDescriptor.Type == EngineFieldType::Blob; }

 private:
  void Write(const TTypeInfo &type, const TExpValue &value, const std::string &text);
  uint8_t *CheckedWriteBuffer();
  std::string ReadBlobText() const;
  void WriteBlobText(const std::string &text);

  TFieldBufferOwner *FOwner;
  TFieldDescriptor FDescriptor;
  std::string FFieldName;
  int FIndex;
  TKuraFieldType FDataType;
};

}  // namespace kura
