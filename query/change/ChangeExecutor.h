#pragma once
// TChangeExecutor: runs the data-changing, definition and transaction statements (every
// statement kind but SELECT) of a parsed TQueryStatement against the directories of a session.
//
// The executor keeps every directory it opened until it is destroyed, so that a transaction
// begun by START TRANSACTION survives into the statements that follow it.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "query/sql/QueryStatement.h"

namespace kura {

class TDataSession;
class TDataDirectory;
class TDataCursor;

class TChangeExecutor {
 public:
  // databaseName: a directory path (empty: the session's creation directory) or "Memory".
  TChangeExecutor(TDataSession &session, std::string databaseName);
  ~TChangeExecutor();
  TChangeExecutor(const TChangeExecutor &) = delete;
  TChangeExecutor &operator=(const TChangeExecutor &) = delete;

  // Runs the current (prepared) statement, which must not be a SELECT; returns the rows
  // affected (0 for definition and transaction statements).
  // Sub-selects (of IN and of INSERT ... SELECT) run from the text the parser kept for them.
  int64_t Execute(TQueryStatement &statement);

  // The directory a table reference names (opened once, kept open).
  TDataDirectory *DirectoryOf(const TTableRef &ref);
  // The statement's own database directory.
  TDataDirectory *DefaultDirectory();
  // Runs `work` on a cursor that has the referenced table open alone (definition statements
  // need that); the cursor is closed again on every way out.
  void WithTableAlone(const TTableRef &ref, const std::function<void(TDataCursor &)> &work);

  TDataSession &Session() { return FSession; }
  const std::string &DatabaseName() const { return FDatabaseName; }

  // Keeping the target of INSERT, UPDATE and DELETE open after such a statement outside a
  // transaction too (within one it always is), for the next one that names it; the table's
  // lock takes back whatever another user changed meanwhile. Off by default: an idle session
  // would hold the table open. The caller releases it (ReleaseTarget) whenever it waits.
  void SetKeepTargetOpen(bool keep);
  // Closes a target kept open outside a transaction.
  void ReleaseTarget();

 private:
  int64_t ExecuteInsert(TDataQuery &query);
  // INSERT ... VALUES, UPDATE and DELETE statements in a row inside a transaction share one
  // cursor on their table instead of opening one each: the cursor is kept after such a
  // statement and taken by the next one that names the same table; any other statement, and
  // the end of the transaction, close it.
  std::unique_ptr<TDataCursor> TakeTargetCursor(TDataDirectory *directory, const TTableRef &ref);
  void KeepTargetCursor(TDataDirectory *directory, const TTableRef &ref, std::unique_ptr<TDataCursor> cursor);
  void DropTargetCursor();
  int64_t ExecuteInsertSelect(TDataQuery &query);
  TDataDirectory *OpenDirectoryOf(const TTableRef &ref);
  int64_t ExecuteUpdateOrDelete(TQueryStatement &statement, TDataQuery &query);
  void ExecuteCreateTable(TDataQuery &query);
  void ExecuteCreateIndex(TDataQuery &query);
  void ExecuteDropTable(TDataQuery &query);
  void ExecuteDropIndex(TDataQuery &query);
  void ExecuteTransaction(TDataQuery &query);

  TDataSession &FSession;
  std::string FDatabaseName;
  std::vector<TDataDirectory *> FDirectories;
  // The directory of a reference naming no database, path or MEMORY, once opened.
  TDataDirectory *FOwnDirectory = nullptr;
  struct TKeptCursor {
    TDataDirectory *Directory = nullptr;
    std::string TableName;
    bool InMemory = false;
    std::unique_ptr<TDataCursor> Cursor;
  };
  TKeptCursor FTargetCursor;
  bool FKeepTargetOpen = false;
};

}  // namespace kura
