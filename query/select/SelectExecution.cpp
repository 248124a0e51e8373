#include "query/select/SelectExecution.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "engine/cursor/DataCursor.h"
#include "query/select/SelectWhereFilter.h"
#include "engine/data/FieldCodec.h"
#include "engine/sort/SortRecords.h"
#include "engine/table/DataDirectory.h"
#include "engine/table/DataSession.h"
#include "query/select/SelectAggregates.h"
#include "query/select/SelectBlobs.h"
#include "query/select/SelectQuery.h"
#include "query/select/SelectValues.h"

namespace kura {

namespace {

// Result rows up to this size are sorted in memory in one piece; larger ones go through run
// files, which take about as long and hold far less.
constexpr size_t kSortInMemoryBytes = 16 * 1024 * 1024;

bool LiveSlot(const TRecord *record) { return record && record->Image[0] == 0; }

void CollectRows(const TExpToken *n, std::vector<const TRowSource *> &out) {
  if (!n) return;
  if (n->Kind == TExpNodeKind::Column && !n->IsAllColumns && n->Source) {
    const auto *row = static_cast<const TRowSource *>(n->Source);
    if (std::find(out.begin(), out.end(), row) == out.end()) out.push_back(row);
  }
  if (n->Kind == TExpNodeKind::SubSelect) return;
  CollectRows(n->Left, out);
  CollectRows(n->Right, out);
  for (const TExpToken *a : n->Args) CollectRows(a, out);
}

}  // namespace

void TSelectExecution::OrderJoin() {
  if (FPlan.Levels.size() < 2 || FPlan.Query->NoJoinOptimize) return;
  for (const TJoinLevel &level : FPlan.Levels)
    if (level.LeftOuter) return;
  // Every condition of an inner join may be tested as soon as its sources are all read.
  std::vector<const TExpToken *> conditions;
  for (const TJoinLevel &level : FPlan.Levels)
    conditions.insert(conditions.end(), level.Conditions.begin(), level.Conditions.end());
  // The record count of each source under the conditions on it alone.
  std::vector<int64_t> counts;
  for (TJoinLevel &level : FPlan.Levels) {
    TSelectSource &source = *level.Source;
    std::vector<const TExpToken *> own;
    for (const TExpToken *c : conditions) {
      std::vector<const TRowSource *> rows;
      CollectRows(c, rows);
      if (rows.size() == 1 && rows[0] == &source.Row) own.push_back(c);
    }
    TDataFile &file = source.Table->DataFile();
    int64_t count = 0;
    for (int32_t n = 1; n <= file.SlotCount(); ++n) {
      TRecord *record = file.GetRecord(n);
      if (!record) continue;
      const bool live = LiveSlot(record);
      if (live) source.Image.assign(record->Image.begin(), record->Image.end());
      file.ReleaseRecord(record);
      if (!live) continue;
      source.Row.Record = source.Image.data();
      source.Row.NullRow = false;
      bool passes = true;
      for (const TExpToken *c : own)
        if (!FEvaluator.Condition(*c)) {
          passes = false;
          break;
        }
      if (passes) ++count;
    }
    counts.push_back(count);
  }
  size_t smallest = 0;
  for (size_t i = 1; i < counts.size(); ++i)
    if (counts[i] < counts[smallest]) smallest = i;
  if (smallest != 0 && counts[smallest] < counts[0]) {
    TJoinLevel driving = FPlan.Levels[smallest];
    FPlan.Levels.erase(FPlan.Levels.begin() + static_cast<std::ptrdiff_t>(smallest));
    FPlan.Levels.insert(FPlan.Levels.begin(), driving);
  }
  for (size_t i = 0; i < FPlan.Levels.size(); ++i) {
    FPlan.Levels[i].Conditions.clear();
    FPlan.Levels[i].Source->Level = static_cast<int>(i);
  }
  for (const TExpToken *c : conditions) {
    std::vector<const TRowSource *> rows;
    CollectRows(c, rows);
    int deepest = 0;
    for (const TRowSource *row : rows)
      for (size_t i = 0; i < FPlan.Levels.size(); ++i)
        if (&FPlan.Levels[i].Source->Row == row) deepest = std::max(deepest, static_cast<int>(i));
    FPlan.Levels[deepest].Conditions.push_back(c);
  }
}

TSelectExecution::TSelectExecution(TSelectQuery &owner, TSelectPlan &plan)
    : FOwner(owner), FPlan(plan), FContext(owner), FEvaluator(&FContext, plan.LanguageId, plan.SortId) {
  FContext.SetPlan(&plan);
}

void TSelectExecution::Report(int percent) {
  if (!FOwner.OnProgress) return;
  const uint16_t steps = FPlan.Sources.empty() ? 20
                                               : FPlan.Sources[0]->Table->Settings().ProgressSteps;
  const int step = steps == 0 ? 100 : std::max(1, 100 / steps);
  if (percent != 100 && FLastReported >= 0 && percent - FLastReported < step) return;
  FLastReported = percent;
  bool abort = false;
  FOwner.OnProgress(percent, abort);
  if (abort) FAborted = true;
}

bool TSelectExecution::LevelQualifies(const TJoinLevel &level) {
  for (const TExpToken *c : level.Conditions)
    if (!FEvaluator.Condition(*c)) return false;
  return true;
}

bool TSelectExecution::ProduceLevel(size_t index, const std::function<bool()> &row, bool &stop) {
  if (index == FPlan.Levels.size()) {
    for (const TExpToken *c : FPlan.Residual)
      if (!FEvaluator.Condition(*c)) return true;
    if (!row()) stop = true;
    return true;
  }
  TJoinLevel &level = FPlan.Levels[index];
  TSelectSource &source = *level.Source;
  TDataFile &file = source.Table->DataFile();
  const int32_t slots = file.SlotCount();
  bool matched = false;
  for (int32_t n = 1; n <= slots && !stop && !FAborted; ++n) {
    if (index == 0 && slots > 0) Report(static_cast<int>(static_cast<int64_t>(n - 1) * 100 / slots));
    if (FAborted) break;
    const std::vector<bool> &passing = FLevelRecords[index];
    if (!passing.empty() && (static_cast<size_t>(n) >= passing.size() || !passing[static_cast<size_t>(n)])) continue;
    TRecord *record = file.GetRecord(n);
    if (!record) continue;
    const bool live = LiveSlot(record);
    if (live) source.Image.assign(record->Image.begin(), record->Image.end());
    file.ReleaseRecord(record);
    if (!live) continue;
    source.Row.Record = source.Image.data();
    source.Row.NullRow = false;
    if (!LevelQualifies(level)) continue;
    matched = true;
    ProduceLevel(index + 1, row, stop);
  }
  if (!matched && level.LeftOuter && !stop && !FAborted) {
    source.Row.NullRow = true;
    ProduceLevel(index + 1, row, stop);
    source.Row.NullRow = false;
  }
  return true;
}

bool TSelectExecution::Produce(const std::function<bool()> &row) {
  bool stop = false;
  FLastReported = -1;
  if (FPlan.Levels.empty()) return true;
  // Conditions on a level's source alone are answered by a filter on that source (from its
  // indexes where they serve); the record-by-record test still follows.
  FLevelRecords.assign(FPlan.Levels.size(), {});
  for (size_t i = 0; i < FPlan.Levels.size(); ++i) {
    std::vector<bool> passing;
    if (FilteredRecords(*FPlan.Levels[i].Source, FPlan.Levels[i].Conditions, passing))
      FLevelRecords[i] = std::move(passing);
  }
  ProduceLevel(0, row, stop);
  if (!FAborted) Report(100);
  return !FAborted;
}

void TSelectExecution::ColumnValue(const TSelectColumn &column, TExpValue &value) {
  value.Clear();
  switch (column.Kind) {
    case TColumnKind::Plain:
      if (!column.Source->Row.NullRow) {
        const TFieldDescriptor &field = column.Source->Table->DataFile().Field(column.SourceField);
        if (field.Type == TDataType::Blob) ReadBlobValue(*column.Source->Table, field, column.Source->Image.data(), value);
        else ReadFieldValue(field, column.Source->Image.data(), value);
      }
      return;
    case TColumnKind::Calculated: {
      TExpValue raw;
      FEvaluator.Eval(*column.Expression, raw);
      if (raw.Null) return;
      const TTypeInfo from{column.Expression->DataType, column.Expression->SubType, column.Expression->Size,
                           column.Expression->Scale};
      const TTypeInfo to = FieldTypeInfo(column.Field);
      if (from.Type == to.Type && from.Scale == to.Scale) value = raw;
      else if (!ConvertValue(from, raw, to, value)) value.Clear();
      return;
    }
    case TColumnKind::Aggregate: {
      if (column.CountStar || !column.Expression) {
        value = TExpValue::OfInt(1);
        return;
      }
      TExpValue raw;
      FEvaluator.Eval(*column.Expression, raw);
      if (column.Aggregate == TAggregateKind::Count) {
        value = TExpValue::OfInt(raw.Null ? 0 : 1);
        return;
      }
      if (raw.Null) return;
      const TTypeInfo from{column.Expression->DataType, column.Expression->SubType, column.Expression->Size,
                           column.Expression->Scale};
      const TTypeInfo to = FieldTypeInfo(column.Field);
      if (from.Type == to.Type && from.Scale == to.Scale) value = raw;
      else if (!ConvertValue(from, raw, to, value)) value.Clear();
      return;
    }
    case TColumnKind::AvgCount:
      return;
  }
}

void TSelectExecution::RowValues(std::vector<TExpValue> &values) {
  values.resize(FPlan.Columns.size());
  for (size_t i = 0; i < FPlan.Columns.size(); ++i) ColumnValue(FPlan.Columns[i], values[i]);
  for (size_t i = 0; i < FPlan.Columns.size(); ++i) {
    const TSelectColumn &c = FPlan.Columns[i];
    if (c.Aggregate == TAggregateKind::Avg && c.AvgCountColumn >= 0)
      values[c.AvgCountColumn] = TExpValue::OfInt(values[i].Null ? 0 : 1);
  }
}

void TSelectExecution::BuildRecord(uint8_t *image, std::vector<TExpValue> *runningTotals) {
  std::vector<TExpValue> values;
  RowValues(values);
  for (size_t i = 0; i < FPlan.Columns.size(); ++i) {
    const TSelectColumn &c = FPlan.Columns[i];
    if (runningTotals && c.Aggregate == TAggregateKind::RunSum) {
      // A running total that overflowed stays NULL for the rest of the rows.
      if (FRunningOverflow.size() < runningTotals->size()) FRunningOverflow.resize(runningTotals->size(), 0);
      if (!FRunningOverflow[i] && !CombineAggregate(TAggregateKind::Sum, c.Field.Type, (*runningTotals)[i], values[i]))
        FRunningOverflow[i] = 1;
      values[i] = (*runningTotals)[i];
    }
  }
  for (size_t i = 0; i < FPlan.Columns.size(); ++i) {
    if (FPlan.ResultFields[i].Type == TDataType::Blob && FTarget) {
      if (!values[i].Null) FBlobBytes += static_cast<int64_t>(values[i].Str.size());
      WriteBlobValue(*FTarget, FPlan.ResultFields[i], image, values[i]);
    } else {
      WriteFieldValue(FPlan.ResultFields[i], image, values[i], FPlan.LanguageId);
    }
  }
}

bool TSelectExecution::GroupKeyIsOrderKey() const {
  if (FPlan.OrderKey.empty()) return true;
  if (FPlan.Query->OrderByNoCase) return false;
  std::vector<TSortColumn> key = FPlan.GroupKey;
  if (FPlan.Distinct) {
    key.clear();
    for (size_t i = 0; i < FPlan.VisibleCount; ++i) key.push_back({static_cast<int>(i), false});
  }
  if (key.size() != FPlan.OrderKey.size()) return false;
  for (size_t i = 0; i < key.size(); ++i)
    if (key[i].Column != FPlan.OrderKey[i].Column || FPlan.OrderKey[i].Descending) return false;
  return true;
}

void TSelectExecution::SpillIfLarge() {
  if (!OnSpill || !FTarget->InMemory()) return;
  const TDataFile &file = FTarget->DataFile();
  const int64_t bytes = static_cast<int64_t>(file.SlotCount()) * static_cast<int64_t>(file.RecordSize()) + FBlobBytes;
  if (bytes > MemoryLimit) FTarget = OnSpill(*FTarget);
}

void TSelectExecution::Append(const std::vector<TExpValue> *values, const uint8_t *image) {
  TDataFile &file = FTarget->DataFile();
  TRecord *record = file.AllocateRecord(FTarget->NoPrimaryKey());
  uint8_t *target = record->Image.data();
  if (image) {
    std::memcpy(target + kRecordPrefixSize, image + kRecordPrefixSize, file.RecordSize() - kRecordPrefixSize);
  } else if (values) {
    for (size_t i = 0; i < values->size(); ++i)
      WriteFieldValue(FPlan.ResultFields[i], target, (*values)[i], FPlan.LanguageId);
  } else {
    BuildRecord(target, FPlan.Grouped ? nullptr : &FRunningTotals);
  }
  file.MarkRecordDirty(record);
  file.ReleaseRecord(record);
  SpillIfLarge();
}

bool TSelectExecution::FillResultTable(TDataTable &table, int64_t maxRows, bool sort) {
  FTarget = &table;
  FBlobBytes = 0;
  // The TOP of a union limits the whole union (FinishUnion), not its first part.
  const int64_t top = FPlan.Query->HasUnion() ? -1 : FPlan.Query->TopCount;
  const bool topWhileProducing = top >= 0 && FPlan.OrderKey.empty() && !FPlan.Grouped && !FPlan.Distinct &&
                                 !FPlan.AggregateOnly;
  int64_t appended = 0;

  if (FPlan.FastCount) {
    // The table's own record count: no record is read.
    TSelectSource &source = *FPlan.Sources[0];
    TDataCursor cursor(source.Directory, source.Parsed->TableName);
    TCursorOptions options;
    options.InMemory = source.Directory->IsMemory();
    options.NaturalOrder = true;
    options.ReadOnly = source.Table->ReadOnly();
    cursor.SetOptions(options);
    cursor.OpenCursor();
    const int64_t count = cursor.RecordCount();
    cursor.CloseCursor();
    std::vector<TExpValue> values{TExpValue::OfInt(count)};
    Append(&values);
    return false;
  }

  FRunningTotals.assign(FPlan.Columns.size(), TExpValue());
  FRunningOverflow.assign(FPlan.Columns.size(), 0);
  OrderJoin();
  if (FPlan.AggregateOnly) {
    std::vector<TExpValue> totals(FPlan.Columns.size());
    std::vector<char> overflowed(FPlan.Columns.size(), 0);
    std::vector<TExpValue> row;
    bool any = false;
    Produce([&]() {
      RowValues(row);
      for (size_t i = 0; i < FPlan.Columns.size(); ++i) {
        const TSelectColumn &c = FPlan.Columns[i];
        const TAggregateKind kind = c.Kind == TColumnKind::AvgCount ? TAggregateKind::Sum : c.Aggregate;
        if (!any) totals[i] = row[i];
        else if (!overflowed[i] && !CombineAggregate(kind, c.Field.Type, totals[i], row[i])) overflowed[i] = 1;
      }
      any = true;
      return true;
    });
    if (any) {
      for (size_t i = 0; i < FPlan.Columns.size(); ++i) {
        const TSelectColumn &c = FPlan.Columns[i];
        if (c.Aggregate == TAggregateKind::Avg && c.AvgCountColumn >= 0)
          FinishAverage(c.Field.Type, totals[i], totals[c.AvgCountColumn].Null ? 0 : totals[c.AvgCountColumn].Int);
      }
    } else {
      for (TExpValue &v : totals) v.Clear();
    }
    Append(&totals);
    return FAborted;
  }

  if (FPlan.Grouped) {
    if (FillGroups(maxRows, GroupKeyIsOrderKey() ? top : -1)) {
      if (sort) SortByOrder(*FTarget);
      return FAborted;
    }
  }
  Produce([&]() {
    if (maxRows >= 0 && appended >= maxRows) return false;
    if (topWhileProducing && appended >= top) return false;
    Append(nullptr);
    ++appended;
    return true;
  });
  if (FPlan.Grouped) {
    SortGroups(*FTarget, GroupKeyIsOrderKey() ? top : -1, {});
  } else if (FPlan.Distinct) {
    TSortRequest request;
    request.InMemoryBytes = kSortInMemoryBytes;
  request.RebuildIndex = false;
    request.MaxRows = GroupKeyIsOrderKey() ? top : -1;
    for (size_t i = 0; i < FPlan.VisibleCount; ++i) request.Fields.push_back({FPlan.ResultFields[i], false});
    request.Distinct = true;
    SortRecords(*FTarget, request);
  }
  if (sort) SortByOrder(*FTarget);
  return FAborted;
}

void TSelectExecution::SortByOrder(TDataTable &table) {
  const int64_t top = FPlan.Query->TopCount;
  if (FPlan.OrderKey.empty()) return;
  if ((FPlan.Grouped || FPlan.Distinct) && GroupKeyIsOrderKey()) return;
  TSortRequest request;
  request.InMemoryBytes = kSortInMemoryBytes;
  request.RebuildIndex = false;
  for (const TSortColumn &k : FPlan.OrderKey) request.Fields.push_back({FPlan.ResultFields[k.Column], k.Descending});
  request.CaseInsensitive = FPlan.Query->OrderByNoCase;
  request.MaxRows = top;
  SortRecords(table, request);
}

void TSelectExecution::FinishUnion(TDataTable &table, bool distinct) {
  const int64_t top = FPlan.Query->TopCount;
  if (distinct) RemoveDuplicates(table);
  if (!FPlan.OrderKey.empty()) {
    TSortRequest request;
    request.InMemoryBytes = kSortInMemoryBytes;
  request.RebuildIndex = false;
    for (const TSortColumn &k : FPlan.OrderKey) request.Fields.push_back({FPlan.ResultFields[k.Column], k.Descending});
    request.CaseInsensitive = FPlan.Query->OrderByNoCase;
    request.MaxRows = top;
    SortRecords(table, request);
    return;
  }
  if (top < 0) return;
  // No order: the first rows in the order the parts produced them.
  TDataFile &file = table.DataFile();
  int64_t kept = 0;
  for (int32_t n = 1; n <= file.SlotCount(); ++n) {
    TRecord *record = file.GetRecord(n);
    if (!record) continue;
    const bool live = record->Image[0] == 0;
    file.ReleaseRecord(record);
    if (!live) continue;
    if (kept < top) ++kept;
    else file.FreeRecord(n, table.NoPrimaryKey());
  }
}

void TSelectExecution::RemoveDuplicates(TDataTable &table) {
  TSortRequest request;
  request.InMemoryBytes = kSortInMemoryBytes;
  request.RebuildIndex = false;
  for (size_t i = 0; i < FPlan.VisibleCount; ++i) request.Fields.push_back({FPlan.ResultFields[i], false});
  request.Distinct = true;
  SortRecords(table, request);
}

}  // namespace kura
