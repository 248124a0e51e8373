// Every SELECT parse message, with the offending token, and what each clause's context allows.
#include "SqlTestSupport.h"

using namespace kura;
using namespace kura::test;

namespace {

struct ErrorCase {
  const char *Text;
  const char *Message;
};

TEST(SelectErrorTest, SelectListMessages) {
  const ErrorCase cases[] = {
      {"SELECT FROM t", "Source column expression is empty"},
      {"SELECT a, FROM t", "Source column expression is empty"},
      {"SELECT", "Source column expression is empty"},
      {"SELECT a AS , b FROM t", "Symbol or string expected after AS keyword, instead found ','"},
      // After AS any symbol is the alias, even a keyword.
      {"SELECT a AS FROM t", "FROM keyword expected, instead found 't'"},
      {"SELECT a AS 1 FROM t", "Symbol or string expected after AS keyword, instead found '1'"},
      {"SELECT a x.( FROM t",
       "Symbol or string expected after table correlation name, instead found '('"},
      {"SELECT SUM(a) + 1 FROM t", "Aggregate functions cannot be used within expressions"},
      {"SELECT UPPER(MAX(s)) FROM t", "Aggregate functions cannot be used within expressions"},
      {"SELECT SUM(MAX(a)) FROM t", "Aggregate functions cannot be nested"},
      {"SELECT COUNT(a + AVG(b)) FROM t", "Aggregate functions cannot be nested"},
      {"SELECT a + * FROM t", "* (all columns) symbol is not allowed in source column expression"},
      {"SELECT SUM(*) FROM t", "* (all columns) symbol is not allowed in source column expression"},
      {"SELECT ? FROM t", "Parameters are not allowed in source column expression"},
      {"SELECT a IN (SELECT b FROM u) FROM t",
       "Sub-select queries are not allowed in source column expression"},
      {"SELECT a b c FROM t", "FROM keyword expected, instead found 'c'"},
      {"SELECT a", "FROM keyword expected, instead found ''"},
  };
  for (const ErrorCase &c : cases) EXPECT_EQ(ParseError(c.Text), c.Message) << c.Text;
}

TEST(SelectErrorTest, IntoMessages) {
  const ErrorCase cases[] = {
      {"SELECT a INTO , FROM t", "Result table name expected in INTO clause, instead found ','"},
      {"SELECT a INTO 5 FROM t", "Result table name expected in INTO clause, instead found '5'"},
      {"SELECT a INTO db\\ 5 FROM t", "Result table name expected in INTO clause, instead found '5'"},
      {"SELECT a FROM t UNION SELECT b INTO r FROM u",
       "The INTO clause can only be used with the master query"},
      {"SELECT a FROM t WHERE a IN (SELECT b INTO r FROM u)",
       "The INTO clause can only be used with the master query"},
      {"INSERT INTO t SELECT b INTO r FROM u",
       "The INTO clause can only be used with the master query"},
  };
  for (const ErrorCase &c : cases) EXPECT_EQ(ParseError(c.Text), c.Message) << c.Text;
}

TEST(SelectErrorTest, FromAndJoinMessages) {
  const ErrorCase cases[] = {
      {"SELECT a FROM", "Table name expected after FROM keyword, instead found ''"},
      {"SELECT a FROM 5", "Table name expected after FROM keyword, instead found '5'"},
      {"SELECT a FROM t, ", "Table name expected after FROM keyword, instead found ''"},
      {"SELECT a FROM MEMORY", "Table name expected after FROM keyword, instead found ''"},
      {"SELECT a FROM db\\", "Table name expected after FROM keyword, instead found ''"},
      {"SELECT a FROM t AS", "Symbol or string expected after AS keyword, instead found ''"},
      {"SELECT a FROM t, t", "Duplicate table correlation name 't' found in source tables"},
      {"SELECT a FROM t x, u X", "Duplicate table correlation name 'X' found in source tables"},
      {"SELECT a FROM t JOIN t ON t.a = t.a",
       "Duplicate table correlation name 't' found in source tables"},
      {"SELECT a FROM t INNER u ON a = b",
       "JOIN keyword expected after INNER keyword, instead found 'u'"},
      {"SELECT a FROM t LEFT OUTER u ON a = b",
       "JOIN keyword expected after LEFT or OUTER keyword, instead found 'u'"},
      {"SELECT a FROM t LEFT u ON a = b",
       "JOIN keyword expected after LEFT or OUTER keyword, instead found 'u'"},
      {"SELECT a FROM t RIGHT OUTER u ON a = b",
       "JOIN keyword expected after RIGHT or OUTER keyword, instead found 'u'"},
      // ON is a table name here and "a" its correlation name.
      {"SELECT a FROM t JOIN ON a = b", "ON keyword expected in JOIN clause, instead found '='"},
      {"SELECT a FROM t JOIN 7 ON a = b", "Table name expected after JOIN keyword, instead found '7'"},
      {"SELECT a FROM t JOIN u", "ON keyword expected in JOIN clause, instead found ''"},
      {"SELECT a FROM t JOIN u x WHERE a = b",
       "ON keyword expected in JOIN clause, instead found 'WHERE'"},
      {"SELECT a FROM t FULL OUTER JOIN u ON t.a = u.a",
       "Full outer joins are currently not supported in SQL SELECT statements"},
      {"SELECT a FROM t x FULL JOIN u ON t.a = u.a",
       "Full outer joins are currently not supported in SQL SELECT statements"},
      {"SELECT a FROM (t JOIN u ON t.a = u.a", "Mismatched join parentheses"},
      {"SELECT a FROM ((t JOIN u ON t.a = u.a)", "Mismatched join parentheses"},
      {"SELECT a FROM (t)", "Mismatched join parentheses"},
      {"SELECT a FROM t JOIN u ON t.a IN (SELECT b FROM v)",
       "Sub-select queries are not allowed in JOIN clause"},
      {"SELECT a FROM t JOIN u ON COUNT(a) > 1", "Aggregate functions are not allowed in JOIN clause"},
  };
  for (const ErrorCase &c : cases) EXPECT_EQ(ParseError(c.Text), c.Message) << c.Text;
}

TEST(SelectErrorTest, WhereGroupHavingOrderMessages) {
  const ErrorCase cases[] = {
      {"SELECT a FROM t WHERE", "Unknown or unexpected symbol '' found in WHERE clause"},
      {"SELECT a FROM t WHERE SUM(a) > 1", "Aggregate functions are not allowed in WHERE clause"},
      {"SELECT a FROM t WHERE t.* = 1", "* (all columns) symbol is not allowed in WHERE clause"},
      {"SELECT a FROM t GROUP a", "BY keyword expected after GROUP keyword, instead found 'a'"},
      {"SELECT a FROM t GROUP BY", "Column name or column number expected in GROUP BY clause, instead found ''"},
      {"SELECT a FROM t GROUP BY a, 'x'.", "Column name or column number expected in GROUP BY clause, instead found ''"},
      {"SELECT a FROM t GROUP BY -1", "Column name or column number expected in GROUP BY clause, instead found '-'"},
      {"SELECT a FROM t GROUP BY a HAVING a LIKE 'x'",
       "Extended predicate operators (LIKE, BETWEEN, IN, IS NULL) are not allowed in HAVING clause"},
      {"SELECT a FROM t GROUP BY a HAVING COUNT(*) > 1",
       "* (all columns) symbol is not allowed in HAVING clause"},
      {"SELECT a FROM t GROUP BY a HAVING COUNT(a) > ?", "Parameters are not allowed in HAVING clause"},
      {"SELECT a FROM t ORDER a", "BY keyword expected after ORDER keyword, instead found 'a'"},
      {"SELECT a FROM t ORDER BY ,", "Column name or column number expected in ORDER BY clause, instead found ','"},
      {"SELECT a FROM t ORDER BY 1.5", "Column name or column number expected in ORDER BY clause, instead found '1.5'"},
      {"SELECT a FROM t ORDER BY a UNION SELECT b FROM u",
       "You cannot use an ORDER BY clause within a UNIONed query"},
      {"SELECT a FROM t UNION SELECT b FROM u ORDER BY 1 UNION SELECT c FROM v",
       "You cannot use an ORDER BY clause within a UNIONed query"},
      {"SELECT a FROM t UNION ALL x", "SELECT keyword expected, instead found 'x'"},
      {"SELECT a FROM t UNION (SELECT b FROM u", "Right parentheses expected after SELECT statement, instead found ''"},
  };
  for (const ErrorCase &c : cases) EXPECT_EQ(ParseError(c.Text), c.Message) << c.Text;
}

TEST(SelectErrorTest, OptionMessages) {
  const ErrorCase cases[] = {
      {"SELECT a FROM t TOP", "Integer value expected after TOP keyword, instead found ''"},
      {"SELECT a FROM t TOP x", "Integer value expected after TOP keyword, instead found 'x'"},
      {"SELECT a FROM t TOP -1", "Integer value expected after TOP keyword, instead found '-'"},
      {"SELECT a FROM t TOP 2.5", "Integer value expected after TOP keyword, instead found '2.5'"},
      {"SELECT a FROM t TOP 99999999999999999999",
       "Integer value expected after TOP keyword, instead found '99999999999999999999'"},
      {"SELECT a FROM t WITH LOCK", "LOCKS keyword expected after WITH keyword, instead found 'LOCK'"},
      {"SELECT a FROM t LANGUAGE 'Klingon'",
       "Invalid language constant 'Klingon' specified after LANGUAGE keyword"},
      {"SELECT a FROM t LANGUAGE x", "Invalid language constant 'x' specified after LANGUAGE keyword"},
      {"SELECT a FROM t LANGUAGE 'ANSI Standard' SORT 'German Phone Book Order'",
       "Invalid sort constant 'German Phone Book Order' specified after SORT keyword"},
      {"SELECT a FROM t LANGUAGE 'ANSI Standard' SORT 'Backwards'",
       "Invalid sort constant 'Backwards' specified after SORT keyword"},
      {"SELECT a FROM t ENCRYPTED 'pw'", "WITH keyword expected after ENCRYPTED keyword, instead found 'pw'"},
      {"SELECT a FROM t ENCRYPTED WITH pw", "Unknown or unexpected symbol 'pw' found in SQL statement"},
      {"(SELECT a FROM t", "Right parentheses expected after SELECT statement, instead found ''"},
      {"(SELECT a FROM t TOP 2 x)", "Right parentheses expected after SELECT statement, instead found 'x'"},
      {"SELECT a FROM t NOJOINOPTIMIZE TOP 1", "End of SELECT statement expected, instead found 'TOP'"},
      {"SELECT a FROM t WITH LOCKS TOP 1", "End of SELECT statement expected, instead found 'TOP'"},
  };
  for (const ErrorCase &c : cases) EXPECT_EQ(ParseError(c.Text), c.Message) << c.Text;
}

TEST(SelectErrorTest, TwoWordsAfterATableEndTheStatement) {
  EXPECT_EQ(ParseError("SELECT a FROM t c extra"),
            "End of SELECT statement expected, instead found 'extra'");
  // a = b = c is no chain: the second "=" ends the condition.
  EXPECT_EQ(ParseError("SELECT a FROM t WHERE a = b = c"),
            "End of SELECT statement expected, instead found '='");
}

TEST(SelectErrorTest, SubSelectsNestOnlySoDeep) {
  std::string text = "SELECT a FROM t WHERE a IN (";
  for (int i = 0; i < 40; ++i) text += "SELECT a FROM t WHERE a IN (";
  text += "SELECT a FROM t";
  for (int i = 0; i < 41; ++i) text += ")";
  EXPECT_EQ(ParseError(text), "Sub-select queries are nested too deeply in WHERE clause");

  std::string ok = "SELECT a FROM t WHERE a IN (";
  for (int i = 0; i < 10; ++i) ok += "SELECT a FROM t WHERE a IN (";
  ok += "SELECT a FROM t";
  for (int i = 0; i < 11; ++i) ok += ")";
  EXPECT_EQ(ParseError(ok), "(no error)");
}

TEST(SelectErrorTest, LongUnionChainsParseWithoutDeepRecursion) {
  std::string text = "SELECT a FROM t0";
  for (int i = 1; i < 5000; ++i) text += " UNION ALL SELECT a FROM t" + std::to_string(i);
  auto s = Prepare(text);
  EXPECT_EQ(s->Queries().size(), 5000u);
}

}  // namespace
