#pragma once
// Bringing a table's headers in line with its sorted records: the data file holds records 1 to
// n without free slots, and the index file's system record index and live-record count follow.
//
// The data file offers no setter for the slot count and the free-list head outside its own
// record operations; this adapter sets them directly (see the .cpp).
#include <cstdint>

namespace kura {

class TDataFile;
class TDataTable;

// Header of the data file after a sort that produced n records: next record number n + 1,
// no free slot, the last auto-increment value at least n. The header becomes dirty.
void SetSortedRecordCount(TDataFile &file, int32_t n);

// Whether the table has a secondary index (false when it has no index file).
bool HasSecondaryIndex(TDataTable &table);

// The index file made to match the sorted data file: the system record index rebuilt over the
// new slots and the live-record count set. Nothing when the table has no index file.
void RebuildIndexAfterSort(TDataTable &table);

}  // namespace kura
