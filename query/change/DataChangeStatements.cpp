// INSERT, UPDATE and DELETE.
#include <algorithm>
#include <cstring>

#include "engine/errors/EngineError.h"
#include "engine/table/DataDirectory.h"
#include "engine/table/DataSession.h"
#include "engine/table/DataTable.h"
#include "query/change/ChangeExecutor.h"
#include "query/change/ChangeTarget.h"
#include "query/change/JoinedSources.h"
#include "query/filter/CandidateRecords.h"
#include "query/select/SelectQuery.h"
#include "query/select/SelectWhereFilter.h"

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

// Rows between intermediate commits (0: one commit at the end). Inside the caller's
// transaction, commits between rows happen only when the statement asks for them.
int64_t CommitInterval(const TDataSession &session, const TDataQuery &query, const TDataCursor &cursor,
                       bool ownTransaction) {
  if (query.Commit.IntervalGiven) return query.Commit.Interval;
  return ownTransaction ? DefaultCommitInterval(session, cursor.StoredRecordSize()) : 0;
}

// NOAUTOINC keeps the values a statement gives to an auto-increment field. A table without
// one has nothing to keep: suppressing there would give every record the same number 0.
bool HasAutoIncField(const TDataCursor &cursor) {
  for (const TFieldDescriptor &f : cursor.Fields())
    if (f.IsAutoInc()) return true;
  return false;
}

// After a failure: the edit lock and the blobs written into the unposted record go.
void DropUnposted(TDataCursor &cursor, std::vector<uint8_t> &record) {
  try {
    cursor.CancelRecord(record.data());
  } catch (...) {
    // The failure being handled is the one reported.
  }
}

// The AND-ed parts of a condition.
void Conjuncts(const TExpToken *node, std::vector<const TExpToken *> &out) {
  if (!node) return;
  if (node->Kind == TExpNodeKind::Binary && node->Code == TExpCode::And && node->Left && node->Right) {
    Conjuncts(node->Left, out);
    Conjuncts(node->Right, out);
    return;
  }
  out.push_back(node);
}

// The records UPDATE or DELETE visits, in slot order (the order a walk of the table meets
// them). Where indexes answer parts of WHERE only their records are read; the rest of WHERE
// is tested on each (without further sources: those are searched when the record is visited).
// Every record is read again and WHERE tested again when it is visited, so the set only has
// to hold every record that may qualify.
std::vector<uint32_t> StatementCandidates(TChangeTarget &target, const TDataQuery &query, TEvaluator &evaluator,
                                          bool joined) {
  TDataCursor &cursor = target.Cursor();
  std::vector<uint32_t> found;
  // One read lock for the whole gathering: the indexes and records read belong together.
  cursor.ReadLockTable();
  try {
    std::vector<const TExpToken *> conjuncts;
    Conjuncts(query.Where.get(), conjuncts);
    const uint32_t slots = static_cast<uint32_t>(std::max<int32_t>(0, cursor.Table()->DataFile().SlotCount()));
    TCandidateRecords candidates = TCandidateRecords::AllSlots(slots);
    if (!conjuncts.empty()) IndexedCandidates(cursor, &target, conjuncts, candidates);
    std::vector<uint8_t> &record = target.Record();
    const bool test = !joined && query.Where;
    // A walk over many slots reads them block by block. Without calculated fields the record
    // buffer is the stored image, which such a walk takes from the data file's block buffer
    // without passing every record through the record cache.
    const bool wide = candidates.IsAll() || candidates.Count() > 64;
    TDataFile &file = cursor.Table()->DataFile();
    const bool scan = wide && cursor.RecordBufferSize() == cursor.StoredRecordSize();
    // A walk of every slot reads large blocks: one system call per few records costs more than
    // the copying.
    const int block = candidates.IsAll() ? file.ScanBlockRecords() : 0;
    std::vector<uint8_t> image;
    candidates.ForEach([&](uint32_t n) {
      const int32_t slot = static_cast<int32_t>(n);
      if (scan && slot >= 1 && slot <= file.SlotCount() && file.ReadRecordForScan(slot, image, block)) {
        if (image[0] != 0) return true;  // a freed slot
        std::memcpy(record.data(), image.data(), std::min(record.size(), image.size()));
      } else if (!cursor.ReadRecordInto(slot, record.data(), wide ? 0 : 1)) {
        return true;
      }
      if (!test || evaluator.Condition(*query.Where)) found.push_back(n);
      return true;
    });
  } catch (...) {
    cursor.ReadUnlockTable();
    throw;
  }
  cursor.ReadUnlockTable();
  return found;
}

