// The page cache: capacity, recency, write-back, dropping, the pool, and several indexes
// sharing one file with their own free lists.
#include <algorithm>
#include <map>
#include <random>

#include "IndexModel.h"

using namespace kura;
using namespace kura::indextest;

namespace {

struct TIntIndexFile {
  TRecordLayout Layout;
  size_t Field;
  TIndexKeyDefinition Keys;
  TMemoryIndexPageStore Store;
  TIndexPageCache Cache{Store};
  int IndexNo = 0;

  TIntIndexFile() {
    Field = Layout.Add(EngineFieldType::Integer, 4);
    Keys = Layout.Keys({Field}, true);
    Cache.CreateNew();
    IndexNo = AddSecondaryIndex(Cache.Header(), Layout.Definition("Ints", Keys, KeyCompression::None), {});
    Cache.MarkHeaderDirty();
  }
  std::vector<uint8_t> Key(int v) const {
    std::vector<uint8_t> r = Layout.NewRecord();
    Layout.SetInt32(r, Field, v);
    return Keys.BuildKey(r.data(), r.size());
  }
};

}  // namespace

TEST(IndexPageCache, TrimKeepsEachIndexWithinItsCapacity) {
  TIntIndexFile f;
  f.Cache.SetPagesPerIndex(3);
  TIndexTree tree(f.Cache, f.IndexNo, f.Keys);
  for (int v = 0; v < 5000; ++v) tree.Insert(f.Key(v).data(), static_cast<uint32_t>(v + 1));
  f.Cache.Trim();
  EXPECT_LE(f.Cache.CachedPages(f.IndexNo), 3u);
  EXPECT_EQ(tree.CheckStructure().Keys, 5000);
  EXPECT_LE(f.Cache.PooledPages(), TPageStack::kMaxPooled);
}

TEST(IndexPageCache, RecentPagesAreServedWithoutReading) {
  TIntIndexFile f;
  TIndexTree tree(f.Cache, f.IndexNo, f.Keys);
  for (int v = 0; v < 2000; ++v) tree.Insert(f.Key(v).data(), static_cast<uint32_t>(v + 1));
  f.Cache.Flush();
  f.Cache.Trim();
  TIndexPosition pos = tree.First();
  const uint64_t reads = f.Store.Reads();
  // Walking inside one leaf touches the same page again and again.
  for (int i = 0; i < 100; ++i) tree.Next(pos);
  EXPECT_EQ(f.Store.Reads(), reads);
}

TEST(IndexPageCache, PagesUsedLatelyStayWhateverTheOrderOfUse) {
  // Recency is kept loosely in large caches (a page near the front is not moved again), but a
  // page among the last half capacity of distinct pages used is never the one that goes.
  TIntIndexFile f;
  TIndexTree tree(f.Cache, f.IndexNo, f.Keys);
  for (int v = 0; v < 40000; ++v) tree.Insert(f.Key(v).data(), static_cast<uint32_t>(v + 1));
  f.Cache.Flush();
  std::vector<int32_t> pages;
  for (int32_t n = 1; n < f.Cache.Header().NextPage; ++n) pages.push_back(n);
  ASSERT_GT(pages.size(), 150u);
  std::mt19937 random(11);
  for (int capacity : {3, 16, 64}) {
    SCOPED_TRACE(capacity);
    f.Cache.SetPagesPerIndex(capacity);
    f.Cache.Trim();
    std::vector<int32_t> recent;  // distinct pages, latest last
    for (int step = 0; step < 20000; ++step) {
      // Mostly a small working set, sometimes anything.
      const size_t hot = std::min<size_t>(pages.size(), static_cast<size_t>(capacity / 2 + 2));
      const int32_t page = random() % 4 ? pages[random() % hot] : pages[random() % pages.size()];
      const auto at = std::find(recent.begin(), recent.end(), page);
      const bool lately = at != recent.end() && recent.end() - at <= capacity / 2;
      const uint64_t reads = f.Store.Reads();
      f.Cache.GetPage(f.IndexNo, page);
      if (lately) ASSERT_EQ(f.Store.Reads(), reads) << "page " << page << " at step " << step;
      if (at != recent.end()) recent.erase(at);
      recent.push_back(page);
    }
    EXPECT_LE(f.Cache.CachedPages(f.IndexNo), static_cast<size_t>(capacity));
  }
}

