#include "query/run/SqlRunner.h"

#include <cctype>

#include "engine/errors/EngineError.h"
#include "engine/table/DataDirectory.h"
#include "engine/table/DataSession.h"

namespace kura {

namespace {

// The text of one statement of a script: separators and blanks around it removed.
std::string StatementText(std::string_view text, size_t begin, size_t end) {
  end = std::min(end, text.size());
  while (begin < end && (std::isspace(static_cast<unsigned char>(text[begin])) || text[begin] == ';')) ++begin;
  while (end > begin && (std::isspace(static_cast<unsigned char>(text[end - 1])) || text[end - 1] == ';')) --end;
  return std::string(text.substr(begin, end - begin));
}

}  // namespace

TSqlRunner::TSqlRunner(TDataSession &session, std::string databaseName)
    : FSession(session), FDatabaseName(databaseName), FExecutor(session, std::move(databaseName)) {
  // The statement's own directory stays open for the runner's life: its transaction state
  // lives there.
  FExecutor.DefaultDirectory();
}

TSqlRunner::~TSqlRunner() {
  try {
    ReleaseKeptTables();
  } catch (...) {
  }
}

void TSqlRunner::SetKeepTablesOpen(bool keep) {
  FKeepTables = keep;
  if (!keep) ReleaseKeptTables();
}

void TSqlRunner::ReleaseKeptTables() {
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
  size_t begin = 0;
  bool first = true;
  for (;;) {
    if (first) statement.Prepare(text);
    else statement.PrepareNext();
    first = false;
    const size_t end = statement.HasNextStatement() ? statement.Parser().TokenStart() : text.size();
    result.Kind = statement.Kind();
    ++result.StatementCount;
    if (statement.ParameterCount() > 0)
      RaiseSqlError("Statements with parameters cannot be run without parameter values");
    if (statement.Kind() == TStatementKind::Select) {
      // A SELECT INTO may replace a table a kept one is.
      if (statement.Master() && statement.Master()->Into.Given) ReleaseKeptTables();
      auto select = std::make_unique<TSelectQuery>(FSession, FDatabaseName);
      select->Prepare(StatementText(text, begin, end));
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
      ReleaseKeptTables();
      const int64_t rows = FExecutor.Execute(statement);
      if (statement.Kind() == TStatementKind::StartTransaction) rowsAtStart = result.RowsAffected;
      else if (statement.Kind() == TStatementKind::Rollback) result.RowsAffected = rowsAtStart;
      else result.RowsAffected += rows;
    }
    begin = end;
    if (!statement.HasNextStatement()) break;
  }
  return result;
}

}  // namespace kura
