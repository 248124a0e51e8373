// Opening and closing a cursor, its catalogue and current order, and change detection.
#include "engine/cursor/DataCursor.h"

#include <cstring>

#include "engine/blob/BlobFile.h"
#include "engine/blob/CursorBlobs.h"
#include "engine/crypt/TablePassword.h"
#include "engine/cursor/CursorReadScope.h"
#include "engine/file/FileNames.h"
#include "engine/index/IndexFile.h"
#include "engine/index/IndexKeyMapping.h"
#include "engine/table/DataDirectory.h"
#include "engine/table/DataSession.h"
#include "engine/table/DataTable.h"

namespace kura {

TDataCursor::TDataCursor(TDataDirectory *directory, std::string tableName)
    : FDirectory(directory), FTableName(TrimBlanks(tableName)) {}

TDataCursor::~TDataCursor() {
  try {
    CloseCursor();
  } catch (...) {
  }
}

void TDataCursor::Raise(uint16_t code, const std::string &field, const std::string &index,
                        const std::string &message) const {
  ErrorTexts texts;
  texts.Table = FTable ? FTable->Name() : FTableName;
  if (FDirectory) texts.Database = FDirectory->DatabaseName();
  texts.Field = field;
  texts.Index = index;
  texts.Message = message;
  RaiseEngineError(code, texts);
}

void TDataCursor::CheckOpen() const {
  if (!FOpen) Raise(KURA_NOCURRREC);
}

void TDataCursor::CheckClosed() const {
  if (FOpen) Raise(KURA_TABLEOPEN);
}

void TDataCursor::SetOptions(const TCursorOptions &options) {
  CheckClosed();
  FOptions = options;
}

void TDataCursor::SetTableName(const std::string &name) {
  CheckClosed();
  FTableName = TrimBlanks(name);
}

uint16_t TDataCursor::LanguageId() const { return FTable ? FTable->DataFile().LanguageId() : 0; }
uint16_t TDataCursor::SortId() const { return FTable ? FTable->DataFile().SortId() : 0; }

// ---------------------------------------------------------------------------------------------
// Open and close

void TDataCursor::OpenCursor() {
  if (FOpen) return;
  if (!FDirectory) RaiseEngineError(KURA_NOTINITIALIZED);
  FTable = FDirectory->OpenTable(FTableName, FOptions.Exclusive, FOptions.ReadOnly, FOptions.InMemory,
                                 FOptions.Temporary);
  FOpen = true;
  try {
    FIndex = TableIndexFile(*FTable);
    if (!FIndex) Raise(KURA_INDEXCORRUPT);
    CheckPassword();
    RebuildSystemIndexIfNeeded();
    BuildCatalogue();
    FBlobFields = BlobFieldsOf(*FTable);
    if (TBlobStore *store = BlobStoreOf(*FTable)) FBlobs = std::make_unique<TCursorBlobs>(store, FTable->Name());
    LoadKeyDefinitions();
    FRangeActive = false;
    FRequestedIndex = 0;
    FIndexNo = FOptions.NaturalOrder || !HasPrimaryKey() ? kNaturalOrder : 0;
    FIndexName.clear();
    FState = TPosState::BeforeFirst;
    ClearCurrent();
    TReadScope scope(*this, false);
    ComputeRangeOrdinals();
    if (UsesVisibleSet()) RebuildVisibleSet();
    SyncSeen();
  } catch (...) {
    ReleaseEverything();
    throw;
  }
}

void TDataCursor::ReleaseEverything() {
  if (!FTable) {
    FOpen = false;
    return;
  }
  try {
    UnlockEdit();
  } catch (...) {
  }
  if (FHoldsTableReadLock) {
    try {
      FTable->SecondReadUnlock();
    } catch (...) {
    }
    FHoldsTableReadLock = false;
  }
  if (FBlobs) FBlobs->CloseAll();
  FBlobs.reset();
  FBlobFields.clear();
  FFilters.clear();
  FVisible.Clear();
  for (auto &k : FKeys) k.reset();
  TDataTable *table = FTable;
  FTable = nullptr;
  FIndex = nullptr;
  FOpen = false;
  FProjected = false;
  CalculateFields = nullptr;
  FDirectory->CloseTable(table);
}

void TDataCursor::CloseCursor() {
  if (!FOpen) return;
  ReleaseEverything();
}

void TDataCursor::CheckPassword() {
  TDataFile &data = FTable->DataFile();
  if (!data.Encrypted()) return;
  TDataSession *session = FDirectory->Session();
  std::function<bool()> request = PasswordCallback ? PasswordCallback : session->PasswordCallback;
  CheckTableAccess(
      data.Password(), [session](const std::string &p) { return session->HasPassword(p); }, request,
      FTable->Name());
}

void TDataCursor::RebuildSystemIndexIfNeeded() {
  if (!FTable->IndexesRebuilt()) return;
  // The index file was made again: every slot goes into the system record index, so the
  // records keep their insertion order. Done once, by the first cursor, under the write lock.
  FTable->WriteLock();
  try {
    RebuildSystemRecordIndex(*FIndex, FTable->DataFile());
    FTable->ChangePosted();
  } catch (...) {
    FTable->WriteUnlock();
    throw;
  }
  FTable->WriteUnlock();
  FTable->ClearIndexesRebuilt();
}

void TDataCursor::BuildCatalogue() {
  TDataFile &data = FTable->DataFile();
  FTableFields = data.Fields();
  FFields = FTableFields;
  FCatalogue.clear();
  const std::string database = FDirectory->Path().substr(0, 100);
  for (const TFieldDescriptor &f : FFields) {
    TCatalogueEntry e;
    e.SourceField = f.FieldNumber;
    e.Origin = (FTable->Name() + "." + f.Name).substr(0, 100);
    e.Database = database;
    FCatalogue.push_back(e);
  }
  FStoredSize = data.RecordSize();
  FBufferSize = FStoredSize;
  FBlobFieldCount = data.BlobFieldCount();
  FProjected = false;
  FCurRecord.assign(FBufferSize, 0);
}

void TDataCursor::SetProjection(const std::vector<TProjectionField> &fields) {
  CheckOpen();
  if (fields.empty()) {
    BuildCatalogue();
    return;
  }
  std::vector<TFieldDescriptor> result;
  std::vector<TCatalogueEntry> catalogue;
  size_t offset = FStoredSize;
  int blobs = 0;
  for (size_t i = 0; i < fields.size(); ++i) {
    const TProjectionField &p = fields[i];
    TFieldDescriptor f = p.Field;
    std::string name = TrimBlanks(f.Name);
    if (name.empty() || name.size() > 30) Raise(KURA_INVALIDFIELDNAME, f.Name);
    for (const TFieldDescriptor &other : result)
      if (SameTextIgnoringCase(other.Name, name)) Raise(KURA_INVALIDFIELDNAME, f.Name);
    f.Name = name;
    f.FieldNumber = static_cast<int16_t>(i + 1);
    if (f.MinValue.size() > 50 || f.MaxValue.size() > 50 || f.DefaultValue.size() > 50)
      Raise(KURA_INVALIDVCHKSTRUCT, f.Name);
    TCatalogueEntry e;
    e.Origin = p.Origin.substr(0, 100);
    e.Database = p.Database.substr(0, 100);
    if (f.Calculated) {
      if (!IsKnownFieldType(static_cast<uint8_t>(f.Type)) || f.Type == EngineFieldType::Blob)
        Raise(KURA_INVALIDFLDTYPE, f.Name);
      f.DataSize = StoredDataSize(f.Type, f.DeclaredSize);
      if (f.DataSize == 0) Raise(KURA_INVALIDFLDTYPE, f.Name);
      if (f.Type == EngineFieldType::Integer && f.SubType == FieldSubType::AutoInc) f.SubType = FieldSubType::None;
      if (offset + f.DataSize + 1 > 0xFFFF) Raise(KURA_RECTOOBIG);
      f.Offset = static_cast<uint16_t>(offset);
      offset += f.DataSize + 1u;
      e.SourceField = 0;
    } else {
      if (p.SourceField < 1 || p.SourceField > static_cast<int>(FTableFields.size()))
        Raise(KURA_INVALIDFIELDNAME, f.Name);
      const TFieldDescriptor &src = FTableFields[static_cast<size_t>(p.SourceField - 1)];
      // A source field keeps its stored layout; only its name and texts may differ.
      std::string description = f.Description;
      std::string minV = f.MinValue, maxV = f.MaxValue, defV = f.DefaultValue;
      bool required = f.Required;
      f = src;
      f.Name = name;
      f.FieldNumber = static_cast<int16_t>(i + 1);
      f.Description = description;
      f.MinValue = minV;
      f.MaxValue = maxV;
      f.DefaultValue = defV;
      f.Required = required;
      if (f.Type == EngineFieldType::Blob) ++blobs;
      e.SourceField = p.SourceField;
    }
    result.push_back(f);
    catalogue.push_back(e);
  }
  FFields = std::move(result);
  FCatalogue = std::move(catalogue);
  FBufferSize = offset;
  FBlobFieldCount = blobs;
  FProjected = true;
  FCurRecord.resize(FBufferSize, 0);
}

void TDataCursor::FinishCalculated(uint8_t *buffer) const {
  if (!FProjected || FBufferSize == FStoredSize) return;
  std::memset(buffer + FStoredSize, 0, FBufferSize - FStoredSize);
  if (CalculateFields) CalculateFields(const_cast<TDataCursor &>(*this), buffer);
}

const TFieldDescriptor &TDataCursor::CheckedField(int fieldNumber) const {
  if (fieldNumber < 1 || fieldNumber > static_cast<int>(FFields.size()))
    Raise(KURA_OUTOFRANGE, std::to_string(fieldNumber));
  return FFields[static_cast<size_t>(fieldNumber - 1)];
}

const TFieldDescriptor &TDataCursor::Field(int fieldNumber) const { return CheckedField(fieldNumber); }

int TDataCursor::FieldNumber(const std::string &name) const {
  std::string wanted = TrimBlanks(name);
  for (size_t i = 0; i < FFields.size(); ++i)
    if (SameTextIgnoringCase(FFields[i].Name, wanted)) return static_cast<int>(i + 1);
  Raise(KURA_OUTOFRANGE, name);
}

const TDataHeader &TDataCursor::GetDataHeader() const {
  CheckOpen();
  return FTable->DataFile().Header();
}

// ---------------------------------------------------------------------------------------------
// Indexes and order

void TDataCursor::LoadKeyDefinitions() {
  const TIndexHeader &header = FIndex->Header();
  ErrorTexts texts;
  texts.Table = FTable->Name();
  texts.Database = FDirectory->DatabaseName();
  for (int i = 0; i < 32; ++i) {
    if (!header.IndexInUse(i)) {
      FKeys[static_cast<size_t>(i)].reset();
      continue;
    }
    FKeys[static_cast<size_t>(i)] = std::make_unique<TIndexKeyDefinition>(
        KeyDefinitionForIndex(header, i, FTableFields, LanguageId(), SortId(), texts));
  }
}

bool TDataCursor::HasPrimaryKey() const {
  return FIndex && !FIndex->Header().NoPrimaryKey && FIndex->Header().IndexInUse(kPrimaryIndex);
}

const TIndexKeyDefinition &TDataCursor::KeysOf(int indexNo) const {
  if (indexNo < 0 || indexNo >= 32 || !FKeys[static_cast<size_t>(indexNo)]) Raise(KURA_INDEXCORRUPT);
  return *FKeys[static_cast<size_t>(indexNo)];
}

const TIndexKeyDefinition &TDataCursor::CurrentKeys() const { return KeysOf(FIndexNo); }

int TDataCursor::KeyLength() const { return InNaturalOrder() ? 4 : CurrentKeys().KeyLength(); }

TIndexTree TDataCursor::Tree(int indexNo) const { return TIndexTree(FIndex->Pages(), indexNo, KeysOf(indexNo)); }

std::vector<std::string> TDataCursor::IndexNames() const {
  std::vector<std::string> names;
  if (!FIndex) return names;
  const TIndexHeader &h = FIndex->Header();
  names.push_back("");
  for (int i = 1; i <= h.SecondaryCount; ++i) names.push_back(h.Descriptors[static_cast<size_t>(i)].Name);
  return names;
}

std::string TDataCursor::IndexDisplayName(int indexNo) const {
  if (!FIndex || indexNo < 0 || indexNo >= kIndexSlots) return {};
  return FIndex->Header().Descriptors[static_cast<size_t>(indexNo)].Name;
}

void TDataCursor::SetIndexName(const std::string &name) {
  CheckOpen();
  // The primary index has no name; without a primary key it means natural order.
  int indexNo = TrimBlanks(name).empty() ? kPrimaryIndex : FindIndexByName(FIndex->Header(), name);
  if (indexNo < 0 || indexNo > kMaxSecondaryIndexes) Raise(KURA_INVALIDINDEXNAME, {}, name);
  SetIndexNo(indexNo);
}

void TDataCursor::SetIndexNo(int indexNo) {
  CheckOpen();
  TReadScope scope(*this);
  int effective = indexNo;
  if (indexNo == kPrimaryIndex && !HasPrimaryKey()) effective = kNaturalOrder;
  if (effective != kNaturalOrder && (effective < 0 || effective >= 32 || !FKeys[static_cast<size_t>(effective)]))
    Raise(KURA_INVALIDINDEXNAME, {}, std::to_string(indexNo));
  if (FOptions.NaturalOrder) effective = kNaturalOrder;
  const bool hadRecord = FState == TPosState::OnRecord;
  const int32_t current = FCurRecNo;
  FRequestedIndex = indexNo;
  FIndexNo = effective;
  FIndexName = effective == kNaturalOrder ? std::string() : IndexDisplayName(effective);
  FRangeActive = false;
  ComputeRangeOrdinals();
  if (UsesVisibleSet()) RebuildVisibleSet();
  if (!hadRecord) {
    FState = FState == TPosState::AfterLast ? TPosState::AfterLast : TPosState::BeforeFirst;
    return;
  }
  // The current record stays current: found again by its key in the new order.
  if (InNaturalOrder()) {
    LocateNatural(static_cast<uint32_t>(current), false);
  } else {
    LocateKey(KeyOf(FIndexNo, FCurRecord.data()), false);
  }
}

// ---------------------------------------------------------------------------------------------
// Change detection

void TDataCursor::SyncSeen() { FSeenSerial = FTable->ChangeSerial(); }

void TDataCursor::Resync() {
  LoadKeyDefinitions();
  if (!InNaturalOrder() && !FKeys[static_cast<size_t>(FIndexNo)]) {
    // The index went away under us (another user restructured the table).
    FIndexNo = kNaturalOrder;
    FIndexName.clear();
    FRangeActive = false;
  }
  ComputeRangeOrdinals();
  if (UsesVisibleSet()) RebuildVisibleSet();
  switch (FState) {
    case TPosState::BeforeFirst:
    case TPosState::AfterLast:
    case TPosState::None:
      break;
    case TPosState::OnRecord:
    case TPosState::Between: {
      // Back to the bookmark. The cursor's copy of the record stays as it was read, so that an
      // optimistic edit still notices what another writer changed.
      std::vector<uint8_t> copy = FCurRecord;
      const int32_t recNo = FCurRecNo;
      const int32_t autoInc = GetI32(copy.data() + kAutoIncOffset);
      std::vector<uint8_t> stored;
      const bool stillThere =
          recNo > 0 && ReadStored(recNo, stored) && GetI32(stored.data() + kAutoIncOffset) == autoInc;
      // Back to the place the cursor stood: its record number, or the key it was read with. A
      // record whose key another writer changed is not followed to its new place; the cursor
      // stays in its gap, so that moving on from there meets every record between the two
      // places exactly once (following it would skip them, or meet them twice).
      if (InNaturalOrder())
        LocateNatural(static_cast<uint32_t>(recNo), true);
      else
        LocateKey(FCurKey, true);
      if (stillThere && FState == TPosState::OnRecord && FCurRecNo == recNo) {
        FCurRecord = copy;
        FCurrentGone = false;
      } else {
        // Gone, or no longer visible: the cursor stands in its gap.
        FState = TPosState::Between;
        FCurRecNo = recNo;
        FCurRecord = copy;
        FCurrentGone = true;
      }
      break;
    }
  }
  SyncSeen();
}

void TDataCursor::Refresh() {
  CheckOpen();
  FTable->DiscardBuffers();
  TReadScope scope(*this);
}

void TDataCursor::FlushBuffers(bool flushOS) {
  CheckOpen();
  FTable->FlushBuffers(flushOS);
}

void TDataCursor::ReadLockTable() {
  CheckOpen();
  // A lock held already has checked the table (a transaction lock only once its first lock has:
  // a cursor kept open from before the transaction may hold what another user changed since).
  if (FHoldsTableReadLock || FTable->Exclusive() || FTable->HoldsReadLock() || FTable->HoldsWriteLock() ||
      FTable->ChangesExcluded())
    return;
  bool changed = FTable->SecondReadLock();
  FHoldsTableReadLock = true;
  if (changed || FSeenSerial != FTable->ChangeSerial()) Resync();
}

void TDataCursor::ReadUnlockTable() {
  CheckOpen();
  if (!FHoldsTableReadLock) return;
  FHoldsTableReadLock = false;
  FTable->SecondReadUnlock();
}

}  // namespace kura