TEST(IndexPageCache, WithoutWriteBackDirtyPagesStayUntilFlushed) {
  TIntIndexFile f;
  f.Cache.Flush();
  f.Cache.SetPagesPerIndex(1);
  f.Cache.SetWriteBackAllowed(false);
  TIndexTree tree(f.Cache, f.IndexNo, f.Keys);
  const uint64_t writes = f.Store.Writes();
  for (int v = 0; v < 3000; ++v) {
    tree.Insert(f.Key(v).data(), static_cast<uint32_t>(v + 1));
    f.Cache.Trim();
  }
  EXPECT_EQ(f.Store.Writes(), writes);  // a transaction's changes stay in memory
  EXPECT_EQ(tree.CheckStructure().Keys, 3000);
  // Dropping them (a rollback) brings back the file's state: the empty index.
  f.Cache.DropPages();
  f.Cache.Open();
  TIndexTree again(f.Cache, f.IndexNo, f.Keys);
  EXPECT_EQ(again.KeyCount(), 0);
}

TEST(IndexPageCache, ChangedHeaderOnDiskDropsTheCachedPages) {
  TIntIndexFile f;
  TIndexTree tree(f.Cache, f.IndexNo, f.Keys);
  for (int v = 0; v < 100; ++v) tree.Insert(f.Key(v).data(), static_cast<uint32_t>(v + 1));
  f.Cache.Flush();
  EXPECT_FALSE(f.Cache.RereadHeader());
  // Another user of the file adds keys and writes the header.
  TIndexPageCache other(f.Store);
  other.Open();
  TIndexTree otherTree(other, f.IndexNo, f.Keys);
  for (int v = 100; v < 1000; ++v) otherTree.Insert(f.Key(v).data(), static_cast<uint32_t>(v + 1));
  other.Flush();
  EXPECT_TRUE(f.Cache.RereadHeader());
  EXPECT_EQ(f.Cache.CachedPages(f.IndexNo), 0u);
  EXPECT_EQ(tree.KeyCount(), 1000);
}

TEST(IndexPageCache, PinnedPagesSurviveADropUntilReleased) {
  TIntIndexFile f;
  TIndexTree tree(f.Cache, f.IndexNo, f.Keys);
  tree.Insert(f.Key(1).data(), 1);
  f.Cache.Flush();
  TPageRef held = f.Cache.GetPage(f.IndexNo, f.Cache.Header().Descriptors[f.IndexNo].RootPage);
  f.Cache.DropPages();
  EXPECT_EQ(held->Count(), 1);  // still readable by its holder
  held.Release();
  EXPECT_EQ(tree.KeyCount(), 1);
}

TEST(IndexPageCache, HeaderWritesCountChangesAndPersist) {
  TIntIndexFile f;
  const int32_t before = f.Cache.Header().ChangeCounter;
  f.Cache.WriteHeader();
  const int32_t written = f.Cache.Header().ChangeCounter;
  EXPECT_EQ(written, before + 1);
  for (int i = 0; i < 6; ++i) f.Cache.AddLiveRecords(+1);
  f.Cache.AddLiveRecords(-1);
  f.Cache.SetNoPrimaryKey(true);
  EXPECT_TRUE(f.Cache.HeaderDirty());
  f.Cache.WriteHeader();
  EXPECT_EQ(f.Cache.Header().ChangeCounter, before + 2);
  f.Cache.WriteHeader();  // clean: nothing written
  EXPECT_EQ(f.Cache.Header().ChangeCounter, before + 2);
  f.Cache.WriteHeader(true);
  EXPECT_EQ(f.Cache.Header().ChangeCounter, before + 3);
  TIndexPageCache reopened(f.Store);
  reopened.Open();
  EXPECT_EQ(reopened.Header().LiveRecordCount, 5);
  EXPECT_TRUE(reopened.Header().NoPrimaryKey);
  EXPECT_EQ(reopened.Header().ChangeCounter, before + 3);
  reopened.AddLiveRecords(-10);
  EXPECT_EQ(reopened.Header().LiveRecordCount, 0);
}

