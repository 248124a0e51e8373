// Kura cursors against sqlite3 on the same data, in one program:
//   1. append 100 000 records (integer primary key, string secondary index) in one transaction;
//   2. 100 000 random point finds on the primary index;
//   3. a full scan in secondary-index order;
//   4. 1 000 range counts on the secondary index.
// Prints each time and the ratio Kura / SQLite. Usage: kura_cursor_bench [records].
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "engine/cursor/DataCursor.h"
#include "engine/table/DataSession.h"
#include "engine/table/Engine.h"

using namespace kura;

namespace {

using Clock = std::chrono::steady_clock;
double Ms(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double, std::milli>(b - a).count(); }

std::string NameOf(int i) {
  char buffer[24];
  std::snprintf(buffer, sizeof buffer, "name%06d", (i * 7919) % 50000);
  return buffer;
}

void Check(int rc, sqlite3 *db) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
    std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
    std::exit(1);
  }
}

struct TTimes {
  double Append = 0, Finds = 0, Scan = 0, Ranges = 0;
  long Found = 0, Scanned = 0, Counted = 0;
};

TTimes RunKura(const std::string &dir, int records, const std::vector<int> &probes,
               const std::vector<std::pair<std::string, std::string>> &ranges) {
  TTimes t;
  StartEngine();
  TDataDirectory *d = DefaultSession().OpenDataDirectory("bench", dir);
  TDataCursor c(d, "bench");
  TDataFileDefinition def;
  TFieldDescriptor id, name;
  id.Name = "ID";
  id.Type = EngineFieldType::Integer;
  name.Name = "Name";
  name.Type = EngineFieldType::String;
  name.DeclaredSize = 20;
  def.Fields = {id, name};
  TIndexDefinition primary, byName;
  primary.Unique = true;
  primary.Fields.resize(1);
  primary.Fields[0].FieldNumber = 1;
  byName.Name = "ByName";
  byName.Fields.resize(1);
  byName.Fields[0].FieldNumber = 2;
  c.CreateTable(def, {primary, byName}, true);
  c.OpenCursor();
  std::vector<uint8_t> r = c.NewRecordBuffer(), key = c.NewRecordBuffer();

  auto t0 = Clock::now();
  d->StartTransaction();
  for (int i = 0; i < records; ++i) {
    c.SetInteger(1, r.data(), i);
    c.SetString(2, r.data(), NameOf(i));
    c.AppendRecord(r.data(), false);
  }
  d->CommitTransaction(false);
  auto t1 = Clock::now();
  for (int p : probes) {
    c.SetInteger(1, key.data(), p);
    t.Found += c.Find(key.data(), false, 0, 0, false, r.data()) ? 1 : 0;
  }
  auto t2 = Clock::now();
  c.SetIndexName("ByName");
  // A long scan holds the table's read lock once instead of once per record.
  c.ReadLockTable();
  c.SetToBegin();
  while (c.GetNextRecord(r.data()) == KURA_NONE) ++t.Scanned;
  c.ReadUnlockTable();
  auto t3 = Clock::now();
  std::vector<uint8_t> lo = c.NewRecordBuffer(), hi = c.NewRecordBuffer();
  for (const auto &[a, b] : ranges) {
    c.SetString(2, lo.data(), a);
    c.SetString(2, hi.data(), b);
    c.SetRange(lo.data(), hi.data(), false, 1, 0);
    t.Counted += static_cast<long>(c.RecordCount());
  }
  auto t4 = Clock::now();
  c.CloseCursor();
  StopEngine();
  t.Append = Ms(t0, t1);
  t.Finds = Ms(t1, t2);
  t.Scan = Ms(t2, t3);
  t.Ranges = Ms(t3, t4);
  return t;
}

