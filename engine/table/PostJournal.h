#pragma once
// The post journal of a table (".JNL" beside its data file): what makes one write-locked change
// of a shared table (a post, a commit) reach the data, index and blob files as one unit, even
// when the writing process dies half-way.
//
// While the table holds its write lock, every write to its three files is taken over here and
// kept in memory (reads see it laid over the files). Committing then
//   1. writes the whole unit to the journal in one write, with a checksum,
//   2. makes the writes to the files, in the order they were made,
//   3. clears the journal's mark.
// A writer that dies before step 1 completes has changed nothing (its torn journal fails the
// checksum); one that dies after it is completed by the next process that takes a lock on the
// table (read or write), which writes the journal's bytes again: writing them twice leaves the
// same files, so even two readers completing it at once agree. A living writer holds the write
// lock from the first write to the cleared mark, so nobody holding a read or write lock of their
// own can ever see its journal pending: a pending journal always belongs to a dead writer.
//
// Journal layout (little-endian):
//   0   4  mark "KPJ1" while a unit is pending; zero when there is none
//   4   4  number of entries
//   8   8  length of the entries in bytes
//   16  4  ChangeCounter of the data file before the unit
//   20  4  zero
//   24  8  checksum of bytes 4 to 23 and of the entries
//   32     entries: file (0 data, 1 index, 2 blob), operation (0 write, 1 cut the file), 2 zero
//          bytes, 4-byte length, 8-byte offset, then the bytes written
// A unit is only completed when the data file still holds the ChangeCounter it had before the
// unit or the one the unit writes; any other journal is stale and is cleared unused.
//
// The table files themselves keep their layout: tables written before the journal existed open
// as they are, and a table with no journal file simply has no pending unit.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/errors/EngineError.h"
#include "engine/file/FileHandler.h"

namespace kura {

inline constexpr const char *kJournalExtension = ".JNL";
inline constexpr size_t kJournalHeaderSize = 32;

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
  bool Capturing() const { return FCapturing; }
  bool HasPending() const { return !FPending.empty() || FFlushes != 0; }
  bool HasPendingWrites() const { return !FPending.empty(); }
  // Whether what was taken includes the data file's header.
  bool WritesDataHeader() const;
  // Journal, write and clear what was taken (see above). Raises the file errors; what was
  // pending is gone either way. Writing continues to be taken afterwards.
  void Commit();
  // Drops what was taken without writing it.
  void Discard();

  // Under a read or write lock of the table: completes the unit a dead writer left pending, or
  // clears a torn or stale one. True when a pending unit was found (the files may have changed:
  // the caller drops its caches). A read-only table cannot be repaired and is left as it is.
  bool RecoverInterrupted();
  // Whether the journal holds a pending unit (tests, diagnostics).
  bool PendingOnDisk();
  void Close();

  // TFileWriteInterceptor
  bool TakeWrite(TFileHandler &file, int64_t offset, const void *buffer, int64_t count) override;
  int64_t OverlayRead(TFileHandler &file, int64_t offset, uint8_t *buffer, int64_t count, int64_t got) override;
  int64_t OverlaySize(TFileHandler &file, int64_t size) override;
  bool TakeFlush(TFileHandler &file) override;

 private:
  struct TEntry {
    uint8_t File = 0;
    bool Cut = false;
    bool Dead = false;  // replaced by a later write of the same place
    int64_t Offset = 0;
    std::vector<uint8_t> Bytes;
  };
  int KindOf(const TFileHandler &file) const;
  bool OpenJournal(bool create);
  void Install(bool on);
  void CountWrite(int &writes);
  // Writes the entries to the table's files; counts them for the test seam when writes is given.
  void ApplyEntries(const std::vector<TEntry> &entries, int *writes);
  // The operating-system flushes taken over (a bit per file kind).
  void FlushFiles(unsigned flushes);

  std::string FFileName;
  bool FMemory = false;
  bool FReadOnly = false;
  ErrorTexts FTexts;
  class TJournalHandle;
  std::unique_ptr<TJournalHandle> FJournalFile;
  std::array<TFileHandler *, 3> FFiles{};
  bool FCapturing = false;
  std::vector<TEntry> FPending;
  std::unordered_map<uint64_t, size_t> FLatest;  // (file, offset) -> its latest entry
  size_t FPendingBytes = 0;
  unsigned FFlushes = 0;  // bit per file kind whose operating-system buffers are to be flushed
  int32_t FStartCounter = 0;
  std::vector<uint8_t> FImage;
};

}  // namespace kura
