#pragma once
// Combining aggregate contributions: each produced row carries its own contribution in the
// aggregate's column (the argument value; 1 or 0 for COUNT), and rows of one group or of an
// aggregate-only query are combined into the first.
#include "query/select/SelectPlan.h"

namespace kura {

// Combines `next` into `total` for an aggregate of the given kind and column type (NULL
// contributions are skipped). False when a sum leaves the range of its column type: the total
// is then NULL, as the result of any overflowing arithmetic is, and the caller must keep it
// NULL (a later contribution would otherwise start the sum afresh).
bool CombineAggregate(TAggregateKind kind, TDataType type, TExpValue &total, const TExpValue &next);

// AVG: the sum divided by the count (Date and Time truncated; BCD rounded to four places,
// ties to even; a count of 0 gives 0).
void FinishAverage(TDataType type, TExpValue &sum, int64_t count);

}  // namespace kura
