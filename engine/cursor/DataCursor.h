#pragma once
// One user's view of one table: a position in index or natural order, record reading into the
// caller's buffer, key searches and ranges, filters, and appending, modifying and deleting
// records under the table's locks with change detection.
//
// The record buffer exchanged with callers is the stored record image (the 9-byte prefix and
// the fields with their null-indicator bytes), followed by one indicator byte and data area per
// calculated field of a projection. RecordBufferSize() gives its length.
//
// Positions: in index order the cursor stands on a leaf entry of the current index; in natural
// order on a RecordNumber of the visible-record set. After the current record vanished (deleted
// by this cursor without repositioning, or by another user) the cursor stands "between"
// records: moving next gives the record after the gap, moving prior the one before it.
// A cursor put on a record by its number, or left in the gap of a record it deleted, knows the
// record and its key but finds its leaf entry only when something needs it (moving on, the
// sequence number): a change that leaves the record's keys in place needs no index search.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/blob/BlobReference.h"
#include "engine/cursor/CursorFilter.h"
#include "engine/cursor/RecordsBitmap.h"
#include "engine/cursor/RestructureTypes.h"
#include "engine/data/Bcd.h"
#include "engine/data/DataFile.h"
#include "engine/data/FieldDescriptor.h"
#include "engine/errors/EngineError.h"
#include "engine/index/IndexDefinition.h"
#include "engine/index/IndexKey.h"
#include "engine/index/IndexTree.h"

namespace kura {

class TCursorBlobs;
class TDataDirectory;
class TDataTable;
class TIndexFile;
class TLossReporter;

inline constexpr int kNaturalOrder = 255;
inline constexpr size_t kMaxCursorFilters = 64;

struct TCursorOptions {
  bool Exclusive = false;
  bool ReadOnly = false;
  bool InMemory = false;
  bool Temporary = false;
  bool NaturalOrder = false;     // open without an index
  bool SuppressAutoInc = false;  // the caller supplies the AutoInc values
};

// One entry of a projection (a live query result's columns).
struct TProjectionField {
  TFieldDescriptor Field;  // name, type, subtype, sizes, texts; Calculated != 0 for a calculated field
  int SourceField = 0;     // field number in the table for a source field
  std::string Origin;      // "table.field", up to 100 characters
  std::string Database;    // the directory path, up to 100 characters
};

// What the dataset layer reports for a column of the catalogue.
struct TCatalogueEntry {
  int SourceField = 0;  // 0 for a calculated field
  std::string Origin;
  std::string Database;
};

class TDataCursor {
 public:
  TDataCursor(TDataDirectory *directory, std::string tableName);
  ~TDataCursor();
  TDataCursor(const TDataCursor &) = delete;
  TDataCursor &operator=(const TDataCursor &) = delete;

  // ---- Options (only while closed: KURA_TABLEOPEN otherwise) -----------------------------
  const TCursorOptions &Options() const { return FOptions; }
  void SetOptions(const TCursorOptions &options);
  void SetTableName(const std::string &name);
  const std::string &TableName() const { return FTableName; }
  // May be changed at any time.
  void SuppressAutoInc(bool suppress) { FOptions.SuppressAutoInc = suppress; }
  // Asked when the table's password is missing; true means "try again". Without one the
  // session's callback is asked.
  std::function<bool()> PasswordCallback;

  // ---- Open and close ---------------------------------------------------------------------
  void OpenCursor();
  void CloseCursor();
  bool IsOpen() const { return FOpen; }
  TDataTable *Table() const { return FTable; }
  TDataDirectory *Directory() const { return FDirectory; }