TEST(IndexPageCache, FileCannotGrowBeyondItsLimit) {
  TIntIndexFile f;
  // The largest page number whose end stays within 4 000 000 000 bytes.
  const int32_t lastPage = static_cast<int32_t>(kMaxIndexFileBytes / kIndexPageSize) - 1;
  f.Cache.Header().NextPage = lastPage;
  TPageRef ok = f.Cache.AllocatePage(f.IndexNo, PageLeaf);
  EXPECT_EQ(ok->PageNo, static_cast<uint32_t>(lastPage));
  EXPECT_EQ(CodeOf([&] { f.Cache.AllocatePage(f.IndexNo, PageLeaf); }), KURA_TABLEFULL);
}

TEST(IndexPageCache, EmptyingResetsEveryIndexAndCutsTheFile) {
  TIntIndexFile f;
  TIndexTree tree(f.Cache, f.IndexNo, f.Keys);
  TIndexKeyDefinition sys = TIndexKeyDefinition::SystemRecordIndex();
  TIndexTree system(f.Cache, kSystemRecordIndex, sys);
  for (int v = 0; v < 2000; ++v) {
    tree.Insert(f.Key(v).data(), static_cast<uint32_t>(v + 1));
    system.Insert(f.Key(v).data(), static_cast<uint32_t>(v + 1));  // 5-byte keys fit the system index
  }
  f.Cache.Header().LiveRecordCount = 2000;
  f.Cache.Flush();
  ASSERT_GT(f.Store.PageCount(), 5u);
  f.Cache.EmptyAll();
  EXPECT_EQ(f.Store.PageCount(), 1u);
  EXPECT_EQ(f.Cache.Header().NextPage, 1);
  EXPECT_EQ(f.Cache.Header().LiveRecordCount, 0);
  EXPECT_EQ(tree.KeyCount(), 0);
  EXPECT_EQ(system.KeyCount(), 0);
  TIndexPageCache reopened(f.Store);
  reopened.Open();
  EXPECT_EQ(reopened.Header().Descriptors[f.IndexNo].RootPage, 0);
  EXPECT_EQ(reopened.Header().Descriptors[f.IndexNo].FirstFreePage, 0);
  EXPECT_EQ(reopened.Header().SecondaryCount, 1);  // definitions stay
  tree.Insert(f.Key(1).data(), 1);
  EXPECT_EQ(tree.KeyCount(), 1);
}

