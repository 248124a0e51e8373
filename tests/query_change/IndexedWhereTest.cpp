// WHERE answered from indexes gives what a test of every record gives: the same statements run
// on two tables holding the same rows, one with a primary key and secondary indexes on the
// compared columns, the other with no index at all (every record is then read and tested).
// After every UPDATE and DELETE the rows affected and the whole contents must agree; SELECTs
// (joins among them) must return the same rows.
#include <algorithm>

#include "ChangeTestSupport.h"

namespace kura::test {
namespace {

// "@" stands for the table's name, "#" for its join partner's.
std::string On(const std::string &text, const std::string &table, const std::string &partner) {
  std::string out;
  for (char c : text) {
    if (c == '@') out += table;
    else if (c == '#') out += partner;
    else out += c;
  }
  return out;
}

class IndexedWhereTest : public ChangeTest {
 protected:
  void SetUp() override {
    ChangeTest::SetUp();
    const std::string columns = "id INTEGER NOT NULL, x INTEGER, s VARCHAR(12), grp INTEGER, f FLOAT";
    Exec("CREATE TABLE keyed (" + columns + ", PRIMARY KEY (id))");
    Exec("CREATE INDEX keyed_x ON keyed (x)");
    Exec("CREATE INDEX keyed_s ON keyed (s)");
    Exec("CREATE INDEX keyed_grp ON keyed (grp)");
    Exec("CREATE TABLE plain (" + columns + ")");
    Exec("CREATE TABLE gkeyed (grp INTEGER NOT NULL, label VARCHAR(10), PRIMARY KEY (grp))");
    Exec("CREATE TABLE gplain (grp INTEGER, label VARCHAR(10))");
    for (const char *t : {"keyed", "plain"}) {
      std::string script = "START TRANSACTION;";
      for (int i = 1; i <= 300; ++i) {
        // Keys out of slot order; x repeats and is NULL for every seventh row; s NULL for
        // every eleventh; grp in 0..9, NULL for every thirteenth.
        const int id = (i * 37) % 1009;
        const std::string x = i % 7 == 0 ? "NULL" : std::to_string(i % 40);
        const std::string s = i % 11 == 0 ? "NULL" : "'s" + std::to_string(i % 25) + "'";
        const std::string grp = i % 13 == 0 ? "NULL" : std::to_string(i % 10);
        script += "INSERT INTO " + std::string(t) + " VALUES (" + std::to_string(id) + ", " + x + ", " + s + ", " +
                  grp + ", " + std::to_string(i % 17) + ".25);";
      }
      script += "COMMIT";
      Exec(script);
    }
    for (const char *g : {"gkeyed", "gplain"})
      for (int grp = 0; grp < 8; ++grp)
        Exec("INSERT INTO " + std::string(g) + " VALUES (" + std::to_string(grp) + ", 'label" +
             std::to_string(grp % 3) + "')");
  }

