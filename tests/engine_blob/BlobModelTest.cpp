#include <gtest/gtest.h>

#include "BlobTestSupport.h"

using namespace kura;
using namespace blobtest;

namespace {

size_t RandomLength(std::mt19937 &rng) {
  switch (rng() % 10) {
    case 0: return 0;
    case 1: return 1 + rng() % 3;
    case 2: return 60000 + rng() % 140000;
    default: return rng() % 3000;
  }
}

void RunModel(uint32_t blockSize, bool encrypted, unsigned seed) {
  SCOPED_TRACE("block size " + std::to_string(blockSize) + (encrypted ? " encrypted" : ""));
  BlobFile f;
  TBlobCacheSettings small;
  small.BlobBufferSize = 8 * blockSize;  // a small cache: eviction and re-reading all the time
  f.Create(blockSize, encrypted, small);
  std::mt19937 rng(seed);
  std::map<int, LiveBlob> live;
  int32_t change = 0;
  for (int step = 0; step < 1500; ++step) {
    const int key = static_cast<int>(rng() % 60);
    LiveBlob &blob = live[key];
    switch (rng() % 6) {
      case 0:
      case 1:
      case 2: {  // put a new value
        blob.Value = RandomBytes(RandomLength(rng), rng);
        const int32_t newChange = blob.Value.empty() ? blob.Change : ++change;
        blob.First = f.Store->WriteValue(blob.First, blob.Change, newChange, blob.Value.data(), blob.Value.size());
        blob.Change = newChange;
        break;
      }
      case 3: {  // truncate
        blob.Value.resize(blob.Value.empty() ? 0 : rng() % blob.Value.size());
        const int32_t newChange = blob.Value.empty() ? blob.Change : ++change;
        blob.First = f.Store->WriteValue(blob.First, blob.Change, newChange, blob.Value.data(), blob.Value.size());
        blob.Change = newChange;
        break;
      }
      case 4:  // delete the record
        f.Store->FreeChain(blob.First, blob.Change);
        live.erase(key);
        break;
      default:  // read
        ASSERT_EQ(f.Store->ReadValue(blob.First, blob.Change), blob.Value);
        break;
    }
    if (step % 250 == 249) {
      ExpectChainInvariants(*f.Store, live);
      if (step % 500 == 499) f.Reopen();
    }
  }
  ExpectChainInvariants(*f.Store, live);
  f.Reopen();
  ExpectChainInvariants(*f.Store, live);
  // The file holds exactly the header and the counted blocks.
  EXPECT_EQ(f.File.Size(), BlobHeaderSize + static_cast<uint64_t>(f.Store->BlockCount()) * blockSize);
  // The file never grows beyond what the largest moment needed: every block is in use or free.
  EXPECT_EQ(f.Store->Cache().PinnedCount(), 0u);
}

}  // namespace

TEST(BlobModel, Blocks512) { RunModel(512, false, 1); }
TEST(BlobModel, Blocks64) { RunModel(64, false, 2); }
TEST(BlobModel, Blocks4096Encrypted) { RunModel(4096, true, 3); }
TEST(BlobModel, Blocks1000Encrypted) { RunModel(1000, true, 4); }
