// Re-indexing every slot of a table in its system record index.
#include "engine/data/DataFile.h"
#include "engine/index/IndexBulkBuild.h"
#include "engine/index/IndexFile.h"
#include "engine/index/IndexTree.h"

namespace kura {

void RebuildSystemRecordIndex(TIndexFile &index, TDataFile &data) {
  TIndexPageCache &pages = index.Pages();
  const TIndexKeyDefinition keys = TIndexKeyDefinition::SystemRecordIndex();
  TIndexTree tree(pages, kSystemRecordIndex, keys);
  tree.FreeAllPages();
  // The keys are gathered for every slot, sorted (a deleted record's key sorts apart from the
  // live ones) and written into the tree bottom-up.
  TIndexEntryList entries(keys.KeyLength());
  std::vector<uint8_t> key(static_cast<size_t>(keys.KeyLength()));
  int32_t live = 0;
  const int32_t slots = data.SlotCount();
  entries.Reserve(static_cast<size_t>(slots > 0 ? slots : 0));
  for (int32_t n = 1; n <= slots; ++n) {
    TRecord *record = data.GetRecord(n, ReadForward);
    // Under the write lock nobody else changes the table; a record that cannot be read means
    // the data file is damaged.
    if (!record) RaiseEngineError(KURA_FILECORRUPT, pages.Texts());
    keys.BuildKey(record->Image.data(), record->Image.size(), key.data());
    if (record->Image[0] == 0) ++live;
    data.ReleaseRecord(record);
    entries.Add(key.data(), static_cast<uint32_t>(n));
  }
  entries.Sort(keys);
  BuildIndexFromSorted(pages, kSystemRecordIndex, keys, entries);
  pages.Header().LiveRecordCount = live;
  pages.SetNoPrimaryKey(true);
  pages.MarkHeaderDirty();
}

}  // namespace kura
