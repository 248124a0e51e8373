// Random token sequences and randomly damaged statements through the statement parser: each
// gives a parsed statement or the SQL error (11949), never another failure, a crash or a hang.
#include <gtest/gtest.h>

#include <random>

#include "SqlTestSupport.h"

using namespace kura;
using namespace kura::test;

namespace {

const char *const kTokens[] = {
    "SELECT", "INSERT", "UPDATE", "DELETE", "CREATE", "ALTER", "DROP", "START", "TRANSACTION",
    "COMMIT", "ROLLBACK", "WORK", "FLUSH", "INTERVAL", "TABLE", "INDEX", "UNIQUE", "ASC", "DESC",
    "NOCASE", "PRIMARY", "KEY", "CONSTRAINT", "COMPRESS", "FULL", "NONE", "ADD", "REDEFINE",
    "COLUMN", "AT", "NOBACKUP", "IF", "NOT", "EXISTS", "INTO", "VALUES", "SET", "FROM", "WHERE",
    "GROUP", "BY", "HAVING", "ORDER", "UNION", "ALL", "DISTINCT", "AS", "JOIN", "INNER", "LEFT",
    "RIGHT", "OUTER", "ON", "TOP", "WITH", "LOCKS", "LANGUAGE", "SORT", "ENCRYPTED",
    "NOJOINOPTIMIZE", "NOAUTOINC", "MEMORY", "DEFAULT", "MIN", "MAX", "CHARCASE", "UPPER",
    "DESCRIPTION", "TEXT", "STOP", "WORDS", "BLOB", "BLOCK", "SIZE", "USER", "MAJOR", "VERSION",
    "LAST", "AUTOINC", "INTEGER", "CHAR(10)", "DECIMAL(5,2)", "DATE", "MEMO", "NULL", "TRUE",
    "IN", "LIKE", "BETWEEN", "AND", "OR", "IS", "COUNT(*)", "SUM(", "AVG(", "CAST(", "t", "u",
    "a", "b", "x", "[order]", "'str'", "''", "'ANSI Standard'", "'Default Order'", "\"dq\"",
    "db\\t", "'dir/t.dat'", "1", "0", "42", "2.5", "99999999999999999999", "#65", "(", ")", "(",
    ")", ",", ",", ".", ";", "*", "=", "<", ">", "+", "-", "/", "?", "\\", "|", "/*c*/", "/*",
    "'open", "[open", "\x80\xfe"};

std::string RandomTokens(std::mt19937 &rng, size_t count) {
  std::string text;
  for (size_t i = 0; i < count; ++i) {
    text += kTokens[rng() % (sizeof(kTokens) / sizeof(*kTokens))];
    text += rng() % 5 == 0 ? "\n" : " ";
  }
  return text;
}

// Well-formed statements to damage by deleting, repeating or swapping tokens.
const char *const kStatements[] = {
    "SELECT DISTINCT a AS x, SUM(b) FROM t JOIN u ON t.a = u.a WHERE a IN (SELECT c FROM v "
    "WHERE c > ?) GROUP BY 1 HAVING SUM(b) > 2 ORDER BY 2 DESC NOCASE TOP 5 WITH LOCKS",
    "SELECT a FROM (t LEFT OUTER JOIN u ON t.a = u.a) UNION ALL SELECT b FROM v ORDER BY 1",
    "SELECT * INTO MEMORY r FROM db\\t x LANGUAGE 'ANSI Standard' SORT 'Default Order' "
    "ENCRYPTED WITH 'p' NOJOINOPTIMIZE",
    "INSERT INTO t (a, b) VALUES (?, 'x') NOAUTOINC COMMIT INTERVAL 10 FLUSH",
    "INSERT INTO t SELECT a, b FROM u WHERE a = ? COMMIT FLUSH",
    "UPDATE t SET a = a + 1, b = ? FROM t JOIN u ON t.a = u.a WHERE u.b = 1 COMMIT INTERVAL 5",
    "DELETE FROM t, u WHERE t.a = u.a NOJOINOPTIMIZE",
    "CREATE TABLE IF NOT EXISTS t (a INTEGER NOT NULL DEFAULT 0, b CHAR(5) CHARCASE UPPER, "
    "PRIMARY KEY (a) COMPRESS FULL TEXT INDEX (b) STOP WORDS 'x' DESCRIPTION 'd' "
    "BLOB BLOCK SIZE 512 USER MAJOR VERSION 1 LAST AUTOINC 3)",
    "CREATE UNIQUE NOCASE INDEX IF NOT EXISTS i ON t (a, b) COMPRESS DUPBYTE",
    "ALTER TABLE t ADD c DATE AT 1, REDEFINE b CHAR(9), DROP a, DROP PRIMARY KEY NOBACKUP",
    "DROP INDEX IF EXISTS t.i; DROP TABLE IF EXISTS t; START TRANSACTION; COMMIT FLUSH",
};

std::vector<std::string> Split(const std::string &text) {
  std::vector<std::string> words;
  std::string word;
  for (char c : text) {
    if (c == ' ') {
      if (!word.empty()) words.push_back(word);
      word.clear();
    } else {
      word.push_back(c);
    }
  }
  if (!word.empty()) words.push_back(word);
  return words;
}

std::string Damage(std::mt19937 &rng, const std::string &text) {
  std::vector<std::string> w = Split(text);
  int edits = 1 + int(rng() % 3);
  for (int e = 0; e < edits && !w.empty(); ++e) {
    size_t i = rng() % w.size();
    switch (rng() % 4) {
      case 0: w.erase(w.begin() + long(i)); break;
      case 1: w.insert(w.begin() + long(i), w[rng() % w.size()]); break;
      case 2: std::swap(w[i], w[rng() % w.size()]); break;
      default: w[i] = kTokens[rng() % (sizeof(kTokens) / sizeof(*kTokens))]; break;
    }
  }
  std::string out;
  for (const std::string &s : w) out += s + " ";
  return out;
}

// Prepares every statement of the text; true when all parsed.
bool RunScript(const std::string &text) {
  TQueryStatement s;
  try {
    s.Prepare(text);
    size_t guard = 0;
    while (s.HasNextStatement()) {
      s.PrepareNext();
      if (++guard > text.size()) ADD_FAILURE() << "script never ends: " << text;
    }
    return true;
  } catch (const EKuraEngineError &e) {
    EXPECT_EQ(e.ErrorCode(), KURA_SQLPARSE) << text;
    EXPECT_FALSE(s.Prepared()) << text;
    EXPECT_EQ(s.ParameterCount(), 0u) << text;
    return false;
  } catch (const std::exception &e) {
    ADD_FAILURE() << "unexpected failure " << e.what() << " for: " << text;
    return false;
  }
}

TEST(StatementFuzzTest, RandomTokenSequencesGiveAStatementOrTheSqlError) {
  std::mt19937 rng(20261209);
  int parsed = 0;
  for (int i = 0; i < 40000; ++i) {
    std::string text = RandomTokens(rng, 1 + rng() % 30);
    // Start most texts with a statement word, so that the grammar gets past the first token.
    static const char *const starts[] = {"SELECT ", "SELECT a FROM t ", "INSERT INTO t ",
                                         "UPDATE t SET a = 1 ", "DELETE FROM t ",
                                         "CREATE TABLE t (a INTEGER ", "ALTER TABLE t ",
                                         "CREATE INDEX i ON t ", "DROP ", "", ""};
    text = starts[rng() % (sizeof(starts) / sizeof(*starts))] + text;
    if (RunScript(text)) ++parsed;
  }
  // Some random texts do parse; the test is about the rest failing cleanly.
  RecordProperty("parsed", parsed);
  EXPECT_GT(parsed, 0);
}

TEST(StatementFuzzTest, DamagedStatementsGiveAStatementOrTheSqlError) {
  std::mt19937 rng(7);
  int parsed = 0;
  for (const char *statement : kStatements) ASSERT_TRUE(RunScript(statement)) << statement;
  for (int i = 0; i < 20000; ++i) {
    const char *base = kStatements[rng() % (sizeof(kStatements) / sizeof(*kStatements))];
    if (RunScript(Damage(rng, base))) ++parsed;
  }
  RecordProperty("parsed", parsed);
  EXPECT_GT(parsed, 0);
}

TEST(StatementFuzzTest, DeepNestingFailsCleanly) {
  // Parentheses, sub-selects and FROM parentheses far beyond any sensible depth.
  std::string parens = "SELECT a FROM t WHERE " + std::string(5000, '(') + "a" + std::string(5000, ')');
  EXPECT_FALSE(RunScript(parens));
  std::string from = "SELECT a FROM " + std::string(100000, '(') + "t";
  EXPECT_FALSE(RunScript(from));
  std::string subs;
  for (int i = 0; i < 2000; ++i) subs += "SELECT a FROM t WHERE a IN (";
  EXPECT_FALSE(RunScript(subs));
  // Sub-selects that each hold a deeply parenthesised condition open.
  std::string held;
  for (int i = 0; i < 40; ++i) held += "SELECT a FROM t WHERE " + std::string(250, '(') + "a IN (";
  held += "SELECT a FROM t";
  for (int i = 0; i < 40; ++i) held += ")" + std::string(250, ')');
  EXPECT_FALSE(RunScript(held));
  std::string chain = "SELECT a FROM t WHERE a = 1";
  for (int i = 0; i < 5000; ++i) chain += " OR a = 1";
  EXPECT_FALSE(RunScript(chain));
}

}  // namespace
