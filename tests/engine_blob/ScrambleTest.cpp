#include <gtest/gtest.h>

#include <numeric>
#include <random>
#include <vector>

#include "ErrorCode.h"
#include "engine/crypt/Scramble.h"
#include "engine/crypt/TablePassword.h"
#include "engine/crypt/TableScrambling.h"

using namespace kura;

namespace {

std::vector<uint8_t> RandomBytes(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(n);
  for (auto &b : v) b = static_cast<uint8_t>(rng());
  return v;
}

}  // namespace

TEST(Scramble, MatchesHandComputedBytes) {
  std::vector<uint8_t> a{0x00, 0x01, 0x02, 0x03};
  Scramble(a.data(), a.size(), RecordScrambleKey);
  EXPECT_EQ(a, (std::vector<uint8_t>{0xD8, 0xDF, 0xDE, 0xDD}));

  // Low byte wraps from 255 to 0, high byte from 0 to 255.
  std::vector<uint8_t> b{'A', 'B', 'C', 'D'};
  Scramble(b.data(), b.size(), ScrambleKey{0xFF, 0x01});
  EXPECT_EQ(b, (std::vector<uint8_t>{0xBF, 0x42, 0xBD, 0xB8}));
}

TEST(Scramble, EveryLengthFollowsTheRunningValue) {
  // The running value computed step by step, against the routine for lengths around its
  // 256-byte pattern.
  for (size_t n : {1u, 255u, 256u, 257u, 511u, 600u, 4096u, 65535u, 65537u}) {
    auto v = RandomBytes(n, 21);
    auto expected = v;
    uint16_t value = static_cast<uint16_t>(PasswordScrambleKey.High * 256 + PasswordScrambleKey.Low);
    for (size_t i = 0; i < (n & 0xFFFF); ++i) {
      expected[i] ^= static_cast<uint8_t>(value & 0xFF) ^ static_cast<uint8_t>(value >> 8);
      const uint8_t low = static_cast<uint8_t>((value & 0xFF) + 1), high = static_cast<uint8_t>((value >> 8) - 1);
      value = static_cast<uint16_t>(high * 256 + low);
    }
    Scramble(v.data(), v.size(), PasswordScrambleKey);
    EXPECT_EQ(v, expected) << n;
  }
}

TEST(Scramble, TwiceWithTheSameKeyRestoresTheBytes) {
  for (size_t n : {1u, 17u, 255u, 256u, 4096u, 65535u, 70000u}) {
    const auto original = RandomBytes(n, static_cast<unsigned>(n));
    for (ScrambleKey key : {RecordScrambleKey, PasswordScrambleKey}) {
      auto v = original;
      Scramble(v.data(), v.size(), key);
      EXPECT_NE(v, original) << n;
      Scramble(v.data(), v.size(), key);
      EXPECT_EQ(v, original) << n;
    }
  }
}

TEST(Scramble, TheTwoKeysDiffer) {
  auto a = RandomBytes(64, 3), b = a;
  Scramble(a.data(), a.size(), RecordScrambleKey);
  Scramble(b.data(), b.size(), PasswordScrambleKey);
  EXPECT_NE(a, b);
}

TEST(Scramble, LengthsThatAreMultiplesOf65536LeaveTheBufferUnchanged) {
  const auto original = RandomBytes(131072, 9);
  auto v = original;
  Scramble(v.data(), 65536, RecordScrambleKey);
  EXPECT_EQ(v, original);
  Scramble(v.data(), 131072, RecordScrambleKey);
  EXPECT_EQ(v, original);
  Scramble(v.data(), 0, RecordScrambleKey);
  EXPECT_EQ(v, original);
  // Only length mod 65536 bytes are processed.
  Scramble(v.data(), 65537, RecordScrambleKey);
  EXPECT_NE(v[0], original[0]);
  EXPECT_TRUE(std::equal(v.begin() + 1, v.end(), original.begin() + 1));
}

