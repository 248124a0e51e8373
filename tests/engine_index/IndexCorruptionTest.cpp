// Damaged pages and headers must give KURA_INDEXCORRUPT: never a crash, a hang or a read
// outside a page.
#include <algorithm>
#include <random>
#include <set>

#include "engine/index/IndexPageChecks.h"

#include "IndexModel.h"

using namespace kura;
using namespace kura::indextest;

namespace {

// A store holding one index with a few hundred keys, flushed to the pages.
struct TBuiltIndex {
  TRecordLayout Layout;
  size_t Field = 0;
  TIndexKeyDefinition Keys;
  TMemoryIndexPageStore Store;
  int IndexNo = 0;

  TBuiltIndex(KeyCompression compression, int keys, uint16_t stringSize = 40) {
    Field = Layout.Add(EngineFieldType::String, stringSize);
    Keys = Layout.Keys({Field}, false);
    TIndexPageCache cache(Store);
    cache.CreateNew();
    IndexNo = AddSecondaryIndex(cache.Header(), Layout.Definition("Damaged", Keys, compression), {});
    TIndexTree tree(cache, IndexNo, Keys);
    for (int i = 1; i <= keys; ++i) tree.Insert(Key(i).data(), static_cast<uint32_t>(i));
    cache.Flush();
  }
  std::vector<uint8_t> Key(int i) const {
    std::vector<uint8_t> r = Layout.NewRecord();
    Layout.SetString(r, Field, "k" + std::to_string(i * 7919 % 100000));
    Layout.SetAutoInc(r, i);
    return Keys.BuildKey(r.data(), r.size());
  }
};

// Everything a cursor does with an index, on whatever the pages hold.
void Exercise(TIndexPageCache &cache, TBuiltIndex &built) {
  cache.Open();
  TIndexTree tree(cache, built.IndexNo, built.Keys);
  tree.CheckStructure();
  TIndexPosition pos = tree.First();
  for (int guard = 0; guard < 100000 && tree.Next(pos); ++guard) {
  }
  pos = tree.Last();
  for (int guard = 0; guard < 100000 && tree.Prior(pos); ++guard) {
  }
  tree.KeyCount();
  tree.PositionOfOrdinal(100);
  std::vector<uint8_t> probe = built.Key(50);
  tree.SearchFirstAtOrAfter(probe.data(), built.Keys.KeyLength());
  tree.SearchLastAtOrBefore(probe.data(), 3);
  tree.Delete(probe.data(), 50);
  tree.Insert(built.Key(100001).data(), 100001);
  tree.Delete(built.Key(7).data(), 7);
  cache.Flush();
}

}  // namespace

TEST(IndexCorruption, RandomlyDamagedPagesGiveIndexCorruptOrStillWork) {
  for (KeyCompression compression : {KeyCompression::None, KeyCompression::DuplicateBytes,
                                     KeyCompression::TrailingBytes, KeyCompression::Full}) {
    TBuiltIndex built(compression, compression == KeyCompression::None ? 400 : 2000);
    ASSERT_GT(built.Store.PageCount(), 4u);
    std::mt19937 rng(static_cast<uint32_t>(compression) + 11);
    int refused = 0;
    for (int round = 0; round < 400; ++round) {
      TMemoryIndexPageStore damaged = built.Store;
      uint32_t page = 1 + rng() % (damaged.PageCount() - 1);
      int hits = 1 + static_cast<int>(rng() % 6);
      for (int k = 0; k < hits; ++k) {
        // Mostly the page header and the first entries, where counts and links live.
        size_t at = rng() % 3 == 0 ? rng() % kIndexPageSize : rng() % 64;
        damaged.RawPage(page)[at] = static_cast<uint8_t>(rng());
      }
      TIndexPageCache cache(damaged);
      uint16_t code = CodeOf([&] { Exercise(cache, built); });
      EXPECT_TRUE(code == 0 || code == KURA_INDEXCORRUPT) << "code " << code;
      refused += code == KURA_INDEXCORRUPT;
    }
    EXPECT_GT(refused, 100);
  }
}