  // ---- Catalogue ----------------------------------------------------------------------------
  const std::vector<TFieldDescriptor> &Fields() const { return FFields; }
  const std::vector<TCatalogueEntry> &Catalogue() const { return FCatalogue; }
  int FieldCount() const { return static_cast<int>(FFields.size()); }
  // Field n (1-based) of the catalogue; KURA_OUTOFRANGE for an unknown number.
  const TFieldDescriptor &Field(int fieldNumber) const;
  // Number of a field by name (trimmed, case-insensitive); KURA_OUTOFRANGE when unknown.
  int FieldNumber(const std::string &name) const;
  size_t RecordBufferSize() const { return FBufferSize; }
  size_t StoredRecordSize() const { return FStoredSize; }
  int BlobFieldCount() const { return FBlobFieldCount; }
  uint16_t LanguageId() const;
  uint16_t SortId() const;
  // Replaces the catalogue: source fields keep their stored offsets (and may be renamed);
  // calculated fields get an indicator byte and data area after the stored record. An empty
  // list restores the table's own fields.
  void SetProjection(const std::vector<TProjectionField> &fields);
  // Evaluates the calculated fields into a record buffer (called whenever a record is read
  // into a buffer). Installed by the query engine together with a projection.
  std::function<void(TDataCursor &cursor, uint8_t *record)> CalculateFields;

  // ---- Order --------------------------------------------------------------------------------
  // Selects the index with that name (case-insensitive; "" = primary index); the current
  // record stays current. KURA_INVALIDINDEXNAME for an unknown name.
  void SetIndexName(const std::string &name);
  // Selects an index by number (0 primary, 1-30 secondary, 31 system record index,
  // 255 natural order).
  void SetIndexNo(int indexNo);
  int IndexNo() const { return FIndexNo; }
  const std::string &IndexName() const { return FIndexName; }
  bool InNaturalOrder() const { return FIndexNo == kNaturalOrder; }
  int KeyLength() const;
  // Key definition of the current index (index order only).
  const TIndexKeyDefinition &CurrentKeys() const;
  // Key definition of any index of the table (0-31).
  const TIndexKeyDefinition &KeysOf(int indexNo) const;
  // The B+-tree of an index of the table (0-31), for walking key ranges (filters answered from
  // an index). Valid until the table changes.
  TIndexTree IndexTree(int indexNo) const { return Tree(indexNo); }
  // Names of the table's indexes: [0] primary ("" when the table has none), then secondaries.
  std::vector<std::string> IndexNames() const;
  bool HasPrimaryKey() const;
  TIndexFile *IndexFile() const { return FIndex; }

  // ---- Moving and reading -------------------------------------------------------------------
  void SetToBegin();
  void SetToEnd();
  // KURA_NONE, or KURA_EOF / KURA_BOF at the end (buffer cleared). buffer may be null.
  uint16_t GetNextRecord(uint8_t *buffer);
  uint16_t GetPriorRecord(uint8_t *buffer);
  // KURA_NONE, KURA_NOCURRREC, KURA_BOF, KURA_EOF, or KURA_KEYORRECDELETED when the current
  // record is gone (the buffer then keeps the copy the cursor last read). With lockRecord:
  // pessimistic locking locks the record and compares the caller's buffer with the stored
  // record (KURA_KEYORRECDELETED raised on a difference); optimistic locking only compares.
  uint16_t GetCurRecord(uint8_t *buffer, bool lockRecord = false);
  // Goes to the visible record with that 1-based sequence number; true when reached exactly.
  bool SetToRecNo(int64_t position);
  std::vector<uint8_t> GetBookmark() const;
  void SetToBookmark(const std::vector<uint8_t> &bookmark);
  // Goes to the live record in that slot and reads it into buffer (may be null); false when the
  // slot holds no live record (the cursor stays where it was) or the record is outside the
  // cursor's range or filters (the cursor then stands where a search for its key ends).
  // readAhead as for ReadRecordInto (0: the data file's block, for walks in slot order).
  bool SetToRecordNumber(int32_t recordNumber, uint8_t *buffer, int readAhead = 1);
  // Goes to the record another cursor on the same table stands on.
  uint16_t SetToCursor(TDataCursor &other);
  // Searches the current index. `keyOrRecord` is a record buffer (isKey false) or a key of
  // the current index. fieldCount 0 means all key fields (none when a partial length is given:
  // the partial field is the one after the compared fields). Not available in natural order.
  bool Find(const uint8_t *keyOrRecord, bool isKey, int fieldCount, int partialLength, bool nearest,
            uint8_t *buffer);
  // Limits the cursor to the keys between start and end (index order only).
  void SetRange(const uint8_t *start, const uint8_t *end, bool isKey, int fieldCount, int partialLength,
                bool startExclusive = false, bool endExclusive = false);
  void ResetRange();
  bool RangeActive() const { return FRangeActive; }

