#pragma once
// The fixed layout of a blob file: its 512-byte header, the block size rules and the limits.
#include <cstddef>
#include <cstdint>
#include <string>

namespace kura {

inline constexpr size_t BlobHeaderSize = 512;
inline constexpr uint8_t BlobFormatVersion = 5;
inline constexpr size_t BlobBlockHeaderSize = 18;
inline constexpr uint32_t DefaultBlobBlockSize = 512;
inline constexpr uint32_t MinBlobBlockSize = 64;
// The used-bytes field of a block is 16 bits wide, which bounds the data part of a block.
inline constexpr uint32_t MaxBlobBlockSize = 65535 + BlobBlockHeaderSize;
inline constexpr int32_t MaxBlobBlockNumber = 2000000000;
inline constexpr uint64_t MaxBlobFileSize = 4000000000ULL;
// Blob values are at most this long (the total length field is a signed 32-bit number).
inline constexpr uint32_t MaxBlobLength = 2147483647u;
// Open blobs per cursor.
inline constexpr size_t MaxOpenBlobs = 128;

// Byte ranges locked on the blob file (far beyond any real data). A writer locks the whole
// range; a reader locks one byte of it, 4294967295 - v for a random v of 1 to 65535, so readers
// exclude writers but not each other.
inline constexpr uint64_t BlobWriteLockOffset = 4294901759ULL;
inline constexpr uint64_t BlobWriteLockLength = 65536;
inline constexpr uint64_t BlobReadLockOffset(uint16_t v) { return 4294967295ULL - (v == 0 ? 1 : v); }

// The blob file header.
struct TBlobHeader {
  int32_t ChangeCounter = 0;     // incremented on every header write
  uint8_t Version = BlobFormatVersion;
  int32_t FirstFreeBlock = 0;    // 0 = free list empty
  int32_t NextBlockNumber = 1;   // number of blocks + 1
  uint8_t Spare = 0;             // byte 13, ignored when read

  int32_t BlockCount() const { return NextBlockNumber - 1; }
  void Encode(uint8_t *out) const;  // BlobHeaderSize bytes, unused bytes zero
  static TBlobHeader Decode(const uint8_t *in);
  bool operator==(const TBlobHeader &) const = default;
};

// The change number that follows the last one handed out (the data header's LastBlobNumber):
// 2 147 483 647 is followed by 1, and so is a damaged negative or zero number.
inline int32_t FollowingBlobNumber(int32_t last) { return last <= 0 || last == 2147483647 ? 1 : last + 1; }

// The block size recorded in the data header: 0 stands for 512.
uint32_t EffectiveBlobBlockSize(int32_t stored);
// A block size for a new table: at least 64 and small enough for the 16-bit used-bytes field,
// else KURA_BLOBLIMIT naming the table.
void CheckNewBlobBlockSize(int64_t blockSize, const std::string &tableName);
// Offset of block n (n >= 1).
inline uint64_t BlobBlockOffset(int32_t block, uint32_t blockSize) {
  return BlobHeaderSize + static_cast<uint64_t>(block - 1) * blockSize;
}
// Checks of a header read from a file: version 5 (else KURA_OLDVERSION); a sane block count and
// a first free block of 0 with no blocks, else between 0 and the block count (else
// KURA_HEADERCORRUPT). A block size out of range also fails with KURA_HEADERCORRUPT.
void ValidateBlobHeader(const TBlobHeader &header, uint32_t blockSize, const std::string &tableName);

}  // namespace kura