TEST(TableScrambling, DataHeaderScramblesOnlyTheCharactersOfTheTwoStrings) {
  std::vector<uint8_t> header(DataHeaderSize, 0x55);
  header[DataDescriptionOffset] = 5;  // "Hello"
  header[DataPasswordOffset] = 3;     // "abc"
  const auto original = header;
  ScrambleDataHeaderStrings(header.data());
  for (size_t i = 0; i < DataHeaderSize; ++i) {
    const bool inDescription = i > DataDescriptionOffset && i <= DataDescriptionOffset + 5;
    const bool inPassword = i > DataPasswordOffset && i <= DataPasswordOffset + 3;
    if (inDescription || inPassword) EXPECT_NE(header[i], original[i]) << i;
    else EXPECT_EQ(header[i], original[i]) << i;
  }
  // The characters are scrambled with the password key, each string from the key's start.
  std::vector<uint8_t> expected(original.begin() + DataPasswordOffset + 1, original.begin() + DataPasswordOffset + 4);
  Scramble(expected.data(), expected.size(), PasswordScrambleKey);
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), header.begin() + DataPasswordOffset + 1));
  ScrambleDataHeaderStrings(header.data());
  EXPECT_EQ(header, original);
}

TEST(TableScrambling, DamagedStringLengthIsCutToTheCapacity) {
  std::vector<uint8_t> header(DataHeaderSize, 0x11);
  header[DataDescriptionOffset] = 200;
  header[DataPasswordOffset] = 255;
  const auto original = header;
  ScrambleDataHeaderStrings(header.data());
  // Nothing outside the two strings is touched, in particular not the byte after the password.
  EXPECT_EQ(header[DataPasswordOffset + 16], original[DataPasswordOffset + 16]);
  EXPECT_EQ(header[86], original[86]);
  ScrambleDataHeaderStrings(header.data());
  EXPECT_EQ(header, original);
}

TEST(TableScrambling, BlobBlockIsScrambledAsHeaderAndDataBuffers) {
  auto block = RandomBytes(512, 4);
  auto expected = block;
  Scramble(expected.data(), 18, RecordScrambleKey);
  Scramble(expected.data() + 18, 512 - 18, RecordScrambleKey);
  ScrambleBlobBlock(block.data(), block.size());
  EXPECT_EQ(block, expected);
  // Not the same as one buffer of 512 bytes.
  auto whole = RandomBytes(512, 4);
  Scramble(whole.data(), whole.size(), RecordScrambleKey);
  EXPECT_NE(whole, block);
}

TEST(TableScrambling, RecordsDescriptorsIndexPagesAndBlobHeaderUseTheRecordKey) {
  auto a = RandomBytes(4096, 5), b = a;
  ScrambleIndexPage(a.data());
  Scramble(b.data(), 4096, RecordScrambleKey);
  EXPECT_EQ(a, b);

  auto d = RandomBytes(3 * FieldDescriptorSize, 6), e = d;
  ScrambleFieldDescriptors(d.data(), 3);
  Scramble(e.data(), e.size(), RecordScrambleKey);
  EXPECT_EQ(d, e);

  auto r = RandomBytes(20, 7), s = r;
  ScrambleRecord(r.data(), r.size());
  Scramble(s.data(), s.size(), RecordScrambleKey);
  EXPECT_EQ(r, s);

  auto h = RandomBytes(512, 8), g = h;
  ScrambleBlobHeader(h.data());
  Scramble(g.data(), g.size(), RecordScrambleKey);
  EXPECT_EQ(h, g);
}

TEST(TablePassword, OneToFifteenCharactersAfterTrimming) {
  EXPECT_EQ(TrimPassword("  go game \t"), "go game");
  EXPECT_TRUE(IsValidTablePassword("x"));
  EXPECT_TRUE(IsValidTablePassword("  123456789012345  "));
  EXPECT_FALSE(IsValidTablePassword("1234567890123456"));
  EXPECT_FALSE(IsValidTablePassword(""));
  EXPECT_FALSE(IsValidTablePassword("    "));
  EXPECT_EQ(CheckedTablePassword(" secret ", "figure"), "secret");
  EXPECT_EQ(ErrorCodeRaisedBy([] { CheckedTablePassword("   ", "figure"); }), KURA_INVALIDPASSWORD);
  EXPECT_EQ(ErrorCodeRaisedBy([] { CheckedTablePassword("1234567890123456", "figure"); }), KURA_INVALIDPASSWORD);
  try {
    CheckedTablePassword("", "figure");
    FAIL();
  } catch (const EKuraEngineError &e) {
    EXPECT_EQ(e.EngineMessage(), "Password provided for the table 'figure' is invalid");
  }
  // Multi-byte characters count by their bytes: five kanji are 15 bytes, six are 18.
  EXPECT_TRUE(IsValidTablePassword("囲碁入門講"));
  EXPECT_FALSE(IsValidTablePassword("囲碁入門講座"));
}

