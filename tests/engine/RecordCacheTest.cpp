// The record cache against a plain model: lookups, recency order of the evictable entries,
// the changed entries by number, through random pins, changes, writes, removals and evictions.
#include <gtest/gtest.h>

#include <algorithm>
#include <list>
#include <map>
#include <random>

#include "engine/data/DataFile.h"
#include "engine/data/FieldCodec.h"
#include "engine/data/RecordCache.h"
#include "engine/errors/EngineError.h"
#include "tests/engine/DataTestSupport.h"
#include "tests/engine/TestSupport.h"

using namespace kura;
using namespace kura::test;

namespace {

// What the cache must behave like: every entry by number, and the recency order of the clean,
// unpinned ones (front = most recently used).
struct Model {
  std::map<int32_t, TRecord *> Entries;
  std::list<int32_t> Recency;
  void Touch(int32_t n) {
    Recency.remove(n);
    const TRecord *r = Entries.at(n);
    if (!r->Dirty && r->PinCount == 0) Recency.push_front(n);
  }
};

void ExpectSame(const TRecordCache &cache, const Model &model, int32_t maxNumber, int step) {
  SCOPED_TRACE("step " + std::to_string(step));
  ASSERT_EQ(cache.Count(), model.Entries.size());
  for (int32_t n = 1; n <= maxNumber; ++n) {
    auto it = model.Entries.find(n);
    ASSERT_EQ(cache.Find(n), it == model.Entries.end() ? nullptr : it->second) << n;
  }
  const TRecord *oldest = cache.Evictable();
  if (model.Recency.empty()) {
    EXPECT_EQ(oldest, nullptr);
  } else {
    ASSERT_NE(oldest, nullptr);
    EXPECT_EQ(oldest->RecordNumber, model.Recency.back());
  }
  std::vector<int32_t> dirty, dirtyUnpinned, expected, expectedUnpinned;
  for (const TRecord *r : cache.DirtyRecords(true)) dirty.push_back(r->RecordNumber);
  for (const TRecord *r : cache.DirtyRecords(false)) dirtyUnpinned.push_back(r->RecordNumber);
  for (const auto &[n, r] : model.Entries) {
    if (!r->Dirty) continue;
    expected.push_back(n);
    if (r->PinCount == 0) expectedUnpinned.push_back(n);
  }
  EXPECT_EQ(dirty, expected);
  EXPECT_EQ(dirtyUnpinned, expectedUnpinned);
}

}  // namespace

namespace {

// A data file of 1 000 records whose second field holds the record number.
std::string WriteThousandRecords(const TempDir &dir, const std::string &fileName, bool encrypted) {
  TDataFileDefinition def;
  def.Fields = {MakeField("ID", EngineFieldType::Integer, 0, FieldSubType::AutoInc),
                MakeField("V", EngineFieldType::Integer)};
  def.Encrypted = encrypted;
  def.Password = encrypted ? "kuro" : "";
  const std::string name = dir.File(fileName);
  TDataFile file;
  file.CreateDataFile(name, false, false, def);
  for (int k = 1; k <= 1000; ++k) {
    TRecord *r = file.AllocateRecord(false);
    SetIntegerField(file.Field(2), r->Image.data(), k);
    file.ReleaseRecord(r);
  }
  file.CloseDataFile();
  return name;
}

}  // namespace

TEST(RecordCache, BehavesLikeAMapWithARecencyListThroughRandomOperations) {
  // Numbers from a small range collide in the table and make removals shift entries back;
  // numbers from a wide range grow it.
  for (const int32_t maxNumber : {40, 5000}) {
    std::mt19937 random(static_cast<unsigned>(maxNumber));
    TRecordCache cache;
    TRecordStack pool;
    Model model;
    std::vector<TRecord *> removed;
    auto anyEntry = [&]() -> TRecord * {
      if (model.Entries.empty()) return nullptr;
      auto it = model.Entries.begin();
      std::advance(it, static_cast<long>(random() % model.Entries.size()));
      return it->second;
    };
    for (int step = 0; step < 3000; ++step) {
      const unsigned op = random() % 8;
      TRecord *r = anyEntry();
      if (op <= 1 || !r) {
        const int32_t n = 1 + static_cast<int32_t>(random() % static_cast<unsigned>(maxNumber));
        if (model.Entries.count(n)) continue;
        TRecord *fresh = pool.Take(nullptr, 8);
        fresh->RecordNumber = n;
        fresh->Dirty = random() % 4 == 0;
        cache.Insert(fresh);
        model.Entries[n] = fresh;
        model.Touch(n);
      } else if (op == 2) {
        cache.Pin(r);
        model.Touch(r->RecordNumber);
      } else if (op == 3) {
        if (r->PinCount == 0) continue;
        cache.Unpin(r);
        model.Touch(r->RecordNumber);
      } else if (op == 4) {
        cache.MarkDirty(r);
        model.Touch(r->RecordNumber);
      } else if (op == 5) {
        if (!r->Dirty) continue;
        cache.MarkClean(r);
        model.Touch(r->RecordNumber);
      } else if (op == 6) {
        cache.Remove(r);
        EXPECT_FALSE(r->InCache);
        model.Recency.remove(r->RecordNumber);
        model.Entries.erase(r->RecordNumber);
        removed.push_back(r);
      } else {
        const size_t count = random() % 3;
        std::vector<int32_t> wanted;
        for (auto it = model.Recency.rbegin(); it != model.Recency.rend() && wanted.size() < count; ++it)
          wanted.push_back(*it);
        std::vector<int32_t> got;
        for (TRecord *victim : cache.EvictOldest(count)) {
          got.push_back(victim->RecordNumber);
          model.Recency.remove(victim->RecordNumber);
          model.Entries.erase(victim->RecordNumber);
          removed.push_back(victim);
        }
        EXPECT_EQ(got, wanted);
      }
      ExpectSame(cache, model, maxNumber, step);
      if (HasFatalFailure()) return;
    }
    std::vector<TRecord *> all = cache.RemoveAll();
    EXPECT_EQ(all.size(), model.Entries.size());
    EXPECT_EQ(cache.Count(), 0u);
    EXPECT_EQ(cache.Evictable(), nullptr);
    EXPECT_TRUE(cache.DirtyRecords(true).empty());
    for (TRecord *r : all) delete r;
    for (TRecord *r : removed) delete r;
  }
}

