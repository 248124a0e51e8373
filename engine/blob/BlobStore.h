#pragma once
// The blob file of a table above its byte store: the header, the block cache, block
// allocation and the free list, and the chains of blocks that hold blob values.
//
// A value is a doubly linked chain of blocks; every block of the chain carries the blob's
// change number, and the first block the value's total length. Every link read from the file
// is checked before it is followed: a link outside 1..block count, a chain that comes back to a
// block it already passed, or a length the file could not hold raises KURA_MEMOCORRUPT.
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/blob/BlobBlockCache.h"
#include "engine/blob/BlobBlockStore.h"
#include "engine/blob/BlobFormat.h"

namespace kura {

// Session settings that size the cache.
struct TBlobCacheSettings {
  uint32_t BlobBufferSize = 32768;  // bytes
  uint32_t BlobBufferCount = 8192;  // blocks
};

class TBlobStore {
 public:
  // blockSize is the table's blob block size (0 stands for 512).
  TBlobStore(IBlobBlockStore &file, uint32_t blockSize, bool encrypted, std::string tableName,
             TBlobCacheSettings settings = {});
  TBlobStore(const TBlobStore &) = delete;
  TBlobStore &operator=(const TBlobStore &) = delete;

  // A new, empty file: the header alone (version 5, no free block, next block 1).
  void Create();
  // Reads and checks the header (KURA_OLDVERSION, KURA_HEADERCORRUPT; also when the file is
  // shorter than the blocks the header counts).
  void Open();
  // Writes dirty blocks and the header when dirty, then drops the cache.
  void Close();
  // Truncates the file after the header and resets the header fields.
  void Empty();

  // Reads the header again; when its change counter differs from the cached one, takes it over
  // (after checking it), drops the cached blocks and returns true.
  bool ReadHeaderChanged();
  // Writes the header when dirty or forced, incrementing its change counter.
  void WriteHeader(bool force = false);
  // Writes dirty blocks and then the header (when dirty); true when anything was written.
  // With toDisk, the file's operating-system buffers are flushed when anything was written.
  bool Flush(bool toDisk = false);
  // Marks the header as changed without writing it (exclusive tables write at close).
  void MarkHeaderDirty() { FHeaderDirty = true; }
  bool HeaderDirty() const { return FHeaderDirty; }
  // Forgets every cached block (another user changed the file, or a rollback).
  void DropCache() { FCache.Clear(); }
  // Takes the header as it is on disk again, dropping the cached blocks (a rollback).
  void ReloadHeader();

  const TBlobHeader &Header() const { return FHeader; }
  uint32_t BlockSize() const { return FBlockSize; }
  size_t DataBytesPerBlock() const { return FBlockSize - BlobBlockHeaderSize; }
  int32_t BlockCount() const { return FHeader.BlockCount(); }
  int32_t ReadAheadCount() const { return FReadAhead; }
  TBlobBlockCache &Cache() { return FCache; }
  const std::string &TableName() const { return FTableName; }

  // Block n pinned, reading up to readAhead blocks in one run on a miss; n outside
  // 1..block count raises KURA_MEMOCORRUPT.
  TBlock *GetBlock(int32_t n, int32_t readAhead = 1);
  void ReleaseBlock(TBlock *block) { FCache.Release(block); }
  // A new zero-filled block, pinned and dirty: the first free block, or the next block number
  // (KURA_TABLEFULL beyond block 2 000 000 000 or a 4 000 000 000-byte file).
  TBlock *AllocateBlock();
  // Block-level transfers of a block's data part: more than block size - 18 bytes fails with
  // KURA_INVALIDBLOBLEN. Putting sets the used-bytes count, zeroes the rest and marks the block
  // dirty; getting copies count bytes and returns the block's used-bytes count.
  void PutBlockData(TBlock *block, const uint8_t *data, size_t count);
  size_t GetBlockData(const TBlock *block, uint8_t *dest, size_t count) const;
  // Puts one block at the head of the free list.
  void FreeBlock(int32_t n);
  // Frees every block of the chain starting at first. The whole chain is checked before any
  // block is freed: links, loops, and each block's change number (KURA_MEMOCORRUPT).
  void FreeChain(int32_t first, int32_t changeNumber);

  // The value whose chain starts at first. The first block's change number must equal
  // changeNumber (else KURA_KEYORRECDELETED: the blob was replaced or deleted meanwhile), as
  // must every other block's; a chain that ends early raises KURA_ENDOFBLOB.
  std::vector<uint8_t> ReadValue(int32_t first, int32_t changeNumber);
  // The length stored in the first block (checked as for ReadValue).
  uint32_t ReadLength(int32_t first, int32_t changeNumber);
  // Writes a value over the chain of the old reference (reused in place, grown from the free
  // list or the end of the file, excess blocks freed), stamping newChangeNumber into every
  // block. Returns the new first block, 0 for an empty value (whose old chain is freed).
  // The old chain must still carry oldChangeNumber (else KURA_KEYORRECDELETED). Nothing is
  // changed when the write fails for lack of room or because the old chain is damaged.
  int32_t WriteValue(int32_t oldFirst, int32_t oldChangeNumber, int32_t newChangeNumber, const uint8_t *data,
                     size_t length);

  // The block numbers of a chain, checked as FreeChain checks them.
  std::vector<int32_t> ChainBlocks(int32_t first, int32_t changeNumber);
  // The block numbers of the free list from its head; a loop or a bad link raises
  // KURA_MEMOCORRUPT.
  std::vector<int32_t> FreeListBlocks();

 private:
  [[noreturn]] void Raise(uint16_t code) const;
  void CheckLink(int32_t n) const;
  void CheckChangeNumber(int32_t changeNumber) const;
  std::vector<int32_t> WalkChain(int32_t first, int32_t changeNumber, uint16_t firstMismatchCode);
  int32_t TakeBlockNumber(std::unordered_set<int32_t> &taken);
  void LinkFree(TBlock *block);
  void ReadHeaderFromFile(TBlobHeader &header);
  void CheckHeader(const TBlobHeader &header);

  IBlobBlockStore &FFile;
  uint32_t FBlockSize;
  bool FEncrypted;
  std::string FTableName;
  TBlobBlockCache FCache;
  TBlobHeader FHeader;
  bool FHeaderDirty = false;
  int32_t FReadAhead = 1;
};

}  // namespace kura
