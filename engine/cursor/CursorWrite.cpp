// Appending, modifying and deleting records, record locks, and the cursor's position after a
// write.
//
// Every write runs under the table's write lock. Keys are checked against every index before
// any index is changed, so a key violation leaves the table as it was; a failure after the
// first index change undoes the index changes made so far before it propagates.
#include <climits>
#include <cstring>
#include <functional>

#include "engine/blob/BlobBuffer.h"
#include "engine/blob/CursorBlobs.h"
#include "engine/cursor/DataCursor.h"
#include "engine/index/IndexFile.h"
#include "engine/table/DataTable.h"
#include "engine/table/SessionSettings.h"
#include "engine/util/Bytes.h"

namespace kura {

namespace {

// Undo steps of a write, run in reverse when the write fails part-way. Steps that give back a
// lock are marked as such: they run even when the changes themselves must not be undone.
class TUndoList {
 public:
  void Add(std::function<void()> step, bool release = false) {
    if (FSteps.empty()) FSteps.reserve(4);
    FSteps.push_back({std::move(step), release});
  }
  void Run() noexcept {
    for (auto it = FSteps.rbegin(); it != FSteps.rend(); ++it) {
      try {
        it->Step();
      } catch (...) {
      }
    }
    FSteps.clear();
  }
  // Writing the change to disk failed: the table's caches were reloaded from its files, so
  // there is nothing left in memory to undo, only locks to give back.
  void KeepReleasesOnly() {
    std::erase_if(FSteps, [](const TStep &s) { return !s.Release; });
  }

