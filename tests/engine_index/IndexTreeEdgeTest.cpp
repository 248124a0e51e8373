// The documented edge cases of the tree: split points, page types, compression on disk,
// merge versus redistribution, compressed leaves, descending order, the free lists.
#include <algorithm>
#include <map>
#include <random>

#include "IndexTestSupport.h"

using namespace kura;
using namespace kura::indextest;

namespace {

class IndexTreeEdge : public testing::Test {
 protected:
  void Build(EngineFieldType type, uint16_t size, bool unique, KeyCompression compression, bool descending = false) {
    Field = Layout.Add(type, size);
    Keys = Layout.Keys({Field}, unique, descending);
    Cache.CreateNew();
    IndexNo = AddSecondaryIndex(Cache.Header(), Layout.Definition("Edge", Keys, compression), {});
    Tree = std::make_unique<TIndexTree>(Cache, IndexNo, Keys);
  }
  std::vector<uint8_t> IntKey(int32_t v, int32_t autoInc = 1) {
    std::vector<uint8_t> r = Layout.NewRecord();
    Layout.SetInt32(r, Field, v);
    Layout.SetAutoInc(r, autoInc);
    return Keys.BuildKey(r.data(), r.size());
  }
  void InsertInt(int32_t v) { Tree->Insert(IntKey(v, v).data(), static_cast<uint32_t>(v + 1000000)); }
  bool DeleteInt(int32_t v) { return Tree->Delete(IntKey(v, v).data(), static_cast<uint32_t>(v + 1000000)); }
  TPageRef Root() { return Cache.GetPage(IndexNo, Cache.Header().Descriptors[IndexNo].RootPage); }
  TPageRef Child(int i) {
    int32_t child = static_cast<int32_t>(Root()->Value(i));
    return Cache.GetPage(IndexNo, child);
  }

