// The runner keeping the tables of its SELECTs open between statements. A SELECT after
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

TEST_F(KeptTablesTest, AnotherUsersExclusiveOpenGetsThroughOnceReleased) {
  Query("SELECT Word FROM items WHERE ID = 2");
  ASSERT_EQ(FRunner->KeptTableCount(), 1u);
  TDataDirectory *directory = FOther->OpenDataDirectory("other", DbPath());
  auto openAlone = [&]() {
    TDataTable *table = directory->OpenTable("items", true, false, false, false);
    directory->CloseTable(table);
  };
  // While kept the table is in use, as while any statement reads it.
  EXPECT_THROW(openAlone(), EKuraEngineError);
  FRunner->ReleaseKeptTables();
  EXPECT_EQ(FRunner->KeptTableCount(), 0u);
  EXPECT_NO_THROW(openAlone());
  FOther->CloseDataDirectory(directory);
}

}  // namespace
}  // namespace kura::test
