// The post journal: one write-locked change of a shared table reaches its files as a unit.
#include "engine/table/PostJournal.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <tuple>

#include <fcntl.h>
#include <sys/stat.h>

#include "engine/file/DiskSync.h"
#include "engine/file/PhysicalFile.h"
#include "engine/table/JournalWriteGroups.h"
#include "engine/util/Bytes.h"

namespace kura {

namespace {

// "KPJ1": units written before the body could be spilled (header mixed first into the checksum).
constexpr uint8_t kMark[4] = {'K', 'P', 'J', '1'};
constexpr uint8_t kGroupMark[4] = {'K', 'P', 'J', '2'};
constexpr uint8_t kUnitMark[4] = {'K', 'P', 'J', '3'};
// What a unit may hold in memory before its bytes go to the journal's body.
constexpr size_t kDefaultSpillBytes = 16u << 20;
constexpr size_t kEntryHeaderSize = 16;
// Offsets past every table file's limits (and the lock ranges) cannot be real.
constexpr int64_t kLargestOffset = 4294967296LL;
// Writes of at least this size go to the journal's body as they are taken.
constexpr int64_t kDirectSpillBytes = 256 << 10;
// What a transaction gathering its unit before the commit holds in memory at most.
constexpr size_t kGatheringSpillBytes = 1u << 20;
// Units above this size are cleared by cutting the journal (see Commit).
constexpr size_t kLargeUnitBytes = 256u << 10;
// Entries of at most this size are copied beside their headers when a unit is journaled; larger
// ones are written from where the unit holds them.
constexpr size_t kCopiedEntryBytes = 512;

// The first count bytes of pieces.
std::vector<TWritePiece> FirstBytes(const std::vector<TWritePiece> &pieces, int64_t count) {
  std::vector<TWritePiece> first;
  for (const TWritePiece &piece : pieces) {
    if (count <= 0) break;
    first.push_back({piece.Bytes, std::min(piece.Count, count)});
    count -= piece.Count;
  }
  return first;
}

// Journals whose directory entry this process synced, by device, inode and birth time (an
// inode number comes back for a file made after one was deleted; its birth time does not): a
// table opened again for every statement does not sync its directory for every commit.
class TSyncedJournalNames {
 public:
  using TKey = std::tuple<uint64_t, uint64_t, int64_t, uint32_t>;
  static bool KeyOf(const std::string &file, TKey &key) {
    struct statx info {};
    if (::statx(AT_FDCWD, file.c_str(), 0, STATX_INO | STATX_BTIME, &info) != 0 || !(info.stx_mask & STATX_BTIME))
      return false;
    key = {static_cast<uint64_t>(info.stx_dev_major) << 32 | info.stx_dev_minor, info.stx_ino, info.stx_btime.tv_sec,
           info.stx_btime.tv_nsec};
    return true;
  }
  static bool Known(const TKey &key) {
    std::lock_guard<std::mutex> guard(Lock());
    return Keys().count(key) != 0;
  }
  static void Remember(const TKey &key) {
    std::lock_guard<std::mutex> guard(Lock());
    Keys().insert(key);
  }

 private:
  static std::mutex &Lock() {
    static std::mutex lock;
    return lock;
  }
  static std::set<TKey> &Keys() {
    static std::set<TKey> keys;
    return keys;
  }
};

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

// The checksum of "KPJ2" and "KPJ3" units: the body as it is written (in pieces, part of it
// perhaps long before the rest), then the header's words.
class TStreamChecksum {
 public:
  void Add(const uint8_t *bytes, size_t size) {
    while (size > 0) {
      if (FCarried == 0 && size >= sizeof FCarry) {
        // Whole blocks straight from the input: the same sum without the copy.
        const size_t whole = size - size % sizeof FCarry;
        for (const uint8_t *end = bytes + whole; bytes != end; bytes += sizeof FCarry)
          for (int k = 0; k < 4; ++k) Mix(FLane[k], GetU64(bytes + 8 * k));
        size -= whole;
        FTotal += whole;
        continue;
      }
      const size_t n = std::min(size, sizeof FCarry - FCarried);
      std::memcpy(FCarry + FCarried, bytes, n);
      FCarried += n;
      bytes += n;
      size -= n;
      FTotal += n;
      if (FCarried == sizeof FCarry) {
        for (int k = 0; k < 4; ++k) Mix(FLane[k], GetU64(FCarry + 8 * k));
        FCarried = 0;
      }
    }
  }
  uint64_t Finish(const uint8_t *header) {
    uint64_t tail = FTotal;
    for (size_t i = 0, shift = 8; i < FCarried; ++i, shift = (shift + 8) % 64) tail ^= static_cast<uint64_t>(FCarry[i]) << shift;
    Mix(FLane[3], tail);
    Mix(FLane[0], GetU64(header));
    Mix(FLane[1], GetU64(header + 8));
    Mix(FLane[2], GetU32(header + 16));
    uint64_t h = FLane[0];
    for (int k = 1; k < 4; ++k) Mix(h, FLane[k] + static_cast<uint64_t>(k));
    return h;
  }

