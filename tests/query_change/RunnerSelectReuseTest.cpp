// What the runner carries from one SELECT to the next: the statement it parsed (the query
// checks those parts instead of parsing the text again) and the emptied in-memory result table
// of the last SELECT, taken by the next one of the same result layout. Every SELECT must still
// show exactly its own rows, whatever ran before it, and fail with the same error a query
// prepared on its own would.
#include "query/select/SelectQuery.h"
#include "tests/query_change/ChangeTestSupport.h"

namespace kura::test {
namespace {

class RunnerSelectReuseTest : public ChangeTest {
 protected:
  void SetUp() override {
    ChangeTest::SetUp();
    Exec("CREATE TABLE items (ID INTEGER NOT NULL, Word VARCHAR(10), Note MEMO, PRIMARY KEY (ID))");
    Exec("INSERT INTO items VALUES (1, 'one', 'first note')");
    Exec("INSERT INTO items VALUES (2, 'two', NULL)");
    Exec("INSERT INTO items VALUES (3, 'three', 'third note')");
  }

  // The error of the same text prepared and run by a query of its own.
  Failure FailureOfQuery(const std::string &sql) {
    TSelectQuery query(DefaultSession(), DbPath());
    try {
      query.Prepare(sql);
      query.Execute();
    } catch (const EKuraEngineError &e) {
      return {e.ErrorCode(), e.EngineMessage()};
    }
    return {};
  }
};

TEST_F(RunnerSelectReuseTest, EverySelectShowsItsOwnRowsWhateverRanBefore) {
  struct Step {
    std::string Sql;
    std::vector<std::string> Rows;
    bool Fails = false;
  };
  using Rows = std::vector<std::string>;
  const std::vector<Step> steps{
      {"SELECT ID, Word FROM items WHERE ID = 2", Rows{"2|two"}},
      // The same layout: a kept table must come back empty.
      {"SELECT ID, Word FROM items WHERE ID = 3", Rows{"3|three"}},
      {"SELECT ID, Word FROM items WHERE ID > 0 ORDER BY Word", Rows{"1|one", "3|three", "2|two"}},
      {"SELECT ID, Word FROM items WHERE ID = 99", Rows{}},
      {"SELECT ID, Word FROM items WHERE ID < 3", Rows{"1|one", "2|two"}},
      // Another layout (same types, other order; other sizes).
      {"SELECT Word, ID FROM items WHERE ID = 1", Rows{"one|1"}},
      {"SELECT ID, Word || 'x' FROM items WHERE ID = 1", Rows{"1|onex"}},
      // Blob values: the kept table's blob file must not lend an earlier value.
      {"SELECT ID, Note FROM items WHERE ID = 1", Rows{"1|first note"}},
      {"SELECT ID, Note FROM items WHERE ID = 2", Rows{"2|NULL"}},
      {"SELECT ID, Note FROM items WHERE ID >= 2", Rows{"2|NULL", "3|third note"}},
      // A failure between two SELECTs of the same layout.
      {"SELECT ID, Word FROM items WHERE ID = 1", Rows{"1|one"}},
      {"SELECT ID, Nope FROM items WHERE ID = 1", Rows{}, true},
      {"SELECT ID, Word FROM items WHERE ID = 2", Rows{"2|two"}},
      // Groups, DISTINCT and UNION build their results in steps of their own.
      {"SELECT Word, COUNT(*) FROM items GROUP BY Word", Rows{"one|1", "three|1", "two|1"}},
      {"SELECT DISTINCT ID, Word FROM items WHERE ID <> 2", Rows{"1|one", "3|three"}},
      {"SELECT ID, Word FROM items WHERE ID = 1 UNION SELECT ID, Word FROM items WHERE ID = 3",
       Rows{"1|one", "3|three"}},
      // A script: only the last SELECT is handed back, and it shows its own rows.
      {"SELECT ID, Word FROM items WHERE ID = 1; SELECT ID, Word FROM items WHERE ID = 3", Rows{"3|three"}},
      {"SELECT ID, Word FROM items WHERE ID = 2; DELETE FROM items WHERE ID = 2; "
       "SELECT ID, Word FROM items WHERE ID <= 2",
       Rows{"1|one"}},
      {"SELECT ID, Word FROM items", Rows{"1|one", "3|three"}},
  };
  for (const Step &step : steps) {
    SCOPED_TRACE(step.Sql);
    if (step.Fails) {
      EXPECT_NE(FailureOf(step.Sql).Code, 0);
      continue;
    }
    EXPECT_EQ(Query(step.Sql), step.Rows);
  }
}

TEST_F(RunnerSelectReuseTest, AResultReadThroughItsCursorIsNotLentToTheNext) {
  for (int id : {1, 3, 1}) {
    SCOPED_TRACE(id);
    TRunResult r = FRunner->Run("SELECT ID, Word FROM items WHERE ID = " + std::to_string(id));
    ASSERT_TRUE(r.Select);
    TDataCursor *cursor = r.Select->ResultCursor();
    ASSERT_NE(cursor, nullptr);
    EXPECT_EQ(r.Select->RowCount(), 1);
    EXPECT_EQ(r.Select->Row(0).at(0).Int, id);
    // The next SELECT runs while this result (and its cursor) is still held.
    EXPECT_EQ(Query("SELECT ID, Word FROM items WHERE ID = 2"), (std::vector<std::string>{"2|two"}));
    EXPECT_EQ(r.Select->Row(0).at(0).Int, id);
  }
}

TEST_F(RunnerSelectReuseTest, ErrorsAreThoseOfAQueryPreparedAlone) {
  const std::vector<std::string> statements{
      "SELECT Nope FROM items",
      "SELECT ID FROM nosuch",
      "SELECT x.ID FROM items",
      "SELECT ID, COUNT(*) FROM items",
      "SELECT ID FROM items WHERE Word",
      "SELECT ID FROM items HAVING ID > 1",
      "SELECT ID FROM items GROUP BY Note",
      "SELECT ID FROM items ORDER BY 5",
      "SELECT ID FROM items UNION SELECT ID, Word FROM items",
      "SELECT ID FROM items WHERE ID IN (SELECT Nope FROM items)",
      "SELECT FROM items",
  };
  for (const std::string &sql : statements) {
    SCOPED_TRACE(sql);
    const Failure alone = FailureOfQuery(sql);
    ASSERT_NE(alone.Code, 0);
    const Failure run = FailureOf(sql);
    EXPECT_EQ(run.Code, alone.Code);
    EXPECT_EQ(run.Message, alone.Message);
    // The same statement second in a script.
    const Failure second = FailureOf("SELECT ID FROM items WHERE ID = 1;\n  " + sql);
    EXPECT_EQ(second.Code, alone.Code);
    EXPECT_EQ(second.Message, alone.Message);
  }
}

}  // namespace
}  // namespace kura::test
