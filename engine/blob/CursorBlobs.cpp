// The open blobs of a cursor.
#include "engine/blob/CursorBlobs.h"

#include <algorithm>
#include <cstring>

#include "engine/errors/EngineError.h"

namespace kura {

TCursorBlobs::TCursorBlobs(TBlobStore *store, std::string tableName)
    : FStore(store), FTableName(std::move(tableName)) {}

void TCursorBlobs::Raise(uint16_t code, const TBlobFieldInfo *field) const {
  ErrorTexts texts;
  texts.Table = FTableName;
  if (field != nullptr) texts.Field = field->FieldName;
  RaiseEngineError(code, texts);
}

void TCursorBlobs::CheckField(std::span<const uint8_t> record, const TBlobFieldInfo &field) const {
  if (field.FieldType != EngineFieldType::Blob || !BlobFieldFits(record, field)) Raise(KURA_NOTABLOB, &field);
}

size_t TCursorBlobs::OpenBlobCount() const {
  return static_cast<size_t>(std::count_if(FSlots.begin(), FSlots.end(), [](const auto &s) { return s != nullptr; }));
}

const TBlobBuffer *TCursorBlobs::Buffer(int32_t handle) const {
  if (handle < 1 || static_cast<size_t>(handle) > FSlots.size()) return nullptr;
  return FSlots[static_cast<size_t>(handle - 1)].get();
}

TBlobBuffer *TCursorBlobs::Lookup(std::span<const uint8_t> record, const TBlobFieldInfo &field) const {
  const int32_t first = ReadBlobReference(record, field).FirstBlock;
  if (first >= 0 || first == INT32_MIN) return nullptr;
  TBlobBuffer *buffer = const_cast<TBlobBuffer *>(Buffer(-first));
  if (buffer == nullptr || buffer->FieldNumber != field.FieldNumber) return nullptr;
  return buffer;
}

const TBlobBuffer *TCursorBlobs::BufferOf(std::span<const uint8_t> record, const TBlobFieldInfo &field) const {
  if (field.FieldType != EngineFieldType::Blob || !BlobFieldFits(record, field)) return nullptr;
  return Lookup(record, field);
}

void TCursorBlobs::Release(TBlobBuffer *buffer) { FSlots[static_cast<size_t>(buffer->Handle - 1)].reset(); }

uint32_t TCursorBlobs::OpenBlob(std::span<uint8_t> record, const TBlobFieldInfo &field) {
  CheckField(record, field);
  const TBlobReference reference = ReadBlobReference(record, field);
  if (reference.FirstBlock < 0) {
    TBlobBuffer *open = Lookup(record, field);
    if (open == nullptr) Raise(KURA_INVALIDBLOBOFFSET);
    ++open->OpenCount;
    return static_cast<uint32_t>(open->Value.size());
  }
  size_t slot = 0;
  while (slot < FSlots.size() && FSlots[slot] != nullptr) ++slot;
  if (slot >= MaxOpenBlobs) Raise(KURA_OPENBLOBLIMIT);
  if (FStore == nullptr && reference.FirstBlock != 0) Raise(KURA_NOTABLOB, &field);

  auto buffer = std::make_unique<TBlobBuffer>();
  buffer->Handle = static_cast<int32_t>(slot + 1);
  buffer->FieldNumber = field.FieldNumber;
  buffer->FirstBlock = reference.FirstBlock;
  buffer->ChangeNumber = reference.ChangeNumber;
  buffer->OpenCount = 1;
  if (reference.FirstBlock != 0) buffer->Value = FStore->ReadValue(reference.FirstBlock, reference.ChangeNumber);
  const uint32_t size = static_cast<uint32_t>(buffer->Value.size());
  StoreFirstBlockBytes(record, field, -buffer->Handle);
  if (slot == FSlots.size()) FSlots.push_back(std::move(buffer));
  else FSlots[slot] = std::move(buffer);
  return size;
}

void TCursorBlobs::FreeBlob(std::span<uint8_t> record, const TBlobFieldInfo &field) {
  CheckField(record, field);
  TBlobBuffer *buffer = Lookup(record, field);
  if (buffer == nullptr) Raise(KURA_INVALIDBLOBHANDLE);
  if (buffer->OpenCount > 0) --buffer->OpenCount;
  if (buffer->OpenCount == 0 && !buffer->Modified) {
    StoreFirstBlockBytes(record, field, buffer->FirstBlock);
    Release(buffer);
  }
}

uint32_t TCursorBlobs::GetBlob(std::span<const uint8_t> record, const TBlobFieldInfo &field, uint32_t offset,
                               uint32_t length, uint8_t *dest) {
  CheckField(record, field);
  const TBlobBuffer *buffer = Lookup(record, field);
  if (buffer == nullptr) Raise(KURA_INVALIDBLOBHANDLE);
  const size_t size = buffer->Value.size();
  if (offset > size) Raise(KURA_INVALIDBLOBOFFSET);
  const uint32_t n = static_cast<uint32_t>(std::min<size_t>(length, size - offset));
  if (n != 0) std::memcpy(dest, buffer->Value.data() + offset, n);
  return n;
}

void TCursorBlobs::PutBlob(std::span<uint8_t> record, const TBlobFieldInfo &field, uint32_t offset, uint32_t length,
                           const uint8_t *source) {
  CheckField(record, field);
  TBlobBuffer *buffer = Lookup(record, field);
  if (buffer == nullptr) Raise(KURA_INVALIDBLOBHANDLE);
  if (offset > buffer->Value.size()) Raise(KURA_INVALIDBLOBOFFSET);
  const uint64_t end = static_cast<uint64_t>(offset) + length;
  if (end > MaxBlobLength) Raise(KURA_INVALIDBLOBLEN);
  buffer->BeginChange();
  std::vector<uint8_t> &value = buffer->Value;
  if (length == 0) return;
  if (offset == value.size()) {
    // Appending (a whole new value is written this way): no zeroed room to write over.
    value.insert(value.end(), source, source + length);
    return;
  }
  if (end > value.size()) value.resize(static_cast<size_t>(end));
  std::memcpy(value.data() + offset, source, length);
}

void TCursorBlobs::TruncateBlob(std::span<uint8_t> record, const TBlobFieldInfo &field, uint32_t length) {
  CheckField(record, field);
  TBlobBuffer *buffer = Lookup(record, field);
  if (buffer == nullptr) Raise(KURA_INVALIDBLOBHANDLE);
  if (length > buffer->Value.size()) Raise(KURA_INVALIDBLOBLEN);
  if (length == buffer->Value.size()) return;
  buffer->BeginChange();
  buffer->Value.resize(length);
}

uint32_t TCursorBlobs::GetBlobSize(std::span<const uint8_t> record, const TBlobFieldInfo &field) {
  CheckField(record, field);
  const TBlobBuffer *buffer = Lookup(record, field);
  if (buffer == nullptr) Raise(KURA_INVALIDBLOBHANDLE);
  return static_cast<uint32_t>(buffer->Value.size());
}

void TCursorBlobs::WriteBlobs(std::span<uint8_t> cursorRecord, std::span<uint8_t> storedRecord,
                              std::span<const TBlobFieldInfo> fields,
                              const std::function<int32_t()> &nextBlobNumber) {
  const bool sameBuffer = cursorRecord.data() == storedRecord.data();
  for (const TBlobFieldInfo &field : fields) {
    if (field.FieldType != EngineFieldType::Blob || !BlobFieldFits(cursorRecord, field) ||
        !BlobFieldFits(storedRecord, field))
      continue;
    TBlobBuffer *buffer = Lookup(cursorRecord, field);
    if (buffer == nullptr) continue;
    TBlobReference reference{buffer->FirstBlock, buffer->ChangeNumber};
    if (buffer->Modified) {
      if (FStore == nullptr) Raise(KURA_NOTABLOB, &field);
      if (buffer->Value.empty()) {
        FStore->WriteValue(buffer->FirstBlock, buffer->ChangeNumber, 0, nullptr, 0);
        reference.FirstBlock = 0;
      } else {
        const int32_t change = nextBlobNumber();
        reference.FirstBlock =
            FStore->WriteValue(buffer->FirstBlock, buffer->ChangeNumber, change, buffer->Value.data(), buffer->Value.size());
        reference.ChangeNumber = change;
      }
      buffer->FirstBlock = reference.FirstBlock;
      buffer->ChangeNumber = reference.ChangeNumber;
      buffer->Modified = false;
      buffer->OriginalValue.clear();
      buffer->OriginalValue.shrink_to_fit();
    }
    if (sameBuffer || buffer->OpenCount == 0) {
      Release(buffer);
      StoreBlobReference(cursorRecord, field, reference);
      if (!sameBuffer) StoreBlobReference(storedRecord, field, reference);
    } else {
      // Still open: the cursor's buffer keeps the handle, with the indicator and change number
      // of the new reference.
      StoreBlobReference(storedRecord, field, reference);
      StoreBlobReference(cursorRecord, field, reference);
      StoreFirstBlockBytes(cursorRecord, field, -buffer->Handle);
    }
  }
}

void TCursorBlobs::DiscardBlobs(std::span<uint8_t> record, std::span<const TBlobFieldInfo> fields) {
  for (const TBlobFieldInfo &field : fields) {
    if (field.FieldType != EngineFieldType::Blob || !BlobFieldFits(record, field)) continue;
    TBlobBuffer *buffer = Lookup(record, field);
    if (buffer == nullptr) continue;
    if (buffer->Modified) {
      buffer->Value = std::move(buffer->OriginalValue);
      buffer->OriginalValue.clear();
      buffer->Modified = false;
    }
    if (buffer->OpenCount == 0) {
      StoreFirstBlockBytes(record, field, buffer->FirstBlock);
      Release(buffer);
    }
  }
}

void TCursorBlobs::FreeRecordBlobs(std::span<const uint8_t> storedRecord, std::span<const TBlobFieldInfo> fields) {
  for (const TBlobFieldInfo &field : fields) {
    if (field.FieldType != EngineFieldType::Blob || !BlobFieldFits(storedRecord, field)) continue;
    const TBlobReference reference = ReadBlobReference(storedRecord, field);
    if (reference.FirstBlock == 0) continue;
    // A stored record never holds a handle; a negative number there is damage.
    if (reference.FirstBlock < 0 || FStore == nullptr) Raise(KURA_MEMOCORRUPT);
    FStore->FreeChain(reference.FirstBlock, reference.ChangeNumber);
  }
}

void TCursorBlobs::CloseAll() { FSlots.clear(); }

}  // namespace kura
