#pragma once
// The index file of a table (".IDX"): a file handler whose 4096-byte pages hold the header and
// the B+-trees of every index, with the page cache on top. Pages of encrypted tables are
// scrambled on disk. It is the table's index side file: its lock ranges, change detection,
// writing, emptying and closing.
#include <memory>
#include <string>

#include "engine/file/FileHandler.h"
#include "engine/index/IndexPageCache.h"
#include "engine/index/IndexPageStore.h"
#include "engine/table/TableSideFile.h"

namespace kura {

class TDataTable;

class TIndexFile : public TFileHandler, public IIndexPageStore, public TTableSideFile {
 public:
  // The table supplies error names, the encryption flag, the buffer size and the transaction
  // state; without one (temporary files, tests) the file is plain and writes back freely.
  explicit TIndexFile(TDataTable *table = nullptr);
  ~TIndexFile() override;

  // Opens an existing index file and reads its header (KURA_OSENOENT when missing,
  // KURA_OLDVERSION, KURA_HEADERCORRUPT).
  void OpenIndexFile(const std::string &name, bool memory, bool exclusive, bool readOnly, bool temporary);
  // Creates a new, empty index file (version 5, next page 1, the system descriptors) and keeps
  // it open.
  void CreateIndexFile(const std::string &name, bool memory, bool temporary);

  TIndexPageCache &Pages() { return *FPages; }
  TIndexHeader &Header() { return FPages->Header(); }
  // For files without a table: whether pages are scrambled (set before creating or opening).
  void SetEncrypted(bool encrypted) {
    FEncrypted = encrypted;
    FEncryptionFromTable = false;
  }

  // IIndexPageStore
  bool ReadPage(uint32_t pageNo, uint8_t *buffer) override;
  void WritePage(uint32_t pageNo, const uint8_t *buffer) override;
  uint32_t PageCount() override;
  void Truncate(uint32_t pageCount) override;
  bool WriteBackAllowed() override;

  // TTableSideFile
  TFileHandler &LockFile() override { return *this; }
  bool ReadHeaderChanged() override;
  void DropCache() override;
  void RereadHeader() override;
  bool WriteChanges(bool forceHeader, bool flushOS) override;
  void CountChangeInMemory() override;
  void Empty() override;
  void CloseFile(bool discard) override;
  bool ReadOnly() const override { return IsReadOnly(); }
  bool ReadOnlyByAttribute() const override { return IsReadOnlyByAttribute(); }
  bool NoPrimaryKey() const override;

 protected:
  bool ShortReadAllowed() const override;

 private:
  ErrorTexts TableTexts() const;
  void Configure();
  bool FEncryptionFromTable = true;

  TDataTable *FTable;
  std::unique_ptr<TIndexPageCache> FPages;
  bool FEncrypted = false;
  bool FWritten = false;
  std::vector<uint8_t> FScrambleBuffer;
};

class TDataFile;

// After a missing index file was made again: the system record index gets one entry for every
// slot of the data file (live or deleted), the live-record count is recounted and the table is
// marked as having no primary key, so records keep insertion order. Run under the table's
// write lock.
void RebuildSystemRecordIndex(TIndexFile &index, TDataFile &data);

// The index file of an open table, or null when the table has none (no index layer installed).
TIndexFile *TableIndexFile(TDataTable &table);

// Installs the index file layer into the tables (the side-file factories): opening a table
// opens its index file, creating it when it is missing (the table then reports rebuilt
// indexes); creating a table creates an empty index file.
void InstallIndexFiles();

}  // namespace kura