  bool AtBeginning() const { return FState == TPosState::BeforeFirst || FState == TPosState::None; }
  bool AtEnd() const { return FState == TPosState::AfterLast || FState == TPosState::None; }
  bool OnRecord() const { return FState == TPosState::OnRecord; }
  int32_t CurrentRecordNumber() const { return FCurRecNo; }
  // The cursor's own copy of the current record (RecordBufferSize() bytes).
  const std::vector<uint8_t> &CurrentRecord() const { return FCurRecord; }

  int64_t RecordCount();
  // 0 when there is no current record.
  int64_t SequenceNumber();

  // ---- Filters ------------------------------------------------------------------------------
  // Attaches a filter (inactive); KURA_INTERNALLIMIT for a 65th. endGroup false inserts it
  // before the first filter of the end group (Filter text and Locate filters).
  TCursorFilter *AddFilter(std::unique_ptr<TCursorFilter> filter, bool endGroup = true);
  TCursorFilter *AddCallbackFilter(TCallbackFilter::TCallback callback);
  // KURA_NOSUCHFILTER for a filter not attached to this cursor.
  void ActivateFilter(TCursorFilter *filter);
  void DeactivateFilter(TCursorFilter *filter);
  void DropFilter(TCursorFilter *filter);
  size_t FilterCount() const { return FFilters.size(); }
  bool FiltersInUse() const;
  // The visible-record set (meaningful while filters are in use or in natural order).
  const TRecordsBitmap &VisibleRecords() const { return FVisible; }
  // The live records within the current range (all live records without a range).
  TRecordsBitmap LiveRecordsInRange();
  // Reads a stored record into a buffer of this cursor's layout (calculated fields included);
  // false when the slot holds no live record. For filters.
  bool ReadRecordInto(int32_t recordNumber, uint8_t *buffer, int readAhead = 1);
  // Number of stored records this cursor has read so far (moving, searching and filtering).
  uint64_t RecordReads() const { return FRecordReads; }

  // ---- Writing ------------------------------------------------------------------------------
  void AppendRecord(uint8_t *buffer, bool reposition = true);
  void ModifyRecord(uint8_t *buffer, bool unlock = true, bool reposition = true);
  // buffer: the record as the caller read it (null: the cursor's own copy).
  void DeleteRecord(const uint8_t *buffer, bool reposition = true);
  // Gives up an edit: releases the edit lock and clears the record-changed flag; with the
  // record buffer, the unposted changes of its blobs are dropped too.
  void CancelRecord(uint8_t *buffer = nullptr);
  // Releases this cursor's edit lock (0 = the current record).
  void WriteUnlockRecord(int32_t recordNumber = 0);
  int32_t EditLockedRecord() const { return FLockedRecNo; }
  bool RecordChangedFlag() const { return FRecordChanged; }

  // ---- Blobs (fields by catalogue number; KURA_NOTABLOB for a field that is not a Blob) ------
  // Opens the blob of a field in a record buffer and returns its size; the buffer then holds
  // the blob's handle until it is freed or the record is posted.
  uint32_t OpenBlob(uint8_t *buffer, int fieldNumber);
  void FreeBlob(uint8_t *buffer, int fieldNumber);
  uint32_t GetBlob(const uint8_t *buffer, int fieldNumber, uint32_t offset, uint32_t length, uint8_t *dest);
  void PutBlob(uint8_t *buffer, int fieldNumber, uint32_t offset, uint32_t length, const uint8_t *source);
  void TruncateBlob(uint8_t *buffer, int fieldNumber, uint32_t length);
  uint32_t GetBlobSize(const uint8_t *buffer, int fieldNumber);
  size_t OpenBlobCount() const;

