#pragma once
// An open database directory of a session and the tables open in it.
#include <memory>
#include <string>
#include <vector>

#include "engine/data/DataFile.h"
#include "engine/table/DataTable.h"

namespace kura {

class TDataSession;

class TDataDirectory {
 public:
  // path: with trailing separator (empty for the in-memory database).
  TDataDirectory(TDataSession *session, std::string databaseName, std::string path, bool memory);
  // Rolls back an open transaction and closes every table.
  ~TDataDirectory();
  TDataDirectory(const TDataDirectory &) = delete;
  TDataDirectory &operator=(const TDataDirectory &) = delete;

  // Opens a table (sharing the object with every other user of this directory).
  TDataTable *OpenTable(const std::string &name, bool exclusive, bool readOnly, bool inMemory, bool temporary);
  // Creates the table's files and opens it exclusively for the caller (open count 1).
  // indexes: see TSideFileFactories::CreateIndex.
  TDataTable *CreateTable(const std::string &name, const TDataFileDefinition &definition, bool inMemory,
                          bool temporary = false, const std::vector<TIndexDefinition> &indexes = {});
  // Decrements the open count; closes the files when nothing uses the table any more.
  void CloseTable(TDataTable *table);
  void DeleteTable(const std::string &name, bool inMemory);
  void RenameTable(const std::string &name, bool inMemory, const std::string &newName);
  bool TableExists(const std::string &name, bool inMemory);
  // A table name not used yet: the thread number (at most 5 digits), a counter, ".DAT".
  std::string UniqueTableName(bool inMemory);
  TDataTable *FindTable(const std::string &name, bool inMemory) const;

  void StartTransaction();
  void CommitTransaction(bool flushOS);
  // The tables of a transaction that have a post journal, committed as one unit.
  void CommitGroup(const std::vector<TDataTable *> &tables, bool flushOS);
  void RollbackTransaction();
  bool InTransaction() const { return FInTransaction; }

  TDataSession *Session() const { return FSession; }
  const std::string &Path() const { return FPath; }
  const std::string &DatabaseName() const { return FDatabaseName; }
  bool IsMemory() const { return FMemory; }
  int ReferenceCount() const { return FReferenceCount; }
  void AddReference() { ++FReferenceCount; }
  int ReleaseReference() { return --FReferenceCount; }
  size_t TableCount() const { return FTables.size(); }

  [[noreturn]] void RaiseFor(uint16_t code, const std::string &table) const;

 private:
  void RemoveTable(TDataTable *table);

  TDataSession *FSession;
  std::string FDatabaseName;
  std::string FPath;
  bool FMemory;
  int FReferenceCount = 1;
  bool FInTransaction = false;
  std::vector<std::unique_ptr<TDataTable>> FTables;
};

}  // namespace kura
