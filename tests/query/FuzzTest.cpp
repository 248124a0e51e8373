// Random token strings through the parser and the type checker: each gives a tree or the
// engine's SQL error, never anything else. Trees that check are also evaluated and folded.
#include <gtest/gtest.h>

#include <random>

#include "ExprTestSupport.h"
#include "query/expr/ConstantFolding.h"

using namespace kura;
using namespace kura::test;

namespace {

const char *const kTokens[] = {
    "a", "s", "d", "f", "flag", "b", "m", "t.a", "[s]", "'x'", "''", "'2004-01-02'", "'12:00'",
    "\"q\"", "#65", "#300", "1", "0", "-1", "2147483648", "9999999999999999999999", "1.5", "1e5",
    "1e", "12.3.4", ".5", "(", ")", "(", ")", ",", "+", "-", "*", "/", "=", "<", ">", "|", "||",
    "?", ".", "AND", "OR", "NOT", "LIKE", "BETWEEN", "IN", "IS", "NULL", "TRUE", "FALSE",
    "UPPER(", "LOWER(", "SUBSTRING(", "FROM", "FOR", "TRIM(", "LEADING", "BOTH", "EXTRACT(",
    "YEAR", "WEEK", "CAST(", "AS", "CHAR(5)", "INTEGER", "DECIMAL(10,2)", "DATE", "IF(",
    "THEN", "ELSE", "IFNULL(", "COALESCE(", "ABS(", "ROUND(", "TO", "POS(", "OCCURS(",
    "REPLACE(", "WITH", "LENGTH(", "SUM(", "COUNT(", "AVG(", "MIN(", "TEXTSEARCH(",
    "LASTAUTOINC(", "CURRENT_DATE", "/*", "*/", "'unterminated", "[open", "SELECT", "x"};

// A random expression that is mostly well formed, so that the checker and the evaluator see
// deep and varied trees, not only the parser's first token.
std::string RandomExpression(std::mt19937 &rng, int depth) {
  static const char *const leaves[] = {"a", "s", "d", "f", "b", "m", "1", "0", "2.5", "'x'",
                                       "''", "NULL", "'2004-01-02'", "TRUE", "-7", "2147483647"};
  static const char *const binary[] = {" + ", " - ", " * ", " / ", " || ", " = ", " <> ",
                                       " < ", " >= ", " AND ", " OR "};
  if (depth <= 0 || rng() % 4 == 0) return leaves[rng() % (sizeof(leaves) / sizeof(*leaves))];
  std::string x = RandomExpression(rng, depth - 1), y = RandomExpression(rng, depth - 1);
  switch (rng() % 14) {
    case 0: return "(" + x + ")";
    case 1: return "NOT " + x;
    case 2: return x + " LIKE " + y;
    case 3: return x + " BETWEEN " + y + " AND " + RandomExpression(rng, depth - 1);
    case 4: return x + " IN (" + y + ", " + RandomExpression(rng, depth - 1) + ")";
    case 5: return x + " IS NULL";
    case 6: return "UPPER(" + x + ")";
    case 7: return "SUBSTRING(" + x + " FROM " + y + ")";
    case 8: return "CAST(" + x + " AS CHAR(5))";
    case 9: return "IF(" + x + ", " + y + ", " + y + ")";
    case 10: return "COALESCE(" + x + ", " + y + ")";
    case 11: return "EXTRACT(WEEK FROM " + x + ")";
    case 12: return "ABS(" + x + ")";
    default: return x + binary[rng() % (sizeof(binary) / sizeof(*binary))] + y;
  }
}

TEST(FuzzTest, RandomTokenStringsGiveATreeOrTheSqlError) {
  TestRecord r;
  r.Add("a", TDataType::Integer)
      .Add("s", TDataType::String, 21)
      .Add("d", TDataType::Date)
      .Add("f", TDataType::Float)
      .Add("flag", TDataType::Boolean)
      .Add("b", TDataType::BCD, 34, FieldSubType::None, 2)
      .Add("m", TDataType::Blob, 8, FieldSubType::Memo);
  r.SetInt("a", 7);
  r.SetStr("s", "hello");
  r.SetInt("d", 732000);
  r.SetFloat("f", 2.5);
  r.SetInt("flag", 1);
  r.SetInt("b", 12345);
  r.SetStr("m", "memo text");

  std::mt19937 rng(20261209);
  const size_t tokenCount = sizeof(kTokens) / sizeof(kTokens[0]);
  const TParseContext contexts[] = {contexts::Where, contexts::SourceColumn, contexts::Having,
                                    contexts::ValueExpression, contexts::Filter};
  int parsed = 0, failed = 0;
  for (int i = 0; i < 40000; ++i) {
    std::string text;
    if (i % 2 == 0) {
      int length = 1 + static_cast<int>(rng() % 14);
      for (int k = 0; k < length; ++k) {
        text += kTokens[rng() % tokenCount];
        text += (rng() % 4 == 0) ? "" : " ";
      }
    } else {
      text = RandomExpression(rng, 1 + static_cast<int>(rng() % 5));
      // Now and then a token is dropped or inserted.
      if (rng() % 3 == 0 && !text.empty()) text.erase(rng() % text.size(), 1 + rng() % 3);
      if (rng() % 3 == 0) text.insert(rng() % (text.size() + 1), std::string(" ") + kTokens[rng() % tokenCount] + " ");
    }
    const TParseContext &ctx = contexts[rng() % 5];
    r.StringConstantsAsColumns = (i % 3 == 0);
    try {
      TExpTreePtr t = Compile(text, r, ctx, ctx.Flags & PF_EXTENDED);
      TEvaluator e(&r, i % 2 ? 1033 : 0, 0);
      TExpValue v;
      e.Eval(*t, v);
      e.Condition(*t);
      TExpTreePtr folded(CopyTreeFolded(t.get(), {}));
      e.Eval(*folded, v);
      ++parsed;
    } catch (const EKuraEngineError &err) {
      ASSERT_EQ(err.ErrorCode(), KURA_SQLPARSE) << text;
      ASSERT_FALSE(err.Context().Message.empty()) << text;
      ++failed;
    }
  }
  // Both outcomes occur, so the generator reaches past the first token.
  EXPECT_GT(parsed, 1000);
  EXPECT_GT(failed, 1000);
}

TEST(FuzzTest, RandomBytesThroughTheLexerAndParser) {
  std::mt19937 rng(77);
  TestRecord r;
  r.Add("a", TDataType::Integer);
  for (int i = 0; i < 20000; ++i) {
    std::string text;
    int length = static_cast<int>(rng() % 24);
    for (int k = 0; k < length; ++k) text.push_back(static_cast<char>(rng() % 256));
    try {
      Compile(text, r, contexts::Where);
    } catch (const EKuraEngineError &err) {
      ASSERT_EQ(err.ErrorCode(), KURA_SQLPARSE);
    }
  }
}

}  // namespace