TEST(IndexCorruption, ChildPageNumberPastTheEnd) {
  TBuiltIndex built(KeyCompression::None, 400);
  TIndexPageCache cache(built.Store);
  cache.Open();
  uint8_t *root = built.Store.RawPage(static_cast<uint32_t>(cache.Header().Descriptors[built.IndexNo].RootPage));
  ASSERT_EQ(root[0], PageRootInterior);
  const int k = built.Keys.KeyLength();
  const int entries = indexbytes::GetU16LE(root + 1);
  for (int i = 0; i < entries; ++i) indexbytes::PutI32LE(root + kPageHeaderBytes + i * (k + 8) + k, 99999);
  TIndexTree tree(cache, built.IndexNo, built.Keys);
  EXPECT_EQ(CodeOf([&] { tree.First(); }), KURA_INDEXCORRUPT);
  EXPECT_EQ(CodeOf([&] { tree.Insert(built.Key(1).data(), 1); }), KURA_INDEXCORRUPT);
}

// A child is checked against its parent entry once per read: a leaf read again from disk while
// its parent stays cached is checked again.
TEST(IndexCorruption, LeafReadAgainUnderACachedParentIsCheckedAgain) {
  TBuiltIndex built(KeyCompression::None, 400);
  TIndexPageCache cache(built.Store);
  cache.SetPagesPerIndex(2);
  cache.Open();
  TIndexTree tree(cache, built.IndexNo, built.Keys);
  const TIndexPosition first = tree.First();
  tree.Last();  // the first leaf leaves the cache, the root stays
  // The first leaf's lowest key loses its tie-break: still in order within the page, but no
  // longer the key its parent entry names.
  const int k = built.Keys.KeyLength();
  uint8_t *leaf = built.Store.RawPage(static_cast<uint32_t>(first.Page));
  ASSERT_EQ(leaf[0], PageLeaf);
  std::memset(leaf + kPageHeaderBytes + k - 4, 0, 4);
  const uint64_t reads = built.Store.Reads();
  EXPECT_EQ(CodeOf([&] { tree.First(); }), KURA_INDEXCORRUPT);
  EXPECT_EQ(built.Store.Reads(), reads + 1);  // the leaf alone was read
}

TEST(IndexCorruption, LoopInTheLeafChainEndsTheWalk) {
  TBuiltIndex built(KeyCompression::None, 400);
  TIndexPageCache probe(built.Store);
  probe.Open();
  TIndexTree scan(probe, built.IndexNo, built.Keys);
  TIndexPosition last = scan.Last();
  TIndexPosition first = scan.First();
  ASSERT_NE(first.Page, last.Page);
  // The last leaf leads back to the first one.
  indexbytes::PutI32LE(built.Store.RawPage(static_cast<uint32_t>(last.Page)) + 7, first.Page);
  TIndexPageCache cache(built.Store);
  cache.Open();
  TIndexTree tree(cache, built.IndexNo, built.Keys);
  TIndexPosition pos = tree.First();
  uint16_t code = CodeOf([&] {
    for (int i = 0; i < 1000000 && tree.Next(pos); ++i) {
    }
  });
  EXPECT_EQ(code, KURA_INDEXCORRUPT);
  EXPECT_EQ(CodeOf([&] { tree.CheckStructure(); }), KURA_INDEXCORRUPT);
}

TEST(IndexCorruption, EntryCountThatDoesNotFitThePage) {
  for (KeyCompression compression : {KeyCompression::None, KeyCompression::Full}) {
    TBuiltIndex built(compression, 10);
    TIndexPageCache cache(built.Store);
    cache.Open();
    uint8_t *root = built.Store.RawPage(static_cast<uint32_t>(cache.Header().Descriptors[built.IndexNo].RootPage));
    indexbytes::PutU16LE(root + 1, 4000);
    TIndexTree tree(cache, built.IndexNo, built.Keys);
    EXPECT_EQ(CodeOf([&] { tree.First(); }), KURA_INDEXCORRUPT);
  }
}

