#pragma once
// The blobs one cursor has open: opening the blob of a field in a record buffer, reading and
// writing byte ranges of it in memory, truncating it, and writing every modified blob when the
// record is posted. At most 128 blobs are open at a time.
//
// A blob stays registered while it is open or while it holds changes not yet posted: FreeBlob
// of a modified blob keeps its value (and the handle in the record buffer) until the record is
// posted (WriteBlobs) or cancelled (DiscardBlobs).
//
// Reading from the blob file happens when a blob is opened; the caller holds the table's read
// lock around OpenBlob and the write lock around WriteBlobs and FreeRecordBlobs.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/blob/BlobBuffer.h"
#include "engine/blob/BlobReference.h"
#include "engine/blob/BlobStore.h"

namespace kura {

class TCursorBlobs {
 public:
  TCursorBlobs(TBlobStore *store, std::string tableName);
  void SetStore(TBlobStore *store) { FStore = store; }

  // Opens the blob of the field and returns its size. The field must be a Blob field
  // (KURA_NOTABLOB). A field already holding the handle of an open blob of this field counts
  // one more open; any other negative value fails with KURA_INVALIDBLOBOFFSET. With 128 blobs
  // open: KURA_OPENBLOBLIMIT. The value is read whole; a replaced blob gives
  // KURA_KEYORRECDELETED, a damaged chain KURA_MEMOCORRUPT.
  uint32_t OpenBlob(std::span<uint8_t> record, const TBlobFieldInfo &field);
  // One close of the blob. At the last close an unmodified blob is released and the record
  // buffer gets its first block number back.
  void FreeBlob(std::span<uint8_t> record, const TBlobFieldInfo &field);
  // Copies up to length bytes from offset into dest and returns how many were copied (fewer
  // at the end of the value). An offset beyond the value fails with KURA_INVALIDBLOBOFFSET; a
  // field that holds no open blob with KURA_INVALIDBLOBHANDLE.
  uint32_t GetBlob(std::span<const uint8_t> record, const TBlobFieldInfo &field, uint32_t offset, uint32_t length,
                   uint8_t *dest);
  // Writes length bytes at offset (at most the current size: no holes), growing the value as
  // needed. KURA_INVALIDBLOBOFFSET beyond the end, KURA_INVALIDBLOBLEN past 2 147 483 647 bytes.
  void PutBlob(std::span<uint8_t> record, const TBlobFieldInfo &field, uint32_t offset, uint32_t length,
               const uint8_t *source);
  // Cuts the value to length bytes; a length beyond the value fails with KURA_INVALIDBLOBLEN.
  void TruncateBlob(std::span<uint8_t> record, const TBlobFieldInfo &field, uint32_t length);
  uint32_t GetBlobSize(std::span<const uint8_t> record, const TBlobFieldInfo &field);

  // At post: for every field of cursorRecord that holds one of this cursor's blobs, writes the
  // value when modified (taking a new change number from nextBlobNumber, none for an empty
  // value) and stores the reference in storedRecord (the image that goes to the table). Blobs
  // still open keep their handle in cursorRecord, now as clean blobs of the new reference;
  // the others are released and cursorRecord gets the reference too. cursorRecord and
  // storedRecord may be the same buffer; then every blob of it is released.
  void WriteBlobs(std::span<uint8_t> cursorRecord, std::span<uint8_t> storedRecord,
                  std::span<const TBlobFieldInfo> fields, const std::function<int32_t()> &nextBlobNumber);
  // At cancel: drops the changes of the blobs held by the record buffer; blobs no longer open
  // are released and their references put back.
  void DiscardBlobs(std::span<uint8_t> record, std::span<const TBlobFieldInfo> fields);
  // When a record is deleted: frees the chains of all its Blob fields (a stored image).
  void FreeRecordBlobs(std::span<const uint8_t> storedRecord, std::span<const TBlobFieldInfo> fields);
  // When the cursor closes: forgets every open blob and its changes.
  void CloseAll();

  size_t OpenBlobCount() const;
  // The open blob with this handle, or null.
  const TBlobBuffer *Buffer(int32_t handle) const;
  // The open blob a field of the record buffer holds, or null.
  const TBlobBuffer *BufferOf(std::span<const uint8_t> record, const TBlobFieldInfo &field) const;

 private:
  [[noreturn]] void Raise(uint16_t code, const TBlobFieldInfo *field = nullptr) const;
  void CheckField(std::span<const uint8_t> record, const TBlobFieldInfo &field) const;
  TBlobBuffer *Lookup(std::span<const uint8_t> record, const TBlobFieldInfo &field) const;
  void Release(TBlobBuffer *buffer);

  TBlobStore *FStore;
  std::string FTableName;
  // Slot i holds the blob with handle i + 1.
  std::vector<std::unique_ptr<TBlobBuffer>> FSlots;
};

}  // namespace kura
