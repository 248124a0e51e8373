// Live query results on the source table's cursor.
#include "query/dataset/LiveResultFilter.h"

#include "engine/cursor/DataCursor.h"
#include "query/expr/Evaluator.h"
#include "query/select/SelectPlan.h"
#include "query/select/SelectQuery.h"
#include "query/select/SelectResolver.h"
#include "query/select/SelectValues.h"

namespace kura {

namespace {

// The SELECT's evaluation context with its one source reading from a given record.
class TRecordEvalContext : public TRowEvalContext {
 public:
  TRecordEvalContext(TSelectQuery &owner, TSelectPlan &plan, const uint8_t *record)
      : TRowEvalContext(owner), FRecord(record) {
    SetPlan(&plan);
  }
  void ReadColumn(const TExpToken &column, TExpValue &value) override {
    auto *row = static_cast<TRowSource *>(column.Source);
    value.Clear();
    if (!row || !row->Fields || column.FieldNo < 1 || column.FieldNo > static_cast<int>(row->Fields->size())) return;
    ReadFieldValue((*row->Fields)[static_cast<size_t>(column.FieldNo - 1)], FRecord, value);
  }

 private:
  const uint8_t *FRecord;
};

}  // namespace

TLiveResultFilter::TLiveResultFilter(TSelectQuery &select, TSelectPlan &plan, const std::vector<int32_t> &records)
    : FSelect(select), FPlan(plan), FRecords(records) {}

bool TLiveResultFilter::BuildRecordSet(TDataCursor &, const TRecordsBitmap &candidates, TRecordsBitmap &result) {
  // The first build takes the rows the SELECT produced; later rebuilds (another filter
  // changed) test the conditions again, which also sees rows written since.
  if (FSetUsed) return false;
  FSetUsed = true;
  for (int32_t n : FRecords)
    if (n > 0 && static_cast<uint32_t>(n) < candidates.Capacity() && candidates.Test(static_cast<uint32_t>(n)))
      result.Set(static_cast<uint32_t>(n));
  return true;
}

bool TLiveResultFilter::Accepts(TDataCursor &, const uint8_t *record) {
  TRecordEvalContext context(FSelect, FPlan, record);
  TEvaluator evaluator(&context, FPlan.LanguageId, FPlan.SortId);
  for (const TJoinLevel &level : FPlan.Levels)
    for (const TExpToken *condition : level.Conditions)
      if (!evaluator.Condition(*condition)) return false;
  for (const TExpToken *condition : FPlan.Residual)
    if (!evaluator.Condition(*condition)) return false;
  return true;
}

void CalculateLiveColumns(TSelectQuery &select, TSelectPlan &plan, const std::vector<int> &columnIndexes,
                          TDataCursor &cursor, uint8_t *record) {
  TRecordEvalContext context(select, plan, record);
  TEvaluator evaluator(&context, plan.LanguageId, plan.SortId);
  const std::vector<TFieldDescriptor> &fields = cursor.Fields();
  for (size_t i = 0; i < fields.size() && i < columnIndexes.size(); ++i) {
    if (fields[i].Calculated == 0 || columnIndexes[i] < 0) continue;
    const TSelectColumn &column = plan.Columns[static_cast<size_t>(columnIndexes[i])];
    TExpValue value;
    if (column.Expression) evaluator.Eval(*column.Expression, value);
    WriteFieldValue(fields[i], record, value, plan.LanguageId);
  }
}

}  // namespace kura
