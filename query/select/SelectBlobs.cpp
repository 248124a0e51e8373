#include "query/select/SelectBlobs.h"

#include <span>

#include "engine/blob/BlobFile.h"
#include "engine/blob/BlobReference.h"
#include "engine/data/FieldCodec.h"
#include "engine/errors/EngineError.h"
#include "engine/table/DataTable.h"
#include "engine/util/Bytes.h"

namespace kura {

namespace {

bool StillNamesBlob(TDataTable &table, std::span<const uint8_t> image, const TBlobFieldInfo &info,
                    const TBlobReference &reference) {
  // A live record's image carries its own RecordNumber in bytes 1 to 4.
  if (image.size() < 5 || image[0] != 0) return false;
  const int32_t slot = GetI32(image.data() + 1);
  TDataFile &file = table.DataFile();
  if (slot < 1 || slot > file.SlotCount()) return false;
  TRecord *stored = file.GetRecord(slot);
  if (!stored) return false;
  const bool same = stored->Image[0] == 0 &&
                    ReadBlobReference(std::span<const uint8_t>(stored->Image.data(), stored->Image.size()), info) ==
                        reference;
  file.ReleaseRecord(stored);
  return same;
}

}  // namespace

void ReadBlobValue(TDataTable &table, const TFieldDescriptor &field, const uint8_t *record, TExpValue &value) {
  value.Clear();
  TBlobStore *store = BlobStoreOf(table);
  if (!store || FieldIsNull(field, record)) return;
  const TBlobFieldInfo info = BlobFieldInfoOf(field);
  const std::span<const uint8_t> image(record, table.DataFile().RecordSize());
  if (!BlobFieldFits(image, info)) return;
  const TBlobReference reference = ReadBlobReference(image, info);
  if (reference.FirstBlock <= 0) return;
  table.ReadLock();
  std::vector<uint8_t> bytes;
  try {
    try {
      bytes = store->ReadValue(reference.FirstBlock, reference.ChangeNumber);
    } catch (const EKuraEngineError &e) {
      // The blob does not carry the change number the record names. If the record as stored
      // now (read under this lock, so no writer is half-way) still names the same blob, nobody
      // replaced it: the table's files are damaged, which "changed by another user" would hide.
      if (e.ErrorCode() != KURA_KEYORRECDELETED || !StillNamesBlob(table, image, info, reference)) throw;
      table.Raise(KURA_MEMOCORRUPT);
    }
  } catch (...) {
    table.ReadUnlock();
    throw;
  }
  table.ReadUnlock();
  if (bytes.empty()) return;
  value.Null = false;
  value.Str.assign(bytes.begin(), bytes.end());
}

void WriteBlobValue(TDataTable &table, const TFieldDescriptor &field, uint8_t *record, const TExpValue &value) {
  SetFieldNull(field, record);
  TBlobStore *store = BlobStoreOf(table);
  if (!store || value.Null || value.Str.empty()) return;
  const TBlobFieldInfo info = BlobFieldInfoOf(field);
  const int32_t change = table.DataFile().NextBlobNumber();
  const int32_t first = store->WriteValue(0, 0, change, reinterpret_cast<const uint8_t *>(value.Str.data()),
                                          value.Str.size());
  StoreBlobReference(std::span<uint8_t>(record, table.DataFile().RecordSize()), info, TBlobReference{first, change});
}

}  // namespace kura
