// Blob references inside record images.
#include "engine/blob/BlobReference.h"

#include <algorithm>

#include "engine/blob/BlobByteOrder.h"

namespace kura {

TBlobFieldInfo BlobFieldInfoFromDescriptor(const uint8_t *descriptor) {
  TBlobFieldInfo info;
  info.FieldNumber = blobio::GetUInt16(descriptor + 0);
  const size_t nameLength = std::min<size_t>(descriptor[2], 30);
  info.FieldName.assign(reinterpret_cast<const char *>(descriptor + 3), nameLength);
  info.FieldType = static_cast<EngineFieldType>(descriptor[84]);
  info.NullOffset = blobio::GetUInt16(descriptor + 90);
  return info;
}

bool BlobFieldFits(std::span<const uint8_t> record, const TBlobFieldInfo &field) {
  return static_cast<size_t>(field.NullOffset) + 1 + BlobReferenceSize <= record.size();
}

TBlobReference ReadBlobReference(std::span<const uint8_t> record, const TBlobFieldInfo &field) {
  const uint8_t *data = record.data() + field.NullOffset + 1;
  return TBlobReference{blobio::GetInt32(data), blobio::GetInt32(data + 4)};
}

void StoreBlobReference(std::span<uint8_t> record, const TBlobFieldInfo &field, TBlobReference reference) {
  uint8_t *indicator = record.data() + field.NullOffset;
  *indicator = reference.FirstBlock != 0 ? 1 : 0;
  blobio::PutInt32(indicator + 1, reference.FirstBlock);
  blobio::PutInt32(indicator + 5, reference.ChangeNumber);
}

void StoreFirstBlockBytes(std::span<uint8_t> record, const TBlobFieldInfo &field, int32_t value) {
  blobio::PutInt32(record.data() + field.NullOffset + 1, value);
}

}  // namespace kura
