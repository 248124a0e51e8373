#include <gtest/gtest.h>

#include "ExprTestSupport.h"
#include "query/expr/ConstantFolding.h"

using namespace kura;
using namespace kura::test;

namespace {

class ConstantFoldingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    R.Add("name", TDataType::String, 21)
        .Add("n", TDataType::Integer)
        .Add("si", TDataType::SmallInt)
        .Add("f", TDataType::Float)
        .Add("b", TDataType::BCD, 34, FieldSubType::None, 4)
        .Add("d", TDataType::Date)
        .Add("ts", TDataType::TimeStamp);
  }
  TExpTreePtr Fold(const std::string &text, TFoldOptions o = {}) {
    TExpTreePtr t = Compile(text, R, contexts::Filter, true);
    return TExpTreePtr(CopyTreeFolded(t.get(), o));
  }
  bool Accepts(const TExpTreePtr &t) {
    TEvaluator e(&R);
    return e.Condition(*t);
  }
  TestRecord R;
};

TEST_F(ConstantFoldingTest, ConstantSubtreesBecomeConstants) {
  TExpTreePtr t = Fold("n = 2 * 3 + 1 AND UPPER('ab') = name");
  ASSERT_EQ(t->Code, TExpCode::And);
  EXPECT_EQ(t->Left->Right->Kind, TExpNodeKind::Constant);
  EXPECT_EQ(t->Left->Right->Value.Int, 7);
  EXPECT_EQ(t->Right->Left->Kind, TExpNodeKind::Constant);
  EXPECT_EQ(t->Right->Left->Value.Str, "AB");
  // The original tree is untouched.
  TExpTreePtr orig = Compile("n = 2 * 3", R, contexts::Filter, true);
  TExpTreePtr copy(CopyTreeFolded(orig.get(), {}));
  EXPECT_EQ(orig->Right->Kind, TExpNodeKind::Binary);
}

TEST_F(ConstantFoldingTest, ConstantsTakeTheColumnType) {
  // n = 2.7 selects the records holding 2.
  TExpTreePtr t = Fold("n = 2.7");
  EXPECT_EQ(t->Right->DataType, TDataType::Integer);
  EXPECT_EQ(t->Right->Value.Int, 2);
  R.SetInt("n", 2);
  EXPECT_TRUE(Accepts(t));
  R.SetInt("n", 3);
  EXPECT_FALSE(Accepts(t));
  TExpTreePtr neg = Fold("n = -2.7");
  EXPECT_EQ(neg->Right->Value.Int, -2);
  TExpTreePtr wide = Fold("si = 65537");
  EXPECT_EQ(wide->Right->DataType, TDataType::SmallInt);
  EXPECT_EQ(wide->Right->Value.Int, 1);  // low 16 bits
  TExpTreePtr fl = Fold("f > 3");
  EXPECT_EQ(fl->Right->DataType, TDataType::Float);
  EXPECT_DOUBLE_EQ(fl->Right->Value.Float, 3.0);
  TExpTreePtr bc = Fold("b = 1.23456");
  EXPECT_EQ(bc->Right->DataType, TDataType::BCD);
  EXPECT_EQ(bc->Right->Value.Int, 12346);
  TExpTreePtr dt = Fold("d = CAST('2004-01-02 13:00' AS TIMESTAMP)");
  EXPECT_EQ(dt->Right->DataType, TDataType::Date);
  TExpTreePtr st = Fold("ts = CAST('2004-01-02' AS DATE)");
  EXPECT_EQ(st->Right->DataType, TDataType::TimeStamp);
  TExpTreePtr in = Fold("n IN (1.5, 2.5) AND n BETWEEN 0.5 AND 9.9");
  EXPECT_EQ(in->Left->Args[1]->Value.Int, 1);
  EXPECT_EQ(in->Right->Args[2]->Value.Int, 9);
  TExpTreePtr nul = Fold("n = NULL");
  EXPECT_TRUE(nul->Right->Value.Null);
}

