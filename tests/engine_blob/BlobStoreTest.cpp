#include <gtest/gtest.h>

#include <cstring>

#include "BlobTestSupport.h"
#include "ErrorCode.h"

using namespace kura;
using namespace blobtest;

TEST(BlobStore, RoundTripsOfEverySizeAroundTheBlockBoundaries) {
  BlobFile f;
  f.Create(512);
  std::map<int, LiveBlob> live;
  int32_t change = 0;
  const size_t sizes[] = {0, 1, 493, 494, 495, 512, 988, 989, 1000, 100000};
  for (size_t i = 0; i < std::size(sizes); ++i) {
    LiveBlob b;
    b.Value = RandomBytes(sizes[i], static_cast<unsigned>(i + 1));
    b.Change = ++change;
    b.First = f.Store->WriteValue(0, 0, b.Change, b.Value.data(), b.Value.size());
    EXPECT_EQ(b.First == 0, sizes[i] == 0);
    if (b.First != 0) EXPECT_EQ(f.Store->ReadLength(b.First, b.Change), sizes[i]);
    live[static_cast<int>(i)] = b;
  }
  ExpectChainInvariants(*f.Store, live);
  f.Reopen();
  ExpectChainInvariants(*f.Store, live);
}

TEST(BlobStore, ThousandBytesInBlocksOf512TakeThreeBlocks) {
  BlobFile f;
  f.Create(512);
  const auto value = RandomBytes(1000);
  const int32_t first = f.Store->WriteValue(0, 0, 7, value.data(), value.size());
  f.Reopen();
  EXPECT_EQ(f.Store->BlockCount(), 3);
  EXPECT_EQ(f.Store->ChainBlocks(first, 7), (std::vector<int32_t>{1, 2, 3}));
  EXPECT_EQ(f.PeekBlock(1, UsedField), 494);
  EXPECT_EQ(f.PeekBlock(2, UsedField), 494);
  EXPECT_EQ(f.PeekBlock(3, UsedField), 12);
  EXPECT_EQ(f.PeekBlock(1, LengthField), 1000);
  EXPECT_EQ(f.PeekBlock(2, LengthField), 0);
  EXPECT_EQ(f.PeekBlock(1, PrevField), 0);
  EXPECT_EQ(f.PeekBlock(3, PrevField), 2);
  EXPECT_EQ(f.PeekBlock(3, NextField), 0);
  EXPECT_EQ(f.PeekBlock(2, ChangeField), 7);
  EXPECT_EQ(f.File.Size(), 512u + 3 * 512u);
  // The data follows the 18 header bytes of each block.
  EXPECT_EQ(std::memcmp(f.File.Bytes().data() + 512 + 512 + 18, value.data() + 494, 494), 0);
}

TEST(BlobStore, TenMegabytesRoundTrip) {
  for (bool encrypted : {false, true}) {
    BlobFile f;
    f.Create(4096, encrypted);
    const auto value = RandomBytes(10u << 20, 10);
    const int32_t first = f.Store->WriteValue(0, 0, 1, value.data(), value.size());
    EXPECT_EQ(f.Store->ReadValue(first, 1), value);
    f.Reopen();
    EXPECT_EQ(f.Store->ReadValue(first, 1), value);
    EXPECT_EQ(f.Store->BlockCount(), static_cast<int32_t>((value.size() + 4077) / 4078));
  }
}

TEST(BlobStore, ShorteningFreesTheTailWhichTheNextAllocationReuses) {
  BlobFile f;
  f.Create(512);
  const auto big = RandomBytes(1000, 1);
  int32_t first = f.Store->WriteValue(0, 0, 1, big.data(), big.size());
  const auto small = RandomBytes(100, 2);
  first = f.Store->WriteValue(first, 1, 2, small.data(), small.size());
  EXPECT_EQ(first, 1);
  EXPECT_EQ(f.Store->ChainBlocks(1, 2), std::vector<int32_t>{1});
  // Freed from the first excess block on: the last freed is the head.
  EXPECT_EQ(f.Store->FreeListBlocks(), (std::vector<int32_t>{3, 2}));
  EXPECT_EQ(f.Store->BlockCount(), 3);

  const auto other = RandomBytes(600, 3);
  const int32_t otherFirst = f.Store->WriteValue(0, 0, 3, other.data(), other.size());
  EXPECT_EQ(f.Store->ChainBlocks(otherFirst, 3), (std::vector<int32_t>{3, 2}));
  EXPECT_EQ(f.Store->BlockCount(), 3);
  EXPECT_TRUE(f.Store->FreeListBlocks().empty());
  std::map<int, LiveBlob> live{{1, {first, 2, small}}, {2, {otherFirst, 3, other}}};
  ExpectChainInvariants(*f.Store, live);
  f.Reopen();
  ExpectChainInvariants(*f.Store, live);
}