TEST(TablePassword, ListComparesCaseSensitivelyAndIgnoresEmptyTexts) {
  TPasswordList list;
  list.AddPassword("");
  EXPECT_EQ(list.Count(), 0u);
  list.AddPassword("Secret");
  list.AddPassword("Secret");
  EXPECT_EQ(list.Count(), 1u);
  EXPECT_TRUE(list.Contains("Secret"));
  EXPECT_FALSE(list.Contains("secret"));
  list.AddPassword("other");
  list.RemovePassword("secret");
  EXPECT_EQ(list.Count(), 2u);
  list.RemovePassword("Secret");
  EXPECT_FALSE(list.Contains("Secret"));
  list.RemoveAllPasswords();
  EXPECT_EQ(list.Count(), 0u);
  list.AddPassword(std::string(300, 'p'));
  EXPECT_TRUE(list.Contains(std::string(255, 'p')));
}

TEST(TableScrambling, ShortStringsOfTheDataHeaderRoundTrip) {
  std::vector<uint8_t> header(DataHeaderSize, 0);
  WriteScrambledShortString(header.data() + DataPasswordOffset, DataPasswordCapacity, "Go4Beginners");
  WriteScrambledShortString(header.data() + DataDescriptionOffset, DataDescriptionCapacity, "詰碁の問題集");
  EXPECT_EQ(header[DataPasswordOffset], 12);
  EXPECT_NE(std::string(header.begin() + DataPasswordOffset + 1, header.begin() + DataPasswordOffset + 13),
            "Go4Beginners");
  EXPECT_EQ(ReadScrambledShortString(header.data() + DataPasswordOffset, DataPasswordCapacity), "Go4Beginners");
  EXPECT_EQ(ReadScrambledShortString(header.data() + DataDescriptionOffset, DataDescriptionCapacity), "詰碁の問題集");
  // The whole-header helper turns both strings plain and back.
  auto plain = header;
  ScrambleDataHeaderStrings(plain.data());
  EXPECT_EQ(std::string(plain.begin() + DataPasswordOffset + 1, plain.begin() + DataPasswordOffset + 13), "Go4Beginners");
  // Too long a text is cut to the capacity, never in the middle of a character.
  WriteScrambledShortString(header.data() + DataPasswordOffset, DataPasswordCapacity, "あいうえおか");  // 18 bytes
  EXPECT_EQ(ReadScrambledShortString(header.data() + DataPasswordOffset, DataPasswordCapacity), "あいうえお");
  EXPECT_EQ(header[DataPasswordOffset + 16], 0);  // the byte after the field is untouched
}

TEST(TablePassword, OpeningAnEncryptedTableNeedsAKnownPassword) {
  TPasswordList list;
  const auto known = [&](const std::string &p) { return list.Contains(p); };
  int requests = 0;
  // Known beforehand: no request at all.
  list.AddPassword("kyozai");
  CheckTableAccess("kyozai", known, [&] { ++requests; return true; }, "figure");
  EXPECT_EQ(requests, 0);
  // The request adds a wrong password first, then the right one.
  list.RemoveAllPasswords();
  CheckTableAccess("kyozai", known, [&] {
    list.AddPassword(++requests == 1 ? "wrong" : "kyozai");
    return true;
  }, "figure");
  EXPECT_EQ(requests, 2);
  // Cancelled.
  list.RemoveAllPasswords();
  try {
    CheckTableAccess("kyozai", known, [] { return false; }, "figure");
    FAIL();
  } catch (const EKuraEngineError &e) {
    EXPECT_EQ(e.ErrorCode(), KURA_NOTSUFFTABLERIGHTS);
    EXPECT_EQ(e.EngineMessage(), "Insufficient rights to the table 'figure', a password is required");
  }
  // No way to ask.
  EXPECT_EQ(ErrorCodeRaisedBy([&] { CheckTableAccess("kyozai", known, nullptr, "figure"); }), KURA_NOTSUFFTABLERIGHTS);
}
