#include <gtest/gtest.h>

#include "ExprTestSupport.h"
#include "query/expr/DateTimeText.h"

using namespace kura;
using namespace kura::test;

namespace {

TestRecord MakeRecord() {
  TestRecord r;
  r.Add("s", TDataType::String, 21)
      .Add("s2", TDataType::String, 11)
      .Add("m", TDataType::Blob, 8, FieldSubType::Memo)
      .Add("g", TDataType::Blob, 8, FieldSubType::Graphic)
      .Add("n", TDataType::Integer)
      .Add("si", TDataType::SmallInt)
      .Add("w", TDataType::Word)
      .Add("li", TDataType::LargeInt)
      .Add("f", TDataType::Float)
      .Add("money", TDataType::Float, 8, FieldSubType::Money)
      .Add("b", TDataType::BCD, 34, FieldSubType::None, 2)
      .Add("b4", TDataType::BCD, 34, FieldSubType::None, 4)
      .Add("d", TDataType::Date)
      .Add("tm", TDataType::Time)
      .Add("ts", TDataType::TimeStamp)
      .Add("flag", TDataType::Boolean)
      .Add("by", TDataType::Bytes, 4)
      .Add("auto", TDataType::Integer, 4, FieldSubType::AutoInc);
  return r;
}

struct TypeCase {
  const char *Text;
  TDataType Type;
  uint32_t Size;
  FieldSubType Sub = FieldSubType::None;
  uint8_t Scale = 0;
};

TEST(TypeCheckerTest, ResultTypes) {
  TestRecord r = MakeRecord();
  using T = TDataType;
  const TypeCase cases[] = {
      {"7 / 2", T::Float, 8},
      {"7 - 2", T::Integer, 4},
      {"d - d", T::Integer, 4},
      {"ts - ts", T::Float, 8},
      {"ts - d", T::Integer, 4},
      {"ts - tm", T::Integer, 4},
      {"ts - 5", T::TimeStamp, 8},
      {"tm - tm", T::Integer, 4},
      {"tm - 5", T::Time, 4},
      {"tm + 5", T::Time, 4},
      {"5 + tm", T::Time, 4},
      {"5 + ts", T::TimeStamp, 8},
      {"d + 1", T::Date, 4},
      {"1 + d", T::Date, 4},
      {"d - 1", T::Date, 4},
      {"'abc' || 'de'", T::String, 6},
      {"s + s2", T::String, 31},
      {"s + m", T::Blob, 8, FieldSubType::Memo},
      {"si + w", T::Integer, 4},
      {"n + n", T::Integer, 4},
      {"n + li", T::LargeInt, 8},
      {"n + f", T::Float, 8},
      {"b + n", T::BCD, 34, FieldSubType::None, 2},
      {"b + b4", T::BCD, 34, FieldSubType::None, 4},
      {"b + f", T::Float, 8},
      {"b / n", T::BCD, 34, FieldSubType::None, 2},
      {"b / f", T::Float, 8},
      {"n / si", T::Float, 8},
      {"n * li", T::LargeInt, 8},
      {"money + n", T::Float, 8, FieldSubType::Money},
      {"f * money", T::Float, 8, FieldSubType::Money},
      {"f - money", T::Float, 8},
      {"money / 2", T::Float, 8, FieldSubType::Money},
      {"-n", T::Integer, 4},
      {"-auto", T::Integer, 4},
      {"+w", T::Word, 2},
      {"n = 1", T::Boolean, 2},
      {"NOT flag", T::Boolean, 2},
      {"s LIKE 'a%'", T::Boolean, 2},
      {"UPPER(s)", T::String, 21},
      {"LOWER(m)", T::Blob, 8, FieldSubType::Memo},
      {"LENGTH(s)", T::Integer, 4},
      {"SUBSTRING(s FROM 1 FOR 2)", T::String, 21},
      {"POS('a' IN s)", T::Integer, 4},
      {"OCCURS('a' IN s)", T::Integer, 4},
      {"TRIM(BOTH ' ' FROM s)", T::String, 21},
      {"EXTRACT(WEEK FROM d)", T::Integer, 4},
      {"EXTRACT(HOUR FROM '12:30')", T::Integer, 4},
      {"ABS(si)", T::SmallInt, 2},
      {"ROUND(f TO 2)", T::Float, 8},
      {"ROUND(b)", T::BCD, 34, FieldSubType::None, 2},
      {"CAST(n AS CHAR(5))", T::String, 6},
      {"CAST(s AS CHAR)", T::String, 21},
      {"CAST(n AS CHAR)", T::String, 11},
      {"CAST('1.5' AS DECIMAL(10,2))", T::BCD, 34, FieldSubType::None, 2},
      {"CAST(NULL AS DATE)", T::Date, 4},
      {"IF(n > 1, s, s2)", T::String, 21},
      {"IF(n > 1, s2, s)", T::String, 21},
      {"IFNULL(n, 'a', 'bcd')", T::String, 4},
      {"COALESCE(NULL, n, 2)", T::Integer, 4},
      {"COALESCE(s2, m)", T::Blob, 8, FieldSubType::Memo},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Text);
    TExpTreePtr t = Compile(c.Text, r);
    EXPECT_EQ(t->DataType, c.Type);
    EXPECT_EQ(t->Size, c.Size);
    EXPECT_EQ(t->SubType, c.Sub);
    EXPECT_EQ(t->Scale, c.Scale);
  }
}