// Several indexes in one file: each keeps its own tree and its own free list.
TEST(IndexFileIndexes, SeveralIndexesShareOneFileWithTheirOwnFreeLists) {
  TRecordLayout layout;
  size_t id = layout.Add(EngineFieldType::Integer, 4);
  size_t name = layout.Add(EngineFieldType::String, 16);
  size_t amount = layout.Add(EngineFieldType::Float, 8);
  TIndexKeyDefinition primary = layout.Keys({id}, true);
  TIndexKeyDefinition byName = layout.Keys({name}, false);
  TIndexKeyDefinition byAmount = layout.Keys({amount, name}, false, true);
  TIndexKeyDefinition system = TIndexKeyDefinition::SystemRecordIndex();
  TMemoryIndexPageStore store;
  TIndexPageCache cache(store);
  cache.CreateNew();
  DefinePrimaryIndex(cache.Header(), layout.Definition("", primary, KeyCompression::None), {});
  int nameNo = AddSecondaryIndex(cache.Header(), layout.Definition("ByName", byName, KeyCompression::Full), {});
  int amountNo = AddSecondaryIndex(cache.Header(), layout.Definition("ByAmount", byAmount, KeyCompression::DuplicateBytes), {});
  std::vector<std::unique_ptr<TIndexTree>> trees;
  trees.push_back(std::make_unique<TIndexTree>(cache, kPrimaryIndex, primary));
  trees.push_back(std::make_unique<TIndexTree>(cache, nameNo, byName));
  trees.push_back(std::make_unique<TIndexTree>(cache, amountNo, byAmount));
  trees.push_back(std::make_unique<TIndexTree>(cache, kSystemRecordIndex, system));
  std::mt19937 rng(5);
  std::map<int32_t, std::vector<uint8_t>> records;  // auto-increment value -> record
  auto keysOf = [&](const std::vector<uint8_t> &r) {
    std::vector<std::vector<uint8_t>> k;
    for (auto &t : trees) k.push_back(t->Keys().BuildKey(r.data(), r.size()));
    return k;
  };
  int32_t autoInc = 0;
  for (int round = 0; round < 6000; ++round) {
    if (rng() % 100 < 60 || records.empty()) {
      std::vector<uint8_t> r = layout.NewRecord();
      layout.SetAutoInc(r, ++autoInc);
      layout.SetInt32(r, id, autoInc);
      layout.SetString(r, name, std::string(1 + rng() % 12, static_cast<char>('a' + rng() % 3)));
      layout.SetDouble(r, amount, static_cast<double>(rng() % 100) / 4.0);
      auto k = keysOf(r);
      for (size_t i = 0; i < trees.size(); ++i) trees[i]->Insert(k[i].data(), static_cast<uint32_t>(autoInc));
      records[autoInc] = r;
    } else {
      auto it = std::next(records.begin(), static_cast<long>(rng() % records.size()));
      auto k = keysOf(it->second);
      for (size_t i = 0; i < trees.size(); ++i) ASSERT_TRUE(trees[i]->Delete(k[i].data(), static_cast<uint32_t>(it->first)));
      records.erase(it);
    }
    cache.Trim();
  }
  for (auto &t : trees) EXPECT_EQ(t->CheckStructure().Keys, static_cast<int64_t>(records.size()));
  // Emptying one index fills its free list; the others do not take from it.
  for (auto &[inc, r] : records) {
    auto k = keysOf(r);
    ASSERT_TRUE(trees[1]->Delete(k[1].data(), static_cast<uint32_t>(inc)));
  }
  TIndexTreeStats nameStats = trees[1]->CheckStructure();
  EXPECT_EQ(nameStats.TreePages, 0);
  const int64_t nameFree = nameStats.FreePages;
  EXPECT_GT(nameFree, 0);
  const int32_t nextPage = cache.Header().NextPage;
  for (int v = 0; v < 3000; ++v) {
    std::vector<uint8_t> r = layout.NewRecord();
    layout.SetAutoInc(r, ++autoInc);
    layout.SetInt32(r, id, autoInc);
    trees[0]->Insert(trees[0]->Keys().BuildKey(r.data(), r.size()).data(), static_cast<uint32_t>(autoInc));
  }
  EXPECT_EQ(trees[1]->CheckStructure().FreePages, nameFree);
  EXPECT_GT(cache.Header().NextPage, nextPage);
  // Deleting the name index moves the amount index down and gives its pages to the system index.
  cache.Flush();
  const int32_t beforeDelete = cache.Header().NextPage;
  const int64_t systemFree = trees[3]->CheckStructure().FreePages;
  trees.erase(trees.begin() + 1);
  DeleteIndex(cache, nameNo);
  EXPECT_EQ(cache.Header().SecondaryCount, 1);
  EXPECT_EQ(cache.Header().Descriptors[1].Name, "ByAmount");
  TIndexTree movedAmount(cache, 1, byAmount);
  EXPECT_EQ(movedAmount.CheckStructure().Keys, static_cast<int64_t>(records.size()));
  EXPECT_EQ(trees[2]->CheckStructure().FreePages, systemFree + nameFree);
  EXPECT_EQ(cache.Header().NextPage, beforeDelete);
  // Deleting the primary index leaves the table without a primary key.
  DeleteIndex(cache, kPrimaryIndex);
  EXPECT_TRUE(cache.Header().NoPrimaryKey);
  EXPECT_FALSE(cache.Header().IndexInUse(kPrimaryIndex));
  EXPECT_EQ(CodeOf([&] { DeleteIndex(cache, kPrimaryIndex); }), KURA_INVALIDINDEXNAME);
  cache.Flush();
  TIndexPageCache reopened(store);
  reopened.Open();
  TIndexTree again(reopened, 1, byAmount);
  EXPECT_EQ(again.CheckStructure().Keys, static_cast<int64_t>(records.size()));
  TIndexTree sysAgain(reopened, kSystemRecordIndex, system);
  EXPECT_GT(sysAgain.CheckStructure().FreePages, nameFree);
}

