// kura-sql run as a user runs it, stopped (cleanly or in the middle of a write) or starved of
// disk space at the points where it changes a table's files, or run with every commit synced
// and one sync failing with EIO (the LD_PRELOAD fault injector of FaultInjector.c). After each run the tables are read back with kura-sql: a plain SELECT
// first, then counts, primary-key and index-served queries and a scan, which must all agree;
// the tables must hold the state before the operation or after it, nothing in between; and so
// must they after the next writer has been at them. A run starved of space must say it failed
// exactly when it left no trace; a run whose sync failed must say it failed (its change may
// then be there or not: it was not known to be on the disk).
//
// By default a few points of every operation are tried; KURA_FAULT_SWEEP=all tries every one
// (the kura_fault_sweep target).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/fault/KuraSqlRun.h"
#include "tests/fault/TableStates.h"

namespace fs = std::filesystem;
using namespace kura::faulttest;

namespace {

struct TScenario {
  std::string Name;
  std::vector<std::string> Tables;  // each has an INTEGER id and an INTEGER v column
  std::string Setup;
  std::string Operation;
  bool Visible = true;  // whether kura-sql shows what the operation changes
  std::string Env;      // environment of the operation's runs
};

std::string Rows(const std::string &table, int from, int to, const std::string &extra = "") {
  std::string sql;
  for (int i = from; i <= to; ++i)
    sql += "INSERT INTO " + table + " VALUES (" + std::to_string(i) + ", " + std::to_string(i * 7 % 50) + extra + ");\n";
  return sql;
}

std::vector<TScenario> Scenarios() {
  const std::string table = "CREATE TABLE t (id INTEGER, v INTEGER, name VARCHAR(20), PRIMARY KEY (id));\n"
                            "CREATE INDEX bv ON t (v);\nCREATE INDEX bn ON t (name);\n";
  std::string filled = table;
  for (int i = 1; i <= 300; ++i)
    filled += "INSERT INTO t VALUES (" + std::to_string(i) + ", " + std::to_string(i * 7 % 50) + ", 'n" +
              std::to_string(i % 13) + "');\n";
  // Enough rows for the index pages to leave the cache while an index is built.
  std::string large = table + "START TRANSACTION;\n";
  for (int i = 1; i <= 3000; ++i)
    large += "INSERT INTO t VALUES (" + std::to_string(i) + ", " + std::to_string(i * 7 % 500) + ", 'n" +
             std::to_string(i % 113) + "');\n";
  large += "COMMIT;\n";
  const std::string pair = "CREATE TABLE a (id INTEGER, v INTEGER, PRIMARY KEY (id));\nCREATE INDEX av ON a (v);\n"
                           "CREATE TABLE b (id INTEGER, v INTEGER, PRIMARY KEY (id));\nCREATE INDEX bv ON b (v);\n" +
                           Rows("a", 1, 40) + Rows("b", 1, 40);
  std::string transfers = "START TRANSACTION;\n";
  for (int i = 1; i <= 6; ++i)
    transfers += "UPDATE a SET v = v - 1 WHERE id = " + std::to_string(i) + ";\nUPDATE b SET v = v + 1 WHERE id = " +
                 std::to_string(i) + ";\n";
  transfers += "INSERT INTO b VALUES (1000, 1);\nCOMMIT;\n";
  const std::string memo = "CREATE TABLE m (id INTEGER, v INTEGER, note MEMO, PRIMARY KEY (id));\n" +
                           Rows("m", 1, 10, ", 'short note'");
  const std::string longText(5000, 'x');
  std::string bigTransaction = "START TRANSACTION;\nUPDATE t SET id = 0 - id;\nUPDATE t SET v = v + 1;\nCOMMIT;\n";
  // More memo blocks than the blob cache holds (64): the transaction writes them out to its
  // journal as it goes, rewrites some of them, frees others, and reads them back.
  std::string memos = "START TRANSACTION;\n";
  for (int i = 100; i < 130; ++i)
    memos += "INSERT INTO m VALUES (" + std::to_string(i) + ", 1, '" + std::string(3000 + i, static_cast<char>('a' + i % 26)) + "');\n";
  memos += "UPDATE m SET note = '" + std::string(4000, 'u') + "' WHERE id BETWEEN 100 AND 109;\n"
           "DELETE FROM m WHERE id >= 125;\nUPDATE m SET v = LENGTH(note) WHERE id = 120;\nCOMMIT;\n";
  // Records of about a kilobyte: 1 100 appended at once reach the data file as more than one write.
  std::string wide = "CREATE TABLE w (id INTEGER, v INTEGER, a VARCHAR(250), b VARCHAR(250), c VARCHAR(250), "
                     "d VARCHAR(250), PRIMARY KEY (id));\n";
  const std::string words(240, 'w');
  for (int i = 1; i <= 1100; ++i)
    wide += "INSERT INTO w VALUES (" + std::to_string(i) + ", " + std::to_string(i % 7) + ", '" + words + "a', '" +
            words + "b', '" + words + "c', '" + std::to_string(i) + "');\n";
  return {
      {"SingleInsert", {"t"}, filled, "INSERT INTO t VALUES (1001, 3, 'new');\n"},
      {"InsertSelect", {"t"}, filled, "INSERT INTO t SELECT id + 1000, v, name FROM t;\n"},
      {"UpdateMany", {"t"}, filled, "UPDATE t SET v = v + 100, name = 'changed' WHERE id > 20;\n"},
      {"DeleteMany", {"t"}, filled, "DELETE FROM t WHERE id > 40;\n"},
      // Records 50 slots apart: each file's changes reach it as one write spanning the records
      // (and index pages) in between, which a torn write cuts anywhere.
      {"UpdateScattered", {"t"}, filled, "UPDATE t SET name = 'scattered' WHERE v = 3;\n"},
      {"Transaction", {"a", "b"}, pair, transfers},
      {"CreateIndex", {"t"}, filled, "CREATE INDEX bvn ON t (v, name);\n"},
      {"DropIndex", {"t"}, filled, "DROP INDEX t.bv;\n"},
      {"CreateIndexLarge", {"t"}, large, "CREATE INDEX bvn ON t (v, name);\n", true, "KURA_INDEX_BUFFER_BYTES=16384"},
      {"AlterAddColumn", {"t"}, filled, "ALTER TABLE t ADD COLUMN w INTEGER;\n"},
      // An index-only restructure that writes a new primary index larger than the index cache.
      {"AlterPrimaryKeyLarge", {"t"}, large, "ALTER TABLE t REDEFINE PRIMARY KEY (v, id);\n", true,
       "KURA_INDEX_BUFFER_BYTES=16384"},
      {"AlterDropPrimaryKey", {"t"}, filled, "ALTER TABLE t DROP PRIMARY KEY;\n"},
      // Without backups the old files are deleted by the swap's plan: a plan found again after
      // the swap must not move the new files away.
      {"AlterNoBackup", {"t"}, filled, "ALTER TABLE t ADD COLUMN w INTEGER NOBACKUP;\n"},
      {"AlterDescription", {"t"}, filled, "ALTER TABLE t REDEFINE name DESCRIPTION 'who';\n", false},
      {"MemoInsert", {"m"}, memo, "INSERT INTO m VALUES (100, 1, '" + longText + "');\n"},
      {"MemoUpdate", {"m"}, memo, "UPDATE m SET note = '" + longText + "' WHERE id <= 3;\n"},
      // A memo longer than one blob write takes (a megabyte): its blocks reach the file in parts.
      {"MemoLarge", {"m"}, memo, "INSERT INTO m VALUES (101, 1, '" + std::string(1300000, 'y') + "');\n"},
      // In a transaction its blocks reach the journal's body as they are written, between the
      // entries held in memory before and after them.
      {"MemoLargeInTransaction", {"m"}, memo,
       "START TRANSACTION;\nUPDATE m SET v = 2 WHERE id = 3;\nINSERT INTO m VALUES (101, 1, '" +
           std::string(1300000, 'y') + "');\nUPDATE m SET v = 3 WHERE id = 4;\nCOMMIT;\n"},
      {"MemosGatheredInTransaction", {"m"}, memo, memos, true, "KURA_JOURNAL_SPILL_BYTES=16384"},
      // Units far beyond what the journal holds in memory (16 KiB here): spilled to its body.
      {"LargeTransaction", {"t"}, filled, bigTransaction, true, "KURA_JOURNAL_SPILL_BYTES=16384"},
      {"LargeInsertSelect", {"t"}, filled, "INSERT INTO t SELECT id + 1000, v, name FROM t;\n", true,
       "KURA_JOURNAL_SPILL_BYTES=16384"},
      // In a transaction, so that no intermediate commits split it (every 32 rows of this size).
      {"WideRecordsInsertSelect", {"w"}, wide,
       "START TRANSACTION;\nINSERT INTO w SELECT id + 2000, v, a, b, c, d FROM w;\nCOMMIT;\n"},
  };
}

// The next writer: one row into the first table.
const std::string kWriterRow = "900000";
std::string WriterSql(const std::string &table) { return "INSERT INTO " + table + " (id, v) VALUES (" + kWriterRow + ", 1);\n"; }

// The state without the writer's row (which must be there).
bool TakeWriterRow(TState &state, const std::string &table) {
  std::vector<std::string> &rows = state.Rows[table];
  for (auto it = rows.begin(); it != rows.end(); ++it)
    if (it->rfind(kWriterRow + "\t", 0) == 0) {
      rows.erase(it);
      return true;
    }
  return false;
}

// Files of names other than the tables' (left by a stopped run) are strays.
std::vector<std::string> StrayFiles(const fs::path &dir, const std::vector<std::string> &tables) {
  std::vector<std::string> strays;
  for (const auto &entry : fs::directory_iterator(dir)) {
    std::string stem = entry.path().stem().string(), ext = entry.path().extension().string();
    std::transform(stem.begin(), stem.end(), stem.begin(), ::tolower);
    static const std::set<std::string> known = {".DAT", ".IDX", ".BLB", ".JNL", ".DBK", ".IBK", ".BBK"};
    if (std::find(tables.begin(), tables.end(), stem) == tables.end() || !known.count(ext))
      strays.push_back(entry.path().filename().string());
  }
  return strays;
}

struct TTally {
  int Runs = 0;
  int Bad = 0;
};

class FaultSweep : public ::testing::TestWithParam<TScenario> {
 protected:
  static bool All() {
    const char *sweep = std::getenv("KURA_FAULT_SWEEP");
    return sweep && std::string(sweep) == "all";
  }
  // The points tried: every one, or a handful spread over the operation.
  static std::vector<long> Points(long count) {
    std::vector<long> points;
    if (All()) {
      for (long k = 1; k <= count; ++k) points.push_back(k);
      return points;
    }
    // The journal write, one in the middle, the last.
    for (long k : {std::min(2L, count), std::max(1L, count / 2), count}) points.push_back(k);
    std::sort(points.begin(), points.end());
    points.erase(std::unique(points.begin(), points.end()), points.end());
    return points;
  }
};

TEST_P(FaultSweep, EveryStopAndFullDiskLeavesTheOperationWholeOrAbsent) {
  const TScenario &s = GetParam();
  const fs::path base = Scratch() / s.Name;
  const fs::path start = base / "start", work = base / "work";
  fs::remove_all(base);
  fs::create_directories(start);
  const TRun setup = RunSql(start, s.Setup);
  ASSERT_EQ(setup.Status, 0) << setup.Err;
  const TRead before = ReadTables(start, s.Tables);
  ASSERT_TRUE(before.Problems.empty()) << before.Problems.front();

  // The operation undisturbed, counting its points.
  fs::copy(start, work, fs::copy_options::recursive);
  const fs::path countFile = base / "count";
  const TRun counted = RunSql(work, s.Operation, s.Env + " " + FaultEnv(work, "count", 0, countFile));
  ASSERT_EQ(counted.Status, 0) << counted.Err;
  const long points = std::atol(ReadFile(countFile).c_str());
  ASSERT_GT(points, 0);
  const TRead after = ReadTables(work, s.Tables);
  ASSERT_TRUE(after.Problems.empty()) << after.Problems.front();
  ASSERT_EQ(after.State == before.State, !s.Visible) << "the operation changes what is shown";

  TTally stops, full;
  std::vector<std::string> failures;
  auto judge = [&](const std::string &what, int status, bool inDoubt = false) {
    std::vector<std::string> problems;
    const TRead read = ReadTables(work, s.Tables);
    problems = read.Problems;
    const bool isBefore = read.State == before.State, isAfter = read.State == after.State;
    if (problems.empty() && !isBefore && !isAfter) problems.push_back("the tables hold neither the state before nor after");
    if (status == 0 && !isAfter && problems.empty()) problems.push_back("reported success but the change is not there");
    if (status != 0 && status != 86 && !isBefore && !inDoubt && problems.empty())
      problems.push_back("reported failure but the change is there");
    if (inDoubt && status == 0) problems.push_back("a failed sync was reported as success");
    // The next writer, then everything again.
    const TRun writer = RunSql(work, WriterSql(s.Tables.front()));
    if (writer.Status != 0) problems.push_back("the next writer failed: " + writer.Err);
    TRead later = ReadTables(work, s.Tables);
    if (!later.Problems.empty()) problems.push_back("after the next writer: " + later.Problems.front());
    if (writer.Status == 0 && later.Problems.empty()) {
      if (!TakeWriterRow(later.State, s.Tables.front())) problems.push_back("the next writer's row is missing");
      if (!(later.State == read.State)) problems.push_back("the next writer changed what the operation left");
    }
    for (const std::string &stray : StrayFiles(work, s.Tables)) problems.push_back("stray file " + stray);
    for (const std::string &p : problems) failures.push_back(s.Name + " " + what + ": " + p);
    return problems.empty();
  };
  for (long k : Points(points)) {
    for (const std::string mode : {"crash", "torn"}) {
      fs::remove_all(work);
      fs::copy(start, work, fs::copy_options::recursive);
      const TRun run = RunSql(work, s.Operation, s.Env + " " + FaultEnv(work, mode, k));
      ++stops.Runs;
      if (!judge(mode + " at " + std::to_string(k) + "/" + std::to_string(points), run.Status)) ++stops.Bad;
    }
    fs::remove_all(work);
    fs::copy(start, work, fs::copy_options::recursive);
    const TRun run = RunSql(work, s.Operation, s.Env + " " + FaultEnv(work, "full", k));
    ++full.Runs;
    if (run.Status == 0 && run.Err.size()) failures.push_back(s.Name + " full: success with messages " + run.Err);
    if (run.Status != 0 && run.Err.find("the disk is full") == std::string::npos)
      failures.push_back(s.Name + " full from " + std::to_string(k) + ": failure without saying the disk is full: " + run.Err);
    if (!judge("disk full from " + std::to_string(k) + "/" + std::to_string(points), run.Status)) ++full.Bad;
  }
  // Every commit synced, one sync failing with EIO.
  const std::string synced = ".sync on\n" + s.Operation;
  fs::remove_all(work);
  fs::copy(start, work, fs::copy_options::recursive);
  const TRun syncCounted = RunSql(work, synced, s.Env + " " + FaultEnv(work, "count", 0, countFile));
  ASSERT_EQ(syncCounted.Status, 0) << syncCounted.Err;
  long syncs = 0;
  {
    std::istringstream counts(ReadFile(countFile));
    long ignored = 0;
    counts >> ignored >> syncs;
  }
  EXPECT_GT(syncs, 0) << "a synced run made no sync";
  const TRead syncedAfter = ReadTables(work, s.Tables);
  EXPECT_TRUE(syncedAfter.Problems.empty() && syncedAfter.State == after.State) << "the synced run differs";
  TTally eio;
  std::vector<long> syncPoints = Points(syncs);
  syncPoints.insert(syncPoints.begin(), 1);  // the first: the journal's, before any file changes
  syncPoints.erase(std::unique(syncPoints.begin(), syncPoints.end()), syncPoints.end());
  for (long k : syncPoints) {
    fs::remove_all(work);
    fs::copy(start, work, fs::copy_options::recursive);
    const TRun run = RunSql(work, synced, s.Env + " " + FaultEnv(work, "eio", k));
    ++eio.Runs;
    if (run.Status != 0 && run.Err.find("Error writing") == std::string::npos)
      failures.push_back(s.Name + " eio at sync " + std::to_string(k) + ": failure without a write error: " + run.Err);
    if (!judge("eio at sync " + std::to_string(k) + "/" + std::to_string(syncs), run.Status, true)) ++eio.Bad;
  }
  std::printf("[ figures  ] %s: %ld points, %d stopped runs (%d damaged), %d disk-full runs (%d wrong), %ld syncs, "
              "%d failed-sync runs (%d wrong)\n",
              s.Name.c_str(), points, stops.Runs, stops.Bad, full.Runs, full.Bad, syncs, eio.Runs, eio.Bad);
  for (size_t i = 0; i < failures.size() && i < 12; ++i) ADD_FAILURE() << failures[i];
  EXPECT_EQ(stops.Bad + full.Bad + eio.Bad, 0) << failures.size() << " problems";
  fs::remove_all(base);
}

void PrintTo(const TScenario &s, std::ostream *out) { *out << s.Name; }

// A table that cannot be made for want of space leaves no file behind.
TEST(FaultCreateTable, AFullDiskLeavesNoFilesOfTheTable) {
  const fs::path dir = Scratch() / "create";
  const std::string create = "CREATE TABLE t (id INTEGER, v INTEGER, note MEMO, PRIMARY KEY (id));\n";
  fs::remove_all(dir);
  fs::create_directories(dir);
  const fs::path countFile = Scratch() / "create.count";
  ASSERT_EQ(RunSql(dir, create, FaultEnv(dir, "count", 0, countFile)).Status, 0);
  const long points = std::atol(ReadFile(countFile).c_str());
  ASSERT_GT(points, 1);
  for (long k = 1; k <= points; ++k) {
    fs::remove_all(dir);
    fs::create_directories(dir);
    const TRun run = RunSql(dir, create, FaultEnv(dir, "full", k));
    std::vector<std::string> files;
    for (const auto &entry : fs::directory_iterator(dir)) files.push_back(entry.path().filename().string());
    if (run.Status != 0) {
      EXPECT_TRUE(files.empty()) << "disk full from " << k << ": " << files.front() << " left";
      EXPECT_NE(run.Err.find("the disk is full"), std::string::npos) << run.Err;
    } else {
      const TRun read = RunSql(dir, "SELECT COUNT(*) FROM t;\n");
      EXPECT_EQ(read.Status, 0) << "disk full from " << k << ": " << read.Err;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Operations, FaultSweep, ::testing::ValuesIn(Scenarios()),
                         [](const ::testing::TestParamInfo<TScenario> &info) { return info.param.Name; });

}  // namespace
