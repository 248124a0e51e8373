// Randomised model tests: the B+-tree against an ordered container, for every compression
// mode, unique and non-unique, ascending and descending, several kinds of keys.
#include <algorithm>
#include <tuple>

#include "IndexModel.h"

using namespace kura;
using namespace kura::indextest;

namespace {

struct TModelParam {
  KeyKind Kind;
  KeyCompression Compression;
  bool Unique;
  bool Descending;
};

std::string ParamName(const testing::TestParamInfo<std::tuple<KeyKind, KeyCompression, bool, bool>> &info) {
  static const char *kinds[] = {"Integer", "String", "StringLocale", "Multi", "LongBytes"};
  static const char *comps[] = {"None", "Dup", "Trail", "Full"};
  return std::string(kinds[static_cast<int>(std::get<0>(info.param))]) + "_" +
         comps[static_cast<int>(std::get<1>(info.param))] + (std::get<2>(info.param) ? "_Unique" : "_NonUnique") +
         (std::get<3>(info.param) ? "_Desc" : "_Asc");
}

class IndexTreeModel : public testing::TestWithParam<std::tuple<KeyKind, KeyCompression, bool, bool>> {
 protected:
  void SetUp() override {
    P.Kind = std::get<0>(GetParam());
    P.Compression = std::get<1>(GetParam());
    P.Unique = std::get<2>(GetParam());
    P.Descending = std::get<3>(GetParam());
    Seed = static_cast<uint32_t>(static_cast<int>(P.Kind) * 131 + static_cast<int>(P.Compression) * 17 +
                                 (P.Unique ? 5 : 0) + (P.Descending ? 3 : 0));
    Maker = std::make_unique<TRecordMaker>(P.Kind, Seed);
    std::vector<bool> fieldDesc;
    if (P.Kind == KeyKind::Multi) fieldDesc = {false, true, false};  // a descending field in the middle
    Keys = Maker->Layout().Keys(Maker->Fields(), P.Unique, P.Descending, fieldDesc);
    if (P.Kind == KeyKind::StringLocale) {
      Keys.LanguageId = 1033;
      Keys.CaseInsensitive = P.Unique;  // upper-cased keys: "aB" and "Ab" are one key
    }
    Model = std::make_unique<std::map<std::vector<uint8_t>, uint32_t, TKeyLess>>(TKeyLess{&Keys});
    Cache = std::make_unique<TIndexPageCache>(Store);
    Cache->SetPagesPerIndex(Seed % 2 ? 2 : 64);
    Cache->CreateNew();
    IndexNo = AddSecondaryIndex(Cache->Header(), Maker->Layout().Definition("ByKey", Keys, P.Compression), {});
    Tree = std::make_unique<TIndexTree>(*Cache, IndexNo, Keys);
  }

  void Insert(int32_t autoInc) {
    std::vector<uint8_t> record = Maker->Make(autoInc);
    std::vector<uint8_t> key = Keys.BuildKey(record.data(), record.size());
    bool exists = Model->count(key) > 0;
    if (autoInc % 2 == 0) {
      // The check and the insertion in one descent: an equal key leaves the tree unchanged.
      ASSERT_EQ(Tree->InsertUnique(key.data(), static_cast<uint32_t>(autoInc)), !exists);
    } else {
      ASSERT_EQ(Tree->KeyExists(key.data()), exists);
      if (!exists) Tree->Insert(key.data(), static_cast<uint32_t>(autoInc));
    }
    if (exists) return;  // the cursor would refuse this with a key violation
    Model->emplace(key, static_cast<uint32_t>(autoInc));
    Cache->Trim();
  }

  void DeleteRandom(std::mt19937 &rng) {
    if (Model->empty()) return;
    auto it = Model->begin();
    std::advance(it, static_cast<long>(rng() % Model->size()));
    ASSERT_TRUE(Tree->Delete(it->first.data(), it->second));
    // The same key with another record number is not there any more.
    ASSERT_FALSE(Tree->Delete(it->first.data(), it->second));
    Model->erase(it);
    Cache->Trim();
  }

