// Results and messages of statements that once went wrong: TOP over a union, sums past their
// type's range, dates outside the calendar, the smallest LARGEINT, names spelled like keywords
// in INSERT ... SELECT, long lists, and the messages of GROUP BY, ORDER BY, "#" and CREATE.
#include <limits>

#include "ChangeTestSupport.h"

namespace kura::test {
namespace {

using Rows = std::vector<std::string>;

class StatementResults : public ChangeTest {
 protected:
  void SetUp() override {
    ChangeTest::SetUp();
    Exec("CREATE TABLE n (id INTEGER, g INTEGER, b LARGEINT, s SMALLINT, d DATE, noautoinc INTEGER)");
    Exec("INSERT INTO n VALUES (1, 1, 9223372036854775807, 32767, CAST('2020-01-01' AS DATE), 10)");
    Exec("INSERT INTO n VALUES (2, 1, 1, 32767, CAST('0001-01-02' AS DATE), 20)");
    Exec("INSERT INTO n VALUES (3, 2, -5, 1, CAST('9999-12-30' AS DATE), 30)");
  }
  std::string Message(const std::string &sql) { return FailureOf(sql).Message; }
};

TEST_F(StatementResults, TopLimitsTheWholeUnion) {
  const struct {
    const char *sql;
    Rows rows;
  } cases[] = {
      {"SELECT id FROM n UNION ALL SELECT id FROM n TOP 4", {"1", "2", "3", "1"}},
      {"SELECT id FROM n UNION ALL SELECT id FROM n TOP 2", {"1", "2"}},
      {"SELECT id FROM n UNION ALL SELECT id FROM n TOP 0", {}},
      {"SELECT id FROM n WHERE id = 3 UNION ALL SELECT id FROM n TOP 2", {"3", "1"}},
      {"SELECT id FROM n UNION SELECT id FROM n TOP 2", {"1", "2"}},
      {"SELECT id FROM n UNION ALL SELECT g FROM n ORDER BY 1 DESC TOP 3", {"3", "2", "2"}},
      {"SELECT g, COUNT(*) FROM n GROUP BY g UNION ALL SELECT id, id FROM n TOP 3", {"1|2", "2|1", "1|1"}},
      {"SELECT DISTINCT g FROM n UNION ALL SELECT id FROM n ORDER BY 1 TOP 4", {"1", "1", "2", "2"}},
  };
  for (const auto &c : cases) EXPECT_EQ(Query(c.sql), c.rows) << c.sql;
}

TEST_F(StatementResults, SumsBecomeNullInsteadOfWrapping) {
  const struct {
    const char *sql;
    Rows rows;
  } cases[] = {
      // The overflow stays NULL: the -5 after it does not start the sum again.
      {"SELECT SUM(b) FROM n", {"NULL"}},
      {"SELECT SUM(b) FROM n WHERE id >= 2", {"-4"}},
      {"SELECT g, SUM(b) FROM n GROUP BY g", {"1|NULL", "2|-5"}},
      {"SELECT SUM(b) FROM n WHERE id <> 2", {"9223372036854775802"}},
      {"SELECT SUM(s) FROM n", {"65535"}},
  };
  for (const auto &c : cases) EXPECT_EQ(Query(c.sql), c.rows) << c.sql;
  // A SMALLINT sum is an INTEGER: 131 072 values of 32767 leave its range.
  Exec("CREATE TABLE sm (s SMALLINT)");
  Exec("INSERT INTO sm VALUES (32767)");
  for (int i = 0; i < 17; ++i) Exec("INSERT INTO sm SELECT s FROM sm");
  EXPECT_EQ(Query("SELECT COUNT(*) FROM sm"), (Rows{"131072"}));
  EXPECT_EQ(Query("SELECT SUM(s) FROM sm"), (Rows{"NULL"}));
  EXPECT_EQ(Query("SELECT s, SUM(s) FROM sm GROUP BY s"), (Rows{"32767|NULL"}));
  EXPECT_EQ(Query("SELECT AVG(s) FROM sm"), (Rows{"32767"}));
}

TEST_F(StatementResults, DatesOutsideTheCalendarAreNull) {
  const struct {
    const char *expression;
    const char *value;
  } cases[] = {
      {"d + 2000000000", "NULL"},
      {"CAST(d + 2000000000 AS CHAR(20))", "NULL"},
      {"EXTRACT(YEAR FROM d + 2000000000)", "NULL"},
      {"d - 737425", "NULL"},
      {"d - 737424", "0001-01-01"},
      {"d + 2914634", "9999-12-31"},
      {"d + 2914635", "NULL"},
      {"2914635 + d", "NULL"},
      {"CAST('2020-01-01 00:00:00' AS TIMESTAMP) + 300000000000000", "NULL"},
  };
  for (const auto &c : cases)
    EXPECT_EQ(Query(std::string("SELECT ") + c.expression + " FROM n WHERE id = 1"), (Rows{c.value})) << c.expression;
  EXPECT_EQ(Query("SELECT id FROM n WHERE d + 2000000000 IS NULL"), (Rows{"1", "2", "3"}));
}

TEST_F(StatementResults, SmallestLargeIntLiteral) {
  const std::string min = std::to_string(std::numeric_limits<int64_t>::min());
  EXPECT_EQ(Query("SELECT CAST(-9223372036854775808 AS LARGEINT), -9223372036854775808 FROM n WHERE id = 1"),
            (Rows{min + "|" + min}));
  EXPECT_EQ(Exec("INSERT INTO n (id, b) VALUES (9, -9223372036854775808)"), 1);
  EXPECT_EQ(Query("SELECT b FROM n WHERE id = 9"), (Rows{min}));
  // Past the end of the range it is an overflow as ever.
  EXPECT_EQ(Query("SELECT -9223372036854775808 - 1, -(-9223372036854775808) FROM n WHERE id = 1"),
            (Rows{"NULL|NULL"}));
}

TEST_F(StatementResults, InsertSelectRunsTheSelectAsParsed) {
  Exec("CREATE TABLE dst (id INTEGER, x INTEGER)");
  Exec("CREATE TABLE \"select\" (id INTEGER, x INTEGER)");
  const struct {
    const char *sql;
    int64_t rows;
  } cases[] = {
      {"INSERT INTO dst SELECT id, noautoinc FROM n", 3},
      {"INSERT INTO dst SELECT id, noautoinc FROM n NOAUTOINC", 3},
      {"INSERT INTO dst SELECT id, noautoinc FROM n WHERE noautoinc > 10 NOAUTOINC COMMIT INTERVAL 1", 2},
      {"INSERT INTO select SELECT id, g FROM n WHERE id IN (SELECT id FROM n WHERE noautoinc < 30)", 2},
      {"INSERT INTO [select] (x, id) SELECT noautoinc, id FROM n WHERE id = 3", 1},
      // Without GROUP BY the select of INSERT ... SELECT may mix aggregates and columns.
      {"INSERT INTO dst SELECT g, COUNT(*) FROM n", 3},
  };
  for (const auto &c : cases) EXPECT_EQ(Exec(c.sql), c.rows) << c.sql;
  EXPECT_EQ(Query("SELECT COUNT(*), SUM(x) FROM dst WHERE id < 3 AND x > 1"), (Rows{"5|80"}));
  EXPECT_EQ(Query("SELECT id, x FROM [select] ORDER BY id"), (Rows{"1|1", "2|1", "3|30"}));
}

// Each posted row lets go of its blobs: one statement may write a Memo into any number of rows.
TEST_F(StatementResults, MemoWritesOfManyRows) {
  Exec("CREATE TABLE m (id AUTOINC, mm MEMO)");
  std::string script = "START TRANSACTION";
  for (int i = 0; i < 200; ++i) script += "; INSERT INTO m (mm) VALUES ('x')";
  Exec(script + "; COMMIT");
  EXPECT_EQ(Exec("UPDATE m SET mm = 'y' WHERE id <= 150"), 150);
  Exec("CREATE TABLE m2 (id AUTOINC, mm MEMO)");
  EXPECT_EQ(Exec("INSERT INTO m2 (mm) SELECT mm FROM m"), 200);
  EXPECT_EQ(Exec("UPDATE m2 SET mm = mm + '!'"), 200);
  EXPECT_EQ(Query("SELECT COUNT(*) FROM m2 WHERE mm = 'y!'"), (Rows{"150"}));
  EXPECT_EQ(Query("SELECT COUNT(*) FROM m2 WHERE mm = 'x!'"), (Rows{"50"}));
}

TEST_F(StatementResults, LongListsAndManyEqualNames) {
  std::string in = "SELECT id FROM n WHERE id IN (", coalesce = "SELECT COALESCE(";
  for (int i = 0; i < 64000; ++i) {
    in += (i ? "," : "") + std::to_string(64000 - i);
    coalesce += i ? ",NULL" : "NULL";
  }
  EXPECT_EQ(Query(in + ")"), (Rows{"1", "2", "3"}));
  EXPECT_EQ(Query(coalesce + ", g) FROM n"), (Rows{"1", "1", "2"}));
  std::string names = "SELECT id";
  for (int i = 1; i < 1024; ++i) names += ", id";
  TRunResult r = FRunner->Run(names + " FROM n WHERE id = 2");
  ASSERT_TRUE(r.Select);
  ASSERT_EQ(r.Select->ColumnCount(), 1024u);
  EXPECT_EQ(r.Select->Column(0).Name, "id");
  EXPECT_EQ(r.Select->Column(1).Name, "id_1");
  EXPECT_EQ(r.Select->Column(1023).Name, "id_1023");
  // A name already taken by a column of the list is not given out again.
  r = FRunner->Run("SELECT id AS id_1, id, id FROM n WHERE id = 2");
  ASSERT_EQ(r.Select->ColumnCount(), 3u);
  EXPECT_EQ(r.Select->Column(1).Name, "id");
  EXPECT_EQ(r.Select->Column(2).Name, "id_2");
}

TEST_F(StatementResults, Messages) {
  const struct {
    std::string sql;
    std::string message;
  } cases[] = {
      {"SELECT id FROM n ORDER BY 0", "Invalid column number '0' specified in ORDER BY clause"},
      {"SELECT id FROM n GROUP BY 0", "Invalid column number '0' specified in GROUP BY clause"},
      {"SELECT id FROM n ORDER BY 99999999999", "Invalid column number '99999999999' specified in ORDER BY clause"},
      {"SELECT id FROM n GROUP BY 2", "Invalid column number '2' specified in GROUP BY clause"},
      {"SELECT #256 FROM n", "Character constants (#) must be within the range of 0 to 255 in source column expression"},
      {"SELECT #00000000000000000000256 FROM n",
       "Character constants (#) must be within the range of 0 to 255 in source column expression"},
      {"SELECT COUNT(*)+1 FROM n", "Aggregate functions cannot be used within expressions"},
      {"SELECT 1 + SUM(*) FROM n", "Aggregate functions cannot be used within expressions"},
      {"SELECT SUM(COUNT(*)) FROM n", "Aggregate functions cannot be nested"},
      {"SELECT id + * FROM n", "* (all columns) symbol is not allowed in source column expression"},
      {"CREATE TABLE \"x/\" (a INTEGER)", "Table name expected after CREATE TABLE keywords, instead found 'x/'"},
      {"SELECT id INTO \"x/\" FROM n", "Result table name expected in INTO clause, instead found 'x/'"},
      {"CREATE TABLE " + std::string(260, 'a') + " (a INTEGER)",
       "Table name too long (its file names may have at most 255 characters with the directory): '" +
           std::string(260, 'a')},
  };
  for (const auto &c : cases) {
    Failure f = FailureOf(c.sql);
    EXPECT_EQ(f.Code, KURA_SQLPARSE) << c.sql;
    // Long error texts are cut at their end.
    const std::string expected = "SQL error - " + c.message;
    EXPECT_EQ(f.Message, expected.substr(0, f.Message.size())) << c.sql;
    EXPECT_GE(f.Message.size(), std::min<size_t>(expected.size(), 120)) << c.sql;
  }
  EXPECT_EQ(Query("SELECT #0065, #000000255, #7 FROM n WHERE id = 1"), (Rows{"A|\xff|\x07"}));
  EXPECT_EQ(Query("SELECT id FROM n ORDER BY 0000000001 DESC"), (Rows{"3", "2", "1"}));
}

}  // namespace
}  // namespace kura::test
