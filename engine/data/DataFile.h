#pragma once
// The data file of a table (".DAT"): header, field descriptors and fixed-size record slots, read
// and written through a record cache.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/data/DataHeader.h"
#include "engine/data/FieldDescriptor.h"
#include "engine/data/RecordCache.h"
#include "engine/file/FileHandler.h"

namespace kura {

inline constexpr int32_t kMaxRecordNumber = 200000000;
inline constexpr int64_t kMaxDataFileSize = 4000000000LL;

// What the table owning a data file decides for it.
class TDataFileOwner {
 public:
  virtual ~TDataFileOwner() = default;
  // Before records are read from disk: take the read lock and check for changes as the session
  // requires. False when the table changed and the caller must re-synchronise.
  virtual bool BeforeDiskRead() = 0;
  // Releases what BeforeDiskRead took.
  virtual void AfterDiskRead() = 0;
  // True while nothing may be written (inside a transaction): dirty records stay cached.
  virtual bool HoldsWrites() const = 0;
  // Short reads are accepted for temporary files and inside transactions once the table has
  // been written in this session.
  virtual bool ShortReadsAllowed() const = 0;
  // Something was written to the table's files in this session.
  virtual void MarkWritten() = 0;
};

// Everything a new table's data file is made from.
struct TDataFileDefinition {
  std::vector<TFieldDescriptor> Fields;  // names, types, subtypes, sizes, scale, texts, flags
  int IndexDefinitionCount = 0;
  uint16_t LanguageId = 0;
  uint16_t SortId = 0;
  int32_t BlobBlockSize = 512;
  std::string Description;
  bool Encrypted = false;
  std::string Password;
  uint16_t UserMajorVersion = 0;
  uint16_t UserMinorVersion = 0;
};

// Reading direction of a record block.
enum TReadDirection : int { ReadForward = 1, ReadBackward = -1 };

class TDataFile : public TFileHandler {
 public:
  TDataFile();
  ~TDataFile() override;

  void SetOwner(TDataFileOwner *owner) { FOwner = owner; }
  // Names carried by the errors this file raises itself.
  void SetErrorNames(const std::string &table, const std::string &database);
  // Session buffer settings: capacity = min(bufferSize / record size, bufferCount).
  void SetCacheLimits(uint32_t dataBufferSize, uint32_t dataBufferCount);

  // Opens the file, reads and checks the header and descriptors.
  void OpenDataFile(const std::string &fileName, bool memory, bool exclusive, bool readOnly, bool temporary);
  // Writes dirty records and a dirty header (unless discarding), drops the cache, closes.
  void CloseDataFile(bool discard = false);
  // Every consistency check of the header, descriptors and file length.
  void Validate();
  // Checks the definition, initialises header and descriptors and writes the new file (which
  // stays open, exclusively).
  void CreateDataFile(const std::string &fileName, bool memory, bool temporary, const TDataFileDefinition &def);

  // Header access.
  const TDataHeader &Header() const { return FHeader; }
  uint16_t RecordSize() const { return FHeader.RecordSize(); }
  int FieldCount() const { return static_cast<int>(FFields.size()); }
  int BlobFieldCount() const { return FHeader.BlobFieldCount(); }
  int32_t BlobBlockSize() const { return FHeader.BlobBlockSize(); }
  uint16_t LanguageId() const { return FHeader.LanguageId(); }
  uint16_t SortId() const { return FHeader.SortId(); }
  uint16_t UserMajorVersion() const { return FHeader.UserMajorVersion(); }
  uint16_t UserMinorVersion() const { return FHeader.UserMinorVersion(); }
  bool Encrypted() const { return FHeader.Encrypted(); }
  std::string Description() const;
  std::string Password() const;
  int32_t LastAutoIncValue() const { return FHeader.LastAutoIncValue(); }
  void SetLastAutoIncValue(int32_t value);
  // LastAutoIncValue + 1 (2 147 483 647 is followed by 1), stored; header dirty.
  int32_t NextAutoIncValue();
  int32_t NextBlobNumber();
  int32_t SlotCount() const { return FHeader.NextRecordNumber() - 1; }
  int32_t ChangeCounter() const { return FHeader.ChangeCounter(); }
  // ChangeCounter as last read from or written to the file.
  int32_t DiskChangeCounter() const { return FDiskChangeCounter; }
  // A posted change of an exclusive table or inside a transaction: counter + 1 in memory.
  void CountChangeInMemory();
  bool HeaderDirty() const { return FHeaderDirty; }
  void MarkHeaderDirty() { FHeaderDirty = true; }

