#pragma once
// TSelectQuery: prepares and runs SELECT statements against a database directory of a
// session and serves the result, either live (rows of the source table itself) or as a
// result table: the INTO table, or a temporary table of the session's private directory that
// is held in memory until it outgrows the result memory limit and then moves to files.
//
// Lifecycle: Prepare (parse, resolve, check, choose live or result table) -> SetParameter ->
// Execute (may be repeated with new parameters) -> read rows -> Close.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "query/expr/ValueConvert.h"
#include "query/select/ResultTableStore.h"
#include "query/select/SelectPlan.h"
#include "query/sql/QueryStatement.h"

namespace kura {

class TDataCursor;
class TDataSession;
class TResultTableShelf;
class TSourceCursorCache;
class TSelectExecution;

struct TResultColumnInfo {
  std::string Name;
  std::string Origin;  // table name "." column name for plain columns
  TTypeInfo Type;
};

class TSelectQuery {
 public:
  // databaseName: a directory path (empty: the session's creation directory) or "Memory".
  TSelectQuery(TDataSession &session, std::string databaseName);
  ~TSelectQuery();
  TSelectQuery(const TSelectQuery &) = delete;
  TSelectQuery &operator=(const TSelectQuery &) = delete;

  void SetRequestLive(bool live) { FStatement.SetRequestLive(live); }
  void SetMaxRowCount(int64_t count) { FStatement.SetMaxRowCount(count); }
  // Bytes a result of the statement's own holds in memory before it moves to files of the
  // session's private directory (INTO tables stay where they were asked for).
  void SetResultMemoryLimit(int64_t bytes) { FResultMemoryLimit = bytes; }
  // Where an in-memory result of the statement's own is left when the query is done with it
  // and taken from by the next execution of the same result layout (optional; shared with the
  // runner that hands it to one query after another).
  void SetResultTableShelf(std::shared_ptr<TResultTableShelf> shelf) { FShelf = std::move(shelf); }
  // Where the cursors that ask source indexes for a WHERE's records are kept between queries
  // (optional; only for a caller that keeps the source tables open between queries anyway and
  // clears the cache whenever it releases them).
  void SetSourceCursorCache(std::shared_ptr<TSourceCursorCache> cache) { FCursorCache = std::move(cache); }
  // The tables the statement reads, as opened for it (valid while it is prepared).
  const std::vector<std::pair<TDataDirectory *, TDataTable *>> &SourceTables() const { return FOpenedTables; }
  // Percentage done; set abort to stop producing rows (the rows so far stay).
  std::function<void(int percent, bool &abort)> OnProgress;

  // Parses and checks; SQL errors (code 11949) leave nothing prepared. Statements other
  // than SELECT fail with "not supported yet".
  void Prepare(std::string_view sql);
  // The same for a SELECT another statement object has parsed already (a script's runner):
  // its parts are taken over and checked here, with the same errors as Prepare.
  void PrepareParsed(TQueryStatement &parsed);
  bool Prepared() const { return FStatement.Prepared(); }
  // Scripts: whether another statement follows the current one, and preparing it (the
  // current statement's result and sources are released first).
  bool HasNextStatement() const { return FStatement.HasNextStatement(); }
  void PrepareNext();
  // The statement is the SELECT of an INSERT ... SELECT, run as a query of its own: it is
  // checked as the sub-select it is.
  void SetInsertSource(bool value) { FInsertSource = value; }
  TStatementKind Kind() const { return FStatement.Kind(); }
  size_t ParameterCount() const { return FStatement.ParameterCount(); }
  // The value of the n-th (0-based) "?" of the statement, given in its own type; it is
  // converted to the type the statement expects there when executed.
  void SetParameter(size_t index, const TTypeInfo &type, const TExpValue &value);
  void SetParameterInt(size_t index, int64_t value);
  void SetParameterText(size_t index, const std::string &value);
  void SetParameterNull(size_t index);

  // Produces the result anew (clearing the previous one).
  void Execute();
  bool Live() const;
  bool Executed() const { return FExecuted; }
  double ExecutionTime() const { return FExecutionTime; }

  // The result: its visible columns and rows.
  size_t ColumnCount() const;
  TResultColumnInfo Column(size_t index) const;
  int64_t RowCount() const;
  // The values of one row (0-based) in the column types.
  std::vector<TExpValue> Row(int64_t index);
  // The result table (null for a live result), with its record index made and a cursor open
  // on it.
  TDataTable *ResultTable();
  // Record numbers of the source table a live result shows, in order.
  const std::vector<int32_t> &LiveRecords() const { return FLiveRecords; }
  // The cursor a live result is served through (null for a result table).
  TDataCursor *LiveCursor() const { return FLiveCursor.get(); }
  // The cursor on the result table (null for a live result). The dataset layer serves
  // either this or LiveCursor().
  TDataCursor *ResultCursor();

  // Frees the result (deleting a temporary result table), closes the sources.
  void Close();

  TQueryStatement &Statement() { return FStatement; }
  TSelectPlan *PlanOf(const TDataQuery *query) const;

 private:
  // Closes what was open, prepares the statement by `prepare`, and makes room for its
  // parameters; a failure leaves nothing prepared.
  template <class TPrepare>
  void PrepareBy(TPrepare &&prepare);
  friend class TSelectExecution;
  friend class TRowEvalContext;
  friend class TSourceResolver;
  void Validate(TDataQuery &query);
  void ClearResult();
  void CloseSources();
  TDataDirectory *OpenDirectory(const TTableRef &ref);
  void SetSpill(TSelectExecution &run, TDataDirectory &directory);
  void FinishResultTable();
  // Closes and deletes a temporary result table, also where it was moved to files.
  void DropTemporaryTable(TDataDirectory &directory, const std::string &name);

  TDataSession &FSession;
  std::string FDatabaseName;
  TQueryStatement FStatement;
  std::map<const TDataQuery *, std::unique_ptr<TSelectPlan>> FPlans;
  std::vector<TDataDirectory *> FOpenedDirectories;
  std::vector<std::pair<TDataDirectory *, TDataTable *>> FOpenedTables;
  struct TParameterValue {
    bool Given = false;
    TTypeInfo Type;
    TExpValue Value;
  };
  std::vector<TParameterValue> FParameterValues;
  bool FExecuted = false;
  double FExecutionTime = 0;
  TDataDirectory *FResultDirectory = nullptr;
  TDataTable *FResultTable = nullptr;
  bool FResultTemporary = false;
  bool FResultInMemory = false;
  std::string FResultName;
  std::string FResultLayout;  // of a result that may go to the shelf (empty: it may not)
  std::shared_ptr<TResultTableShelf> FShelf;
  std::shared_ptr<TSourceCursorCache> FCursorCache;
  std::vector<int32_t> FLiveRecords;
  std::shared_ptr<TDataCursor> FLiveCursor;
  std::shared_ptr<TDataCursor> FResultCursor;
  std::vector<int32_t> FResultSlots;  // record numbers of the result table's rows
  bool FResultUnfinished = false;     // the record index and cursor are still to be made
  TResultRecordBlock FRowBlock;       // rows read by position while unfinished
  std::map<std::string, std::string> FMovedResults;  // in-memory name -> name in files
  bool FInsertSource = false;
  int64_t FResultMemoryLimit = 16 * 1024 * 1024;
  // IN ( SELECT ... ): the sub-select's column values, produced once per execution.
  std::map<const TDataQuery *, std::vector<TExpValue>> FSubSelectValues;
  // Runs a sub-select (once per execution) and returns its column values.
  const std::vector<TExpValue> &SubSelectValues(const TDataQuery *query);
};

}  // namespace kura
