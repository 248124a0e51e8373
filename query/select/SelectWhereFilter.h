#pragma once
// WHERE conditions of a single source handed to an expression filter on that source's cursor,
// so that indexes on the source answer them instead of a test of every record.
#include <functional>
#include <memory>
#include <vector>

#include "engine/cursor/DataCursor.h"
#include "query/expr/ExpToken.h"
#include "query/filter/CandidateRecords.h"
#include "query/filter/ExprFilter.h"
#include "query/select/SelectPlan.h"

namespace kura {

class TSourceCursorCache;

// Maps a 1-based field of the source table to the cursor's field number (0: not on the cursor).
using TCursorFieldMap = std::function<int(int sourceField)>;

// Whether a filter on the cursor can evaluate the condition exactly as the record-by-record
// test does: every column belongs to `owner` (the column nodes' Source: a select's row, a
// data-changing statement's target) and is on the cursor, and nothing needs the query
// (sub-selects, text indexes, last AutoInc values).
bool FilterCanTake(const TExpToken &condition, const void *owner, const TCursorFieldMap &map);

// Attaches and activates a filter for the condition (a copy whose columns carry the cursor's
// field numbers; parameter markers keep the values they hold now).
TExprFilter *ActivateConditionFilter(TDataCursor &cursor, const TExpToken &condition, const TCursorFieldMap &map);

// A cursor open on the source's table in key order with the table's own fields, for asking the
// table's indexes.
std::unique_ptr<TDataCursor> OpenIndexCursor(const TSelectSource &source);

// The records of a source passing those of its conditions an index answers (the sets may
// hold slots of deleted records); false when no index answers any (every slot is then a
// candidate). A condition naming a key costs a descent of the index, not a pass over the table.
// With a cache, the cursor that asks the indexes is taken from it when it holds one for the
// unchanged table, and left there for the next statement.
bool FilteredRecords(TSelectSource &source, const std::vector<const TExpToken *> &conditions,
                     TCandidateRecords &passing, TSourceCursorCache *cache = nullptr);
// The same on a cursor open on the table with the table's own fields, for conditions whose
// columns belong to `owner`. The caller holds the table's read lock (or its transaction).
bool IndexedCandidates(TDataCursor &cursor, const void *owner, const std::vector<const TExpToken *> &conditions,
                       TCandidateRecords &passing);

}  // namespace kura
