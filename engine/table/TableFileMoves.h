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
