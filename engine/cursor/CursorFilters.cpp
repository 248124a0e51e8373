// The filters of a cursor and its visible-record set.
#include <cstring>

#include "engine/cursor/CursorReadScope.h"
#include "engine/cursor/DataCursor.h"
#include "engine/index/IndexFile.h"
#include "engine/index/IndexPageChecks.h"
#include "engine/table/DataTable.h"

namespace kura {

bool TDataCursor::FiltersInUse() const {
  for (const auto &f : FFilters)
    if (f->Active()) return true;
  return false;
}

TRecordsBitmap TDataCursor::LiveRecordsInRange() {
  const uint32_t slots = static_cast<uint32_t>(FTable->DataFile().SlotCount());
  TRecordsBitmap live(slots + 1);
  // Every live record has one entry in an index: a RecordNumber outside the data file, or met
  // twice, is damage in the index (it would otherwise drop a record from the set unnoticed).
  auto take = [&](uint32_t recNo) {
    if (IndexPageChecksEnabled() && (recNo < 1 || recNo > slots || live.Test(recNo))) Raise(KURA_INDEXCORRUPT);
    live.Set(recNo);
  };
  if (!InNaturalOrder() && FRangeActive) {
    TIndexTree tree = CurrentTree();
    TIndexPosition pos = tree.PositionOfOrdinal(RangeFirst());
    uint32_t recNo = 0;
    while (tree.OnEntry(pos) && pos.Ordinal <= RangeLast()) {
      tree.ReadEntry(pos, nullptr, &recNo);
      take(recNo);
      if (!tree.Next(pos)) break;
    }
    return live;
  }
  // The system record index holds the live records first (deleted flag 0), in insertion order.
  TIndexTree tree = Tree(kSystemRecordIndex);
  TIndexPosition pos = tree.First();
  uint8_t key[kSystemKeyLength];
  uint32_t recNo = 0;
  while (tree.OnEntry(pos)) {
    tree.ReadEntry(pos, key, &recNo);
    if (key[0] != 0) break;
    take(recNo);
    if (!tree.Next(pos)) break;
  }
  // The entries marked live must be as many as the header counts (a damaged deleted flag would
  // otherwise drop a record from natural order unnoticed).
  if (IndexPageChecksEnabled() && static_cast<int64_t>(live.Count()) != FIndex->Header().LiveRecordCount)
    Raise(KURA_INDEXCORRUPT);
  return live;
}

void TDataCursor::RebuildVisibleSet() {
  FVisible = LiveRecordsInRange();
  std::vector<uint8_t> buffer(FBufferSize);
  for (auto &filter : FFilters) {
    if (!filter->Active()) continue;
    TRecordsBitmap passed(FVisible.Capacity());
    if (!filter->BuildRecordSet(*this, FVisible, passed)) {
      for (uint32_t n = FVisible.NextMember(1); n != 0; n = FVisible.NextMember(n + 1))
        if (ReadRecordInto(static_cast<int32_t>(n), buffer.data(), 0) && filter->Accepts(*this, buffer.data()))
          passed.Set(n);
    }
    FVisible.IntersectWith(passed);
  }
}

bool TDataCursor::PassesFilters(const uint8_t *record, bool checkRange) {
  if (checkRange && FRangeActive && !InNaturalOrder()) {
    std::vector<uint8_t> key = KeyOf(FIndexNo, record);
    if (!KeyInRange(key.data())) return false;
  }
  std::vector<uint8_t> buffer(FBufferSize, 0);
  std::memcpy(buffer.data(), record, FStoredSize);
  FinishCalculated(buffer.data());
  for (auto &filter : FFilters)
    if (filter->Active() && !filter->Accepts(*this, buffer.data())) return false;
  return true;
}

void TDataCursor::UpdateMembership(int32_t recordNumber, const uint8_t *storedRecord, bool deleted) {
  if (!UsesVisibleSet()) return;
  if (deleted) {
    FVisible.Reset(static_cast<uint32_t>(recordNumber));
    return;
  }
  FVisible.Assign(static_cast<uint32_t>(recordNumber), PassesFilters(storedRecord, true));
}

TCursorFilter *TDataCursor::AddFilter(std::unique_ptr<TCursorFilter> filter, bool endGroup) {
  CheckOpen();
  if (!filter) Raise(KURA_NOSUCHFILTER);
  if (FFilters.size() >= kMaxCursorFilters) Raise(KURA_INTERNALLIMIT);
  filter->FActive = false;
  filter->FEndGroup = endGroup;
  TCursorFilter *raw = filter.get();
  if (endGroup) {
    FFilters.push_back(std::move(filter));
  } else {
    auto it = FFilters.begin();
    while (it != FFilters.end() && !(*it)->EndGroup()) ++it;
    FFilters.insert(it, std::move(filter));
  }
  return raw;
}

TCursorFilter *TDataCursor::AddCallbackFilter(TCallbackFilter::TCallback callback) {
  return AddFilter(std::make_unique<TCallbackFilter>(std::move(callback)), true);
}

namespace {

size_t FilterIndex(const std::vector<std::unique_ptr<TCursorFilter>> &filters, const TCursorFilter *filter) {
  for (size_t i = 0; i < filters.size(); ++i)
    if (filters[i].get() == filter) return i;
  return filters.size();
}

}  // namespace

void TDataCursor::ActivateFilter(TCursorFilter *filter) {
  TReadScope scope(*this);
  size_t i = FilterIndex(FFilters, filter);
  if (i == FFilters.size()) Raise(KURA_NOSUCHFILTER);
  FFilters[i]->FActive = true;
  RebuildVisibleSet();
  FState = TPosState::BeforeFirst;
  ClearCurrent();
}

void TDataCursor::DeactivateFilter(TCursorFilter *filter) {
  TReadScope scope(*this);
  size_t i = FilterIndex(FFilters, filter);
  if (i == FFilters.size()) Raise(KURA_NOSUCHFILTER);
  FFilters[i]->FActive = false;
  if (UsesVisibleSet()) RebuildVisibleSet();
  FState = TPosState::BeforeFirst;
  ClearCurrent();
}

void TDataCursor::DropFilter(TCursorFilter *filter) {
  TReadScope scope(*this);
  size_t i = FilterIndex(FFilters, filter);
  if (i == FFilters.size()) Raise(KURA_NOSUCHFILTER);
  const bool wasActive = FFilters[i]->Active();
  FFilters.erase(FFilters.begin() + static_cast<long>(i));
  if (wasActive) {
    if (UsesVisibleSet()) RebuildVisibleSet();
    FState = TPosState::BeforeFirst;
    ClearCurrent();
  }
}

}  // namespace kura
