#pragma once
// The frame of every reading operation of a cursor: the table's read lock (which runs the
// change check) for the length of the operation, and re-synchronisation when the table changed
// since the cursor last looked (another process, or another cursor of this process).
#include "engine/cursor/DataCursor.h"
#include "engine/table/DataTable.h"

namespace kura {

class TDataCursor::TReadScope {
 public:
  explicit TReadScope(TDataCursor &cursor, bool resync = true) : FCursor(cursor) {
    cursor.CheckOpen();
    // Under the cursor's table read lock no other process writes; changes made in this
    // process show in the table's change serial.
    FLocked = !cursor.FHoldsTableReadLock;
    bool changed = FLocked ? cursor.FTable->ReadLock() : false;
    try {
      if (resync && (changed || cursor.FSeenSerial != cursor.FTable->ChangeSerial())) cursor.Resync();
    } catch (...) {
      Release();
      throw;
    }
  }
  ~TReadScope() { Release(); }
  TReadScope(const TReadScope &) = delete;
  TReadScope &operator=(const TReadScope &) = delete;

 private:
  void Release() noexcept {
    if (FReleased) return;
    FReleased = true;
    if (!FLocked) return;
    try {
      FCursor.FTable->ReadUnlock();
    } catch (...) {
    }
  }
  TDataCursor &FCursor;
  bool FReleased = false;
  bool FLocked = true;
};

}  // namespace kura
