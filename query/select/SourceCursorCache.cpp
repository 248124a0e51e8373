// TSourceCursorCache: keeping source cursors open between SELECTs while their tables stay the
// same.
#include "query/select/SourceCursorCache.h"

#include "engine/cursor/DataCursor.h"
#include "engine/table/DataTable.h"

namespace kura {

TSourceCursorCache::TSourceCursorCache() = default;

TSourceCursorCache::~TSourceCursorCache() { Clear(); }

void TSourceCursorCache::Drop(size_t i) {
  std::unique_ptr<TDataCursor> cursor = std::move(FEntries[i].Cursor);
  FEntries.erase(FEntries.begin() + static_cast<std::ptrdiff_t>(i));
  try {
    if (cursor && cursor->IsOpen()) cursor->CloseCursor();
  } catch (...) {
    // A read-only cursor has nothing to write; its table is released by its destructor.
  }
}

TDataCursor *TSourceCursorCache::Find(TDataTable &table) {
  for (size_t i = 0; i < FEntries.size(); ++i) {
    TEntry &entry = FEntries[i];
    if (entry.Table != &table) continue;
    if (entry.Cursor && entry.Cursor->IsOpen() && entry.Cursor->Table() == &table &&
        entry.Serial == table.ChangeSerial())
      return entry.Cursor.get();
    Drop(i);
    return nullptr;
  }
  return nullptr;
}

void TSourceCursorCache::Keep(TDataTable &table, std::unique_ptr<TDataCursor> cursor) {
  for (size_t i = 0; i < FEntries.size(); ++i)
    if (FEntries[i].Table == &table) {
      Drop(i);
      break;
    }
  if (FEntries.size() >= kMaxCursors) Drop(0);
  TEntry entry;
  entry.Table = &table;
  entry.Serial = table.ChangeSerial();
  entry.Cursor = std::move(cursor);
  FEntries.push_back(std::move(entry));
}

void TSourceCursorCache::Clear() {
  while (!FEntries.empty()) Drop(FEntries.size() - 1);
}

}  // namespace kura
