#include <gtest/gtest.h>

#include "BlobTestSupport.h"
#include "engine/errors/EngineError.h"

using namespace kura;
using namespace blobtest;

namespace {

// Runs one operation on a damaged file: it may succeed or raise an engine error, nothing else.
template <typename F>
void Survives(F &&operation, int &errors) {
  try {
    operation();
  } catch (const EKuraEngineError &) {
    ++errors;
  }
}

}  // namespace

// Random damage to the header and block headers of a file holding several values: every
// operation ends (no hang), with a value or an engine error, and never crashes.
TEST(BlobDamage, RandomlyDamagedFilesNeverCrashOrHang) {
  for (bool encrypted : {false, true}) {
    BlobFile f;
    f.Create(128, encrypted);
    std::mt19937 rng(encrypted ? 11 : 7);
    std::vector<LiveBlob> blobs;
    for (int i = 0; i < 12; ++i) {
      LiveBlob b;
      b.Value = RandomBytes(rng() % 2000, rng);
      b.Change = i + 1;
      b.First = f.Store->WriteValue(0, 0, b.Change, b.Value.data(), b.Value.size());
      blobs.push_back(b);
    }
    f.Store->FreeChain(blobs[3].First, blobs[3].Change);
    f.Store->Close();
    const auto good = f.File.Bytes();
    const int32_t blocks = static_cast<int32_t>((good.size() - 512) / 128);
    int errors = 0;
    for (int round = 0; round < 2000; ++round) {
      f.File.Bytes() = good;
      const int damages = 1 + static_cast<int>(rng() % 4);
      for (int d = 0; d < damages; ++d) {
        size_t at;
        if (rng() % 5 == 0) {
          at = rng() % 14;  // the header fields
        } else {
          at = BlobBlockOffset(1 + static_cast<int32_t>(rng() % blocks), 128) + rng() % 18;  // a block header
        }
        f.File.Bytes()[at] = static_cast<uint8_t>(rng());
      }
      try {
        f.OpenAgain();
      } catch (const EKuraEngineError &) {
        ++errors;
        continue;
      }
      for (const LiveBlob &b : blobs) {
        Survives([&] { f.Store->ReadValue(b.First, b.Change); }, errors);
        Survives([&] { f.Store->ChainBlocks(b.First, b.Change); }, errors);
      }
      Survives([&] { f.Store->FreeListBlocks(); }, errors);
      const LiveBlob &victim = blobs[rng() % blobs.size()];
      const auto value = RandomBytes(rng() % 3000, rng);
      Survives([&] { f.Store->WriteValue(victim.First, victim.Change, 99, value.data(), value.size()); }, errors);
      Survives([&] { f.Store->FreeChain(blobs[0].First, blobs[0].Change); }, errors);
      Survives([&] { f.Store->Flush(); }, errors);
      EXPECT_EQ(f.Store->Cache().PinnedCount(), 0u);
    }
    EXPECT_GT(errors, 0);
  }
}