  // ---- Table-wide ---------------------------------------------------------------------------
  void ReadLockTable();
  void ReadUnlockTable();
  void Refresh();
  void FlushBuffers(bool flushOS = false);

  // Table-level operations. CreateTable works on the cursor's table name while the cursor is
  // closed and leaves it closed; KURA_TABLEEXISTS unless overwrite.
  void CreateTable(const TDataFileDefinition &definition, const std::vector<TIndexDefinition> &indexes,
                   bool overwrite = false);
  void DeleteTable();
  void RenameTable(const std::string &newName);
  // These need the cursor opened exclusively (KURA_NEEDEXCLACCESS).
  void EmptyTable();
  // Adds a secondary index and indexes the existing records (a record whose key already exists
  // in a new unique index is deleted). Returns the new index number.
  // With refuseDuplicates, equal keys in a new unique index fail with KURA_KEYVIOL and leave the
  // table without the index and with every record; otherwise the later records are deleted.
  int AddSecondaryIndex(const TIndexDefinition &definition, bool refuseDuplicates = false);
  void DeleteIndex(const std::string &name);
  // Brings the table to a new structure with the least work that reaches it: only descriptors
  // and table properties rewritten; changed indexes rebuilt in place (index file backed up to
  // ".IBK" and restored when cancelled); or every record copied into a new table that then
  // takes the old one's place (old files kept as ".DBK", ".IBK", ".BBK" unless NoBackup).
  // Losses go to DataLossCallback. True when done, false when the callback cancelled it (the
  // table then stays as it was). The cursor is left open on the table, before the first record;
  // a full rebuild reopens it, dropping its filters and projection.
  bool RestructureTable(const TRestructureDefinition &definition);
  TRestructureLevel LastRestructureLevel() const { return FLastRestructureLevel; }
  // Asked about every value or record a restructure cannot carry over; none = always go on.
  TDataLossCallback DataLossCallback;
  // Progress of loops over the records (adding an index, restructuring).
  TProgressCallback ProgressCallback;
  const TDataHeader &GetDataHeader() const;

  // ---- Records and fields -------------------------------------------------------------------
  // Zeroes the buffer and puts every field's default value.
  void InitRecord(uint8_t *buffer) const;
  // Required, minimum and maximum checks (KURA_REQDERR, KURA_MINVALERR, KURA_MAXVALERR).
  void ValidateRecord(const uint8_t *buffer) const;
  bool IsFieldNull(int fieldNumber, const uint8_t *buffer) const;
  void SetFieldNull(int fieldNumber, uint8_t *buffer) const;
  std::string GetString(int fieldNumber, const uint8_t *buffer) const;
  void SetString(int fieldNumber, uint8_t *buffer, const std::string &text) const;
  int64_t GetInteger(int fieldNumber, const uint8_t *buffer) const;
  void SetInteger(int fieldNumber, uint8_t *buffer, int64_t value) const;
  double GetFloat(int fieldNumber, const uint8_t *buffer) const;
  void SetFloat(int fieldNumber, uint8_t *buffer, double value) const;
  TBcd GetBcd(int fieldNumber, const uint8_t *buffer) const;
  void SetBcd(int fieldNumber, uint8_t *buffer, const TBcd &value) const;
  std::vector<uint8_t> GetBytes(int fieldNumber, const uint8_t *buffer) const;
  void SetBytes(int fieldNumber, uint8_t *buffer, const std::vector<uint8_t> &bytes) const;
  std::vector<uint8_t> NewRecordBuffer() const { return std::vector<uint8_t>(FBufferSize, 0); }

  [[noreturn]] void Raise(uint16_t code, const std::string &field = {}, const std::string &index = {},
                          const std::string &message = {}) const;

