#pragma once
// The filters a cursor restricts itself with.
//
// A filter answers for one record at a time (Accepts, given the record in the cursor's buffer
// layout, calculated fields included). It may also produce the whole set of records it lets
// through at once (BuildRecordSet), for example by walking an index range; the cursor then
// uses that set instead of reading every candidate record.
//
// The cursor keeps its filters in a list of at most 64. Filters of the query engine and
// callback filters go to the end of the list ("end group"); filters made for a dataset's
// Filter text and for Locate are inserted before the first of those. The visible-record set
// is rebuilt in list order, each active filter seeing only the records that passed the active
// filters before it.
#include <cstddef>
#include <cstdint>
#include <functional>

#include "engine/cursor/RecordsBitmap.h"

namespace kura {

class TDataCursor;

class TCursorFilter {
 public:
  virtual ~TCursorFilter() = default;

  // Whether the record passes. `record` holds RecordBufferSize() bytes of the cursor.
  virtual bool Accepts(TDataCursor &cursor, const uint8_t *record) = 0;

  // Optionally fills `result` with the members of `candidates` that pass, without the cursor
  // reading them one by one; returns false when the filter cannot do that (the cursor then
  // calls Accepts for every candidate). `result` arrives empty.
  virtual bool BuildRecordSet(TDataCursor &cursor, const TRecordsBitmap &candidates, TRecordsBitmap &result) {
    (void)cursor;
    (void)candidates;
    (void)result;
    return false;
  }

  bool Active() const { return FActive; }
  bool EndGroup() const { return FEndGroup; }

 private:
  friend class TDataCursor;
  bool FActive = false;
  bool FEndGroup = true;
};

// A filter that asks its caller per record (the dataset's record filter event).
class TCallbackFilter : public TCursorFilter {
 public:
  using TCallback = std::function<bool(const uint8_t *record)>;
  explicit TCallbackFilter(TCallback callback) : FCallback(std::move(callback)) {}
  bool Accepts(TDataCursor &, const uint8_t *record) override { return FCallback(record); }

 private:
  TCallback FCallback;
};

}  // namespace kura
