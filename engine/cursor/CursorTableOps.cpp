// Table-level operations reached through a cursor: creating, deleting, renaming and emptying
// the table, adding and deleting indexes.
#include <cstring>

#include "engine/cursor/CursorReadScope.h"
#include "engine/cursor/DataCursor.h"
#include "engine/file/FileNames.h"
#include "engine/index/IndexBulkBuild.h"
#include "engine/index/IndexFile.h"
#include "engine/index/IndexKeyMapping.h"
#include "engine/table/DataDirectory.h"
#include "engine/table/DataTable.h"

namespace kura {

namespace {
// Records asked of a block read by a scan in slot order (the data file reads at most a megabyte).
constexpr int kScanReadAhead = 1 << 20;
}  // namespace

void TDataCursor::CreateTable(const TDataFileDefinition &definition, const std::vector<TIndexDefinition> &indexes,
                              bool overwrite) {
  CheckClosed();
  if (!FDirectory) RaiseEngineError(KURA_NOTINITIALIZED);
  if (FDirectory->TableExists(FTableName, FOptions.InMemory)) {
    if (!overwrite) Raise(KURA_TABLEEXISTS);
    FDirectory->DeleteTable(FTableName, FOptions.InMemory);
  }
  TDataTable *table =
      FDirectory->CreateTable(FTableName, definition, FOptions.InMemory, FOptions.Temporary, indexes);
  FDirectory->CloseTable(table);
}

void TDataCursor::DeleteTable() {
  CheckClosed();
  if (!FDirectory) RaiseEngineError(KURA_NOTINITIALIZED);
  FDirectory->DeleteTable(FTableName, FOptions.InMemory);
}

void TDataCursor::RenameTable(const std::string &newName) {
  CheckClosed();
  if (!FDirectory) RaiseEngineError(KURA_NOTINITIALIZED);
  FDirectory->RenameTable(FTableName, FOptions.InMemory, newName);
  FTableName = TrimBlanks(newName);
  size_t dot = FTableName.find_last_of('.');
  if (dot != std::string::npos && FTableName.find('/', dot) == std::string::npos) FTableName.erase(dot);
}

void TDataCursor::EmptyTable() {
  CheckWritable();
  if (!FOptions.Exclusive || !FTable->Exclusive()) Raise(KURA_NEEDEXCLACCESS);
  UnlockEdit();
  FTable->Empty();
  FState = TPosState::BeforeFirst;
  ClearCurrent();
  ComputeRangeOrdinals();
  if (UsesVisibleSet()) RebuildVisibleSet();
  SyncSeen();
}

int TDataCursor::AddSecondaryIndex(const TIndexDefinition &definition, bool refuseDuplicates) {
  CheckWritable();
  if (!FOptions.Exclusive || !FTable->Exclusive()) Raise(KURA_NEEDEXCLACCESS);
  FTable->GatherExclusiveChanges();
  ErrorTexts texts;
  texts.Table = FTable->Name();
  texts.Database = FDirectory->DatabaseName();
  TIndexDefinition resolved = definition;
  for (TIndexDefinitionField &f : resolved.Fields) {
    if (f.FieldNumber < 1 || f.FieldNumber > FTableFields.size())
      Raise(KURA_INVALIDIDXDESC, std::to_string(f.FieldNumber), definition.Name);
    f = DefinitionFieldFromDescriptor(FTableFields[f.FieldNumber - 1u], f.Descending);
  }
  FTable->WriteLock();
  int indexNo = 0;
  try {
    indexNo = kura::AddSecondaryIndex(FIndex->Header(), resolved, texts);
    FIndex->Pages().MarkHeaderDirty();
    LoadKeyDefinitions();
    // The existing records get their keys; a record whose key is already there in a new
    // unique index is deleted.
    TRecordsBitmap live = [&] {
      const bool saveRange = FRangeActive;
      const int saveIndex = FIndexNo;
      FRangeActive = false;
      FIndexNo = kNaturalOrder;
      TRecordsBitmap all = LiveRecordsInRange();
      FRangeActive = saveRange;
      FIndexNo = saveIndex;
      return all;
    }();
    std::vector<int> others;
    for (int other : WritableIndexes())
      if (other != indexNo) others.push_back(other);
    // The keys of every record are gathered, sorted and written into the tree in one go.
    const TIndexKeyDefinition &keys = KeysOf(indexNo);
    TIndexEntryList entries(keys.KeyLength());
    entries.Reserve(live.Count());
    std::vector<uint8_t> stored;
    std::vector<uint8_t> key(static_cast<size_t>(keys.KeyLength()));
    const int64_t total = static_cast<int64_t>(live.Count());
    int64_t done = 0;
    int lastReported = 0;
    for (uint32_t n = live.NextMember(1); n != 0; n = live.NextMember(n + 1)) {
      ReportProgress(lastReported, ++done, total);
      // Records are read in slot order: a block read (at most a megabyte) serves many of them.
      if (!ReadStored(static_cast<int32_t>(n), stored, ReadForward, kScanReadAhead)) continue;
      keys.BuildKey(stored.data(), FStoredSize, key.data());
      entries.Add(key.data(), n);
    }
    entries.Sort(keys);
    // Records whose key is already there; the record in the lower slot came first and stays.
    // They are deleted only after the build, so that a refusal can still leave every record.
    std::vector<uint32_t> duplicates = entries.RemoveDuplicates(keys);
    if (!duplicates.empty() && refuseDuplicates) {
      kura::DeleteIndex(FIndex->Pages(), indexNo);
      FIndex->Pages().MarkHeaderDirty();
      LoadKeyDefinitions();
      FTable->ChangePosted();
      Raise(KURA_KEYVIOL, {}, definition.Name);
    }
    BuildIndexFromSorted(FIndex->Pages(), indexNo, keys, entries);
    for (uint32_t n : duplicates)
      if (ReadStored(static_cast<int32_t>(n), stored)) DeleteStoredRecord(static_cast<int32_t>(n), stored, others);
    if (ProgressCallback) ProgressCallback(100);
    FTable->ChangePosted();
  } catch (...) {
    FTable->WriteUnlock();
    throw;
  }
  FTable->WriteUnlock();
  ComputeRangeOrdinals();
  if (UsesVisibleSet()) RebuildVisibleSet();
  FState = TPosState::BeforeFirst;
  ClearCurrent();
  SyncSeen();
  return indexNo;
}

void TDataCursor::DeleteIndex(const std::string &name) {
  CheckWritable();
  if (!FOptions.Exclusive || !FTable->Exclusive()) Raise(KURA_NEEDEXCLACCESS);
  FTable->GatherExclusiveChanges();
  const int indexNo = FindIndexByName(FIndex->Header(), name);
  if (indexNo < 0 || indexNo > kMaxSecondaryIndexes || !FIndex->Header().IndexInUse(indexNo))
    Raise(KURA_INVALIDINDEXNAME, {}, name);
  FTable->WriteLock();
  try {
    kura::DeleteIndex(FIndex->Pages(), indexNo);
    FIndex->Pages().MarkHeaderDirty();
    FTable->ChangePosted();
  } catch (...) {
    FTable->WriteUnlock();
    throw;
  }
  FTable->WriteUnlock();
  LoadKeyDefinitions();
  if (FIndexNo == indexNo || (FIndexNo != kNaturalOrder && FIndexNo > indexNo)) {
    if (FIndexNo == indexNo) {
      FIndexNo = HasPrimaryKey() && !FOptions.NaturalOrder ? kPrimaryIndex : kNaturalOrder;
      FIndexName.clear();
    } else {
      --FIndexNo;
    }
  }
  FRangeActive = false;
  ComputeRangeOrdinals();
  if (UsesVisibleSet()) RebuildVisibleSet();
  FState = TPosState::BeforeFirst;
  ClearCurrent();
  SyncSeen();
}

}  // namespace kura
