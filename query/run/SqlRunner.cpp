#include "query/run/SqlRunner.h"

#include <cctype>

#include "engine/errors/EngineError.h"
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

TSqlRunner::~TSqlRunner() = default;

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
      auto select = std::make_unique<TSelectQuery>(FSession, FDatabaseName);
      select->Prepare(StatementText(text, begin, end));
      select->Execute();
      if (onSelect) onSelect(*select);
      result.Select = std::move(select);
    } else {
      // A SELECT keeps its sources open (read-only) while its result lives, which would shut
      // the changing statements after it out of the same tables: its result goes first.
      if (result.Select) {
        result.Select->Close();
        result.Select.reset();
      }
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