TTimes RunSqlite(const std::string &file, int records, const std::vector<int> &probes,
                 const std::vector<std::pair<std::string, std::string>> &ranges) {
  TTimes t;
  std::filesystem::remove(file);
  sqlite3 *db = nullptr;
  Check(sqlite3_open(file.c_str(), &db), db);
  Check(sqlite3_exec(db, "CREATE TABLE bench (ID INTEGER PRIMARY KEY, Name VARCHAR(20)); CREATE INDEX ByName ON bench(Name);",
                     nullptr, nullptr, nullptr),
        db);
  sqlite3_stmt *insert = nullptr, *find = nullptr, *scan = nullptr, *count = nullptr;
  Check(sqlite3_prepare_v2(db, "INSERT INTO bench VALUES (?, ?)", -1, &insert, nullptr), db);
  Check(sqlite3_prepare_v2(db, "SELECT ID, Name FROM bench WHERE ID = ?", -1, &find, nullptr), db);
  Check(sqlite3_prepare_v2(db, "SELECT ID, Name FROM bench ORDER BY Name", -1, &scan, nullptr), db);
  Check(sqlite3_prepare_v2(db, "SELECT COUNT(*) FROM bench WHERE Name BETWEEN ? AND ?", -1, &count, nullptr), db);

  auto t0 = Clock::now();
  Check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db);
  for (int i = 0; i < records; ++i) {
    std::string name = NameOf(i);
    sqlite3_bind_int(insert, 1, i);
    sqlite3_bind_text(insert, 2, name.c_str(), -1, SQLITE_TRANSIENT);
    Check(sqlite3_step(insert), db);
    sqlite3_reset(insert);
  }
  Check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db);
  auto t1 = Clock::now();
  for (int p : probes) {
    sqlite3_bind_int(find, 1, p);
    if (sqlite3_step(find) == SQLITE_ROW) ++t.Found;
    sqlite3_reset(find);
  }
  auto t2 = Clock::now();
  while (sqlite3_step(scan) == SQLITE_ROW) ++t.Scanned;
  auto t3 = Clock::now();
  for (const auto &[a, b] : ranges) {
    sqlite3_bind_text(count, 1, a.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(count, 2, b.c_str(), -1, SQLITE_TRANSIENT);
    if (sqlite3_step(count) == SQLITE_ROW) t.Counted += sqlite3_column_int64(count, 0);
    sqlite3_reset(count);
  }
  auto t4 = Clock::now();
  sqlite3_finalize(insert);
  sqlite3_finalize(find);
  sqlite3_finalize(scan);
  sqlite3_finalize(count);
  sqlite3_close(db);
  t.Append = Ms(t0, t1);
  t.Finds = Ms(t1, t2);
  t.Scan = Ms(t2, t3);
  t.Ranges = Ms(t3, t4);
  return t;
}

}  // namespace

int main(int argc, char **argv) {
  const int records = argc > 1 ? std::atoi(argv[1]) : 100000;
  const std::string dir = (std::filesystem::temp_directory_path() / "kura-cursor-bench").string();
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  std::mt19937 rng(42);
  std::vector<int> probes(100000);
  for (int &p : probes) p = static_cast<int>(rng() % static_cast<unsigned>(records + records / 10));
  std::vector<std::pair<std::string, std::string>> ranges(1000);
  for (auto &[a, b] : ranges) {
    int x = static_cast<int>(rng() % 50000), y = x + static_cast<int>(rng() % 2000);
    char lo[24], hi[24];
    std::snprintf(lo, sizeof lo, "name%06d", x);
    std::snprintf(hi, sizeof hi, "name%06d", y);
    a = lo;
    b = hi;
  }
  TTimes k = RunKura(dir, records, probes, ranges);
  TTimes s = RunSqlite(dir + "/bench.sqlite", records, probes, ranges);
  std::printf("%-34s %10s %10s %8s\n", "", "Kura ms", "SQLite ms", "ratio");
  auto line = [](const char *what, double a, double b) { std::printf("%-34s %10.1f %10.1f %8.2f\n", what, a, b, a / b); };
  line("append (one transaction)", k.Append, s.Append);
  line("point finds on the primary index", k.Finds, s.Finds);
  line("scan in secondary-index order", k.Scan, s.Scan);
  line("range counts", k.Ranges, s.Ranges);
  std::printf("check: found %ld/%ld, scanned %ld/%ld, counted %ld/%ld\n", k.Found, s.Found, k.Scanned, s.Scanned,
              k.Counted, s.Counted);
  std::filesystem::remove_all(dir);
  return (k.Found == s.Found && k.Scanned == s.Scanned && k.Counted == s.Counted) ? 0 : 1;
}
