// Sorting a result table of random rows by a text and an integer field: every record cached
// (in memory) against runs of a few hundred records merged from temporary files.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "engine/data/FieldCodec.h"
#include "engine/index/IndexDefinition.h"
#include "engine/index/IndexFile.h"
#include "engine/sort/SortRecords.h"
#include "engine/table/DataDirectory.h"
#include "engine/table/DataTable.h"
#include "engine/table/Engine.h"

namespace {

using namespace kura;

TFieldDescriptor Field(const std::string &name, EngineFieldType type, uint8_t size = 0) {
  TFieldDescriptor f;
  f.Name = name;
  f.Type = type;
  f.DeclaredSize = size;
  return f;
}

TDataTable *FilledTable(TDataDirectory *directory, const std::string &name, int64_t rows, uint32_t seed) {
  TDataFileDefinition def;
  def.Fields = {Field("Name", EngineFieldType::String, 20), Field("Val", EngineFieldType::Integer),
                Field("Pad", EngineFieldType::Bytes, 60)};
  TDataTable *table = directory->CreateTable(name, def, false);
  auto *index = dynamic_cast<TIndexFile *>(table->IndexFile());
  DefinePrimaryIndex(index->Header(), TIndexDefinition{}, ErrorTexts{});
  TDataFile &file = table->DataFile();
  std::mt19937 random(seed);
  for (int64_t i = 0; i < rows; ++i) {
    TRecord *r = file.AllocateRecord(true);
    std::string text;
    for (int k = 0; k < 8; ++k) text += static_cast<char>('a' + random() % 26);
    SetStringField(file.Field(1), r->Image.data(), text, 0);
    SetIntegerField(file.Field(2), r->Image.data(), static_cast<int32_t>(random() % 100000));
    file.MarkRecordDirty(r);
    file.ReleaseRecord(r);
  }
  return table;
}

void BM_SortRecords(benchmark::State &state, bool external) {
  char pattern[] = "/tmp/kura-sort-bench-XXXXXX";
  if (!::mkdtemp(pattern)) {
    state.SkipWithError("no temporary directory");
    return;
  }
  const std::filesystem::path root = pattern;
  std::filesystem::create_directories(root / "db");
  StartEngine();
  InstallIndexFiles();
  TDataSession &session = DefaultSession();
  session.SetPrivateDir(root.string());
  session.Settings.DataBufferSize = external ? 1u << 20 : 256u << 20;
  session.Settings.DataBufferCount = external ? 512u : 1u << 22;
  TDataDirectory *directory = session.OpenDataDirectory("Bench", (root / "db").string() + "/");
  const int64_t rows = state.range(0);
  int round = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const std::string name = "t" + std::to_string(round++);
    TDataTable *table = FilledTable(directory, name, rows, static_cast<uint32_t>(round));
    TSortRequest request;
    request.Fields = {TSortField{table->DataFile().Field(1), false}, TSortField{table->DataFile().Field(2), true}};
    state.ResumeTiming();
    TSortOutcome outcome = SortRecords(*table, request);
    benchmark::DoNotOptimize(outcome.RowCount);
    state.PauseTiming();
    if (outcome.External != external) state.SkipWithError("the sort took the other path");
    directory->CloseTable(table);
    directory->DeleteTable(name, false);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * rows);
  StopEngine();
  std::filesystem::remove_all(root);
}

BENCHMARK_CAPTURE(BM_SortRecords, InMemory, false)->Arg(5000)->Arg(50000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SortRecords, External, true)->Arg(5000)->Arg(50000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
