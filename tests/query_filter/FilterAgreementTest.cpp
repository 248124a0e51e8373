// Generated filter expressions: the filtered cursor shows exactly the records that
// record-by-record evaluation accepts, in the same order and with the same count, whether the
// indexes answer the filter or not.
#include <random>

#include "query/expr/DateTimeText.h"

#include "tests/query_filter/FilterTestSupport.h"

namespace kura::filtertest {
namespace {

class TExpressionGenerator {
 public:
  explicit TExpressionGenerator(uint32_t seed) : FRng(seed) {}

  std::string Condition(int depth) {
    if (depth <= 0 || Pick(3) == 0) return Atom();
    switch (Pick(4)) {
      case 0: return "(" + Condition(depth - 1) + ") AND (" + Condition(depth - 1) + ")";
      case 1: return "(" + Condition(depth - 1) + ") OR (" + Condition(depth - 1) + ")";
      case 2: return "NOT (" + Condition(depth - 1) + ")";
      default: return Condition(depth - 1) + " AND " + Atom();
    }
  }

 private:
  int Pick(int n) { return static_cast<int>(FRng() % static_cast<unsigned>(n)); }
  std::string Int(int lo, int hi) { return std::to_string(lo + Pick(hi - lo + 1)); }
  std::string Op() {
    static const char *ops[] = {"=", "<>", "<", ">", "<=", ">="};
    return ops[Pick(6)];
  }
  std::string Word() {
    std::string w = Words()[static_cast<size_t>(Pick(static_cast<int>(Words().size())))];
    if (Pick(3) == 0) w += std::to_string(Pick(5));
    if (Pick(4) == 0) w = w.substr(0, 1 + static_cast<size_t>(Pick(3)));
    return w;
  }
  std::string Quoted() { return "'" + Word() + "'"; }
  std::string IntList(int lo, int hi) {
    std::string s = Int(lo, hi);
    for (int n = Pick(4); n > 0; --n) s += ", " + Int(lo, hi);
    return s;
  }
  std::string WordList() {
    std::string s = Quoted();
    for (int n = Pick(3); n > 0; --n) s += ", " + Quoted();
    return s;
  }

  std::string NumericAtom(const std::string &col, int lo, int hi) {
    switch (Pick(9)) {
      case 0: return col + " BETWEEN " + Int(lo, hi) + " AND " + Int(lo, hi);
      case 1: return col + " NOT BETWEEN " + Int(lo, hi) + " AND " + Int(lo, hi);
      case 2: return col + " IN (" + IntList(lo, hi) + ")";
      case 3: return col + " NOT IN (" + IntList(lo, hi) + ")";
      case 4: return col + (Pick(2) ? " IS NULL" : " IS NOT NULL");
      case 5: return Int(lo, hi) + " " + Op() + " " + col;  // constant on the left
      default: return col + " " + Op() + " " + Int(lo, hi);
    }
  }
  std::string StringAtom(const std::string &col) {
    switch (Pick(10)) {
      case 0: return col + " IN (" + WordList() + ")";
      case 1: return col + " NOT IN (" + WordList() + ")";
      case 2: return col + " LIKE '" + Word() + "%'";
      case 3: return col + " LIKE '%" + Word().substr(1) + "%'";
      case 4: return col + (Pick(2) ? " IS NULL" : " IS NOT NULL");
      case 5: return "UPPER(" + col + ") = UPPER(" + Quoted() + ")";
      case 6: return col + " BETWEEN " + Quoted() + " AND " + Quoted();
      case 7: return col + " = '" + Word() + "*'";
      default: return col + " " + Op() + " " + Quoted();
    }
  }
  std::string DayConstant() { return "'" + DateText(kFirstDay - 2 + Pick(44)) + "'"; }
  std::string PriceConstant() { return std::to_string(Pick(4200) - 1100) + "." + std::to_string(Pick(100)); }
  std::string Atom() {
    switch (Pick(13)) {
      case 9:
        switch (Pick(4)) {
          case 0: return "Day BETWEEN " + DayConstant() + " AND " + DayConstant();
          case 1: return "Day IN (" + DayConstant() + ", " + DayConstant() + ")";
          case 2: return "Day IS NULL";
          default: return "Day " + Op() + " " + DayConstant();
        }
      case 10:
        switch (Pick(4)) {
          case 0: return "Price NOT BETWEEN " + PriceConstant() + " AND " + PriceConstant();
          case 1: return "Price NOT IN (" + PriceConstant() + ", 12, 13.5)";
          case 2: return "Price IS NOT NULL";
          default: return "Price " + Op() + " " + PriceConstant();
        }
      case 11: return NumericAtom("Num", -55, 155).substr(0) + (Pick(2) ? "" : " OR Num IN (3, NULL)");
      case 12: return Pick(2) ? "Name = NULL" : "Num <> NULL";
      case 7: return StringAtom("Label");
      case 8: return NumericAtom("Score", -32, 32);
      case 0: return NumericAtom("Id", -5, 3005);
      case 1: return NumericAtom("Num", -55, 155);
      case 2: return NumericAtom("Cat", -1, 12);
      case 3: return "Amount " + Op() + " " + Int(0, 250) + (Pick(2) ? ".25" : "");
      case 4: return StringAtom("Name");
      case 5: return StringAtom("Title");
      default: return StringAtom("Code");
    }
  }

