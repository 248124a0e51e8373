#pragma once
// A blob block store held in memory, with switches to make transfers fail (for tests of the
// failure paths).
#include <vector>

#include "engine/blob/BlobBlockStore.h"

namespace kura {

class TMemoryBlobBlockStore : public IBlobBlockStore {
 public:
  size_t ReadAt(uint64_t offset, uint8_t *buffer, size_t count) override;
  void WriteAt(uint64_t offset, const uint8_t *buffer, size_t count) override;
  uint64_t Size() override { return FBytes.size(); }
  void Truncate(uint64_t size) override;
  void FlushToDisk() override { ++FFlushes; }

  // Writes raise KURA_WRITEERR while set.
  void SetFailWrites(bool fail) { FFailWrites = fail; }
  size_t ReadCount() const { return FReads; }
  size_t WriteCount() const { return FWrites; }
  size_t FlushCount() const { return FFlushes; }
  std::vector<uint8_t> &Bytes() { return FBytes; }

 private:
  std::vector<uint8_t> FBytes;
  bool FFailWrites = false;
  size_t FReads = 0;
  size_t FWrites = 0;
  size_t FFlushes = 0;
};

}  // namespace kura