 private:
  enum class TPosState { BeforeFirst, OnRecord, Between, AfterLast, None };
  class TReadScope;
  friend class TReadScope;

  // Open/close helpers.
  void CheckOpen() const;
  void CheckClosed() const;
  void CheckPassword();
  void BuildCatalogue();
  void LoadKeyDefinitions();
  void RebuildSystemIndexIfNeeded();
  void ReleaseEverything();

  // Order and position.
  TIndexTree Tree(int indexNo) const;
  TIndexTree CurrentTree() const { return Tree(FIndexNo); }
  bool UsesVisibleSet() const { return InNaturalOrder() || FiltersInUse(); }
  // The ordinals of the range's first and last entries in the current tree; a change marks them
  // stale (they are taken again when next asked for), other moves compute them at once.
  void ComputeRangeOrdinals() const;
  void TakeRangeOrdinals() const;
  int64_t RangeFirst() const {
    if (FRangeOrdinalsStale) ComputeRangeOrdinals();
    return FRangeFirstOrdinal;
  }
  int64_t RangeLast() const {
    if (FRangeOrdinalsStale) ComputeRangeOrdinals();
    return FRangeLastOrdinal;
  }
  bool OrdinalInRange(int64_t ordinal) const;
  bool KeyInRange(const uint8_t *key) const;
  bool Visible(uint32_t recordNumber) const { return !UsesVisibleSet() || FVisible.Test(recordNumber); }
  // Moves from pos in a direction to the first entry that lies in the range and is visible.
  bool SettleIndex(TIndexPosition &pos, bool forward);
  bool MoveIndex(bool forward);
  bool MoveNatural(bool forward);
  // Takes the entry at pos as the current record (reads it).
  void TakeIndexEntry(const TIndexPosition &pos);
  void TakeNaturalRecord(uint32_t recordNumber, TReadDirection direction = ReadForward, int readAhead = 1);
  // Reads a live record into the cursor's copy; KURA_INDEXCORRUPT when an index names a slot
  // that holds none.
  void ReadCurrent(uint32_t recordNumber, TReadDirection direction = ReadForward, int readAhead = 1);
  // The stored image of a live record; false when the slot holds none. Records are read one at
  // a time (index order visits slots in no particular order) unless a read-ahead count is given
  // (0: the data file's block) for walks in slot order.
  bool ReadStored(int32_t recordNumber, std::vector<uint8_t> &image, TReadDirection direction = ReadForward,
                  int readAhead = 1);
  void CopyOut(uint8_t *buffer) const;
  void ClearCurrent();
  // Goes to a key (index order): first visible entry at or after it; exact tells whether it
  // is the entry with that key.
  void LocateKey(const std::vector<uint8_t> &key, bool keepGap);
  void LocateNatural(uint32_t recordNumber, bool keepGap);
  // Finds the leaf entry of a position known only by record and key (FPosPending).
  void ResolvePosition();
  // After another cursor or process changed the table: ranges and visible set recomputed,
  // back to the bookmark.
  void Resync();
  void SyncSeen();
  void RebuildVisibleSet();
  bool PassesFilters(const uint8_t *record, bool checkRange);
  void FinishCalculated(uint8_t *buffer) const;

  // Restructuring (CursorRestructure*.cpp).
  void ApplyNewProperties(const TRestructureDefinition &definition, const std::vector<TFieldDescriptor> &fields,
                          const TIndexHeader &wanted);
  bool RebuildChangedIndexes(const TRestructureDefinition &definition, const std::vector<TFieldDescriptor> &fields,
                             const TIndexHeader &wanted, TLossReporter &losses);
  bool CopyIntoNewTable(const TRestructureDefinition &definition, TLossReporter &losses);
  void ResetAfterRestructure();
  // Deletes a live record while indexes are rebuilt: its keys leave the listed indexes, its
  // system record index key is marked deleted, its blobs and its slot are freed.
  void DeleteStoredRecord(int32_t recordNumber, const std::vector<uint8_t> &stored, const std::vector<int> &indexes);
  void ReportProgress(int &lastReported, int64_t done, int64_t total);

