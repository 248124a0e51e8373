// INSERT, UPDATE and DELETE: what they are parsed into, and their messages.
#include "SqlTestSupport.h"

using namespace kura;
using namespace kura::test;

namespace {

struct ErrorCase {
  const char *Text;
  const char *Message;
};

TEST(ChangeStatementTest, InsertValuesWithAColumnList) {
  auto s = Prepare("INSERT INTO figure (MNB, t.TES, [CMT]) VALUES (?, 2 + 3, 'it''s') NOAUTOINC "
                   "COMMIT INTERVAL 100 FLUSH");
  const TDataQuery &q = *s->Master();
  EXPECT_EQ(q.Target.TableName, "figure");
  EXPECT_EQ(q.TargetCorrelation, "figure");
  ASSERT_EQ(q.UpdateFields.size(), 3u);
  EXPECT_EQ(q.UpdateFields[0].ColumnName, "MNB");
  EXPECT_EQ(q.UpdateFields[1].ColumnName, "TES");
  EXPECT_EQ(q.UpdateFields[1].CorrelationName, "t");
  EXPECT_EQ(q.UpdateFields[2].ColumnName, "CMT");
  EXPECT_FALSE(q.UpdateFields[0].AllColumns);
  ASSERT_EQ(q.UpdateValues.size(), 3u);
  EXPECT_TRUE(q.UpdateValues[0].Expression->IsParameter);
  const TExpToken &sum = *q.UpdateValues[1].Expression;
  EXPECT_EQ(sum.Code, TExpCode::Add);
  ASSERT_TRUE(sum.Left && sum.Right);
  EXPECT_EQ(sum.Left->Value.Int, 2);
  EXPECT_EQ(sum.Right->Value.Int, 3);
  EXPECT_EQ(q.UpdateValues[2].Expression->Value.Str, "it's");
  EXPECT_TRUE(q.NoAutoInc);
  EXPECT_TRUE(q.Commit.Given);
  EXPECT_TRUE(q.Commit.IntervalGiven);
  EXPECT_EQ(q.Commit.Interval, 100);
  EXPECT_TRUE(q.Commit.Flush);
  EXPECT_EQ(s->ParameterCount(), 1u);
}

TEST(ChangeStatementTest, InsertWithoutAColumnListTargetsAllColumns) {
  auto s = Prepare("INSERT INTO MEMORY db\\t AS x VALUES (1, NULL)");
  const TDataQuery &q = *s->Master();
  EXPECT_TRUE(q.Target.InMemory);
  EXPECT_EQ(q.Target.Database, "db");
  EXPECT_EQ(q.Target.TableName, "t");
  EXPECT_EQ(q.TargetCorrelation, "x");
  ASSERT_EQ(q.UpdateFields.size(), 1u);
  EXPECT_TRUE(q.UpdateFields[0].AllColumns);
  EXPECT_EQ(q.UpdateValues.size(), 2u);
  EXPECT_FALSE(q.NoAutoInc);
  EXPECT_FALSE(q.Commit.Given);
}

TEST(ChangeStatementTest, InsertSelectIsASubSelect) {
  auto s = Prepare("INSERT INTO t (a, b) SELECT x, y FROM u WHERE x > ? NOAUTOINC COMMIT FLUSH");
  const TDataQuery &q = *s->Master();
  ASSERT_NE(q.InsertSelect, nullptr);
  EXPECT_TRUE(q.InsertSelect->IsSubSelect);
  EXPECT_EQ(q.InsertSelect->Fields.size(), 2u);
  // NOAUTOINC and COMMIT end the sub-select's source list instead of naming its correlation.
  EXPECT_EQ(q.InsertSelect->Sources[0].CorrelationName, "u");
  EXPECT_TRUE(q.NoAutoInc);
  EXPECT_TRUE(q.Commit.Flush);
  EXPECT_FALSE(q.Commit.IntervalGiven);
  EXPECT_EQ(s->ParameterCount(), 1u);
  EXPECT_EQ(s->Queries().size(), 2u);

  auto c = Prepare("INSERT INTO t SELECT * FROM u COMMIT INTERVAL 5");
  EXPECT_EQ(c->Master()->InsertSelect->Sources[0].CorrelationName, "u");
  EXPECT_EQ(c->Master()->Commit.Interval, 5);
  auto u = Prepare("INSERT INTO t SELECT a FROM u UNION SELECT b FROM v NOAUTOINC");
  EXPECT_TRUE(u->Master()->NoAutoInc);
  EXPECT_EQ(u->Queries().size(), 3u);
}

TEST(ChangeStatementTest, UpdateWithSetFromWhereAndOptions) {
  auto s = Prepare("UPDATE figure f SET CMT = 'x', f.BFR = BFR + ? FROM figure f JOIN mokuji m "
                   "ON m.MNB = f.MNB WHERE m.PRB = ? NOAUTOINC COMMIT INTERVAL 10 NOJOINOPTIMIZE");
  const TDataQuery &q = *s->Master();
  EXPECT_EQ(q.TargetCorrelation, "f");
  ASSERT_EQ(q.UpdateFields.size(), 2u);
  EXPECT_EQ(q.UpdateFields[1].CorrelationName, "f");
  EXPECT_EQ(q.UpdateFields[1].ColumnName, "BFR");
  const TExpToken &sum = *q.UpdateValues[1].Expression;
  EXPECT_EQ(sum.Code, TExpCode::Add);
  ASSERT_TRUE(sum.Left && sum.Right);
  EXPECT_EQ(sum.Left->ColumnName, "BFR");
  EXPECT_TRUE(sum.Right->IsParameter);
  ASSERT_EQ(q.Sources.size(), 2u);
  EXPECT_EQ(q.Joins.size(), 1u);
  EXPECT_TRUE(q.Where);
  EXPECT_TRUE(q.NoAutoInc);
  EXPECT_EQ(q.Commit.Interval, 10);
  EXPECT_TRUE(q.NoJoinOptimize);
  ASSERT_EQ(s->ParameterCount(), 2u);
  EXPECT_EQ(s->Parameters()[0]->Parent->Text, "+");
  EXPECT_EQ(s->Parameters()[1]->Parent->Left->ColumnName, "PRB");
}

TEST(ChangeStatementTest, UpdateWithoutFromHasTheTargetAsItsOnlySource) {
  auto s = Prepare("UPDATE t SET a = 1 WHERE b IN (SELECT c FROM u)");
  const TDataQuery &q = *s->Master();
  ASSERT_EQ(q.Sources.size(), 1u);
  EXPECT_EQ(q.Sources[0].TableName, "t");
  EXPECT_EQ(q.Sources[0].CorrelationName, "t");
  EXPECT_EQ(q.Sources[0].Position, 1);
  EXPECT_FALSE(q.IsJoinQuery);
}

TEST(ChangeStatementTest, DeleteFromSources) {
  auto s = Prepare("DELETE FROM t x, u WHERE x.a = u.a COMMIT INTERVAL 3 NOJOINOPTIMIZE");
  const TDataQuery &q = *s->Master();
  EXPECT_EQ(q.Target.TableName, "t");
  EXPECT_EQ(q.TargetCorrelation, "x");
  EXPECT_EQ(q.Sources.size(), 2u);
  EXPECT_TRUE(q.IsJoinQuery);
  EXPECT_EQ(q.Commit.Interval, 3);
  EXPECT_TRUE(q.NoJoinOptimize);

  // A commit clause straight after the table is no correlation name.
  auto c = Prepare("DELETE FROM t COMMIT FLUSH");
  EXPECT_EQ(c->Master()->TargetCorrelation, "t");
  EXPECT_TRUE(c->Master()->Commit.Flush);
}

TEST(ChangeStatementTest, Messages) {
  const ErrorCase cases[] = {
      {"INSERT t VALUES (1)", "INTO keyword expected, instead found 't'"},
      // VALUES is the table name here; its column list then holds a number.
      {"INSERT INTO VALUES (1)", "Unknown or unexpected symbol '1' found in table column"},
      {"INSERT INTO t x", "VALUES or SELECT  keyword expected, instead found ''"},
      {"INSERT INTO t (a) 5", "VALUES or SELECT  keyword expected, instead found '5'"},
      {"INSERT INTO (a) VALUES (1)", "Table name expected after INTO keyword, instead found '('"},
      {"INSERT INTO t (a, b VALUES (1, 2)",
       "Right parentheses expected after list of table columns, instead found 'VALUES'"},
      {"INSERT INTO t (a, 1) VALUES (1, 2)", "Unknown or unexpected symbol '1' found in table column"},
      {"INSERT INTO t (a.) VALUES (1)",
       "Column name expected after table correlation name, instead found ')'"},
      {"INSERT INTO t VALUES 1", "Left parentheses expected after VALUES keyword, instead found '1'"},
      {"INSERT INTO t VALUES (1, 2", "Right parentheses expected after list of values, instead found ''"},
      {"INSERT INTO t VALUES (1 2)", "Right parentheses expected after list of values, instead found '2'"},
      {"INSERT INTO t (a, b, c) VALUES (1, 2)", "The number of values must match the number of table columns"},
      {"INSERT INTO t (a) VALUES (1, 2)", "The number of values must match the number of table columns"},
      {"INSERT INTO t DEFAULT VALUES", "Left parentheses expected after VALUES keyword, instead found ''"},
      {"INSERT INTO t VALUES (a LIKE 'x')",
       "Extended predicate operators (LIKE, BETWEEN, IN, IS NULL) are not allowed in value expression"},
      {"INSERT INTO t VALUES (SUM(a))", "Aggregate functions are not allowed in value expression"},
      {"INSERT INTO t VALUES (1) COMMIT", "INTERVAL and/or FLUSH keywords expected after COMMIT keyword, instead found ''"},
      {"INSERT INTO t VALUES (1) COMMIT INTERVAL x",
       "Integer value expected after INTERVAL keyword, instead found 'x'"},
      {"INSERT INTO t VALUES (1) COMMIT NOAUTOINC",
       "INTERVAL and/or FLUSH keywords expected after COMMIT keyword, instead found 'NOAUTOINC'"},
      {"INSERT INTO t VALUES (1) COMMIT FLUSH NOAUTOINC", "End of INSERT statement expected, instead found 'NOAUTOINC'"},
      {"UPDATE SET a = 1", "SET keyword expected, instead found '='"},
      {"UPDATE 5 SET a = 1", "Table name expected, instead found '5'"},
      {"UPDATE t a = 1", "SET keyword expected, instead found '='"},
      {"UPDATE t SET a 1", "Assignment (=) operator expected after column name, instead found '1'"},
      {"UPDATE t SET = 1", "Unknown or unexpected symbol '=' found in table column"},
      {"UPDATE t SET a = ", "Unknown or unexpected symbol '' found in value expression"},
      {"UPDATE t SET a = 1 FROM u",
       "The first source table specified in FROM clause must match the table being updated in "
       "the UPDATE statement"},
      {"UPDATE t x SET a = 1 FROM t",
       "The first source table specified in FROM clause must match the table being updated in "
       "the UPDATE statement"},
      {"UPDATE t SET a = 1 WHERE", "Unknown or unexpected symbol '' found in WHERE clause"},
      {"DELETE t", "FROM keyword expected, instead found 't'"},
      {"DELETE FROM", "Table name expected after FROM keyword, instead found ''"},
      {"DELETE FROM t WHERE a = 1 NOJOINOPTIMIZE COMMIT FLUSH",
       "End of DELETE statement expected, instead found 'COMMIT'"},
  };
  for (const ErrorCase &c : cases) EXPECT_EQ(ParseError(c.Text), c.Message) << c.Text;
}

TEST(ChangeStatementTest, UpdateFromAcceptsTheTargetWrittenDifferently) {
  EXPECT_EQ(ParseError("update T x set a = 1 from t X where X.a = 2"), "(no error)");
  EXPECT_EQ(ParseError("UPDATE db\\t SET a = 1 FROM DB\\T"), "(no error)");
  EXPECT_NE(ParseError("UPDATE db\\t SET a = 1 FROM t"), "(no error)");
}

}  // namespace