TEST(BlobStore, GrowingAndRewritingReuseTheChainInPlace) {
  BlobFile f;
  f.Create(512);
  auto v = RandomBytes(1000, 1);
  int32_t first = f.Store->WriteValue(0, 0, 1, v.data(), v.size());
  const TBlobHeader before = f.Store->Header();
  // A value of similar length allocates nothing.
  v = RandomBytes(1400, 2);
  first = f.Store->WriteValue(first, 1, 2, v.data(), v.size());
  EXPECT_EQ(f.Store->ChainBlocks(first, 2), (std::vector<int32_t>{1, 2, 3}));
  EXPECT_EQ(f.Store->Header().NextBlockNumber, before.NextBlockNumber);
  EXPECT_EQ(f.Store->Header().FirstFreeBlock, 0);
  // Growing keeps the old blocks first and appends new ones.
  v = RandomBytes(2400, 3);
  first = f.Store->WriteValue(first, 2, 3, v.data(), v.size());
  EXPECT_EQ(f.Store->ChainBlocks(first, 3), (std::vector<int32_t>{1, 2, 3, 4, 5}));
  std::map<int, LiveBlob> live{{1, {first, 3, v}}};
  ExpectChainInvariants(*f.Store, live);
}

TEST(BlobStore, EmptyValueFreesTheWholeChainAndStoresZero) {
  BlobFile f;
  f.Create(512);
  const auto v = RandomBytes(1200, 1);
  const int32_t first = f.Store->WriteValue(0, 0, 1, v.data(), v.size());
  EXPECT_EQ(f.Store->WriteValue(first, 1, 2, nullptr, 0), 0);
  EXPECT_EQ(f.Store->FreeListBlocks().size(), 3u);
  EXPECT_TRUE(f.Store->ReadValue(0, 0).empty());
  ExpectChainInvariants(*f.Store, {});
}

TEST(BlobStore, ValueReplacedMeanwhileIsReportedNotRead) {
  BlobFile f;
  f.Create(512);
  const auto a = RandomBytes(700, 1);
  const int32_t first = f.Store->WriteValue(0, 0, 1, a.data(), a.size());
  const auto b = RandomBytes(800, 2);
  EXPECT_EQ(f.Store->WriteValue(first, 1, 2, b.data(), b.size()), first);
  EXPECT_EQ(ErrorCodeRaisedBy([&] { f.Store->ReadValue(first, 1); }), KURA_KEYORRECDELETED);
  // Writing over the stale reference must not destroy the newer value.
  EXPECT_EQ(ErrorCodeRaisedBy([&] { f.Store->WriteValue(first, 1, 3, a.data(), a.size()); }), KURA_KEYORRECDELETED);
  EXPECT_EQ(f.Store->ReadValue(first, 2), b);
  // A deleted value's blocks carry no change number any more.
  f.Store->FreeChain(first, 2);
  EXPECT_EQ(ErrorCodeRaisedBy([&] { f.Store->ReadValue(first, 2); }), KURA_KEYORRECDELETED);
  EXPECT_EQ(ErrorCodeRaisedBy([&] { f.Store->WriteValue(first, 2, 4, a.data(), a.size()); }), KURA_KEYORRECDELETED);
  ExpectChainInvariants(*f.Store, {});
  try {
    f.Store->ReadValue(first, 2);
  } catch (const EKuraEngineError &e) {
    EXPECT_EQ(e.EngineMessage(),
              "Record has been changed or deleted by another user, session, or table cursor in the table 'memo'");
  }
}

