#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "ErrorCode.h"
#include "engine/crypt/BlockCompression.h"

using namespace kura;

namespace {

std::vector<uint8_t> RandomBytes(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(n);
  for (auto &b : v) b = static_cast<uint8_t>(rng());
  return v;
}

std::vector<uint8_t> Text(size_t n) {
  const std::string line = "黒が打ち、白が応じる。 The stones are captured.\n";
  std::vector<uint8_t> v;
  while (v.size() < n) v.insert(v.end(), line.begin(), line.end());
  v.resize(n);
  return v;
}

}  // namespace

TEST(BlockCompression, RoundTripsOfAllKindsOfBlocks) {
  for (size_t n : {0u, 1u, 255u, 256u, 65536u, 300000u}) {
    for (const auto &input : {RandomBytes(n, static_cast<unsigned>(n)), Text(n), std::vector<uint8_t>(n, 0)}) {
      const auto packed = CompressBlock(input.data(), input.size());
      const auto unpacked = DecompressBlock(packed.data(), packed.size());
      EXPECT_EQ(unpacked, input) << n;
    }
  }
}

TEST(BlockCompression, CompressesRepetitiveDataAtBestLevel) {
  const auto input = Text(100000);
  const auto packed = CompressBlock(input.data(), input.size());
  EXPECT_LT(packed.size(), input.size() / 20);
  // zlib stream header of level 9 (best compression).
  ASSERT_GE(packed.size(), 2u);
  EXPECT_EQ(packed[0], 0x78);
  EXPECT_EQ(packed[1], 0xDA);
}

TEST(BlockCompression, DamagedInputRaisesUncompress) {
  const auto input = Text(20000);
  const auto packed = CompressBlock(input.data(), input.size());

  auto flipped = packed;
  flipped[flipped.size() / 2] ^= 0x5A;
  flipped[flipped.size() / 2 + 1] ^= 0xA5;
  EXPECT_EQ(ErrorCodeRaisedBy([&] { DecompressBlock(flipped.data(), flipped.size()); }), KURA_UNCOMPRESS);

  auto truncated = packed;
  truncated.resize(packed.size() / 2);
  EXPECT_EQ(ErrorCodeRaisedBy([&] { DecompressBlock(truncated.data(), truncated.size()); }), KURA_UNCOMPRESS);

  auto trailing = packed;
  trailing.push_back(0);
  EXPECT_EQ(ErrorCodeRaisedBy([&] { DecompressBlock(trailing.data(), trailing.size()); }), KURA_UNCOMPRESS);

  const auto garbage = RandomBytes(5000, 77);
  EXPECT_EQ(ErrorCodeRaisedBy([&] { DecompressBlock(garbage.data(), garbage.size()); }), KURA_UNCOMPRESS);
  EXPECT_EQ(ErrorCodeRaisedBy([&] { DecompressBlock(nullptr, 0); }), KURA_UNCOMPRESS);
}

TEST(BlockCompression, OutputIsBoundedWhateverTheStreamClaims) {
  // A tiny stream that expands to 50 MB must not be allowed to allocate beyond the bound.
  const std::vector<uint8_t> zeros(50u << 20, 0);
  const auto bomb = CompressBlock(zeros.data(), zeros.size());
  EXPECT_LT(bomb.size(), 100000u);
  EXPECT_EQ(ErrorCodeRaisedBy([&] { DecompressBlock(bomb.data(), bomb.size(), 1u << 20); }), KURA_UNCOMPRESS);
  // Exactly at the bound is fine.
  const auto small = Text(4096);
  const auto packed = CompressBlock(small.data(), small.size());
  EXPECT_EQ(DecompressBlock(packed.data(), packed.size(), 4096), small);
  EXPECT_EQ(ErrorCodeRaisedBy([&] { DecompressBlock(packed.data(), packed.size(), 4095); }), KURA_UNCOMPRESS);
}
