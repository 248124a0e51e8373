#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "ExprTestSupport.h"
#include "query/expr/Bcd.h"
#include "query/expr/DateTimeText.h"

using namespace kura;
using namespace kura::test;

namespace {

class EvaluatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    R.Add("name", TDataType::String, 21)
        .Add("s", TDataType::String, 21)
        .Add("x", TDataType::Integer)
        .Add("n", TDataType::Integer)
        .Add("si", TDataType::SmallInt)
        .Add("w", TDataType::Word)
        .Add("li", TDataType::LargeInt)
        .Add("f", TDataType::Float)
        .Add("b", TDataType::BCD, 34, FieldSubType::None, 4)
        .Add("d", TDataType::Date)
        .Add("d2", TDataType::Date)
        .Add("tm", TDataType::Time)
        .Add("ts", TDataType::TimeStamp)
        .Add("ts2", TDataType::TimeStamp)
        .Add("flag", TDataType::Boolean)
        .Add("m", TDataType::Blob, 8, FieldSubType::Memo);
  }
  bool C(const std::string &t) { return Cond(t, R); }
  TExpValue V(const std::string &t) { return EvalText(t, R).Value; }
  int64_t I(const std::string &t) {
    TExpValue v = V(t);
    EXPECT_FALSE(v.Null) << t;
    return v.Int;
  }
  double F(const std::string &t) {
    TExpValue v = V(t);
    EXPECT_FALSE(v.Null) << t;
    return v.Float;
  }
  std::string S(const std::string &t) { return V(t).Str; }
  bool IsNull(const std::string &t) { return V(t).Null; }

  TestRecord R;
};

TEST_F(EvaluatorTest, NullRulesOfEquality) {
  R.SetNull("name");
  EXPECT_TRUE(C("name = ''"));  // the empty string constant is NULL, and NULL = NULL
  EXPECT_FALSE(C("name <> ''"));
  EXPECT_TRUE(C("name IS NULL"));
  R.SetStr("name", "Ann");
  EXPECT_FALSE(C("name = ''"));
  EXPECT_TRUE(C("name <> ''"));
  EXPECT_TRUE(C("name IS NOT NULL"));

  R.SetNull("x");
  EXPECT_TRUE(C("x <> 5"));  // NULL <> value is TRUE
  EXPECT_FALSE(C("x = 5"));
  EXPECT_TRUE(C("x = NULL"));
  EXPECT_FALSE(C("x <> NULL"));
  R.SetInt("x", 5);
  EXPECT_FALSE(C("x <> 5"));
  EXPECT_TRUE(C("x = 5"));
}

TEST_F(EvaluatorTest, NullRulesOfOrdering) {
  // Strings compare by collation whatever their NULL flags: NULL is the empty string.
  R.SetNull("s");
  EXPECT_FALSE(C("s > ''"));
  EXPECT_TRUE(C("s >= ''"));
  EXPECT_TRUE(C("s < 'a'"));
  R.SetStr("s", "a");
  EXPECT_TRUE(C("s > ''"));
  // Other types: exactly one NULL is FALSE, two NULLs compare as equal zeros.
  R.SetNull("x");
  EXPECT_FALSE(C("x > 0"));
  EXPECT_FALSE(C("x < 0"));
  EXPECT_FALSE(C("x >= 0"));
  R.SetNull("n");
  EXPECT_TRUE(C("x >= n"));
  EXPECT_TRUE(C("x <= n"));
  EXPECT_FALSE(C("x > n"));
}

TEST_F(EvaluatorTest, LogicTreatsNullAsFalse) {
  R.SetNull("flag");
  EXPECT_FALSE(C("flag"));
  EXPECT_FALSE(C("flag AND TRUE"));
  EXPECT_TRUE(C("flag OR TRUE"));
  EXPECT_TRUE(C("NOT flag"));
  R.SetInt("flag", 1);
  EXPECT_TRUE(C("flag"));
  EXPECT_FALSE(C("NOT flag"));
  EXPECT_TRUE(C("NOT (1 = 2) AND (2 = 2 OR 1 = 0)"));
}