TEST(BlobStore, LoopingChainsFailWithoutHanging) {
  BlobFile f;
  f.Create(512);
  const auto v = RandomBytes(1400, 1);  // blocks 1, 2, 3
  const int32_t first = f.Store->WriteValue(0, 0, 5, v.data(), v.size());
  f.Reopen();
  f.PokeBlock(3, NextField, 1);   // back to the start
  f.PokeBlock(1, LengthField, 100000);
  // The file has room for 3 blocks only, so 100000 bytes is impossible: damage.
  f.OpenAgain();
  EXPECT_EQ(ErrorCodeRaisedBy([&] { f.Store->ReadValue(first, 5); }), KURA_MEMOCORRUPT);
  // A length the file could hold, with the chain looping.
  f.PokeBlock(1, LengthField, 1400);
  f.PokeBlock(2, NextField, 2);  // a block pointing to itself
  f.OpenAgain();
  EXPECT_EQ(ErrorCodeRaisedBy([&] { f.Store->ReadValue(first, 5); }), KURA_MEMOCORRUPT);
  EXPECT_EQ(ErrorCodeRaisedBy([&] { f.Store->FreeChain(first, 5); }), KURA_MEMOCORRUPT);
  EXPECT_EQ(ErrorCodeRaisedBy([&] { f.Store->WriteValue(first, 5, 6, v.data(), 10); }), KURA_MEMOCORRUPT);
  EXPECT_EQ(ErrorCodeRaisedBy([&] { f.Store->ChainBlocks(first, 5); }), KURA_MEMOCORRUPT);
  // Nothing was freed or changed by the failed operations.
  EXPECT_EQ(f.Store->Header().FirstFreeBlock, 0);
  EXPECT_EQ(f.PeekBlock(1, ChangeField), 5);
}

TEST(BlobStore, LinksOutOfRangeAreDamage) {
  BlobFile f;
  f.Create(512);
  const auto v = RandomBytes(1400, 1);
  const int32_t first = f.Store->WriteValue(0, 0, 5, v.data(), v.size());
  f.Reopen();
  for (int32_t bad : {4, 999, -1, INT32_MIN, INT32_MAX}) {
    SCOPED_TRACE(bad);
    f.PokeBlock(2, NextField, bad);
    f.OpenAgain();
    EXPECT_EQ(ErrorCodeRaisedBy([&] { f.Store->ReadValue(first, 5); }), KURA_MEMOCORRUPT);
    EXPECT_EQ(ErrorCodeRaisedBy([&] { f.Store->FreeChain(first, 5); }), KURA_MEMOCORRUPT);
    EXPECT_EQ(ErrorCodeRaisedBy([&] { f.Store->WriteValue(first, 5, 6, v.data(), v.size()); }), KURA_MEMOCORRUPT);
  }
  // A reference whose first block lies outside the file.
  EXPECT_EQ(ErrorCodeRaisedBy([&] { f.Store->ReadValue(4, 5); }), KURA_MEMOCORRUPT);
  EXPECT_EQ(ErrorCodeRaisedBy([&] { f.Store->ReadValue(-3, 5); }), KURA_MEMOCORRUPT);
  EXPECT_EQ(ErrorCodeRaisedBy([&] { f.Store->FreeChain(77, 5); }), KURA_MEMOCORRUPT);
  // A reference without a valid change number.
  EXPECT_EQ(ErrorCodeRaisedBy([&] { f.Store->ReadValue(first, 0); }), KURA_MEMOCORRUPT);
  EXPECT_EQ(ErrorCodeRaisedBy([&] { f.Store->ReadValue(first, -4); }), KURA_MEMOCORRUPT);
  // A negative total length.
  f.PokeBlock(2, NextField, 3);
  f.PokeBlock(1, LengthField, -1);
  f.OpenAgain();
  EXPECT_EQ(ErrorCodeRaisedBy([&] { f.Store->ReadValue(first, 5); }), KURA_MEMOCORRUPT);
}

