// Moving a table's files with undo.
#include "engine/table/TableFileMoves.h"

#include "engine/errors/EngineError.h"
#include "engine/file/FileHandler.h"
#include "engine/file/FileNames.h"

namespace kura {

std::function<void(const std::string &, const std::string &)> &FileMoveHookForTest() {
  static std::function<void(const std::string &, const std::string &)> hook;
  return hook;
}

std::string TTableFileSet::DataFile() const {
  return TableFileName(Directory, Name, Backup ? kDataBackupExtension : kDataExtension);
}
std::string TTableFileSet::IndexFile() const {
  return TableFileName(Directory, Name, Backup ? kIndexBackupExtension : kIndexExtension);
}
std::string TTableFileSet::BlobFile() const {
  return TableFileName(Directory, Name, Backup ? kBlobBackupExtension : kBlobExtension);
}

std::vector<std::string> TTableFileSet::Files() const { return {DataFile(), IndexFile(), BlobFile()}; }

std::vector<std::string> TTableFileSet::ExistingFiles() const {
  std::vector<std::string> existing;
  for (const std::string &file : Files())
    if (TFileHandler::Exists(file, Memory)) existing.push_back(file);
  return existing;
}

bool TTableFileSet::AnyExists() const { return !ExistingFiles().empty(); }

TFileMoves::~TFileMoves() { Undo(); }

namespace {

// A file the platform cannot rename to another device is copied there and then deleted.
void CopyAcross(const std::string &from, const std::string &to, bool memory, const std::string &errorName) {
  {
    TFileHandler source;
    source.Open(from, memory, true, true, false);
    try {
      source.CopyTo(to, memory);
    } catch (...) {
      source.Close();
      try {
        if (TFileHandler::Exists(to, memory)) TFileHandler::DeleteFile(to, memory, errorName);
      } catch (...) {
      }
      throw;
    }
    source.Close();
  }
  try {
    TFileHandler::DeleteFile(from, memory, errorName);
  } catch (...) {
    // The copy is not kept: the move did not happen.
    try {
      TFileHandler::DeleteFile(to, memory, errorName);
    } catch (...) {
    }
    throw;
  }
}

void MoveOne(const std::string &from, const std::string &to, bool memory, const std::string &errorName) {
  if (auto &hook = FileMoveHookForTest()) hook(from, to);
  try {
    TFileHandler::RenameFile(from, memory, to, errorName);
  } catch (const EKuraEngineError &e) {
    if (e.ErrorCode() != KURA_OSENOTSAM || memory) throw;
    if (TFileHandler::Exists(to, memory)) throw;
    CopyAcross(from, to, memory, errorName);
  }
}

}  // namespace

void TFileMoves::Move(const std::string &from, const std::string &to, bool memory, const std::string &errorName) {
  MoveOne(from, to, memory, errorName);
  FDone.push_back({from, to, memory});
}

void TFileMoves::MoveSet(const TTableFileSet &from, const TTableFileSet &to, const std::string &errorName) {
  const std::vector<std::string> source = from.Files();
  const std::vector<std::string> target = to.Files();
  for (size_t i = 0; i < source.size(); ++i)
    if (TFileHandler::Exists(source[i], from.Memory)) Move(source[i], target[i], from.Memory, errorName);
}

bool TFileMoves::Undo() noexcept {
  bool complete = true;
  while (!FDone.empty()) {
    const TMove move = FDone.back();
    FDone.pop_back();
    try {
      MoveOne(move.To, move.From, move.Memory, move.To);
    } catch (...) {
      complete = false;
    }
  }
  return complete;
}

void DeleteFileSet(const TTableFileSet &set, const std::string &errorName) {
  for (const std::string &file : set.ExistingFiles()) TFileHandler::DeleteFile(file, set.Memory, errorName);
}

}  // namespace kura
