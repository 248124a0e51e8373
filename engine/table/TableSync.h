#pragma once
// When a table's changes are synced to the disk (to survive a power loss).

namespace kura {

class TDataTable;

// When the caller asks for it (flushOS), or with the session's ForceBufferFlush; never for the
// in-memory database, and never unasked for scratch tables: temporary tables and the tables of
// the session's private directory (result tables, sort runs, tables being rebuilt), which
// nobody reads after a power loss.
bool TableSyncAsked(const TDataTable &table, bool flushOS);

}  // namespace kura
