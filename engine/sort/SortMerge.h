#pragma once
// Merging sorted runs: the candidate records (one per run) kept as a heap ordered by full key
// and then by run position, so equal keys come out in the order of their runs (the runs hold
// consecutive parts of the table in slot order).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/sort/SortKeys.h"
#include "engine/sort/SortRuns.h"

namespace kura {

class TRunMerger {
 public:
  // Merges runs first .. first + count - 1 of the set.
  TRunMerger(TSortRuns &runs, size_t first, size_t count, const TSortKeys &keys, size_t recordSize);

  // The next record in key order with its key; false when every run is exhausted. The
  // pointers stay valid until the next call.
  bool Next(const uint8_t *&record, const uint8_t *&key);

 private:
  struct TCandidate {
    std::vector<uint8_t> Record, Key;
  };
  bool Later(size_t a, size_t b) const;
  void Load(size_t candidate);
  void PushHeap(size_t candidate);
  size_t PopHeap();

  TSortRuns &FRuns;
  size_t FFirst;
  const TSortKeys &FKeys;
  size_t FRecordSize;
  std::vector<TCandidate> FCandidates;
  std::vector<size_t> FHeap;
  bool FRefill = false;  // the record last returned must be replaced from its run
  size_t FLast = 0;
};

// Intermediate merges: whenever `width` runs of the same level end the list, they are merged
// into one run of the next level. This keeps at most about width open run files per level,
// however large the table (one merge over thousands of runs would need as many open files).
// Returns the number of merges made.
int MergeTrailingRuns(TSortRuns &runs, size_t width, const TSortKeys &keys, size_t recordSize);

}  // namespace kura
