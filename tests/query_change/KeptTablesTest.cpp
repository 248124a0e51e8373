// The runner keeping the tables of its SELECTs, and the target of its last INSERT, UPDATE or
// DELETE, open between statements. A SELECT after
// another finds its tables open and must still see what another user changed in between (the
// other user is a second session: its own table objects, caches and locks, excluded like
// another process). Statements that need a table alone (ALTER, DROP, CREATE INDEX, RENAME,
// SELECT INTO over it) run as they would without keeping, and another user's exclusive open
// gets through once the kept tables are released.
#include "engine/errors/EngineError.h"
#include "engine/table/DataDirectory.h"
#include "engine/table/Engine.h"
#include "tests/query_change/ChangeTestSupport.h"

namespace kura::test {
namespace {

class KeptTablesTest : public ChangeTest {
 protected:
  void SetUp() override {
    ChangeTest::SetUp();
    FRunner->SetKeepTablesOpen(true);
    Exec("CREATE TABLE items (ID INTEGER NOT NULL, Word VARCHAR(10), PRIMARY KEY (ID))");
    Exec("INSERT INTO items VALUES (1, 'one')");
    Exec("INSERT INTO items VALUES (2, 'two')");
    Exec("INSERT INTO items VALUES (3, 'three')");
    FOther = &CreateSession();
    FOther->SetPrivateDir((FRoot / "private").string());
    FOtherRunner = std::make_unique<TSqlRunner>(*FOther, DbPath());
  }
  void TearDown() override {
    FOtherRunner.reset();
    DestroySession(FOther);
    ChangeTest::TearDown();
  }

  TDataSession *FOther = nullptr;
  std::unique_ptr<TSqlRunner> FOtherRunner;
};

TEST_F(KeptTablesTest, KeptTablesSeeAnotherUsersChanges) {
  struct Case {
    std::string Change;  // run by the other user between two SELECTs
    std::vector<std::string> Rows, Count;
  };
  const std::vector<Case> cases{
      {"INSERT INTO items VALUES (4, 'four')", {"1|one", "2|two", "3|three", "4|four"}, {"4"}},
      {"UPDATE items SET Word = 'TWO' WHERE ID = 2", {"1|one", "2|TWO", "3|three", "4|four"}, {"4"}},
      {"DELETE FROM items WHERE ID = 1", {"2|TWO", "3|three", "4|four"}, {"3"}},
      {"START TRANSACTION; INSERT INTO items VALUES (9, 'nine'); DELETE FROM items WHERE ID = 3; COMMIT",
       {"2|TWO", "4|four", "9|nine"}, {"3"}},
  };
  EXPECT_EQ(Query("SELECT ID, Word FROM items ORDER BY ID"), (std::vector<std::string>{"1|one", "2|two", "3|three"}));
  for (const Case &c : cases) {
    SCOPED_TRACE(c.Change);
    ASSERT_EQ(FRunner->KeptTableCount(), 1u);
    FOtherRunner->Run(c.Change);
    EXPECT_EQ(Query("SELECT ID, Word FROM items WHERE ID > 0 ORDER BY ID"), c.Rows);
    EXPECT_EQ(Query("SELECT COUNT(*) FROM items"), c.Count);
    EXPECT_EQ(Query("SELECT Word FROM items WHERE ID = 4"), (std::vector<std::string>{"four"}));
  }
}

TEST_F(KeptTablesTest, StatementsThatNeedATableAloneRunWhileItIsKept) {
  const std::vector<std::pair<std::string, std::vector<std::string>>> steps{
      {"CREATE INDEX ByWord ON items (Word)", {"1|one", "3|three", "2|two"}},
      {"ALTER TABLE items ADD COLUMN Extra INTEGER", {"1|one", "3|three", "2|two"}},
      {"SELECT ID, Word INTO copied FROM items WHERE ID < 3", {"1|one", "2|two"}},
      {"SELECT ID, Word INTO copied FROM items WHERE ID > 1", {"2|two", "3|three"}},
      {"DROP TABLE copied", {}},
  };
  for (const auto &[statement, rows] : steps) {
    SCOPED_TRACE(statement);
    Query("SELECT * FROM items");
    if (FRunner->KeptTableCount() == 0) ADD_FAILURE() << "nothing kept";
    EXPECT_NO_THROW(FRunner->Run(statement));
    if (statement.find("copied") != std::string::npos && !rows.empty()) {
      EXPECT_EQ(Query("SELECT ID, Word FROM copied"), rows);  // keeps copied for the next step
    } else if (!rows.empty()) {
      EXPECT_EQ(Query("SELECT ID, Word FROM items ORDER BY Word"), rows);
    }
  }
  EXPECT_EQ(FailureOf("SELECT * FROM copied").Code, KURA_OSENOENT);
}

TEST_F(KeptTablesTest, AKeptTargetSeesAnotherUsersChanges) {
  // Each of our statements finds the table its last change kept open; the other user's change
  // just before it must count (rows affected, key violations, the rows themselves).
  struct Step {
    std::string Other, Ours;
    int64_t Rows;  // our statement's rows affected; -1: it fails with a key violation
  };
  const std::vector<Step> steps{
      {"", "INSERT INTO items VALUES (4, 'four')", 1},
      {"INSERT INTO items VALUES (5, 'five')", "DELETE FROM items WHERE ID = 5", 1},
      {"INSERT INTO items VALUES (5, 'again')", "INSERT INTO items VALUES (5, 'dup')", -1},
      {"UPDATE items SET Word = 'FOUR' WHERE ID = 4", "UPDATE items SET ID = 6 WHERE Word = 'FOUR'", 1},
      {"DELETE FROM items WHERE ID = 6", "UPDATE items SET Word = 'gone' WHERE ID = 6", 0},
      {"START TRANSACTION; DELETE FROM items WHERE ID = 1; INSERT INTO items VALUES (7, 'seven'); COMMIT",
       "DELETE FROM items WHERE ID < 3 OR ID = 7", 2},
  };
  for (const Step &step : steps) {
    SCOPED_TRACE(step.Ours);
    if (!step.Other.empty()) FOtherRunner->Run(step.Other);
    if (step.Rows < 0)
      EXPECT_EQ(FailureOf(step.Ours).Code, KURA_KEYVIOL);
    else
      EXPECT_EQ(Exec(step.Ours), step.Rows);
  }
  EXPECT_EQ(Query("SELECT ID, Word FROM items ORDER BY ID"), (std::vector<std::string>{"3|three", "5|again"}));
}

TEST_F(KeptTablesTest, AnotherUsersExclusiveOpenGetsThroughOnceReleased) {
  TDataDirectory *directory = FOther->OpenDataDirectory("other", DbPath());
  auto openAlone = [&]() {
    TDataTable *table = directory->OpenTable("items", true, false, false, false);
    directory->CloseTable(table);
  };
  // Kept by a SELECT, then by a change: while kept the table is in use, as while any
  // statement reads or changes it.
  for (const std::string statement : {"SELECT Word FROM items WHERE ID = 2", "UPDATE items SET Word = 'x' WHERE ID = 2"}) {
    SCOPED_TRACE(statement);
    FRunner->Run(statement);
    EXPECT_THROW(openAlone(), EKuraEngineError);
    FRunner->ReleaseKeptTables();
    EXPECT_EQ(FRunner->KeptTableCount(), 0u);
    EXPECT_NO_THROW(openAlone());
  }
  FOther->CloseDataDirectory(directory);
}

}  // namespace
}  // namespace kura::test