  // Writing helpers.
  void CheckWritable() const;
  std::vector<uint8_t> KeyOf(int indexNo, const uint8_t *storedRecord) const;
  // The same built into key, which keeps its room from one record to the next.
  void KeyInto(int indexNo, const uint8_t *storedRecord, std::vector<uint8_t> &key) const;
  std::vector<int> WritableIndexes() const;
  void LockForEdit(int32_t recordNumber, bool keepLock);
  void UnlockEdit();
  void RepositionAfterWrite(int32_t recordNumber, const uint8_t *storedRecord, bool deleted);
  void StayAfterWrite(int32_t recordNumber, const uint8_t *storedRecord, bool deleted, bool wasCurrent);
  // The visible set and the position after a posted write: on the written record with
  // reposition, else where the cursor stood.
  void FollowWrite(int32_t recordNumber, const uint8_t *storedRecord, bool deleted, bool wasCurrent, bool reposition);
  void UpdateMembership(int32_t recordNumber, const uint8_t *storedRecord, bool deleted);
  bool StoredEquals(const uint8_t *stored, const uint8_t *buffer) const;
  std::string IndexDisplayName(int indexNo) const;
  const TBlobFieldInfo &BlobField(int fieldNumber) const;
  TCursorBlobs &Blobs() const;
  const TFieldDescriptor &CheckedField(int fieldNumber) const;

  TDataDirectory *FDirectory;
  std::string FTableName;
  TCursorOptions FOptions;
  bool FOpen = false;
  TDataTable *FTable = nullptr;
  TIndexFile *FIndex = nullptr;

  // Catalogue.
  std::vector<TFieldDescriptor> FFields;
  std::vector<TCatalogueEntry> FCatalogue;
  std::vector<TFieldDescriptor> FTableFields;
  size_t FStoredSize = 0;
  size_t FBufferSize = 0;
  int FBlobFieldCount = 0;
  bool FProjected = false;

  // Order.
  int FIndexNo = 0;
  int FRequestedIndex = 0;  // the index asked for (0 stays asked for when the table has no key)
  std::string FIndexName;
  std::array<std::unique_ptr<TIndexKeyDefinition>, 32> FKeys;
  int32_t FKeysSerial = -1;

  // Position.
  TPosState FState = TPosState::BeforeFirst;
  TIndexPosition FPos;  // index order: the current entry (Between: the entry after the gap)
  bool FPosPending = false;  // FPos not yet searched: FCurKey and FCurRecNo name the place
  std::vector<uint8_t> FCurKey;
  int32_t FCurRecNo = 0;
  std::vector<uint8_t> FCurRecord;
  // Scratch for a stored image read on the way into a record buffer.
  std::vector<uint8_t> FReadImage;
  bool FCurrentGone = false;

  // Range.
  bool FRangeActive = false;
  std::vector<uint8_t> FRangeStart, FRangeEnd;
  int FRangeStartLength = 0, FRangeEndLength = 0;
  bool FRangeStartExclusive = false, FRangeEndExclusive = false;
  mutable int64_t FRangeFirstOrdinal = 1, FRangeLastOrdinal = 0;
  mutable bool FRangeOrdinalsStale = false;

  // Filters and the visible-record set.
  std::vector<std::unique_ptr<TCursorFilter>> FFilters;
  TRecordsBitmap FVisible;

  // Blobs: the table's Blob fields (stored layout) and the blobs this cursor has open.
  std::vector<TBlobFieldInfo> FBlobFields;
  std::unique_ptr<TCursorBlobs> FBlobs;

  // Locks and change detection.
  int32_t FLockedRecNo = 0;
  bool FRecordChanged = false;
  uint64_t FSeenSerial = 0;
  uint64_t FRecordReads = 0;
  bool FHoldsTableReadLock = false;
  TRestructureLevel FLastRestructureLevel = TRestructureLevel::PropertiesOnly;
};

}  // namespace kura
