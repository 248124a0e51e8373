// Commits that must survive a power loss (kura-sql's ".sync on", COMMIT FLUSH), run under the
// fault injector's log of every change and sync:
//  - the order of writes and syncs keeps the rules of SyncOrderBreaches for every kind of
//    commit (one table, a transaction over two tables, a unit spilled to the journal's body,
//    CREATE TABLE, CREATE INDEX, ALTER TABLE with its file swap, DROP TABLE), and a run
//    without flushing makes no sync at all;
//  - a power loss just before any sync of the run, with only what was synced on the disk (and
//    once more with the table files' unsynced writes on it too), leaves the tables as they were
//    before or after the commit, and a power loss after the run leaves them as after.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/fault/KuraSqlRun.h"
#include "tests/fault/SyncLog.h"
#include "tests/fault/TableStates.h"

namespace fs = std::filesystem;
using namespace kura::faulttest;

namespace {

struct TCommitKind {
  std::string Name;
  std::vector<std::string> Tables;  // read back to judge a power loss (empty: not judged)
  std::string Setup;
  std::string Operation;
  bool Sync = true;  // run with ".sync on"
  std::string Env;
};

std::string Rows(const std::string &table, int from, int to, const std::string &extra = "") {
  std::string sql;
  for (int i = from; i <= to; ++i)
    sql += "INSERT INTO " + table + " VALUES (" + std::to_string(i) + ", " + std::to_string(i * 7 % 50) + extra + ");\n";
  return sql;
}

std::vector<TCommitKind> Kinds() {
  const std::string filled = "CREATE TABLE t (id INTEGER, v INTEGER, name VARCHAR(20), PRIMARY KEY (id));\n"
                             "CREATE INDEX bv ON t (v);\n" +
                             Rows("t", 1, 80, ", 'n'");
  const std::string pair = "CREATE TABLE a (id INTEGER, v INTEGER, PRIMARY KEY (id));\nCREATE INDEX av ON a (v);\n"
                           "CREATE TABLE b (id INTEGER, v INTEGER, PRIMARY KEY (id));\n" +
                           Rows("a", 1, 30) + Rows("b", 1, 30);
  const std::string memo =
      "CREATE TABLE m (id INTEGER, v INTEGER, note MEMO, PRIMARY KEY (id));\n" + Rows("m", 1, 10, ", 'short'");
  const std::string transfer = "START TRANSACTION;\nUPDATE a SET v = v - 1 WHERE id = 3;\n"
                               "UPDATE b SET v = v + 1 WHERE id = 3;\nINSERT INTO b VALUES (500, 1);\nCOMMIT;\n";
  std::string gathered = "START TRANSACTION;\n";
  for (int i = 100; i < 120; ++i) gathered += "INSERT INTO m VALUES (" + std::to_string(i) + ", 1, '" + std::string(3000 + i, 'g') + "');\n";
  gathered += "COMMIT;\n";
  return {
      {"Insert", {"t"}, filled, "INSERT INTO t VALUES (1001, 3, 'new');\n"},
      {"UpdateMany", {"t"}, filled, "UPDATE t SET v = v + 100 WHERE id > 20;\n"},
      {"TwoTables", {"a", "b"}, pair, transfer},
      {"Memo", {"m"}, memo, "UPDATE m SET note = '" + std::string(5000, 'x') + "' WHERE id <= 3;\n"},
      {"Spilled", {"t"}, filled, "UPDATE t SET v = v + 1, name = 'spilled';\n", true, "KURA_JOURNAL_SPILL_BYTES=4096"},
      // More memo blocks than the blob cache holds: gathered in the journal's body before the commit.
      {"MemosGathered", {"m"}, memo, gathered, true, "KURA_JOURNAL_SPILL_BYTES=16384"},
      {"CreateIndex", {"t"}, filled, "CREATE INDEX bn ON t (name, v);\n"},
      {"Alter", {"t"}, filled, "ALTER TABLE t ADD COLUMN w INTEGER;\n"},
      {"AlterNoBackup", {"t"}, filled, "ALTER TABLE t ADD COLUMN w INTEGER NOBACKUP;\n"},
      {"CommitFlush", {"a", "b"}, pair, transfer.substr(0, transfer.size() - 8) + "COMMIT FLUSH;\n", false},
      {"CreateTable", {}, "", "CREATE TABLE n (id INTEGER, note MEMO, PRIMARY KEY (id));\nINSERT INTO n VALUES (1, 'x');\n"},
      {"DropTable", {}, filled, "DROP TABLE t;\n"},
  };
}

struct TLoggedRun {
  TRun Run;
  std::vector<TSyncEvent> Events;
};

// Runs the operation on dir with the injector logging every change and sync.
TLoggedRun RunLogged(const fs::path &dir, const TCommitKind &kind, const fs::path &log, const fs::path &data) {
  fs::remove(log);
  const std::string env = kind.Env + " " + FaultEnv(dir, "count", 0) + " KURA_FAULT_LOG='" + log.string() +
                          "' KURA_FAULT_DATA='" + data.string() + "'";
  TLoggedRun logged;
  logged.Run = RunSql(dir, (kind.Sync ? ".sync on\n" : "") + kind.Operation, env);
  logged.Events = ReadSyncLog(log);
  return logged;
}

long SyncCount(const std::vector<TSyncEvent> &events) {
  return std::count_if(events.begin(), events.end(), [](const TSyncEvent &e) { return e.Op == 'S'; });
}

void PrintTo(const TCommitKind &kind, std::ostream *out) { *out << kind.Name; }

class DurableCommit : public ::testing::TestWithParam<TCommitKind> {
 protected:
  void SetUp() override {
    const TCommitKind &kind = GetParam();
    Base = Scratch() / ("durable-" + kind.Name);
    Start = Base / "start";
    Work = Base / "work";
    fs::remove_all(Base);
    fs::create_directories(Start);
    if (!kind.Setup.empty()) ASSERT_EQ(RunSql(Start, kind.Setup).Status, 0);
    fs::copy(Start, Work, fs::copy_options::recursive);
  }
  void TearDown() override { fs::remove_all(Base); }
  fs::path Base, Start, Work;
};

TEST_P(DurableCommit, WritesAndSyncsKeepTheOrderThatSurvivesAPowerLoss) {
  const TCommitKind &kind = GetParam();
  const TLoggedRun logged = RunLogged(Work, kind, Base / "log", Base / "data");
  ASSERT_EQ(logged.Run.Status, 0) << logged.Run.Err;
  const long syncs = SyncCount(logged.Events);
  std::printf("[ figures  ] %s: %zu changes and syncs, %ld syncs\n", kind.Name.c_str(), logged.Events.size(), syncs);
  EXPECT_GT(syncs, 0);
  const std::vector<std::string> breaches = SyncOrderBreaches(logged.Events);
  for (size_t i = 0; i < breaches.size() && i < 10; ++i) ADD_FAILURE() << breaches[i];
}

// The kinds whose tables exist before and after the commit.
class DurablePowerLoss : public DurableCommit {};

TEST_P(DurablePowerLoss, LeavesTheStateBeforeOrAfterAndAfterOnceDone) {
  const TCommitKind &kind = GetParam();
  const TRead before = ReadTables(Start, kind.Tables);
  ASSERT_TRUE(before.Problems.empty()) << before.Problems.front();
  const TLoggedRun logged = RunLogged(Work, kind, Base / "log", Base / "data");
  ASSERT_EQ(logged.Run.Status, 0) << logged.Run.Err;
  const fs::path final = Base / "final";
  fs::copy(Work, final, fs::copy_options::recursive);
  const TRead after = ReadTables(Work, kind.Tables);
  ASSERT_TRUE(after.Problems.empty()) << after.Problems.front();

  std::vector<size_t> cuts;
  for (size_t i = 0; i < logged.Events.size(); ++i)
    if (logged.Events[i].Op == 'S') cuts.push_back(i);
  cuts.push_back(logged.Events.size());
  int images = 0;
  for (size_t cut : cuts) {
    for (bool tableWritesSurvive : {false, true}) {
      const fs::path image = Base / "image";
      BuildPowerLossImage(logged.Events, cut, Start, Base / "data", final, image, tableWritesSurvive);
      const TRead read = ReadTables(image, kind.Tables);
      ++images;
      const std::string what = "power loss before event " + std::to_string(cut) + "/" +
                               std::to_string(logged.Events.size()) +
                               (tableWritesSurvive ? " (unsynced table writes kept)" : "");
      if (!read.Problems.empty()) {
        ADD_FAILURE() << what << ": " << read.Problems.front();
        continue;
      }
      const bool isBefore = read.State == before.State, isAfter = read.State == after.State;
      EXPECT_TRUE(isBefore || isAfter) << what << ": neither the state before nor after";
      if (cut == logged.Events.size()) EXPECT_TRUE(isAfter) << what << ": the commit reported done is lost";
    }
  }
  std::printf("[ figures  ] %s: %d power-loss images checked\n", kind.Name.c_str(), images);
}

std::string KindName(const ::testing::TestParamInfo<TCommitKind> &info) { return info.param.Name; }

std::vector<TCommitKind> KindsWithTables() {
  std::vector<TCommitKind> kinds = Kinds();
  kinds.erase(std::remove_if(kinds.begin(), kinds.end(), [](const TCommitKind &k) { return k.Tables.empty(); }),
              kinds.end());
  return kinds;
}

INSTANTIATE_TEST_SUITE_P(Kinds, DurableCommit, ::testing::ValuesIn(Kinds()), KindName);
INSTANTIATE_TEST_SUITE_P(Kinds, DurablePowerLoss, ::testing::ValuesIn(KindsWithTables()), KindName);

// The specified default: without FLUSH and without ForceBufferFlush nothing is synced.
TEST(DurableCommitDefault, CommitsWithoutFlushMakeNoSync) {
  const fs::path dir = Scratch() / "durable-default";
  fs::remove_all(dir);
  fs::create_directories(dir);
  TCommitKind kind{"Default", {}, "", "", false};
  kind.Operation = "CREATE TABLE t (id INTEGER, v INTEGER, PRIMARY KEY (id));\nINSERT INTO t VALUES (1, 1);\n"
                   "START TRANSACTION;\nINSERT INTO t VALUES (2, 2);\nCOMMIT;\nALTER TABLE t ADD COLUMN w INTEGER;\n"
                   "SELECT * FROM t ORDER BY v;\nDROP TABLE t;\n";
  const TLoggedRun logged = RunLogged(dir, kind, Scratch() / "durable-default.log", Scratch() / "durable-default.data");
  ASSERT_EQ(logged.Run.Status, 0) << logged.Run.Err;
  EXPECT_GT(logged.Events.size(), 10u);
  EXPECT_EQ(SyncCount(logged.Events), 0);
  fs::remove_all(dir);
}

}  // namespace
