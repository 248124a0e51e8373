// Field descriptor encoding and record layout.
#include "engine/data/FieldDescriptor.h"

#include <cstring>

#include "engine/util/Bytes.h"

namespace kura {

void TFieldDescriptor::Decode(const uint8_t *b) {
  FieldNumber = GetI16(b + 0);
  Name = GetShortString(b + 2, 30);
  Description = GetShortString(b + 33, 50);
  Type = static_cast<EngineFieldType>(b[84]);
  SubType = static_cast<FieldSubType>(b[85]);
  DeclaredSize = b[86];
  DeclaredScale = b[87];
  DataSize = b[88];
  DataScale = b[89];
  Offset = GetU16(b + 90);
  Required = b[92] != 0;
  CharCase = static_cast<FieldCharCase>(b[93]);
  MinValue = GetShortString(b + 94, 50);
  MaxValue = GetShortString(b + 145, 50);
  DefaultValue = GetShortString(b + 196, 50);
  Calculated = b[247];
}

void TFieldDescriptor::Encode(uint8_t *b) const {
  std::memset(b, 0, kFieldDescriptorSize);
  PutI16(b + 0, FieldNumber);
  PutShortString(b + 2, 30, Name);
  PutShortString(b + 33, 50, Description);
  b[84] = static_cast<uint8_t>(Type);
  b[85] = static_cast<uint8_t>(SubType);
  b[86] = DeclaredSize;
  b[87] = DeclaredScale;
  b[88] = DataSize;
  b[89] = DataScale;
  PutU16(b + 90, Offset);
  b[92] = Required ? 1 : 0;
  b[93] = static_cast<uint8_t>(CharCase);
  PutShortString(b + 94, 50, MinValue);
  PutShortString(b + 145, 50, MaxValue);
  PutShortString(b + 196, 50, DefaultValue);
  b[247] = Calculated;
}

bool TypeHasDeclaredSize(EngineFieldType type) {
  return type == EngineFieldType::String || type == EngineFieldType::Bytes || type == EngineFieldType::VarBytes;
}

bool IsKnownFieldType(uint8_t code) { return (code >= 1 && code <= 15) || code == 18; }

uint8_t StoredDataSize(EngineFieldType type, uint8_t declaredSize) {
  switch (type) {
    case EngineFieldType::String: return static_cast<uint8_t>(declaredSize + 1);
    case EngineFieldType::Date: return 4;
    case EngineFieldType::Blob: return 8;
    case EngineFieldType::Boolean: return 2;
    case EngineFieldType::SmallInt: return 2;
    case EngineFieldType::Integer: return 4;
    case EngineFieldType::Float: return 8;
    case EngineFieldType::BCD: return 34;
    case EngineFieldType::Bytes: return declaredSize;
    case EngineFieldType::Time: return 4;
    case EngineFieldType::TimeStamp: return 8;
    case EngineFieldType::Word: return 2;
    case EngineFieldType::LongWord: return 4;
    case EngineFieldType::Extended: return 10;
    case EngineFieldType::VarBytes: return declaredSize;
    case EngineFieldType::LargeInt: return 8;
    default: return 0;
  }
}

size_t LayoutFields(std::vector<TFieldDescriptor> &fields) {
  size_t offset = kRecordPrefixSize;
  for (TFieldDescriptor &f : fields) {
    if (!TypeHasDeclaredSize(f.Type)) f.DeclaredSize = 0;
    if (f.Type != EngineFieldType::BCD) f.DeclaredScale = 0;
    f.DataSize = StoredDataSize(f.Type, f.DeclaredSize);
    f.DataScale = f.DeclaredScale;
    if (f.IsAutoInc()) {
      f.Offset = kAutoIncOffset;
    } else {
      f.Offset = static_cast<uint16_t>(offset);
      offset += static_cast<size_t>(f.DataSize) + 1;
    }
  }
  return offset;
}

}  // namespace kura
