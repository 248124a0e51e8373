#include "query/select/SelectBlobs.h"

#include <span>

#include "engine/blob/BlobFile.h"
#include "engine/blob/BlobReference.h"
#include "engine/data/FieldCodec.h"
#include "engine/table/DataTable.h"

namespace kura {

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
    bytes = store->ReadValue(reference.FirstBlock, reference.ChangeNumber);
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