TEST(BlobStore, WrongChangeNumbersInsideAChain) {
  BlobFile f;
  f.Create(512);
  const auto v = RandomBytes(1400, 1);
  const int32_t first = f.Store->WriteValue(0, 0, 5, v.data(), v.size());
  f.Reopen();
  f.PokeBlock(2, ChangeField, 6);
  f.OpenAgain();
  EXPECT_EQ(ErrorCodeRaisedBy([&] { f.Store->ReadValue(first, 5); }), KURA_KEYORRECDELETED);
  EXPECT_EQ(ErrorCodeRaisedBy([&] { f.Store->FreeChain(first, 5); }), KURA_MEMOCORRUPT);
  EXPECT_EQ(ErrorCodeRaisedBy([&] { f.Store->WriteValue(first, 5, 7, v.data(), 10); }), KURA_MEMOCORRUPT);
  EXPECT_EQ(f.Store->Header().FirstFreeBlock, 0);
}

TEST(BlobStore, ChainEndingBeforeTheLengthIsEndOfBlob) {
  BlobFile f;
  f.Create(512);
  const auto v = RandomBytes(1400, 1);
  const int32_t first = f.Store->WriteValue(0, 0, 5, v.data(), v.size());
  f.Reopen();
  f.PokeBlock(2, NextField, 0);
  f.OpenAgain();
  EXPECT_EQ(ErrorCodeRaisedBy([&] { f.Store->ReadValue(first, 5); }), KURA_ENDOFBLOB);
}

TEST(BlobStore, DamagedFreeListIsDetected) {
  BlobFile f;
  f.Create(512);
  const auto v = RandomBytes(2400, 1);  // five blocks
  int32_t first = f.Store->WriteValue(0, 0, 1, v.data(), v.size());
  first = f.Store->WriteValue(first, 1, 2, v.data(), 10);  // frees 2..5: list 5, 4, 3, 2
  f.Reopen();
  EXPECT_EQ(f.Store->FreeListBlocks(), (std::vector<int32_t>{5, 4, 3, 2}));
  f.PokeBlock(3, NextField, 5);  // 5 -> 4 -> 3 -> 5 ...
  f.OpenAgain();
  EXPECT_EQ(ErrorCodeRaisedBy([&] { f.Store->FreeListBlocks(); }), KURA_MEMOCORRUPT);
  // Taking more blocks than the loop holds would hand out a block twice.
  const TBlobHeader before = f.Store->Header();
  EXPECT_EQ(ErrorCodeRaisedBy([&] { f.Store->WriteValue(0, 0, 3, v.data(), v.size()); }), KURA_MEMOCORRUPT);
  EXPECT_EQ(f.Store->Header(), before);
  // A free link out of range.
  f.PokeBlock(3, NextField, 50);
  f.OpenAgain();
  EXPECT_EQ(ErrorCodeRaisedBy([&] { f.Store->WriteValue(0, 0, 3, v.data(), v.size()); }), KURA_MEMOCORRUPT);
  // A free list that leads into the chain being written.
  f.PokeBlock(3, NextField, 1);
  f.OpenAgain();
  EXPECT_EQ(ErrorCodeRaisedBy([&] { f.Store->WriteValue(first, 2, 3, v.data(), 2000); }), KURA_MEMOCORRUPT);
  EXPECT_EQ(f.Store->ReadValue(first, 2), std::vector<uint8_t>(v.begin(), v.begin() + 10));
}

TEST(BlobStore, DamagedHeadersAreRefused) {
  BlobFile f;
  f.Create(512);
  const auto v = RandomBytes(1400, 1);
  f.Store->WriteValue(0, 0, 1, v.data(), v.size());
  f.Store->Close();
  const auto good = f.File.Bytes();
  struct Case {
    size_t offset;
    int32_t value;
    uint16_t code;
  };
  const Case cases[] = {
      {5, 4, KURA_HEADERCORRUPT},            // free block beyond the 3 blocks
      {5, -1, KURA_HEADERCORRUPT},
      {9, 0, KURA_HEADERCORRUPT},            // next block number 0
      {9, -7, KURA_HEADERCORRUPT},
      {9, INT32_MAX, KURA_HEADERCORRUPT},
      {9, 5, KURA_HEADERCORRUPT},            // 4 blocks counted, 3 in the file
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.offset);
    f.File.Bytes() = good;
    f.PokeHeader(c.offset, c.value);
    EXPECT_EQ(ErrorCodeRaisedBy([&] { f.OpenAgain(); }), c.code);
  }
  // A free block in a file without blocks.
  f.File.Bytes() = good;
  f.PokeHeader(9, 1);
  f.PokeHeader(5, 1);
  EXPECT_EQ(ErrorCodeRaisedBy([&] { f.OpenAgain(); }), KURA_HEADERCORRUPT);
  // Another format version.
  f.File.Bytes() = good;
  f.File.Bytes()[4] = 4;
  EXPECT_EQ(ErrorCodeRaisedBy([&] { f.OpenAgain(); }), KURA_OLDVERSION);
  // A file shorter than its header.
  f.File.Bytes() = good;
  f.File.Bytes().resize(100);
  EXPECT_EQ(ErrorCodeRaisedBy([&] { f.OpenAgain(); }), KURA_HEADERCORRUPT);
  // A block size the blocks cannot work with.
  f.File.Bytes() = good;
  TBlobStore tiny(f.File, 18, false, "memo");
  EXPECT_EQ(ErrorCodeRaisedBy([&] { tiny.Open(); }), KURA_HEADERCORRUPT);
  // The unchanged file still opens.
  f.File.Bytes() = good;
  f.OpenAgain();
  EXPECT_EQ(f.Store->BlockCount(), 3);
}