 private:
  static void Mix(uint64_t &h, uint64_t w) {
    h ^= w;
    h *= 0x9E3779B97F4A7C15ULL;
    h ^= h >> 31;
  }
  uint64_t FLane[4] = {0x243F6A8885A308D3ULL, 0x13198A2E03707344ULL, 0xA4093822299F31D0ULL, 0x082EFA98EC4E6C89ULL};
  uint8_t FCarry[32] = {};
  size_t FCarried = 0;
  uint64_t FTotal = 0;
};

std::string DirectoryOf(const std::string &file) {
  const size_t slash = file.find_last_of('/');
  return slash == std::string::npos ? std::string() : file.substr(0, slash + 1);
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
    try {
      FJournalFile->Open(FFileName, FMemory, false, FReadOnly, false);
    } catch (const EKuraEngineError &e) {
      RaiseForTable(e);
    }
    // A journal that can only be read cannot take a unit: writing is refused before anything
    // is changed.
    if (create && !FReadOnly && FJournalFile->IsReadOnly()) RaiseEngineErrorOS(KURA_OSEACCES, 0, FTexts);
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
  } catch (const EKuraEngineError &e) {
    // Without a journal a writer that dies half-way would leave the table damaged: the change
    // is refused instead (a directory that takes no new files, a journal that cannot be
    // written), naming the table and the cause.
    try {
      FJournalFile->Close();
    } catch (...) {
    }
    RaiseForTable(e);
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Taking writes

void TPostJournal::BeginCapture(int32_t dataChangeCounter) {
  Discard();
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
  FFlushes = 0;
  // Every change of a transaction takes and gives up a write lock, each time beginning and
  // ending a capture that takes nothing: then there is nothing to reset.
  if (!FTaken) return;
  FTaken = false;
  FPending.clear();
  FByKind = {};
  FPendingBytes = 0;
  FSpilledEnd = 0;
}

size_t TPostJournal::SpillThreshold() {
  // Settable for tests that want a large unit without writing hundreds of megabytes.
  static const size_t threshold = [] {
    const char *text = std::getenv("KURA_JOURNAL_SPILL_BYTES");
    const long long value = text ? std::atoll(text) : 0;
    return value > 0 ? static_cast<size_t>(value) : kDefaultSpillBytes;
  }();
  return threshold;
}

bool TPostJournal::TakeWrite(TFileHandler &file, int64_t offset, const void *buffer, int64_t count) {
  const int kind = KindOf(file);
  if (!FCapturing || kind < 0) return false;
  FTaken = true;
  TKindIndex &index = FByKind[static_cast<size_t>(kind)];
  TEntry entry;
  entry.File = static_cast<uint8_t>(kind);
  entry.Offset = offset;
  entry.Cut = count == 0;
  if (count > 0) {
    const uint8_t *bytes = static_cast<const uint8_t *>(buffer);
    entry.Length = static_cast<uint32_t>(count);
    if (count >= kDirectSpillBytes) {
      // A large write goes straight to the journal's body, after everything taken before it:
      // copying it to memory first would only cost time and memory.
      Spill();
      try {
        uint8_t head[kEntryHeaderSize];
        PutEntryHeader(head, entry);
        FJournalFile->WriteAt(FSpilledEnd, head, static_cast<int64_t>(kEntryHeaderSize));
        FJournalFile->WriteAt(FSpilledEnd + static_cast<int64_t>(kEntryHeaderSize), bytes, count);
      } catch (const EKuraEngineError &e) {
        RaiseForTable(e);
      }
      // Counted in the body only once nothing below can fail any more.
      entry.Spilled = FSpilledEnd;
    } else {
      entry.Bytes.assign(bytes, bytes + count);
    }
    // A page or record written again at the same place makes its earlier image needless: the
    // later write covers all of it and comes after everything in between. The latest write
    // still live at the offset is the last of the live ones there (equal offsets keep the order
    // they were taken in); writes mostly come in rising offsets, and one beyond every live write
    // has none to look for.
    if (!index.Live.empty() && offset <= index.Live.rbegin()->first) {
      auto [from, to] = index.Live.equal_range(offset);
      if (from != to) {
        const auto latest = std::prev(to);
        TEntry &earlier = FPending[latest->second];
        if (earlier.Length <= static_cast<uint32_t>(count)) {
          if (earlier.Spilled >= 0) {
            // Already in the journal: marked there as replaced (before anything here changes, so
            // that a failure leaves the entries as they were).
            static const uint8_t kReplaced = 1;
            try {
              FJournalFile->WriteAt(earlier.Spilled + 2, &kReplaced, 1);
            } catch (const EKuraEngineError &e) {
              RaiseForTable(e);
            }
          }
          earlier.Dead = true;
          index.Live.erase(latest);
          --index.LiveCount;
          if (earlier.Spilled < 0) {
            FPendingBytes -= earlier.Bytes.size();
            earlier.Bytes = std::vector<uint8_t>();
          }
        }
      }
    }
    if (entry.Spilled >= 0) FSpilledEnd += static_cast<int64_t>(kEntryHeaderSize) + count;
  }
  FPendingBytes += entry.Bytes.size();
  ++index.LiveCount;
  if (entry.Cut) {
    index.HasCut = true;
    index.LastCut = offset;
    index.MaxEndSinceCut = 0;
  } else {
    const int64_t end = offset + static_cast<int64_t>(entry.Length);
    // Writes mostly come in rising offsets: then the place at the end is the right one at once.
    index.Live.emplace_hint(index.Live.end(), offset, FPending.size());
    index.MaxLength = std::max<int64_t>(index.MaxLength, entry.Length);
    index.MaxEnd = std::max(index.MaxEnd, end);
    index.MaxEndSinceCut = std::max(index.MaxEndSinceCut, end);
  }
  FPending.push_back(std::move(entry));
  // One unit whatever its size: beyond the threshold its bytes go to the journal's body, where
  // the commit will find them, instead of memory.
  if (FPendingBytes > (FGathering ? std::min(SpillThreshold(), kGatheringSpillBytes) : SpillThreshold())) Spill();
  return true;
}

void TPostJournal::Spill() {
  OpenJournal(true);
  if (FSpilledEnd == 0) FSpilledEnd = static_cast<int64_t>(kJournalHeaderSize);
  // Entries are spilled in their order: the ones not spilled yet follow the last one spilled.
  size_t first = FPending.size();
  while (first > 0 && FPending[first - 1].Spilled < 0) --first;
  constexpr size_t kChunkBytes = 4u << 20;
  std::vector<uint8_t> chunk;
  chunk.reserve(std::min(kChunkBytes + (64u << 10), FPendingBytes + kEntryHeaderSize * (FPending.size() - first)));
  int64_t chunkAt = FSpilledEnd;
  // An entry's bytes leave memory once the chunk holding them is written: a write that fails
  // leaves those of its chunk where they were, and the unit as it was before.
  size_t chunkFirst = first;
  auto flush = [&](size_t end) {
    if (!chunk.empty()) FJournalFile->WriteAt(chunkAt, chunk.data(), static_cast<int64_t>(chunk.size()));
    chunkAt += static_cast<int64_t>(chunk.size());
    chunk.clear();
    for (size_t k = chunkFirst; k < end; ++k) {
      TEntry &e = FPending[k];
      if (e.Dead || e.Spilled < 0) continue;
      FPendingBytes -= e.Bytes.size();
      e.Bytes = std::vector<uint8_t>();
    }
    chunkFirst = end;
  };
  try {
    for (size_t i = first; i < FPending.size(); ++i) {
      TEntry &e = FPending[i];
      if (e.Dead) continue;
      e.Spilled = chunkAt + static_cast<int64_t>(chunk.size());
      uint8_t head[kEntryHeaderSize];
      PutEntryHeader(head, e);
      chunk.insert(chunk.end(), head, head + kEntryHeaderSize);
      chunk.insert(chunk.end(), e.Bytes.begin(), e.Bytes.end());
      if (chunk.size() >= kChunkBytes) flush(i + 1);
    }
    flush(FPending.size());
  } catch (const EKuraEngineError &e) {
    for (size_t k = chunkFirst; k < FPending.size(); ++k) FPending[k].Spilled = -1;
    FSpilledEnd = chunkAt;
    RaiseForTable(e);
  }
  FSpilledEnd = chunkAt;
  FPendingBytes = 0;  // every byte held is in the journal now
}

void TPostJournal::PutEntryHeader(uint8_t *out, const TEntry &e) {
  out[0] = e.File;
  out[1] = e.Cut ? 1 : 0;
  out[2] = e.Dead ? 1 : 0;
  out[3] = 0;
  PutU32(out + 4, e.Length);
  PutI64(out + 8, e.Offset);
}

void TPostJournal::EntryBytes(const TEntry &e, int64_t from, uint8_t *out, int64_t count) {
  if (e.Spilled < 0) {
    std::memcpy(out, e.Bytes.data() + from, static_cast<size_t>(count));
    return;
  }
  if (FJournalFile->ReadAt(e.Spilled + static_cast<int64_t>(kEntryHeaderSize) + from, out, count, true) != count)
    RaiseEngineErrorOS(KURA_READERR, 0, FTexts);
}

int64_t TPostJournal::OverlayRead(TFileHandler &file, int64_t offset, uint8_t *buffer, int64_t count, int64_t got) {
  const int kind = KindOf(file);
  if (!FCapturing || kind < 0) return got;
  const TKindIndex &index = FByKind[static_cast<size_t>(kind)];
  if (index.LiveCount == 0) return got;
  if (got < count) std::memset(buffer + got, 0, static_cast<size_t>(count - got));
  const int64_t end = offset + count;
  int64_t validEnd = offset + got;
  if (!index.HasCut) {
    // Only the entries that overlap the range, in the order they were made; the file reaches
    // as far as the furthest of all.
    std::vector<size_t> overlapping;
    for (auto at = index.Live.lower_bound(offset - index.MaxLength + 1); at != index.Live.end() && at->first < end; ++at) {
      const TEntry &e = FPending[at->second];
      if (e.Offset + static_cast<int64_t>(e.Length) > offset) overlapping.push_back(at->second);
    }
    std::sort(overlapping.begin(), overlapping.end());
    for (size_t i : overlapping) {
      const TEntry &e = FPending[i];
      const int64_t from = std::max(e.Offset, offset), to = std::min(e.Offset + static_cast<int64_t>(e.Length), end);
      EntryBytes(e, from - e.Offset, buffer + (from - offset), to - from);
    }
    validEnd = std::max(validEnd, index.MaxEnd);
    return std::clamp<int64_t>(validEnd - offset, 0, count);
  }
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
    const int64_t eEnd = e.Offset + static_cast<int64_t>(e.Length);
    const int64_t from = std::max(e.Offset, offset), to = std::min(eEnd, end);
    if (from < to) EntryBytes(e, from - e.Offset, buffer + (from - offset), to - from);
    validEnd = std::max(validEnd, eEnd);
  }
  return std::clamp<int64_t>(validEnd - offset, 0, count);
}

int64_t TPostJournal::OverlaySize(TFileHandler &file, int64_t size) {
  const int kind = KindOf(file);
  if (!FCapturing || kind < 0) return size;
  const TKindIndex &index = FByKind[static_cast<size_t>(kind)];
  if (index.LiveCount == 0) return size;
  return index.HasCut ? std::max(index.LastCut, index.MaxEndSinceCut) : std::max(size, index.MaxEnd);
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

void TPostJournal::RaiseForTable(const EKuraEngineError &e) const {
  RaiseEngineErrorOS(e.ErrorCode(), e.Context().OSError, FTexts);
}

int64_t TPostJournal::DiskSize(int kind) {
  TFileHandler *file = FFiles[static_cast<size_t>(kind)];
  if (!file || !file->IsOpen()) return 0;
  const bool capturing = FCapturing;
  FCapturing = false;
  const int64_t size = file->Size();
  FCapturing = capturing;
  return std::max<int64_t>(size, 0);
}

void TPostJournal::PlanSizes(const std::vector<TEntry> &entries, TSizes &sizes) {
  for (int k = 0; k < 3; ++k) {
    int64_t current = DiskSize(k);
    sizes.Original[k] = current;
    sizes.Peak[k] = current;
    for (const TEntry &e : entries) {
      if (e.File != k || e.Dead) continue;
      current = e.Cut ? e.Offset : std::max(current, e.Offset + static_cast<int64_t>(e.Length));
      sizes.Peak[k] = std::max(sizes.Peak[k], current);
    }
    sizes.Final[k] = current;
  }
}

void TPostJournal::ReserveSpace(const TSizes &sizes) {
  for (int k = 0; k < 3; ++k) {
    TFileHandler *file = FFiles[static_cast<size_t>(k)];
    if (file && file->IsOpen() && sizes.Peak[k] > sizes.Original[k]) file->Reserve(sizes.Peak[k]);
  }
}

// The order a unit's entries reach the files: the data file's last header write first (once
// any write of the unit is on the files, the data file's ChangeCounter has moved, and every
// other user's change check, which is what makes it look at the journal, notices), then the
// others as they were made, leaving out replaced ones. A unit that cuts a file keeps its order.
std::vector<size_t> TPostJournal::ApplyOrder(const std::vector<TEntry> &entries) {
  std::vector<size_t> order;
  size_t header = entries.size();
  bool cut = false;
  for (size_t i = 0; i < entries.size(); ++i) {
    const TEntry &e = entries[i];
    cut = cut || e.Cut;
    if (!e.Dead && !e.Cut && e.File == static_cast<uint8_t>(TJournalFile::Data) && e.Offset == 0) header = i;
  }
  if (header < entries.size() && !cut) order.push_back(header);
  for (size_t i = 0; i < entries.size(); ++i)
    if (!entries[i].Dead && (cut || i != header)) order.push_back(i);
  return order;
}

// Whether the group's members are all held in memory and cover its span end to end without
// overlapping; tiles: the entries in the order of their offsets.
bool TPostJournal::TilesSpan(const std::vector<TEntry> &entries, const std::vector<size_t> &order,
                             const TJournalWriteGroup &group, std::vector<size_t> &tiles) {
  if (group.HasGaps) return false;
  tiles.clear();
  for (size_t member : group.Members) {
    const TEntry &e = entries[order[member]];
    if (e.Spilled >= 0 || e.Cut || e.Length == 0) return false;
    tiles.push_back(order[member]);
  }
  std::sort(tiles.begin(), tiles.end(), [&](size_t a, size_t b) { return entries[a].Offset < entries[b].Offset; });
  int64_t at = group.Offset;
  for (size_t t : tiles) {
    if (entries[t].Offset != at) return false;
    at += static_cast<int64_t>(entries[t].Length);
  }
  return at == group.Offset + group.Length;
}

void TPostJournal::ApplyEntries(const std::vector<TEntry> &entries, const TSizes &sizes, int *writes) {
  // Installed interceptors must not take these writes back.
  const bool capturing = FCapturing;
  FCapturing = false;
  try {
    // One write per group of neighbouring entries instead of one per entry (the table's write
    // lock, held by whoever applies a unit, keeps every other writer off the bytes between them).
    std::vector<size_t> order;
    std::vector<TJournalWrite> planned;
    for (size_t i : ApplyOrder(entries)) {
      const TEntry &e = entries[i];
      TFileHandler *file = FFiles[e.File];
      if (!file || !file->IsOpen()) continue;
      order.push_back(i);
      planned.push_back({e.File, e.Cut, e.Offset, static_cast<int64_t>(e.Length)});
    }
    // Gaps are only filled below the files' sizes before the unit: the space reserved for it
    // beyond them is left to the writes, as it would be without grouping.
    // The bytes of a group's members that lie in the journal's body, read with one read per run
    // of them that lie one after the other there (they were spilled in their order).
    std::vector<uint8_t> spilled;
    std::vector<std::pair<int64_t, size_t>> spilledAt;  // (place in the journal, member)
    std::vector<size_t> fetchedAt;                        // per member: where its bytes are in spilled
    auto fetchSpilled = [&](const TJournalWriteGroup &group) {
      spilledAt.clear();
      for (size_t k = 0; k < group.Members.size(); ++k) {
        const TEntry &e = entries[order[group.Members[k]]];
        if (e.Spilled >= 0) spilledAt.emplace_back(e.Spilled + static_cast<int64_t>(kEntryHeaderSize), k);
      }
      if (spilledAt.empty()) return;
      std::sort(spilledAt.begin(), spilledAt.end());
      fetchedAt.assign(group.Members.size(), 0);
      spilled.clear();
      for (size_t i = 0; i < spilledAt.size();) {
        // A run: entries whose bytes are separated only by the next one's entry header.
        const int64_t runStart = spilledAt[i].first;
        int64_t runEnd = runStart;
        size_t j = i;
        for (; j < spilledAt.size(); ++j) {
          const int64_t at = spilledAt[j].first;
          if (j > i && (at < runEnd || at - runEnd > static_cast<int64_t>(kEntryHeaderSize))) break;
          fetchedAt[spilledAt[j].second] = spilled.size() + static_cast<size_t>(at - runStart);
          runEnd = at + entries[order[group.Members[spilledAt[j].second]]].Length;
        }
        const size_t base = spilled.size();
        spilled.resize(base + static_cast<size_t>(runEnd - runStart));
        if (FJournalFile->ReadAt(runStart, spilled.data() + base, runEnd - runStart, true) != runEnd - runStart)
          RaiseEngineErrorOS(KURA_READERR, 0, FTexts);
        i = j;
      }
    };
    std::vector<size_t> tiles;
    std::vector<TWritePiece> pieces;
    for (const TJournalWriteGroup &group : GroupJournalWrites(planned, sizes.Original)) {
      TFileHandler *file = FFiles[group.File];
      if (writes) CountWrite(*writes);
      const TEntry &first = entries[order[group.Members.front()]];
      if (group.Cut) {
        file->TruncateAt(group.Offset);
      } else if (group.Members.size() == 1 && first.Spilled < 0) {
        file->WriteAt(first.Offset, first.Bytes.data(), static_cast<int64_t>(first.Bytes.size()));
      } else if (TilesSpan(entries, order, group, tiles)) {
        // Members in memory that lie end to end: written from where they are.
        pieces.clear();
        for (size_t m : tiles) pieces.push_back({entries[m].Bytes.data(), static_cast<int64_t>(entries[m].Length)});
        file->WriteGatherAt(group.Offset, pieces);
      } else {
        uint8_t *const bytes = WorkBuffer(static_cast<size_t>(group.Length));
        // The gaps hold what the file holds there; they lie inside the file (see the grouping),
        // and every other byte of the span is a member's.
        if (group.HasGaps) file->ReadAt(group.Offset, bytes, group.InFile);
        fetchSpilled(group);
        for (size_t k = 0; k < group.Members.size(); ++k) {
          const TEntry &e = entries[order[group.Members[k]]];
          const uint8_t *from = e.Spilled < 0 ? e.Bytes.data() : spilled.data() + fetchedAt[k];
          if (e.Length > 0) std::memcpy(bytes + (e.Offset - group.Offset), from, e.Length);
        }
        file->WriteAt(group.Offset, bytes, group.Length);
      }
    }
    // Space reserved beyond where the unit leaves a file is given back.
    for (int k = 0; k < 3; ++k) {
      TFileHandler *file = FFiles[static_cast<size_t>(k)];
      if (file && file->IsOpen() && sizes.Final[k] < sizes.Peak[k] && file->Size() > sizes.Final[k])
        file->TruncateAt(sizes.Final[k]);
    }
  } catch (...) {
    FCapturing = capturing;
    throw;
  }
  FCapturing = capturing;
}

uint8_t *TPostJournal::WorkBuffer(size_t size) {
  if (size > FWorkSize) {
    // A large unit's image is made room enough for the largest span of its apply as well, so
    // that the apply does not need new pages (room never written costs nothing).
    if (size > kLargeUnitBytes) size = std::max<size_t>(size, TJournalWriteLimits{}.MaxSpan);
    FWork.reset();
    FWork.reset(new uint8_t[size]);
    FWorkSize = size;
  }
  return FWork.get();
}

void TPostJournal::ReleaseWorkBuffer(bool always) {
  if (always || FWorkSize > kLargeUnitBytes) {
    FWork.reset();
    FWorkSize = 0;
  }
}

void TPostJournal::FlushFiles(unsigned flushes) {
  try {
    for (int k = 0; k < 3; ++k)
      if ((flushes >> k & 1) && FFiles[k] && FFiles[k]->IsOpen()) FFiles[k]->FlushTakenOver();
  } catch (...) {
    FSyncFailed = true;
    throw;
  }
}

void TPostJournal::SyncJournal() {
  try {
    FJournalFile->FlushOS();
    // A journal made since (or by another process before) this table was opened is only found
    // after a power loss once its name is on the disk too.
    if (!FDirectorySynced && !FMemory) {
      TSyncedJournalNames::TKey key;
      const bool known = TSyncedJournalNames::KeyOf(FFileName, key);
      if (!known || !TSyncedJournalNames::Known(key)) {
        SyncDirectoryOf(FFileName, FMemory, FTexts.Table);
        if (known) TSyncedJournalNames::Remember(key);
      }
      FDirectorySynced = true;
    }
  } catch (...) {
    FSyncFailed = true;
    throw;
  }
}

void TPostJournal::ClearMark(bool large) {
  if (large) {
    // After a large unit the journal is cut instead (a journal shorter than its header holds no
    // unit): rewriting the first page of a file with megabytes still being written back costs
    // several times an ordinary write, for every post that follows.
    FJournalFile->TruncateAt(0);
  } else {
    static const uint8_t kCleared[4] = {0, 0, 0, 0};
    FJournalFile->WriteAt(0, kCleared, 4);
  }
}

bool TPostJournal::WriteUnit(const TGroupTag *group) {
  FSyncFailed = false;
  FUnitGroup = group != nullptr;
  FUnit.clear();
  FUnitWritten = false;
  FUnit = std::move(FPending);
  FTaken = false;
  FPending.clear();
  FByKind = {};
  const int64_t spilledEnd = FSpilledEnd;
  FSpilledEnd = 0;
  FUnitFlushes = FFlushes;
  // A unit to be synced syncs every file it writes (the data file's header, written last,
  // whatever asked for the flush).
  if (FUnitFlushes)
    for (const TEntry &e : FUnit)
      if (!e.Dead) FUnitFlushes |= 1u << e.File;
  FPendingBytes = 0;
  FFlushes = 0;
  // Entries replaced before they were ever written anywhere are left out.
  FUnit.erase(std::remove_if(FUnit.begin(), FUnit.end(), [](const TEntry &e) { return e.Dead && e.Spilled < 0; }),
              FUnit.end());
  if (FUnit.empty()) return false;

  std::string groupPrefix;
  if (group) {
    // The files' sizes before the unit: a unit dropped for want of its commit record gives
    // back the space reserved for it.
    uint8_t fixed[32];
    PutU64(fixed, group->Id);
    for (int k = 0; k < 3; ++k) PutI64(fixed + 8 + 8 * k, DiskSize(k));
    groupPrefix.assign(reinterpret_cast<const char *>(fixed), 32);
    groupPrefix += group->RecordName;
  }
  // The body: the entries already in the journal, then the others, then the group part.
  const int64_t bodyStart = static_cast<int64_t>(kJournalHeaderSize);
  const int64_t memoryStart = spilledEnd > 0 ? spilledEnd : bodyStart;
  size_t tailSize = groupPrefix.size();
  for (const TEntry &e : FUnit)
    if (e.Spilled < 0) tailSize += kEntryHeaderSize + e.Bytes.size();
  // The header and the entries not spilled: the header goes at the journal's start, these after
  // what was spilled. Entry headers and small entries are laid one after the other in the work
  // buffer; the bytes of larger entries are written from the entries themselves, in between.
  const size_t imageSize = kJournalHeaderSize + tailSize;
  size_t stagedSize = kJournalHeaderSize + groupPrefix.size();
  for (const TEntry &e : FUnit)
    if (e.Spilled < 0) stagedSize += kEntryHeaderSize + (e.Bytes.size() <= kCopiedEntryBytes ? e.Bytes.size() : 0);
  uint8_t *image = WorkBuffer(stagedSize);
  uint8_t *out = image + kJournalHeaderSize;
  std::vector<TWritePiece> tail;  // the bytes after the header, in order
  const uint8_t *runStart = out;
  auto closeRun = [&] {
    if (out > runStart) tail.push_back({runStart, out - runStart});
    runStart = out;
  };
  FUnitEndCounter = FStartCounter;
  for (TEntry &e : FUnit) {
    if (e.Spilled < 0) {
      PutEntryHeader(out, e);
      out += kEntryHeaderSize;
      if (e.Bytes.size() <= kCopiedEntryBytes) {
        if (!e.Bytes.empty()) std::memcpy(out, e.Bytes.data(), e.Bytes.size());
        out += e.Bytes.size();
      } else {
        closeRun();
        tail.push_back({e.Bytes.data(), static_cast<int64_t>(e.Bytes.size())});
      }
    }
    if (!e.Dead && e.File == static_cast<uint8_t>(TJournalFile::Data) && e.Offset == 0 && e.Length >= 4 && !e.Cut) {
      if (e.Spilled < 0) {
        FUnitEndCounter = GetI32(e.Bytes.data());
      } else {
        uint8_t counter[4];
        EntryBytes(e, 0, counter, 4);
        FUnitEndCounter = GetI32(counter);
      }
    }
  }
  if (!groupPrefix.empty()) std::memcpy(out, groupPrefix.data(), groupPrefix.size());
  out += groupPrefix.size();
  closeRun();
  std::vector<TWritePiece> whole{{image, static_cast<int64_t>(kJournalHeaderSize)}};
  whole.insert(whole.end(), tail.begin(), tail.end());
  const uint64_t bodySize = static_cast<uint64_t>(memoryStart - bodyStart) + tailSize;

  OpenJournal(true);
  FUnitWrites = 0;
  // The files' sizes are known before the unit can count: a unit cancelled after its journal
  // was written (a failed sync) gives back only what it reserved.
  PlanSizes(FUnit, FUnitSizes);
  TPostJournalTestHooks &hooks = PostJournalTestHooks();
  try {
    // The body first (what was spilled is there already), then the header with its mark.
    if (spilledEnd > 0 && tailSize > 0) FJournalFile->WriteGatherAt(memoryStart, tail);
    TStreamChecksum sum;
    if (spilledEnd > 0) {
      std::vector<uint8_t> chunk(1u << 20);
      for (int64_t at = bodyStart; at < spilledEnd;) {
        const int64_t n = std::min<int64_t>(static_cast<int64_t>(chunk.size()), spilledEnd - at);
        if (FJournalFile->ReadAt(at, chunk.data(), n, true) != n) RaiseEngineErrorOS(KURA_READERR, 0, FTexts);
        sum.Add(chunk.data(), static_cast<size_t>(n));
        at += n;
      }
    }
    for (const TWritePiece &piece : tail) sum.Add(static_cast<const uint8_t *>(piece.Bytes), static_cast<size_t>(piece.Count));
    std::memcpy(image, group ? kGroupMark : kUnitMark, 4);
    PutU32(image + 4, static_cast<uint32_t>(FUnit.size()));
    PutU64(image + 8, bodySize);
    PutI32(image + 16, FStartCounter);
    PutU32(image + 20, static_cast<uint32_t>(groupPrefix.size()));
    PutU64(image + 24, sum.Finish(image + 4));
    // A flush asked for puts the body on disk before the header that makes it count.
    if (FUnitFlushes && spilledEnd > 0) SyncJournal();
    if (hooks.TearJournal && hooks.Stop) {
      const int64_t half = static_cast<int64_t>((spilledEnd > 0 ? kJournalHeaderSize : imageSize) / 2);
      FJournalFile->WriteGatherAt(0, FirstBytes(whole, half));
      hooks.Stop();
    }
    CountWrite(FUnitWrites);
    if (spilledEnd > 0)
      FJournalFile->WriteAt(0, image, static_cast<int64_t>(kJournalHeaderSize));
    else
      FJournalFile->WriteGatherAt(0, whole);
    FUnitWritten = true;
    // A flush asked for puts the journal on disk before the files change.
    if (FUnitFlushes) SyncJournal();
    // The space the unit needs is taken before any file changes: a full disk stops the unit
    // here, while it can still be dropped whole.
    ReserveSpace(FUnitSizes);
  } catch (const EKuraEngineError &e) {
    CancelUnit();
    RaiseForTable(e);
  } catch (...) {
    CancelUnit();
    throw;
  }
  FUnitLarge = static_cast<uint64_t>(kJournalHeaderSize) + bodySize > kLargeUnitBytes;
  return true;
}

void TPostJournal::CancelUnit() noexcept {
  if (FUnitWritten || FJournalFile->IsOpen()) {
    try {
      ClearMark(false);
    } catch (...) {
      try {
        FJournalFile->TruncateAt(0);
      } catch (...) {
      }
    }
  }
  const bool capturing = FCapturing;
  FCapturing = false;
  for (int k = 0; k < 3 && FUnitWritten; ++k) {
    TFileHandler *file = FFiles[static_cast<size_t>(k)];
    try {
      if (file && file->IsOpen() && file->Size() > FUnitSizes.Original[k]) file->TruncateAt(FUnitSizes.Original[k]);
    } catch (...) {
    }
  }
  FCapturing = capturing;
  ReleaseWorkBuffer(false);
  FUnit.clear();
  FUnitWritten = false;
}

void TPostJournal::ApplyUnit() {
  if (!FUnitWritten) return;
  FSyncFailed = false;
  try {
    ApplyEntries(FUnit, FUnitSizes, &FUnitWrites);
    // The files are on the disk before the mark that would complete them goes.
    FlushFiles(FUnitFlushes);
    CountWrite(FUnitWrites);
    ClearMark(FUnitLarge);
    // A unit of a transaction over several tables: its commit record is deleted once every
    // table's mark is cleared, and a unit found pending without its record is dropped, so the
    // cleared mark must be on the disk first. A single table's unit found pending again would
    // only be written once more.
    if (FUnitFlushes && FUnitGroup) SyncJournal();
  } catch (const EKuraEngineError &e) {
    ReleaseWorkBuffer(false);
    FUnit.clear();
    FUnitWritten = false;
    RaiseForTable(e);
  }
  ReleaseWorkBuffer(FUnitLarge);
  FUnit.clear();
  FUnitWritten = false;
  FStartCounter = FUnitEndCounter;
}

void TPostJournal::Commit() {
  if (!WriteUnit(nullptr)) {
    FlushFiles(FUnitFlushes);
    return;
  }
  ApplyUnit();
}

// ---------------------------------------------------------------------------------------------
// Recovery

bool TPostJournal::PendingOnDisk() {
  if (!OpenJournal(false)) return false;
  uint8_t mark[4];
  return FJournalFile->ReadAt(0, mark, 4, true) == 4 &&
         (std::memcmp(mark, kMark, 4) == 0 || std::memcmp(mark, kUnitMark, 4) == 0 ||
          std::memcmp(mark, kGroupMark, 4) == 0);
}

std::string TPostJournal::GroupRecordFile(const std::string &directory, const std::string &recordName) {
  return directory + recordName + kGroupRecordExtension;
}

bool TPostJournal::GroupCommitted(uint64_t id, const std::string &recordName) {
  const std::string file = GroupRecordFile(DirectoryOf(FFileName), recordName);
  if (!TFileHandler::Exists(file, FMemory)) return false;
  TGroupRecord record;
  return ReadGroupRecord(file, FMemory, record) && record.Id == id;
}

TPostJournal::TRecovery TPostJournal::Recover() {
  if (FCapturing || !OpenJournal(false)) return TRecovery::None;
  uint8_t header[kJournalHeaderSize];
  if (FJournalFile->ReadAt(0, header, kJournalHeaderSize, true) != static_cast<int64_t>(kJournalHeaderSize))
    return TRecovery::None;
  const bool legacy = std::memcmp(header, kMark, 4) == 0;
  const bool group = std::memcmp(header, kGroupMark, 4) == 0;
  if (!legacy && !group && std::memcmp(header, kUnitMark, 4) != 0) return TRecovery::None;
  // A dead writer's change is pending: it is completed before anything is read, and files
  // that cannot be written cannot be completed, so they are not read either.
  if (FReadOnly || FJournalFile->IsReadOnly()) RaiseEngineErrorOS(KURA_OSEACCES, 0, FTexts);

  // Parse and check the unit; anything that does not hold together was never applied.
  std::vector<TEntry> entries;
  bool usable = false;
  const uint64_t bodySize = GetU64(header + 8);
  const uint32_t count = GetU32(header + 4);
  const int32_t startCounter = GetI32(header + 16);
  const uint32_t prefixSize = GetU32(header + 20);
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
  uint64_t groupId = 0;
  std::string recordName;
  std::array<int64_t, 3> sizesBefore{-1, -1, -1};
  bool uncommitted = false;
  bool sumOk = false;
  if (complete) {
    if (legacy) {
      sumOk = Checksum(header + 4, body.data(), body.size()) == GetU64(header + 24) && prefixSize == 0;
    } else {
      TStreamChecksum sum;
      sum.Add(body.data(), body.size());
      sumOk = sum.Finish(header + 4) == GetU64(header + 24) &&
              (group ? prefixSize >= 32 && prefixSize <= body.size() : prefixSize == 0);
    }
  }
  if (sumOk) {
    usable = true;
    const size_t entriesEnd = body.size() - prefixSize;
    if (group) {
      const uint8_t *prefix = body.data() + entriesEnd;
      groupId = GetU64(prefix);
      for (int k = 0; k < 3; ++k) sizesBefore[k] = GetI64(prefix + 8 + 8 * k);
      recordName.assign(reinterpret_cast<const char *>(prefix) + 32, prefixSize - 32);
    }
    int32_t endCounter = startCounter;
    bool writesHeader = false;
    size_t at = 0;
    for (uint32_t i = 0; i < count && usable; ++i) {
      if (at + kEntryHeaderSize > entriesEnd) {
        usable = false;
        break;
      }
      TEntry e;
      e.File = body[at];
      e.Cut = body[at + 1] == 1;
      e.Dead = body[at + 2] == 1;
      const uint32_t length = GetU32(&body[at + 4]);
      e.Length = length;
      e.Offset = GetI64(&body[at + 8]);
      at += kEntryHeaderSize;
      if (e.File > 2 || body[at - kEntryHeaderSize + 1] > 1 || body[at - kEntryHeaderSize + 2] > 1 || e.Offset < 0 ||
          e.Offset > kLargestOffset || length > entriesEnd - at || (e.Cut && length != 0)) {
        usable = false;
        break;
      }
      e.Bytes.assign(body.begin() + static_cast<long>(at), body.begin() + static_cast<long>(at + length));
      at += length;
      if (!e.Dead && e.File == static_cast<uint8_t>(TJournalFile::Data) && e.Offset == 0 && length >= 4) {
        endCounter = GetI32(e.Bytes.data());
        writesHeader = true;
      }
      entries.push_back(std::move(e));
    }
    usable = usable && at == entriesEnd;
    // The unit must belong to the data file as it stands: before the unit, or already past
    // the header write of the unit.
    if (usable && FFiles[0] && FFiles[0]->IsOpen()) {
      uint8_t counter[4] = {0, 0, 0, 0};
      FFiles[0]->ReadAt(0, counter, 4);
      const int32_t disk = GetI32(counter);
      usable = disk == startCounter || (writesHeader && disk == endCounter);
    }
    // A unit of a transaction over several tables counts only when the transaction's commit
    // record was written: then every table of it is completed, else none.
    if (usable && group && !GroupCommitted(groupId, recordName)) {
      usable = false;
      uncommitted = true;
    }
  }
  if (usable) {
    TSizes sizes;
    PlanSizes(entries, sizes);
    try {
      ReserveSpace(sizes);
      ApplyEntries(entries, sizes, nullptr);
      ReleaseWorkBuffer(false);
      // Completed for good: on the disk before the mark goes (rare, so always).
      FlushFiles(7u);
    } catch (const EKuraEngineError &e) {
      ReleaseWorkBuffer(false);
      RaiseForTable(e);
    }
  }
  try {
    if (uncommitted) {
      // Nothing of the unit was applied (no record, no writes): only the reserved space goes.
      const bool capturing = FCapturing;
      FCapturing = false;
      for (int k = 0; k < 3; ++k) {
        TFileHandler *file = FFiles[static_cast<size_t>(k)];
        if (file && file->IsOpen() && sizesBefore[k] >= 0 && file->Size() > sizesBefore[k])
          file->TruncateAt(sizesBefore[k]);
      }
      FCapturing = capturing;
    }
    ClearMark(false);
  } catch (const EKuraEngineError &e) {
    RaiseForTable(e);
  }
  if (usable && group) ForgetGroupRecord(groupId, recordName);
  return usable ? TRecovery::Applied : TRecovery::Dropped;
}

bool TPostJournal::RecoverInterrupted() { return Recover() != TRecovery::None; }

// Once no table of a transaction has its unit pending any more, its commit record goes.
void TPostJournal::ForgetGroupRecord(uint64_t id, const std::string &recordName) noexcept {
  try {
    const std::string directory = DirectoryOf(FFileName);
    const std::string file = GroupRecordFile(directory, recordName);
    TGroupRecord record;
    if (!ReadGroupRecord(file, FMemory, record) || record.Id != id) return;
    for (const std::string &table : record.Tables) {
      const std::string journal = directory + table + kJournalExtension;
      if (journal == FFileName || !TFileHandler::Exists(journal, FMemory)) continue;
      TJournalHandle other;
      other.Open(journal, FMemory, false, true, false);
      uint8_t head[kJournalHeaderSize];
      const int64_t got = other.ReadAt(0, head, kJournalHeaderSize, true);
      other.Close();
      if (got == static_cast<int64_t>(kJournalHeaderSize) && std::memcmp(head, kGroupMark, 4) == 0) {
        const uint32_t prefix = GetU32(head + 20);
        const uint64_t bodySize = GetU64(head + 8);
        if (prefix >= 32 && prefix <= bodySize) {
          uint8_t idBytes[8];
          TJournalHandle again;
          again.Open(journal, FMemory, false, true, false);
          const int64_t n =
              again.ReadAt(static_cast<int64_t>(kJournalHeaderSize + bodySize - prefix), idBytes, 8, true);
          again.Close();
          if (n == 8 && GetU64(idBytes) == id) return;  // still pending there
        }
      }
    }
    TFileHandler::DeleteFile(file, FMemory, FTexts.Table);
  } catch (...) {
  }
}

void TPostJournal::ForgetStaleGroupRecords(const std::string &tableName, const std::vector<std::string> *names) noexcept {
  if (FMemory) return;
  try {
    const std::string directory = DirectoryOf(FFileName);
    std::string lowerTable = tableName;
    for (char &c : lowerTable) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::vector<std::string> listed = names ? std::vector<std::string>() : TPhysicalFile::ListDirectoryOnDisk(directory);
    for (const std::string &name : names ? *names : listed) {
      std::string lower = name;
      for (char &c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      // <first table>-<8 hex digits>.TXN
      if (lower.size() != lowerTable.size() + 13 || lower.compare(0, lowerTable.size(), lowerTable) != 0 ||
          lower[lowerTable.size()] != '-' || lower.compare(lower.size() - 4, 4, ".txn") != 0)
        continue;
      TGroupRecord record;
      const std::string file = directory + name;
      // A record of the names read earlier may have gone since (its transaction finished).
      if (!TFileHandler::Exists(file, FMemory)) continue;
      if (!ReadGroupRecord(file, FMemory, record)) {
        TFileHandler::DeleteFile(file, FMemory, FTexts.Table);  // never finished: committed nothing
        continue;
      }
      ForgetGroupRecord(record.Id, name.substr(0, name.size() - 4));
    }
  } catch (...) {
  }
}

// ---------------------------------------------------------------------------------------------
// Commit records of transactions over several tables

bool ReadGroupRecord(const std::string &file, bool memory, TGroupRecord &record) {
  if (!TFileHandler::Exists(file, memory)) return false;
  TPostJournal::TJournalHandle handle;
  handle.Open(file, memory, false, true, false);
  std::vector<uint8_t> bytes(static_cast<size_t>(std::max<int64_t>(handle.Size(), 0)));
  const int64_t got = bytes.empty() ? 0 : handle.ReadAt(0, bytes.data(), static_cast<int64_t>(bytes.size()), true);
  handle.Close();
  if (got != static_cast<int64_t>(bytes.size()) || bytes.size() < 20 || std::memcmp(bytes.data(), kGroupMark, 4) != 0)
    return false;
  const uint64_t sum = GetU64(bytes.data() + bytes.size() - 8);
  if (Checksum(bytes.data() + 4, bytes.data() + 24, bytes.size() - 32) != sum) return false;
  record.Id = GetU64(bytes.data() + 4);
  const uint32_t count = GetU32(bytes.data() + 12);
  record.Tables.clear();
  size_t at = 24;
  for (uint32_t i = 0; i < count; ++i) {
    if (at + 2 > bytes.size() - 8) return false;
    const size_t length = bytes[at] | bytes[at + 1] << 8;
    at += 2;
    if (at + length > bytes.size() - 8) return false;
    record.Tables.emplace_back(reinterpret_cast<const char *>(bytes.data()) + at, length);
    at += length;
  }
  return at == bytes.size() - 8;
}

void WriteGroupRecord(const std::string &file, bool memory, const TGroupRecord &record, bool flushOS,
                      const ErrorTexts &texts) {
  std::vector<uint8_t> bytes(24);
  std::memcpy(bytes.data(), kGroupMark, 4);
  PutU64(bytes.data() + 4, record.Id);
  PutU32(bytes.data() + 12, static_cast<uint32_t>(record.Tables.size()));
  for (const std::string &table : record.Tables) {
    bytes.push_back(static_cast<uint8_t>(table.size() & 0xFF));
    bytes.push_back(static_cast<uint8_t>(table.size() >> 8));
    bytes.insert(bytes.end(), table.begin(), table.end());
  }
  const uint64_t sum = Checksum(bytes.data() + 4, bytes.data() + 24, bytes.size() - 24);
  bytes.resize(bytes.size() + 8);
  PutU64(bytes.data() + bytes.size() - 8, sum);
  TFileHandler handle;
  try {
    handle.Create(file, memory, false);
    handle.WriteAt(0, bytes.data(), static_cast<int64_t>(bytes.size()));
    if (flushOS) handle.FlushOS();
    handle.Close();
    // The record is the commit point: its name must be on the disk before any table changes.
    if (flushOS) SyncDirectoryOf(file, memory, texts.Table);
  } catch (const EKuraEngineError &e) {
    try {
      handle.Close();
      TFileHandler::DeleteFile(file, memory, texts.Table);
    } catch (...) {
    }
    RaiseEngineErrorOS(e.ErrorCode(), e.Context().OSError, texts);
  }
}

}  // namespace kura
