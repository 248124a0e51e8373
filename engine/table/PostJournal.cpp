// The post journal: one write-locked change of a shared table reaches its files as a unit.
#include "engine/table/PostJournal.h"

#include <algorithm>
#include <cstring>

#include "engine/util/Bytes.h"

namespace kura {

namespace {

constexpr uint8_t kMark[4] = {'K', 'P', 'J', '1'};
constexpr size_t kEntryHeaderSize = 16;
// Offsets past every table file's limits (and the lock ranges) cannot be real.
constexpr int64_t kLargestOffset = 4294967296LL;
// A change that writes more than this under one write lock is put on disk in several units
// rather than held in memory without bound (only rebuilding a large index gets near it).
constexpr size_t kMaxPendingBytes = 64u << 20;
// Units above this size are cleared by cutting the journal (see Commit).
constexpr size_t kLargeUnitBytes = 256u << 10;

// Detects a journal whose write was cut short; four lanes keep the multiplications independent.
uint64_t Checksum(const uint8_t *header, const uint8_t *body, size_t size) {
  constexpr uint64_t kPrime = 0x9E3779B97F4A7C15ULL;
  uint64_t lane[4] = {0x243F6A8885A308D3ULL, 0x13198A2E03707344ULL, 0xA4093822299F31D0ULL, 0x082EFA98EC4E6C89ULL};
  auto mix = [&](uint64_t &h, uint64_t w) {
    h ^= w;
    h *= kPrime;
    h ^= h >> 31;
  };
  mix(lane[0], GetU64(header));
  mix(lane[1], GetU64(header + 8));
  mix(lane[2], GetU32(header + 16));
  size_t i = 0;
  for (; i + 32 <= size; i += 32) {
    mix(lane[0], GetU64(body + i));
    mix(lane[1], GetU64(body + i + 8));
    mix(lane[2], GetU64(body + i + 16));
    mix(lane[3], GetU64(body + i + 24));
  }
  uint64_t tail = size;
  for (int shift = 8; i < size; ++i, shift = (shift + 8) % 64) tail ^= static_cast<uint64_t>(body[i]) << shift;
  mix(lane[3], tail);
  uint64_t h = lane[0];
  for (int k = 1; k < 4; ++k) mix(h, lane[k] + static_cast<uint64_t>(k));
  return h;
}

}  // namespace

// The journal may be shorter than a header (never written, or made by another process a moment
// ago): a short read just means there is no unit.
class TPostJournal::TJournalHandle : public TFileHandler {
 protected:
  bool ShortReadAllowed() const override { return true; }
};

TPostJournalTestHooks &PostJournalTestHooks() {
  static TPostJournalTestHooks hooks;
  return hooks;
}

TPostJournal::TPostJournal(std::string fileName, bool memory, bool readOnly, ErrorTexts texts)
    : FFileName(std::move(fileName)),
      FMemory(memory),
      FReadOnly(readOnly),
      FTexts(std::move(texts)),
      FJournalFile(std::make_unique<TJournalHandle>()) {}

TPostJournal::~TPostJournal() {
  Install(false);
  try {
    FJournalFile->Close();
  } catch (...) {
  }
}

void TPostJournal::SetFiles(TFileHandler *data, TFileHandler *index, TFileHandler *blob) {
  Install(false);
  FFiles = {data, index, blob};
  if (FCapturing) Install(true);
}

void TPostJournal::Install(bool on) {
  for (TFileHandler *f : FFiles)
    if (f) f->SetWriteInterceptor(on ? this : nullptr);
}

int TPostJournal::KindOf(const TFileHandler &file) const {
  for (int k = 0; k < 3; ++k)
    if (FFiles[k] == &file) return k;
  return -1;
}

void TPostJournal::Close() {
  EndCapture();
  FJournalFile->Close();
}

bool TPostJournal::OpenJournal(bool create) {
  if (FJournalFile->IsOpen()) return true;
  if (TFileHandler::Exists(FFileName, FMemory)) {
    FJournalFile->Open(FFileName, FMemory, false, FReadOnly, false);
    return true;
  }
  if (!create || FReadOnly) return false;
  // Only made under the table's write lock, and only when it does not exist: no other process
  // can have it open or hold a unit in it.
  // A file being made is held exclusively; it is opened again for sharing.
  try {
    FJournalFile->Create(FFileName, FMemory, false);
    FJournalFile->Close();
    FJournalFile->Open(FFileName, FMemory, false, false, false);
  } catch (const EKuraEngineError &) {
    // No journal can be made beside the table (a directory that takes no new files): its
    // changes are written straight to the files, as they were before the journal existed.
    try {
      FJournalFile->Close();
    } catch (...) {
    }
    return false;
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Taking writes

void TPostJournal::BeginCapture(int32_t dataChangeCounter) {
  FPending.clear();
  FLatest.clear();
  FPendingBytes = 0;
  FFlushes = 0;
  FStartCounter = dataChangeCounter;
  FCapturing = true;
  Install(true);
}

void TPostJournal::EndCapture() {
  Install(false);
  FCapturing = false;
  Discard();
}

void TPostJournal::Discard() {
  FPending.clear();
  FLatest.clear();
  FPendingBytes = 0;
  FFlushes = 0;
}

bool TPostJournal::TakeWrite(TFileHandler &file, int64_t offset, const void *buffer, int64_t count) {
  const int kind = KindOf(file);
  if (!FCapturing || kind < 0) return false;
  TEntry entry;
  entry.File = static_cast<uint8_t>(kind);
  entry.Offset = offset;
  entry.Cut = count == 0;
  if (count > 0) {
    const uint8_t *bytes = static_cast<const uint8_t *>(buffer);
    entry.Bytes.assign(bytes, bytes + count);
    // A page or record written again at the same place makes its earlier image needless: the
    // later write covers all of it and comes after everything in between.
    const uint64_t key = static_cast<uint64_t>(kind) << 60 | static_cast<uint64_t>(offset);
    auto [it, fresh] = FLatest.try_emplace(key, FPending.size());
    if (!fresh) {
      TEntry &earlier = FPending[it->second];
      if (!earlier.Dead && !earlier.Cut && earlier.Bytes.size() <= static_cast<size_t>(count)) {
        earlier.Dead = true;
        FPendingBytes -= earlier.Bytes.size();
        earlier.Bytes = std::vector<uint8_t>();
      }
      it->second = FPending.size();
    }
  }
  FPendingBytes += entry.Bytes.size();
  FPending.push_back(std::move(entry));
  if (FPendingBytes > kMaxPendingBytes) Commit();
  return true;
}

int64_t TPostJournal::OverlayRead(TFileHandler &file, int64_t offset, uint8_t *buffer, int64_t count, int64_t got) {
  const int kind = KindOf(file);
  if (!FCapturing || kind < 0) return got;
  bool any = false;
  for (const TEntry &e : FPending) any = any || (e.File == kind && !e.Dead);
  if (!any) return got;
  if (got < count) std::memset(buffer + got, 0, static_cast<size_t>(count - got));
  const int64_t end = offset + count;
  int64_t validEnd = offset + got;
  for (const TEntry &e : FPending) {
    if (e.File != kind || e.Dead) continue;
    if (e.Cut) {
      if (e.Offset < end && e.Offset < validEnd) {
        const int64_t from = std::max(e.Offset, offset);
        std::memset(buffer + (from - offset), 0, static_cast<size_t>(std::min(validEnd, end) - from));
      }
      validEnd = e.Offset;
      continue;
    }
    const int64_t eEnd = e.Offset + static_cast<int64_t>(e.Bytes.size());
    const int64_t from = std::max(e.Offset, offset), to = std::min(eEnd, end);
    if (from < to) std::memcpy(buffer + (from - offset), e.Bytes.data() + (from - e.Offset), static_cast<size_t>(to - from));
    validEnd = std::max(validEnd, eEnd);
  }
  return std::clamp<int64_t>(validEnd - offset, 0, count);
}

int64_t TPostJournal::OverlaySize(TFileHandler &file, int64_t size) {
  const int kind = KindOf(file);
  if (!FCapturing || kind < 0) return size;
  for (const TEntry &e : FPending) {
    if (e.File != kind || e.Dead) continue;
    size = e.Cut ? e.Offset : std::max(size, e.Offset + static_cast<int64_t>(e.Bytes.size()));
  }
  return size;
}

bool TPostJournal::WritesDataHeader() const {
  return std::any_of(FPending.begin(), FPending.end(), [](const TEntry &e) {
    return e.File == static_cast<uint8_t>(TJournalFile::Data) && !e.Cut && !e.Dead && e.Offset == 0;
  });
}

bool TPostJournal::TakeFlush(TFileHandler &file) {
  const int kind = KindOf(file);
  if (!FCapturing || kind < 0) return false;
  FFlushes |= 1u << kind;
  return true;
}

// ---------------------------------------------------------------------------------------------
// Committing

void TPostJournal::CountWrite(int &writes) {
  ++writes;
  TPostJournalTestHooks &hooks = PostJournalTestHooks();
  if (hooks.StopAfterWrites >= 0 && writes > hooks.StopAfterWrites && hooks.Stop) hooks.Stop();
}

void TPostJournal::ApplyEntries(const std::vector<TEntry> &entries, int *writes) {
  // Installed interceptors must not take these writes back.
  const bool capturing = FCapturing;
  FCapturing = false;
  try {
    for (const TEntry &e : entries) {
      TFileHandler *file = FFiles[e.File];
      if (!file || !file->IsOpen()) continue;
      if (writes) CountWrite(*writes);
      if (e.Cut)
        file->TruncateAt(e.Offset);
      else
        file->WriteAt(e.Offset, e.Bytes.data(), static_cast<int64_t>(e.Bytes.size()));
    }
  } catch (...) {
    FCapturing = capturing;
    throw;
  }
  FCapturing = capturing;
}

void TPostJournal::FlushFiles(unsigned flushes) {
  for (int k = 0; k < 3; ++k)
    if ((flushes >> k & 1) && FFiles[k] && FFiles[k]->IsOpen()) FFiles[k]->FlushTakenOver();
}

void TPostJournal::Commit() {
  std::vector<TEntry> entries;
  entries.reserve(FPending.size());
  for (TEntry &e : FPending)
    if (!e.Dead) entries.push_back(std::move(e));
  FPending.clear();
  FLatest.clear();
  // The data file's header goes first: once any write of the unit is on the files, the data
  // file's ChangeCounter has moved, and every other user's change check (which is what makes
  // it look at the journal) notices. Nothing else of the unit overlaps the header.
  auto header = std::find_if(entries.rbegin(), entries.rend(), [](const TEntry &e) {
    return e.File == static_cast<uint8_t>(TJournalFile::Data) && !e.Cut && e.Offset == 0;
  });
  const bool cut = std::any_of(entries.begin(), entries.end(), [](const TEntry &e) { return e.Cut; });
  if (header != entries.rend() && !cut) std::rotate(entries.begin(), std::prev(header.base()), header.base());
  const unsigned flushes = FFlushes;
  FPendingBytes = 0;
  FFlushes = 0;
  if (entries.empty()) {
    FlushFiles(flushes);
    return;
  }
  size_t bodySize = 0;
  for (const TEntry &e : entries) bodySize += kEntryHeaderSize + e.Bytes.size();
  FImage.resize(kJournalHeaderSize + bodySize);
  uint8_t *image = FImage.data();
  uint8_t *out = image + kJournalHeaderSize;
  int32_t endCounter = FStartCounter;
  for (const TEntry &e : entries) {
    out[0] = e.File;
    out[1] = e.Cut ? 1 : 0;
    out[2] = out[3] = 0;
    PutU32(out + 4, static_cast<uint32_t>(e.Bytes.size()));
    PutI64(out + 8, e.Offset);
    if (!e.Bytes.empty()) std::memcpy(out + kEntryHeaderSize, e.Bytes.data(), e.Bytes.size());
    out += kEntryHeaderSize + e.Bytes.size();
    if (e.File == static_cast<uint8_t>(TJournalFile::Data) && e.Offset == 0 && e.Bytes.size() >= 4)
      endCounter = GetI32(e.Bytes.data());
  }
  std::memcpy(image, kMark, 4);
  PutU32(image + 4, static_cast<uint32_t>(entries.size()));
  PutU64(image + 8, bodySize);
  PutI32(image + 16, FStartCounter);
  PutU32(image + 20, 0);
  PutU64(image + 24, Checksum(image + 4, image + kJournalHeaderSize, bodySize));

  int writes = 0;
  if (!OpenJournal(true)) {
    ApplyEntries(entries, nullptr);
    FlushFiles(flushes);
    FStartCounter = endCounter;
    return;
  }
  TPostJournalTestHooks &hooks = PostJournalTestHooks();
  if (hooks.TearJournal && hooks.Stop) {
    FJournalFile->WriteAt(0, image, static_cast<int64_t>(FImage.size() / 2));
    hooks.Stop();
  }
  CountWrite(writes);
  FJournalFile->WriteAt(0, image, static_cast<int64_t>(FImage.size()));
  // A flush asked for puts the journal on disk before the files change.
  if (flushes) FJournalFile->FlushOS();
  ApplyEntries(entries, &writes);
  FlushFiles(flushes);
  CountWrite(writes);
  if (FImage.size() > kLargeUnitBytes) {
    // After a large unit the journal is cut instead (a journal shorter than its header holds no
    // unit): rewriting the first page of a file with megabytes still being written back costs
    // several times an ordinary write, for every post that follows.
    FJournalFile->TruncateAt(0);
    FImage.clear();
    FImage.shrink_to_fit();
  } else {
    static const uint8_t kCleared[4] = {0, 0, 0, 0};
    FJournalFile->WriteAt(0, kCleared, 4);
  }
  if (flushes) FJournalFile->FlushOS();
  FStartCounter = endCounter;
}

// ---------------------------------------------------------------------------------------------
// Recovery

bool TPostJournal::PendingOnDisk() {
  if (!OpenJournal(false)) return false;
  uint8_t mark[4];
  return FJournalFile->ReadAt(0, mark, 4, true) == 4 && std::memcmp(mark, kMark, 4) == 0;
}

bool TPostJournal::RecoverInterrupted() {
  if (FCapturing || !OpenJournal(false)) return false;
  uint8_t header[kJournalHeaderSize];
  if (FJournalFile->ReadAt(0, header, kJournalHeaderSize, true) != static_cast<int64_t>(kJournalHeaderSize))
    return false;
  if (std::memcmp(header, kMark, 4) != 0) return false;
  if (FReadOnly || FJournalFile->IsReadOnly()) return false;

  // Parse and check the unit; anything that does not hold together was never applied.
  std::vector<TEntry> entries;
  bool usable = false;
  const uint64_t bodySize = GetU64(header + 8);
  const uint32_t count = GetU32(header + 4);
  const int32_t startCounter = GetI32(header + 16);
  std::vector<uint8_t> body;
  bool complete = false;
  const int64_t fileSize = FJournalFile->Size();
  if (fileSize >= static_cast<int64_t>(kJournalHeaderSize) &&
      bodySize <= static_cast<uint64_t>(fileSize) - kJournalHeaderSize) {
    body.resize(static_cast<size_t>(bodySize));
    complete = bodySize == 0 || FJournalFile->ReadAt(static_cast<int64_t>(kJournalHeaderSize), body.data(),
                                                     static_cast<int64_t>(bodySize), true) ==
                                    static_cast<int64_t>(bodySize);
  }
  if (complete) {
    if (Checksum(header + 4, body.data(), body.size()) == GetU64(header + 24)) {
      usable = true;
      int32_t endCounter = startCounter;
      bool writesHeader = false;
      size_t at = 0;
      for (uint32_t i = 0; i < count && usable; ++i) {
        if (at + kEntryHeaderSize > body.size()) {
          usable = false;
          break;
        }
        TEntry e;
        e.File = body[at];
        e.Cut = body[at + 1] == 1;
        const uint32_t length = GetU32(&body[at + 4]);
        e.Offset = GetI64(&body[at + 8]);
        at += kEntryHeaderSize;
        if (e.File > 2 || body[at - kEntryHeaderSize + 1] > 1 || e.Offset < 0 || e.Offset > kLargestOffset ||
            length > body.size() - at || (e.Cut && length != 0)) {
          usable = false;
          break;
        }
        e.Bytes.assign(body.begin() + static_cast<long>(at), body.begin() + static_cast<long>(at + length));
        at += length;
        if (e.File == static_cast<uint8_t>(TJournalFile::Data) && e.Offset == 0 && length >= 4) {
          endCounter = GetI32(e.Bytes.data());
          writesHeader = true;
        }
        entries.push_back(std::move(e));
      }
      usable = usable && at == body.size();
      // The unit must belong to the data file as it stands: before the unit, or already past
      // the header write of the unit.
      if (usable && FFiles[0] && FFiles[0]->IsOpen()) {
        uint8_t counter[4] = {0, 0, 0, 0};
        FFiles[0]->ReadAt(0, counter, 4);
        const int32_t disk = GetI32(counter);
        usable = disk == startCounter || (writesHeader && disk == endCounter);
      }
    }
  }
  if (usable) ApplyEntries(entries, nullptr);
  static const uint8_t kCleared[4] = {0, 0, 0, 0};
  FJournalFile->WriteAt(0, kCleared, 4);
  return true;
}

}  // namespace kura