TEST_F(ConstantFoldingTest, StarSuffixIsAPrefixComparison) {
  TExpTreePtr t = Fold("name = 'Ab*'");
  EXPECT_EQ(t->Kind, TExpNodeKind::Compare);
  EXPECT_EQ(t->PartialLength, 2u);
  EXPECT_FALSE(t->CaseInsensitive);
  for (auto [value, want] : std::initializer_list<std::pair<const char *, bool>>{
           {"Abc", true}, {"Ab", true}, {"AB", false}, {"ab", false}, {"A", false}, {"xAb", false}}) {
    R.SetStr("name", value);
    EXPECT_EQ(Accepts(t), want) << value;
  }
  TFoldOptions ci;
  ci.CaseInsensitive = true;
  TExpTreePtr u = Fold("name = 'Ab*'", ci);
  EXPECT_TRUE(u->CaseInsensitive);
  for (const char *value : {"Abc", "ABC", "abz"}) {
    R.SetStr("name", value);
    EXPECT_TRUE(Accepts(u)) << value;
  }
  // Without the star the case option alone still makes an exact, case-insensitive comparison.
  TExpTreePtr v = Fold("name = 'abc'", ci);
  EXPECT_EQ(v->Kind, TExpNodeKind::Compare);
  EXPECT_EQ(v->PartialLength, 0u);
  R.SetStr("name", "ABC");
  EXPECT_TRUE(Accepts(v));
  R.SetStr("name", "ABCD");
  EXPECT_FALSE(Accepts(v));
  // With no partial comparison the star is an ordinary character.
  TFoldOptions exact;
  exact.NoPartialCompare = true;
  TExpTreePtr w = Fold("name = 'Ab*'", exact);
  R.SetStr("name", "Abc");
  EXPECT_FALSE(Accepts(w));
  R.SetStr("name", "Ab*");
  EXPECT_TRUE(Accepts(w));
  // A leading star keeps the comparison plain.
  TExpTreePtr x = Fold("name = '*b*'");
  EXPECT_EQ(x->Kind, TExpNodeKind::Binary);
  // <> negates the prefix test.
  TExpTreePtr y = Fold("name <> 'Ab*'");
  R.SetStr("name", "Abc");
  EXPECT_FALSE(Accepts(y));
  R.SetStr("name", "Xbc");
  EXPECT_TRUE(Accepts(y));
}

TEST_F(ConstantFoldingTest, SimpleLikeBecomesAPrefixComparison) {
  TExpTreePtr t = Fold("name LIKE 'ab%%'");
  EXPECT_EQ(t->Kind, TExpNodeKind::Compare);
  EXPECT_EQ(t->Code, TExpCode::Equal);
  EXPECT_EQ(t->PartialLength, 2u);
  EXPECT_EQ(t->Right->Value.Str, "ab");
  TExpTreePtr n = Fold("name NOT LIKE 'ab%'");
  EXPECT_EQ(n->Code, TExpCode::NotEqual);
  for (const char *kept : {"name LIKE 'a_%'", "name LIKE '%a'", "name LIKE 'a%b'", "name LIKE 'ab'"}) {
    TExpTreePtr k = Fold(kept);
    EXPECT_EQ(k->Kind, TExpNodeKind::ExtPredicate) << kept;
  }
  // The rewritten and the original forms accept the same values.
  for (const char *value : {"", "a", "ab", "abc", "Abc", "xab"}) {
    if (*value) R.SetStr("name", value); else R.SetNull("name");
    for (const char *text : {"name LIKE 'ab%'", "name NOT LIKE 'ab%'"}) {
      TExpTreePtr orig = Compile(text, R, contexts::Filter, true);
      TExpTreePtr folded(CopyTreeFolded(orig.get(), {}));
      EXPECT_EQ(Accepts(folded), Accepts(orig)) << text << " / " << value;
    }
  }
}

TEST_F(ConstantFoldingTest, UpperOnBothSidesIsMarkedCaseInsensitive) {
  EXPECT_TRUE(Fold("UPPER(name) = UPPER('x')")->CaseInsensitive);
  EXPECT_TRUE(Fold("UPPER(name) LIKE UPPER('x%')")->CaseInsensitive);
  EXPECT_TRUE(Fold("UPPER(name) IN (UPPER('a'), UPPER('b'))")->CaseInsensitive);
  EXPECT_FALSE(Fold("UPPER(name) IN (UPPER('a'), 'b')")->CaseInsensitive);
  EXPECT_FALSE(Fold("name = UPPER('x')")->CaseInsensitive);
}

}  // namespace
