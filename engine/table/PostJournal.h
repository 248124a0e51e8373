#pragma once
// The post journal of a table (".JNL" beside its data file): what makes one write-locked change
// of a shared table (a post, a commit) reach the data, index and blob files as one unit, even
// when the writing process dies half-way.
//
// While the table holds its write lock, every write to its three files is taken over here and
// kept in memory (reads see it laid over the files). Committing then
//   1. writes the whole unit to the journal, with a checksum (one write gathered from where the
//      unit's bytes lie; a unit of very many entries takes a few),
//   2. makes the writes to the files (neighbouring ones of a file as one write),
//   3. clears the journal's mark.
// A writer that dies before step 1 completes has changed nothing (its torn journal fails the
// checksum); one that dies after it is completed by the next process that takes a lock on the
// table (read or write), which writes the journal's bytes again: writing them twice leaves the
// same files, so even two readers completing it at once agree. A living writer holds the write
// lock from the first write to the cleared mark, so nobody holding a read or write lock of their
// own can ever see its journal pending: a pending journal always belongs to a dead writer.
//
// A unit asked to be durable (a flush of any of its files was asked for: COMMIT FLUSH,
// ForceBufferFlush) also survives a power loss: the journal is synced after step 1 (and its
// directory, the first time, so that the journal is found again), every file the unit writes
// (and every file a flush was asked for) is synced between steps 2 and 3, and for a
// transaction over several tables the cleared mark is synced before its commit record goes. A failed sync fails the
// commit: before step 2 the unit is dropped; after it the journal stays pending and the next
// lock on the table completes the unit from it. Completing a dead writer's unit always syncs
// the files before clearing the mark.
//
// Before step 2 the space the unit needs in the files is allocated: a full disk stops the unit
// while it can still be dropped whole (the journal's mark is cleared in place and the files are
// cut back), so a post reported as failed never appears later.
//
// A unit is one unit whatever its size: what a write lock gathers is held in memory up to a
// threshold (KURA_JOURNAL_SPILL_BYTES in the environment sets it, for tests), beyond which the
// entries (and any single large write) go on to the journal's body as they come, in their
// order; the header that makes them count is written only at the commit.
//
// A transaction may gather part of its unit before its commit: while the transaction lock keeps
// every other writer out, a cache that would otherwise grow without end (the blob blocks of a
// transaction that writes many memos) writes its changed entries while one of the
// transaction's changes holds the write lock, and the capture then stays on until the commit
// or the rollback. What it holds goes to the journal's body a megabyte at a time at most (see
// SetGathering), under the journal's cleared mark: nobody completes or reads it before the
// commit writes the header, a writer that dies meanwhile leaves it unread, and reads of this
// process see it laid over the files. A write to the journal that fails (a full disk) leaves
// what was gathered as it was: the change that made it fails, the transaction goes on.
//
// Journal layout (little-endian):
//   0   4  mark while a unit is pending: "KPJ3" (one table), "KPJ2" (one table of a
//          transaction over several tables); "KPJ1" is the mark of units written by earlier
//          versions (header mixed into the checksum first, no group part); zero when there is
//          no unit
//   4   4  number of entries
//   8   8  length of the body (entries and group part) in bytes
//   16  4  ChangeCounter of the data file before the unit
//   20  4  length of the group part (0 but for "KPJ2")
//   24  8  checksum of the body and then of bytes 4 to 23
//   32     entries: file (0 data, 1 index, 2 blob), operation (0 write, 1 cut the file),
//          replaced (1: a later entry of the unit covers it; not applied), a zero byte,
//          4-byte length, 8-byte offset, then the bytes written
//          group part ("KPJ2" only), last: 8-byte transaction id, the sizes of the data, index
//          and blob file before the unit (8 bytes each), then the name of its commit record
//          (without directory and extension)
// The entries reach the files as if written one by one in their order, except that the data
// file's last header write goes first when the unit cuts no file; entries of one file that lie
// close together are written as one span, the bytes between them as the file holds them (see
// JournalWriteGroups.h).
// A unit is only completed when the data file still holds the ChangeCounter it had before the
// unit or the one the unit writes; any other journal is stale and is cleared unused.
//
// A transaction over several tables writes every table's unit ("KPJ2", naming the transaction)
// and only then its commit record ".TXN" beside the tables; the record is what commits it. A
// unit whose commit record is missing (or names another transaction) is dropped, one whose
// record is there is completed, so every table of the transaction ends up with its change or
// none does. The record is deleted once no table of it has its unit pending.
//
// Commit record layout (little-endian): "KPJ2", 8-byte transaction id, 4-byte number of
// tables, 8 zero bytes, then per table a 2-byte name length and the name, then an 8-byte
// checksum of bytes 4 to 23 and of the names.
//
// The table files themselves keep their layout: tables written before the journal existed open
// as they are, and a table with no journal file simply has no pending unit.
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/errors/EngineError.h"
#include "engine/file/FileHandler.h"

