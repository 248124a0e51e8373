#include "query/run/SqlRunner.h"

#include "engine/errors/EngineError.h"
#include "engine/table/DataDirectory.h"
#include "engine/table/DataSession.h"
#include "query/select/ResultTableShelf.h"
#include "query/select/SourceCursorCache.h"

namespace kura {

TSqlRunner::TSqlRunner(TDataSession &session, std::string databaseName)
    : FSession(session),
      FDatabaseName(databaseName),
      FExecutor(session, std::move(databaseName)),
      FShelf(std::make_shared<TResultTableShelf>(session)),
      FCursors(std::make_shared<TSourceCursorCache>()) {
  // The statement's own directory stays open for the runner's life: its transaction state
  // lives there.
  FExecutor.DefaultDirectory();
}

TSqlRunner::~TSqlRunner() {
  try {
    ReleaseKeptTables();
  } catch (...) {
  }
  try {
    FShelf->Drop();
  } catch (...) {
  }
}

void TSqlRunner::SetKeepTablesOpen(bool keep) {
  FKeepTables = keep;
  FExecutor.SetKeepTargetOpen(keep);
  if (!keep) ReleaseKeptTables();
}

void TSqlRunner::ReleaseKeptTables() {
  // The last changing statement's target too.
  FExecutor.ReleaseTarget();
  ReleaseSelectTables();
}

void TSqlRunner::ReleaseSelectTables() {
  // The cursors hold their tables open too.
  FCursors->Clear();
  std::vector<std::pair<TDataDirectory *, TDataTable *>> kept;
  kept.swap(FKept);
  for (auto it = kept.rbegin(); it != kept.rend(); ++it) {
    it->first->CloseTable(it->second);
    FSession.CloseDataDirectory(it->first);
  }
}

void TSqlRunner::KeepTables(TSelectQuery &select) {
  for (const auto &[directory, table] : select.SourceTables()) {
    bool held = false;
    for (const auto &kept : FKept) held = held || kept.second == table;
    if (held) continue;
    // One more use of the same table object (and of its directory), as the statement opened it.
    directory->AddReference();
    try {
      TDataTable *again = directory->OpenTable(table->Name(), false, table->ReadOnly(), table->InMemory(), false);
      FKept.emplace_back(directory, again);
    } catch (...) {
      FSession.CloseDataDirectory(directory);
      throw;
    }
  }
}

TRunResult TSqlRunner::Run(std::string_view text, const std::function<void(TSelectQuery &)> &onSelect) {
  TRunResult result;
  TQueryStatement statement;
  int64_t rowsAtStart = 0;
  bool first = true;
  for (;;) {
    if (first) statement.PrepareBorrowed(text);  // text outlives the statement, a local
    else statement.PrepareNext();
    first = false;
    result.Kind = statement.Kind();
    ++result.StatementCount;
    if (statement.ParameterCount() > 0)
      RaiseSqlError("Statements with parameters cannot be run without parameter values");
    if (statement.Kind() == TStatementKind::Select) {
      // A SELECT INTO may replace a table a kept one is.
      if (statement.Master() && statement.Master()->Into.Given) ReleaseKeptTables();
      // Only the script's last SELECT is handed back: an earlier one is done with (its rows were
      // seen), and its result table may serve this one.
      result.Select.reset();
      auto select = std::make_unique<TSelectQuery>(FSession, FDatabaseName);
      select->SetResultTableShelf(FShelf);
      if (FKeepTables) select->SetSourceCursorCache(FCursors);
      // The statement is parsed already: the query takes its parts over and checks them.
      select->PrepareParsed(statement);
      select->Execute();
      if (FKeepTables) KeepTables(*select);
      if (onSelect) onSelect(*select);
      result.Select = std::move(select);
    } else {
      // A SELECT keeps its sources open (read-only) while its result lives, which would shut
      // the changing statements after it out of the same tables: its result goes first.
      if (result.Select) {
        result.Select->Close();
        result.Select.reset();
      }
      // The executor closes the target it kept itself when the statement needs that.
      ReleaseSelectTables();
      const int64_t rows = FExecutor.Execute(statement);
      if (statement.Kind() == TStatementKind::StartTransaction) rowsAtStart = result.RowsAffected;
      else if (statement.Kind() == TStatementKind::Rollback) result.RowsAffected = rowsAtStart;
      else result.RowsAffected += rows;
    }
    if (!statement.HasNextStatement()) break;
  }
  return result;
}

}  // namespace kura