TEST(TypeCheckerTest, AggregateTypes) {
  TestRecord r = MakeRecord();
  using T = TDataType;
  const TypeCase cases[] = {
      {"SUM(si)", T::Integer, 4},  {"SUM(w)", T::Integer, 4},      {"SUM(n)", T::LargeInt, 8},
      {"SUM(li)", T::LargeInt, 8}, {"SUM(f)", T::Float, 8},        {"RUNSUM(b)", T::BCD, 34, FieldSubType::None, 2},
      {"MIN(d)", T::Date, 4},      {"MAX(auto)", T::Integer, 4},   {"AVG(n)", T::Float, 8},
      {"AVG(b)", T::BCD, 34, FieldSubType::None, 2}, {"AVG(ts)", T::TimeStamp, 8},
      {"COUNT(*)", T::Integer, 4}, {"COUNT(s)", T::Integer, 4},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Text);
    TExpTreePtr t = Compile(c.Text, r, contexts::SourceColumn);
    EXPECT_EQ(t->DataType, c.Type);
    EXPECT_EQ(t->Size, c.Size);
    EXPECT_EQ(t->SubType, c.Sub);
    EXPECT_EQ(t->Scale, c.Scale);
  }
  EXPECT_EQ(CompileError("SUM(s)", r, contexts::SourceColumn),
            "SUM aggregate function must contain a numeric expression in source column expression");
  EXPECT_EQ(CompileError("MAX(s)", r, contexts::Having),
            "MAX aggregate function must contain a numeric, date, time, or timestamp expression in HAVING clause");
  EXPECT_EQ(CompileError("AVG(flag)", r, contexts::Having),
            "AVG aggregate function must contain a numeric, date, time, or timestamp expression in HAVING clause");
}

TEST(TypeCheckerTest, DateStringConstantsAreConvertedAtCheckTime) {
  TestRecord r = MakeRecord();
  TExpTreePtr t = Compile("d = '2004-12-31'", r);
  EXPECT_EQ(t->Right->DataType, TDataType::Date);
  EXPECT_EQ(t->Right->Value.Int, DayNumber(2004, 12, 31));
  TExpTreePtr u = Compile("'10:30 PM' < tm", r);
  EXPECT_EQ(u->Left->DataType, TDataType::Time);
  EXPECT_EQ(u->Left->Value.Int, (22 * 60 + 30) * 60000);
  TExpTreePtr v = Compile("ts >= '2004-01-02 03:04:05'", r);
  EXPECT_EQ(v->Right->DataType, TDataType::TimeStamp);
  TExpTreePtr w = Compile("d IN ('2004-01-01', '2004-01-02')", r);
  EXPECT_EQ(w->Args[2]->DataType, TDataType::Date);
  TExpTreePtr x = Compile("d BETWEEN '2004-01-01' AND '2004-12-31'", r);
  EXPECT_EQ(x->Args[1]->DataType, TDataType::Date);
  EXPECT_EQ(CompileError("d = 'abc'", r),
            "Date, time, or timestamp expression expected, instead found 'abc' in WHERE clause");
  EXPECT_EQ(CompileError("d = '2004-02-30'", r),
            "Date, time, or timestamp expression expected, instead found '2004-02-30' in WHERE clause");
  EXPECT_EQ(CompileError("tm = '25:00'", r),
            "Date, time, or timestamp expression expected, instead found '25:00' in WHERE clause");
}

TEST(TypeCheckerTest, BooleanColumnStandingAloneIsComparedWithTrue) {
  TestRecord r = MakeRecord();
  TExpTreePtr t = Compile("flag AND NOT flag OR flag", r, contexts::Where, true);
  // (flag = TRUE AND NOT (flag = TRUE)) OR flag = TRUE
  ASSERT_EQ(t->Code, TExpCode::Or);
  EXPECT_EQ(t->Right->Code, TExpCode::Equal);
  EXPECT_EQ(t->Left->Left->Code, TExpCode::Equal);
  EXPECT_EQ(t->Left->Right->Left->Code, TExpCode::Equal);
  TExpTreePtr top = Compile("flag", r, contexts::Where, true);
  EXPECT_EQ(top->Kind, TExpNodeKind::Binary);
  EXPECT_EQ(top->Parent, nullptr);
  // In a select-list column it stays a column.
  TExpTreePtr col = Compile("flag", r, contexts::SourceColumn, false);
  EXPECT_EQ(col->Kind, TExpNodeKind::Column);
}