TEST(IndexCorruption, CompressedEntriesThatReachOutsideTheirBytes) {
  TBuiltIndex built(KeyCompression::DuplicateBytes, 10);
  TIndexPageCache cache(built.Store);
  cache.Open();
  const int32_t rootNo = cache.Header().Descriptors[built.IndexNo].RootPage;
  TMemoryIndexPageStore good = built.Store;
  auto damageAndRead = [&](const std::function<void(uint8_t *)> &damage) {
    built.Store = good;
    damage(built.Store.RawPage(static_cast<uint32_t>(rootNo)));
    TIndexPageCache fresh(built.Store);
    fresh.Open();
    TIndexTree tree(fresh, built.IndexNo, built.Keys);
    return CodeOf([&] { tree.First(); });
  };
  EXPECT_EQ(damageAndRead([](uint8_t *) {}), 0);
  EXPECT_EQ(damageAndRead([](uint8_t *p) { p[13] = 3; }), KURA_INDEXCORRUPT);  // first entry shares bytes
  EXPECT_EQ(damageAndRead([](uint8_t *p) { indexbytes::PutU16LE(p + 11, 20); }), KURA_INDEXCORRUPT);
  EXPECT_EQ(damageAndRead([](uint8_t *p) { indexbytes::PutU16LE(p + 11, 4090); }), KURA_INDEXCORRUPT);
  EXPECT_EQ(damageAndRead([&](uint8_t *p) { p[13 + 1 + built.Keys.KeyLength() + 4] = 250; }), KURA_INDEXCORRUPT);
  EXPECT_EQ(damageAndRead([](uint8_t *p) { p[0] = 4; }), KURA_INDEXCORRUPT);  // not a tree page
  EXPECT_EQ(damageAndRead([](uint8_t *p) { p[0] = 9; }), KURA_INDEXCORRUPT);
}

TEST(IndexCorruption, PathDeeperThanSixtyFourLevels) {
  TRecordLayout layout;
  size_t f = layout.Add(EngineFieldType::Integer, 4);
  TIndexKeyDefinition keys = layout.Keys({f}, true);
  TMemoryIndexPageStore store;
  TIndexPageCache cache(store);
  cache.CreateNew();
  int indexNo = AddSecondaryIndex(cache.Header(), layout.Definition("Deep", keys, KeyCompression::None), {});
  // 70 interior pages, each with one entry leading to the next, over one leaf.
  const int levels = 70;
  std::vector<uint8_t> key(5, 0);
  key[0] = 1;
  for (int n = 1; n <= levels + 1; ++n) {
    std::vector<uint8_t> raw(kIndexPageSize, 0);
    bool leaf = n == levels + 1;
    raw[0] = n == 1 ? PageRootInterior : (leaf ? PageLeaf : PageInterior);
    indexbytes::PutU16LE(raw.data() + 1, 1);
    std::memcpy(raw.data() + 13, key.data(), 5);
    indexbytes::PutU32LE(raw.data() + 18, leaf ? 1u : static_cast<uint32_t>(n + 1));
    if (!leaf) indexbytes::PutU32LE(raw.data() + 22, 1);
    indexbytes::PutU16LE(raw.data() + 11, leaf ? 9 : 13);
    store.WritePage(static_cast<uint32_t>(n), raw.data());
  }
  cache.Header().NextPage = levels + 2;
  cache.Header().Descriptors[indexNo].RootPage = 1;
  TIndexTree tree(cache, indexNo, keys);
  EXPECT_EQ(CodeOf([&] { tree.First(); }), KURA_INDEXCORRUPT);
  EXPECT_EQ(CodeOf([&] { tree.Insert(key.data(), 2); }), KURA_INDEXCORRUPT);
  EXPECT_EQ(CodeOf([&] { tree.FreeAllPages(); }), KURA_INDEXCORRUPT);
}