TEST_F(EvaluatorTest, Like) {
  R.SetStr("s", "abc");
  struct {
    const char *Text;
    bool Want;
  } cases[] = {
      {"s LIKE 'a%'", true},   {"s LIKE 'a_c'", true},  {"s LIKE 'A%'", false},
      {"'ab' LIKE 'ab_'", false}, {"'a' LIKE 'a%%'", true}, {"s LIKE '%'", true},
      {"s LIKE '%c'", true},   {"s LIKE '%b%'", true},  {"s LIKE '%d%'", false},
      {"s LIKE 'abc'", true},  {"s LIKE 'ab'", false},  {"s LIKE '___'", true},
      {"s LIKE '____'", false}, {"'aXbXc' LIKE 'a%b%c'", true}, {"'abcbc' LIKE '%bc'", true},
      {"'mississippi' LIKE '%iss%ppi'", true}, {"'mississippi' LIKE 'm%s_p%'", true},
      {"s NOT LIKE 'a%'", false}, {"s NOT LIKE 'x%'", true},
      {"'' LIKE '%'", false},  // a NULL side is FALSE
      {"s LIKE ''", false},
      {"'' NOT LIKE 'a'", true},  // and NOT LIKE is its negation
  };
  for (const auto &c : cases) EXPECT_EQ(C(c.Text), c.Want) << c.Text;
  // Characters are UTF-8 sequences: "_" takes a whole character.
  R.SetStr("s", "\xE7\x9F\xB3\xE5\x9B\xB2");  // two kanji
  EXPECT_TRUE(C("s LIKE '__'"));
  EXPECT_FALSE(C("s LIKE '___'"));
}

TEST_F(EvaluatorTest, LikeUnderALanguageIgnoresMarksButNotCase) {
  TExpTreePtr t = Compile("'r\xC3\xA9sum\xC3\xA9' LIKE 'resume'", R, contexts::Where, true);
  TEvaluator english(&R, 1033, 0), ansi(&R, 0, 0);
  EXPECT_TRUE(english.Condition(*t));
  EXPECT_FALSE(ansi.Condition(*t));
  TExpTreePtr u = Compile("'abc' LIKE 'A%'", R, contexts::Where, true);
  EXPECT_FALSE(english.Condition(*u));
}

TEST_F(EvaluatorTest, BetweenAndIn) {
  R.SetInt("x", 5);
  EXPECT_TRUE(C("x BETWEEN 1 AND 5"));
  EXPECT_TRUE(C("x BETWEEN 5 AND 5"));
  EXPECT_FALSE(C("x BETWEEN 6 AND 9"));
  EXPECT_TRUE(C("x NOT BETWEEN 6 AND 9"));
  EXPECT_FALSE(C("x BETWEEN 9 AND 1"));
  EXPECT_TRUE(C("x IN (1, 5, 7)"));
  EXPECT_FALSE(C("x IN (1, 7)"));
  EXPECT_TRUE(C("x NOT IN (1, 7)"));
  EXPECT_TRUE(C("x IN (1.0, 5.0)"));
  R.SetNull("x");
  EXPECT_TRUE(C("x IN (1, NULL)"));  // NULL = NULL holds in an IN list too
  EXPECT_FALSE(C("x IN (1, 2)"));
  EXPECT_TRUE(C("x NOT IN (1, 2)"));
  EXPECT_FALSE(C("x BETWEEN 1 AND 2"));
  R.SetStr("s", "m");
  EXPECT_TRUE(C("s BETWEEN 'a' AND 'z'"));
  EXPECT_TRUE(C("s IN ('x', 'm')"));
}

TEST_F(EvaluatorTest, Arithmetic) {
  EXPECT_DOUBLE_EQ(F("7 / 2"), 3.5);
  EXPECT_EQ(I("7 - 2"), 5);
  EXPECT_EQ(I("2 + 3 * 4"), 14);
  EXPECT_EQ(I("-(2 - 9)"), 7);
  EXPECT_DOUBLE_EQ(F("1.5 * 2"), 3.0);
  EXPECT_EQ(S("'abc' || 'de'"), "abcde");
  EXPECT_EQ(S("'abc' + ''"), "abc");  // a NULL string counts as empty
  EXPECT_TRUE(IsNull("'' + ''"));
  R.SetNull("x");
  EXPECT_TRUE(IsNull("x + 1"));
  EXPECT_TRUE(IsNull("x * 0"));
  R.SetInt("x", 3);
  R.SetFloat("f", 0.5);
  EXPECT_DOUBLE_EQ(F("x + f"), 3.5);
  // Money stays a float value; BCD computes with four places.
  R.SetInt("b", 12345);  // 1.2345
  EXPECT_EQ(I("b * 2"), 24690);
  EXPECT_EQ(I("b + 1"), 22345);
  EXPECT_EQ(I("b / 3"), 4115);
  EXPECT_DOUBLE_EQ(F("b + 0.5"), 1.7345);
}

