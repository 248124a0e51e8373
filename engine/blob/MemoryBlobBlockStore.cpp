// In-memory blob block store.
#include "engine/blob/MemoryBlobBlockStore.h"

#include <algorithm>
#include <cstring>

#include "engine/errors/EngineError.h"

namespace kura {

size_t TMemoryBlobBlockStore::ReadAt(uint64_t offset, uint8_t *buffer, size_t count) {
  ++FReads;
  if (offset >= FBytes.size()) return 0;
  const size_t n = static_cast<size_t>(std::min<uint64_t>(count, FBytes.size() - offset));
  std::memcpy(buffer, FBytes.data() + offset, n);
  return n;
}

void TMemoryBlobBlockStore::WriteAt(uint64_t offset, const uint8_t *buffer, size_t count) {
  if (FFailWrites) RaiseEngineErrorOS(KURA_WRITEERR, 0);
  ++FWrites;
  if (offset + count > FBytes.size()) FBytes.resize(offset + count, 0);
  if (count != 0) std::memcpy(FBytes.data() + offset, buffer, count);
}

void TMemoryBlobBlockStore::Truncate(uint64_t size) {
  if (FFailWrites) RaiseEngineErrorOS(KURA_WRITEERR, 0);
  FBytes.resize(size, 0);
}

}  // namespace kura
