#pragma once
// Record sort of a result table: orders the records of a table without indexes physically by
// sort fields, and on the way drops duplicate keys (distinct), collapses groups through the
// caller's callbacks and cuts the output to a row limit. On return the data file holds the
// output rows as records 1 to n in key order.
//
// A table whose every record slot is in the record cache, or whose records and keys fit the
// request's InMemoryBytes, is sorted in memory; any other table is read in runs of at most DataBufferCount records (and at most 1 MiB), each sorted into a
// temporary run file of the session's private directory, and the runs are merged (beyond 64
// runs first in levels of 64, so that few run files are open at a time). Equal keys keep their
// insertion order (auto-increment value), so the sort is stable. Deleted slots are not rows
// and are left out.
#include "engine/sort/SortRequest.h"

namespace kura {

class TDataTable;

// The table must be open exclusively (KURA_NEEDEXCLACCESS) and writable (KURA_OSEACCES). A
// table with a primary key or a secondary index is left alone (outcome Sorted false). More than
// 1024 sort fields fail with KURA_INDEXLIMIT, a Blob sort field with KURA_SEARCHCOLREQD, a field
// that does not lie inside the table's records with KURA_INVALIDIDXDESC; these checks come
// before anything is changed. An exception from a callback propagates after the run files are
// deleted; the table's records are then undefined (the sort of a wholly cached table leaves
// them unchanged).
// The sorted records and headers are written at once, also inside a transaction: a rollback
// does not undo a sort.
TSortOutcome SortRecords(TDataTable &table, const TSortRequest &request);

}  // namespace kura
