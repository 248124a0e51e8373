// Planning a table's file swap so that it can be finished after a crash.
#include "engine/table/TableFileSwapPlan.h"

#include <algorithm>

#include "engine/errors/EngineError.h"
#include "engine/file/DiskSync.h"
#include "engine/file/FileHandler.h"
#include "engine/file/FileNames.h"
#include "engine/file/PhysicalFile.h"

namespace kura {

namespace {
std::string PlanFile(const std::string &directory, const std::string &table, const char *extension) {
  return TableFileName(directory, table, extension);
}
}  // namespace

TFileSwapPlan::TFileSwapPlan(std::string directory, std::string tableName, bool memory, bool sync)
    : FDirectory(std::move(directory)), FTable(std::move(tableName)), FMemory(memory), FSync(sync && !memory) {}

void TFileSwapPlan::WriteList(const std::string &file, bool memory, const std::vector<TStep> &steps,
                              const std::string &errorName, bool sync) {
  std::string text = "KURA-MOVE\n";
  for (const TStep &s : steps) text += s.Kind == 'M' ? "M\t" + s.From + "\t" + s.To + "\n" : "D\t" + s.From + "\n";
  text += "END " + std::to_string(steps.size()) + "\n";
  TFileHandler handle;
  try {
    handle.Create(file, memory, false);
    handle.WriteAt(0, text.data(), static_cast<int64_t>(text.size()));
    if (sync) handle.FlushOS();
    handle.Close();
    if (sync) SyncDirectoryOf(file, memory, errorName);
  } catch (const EKuraEngineError &e) {
    try {
      handle.Close();
      TFileHandler::DeleteFile(file, memory, errorName);
    } catch (...) {
    }
    ErrorTexts texts;
    texts.Table = errorName;
    RaiseEngineErrorOS(e.ErrorCode(), e.Context().OSError, texts);
  }
}

bool TFileSwapPlan::ReadList(const std::string &file, bool memory, std::vector<TStep> &steps) {
  TFileHandler handle;
  handle.Open(file, memory, false, true, false);
  std::string text(static_cast<size_t>(std::max<int64_t>(handle.Size(), 0)), '\0');
  const int64_t got = text.empty() ? 0 : handle.ReadAt(0, text.data(), static_cast<int64_t>(text.size()), true);
  handle.Close();
  if (got != static_cast<int64_t>(text.size()) || text.rfind("KURA-MOVE\n", 0) != 0) return false;
  steps.clear();
  size_t at = 10;
  while (at < text.size()) {
    const size_t end = text.find('\n', at);
    if (end == std::string::npos) return false;
    const std::string line = text.substr(at, end - at);
    at = end + 1;
    if (line.rfind("END ", 0) == 0) return line == "END " + std::to_string(steps.size()) && at == text.size();
    const size_t tab = line.find('\t');
    if (line.size() < 3 || tab != 1) return false;
    if (line[0] == 'M') {
      const size_t second = line.find('\t', 2);
      if (second == std::string::npos) return false;
      steps.push_back({'M', line.substr(2, second - 2), line.substr(second + 1)});
    } else if (line[0] == 'D') {
      steps.push_back({'D', line.substr(2), {}});
    } else {
      return false;
    }
  }
  return false;
}

void TFileSwapPlan::Perform(const std::vector<TStep> &steps, bool memory, const std::string &errorName,
                            bool resuming) {
  size_t first = 0;
  if (resuming) {
    for (size_t i = steps.size(); i-- > 0;) {
      const TStep &s = steps[i];
      if (s.Kind == 'M' && !TFileHandler::Exists(s.From, memory) && TFileHandler::Exists(s.To, memory)) {
        first = i + 1;
        break;
      }
    }
  }
  for (size_t i = first; i < steps.size(); ++i) {
    const TStep &s = steps[i];
    if (s.Kind == 'M') {
      // Done already when the source is gone; a move made twice is never attempted.
      if (TFileHandler::Exists(s.From, memory) && !TFileHandler::Exists(s.To, memory))
        TFileHandler::RenameFile(s.From, memory, s.To, errorName);
    } else if (TFileHandler::Exists(s.From, memory)) {
      try {
        TFileHandler::DeleteFile(s.From, memory, errorName);
      } catch (...) {
        // Copies of an older structure left behind do no harm to the table.
      }
    }
  }
}

void TFileSwapPlan::WriteStaging(const std::vector<std::string> &files, const std::string &errorName) {
  std::vector<TStep> steps;
  for (const std::string &f : files) steps.push_back({'D', f, {}});
  WriteList(PlanFile(FDirectory, FTable, ".MVS"), FMemory, steps, errorName, FSync);
}

void TFileSwapPlan::Carry(const std::string &errorName) {
  const std::string plan = PlanFile(FDirectory, FTable, ".MOV");
  const std::string staging = PlanFile(FDirectory, FTable, ".MVS");
  // The files that take the table's place are on the disk before the swap is decided.
  if (FSync)
    for (const TStep &s : FSteps)
      if (s.Kind == 'M' && TFileHandler::Exists(s.From, FMemory)) SyncFileNamed(s.From, FMemory, errorName);
  WriteList(plan, FMemory, FSteps, errorName, FSync);
  // From here on the swap is decided: whatever fails, the next open finishes it.
  if (TFileHandler::Exists(staging, FMemory)) TFileHandler::DeleteFile(staging, FMemory, errorName);
  Perform(FSteps, FMemory, errorName, false);
  // The moves are on the disk before the plan that would redo them goes.
  if (FSync) SyncDirectoryOf(plan, FMemory, errorName);
  TFileHandler::DeleteFile(plan, FMemory, errorName);
}

void TFileSwapPlan::CompleteInterrupted(const std::string &directory, const std::string &tableName, bool memory,
                                        const std::vector<std::string> *names) {
  if (memory) return;
  const std::string plan = PlanFile(directory, tableName, ".MOV");
  const std::string staging = PlanFile(directory, tableName, ".MVS");
  if (names) {
    auto base = [](const std::string &file) { return file.substr(file.find_last_of('/') + 1); };
    if (!TPhysicalFile::NameIn(*names, base(plan)) && !TPhysicalFile::NameIn(*names, base(staging))) return;
  }
  std::vector<TStep> steps;
  if (TFileHandler::Exists(plan, memory)) {
    if (ReadList(plan, memory, steps)) {
      if (TFileHandler::Exists(staging, memory)) TFileHandler::DeleteFile(staging, memory, tableName);
      Perform(steps, memory, tableName, true);
    }
    TFileHandler::DeleteFile(plan, memory, tableName);
  }
  if (TFileHandler::Exists(staging, memory)) {
    // The swap never started: the new table's files brought beside are removed.
    if (ReadList(staging, memory, steps)) Perform(steps, memory, tableName, true);
    TFileHandler::DeleteFile(staging, memory, tableName);
  }
}

}  // namespace kura
