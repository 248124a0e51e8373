#pragma once
// The blob file of a table (".BLB"): a file handler that serves as the byte store of the
// table's TBlobStore (header, block cache, chains) and is the table's blob side file: its lock
// ranges, change detection, write-through, transactions, emptying and closing.
//
// The block size, the encrypted flag and the cache size come from the table when the file is
// opened or created: the data header's blob block size (0 stands for 512), its encrypted flag
// and the session's BlobBufferSize / BlobBufferCount.
#include <memory>
#include <string>
#include <vector>

#include "engine/blob/BlobBlockStore.h"
#include "engine/blob/BlobReference.h"
#include "engine/blob/BlobStore.h"
#include "engine/data/FieldDescriptor.h"
#include "engine/file/FileHandler.h"
#include "engine/table/TableSideFile.h"

namespace kura {

class TDataTable;

// How a blob file is laid out and cached; taken from the table, or given directly (files
// without a table).
struct TBlobFileOptions {
  uint32_t BlockSize = DefaultBlobBlockSize;  // 0 stands for 512
  bool Encrypted = false;
  TBlobCacheSettings Cache;
  std::string TableName;  // carried by the errors of the blob layer
};

// The options a table's blob file uses.
TBlobFileOptions BlobFileOptionsOf(TDataTable &table);

class TBlobFile : public TFileHandler, public IBlobBlockStore, public TTableSideFile {
 public:
  explicit TBlobFile(TDataTable *table = nullptr);
  ~TBlobFile() override;

  // Opens an existing blob file and reads and checks its header (KURA_OSENOENT when missing,
  // KURA_OLDVERSION, KURA_HEADERCORRUPT). A failure leaves the file closed.
  void OpenBlobFile(const std::string &name, bool memory, bool exclusive, bool readOnly, bool temporary,
                    const TBlobFileOptions &options);
  // Creates a new blob file holding only its header and keeps it open.
  void CreateBlobFile(const std::string &name, bool memory, bool temporary, const TBlobFileOptions &options);

  // The blob layer over this file; valid while the file is open.
  TBlobStore &Store() { return *FStore; }
  bool HasStore() const { return FStore != nullptr; }

  // IBlobBlockStore. Reads never raise for a short transfer: read-ahead may reach past blocks
  // that are allocated but not yet written.
  size_t ReadAt(uint64_t offset, uint8_t *buffer, size_t count) override;
  void WriteAt(uint64_t offset, const uint8_t *buffer, size_t count) override;
  uint64_t Size() override;
  void Truncate(uint64_t size) override;
  void FlushToDisk() override { FlushOS(); }
  bool WritesGathered() override;

  // TTableSideFile
  TFileHandler &LockFile() override { return *this; }
  bool ReadHeaderChanged() override;
  void DropCache() override;
  void RereadHeader() override;
  bool WriteChanges(bool forceHeader, bool flushOS) override;
  void CountChangeInMemory() override;
  void Empty() override;
  void CloseFile(bool discard) override;
  void SetHoldWrites(bool hold) override;
  bool ReadOnly() const override { return IsReadOnly(); }
  bool ReadOnlyByAttribute() const override { return IsReadOnlyByAttribute(); }

 protected:
  bool ShortReadAllowed() const override { return true; }

 private:
  void MakeStore(const TBlobFileOptions &options);

  TDataTable *FTable;
  std::unique_ptr<TBlobStore> FStore;
};

// The blob store of an open table, or null when the table has no blob file (no Blob fields).
TBlobStore *BlobStoreOf(TDataTable &table);
// The Blob fields of the table's data file, in field order (what TCursorBlobs::WriteBlobs,
// DiscardBlobs and FreeRecordBlobs take).
std::vector<TBlobFieldInfo> BlobFieldsOf(TDataTable &table);
TBlobFieldInfo BlobFieldInfoOf(const TFieldDescriptor &descriptor);

// Installs the blob file layer into the tables (the side-file factories): a table with Blob
// fields opens its blob file, and creating such a table creates an empty one.
void InstallBlobFiles();

}  // namespace kura
