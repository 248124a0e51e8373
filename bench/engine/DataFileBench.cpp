// Timings of the data-file layer: appends in a transaction and on an exclusive table, a full
// forward and backward scan through the record cache, random reads, and shared write-through.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "engine/data/FieldCodec.h"
#include "engine/table/DataSession.h"
#include "engine/table/Engine.h"

using namespace kura;
using Clock = std::chrono::steady_clock;

namespace {

TFieldDescriptor Field(const std::string &name, EngineFieldType type, uint8_t size = 0,
                       FieldSubType subType = FieldSubType::None) {
  TFieldDescriptor f;
  f.Name = name;
  f.Type = type;
  f.DeclaredSize = size;
  f.SubType = subType;
  return f;
}

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

void Append(TDataTable &table, int count) {
  TDataFile &file = table.DataFile();
  table.WriteLock();
  for (int k = 0; k < count; ++k) {
    TRecord *r = file.AllocateRecord(table.NoPrimaryKey());
    SetIntegerField(file.Field(2), r->Image.data(), k);
    SetStringField(file.Field(3), r->Image.data(), "record number " + std::to_string(k), 0);
    file.MarkRecordDirty(r);
    file.ReleaseRecord(r);
    table.ChangePosted();
  }
  table.WriteUnlock();
}

}  // namespace

int main() {
  const int count = 100000;
  std::string dir = (std::filesystem::temp_directory_path() / "kura-bench").string();
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  StartEngine();
  TDataDirectory *d = DefaultSession().OpenDataDirectory("bench", dir);
  TDataFileDefinition def;
  def.Fields = {Field("ID", EngineFieldType::Integer, 0, FieldSubType::AutoInc), Field("N", EngineFieldType::Integer),
                Field("S", EngineFieldType::String, 40)};
  d->CloseTable(d->CreateTable("t", def, false));

  TDataTable *t = d->OpenTable("t", false, false, false, false);
  auto start = Clock::now();
  d->StartTransaction();
  Append(*t, count);
  d->CommitTransaction(false);
  std::printf("append %d records in one transaction: %.3f s\n", count, Seconds(start));

  start = Clock::now();
  Append(*t, 2000);
  std::printf("append 2000 records with write-through: %.3f s\n", Seconds(start));
  d->CloseTable(t);

  t = d->OpenTable("t", true, false, false, false);
  start = Clock::now();
  Append(*t, count);
  d->CloseTable(t);
  std::printf("append %d records to an exclusive table (written at close): %.3f s\n", count, Seconds(start));

  t = d->OpenTable("t", false, true, false, false);
  TDataFile &file = t->DataFile();
  int64_t sum = 0;
  start = Clock::now();
  for (int n = 1; n <= file.SlotCount(); ++n) {
    TRecord *r = file.GetRecord(n, ReadForward);
    if (!r) {
      --n;
      continue;
    }
    sum += GetIntegerField(file.Field(2), r->Image.data());
    file.ReleaseRecord(r);
  }
  std::printf("forward scan of %d records: %.3f s (sum %lld)\n", file.SlotCount(), Seconds(start),
              static_cast<long long>(sum));
  file.DropCache();
  start = Clock::now();
  for (int n = file.SlotCount(); n >= 1; --n) {
    TRecord *r = file.GetRecord(n, ReadBackward);
    if (!r) {
      ++n;
      continue;
    }
    file.ReleaseRecord(r);
  }
  std::printf("backward scan: %.3f s\n", Seconds(start));
  std::mt19937 random(7);
  start = Clock::now();
  for (int k = 0; k < count; ++k) {
    int n = 1 + static_cast<int>(random() % static_cast<unsigned>(file.SlotCount()));
    TRecord *r = file.GetRecord(n, ReadForward, 1);
    if (r) file.ReleaseRecord(r);
  }
  std::printf("%d random single-record reads: %.3f s\n", count, Seconds(start));
  d->CloseTable(t);
  StopEngine();
  std::filesystem::remove_all(dir);
  return 0;
}
