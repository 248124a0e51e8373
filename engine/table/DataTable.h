#pragma once
// One open table of a directory, shared by every cursor of the directory that uses it: its
// files, its cross-process locks, its change detection and its transaction state.
//
// Locking between processes uses the byte ranges of the data, index and blob files:
//   - read lock: one random byte of the index file's (and blob file's) lock range;
//   - write lock: the data file's write semaphore, then the whole index and blob ranges;
//   - transaction lock: the write semaphore, held from start to commit or rollback;
//   - record lock: the record's byte in the data file.
// Tables opened exclusively (and tables made read-only by their files) skip all of this.
// While a table holds the transaction lock and has checked for changes under it, no other
// process can write it: its read locks and its write locks inside the transaction then take no
// bytes and make no checks (nothing reaches the files before the commit, whose write lock is a
// full one), and slots appended under it hold no record byte unless the lock outlives it.
//
// Everything a shared table writes while it holds the write lock goes to its files through the
// post journal (PostJournal.h), so a writer that dies half-way leaves either its whole change or
// none of it; the next lock taken on the table completes or drops what the dead writer left.
#include <cstdint>
#include <memory>
#include <string>

#include "engine/data/DataFile.h"
#include "engine/table/PostJournal.h"
#include "engine/table/RecordNumberSet.h"
#include "engine/table/TableSideFile.h"

namespace kura {

class TDataDirectory;
struct TSessionSettings;

// The record-number sets a table keeps (records with operating-system locks, records locked
// for editing by a cursor, records whose unlock waits for the end of the transaction).
using TRecordSet = TRecordNumberSet;

class TDataTable : public TDataFileOwner {
 public:
  TDataTable(TDataDirectory *directory, std::string name, bool inMemory);
  ~TDataTable() override;
  TDataTable(const TDataTable &) = delete;
  TDataTable &operator=(const TDataTable &) = delete;

  // Files.
  void OpenFiles();
  void CloseFiles();
  void CreateFiles(const TDataFileDefinition &definition, const std::vector<TIndexDefinition> &indexes = {});
  void DeleteFiles();
  void RenameFiles(const std::string &newName);
  // Data file truncated, indexes emptied, blob file reset.
  void Empty();
  // Writes what is dirty (records, headers, descriptors, index pages, blob blocks); flushes the
  // operating-system buffers when asked or when the session forces it. Nothing is written
  // inside a transaction.
  void FlushBuffers(bool flushOS = false);
  // A table opened alone: from now on everything it writes is gathered and reaches the files as
  // one unit at the next flush or at the close (index and structure changes use it, so that a
  // crash half-way leaves the table as it was).
  void GatherExclusiveChanges();
  // Drops every cached buffer and re-reads the headers.
  void DiscardBuffers();
  // Under a read or write lock: re-reads the headers and drops what another user changed.
  bool CheckForChanges();
  // After a posted change: write through (shared table) or count the change in memory
  // (exclusive table, transaction).
  void ChangePosted();

  // Locks.
  void LockRecord(int32_t recordNumber);
  void UnlockRecord(int32_t recordNumber);
  // Each returns whether the change check found a change.
  bool ReadLock();
  void ReadUnlock();
  bool SecondReadLock();
  void SecondReadUnlock();
  bool WriteLock();
  void WriteUnlock();
  void TransactionLock();
  void TransactionUnlock();

  // Transactions.
  void StartTransaction();
  void CommitTransaction(bool flushOS);
  void RollbackTransaction();
  // A commit over several tables (the directory's): every table is prepared (write lock
  // taken, changes gathered), then each journals its unit naming the transaction, the
  // transaction's commit record is written, and each applies its unit; FinishCommit ends the
  // transaction in every case. A unit that fails before the record drops the whole
  // transaction: CancelCommitUnit in every table.
  void PrepareCommit(bool flushOS);
  void AbandonCommit() noexcept;
  bool WriteCommitUnit(const TGroupTag &group);
  void CancelCommitUnit() noexcept;
  void ApplyCommitUnit();
  void FinishCommit();

  // Identity and state.
  const std::string &Name() const { return FName; }
  TDataDirectory *Directory() const { return FDirectory; }
  const TSessionSettings &Settings() const;
  int OpenCount() const { return FOpenCount; }
  void SetOpenCount(int count) { FOpenCount = count; }
  bool Exclusive() const { return FExclusive; }
  bool ReadOnly() const { return FReadOnly; }
  bool ReadOnlyForced() const { return FReadOnlyForced; }
  bool InMemory() const { return FInMemory; }
  bool Temporary() const { return FTemporary; }
  bool FilesOpen() const { return FFilesOpen; }
  bool IndexesRebuilt() const { return FIndexesRebuilt; }
  // The first cursor re-indexed the records after the index file was made again.
  void ClearIndexesRebuilt() { FIndexesRebuilt = false; }
  bool WrittenInSession() const { return FWritten; }
  bool InTransaction() const { return FInTransaction; }
  bool HoldsReadLock() const { return FReadDepth > 0; }
  bool HoldsWriteLock() const { return FWriteDepth > 0; }
  bool HoldsTransactionLock() const { return FTransactionLocked; }
  // Under the transaction lock, once its changes were checked, no other process can change the
  // table: read locks, write locks and record locks need neither lock bytes nor checks.
  bool ChangesExcluded() const { return FTransactionLocked && FTransactionChecked && !FJournalCheckDue; }
  void SetOpenFlags(bool exclusive, bool readOnly, bool temporary);
  // Whether the table has a primary key (known from the index file; without one, records keep
  // insertion order and freed slots are not reused).
  bool NoPrimaryKey() const;
  // Incremented whenever this process sees or makes a change; cursors compare it with the
  // value they saw last.
  uint64_t ChangeSerial() const { return FChangeSerial; }
  // Attempts made by the last record lock (diagnostics).
  int LastLockAttempts() const { return FLastLockAttempts; }
  // A slot past the end of the table while the transaction lock keeps every other writer out:
  // no other writer can reach it before the lock ends, so a record lock on it guards nothing.
  bool NewSlotUncontended(int32_t slot) const { return ChangesExcluded() && slot > FDataFile.SlotCount(); }

