// Restructuring a table: checking the new structure, choosing the least work that reaches it,
// and the properties-only change. The index rebuild and the full rebuild live in their own
// files.
#include <algorithm>
#include <atomic>
#include <cctype>
#include <climits>

#include "engine/blob/CursorBlobs.h"
#include "engine/cursor/CursorReadScope.h"
#include "engine/cursor/DataCursor.h"
#include "engine/cursor/RestructureReports.h"
#include "engine/file/FileHandler.h"
#include "engine/file/FileNames.h"
#include "engine/index/IndexFile.h"
#include "engine/index/IndexKeyMapping.h"
#include "engine/table/DataDirectory.h"
#include "engine/table/DataSession.h"
#include "engine/table/DataTable.h"
#include "engine/util/Bytes.h"

namespace kura {

namespace {

bool SameTextNoCase(const std::string &a, const std::string &b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

int32_t EffectiveBlockSize(int32_t size) { return size == 0 ? 512 : size; }

// The new fields checked with the checks of table creation, laid out (stored sizes, offsets,
// field numbers = positions). The check runs on a scratch data file in memory, so that no rule
// of table creation is left out.
std::vector<TFieldDescriptor> CheckedFields(const TRestructureDefinition &def, const std::string &table,
                                            const std::string &database) {
  static std::atomic<unsigned> counter{0};
  TDataFileDefinition scratch;
  scratch.Fields = def.Fields;
  scratch.IndexDefinitionCount = static_cast<int>(def.Indexes.size());
  scratch.LanguageId = def.LanguageId;
  scratch.SortId = def.SortId;
  scratch.BlobBlockSize = def.BlobBlockSize;
  scratch.Description = def.Description;
  scratch.Encrypted = def.Encrypted;
  scratch.Password = def.Password;
  scratch.UserMajorVersion = def.UserMajorVersion;
  scratch.UserMinorVersion = def.UserMinorVersion;
  const std::string name = "~restructure-check-" + std::to_string(counter++) + kDataExtension;
  TDataFile file;
  file.SetErrorNames(table, database);
  file.CreateDataFile(name, true, true, scratch);
  std::vector<TFieldDescriptor> fields = file.Fields();
  file.CloseDataFile(true);
  if (TFileHandler::Exists(name, true)) TFileHandler::DeleteFile(name, true, table);
  return fields;
}

// The new index descriptors, built on a scratch header with every check of defining indexes.
// A key field that names no field of the new structure fails with KURA_OUTOFRANGE.
TIndexHeader CheckedIndexes(const TRestructureDefinition &def, const std::vector<TFieldDescriptor> &fields,
                            const ErrorTexts &texts) {
  TIndexHeader header = TIndexHeader::CreateEmpty();
  bool primary = false;
  for (const TIndexDefinition &given : def.Indexes) {
    TIndexDefinition d = given;
    for (TIndexDefinitionField &f : d.Fields) {
      if (f.FieldNumber < 1 || f.FieldNumber > fields.size()) {
        ErrorTexts t = texts;
        t.Field = std::to_string(f.FieldNumber);
        t.Index = d.Name;
        RaiseEngineError(KURA_OUTOFRANGE, t);
      }
      f = DefinitionFieldFromDescriptor(fields[f.FieldNumber - 1u], f.Descending);
    }
    if (TrimBlanks(d.Name).empty()) {
      d.Unique = true;
      DefinePrimaryIndex(header, d, texts);
      primary = primary || !d.Fields.empty();
    } else {
      AddSecondaryIndex(header, d, texts);
    }
  }
  if (!primary) header.NoPrimaryKey = true;
  return header;
}

bool SameKeyDefinition(const TIndexDescriptor &a, const TIndexDescriptor &b) {
  if (a.KeyLength != b.KeyLength || a.FieldCount != b.FieldCount || a.Descending != b.Descending ||
      a.CaseInsensitive != b.CaseInsensitive || a.Unique != b.Unique || a.Compression != b.Compression)
    return false;
  for (int i = 0; i < a.FieldCount && i < kMaxKeyFields; ++i)
    if (a.FieldNumbers[i] != b.FieldNumbers[i] || a.FieldDescending[i] != b.FieldDescending[i]) return false;
  return true;
}

bool FieldNeedsRebuild(const TFieldDescriptor &old, const TFieldDescriptor &now, int givenNumber) {
  return givenNumber != old.FieldNumber || now.Type != old.Type || now.SubType != old.SubType ||
         now.DataSize != old.DataSize || now.DataScale != old.DataScale || now.Required != old.Required ||
         now.CharCase != old.CharCase || !SameTextNoCase(now.DefaultValue, old.DefaultValue) ||
         !SameTextNoCase(now.MinValue, old.MinValue) || !SameTextNoCase(now.MaxValue, old.MaxValue);
}

}  // namespace

// Whether index i of the wanted header must be rebuilt (or dropped) against the current one.
bool IndexNeedsRebuild(const TIndexHeader &current, const TIndexHeader &wanted, int indexNo) {
  const bool had = current.IndexInUse(indexNo);
  const bool has = wanted.IndexInUse(indexNo);
  if (had != has) return true;
  if (!has) return false;
  return !SameKeyDefinition(current.Descriptors[indexNo], wanted.Descriptors[indexNo]);
}

void TDataCursor::ReportProgress(int &lastReported, int64_t done, int64_t total) {
  if (!ProgressCallback || total <= 0) return;
  const int step = std::max<int>(1, FDirectory->Session()->Settings.ProgressSteps);
  const int percent = static_cast<int>(done * 100 / total);
  // 100 is reported once, by the caller, when the loop has ended.
  if (percent < 100 && percent - lastReported >= step) {
    lastReported = percent;
    ProgressCallback(percent);
  }
}

void TDataCursor::DeleteStoredRecord(int32_t recordNumber, const std::vector<uint8_t> &stored,
                                     const std::vector<int> &indexes) {
  const uint32_t n = static_cast<uint32_t>(recordNumber);
  for (int indexNo : indexes) {
    std::vector<uint8_t> key = KeyOf(indexNo, stored.data());
    Tree(indexNo).Delete(key.data(), n);
  }
  std::vector<uint8_t> systemKey = KeyOf(kSystemRecordIndex, stored.data());
  std::vector<uint8_t> deletedKey = systemKey;
  deletedKey[0] = 1;
  Tree(kSystemRecordIndex).Replace(systemKey.data(), n, deletedKey.data(), n);
  if (FBlobs && !FBlobFields.empty())
    FBlobs->FreeRecordBlobs(std::span<const uint8_t>(stored.data(), FStoredSize), FBlobFields);
  FTable->DataFile().FreeRecord(recordNumber, FTable->NoPrimaryKey());
  FIndex->Pages().AddLiveRecords(-1);
}

void TDataCursor::ApplyNewProperties(const TRestructureDefinition &def, const std::vector<TFieldDescriptor> &fields,
                                     const TIndexHeader &wanted) {
  TDataFile &data = FTable->DataFile();
  data.MarkHeaderDirty();
  for (size_t i = 0; i < fields.size(); ++i) {
    const TFieldDescriptor &f = fields[i];
    const TFieldDescriptor &old = data.Field(static_cast<int>(i + 1));
    if (old.Name != f.Name || old.Description != f.Description || old.Required != f.Required ||
        old.MinValue != f.MinValue || old.MaxValue != f.MaxValue || old.DefaultValue != f.DefaultValue)
      data.ReplaceFieldProperties(static_cast<int>(i + 1), f.Name, f.Description, f.Required, f.MinValue,
                                  f.MaxValue, f.DefaultValue);
  }
  if (data.Description() != def.Description.substr(0, std::min<size_t>(def.Description.size(), 50)) ||
      data.Password() != (data.Encrypted() ? TrimBlanks(def.Password).substr(0, 15) : std::string()) ||
      data.UserMajorVersion() != def.UserMajorVersion || data.UserMinorVersion() != def.UserMinorVersion)
    data.SetTableProperties(def.Description, def.Password, def.UserMajorVersion, def.UserMinorVersion);
  // The last auto-increment value only ever rises: lowering it would hand out values that
  // records still carry.
  if (def.LastAutoIncValue >= 0) {
    const int32_t wantedLast = static_cast<int32_t>(std::min<int64_t>(def.LastAutoIncValue, INT32_MAX));
    if (data.LastAutoIncValue() < wantedLast) data.SetLastAutoIncValue(wantedLast);
  }
  // Renamed secondary indexes keep their keys; only the name in the index header changes.
  TIndexHeader &header = FIndex->Header();
  for (int i = 1; i <= header.SecondaryCount && i <= wanted.SecondaryCount; ++i) {
    if (header.Descriptors[i].Name != wanted.Descriptors[i].Name) {
      header.Descriptors[i].Name = wanted.Descriptors[i].Name;
      FIndex->Pages().MarkHeaderDirty();
    }
  }
}

void TDataCursor::ResetAfterRestructure() {
  BuildCatalogue();
  LoadKeyDefinitions();
  FRangeActive = false;
  FRequestedIndex = 0;
  FIndexNo = FOptions.NaturalOrder || !HasPrimaryKey() ? kNaturalOrder : kPrimaryIndex;
  FIndexName.clear();
  FState = TPosState::BeforeFirst;
  ClearCurrent();
  TReadScope scope(*this, false);
  ComputeRangeOrdinals();
  if (UsesVisibleSet()) RebuildVisibleSet();
  SyncSeen();
}

bool TDataCursor::RestructureTable(const TRestructureDefinition &def) {
  CheckWritable();
  if (!FOptions.Exclusive || !FTable->Exclusive()) Raise(KURA_NEEDEXCLACCESS);
  // Inside a transaction nothing reaches the files until commit, and a rollback would bring
  // back old records under new descriptors: the table is refused as in use.
  if (FTable->InTransaction()) Raise(KURA_TABLEOPEN);
  UnlockEdit();
  // The work is done on the table's own fields, whatever projection the cursor showed.
  if (FProjected) BuildCatalogue();
  ErrorTexts texts;
  texts.Table = FTable->Name();
  texts.Database = FDirectory->DatabaseName();

  // 1. The new definitions, checked before anything changes.
  const std::vector<TFieldDescriptor> fields = CheckedFields(def, texts.Table, texts.Database);
  const TIndexHeader wanted = CheckedIndexes(def, fields, texts);

  // 2. The least work that reaches the new structure.
  TDataFile &data = FTable->DataFile();
  const std::vector<TFieldDescriptor> &old = data.Fields();
  bool full = def.Encrypted != data.Encrypted() ||
              EffectiveBlockSize(def.BlobBlockSize) != EffectiveBlockSize(data.BlobBlockSize()) ||
              def.LanguageId != data.LanguageId() || def.SortId != data.SortId() || fields.size() != old.size();
  for (size_t i = 0; !full && i < fields.size(); ++i)
    full = FieldNeedsRebuild(old[i], fields[i], def.Fields[i].FieldNumber);
  bool indexes = false;
  if (!full) {
    const TIndexHeader &current = FIndex->Header();
    indexes = current.SecondaryCount != wanted.SecondaryCount || (current.NoPrimaryKey && !wanted.NoPrimaryKey);
    for (int i = 0; !indexes && i <= std::max<int>(current.SecondaryCount, wanted.SecondaryCount); ++i)
      indexes = IndexNeedsRebuild(current, wanted, i);
  }
  FLastRestructureLevel = full      ? TRestructureLevel::FullRebuild
                          : indexes ? TRestructureLevel::IndexRebuild
                                    : TRestructureLevel::PropertiesOnly;

  TLossReporter losses(DataLossCallback);
  if (full) return CopyIntoNewTable(def, losses);
  // Changes in place reach the files as one unit when the table is closed.
  FTable->GatherExclusiveChanges();
  if (indexes) {
    const bool done = RebuildChangedIndexes(def, fields, wanted, losses);
    ResetAfterRestructure();
    return done;
  }

  // 3. Names, descriptions and table properties only: the records and the index file stay as
  // they are (the index header changes only when an index was renamed).
  FTable->WriteLock();
  try {
    ApplyNewProperties(def, fields, wanted);
    FTable->FlushBuffers(false);
  } catch (...) {
    FTable->WriteUnlock();
    throw;
  }
  FTable->WriteUnlock();
  ResetAfterRestructure();
  return true;
}

}  // namespace kura
