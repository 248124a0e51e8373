#pragma once
// The run files of an external sort: each holds one sorted chunk of the table's records
// (scrambled like the table when it is encrypted) in a temporary file of the session's
// private directory. The set closes and deletes every run file when it goes, also when the
// sort fails.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/file/FileHandler.h"

namespace kura {

class TSortRuns {
 public:
  // directory: with trailing separator.
  TSortRuns(std::string directory, size_t recordSize, bool encrypted);
  ~TSortRuns();
  TSortRuns(const TSortRuns &) = delete;
  TSortRuns &operator=(const TSortRuns &) = delete;

  // A new run file holding `count` records (plain images, in order), at the end of the list.
  void AddRun(const uint8_t *records, size_t count, int level = 0);
  // A new, empty run at the end of the list that Append fills.
  void BeginRun(int level);
  // More records for the last run.
  void Append(const uint8_t *records, size_t count);
  // Closes and deletes `count` runs starting at `first`; the runs after them move up.
  void RemoveRuns(size_t first, size_t count);
  size_t Count() const { return FRuns.size(); }
  const std::string &FileName(size_t run) const { return FRuns[run]->Name; }
  // How many merges made the run (0: a sorted chunk of the table).
  int Level(size_t run) const { return FRuns[run]->Level; }

  // Reading back, one record at a time per run (through a small buffer): false when the run
  // has no record left.
  bool Next(size_t run, uint8_t *record);

  // Closes and deletes every run file; errors are ignored (the files are temporary).
  void Discard() noexcept;

 private:
  struct TRun {
    std::string Name;
    std::unique_ptr<TFileHandler> File;
    int Level = 0;
    int64_t Position = 0;   // read position in bytes
    int64_t Written = 0;    // bytes written
    int64_t Remaining = 0;  // records not yet read from the file
    std::vector<uint8_t> Buffer;
    size_t BufferCount = 0, BufferIndex = 0;
  };
  std::string NewRunName() const;
  static void Close(TRun &run) noexcept;

  std::string FDirectory;
  size_t FRecordSize;
  bool FEncrypted;
  size_t FReadAhead;  // records per read while merging
  std::vector<std::unique_ptr<TRun>> FRuns;
  std::vector<uint8_t> FScratch;
};

// The first five digits of the calling thread's number.
std::string ThreadNumberDigits();

}  // namespace kura