  TDataFile &DataFile() { return FDataFile; }
  TTableSideFile *IndexFile() { return FIndexFile.get(); }
  TTableSideFile *BlobFile() { return FBlobFile.get(); }
  TRecordSet &OSLockedRecords() { return FOSLocked; }
  TRecordSet &EditLockedRecords() { return FEditLocked; }
  TRecordSet &PostponedUnlocks() { return FPostponed; }

  std::string DataFileName() const;
  std::string IndexFileName() const;
  std::string BlobFileName() const;
  std::string JournalFileName() const;
  // The post journal (null for in-memory and temporary tables, and while the files are closed).
  TPostJournal *Journal() { return FJournal.get(); }

  [[noreturn]] void Raise(uint16_t code) const;

  // TDataFileOwner
  bool BeforeDiskRead() override;
  void AfterDiskRead() override;
  bool HoldsWrites() const override { return FInTransaction; }
  bool ShortReadsAllowed() const override;
  void MarkWritten() override { FWritten = true; }

 private:
  bool SkipsLocking() const { return FExclusive || FReadOnlyForced; }
  void TakeReadBytes(uint16_t &indexByte, uint16_t &blobByte);
  void ReleaseReadBytes(uint16_t indexByte, uint16_t blobByte);
  void ReleaseAllLocks();
  void SetInTransaction(bool on);
  void UnlockPostponed();
  void CloseOpenedFiles(bool discard);
  // Completes or drops a change a dead writer left in the journal; the caches are then
  // dropped. True when the journal held one.
  bool RecoverInterruptedPost();
  // Puts what the write lock gathered on disk as one unit; a failure leaves the caches as the
  // files are.
  void CommitPost();
  // Asks for every open file of the table to be synced (by the journal once its unit is
  // written, at once otherwise).
  void SyncOpenFiles();
  // After a post that did not reach the files: the caches start again from them.
  void AfterFailedPost();
  // A read lock found a dead writer's unit pending: completes it under the write lock.
  void RecoverUnderWriteLock();
  // Our read bytes lie inside the write ranges, so they are given up while the write lock is held.
  void SetReadBytesAside();
  // The index and blob files' write ranges: all taken (or none, with KURA_LOCKTIMEOUT), all given back.
  void TakeWriteRanges();
  bool ReleaseWriteRanges();
  // Read locks that are held but whose bytes were set aside (under a write or transaction lock)
  // take their bytes again.
  void RetakeReadBytes();

  TDataDirectory *FDirectory;
  std::string FName;
  int FOpenCount = 0;
  bool FExclusive = false;
  bool FReadOnlyRequested = false;
  bool FReadOnly = false;
  bool FReadOnlyForced = false;
  bool FInMemory = false;
  bool FTemporary = false;
  bool FFilesOpen = false;
  bool FIndexesRebuilt = false;
  bool FWritten = false;
  bool FInTransaction = false;
  // Read lock: nesting depth and the bytes held (0 = none held).
  int FReadDepth = 0;
  bool FReadBytesHeld = false;
  uint16_t FReadIndexByte = 0, FReadBlobByte = 0;
  int FSecondReadDepth = 0;
  bool FSecondReadBytesHeld = false;
  uint16_t FSecondIndexByte = 0, FSecondBlobByte = 0;
  int FWriteDepth = 0;
  // The write lock is held in memory only (ChangesExcluded): no ranges were taken.
  bool FWriteInMemory = false;
  bool FTransactionLocked = false;
  // The change check ran while the transaction lock was held.
  bool FTransactionChecked = false;
  int FDiskReadLocks = 0;
  int FLastLockAttempts = 0;
  uint64_t FChangeSerial = 0;
  TRecordSet FOSLocked, FEditLocked, FPostponed;
  // Locks of slots appended under the transaction lock: no other process can reach a slot past
  // the end of the table before the commit, so these hold no lock byte; one that must outlive
  // the transaction lock takes its byte before that lock goes.
  TRecordSet FUnheldLocks;
  // Lock cover: the first record lock taken under the transaction lock (once its changes were
  // checked) takes every record lock byte the table does not hold yet as a few ranges, so that
  // further record locks need no lock call (the kernel walks a list of all of a file's locks on
  // every call, so thousands of scattered single-byte locks cost time squared). No other user
  // could post a change to a locked record before the commit anyway. Taken at most once per
  // transaction lock, and only when no other user holds a record lock; given back with the
  // transaction lock, but for the bytes of locks that outlive it.
  std::vector<std::pair<uint64_t, uint64_t>> FRecordCover;
  TRecordSet FCoveredLocks;  // locks held only through the cover
  bool FCoverTried = false;
  void ReleaseRecordCover();
  TDataFile FDataFile;
  std::unique_ptr<TTableSideFile> FIndexFile;
  std::unique_ptr<TTableSideFile> FBlobFile;
  std::unique_ptr<TPostJournal> FJournal;
  // The next change check looks at the journal even when nothing changed (after opening, or
  // after a commit failed).
  bool FJournalCheckDue = false;
};

}  // namespace kura
