// Where a change cannot be made safe, kura-sql refuses it and says which table; where a dead
// writer's change cannot be completed, the table is not read half-written.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/fault/KuraSqlRun.h"

using namespace kura::faulttest;

namespace {

const std::string kTable = "CREATE TABLE t (id INTEGER, v INTEGER, PRIMARY KEY (id));\nINSERT INTO t VALUES (1, 1);\n";

fs::path FreshDirectory(const std::string &name) {
  const fs::path dir = Scratch() / name;
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

void SetWritable(const fs::path &dir, bool writable) {
  for (const auto &entry : fs::directory_iterator(dir))
    fs::permissions(entry.path(), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    writable ? fs::perm_options::add : fs::perm_options::remove);
}

TEST(JournalRefusal, AJournalThatCannotBeWrittenRefusesTheChangeNamingTheTable) {
  const fs::path dir = FreshDirectory("readonly-journal");
  ASSERT_EQ(RunSql(dir, kTable).Status, 0);
  ASSERT_TRUE(fs::exists(dir / "t.JNL"));
  fs::permissions(dir / "t.JNL", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  const TRun insert = RunSql(dir, "INSERT INTO t VALUES (2, 2);\n");
  EXPECT_EQ(insert.Status, 1);
  EXPECT_NE(insert.Err.find("table 't'"), std::string::npos) << insert.Err;
  EXPECT_EQ(insert.Err.find(".JNL"), std::string::npos) << insert.Err;
  const TRun read = RunSql(dir, "SELECT COUNT(*) FROM t;\n");
  EXPECT_EQ(read.Status, 0) << read.Err;
  EXPECT_EQ(read.Out, "COUNT(*)\n1\n");
}

TEST(JournalRefusal, WhereNoJournalCanBeMadeTheChangeIsRefused) {
  const fs::path dir = FreshDirectory("no-journal");
  ASSERT_EQ(RunSql(dir, "CREATE TABLE t (id INTEGER, v INTEGER, PRIMARY KEY (id));\n").Status, 0);
  if (fs::exists(dir / "t.JNL")) fs::remove(dir / "t.JNL");
  const std::string deny = "KURA_FAULT_DENY_CREATE=.JNL " + FaultEnv(dir, "count", 0);
  const TRun insert = RunSql(dir, "INSERT INTO t VALUES (1, 1);\n", deny);
  EXPECT_EQ(insert.Status, 1);
  EXPECT_NE(insert.Err.find("table 't'"), std::string::npos) << insert.Err;
  const TRun read = RunSql(dir, "SELECT COUNT(*) FROM t;\n");
  EXPECT_EQ(read.Out, "COUNT(*)\n0\n") << read.Err;
}

TEST(JournalRefusal, ADeadWritersChangeOnFilesThatCannotBeWrittenIsNotRead) {
  const fs::path dir = FreshDirectory("readonly-pending");
  ASSERT_EQ(RunSql(dir, kTable).Status, 0);
  // Stopped right after its journal was written: the change is pending.
  const TRun stopped = RunSql(dir, "INSERT INTO t VALUES (2, 2);\n", FaultEnv(dir, "crash", 2));
  ASSERT_EQ(stopped.Status, 86);
  SetWritable(dir, false);
  const TRun refused = RunSql(dir, "SELECT * FROM t;\n");
  EXPECT_EQ(refused.Status, 1) << refused.Out;
  EXPECT_NE(refused.Err.find("table 't'"), std::string::npos) << refused.Err;
  SetWritable(dir, true);
  // Once the files can be written, the first reader completes the change.
  const TRun read = RunSql(dir, "SELECT * FROM t;\n");
  EXPECT_EQ(read.Status, 0) << read.Err;
  EXPECT_EQ(read.Out, "id\tv\n1\t1\n2\t2\n");
}

}  // namespace
