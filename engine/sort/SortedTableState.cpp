// Headers of a sorted table.
#include "engine/sort/SortedTableState.h"

#include "engine/data/DataFile.h"
#include "engine/index/IndexFile.h"
#include "engine/table/DataTable.h"

namespace kura {

void SetSortedRecordCount(TDataFile &file, int32_t n) {
  // TDataFile keeps NextRecordNumber and FreeListHead to itself; its only outside setter for
  // the slot count is the one its tests use. The header object itself is a plain member, so
  // writing it here is well defined; the file marks nothing dirty on its own, we do.
  file.SetNextRecordNumberForTest(n + 1);
  const_cast<TDataHeader &>(file.Header()).SetFreeListHead(0);
  if (file.LastAutoIncValue() < n) file.SetLastAutoIncValue(n);
  file.MarkHeaderDirty();
}

bool HasSecondaryIndex(TDataTable &table) {
  auto *index = dynamic_cast<TIndexFile *>(table.IndexFile());
  return index && index->Header().SecondaryCount > 0;
}

void RebuildIndexAfterSort(TDataTable &table) {
  auto *index = dynamic_cast<TIndexFile *>(table.IndexFile());
  if (!index) return;
  // Every old entry of the system record index names a slot or auto-increment value that no
  // longer exists; the rebuild also recounts the live records.
  RebuildSystemRecordIndex(*index, table.DataFile());
}

}  // namespace kura
