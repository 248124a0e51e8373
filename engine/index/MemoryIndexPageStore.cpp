// Index pages held in memory.
#include <cstring>

#include "engine/index/IndexPageStore.h"

namespace kura {

bool TMemoryIndexPageStore::ReadPage(uint32_t pageNo, uint8_t *buffer) {
  ++FReads;
  if (pageNo >= FPages.size()) return false;
  std::memcpy(buffer, FPages[pageNo].data(), kIndexPageSize);
  return true;
}

void TMemoryIndexPageStore::WritePage(uint32_t pageNo, const uint8_t *buffer) {
  ++FWrites;
  if (pageNo >= FPages.size()) {
    std::array<uint8_t, kIndexPageSize> zero{};
    FPages.resize(static_cast<size_t>(pageNo) + 1, zero);
  }
  std::memcpy(FPages[pageNo].data(), buffer, kIndexPageSize);
}

void TMemoryIndexPageStore::Truncate(uint32_t pageCount) {
  if (pageCount < FPages.size()) FPages.resize(pageCount);
}

}  // namespace kura