TEST(IndexCorruption, DamagedFreeListIsNotHandedOut) {
  TRecordLayout layout;
  size_t f = layout.Add(EngineFieldType::Integer, 4);
  TIndexKeyDefinition keys = layout.Keys({f}, true);
  TMemoryIndexPageStore store;
  TIndexPageCache cache(store);
  cache.CreateNew();
  int indexNo = AddSecondaryIndex(cache.Header(), layout.Definition("Free", keys, KeyCompression::None), {});
  TIndexTree tree(cache, indexNo, keys);
  std::vector<std::vector<uint8_t>> all;
  for (int v = 0; v < 1000; ++v) {
    std::vector<uint8_t> r = layout.NewRecord();
    layout.SetInt32(r, f, v);
    all.push_back(keys.BuildKey(r.data(), r.size()));
    tree.Insert(all.back().data(), static_cast<uint32_t>(v + 1));
  }
  for (int v = 0; v < 600; ++v) tree.Delete(all[static_cast<size_t>(v)].data(), static_cast<uint32_t>(v + 1));
  cache.Flush();
  const int32_t head = cache.Header().Descriptors[indexNo].FirstFreePage;
  ASSERT_NE(head, 0);
  // The free page links to itself.
  TMemoryIndexPageStore selfLoop = store;
  indexbytes::PutI32LE(selfLoop.RawPage(static_cast<uint32_t>(head)) + 7, head);
  TIndexPageCache c1(selfLoop);
  c1.Open();
  EXPECT_EQ(CodeOf([&] { c1.AllocatePage(indexNo, PageLeaf); }), KURA_INDEXCORRUPT);
  EXPECT_EQ(CodeOf([&] { TIndexTree(c1, indexNo, keys).CheckStructure(); }), KURA_INDEXCORRUPT);
  // The head of the free list is a page still in use.
  TMemoryIndexPageStore inUse = store;
  TIndexPageCache c2(inUse);
  c2.Open();
  c2.Header().Descriptors[indexNo].FirstFreePage = c2.Header().Descriptors[indexNo].RootPage;
  EXPECT_EQ(CodeOf([&] { c2.AllocatePage(indexNo, PageLeaf); }), KURA_INDEXCORRUPT);
}

TEST(IndexCorruption, PageMissingFromTheFile) {
  TBuiltIndex built(KeyCompression::None, 400);
  built.Store.Truncate(2);
  TIndexPageCache cache(built.Store);
  cache.Open();
  TIndexTree tree(cache, built.IndexNo, built.Keys);
  EXPECT_EQ(CodeOf([&] { tree.CheckStructure(); }), KURA_INDEXCORRUPT);
  EXPECT_EQ(CodeOf([&] { cache.GetPage(built.IndexNo, 0); }), KURA_INDEXCORRUPT);
}

TEST(IndexCorruption, KeyDefinitionThatDisagreesWithTheDescriptor) {
  TBuiltIndex built(KeyCompression::None, 10);
  TIndexPageCache cache(built.Store);
  cache.Open();
  TIndexKeyDefinition other = built.Keys;
  other.Unique = true;  // 4 bytes shorter than the stored key length
  EXPECT_EQ(CodeOf([&] { TIndexTree tree(cache, built.IndexNo, other); }), KURA_INDEXCORRUPT);
}

