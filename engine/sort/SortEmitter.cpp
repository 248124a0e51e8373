// Emitting sorted rows: plain, distinct and grouped, with the row limit.
#include "engine/sort/SortEmitter.h"

#include <cstring>

#include "engine/util/Bytes.h"

namespace kura {

TSortEmitter::TSortEmitter(const TSortKeys &keys, size_t recordSize, const TSortRequest &request, TSortSink &sink)
    : FKeys(keys), FRecordSize(recordSize), FRequest(request), FSink(sink) {
  FPending.resize(recordSize);
  FNext.resize(recordSize);
  FPendingKey.resize(static_cast<size_t>(keys.FullLength()));
  // A limit of 0 keeps nothing, with or without grouping (a group is only counted once it is
  // closed, which would otherwise let one group through).
  if (FRequest.MaxRows == 0) FStopped = true;
}

void TSortEmitter::NumberPending() {
  const int32_t position = FWritten + 1;
  PutI32(FPending.data() + 1, position);
  PutI32(FPending.data() + 5, position);
  FHasPending = true;
}

void TSortEmitter::WritePending() {
  FSink.Write(FPending.data());
  ++FWritten;
  FHasPending = false;
}

void TSortEmitter::CloseGroup() {
  void *query = FRequest.Query;
  if (FRequest.Callbacks.Finish) FRequest.Callbacks.Finish(query, FPending.data());
  bool keep = true;
  if (FRequest.Callbacks.Accept) keep = FRequest.Callbacks.Accept(query, FPending.data());
  if (keep)
    WritePending();
  else
    FHasPending = false;
}

bool TSortEmitter::Push(const uint8_t *record, const uint8_t *key) {
  if (FStopped) return false;
  const size_t keyLength = FPendingKey.size();
  if (!Grouping()) {
    if (FRequest.Distinct && FHasPending && FKeys.SameGroup(key, FPendingKey.data())) return true;
    if (FHasPending) WritePending();
    std::memcpy(FPending.data(), record, FRecordSize);
    std::memcpy(FPendingKey.data(), key, keyLength);
    NumberPending();
    if (LimitReached(static_cast<int64_t>(FWritten) + 1)) FStopped = true;
    return !FStopped;
  }

  void *query = FRequest.Query;
  if (!FHasPending) {
    // The first row starts the first group.
    std::memcpy(FPending.data(), record, FRecordSize);
    std::memcpy(FPendingKey.data(), key, keyLength);
    FRequest.Callbacks.Accumulate(query, true, FPending.data(), FPending.data());
    NumberPending();
    return true;
  }
  if (FKeys.SameGroup(key, FPendingKey.data())) {
    FRequest.Callbacks.Accumulate(query, false, record, FPending.data());
    return true;
  }
  // A new key: the new row starts its group from the last one, then the last group closes.
  std::memcpy(FNext.data(), record, FRecordSize);
  FRequest.Callbacks.Accumulate(query, true, FPending.data(), FNext.data());
  CloseGroup();
  if (LimitReached(FWritten)) {
    FStopped = true;
    return false;
  }
  FPending.swap(FNext);
  std::memcpy(FPendingKey.data(), key, keyLength);
  NumberPending();
  return true;
}

void TSortEmitter::Close() {
  if (!FHasPending) return;
  if (Grouping())
    CloseGroup();
  else
    WritePending();
}

}  // namespace kura
