#pragma once
// The 8 data bytes of a Blob field in a record: the first block number (0 = empty) and the
// blob change number, after the field's null-indicator byte. The indicator is 1 exactly when
// the first block number is not 0. While a cursor has the blob open, the first four data bytes
// of its record buffer hold the negated handle of the open blob instead.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "engine/data/FieldTypes.h"

namespace kura {

struct TBlobReference {
  int32_t FirstBlock = 0;
  int32_t ChangeNumber = 0;
  bool operator==(const TBlobReference &) const = default;
};

// What the blob operations need to know of a field (taken from its descriptor).
struct TBlobFieldInfo {
  uint16_t FieldNumber = 0;
  EngineFieldType FieldType = EngineFieldType::Unknown;
  uint16_t NullOffset = 0;  // offset of the null-indicator byte within the record
  std::string FieldName;
};

inline constexpr size_t BlobReferenceSize = 8;

// The blob-related parts of a 768-byte field descriptor as stored in a data file: field number
// (offset 0), name (short string at 2), type (84) and null-indicator offset (90).
TBlobFieldInfo BlobFieldInfoFromDescriptor(const uint8_t *descriptor);

// Whether the field's indicator byte and 8 data bytes lie inside the record.
bool BlobFieldFits(std::span<const uint8_t> record, const TBlobFieldInfo &field);
// The reference as stored (the caller has checked BlobFieldFits).
TBlobReference ReadBlobReference(std::span<const uint8_t> record, const TBlobFieldInfo &field);
// Stores a reference and sets the indicator to (first block != 0).
void StoreBlobReference(std::span<uint8_t> record, const TBlobFieldInfo &field, TBlobReference reference);
// Only the first block number (bytes 1 to 4); the indicator and change number stay.
void StoreFirstBlockBytes(std::span<uint8_t> record, const TBlobFieldInfo &field, int32_t value);

}  // namespace kura