TEST(RecordCache, UnpinnedDirtyRecordsAreFoundInARangeWhicheverWayIsShorter) {
  TRecordCache cache;
  std::vector<TRecord> records(6);
  const int32_t numbers[] = {3, 10, 11, 500, 9000, 9001};
  for (size_t i = 0; i < records.size(); ++i) {
    records[i].RecordNumber = numbers[i];
    cache.Insert(&records[i]);
  }
  cache.MarkDirty(&records[1]);  // 10
  cache.Pin(&records[3]);        // 500, pinned while changed: not written to make room
  cache.MarkDirty(&records[3]);
  struct Case {
    int32_t First, Last;
    bool Expected;
  };
  for (const Case &c : {Case{1, 9, false}, Case{1, 10, true}, Case{10, 10, true}, Case{11, 499, false},
                        Case{400, 600, false}, Case{1, 100000, true}, Case{11, 100000, false}}) {
    EXPECT_EQ(cache.HasUnpinnedDirtyIn(c.First, c.Last), c.Expected) << c.First << ".." << c.Last;
  }
  cache.RemoveAll();
}

TEST(RecordCache, RecordsWrittenAndEvictedAreReadAgainFromTheFileNotFromTheLastBlockRead) {
  TempDir dir;
  const std::string name = WriteThousandRecords(dir, "block.DAT", false);
  TDataFile file;
  file.SetCacheLimits(16384, 10);
  file.OpenDataFile(name, false, false, false, false);
  auto value = [&](int32_t n) {
    TRecord *r = file.GetRecord(n);
    const int64_t v = GetIntegerField(file.Field(2), r->Image.data());
    file.ReleaseRecord(r);
    return v;
  };
  EXPECT_EQ(value(1), 1);  // one block read covers the records that follow
  EXPECT_EQ(file.CachedRecordCount(), 10u);
  TRecord *r = file.GetRecord(50);
  SetIntegerField(file.Field(2), r->Image.data(), -50);
  file.MarkRecordDirty(r);
  file.ReleaseRecord(r);
  EXPECT_TRUE(file.WriteChanges(false, false));
  // Records of the same block push record 50 out of the cache; it must come back as written.
  for (int32_t n = 11; n <= 40; ++n) EXPECT_EQ(value(n), n);
  EXPECT_LE(file.CachedRecordCount(), 10u);
  EXPECT_EQ(value(50), -50);
  // A scan of the whole file keeps the cache at its size and reads every record right.
  int64_t sum = 0;
  for (int32_t n = 1; n <= 1000; ++n) sum += value(n);
  EXPECT_EQ(sum, 1000 * 1001 / 2 - 100);
  EXPECT_LE(file.CachedRecordCount(), 10u);
  file.CloseDataFile();
}

TEST(RecordCache, ScanReadsTakeNoCacheEntriesAndSeeChangesNotWrittenYet) {
  for (const bool encrypted : {false, true}) {
    SCOPED_TRACE(encrypted ? "encrypted" : "plain");
    TempDir dir;
    const std::string name = WriteThousandRecords(dir, "scan.DAT", encrypted);
    TDataFile file;
    file.SetCacheLimits(16384, 10);
    file.OpenDataFile(name, false, false, false, false);
    // A change held in the cache, and one written and pushed out again.
    TRecord *r = file.GetRecord(500);
    SetIntegerField(file.Field(2), r->Image.data(), -500);
    file.MarkRecordDirty(r);
    file.ReleaseRecord(r);
    r = file.GetRecord(700);
    SetIntegerField(file.Field(2), r->Image.data(), -700);
    file.MarkRecordDirty(r);
    file.ReleaseRecord(r);
    EXPECT_TRUE(file.WriteChanges(false, false));
    r = file.GetRecord(500);
    SetIntegerField(file.Field(2), r->Image.data(), -5000);
    file.MarkRecordDirty(r);
    file.ReleaseRecord(r);
    file.FreeRecord(300, false);
    const size_t cached = file.CachedRecordCount();
    std::vector<uint8_t> image;
    int64_t sum = 0;
    int live = 0;
    for (int32_t n = 1; n <= 1000; ++n) {
      ASSERT_TRUE(file.ReadRecordForScan(n, image));
      ASSERT_EQ(image.size(), file.RecordSize());
      if (image[0] != 0) continue;
      ++live;
      EXPECT_EQ(GetI32(image.data() + 1), n);
      sum += GetIntegerField(file.Field(2), image.data());
    }
    EXPECT_EQ(live, 999);
    EXPECT_EQ(sum, 1000 * 1001 / 2 - 300 - 500 - 5000 - 700 - 700);
    EXPECT_EQ(file.CachedRecordCount(), cached);
    EXPECT_EQ(CodeOf([&] { file.ReadRecordForScan(1001, image); }), KURA_FILECORRUPT);
    EXPECT_EQ(CodeOf([&] { file.ReadRecordForScan(0, image); }), KURA_FILECORRUPT);
    file.CloseDataFile();
  }
}