// Leaves of short keys are checked in the pass that decodes them; longer keys after it. Either
// way a leaf whose keys are out of the index's order, repeated, or whose record numbers are out
// of range is reported, and a sound one (ascending or descending) reads.
TEST(IndexCorruption, LeafEntriesAreCheckedAsTheyAreRead) {
  struct TShape {
    EngineFieldType Type;
    uint16_t Size;
    bool Unique, Descending;
  };
  const TShape shapes[] = {
      {EngineFieldType::Integer, 4, true, false},   // 5-byte keys
      {EngineFieldType::Integer, 4, true, true},    // the same, descending
      {EngineFieldType::SmallInt, 2, false, false}, // 3 bytes and the 4-byte tie-break
      {EngineFieldType::Integer, 4, false, true},   // 9 bytes: checked after decoding
  };
  enum Damage { None, Swapped, Repeated, RecordZero, RecordTooLarge };
  for (const TShape &shape : shapes) {
    for (Damage damage : {None, Swapped, Repeated, RecordZero, RecordTooLarge}) {
      SCOPED_TRACE(testing::Message() << "key bytes " << shape.Size + 1 + (shape.Unique ? 0 : 4) << " descending "
                                      << shape.Descending << " damage " << damage);
      TRecordLayout layout;
      const size_t field = layout.Add(shape.Type, shape.Size);
      const TIndexKeyDefinition keys = layout.Keys({field}, shape.Unique, shape.Descending);
      TMemoryIndexPageStore store;
      int indexNo = 0;
      {
        TIndexPageCache cache(store);
        cache.CreateNew();
        indexNo = AddSecondaryIndex(cache.Header(), layout.Definition("Short", keys, KeyCompression::None), {});
        TIndexTree tree(cache, indexNo, keys);
        for (int i = 1; i <= 2000; ++i) {
          std::vector<uint8_t> r = layout.NewRecord();
          if (shape.Type == EngineFieldType::SmallInt)
            layout.SetInt16(r, field, static_cast<int16_t>(i * 37 % 2000 - 1000));
          else
            layout.SetInt32(r, field, i * 7919 % 100000 - 50000);
          layout.SetAutoInc(r, i);
          tree.Insert(keys.BuildKey(r.data(), r.size()).data(), static_cast<uint32_t>(i));
        }
        cache.Flush();
      }
      TIndexPageCache cache(store);
      cache.Open();
      const int k = keys.KeyLength();
      int32_t firstLeaf = 0;
      {
        TIndexTree tree(cache, indexNo, keys);
        firstLeaf = tree.First().Page;
      }
      uint8_t *leaf = store.RawPage(static_cast<uint32_t>(firstLeaf));
      ASSERT_EQ(leaf[0], PageLeaf);
      ASSERT_GT(indexbytes::GetU16LE(leaf + 1), 5);
      uint8_t *entry2 = leaf + kPageHeaderBytes + 2 * (k + 4);
      uint8_t *entry3 = entry2 + k + 4;
      switch (damage) {
        case None: break;
        case Swapped: std::swap_ranges(entry2, entry2 + k, entry3); break;
        case Repeated: std::memcpy(entry3, entry2, static_cast<size_t>(k)); break;
        case RecordZero: indexbytes::PutI32LE(entry3 + k, 0); break;
        case RecordTooLarge: indexbytes::PutI32LE(entry3 + k, INT32_MIN); break;
      }
      cache.DropPages();
      TIndexTree tree(cache, indexNo, keys);
      const uint16_t code = CodeOf([&] {
        TIndexPosition pos = tree.First();
        int walked = 1;
        while (tree.Next(pos)) ++walked;
        EXPECT_EQ(walked, 2000);
      });
      EXPECT_EQ(code, damage == None ? KURA_NONE : KURA_INDEXCORRUPT);
    }
  }
}

