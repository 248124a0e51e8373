#pragma once
// Where index pages live: page 0 is the header, page n lies at n x 4096. The index file
// implements this over its file handle (scrambling pages of encrypted tables on the way);
// TMemoryIndexPageStore keeps the pages in memory.
#include <array>
#include <cstdint>
#include <vector>

#include "engine/index/IndexHeader.h"

namespace kura {

class IIndexPageStore {
 public:
  virtual ~IIndexPageStore() = default;
  // Reads page n into a 4096-byte buffer; false when the page lies beyond the end.
  virtual bool ReadPage(uint32_t pageNo, uint8_t *buffer) = 0;
  // Writes page n, growing the store when n is at or beyond its end.
  virtual void WritePage(uint32_t pageNo, const uint8_t *buffer) = 0;
  // Pages in the store, the header included.
  virtual uint32_t PageCount() = 0;
  // Cuts the store to `pageCount` pages.
  virtual void Truncate(uint32_t pageCount) = 0;
  // Whether dirty pages may be written before they are flushed (not inside a transaction,
  // whose changes must stay in memory until commit).
  virtual bool WriteBackAllowed() { return true; }
};

class TMemoryIndexPageStore : public IIndexPageStore {
 public:
  bool ReadPage(uint32_t pageNo, uint8_t *buffer) override;
  void WritePage(uint32_t pageNo, const uint8_t *buffer) override;
  uint32_t PageCount() override { return static_cast<uint32_t>(FPages.size()); }
  void Truncate(uint32_t pageCount) override;

  // Direct access for tests that damage pages on purpose.
  uint8_t *RawPage(uint32_t pageNo) { return FPages.at(pageNo).data(); }
  uint64_t Reads() const { return FReads; }
  uint64_t Writes() const { return FWrites; }

 private:
  std::vector<std::array<uint8_t, kIndexPageSize>> FPages;
  uint64_t FReads = 0, FWrites = 0;
};

}  // namespace kura
