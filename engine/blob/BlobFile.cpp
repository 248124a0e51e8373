// The blob file of a table: the file layer under the blob store, and the table's blob side file.
#include "engine/blob/BlobFile.h"

#include "engine/errors/EngineError.h"
#include "engine/file/LockRanges.h"
#include "engine/table/DataTable.h"
#include "engine/table/SessionSettings.h"

namespace kura {

// The table takes the blob file's read and write locks through the shared lock-range helpers;
// they must be the blob file's own ranges.
static_assert(BlobWriteLockOffset == kWriteRangeStart && BlobWriteLockLength == kWriteRangeLength);
static_assert(BlobReadLockOffset(1) == kReadLockTop - 1 && BlobReadLockOffset(65535) == kReadLockTop - 65535);

TBlobFileOptions BlobFileOptionsOf(TDataTable &table) {
  TBlobFileOptions options;
  const TDataFile &data = table.DataFile();
  options.BlockSize = EffectiveBlobBlockSize(data.Header().BlobBlockSizeRaw());
  options.Encrypted = data.Encrypted();
  options.Cache.BlobBufferSize = table.Settings().BlobBufferSize;
  options.Cache.BlobBufferCount = table.Settings().BlobBufferCount;
  options.TableName = table.Name();
  return options;
}

TBlobFile::TBlobFile(TDataTable *table) : FTable(table) {}

TBlobFile::~TBlobFile() {
  try {
    if (IsOpen()) Close();
  } catch (...) {
  }
}

void TBlobFile::MakeStore(const TBlobFileOptions &options) {
  const std::string name = options.TableName.empty() ? FileName() : options.TableName;
  FStore = std::make_unique<TBlobStore>(*this, options.BlockSize, options.Encrypted, name, options.Cache);
}

void TBlobFile::OpenBlobFile(const std::string &name, bool memory, bool exclusive, bool readOnly, bool temporary,
                             const TBlobFileOptions &options) {
  Open(name, memory, exclusive, readOnly, temporary);
  try {
    MakeStore(options);
    FStore->Open();
  } catch (...) {
    FStore.reset();
    Close();
    throw;
  }
}

void TBlobFile::CreateBlobFile(const std::string &name, bool memory, bool temporary,
                               const TBlobFileOptions &options) {
  Create(name, memory, temporary);
  try {
    MakeStore(options);
    FStore->Create();
  } catch (...) {
    FStore.reset();
    Close();
    throw;
  }
}

// ---- byte store ---------------------------------------------------------------------------

size_t TBlobFile::ReadAt(uint64_t offset, uint8_t *buffer, size_t count) {
  const int64_t got =
      TFileHandler::ReadAt(static_cast<int64_t>(offset), buffer, static_cast<int64_t>(count), true);
  return got < 0 ? 0 : static_cast<size_t>(got);
}

void TBlobFile::WriteAt(uint64_t offset, const uint8_t *buffer, size_t count) {
  TFileHandler::WriteAt(static_cast<int64_t>(offset), buffer, static_cast<int64_t>(count));
  if (FTable) FTable->MarkWritten();
}

uint64_t TBlobFile::Size() {
  const int64_t size = TFileHandler::Size();
  if (size < 0) Raise(KURA_READERR);
  return static_cast<uint64_t>(size);
}

void TBlobFile::Truncate(uint64_t size) {
  TruncateAt(static_cast<int64_t>(size));
  if (FTable) FTable->MarkWritten();
}

// ---- side file ----------------------------------------------------------------------------

bool TBlobFile::ReadHeaderChanged() { return FStore && FStore->ReadHeaderChanged(); }

void TBlobFile::DropCache() {
  if (FStore) FStore->DropCache();
}

void TBlobFile::RereadHeader() {
  if (FStore) FStore->ReloadHeader();
}

bool TBlobFile::WriteChanges(bool forceHeader, bool flushOS) {
  if (!FStore || IsReadOnly()) return false;
  if (forceHeader) FStore->MarkHeaderDirty();
  const bool wrote = FStore->Flush(flushOS);
  FStore->Cache().Trim();
  return wrote;
}

void TBlobFile::CountChangeInMemory() {
  // The change counter goes up when the header is written (at close, flush or commit).
  if (FStore) FStore->MarkHeaderDirty();
}

void TBlobFile::Empty() {
  if (!FStore) return;
  if (IsReadOnly()) Raise(KURA_OSEACCES);
  FStore->Empty();
}

void TBlobFile::SetHoldWrites(bool hold) {
  if (FStore) FStore->Cache().SetHoldWrites(hold);
}

bool TBlobFile::WritesGathered() {
  // Only a shared table's transaction gathers its unit in the journal before the commit; a table
  // opened alone may have a capture of its own running (an index being built), which the next
  // flush writes to the files.
  return FTable && !FTable->Exclusive() && FTable->InTransaction() && WriteInterceptor() &&
         WriteInterceptor()->TakesWrites(*this);
}

void TBlobFile::CloseFile(bool discard) {
  if (!IsOpen()) return;
  try {
    if (FStore && !discard && !IsReadOnly()) FStore->Close();
  } catch (...) {
    FStore.reset();
    Close();
    throw;
  }
  FStore.reset();
  Close();
}

// ---- table access -------------------------------------------------------------------------

TBlobStore *BlobStoreOf(TDataTable &table) {
  auto *file = dynamic_cast<TBlobFile *>(table.BlobFile());
  return file && file->HasStore() ? &file->Store() : nullptr;
}

TBlobFieldInfo BlobFieldInfoOf(const TFieldDescriptor &descriptor) {
  TBlobFieldInfo info;
  info.FieldNumber = static_cast<uint16_t>(descriptor.FieldNumber);
  info.FieldType = descriptor.Type;
  info.NullOffset = descriptor.Offset;
  info.FieldName = descriptor.Name;
  return info;
}

std::vector<TBlobFieldInfo> BlobFieldsOf(TDataTable &table) {
  std::vector<TBlobFieldInfo> fields;
  for (const TFieldDescriptor &d : table.DataFile().Fields())
    if (d.Type == EngineFieldType::Blob) fields.push_back(BlobFieldInfoOf(d));
  return fields;
}

void InstallBlobFiles() {
  TSideFileFactories &factories = SideFileFactories();
  factories.OpenBlob = [](TDataTable &table, const std::string &fileName) {
    auto file = std::make_unique<TBlobFile>(&table);
    file->OpenBlobFile(fileName, table.InMemory(), table.Exclusive(), table.DataFile().IsReadOnly(),
                       table.Temporary(), BlobFileOptionsOf(table));
    return std::unique_ptr<TTableSideFile>(std::move(file));
  };
  factories.CreateBlob = [](TDataTable &table, const std::string &fileName) {
    auto file = std::make_unique<TBlobFile>(&table);
    // Created as an ordinary file, like the data file: a temporary one would vanish with the
    // close that follows the create. A temporary table's blob file is opened as temporary.
    file->CreateBlobFile(fileName, table.InMemory(), false, BlobFileOptionsOf(table));
    return std::unique_ptr<TTableSideFile>(std::move(file));
  };
}

}  // namespace kura