  void CheckAgainstModel(std::mt19937 &rng) {
    TIndexTreeStats stats = Tree->CheckStructure();
    MaxDepth = std::max(MaxDepth, stats.Depth);
    ASSERT_EQ(stats.Keys, static_cast<int64_t>(Model->size()));
    ASSERT_EQ(Tree->KeyCount(), static_cast<int64_t>(Model->size()));
    std::vector<uint8_t> key(static_cast<size_t>(Keys.KeyLength()));
    uint32_t rec;
    // Forward along the leaf chain.
    TIndexPosition pos = Tree->First();
    int64_t ordinal = 0;
    for (auto it = Model->begin(); it != Model->end(); ++it) {
      ++ordinal;
      ASSERT_TRUE(Tree->OnEntry(pos));
      Tree->ReadEntry(pos, key.data(), &rec);
      ASSERT_EQ(key, it->first);
      ASSERT_EQ(rec, it->second);
      ASSERT_EQ(pos.Ordinal, ordinal);
      Tree->Next(pos);
    }
    ASSERT_FALSE(Tree->OnEntry(pos));
    // Backward.
    pos = Tree->Last();
    ordinal = static_cast<int64_t>(Model->size());
    for (auto it = Model->rbegin(); it != Model->rend(); ++it) {
      ASSERT_TRUE(Tree->OnEntry(pos));
      Tree->ReadEntry(pos, key.data(), &rec);
      ASSERT_EQ(key, it->first);
      ASSERT_EQ(pos.Ordinal, ordinal--);
      Tree->Prior(pos);
    }
    ASSERT_FALSE(Tree->OnEntry(pos));
    if (Model->empty()) return;
    // Sequence numbers and positioning by sequence number.
    for (int i = 0; i < 25; ++i) {
      int64_t n = static_cast<int64_t>(rng() % Model->size());
      auto it = std::next(Model->begin(), static_cast<long>(n));
      ASSERT_EQ(Tree->SequenceNumber(it->first.data(), it->second), n + 1);
      TIndexPosition at = Tree->PositionOfOrdinal(n + 1);
      Tree->ReadEntry(at, key.data(), &rec);
      ASSERT_EQ(key, it->first);
    }
    // Searches with keys that are not in the index.
    for (int i = 0; i < 25; ++i) {
      std::vector<uint8_t> probe = Keys.BuildKey(Maker->Make(static_cast<int32_t>(rng() % 100000)).data(),
                                                 Maker->Layout().Size());
      auto lower = Model->lower_bound(probe);
      TIndexPosition found = Tree->SearchFirstAtOrAfter(probe.data(), Keys.KeyLength());
      if (lower == Model->end()) {
        ASSERT_FALSE(Tree->OnEntry(found));
        ASSERT_EQ(found.Ordinal, static_cast<int64_t>(Model->size()) + 1);
      } else {
        Tree->ReadEntry(found, key.data(), nullptr);
        ASSERT_EQ(key, lower->first);
        ASSERT_EQ(found.Ordinal, std::distance(Model->begin(), lower) + 1);
      }
      auto upper = Model->upper_bound(probe);
      TIndexPosition last = Tree->SearchLastAtOrBefore(probe.data(), Keys.KeyLength());
      if (upper == Model->begin()) {
        ASSERT_FALSE(Tree->OnEntry(last));
      } else {
        Tree->ReadEntry(last, key.data(), nullptr);
        ASSERT_EQ(key, std::prev(upper)->first);
      }
    }
    // Searches over a prefix of bytewise keys (a range or search on the leading fields), at
    // lengths on both sides of 8 bytes: the first and last keys that agree with a stored key's
    // prefix. (A collated text cut short does not keep the order of the whole texts.)
    std::vector<std::vector<uint8_t>> sorted;
    if (!Keys.UsesLocale())
      for (const auto &entry : *Model) sorted.push_back(entry.first);
    for (int i = 0; i < 6 && !sorted.empty(); ++i) {
      const std::vector<uint8_t> &probe = sorted[rng() % sorted.size()];
      for (int length : {1, 2, 4, 5, 7, 8, 9, 12, Keys.KeyLength() - 1}) {
        if (length < 1 || length > Keys.KeyLength()) continue;
        auto below = [&](const std::vector<uint8_t> &k) { return Keys.Compare(k.data(), probe.data(), length) < 0; };
        auto atMost = [&](const std::vector<uint8_t> &k) { return Keys.Compare(k.data(), probe.data(), length) <= 0; };
        const int64_t first = std::partition_point(sorted.begin(), sorted.end(), below) - sorted.begin();
        const int64_t after = std::partition_point(sorted.begin(), sorted.end(), atMost) - sorted.begin();
        ASSERT_EQ(Tree->SearchFirstAtOrAfter(probe.data(), length).Ordinal, first + 1) << length;
        ASSERT_EQ(Tree->SearchLastAtOrBefore(probe.data(), length).Ordinal, after) << length;
      }
    }
  }

  void Reopen() {
    Cache->Flush();
    Tree.reset();
    Cache = std::make_unique<TIndexPageCache>(Store);
    Cache->SetPagesPerIndex(2);
    Cache->Open();
    Tree = std::make_unique<TIndexTree>(*Cache, IndexNo, Keys);
  }

