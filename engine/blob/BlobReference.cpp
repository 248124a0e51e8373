// Blob references inside record images.
#include "engine/blob/BlobReference.h"

#include "engine/blob/BlobByteOrder.h"

namespace kura {

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