// Whether slots in ascending order lie on average at most 64 slots apart.
bool DenseInSlots(const std::vector<uint32_t> &slots) {
  if (slots.size() < 2) return false;
  return slots.back() - slots.front() <= 64 * static_cast<uint64_t>(slots.size() - 1);
}

}  // namespace

int64_t TChangeExecutor::ExecuteInsert(TDataQuery &query) {
  if (query.InsertSelect) return ExecuteInsertSelect(query);
  TDataDirectory *directory = DirectoryOf(query.Target);
  std::unique_ptr<TDataCursor> kept = TakeTargetCursor(directory, query.Target);
  TChangeTarget target = kept ? TChangeTarget(std::move(kept), query.Target, query.TargetCorrelation)
                              : TChangeTarget(directory, query.Target, query.TargetCorrelation);
  const std::vector<int> fields = TargetFields(target, query);
  if (fields.size() != query.UpdateValues.size())
    RaiseSqlError("The number of values must match the number of table columns");
  for (TUpdateValue &v : query.UpdateValues) target.Check(v.Expression, "value expression", false);
  TDataCursor &cursor = target.Cursor();
  cursor.SuppressAutoInc(query.NoAutoInc && HasAutoIncField(cursor));
  cursor.InitRecord(target.Record().data());
  try {
    target.StoreValues(fields, query.UpdateValues, "INSERT");
    cursor.AppendRecord(target.Record().data(), false);
  } catch (...) {
    DropUnposted(cursor, target.Record());
    throw;
  }
  KeepTargetCursor(directory, query.Target, target.ReleaseCursor());
  return 1;
}

int64_t TChangeExecutor::ExecuteInsertSelect(TDataQuery &query) {
  const std::string &selectText = query.InsertSelect->SourceText;
  TDataDirectory *directory = DirectoryOf(query.Target);
  TChangeTarget target(directory, query.Target, query.TargetCorrelation);
  const std::vector<int> fields = TargetFields(target, query);
  // The rows are produced whole before the first is inserted, so that a SELECT reading the
  // target table does not see the rows being added.
  TSelectQuery select(FSession, FDatabaseName);
  // The SELECT keeps the rights of a sub-select: columns outside aggregates need no GROUP BY.
  select.SetInsertSource(true);
  select.Prepare(selectText);
  if (select.ColumnCount() != fields.size())
    RaiseSqlError("The number of values must match the number of table columns");
  select.Execute();
  std::vector<TTypeInfo> types;
  for (size_t c = 0; c < select.ColumnCount(); ++c) types.push_back(select.Column(c).Type);

  TDataCursor &cursor = target.Cursor();
  cursor.SuppressAutoInc(query.NoAutoInc && HasAutoIncField(cursor));
  const bool ownTransaction = !directory->InTransaction();
  const int64_t interval = CommitInterval(FSession, query, cursor, ownTransaction);
  const bool flush = query.Commit.Flush;
  if (ownTransaction) directory->StartTransaction();
  int64_t rows = 0;
  try {
    const int64_t count = select.RowCount();
    for (int64_t r = 0; r < count; ++r) {
      const std::vector<TExpValue> values = select.Row(r);
      cursor.InitRecord(target.Record().data());
      for (size_t i = 0; i < fields.size(); ++i) target.StoreTyped(fields[i], types[i], values[i], "INSERT");
      cursor.AppendRecord(target.Record().data(), false);
      ++rows;
      if (interval > 0 && rows % interval == 0) {
        directory->CommitTransaction(flush);
        directory->StartTransaction();
      }
    }
    if (ownTransaction) directory->CommitTransaction(flush);
  } catch (...) {
    DropUnposted(cursor, target.Record());
    if (ownTransaction && directory->InTransaction()) directory->RollbackTransaction();
    throw;
  }
  select.Close();
  return rows;
}