  TRecordLayout Layout;
  size_t Field = 0;
  TIndexKeyDefinition Keys;
  TMemoryIndexPageStore Store;
  TIndexPageCache Cache{Store};
  int IndexNo = 0;
  std::unique_ptr<TIndexTree> Tree;
};

TEST_F(IndexTreeEdge, RootLeafSplitsIntoTwoLeavesUnderANewRootAtCapacity) {
  Build(EngineFieldType::Integer, 4, true, KeyCompression::None);
  const int capacity = 4083 / (5 + 4);
  ASSERT_EQ(capacity, 453);
  for (int v = 1; v <= capacity; ++v) InsertInt(v);
  EXPECT_EQ(Root()->Type, PageRootLeaf);
  EXPECT_EQ(Root()->Count(), capacity);
  InsertInt(capacity + 1);
  TPageRef root = Root();
  EXPECT_EQ(root->Type, PageRootInterior);
  ASSERT_EQ(root->Count(), 2);
  EXPECT_EQ(Child(0)->Type, PageLeaf);
  EXPECT_EQ(Child(1)->Type, PageLeaf);
  // The first half (rounded up) stays, the rest moves right; the counts follow.
  EXPECT_EQ(Child(0)->Count(), 227);
  EXPECT_EQ(Child(1)->Count(), 227);
  EXPECT_EQ(root->KeyCount(0), 227u);
  EXPECT_EQ(root->KeyCount(1), 227u);
  EXPECT_EQ(Child(0)->NextPage, static_cast<int32_t>(Child(1)->PageNo));
  EXPECT_EQ(Child(1)->PrevPage, static_cast<int32_t>(Child(0)->PageNo));
  EXPECT_EQ(Tree->KeyCount(), 454);
  EXPECT_EQ(Tree->CheckStructure().Depth, 2);
}

TEST_F(IndexTreeEdge, TrailingByteCompressionDropsZerosOnDiskAndRestoresThem) {
  Build(EngineFieldType::String, 11, true, KeyCompression::TrailingBytes);
  std::vector<uint8_t> r = Layout.NewRecord();
  Layout.SetString(r, Field, "ab");
  std::vector<uint8_t> key = Keys.BuildKey(r.data(), r.size());
  ASSERT_EQ(key.size(), 12u);
  Tree->Insert(key.data(), 77);
  Cache.Flush();
  const uint8_t *raw = Store.RawPage(static_cast<uint32_t>(Cache.Header().Descriptors[IndexNo].RootPage));
  // One entry: t = 9 dropped zeros, the 3 key bytes left, the record number.
  EXPECT_EQ(raw[0], PageRootLeaf);
  EXPECT_EQ(indexbytes::GetU16LE(raw + 1), 1);
  EXPECT_EQ(indexbytes::GetU16LE(raw + 11), 1 + 3 + 4);
  EXPECT_EQ(raw[13], 9);
  EXPECT_EQ(raw[14], 1);
  EXPECT_EQ(raw[15], 'a');
  EXPECT_EQ(raw[16], 'b');
  EXPECT_EQ(indexbytes::GetU32LE(raw + 17), 77u);
  TIndexPageCache reopened(Store);
  reopened.Open();
  TIndexTree again(reopened, IndexNo, Keys);
  TIndexPosition pos = again.First();
  std::vector<uint8_t> back(12);
  uint32_t rec = 0;
  again.ReadEntry(pos, back.data(), &rec);
  EXPECT_EQ(back, key);
  EXPECT_EQ(rec, 77u);
}

TEST_F(IndexTreeEdge, NonUniqueTrailingCompressionKeepsTheTieBreakAfterTheShortenedKey) {
  Build(EngineFieldType::String, 11, false, KeyCompression::Full);
  std::vector<uint8_t> r = Layout.NewRecord();
  Layout.SetString(r, Field, "ab");
  Layout.SetAutoInc(r, 5);
  std::vector<uint8_t> key = Keys.BuildKey(r.data(), r.size());
  ASSERT_EQ(key.size(), 16u);
  Tree->Insert(key.data(), 3);
  Cache.Flush();
  const uint8_t *raw = Store.RawPage(static_cast<uint32_t>(Cache.Header().Descriptors[IndexNo].RootPage));
  // d = 0, t = 9, then indicator, 'a', 'b', then the tie-break, then the record number.
  EXPECT_EQ(raw[13], 0);
  EXPECT_EQ(raw[14], 9);
  EXPECT_EQ(raw[16], 'a');
  EXPECT_EQ(raw[18], 0x80);
  EXPECT_EQ(raw[21], 5);
  EXPECT_EQ(indexbytes::GetU32LE(raw + 22), 3u);
  EXPECT_EQ(indexbytes::GetU16LE(raw + 11), 2 + 3 + 4 + 4);
}

TEST_F(IndexTreeEdge, DuplicateByteCompressionStoresSharedPrefixesOnce) {
  Build(EngineFieldType::Integer, 4, true, KeyCompression::DuplicateBytes);
  InsertInt(0x100);
  InsertInt(0x101);
  Cache.Flush();
  const uint8_t *raw = Store.RawPage(static_cast<uint32_t>(Cache.Header().Descriptors[IndexNo].RootPage));
  EXPECT_EQ(raw[13], 0);                           // the first entry is written whole
  EXPECT_EQ(raw[13 + 1 + 5 + 4], 4);               // the second shares 4 of its 5 bytes
  EXPECT_EQ(indexbytes::GetU16LE(raw + 11), (1 + 5 + 4) + (1 + 1 + 4));
}

TEST_F(IndexTreeEdge, UncompressedLeafRedistributesWithItsLeftNeighbourWhenTheyDoNotFitTogether) {
  Build(EngineFieldType::Integer, 4, true, KeyCompression::None);
  for (int v = 1; v <= 454; ++v) InsertInt(v * 10);  // two leaves of 227
  for (int v = 1; v <= 73; ++v) InsertInt(v * 10 + 1);  // the left leaf grows to 300
  ASSERT_EQ(Child(0)->Count(), 300);
  ASSERT_EQ(Child(1)->Count(), 227);
  // Delete from the right leaf down to 225 (< 453 div 2): 300 + 225 >= 453, so entries move.
  ASSERT_TRUE(DeleteInt(4540));
  ASSERT_TRUE(DeleteInt(4530));
  EXPECT_EQ(Root()->Count(), 2);
  EXPECT_EQ(Child(0)->Count(), 263);  // ceil(525 / 2) stays with the neighbour
  EXPECT_EQ(Child(1)->Count(), 262);
  EXPECT_EQ(Root()->KeyCount(0), 263u);
  EXPECT_EQ(Root()->KeyCount(1), 262u);
  EXPECT_EQ(std::vector<uint8_t>(Root()->Key(1), Root()->Key(1) + 5),
            std::vector<uint8_t>(Child(1)->Key(0), Child(1)->Key(0) + 5));
  Tree->CheckStructure();
}

TEST_F(IndexTreeEdge, UncompressedLeafMergesIntoItsLeftNeighbourWhenBothFit) {
  Build(EngineFieldType::Integer, 4, true, KeyCompression::None);
  for (int v = 1; v <= 454; ++v) InsertInt(v);  // 227 + 227
  const int32_t rightPage = static_cast<int32_t>(Child(1)->PageNo);
  // 227 + 225 < 453: the right leaf goes into the left, is freed, and the root collapses.
  ASSERT_TRUE(DeleteInt(454));
  ASSERT_TRUE(DeleteInt(453));
  TPageRef root = Root();
  EXPECT_EQ(root->Type, PageRootLeaf);
  EXPECT_EQ(root->Count(), 452);
  EXPECT_EQ(root->PrevPage, 0);
  EXPECT_EQ(root->NextPage, 0);
  TIndexTreeStats stats = Tree->CheckStructure();
  EXPECT_EQ(stats.Depth, 1);
  EXPECT_EQ(stats.FreePages, 2);  // the old right leaf and the old root
  EXPECT_EQ(Cache.Header().Descriptors[IndexNo].FirstFreePage != 0, true);
  (void)rightPage;
}

TEST_F(IndexTreeEdge, TheFirstLeafUnderItsParentPairsWithItsRightNeighbour) {
  Build(EngineFieldType::Integer, 4, true, KeyCompression::None);
  for (int v = 1; v <= 454; ++v) InsertInt(v * 10);
  for (int v = 228; v <= 300; ++v) InsertInt(v * 10 + 1);  // the right leaf grows to 300
  ASSERT_EQ(Child(0)->Count(), 227);
  ASSERT_EQ(Child(1)->Count(), 300);
  ASSERT_TRUE(DeleteInt(10));  // also replaces the lowest key up the tree
  ASSERT_TRUE(DeleteInt(20));
  EXPECT_EQ(Child(1)->Count(), 263);  // the right neighbour keeps ceil(525 / 2)
  EXPECT_EQ(Child(0)->Count(), 262);
  std::vector<uint8_t> lowest = IntKey(30);
  EXPECT_EQ(std::vector<uint8_t>(Root()->Key(0), Root()->Key(0) + 5), lowest);
  Tree->CheckStructure();
}

TEST_F(IndexTreeEdge, CompressedLeavesAreOnlyRemovedWhenEmpty) {
  Build(EngineFieldType::Integer, 4, true, KeyCompression::DuplicateBytes);
  int v = 1;
  InsertInt(v);
  while (Root()->IsLeaf() || Root()->Count() < 3) InsertInt(++v);
  const int last = v;
  TPageRef middle = Child(1);
  std::vector<int32_t> inMiddle;
  for (int i = 0; i < middle->Count(); ++i)
    inMiddle.push_back(static_cast<int32_t>(indexbytes::GetU32BE(middle->Key(i) + 1) ^ 0x80000000u));
  middle.Release();
  // Down to one entry the leaf stays, however few it holds.
  for (size_t i = 0; i + 1 < inMiddle.size(); ++i) ASSERT_TRUE(DeleteInt(inMiddle[i]));
  EXPECT_EQ(Root()->Count(), 3);
  EXPECT_EQ(Child(1)->Count(), 1);
  Tree->CheckStructure();
  ASSERT_TRUE(DeleteInt(inMiddle.back()));
  EXPECT_EQ(Root()->Count(), 2);
  TIndexTreeStats stats = Tree->CheckStructure();
  EXPECT_EQ(stats.Keys, last - static_cast<int>(inMiddle.size()));
  EXPECT_EQ(stats.FreePages, 1);
}

TEST_F(IndexTreeEdge, DescendingIndexYieldsReverseOrderWithNullsLast) {
  Build(EngineFieldType::Integer, 4, false, KeyCompression::Full, true);
  std::vector<std::optional<int>> values = {5, std::nullopt, -3, 12, std::nullopt, 0};
  int autoInc = 0;
  for (const auto &v : values) {
    std::vector<uint8_t> r = Layout.NewRecord();
    if (v) Layout.SetInt32(r, Field, *v); else Layout.SetNull(r, Field);
    Layout.SetAutoInc(r, ++autoInc);
    Tree->Insert(Keys.BuildKey(r.data(), r.size()).data(), static_cast<uint32_t>(autoInc));
  }
  std::vector<uint32_t> order;
  TIndexPosition pos = Tree->First();
  do {
    uint32_t rec;
    Tree->ReadEntry(pos, nullptr, &rec);
    order.push_back(rec);
  } while (Tree->Next(pos));
  // 12, 5, 0, -3, then the NULLs (the later insertion first: the tie-break is reversed too).
  EXPECT_EQ(order, (std::vector<uint32_t>{4, 1, 6, 3, 5, 2}));
}

TEST_F(IndexTreeEdge, PartialLengthSearchFindsTheFirstOfEqualPrefixesAcrossLeaves) {
  Build(EngineFieldType::Integer, 4, false, KeyCompression::None);
  // 1000 equal values span several leaves; the tie-break tells them apart.
  for (int i = 1; i <= 1000; ++i) {
    std::vector<uint8_t> r = Layout.NewRecord();
    Layout.SetInt32(r, Field, i <= 100 ? 1 : (i <= 900 ? 2 : 3));
    Layout.SetAutoInc(r, i);
    Tree->Insert(Keys.BuildKey(r.data(), r.size()).data(), static_cast<uint32_t>(i));
  }
  ASSERT_GE(Tree->CheckStructure().Depth, 2);
  std::vector<uint8_t> probe = IntKey(2);
  TIndexPosition first = Tree->SearchFirstAtOrAfter(probe.data(), 5);
  EXPECT_EQ(first.Ordinal, 101);
  uint32_t rec;
  Tree->ReadEntry(first, nullptr, &rec);
  EXPECT_EQ(rec, 101u);
  TIndexPosition last = Tree->SearchLastAtOrBefore(probe.data(), 5);
  EXPECT_EQ(last.Ordinal, 900);
  Tree->ReadEntry(last, nullptr, &rec);
  EXPECT_EQ(rec, 900u);
  // Counting a range needs no leaf walk: last - first + 1.
  EXPECT_EQ(last.Ordinal - first.Ordinal + 1, 800);
}

TEST_F(IndexTreeEdge, PositionsAtTheEndsAndBeyond) {
  Build(EngineFieldType::Integer, 4, true, KeyCompression::None);
  EXPECT_EQ(Tree->First().Page, 0);
  EXPECT_EQ(Tree->KeyCount(), 0);
  for (int v = 1; v <= 1000; ++v) InsertInt(v);
  TIndexPosition before = Tree->PositionOfOrdinal(0);
  EXPECT_FALSE(Tree->OnEntry(before));
  EXPECT_TRUE(Tree->Next(before));
  EXPECT_EQ(before.Ordinal, 1);
  TIndexPosition after = Tree->PositionOfOrdinal(1001);
  EXPECT_FALSE(Tree->OnEntry(after));
  EXPECT_EQ(after.Ordinal, 1001);
  EXPECT_FALSE(Tree->Next(after));
  EXPECT_EQ(after.Ordinal, 1001);
  EXPECT_TRUE(Tree->Prior(after));
  EXPECT_EQ(after.Ordinal, 1000);
  TIndexPosition last = Tree->Last();
  EXPECT_FALSE(Tree->Next(last));
  EXPECT_TRUE(Tree->Prior(last));
  EXPECT_EQ(last.Ordinal, 1000);
  EXPECT_EQ(Tree->SequenceNumber(IntKey(500, 500).data(), 1000500), 500);
  EXPECT_EQ(Tree->SequenceNumber(IntKey(500, 500).data(), 1), 0);
  EXPECT_FALSE(DeleteInt(5000));
}

TEST_F(IndexTreeEdge, ReplaceMovesAnEntryAndKeepsTheCounts) {
  Build(EngineFieldType::Integer, 4, true, KeyCompression::None);
  for (int v = 1; v <= 600; ++v) InsertInt(v);
  EXPECT_TRUE(Tree->Replace(IntKey(3, 3).data(), 1000003, IntKey(9999).data(), 7));
  EXPECT_EQ(Tree->KeyCount(), 600);
  EXPECT_EQ(Tree->SequenceNumber(IntKey(9999).data(), 7), 600);
  EXPECT_FALSE(Tree->Replace(IntKey(3, 3).data(), 1000003, IntKey(3).data(), 1));
  Tree->CheckStructure();
}

// Keys moved a little stay in their leaf (moved in place), keys moved far go through the root;
// either way every entry keeps its place in key order and the structure stays whole.
TEST_F(IndexTreeEdge, ReplacedKeysNearAndFarKeepTheOrderAndTheStructure) {
  for (const KeyCompression compression : {KeyCompression::None, KeyCompression::DuplicateBytes}) {
    SCOPED_TRACE(compression == KeyCompression::None ? "uncompressed" : "compressed");
    Build(EngineFieldType::Integer, 4, true, compression);
    std::map<int32_t, uint32_t> model;  // key -> record
    for (int32_t v = 10; v <= 30000; v += 10) {
      Tree->Insert(IntKey(v).data(), static_cast<uint32_t>(v));
      model[v] = static_cast<uint32_t>(v);
    }
    std::mt19937 random(11);
    for (int step = 0; step < 4000; ++step) {
      auto it = model.begin();
      std::advance(it, static_cast<long>(random() % model.size()));
      // Mostly a small move (the next free value up or down), sometimes anywhere.
      const bool far = step % 5 == 0;
      int32_t to = far ? static_cast<int32_t>(random() % 40000) : it->first + (step % 2 ? 3 : -3);
      while (model.count(to)) ++to;
      const uint32_t record = 100000 + static_cast<uint32_t>(step);
      ASSERT_TRUE(Tree->Replace(IntKey(it->first).data(), it->second, IntKey(to).data(), record)) << it->first;
      model.erase(it);
      model[to] = record;
    }
    Tree->CheckStructure();
    ASSERT_EQ(Tree->KeyCount(), static_cast<int64_t>(model.size()));
    int64_t ordinal = 0;
    for (const auto &[key, record] : model) ASSERT_EQ(Tree->SequenceNumber(IntKey(key).data(), record), ++ordinal) << key;
  }
}

}  // namespace

