// Statement framing: the twelve statement kinds, the end of a statement, scripts separated by
// ";", the lexer details a statement relies on, and the framing messages.
#include "SqlTestSupport.h"

using namespace kura;
using namespace kura::test;

namespace {

struct KindCase {
  const char *Text;
  TStatementKind Kind;
};

TEST(FramingTest, EveryStatementKindIsRecognisedFromItsWords) {
  const KindCase cases[] = {
      {"SELECT * FROM t", TStatementKind::Select},
      {"select a from t", TStatementKind::Select},
      {"(SELECT a FROM t)", TStatementKind::Select},
      {"INSERT INTO t VALUES (1)", TStatementKind::Insert},
      {"UPDATE t SET a = 1", TStatementKind::Update},
      {"DELETE FROM t", TStatementKind::Delete},
      {"CREATE TABLE t (a INTEGER)", TStatementKind::CreateTable},
      {"ALTER TABLE t ADD b INTEGER", TStatementKind::AlterTable},
      {"DROP TABLE t", TStatementKind::DropTable},
      {"CREATE INDEX i ON t (a)", TStatementKind::CreateIndex},
      {"CREATE UNIQUE INDEX i ON t (a)", TStatementKind::CreateIndex},
      {"CREATE ASC INDEX i ON t (a)", TStatementKind::CreateIndex},
      {"CREATE ASCENDING INDEX i ON t (a)", TStatementKind::CreateIndex},
      {"CREATE DESC INDEX i ON t (a)", TStatementKind::CreateIndex},
      {"CREATE DESCENDING INDEX i ON t (a)", TStatementKind::CreateIndex},
      {"create nocase index i on t (a)", TStatementKind::CreateIndex},
      {"DROP INDEX t.i", TStatementKind::DropIndex},
      {"START TRANSACTION", TStatementKind::StartTransaction},
      {"ROLLBACK", TStatementKind::Rollback},
      {"ROLLBACK WORK", TStatementKind::Rollback},
      {"COMMIT", TStatementKind::Commit},
      {"COMMIT WORK FLUSH", TStatementKind::Commit},
  };
  for (const KindCase &c : cases) {
    SCOPED_TRACE(c.Text);
    auto s = Prepare(c.Text);
    EXPECT_EQ(s->Kind(), c.Kind);
    EXPECT_TRUE(s->Prepared());
    EXPECT_EQ(s->Master()->Kind, c.Kind);
    EXPECT_FALSE(s->HasNextStatement());
  }
}

TEST(FramingTest, StatementNames) {
  EXPECT_STREQ(StatementKindName(TStatementKind::Select), "SELECT");
  EXPECT_STREQ(StatementKindName(TStatementKind::CreateIndex), "CREATE INDEX");
  EXPECT_STREQ(StatementKindName(TStatementKind::StartTransaction), "START TRANSACTION");
  EXPECT_STREQ(StatementKindName(TStatementKind::Unknown), "UNKNOWN");
}

TEST(FramingTest, CommitFlushAndWork) {
  EXPECT_TRUE(Prepare("COMMIT FLUSH")->Master()->Flush);
  EXPECT_TRUE(Prepare("commit work flush;")->Master()->Flush);
  EXPECT_FALSE(Prepare("COMMIT WORK")->Master()->Flush);
}

struct ErrorCase {
  const char *Text;
  const char *Message;
};

TEST(FramingTest, FramingMessagesNameTheOffendingToken) {
  const ErrorCase cases[] = {
      {"", "SELECT, INSERT, UPDATE, DELETE, CREATE, ALTER, or DROP keyword expected, instead found ''"},
      {"MERGE INTO t", "SELECT, INSERT, UPDATE, DELETE, CREATE, ALTER, or DROP keyword expected, instead found 'MERGE'"},
      {";", "SELECT, INSERT, UPDATE, DELETE, CREATE, ALTER, or DROP keyword expected, instead found ';'"},
      {"( INSERT", "SELECT keyword expected, instead found 'INSERT'"},
      {"CREATE VIEW v", "TABLE, INDEX, UNIQUE, ASC, ASCENDING, DESC, DESCENDING, or NOCASE keyword expected, instead found 'VIEW'"},
      {"ALTER INDEX i", "TABLE keyword expected, instead found 'INDEX'"},
      {"DROP VIEW v", "TABLE or INDEX keyword expected, instead found 'VIEW'"},
      {"START WORK", "TRANSACTION keyword expected, instead found 'WORK'"},
      {"SELECT a FROM t x y", "End of SELECT statement expected, instead found 'y'"},
      {"INSERT INTO t VALUES (1) 2", "End of INSERT statement expected, instead found '2'"},
      {"UPDATE t SET a = 1 b", "End of UPDATE statement expected, instead found 'b'"},
      {"DELETE FROM t x y", "End of DELETE statement expected, instead found 'y'"},
      {"CREATE TABLE t (a INTEGER) x", "End of CREATE TABLE statement expected, instead found 'x'"},
      {"ALTER TABLE t DROP a x", "End of ALTER TABLE statement expected, instead found 'x'"},
      {"DROP TABLE t x", "End of DROP TABLE statement expected, instead found 'x'"},
      {"CREATE INDEX i ON t (a) x", "End of CREATE INDEX statement expected, instead found 'x'"},
      {"DROP INDEX t.i x", "End of DROP INDEX statement expected, instead found 'x'"},
      {"START TRANSACTION x", "End of START TRANSACTION statement expected, instead found 'x'"},
      {"ROLLBACK x", "End of ROLLBACK statement expected, instead found 'x'"},
      {"COMMIT x", "End of COMMIT statement expected, instead found 'x'"},
  };
  for (const ErrorCase &c : cases) EXPECT_EQ(ParseError(c.Text), c.Message) << c.Text;
}

TEST(FramingTest, LexerFailuresCarryTheStatementContext) {
  EXPECT_EQ(ParseError("SELECT a FROM t /* never closed"),
            "Missing ending comment slash and asterisk in SQL statement");
  EXPECT_EQ(ParseError("SELECT a FROM [t"), "Missing right bracket after 't' in SQL statement");
  EXPECT_EQ(ParseError("SELECT a FROM t WHERE s = 'ab"),
            "Missing single quote after 'ab' in WHERE clause");
  EXPECT_EQ(ParseError("SELECT a FROM \"t"), "Missing double quote after 't' in SQL statement");
}

TEST(FramingTest, SemicolonIsOptionalAtTheEnd) {
  auto a = Prepare("SELECT a FROM t;");
  auto b = Prepare("SELECT a FROM t");
  EXPECT_EQ(a->Master()->Fields.size(), 1u);
  EXPECT_EQ(b->Master()->Fields.size(), 1u);
  EXPECT_FALSE(a->HasNextStatement());
  EXPECT_FALSE(Prepare("SELECT a FROM t;   /* trailing comment */  ")->HasNextStatement());
}

TEST(FramingTest, ApplicationQueriesSplitOverLinesParseAsOneStatement) {
  auto s = Prepare("select * from mokuji\r\nWhere MNB > 0\r\nOrder By MNB");
  EXPECT_TRUE(s->SelectsAllColumns());
  ASSERT_EQ(s->Master()->OrderBy.size(), 1u);
  EXPECT_EQ(s->Master()->OrderBy[0].ColumnName, "MNB");
  ASSERT_TRUE(s->Master()->Where);

  auto f = Prepare("Select *\nFrom figure\nWhere (MNB = ?) and (BFR > 0) order by BFR");
  EXPECT_EQ(f->ParameterCount(), 1u);
  EXPECT_EQ(f->Master()->Sources[0].TableName, "figure");
}

TEST(FramingTest, CommentBetweenClausesParses) {
  auto s = Prepare("SELECT a FROM t /* the table */ WHERE a > 1");
  EXPECT_EQ(s->Master()->Sources[0].CorrelationName, "t");
  EXPECT_TRUE(s->Master()->Where);
}

TEST(FramingTest, ScriptsArePreparedOneStatementAtATime) {
  TQueryStatement s;
  s.Prepare("START TRANSACTION; DELETE FROM t WHERE a = ?; ROLLBACK;");
  EXPECT_EQ(s.Kind(), TStatementKind::StartTransaction);
  ASSERT_TRUE(s.HasNextStatement());
  s.PrepareNext();
  EXPECT_EQ(s.Kind(), TStatementKind::Delete);
  EXPECT_EQ(s.ParameterCount(), 1u);
  ASSERT_TRUE(s.HasNextStatement());
  s.PrepareNext();
  EXPECT_EQ(s.Kind(), TStatementKind::Rollback);
  EXPECT_EQ(s.ParameterCount(), 0u);
  EXPECT_FALSE(s.HasNextStatement());
}

TEST(FramingTest, AFailingStatementInAScriptLeavesTheStatementUnprepared) {
  TQueryStatement s;
  s.Prepare("SELECT a FROM t; SELECT FROM u; SELECT b FROM v");
  ASSERT_TRUE(s.HasNextStatement());
  try {
    s.PrepareNext();
    FAIL() << "the second statement parsed";
  } catch (const EKuraEngineError &e) {
    EXPECT_EQ(e.ErrorCode(), KURA_SQLPARSE);
    EXPECT_EQ(e.EngineMessage(), "SQL error - Source column expression is empty");
  }
  EXPECT_FALSE(s.Prepared());
  EXPECT_EQ(s.Master(), nullptr);
  // The rest of a failed script is not parsed.
  EXPECT_FALSE(s.HasNextStatement());
  s.PrepareNext();
  EXPECT_FALSE(s.Prepared());
  // The same statement object prepares a new text afterwards.
  s.Prepare("SELECT c FROM w");
  EXPECT_TRUE(s.Prepared());
  EXPECT_EQ(s.Master()->Fields[0].ColumnName, "c");
}

TEST(FramingTest, KeywordsAreNamesWhereTheGrammarDoesNotExpectThem) {
  auto s = Prepare("SELECT [select], \"from\" AS [where] FROM [order]");
  EXPECT_EQ(s->Master()->Sources[0].TableName, "order");
  EXPECT_EQ(s->Master()->Fields[0].ColumnName, "select");
  EXPECT_EQ(s->Master()->Fields[1].Alias, "where");
  auto q = Prepare("SELECT name, value FROM 'table' AS t");
  EXPECT_EQ(q->Master()->Sources[0].TableName, "table");
  EXPECT_EQ(q->Master()->Sources[0].CorrelationName, "t");
}

TEST(FramingTest, ValidatorRunsForEveryPartFromTheLastToTheMaster) {
  TQueryStatement s;
  std::vector<const TDataQuery *> seen;
  s.SetValidator([&](TQueryStatement &st, TDataQuery &q) {
    seen.push_back(&q);
    if (&q == st.Master()) st.SetResultLive(true);
  });
  s.Prepare("SELECT a FROM t WHERE a IN (SELECT b FROM u) UNION SELECT c FROM v");
  ASSERT_EQ(s.Queries().size(), 3u);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0], s.Queries()[2].get());
  EXPECT_EQ(seen[1], s.Queries()[1].get());
  EXPECT_EQ(seen[2], s.Master());
  EXPECT_TRUE(s.ResultLive());
}

TEST(FramingTest, AValidatorFailureLeavesTheStatementUnprepared) {
  TQueryStatement s;
  s.SetValidator([](TQueryStatement &, TDataQuery &) { RaiseSqlError("checked and refused"); });
  EXPECT_THROW(s.Prepare("SELECT a FROM t WHERE a = ?"), EKuraEngineError);
  EXPECT_FALSE(s.Prepared());
  EXPECT_EQ(s.ParameterCount(), 0u);
  EXPECT_EQ(s.Master(), nullptr);
}

}  // namespace
