#pragma once
// TSqlRunner: one entry point for every statement kind. A text may hold a script of
// statements separated by ";"; each is run in turn, SELECT through TSelectQuery and the rest
// through TChangeExecutor. The runner keeps its directories open between calls, so that a
// transaction started by one call is seen by the next.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "query/change/ChangeExecutor.h"
#include "query/select/SelectQuery.h"

namespace kura {

class TDataSession;
class TResultTableShelf;
class TSourceCursorCache;

struct TRunResult {
  TStatementKind Kind = TStatementKind::Unknown;  // of the last statement
  int64_t RowsAffected = 0;                       // by the script's rules
  int StatementCount = 0;
  // The last SELECT of the script when no changing statement follows it, executed (its rows
  // stay readable until the next Run).
  std::unique_ptr<TSelectQuery> Select;
};

class TSqlRunner {
 public:
  TSqlRunner(TDataSession &session, std::string databaseName);
  ~TSqlRunner();
  TSqlRunner(const TSqlRunner &) = delete;
  TSqlRunner &operator=(const TSqlRunner &) = delete;

  // Runs every statement of the text. A failure stops the script and propagates (statements
  // before it keep their effect). `onSelect` (optional) sees each SELECT's result as it is
  // produced; the last one is also kept in the returned result.
  TRunResult Run(std::string_view text, const std::function<void(TSelectQuery &)> &onSelect = {});

  TChangeExecutor &Executor() { return FExecutor; }

  // Keeping the tables SELECTs read open between statements, with their caches: a following
  // SELECT finds them open and only re-validates them (its read lock runs the change check,
  // which drops whatever another user changed since). Any other statement, and a SELECT INTO,
  // releases them first (they may drop, alter, rename or replace one, or need it for
  // writing). Held tables keep another process from opening them exclusively, so the caller
  // releases them whenever it waits for input. The cursors through which SELECTs asked the
  // tables' indexes are kept with them (and renewed when a table changed). The table the last
  // INSERT, UPDATE or DELETE changed is kept open too, until a statement of another kind or
  // another table comes. Off by default.
  void SetKeepTablesOpen(bool keep);
  void ReleaseKeptTables();
  size_t KeptTableCount() const { return FKept.size(); }

 private:
  void KeepTables(TSelectQuery &select);
  // The tables SELECTs left open, not the executor's target.
  void ReleaseSelectTables();

  TDataSession &FSession;
  std::string FDatabaseName;
  TChangeExecutor FExecutor;
  bool FKeepTables = false;
  std::vector<std::pair<TDataDirectory *, TDataTable *>> FKept;
  // The in-memory result table of the last SELECT, emptied, for the next one.
  std::shared_ptr<TResultTableShelf> FShelf;
  // While tables are kept: the cursors that asked their indexes, for the next SELECTs.
  std::shared_ptr<TSourceCursorCache> FCursors;
};

}  // namespace kura
