// Posts on a shared table, one at a time, each written through to the files as it returns: the
// table has a primary index and two secondary indexes with duplicates. Then point finds with
// strict change detection, where every read takes the table's read lock and checks the files.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "engine/cursor/DataCursor.h"
#include "engine/table/DataSession.h"
#include "engine/table/Engine.h"

using namespace kura;
using Clock = std::chrono::steady_clock;

namespace {

TFieldDescriptor Field(const std::string &name, EngineFieldType type, uint8_t size = 0) {
  TFieldDescriptor f;
  f.Name = name;
  f.Type = type;
  f.DeclaredSize = size;
  return f;
}

TIndexDefinition Index(const std::string &name, std::vector<uint16_t> fields) {
  TIndexDefinition d;
  d.Name = name;
  for (uint16_t n : fields) {
    TIndexDefinitionField f;
    f.FieldNumber = n;
    d.Fields.push_back(f);
  }
  d.Unique = name.empty();
  return d;
}

double MicrosPer(Clock::time_point start, int count) {
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count() / count;
}

}  // namespace

int main() {
  const int appends = 4000, modifies = 4000, deletes = 2000, finds = 20000;
  const std::string dir = (std::filesystem::temp_directory_path() / "kura-post-bench").string();
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  StartEngine();
  TDataDirectory *d = DefaultSession().OpenDataDirectory("bench", dir);
  {
    TDataFileDefinition def;
    def.Fields = {Field("Code", EngineFieldType::Integer), Field("Name", EngineFieldType::String, 16),
                  Field("Value", EngineFieldType::Integer)};
    TDataCursor creator(d, "posts");
    creator.CreateTable(def, {Index("", {1}), Index("ByName", {2}), Index("ByValueName", {3, 2})});
  }
  TDataCursor c(d, "posts");
  c.OpenCursor();
  std::vector<uint8_t> rec = c.NewRecordBuffer(), key = c.NewRecordBuffer();
  std::mt19937 random(11);
  auto name = [&] { return "n" + std::to_string(random() % 97); };

  auto start = Clock::now();
  for (int i = 1; i <= appends; ++i) {
    std::fill(rec.begin(), rec.end(), 0);
    c.InitRecord(rec.data());
    c.SetInteger(1, rec.data(), i);
    c.SetString(2, rec.data(), name());
    c.SetInteger(3, rec.data(), static_cast<int32_t>(random() % 2001) - 1000);
    c.AppendRecord(rec.data());
  }
  std::printf("shared append:  %8.1f us per post (%d posts)\n", MicrosPer(start, appends), appends);

  start = Clock::now();
  for (int i = 0; i < modifies; ++i) {
    c.SetInteger(1, key.data(), 1 + static_cast<int32_t>(random() % appends));
    if (!c.Find(key.data(), false, 1, 0, false, rec.data())) continue;
    c.GetCurRecord(rec.data(), true);
    c.SetString(2, rec.data(), name());
    c.SetInteger(3, rec.data(), static_cast<int32_t>(random() % 2001) - 1000);
    c.ModifyRecord(rec.data());
  }
  std::printf("shared modify:  %8.1f us per post (%d posts, find included)\n", MicrosPer(start, modifies), modifies);

  start = Clock::now();
  int deleted = 0;
  for (int i = 1; i <= appends && deleted < deletes; i += 2) {
    c.SetInteger(1, key.data(), i);
    if (!c.Find(key.data(), false, 1, 0, false, rec.data())) continue;
    c.DeleteRecord(rec.data());
    ++deleted;
  }
  std::printf("shared delete:  %8.1f us per post (%d posts, find included)\n", MicrosPer(start, deleted), deleted);

  DefaultSession().Settings.StrictChangeDetection = true;
  start = Clock::now();
  int found = 0;
  for (int i = 0; i < finds; ++i) {
    c.SetInteger(1, key.data(), 1 + static_cast<int32_t>(random() % appends));
    found += c.Find(key.data(), false, 1, 0, false, rec.data()) ? 1 : 0;
  }
  std::printf("strict finds:   %8.1f us per find (%d finds, %d found)\n", MicrosPer(start, finds), finds, found);
  c.CloseCursor();
  StopEngine();
  std::filesystem::remove_all(dir);
  return 0;
}