TEST(TypeCheckerTest, StringConstantsNameColumnsInFilters) {
  TestRecord r = MakeRecord();
  r.StringConstantsAsColumns = true;
  TExpTreePtr t = Compile("'n' = 5", r);
  EXPECT_EQ(t->Left->Kind, TExpNodeKind::Column);
  EXPECT_TRUE(t->Left->StringAsColumn);
  EXPECT_EQ(t->Left->ConstDataType, TDataType::String);
  EXPECT_EQ(t->Left->DataType, TDataType::Integer);
  TExpTreePtr u = Compile("s = 'nothing'", r);
  EXPECT_EQ(u->Right->Kind, TExpNodeKind::Constant);
  r.StringConstantsAsColumns = false;
  EXPECT_EQ(CompileError("'n' = 5", r), "Type mismatch between constant 'n' and constant '5' in WHERE clause");
}

TEST(TypeCheckerTest, Messages) {
  TestRecord r = MakeRecord();
  struct {
    const char *Text, *Message;
  } cases[] = {
      {"x = 1", "Invalid column name 'x' or table correlation name '' specified in WHERE clause"},
      {"q.n = 1", "Invalid column name 'n' or table correlation name 'q' specified in WHERE clause"},
      {"NOT n", "Type mismatch between 'NOT' operator and 'n' in WHERE clause"},
      {"-s", "Type mismatch between '-' operator and 's' in WHERE clause"},
      {"-w", "Type mismatch between '-' operator and 'w' in WHERE clause"},
      {"s = 1", "Type mismatch between column 's' and constant '1' in WHERE clause"},
      {"n = s", "Type mismatch between column 'n' and column 's' in WHERE clause"},
      {"UPPER(s) = n + 1", "Type mismatch between function 'UPPER' and expression '+' in WHERE clause"},
      {"g = g", "Type mismatch between column 'g' and column 'g' in WHERE clause"},
      {"flag < flag", "Type mismatch between column 'flag' and column 'flag' in WHERE clause"},
      {"by > by", "Type mismatch between column 'by' and column 'by' in WHERE clause"},
      {"n AND flag", "Type mismatch between column 'n' and expression '=' in WHERE clause"},
      {"d + d", "Type mismatch between column 'd' and column 'd' in WHERE clause"},
      {"d + f", "Type mismatch between column 'd' and column 'f' in WHERE clause"},
      {"tm - d", "Type mismatch between column 'tm' and column 'd' in WHERE clause"},
      {"s * 2", "Type mismatch between column 's' and constant '2' in WHERE clause"},
      {"s LIKE 1", "Type mismatch between column 's' and constant '1' in WHERE clause"},
      {"n IN (1, 'a')", "Type mismatch between column 'n' and constant 'a' in WHERE clause"},
      {"n BETWEEN 1 AND s", "Type mismatch between column 'n' and column 's' in WHERE clause"},
      {"CAST(x AS CHAR(300))", "Length argument must be an integer greater than 0 and less than or equal to 250 in WHERE clause"},
      {"CAST(d AS INTEGER)", "Type mismatch between column 'd' and AS argument in WHERE clause"},
      {"CAST(f AS BOOLEAN)", "Type mismatch between column 'f' and AS argument in WHERE clause"},
      {"CAST(n AS TIME)", "Type mismatch between column 'n' and AS argument in WHERE clause"},
      {"COALESCE(NULL, NULL)", "At least one of the COALESCE expression arguments in WHERE clause must be a non-NULL value"},
      {"IF(n > 1, NULL, NULL)", "At least one of the IF expression arguments in WHERE clause must be a non-NULL value"},
      {"IF(n > 1, 1, 'a')", "Type mismatch between IF expression arguments in WHERE clause"},
      {"IFNULL(n, s, 1)", "Type mismatch between IFNULL expression arguments in WHERE clause"},
      {"IF(n, 1, 2)", "First expression argument of IF function must be a boolean type in WHERE clause"},
      {"UPPER(n)", "Expression argument of UPPER function must be a string or memo in WHERE clause"},
      {"LOWER(d)", "Expression argument of LOWER function must be a string or memo in WHERE clause"},
      {"LENGTH(n)", "Type mismatch between LENGTH function and function argument in WHERE clause"},
      {"SUBSTRING(n FROM 1)", "Expression argument of SUBSTRING function must be a string or memo in WHERE clause"},
      {"SUBSTRING(s FROM 'a')", "FROM argument of SUBSTRING function must be an integer value in WHERE clause"},
      {"SUBSTRING(s FROM 1 FOR 1.5)", "FOR argument of SUBSTRING function must be an integer value in WHERE clause"},
      {"REPLACE('a' WITH 'b' IN n)", "IN argument of REPLACE function must be a string or memo in WHERE clause"},
      {"POS('a' IN n)", "Type mismatch between POS function and IN argument in WHERE clause"},
      {"OCCURS(n IN s)", "Type mismatch between OCCURS function and search string argument in WHERE clause"},
      {"TRIM(LEADING 'ab' FROM s)", "Trim character argument of TRIM function must be a single character constant in WHERE clause"},
      {"TRIM(LEADING s FROM s)", "Trim character argument of TRIM function must be a single character constant in WHERE clause"},
      {"TRIM(LEADING 'a' FROM n)", "FROM argument of TRIM function must be a string or memo in WHERE clause"},
      {"EXTRACT(YEAR FROM n)", "FROM argument of EXTRACT function must be a date, time, or timestamp in WHERE clause"},
      {"EXTRACT(YEAR FROM 'abc')", "FROM argument of EXTRACT function must be a date, time, or timestamp in WHERE clause"},
      {"ABS(s)", "Expression argument of ABS function must be an integer, floating-point, or BCD type in WHERE clause"},
      {"ROUND(n)", "Expression argument of ROUND function must be a floating-point or BCD type in WHERE clause"},
      {"ROUND(f TO n)", "Decimal places argument of ROUND function must be an integer constant in WHERE clause"},
      {"ROUND(f TO 33)", "Decimal places argument of ROUND function must be an integer constant between 0 and 32 in WHERE clause"},
      {"TEXTSEARCH(s IN s)", "TEXTSEARCH search text function argument must be a string constant in WHERE clause"},
      {"TEXTOCCURS('a' IN s)", "TEXTOCCURS function column argument must be a valid column name in WHERE clause"},
      {"LASTAUTOINC('other')", "LASTAUTOINC table argument must be a string constant naming a source table in WHERE clause"},
  };
  for (const auto &c : cases) EXPECT_EQ(CompileError(c.Text, r), c.Message) << c.Text;
  EXPECT_EQ(CompileError("LASTAUTOINC('t')", r), "");
  EXPECT_EQ(CompileError("CAST(NULL AS TIME)", r), "");
  EXPECT_EQ(CompileError("s = m", r), "");
  EXPECT_EQ(CompileError("g = NULL", r), "");
  EXPECT_EQ(CompileError("d < ts", r), "");
  EXPECT_EQ(CompileError("n > b", r), "");
}

