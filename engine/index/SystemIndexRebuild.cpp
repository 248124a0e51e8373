// Re-indexing every slot of a table in its system record index.
#include "engine/data/DataFile.h"
#include "engine/index/IndexFile.h"
#include "engine/index/IndexTree.h"

namespace kura {

void RebuildSystemRecordIndex(TIndexFile &index, TDataFile &data) {
  TIndexPageCache &pages = index.Pages();
  const TIndexKeyDefinition keys = TIndexKeyDefinition::SystemRecordIndex();
  TIndexTree tree(pages, kSystemRecordIndex, keys);
  tree.FreeAllPages();
  std::vector<uint8_t> key(static_cast<size_t>(keys.KeyLength()));
  int32_t live = 0;
  const int32_t slots = data.SlotCount();
  for (int32_t n = 1; n <= slots; ++n) {
    TRecord *record = data.GetRecord(n, ReadForward);
    // Under the write lock nobody else changes the table; a record that cannot be read means
    // the data file is damaged.
    if (!record) RaiseEngineError(KURA_FILECORRUPT, pages.Texts());
    keys.BuildKey(record->Image.data(), record->Image.size(), key.data());
    if (record->Image[0] == 0) ++live;
    data.ReleaseRecord(record);
    tree.Insert(key.data(), static_cast<uint32_t>(n));
  }
  pages.Header().LiveRecordCount = live;
  pages.SetNoPrimaryKey(true);
  pages.MarkHeaderDirty();
}

}  // namespace kura