  std::vector<std::string> Sorted(std::vector<std::string> rows) {
    std::sort(rows.begin(), rows.end());
    return rows;
  }
  std::vector<std::string> Contents(const std::string &table) {
    return Query("SELECT id, x, s, grp, f FROM " + table + " ORDER BY id");
  }
};

// Each statement runs on both tables in turn; the tables change together.
TEST_F(IndexedWhereTest, UpdatesAndDeletesAgreeWithAndWithoutIndexes) {
  const std::vector<std::string> statements = {
      "UPDATE @ SET f = f + 1 WHERE id = 37",
      "UPDATE @ SET f = f + 1 WHERE id = 36",  // no such key
      "UPDATE @ SET s = 'key' WHERE id IN (74, 111, 5, 999, 1008)",
      "UPDATE @ SET f = 0 WHERE x BETWEEN 3 AND 9 AND f > 4",
      "UPDATE @ SET f = f * 2 WHERE x = 12 OR s = 's4'",
      "UPDATE @ SET f = 1 WHERE NOT (x < 30)",
      "UPDATE @ SET f = 2 WHERE x <> 5 AND grp = 3",
      "UPDATE @ SET f = 3 WHERE x IS NULL",
      "UPDATE @ SET f = 4 WHERE x = NULL AND s IS NOT NULL",
      "UPDATE @ SET f = 5 WHERE s NOT IN ('s1', 's2') AND x NOT BETWEEN 1 AND 35",
      // Changing the indexed column of the condition: every row is changed exactly once.
      "UPDATE @ SET x = x + 1 WHERE x >= 20",
      "UPDATE @ SET x = x - 3 WHERE x BETWEEN 5 AND 15",
      "UPDATE @ SET id = id + 2000 WHERE id < 200",
      "UPDATE @ SET id = id - 1 WHERE id >= 2000 AND x IS NOT NULL",
      "UPDATE @ SET s = NULL WHERE s >= 's20'",
      "UPDATE @ SET grp = grp + 1 WHERE grp IN (1, 4, 7) OR id > 900",
      "UPDATE @ SET f = 9 FROM @, # WHERE @.grp = #.grp AND #.label = 'label1'",
      "DELETE FROM @ WHERE id = 74",
      "DELETE FROM @ WHERE id IN (111, 148, 1, 3)",
      "DELETE FROM @ WHERE x = 7 OR (s = 's9' AND grp <> 2)",
      "DELETE FROM @ WHERE NOT (x > 3) AND s IS NULL",
      "DELETE FROM @ WHERE x IS NULL AND grp IS NULL",
      "DELETE FROM @, # WHERE @.grp = #.grp AND #.grp = 5",
      "DELETE FROM @ WHERE id BETWEEN 2000 AND 2100",
  };
  size_t changing = 0;
  for (const std::string &statement : statements) {
    const int64_t keyed = Exec(On(statement, "keyed", "gkeyed"));
    const int64_t plain = Exec(On(statement, "plain", "gplain"));
    EXPECT_EQ(keyed, plain) << statement;
    ASSERT_EQ(Contents("keyed"), Contents("plain")) << "after " << statement;
    if (keyed > 0) ++changing;
  }
  // Statements that matched nothing would agree too: nearly all of them must reach rows.
  EXPECT_GE(changing, statements.size() - 3);
}

// Joins are checked against the same join written so that no equality of a bare column with
// the earlier table's values is left (" + 0" on both sides), which is answered by testing
// every pair of records.
TEST_F(IndexedWhereTest, SelectsAndJoinsAgreeWithAndWithoutIndexes) {
  struct Case {
    std::string Query;
    std::string Reference;  // run on the tables without indexes; empty: Query itself
  };
  const std::vector<Case> cases = {
      {"SELECT id, x FROM @ WHERE id = 185", ""},
      {"SELECT id, x FROM @ WHERE id = 186", ""},
      {"SELECT id, s FROM @ WHERE id IN (37, 74, 1008, 5000) OR x = 3", ""},
      {"SELECT id FROM @ WHERE x BETWEEN 10 AND 12 AND s <> 's10'", ""},
      {"SELECT id FROM @ WHERE NOT (x >= 5) OR x IS NULL", ""},
      {"SELECT id FROM @ WHERE x = NULL", ""},
      {"SELECT id FROM @ WHERE s < 's2' AND grp NOT IN (1, 2, 3)", ""},
      {"SELECT COUNT(*), SUM(x) FROM @ WHERE grp = 4", ""},
      {"SELECT @.id, #.label FROM @ JOIN # ON @.grp = #.grp WHERE @.x BETWEEN 5 AND 25",
       "SELECT @.id, #.label FROM @ JOIN # ON @.grp + 0 = #.grp + 0 WHERE @.x BETWEEN 5 AND 25"},
      {"SELECT @.id, #.label FROM # JOIN @ ON #.grp = @.grp WHERE #.label = 'label2'",
       "SELECT @.id, #.label FROM # JOIN @ ON #.grp + 0 = @.grp + 0 WHERE #.label = 'label2'"},
      {"SELECT @.id, #.label FROM @ LEFT OUTER JOIN # ON @.grp = #.grp WHERE @.id < 300",
       "SELECT @.id, #.label FROM @ LEFT OUTER JOIN # ON @.grp + 0 = #.grp + 0 WHERE @.id < 300"},
      {"SELECT @.id, #.grp FROM @ JOIN # ON @.grp = #.grp + 1 WHERE @.id = 518",
       "SELECT @.id, #.grp FROM @ JOIN # ON @.grp + 0 = #.grp + 1 WHERE @.id = 518"},
      // NULL equals NULL here: rows with x NULL meet rows with grp NULL.
      {"SELECT a.id, b.id FROM @ a JOIN @ b ON a.x = b.grp WHERE a.id < 100 AND b.id < 200",
       "SELECT a.id, b.id FROM @ a JOIN @ b ON a.x + 0 = b.grp + 0 WHERE a.id < 100 AND b.id < 200"},
      {"SELECT @.id, #.label FROM @, # WHERE @.grp = #.grp AND @.f > 10",
       "SELECT @.id, #.label FROM @, # WHERE @.grp + 0 = #.grp + 0 AND @.f > 10"},
  };
  for (const Case &c : cases) {
    const std::vector<std::string> keyed = Sorted(Query(On(c.Query, "keyed", "gkeyed")));
    const std::string reference = c.Reference.empty() ? c.Query : c.Reference;
    EXPECT_EQ(keyed, Sorted(Query(On(reference, "plain", "gplain")))) << c.Query;
    EXPECT_EQ(keyed, Sorted(Query(On(c.Query, "plain", "gplain")))) << c.Query;
    // Key 186 is held by no row; every other query must find rows.
    EXPECT_EQ(keyed.empty(), c.Query.find("= 186") != std::string::npos) << c.Query;
  }
}

}  // namespace
}  // namespace kura::test
