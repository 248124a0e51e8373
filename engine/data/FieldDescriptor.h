#pragma once
// The 768-byte description of one field in a data file, and the record layout derived from it.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/data/FieldTypes.h"

namespace kura {

inline constexpr size_t kFieldDescriptorSize = 768;
inline constexpr int kMaxFieldCount = 1024;
inline constexpr int kMaxBlobFieldCount = 128;
inline constexpr int kMaxDeclaredSize = 250;
inline constexpr size_t kRecordPrefixSize = 9;
inline constexpr uint16_t kAutoIncOffset = 5;

enum class FieldCharCase : uint8_t { Unchanged = 0, Lower = 1, Upper = 2 };

struct TFieldDescriptor {
  int16_t FieldNumber = 0;
  std::string Name;         // at most 30 bytes
  std::string Description;  // at most 50 bytes
  EngineFieldType Type = EngineFieldType::Unknown;
  FieldSubType SubType = FieldSubType::None;
  uint8_t DeclaredSize = 0;
  uint8_t DeclaredScale = 0;
  uint8_t DataSize = 0;
  uint8_t DataScale = 0;
  uint16_t Offset = 0;  // of the null-indicator byte within the record (5 for AutoInc)
  bool Required = false;
  FieldCharCase CharCase = FieldCharCase::Unchanged;
  std::string MinValue, MaxValue, DefaultValue;  // texts, each at most 50 bytes
  uint8_t Calculated = 0;                        // 0 in a data file

  bool IsAutoInc() const { return Type == EngineFieldType::Integer && SubType == FieldSubType::AutoInc; }
  // Record bytes the field occupies: indicator + data (0 for AutoInc, which lives in the prefix).
  size_t RecordBytes() const { return IsAutoInc() ? 0 : static_cast<size_t>(DataSize) + 1; }

  void Decode(const uint8_t *bytes);  // 768 bytes
  void Encode(uint8_t *bytes) const;  // 768 bytes, unused bytes zero
};

// Stored data size of a type with a declared size (0 for types without storage).
uint8_t StoredDataSize(EngineFieldType type, uint8_t declaredSize);
// Whether the type takes a declared size (String, Bytes, VarBytes).
bool TypeHasDeclaredSize(EngineFieldType type);
// Whether a code names a type with storage (1-15, 18).
bool IsKnownFieldType(uint8_t code);

// Derives stored sizes, scales and offsets for fields in order; returns the record size
// (which may exceed 65 535: the caller checks).
size_t LayoutFields(std::vector<TFieldDescriptor> &fields);

}  // namespace kura
