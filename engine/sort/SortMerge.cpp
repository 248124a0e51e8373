// Heap merge of sorted runs and the intermediate merges that bound the open run files.
#include "engine/sort/SortMerge.h"

#include <algorithm>
#include <cstring>

namespace kura {

TRunMerger::TRunMerger(TSortRuns &runs, size_t first, size_t count, const TSortKeys &keys, size_t recordSize)
    : FRuns(runs), FFirst(first), FKeys(keys), FRecordSize(recordSize), FCandidates(count) {
  FHeap.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    FCandidates[i].Record.resize(recordSize);
    FCandidates[i].Key.resize(static_cast<size_t>(keys.FullLength()));
    Load(i);
  }
}

bool TRunMerger::Later(size_t a, size_t b) const {
  int c = FKeys.CompareFull(FCandidates[a].Key.data(), FCandidates[b].Key.data());
  return c != 0 ? c > 0 : a > b;
}

void TRunMerger::PushHeap(size_t candidate) {
  FHeap.push_back(candidate);
  std::push_heap(FHeap.begin(), FHeap.end(), [this](size_t a, size_t b) { return Later(a, b); });
}

size_t TRunMerger::PopHeap() {
  std::pop_heap(FHeap.begin(), FHeap.end(), [this](size_t a, size_t b) { return Later(a, b); });
  size_t top = FHeap.back();
  FHeap.pop_back();
  return top;
}

void TRunMerger::Load(size_t candidate) {
  TCandidate &c = FCandidates[candidate];
  if (!FRuns.Next(FFirst + candidate, c.Record.data())) return;
  FKeys.Build(c.Record.data(), FRecordSize, c.Key.data());
  PushHeap(candidate);
}

bool TRunMerger::Next(const uint8_t *&record, const uint8_t *&key) {
  if (FRefill) {
    FRefill = false;
    Load(FLast);
  }
  if (FHeap.empty()) return false;
  FLast = PopHeap();
  FRefill = true;
  record = FCandidates[FLast].Record.data();
  key = FCandidates[FLast].Key.data();
  return true;
}

int MergeTrailingRuns(TSortRuns &runs, size_t width, const TSortKeys &keys, size_t recordSize) {
  if (width < 2) width = 2;
  for (int merges = 0;; ++merges) {
    const size_t count = runs.Count();
    if (count < width) return merges;
    const int level = runs.Level(count - 1);
    for (size_t i = count - width; i < count; ++i)
      if (runs.Level(i) != level) return merges;
    const size_t first = count - width;
    {
      TRunMerger merger(runs, first, width, keys, recordSize);
      runs.BeginRun(level + 1);
      const size_t chunk = std::max<size_t>(1, 65536 / std::max<size_t>(1, recordSize));
      std::vector<uint8_t> buffer(chunk * recordSize);
      size_t buffered = 0;
      const uint8_t *record;
      const uint8_t *key;
      while (merger.Next(record, key)) {
        std::memcpy(buffer.data() + buffered * recordSize, record, recordSize);
        if (++buffered == chunk) {
          runs.Append(buffer.data(), buffered);
          buffered = 0;
        }
      }
      if (buffered > 0) runs.Append(buffer.data(), buffered);
    }
    // The merged run replaces its sources, keeping its place at the end of the list.
    runs.RemoveRuns(first, width);
  }
}

}  // namespace kura
