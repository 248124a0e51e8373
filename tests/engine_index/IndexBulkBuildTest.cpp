// Bulk-built trees against trees grown key by key from the same records: the same entries in
// the same order, the same duplicates refused, a structure the tree check accepts, and a tree
// that takes further inserts and deletes like any other.
#include <algorithm>
#include <tuple>

#include "IndexModel.h"
#include "engine/index/IndexBulkBuild.h"

using namespace kura;
using namespace kura::indextest;

namespace {

using TBulkParam = std::tuple<KeyKind, KeyCompression, bool, int>;

std::string BulkName(const testing::TestParamInfo<TBulkParam> &info) {
  static const char *kinds[] = {"Integer", "String", "StringLocale", "Multi", "LongBytes"};
  static const char *comps[] = {"None", "Dup", "Trail", "Full"};
  return std::string(kinds[static_cast<int>(std::get<0>(info.param))]) + "_" +
         comps[static_cast<int>(std::get<1>(info.param))] + (std::get<2>(info.param) ? "_Unique_" : "_NonUnique_") +
         std::to_string(std::get<3>(info.param));
}

class IndexBulkBuild : public testing::TestWithParam<TBulkParam> {
 protected:
  void SetUp() override {
    const KeyKind kind = std::get<0>(GetParam());
    Records = std::get<3>(GetParam());
    Maker = std::make_unique<TRecordMaker>(kind, 4242u + static_cast<uint32_t>(Records));
    std::vector<bool> fieldDesc;
    if (kind == KeyKind::Multi) fieldDesc = {false, true, false};
    // Descending whole indexes for the multi-field keys, ascending for the rest.
    Keys = Maker->Layout().Keys(Maker->Fields(), std::get<2>(GetParam()), kind == KeyKind::Multi, fieldDesc);
    if (kind == KeyKind::StringLocale) {
      Keys.LanguageId = 1033;
      Keys.CaseInsensitive = Keys.Unique;
    }
    Cache = std::make_unique<TIndexPageCache>(Store);
    Cache->SetPagesPerIndex(2);  // the build must write pages back as it goes
    Cache->CreateNew();
    const KeyCompression compression = std::get<1>(GetParam());
    ByInsert = AddSecondaryIndex(Cache->Header(), Maker->Layout().Definition("ByInsert", Keys, compression), {});
    ByBuild = AddSecondaryIndex(Cache->Header(), Maker->Layout().Definition("ByBuild", Keys, compression), {});
    Cache->MarkHeaderDirty();
  }

  // Every entry of a tree in index order, read along the leaf chain.
  std::vector<std::pair<std::vector<uint8_t>, uint32_t>> Entries(TIndexTree &tree) {
    std::vector<std::pair<std::vector<uint8_t>, uint32_t>> all;
    std::vector<uint8_t> key(static_cast<size_t>(Keys.KeyLength()));
    uint32_t rec = 0;
    for (TIndexPosition pos = tree.First(); tree.OnEntry(pos); tree.Next(pos)) {
      tree.ReadEntry(pos, key.data(), &rec);
      all.emplace_back(key, rec);
    }
    return all;
  }

  void Reopen() {
    Cache->Flush();
    Cache = std::make_unique<TIndexPageCache>(Store);
    Cache->SetPagesPerIndex(2);
    Cache->Open();
  }

