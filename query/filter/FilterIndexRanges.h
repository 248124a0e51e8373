#pragma once
// The index side of expression filters: which index answers a comparison between a column and
// constants, how many keys match it, and the records it lets through.
#include <cstdint>

#include "engine/cursor/DataCursor.h"
#include "query/expr/ExpToken.h"
#include "query/filter/CandidateRecords.h"

namespace kura {

// The first index (primary, then secondaries in index-file order) whose first key field is the
// comparison's column and, for a String column, whose case-insensitive flag equals the
// comparison's; -1 when the node is no such comparison or no index serves it.
int ServingIndex(TDataCursor &cursor, const TExpToken &node);

// Number of keys of the index that satisfy the comparison, from the subtree counts.
int64_t IndexMatchCount(TDataCursor &cursor, int indexNo, const TExpToken &node);

// Members of `universe` the comparison accepts, by walking the index range (ranges of <>,
// NOT BETWEEN and NOT IN are complements within the universe, NULL fields included).
void IndexMatchSet(TDataCursor &cursor, int indexNo, const TExpToken &node, const TCandidateRecords &universe,
                   TCandidateRecords &result);

}  // namespace kura
