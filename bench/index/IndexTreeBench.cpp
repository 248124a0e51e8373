// Speed of the index B+-tree on an in-memory page store: building, point searches, a full
// scan along the leaf chain, and range counts from the subtree counts.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/index/IndexBytes.h"
#include "engine/index/IndexDefinition.h"
#include "engine/index/IndexPageChecks.h"
#include "engine/index/IndexTree.h"

using namespace kura;

namespace {

constexpr int kKeys = 100000;

struct TBenchIndex {
  TIndexKeyDefinition Keys;
  TMemoryIndexPageStore Store;
  std::unique_ptr<TIndexPageCache> Cache;
  std::unique_ptr<TIndexTree> Tree;
  int IndexNo = 0;

  TBenchIndex(bool unique, KeyCompression compression, int pagesPerIndex) {
    TIndexKeyField f;
    f.Type = EngineFieldType::Integer;
    f.NullOffset = 9;
    f.StoredSize = 4;
    Keys.Fields = {f};
    Keys.Unique = unique;
    Cache = std::make_unique<TIndexPageCache>(Store);
    Cache->SetPagesPerIndex(pagesPerIndex);
    Cache->CreateNew();
    TIndexDefinition d;
    d.Name = "Bench";
    d.Unique = unique;
    d.Compression = compression;
    TIndexDefinitionField df;
    df.FieldNumber = 1;
    df.Type = EngineFieldType::Integer;
    df.StoredSize = 4;
    d.Fields = {df};
    IndexNo = AddSecondaryIndex(Cache->Header(), d, {});
    Tree = std::make_unique<TIndexTree>(*Cache, IndexNo, Keys);
  }
  std::vector<uint8_t> Key(int32_t value, int32_t autoInc) const {
    std::vector<uint8_t> record(14, 0);
    indexbytes::PutI32LE(record.data() + 5, autoInc);
    record[9] = 1;
    indexbytes::PutI32LE(record.data() + 10, value);
    return Keys.BuildKey(record.data(), record.size());
  }
};

std::vector<int32_t> Shuffled(int n) {
  std::vector<int32_t> v(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) v[static_cast<size_t>(i)] = i;
  std::shuffle(v.begin(), v.end(), std::mt19937(1));
  return v;
}

void BM_InsertRandom(benchmark::State &state) {
  const auto compression = static_cast<KeyCompression>(state.range(0));
  const int pages = static_cast<int>(state.range(1));
  std::vector<int32_t> values = Shuffled(kKeys);
  for (auto _ : state) {
    TBenchIndex index(false, compression, pages);
    for (int i = 0; i < kKeys; ++i) {
      index.Tree->Insert(index.Key(values[static_cast<size_t>(i)], i + 1).data(), static_cast<uint32_t>(i + 1));
      if (i % 64 == 0) index.Cache->Trim();
    }
    index.Cache->Flush();
  }
  state.SetItemsProcessed(state.iterations() * kKeys);
}
BENCHMARK(BM_InsertRandom)->Args({0, 2})->Args({0, 1024})->Args({3, 2})->Args({3, 1024})->Unit(benchmark::kMillisecond);

void BM_PointSearch(benchmark::State &state) {
  TBenchIndex index(true, KeyCompression::None, static_cast<int>(state.range(0)));
  std::vector<int32_t> values = Shuffled(kKeys);
  for (int i = 0; i < kKeys; ++i) index.Tree->Insert(index.Key(i, i + 1).data(), static_cast<uint32_t>(i + 1));
  index.Cache->Flush();
  index.Cache->Trim();
  size_t n = 0;
  for (auto _ : state) {
    std::vector<uint8_t> key = index.Key(values[n++ % values.size()], 0);
    benchmark::DoNotOptimize(index.Tree->SearchFirstAtOrAfter(key.data(), 5));
  }
}
BENCHMARK(BM_PointSearch)->Arg(2)->Arg(1024);

void BM_FullScan(benchmark::State &state) {
  TBenchIndex index(true, KeyCompression::None, 2);
  for (int i = 0; i < kKeys; ++i) index.Tree->Insert(index.Key(i, i + 1).data(), static_cast<uint32_t>(i + 1));
  index.Cache->Flush();
  for (auto _ : state) {
    TIndexPosition pos = index.Tree->First();
    int64_t seen = 1;
    while (index.Tree->Next(pos)) ++seen;
    benchmark::DoNotOptimize(seen);
  }
  state.SetItemsProcessed(state.iterations() * kKeys);
}
BENCHMARK(BM_FullScan)->Unit(benchmark::kMillisecond);

void BM_RangeCount(benchmark::State &state) {
  TBenchIndex index(true, KeyCompression::None, 2);
  for (int i = 0; i < kKeys; ++i) index.Tree->Insert(index.Key(i, i + 1).data(), static_cast<uint32_t>(i + 1));
  index.Cache->Flush();
  std::mt19937 rng(3);
  for (auto _ : state) {
    int32_t a = static_cast<int32_t>(rng() % kKeys), b = static_cast<int32_t>(rng() % kKeys);
    if (a > b) std::swap(a, b);
    std::vector<uint8_t> lo = index.Key(a, 0), hi = index.Key(b, 0);
    int64_t count = index.Tree->SearchLastAtOrBefore(hi.data(), 5).Ordinal -
                    index.Tree->SearchFirstAtOrAfter(lo.data(), 5).Ordinal + 1;
    benchmark::DoNotOptimize(count);
  }
}
BENCHMARK(BM_RangeCount);

}  // namespace

// --no-page-checks measures the tree without the structural checks made on pages as they are
// read (what they cost is the difference).
int main(int argc, char **argv) {
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--no-page-checks") IndexPageChecksEnabled() = false;
    else argv[kept++] = argv[i];
  }
  argc = kept;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