TEST_F(EvaluatorTest, OverflowAndDivisionByZeroGiveNull) {
  R.SetInt("x", std::numeric_limits<int32_t>::max());
  EXPECT_TRUE(IsNull("x + 1"));
  EXPECT_TRUE(IsNull("x * x"));
  R.SetInt("x", std::numeric_limits<int32_t>::min());
  EXPECT_TRUE(IsNull("-x"));
  EXPECT_TRUE(IsNull("ABS(x)"));
  EXPECT_TRUE(IsNull("x - 1"));
  R.SetInt("li", std::numeric_limits<int64_t>::max());
  EXPECT_TRUE(IsNull("li + 1"));
  EXPECT_TRUE(IsNull("li * 2"));
  R.SetInt("li", std::numeric_limits<int64_t>::min());
  EXPECT_TRUE(IsNull("-li"));
  EXPECT_TRUE(IsNull("ABS(li)"));
  R.SetInt("si", -32768);
  EXPECT_TRUE(IsNull("-si"));
  EXPECT_TRUE(IsNull("ABS(si)"));
  EXPECT_TRUE(IsNull("1 / 0"));
  EXPECT_TRUE(IsNull("1.5 / 0"));
  EXPECT_TRUE(IsNull("0 / 0"));
  R.SetInt("b", 10000);
  EXPECT_TRUE(IsNull("b / 0"));
  R.SetInt("b", std::numeric_limits<int64_t>::max());
  EXPECT_TRUE(IsNull("b * b"));
  EXPECT_TRUE(IsNull("b + b"));
  EXPECT_TRUE(IsNull("1E308 * 10"));
}

TEST_F(EvaluatorTest, DateAndTimeArithmetic) {
  R.SetInt("d", DayNumber(2004, 3, 1));
  R.SetInt("d2", DayNumber(2004, 2, 1));
  EXPECT_EQ(I("d - d2"), 29);  // days between them, leap year
  EXPECT_EQ(I("d - 1"), DayNumber(2004, 2, 29));
  EXPECT_EQ(I("d + 365"), DayNumber(2005, 3, 1));
  EXPECT_EQ(I("1 + d"), DayNumber(2004, 3, 2));
  R.SetInt("tm", 23 * 3600000);
  EXPECT_EQ(I("tm + 3600000"), 0);  // a time wraps around midnight
  EXPECT_EQ(I("tm - 1000"), 23 * 3600000 - 1000);
  EXPECT_EQ(I("tm - tm"), 0);
  R.SetFloat("ts", TimeStampOf(DayNumber(2004, 3, 1), 12 * 3600000));
  R.SetFloat("ts2", TimeStampOf(DayNumber(2004, 3, 1), 0));
  EXPECT_DOUBLE_EQ(F("ts - ts2"), 12.0 * 3600000);
  EXPECT_DOUBLE_EQ(F("ts + 1000"), TimeStampOf(DayNumber(2004, 3, 1), 12 * 3600000 + 1000));
  EXPECT_EQ(I("ts - d2"), 29);
  EXPECT_EQ(I("ts - tm"), 12 * 3600000 - 23 * 3600000);
  // Date against TimeStamp compares the date as midnight.
  EXPECT_TRUE(C("d = ts2"));
  EXPECT_TRUE(C("d < ts"));
  R.SetInt("d", std::numeric_limits<int32_t>::max());
  EXPECT_TRUE(IsNull("d + 1"));
}

