#pragma once
// TSourceCursorCache: cursors on the tables SELECTs read, kept open between the statements of
// a runner that keeps those tables open anyway. A WHERE naming a key asks the table's index
// through such a cursor; opening one (field catalogue, key definitions, order) costs more than
// the lookup itself. A kept cursor serves the next statement only while its table is unchanged
// since (the table's change serial, which the statement's read lock has brought up to date,
// is the same as when the cursor was opened); otherwise a new one is opened. Cursors hold their
// tables open (no lock), so the owner clears the cache whenever it releases kept tables.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace kura {

class TDataCursor;
class TDataTable;

class TSourceCursorCache {
 public:
  TSourceCursorCache();
  ~TSourceCursorCache();
  TSourceCursorCache(const TSourceCursorCache &) = delete;
  TSourceCursorCache &operator=(const TSourceCursorCache &) = delete;

  // The kept cursor on this table object when the table has not changed since it was kept
  // (call it under the table's read lock); null otherwise (a stale cursor is closed).
  TDataCursor *Find(TDataTable &table);
  // Keeps an open cursor on the table (replacing one kept for it, the oldest past the limit).
  void Keep(TDataTable &table, std::unique_ptr<TDataCursor> cursor);
  // Closes every kept cursor.
  void Clear();
  size_t Count() const { return FEntries.size(); }

  static constexpr size_t kMaxCursors = 8;

 private:
  struct TEntry {
    TDataTable *Table = nullptr;
    uint64_t Serial = 0;
    std::unique_ptr<TDataCursor> Cursor;
  };
  void Drop(size_t i);

  std::vector<TEntry> FEntries;
};

}  // namespace kura
