#pragma once
// The seam between a table and its index file (".IDX") and blob file (".BLB").
//
// A table owns up to three files. The data file is built here; the index file and the blob file
// are separate layers that plug in through TTableSideFile and the factories below. While no
// factory is installed a table consists of its data file alone: its read lock then only runs the
// change check (the read/write lock ranges live in the index and blob files), and nothing is
// created, opened, renamed or deleted for the missing layers beyond the files that exist.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/index/IndexDefinition.h"

namespace kura {

class TDataTable;
class TFileHandler;

class TTableSideFile {
 public:
  virtual ~TTableSideFile() = default;
  // The file the table's read and write lock ranges are taken on.
  virtual TFileHandler &LockFile() = 0;
  // Re-reads the header; true when its ChangeCounter changed (cached pages/blocks then dropped
  // by DropCache).
  virtual bool ReadHeaderChanged() = 0;
  virtual void DropCache() = 0;
  // Replaces the cached header by the one on disk (rollback).
  virtual void RereadHeader() = 0;
  // Dirty pages/blocks and the header (when dirty or forced); flushes the OS buffers when asked
  // and something was written. True when anything was written.
  virtual bool WriteChanges(bool forceHeader, bool flushOS) = 0;
  // A posted change of an exclusive table or inside a transaction: ChangeCounter + 1 in memory.
  virtual void CountChangeInMemory() = 0;
  // Empties the file (emptying the table).
  virtual void Empty() = 0;
  // Closes the file, writing (or, when discarding, dropping) what is cached.
  virtual void CloseFile(bool discard) = 0;
  // While a transaction runs nothing may reach the file, not even to make room in a cache.
  virtual void SetHoldWrites(bool /*hold*/) {}
  virtual bool ReadOnly() const = 0;
  virtual bool ReadOnlyByAttribute() const = 0;
  // Index file only: whether the table has no primary key (records keep insertion order).
  virtual bool NoPrimaryKey() const { return true; }
};

struct TSideFileFactories {
  // Opens the index file; when it is missing, creates an empty one and sets rebuilt.
  std::function<std::unique_ptr<TTableSideFile>(TDataTable &table, const std::string &fileName, bool &rebuilt)>
      OpenIndex;
  // Creates the index file of a new table with its indexes: an entry without a name defines the
  // primary index (none given: the table has no primary key); the others are secondary indexes
  // in order. Only field numbers and flags of the definitions are needed; field types and sizes
  // come from the table's data file, which is open.
  std::function<std::unique_ptr<TTableSideFile>(TDataTable &table, const std::string &fileName,
                                                const std::vector<TIndexDefinition> &indexes)>
      CreateIndex;
  std::function<std::unique_ptr<TTableSideFile>(TDataTable &table, const std::string &fileName)> OpenBlob;
  std::function<std::unique_ptr<TTableSideFile>(TDataTable &table, const std::string &fileName)> CreateBlob;
};

// Installed once by the index and blob layers.
TSideFileFactories &SideFileFactories();

}  // namespace kura