TEST(BlobStore, NewFilesNeedAWorkableBlockSize) {
  for (uint32_t size : {1u, 63u, 65554u, 1000000u}) {
    TMemoryBlobBlockStore file;
    TBlobStore store(file, size, false, "memo");
    EXPECT_EQ(ErrorCodeRaisedBy([&] { store.Create(); }), KURA_BLOBLIMIT) << size;
  }
  for (uint32_t size : {0u, 64u, 512u, 65553u}) {
    TMemoryBlobBlockStore file;
    TBlobStore store(file, size, false, "memo");
    store.Create();
    EXPECT_EQ(file.Size(), 512u);
    EXPECT_EQ(store.BlockSize(), size == 0 ? 512u : size);
    const auto v = RandomBytes(70000, size);
    const int32_t first = store.WriteValue(0, 0, 1, v.data(), v.size());
    EXPECT_EQ(store.ReadValue(first, 1), v);
  }
}

TEST(BlobStore, FullFileRefusesTheWriteAndStaysAsItWas) {
  BlobFile f;
  f.Create(512);
  const auto v = RandomBytes(1400, 1);
  const int32_t first = f.Store->WriteValue(0, 0, 1, v.data(), v.size());
  f.Store->WriteValue(first, 1, 2, v.data(), 400);  // frees blocks 2 and 3
  f.Store->Close();
  f.PokeHeader(9, MaxBlobBlockNumber + 1);  // the block numbers are used up
  f.File.Claimed = BlobBlockOffset(MaxBlobBlockNumber + 1, 512);
  f.OpenAgain();
  const TBlobHeader before = f.Store->Header();
  // Two free blocks are not enough for five.
  EXPECT_EQ(ErrorCodeRaisedBy([&] { f.Store->WriteValue(0, 0, 3, v.data(), 2400); }), KURA_TABLEFULL);
  EXPECT_EQ(f.Store->Header(), before);
  EXPECT_EQ(f.Store->FreeListBlocks(), (std::vector<int32_t>{3, 2}));
  // Growing the existing value fails the same way and keeps it.
  EXPECT_EQ(ErrorCodeRaisedBy([&] { f.Store->WriteValue(first, 2, 3, v.data(), 2400); }), KURA_TABLEFULL);
  EXPECT_EQ(f.Store->ReadValue(first, 2), std::vector<uint8_t>(v.begin(), v.begin() + 400));
  // What the free list holds can still be used.
  const int32_t small = f.Store->WriteValue(0, 0, 4, v.data(), 900);
  EXPECT_EQ(f.Store->ReadValue(small, 4), std::vector<uint8_t>(v.begin(), v.begin() + 900));

  // The file size limit: blocks of 65553 bytes reach 4 000 000 000 bytes at block 61 020.
  BlobFile g;
  g.Create(65553);
  g.Store->Close();
  g.PokeHeader(9, 61020);
  g.File.Claimed = BlobBlockOffset(61020, 65553);
  g.OpenAgain();
  EXPECT_EQ(ErrorCodeRaisedBy([&] { g.Store->AllocateBlock(); }), KURA_TABLEFULL);
  EXPECT_EQ(g.Store->Header().NextBlockNumber, 61020);
}