TEST_F(EvaluatorTest, StringFunctions) {
  R.SetStr("s", "hello");
  EXPECT_EQ(S("SUBSTRING(s FROM 0 FOR 2)"), S("SUBSTRING(s FROM 1 FOR 2)"));
  EXPECT_EQ(S("SUBSTRING(s FROM 1 FOR 2)"), "he");
  EXPECT_EQ(S("SUBSTRING(s FROM 10)"), "");
  EXPECT_TRUE(IsNull("SUBSTRING(s FROM 10)"));
  EXPECT_EQ(S("SUBSTRING(s FROM 2)"), "ello");
  EXPECT_EQ(S("SUBSTRING(s FROM 2 FOR -3)"), "");
  EXPECT_EQ(S("SUBSTRING(s FROM -5 FOR 2147483647)"), "hello");
  EXPECT_EQ(S("SUBSTRING(s FROM 2147483647 FOR 2147483647)"), "");
  EXPECT_EQ(S("SUBSTRING(s FROM 5 FOR 9)"), "o");
  EXPECT_EQ(S("UPPER(s)"), "HELLO");
  EXPECT_EQ(S("LOWER('AbC')"), "abc");
  EXPECT_EQ(I("LENGTH(s)"), 5);
  EXPECT_TRUE(IsNull("LENGTH('')"));
  EXPECT_EQ(S("REPLACE('l' WITH 'L' IN s)"), "heLLo");
  EXPECT_EQ(S("REPLACE('aa' WITH 'b' IN 'aaaaa')"), "bba");
  EXPECT_EQ(S("REPLACE('l' WITH 'l' IN s)"), "hello");
  EXPECT_EQ(S("REPLACE('' WITH 'x' IN s)"), "hello");  // nothing to look for: unchanged
  EXPECT_EQ(S("REPLACE('l' WITH '' IN s)"), "heo");
  EXPECT_EQ(I("POS('l' IN s)"), 3);
  EXPECT_EQ(I("POS('z' IN s)"), 0);
  EXPECT_EQ(I("POS('l' IN '')"), 0);
  EXPECT_EQ(I("OCCURS('l' IN s)"), 2);
  EXPECT_EQ(I("OCCURS('aa' IN 'aaaaa')"), 2);
  EXPECT_EQ(I("OCCURS('a' IN '')"), 0);
  EXPECT_EQ(S("TRIM(LEADING 'x' FROM 'xxabxx')"), "abxx");
  EXPECT_EQ(S("TRIM(TRAILING 'x' FROM 'xxabxx')"), "xxab");
  EXPECT_EQ(S("TRIM(BOTH 'x' FROM 'xxabxx')"), "ab");
  EXPECT_TRUE(IsNull("TRIM(BOTH 'x' FROM 'xxx')"));
}

TEST_F(EvaluatorTest, Extract) {
  // WEEK: 4 January is always in week 1; 31 December 2004 is in week 53.
  for (int year = 1990; year <= 2030; ++year) {
    R.SetInt("d", DayNumber(year, 1, 4));
    EXPECT_EQ(I("EXTRACT(WEEK FROM d)"), 1) << year;
  }
  R.SetInt("d", DayNumber(2004, 12, 31));
  EXPECT_EQ(I("EXTRACT(WEEK FROM d)"), 53);
  R.SetInt("d", DayNumber(2005, 1, 2));  // a Sunday before the first Monday: last week of 2004
  EXPECT_EQ(I("EXTRACT(WEEK FROM d)"), 53);
  R.SetInt("d", DayNumber(2007, 12, 31));  // a Monday belonging to week 1 of 2008
  EXPECT_EQ(I("EXTRACT(WEEK FROM d)"), 1);
  R.SetInt("d", DayNumber(2004, 12, 31));
  EXPECT_EQ(I("EXTRACT(YEAR FROM d)"), 2004);
  EXPECT_EQ(I("EXTRACT(MONTH FROM d)"), 12);
  EXPECT_EQ(I("EXTRACT(DAY FROM d)"), 31);
  EXPECT_EQ(I("EXTRACT(DAYOFWEEK FROM d)"), 5);  // a Friday
  EXPECT_EQ(I("EXTRACT(DAYOFYEAR FROM d)"), 366);
  EXPECT_EQ(I("EXTRACT(DAYOFYEAR FROM '2005-01-01')"), 1);
  EXPECT_EQ(I("EXTRACT(DAYOFWEEK FROM '2024-01-01')"), 1);  // Monday
  EXPECT_EQ(I("EXTRACT(DAYOFWEEK FROM '2024-01-07')"), 7);  // Sunday
  R.SetFloat("ts", TimeStampOf(DayNumber(2004, 5, 6), ((13 * 60 + 14) * 60 + 15) * 1000 + 16));
  EXPECT_EQ(I("EXTRACT(HOUR FROM ts)"), 13);
  EXPECT_EQ(I("EXTRACT(MINUTE FROM ts)"), 14);
  EXPECT_EQ(I("EXTRACT(SECOND FROM ts)"), 15);
  EXPECT_EQ(I("EXTRACT(MONTH FROM ts)"), 5);
  // A time alone falls on day zero.
  R.SetInt("tm", 3600000 * 7);
  EXPECT_EQ(I("EXTRACT(HOUR FROM tm)"), 7);
  EXPECT_EQ(I("EXTRACT(YEAR FROM tm)"), 1899);
  EXPECT_EQ(I("EXTRACT(DAY FROM tm)"), 30);
  R.SetNull("d");
  EXPECT_TRUE(IsNull("EXTRACT(YEAR FROM d)"));
}

