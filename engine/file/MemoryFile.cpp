// In-memory files in chunks of 64 KiB.
#include "engine/file/MemoryFile.h"

#include <algorithm>
#include <cstring>

#include "engine/errors/ErrorCodes.h"

namespace kura {

TMemoryFile::TMemoryFile(std::string name) : TAbstractFile(std::move(name)) {}

uint8_t *TMemoryFile::Chunk(int64_t offset, bool make) {
  const size_t n = static_cast<size_t>(offset / kChunkBytes);
  if (n >= FChunks.size()) {
    if (!make) return nullptr;
    FChunks.resize(n + 1);
  }
  if (!FChunks[n] && make) FChunks[n].reset(new uint8_t[kChunkBytes]());
  return FChunks[n].get();
}

void TMemoryFile::CutAt(int64_t offset) {
  const size_t keep = static_cast<size_t>((offset + kChunkBytes - 1) / kChunkBytes);
  if (FChunks.size() > keep) FChunks.resize(keep);
  const int64_t within = offset % kChunkBytes;
  if (within != 0)
    if (uint8_t *last = Chunk(offset, false)) std::memset(last + within, 0, static_cast<size_t>(kChunkBytes - within));
}

int64_t TMemoryFile::Size() {
  std::lock_guard<std::recursive_mutex> guard(FLock);
  return FLogicalSize;
}

int32_t TMemoryFile::CreateFile() {
  std::lock_guard<std::recursive_mutex> guard(FLock);
  FChunks.clear();
  FChunks.shrink_to_fit();
  FLogicalSize = 0;
  FReadOnly = false;
  FReadOnlyByAttribute = false;
  return AddHandle();
}

int32_t TMemoryFile::OpenFile(bool readOnlyRequested, bool &readOnly, bool &readOnlyByAttribute) {
  std::lock_guard<std::recursive_mutex> guard(FLock);
  if (FHandles.empty()) FReadOnly = readOnlyRequested;
  readOnly = FReadOnly;
  readOnlyByAttribute = false;
  return AddHandle();
}

int TMemoryFile::Rename(const std::string &newName) {
  std::lock_guard<std::recursive_mutex> guard(FLock);
  FName = newName;
  return 0;
}

int TMemoryFile::Delete() {
  std::lock_guard<std::recursive_mutex> guard(FLock);
  FChunks.clear();
  FChunks.shrink_to_fit();
  FLogicalSize = 0;
  FLocks.clear();
  return 0;
}

int64_t TMemoryFile::Read(int32_t handle, void *buffer, int64_t count) {
  std::lock_guard<std::recursive_mutex> guard(FLock);
  int index = FindHandle(handle);
  if (index < 0) return -static_cast<int64_t>(KURA_OSEBADF);
  if (count < 0) return -static_cast<int64_t>(KURA_OSUNKNOWN);
  const int64_t position = FHandles[index].Position;
  const int64_t available = position < FLogicalSize ? FLogicalSize - position : 0;
  const int64_t n = std::min(count, available);
  auto *out = static_cast<uint8_t *>(buffer);
  for (int64_t done = 0; done < n;) {
    const int64_t at = position + done;
    const int64_t piece = std::min(n - done, kChunkBytes - at % kChunkBytes);
    if (const uint8_t *chunk = Chunk(at, false))
      std::memcpy(out + done, chunk + at % kChunkBytes, static_cast<size_t>(piece));
    else
      std::memset(out + done, 0, static_cast<size_t>(piece));
    done += piece;
  }
  FHandles[index].Position += n;
  return n;
}

int64_t TMemoryFile::Write(int32_t handle, const void *buffer, int64_t count) {
  std::lock_guard<std::recursive_mutex> guard(FLock);
  int index = FindHandle(handle);
  if (index < 0) return -static_cast<int64_t>(KURA_OSEBADF);
  if (count < 0) return -static_cast<int64_t>(KURA_OSUNKNOWN);
  const int64_t position = FHandles[index].Position;
  if (count == 0) {
    // A cut (or a growth) to position: bytes past it read as zero if the file grows again.
    if (position < FLogicalSize) CutAt(position);
    FLogicalSize = position;
    return 0;
  }
  const auto *in = static_cast<const uint8_t *>(buffer);
  try {
    for (int64_t done = 0; done < count;) {
      const int64_t at = position + done;
      const int64_t piece = std::min(count - done, kChunkBytes - at % kChunkBytes);
      std::memcpy(Chunk(at, true) + at % kChunkBytes, in + done, static_cast<size_t>(piece));
      done += piece;
    }
  } catch (const std::bad_alloc &) {
    return -static_cast<int64_t>(KURA_OSENOMEM);
  }
  const int64_t end = position + count;
  if (end > FLogicalSize) FLogicalSize = end;
  FHandles[index].Position = end;
  return count;
}

}  // namespace kura