namespace kura {

inline constexpr const char *kJournalExtension = ".JNL";
inline constexpr const char *kGroupRecordExtension = ".TXN";
inline constexpr size_t kJournalHeaderSize = 32;

struct TJournalWriteGroup;

enum class TJournalFile : uint8_t { Data = 0, Index = 1, Blob = 2 };

// Test seam: a commit's writes are counted from 1 (the journal, then each write to the table's
// files, then the clearing of the mark). When the count would pass StopAfterWrites, Stop runs
// before that write (a test exits or waits there to stand for a writer that dies or stalls);
// when Stop returns, the commit goes on. With TearJournal the journal write itself stops after
// half its bytes and then Stop runs.
struct TPostJournalTestHooks {
  int StopAfterWrites = -1;
  bool TearJournal = false;
  std::function<void()> Stop;
};
TPostJournalTestHooks &PostJournalTestHooks();

// A transaction over several tables: its id and the name of its commit record.
struct TGroupTag {
  uint64_t Id = 0;
  std::string RecordName;
};
struct TGroupRecord {
  uint64_t Id = 0;
  std::vector<std::string> Tables;  // names of the tables (their journals lie beside the record)
};
bool ReadGroupRecord(const std::string &file, bool memory, TGroupRecord &record);
// Writing it commits the transaction; failures raise naming the table of texts.
void WriteGroupRecord(const std::string &file, bool memory, const TGroupRecord &record, bool flushOS,
                      const ErrorTexts &texts);

class TPostJournal : public TFileWriteInterceptor {
 public:
  TPostJournal(std::string fileName, bool memory, bool readOnly, ErrorTexts texts);
  ~TPostJournal() override;
  TPostJournal(const TPostJournal &) = delete;
  TPostJournal &operator=(const TPostJournal &) = delete;

  const std::string &FileName() const { return FFileName; }
  // The table's files (null when the table has none of that kind).
  void SetFiles(TFileHandler *data, TFileHandler *index, TFileHandler *blob);

  // From now on the files' writes are taken. dataChangeCounter: the data file's ChangeCounter
  // on disk.
  void BeginCapture(int32_t dataChangeCounter);
  // Stops taking writes; anything not committed is dropped.
  void EndCapture();
  // While set, the capture gathers a transaction's writes before its commit: what it holds in
  // memory goes to the journal's body from a megabyte on (or the test threshold when lower).
  void SetGathering(bool on) { FGathering = on; }
  bool Capturing() const { return FCapturing; }
  bool HasPending() const { return !FPending.empty() || FFlushes != 0; }
  bool HasPendingWrites() const { return !FPending.empty(); }
  // Whether the capture is on and holds writes (a transaction's, kept from change to change).
  bool HoldsTakenWrites() const { return FCapturing && !FPending.empty(); }
  // Whether what was taken includes the data file's header.
  bool WritesDataHeader() const;
  // Journal, write and clear what was taken (see above). Raises the file errors; what was
  // pending is gone either way, and a failure before the files changed leaves them as they
  // were. Writing continues to be taken afterwards.
  void Commit();
  // Commit in two steps, for a transaction over several tables: WriteUnit journals what was
  // taken and reserves its space (false: nothing to write; a failure cancels the unit and
  // raises); then either ApplyUnit writes it to the files, or CancelUnit drops it.
  bool WriteUnit(const TGroupTag *group);
  void ApplyUnit();
  void CancelUnit() noexcept;
  static std::string GroupRecordFile(const std::string &directory, const std::string &recordName);
  // Drops what was taken without writing it.
  void Discard();

  // Under the table's write lock (or alone with it): completes the unit a dead writer left
  // pending, or clears a torn, stale or uncommitted one. True when a pending unit was found (the
  // files may have changed: the caller drops its caches). A pending unit on files that cannot
  // be written raises KURA_OSEACCES: the table is not read in a half-written state.
  bool RecoverInterrupted();
  enum class TRecovery { None, Applied, Dropped };
  // Deletes commit records named after the table whose tables all finished (a writer that died
  // between the last table and the record's deletion leaves one behind).
  // names: the journal's directory's names when the caller has read them.
  void ForgetStaleGroupRecords(const std::string &tableName, const std::vector<std::string> *names = nullptr) noexcept;
  TRecovery Recover();
  // Whether the journal holds a pending unit (tests, diagnostics).
  bool PendingOnDisk();
  // Whether the last failure of WriteUnit / ApplyUnit was a sync: the unit is not to be
  // completed and reported as done by the same commit.
  bool SyncFailed() const { return FSyncFailed; }
  void Close();

