#pragma once
// Producing the rows of a prepared SELECT part: the nested loop over the join levels with its
// conditions (tested record by record through the evaluator until cursors can serve them with
// filters), calculated columns, aggregates, and grouping, DISTINCT, ORDER BY and TOP through
// the record sort of the result table.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "query/expr/Evaluator.h"
#include "query/select/QuickCondition.h"
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
  // A UNION master once every part came in: duplicates removed (unless ALL), then ORDER BY
  // and TOP of the whole union.
  void FinishUnion(TDataTable &table, bool distinct);
  // Sorting by ORDER BY (with TOP) after grouping, unless the grouping left that order already.
  void SortByOrder(TDataTable &table);
  // The sort by the ORDER BY columns with TOP, as it is.
  void SortByOrderKey(TDataTable &table);
  // Removes duplicates over the visible columns (UNION without ALL).
  void RemoveDuplicates(TDataTable &table);

  // An in-memory result table whose records and blob values pass MemoryLimit bytes is handed
  // to OnSpill, which moves it to files and returns the table to go on with (unset: the table
  // stays where it is).
  std::function<TDataTable *(TDataTable &)> OnSpill;
  int64_t MemoryLimit = 0;
  // The table the rows went to (another than the one given when it was moved to files). Its
  // system record index is not kept up to date (rows are appended to the data file, sorts
  // leave it): the caller rebuilds it once before the table is read through it.
  TDataTable *Target() const { return FTarget; }

 private:
  // Join ordering: among inner joins the source with the fewest records passing its own
  // conditions drives the nested loop (unless NOJOINOPTIMIZE); conditions move to the level
  // where their last source is read.
  void OrderJoin();
  // Calls `row` for every qualifying combination; false from `row` stops.
  bool Produce(const std::function<bool()> &row);
  bool ProduceLevel(size_t level, const std::function<bool()> &row, bool &stop);
  // The tests of a level's conditions (made once per production, after the join is ordered).
  const TSourceConditions &LevelTests(size_t index);
  struct TSourceRows;
  struct TInnerRows;
  // The records of a source its index-answered conditions leave (found once per execution).
  TSourceRows &SourceRows(TSelectSource &source, const std::vector<const TExpToken *> &conditions);
  // An inner level's plan, made when the level is first reached.
  TInnerRows &InnerRows(size_t index);
  // Reads the inner level's qualifying records once.
  void ReadInnerOnce(size_t index, TInnerRows &inner);
  // Goes on with `image` as the level's current record when `tests` pass. An image of the
  // level's held records is read where it lies; any other is the source's own Image.
  bool VisitRecord(size_t index, const uint8_t *image, const TSourceConditions &tests,
                   const std::function<bool()> &row, bool &stop);
  void BuildRecord(uint8_t *image, std::vector<TExpValue> *runningTotals);
  void ColumnValue(const TSelectColumn &column, TExpValue &value);
  void Report(int percent);
  bool GroupKeyIsOrderKey() const;
  // Values of every column of the current row (AVG's count column included).
  void RowValues(std::vector<TExpValue> &values);
  // Appends one record to the target (fields from `values`, or BuildRecord when null, or a
  // finished image when `image` is given), moving the target to files when it grew too large.
  void Append(const std::vector<TExpValue> *values, const uint8_t *image = nullptr);
  void SpillIfLarge();
  // GROUP BY gathered while the rows are produced (SelectGroups.cpp): false when the groups are
  // keyed by a field no sort can key (the sort path raises the error).
  bool FillGroups(int64_t maxRows, int64_t top);
  // The sort that combines appended rows of equal group key into one (rows that already
  // combine several, written when the gathered groups grew too large, combine the same way);
  // `overflowed` holds the group keys and columns whose sum left its type's range before.
  void SortGroups(TDataTable &table, int64_t top, std::vector<std::pair<std::string, size_t>> overflowed);

  TSelectQuery &FOwner;
  TSelectPlan &FPlan;
  TRowEvalContext FContext;
  TEvaluator FEvaluator;
  bool FAborted = false;
  int FLastReported = -1;
  std::vector<TExpValue> FRunningTotals;
  std::vector<char> FRunningOverflow;  // running totals that left their type's range
  std::vector<TExpValue> FRowValues;  // BuildRecord's values of one row, kept for the next row
  // Per column: a plain column whose stored bytes the result field takes as they are (set on
  // the first row); and which columns of the row at hand went that way.
  std::vector<char> FCopiesStored, FCopied;
  TDataTable *FTarget = nullptr;  // the result table being filled
  int64_t FBlobBytes = 0;         // blob bytes written into the target
  std::vector<std::unique_ptr<TSourceRows>> FSourceRows;
  std::vector<std::unique_ptr<TInnerRows>> FInnerRows;  // per level; null until reached
  std::vector<std::unique_ptr<TSourceConditions>> FLevelTests;  // per level; null until asked
};

}  // namespace kura
