// Restructuring when only index definitions changed: the changed indexes are emptied, get their
// new descriptors and are filled again from the records, in place. The index file is copied
// aside first and copied back when the operation is cancelled or fails.
#include <algorithm>

#include "engine/cursor/DataCursor.h"
#include "engine/cursor/RestructureReports.h"
#include "engine/file/FileHandler.h"
#include "engine/file/FileNames.h"
#include "engine/index/IndexBulkBuild.h"
#include "engine/index/IndexFile.h"
#include "engine/table/DataDirectory.h"
#include "engine/table/DataTable.h"
#include "engine/table/TableFileMoves.h"

namespace kura {

namespace {

// Every page an index owns: its tree and its free list.
void CollectIndexPages(TIndexPageCache &cache, int indexNo, std::vector<int32_t> &pages) {
  const TIndexDescriptor &d = cache.Descriptor(indexNo);
  const int64_t limit = cache.Header().NextPage;
  const size_t first = pages.size();
  std::vector<std::pair<int32_t, int>> stack;
  if (d.RootPage != 0) stack.emplace_back(d.RootPage, 0);
  while (!stack.empty()) {
    auto [pageNo, depth] = stack.back();
    stack.pop_back();
    if (depth >= 64 || static_cast<int64_t>(pages.size() - first) >= limit) cache.RaiseCorrupt();
    TPageRef page = cache.GetPage(indexNo, pageNo);
    if (page->Free) cache.RaiseCorrupt();
    pages.push_back(pageNo);
    if (!page->IsLeaf())
      for (int i = 0; i < page->Count(); ++i) stack.emplace_back(static_cast<int32_t>(page->Value(i)), depth + 1);
  }
  int32_t free = d.FirstFreePage;
  while (free != 0) {
    if (static_cast<int64_t>(pages.size() - first) >= limit) cache.RaiseCorrupt();
    TPageRef page = cache.GetPage(indexNo, free);
    if (!page->Free) cache.RaiseCorrupt();
    pages.push_back(free);
    free = page->NextPage;
  }
}

}  // namespace

bool TDataCursor::RebuildChangedIndexes(const TRestructureDefinition &def, const std::vector<TFieldDescriptor> &fields,
                                        const TIndexHeader &wanted, TLossReporter &losses) {
  TDataTable &table = *FTable;
  const bool memory = table.InMemory();
  const std::string path = FDirectory->Path();
  const std::string tableName = table.Name();
  table.FlushBuffers(false);

  // Older backups belong to an older structure: they are set aside now and removed when the
  // rebuild is done (put back when it is not). Without backups the index copy goes to a
  // temporary name so that older backups stay untouched.
  TFileMoves oldBackups;
  TTableFileSet backups{path, tableName, memory, true};
  TTableFileSet setAside{path, FDirectory->UniqueTableName(memory), memory, true};
  std::string copyName;
  if (def.NoBackup) {
    copyName = TableFileName(path, FDirectory->UniqueTableName(memory), kIndexBackupExtension);
  } else {
    oldBackups.MoveSet(backups, setAside, tableName);
    copyName = backups.IndexFile();
  }
  try {
    FIndex->CopyTo(copyName, memory);
  } catch (...) {
    // A copy that could not be finished is no backup.
    try {
      if (TFileHandler::Exists(copyName, memory)) TFileHandler::DeleteFile(copyName, memory, tableName);
    } catch (...) {
    }
    throw;
  }
  const int64_t copiedSize = FIndex->Size();

  auto restore = [&]() {
    // Whatever the rebuild wrote (even pages a full cache had to write) is replaced by the copy;
    // what it gathered for the table's next unit is dropped (the files never saw it).
    FIndex->DropCache();
    FIndex->CopyFrom(copyName, memory);
    FIndex->TruncateAt(copiedSize);
    if (table.Journal()) table.Journal()->Discard();
    FIndex->RereadHeader();
    table.DataFile().DropCache();
    table.DataFile().RereadHeader();
    LoadKeyDefinitions();
    TFileHandler::DeleteFile(copyName, memory, tableName);
    oldBackups.Undo();
  };

  TIndexPageCache &cache = FIndex->Pages();
  TIndexHeader &header = FIndex->Header();
  const int oldCount = header.SecondaryCount;
  const int newCount = wanted.SecondaryCount;
  std::vector<int> changed, kept;
  for (int i = 0; i <= std::max(oldCount, newCount); ++i) {
    if (IndexNeedsRebuild(header, wanted, i)) {
      if (wanted.IndexInUse(i)) changed.push_back(i);
    } else if (wanted.IndexInUse(i)) {
      kept.push_back(i);
    }
  }

  table.WriteLock();
  bool completed = false;
  try {
    // Pages of changed and removed indexes go to the system record index's free list.
    std::vector<int32_t> pages;
    for (int i = 0; i <= std::max(oldCount, newCount); ++i)
      if (header.IndexInUse(i) && IndexNeedsRebuild(header, wanted, i)) CollectIndexPages(cache, i, pages);
    for (int i = 0; i <= std::max(oldCount, newCount); ++i)
      if (IndexNeedsRebuild(header, wanted, i)) cache.DropIndexPages(i);
    for (int32_t p : pages) cache.AdoptFreePage(kSystemRecordIndex, p);
    cache.WriteDirtyPages();
    cache.DropPages();
    for (int i = 0; i <= std::max(oldCount, newCount); ++i) {
      if (!IndexNeedsRebuild(header, wanted, i)) continue;
      header.Descriptors[i] = wanted.IndexInUse(i) ? wanted.Descriptors[i] : TIndexDescriptor{};
      header.Descriptors[i].RootPage = 0;
      header.Descriptors[i].FirstFreePage = 0;
    }
    header.SecondaryCount = static_cast<uint8_t>(newCount);
    header.NoPrimaryKey = wanted.NoPrimaryKey;
    cache.MarkHeaderDirty();
    LoadKeyDefinitions();

    // Keys of the changed indexes from every live record. The records are then taken in slot
    // order: a record whose key in one of the changed indexes equals the key of a record taken
    // before it is dropped (when the answer is to go on), and is not in any of them. Each index
    // is written in one go from its sorted keys once the records are chosen; the dropped
    // records are deleted after that, so that a cancel leaves the data file untouched.
    bool cancelled = false;
    std::vector<std::pair<int32_t, std::vector<uint8_t>>> dropped;
    if (!changed.empty()) {
      TDataFile &data = table.DataFile();
      const int32_t slots = data.SlotCount();
      int lastReported = 0;
      std::vector<uint8_t> stored;
      std::vector<int32_t> live;
      std::vector<TIndexEntryList> entries;
      for (int indexNo : changed) entries.emplace_back(KeysOf(indexNo).KeyLength());
      for (int32_t n = 1; n <= slots; ++n) {
        if (ReadStored(n, stored, ReadForward, 0)) {
          live.push_back(n);
          for (size_t j = 0; j < changed.size(); ++j)
            entries[j].Add(KeyOf(changed[j], stored.data()).data(), static_cast<uint32_t>(n));
        }
        ReportProgress(lastReported, n, slots);
      }
      // For each index, every live record's key as the rank of its value among the distinct
      // values (records by their place in `live`).
      auto place = [&](uint32_t n) {
        return static_cast<size_t>(std::lower_bound(live.begin(), live.end(), static_cast<int32_t>(n)) - live.begin());
      };
      std::vector<std::vector<uint32_t>> rankOf(changed.size(), std::vector<uint32_t>(live.size()));
      for (size_t j = 0; j < changed.size(); ++j) {
        const TIndexKeyDefinition &keys = KeysOf(changed[j]);
        entries[j].Sort(keys);
        const std::vector<uint32_t> ranks = entries[j].KeyRanks(keys);
        for (size_t e = 0; e < ranks.size(); ++e) rankOf[j][place(entries[j].RecordNumber(e))] = ranks[e];
      }
      std::vector<std::vector<bool>> taken(changed.size(), std::vector<bool>(live.size()));
      std::vector<bool> accepted(live.size(), false);
      for (size_t r = 0; r < live.size() && !cancelled; ++r) {
        int violated = -1;
        for (size_t j = 0; j < changed.size() && violated < 0; ++j)
          if (taken[j][rankOf[j][r]]) violated = changed[j];
        if (violated < 0) {
          for (size_t j = 0; j < changed.size(); ++j) taken[j][rankOf[j][r]] = true;
          accepted[r] = true;
          continue;
        }
        const std::string name = violated == kPrimaryIndex ? std::string("PRIMARY") : IndexDisplayName(violated);
        if (!losses.Report(TDataLossCause::LossKeyViolation, name)) {
          cancelled = true;
        } else if (ReadStored(live[r], stored, ReadForward, 0)) {
          dropped.emplace_back(live[r], stored);
        }
      }
      if (!cancelled) {
        for (size_t j = 0; j < changed.size(); ++j) {
          entries[j].Filter([&](uint32_t n) { return accepted[place(n)]; });
          BuildIndexFromSorted(cache, changed[j], KeysOf(changed[j]), entries[j]);
        }
        if (ProgressCallback) ProgressCallback(100);
      }
    }
    if (cancelled) {
      completed = true;  // nothing left to undo after the copy is back
      table.WriteUnlock();
      restore();
      return false;
    }
    for (const auto &[n, stored] : dropped) DeleteStoredRecord(n, stored, kept);
    ApplyNewProperties(def, fields, wanted);
    table.ChangePosted();
    table.FlushBuffers(false);
    completed = true;
  } catch (...) {
    table.WriteUnlock();
    if (!completed) {
      try {
        restore();
      } catch (...) {
      }
    }
    throw;
  }
  table.WriteUnlock();
  if (def.NoBackup) TFileHandler::DeleteFile(copyName, memory, tableName);
  if (oldBackups.Count() > 0) {
    oldBackups.Commit();
    try {
      DeleteFileSet(setAside, tableName);
    } catch (...) {
      // Left-over copies of an older structure do no harm to the table.
    }
  }
  return true;
}

}  // namespace kura
