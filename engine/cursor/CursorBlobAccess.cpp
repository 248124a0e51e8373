// Blob fields through a cursor: the blobs it has open in record buffers.
#include <span>

#include "engine/blob/BlobFile.h"
#include "engine/blob/CursorBlobs.h"
#include "engine/cursor/CursorReadScope.h"
#include "engine/cursor/DataCursor.h"
#include "engine/table/DataTable.h"

namespace kura {

const TBlobFieldInfo &TDataCursor::BlobField(int fieldNumber) const {
  const TFieldDescriptor &f = CheckedField(fieldNumber);
  if (f.Type == EngineFieldType::Blob && !f.Calculated) {
    // Catalogue entries keep the stored offsets, so the table's field is found by its offset.
    for (const TBlobFieldInfo &info : FBlobFields)
      if (info.NullOffset == f.Offset) return info;
  }
  Raise(KURA_NOTABLOB, f.Name);
}

TCursorBlobs &TDataCursor::Blobs() const {
  CheckOpen();
  if (!FBlobs) Raise(KURA_NOTABLOB);
  return *FBlobs;
}

size_t TDataCursor::OpenBlobCount() const { return FBlobs ? FBlobs->OpenBlobCount() : 0; }

uint32_t TDataCursor::OpenBlob(uint8_t *buffer, int fieldNumber) {
  TReadScope scope(*this);
  const TBlobFieldInfo &field = BlobField(fieldNumber);
  return Blobs().OpenBlob(std::span<uint8_t>(buffer, FBufferSize), field);
}

void TDataCursor::FreeBlob(uint8_t *buffer, int fieldNumber) {
  const TBlobFieldInfo &field = BlobField(fieldNumber);
  Blobs().FreeBlob(std::span<uint8_t>(buffer, FBufferSize), field);
}

uint32_t TDataCursor::GetBlob(const uint8_t *buffer, int fieldNumber, uint32_t offset, uint32_t length,
                              uint8_t *dest) {
  const TBlobFieldInfo &field = BlobField(fieldNumber);
  return Blobs().GetBlob(std::span<const uint8_t>(buffer, FBufferSize), field, offset, length, dest);
}

void TDataCursor::PutBlob(uint8_t *buffer, int fieldNumber, uint32_t offset, uint32_t length,
                          const uint8_t *source) {
  if (FOptions.ReadOnly || (FTable && FTable->ReadOnly())) Raise(KURA_OSEACCES);
  const TBlobFieldInfo &field = BlobField(fieldNumber);
  Blobs().PutBlob(std::span<uint8_t>(buffer, FBufferSize), field, offset, length, source);
}

void TDataCursor::TruncateBlob(uint8_t *buffer, int fieldNumber, uint32_t length) {
  if (FOptions.ReadOnly || (FTable && FTable->ReadOnly())) Raise(KURA_OSEACCES);
  const TBlobFieldInfo &field = BlobField(fieldNumber);
  Blobs().TruncateBlob(std::span<uint8_t>(buffer, FBufferSize), field, length);
}

uint32_t TDataCursor::GetBlobSize(const uint8_t *buffer, int fieldNumber) {
  const TBlobFieldInfo &field = BlobField(fieldNumber);
  return Blobs().GetBlobSize(std::span<const uint8_t>(buffer, FBufferSize), field);
}

}  // namespace kura