  // Descriptors by field number (1-based) or name (case-insensitive, trimmed; 0 = not found).
  const TFieldDescriptor &Field(int fieldNumber) const;
  const std::vector<TFieldDescriptor> &Fields() const { return FFields; }
  int FieldNumberByName(std::string_view name) const;
  void ReplaceFieldProperties(int fieldNumber, const std::string &name, const std::string &description,
                              bool required, const std::string &minValue, const std::string &maxValue,
                              const std::string &defaultValue);
  // Table-level properties (restructuring).
  void SetTableProperties(const std::string &description, const std::string &password, uint16_t userMajor,
                          uint16_t userMinor);

  // Change detection: re-reads the header; true (and the new header taken) when ChangeCounter
  // differs from the cached one.
  bool ReadHeaderChanged();
  // Replaces the cached header by the one on disk (rollback).
  void RereadHeader();
  // Increments ChangeCounter, stamps version and time, writes the header when dirty or forced.
  bool WriteHeader(bool force);
  bool WriteDescriptors();

  // Records. GetRecord pins the record for the caller; null means the table changed before the
  // read and the caller must re-synchronise. ReleaseRecord unpins.
  TRecord *GetRecord(int32_t recordNumber, TReadDirection direction = ReadForward, int count = 0);
  void ReleaseRecord(TRecord *record);
  // The image of an existing slot copied into out for a read-only pass, from the cache when the
  // record is there, otherwise from the block buffer without taking a cache entry (a scan does
  // not push out the records others use). False as GetRecord's null. A block read takes count
  // slots (0: the read-ahead).
  bool ReadRecordForScan(int32_t recordNumber, std::vector<uint8_t> &out, int count = 0);
  // The slots a walk over every slot (or a dense run of them) reads at a time: a quarter of a
  // megabyte, so that one system call brings many records, and so large that the read passes
  // the file's mapping by, which would keep every page the walk met as the process's memory.
  int ScanBlockRecords() const { return std::max(1, (256 * 1024) / std::max<int>(1, RecordSize())); }
  void MarkRecordDirty(TRecord *record) { FCache.MarkDirty(record); }
  // Chooses a slot (a reused free slot, or a new one at the end), returns its pinned,
  // initialised record image: zeroed, own number, and the next auto-increment value unless
  // suppressed (then autoIncValue is kept and LastAutoIncValue raised to it).
  TRecord *AllocateRecord(bool noPrimaryKey, bool suppressAutoInc = false, int32_t autoIncValue = 0);
  // The slot the next allocation would use.
  int32_t SlotForNewRecord(bool noPrimaryKey) const;
  // Marks the slot deleted and links it into the free list.
  void FreeRecord(int32_t recordNumber, bool noPrimaryKey);
  // Dirty, unpinned records in runs of consecutive numbers, one write each.
  bool WriteDirtyRecords(bool includePinned = false);
  // Records (pinned ones included), header (when dirty or forced) and descriptors (when dirty);
  // flushes when asked and something was written. True when anything was written.
  bool WriteChanges(bool forceHeader, bool flushOS);
  // Forgets every cached record (dirty ones are lost: rollback, change detection).
  void DropCache();
  void TrimCache();
  size_t CachedRecordCount() const { return FCache.Count(); }
  size_t CacheCapacity() const { return FCache.Capacity(); }
  int ReadAheadCount() const { return FReadAheadCount; }
  // Cuts the file after the descriptors and resets the header.
  void Empty(bool flushOS);