TEST(IndexTreeWideKeys, SevenEntryPagesOfTheLongestKeysGrowAndShrink) {
  TRecordLayout layout;
  size_t a = layout.Add(EngineFieldType::String, 251);
  size_t b = layout.Add(EngineFieldType::String, 251);
  size_t c = layout.Add(EngineFieldType::Integer, 4);
  size_t d = layout.Add(EngineFieldType::Bytes, 12);
  TIndexKeyDefinition keys = layout.Keys({a, b, c, d}, false);
  ASSERT_EQ(keys.KeyLength(), 526);
  for (KeyCompression compression : {KeyCompression::None, KeyCompression::Full}) {
    TMemoryIndexPageStore store;
    TIndexPageCache cache(store);
    cache.CreateNew();
    int indexNo = AddSecondaryIndex(cache.Header(), layout.Definition("Wide", keys, compression), {});
    TIndexTree tree(cache, indexNo, keys);
    EXPECT_EQ(cache.Format(indexNo).LeafCapacity(), 7);
    EXPECT_EQ(cache.Format(indexNo).InteriorCapacity(), 7);
    std::mt19937 rng(8);
    std::vector<std::vector<uint8_t>> inserted;
    for (int i = 1; i <= 1500; ++i) {
      std::vector<uint8_t> r = layout.NewRecord();
      layout.SetString(r, a, std::string(1 + rng() % 250, static_cast<char>('a' + rng() % 2)));
      layout.SetString(r, b, std::string(rng() % 3, 'z'));
      layout.SetInt32(r, c, static_cast<int32_t>(rng() % 10));
      layout.SetAutoInc(r, i);
      inserted.push_back(keys.BuildKey(r.data(), r.size()));
      tree.Insert(inserted.back().data(), static_cast<uint32_t>(i));
    }
    TIndexTreeStats stats = tree.CheckStructure();
    EXPECT_EQ(stats.Keys, 1500);
    EXPECT_GE(stats.Depth, 4);
    std::vector<size_t> order(inserted.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::shuffle(order.begin(), order.end(), rng);
    for (size_t n = 0; n < order.size(); ++n) {
      ASSERT_TRUE(tree.Delete(inserted[order[n]].data(), static_cast<uint32_t>(order[n] + 1)));
      if (n % 300 == 0) ASSERT_EQ(tree.CheckStructure().Keys, static_cast<int64_t>(order.size() - n - 1));
    }
    stats = tree.CheckStructure();
    EXPECT_EQ(stats.Keys, 0);
    EXPECT_EQ(stats.FreePages, cache.Header().NextPage - 1);
  }
}
