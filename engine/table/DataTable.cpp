// Table files, locks, change detection and transactions.
#include "engine/table/DataTable.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <thread>

#include "engine/errors/EngineError.h"
#include "engine/file/DiskSync.h"
#include "engine/file/FileHandler.h"
#include "engine/file/FileNames.h"
#include "engine/file/LockRanges.h"
#include "engine/file/PhysicalFile.h"
#include "engine/table/DataDirectory.h"
#include "engine/table/DataSession.h"
#include "engine/table/TableFileMoves.h"
#include "engine/table/TableFileSwapPlan.h"
#include "engine/table/TableSync.h"

namespace kura {

bool TableSyncAsked(const TDataTable &table, bool flushOS) {
  if (table.InMemory()) return false;
  if (flushOS) return true;
  if (!table.Settings().ForceBufferFlush || table.Temporary()) return false;
  const TDataDirectory *directory = table.Directory();
  return !directory || !SameFileName(directory->Path(), directory->Session()->PrivateDir());
}


TSideFileFactories &SideFileFactories() {
  static TSideFileFactories factories;
  return factories;
}

TDataTable::TDataTable(TDataDirectory *directory, std::string name, bool inMemory)
    : FDirectory(directory), FName(TrimBlanks(name)), FInMemory(inMemory) {
  FDataFile.SetOwner(this);
  FDataFile.SetErrorNames(FName, FDirectory->DatabaseName());
}

TDataTable::~TDataTable() {
  try {
    CloseFiles();
  } catch (...) {
  }
}

const TSessionSettings &TDataTable::Settings() const { return FDirectory->Session()->Settings; }

void TDataTable::Raise(uint16_t code) const {
  ErrorTexts texts;
  texts.Table = FName;
  texts.Database = FDirectory->DatabaseName();
  RaiseEngineErrorOS(code, 0, texts);
}

void TDataTable::SetOpenFlags(bool exclusive, bool readOnly, bool temporary) {
  FExclusive = exclusive;
  FReadOnlyRequested = readOnly;
  FTemporary = temporary;
}

std::string TDataTable::DataFileName() const { return TableFileName(FDirectory->Path(), FName, kDataExtension); }
std::string TDataTable::IndexFileName() const { return TableFileName(FDirectory->Path(), FName, kIndexExtension); }
std::string TDataTable::BlobFileName() const { return TableFileName(FDirectory->Path(), FName, kBlobExtension); }
std::string TDataTable::JournalFileName() const {
  return TableFileName(FDirectory->Path(), FName, kJournalExtension);
}

bool TDataTable::NoPrimaryKey() const { return FIndexFile ? FIndexFile->NoPrimaryKey() : true; }

bool TDataTable::ShortReadsAllowed() const {
  // An exclusive table keeps new records in memory until it is closed, so a block read near the
  // end may run past the end of the file.
  return FExclusive || ((FTemporary || FInTransaction) && FWritten);
}

// ---------------------------------------------------------------------------------------------
// Files

void TDataTable::CloseOpenedFiles(bool discard) {
  if (FJournal) {
    try {
      FJournal->Close();
    } catch (...) {
    }
    FJournal.reset();
  }
  if (FBlobFile) {
    try {
      FBlobFile->CloseFile(discard);
    } catch (...) {
    }
    FBlobFile.reset();
  }
  if (FIndexFile) {
    try {
      FIndexFile->CloseFile(discard);
    } catch (...) {
    }
    FIndexFile.reset();
  }
  try {
    FDataFile.CloseDataFile(discard);
  } catch (...) {
  }
}

void TDataTable::OpenFiles() {
  if (FFilesOpen) return;
  const TSessionSettings &settings = Settings();
  FDataFile.SetCacheLimits(settings.DataBufferSize, settings.DataBufferCount);
  FReadOnly = FReadOnlyForced = false;
  FWritten = false;
  try {
    // Tables on disk are opened for writing even when only read: a reader that finds a dead
    // writer's change pending completes it before reading (the table itself still refuses
    // every change).
    const bool journaled = !FInMemory && !FTemporary;
    // The directory is read once for what a dying process may have left beside the table: a
    // swap of its files half done (finished first) and commit records of finished transactions.
    const std::vector<std::string> names =
        journaled ? TPhysicalFile::ListDirectoryOnDisk(FDirectory->Path()) : std::vector<std::string>();
    if (journaled) TFileSwapPlan::CompleteInterrupted(FDirectory->Path(), FName, FInMemory, &names);
    FDataFile.OpenDataFile(DataFileName(), FInMemory, FExclusive, FReadOnlyRequested && !journaled, FTemporary);
    TSideFileFactories &factories = SideFileFactories();
    if (factories.OpenIndex) {
      bool rebuilt = false;
      FIndexFile = factories.OpenIndex(*this, IndexFileName(), rebuilt);
      FIndexesRebuilt = rebuilt;
    }
    if (FDataFile.BlobFieldCount() > 0 && factories.OpenBlob) FBlobFile = factories.OpenBlob(*this, BlobFileName());
    FReadOnlyForced = FDataFile.IsReadOnlyByAttribute() || (FIndexFile && FIndexFile->ReadOnlyByAttribute()) ||
                      (FBlobFile && FBlobFile->ReadOnlyByAttribute());
    const bool filesReadOnly = FReadOnlyForced || FDataFile.IsReadOnly() || (FIndexFile && FIndexFile->ReadOnly()) ||
                               (FBlobFile && FBlobFile->ReadOnly());
    FReadOnly = filesReadOnly || FReadOnlyRequested;
    if (journaled) {
      ErrorTexts texts;
      texts.Table = FName;
      texts.Database = FDirectory->DatabaseName();
      FJournal = std::make_unique<TPostJournal>(JournalFileName(), FInMemory, filesReadOnly, texts);
      FJournal->SetFiles(&FDataFile, FIndexFile ? &FIndexFile->LockFile() : nullptr,
                         FBlobFile ? &FBlobFile->LockFile() : nullptr);
      FJournalCheckDue = true;
    }
    FFilesOpen = true;
    // Shared tables are checked under the read lock so no writer is half-way through (the
    // lock also completes a change a dead writer left half-way).
    if (!SkipsLocking()) {
      ReadLock();
      try {
        FDataFile.Validate();
        if (FJournal && !FReadOnly) FJournal->ForgetStaleGroupRecords(FName, &names);
      } catch (...) {
        ReadUnlock();
        throw;
      }
      ReadUnlock();
    } else {
      RecoverInterruptedPost();
      FDataFile.Validate();
    }
  } catch (...) {
    FFilesOpen = false;
    FReadDepth = FWriteDepth = 0;
    FReadBytesHeld = false;
    CloseOpenedFiles(true);
    throw;
  }
}

void TDataTable::ReleaseAllLocks() {
  // A change gathered under a write lock that is given up without being posted is dropped
  // (a table opened alone keeps what it gathered for its flush at the close).
  if (FJournal && !FExclusive) FJournal->EndCapture();
  if (FTransactionLocked) {
    FDataFile.ReleaseWriteSemaphore();
    FTransactionLocked = false;
  }
  FTransactionChecked = false;
  if (!FOSLocked.empty() || !FRecordCover.empty()) FDataFile.UnlockAllRecords();
  FOSLocked.clear();
  FUnheldLocks.clear();
  FRecordCover.clear();
  FCoveredLocks.clear();
  FCoverTried = false;
  FEditLocked.clear();
  FPostponed.clear();
  SetReadBytesAside();
  FReadDepth = FSecondReadDepth = 0;
  if (FWriteDepth > 0) {
    if (!FWriteInMemory) ReleaseWriteRanges();
    if (!SkipsLocking()) FDataFile.ReleaseWriteSemaphore();
    FWriteDepth = 0;
  }
  FWriteInMemory = false;
}

void TDataTable::CloseFiles() {
  if (!FFilesOpen) return;
  if (FInTransaction) {
    try {
      RollbackTransaction();
    } catch (...) {
    }
  }
  ReleaseAllLocks();
  bool discard = true;
  if (FExclusive && !FReadOnly) {
    if (FTemporary) {
      discard = true;
    } else {
      FlushBuffers(false);
      discard = false;
    }
  }
  // Shared tables wrote every posted change through already; whatever is left is not posted.
  FFilesOpen = false;
  CloseOpenedFiles(discard);
}

void TDataTable::CreateFiles(const TDataFileDefinition &definition, const std::vector<TIndexDefinition> &indexes) {
  const TSessionSettings &settings = Settings();
  FDataFile.SetCacheLimits(settings.DataBufferSize, settings.DataBufferCount);
  const bool existed = TFileHandler::Exists(DataFileName(), FInMemory);
  try {
    FDataFile.CreateDataFile(DataFileName(), FInMemory, false, definition);
  } catch (...) {
    // A data file that could not be written whole (a full disk) is not left behind.
    try {
      FDataFile.CloseDataFile(true);
    } catch (...) {
    }
    try {
      if (!existed && TFileHandler::Exists(DataFileName(), FInMemory))
        TFileHandler::DeleteFile(DataFileName(), FInMemory, FName);
    } catch (...) {
    }
    throw;
  }
  // A journal left by an earlier table of this name belongs to other files.
  try {
    if (TFileHandler::Exists(JournalFileName(), FInMemory))
      TFileHandler::DeleteFile(JournalFileName(), FInMemory, FName);
  } catch (...) {
    FDataFile.CloseDataFile(true);
    throw;
  }
  try {
    TSideFileFactories &factories = SideFileFactories();
    if (factories.CreateIndex) {
      std::unique_ptr<TTableSideFile> index = factories.CreateIndex(*this, IndexFileName(), indexes);
      if (index) index->CloseFile(false);
    } else if (TFileHandler::Exists(IndexFileName(), FInMemory)) {
      // A companion left by an earlier table of this name would not match the new data file.
      TFileHandler::DeleteFile(IndexFileName(), FInMemory, FName);
    }
    if (FDataFile.BlobFieldCount() > 0 && factories.CreateBlob) {
      std::unique_ptr<TTableSideFile> blob = factories.CreateBlob(*this, BlobFileName());
      if (blob) blob->CloseFile(false);
    } else if (TFileHandler::Exists(BlobFileName(), FInMemory)) {
      TFileHandler::DeleteFile(BlobFileName(), FInMemory, FName);
    }
  } catch (...) {
    // A table whose companion files could not be made is not left half created.
    FDataFile.CloseDataFile(true);
    for (const std::string &file : {DataFileName(), IndexFileName(), BlobFileName()}) {
      try {
        if (TFileHandler::Exists(file, FInMemory)) TFileHandler::DeleteFile(file, FInMemory, FName);
      } catch (...) {
      }
    }
    throw;
  }
  FDataFile.CloseDataFile(false);
  if (TableSyncAsked(*this, false)) {
    // The new files and their names reach the disk before the table is reported made.
    try {
      for (const std::string &file : {DataFileName(), IndexFileName(), BlobFileName()})
        if (TFileHandler::Exists(file, FInMemory)) SyncFileNamed(file, FInMemory, FName);
      SyncDirectoryOf(DataFileName(), FInMemory, FName);
    } catch (...) {
      for (const std::string &file : {DataFileName(), IndexFileName(), BlobFileName()}) {
        try {
          if (TFileHandler::Exists(file, FInMemory)) TFileHandler::DeleteFile(file, FInMemory, FName);
        } catch (...) {
        }
      }
      throw;
    }
  }
}

void TDataTable::DeleteFiles() {
  if (FFilesOpen) Raise(KURA_OSEACCES);
  TFileHandler::DeleteFile(DataFileName(), FInMemory, FName);
  if (TFileHandler::Exists(IndexFileName(), FInMemory)) TFileHandler::DeleteFile(IndexFileName(), FInMemory, FName);
  if (TFileHandler::Exists(BlobFileName(), FInMemory)) TFileHandler::DeleteFile(BlobFileName(), FInMemory, FName);
  if (TFileHandler::Exists(JournalFileName(), FInMemory))
    TFileHandler::DeleteFile(JournalFileName(), FInMemory, FName);
  if (TableSyncAsked(*this, false)) SyncDirectoryOf(DataFileName(), FInMemory, FName);
}

void TDataTable::RenameFiles(const std::string &newName) {
  if (FFilesOpen) Raise(KURA_OSEACCES);
  const std::string path = FDirectory->Path();
  TFileHandler::RenameFile(DataFileName(), FInMemory, TableFileName(path, newName, kDataExtension), FName);
  if (TFileHandler::Exists(IndexFileName(), FInMemory))
    TFileHandler::RenameFile(IndexFileName(), FInMemory, TableFileName(path, newName, kIndexExtension), FName);
  if (TFileHandler::Exists(BlobFileName(), FInMemory))
    TFileHandler::RenameFile(BlobFileName(), FInMemory, TableFileName(path, newName, kBlobExtension), FName);
  if (TFileHandler::Exists(JournalFileName(), FInMemory))
    TFileHandler::RenameFile(JournalFileName(), FInMemory, TableFileName(path, newName, kJournalExtension), FName);
  if (TableSyncAsked(*this, false)) SyncDirectoryOf(DataFileName(), FInMemory, FName);
  FName = TrimBlanks(newName);
  size_t dot = FName.find_last_of('.');
  if (dot != std::string::npos && FName.find('/', dot) == std::string::npos) FName.erase(dot);
  FDataFile.SetErrorNames(FName, FDirectory->DatabaseName());
}

void TDataTable::Empty() {
  if (FReadOnly) Raise(KURA_OSEACCES);
  if (!FExclusive) Raise(KURA_NEEDEXCLACCESS);
  bool flush = Settings().ForceBufferFlush;
  FDataFile.Empty(flush);
  if (FIndexFile) FIndexFile->Empty();
  if (FBlobFile) FBlobFile->Empty();
  ++FChangeSerial;
  if (!FExclusive && !FInTransaction) FlushBuffers(false);
}

void TDataTable::FlushBuffers(bool flushOS) {
  if (!FFilesOpen || FReadOnly || FInTransaction) return;
  const bool flush = TableSyncAsked(*this, flushOS);
  // A table opened alone writes what its caches hold (at a flush, at the close) as one unit
  // too; between two flushes it gathers only while an index or structure change runs.
  const bool alone = FJournal && FExclusive && !FJournal->Capturing();
  if (alone) FJournal->BeginCapture(FDataFile.DiskChangeCounter());
  const bool journaled = FJournal && FJournal->Capturing();
  try {
    // A flush asked for syncs every file, even when nothing is left to write: a shared table
    // wrote its posts through already, perhaps without a flush. ForceBufferFlush syncs the
    // files written.
    const bool syncAll = flush && flushOS;
    FDataFile.WriteChanges(false, flush && !syncAll);
    if (FIndexFile) FIndexFile->WriteChanges(false, flush && !syncAll);
    if (FBlobFile) FBlobFile->WriteChanges(false, flush && !syncAll);
    if (syncAll) SyncOpenFiles();
    // Under a shared table's write lock the writes above were gathered: now they go to disk.
    if (journaled) CommitPost();
  } catch (...) {
    if (alone) FJournal->EndCapture();
    throw;
  }
  if (alone) FJournal->EndCapture();
  FDataFile.TrimCache();
}

void TDataTable::SyncOpenFiles() {
  // Taken over by the journal while it gathers a unit (it syncs once the unit is written).
  FDataFile.FlushOS();
  if (FIndexFile) FIndexFile->LockFile().FlushOS();
  if (FBlobFile) FBlobFile->LockFile().FlushOS();
}

void TDataTable::CommitPost() {
  bool written = false;
  try {
    // Every unit of a shared table carries the data file's header with a new ChangeCounter
    // (see CheckForChanges); a table opened alone writes its header as it always did.
    if (!FExclusive && FJournal->HasPendingWrites() && !FJournal->WritesDataHeader()) FDataFile.WriteHeader(true);
    written = FJournal->WriteUnit(nullptr);
  } catch (...) {
    // Nothing reached the files: the change is dropped and the caches start again from them.
    AfterFailedPost();
    throw;
  }
  if (!written) {
    FJournal->Commit();
    return;
  }
  ApplyCommitUnit();
}

void TDataTable::AfterFailedPost() {
  FJournal->EndCapture();
  try {
    DiscardBuffers();
  } catch (...) {
  }
  if (FWriteDepth > 0 && !SkipsLocking()) FJournal->BeginCapture(FDataFile.DiskChangeCounter());
}

bool TDataTable::RecoverInterruptedPost() {
  if (!FJournal || !FJournal->RecoverInterrupted()) return false;
  DiscardBuffers();
  FJournalCheckDue = false;
  return true;
}

void TDataTable::GatherExclusiveChanges() {
  if (!FJournal || !FExclusive || FReadOnly || FJournal->Capturing()) return;
  // What the table's caches still hold is written first, as it always was.
  FlushBuffers(false);
  FJournal->BeginCapture(FDataFile.DiskChangeCounter());
}

void TDataTable::RecoverUnderWriteLock() {
  // Our read bytes lie inside the write ranges: given up meanwhile, taken again after.
  const bool first = FReadBytesHeld, second = FSecondReadBytesHeld;
  SetReadBytesAside();
  auto retake = [&] {
    if (first) {
      TakeReadBytes(FReadIndexByte, FReadBlobByte);
      FReadBytesHeld = true;
    }
    if (second) {
      TakeReadBytes(FSecondIndexByte, FSecondBlobByte);
      FSecondReadBytesHeld = true;
    }
  };
  if (!FDataFile.TakeWriteSemaphore()) {
    retake();
    Raise(KURA_LOCKTIMEOUT);
  }
  try {
    TakeWriteRanges();
  } catch (...) {
    FDataFile.ReleaseWriteSemaphore();
    retake();
    throw;
  }
  std::exception_ptr failure;
  try {
    RecoverInterruptedPost();
  } catch (...) {
    failure = std::current_exception();
  }
  ReleaseWriteRanges();
  FDataFile.ReleaseWriteSemaphore();
  retake();
  // What this process cached was read before: it starts again from the files.
  if (!failure) {
    try {
      DiscardBuffers();
      FJournalCheckDue = false;
    } catch (...) {
      failure = std::current_exception();
    }
  }
  if (failure) std::rethrow_exception(failure);
}

void TDataTable::DiscardBuffers() {
  FDataFile.DropCache();
  FDataFile.RereadHeader();
  if (FIndexFile) {
    FIndexFile->DropCache();
    FIndexFile->RereadHeader();
  }
  if (FBlobFile) {
    FBlobFile->DropCache();
    FBlobFile->RereadHeader();
  }
  ++FChangeSerial;
  // The headers just taken may be those of a change a dead writer left half-way: the change
  // check cannot tell that from their ChangeCounters any more, so it looks at the journal.
  FJournalCheckDue = true;
}

bool TDataTable::CheckForChanges() {
  bool changed = false;
  if (FIndexFile && FIndexFile->ReadHeaderChanged()) {
    FIndexFile->DropCache();
    FDataFile.ReadHeaderChanged();
    FDataFile.DropCache();
    changed = true;
  } else if (FDataFile.ReadHeaderChanged()) {
    FDataFile.DropCache();
    changed = true;
  }
  if (FBlobFile && FBlobFile->ReadHeaderChanged()) {
    FBlobFile->DropCache();
    changed = true;
  }
  // A writer that died half-way through a change has always moved the data file's
  // ChangeCounter (the journal writes the header first), so the journal is only looked at when
  // something changed, and once after opening.
  if (FJournal && (changed || FJournalCheckDue)) {
    FJournalCheckDue = false;
    if (FWriteDepth > 0 || FTransactionLocked || SkipsLocking()) {
      if (RecoverInterruptedPost()) changed = true;
    } else if (FJournal->PendingOnDisk()) {
      // Only a dead writer leaves a unit pending where a read lock could be had; it is
      // completed under the write lock, so no other reader reads the files meanwhile.
      RecoverUnderWriteLock();
      changed = true;
    }
  }
  if (changed) ++FChangeSerial;
  // Nobody else writes while the transaction lock is held: what was just read stays true.
  if (FTransactionLocked) FTransactionChecked = true;
  return changed;
}

void TDataTable::ChangePosted() {
  ++FChangeSerial;
  if (FExclusive || FInTransaction) {
    FDataFile.CountChangeInMemory();
    if (FIndexFile) FIndexFile->CountChangeInMemory();
    if (FBlobFile) FBlobFile->CountChangeInMemory();
    return;
  }
  // Every posted change writes the header, so its ChangeCounter tells other users.
  FDataFile.MarkHeaderDirty();
  FlushBuffers(false);
}

// ---------------------------------------------------------------------------------------------
// Disk reads of the data file

bool TDataTable::BeforeDiskRead() {
  // Strict detection took the read lock before the read; held locks already checked.
  if (Settings().StrictChangeDetection || SkipsLocking() || FReadDepth > 0 || FWriteDepth > 0 ||
      FTransactionLocked)
    return true;
  if (ReadLock()) {
    ReadUnlock();
    return false;
  }
  ++FDiskReadLocks;
  return true;
}

void TDataTable::AfterDiskRead() {
  if (FDiskReadLocks > 0) {
    --FDiskReadLocks;
    ReadUnlock();
  }
}

// ---------------------------------------------------------------------------------------------
// Locks

void TDataTable::TakeReadBytes(uint16_t &indexByte, uint16_t &blobByte) {
  indexByte = blobByte = 0;
  if (FIndexFile && !TakeReadLockByte(FIndexFile->LockFile(), indexByte)) Raise(KURA_LOCKTIMEOUT);
  if (FBlobFile && !TakeReadLockByte(FBlobFile->LockFile(), blobByte)) {
    if (FIndexFile) ReleaseReadLockByte(FIndexFile->LockFile(), indexByte);
    Raise(KURA_LOCKTIMEOUT);
  }
}

void TDataTable::ReleaseReadBytes(uint16_t indexByte, uint16_t blobByte) {
  bool ok = true;
  if (FBlobFile) ok = ReleaseReadLockByte(FBlobFile->LockFile(), blobByte) && ok;
  if (FIndexFile) ok = ReleaseReadLockByte(FIndexFile->LockFile(), indexByte) && ok;
  if (!ok) Raise(KURA_UNLOCKFAILED);
}

bool TDataTable::ReadLock() {
  if (SkipsLocking()) return false;
  if (FReadDepth > 0 || FWriteDepth > 0 || ChangesExcluded()) {
    // Already covered by a lock this table holds (the transaction lock keeps every writer out).
    ++FReadDepth;
    return false;
  }
  TakeReadBytes(FReadIndexByte, FReadBlobByte);
  FReadBytesHeld = true;
  FReadDepth = 1;
  try {
    return CheckForChanges();
  } catch (...) {
    ReadUnlock();
    throw;
  }
}

void TDataTable::ReadUnlock() {
  if (FReadDepth <= 0) return;
  if (--FReadDepth == 0 && FReadBytesHeld) {
    FReadBytesHeld = false;
    ReleaseReadBytes(FReadIndexByte, FReadBlobByte);
  }
}

bool TDataTable::SecondReadLock() {
  if (SkipsLocking()) return false;
  if (FSecondReadDepth > 0 || FWriteDepth > 0 || ChangesExcluded()) {
    ++FSecondReadDepth;
    return false;
  }
  TakeReadBytes(FSecondIndexByte, FSecondBlobByte);
  FSecondReadBytesHeld = true;
  FSecondReadDepth = 1;
  try {
    return CheckForChanges();
  } catch (...) {
    SecondReadUnlock();
    throw;
  }
}

void TDataTable::SecondReadUnlock() {
  if (FSecondReadDepth <= 0) return;
  if (--FSecondReadDepth == 0 && FSecondReadBytesHeld) {
    FSecondReadBytesHeld = false;
    ReleaseReadBytes(FSecondIndexByte, FSecondBlobByte);
  }
}

void TDataTable::SetReadBytesAside() {
  if (FReadBytesHeld) ReleaseReadBytes(FReadIndexByte, FReadBlobByte);
  if (FSecondReadBytesHeld) ReleaseReadBytes(FSecondIndexByte, FSecondBlobByte);
  FReadBytesHeld = FSecondReadBytesHeld = false;
}

void TDataTable::RetakeReadBytes() {
  if (FWriteDepth > 0 || ChangesExcluded()) return;
  if (FReadDepth > 0 && !FReadBytesHeld) {
    TakeReadBytes(FReadIndexByte, FReadBlobByte);
    FReadBytesHeld = true;
  }
  if (FSecondReadDepth > 0 && !FSecondReadBytesHeld) {
    TakeReadBytes(FSecondIndexByte, FSecondBlobByte);
    FSecondReadBytesHeld = true;
  }
}

void TDataTable::TakeWriteRanges() {
  bool index = false;
  try {
    if (FIndexFile) {
      if (!TakeWriteRange(FIndexFile->LockFile())) Raise(KURA_LOCKTIMEOUT);
      index = true;
    }
    if (FBlobFile && !TakeWriteRange(FBlobFile->LockFile())) Raise(KURA_LOCKTIMEOUT);
  } catch (...) {
    if (index) ReleaseWriteRange(FIndexFile->LockFile());
    throw;
  }
}

bool TDataTable::ReleaseWriteRanges() {
  bool ok = true;
  if (FBlobFile) ok = ReleaseWriteRange(FBlobFile->LockFile()) && ok;
  if (FIndexFile) ok = ReleaseWriteRange(FIndexFile->LockFile()) && ok;
  return ok;
}

bool TDataTable::WriteLock() {
  if (FReadOnly) Raise(KURA_OSEACCES);
  if (SkipsLocking()) {
    ++FWriteDepth;
    return false;
  }
  if (FWriteDepth > 0) {
    // A write lock held in memory inside a transaction that is being committed or ended now
    // writes the files: it takes its ranges.
    if (FWriteInMemory && !FInTransaction) {
      SetReadBytesAside();
      TakeWriteRanges();
      FWriteInMemory = false;
    }
    ++FWriteDepth;
    return false;
  }
  if (FInTransaction && ChangesExcluded()) {
    // Inside a transaction nothing reaches the files before the commit, and the transaction
    // lock keeps every other writer out: other processes' readers cannot see anything of this
    // change, so neither the write ranges nor a change check are needed. The journal still
    // takes whatever would be written, as under the full lock.
    FWriteDepth = 1;
    FWriteInMemory = true;
    // A capture still on holds what earlier changes of the transaction wrote out.
    if (FJournal && !FReadOnly && !FJournal->Capturing()) FJournal->BeginCapture(FDataFile.DiskChangeCounter());
    return false;
  }
  // Our own read bytes lie inside the write ranges: give them up while writing.
  SetReadBytesAside();
  bool semaphore = false;
  try {
    if (!FTransactionLocked) {
      if (!FDataFile.TakeWriteSemaphore()) Raise(KURA_LOCKTIMEOUT);
      semaphore = true;
    }
    TakeWriteRanges();
  } catch (...) {
    if (semaphore) FDataFile.ReleaseWriteSemaphore();
    throw;
  }
  FWriteDepth = 1;
  bool changed = false;
  try {
    if (!ChangesExcluded()) changed = CheckForChanges();
  } catch (...) {
    WriteUnlock();
    throw;
  }
  // From here to the write unlock, the table's writes form one unit; the commit of a transaction
  // that wrote part of its change out already goes on with what it gathered.
  if (FJournal && !FReadOnly && !FJournal->HoldsTakenWrites())
    FJournal->BeginCapture(FDataFile.DiskChangeCounter());
  return changed;
}

void TDataTable::WriteUnlock() {
  if (FWriteDepth <= 0) return;
  if (--FWriteDepth > 0 || SkipsLocking()) return;
  // What a change of a transaction wrote out (a cache making room, or a commit that failed
  // half-way) stays gathered for the commit, or for the rollback to drop.
  const bool keep = FInTransaction && FJournal && FJournal->HoldsTakenWrites();
  if (FWriteInMemory) {
    FWriteInMemory = false;
    if (FJournal && FJournal->Capturing() && !keep) FJournal->EndCapture();
    return;
  }
  std::exception_ptr failure;
  if (FJournal && FJournal->Capturing() && !keep) {
    // A write that failed half-way may have written part of its change to make room in a
    // cache: what the caches hold now goes with it, as one unit.
    try {
      if (FJournal->HasPending() && !FInTransaction) FlushBuffers(false);
    } catch (...) {
      failure = std::current_exception();
    }
    FJournal->EndCapture();
  }
  bool ok = ReleaseWriteRanges();
  if (!FTransactionLocked) ok = FDataFile.ReleaseWriteSemaphore() && ok;
  // Read locks taken before the write lock are held again.
  RetakeReadBytes();
  if (failure) std::rethrow_exception(failure);
  if (!ok) Raise(KURA_LOCKTIMEOUT);
}

void TDataTable::TransactionLock() {
  if (FTransactionLocked || FExclusive || FInMemory || FReadOnlyForced) return;
  // Caches filled before the lock may be stale: the first lock taken under it checks them
  // (a write lock held now has checked them under the semaphore already).
  FTransactionChecked = FWriteDepth > 0 && !FWriteInMemory;
  if (FWriteDepth == 0) {
    if (!FDataFile.TakeWriteSemaphore()) Raise(KURA_LOCKTIMEOUT);
    // Nothing is held in the caches yet: a change a dead writer left is completed before the
    // transaction builds on the files.
    try {
      RecoverInterruptedPost();
    } catch (...) {
      FDataFile.ReleaseWriteSemaphore();
      throw;
    }
  }
  FTransactionLocked = true;
  FCoverTried = false;
}

void TDataTable::ReleaseRecordCover() {
  if (FRecordCover.empty()) return;
  // Covered locks that outlive the transaction (not released with it) keep their bytes.
  std::vector<int32_t> keep;
  for (int32_t n : FCoveredLocks.Sorted())
    if (!FPostponed.count(n)) keep.push_back(n);
  bool ok = true;
  for (const auto &range : FRecordCover) ok = FDataFile.UncoverRecords(range, keep) && ok;
  FRecordCover.clear();
  for (int32_t n : keep) FCoveredLocks.erase(n);
  // Giving back a range does not fail where taking it worked; a failure leaves bytes locked
  // until the table closes, never a lock given up too early.
  (void)ok;
}

void TDataTable::TransactionUnlock() {
  if (!FTransactionLocked) return;
  // A write lock held in memory only becomes a full one: it keeps the semaphore, which
  // WriteUnlock then releases with the ranges.
  if (FWriteDepth > 0 && FWriteInMemory) {
    SetReadBytesAside();
    TakeWriteRanges();
    FWriteInMemory = false;
  }
  ReleaseRecordCover();
  // Locks of new slots that outlive the transaction lock (not released with the transaction)
  // take their bytes while no other writer can have reached the slots yet.
  for (int32_t n : FUnheldLocks.Sorted()) {
    if (FPostponed.count(n)) continue;
    FDataFile.LockRecord(n);
    FUnheldLocks.erase(n);
  }
  FTransactionLocked = false;
  FTransactionChecked = false;
  // While a write lock is held the semaphore stays taken; WriteUnlock releases it.
  if (FWriteDepth == 0 && !FDataFile.ReleaseWriteSemaphore()) Raise(KURA_UNLOCKFAILED);
  // Read locks held through the transaction took no bytes: they take them now.
  RetakeReadBytes();
}

void TDataTable::LockRecord(int32_t recordNumber) {
  if (recordNumber <= 0) Raise(KURA_RECLOCKFAILED);
  if (SkipsLocking()) return;
  if (FTransactionLocked && FOSLocked.count(recordNumber)) return;
  if (ChangesExcluded() && recordNumber > FDataFile.SlotCount()) {
    // A new slot: every other writer waits for the transaction lock, so nobody else can lock it.
    FLastLockAttempts = 1;
    FOSLocked.insert(recordNumber);
    FUnheldLocks.insert(recordNumber);
    return;
  }
  if (ChangesExcluded()) {
    if (FRecordCover.empty() && !FCoverTried) {
      FCoverTried = true;
      // Every record lock this table holds has a byte of its own but for the new slots'.
      FDataFile.CoverRecords(FOSLocked.size() - FUnheldLocks.size(), FRecordCover);
    }
    if (!FRecordCover.empty()) {
      FLastLockAttempts = 1;
      FOSLocked.insert(recordNumber);
      FCoveredLocks.insert(recordNumber);
      return;
    }
  }
  const TSessionSettings &settings = Settings();
  const bool strict = settings.StrictChangeDetection;
  if (!strict) ReadLock();
  int failures = 0;
  FLastLockAttempts = 1;
  while (!FDataFile.LockRecord(recordNumber)) {
    if (!strict) ReadUnlock();
    FLastLockAttempts = failures + 1;
    if (++failures > settings.LockRetryCount) Raise(KURA_RECLOCKFAILED);
    std::this_thread::sleep_for(std::chrono::milliseconds(settings.LockWaitTime));
    if (!strict) ReadLock();
    FLastLockAttempts = failures + 1;
  }
  if (!strict) ReadUnlock();
  FOSLocked.insert(recordNumber);
}

void TDataTable::UnlockRecord(int32_t recordNumber) {
  if (FInTransaction) {
    FPostponed.insert(recordNumber);
    return;
  }
  if (!FOSLocked.erase(recordNumber)) return;
  if (FUnheldLocks.erase(recordNumber)) return;
  if (!FDataFile.UnlockRecord(recordNumber)) Raise(KURA_UNLOCKFAILED);
}

void TDataTable::UnlockPostponed() {
  TRecordSet postponed;
  postponed.swap(FPostponed);
  std::vector<int32_t> held;  // released locks that hold a byte, ascending
  for (int32_t n : postponed.Sorted()) {
    if (!FOSLocked.erase(n)) continue;
    // Locks held through the cover went with it.
    if (!FUnheldLocks.erase(n) && !FCoveredLocks.erase(n)) held.push_back(n);
  }
  if (held.empty()) return;
  const std::vector<int32_t> kept = FOSLocked.Sorted();
  // The kernel keeps a file's locks in one list that every lock call walks, so thousands of
  // single unlocks cost time squared. Between two locks the table keeps, the released ones go
  // with one call when no other lock of this process lies among them; otherwise each run of
  // consecutive records goes with one call.
  bool ok = true;
  for (size_t i = 0; i < held.size();) {
    auto next = std::upper_bound(kept.begin(), kept.end(), held[i]);
    const int32_t limit = next == kept.end() ? INT32_MAX : *next;
    size_t j = i;
    while (j + 1 < held.size() && held[j + 1] < limit) ++j;
    bool spanOk = true;
    if (j > i && FDataFile.UnlockRecordSpan(held[i], held[j], j - i + 1, spanOk)) {
      ok = spanOk && ok;
    } else {
      for (size_t k = i; k <= j;) {
        size_t e = k;
        while (e < j && held[e + 1] == held[e] + 1) ++e;
        ok = FDataFile.UnlockRecordRun(held[k], held[e]) && ok;
        k = e + 1;
      }
    }
    i = j + 1;
  }
  if (!ok) Raise(KURA_UNLOCKFAILED);
}

// ---------------------------------------------------------------------------------------------
// Transactions

void TDataTable::SetInTransaction(bool on) {
  FInTransaction = on;
  // Until the commit a transaction's journal gathers what its caches write out to make room.
  if (FJournal) FJournal->SetGathering(on);
}

void TDataTable::StartTransaction() {
  if (FReadOnly || FInTransaction) return;
  if (FExclusive) FlushBuffers(false);
  if (FIndexFile) FIndexFile->WriteChanges(false, false);
  TransactionLock();
  SetInTransaction(true);
  if (FBlobFile) FBlobFile->SetHoldWrites(true);
}

void TDataTable::CommitTransaction(bool flushOS) {
  if (!FInTransaction) return;
  PrepareCommit(flushOS);
  try {
    if (FJournal && FJournal->Capturing()) CommitPost();
  } catch (...) {
    // Nothing of the transaction reached the files (or it was completed and did not fail):
    // the caches were dropped with it.
    FinishCommit();
    throw;
  }
  FinishCommit();
}

void TDataTable::PrepareCommit(bool flushOS) {
  // The commit writes the files: its write lock takes the ranges (it is not one held in memory),
  // and the rest of the unit is held in memory as a post's is.
  SetInTransaction(false);
  try {
    WriteLock();
  } catch (...) {
    SetInTransaction(true);
    throw;
  }
  try {
    const bool flush = TableSyncAsked(*this, flushOS);
    const bool syncAll = flush && flushOS;
    FDataFile.WriteChanges(true, flush && !syncAll);
    if (FIndexFile) FIndexFile->WriteChanges(true, flush && !syncAll);
    if (FBlobFile) FBlobFile->WriteChanges(true, flush && !syncAll);
    if (syncAll) SyncOpenFiles();
    if (FJournal && FJournal->HasPendingWrites() && !FJournal->WritesDataHeader()) FDataFile.WriteHeader(true);
  } catch (...) {
    AbandonCommit();
    throw;
  }
}

void TDataTable::AbandonCommit() noexcept {
  SetInTransaction(true);
  try {
    WriteUnlock();
  } catch (...) {
  }
}

bool TDataTable::WriteCommitUnit(const TGroupTag &group) {
  try {
    return FJournal && FJournal->Capturing() && FJournal->WriteUnit(&group);
  } catch (...) {
    AfterFailedPost();
    throw;
  }
}

void TDataTable::CancelCommitUnit() noexcept {
  if (FJournal) FJournal->CancelUnit();
  AfterFailedPost();
}

void TDataTable::ApplyCommitUnit() {
  try {
    FJournal->ApplyUnit();
  } catch (...) {
    // The unit is journaled and its space reserved: completing it from the journal makes the
    // change whole, and then it did succeed. Only when that fails too is it reported (and the
    // next lock completes it). A failed sync is always reported: the change is not known to
    // be on the disk (the journal that is completes it at the next lock).
    bool applied = false;
    if (!FJournal->SyncFailed()) {
      try {
        FJournal->EndCapture();
        applied = FJournal->Recover() == TPostJournal::TRecovery::Applied;
      } catch (...) {
      }
    }
    AfterFailedPost();
    if (!applied) throw;
  }
}

void TDataTable::FinishCommit() {
  SetInTransaction(false);
  WriteUnlock();
  if (FBlobFile) FBlobFile->SetHoldWrites(false);
  TransactionUnlock();
  UnlockPostponed();
  ++FChangeSerial;
}

void TDataTable::RollbackTransaction() {
  if (!FInTransaction) return;
  SetInTransaction(false);
  if (FBlobFile) FBlobFile->SetHoldWrites(false);
  // What the transaction wrote out goes with the rest, before the caches read the files again.
  if (FJournal && FWriteDepth == 0 && FJournal->Capturing()) FJournal->EndCapture();
  DiscardBuffers();
  TransactionUnlock();
  UnlockPostponed();
}

}  // namespace kura
