// Blob file header, allocation, free list and block chains.
#include "engine/blob/BlobStore.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "engine/crypt/TableScrambling.h"
#include "engine/errors/EngineError.h"

namespace kura {
namespace {

constexpr uint32_t ReadAheadBytes = 16384;

bool UsableBlockSize(uint32_t b) { return b > BlobBlockHeaderSize && b <= MaxBlobBlockSize; }

// Releases a pinned block when the scope ends, also on errors.
class TPin {
 public:
  TPin(TBlobStore &store, TBlock *block) : FStore(store), FBlock(block) {}
  ~TPin() { FStore.ReleaseBlock(FBlock); }
  TPin(const TPin &) = delete;
  TPin &operator=(const TPin &) = delete;
  TBlock *operator->() const { return FBlock; }
  TBlock *Get() const { return FBlock; }

 private:
  TBlobStore &FStore;
  TBlock *FBlock;
};

}  // namespace

TBlobStore::TBlobStore(IBlobBlockStore &file, uint32_t blockSize, bool encrypted, std::string tableName,
                       TBlobCacheSettings settings)
    : FFile(file),
      FBlockSize(blockSize == 0 ? DefaultBlobBlockSize : blockSize),
      FEncrypted(encrypted),
      FTableName(std::move(tableName)),
      // A block size that cannot work is refused by Create and Open; the cache only needs a
      // size it can live with until then.
      FCache(file, UsableBlockSize(FBlockSize) ? FBlockSize : DefaultBlobBlockSize, encrypted, FTableName) {
  const uint32_t b = FCache.BlockSize();
  FReadAhead = static_cast<int32_t>(std::max<uint32_t>(ReadAheadBytes / b, 1));
  FCache.SetCapacity(std::min<size_t>(settings.BlobBufferSize / b, settings.BlobBufferCount));
}

void TBlobStore::Raise(uint16_t code) const {
  ErrorTexts texts;
  texts.Table = FTableName;
  RaiseEngineError(code, texts);
}

void TBlobStore::CheckLink(int32_t n) const {
  if (n < 1 || n > FHeader.BlockCount()) Raise(KURA_MEMOCORRUPT);
}

void TBlobStore::CheckChangeNumber(int32_t changeNumber) const {
  // Change numbers run from 1 to 2 147 483 647; a reference with any other is damaged.
  if (changeNumber <= 0) Raise(KURA_MEMOCORRUPT);
}

// ---- header -------------------------------------------------------------------------------

void TBlobStore::ReadHeaderFromFile(TBlobHeader &header) {
  uint8_t raw[BlobHeaderSize];
  if (FFile.ReadAt(0, raw, BlobHeaderSize) != BlobHeaderSize) Raise(KURA_HEADERCORRUPT);
  if (FEncrypted) ScrambleBlobHeader(raw);
  header = TBlobHeader::Decode(raw);
}

void TBlobStore::CheckHeader(const TBlobHeader &header) {
  ValidateBlobHeader(header, FBlockSize, FTableName);
  // Blocks reach the file before the header that counts them, so the file holds every block
  // the header counts. A count beyond the file is damage; trusting it would let lengths and
  // new blocks run far past the real data.
  if (BlobBlockOffset(header.NextBlockNumber, FBlockSize) > FFile.Size()) Raise(KURA_HEADERCORRUPT);
}

void TBlobStore::Create() {
  CheckNewBlobBlockSize(FBlockSize, FTableName);
  FCache.Clear();
  FHeader = TBlobHeader{};
  FFile.Truncate(0);
  uint8_t raw[BlobHeaderSize];
  FHeader.Encode(raw);
  if (FEncrypted) ScrambleBlobHeader(raw);
  FFile.WriteAt(0, raw, BlobHeaderSize);
  FHeaderDirty = false;
}

void TBlobStore::Open() {
  TBlobHeader header;
  ReadHeaderFromFile(header);
  CheckHeader(header);
  FCache.Clear();
  FHeader = header;
  FHeaderDirty = false;
}

void TBlobStore::Close() {
  Flush();
  FCache.Clear();
}

void TBlobStore::Empty() {
  FFile.Truncate(BlobHeaderSize);
  FCache.Clear();
  FHeader.Version = BlobFormatVersion;
  FHeader.FirstFreeBlock = 0;
  FHeader.NextBlockNumber = 1;
  // The change counter keeps counting so that other users notice the change.
  WriteHeader(true);
}

bool TBlobStore::ReadHeaderChanged() {
  TBlobHeader header;
  ReadHeaderFromFile(header);
  if (header.ChangeCounter == FHeader.ChangeCounter) return false;
  CheckHeader(header);
  FHeader = header;
  FHeaderDirty = false;
  FCache.Clear();
  return true;
}

void TBlobStore::ReloadHeader() {
  TBlobHeader header;
  ReadHeaderFromFile(header);
  CheckHeader(header);
  FCache.Clear();
  FHeader = header;
  FHeaderDirty = false;
}

void TBlobStore::WriteHeader(bool force) {
  if (!FHeaderDirty && !force) return;
  TBlobHeader next = FHeader;
  next.ChangeCounter = FHeader.ChangeCounter == INT32_MAX ? 1 : FHeader.ChangeCounter + 1;
  uint8_t raw[BlobHeaderSize];
  next.Encode(raw);
  if (FEncrypted) ScrambleBlobHeader(raw);
  FFile.WriteAt(0, raw, BlobHeaderSize);
  FHeader = next;
  FHeaderDirty = false;
}

bool TBlobStore::Flush(bool toDisk) {
  bool wrote = FCache.WriteDirty();
  if (FHeaderDirty) {
    WriteHeader(true);
    wrote = true;
  }
  if (wrote && toDisk) FFile.FlushToDisk();
  return wrote;
}

// ---- blocks -------------------------------------------------------------------------------

TBlock *TBlobStore::GetBlock(int32_t n, int32_t readAhead) {
  CheckLink(n);
  return FCache.Get(n, FHeader.BlockCount(), readAhead);
}

int32_t TBlobStore::TakeBlockNumber(std::unordered_set<int32_t> &taken) {
  if (FHeader.FirstFreeBlock != 0) {
    const int32_t n = FHeader.FirstFreeBlock;
    CheckLink(n);
    // A block handed out twice in one go means the free list runs in a circle.
    if (taken.count(n) != 0) Raise(KURA_MEMOCORRUPT);
    int32_t next;
    {
      TPin block(*this, GetBlock(n));
      next = block->NextBlock;
    }
    if (next < 0 || next > FHeader.BlockCount()) Raise(KURA_MEMOCORRUPT);
    FHeader.FirstFreeBlock = next;
    FHeaderDirty = true;
    taken.insert(n);
    return n;
  }
  const int32_t n = FHeader.NextBlockNumber;
  if (n > MaxBlobBlockNumber || BlobBlockOffset(n, FBlockSize) + FBlockSize > MaxBlobFileSize)
    Raise(KURA_TABLEFULL);
  FHeader.NextBlockNumber = n + 1;
  FHeaderDirty = true;
  taken.insert(n);
  return n;
}

TBlock *TBlobStore::AllocateBlock() {
  std::unordered_set<int32_t> taken;
  const int32_t n = TakeBlockNumber(taken);
  return FCache.NewBlock(n);
}

void TBlobStore::PutBlockData(TBlock *block, const uint8_t *data, size_t count) {
  if (count > DataBytesPerBlock()) Raise(KURA_INVALIDBLOBLEN);
  if (count != 0) std::memcpy(block->Data.data(), data, count);
  std::fill(block->Data.begin() + static_cast<std::ptrdiff_t>(count), block->Data.end(), 0);
  block->UsedBytes = static_cast<uint16_t>(count);
  block->Dirty = true;
}

size_t TBlobStore::GetBlockData(const TBlock *block, uint8_t *dest, size_t count) const {
  if (count > DataBytesPerBlock()) Raise(KURA_INVALIDBLOBLEN);
  if (count != 0) std::memcpy(dest, block->Data.data(), count);
  return block->UsedBytes;
}

void TBlobStore::LinkFree(TBlock *block) {
  block->PrevBlock = 0;
  block->UsedBytes = 0;
  // A free block carries change number 0, which no reference has, so a stale reference to it
  // is recognised instead of being read or written over.
  block->ChangeNumber = 0;
  block->TotalLength = 0;
  std::fill(block->Data.begin(), block->Data.end(), 0);
  block->NextBlock = FHeader.FirstFreeBlock;
  block->Dirty = true;
  FHeader.FirstFreeBlock = block->BlockNumber;
  FHeaderDirty = true;
}

void TBlobStore::FreeBlock(int32_t n) {
  TPin block(*this, GetBlock(n));
  LinkFree(block.Get());
}

std::vector<int32_t> TBlobStore::WalkChain(int32_t first, int32_t changeNumber, uint16_t firstMismatchCode) {
  std::vector<int32_t> blocks;
  std::unordered_set<int32_t> seen;
  int32_t n = first;
  while (n != 0) {
    CheckLink(n);
    if (!seen.insert(n).second) Raise(KURA_MEMOCORRUPT);
    int32_t next, change;
    {
      TPin block(*this, GetBlock(n, FReadAhead));
      next = block->NextBlock;
      change = block->ChangeNumber;
    }
    if (change != changeNumber) Raise(blocks.empty() ? firstMismatchCode : static_cast<uint16_t>(KURA_MEMOCORRUPT));
    blocks.push_back(n);
    n = next;
  }
  return blocks;
}

std::vector<int32_t> TBlobStore::ChainBlocks(int32_t first, int32_t changeNumber) {
  if (first == 0) return {};
  CheckChangeNumber(changeNumber);
  return WalkChain(first, changeNumber, KURA_MEMOCORRUPT);
}

void TBlobStore::FreeChain(int32_t first, int32_t changeNumber) {
  if (first == 0) return;
  CheckChangeNumber(changeNumber);
  const std::vector<int32_t> blocks = WalkChain(first, changeNumber, KURA_MEMOCORRUPT);
  for (int32_t n : blocks) FreeBlock(n);
}

std::vector<int32_t> TBlobStore::FreeListBlocks() {
  std::vector<int32_t> blocks;
  std::unordered_set<int32_t> seen;
  int32_t n = FHeader.FirstFreeBlock;
  while (n != 0) {
    CheckLink(n);
    if (!seen.insert(n).second) Raise(KURA_MEMOCORRUPT);
    blocks.push_back(n);
    TPin block(*this, GetBlock(n, FReadAhead));
    n = block->NextBlock;
  }
  return blocks;
}

// ---- values -------------------------------------------------------------------------------

uint32_t TBlobStore::ReadLength(int32_t first, int32_t changeNumber) {
  if (first == 0) return 0;
  CheckChangeNumber(changeNumber);
  TPin block(*this, GetBlock(first, FReadAhead));
  if (block->ChangeNumber != changeNumber) Raise(KURA_KEYORRECDELETED);
  const int32_t length = block->TotalLength;
  if (length < 0 || static_cast<uint64_t>(length) >
                        static_cast<uint64_t>(FHeader.BlockCount()) * DataBytesPerBlock())
    Raise(KURA_MEMOCORRUPT);
  return static_cast<uint32_t>(length);
}

std::vector<uint8_t> TBlobStore::ReadValue(int32_t first, int32_t changeNumber) {
  if (first == 0) return {};
  // The length is checked against what the file can hold before anything is allocated.
  const uint32_t length = ReadLength(first, changeNumber);
  const size_t dataBytes = DataBytesPerBlock();
  std::vector<uint8_t> value(length);
  std::unordered_set<int32_t> seen;
  size_t done = 0;
  int32_t n = first;
  for (;;) {
    if (!seen.insert(n).second) Raise(KURA_MEMOCORRUPT);  // the chain came back on itself
    const size_t stillNeeded = (length - done + dataBytes - 1) / dataBytes;
    const int32_t readAhead = static_cast<int32_t>(std::clamp<size_t>(stillNeeded, 1, FReadAhead));
    int32_t next;
    {
      TPin block(*this, GetBlock(n, readAhead));
      if (block->ChangeNumber != changeNumber) Raise(KURA_KEYORRECDELETED);
      const size_t take = std::min(dataBytes, length - done);
      if (take != 0) std::memcpy(value.data() + done, block->Data.data(), take);
      done += take;
      next = block->NextBlock;
    }
    if (done == length) break;
    if (next == 0) Raise(KURA_ENDOFBLOB);
    CheckLink(next);
    n = next;
  }
  return value;
}

int32_t TBlobStore::WriteValue(int32_t oldFirst, int32_t oldChangeNumber, int32_t newChangeNumber,
                               const uint8_t *data, size_t length) {
  if (length > MaxBlobLength) Raise(KURA_INVALIDBLOBLEN);
  if (length != 0) CheckChangeNumber(newChangeNumber);
  std::vector<int32_t> old;
  if (oldFirst != 0) {
    CheckChangeNumber(oldChangeNumber);
    // The whole old chain is checked before anything is changed. A first block with another
    // change number belongs to a value someone else wrote meanwhile: it must not be overwritten.
    old = WalkChain(oldFirst, oldChangeNumber, KURA_KEYORRECDELETED);
  }
  if (length == 0) {
    for (int32_t n : old) FreeBlock(n);
    FHeaderDirty = true;
    return 0;
  }
  const size_t dataBytes = DataBytesPerBlock();
  const uint64_t needed = (static_cast<uint64_t>(length) + dataBytes - 1) / dataBytes;
  if (needed > static_cast<uint64_t>(MaxBlobBlockNumber)) Raise(KURA_TABLEFULL);
  const size_t reused = static_cast<size_t>(std::min<uint64_t>(needed, old.size()));

  // Take every further block first; when that fails the header is put back as it was, so the
  // file is unchanged.
  std::vector<int32_t> chain(old.begin(), old.begin() + static_cast<std::ptrdiff_t>(reused));
  {
    const TBlobHeader saved = FHeader;
    const bool savedDirty = FHeaderDirty;
    std::unordered_set<int32_t> taken(old.begin(), old.end());  // a free list leading into the chain is damage
    try {
      while (chain.size() < needed) chain.push_back(TakeBlockNumber(taken));
    } catch (...) {
      FHeader = saved;
      FHeaderDirty = savedDirty;
      throw;
    }
  }

  size_t done = 0;
  for (size_t i = 0; i < chain.size(); ++i) {
    const int32_t n = chain[i];
    TBlock *raw;
    if (i < reused) {
      const size_t left = chain.size() - i;
      raw = GetBlock(n, static_cast<int32_t>(std::min<size_t>(left, FReadAhead)));
    } else {
      raw = FCache.NewBlock(n);
    }
    TPin block(*this, raw);
    const size_t take = std::min(dataBytes, length - done);
    block->PrevBlock = i == 0 ? 0 : chain[i - 1];
    block->NextBlock = i + 1 < chain.size() ? chain[i + 1] : 0;
    block->ChangeNumber = newChangeNumber;
    block->TotalLength = i == 0 ? static_cast<int32_t>(length) : 0;
    PutBlockData(block.Get(), data + done, take);
    done += take;
  }
  if (done != length) Raise(KURA_ENDOFBLOB);
  for (size_t i = reused; i < old.size(); ++i) FreeBlock(old[i]);
  // Blocks rewritten in place change nothing in the header, but other users must still see a
  // new change counter to drop the blocks they have cached.
  FHeaderDirty = true;
  return chain.front();
}

}  // namespace kura