  // TFileWriteInterceptor
  bool TakeWrite(TFileHandler &file, int64_t offset, const void *buffer, int64_t count) override;
  bool TakesWrites(const TFileHandler &file) const override { return FCapturing && KindOf(file) >= 0; }
  int64_t OverlayRead(TFileHandler &file, int64_t offset, uint8_t *buffer, int64_t count, int64_t got) override;
  int64_t OverlaySize(TFileHandler &file, int64_t size) override;
  bool TakeFlush(TFileHandler &file) override;

 private:
  struct TEntry {
    uint8_t File = 0;
    bool Cut = false;
    bool Dead = false;  // replaced by a later write of the same place
    int64_t Offset = 0;
    uint32_t Length = 0;
    std::vector<uint8_t> Bytes;  // empty once spilled
    int64_t Spilled = -1;        // where its entry header lies in the journal, once spilled
  };
  static size_t SpillThreshold();
  // Moves the bytes held in memory to the journal's body.
  void Spill();
  static void PutEntryHeader(uint8_t *out, const TEntry &e);
  void EntryBytes(const TEntry &e, int64_t from, uint8_t *out, int64_t count);
  static std::vector<size_t> ApplyOrder(const std::vector<TEntry> &entries);
  static bool TilesSpan(const std::vector<TEntry> &entries, const std::vector<size_t> &order,
                        const TJournalWriteGroup &group, std::vector<size_t> &tiles);
  int KindOf(const TFileHandler &file) const;
  bool OpenJournal(bool create);
  void Install(bool on);
  struct TSizes {
    std::array<int64_t, 3> Original{}, Peak{}, Final{};
  };
  void CountWrite(int &writes);
  [[noreturn]] void RaiseForTable(const EKuraEngineError &e) const;
  int64_t DiskSize(int kind);
  // The files' sizes before, at most during, and after the entries.
  void PlanSizes(const std::vector<TEntry> &entries, TSizes &sizes);
  void ReserveSpace(const TSizes &sizes);
  // Writes the entries to the table's files; counts them for the test seam when writes is given.
  // Uses the work buffer (the entries' bytes must lie elsewhere).
  void ApplyEntries(const std::vector<TEntry> &entries, const TSizes &sizes, int *writes);
  void ClearMark(bool large);
  bool GroupCommitted(uint64_t id, const std::string &recordName);
  void ForgetGroupRecord(uint64_t id, const std::string &recordName) noexcept;
  friend bool ReadGroupRecord(const std::string &file, bool memory, TGroupRecord &record);
  // Syncs the files whose bit is set (a bit per file kind).
  void FlushFiles(unsigned flushes);
  // Syncs the journal (and, once, its directory); a failure is remembered and raised.
  void SyncJournal();

  std::string FFileName;
  bool FMemory = false;
  bool FReadOnly = false;
  ErrorTexts FTexts;
  class TJournalHandle;
  std::unique_ptr<TJournalHandle> FJournalFile;
  std::array<TFileHandler *, 3> FFiles{};
  bool FCapturing = false;
  bool FTaken = false;  // a write was taken since the captured state was last reset
  std::vector<TEntry> FPending;
  // Per file kind, what reads and sizes need of the taken entries without walking them all.
  struct TKindIndex {
    std::multimap<int64_t, size_t> Live;  // offset -> entry, writes not replaced
    size_t LiveCount = 0;                 // writes and cuts not replaced
    int64_t MaxLength = 0;
    int64_t MaxEnd = 0;  // furthest end of any write
    bool HasCut = false;
    int64_t LastCut = 0;
    int64_t MaxEndSinceCut = 0;
  };
  std::array<TKindIndex, 3> FByKind;
  size_t FPendingBytes = 0;
  unsigned FFlushes = 0;  // bit per file kind whose operating-system buffers are to be flushed
  int32_t FStartCounter = 0;
  // One buffer for the journal image of a unit and then for the spans its apply writes: the
  // second use finds the pages the first touched (a fresh buffer costs a page fault per page).
  // Kept for the next unit when small.
  uint8_t *WorkBuffer(size_t size);
  void ReleaseWorkBuffer(bool always);
  std::unique_ptr<uint8_t[]> FWork;
  size_t FWorkSize = 0;
  // The unit between WriteUnit and ApplyUnit / CancelUnit.
  std::vector<TEntry> FUnit;
  bool FUnitWritten = false;
  unsigned FUnitFlushes = 0;
  int FUnitWrites = 0;
  int32_t FUnitEndCounter = 0;
  TSizes FUnitSizes;
  bool FUnitLarge = false;
  int64_t FSpilledEnd = 0;  // end of the spilled entries in the journal (0: none)
  bool FUnitGroup = false;  // the unit belongs to a transaction over several tables
  bool FSyncFailed = false;
  bool FGathering = false;
  bool FDirectorySynced = false;  // the journal's directory entry is known to be on disk
};

}  // namespace kura
