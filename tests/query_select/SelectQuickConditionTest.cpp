// Conditions comparing an integer column with constants are tested on the record bytes while a
// join reads its sources; every such form must keep the evaluator's answers (NULL columns,
// constants on either side, [NOT] BETWEEN, every integer type), and a join whose inner level is
// read once must still test its conditions that involve the outer level.
#include "SelectTestSupport.h"

namespace kura::test {
namespace {

using T = EngineFieldType;

class QuickConditionTest : public SelectTest {
 protected:
  void SetUp() override {
    SelectTest::SetUp();
    // The outer table is smaller, so it drives and "num" is the inner level, read once.
    MakeTable("grp", {Field("G", T::Integer), Field("Label", T::String, 8)}, {{"1", "one"}, {"2", "two"}});
    Rows rows;
    const char *values[] = {"-3", "0", "2", "5", "7", nullptr, "40000", "2"};
    for (int i = 0; i < 24; ++i) {
      const char *v = values[i % 8];
      const Cell cell = v ? Cell(v) : std::nullopt;
      const Cell small = v && std::string(v) != "40000" ? cell : Cell("9");
      rows.push_back({std::to_string(i), std::to_string(1 + i % 2), small, cell, cell});
    }
    MakeTable("num",
              {Field("ID", T::Integer), Field("G", T::Integer), Field("S", T::SmallInt), Field("I", T::Integer),
               Field("L", T::LargeInt)},
              rows);
  }

  // The rows with the condition as written, and with the column hidden in "+ 0" (which only
  // the evaluator answers).
  void ExpectSameRows(const std::string &condition, const std::string &column) {
    const std::string base = "select n.ID, g.Label from grp g, num n where n.G = g.G and ";
    std::string evaluated = condition;
    evaluated.replace(evaluated.find(column), column.size(), "(" + column + " + 0)");
    EXPECT_EQ(Run(base + condition), Run(base + evaluated)) << condition;
  }
};

TEST_F(QuickConditionTest, ComparisonsAgreeWithTheEvaluator) {
  for (const char *column : {"n.S", "n.I", "n.L"}) {
    const std::string c = column;
    for (const std::string &condition :
         {c + " = 2", c + " <> 2", c + " < 2", c + " <= 2", c + " > 2", c + " >= 2", "5 > " + c, "0 <= " + c, "2 < " + c, "2 >= " + c, "2 = " + c,
          c + " between 0 and 5", c + " not between 0 and 5", c + " between 5 and 0", c + " = 40000",
          c + " > -100000000000"})
      ExpectSameRows(condition, c);
  }
}

TEST_F(QuickConditionTest, HeldInnerRecordsStillMeetTheOuterConditions) {
  // num is read once; the condition between the levels besides the equality is still tested.
  EXPECT_EQ(Run("select n.ID from grp g, num n where n.G = g.G and n.I between 0 and 5 and n.ID > g.G * 10 "
                "order by n.ID"),
            (R{{"18"}, {"23"}}));
  // A NULL column fails BETWEEN and passes NOT BETWEEN.
  EXPECT_EQ(Run("select count(*) from grp g, num n where n.G = g.G and n.I not between -10 and 10"), (R{{"6"}}));
}

}  // namespace
}  // namespace kura::test