// The key-order check of leaves read from disk takes several entries a step where the processor
// allows it: for every key length, layout, direction and count, and with damage at places on
// and off its step boundaries, it must say what a plain pairwise comparison says.
TEST(IndexCorruption, ShortKeyCheckAgreesWithAPairwiseCheck) {
  std::mt19937 random(20261210);
  auto reference = [](const std::vector<uint8_t> &bytes, int n, size_t stride, int k, bool descending, bool records) {
    for (int i = 0; i < n; ++i) {
      const uint8_t *e = bytes.data() + static_cast<size_t>(i) * stride;
      if (records) {
        const uint32_t r = indexbytes::GetU32LE(e + k);
        if (r == 0 || r > 0x7FFFFFFFu) return false;
      }
      if (i > 0) {
        const int c = std::memcmp(e - stride, e, static_cast<size_t>(k));
        if (descending ? c <= 0 : c >= 0) return false;
      }
    }
    return true;
  };
  int damagedCases = 0;
  for (int k = 1; k <= 8; ++k)
    for (const bool records : {true, false})
      for (const size_t stride : {static_cast<size_t>(k + 4), static_cast<size_t>(k + 8)})
        for (const bool descending : {false, true})
          for (const int n : {1, 2, 15, 16, 17, 22, 64, 65, 200, 455}) {
            if (k == 1 && n > 200) continue;  // not that many distinct one-byte keys
            SCOPED_TRACE(testing::Message() << "key " << k << " stride " << stride << " records " << records
                                            << " descending " << descending << " n " << n);
            std::set<uint64_t> distinct;
            const uint64_t range = k == 8 ? ~uint64_t{0} : (uint64_t{1} << (8 * k)) - 1;
            while (static_cast<int>(distinct.size()) < n) distinct.insert(random() * uint64_t{0x9E3779B97F4A7C15} & range);
            std::vector<uint64_t> keys(distinct.begin(), distinct.end());
            if (descending) std::reverse(keys.begin(), keys.end());
            std::vector<uint8_t> sound(static_cast<size_t>(n) * stride + 8);
            for (int i = 0; i < n; ++i) {
              uint8_t *e = sound.data() + static_cast<size_t>(i) * stride;
              for (int b = 0; b < k; ++b) e[b] = static_cast<uint8_t>(keys[static_cast<size_t>(i)] >> (8 * (k - 1 - b)));
              for (size_t b = static_cast<size_t>(k); b < stride; ++b) e[b] = static_cast<uint8_t>(random());
              if (records) indexbytes::PutI32LE(e + k, static_cast<int32_t>(random() % 0x7FFFFFFFu + 1));
            }
            std::vector<std::vector<uint8_t>> variants{sound};
            for (const int p : {0, 1, 6, 7, 8, 13, 14, n / 2, n - 2, n - 1}) {
              if (p < 0 || p >= n) continue;
              auto at = [&](std::vector<uint8_t> &v, int i) { return v.data() + static_cast<size_t>(i) * stride; };
              if (p > 0) {
                variants.push_back(sound);  // a key repeated
                std::memcpy(at(variants.back(), p), at(variants.back(), p - 1), static_cast<size_t>(k));
              }
              if (p + 1 < n) {
                variants.push_back(sound);  // two keys swapped
                std::swap_ranges(at(variants.back(), p), at(variants.back(), p) + k, at(variants.back(), p + 1));
              }
              if (records) {
                for (const uint32_t bad : {0u, 0x80000000u, 0xFFFFFFFFu}) {
                  variants.push_back(sound);
                  indexbytes::PutI32LE(at(variants.back(), p) + k, static_cast<int32_t>(bad));
                }
                variants.push_back(sound);  // the largest record number is sound
                indexbytes::PutI32LE(at(variants.back(), p) + k, 0x7FFFFFFF);
              }
            }
            for (size_t v = 0; v < variants.size(); ++v) {
              const bool expected = reference(variants[v], n, stride, k, descending, records);
              if (v == 0) EXPECT_TRUE(expected);
              if (!expected) ++damagedCases;
              EXPECT_EQ(ShortKeysInOrder(variants[v].data(), n, stride, k, descending, records), expected)
                  << "variant " << v;
            }
          }
  EXPECT_GT(damagedCases, 1000);
}
