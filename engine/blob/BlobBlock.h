#pragma once
// One cached block of a blob file: its number, cache state and its decoded contents.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kura {

class TBlock {
 public:
  int32_t BlockNumber = 0;
  bool Dirty = false;
  int PinCount = 0;
  // The 18 header bytes of the block.
  int32_t PrevBlock = 0;     // previous block of the same blob, 0 for the first
  int32_t NextBlock = 0;     // next block of the blob (0 = last), or next free block
  uint16_t UsedBytes = 0;    // data bytes used in this block
  int32_t ChangeNumber = 0;  // blob change number (the same in every block of a chain)
  int32_t TotalLength = 0;   // length of the whole value, in the first block only
  std::vector<uint8_t> Data; // block size - 18 bytes

  // Every field zero, data zero-filled to dataBytes.
  void Reset(int32_t blockNumber, size_t dataBytes);
  // From / to the raw block as stored (plain bytes, blockSize long).
  void DecodeFrom(const uint8_t *raw, size_t blockSize);
  void EncodeTo(uint8_t *raw, size_t blockSize) const;

  // Links of the cache's recency list of evictable blocks, and which of its lists hold the block.
  TBlock *MruPrev = nullptr;
  TBlock *MruNext = nullptr;
  bool OnMru = false;
  bool OnDirtyList = false;
};

}  // namespace kura