  int Records = 0;
  std::unique_ptr<TRecordMaker> Maker;
  TIndexKeyDefinition Keys;
  TMemoryIndexPageStore Store;
  std::unique_ptr<TIndexPageCache> Cache;
  int ByInsert = 0, ByBuild = 0;
};

TEST_P(IndexBulkBuild, HoldsWhatKeyByKeyInsertionHolds) {
  std::vector<std::vector<uint8_t>> keys;
  for (int n = 1; n <= Records; ++n) {
    std::vector<uint8_t> record = Maker->Make(n);
    keys.push_back(Keys.BuildKey(record.data(), record.size()));
  }
  // Key by key in slot order: a key already there refuses the later record.
  std::vector<uint32_t> refused;
  {
    TIndexTree tree(*Cache, ByInsert, Keys);
    for (int n = 1; n <= Records; ++n) {
      if (tree.KeyExists(keys[n - 1].data()))
        refused.push_back(static_cast<uint32_t>(n));
      else
        tree.Insert(keys[n - 1].data(), static_cast<uint32_t>(n));
      Cache->Trim();
    }
  }
  // Gathered in reverse, so that the sort has work to do.
  TIndexEntryList list(Keys.KeyLength());
  for (int n = Records; n >= 1; --n) list.Add(keys[n - 1].data(), static_cast<uint32_t>(n));
  list.Sort(Keys);
  EXPECT_EQ(list.RemoveDuplicates(Keys), refused);
  BuildIndexFromSorted(*Cache, ByBuild, Keys, list);
  if (!Keys.Unique) EXPECT_TRUE(refused.empty());

  for (int round = 0; round < 2; ++round) {
    TIndexTree inserted(*Cache, ByInsert, Keys);
    TIndexTree built(*Cache, ByBuild, Keys);
    const TIndexTreeStats stats = built.CheckStructure();
    const auto expected = Entries(inserted);
    ASSERT_EQ(Entries(built), expected);
    ASSERT_EQ(stats.Keys, static_cast<int64_t>(expected.size()));
    ASSERT_EQ(built.KeyCount(), static_cast<int64_t>(expected.size()));
    // Full pages: never more pages than the tree grown by inserts.
    EXPECT_LE(stats.TreePages, inserted.CheckStructure().TreePages);
    if (Records >= 3000 && std::get<0>(GetParam()) == KeyKind::LongBytes) EXPECT_GE(stats.Depth, 3);
    // Counts, ordinals and searches agree.
    for (size_t i = 0; i < expected.size(); i += 1 + expected.size() / 37) {
      const auto &[key, rec] = expected[i];
      EXPECT_EQ(built.SequenceNumber(key.data(), rec), static_cast<int64_t>(i) + 1);
      TIndexPosition at = built.PositionOfOrdinal(static_cast<int64_t>(i) + 1);
      std::vector<uint8_t> found(key.size());
      uint32_t foundRec = 0;
      built.ReadEntry(at, found.data(), &foundRec);
      EXPECT_EQ(found, key);
      EXPECT_EQ(foundRec, rec);
      EXPECT_TRUE(built.KeyExists(key.data()));
      TIndexPosition first = built.SearchFirstAtOrAfter(key.data(), Keys.KeyLength());
      EXPECT_EQ(first.Ordinal, static_cast<int64_t>(i) + 1);
    }
    // Record numbers of ordinal stretches, read a leaf at a time, across leaf boundaries.
    for (size_t from = 0; from < expected.size(); from += 1 + expected.size() / 5) {
      const size_t to = std::min(expected.size(), from + 1 + expected.size() / 3);
      std::vector<uint32_t> records, wanted;
      built.AppendRecordNumbers(built.PositionOfOrdinal(static_cast<int64_t>(from) + 1), static_cast<int64_t>(to),
                                records);
      for (size_t i = from; i < to; ++i) wanted.push_back(expected[i].second);
      EXPECT_EQ(records, wanted);
    }
    Reopen();
  }

  // The built tree goes on like any other: deleting every other entry and inserting the
  // refused records' keys again under new record numbers where the index allows it.
  TIndexTree built(*Cache, ByBuild, Keys);
  const auto before = Entries(built);
  for (size_t i = 0; i < before.size(); i += 2) {
    ASSERT_TRUE(built.Delete(before[i].first.data(), before[i].second));
    Cache->Trim();
  }
  size_t reinserted = 0;
  for (uint32_t n : refused) {
    if (built.KeyExists(keys[n - 1].data())) continue;
    built.Insert(keys[n - 1].data(), n + 100000u);
    ++reinserted;
    Cache->Trim();
  }
  const TIndexTreeStats after = built.CheckStructure();
  EXPECT_EQ(after.Keys, static_cast<int64_t>(before.size() / 2 + reinserted));
  Reopen();
  TIndexTree reopened(*Cache, ByBuild, Keys);
  EXPECT_EQ(reopened.CheckStructure().Keys, after.Keys);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, IndexBulkBuild,
    testing::Combine(testing::Values(KeyKind::Integer, KeyKind::String, KeyKind::StringLocale, KeyKind::Multi,
                                     KeyKind::LongBytes),
                     testing::Values(KeyCompression::None, KeyCompression::Full), testing::Bool(),
                     testing::Values(0, 1, 3000)),
    BulkName);
INSTANTIATE_TEST_SUITE_P(OtherCompressions, IndexBulkBuild,
                         testing::Combine(testing::Values(KeyKind::LongBytes, KeyKind::Integer),
                                          testing::Values(KeyCompression::DuplicateBytes,
                                                          KeyCompression::TrailingBytes),
                                          testing::Bool(), testing::Values(3000)),
                         BulkName);

// Keys that are not strictly ascending are refused before anything is written.
TEST(IndexBulkBuildInput, UnsortedOrRepeatedKeysAreRefused) {
  TRecordLayout layout;
  const size_t f = layout.Add(EngineFieldType::Integer, 4);
  const TIndexKeyDefinition keys = layout.Keys({f}, true);
  for (bool repeated : {false, true}) {
    TMemoryIndexPageStore store;
    TIndexPageCache cache(store);
    cache.CreateNew();
    const int indexNo = AddSecondaryIndex(cache.Header(), layout.Definition("K", keys, KeyCompression::None), {});
    TIndexEntryList list(keys.KeyLength());
    for (int32_t v : {1, 5, repeated ? 5 : 3}) {
      std::vector<uint8_t> r = layout.NewRecord();
      layout.SetInt32(r, f, v);
      list.Add(keys.BuildKey(r.data(), r.size()).data(), static_cast<uint32_t>(v));
    }
    EXPECT_EQ(CodeOf([&] { BuildIndexFromSorted(cache, indexNo, keys, list); }), KURA_INDEXCORRUPT);
    EXPECT_EQ(cache.Header().Descriptors[indexNo].RootPage, 0);
    EXPECT_EQ(cache.Header().NextPage, 1);
  }
}

}  // namespace
