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

void TSortRuns::AddRun(const uint8_t *records, size_t count) {
  auto run = std::make_unique<TRun>();
  run->Name = NewRunName();
  run->File = std::make_unique<TFileHandler>();
  run->File->Create(run->Name, false, true);
  // Registered before writing, so a failed write still closes and deletes the file.
  TRun &r = *run;
  FRuns.push_back(std::move(run));
  const size_t bytes = count * FRecordSize;
  if (FEncrypted) {
    FScratch.assign(records, records + bytes);
    for (size_t i = 0; i < count; ++i) Scramble(FScratch.data() + i * FRecordSize, FRecordSize, kRecordKey);
    r.File->WriteAt(0, FScratch.data(), static_cast<int64_t>(bytes));
  } else {
    r.File->WriteAt(0, records, static_cast<int64_t>(bytes));
  }
  r.Remaining = static_cast<int64_t>(count);
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

void TSortRuns::Discard() noexcept {
  for (auto &run : FRuns) {
    try {
      if (run->File && run->File->IsOpen()) run->File->Close();
    } catch (...) {
    }
    try {
      // Temporary files go when closed; a file left behind (another handle, a failed unlink)
      // is removed by name.
      if (TFileHandler::Exists(run->Name, false)) TFileHandler::DeleteFile(run->Name, false, run->Name);
    } catch (...) {
    }
  }
  FRuns.clear();
}

}  // namespace kura