TEST(TypeCheckerTest, CastMatrix) {
  using T = TDataType;
  // Every source type that each target accepts, and a few it refuses.
  EXPECT_TRUE(CastAllowed(T::String, T::Date));
  EXPECT_TRUE(CastAllowed(T::TimeStamp, T::Date));
  EXPECT_FALSE(CastAllowed(T::Time, T::Date));
  EXPECT_TRUE(CastAllowed(T::Word, T::Boolean));
  EXPECT_FALSE(CastAllowed(T::Float, T::Boolean));
  EXPECT_TRUE(CastAllowed(T::Boolean, T::SmallInt));
  EXPECT_FALSE(CastAllowed(T::Boolean, T::Integer));
  EXPECT_TRUE(CastAllowed(T::Float, T::LargeInt));
  EXPECT_FALSE(CastAllowed(T::Date, T::Float));
  EXPECT_TRUE(CastAllowed(T::TimeStamp, T::Time));
  EXPECT_FALSE(CastAllowed(T::Date, T::Time));
  EXPECT_TRUE(CastAllowed(T::Time, T::TimeStamp));
  EXPECT_FALSE(CastAllowed(T::Integer, T::TimeStamp));
  for (T from : {T::String, T::Date, T::Blob, T::Boolean, T::Float, T::BCD, T::TimeStamp})
    for (T to : {T::String, T::Blob, T::Bytes, T::VarBytes}) EXPECT_TRUE(CastAllowed(from, to));
  EXPECT_TRUE(CastAllowed(T::Unknown, T::Date));
}

TEST(TypeCheckerTest, FailuresLeaveATreeThatCanBeFreed) {
  TestRecord r = MakeRecord();
  size_t before = TExpTokenStack::Instance().IdleCount();
  for (int i = 0; i < 50; ++i) EXPECT_NE(CompileError("(s || 'x') = 1 AND flag", r), "");
  size_t after = TExpTokenStack::Instance().IdleCount();
  EXPECT_GE(after, before);  // every node came back to the pool
}

}  // namespace
