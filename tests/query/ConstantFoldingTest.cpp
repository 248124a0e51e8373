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

namespace {

TEST_F(ConstantFoldingTest, ConstantOnTheLeftIsTurnedAround) {
  struct {
    const char *Text;
    TExpCode Code;
  } cases[] = {{"5 < n", TExpCode::Greater},     {"5 > n", TExpCode::Less},
               {"5 <= n", TExpCode::GreaterEqual}, {"5 >= n", TExpCode::LessEqual},
               {"5 = n", TExpCode::Equal},        {"5 <> n", TExpCode::NotEqual}};
  for (const auto &c : cases) {
    TExpTreePtr t = Compile(c.Text, R, contexts::Filter, true);
    for (int64_t v : {4, 5, 6}) {
      R.SetInt("n", v);
      bool before = Accepts(t);
      TExpTreePtr copy(CopyTree(t.get()));
      TurnConstantComparisons(copy.get());
      EXPECT_EQ(copy->Code, c.Code) << c.Text;
      EXPECT_EQ(copy->Left->Kind, TExpNodeKind::Column) << c.Text;
      EXPECT_EQ(Accepts(copy), before) << c.Text << " n=" << v;
    }
  }
  TExpTreePtr both = Compile("1 < 2 AND n > 1", R, contexts::Filter, true);
  TurnConstantComparisons(both.get());
  EXPECT_EQ(both->Left->Code, TExpCode::Less);  // two constants stay as written
}

TEST(NodePoolTest, ReleasingATreeGivesBackEveryNode) {
  auto &pool = TExpTokenStack::Instance();
  // An empty pool first, so that what comes back can be counted.
  std::vector<TExpToken *> idle;
  while (pool.IdleCount() > 0) idle.push_back(NewExpToken());
  struct Shape {
    const char *Name;
    int Wide, Deep;  // arguments of the root; then a chain of left children below each
  };
  for (const Shape &shape : {Shape{"one node", 0, 0}, Shape{"wide", 120, 0}, Shape{"deep", 1, 150},
                             Shape{"wide and deep", 40, 4}}) {
    SCOPED_TRACE(shape.Name);
    TExpToken *root = NewExpToken();
    size_t count = 1;
    for (int a = 0; a < shape.Wide; ++a) {
      TExpToken *arg = NewExpToken();
      root->AddArg(arg);
      ++count;
      for (int d = 0; d < shape.Deep; ++d, ++count) {
        TExpToken *below = NewExpToken();
        arg->SetLeft(below);
        arg = below;
      }
    }
    ASSERT_LE(count, TExpTokenStack::kCapacity);
    ReleaseTree(root);
    EXPECT_EQ(pool.IdleCount(), count);
    while (pool.IdleCount() > 0) delete NewExpToken();
  }
  for (TExpToken *n : idle) pool.Give(n);
}

TEST(NodePoolTest, TakesResetsAndBoundsItsNodes) {
  auto &pool = TExpTokenStack::Instance();
  std::vector<TExpToken *> nodes;
  for (int i = 0; i < 300; ++i) {
    TExpToken *n = NewExpToken();
    EXPECT_EQ(n->Kind, TExpNodeKind::None);
    EXPECT_TRUE(n->Value.Null);
    n->Kind = TExpNodeKind::Constant;
    n->Value = TExpValue::OfStr(std::string(5000, 'x'));
    n->Text = "used";
    nodes.push_back(n);
  }
  for (TExpToken *n : nodes) pool.Give(n);
  EXPECT_EQ(pool.IdleCount(), TExpTokenStack::kCapacity);  // the rest were freed
  TExpToken *again = NewExpToken();
  EXPECT_TRUE(again->Text.empty());
  EXPECT_TRUE(again->Value.Str.empty());
  EXPECT_LE(again->Value.Str.capacity(), 2 * kExpValueBufferSize);  // the big buffer shrank
  pool.Give(again);
}

}  // namespace