  std::mt19937 FRng;
};

// Runs generated filters on cursors in several orders; every one must show what evaluating the
// expression record by record accepts.
class AgreementTest : public FilterTest {
 protected:
  void RunGenerated(uint32_t seed, int kExpressions);
};

// The same on a table with a collation: keys compare through the language's collator.
class LocaleAgreementTest : public AgreementTest {
 protected:
  uint16_t Language() const override { return 0x0409; }
};

TEST_F(AgreementTest, GeneratedFiltersAgreeWithRecordByRecordEvaluation) { RunGenerated(7, 400); }

TEST_F(LocaleAgreementTest, GeneratedFiltersAgreeUnderACollation) { RunGenerated(11, 150); }

void AgreementTest::RunGenerated(uint32_t seed, int kExpressions) {
  TExpressionGenerator generator(seed);
  const char *orders[] = {"", "*", "ByName", "ByNum", "ByTitle", "ByCatId", "ByLabel", "ByScoreId", "ByDay", "ByPrice"};
  int answeredFromIndexes = 0, partlyAnswered = 0;
  for (int i = 0; i < kExpressions; ++i) {
    const std::string text = generator.Condition(1 + i % 3);
    SCOPED_TRACE(text);
    TExprFilterOptions options;
    options.CaseInsensitive = (i % 5 == 0);
    TDataCursor &c = Open(orders[i % 10]);
    TExpTreePtr reference = CompileFilterText(c, text, options);
    const std::vector<int64_t> expected = AcceptedIds(c, *reference);

    for (bool useIndexes : {true, false}) {
      SCOPED_TRACE(useIndexes ? "with indexes" : "without indexes");
      options.UseIndexes = useIndexes;
      TExprFilter *filter = AddExprFilter(c, text, options);
      if (useIndexes && filter->RootLevel() == TOptLevel::Full) ++answeredFromIndexes;
      if (useIndexes && filter->RootLevel() == TOptLevel::Partial) ++partlyAnswered;
      if (!useIndexes) EXPECT_EQ(filter->RootLevel(), TOptLevel::None);
      c.ActivateFilter(filter);
      EXPECT_EQ(VisibleIds(c), expected);
      EXPECT_EQ(c.RecordCount(), static_cast<int64_t>(expected.size()));
      c.DropFilter(filter);
    }
    FCursors.pop_back();
  }
  // The generator must exercise the index paths, not only the fallback.
  EXPECT_GT(answeredFromIndexes, kExpressions / 5);
  EXPECT_GT(partlyAnswered, kExpressions / 20);
}

}  // namespace
}  // namespace kura::filtertest
