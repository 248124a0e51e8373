// Blob file header encoding and checks.
#include "engine/blob/BlobFormat.h"

#include <cstring>

#include "engine/blob/BlobByteOrder.h"
#include "engine/errors/EngineError.h"

namespace kura {
namespace {

[[noreturn]] void Raise(uint16_t code, const std::string &tableName) {
  ErrorTexts texts;
  texts.Table = tableName;
  RaiseEngineError(code, texts);
}

}  // namespace

void TBlobHeader::Encode(uint8_t *out) const {
  std::memset(out, 0, BlobHeaderSize);
  blobio::PutInt32(out + 0, ChangeCounter);
  out[4] = Version;
  blobio::PutInt32(out + 5, FirstFreeBlock);
  blobio::PutInt32(out + 9, NextBlockNumber);
  out[13] = Spare;
}

TBlobHeader TBlobHeader::Decode(const uint8_t *in) {
  TBlobHeader h;
  h.ChangeCounter = blobio::GetInt32(in + 0);
  h.Version = in[4];
  h.FirstFreeBlock = blobio::GetInt32(in + 5);
  h.NextBlockNumber = blobio::GetInt32(in + 9);
  h.Spare = in[13];
  return h;
}

uint32_t EffectiveBlobBlockSize(int32_t stored) {
  return stored == 0 ? DefaultBlobBlockSize : static_cast<uint32_t>(stored);
}

void CheckNewBlobBlockSize(int64_t blockSize, const std::string &tableName) {
  if (blockSize < MinBlobBlockSize || blockSize > MaxBlobBlockSize) Raise(KURA_BLOBLIMIT, tableName);
}

void ValidateBlobHeader(const TBlobHeader &header, uint32_t blockSize, const std::string &tableName) {
  if (header.Version != BlobFormatVersion) Raise(KURA_OLDVERSION, tableName);
  if (blockSize <= BlobBlockHeaderSize || blockSize > MaxBlobBlockSize) Raise(KURA_HEADERCORRUPT, tableName);
  if (header.NextBlockNumber < 1 || header.NextBlockNumber > MaxBlobBlockNumber + 1)
    Raise(KURA_HEADERCORRUPT, tableName);
  const int32_t blocks = header.BlockCount();
  if (blocks == 0 ? header.FirstFreeBlock != 0 : (header.FirstFreeBlock < 0 || header.FirstFreeBlock > blocks))
    Raise(KURA_HEADERCORRUPT, tableName);
}

}  // namespace kura
