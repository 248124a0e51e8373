#pragma once
// WHERE conditions of a single source handed to an expression filter on that source's cursor,
// so that indexes on the source answer them instead of a test of every record.
#include <functional>
#include <vector>

#include "engine/cursor/DataCursor.h"
#include "query/expr/ExpToken.h"
#include "query/filter/ExprFilter.h"
#include "query/select/SelectPlan.h"

namespace kura {

// Maps a 1-based field of the source table to the cursor's field number (0: not on the cursor).
using TCursorFieldMap = std::function<int(int sourceField)>;

// Whether a filter on the cursor can evaluate the condition exactly as the record-by-record
// test does: every column belongs to `row` and is on the cursor, and nothing needs the
// query (sub-selects, text indexes, last AutoInc values).
bool FilterCanTake(const TExpToken &condition, const TRowSource *row, const TCursorFieldMap &map);

// Attaches and activates a filter for the condition (a copy whose columns carry the cursor's
// field numbers; parameter markers keep the values they hold now).
TExprFilter *ActivateConditionFilter(TDataCursor &cursor, const TExpToken &condition, const TCursorFieldMap &map);

// The records of a source passing those of its conditions a filter can take, marked by record
// number; false when none can (every record is then a candidate).
bool FilteredRecords(TSelectSource &source, const std::vector<const TExpToken *> &conditions,
                     std::vector<bool> &passing);

}  // namespace kura
