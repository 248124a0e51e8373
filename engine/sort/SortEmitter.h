#pragma once
// Turns rows arriving in key order into the output rows: every row (plain), the first row of
// each key (distinct), or one row per group combined through the callbacks (grouping); and
// stops at the row limit. Output rows carry their output position as record number and
// auto-increment value.
#include <cstdint>
#include <vector>

#include "engine/sort/SortKeys.h"
#include "engine/sort/SortRequest.h"

namespace kura {

// Receives the output rows in order.
class TSortSink {
 public:
  virtual ~TSortSink() = default;
  virtual void Write(const uint8_t *record) = 0;
};

class TSortEmitter {
 public:
  TSortEmitter(const TSortKeys &keys, size_t recordSize, const TSortRequest &request, TSortSink &sink);

  // One more row in key order. False once the row limit has been reached: the caller stops
  // reading (a row refused that way is not part of the output).
  bool Push(const uint8_t *record, const uint8_t *key);
  // The rows ran out: the last group is finished and accepted, the last row written.
  void Close();

  bool Stopped() const { return FStopped; }
  // Rows handed to the sink so far.
  int32_t Written() const { return FWritten; }

 private:
  bool Grouping() const { return static_cast<bool>(FRequest.Callbacks.Accumulate); }
  bool LimitReached(int64_t count) const { return FRequest.MaxRows >= 0 && count >= FRequest.MaxRows; }
  // The row copied into FPending becomes the last emitted row, numbered with the next output
  // position.
  void NumberPending();
  void WritePending();
  // Finish and accept of the group held in FPending; a kept group is written.
  void CloseGroup();

  const TSortKeys &FKeys;
  size_t FRecordSize;
  const TSortRequest &FRequest;
  TSortSink &FSink;
  // The last emitted row stays here until the next one is emitted: a group row keeps
  // accumulating, and an unaccepted group must be taken back out.
  std::vector<uint8_t> FPending, FPendingKey;
  std::vector<uint8_t> FNext;
  bool FHasPending = false;
  bool FStopped = false;
  int32_t FWritten = 0;
};

}  // namespace kura