TEST_F(EvaluatorTest, CastGivesNullWhenTheValueDoesNotConvert) {
  EXPECT_TRUE(IsNull("CAST('abc' AS INTEGER)"));
  EXPECT_EQ(I("CAST('42' AS INTEGER)"), 42);
  EXPECT_EQ(I("CAST(' -42 ' AS INTEGER)"), -42);
  EXPECT_TRUE(IsNull("CAST('99999999999' AS INTEGER)"));
  EXPECT_EQ(I("CAST('99999999999' AS LARGEINT)"), 99999999999LL);
  EXPECT_EQ(I("CAST('70000' AS SMALLINT)"), static_cast<int16_t>(70000));  // low 16 bits
  EXPECT_EQ(I("CAST(2.9 AS INTEGER)"), 2);
  EXPECT_EQ(I("CAST(-2.9 AS INTEGER)"), -2);
  EXPECT_TRUE(IsNull("CAST(1E300 AS INTEGER)"));
  EXPECT_EQ(I("CAST(70000 AS SMALLINT)"), 4464);
  EXPECT_EQ(I("CAST('1.23456' AS DECIMAL(10,2))"), 12300);
  EXPECT_EQ(I("CAST(2.5 AS DECIMAL(10,0))"), 30000);
  EXPECT_EQ(S("CAST(1.5 AS CHAR(10))"), "1.5");
  EXPECT_EQ(S("CAST(12345 AS CHAR(3))"), "123");
  EXPECT_EQ(S("CAST(TRUE AS CHAR(10))"), "True");
  EXPECT_EQ(I("CAST('true' AS BOOLEAN)"), 1);
  EXPECT_TRUE(IsNull("CAST('yes' AS BOOLEAN)"));
  // Any integer or BCD casts to BOOLEAN by being non-zero.
  EXPECT_EQ(I("CAST(5 AS BOOLEAN)"), 1);
  EXPECT_EQ(I("CAST(0 AS BOOLEAN)"), 0);
  EXPECT_EQ(I("CAST(CAST(-3000000000 AS LARGEINT) AS BOOLEAN)"), 1);
  EXPECT_EQ(I("CAST(CAST(0.5 AS DECIMAL(10,2)) AS BOOLEAN)"), 1);
  EXPECT_EQ(I("CAST('2004-12-31' AS DATE)"), DayNumber(2004, 12, 31));
  EXPECT_TRUE(IsNull("CAST('2004-13-01' AS DATE)"));
  EXPECT_EQ(S("CAST(CAST('2004-01-02' AS DATE) AS CHAR(20))"), "2004-01-02");
  EXPECT_EQ(S("CAST(CAST('1:05 PM' AS TIME) AS CHAR(20))"), "13:05");
  EXPECT_EQ(S("CAST(CAST('2004-01-02 3:04:05.6' AS TIMESTAMP) AS CHAR(30))"),
            "2004-01-02 03:04:05.006");
  EXPECT_TRUE(IsNull("CAST(NULL AS INTEGER)"));
  EXPECT_EQ(I("CAST(CAST('2004-01-02 23:00' AS TIMESTAMP) AS DATE)"), DayNumber(2004, 1, 2));
}

TEST_F(EvaluatorTest, ConditionalFunctions) {
  R.SetNull("x");
  EXPECT_EQ(S("IFNULL(x, 'a', 'b')"), "a");
  R.SetInt("x", 1);
  EXPECT_EQ(S("IFNULL(x, 'a', 'b')"), "b");
  EXPECT_EQ(S("IF(x > 0 THEN 'pos' ELSE 'neg')"), "pos");
  EXPECT_EQ(S("IF(x < 0, 'pos', 'neg')"), "neg");
  R.SetNull("flag");
  EXPECT_EQ(I("IF(flag, 1, 2)"), 2);  // a NULL condition counts as FALSE
  R.SetNull("n");
  EXPECT_EQ(I("COALESCE(n, x, 7)"), 1);
  R.SetNull("x");
  EXPECT_EQ(I("COALESCE(n, x, 7)"), 7);
  EXPECT_TRUE(IsNull("COALESCE(n, x)"));
  // The chosen value is converted to the result type: Integer here.
  EXPECT_EQ(V("IF(1 = 1, 2, 2.7)").Int, 2);
  EXPECT_EQ(EvalText("IF(1 = 0, 2, 2.7)", R).Value.Int, 2);
  EXPECT_EQ(EvalText("IF(1 = 0, 2, 2.7)", R).Type, TDataType::Integer);
  EXPECT_TRUE(C("IF(1 = 1, 1, 2) = 1"));
  EXPECT_TRUE(C("IF(x IS NULL, 1, 2) = 1"));  // IF takes extended predicates
}

