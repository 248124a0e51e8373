#include <gtest/gtest.h>

#include "ExprTestSupport.h"
#include "query/expr/Parser.h"

using namespace kura;

namespace {

// Prefix form of a tree: operators and functions as (op args...), leaves as their text.
std::string Shape(const TExpToken *n) {
  if (!n) return "?";
  switch (n->Kind) {
    case TExpNodeKind::Column: return n->Text;
    case TExpNodeKind::Constant:
      if (n->IsParameter) return "?";
      if (n->Value.Null) return "NULL";
      if (n->DataType == TDataType::String) return "'" + n->Value.Str + "'";
      return n->Text;
    default: break;
  }
  std::string s = "(" + n->Text;
  if (n->Left) s += " " + Shape(n->Left);
  if (n->Right) s += " " + Shape(n->Right);
  for (const TExpToken *a : n->Args) s += " " + Shape(a);
  return s + ")";
}

std::string ParseShape(const std::string &text, const TParseContext &ctx = contexts::Where) {
  TExpressionParser p;
  TExpTreePtr tree(p.ParseWholeText(text, ctx));
  return Shape(tree.get());
}

std::string ParseError(const std::string &text, const TParseContext &ctx = contexts::Where) {
  TExpressionParser p;
  try {
    TExpTreePtr tree(p.ParseWholeText(text, ctx));
  } catch (const EKuraEngineError &e) {
    EXPECT_EQ(e.ErrorCode(), KURA_SQLPARSE);
    return e.Context().Message;
  }
  return "";
}

TEST(ParserTest, Precedence) {
  struct {
    const char *Text, *Shape;
  } cases[] = {
      {"a OR b AND c", "(OR a (AND b c))"},
      // A lone operand ends the expression at once; one followed by an operator goes on.
      {"a", "a"},
      {"-7", "(- 7)"},
      {"(a OR b)", "(OR a b)"},
      {"(a) OR NOT b", "(OR a (NOT b))"},
      {"a AND b OR c", "(OR (AND a b) c)"},
      {"NOT a = b", "(NOT (= a b))"},
      {"NOT a = b AND c", "(AND (NOT (= a b)) c)"},
      {"a + b * c", "(+ a (* b c))"},
      {"a - b - c", "(- (- a b) c)"},
      {"a / b * c", "(* (/ a b) c)"},
      {"-a * b", "(* (- a) b)"},
      {"(a + b) * c", "(* (+ a b) c)"},
      {"a || b + c", "(+ (|| a b) c)"},
      {"a | | b", "(|| a b)"},
      {"a < > b", "(<> a b)"},
      {"a <= b", "(<= a b)"},
      {"a > = b", "(>= a b)"},
      {"a >= b + 1", "(>= a (+ b 1))"},
      {"x IS NULL", "(= x NULL)"},
      {"x IS NOT NULL", "(<> x NULL)"},
      {"x NOT LIKE 'a%'", "(NOT LIKE x 'a%')"},
      {"x BETWEEN 1 AND 2 AND y", "(AND (BETWEEN x 1 2) y)"},
      {"x NOT IN (1, 2, 3)", "(NOT IN x 1 2 3)"},
      {"t.a = [my col]", "(= t.a my col)"},
      {"'t'.a = 1", "(= t.a 1)"},
      {"UPPER(a) = 'X'", "(= (UPPER a) 'X')"},
      {"SUBSTRING(a FROM 2 FOR 3)", "(SUBSTRING a 2 3)"},
      {"TRIM(LEADING 'x' FROM a)", "(TRIM 'x' a)"},
      {"IF(a > 1 THEN 'y' ELSE 'n')", "(IF (> a 1) 'y' 'n')"},
      {"IF(a > 1, 'y', 'n')", "(IF (> a 1) 'y' 'n')"},
      {"COALESCE(a, b, 1)", "(COALESCE a b 1)"},
      {"x = ?", "(= x ?)"},
      {"#65 = 'A'", "(= 'A' 'A')"},
      {"x = ''", "(= x NULL)"},
      {"a /* note */ = 1", "(= a 1)"},
  };
  for (const auto &c : cases) EXPECT_EQ(ParseShape(c.Text), c.Shape) << c.Text;
}

TEST(ParserTest, ComparisonIsNotAChain) {
  // The second "=" ends the expression; the caller then finds it where it expects more.
  TExpressionParser p;
  p.SetText("a = b = c");
  p.NextToken();
  TExpTreePtr tree(p.ParseExpression(PF_EXTENDED));
  EXPECT_EQ(Shape(tree.get()), "(= a b)");
  EXPECT_TRUE(p.IsKind('='));
  EXPECT_EQ(ParseError("a = b = c"), "Unknown or unexpected symbol '=' found in WHERE clause");
}

TEST(ParserTest, Constants) {
  TExpressionParser p;
  struct {
    const char *Text;
    TDataType Type;
  } cases[] = {
      {"2147483647", TDataType::Integer},      {"2147483648", TDataType::LargeInt},
      {"9223372036854775807", TDataType::LargeInt}, {"9223372036854775808", TDataType::Float},
      {"1.5", TDataType::Float},               {"2E3", TDataType::Float},
      {"'x'", TDataType::String},              {"TRUE", TDataType::Boolean},
      {"false", TDataType::Boolean},           {"NULL", TDataType::Unknown},
      {"CURRENT_DATE", TDataType::Date},       {"current_time()", TDataType::Time},
      {"CURRENT_TIMESTAMP", TDataType::TimeStamp},
  };
  for (const auto &c : cases) {
    TExpTreePtr t(p.ParseWholeText(c.Text, contexts::Where));
    EXPECT_EQ(t->Kind, TExpNodeKind::Constant) << c.Text;
    EXPECT_EQ(t->DataType, c.Type) << c.Text;
  }
  TExpTreePtr empty(p.ParseWholeText("''", contexts::Where));
  EXPECT_EQ(empty->DataType, TDataType::String);
  EXPECT_TRUE(empty->Value.Null);  // the empty string is NULL
  TExpTreePtr big(p.ParseWholeText("2147483648", contexts::Where));
  EXPECT_EQ(big->Value.Int, 2147483648LL);
  TExpTreePtr chr(p.ParseWholeText("#255", contexts::Where));
  EXPECT_EQ(chr->Value.Str, std::string(1, '\xFF'));
}

TEST(ParserTest, ParametersAreCollectedInOrder) {
  struct Owner : TExpressionOwner {
    std::vector<TExpToken *> Markers;
    void AddParameter(TExpToken *m) override { Markers.push_back(m); }
    TDataQuery *ParseSubSelect(TExpressionParser &) override { return nullptr; }
  } owner;
  TExpressionParser p;
  p.SetOwner(&owner);
  TExpTreePtr t(p.ParseWholeText("a = ? AND b IN (?, ?)", contexts::Where));
  ASSERT_EQ(owner.Markers.size(), 3u);
  EXPECT_TRUE(owner.Markers[0]->IsParameter);
  EXPECT_EQ(owner.Markers[0], t->Left->Right);
  // A failing parse hands no markers out.
  owner.Markers.clear();
  EXPECT_THROW(TExpTreePtr(p.ParseWholeText("a = ? AND (", contexts::Where)), EKuraEngineError);
  EXPECT_TRUE(owner.Markers.empty());
}

TEST(ParserTest, MarkersOfASubSelectKeepTheirPlace) {
  struct Owner : TExpressionOwner {
    std::vector<TExpToken *> Markers;
    std::vector<TExpTreePtr> SubTrees;
    void AddParameter(TExpToken *m) override { Markers.push_back(m); }
    TDataQuery *ParseSubSelect(TExpressionParser &p) override {
      // Stand-in for the statement parser: "SELECT <expression>" parsed with this parser.
      p.NextToken();
      SubTrees.emplace_back(p.ParseExpression(PF_PARAMETERS | PF_EXTENDED));
      return nullptr;
    }
  } owner;
  TExpressionParser p;
  p.SetOwner(&owner);
  TExpTreePtr t(p.ParseWholeText("a = ? AND b IN (SELECT c = ?) AND d = ?", contexts::Where));
  ASSERT_EQ(owner.Markers.size(), 3u);
  EXPECT_EQ(owner.Markers[0], t->Left->Left->Right);
  EXPECT_EQ(owner.Markers[1], owner.SubTrees[0]->Right);
  EXPECT_EQ(owner.Markers[2], t->Right->Right);
}

TEST(ParserTest, SubSelectGoesThroughTheOwner) {
  struct Owner : TExpressionOwner {
    int Calls = 0;
    TDataQuery *ParseSubSelect(TExpressionParser &p) override {
      ++Calls;
      // Skip to the closing parenthesis, standing in for the statement parser.
      while (!p.IsKind(')') && !p.AtEnd()) p.NextToken();
      return reinterpret_cast<TDataQuery *>(0x1);
    }
  } owner;
  TExpressionParser p;
  p.SetOwner(&owner);
  TExpTreePtr t(p.ParseWholeText("a IN (SELECT b FROM t)", contexts::Where));
  EXPECT_EQ(owner.Calls, 1);
  EXPECT_EQ(t->Code, TExpCode::InSelect);
  EXPECT_EQ(t->Args[1]->Kind, TExpNodeKind::SubSelect);
  EXPECT_EQ(ParseError("a IN (SELECT b FROM t)", contexts::Join),
            "Sub-select queries are not allowed in JOIN clause");
}

TEST(ParserTest, Messages) {
  using namespace contexts;
  struct {
    const char *Text;
    TParseContext Context;
    const char *Message;
  } cases[] = {
      {"(a = 1", Where, "Right parentheses expected, instead found '' in WHERE clause"},
      {"a = )", Where, "Unknown or unexpected symbol ')' found in WHERE clause"},
      {"a LIKE 'x'", Having,
       "Extended predicate operators (LIKE, BETWEEN, IN, IS NULL) are not allowed in HAVING clause"},
      {"a IS NULL", ValueExpression,
       "Extended predicate operators (LIKE, BETWEEN, IN, IS NULL) are not allowed in value expression"},
      {"a BETWEEN 1 OR 2", Where, "Expected AND operator in BETWEEN operator, instead found 'OR' in WHERE clause"},
      {"a NOT BETWEEN 1 , 2", Where,
       "Expected AND operator in NOT BETWEEN operator, instead found ',' in WHERE clause"},
      {"a IN ()", Where,
       "You must provide at least one value as an operand of the IN operator  in WHERE clause"},
      {"a NOT IN ()", Where,
       "You must provide at least one value as an operand of the NOT IN operator  in WHERE clause"},
      {"a IN 1", Where, "Expected left parentheses for IN operator, instead found '1' in WHERE clause"},
      {"a NOT IN 1", Where,
       "Expected left parentheses for NOT IN operator, instead found '1' in WHERE clause"},
      {"a IN (1, 2", Where, "Expected right parentheses for IN operator, instead found '' in WHERE clause"},
      {"a NOT = 1", Where, "Unknown or unexpected symbol '=' found in WHERE clause"},
      {"a | b", Where,
       "Second concatenation symbol '|' expected after first concatentation symbol, instead found 'b' in WHERE clause"},
      {"*", Where, "* (all columns) symbol is not allowed in WHERE clause"},
      {"t.*", Where, "* (all columns) symbol is not allowed in WHERE clause"},
      {"a = ?", SourceColumn, "Parameters are not allowed in source column expression"},
      {"SUM(a)", Where, "Aggregate functions are not allowed in WHERE clause"},
      {"SUM a", Having, "Left parentheses expected after aggregate function 'a' in HAVING clause"},
      {"foo(1)", Where, "Unknown or unexpected function 'foo' in WHERE clause"},
      {"#256", Where, "Character constants (#) must be within the range of 0 to 255 in WHERE clause"},
      {"#", Where, "Character constants (#) must be within the range of 0 to 255 in WHERE clause"},
      {"12.3.4", Where, "Constant '12.3.4' is not a valid number  in WHERE clause"},
      {"1e", Where, "Constant '1e' is not a valid number  in WHERE clause"},
      {"1e999", Where, "Constant '1e999' is not a valid number  in WHERE clause"},
      {"LOWER 'a'", Where, "Left parentheses expected after LOWER keyword, instead found 'a' in WHERE clause"},
      {"LOWER('a'", Where,
       "Right parentheses expected after LOWER function argument, instead found '' in WHERE clause"},
      {"SUBSTRING('a' FROM 1 FOR 2", Where,
       "Right parentheses expected after SUBSTRING function arguments, instead found '' in WHERE clause"},
      {"TRIM(x FROM a)", Where,
       "LEADING, TRAILING, or BOTH keyword expected after TRIM keyword, instead found 'x' in WHERE clause"},
      {"", Where, "Unknown or unexpected symbol '' found in WHERE clause"},
      {"a b", Where, "Unknown or unexpected symbol 'b' found in WHERE clause"},
      {"CAST(a AS TEXT)", Where, "SQL data type keyword expected, instead found 'TEXT' in WHERE clause"},
  };
  for (const auto &c : cases) EXPECT_EQ(ParseError(c.Text, c.Context), c.Message) << c.Text;
}

TEST(ParserTest, DeepNestingIsAnErrorNotACrash) {
  std::string deep(100000, '(');
  deep += "1";
  deep += std::string(100000, ')');
  EXPECT_EQ(ParseError(deep), "Expression is nested too deeply in WHERE clause");
  std::string calls;
  for (int i = 0; i < 5000; ++i) calls += "UPPER(";
  calls += "'a'" + std::string(5000, ')');
  EXPECT_EQ(ParseError(calls), "Expression is nested too deeply in WHERE clause");
  // A long flat chain makes a tall tree: bounded as well.
  std::string chain = "1";
  for (int i = 0; i < 100000; ++i) chain += "+1";
  EXPECT_EQ(ParseError(chain), "Expression is nested too deeply in WHERE clause");
  // Within the limits everything parses.
  std::string fine(200, '(');
  fine += "1" + std::string(200, ')');
  EXPECT_EQ(ParseError(fine), "");
  // And nothing leaked from the pool on the failures.
  EXPECT_LE(TExpTokenStack::Instance().IdleCount(), TExpTokenStack::kCapacity);
}

TEST(ParserTest, KeywordsAreNotReservedWhereNoneIsExpected) {
  EXPECT_EQ(ParseShape("[select] = [from]"), "(= select from)");
  EXPECT_EQ(ParseShape("year = 2004"), "(= year 2004)");
  EXPECT_EQ(ParseShape("\"order\".\"by\" = 1"), "(= order.by 1)");
}

TEST(DataTypeParserTest, TypeNames) {
  struct {
    const char *Text;
    TDataType Type;
    FieldSubType Sub;
    uint32_t Size;
    uint8_t Scale;
  } cases[] = {
      {"SMALLINT", TDataType::SmallInt, FieldSubType::None, 2, 0},
      {"word", TDataType::Word, FieldSubType::None, 2, 0},
      {"INTEGER", TDataType::Integer, FieldSubType::None, 4, 0},
      {"INT", TDataType::Integer, FieldSubType::None, 4, 0},
      {"LARGEINT", TDataType::LargeInt, FieldSubType::None, 8, 0},
      {"AUTOINC", TDataType::Integer, FieldSubType::AutoInc, 4, 0},
      {"DECIMAL", TDataType::BCD, FieldSubType::None, 34, 0},
      {"NUMERIC(10, 2)", TDataType::BCD, FieldSubType::None, 34, 2},
      {"DECIMAL(10)", TDataType::BCD, FieldSubType::None, 34, 0},
      {"FLOAT", TDataType::Float, FieldSubType::None, 8, 0},
      {"FLOAT(10, 3)", TDataType::Float, FieldSubType::None, 8, 0},
      {"MONEY", TDataType::Float, FieldSubType::Money, 8, 0},
      {"CHAR(20)", TDataType::String, FieldSubType::None, 21, 0},
      {"VARCHAR(250)", TDataType::String, FieldSubType::None, 251, 0},
      {"CHARACTER(1)", TDataType::String, FieldSubType::None, 2, 0},
      {"BYTES(16)", TDataType::Bytes, FieldSubType::None, 16, 0},
      {"VARBINARY(3)", TDataType::Bytes, FieldSubType::None, 3, 0},
      {"DATE", TDataType::Date, FieldSubType::None, 4, 0},
      {"TIME", TDataType::Time, FieldSubType::None, 4, 0},
      {"TIMESTAMP", TDataType::TimeStamp, FieldSubType::None, 8, 0},
      {"BOOLEAN", TDataType::Boolean, FieldSubType::None, 2, 0},
      {"BIT", TDataType::Boolean, FieldSubType::None, 2, 0},
      {"BLOB", TDataType::Blob, FieldSubType::Binary, 8, 0},
      {"BLOB(10, 1)", TDataType::Blob, FieldSubType::Memo, 8, 0},
      {"BLOB(10, 5)", TDataType::Blob, FieldSubType::Graphic, 8, 0},
      {"BLOB(0, 7)", TDataType::Blob, FieldSubType::TypedBinary, 8, 0},
      {"LONGVARBINARY", TDataType::Blob, FieldSubType::Binary, 8, 0},
      {"LONGVARCHAR", TDataType::Blob, FieldSubType::Memo, 8, 0},
      {"MEMO", TDataType::Blob, FieldSubType::Memo, 8, 0},
      {"GRAPHIC", TDataType::Blob, FieldSubType::Graphic, 8, 0},
  };
  for (const auto &c : cases) {
    TExpressionParser p;
    p.SetText(c.Text);
    p.NextToken();
    TExpToken node;
    p.ParseDataType(node);
    EXPECT_TRUE(p.AtEnd()) << c.Text;
    EXPECT_EQ(node.DataType, c.Type) << c.Text;
    EXPECT_EQ(node.SubType, c.Sub) << c.Text;
    EXPECT_EQ(node.Size, c.Size) << c.Text;
    EXPECT_EQ(node.Scale, c.Scale) << c.Text;
  }
}

TEST(DataTypeParserTest, Messages) {
  struct {
    const char *Text, *Message;
  } cases[] = {
      {"TEXT", "SQL data type keyword expected, instead found 'TEXT' in table column"},
      {"CHAR", "Left parentheses expected after CHAR data type, instead found '' in table column"},
      {"CHAR(300)",
       "Length argument must be an integer greater than 0 and less than or equal to 250 in table column"},
      {"CHAR(0)",
       "Length argument must be an integer greater than 0 and less than or equal to 250 in table column"},
      {"CHAR(x)", "Length argument must be an integer in table column"},
      {"CHAR(10", "Right parentheses expected after CHAR data type arguments, instead found '' in table column"},
      {"DECIMAL(10, 5)",
       "Scale argument must be an integer less than or equal to 4 but greater than or equal to 0 for the BCD data type in table column"},
      {"DECIMAL(10, x)", "Scale argument must be an integer in table column"},
      {"BLOB(10 1)", "Comma expected after first BLOB argument, instead found '1' in table column"},
      {"BLOB(x, 1)", "First BLOB type argument must be an integer in table column"},
      {"BLOB(10, y)", "BLOB type argument must be an integer in table column"},
      {"BLOB(10, 4)", "BLOB type argument must be an integer with a value of 1,2,3,5, or 7 in table column"},
  };
  for (const auto &c : cases) {
    TExpressionParser p;
    p.SetContextName("table column");
    p.SetText(c.Text);
    p.NextToken();
    TExpToken node;
    try {
      p.ParseDataType(node);
      ADD_FAILURE() << c.Text << " parsed";
    } catch (const EKuraEngineError &e) {
      EXPECT_EQ(e.Context().Message, c.Message) << c.Text;
    }
  }
}

}  // namespace