TEST(BlobStore, EncryptedFilesHoldNoPlainBytes) {
  BlobFile f;
  f.Create(512, true);
  std::string text;
  while (text.size() < 3000) text += "The lesson of the ladder. ";
  const auto first = f.Store->WriteValue(0, 0, 1, reinterpret_cast<const uint8_t *>(text.data()), text.size());
  f.Reopen();
  const std::string raw(f.File.Bytes().begin(), f.File.Bytes().end());
  EXPECT_EQ(raw.find("ladder"), std::string::npos);
  const auto back = f.Store->ReadValue(first, 1);
  EXPECT_EQ(std::string(back.begin(), back.end()), text);
  // The header is scrambled too: read plain it is not a version-5 header.
  TBlobStore plain(f.File, 512, false, "memo");
  EXPECT_NE(ErrorCodeRaisedBy([&] { plain.Open(); }), KURA_NONE);
}

TEST(BlobStore, ChangeCounterTellsOtherUsersAboutWrites) {
  BlobFile f;
  f.Create(512);
  TBlobStore other(f.File, 512, false, "memo");
  other.Open();
  EXPECT_EQ(f.Store->Header().ChangeCounter, 0);
  const auto v = RandomBytes(900, 1);
  const int32_t first = f.Store->WriteValue(0, 0, 1, v.data(), v.size());
  EXPECT_FALSE(other.ReadHeaderChanged());  // nothing written yet
  EXPECT_TRUE(f.Store->Flush());
  EXPECT_EQ(f.Store->Header().ChangeCounter, 1);
  EXPECT_FALSE(f.Store->Flush());
  EXPECT_TRUE(other.ReadHeaderChanged());
  EXPECT_EQ(other.BlockCount(), 2);
  EXPECT_EQ(other.ReadValue(first, 1), v);
  EXPECT_FALSE(other.ReadHeaderChanged());
  // A replaced value: the other user's cached blocks are dropped with the change.
  const auto w = RandomBytes(900, 2);
  f.Store->WriteValue(first, 1, 2, w.data(), w.size());
  f.Store->Flush();
  EXPECT_TRUE(other.ReadHeaderChanged());
  EXPECT_EQ(ErrorCodeRaisedBy([&] { other.ReadValue(first, 1); }), KURA_KEYORRECDELETED);
  EXPECT_EQ(other.ReadValue(first, 2), w);
  // Operating-system buffers are flushed only when asked and only after a write.
  EXPECT_FALSE(f.Store->Flush(true));
  EXPECT_EQ(f.File.FlushCount(), 0u);
  f.Store->WriteValue(first, 2, 3, v.data(), v.size());
  EXPECT_TRUE(f.Store->Flush(true));
  EXPECT_EQ(f.File.FlushCount(), 1u);
  // A forced header write counts as well.
  f.Store->WriteHeader(true);
  EXPECT_EQ(f.Store->Header().ChangeCounter, 4);
}

TEST(BlobStore, EmptyingTruncatesAfterTheHeader) {
  BlobFile f;
  f.Create(512);
  const auto v = RandomBytes(5000, 1);
  f.Store->WriteValue(0, 0, 1, v.data(), v.size());
  f.Store->Flush();
  const int32_t counter = f.Store->Header().ChangeCounter;
  f.Store->Empty();
  EXPECT_EQ(f.File.Size(), 512u);
  EXPECT_EQ(f.Store->BlockCount(), 0);
  EXPECT_EQ(f.Store->Header().FirstFreeBlock, 0);
  EXPECT_GT(f.Store->Header().ChangeCounter, counter);
  f.Reopen();
  EXPECT_EQ(f.Store->BlockCount(), 0);
  const int32_t first = f.Store->WriteValue(0, 0, 2, v.data(), 100);
  EXPECT_EQ(first, 1);
}