TEST_F(EvaluatorTest, AbsAndRound) {
  EXPECT_EQ(I("ABS(-5)"), 5);
  EXPECT_DOUBLE_EQ(F("ABS(-2.5)"), 2.5);
  R.SetInt("w", 65535);
  EXPECT_EQ(I("ABS(w)"), 65535);
  EXPECT_DOUBLE_EQ(F("ROUND(2.5)"), 3);
  EXPECT_DOUBLE_EQ(F("ROUND(-2.5)"), -3);
  EXPECT_DOUBLE_EQ(F("ROUND(2.4)"), 2);
  EXPECT_DOUBLE_EQ(F("ROUND(1.2345 TO 2)"), 1.23);
  EXPECT_DOUBLE_EQ(F("ROUND(-1.235 TO 2)"), -1.24);
  EXPECT_DOUBLE_EQ(F("ROUND(1E300 TO 32)"), 1e300);
  R.SetInt("b", 25000);  // 2.5
  EXPECT_EQ(I("ROUND(b)"), 30000);
  R.SetInt("b", -25000);
  EXPECT_EQ(I("ROUND(b)"), -30000);
  R.SetInt("b", 12345);
  EXPECT_EQ(I("ROUND(b TO 2)"), 12300);
  EXPECT_EQ(I("ROUND(b TO 30)"), 12345);
  R.SetNull("f");
  EXPECT_TRUE(IsNull("ROUND(f)"));
}

TEST_F(EvaluatorTest, ComparisonsAcrossTypes) {
  R.SetInt("x", 2);
  R.SetFloat("f", 2.0);
  R.SetInt("b", 20000);
  R.SetInt("li", 2);
  EXPECT_TRUE(C("x = f"));
  EXPECT_TRUE(C("x = b"));
  EXPECT_TRUE(C("b = f"));
  EXPECT_TRUE(C("li = x"));
  EXPECT_TRUE(C("b < 2.00001"));
  EXPECT_TRUE(C("x < 2.5"));
  R.SetStr("s", "b");
  EXPECT_TRUE(C("s > 'a'"));
  EXPECT_TRUE(C("s < 'c'"));
  EXPECT_TRUE(C("'B' < 'a'"));  // byte order with no language
  EXPECT_TRUE(C("TRUE = TRUE AND TRUE <> FALSE"));
}

TEST_F(EvaluatorTest, StringsCompareByTheCollation) {
  TExpTreePtr t = Compile("'B' < 'a'", R, contexts::Where, true);
  TEvaluator ansi(&R, 0, 0), english(&R, 1033, 0);
  EXPECT_TRUE(ansi.Condition(*t));
  EXPECT_FALSE(english.Condition(*t));
  TExpTreePtr u = Compile("UPPER('stra\xC3\x9F" "e') = 'STRASSE'", R, contexts::Where, true);
  EXPECT_TRUE(english.Condition(*u));
}

TEST_F(EvaluatorTest, EvaluateReturnsAPoolConstant) {
  R.SetInt("x", 20);
  TExpTreePtr t = Compile("x * 2 + 1", R);
  TExpTreePtr c(Evaluate(t.get(), &R, 0, 0));
  EXPECT_EQ(c->Kind, TExpNodeKind::Constant);
  EXPECT_EQ(c->DataType, TDataType::Integer);
  EXPECT_EQ(c->Value.Int, 41);
  EXPECT_FALSE(c->Value.Null);
}

TEST_F(EvaluatorTest, WithoutARecordColumnsAreNull) {
  TExpTreePtr t = Compile("x + 1", R);
  TEvaluator e(nullptr);
  TExpValue v;
  e.Eval(*t, v);
  EXPECT_TRUE(v.Null);
}

}  // namespace

namespace {

TEST_F(EvaluatorTest, ReplaceRefusesResultsBeyondItsLimit) {
  R.SetStr("m", std::string(1 << 20, 'a'));  // 1 MiB of "a" in a memo
  EXPECT_TRUE(IsNull("REPLACE('a' WITH '" + std::string(100, 'b') + "' IN m)"));
  EXPECT_EQ(V("REPLACE('a' WITH 'bb' IN m)").Str.size(), size_t(2) << 20);
}

}  // namespace