  // Byte-range locks on the data file.
  bool LockRecord(int32_t recordNumber);
  bool UnlockRecord(int32_t recordNumber);
  // Record locks first..last, all held by the caller, given back with one call.
  bool UnlockRecordRun(int32_t first, int32_t last);
  // Every record lock in first..last with one call, when the process holds exactly held record
  // locks there (all the caller's); false, with nothing released, otherwise.
  bool UnlockRecordSpan(int32_t first, int32_t last, size_t held, bool &ok);
  bool UnlockAllRecords();
  // Every record lock byte this process does not hold yet, taken as few ranges (all or none),
  // when the process holds exactly held record locks (all the caller's); UncoverRecords gives
  // one of those ranges back but for the locks of the records in keep.
  bool CoverRecords(size_t held, std::vector<std::pair<uint64_t, uint64_t>> &taken);
  bool UncoverRecords(const std::pair<uint64_t, uint64_t> &range, const std::vector<int32_t> &keep);
  bool TakeWriteSemaphore();
  bool ReleaseWriteSemaphore();

  // Tests use this to simulate a table close to its slot limit.
  void SetNextRecordNumberForTest(int32_t next) { FHeader.SetNextRecordNumber(next); }

  [[noreturn]] void RaiseTable(uint16_t code, const std::string &field = std::string()) const;

 protected:
  bool ShortReadAllowed() const override;

 private:
  int64_t DescriptorsEnd() const { return static_cast<int64_t>(kDataHeaderSize) + kFieldDescriptorSize * FFields.size(); }
  int64_t SlotOffset(int32_t n) const { return DescriptorsEnd() + static_cast<int64_t>(n - 1) * RecordSize(); }
  void CheckLayout(const TDataHeader &header, const std::vector<TFieldDescriptor> &fields) const;
  void ReadDescriptors();
  TRecord *NewCacheEntry();
  void LoadBlock(int32_t n, TReadDirection direction, int count);
  // Reads the run of slots around n that a block read covers into the block buffer.
  void FillBlockBuffer(int32_t n, TReadDirection direction, int count);
  bool BlockBufferHolds(int32_t n) const { return n >= FBlockFirst && n < FBlockFirst + FBlockCount; }
  // Copies slot n's image from the block buffer (it holds n) into the record.
  void CopyFromBlockBuffer(int32_t n, TRecord *record);
  void ForgetBlockBuffer() { FBlockCount = 0; }
  void ResetState();
  void MarkWritten();

  TDataFileOwner *FOwner = nullptr;
  std::string FTableName, FDatabaseName;
  TDataHeader FHeader;
  std::vector<TFieldDescriptor> FFields;
  bool FHeaderDirty = false;
  bool FDescriptorsDirty = false;
  // ChangeCounter as last read from or written to the file. Changes counted in memory
  // (exclusive tables, transactions) must not look like another user's change.
  int32_t FDiskChangeCounter = 0;
  int FReadAheadCount = 1;
  uint32_t FDataBufferSize = 16384;
  uint32_t FDataBufferCount = 8192;
  TRecordCache FCache;
  size_t FConfiguredCapacity = 1;
  TRecordStack FPool;
  // The slots of the last block read, as on disk (scrambled when the table is encrypted): a
  // scan takes its records from here one by one instead of filling the cache with a whole
  // block at every read. Forgotten whenever records are written or the cache is dropped.
  std::vector<uint8_t> FBlock;
  int32_t FBlockFirst = 0;
  int32_t FBlockCount = 0;
  std::vector<TRecord *> FOrphans;  // pinned records dropped from the cache
  bool FWritten = false;
};

}  // namespace kura