#include <functional>
#include <random>

namespace {

// Folding must not change which records a condition accepts when its constants already have
// the column's type (only then is the type conversion of constants out of play).
TEST(ConstantFoldingPropertyTest, FoldedConditionsAcceptTheSameRecords) {
  TestRecord r;
  r.Add("name", TDataType::String, 21).Add("n", TDataType::Integer).Add("f", TDataType::Float)
      .Add("d", TDataType::Date);
  std::mt19937 rng(4242);
  const char *const names[] = {"", "a", "ab", "abc", "Abc", "abd", "b", "ba", "xab", "AB"};
  auto pick = [&](auto &arr) { return arr[rng() % (sizeof(arr) / sizeof(arr[0]))]; };
  auto atom = [&]() -> std::string {
    static const char *const forms[] = {
        "name = 'ab'", "name <> 'ab'", "name > 'ab'", "name <= 'b'", "name LIKE 'ab%'",
        "name NOT LIKE 'a%'", "name LIKE 'a_%'", "name LIKE '%b'", "name IS NULL",
        "name IS NOT NULL", "name IN ('a', 'ab', 'b')", "name NOT IN ('abc')",
        "name BETWEEN 'a' AND 'abz'", "UPPER(name) = UPPER('ab')", "UPPER(name) LIKE 'AB%'",
        "n = 2 + 1", "n <> 3", "n > 1 * 2", "n >= -1", "n < 10 / 2", "n BETWEEN 1 AND 4",
        "n NOT BETWEEN 2 AND 3", "n IN (1, 3, 5)", "n NOT IN (2, 4)", "n IS NULL",
        "f > 1.5", "f <= 2.5 * 1", "f = 3.0", "d > CAST('2004-01-02' AS DATE)",
        "d = CAST('2004-01-03' AS DATE)", "d IS NOT NULL", "n + 1 > 3", "LENGTH(name) = 2",
        "SUBSTRING(name FROM 2 FOR 1) = 'b'"};
    return pick(forms);
  };
  std::function<std::string(int)> cond = [&](int depth) -> std::string {
    if (depth == 0 || rng() % 3 == 0) return atom();
    switch (rng() % 3) {
      case 0: return "(" + cond(depth - 1) + ") AND (" + cond(depth - 1) + ")";
      case 1: return "(" + cond(depth - 1) + ") OR (" + cond(depth - 1) + ")";
      default: return "NOT (" + cond(depth - 1) + ")";
    }
  };
  struct Row {
    std::string Name;
    int64_t N;
    double F;
    int64_t D;
    bool NullN, NullF, NullD;
  };
  std::vector<Row> rows;
  for (int i = 0; i < 2000; ++i)
    rows.push_back({pick(names), int64_t(rng() % 7) - 1, double(rng() % 8) / 2, 732000 + int64_t(rng() % 5),
                    rng() % 6 == 0, rng() % 6 == 0, rng() % 6 == 0});
  for (int e = 0; e < 300; ++e) {
    const std::string text = cond(3);
    TExpTreePtr original = Compile(text, r, contexts::Filter, true);
    TExpTreePtr folded(CopyTreeFolded(original.get(), {}));
    for (uint16_t lang : {uint16_t(0), uint16_t(1033)}) {
      TEvaluator ev(&r, lang, 0);
      for (const Row &row : rows) {
        if (row.Name.empty()) r.SetNull("name"); else r.SetStr("name", row.Name);
        if (row.NullN) r.SetNull("n"); else r.SetInt("n", row.N);
        if (row.NullF) r.SetNull("f"); else r.SetFloat("f", row.F);
        if (row.NullD) r.SetNull("d"); else r.SetInt("d", row.D);
        ASSERT_EQ(ev.Condition(*folded), ev.Condition(*original))
            << text << " name='" << row.Name << "' lang " << lang;
      }
    }
  }
}

}  // namespace