int64_t TChangeExecutor::ExecuteUpdateOrDelete(TQueryStatement &statement, TDataQuery &query) {
  const bool isUpdate = query.Kind == TStatementKind::Update;
  TDataDirectory *directory = DirectoryOf(query.Target);
  std::unique_ptr<TDataCursor> kept = TakeTargetCursor(directory, query.Target);
  TChangeTarget target = kept ? TChangeTarget(std::move(kept), query.Target, query.TargetCorrelation)
                              : TChangeTarget(directory, query.Target, query.TargetCorrelation);
  TSubSelectValues subSelects(FSession, FDatabaseName, statement);
  target.SetSubSelects(&subSelects);
  std::vector<int> fields;
  if (isUpdate) fields = TargetFields(target, query);
  // FROM with further sources: their records supply values and conditions.
  std::unique_ptr<TJoinedSources> joined;
  if (query.Sources.size() > 1) {
    joined = std::make_unique<TJoinedSources>(*this, target, query);
    joined->Check(query, isUpdate);
  } else {
    if (isUpdate)
      for (TUpdateValue &v : query.UpdateValues) target.Check(v.Expression, "value expression", false);
    target.Check(query.Where, "WHERE clause", true);
  }

  TDataCursor &cursor = target.Cursor();
  cursor.SuppressAutoInc(query.NoAutoInc && HasAutoIncField(cursor));
  const bool ownTransaction = !directory->InTransaction();
  const int64_t interval = CommitInterval(FSession, query, cursor, ownTransaction);
  const bool flush = query.Commit.Flush;

  if (ownTransaction) directory->StartTransaction();
  int64_t rows = 0;
  try {
    TEvaluator evaluator(&target, cursor.LanguageId(), cursor.SortId());
    std::vector<uint8_t> &record = target.Record();
    // Every record the statement may change is known before the first change, so a change
    // (of an indexed key too) never brings a record into the walk twice or moves one out of it.
    const std::vector<uint32_t> candidates = StatementCandidates(target, query, evaluator, joined != nullptr);
    // Candidates lie in slot order: where they lie close together, a record read takes the
    // following candidates' slots with it, up to the next intermediate commit (which writes
    // the changed records and forgets the block) and at most a scan block; apart, each record
    // is read alone.
    const bool dense = DenseInSlots(candidates);
    const int64_t blockSlots = cursor.Table()->DataFile().ScanBlockRecords();
    for (size_t i = 0; i < candidates.size(); ++i) {
      const uint32_t n = candidates[i];
      int readAhead = 1;
      if (dense) {
        size_t last = candidates.size() - 1;
        if (interval > 0) last = std::min<size_t>(last, i + static_cast<size_t>(interval - rows % interval) - 1);
        readAhead = static_cast<int>(std::clamp<int64_t>(int64_t{candidates[last]} - n + 1, 1, blockSlots));
      }
      // Put on the record by its number: its index entry is searched only if the change needs it.
      if (!cursor.SetToRecordNumber(static_cast<int32_t>(n), record.data(), readAhead)) continue;
      if (joined) {
        if (!joined->FindMatch(query.Where.get())) continue;
      } else if (query.Where && !evaluator.Condition(*query.Where)) {
        continue;
      }
      if (isUpdate) {
        cursor.GetCurRecord(record.data(), true);
        target.StoreValues(fields, query.UpdateValues, "UPDATE", joined.get());
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
    DropUnposted(cursor, target.Record());
    if (ownTransaction && directory->InTransaction()) directory->RollbackTransaction();
    throw;
  }
  KeepTargetCursor(directory, query.Target, target.ReleaseCursor());
  return rows;
}

}  // namespace kura
