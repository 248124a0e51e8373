// In-memory files growing in 4 KiB steps.
#include "engine/file/MemoryFile.h"

#include <cstring>

#include "engine/errors/ErrorCodes.h"

namespace kura {

TMemoryFile::TMemoryFile(std::string name) : TAbstractFile(std::move(name)) {}

int64_t TMemoryFile::Size() {
  std::lock_guard<std::recursive_mutex> guard(FLock);
  return FLogicalSize;
}

int32_t TMemoryFile::CreateFile() {
  std::lock_guard<std::recursive_mutex> guard(FLock);
  FBlock.clear();
  FBlock.shrink_to_fit();
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
  FBlock.clear();
  FBlock.shrink_to_fit();
  FLogicalSize = 0;
  FLocks.clear();
  return 0;
}

int64_t TMemoryFile::Read(int32_t handle, void *buffer, int64_t count) {
  std::lock_guard<std::recursive_mutex> guard(FLock);
  int index = FindHandle(handle);
  if (index < 0) return -static_cast<int64_t>(KURA_OSEBADF);
  if (count < 0) return -static_cast<int64_t>(KURA_OSUNKNOWN);
  int64_t position = FHandles[index].Position;
  int64_t available = position < FLogicalSize ? FLogicalSize - position : 0;
  int64_t n = count < available ? count : available;
  if (n > 0) std::memcpy(buffer, FBlock.data() + position, static_cast<size_t>(n));
  FHandles[index].Position += n;
  return n;
}

int64_t TMemoryFile::Write(int32_t handle, const void *buffer, int64_t count) {
  std::lock_guard<std::recursive_mutex> guard(FLock);
  int index = FindHandle(handle);
  if (index < 0) return -static_cast<int64_t>(KURA_OSEBADF);
  if (count < 0) return -static_cast<int64_t>(KURA_OSUNKNOWN);
  int64_t position = FHandles[index].Position;
  if (count == 0) {
    FLogicalSize = position;
    if (static_cast<int64_t>(FBlock.size()) < position) {
      FBlock.resize(static_cast<size_t>((position + kGrowStep - 1) / kGrowStep * kGrowStep), 0);
    } else {
      // Bytes past the end read as zero if the file grows again.
      std::memset(FBlock.data() + position, 0, FBlock.size() - static_cast<size_t>(position));
    }
    return 0;
  }
  int64_t end = position + count;
  if (end > static_cast<int64_t>(FBlock.size()))
    FBlock.resize(static_cast<size_t>((end + kGrowStep - 1) / kGrowStep * kGrowStep), 0);
  std::memcpy(FBlock.data() + position, buffer, static_cast<size_t>(count));
  if (end > FLogicalSize) FLogicalSize = end;
  FHandles[index].Position = end;
  return count;
}

}  // namespace kura
