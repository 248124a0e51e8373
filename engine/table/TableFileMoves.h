#pragma once
// Moving the files of a table as one step: every rename is remembered so that a failure half
// way puts back the ones already made, and no table is left with some of its files under the
// new name and others under the old one.
#include <functional>
#include <string>
#include <vector>

namespace kura {

// The three files of one table name in one directory (a file may be missing: a table without
// Blob fields has no blob file, a backup set may be incomplete).
struct TTableFileSet {
  std::string Directory;  // with trailing separator, or empty
  std::string Name;       // table name (an extension is replaced)
  bool Memory = false;
  bool Backup = false;  // the backup names (".DBK", ".IBK", ".BBK") instead of the table's

  std::string DataFile() const;
  std::string IndexFile() const;
  std::string BlobFile() const;
  std::vector<std::string> Files() const;  // data, index, blob
  std::vector<std::string> ExistingFiles() const;
  bool AnyExists() const;
};

class TFileMoves {
 public:
  TFileMoves() = default;
  // Puts back whatever was moved and not committed.
  ~TFileMoves();
  TFileMoves(const TFileMoves &) = delete;
  TFileMoves &operator=(const TFileMoves &) = delete;

  // Renames one file (the platform refuses to move onto an existing file). A rename between
  // devices (another file system) copies the file and deletes the original instead.
  void Move(const std::string &from, const std::string &to, bool memory, const std::string &errorName);
  // Moves every existing file of one set onto the same kinds of another set.
  void MoveSet(const TTableFileSet &from, const TTableFileSet &to, const std::string &errorName);
  // Moves every file back, the last first. Failures to move back are ignored (the first one
  // is kept for the caller: false when something could not be put back).
  bool Undo() noexcept;
  // The moves stay as they are.
  void Commit() { FDone.clear(); }
  size_t Count() const { return FDone.size(); }

 private:
  struct TMove {
    std::string From, To;
    bool Memory = false;
  };
  std::vector<TMove> FDone;
};

// Deletes every existing file of a set.
void DeleteFileSet(const TTableFileSet &set, const std::string &errorName);

// Test seam: called with the source and target name before every file move; a test makes it
// throw to simulate a move that fails. Empty in normal use.
std::function<void(const std::string &from, const std::string &to)> &FileMoveHookForTest();

}  // namespace kura

namespace kura {

// A swap of a table's files that survives the death of the process doing it. Before the old
// table is touched, the whole plan (moves in order, then deletions) is written beside the
// table as "<table>.MOV"; the next open of the table carries out what is left of it. Files of
// the new table brought beside the old one beforehand are listed first in "<table>.MVS", so
// that a swap that never got its plan leaves no stray files: they are deleted.
//
// Plan layout (text, one step a line): "KURA-MOVE", then "M<tab>from<tab>to" per move and
// "D<tab>file" per deletion, then "END <number of steps>"; a plan without its END line was
// never complete and is dropped.
class TFileSwapPlan {
 public:
  TFileSwapPlan(std::string directory, std::string tableName, bool memory);
  void AddMove(const std::string &from, const std::string &to) { FSteps.push_back({'M', from, to}); }
  void AddDelete(const std::string &file) { FSteps.push_back({'D', file, {}}); }
  // Lists files about to be brought beside the table (deleted if the swap never starts).
  void WriteStaging(const std::vector<std::string> &files, const std::string &errorName);
  // Writes the plan (the swap is decided), then carries it out and removes both lists.
  void Carry(const std::string &errorName);
  // The next open: finishes a decided swap, or removes the files of one that never started.
  static void CompleteInterrupted(const std::string &directory, const std::string &tableName, bool memory);

 private:
  struct TStep {
    char Kind;
    std::string From, To;
  };
  static void WriteList(const std::string &file, bool memory, const std::vector<TStep> &steps, const std::string &errorName);
  static bool ReadList(const std::string &file, bool memory, std::vector<TStep> &steps);
  static void Perform(const std::vector<TStep> &steps, bool memory, const std::string &errorName);
  std::string FDirectory, FTable;
  bool FMemory;
  std::vector<TStep> FSteps;
};

}  // namespace kura
