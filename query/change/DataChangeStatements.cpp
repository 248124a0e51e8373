// INSERT, UPDATE and DELETE.
#include <algorithm>

#include "engine/errors/EngineError.h"
#include "engine/table/DataDirectory.h"
#include "engine/table/DataSession.h"
#include "engine/table/DataTable.h"
#include "query/change/ChangeExecutor.h"
#include "query/change/ChangeTarget.h"

namespace kura {

namespace {

// Resolves the target columns of INSERT or UPDATE to field numbers; INSERT without a column
// list names every column in field order.
std::vector<int> TargetFields(TChangeTarget &target, TDataQuery &query) {
  std::vector<int> fields;
  for (const TUpdateField &f : query.UpdateFields) {
    if (f.AllColumns) {
      for (int no = 1; no <= target.Cursor().FieldCount(); ++no) fields.push_back(no);
      continue;
    }
    const std::string correlation = query.TargetCorrelation.empty() ? query.Target.TableName : query.TargetCorrelation;
    int no = 0;
    if (f.CorrelationName.empty() || target.IsSourceTable(f.CorrelationName)) no = target.FindField(f.ColumnName);
    if (no == 0)
      RaiseSqlError("Invalid column name '" + f.ColumnName + "' or table correlation name " +
                    (f.CorrelationName.empty() ? correlation : f.CorrelationName) + " specified in table columns");
    fields.push_back(no);
  }
  return fields;
}

// Rows between commits of UPDATE and DELETE when the statement gives none: what two data
// buffers hold, at most the number of buffers.
int64_t DefaultCommitInterval(const TDataSession &session, size_t recordSize) {
  const int64_t byBuffers =
      recordSize == 0 ? 0 : static_cast<int64_t>(2 * session.Settings.DataBufferSize / recordSize);
  return std::min<int64_t>(byBuffers, session.Settings.DataBufferCount);
}

}  // namespace

int64_t TChangeExecutor::ExecuteInsert(TDataQuery &query) {
  if (query.InsertSelect) RaiseSqlError("INSERT ... SELECT statements are not supported yet");
  TDataDirectory *directory = DirectoryOf(query.Target);
  TChangeTarget target(directory, query.Target, query.TargetCorrelation);
  const std::vector<int> fields = TargetFields(target, query);
  if (fields.size() != query.UpdateValues.size())
    RaiseSqlError("The number of values must match the number of table columns");
  for (TUpdateValue &v : query.UpdateValues) target.Check(v.Expression, "value expression", false);
  TDataCursor &cursor = target.Cursor();
  cursor.SuppressAutoInc(query.NoAutoInc);
  cursor.InitRecord(target.Record().data());
  for (size_t i = 0; i < fields.size(); ++i) target.StoreValue(fields[i], *query.UpdateValues[i].Expression, "INSERT");
  cursor.AppendRecord(target.Record().data(), false);
  return 1;
}

int64_t TChangeExecutor::ExecuteUpdateOrDelete(TDataQuery &query) {
  const bool isUpdate = query.Kind == TStatementKind::Update;
  if (query.Sources.size() > 1 || !query.Joins.empty())
    RaiseSqlError(std::string(isUpdate ? "UPDATE" : "DELETE") +
                  " statements with more than one source table are not supported yet");
  TDataDirectory *directory = DirectoryOf(query.Target);
  TChangeTarget target(directory, query.Target, query.TargetCorrelation);
  std::vector<int> fields;
  if (isUpdate) {
    fields = TargetFields(target, query);
    for (TUpdateValue &v : query.UpdateValues) target.Check(v.Expression, "value expression", false);
  }
  target.Check(query.Where, "WHERE clause", true);

  TDataCursor &cursor = target.Cursor();
  cursor.SuppressAutoInc(query.NoAutoInc);
  const bool ownTransaction = !directory->InTransaction();
  int64_t interval = query.Commit.IntervalGiven
                         ? query.Commit.Interval
                         : DefaultCommitInterval(FSession, cursor.StoredRecordSize());
  // Inside the caller's transaction, commits between rows only when the statement asks.
  if (!ownTransaction && !query.Commit.IntervalGiven) interval = 0;
  const bool flush = query.Commit.Flush;

  if (ownTransaction) directory->StartTransaction();
  int64_t rows = 0;
  try {
    TEvaluator evaluator(&target, cursor.LanguageId(), cursor.SortId());
    std::vector<uint8_t> &record = target.Record();
    cursor.SetToBegin();
    while (cursor.GetNextRecord(record.data()) == 0) {
      if (query.Where && !evaluator.Condition(*query.Where)) continue;
      if (isUpdate) {
        cursor.GetCurRecord(record.data(), true);
        for (size_t i = 0; i < fields.size(); ++i)
          target.StoreValue(fields[i], *query.UpdateValues[i].Expression, "UPDATE");
        cursor.ModifyRecord(record.data(), true, false);
      } else {
        cursor.DeleteRecord(record.data(), false);
      }
      ++rows;
      if (interval > 0 && rows % interval == 0) {
        directory->CommitTransaction(flush);
        directory->StartTransaction();
        cursor.Refresh();
      }
    }
    if (ownTransaction) directory->CommitTransaction(flush);
  } catch (...) {
    if (ownTransaction && directory->InTransaction()) {
      try {
        cursor.CancelRecord();
      } catch (...) {
      }
      directory->RollbackTransaction();
    }
    throw;
  }
  return rows;
}

}  // namespace kura
