// Run files of the external sort.
#include "engine/sort/SortRuns.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "engine/data/Scramble.h"

namespace kura {

std::string ThreadNumberDigits() {
  long thread = static_cast<long>(::syscall(SYS_gettid));
  return std::to_string(std::labs(thread)).substr(0, 5);
}

TSortRuns::TSortRuns(std::string directory, size_t recordSize, bool encrypted)
    : FDirectory(std::move(directory)), FRecordSize(recordSize), FEncrypted(encrypted) {
  // About 8 KB per run while merging keeps reads large without letting many runs cost much.
  FReadAhead = std::max<size_t>(1, 8192 / std::max<size_t>(1, recordSize));
}

TSortRuns::~TSortRuns() { Discard(); }

std::string TSortRuns::NewRunName() const {
  const std::string digits = ThreadNumberDigits();
  for (unsigned long counter = 0;; ++counter) {
    std::string name = FDirectory + digits + std::to_string(counter) + ".TMP";
    bool ours = std::any_of(FRuns.begin(), FRuns.end(), [&](const auto &run) { return run->Name == name; });
    if (!ours && !TFileHandler::Exists(name, false)) return name;
  }
}

void TSortRuns::BeginRun(int level) {
  auto run = std::make_unique<TRun>();
  run->Name = NewRunName();
  run->Level = level;
  run->File = std::make_unique<TFileHandler>();
  // Registered before anything is written, so a failed write still closes and deletes it.
  FRuns.push_back(std::move(run));
  FRuns.back()->File->Create(FRuns.back()->Name, false, true);
}

void TSortRuns::Append(const uint8_t *records, size_t count) {
  TRun &run = *FRuns.back();
  const size_t bytes = count * FRecordSize;
  const uint8_t *data = records;
  if (FEncrypted) {
    FScratch.assign(records, records + bytes);
    for (size_t i = 0; i < count; ++i) Scramble(FScratch.data() + i * FRecordSize, FRecordSize, kRecordKey);
    data = FScratch.data();
  }
  run.File->WriteAt(run.Written, data, static_cast<int64_t>(bytes));
  run.Written += static_cast<int64_t>(bytes);
  run.Remaining += static_cast<int64_t>(count);
}

void TSortRuns::AddRun(const uint8_t *records, size_t count, int level) {
  BeginRun(level);
  Append(records, count);
}

bool TSortRuns::Next(size_t index, uint8_t *record) {
  TRun &run = *FRuns[index];
  if (run.BufferIndex == run.BufferCount) {
    if (run.Remaining == 0) {
      // An exhausted run is closed (and so deleted) at once, which keeps open files few.
      run.File->Close();
      return false;
    }
    const size_t n = static_cast<size_t>(std::min<int64_t>(run.Remaining, static_cast<int64_t>(FReadAhead)));
    run.Buffer.resize(n * FRecordSize);
    run.File->ReadAt(run.Position, run.Buffer.data(), static_cast<int64_t>(run.Buffer.size()));
    run.Position += static_cast<int64_t>(run.Buffer.size());
    run.Remaining -= static_cast<int64_t>(n);
    if (FEncrypted)
      for (size_t i = 0; i < n; ++i) Scramble(run.Buffer.data() + i * FRecordSize, FRecordSize, kRecordKey);
    run.BufferCount = n;
    run.BufferIndex = 0;
  }
  std::memcpy(record, run.Buffer.data() + run.BufferIndex * FRecordSize, FRecordSize);
  ++run.BufferIndex;
  return true;
}

void TSortRuns::Close(TRun &run) noexcept {
  try {
    if (run.File && run.File->IsOpen()) run.File->Close();
  } catch (...) {
  }
  try {
    // Temporary files go when closed; a file left behind (another handle, a failed unlink) is
    // removed by name.
    if (TFileHandler::Exists(run.Name, false)) TFileHandler::DeleteFile(run.Name, false, run.Name);
  } catch (...) {
  }
}

void TSortRuns::RemoveRuns(size_t first, size_t count) {
  if (first >= FRuns.size()) return;
  count = std::min(count, FRuns.size() - first);
  for (size_t i = first; i < first + count; ++i) Close(*FRuns[i]);
  FRuns.erase(FRuns.begin() + static_cast<long>(first), FRuns.begin() + static_cast<long>(first + count));
}

void TSortRuns::Discard() noexcept {
  for (auto &run : FRuns) Close(*run);
  FRuns.clear();
}

}  // namespace kura