  TModelParam P;
  uint32_t Seed = 0;
  std::unique_ptr<TRecordMaker> Maker;
  TIndexKeyDefinition Keys;
  std::unique_ptr<std::map<std::vector<uint8_t>, uint32_t, TKeyLess>> Model;
  TMemoryIndexPageStore Store;
  std::unique_ptr<TIndexPageCache> Cache;
  int IndexNo = 0;
  std::unique_ptr<TIndexTree> Tree;
  int MaxDepth = 0;
};

TEST_P(IndexTreeModel, RandomInsertsAndDeletesMatchTheModel) {
  std::mt19937 rng(Seed + 7);
  int32_t autoInc = 0;
  const int batches = 12, batchSize = 400;
  for (int batch = 0; batch < batches; ++batch) {
    // Grow for the first half, shrink for the second, mixed all along.
    int insertPercent = batch < batches / 2 ? 75 : 30;
    for (int i = 0; i < batchSize; ++i) {
      if (static_cast<int>(rng() % 100) < insertPercent)
        Insert(++autoInc);
      else
        DeleteRandom(rng);
      if (HasFatalFailure()) return;
    }
    CheckAgainstModel(rng);
    if (HasFatalFailure()) return;
    if (batch % 4 == 3) {
      Reopen();
      CheckAgainstModel(rng);
      if (HasFatalFailure()) return;
    }
  }
  // Long keys make small pages: those trees grow interior levels that split and merge too.
  if (P.Kind == KeyKind::LongBytes) EXPECT_GE(MaxDepth, 3);
  // Deleting every key leaves root 0 and every page on the index's free list.
  while (!Model->empty()) {
    DeleteRandom(rng);
    if (HasFatalFailure()) return;
  }
  EXPECT_EQ(Cache->Header().Descriptors[IndexNo].RootPage, 0);
  TIndexTreeStats stats = Tree->CheckStructure();
  EXPECT_EQ(stats.TreePages, 0);
  EXPECT_EQ(stats.FreePages, Cache->Header().NextPage - 1);
  // New keys reuse the freed pages before the file grows.
  const int32_t nextPage = Cache->Header().NextPage;
  for (int i = 0; i < 300; ++i) Insert(++autoInc);
  CheckAgainstModel(rng);
  EXPECT_EQ(Cache->Header().NextPage, nextPage);
  Reopen();
  CheckAgainstModel(rng);
}

// A large volume on one configuration: a three-level tree of short keys grown and shrunk.
TEST(IndexTreeVolume, HundredThousandKeysGrowAndShrinkAThreeLevelTree) {
  TRecordLayout layout;
  size_t f = layout.Add(EngineFieldType::Integer, 4);
  TIndexKeyDefinition keys = layout.Keys({f}, false);
  TMemoryIndexPageStore store;
  TIndexPageCache cache(store);
  cache.CreateNew();
  int indexNo = AddSecondaryIndex(cache.Header(), layout.Definition("Volume", keys, KeyCompression::None), {});
  TIndexTree tree(cache, indexNo, keys);
  std::mt19937 rng(99);
  std::vector<std::pair<std::vector<uint8_t>, uint32_t>> live;
  const int total = 100000;
  for (int i = 1; i <= total; ++i) {
    std::vector<uint8_t> r = layout.NewRecord();
    layout.SetInt32(r, f, static_cast<int32_t>(rng() % 50000));
    layout.SetAutoInc(r, i);
    live.emplace_back(keys.BuildKey(r.data(), r.size()), static_cast<uint32_t>(i));
    tree.Insert(live.back().first.data(), static_cast<uint32_t>(i));
    if (i % 1000 == 0) cache.Trim();
  }
  TIndexTreeStats stats = tree.CheckStructure();
  EXPECT_EQ(stats.Keys, total);
  EXPECT_EQ(stats.Depth, 3);
  std::shuffle(live.begin(), live.end(), rng);
  for (size_t i = 0; i < live.size(); ++i) {
    ASSERT_TRUE(tree.Delete(live[i].first.data(), live[i].second));
    if (i % 25000 == 0) {
      stats = tree.CheckStructure();
      ASSERT_EQ(stats.Keys, static_cast<int64_t>(live.size() - i - 1));
    }
  }
  stats = tree.CheckStructure();
  EXPECT_EQ(stats.Keys, 0);
  EXPECT_EQ(cache.Header().Descriptors[indexNo].RootPage, 0);
  EXPECT_EQ(stats.FreePages, cache.Header().NextPage - 1);
}

INSTANTIATE_TEST_SUITE_P(AllKinds, IndexTreeModel,
                         testing::Combine(testing::Values(KeyKind::Integer, KeyKind::String, KeyKind::StringLocale,
                                                          KeyKind::Multi, KeyKind::LongBytes),
                                          testing::Values(KeyCompression::None, KeyCompression::DuplicateBytes,
                                                          KeyCompression::TrailingBytes, KeyCompression::Full),
                                          testing::Bool(), testing::Bool()),
                         ParamName);

}  // namespace
