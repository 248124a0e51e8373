#include "query/change/ChangeExecutor.h"

#include <algorithm>
#include <cctype>

#include "engine/cursor/DataCursor.h"
#include "engine/errors/EngineError.h"
#include "engine/table/DataDirectory.h"
#include "engine/table/DataSession.h"
#include "query/change/AlterStatement.h"

namespace kura {

namespace {

bool IsMemoryName(const std::string &name) {
  std::string upper;
  for (char c : name) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper == "MEMORY";
}

}  // namespace

TChangeExecutor::TChangeExecutor(TDataSession &session, std::string databaseName)
    : FSession(session), FDatabaseName(std::move(databaseName)) {}

TChangeExecutor::~TChangeExecutor() {
  DropTargetCursor();
  for (TDataDirectory *directory : FDirectories) {
    try {
      // A transaction left open when the executor goes is not committed.
      if (directory->InTransaction() && directory->ReferenceCount() == 1) directory->RollbackTransaction();
    } catch (...) {
    }
    FSession.CloseDataDirectory(directory);
  }
}

TDataDirectory *TChangeExecutor::DirectoryOf(const TTableRef &ref) {
  // Most statements name a table of the executor's own database. Its directory stays open
  // (and in FDirectories) as long as the executor, and resolves to the same place every time
  // unless the database name is empty, which leaves the place to the session's creation
  // directory.
  const bool own = !ref.InMemory && !ref.IsPath() && ref.Database.empty();
  if (own && FOwnDirectory) return FOwnDirectory;
  TDataDirectory *directory = OpenDirectoryOf(ref);
  if (own && !FDatabaseName.empty()) FOwnDirectory = directory;
  return directory;
}

TDataDirectory *TChangeExecutor::OpenDirectoryOf(const TTableRef &ref) {
  std::string path = FDatabaseName;
  std::string name = FDatabaseName;
  if (ref.InMemory) {
    path = name = kMemoryDatabaseName;
  } else if (ref.IsPath()) {
    path = name = ref.Directory;
  } else if (!ref.Database.empty()) {
    path = name = ref.Database;
  }
  if (IsMemoryName(name)) path.clear();
  else if (!path.empty() && path.back() != '/') path += '/';
  TDataDirectory *directory = FSession.OpenDataDirectory(name, path);
  for (TDataDirectory *known : FDirectories) {
    if (known == directory) {
      FSession.CloseDataDirectory(directory);  // one reference is enough
      return directory;
    }
  }
  FDirectories.push_back(directory);
  return directory;
}

TDataDirectory *TChangeExecutor::DefaultDirectory() { return DirectoryOf(TTableRef{}); }

std::unique_ptr<TDataCursor> TChangeExecutor::TakeTargetCursor(TDataDirectory *directory, const TTableRef &ref) {
  std::unique_ptr<TDataCursor> cursor = std::move(FTargetCursor.Cursor);
  const bool fits = cursor && cursor->IsOpen() && FTargetCursor.Directory == directory &&
                    FTargetCursor.TableName == ref.TableName && FTargetCursor.InMemory == ref.InMemory &&
                    (FKeepTargetOpen || directory->InTransaction());
  if (fits) return cursor;
  FTargetCursor.Cursor = std::move(cursor);
  DropTargetCursor();
  return nullptr;
}

void TChangeExecutor::KeepTargetCursor(TDataDirectory *directory, const TTableRef &ref,
                                       std::unique_ptr<TDataCursor> cursor) {
  DropTargetCursor();
  // Outside a transaction the table is closed after each statement (unless the caller keeps
  // it), so that nobody finds it held open by an idle session.
  if (!cursor || !(FKeepTargetOpen || directory->InTransaction())) {
    FTargetCursor.Cursor = std::move(cursor);
    DropTargetCursor();
    return;
  }
  FTargetCursor.Directory = directory;
  FTargetCursor.TableName = ref.TableName;
  FTargetCursor.InMemory = ref.InMemory;
  FTargetCursor.Cursor = std::move(cursor);
}

void TChangeExecutor::SetKeepTargetOpen(bool keep) {
  FKeepTargetOpen = keep;
  if (!keep) ReleaseTarget();
}

void TChangeExecutor::ReleaseTarget() {
  // Within a transaction the cursor stays: the transaction holds the table anyway.
  if (FTargetCursor.Cursor && FTargetCursor.Directory && FTargetCursor.Directory->InTransaction()) return;
  DropTargetCursor();
}

void TChangeExecutor::DropTargetCursor() {
  std::unique_ptr<TDataCursor> cursor = std::move(FTargetCursor.Cursor);
  FTargetCursor = TKeptCursor{};
  if (!cursor) return;
  try {
    if (cursor->IsOpen()) cursor->CloseCursor();
  } catch (...) {
    // Closing gives up locks and handles only; the statement at hand goes on.
  }
}

int64_t TChangeExecutor::Execute(TQueryStatement &statement) {
  TDataQuery *query = statement.Master();
  if (!query || !statement.Prepared()) RaiseSqlError("No SQL statement available");
  const bool keepsCursor = (query->Kind == TStatementKind::Insert && !query->InsertSelect) ||
                           query->Kind == TStatementKind::Update || query->Kind == TStatementKind::Delete;
  if (!keepsCursor) DropTargetCursor();
  switch (query->Kind) {
    case TStatementKind::Insert: return ExecuteInsert(*query);
    case TStatementKind::Update:
    case TStatementKind::Delete: return ExecuteUpdateOrDelete(statement, *query);
    case TStatementKind::CreateTable: ExecuteCreateTable(*query); return 0;
    case TStatementKind::CreateIndex: ExecuteCreateIndex(*query); return 0;
    case TStatementKind::DropTable: ExecuteDropTable(*query); return 0;
    case TStatementKind::DropIndex: ExecuteDropIndex(*query); return 0;
    case TStatementKind::StartTransaction:
    case TStatementKind::Commit:
    case TStatementKind::Rollback: ExecuteTransaction(*query); return 0;
    case TStatementKind::AlterTable: ExecuteAlterTable(*this, *query); return 0;
    default: RaiseSqlError(std::string(StatementKindName(query->Kind)) + " statements cannot be run here");
  }
}

void TChangeExecutor::ExecuteTransaction(TDataQuery &query) {
  TDataDirectory *directory = DefaultDirectory();
  const std::string name = directory->DatabaseName();
  if (query.Kind == TStatementKind::StartTransaction) {
    if (directory->InTransaction()) RaiseSqlError("Transaction already in progress for database '" + name + "'");
    directory->StartTransaction();
    return;
  }
  if (!directory->InTransaction()) RaiseSqlError("Transaction not in progress for database '" + name + "'");
  if (query.Kind == TStatementKind::Rollback) directory->RollbackTransaction();
  else directory->CommitTransaction(query.Flush);
}

}  // namespace kura