TEST(IndexPageCache, HeldChangesDoNotCrowdOutTheCleanPages) {
  TIntIndexFile f;
  TIndexTree tree(f.Cache, f.IndexNo, f.Keys);
  for (int v = 0; v < 20000; ++v) tree.Insert(f.Key(v).data(), static_cast<uint32_t>(v + 1));
  f.Cache.Flush();
  f.Cache.SetPagesPerIndex(8);
  f.Cache.Trim();
  // A transaction changes far more leaves than the cache holds: they all stay in memory ...
  f.Cache.SetWriteBackAllowed(false);
  const uint64_t writes = f.Store.Writes();
  for (int v = 0; v < 7000; v += 100) ASSERT_TRUE(tree.Delete(f.Key(v).data(), static_cast<uint32_t>(v + 1)));
  EXPECT_GT(f.Cache.CachedPages(f.IndexNo), 20u);
  // ... and a few other leaves read again and again are still served from memory.
  auto readWorkingSet = [&] {
    for (int v : {16000, 17000, 18000, 19000}) ASSERT_TRUE(tree.KeyExists(f.Key(v).data()));
  };
  readWorkingSet();
  const uint64_t reads = f.Store.Reads();
  for (int pass = 0; pass < 3; ++pass) readWorkingSet();
  EXPECT_EQ(f.Store.Reads(), reads);
  EXPECT_EQ(f.Store.Writes(), writes);
  // Once written, the pages leave again down to the capacity.
  f.Cache.SetWriteBackAllowed(true);
  f.Cache.Flush();
  f.Cache.Trim();
  EXPECT_LE(f.Cache.CachedPages(f.IndexNo), 8u);
  EXPECT_EQ(tree.CheckStructure().Keys, 20000 - 70);
}

namespace {

// The map of cached pages against std::map over random adds, replacements and removals, with
// page numbers close together (long probe runs, removals inside them) and far apart. A page's
// hint stays with it when removals move it (or is gone, after the map grew).
TEST(PageNumberMap, AgreesWithAnOrderedMapThroughChurn) {
  std::mt19937 random(7);
  for (uint32_t spread : {40u, 600u, 5000u, 4000000000u}) {
    SCOPED_TRACE(spread);
    TPageNumberMap map;
    std::map<uint32_t, TPage *> model;
    std::uniform_int_distribution<uint32_t> number(1, spread);
    for (int step = 0; step < 20000; ++step) {
      const uint32_t pageNo = number(random);
      TPage *page = reinterpret_cast<TPage *>(static_cast<uintptr_t>(step + 1) * 8);
      switch (random() % 4) {
        case 0:
        case 1:
          map.Set(pageNo, page);
          model[pageNo] = page;
          if (random() % 2) map.SetHint(map.Place(pageNo), reinterpret_cast<const uint8_t *>(page), pageNo);
          break;
        case 2:
          ASSERT_EQ(map.Erase(pageNo), model.erase(pageNo) == 1);
          break;
        default: {
          const auto it = model.find(pageNo);
          ASSERT_EQ(map.Find(pageNo), it == model.end() ? nullptr : it->second);
          if (it != model.end()) {
            const TPageNumberMap::THint &hint = map.HintAt(map.Place(pageNo));
            const bool none = hint.Entries == nullptr && hint.Bytes == 0;
            ASSERT_TRUE(none || (hint.Entries == reinterpret_cast<const uint8_t *>(it->second) && hint.Bytes == pageNo));
          }
        }
      }
      if (step % 997 == 0) {
        ASSERT_EQ(map.size(), model.size());
        std::map<uint32_t, TPage *> seen;
        for (const auto &[n, p] : map) seen[n] = p;
        ASSERT_EQ(seen, model);
      }
    }
    for (const auto &[n, p] : model) ASSERT_EQ(map.Find(n), p);
    map.clear();
    EXPECT_TRUE(map.empty());
    EXPECT_EQ(map.Find(model.empty() ? 1 : model.begin()->first), nullptr);
  }
}

}  // namespace