 private:
  struct TStep {
    std::function<void()> Step;
    bool Release = false;
  };
  std::vector<TStep> FSteps;
};

// Writes a posted change through; when that fails the undo list keeps only its lock releases.
void PostChange(TDataTable &table, TUndoList &undo) {
  try {
    table.ChangePosted();
  } catch (...) {
    undo.KeepReleasesOnly();
    throw;
  }
}

}  // namespace

void TDataCursor::CheckWritable() const {
  CheckOpen();
  if (FOptions.ReadOnly || FTable->ReadOnly()) Raise(KURA_OSEACCES);
}

std::vector<uint8_t> TDataCursor::KeyOf(int indexNo, const uint8_t *storedRecord) const {
  return KeysOf(indexNo).BuildKey(storedRecord, FStoredSize);
}

void TDataCursor::KeyInto(int indexNo, const uint8_t *storedRecord, std::vector<uint8_t> &key) const {
  const TIndexKeyDefinition &keys = KeysOf(indexNo);
  key.resize(static_cast<size_t>(keys.KeyLength()));
  keys.BuildKey(storedRecord, FStoredSize, key.data());
}

std::vector<int> TDataCursor::WritableIndexes() const {
  std::vector<int> indexes;
  if (HasPrimaryKey()) indexes.push_back(kPrimaryIndex);
  const int secondaries = FIndex->Header().SecondaryCount;
  for (int i = 1; i <= secondaries; ++i) indexes.push_back(i);
  return indexes;
}

bool TDataCursor::StoredEquals(const uint8_t *stored, const uint8_t *buffer) const {
  if (std::memcmp(stored, buffer, FStoredSize) == 0) return true;
  if (FBlobFields.empty()) return false;
  // A Blob field of the buffer may hold the handle of a blob this cursor has open; such a field
  // is compared through the reference the blob was opened from.
  std::vector<uint8_t> copy(buffer, buffer + FStoredSize);
  for (const TBlobFieldInfo &field : FBlobFields) {
    std::span<uint8_t> record(copy.data(), copy.size());
    if (!BlobFieldFits(record, field)) continue;
    if (GetI32(copy.data() + field.NullOffset + 1) >= 0) continue;
    const TBlobBuffer *open = FBlobs ? FBlobs->BufferOf(record, field) : nullptr;
    if (!open) continue;
    const TBlobReference was = ReadBlobReference(std::span<const uint8_t>(stored, FStoredSize), field);
    if (was.FirstBlock != open->FirstBlock || was.ChangeNumber != open->ChangeNumber) return false;
    std::memcpy(copy.data() + field.NullOffset, stored + field.NullOffset, 1 + BlobReferenceSize);
  }
  return std::memcmp(stored, copy.data(), FStoredSize) == 0;
}

void TDataCursor::LockForEdit(int32_t recordNumber, bool keepLock) {
  (void)keepLock;
  if (FLockedRecNo == recordNumber) return;
  // Another cursor of this table is editing the record: refused at once.
  if (FTable->EditLockedRecords().count(recordNumber)) Raise(KURA_RECLOCKFAILED);
  if (FLockedRecNo != 0) UnlockEdit();
  FTable->LockRecord(recordNumber);
  FTable->EditLockedRecords().insert(recordNumber);
  FLockedRecNo = recordNumber;
}

void TDataCursor::UnlockEdit() {
  if (FLockedRecNo == 0 || !FTable) return;
  const int32_t n = FLockedRecNo;
  FLockedRecNo = 0;
  FTable->EditLockedRecords().erase(n);
  FTable->UnlockRecord(n);
}

void TDataCursor::CancelRecord(uint8_t *buffer) {
  CheckOpen();
  if (buffer && FBlobs) FBlobs->DiscardBlobs(std::span<uint8_t>(buffer, FBufferSize), FBlobFields);
  UnlockEdit();
  FRecordChanged = false;
}

void TDataCursor::WriteUnlockRecord(int32_t recordNumber) {
  CheckOpen();
  if (recordNumber == 0 || recordNumber == FLockedRecNo) UnlockEdit();
}

// ---------------------------------------------------------------------------------------------
// Position after a write

void TDataCursor::RepositionAfterWrite(int32_t recordNumber, const uint8_t *storedRecord, bool deleted) {
  (void)deleted;
  ComputeRangeOrdinals();
  if (InNaturalOrder())
    LocateNatural(static_cast<uint32_t>(recordNumber), false);
  else
    LocateKey(KeyOf(FIndexNo, storedRecord), false);
}

void TDataCursor::FollowWrite(int32_t recordNumber, const uint8_t *storedRecord, bool deleted, bool wasCurrent,
                              bool reposition) {
  UpdateMembership(recordNumber, storedRecord, deleted);
  if (reposition)
    RepositionAfterWrite(recordNumber, storedRecord, deleted);
  else
    StayAfterWrite(recordNumber, storedRecord, deleted, wasCurrent);
}

void TDataCursor::StayAfterWrite(int32_t recordNumber, const uint8_t *storedRecord, bool deleted, bool wasCurrent) {
  FRangeOrdinalsStale = true;
  if (FState != TPosState::OnRecord && FState != TPosState::Between) return;
  if (wasCurrent) {
    if (deleted) {
      // The cursor stands in the gap the record left; in index order the entry after the gap is
      // searched only when the cursor moves on from it.
      if (InNaturalOrder()) {
        LocateNatural(static_cast<uint32_t>(recordNumber), true);
      } else {
        KeyInto(FIndexNo, storedRecord, FCurKey);
        FPos = TIndexPosition{};
        FPosPending = true;
      }
      FCurRecNo = recordNumber;
      FCurrentGone = false;
      FState = TPosState::Between;
      return;
    }
    if (InNaturalOrder())
      LocateNatural(static_cast<uint32_t>(recordNumber), true);
    else
      LocateKey(KeyOf(FIndexNo, storedRecord), true);
    if (FState == TPosState::Between) {
      // Still the cursor's record, no longer visible in its order.
      FCurRecNo = recordNumber;
      FCurRecord.assign(FBufferSize, 0);
      std::memcpy(FCurRecord.data(), storedRecord, FStoredSize);
      FinishCalculated(FCurRecord.data());
      FCurrentGone = false;
    }
    return;
  }
  const std::vector<uint8_t> copy = FCurRecord;
  const int32_t recNo = FCurRecNo;
  const bool gone = FCurrentGone;
  const TPosState before = FState;
  if (InNaturalOrder())
    LocateNatural(static_cast<uint32_t>(recNo), true);
  else
    LocateKey(FCurKey, true);
  if (before == TPosState::Between) {
    FState = TPosState::Between;
    FCurRecNo = recNo;
    FCurRecord = copy;
    FCurrentGone = gone;
  }
}

// ---------------------------------------------------------------------------------------------
// Append

void TDataCursor::AppendRecord(uint8_t *buffer, bool reposition) {
  CheckWritable();
  ValidateRecord(buffer);
  TDataFile &data = FTable->DataFile();
  const bool changed = FTable->WriteLock();
  const bool noPrimaryKey = FTable->NoPrimaryKey();
  int32_t slot = 0;
  bool lockedSlot = false;
  TUndoList undo;
  std::vector<uint8_t> image(FStoredSize, 0);
  try {
    if (changed || FSeenSerial != FTable->ChangeSerial()) Resync();
    slot = data.SlotForNewRecord(noPrimaryKey);
    if (FTable->EditLockedRecords().count(slot)) Raise(KURA_RECLOCKFAILED);
    // A new slot under the transaction lock needs no record lock: it would be given back (at
    // the latest when the transaction ends) before any other writer could ask for it.
    lockedSlot = !FTable->NewSlotUncontended(slot);
    if (lockedSlot) {
      FTable->LockRecord(slot);
      // Released last when the write fails: undo steps run in reverse.
      undo.Add([this, slot] { FTable->UnlockRecord(slot); }, true);
    }
    const bool reused = slot <= data.SlotCount();
    std::vector<uint8_t> oldSystemKey;
    if (reused) {
      TRecord *r = data.GetRecord(slot);
      if (!r) Raise(KURA_FILECORRUPT);
      if (r->Image[0] != 1) {
        data.ReleaseRecord(r);
        Raise(KURA_FILECORRUPT);
      }
      oldSystemKey = KeyOf(kSystemRecordIndex, r->Image.data());
      data.ReleaseRecord(r);
    }
    int32_t autoInc;
    if (FOptions.SuppressAutoInc) {
      autoInc = GetI32(buffer + kAutoIncOffset);
    } else {
      const int32_t last = data.LastAutoIncValue();
      autoInc = last == INT32_MAX ? 1 : last + 1;
    }
    std::memcpy(image.data(), buffer, FStoredSize);
    image[0] = 0;
    PutI32(image.data() + 1, slot);
    PutI32(image.data() + kAutoIncOffset, autoInc);

    // Each index is searched once: the entry goes in where the uniqueness check found its
    // place. A key found in a later index takes the entries of the earlier ones out again
    // (the undo steps), so a rejected record leaves every index as it was.
    for (int indexNo : WritableIndexes()) {
      std::vector<uint8_t> key = KeyOf(indexNo, image.data());
      if (!Tree(indexNo).InsertUnique(key.data(), static_cast<uint32_t>(slot)))
        Raise(KURA_KEYVIOL, {}, IndexDisplayName(indexNo));
      undo.Add([this, indexNo, key = std::move(key), slot] { Tree(indexNo).Delete(key.data(), static_cast<uint32_t>(slot)); });
    }
    std::vector<uint8_t> systemKey = KeyOf(kSystemRecordIndex, image.data());
    if (FOptions.SuppressAutoInc && Tree(kSystemRecordIndex).KeyExists(systemKey.data()))
      Raise(KURA_KEYVIOL, {}, IndexDisplayName(kSystemRecordIndex));
    if (reused) {
      if (!Tree(kSystemRecordIndex)
               .Replace(oldSystemKey.data(), static_cast<uint32_t>(slot), systemKey.data(), static_cast<uint32_t>(slot)))
        Raise(KURA_INDEXCORRUPT);
      undo.Add([this, oldSystemKey, systemKey, slot] {
        Tree(kSystemRecordIndex)
            .Replace(systemKey.data(), static_cast<uint32_t>(slot), oldSystemKey.data(), static_cast<uint32_t>(slot));
      });
    } else {
      Tree(kSystemRecordIndex).Insert(systemKey.data(), static_cast<uint32_t>(slot));
      undo.Add([this, systemKey, slot] {
        Tree(kSystemRecordIndex).Delete(systemKey.data(), static_cast<uint32_t>(slot));
      });
    }

    if (FBlobs && !FBlobFields.empty())
      FBlobs->WriteBlobs(std::span<uint8_t>(buffer, FBufferSize), std::span<uint8_t>(image.data(), FStoredSize),
                         FBlobFields, [&data] { return data.NextBlobNumber(); });
    TRecord *r = data.AllocateRecord(noPrimaryKey, FOptions.SuppressAutoInc, autoInc);
    if (!r) Raise(KURA_KEYORRECDELETED);
    if (r->RecordNumber != slot) {
      data.ReleaseRecord(r);
      Raise(KURA_FILECORRUPT);
    }
    std::memcpy(r->Image.data() + kRecordPrefixSize, image.data() + kRecordPrefixSize,
                FStoredSize - kRecordPrefixSize);
    data.MarkRecordDirty(r);
    data.ReleaseRecord(r);
    FIndex->Pages().AddLiveRecords(1);
    FIndex->Pages().MarkHeaderDirty();
    std::memcpy(buffer, image.data(), kRecordPrefixSize);
    PostChange(*FTable, undo);
  } catch (...) {
    undo.Run();
    FTable->WriteUnlock();
    throw;
  }
  try {
    if (lockedSlot) FTable->UnlockRecord(slot);
    FollowWrite(slot, image.data(), false, false, reposition);
  } catch (...) {
    FTable->WriteUnlock();
    SyncSeen();
    throw;
  }
  FTable->WriteUnlock();
  SyncSeen();
}

// ---------------------------------------------------------------------------------------------
// Modify

void TDataCursor::ModifyRecord(uint8_t *buffer, bool unlock, bool reposition) {
  CheckWritable();
  ValidateRecord(buffer);
  if (FState != TPosState::OnRecord && !(FState == TPosState::Between && FCurrentGone)) Raise(KURA_NOCURRREC);
  TDataFile &data = FTable->DataFile();
  const bool pessimistic = FTable->Settings().LockProtocol == TLockProtocol::Pessimistic;
  // The record as this cursor read it.
  const std::vector<uint8_t> copy(FCurRecord.begin(), FCurRecord.begin() + static_cast<long>(FStoredSize));
  const bool changed = FTable->WriteLock();
  TUndoList undo;
  int32_t recNo = 0;
  std::vector<uint8_t> image(FStoredSize, 0);
  // Whether the tree of the cursor's order took a change of this record's key.
  bool orderChanged = true;
  try {
    if (changed || FSeenSerial != FTable->ChangeSerial()) Resync();
    recNo = FCurRecNo;
    std::vector<uint8_t> stored;
    const bool live = ReadStored(recNo, stored);
    if (!FTable->Exclusive() && FLockedRecNo != recNo) {
      if (FRecordChanged || !live || !StoredEquals(stored.data(), copy.data())) {
        FRecordChanged = true;
        Raise(KURA_KEYORRECDELETED);
      }
      LockForEdit(recNo, false);
      // Released last when the write fails: undo steps run in reverse.
      undo.Add([this] { UnlockEdit(); }, true);
    }
    if (!live) Raise(KURA_KEYORRECDELETED);
    const int32_t oldAutoInc = GetI32(stored.data() + kAutoIncOffset);
    const int32_t newAutoInc = FOptions.SuppressAutoInc ? GetI32(buffer + kAutoIncOffset) : oldAutoInc;
    std::memcpy(image.data(), buffer, FStoredSize);
    std::memcpy(image.data(), stored.data(), kAutoIncOffset);
    PutI32(image.data() + kAutoIncOffset, newAutoInc);

    struct TKeyChange {
      int IndexNo;
      std::vector<uint8_t> Old, New;
    };
    std::vector<TKeyChange> changes;
    std::vector<int> indexes = WritableIndexes();
    if (newAutoInc != oldAutoInc) indexes.push_back(kSystemRecordIndex);
    for (int indexNo : indexes) {
      TKeyChange c{indexNo, KeyOf(indexNo, stored.data()), KeyOf(indexNo, image.data())};
      if (c.Old == c.New) continue;
      if (Tree(indexNo).KeyExists(c.New.data())) Raise(KURA_KEYVIOL, {}, IndexDisplayName(indexNo));
      changes.push_back(std::move(c));
    }
    orderChanged = false;
    for (const TKeyChange &c : changes)
      if (c.IndexNo == FIndexNo) orderChanged = true;
    for (TKeyChange &c : changes) {
      if (!Tree(c.IndexNo).Replace(c.Old.data(), static_cast<uint32_t>(recNo), c.New.data(), static_cast<uint32_t>(recNo)))
        Raise(KURA_INDEXCORRUPT);
      undo.Add([this, c, recNo] {
        Tree(c.IndexNo).Replace(c.New.data(), static_cast<uint32_t>(recNo), c.Old.data(), static_cast<uint32_t>(recNo));
      });
    }
    if (FOptions.SuppressAutoInc && newAutoInc > data.LastAutoIncValue()) data.SetLastAutoIncValue(newAutoInc);
    if (FBlobs && !FBlobFields.empty())
      FBlobs->WriteBlobs(std::span<uint8_t>(buffer, FBufferSize), std::span<uint8_t>(image.data(), FStoredSize),
                         FBlobFields, [&data] { return data.NextBlobNumber(); });
    TRecord *r = data.GetRecord(recNo);
    if (!r) Raise(KURA_KEYORRECDELETED);
    std::memcpy(r->Image.data() + kAutoIncOffset, image.data() + kAutoIncOffset, FStoredSize - kAutoIncOffset);
    data.MarkRecordDirty(r);
    data.ReleaseRecord(r);
    if (!changes.empty()) FIndex->Pages().MarkHeaderDirty();
    std::memcpy(buffer, image.data(), kRecordPrefixSize);
    PostChange(*FTable, undo);
  } catch (...) {
    undo.Run();
    FTable->WriteUnlock();
    throw;
  }
  try {
    if (!pessimistic || unlock) UnlockEdit();
    FRecordChanged = false;
    if (!reposition && !orderChanged && FState == TPosState::OnRecord && !InNaturalOrder() && !FiltersInUse()) {
      // The record kept its key in the cursor's order and no other entry of that tree moved, so
      // the cursor's index position still names it (and the range's ordinals stay as they
      // were): only the record is read again, where a search of the tree would find the same
      // entry (every record is visible without filters, and an unchanged key stays inside any
      // range).
      ReadCurrent(static_cast<uint32_t>(recNo));
    } else {
      FollowWrite(recNo, image.data(), false, true, reposition);
    }
  } catch (...) {
    FTable->WriteUnlock();
    SyncSeen();
    throw;
  }
  FTable->WriteUnlock();
  SyncSeen();
}

// ---------------------------------------------------------------------------------------------
// Delete

void TDataCursor::DeleteRecord(const uint8_t *buffer, bool reposition) {
  CheckWritable();
  if (FState != TPosState::OnRecord && !(FState == TPosState::Between && FCurrentGone)) Raise(KURA_NOCURRREC);
  TDataFile &data = FTable->DataFile();
  // The record as the caller read it (the cursor's own copy may be read again below).
  std::vector<uint8_t> ownCopy;
  if (!buffer) ownCopy.assign(FCurRecord.begin(), FCurRecord.begin() + static_cast<long>(FStoredSize));
  const uint8_t *const asRead = buffer ? buffer : ownCopy.data();
  const bool changed = FTable->WriteLock();
  const bool noPrimaryKey = FTable->NoPrimaryKey();
  TUndoList undo;
  int32_t recNo = 0;
  std::vector<uint8_t> stored;
  try {
    if (changed || FSeenSerial != FTable->ChangeSerial()) Resync();
    recNo = FCurRecNo;
    const bool live = ReadStored(recNo, stored);
    if (FTable->EditLockedRecords().count(recNo)) {
      if (FLockedRecNo != recNo) Raise(KURA_RECLOCKFAILED);
    } else {
      if (!FTable->Exclusive() && (!live || !StoredEquals(stored.data(), asRead))) Raise(KURA_KEYORRECDELETED);
      LockForEdit(recNo, false);
      // Released last when the write fails: undo steps run in reverse.
      undo.Add([this] { UnlockEdit(); }, true);
    }
    if (!live) Raise(KURA_KEYORRECDELETED);
    for (int indexNo : WritableIndexes()) {
      std::vector<uint8_t> key = KeyOf(indexNo, stored.data());
      if (!Tree(indexNo).Delete(key.data(), static_cast<uint32_t>(recNo))) Raise(KURA_INDEXCORRUPT);
      undo.Add([this, indexNo, key = std::move(key), recNo] { Tree(indexNo).Insert(key.data(), static_cast<uint32_t>(recNo)); });
    }
    std::vector<uint8_t> systemKey = KeyOf(kSystemRecordIndex, stored.data());
    std::vector<uint8_t> deletedKey = systemKey;
    deletedKey[0] = 1;
    if (!Tree(kSystemRecordIndex)
             .Replace(systemKey.data(), static_cast<uint32_t>(recNo), deletedKey.data(), static_cast<uint32_t>(recNo)))
      Raise(KURA_INDEXCORRUPT);
    undo.Add([this, systemKey = std::move(systemKey), deletedKey = std::move(deletedKey), recNo] {
      Tree(kSystemRecordIndex)
          .Replace(deletedKey.data(), static_cast<uint32_t>(recNo), systemKey.data(), static_cast<uint32_t>(recNo));
    });
    if (FBlobs && !FBlobFields.empty())
      FBlobs->FreeRecordBlobs(std::span<const uint8_t>(stored.data(), FStoredSize), FBlobFields);
    data.FreeRecord(recNo, noPrimaryKey);
    FIndex->Pages().AddLiveRecords(-1);
    FIndex->Pages().MarkHeaderDirty();
    PostChange(*FTable, undo);
  } catch (...) {
    undo.Run();
    FTable->WriteUnlock();
    throw;
  }
  try {
    UnlockEdit();
    FRecordChanged = false;
    FollowWrite(recNo, stored.data(), true, true, reposition);
  } catch (...) {
    FTable->WriteUnlock();
    SyncSeen();
    throw;
  }
  FTable->WriteUnlock();
  SyncSeen();
}

}  // namespace kura