TEST(BlobStore, AllocateAndFreeSingleBlocks) {
  BlobFile f;
  f.Create(512);
  TBlock *a = f.Store->AllocateBlock();
  TBlock *b = f.Store->AllocateBlock();
  EXPECT_EQ(a->BlockNumber, 1);
  EXPECT_EQ(b->BlockNumber, 2);
  EXPECT_TRUE(a->Dirty);
  EXPECT_EQ(std::count(a->Data.begin(), a->Data.end(), 0), 494);
  f.Store->ReleaseBlock(a);
  f.Store->ReleaseBlock(b);
  f.Store->FreeBlock(1);
  EXPECT_EQ(f.Store->Header().FirstFreeBlock, 1);
  TBlock *c = f.Store->AllocateBlock();
  EXPECT_EQ(c->BlockNumber, 1);
  f.Store->ReleaseBlock(c);
  EXPECT_EQ(f.Store->Header().FirstFreeBlock, 0);
  EXPECT_EQ(ErrorCodeRaisedBy([&] { f.Store->GetBlock(3); }), KURA_MEMOCORRUPT);
  EXPECT_EQ(ErrorCodeRaisedBy([&] { f.Store->GetBlock(0); }), KURA_MEMOCORRUPT);
}

TEST(BlobStore, FailedWritesToTheFileCanBeRetried) {
  BlobFile f;
  f.Create(512);
  const auto v = RandomBytes(3000, 1);
  const int32_t first = f.Store->WriteValue(0, 0, 1, v.data(), v.size());
  f.File.SetFailWrites(true);
  EXPECT_EQ(ErrorCodeRaisedBy([&] { f.Store->Flush(); }), KURA_WRITEERR);
  f.File.SetFailWrites(false);
  EXPECT_TRUE(f.Store->Flush());
  f.OpenAgain();
  EXPECT_EQ(f.Store->ReadValue(first, 1), v);
}

TEST(BlobStore, ShortFileReadsAreErrors) {
  BlobFile f;
  f.Create(512);
  const auto v = RandomBytes(3000, 1);
  const int32_t first = f.Store->WriteValue(0, 0, 1, v.data(), v.size());
  f.Store->Close();
  f.File.Bytes().resize(512 + 512 * 2);  // the header counts 7 blocks, the file holds 2
  EXPECT_EQ(ErrorCodeRaisedBy([&] { f.OpenAgain(); }), KURA_HEADERCORRUPT);
  // A file that claims its length but delivers fewer bytes.
  f.File.Claimed = 512 + 512 * 7;
  f.OpenAgain();
  EXPECT_EQ(ErrorCodeRaisedBy([&] { f.Store->ReadValue(first, 1); }), KURA_READERR);
}

TEST(BlobStore, BlockTransfersLongerThanTheDataPartAreRefused) {
  BlobFile f;
  f.Create(64);
  TBlock *b = f.Store->AllocateBlock();
  const auto v = RandomBytes(47, 1);
  EXPECT_EQ(ErrorCodeRaisedBy([&] { f.Store->PutBlockData(b, v.data(), 47); }), KURA_INVALIDBLOBLEN);
  f.Store->PutBlockData(b, v.data(), 46);
  EXPECT_EQ(b->UsedBytes, 46);
  uint8_t out[47];
  EXPECT_EQ(f.Store->GetBlockData(b, out, 46), 46u);
  EXPECT_TRUE(std::equal(out, out + 46, v.begin()));
  EXPECT_EQ(ErrorCodeRaisedBy([&] { f.Store->GetBlockData(b, out, 47); }), KURA_INVALIDBLOBLEN);
  f.Store->ReleaseBlock(b);
  try {
    f.Store->PutBlockData(b, v.data(), 47);
  } catch (const EKuraEngineError &e) {
    EXPECT_EQ(e.EngineMessage(), "Invalid blob length in the table 'memo'");
  }
}

TEST(BlobStore, LockRangesLieBeyondAnyData) {
  EXPECT_EQ(BlobWriteLockOffset + BlobWriteLockLength, 4294967295ULL);
  EXPECT_EQ(BlobReadLockOffset(1), 4294967294ULL);
  EXPECT_EQ(BlobReadLockOffset(65535), 4294901760ULL);
  EXPECT_EQ(BlobReadLockOffset(0), BlobReadLockOffset(1));
  for (uint16_t v : {1, 2, 1000, 65535}) {
    EXPECT_GE(BlobReadLockOffset(v), BlobWriteLockOffset);
    EXPECT_LT(BlobReadLockOffset(v), BlobWriteLockOffset + BlobWriteLockLength);
    EXPECT_GT(BlobReadLockOffset(v), MaxBlobFileSize);
  }
}
