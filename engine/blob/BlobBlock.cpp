// Decoding and encoding of one blob block.
#include "engine/blob/BlobBlock.h"

#include <algorithm>
#include <cstring>

#include "engine/blob/BlobByteOrder.h"
#include "engine/blob/BlobFormat.h"

namespace kura {

void TBlock::Reset(int32_t blockNumber, size_t dataBytes) {
  BlockNumber = blockNumber;
  Dirty = false;
  PinCount = 0;
  PrevBlock = NextBlock = 0;
  UsedBytes = 0;
  ChangeNumber = TotalLength = 0;
  Data.assign(dataBytes, 0);
}

void TBlock::DecodeFrom(const uint8_t *raw, size_t blockSize) {
  PrevBlock = blobio::GetInt32(raw + 0);
  NextBlock = blobio::GetInt32(raw + 4);
  UsedBytes = blobio::GetUInt16(raw + 8);
  ChangeNumber = blobio::GetInt32(raw + 10);
  TotalLength = blobio::GetInt32(raw + 14);
  Data.assign(raw + BlobBlockHeaderSize, raw + blockSize);
}

void TBlock::EncodeTo(uint8_t *raw, size_t blockSize) const {
  blobio::PutInt32(raw + 0, PrevBlock);
  blobio::PutInt32(raw + 4, NextBlock);
  blobio::PutUInt16(raw + 8, UsedBytes);
  blobio::PutInt32(raw + 10, ChangeNumber);
  blobio::PutInt32(raw + 14, TotalLength);
  const size_t dataBytes = blockSize - BlobBlockHeaderSize;
  const size_t n = std::min(dataBytes, Data.size());
  if (n != 0) std::memcpy(raw + BlobBlockHeaderSize, Data.data(), n);
  if (n < dataBytes) std::memset(raw + BlobBlockHeaderSize + n, 0, dataBytes - n);
}

}  // namespace kura
