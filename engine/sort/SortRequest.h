#pragma once
// What a caller asks of the record sort of a result table: the sort fields with their
// directions, the row limit, the case and distinct flags, and the grouping callbacks.
#include <cstdint>
#include <functional>
#include <vector>

#include "engine/data/FieldDescriptor.h"

namespace kura {

inline constexpr size_t kMaxSortFields = 1024;
// Runs merged at once: more runs of one level are first merged into one run of the next level.
inline constexpr size_t kMaxMergeWidth = 64;

struct TSortField {
  TFieldDescriptor Field;  // a copy of the table's descriptor
  bool Descending = false;
};

// Rows handed to the callbacks are record images of the table's record size.
//   Accumulate(query, startOfGroup, source, target): combine source into target. With
//     startOfGroup set, target is the first row of a new group and source is either the same
//     row (the very first row) or the last row of the previous group.
//   Finish(query, row): complete a group row whose group has ended.
//   Accept(query, row) -> keep: false drops the finished group row.
struct TSortCallbacks {
  std::function<void(void *query, bool startOfGroup, const uint8_t *source, uint8_t *target)> Accumulate;
  std::function<void(void *query, uint8_t *row)> Finish;
  std::function<bool(void *query, const uint8_t *row)> Accept;
};

struct TSortRequest {
  std::vector<TSortField> Fields;
  int64_t MaxRows = -1;  // negative: no limit
  bool CaseInsensitive = false;
  bool Distinct = false;
  // Records (with their keys) up to this many bytes are sorted in one piece in memory even when
  // the record cache does not hold them all (0: only a table wholly in the cache is).
  size_t InMemoryBytes = 0;
  // false: the table's system record index is left as it was (naming records that moved) for
  // the caller to rebuild once, before anything reads the table through it.
  bool RebuildIndex = true;
  TSortCallbacks Callbacks;  // grouping when Accumulate is set
  void *Query = nullptr;     // passed back to the callbacks
};

// What a sort did.
struct TSortOutcome {
  bool Sorted = false;    // false: the table has indexes and was left alone
  bool External = false;  // merged from run files
  int RunCount = 0;            // sorted chunks written to run files (external path)
  int IntermediateMerges = 0;  // merges of kMaxMergeWidth runs into one before the last merge
  int32_t RowCount = 0;   // records in the table afterwards
};

}  // namespace kura
