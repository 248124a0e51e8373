#pragma once
// Producing the rows of a prepared SELECT part: the nested loop over the join levels with its
// conditions (tested record by record through the evaluator until cursors can serve them with
// filters), calculated columns, aggregates, and grouping, DISTINCT, ORDER BY and TOP through
// the record sort of the result table.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "query/expr/Evaluator.h"
#include "query/select/SelectPlan.h"
#include "query/select/SelectResolver.h"

namespace kura {

class TSelectQuery;

class TSelectExecution {
 public:
  TSelectExecution(TSelectQuery &owner, TSelectPlan &plan);
  ~TSelectExecution();

  // Rows of the plan appended to `table` (whose fields are the plan's result fields), then
  // grouped or de-duplicated; sorted too when `sort` is set. Returns whether the progress
  // callback aborted.
  bool FillResultTable(TDataTable &table, int64_t maxRows, bool sort);
  // Sorting by ORDER BY (with TOP) after grouping; for UNION masters after the parts came in.
  // A UNION master once every part came in: duplicates removed (unless ALL), then ORDER BY
  // and TOP of the whole union.
  void FinishUnion(TDataTable &table, bool distinct);
  void SortByOrder(TDataTable &table);
  // Removes duplicates over the visible columns (UNION without ALL).
  void RemoveDuplicates(TDataTable &table);

 private:
  // Join ordering: among inner joins the source with the fewest records passing its own
  // conditions drives the nested loop (unless NOJOINOPTIMIZE); conditions move to the level
  // where their last source is read.
  void OrderJoin();
  // Calls `row` for every qualifying combination; false from `row` stops.
  bool Produce(const std::function<bool()> &row);
  bool ProduceLevel(size_t level, const std::function<bool()> &row, bool &stop);
  bool LevelQualifies(const TJoinLevel &level);
  struct TSourceRows;
  struct TInnerRows;
  // The records of a source its index-answered conditions leave (found once per execution).
  TSourceRows &SourceRows(TSelectSource &source, const std::vector<const TExpToken *> &conditions);
  // An inner level's plan, made when the level is first reached.
  TInnerRows &InnerRows(size_t index);
  // Reads the inner level's qualifying records once.
  void ReadInnerOnce(size_t index, TInnerRows &inner);
  bool VisitRecord(size_t index, const uint8_t *image, const std::function<bool()> &row, bool &stop);
  void BuildRecord(uint8_t *image, std::vector<TExpValue> *runningTotals);
  void ColumnValue(const TSelectColumn &column, TExpValue &value);
  void Report(int percent);
  bool GroupKeyIsOrderKey() const;

  TSelectQuery &FOwner;
  TSelectPlan &FPlan;
  TRowEvalContext FContext;
  TEvaluator FEvaluator;
  bool FAborted = false;
  int FLastReported = -1;
  std::vector<TExpValue> FRunningTotals;
  std::vector<char> FRunningOverflow;  // running totals that left their type's range
  TDataTable *FTarget = nullptr;  // the result table being filled
  std::vector<std::unique_ptr<TSourceRows>> FSourceRows;
  std::vector<std::unique_ptr<TInnerRows>> FInnerRows;  // per level; null until reached
};

}  // namespace kura
