#pragma once
// Conditions that compare one integer column of a source with integer constants, tested on the
// record bytes themselves: a scan that filters many records on such a condition makes no
// expression values. Every other condition goes to the evaluator.
#include <cstdint>
#include <vector>

#include "engine/data/FieldDescriptor.h"
#include "query/expr/Evaluator.h"
#include "query/select/SelectPlan.h"

namespace kura {

// column op constant, constant op column (op one of = <> < <= > >=), column [NOT] BETWEEN
// constant AND constant; the column an integer column (AutoInc included) of one source, the
// constants non-NULL integers. The answers are the evaluator's: a NULL column fails every
// comparison and BETWEEN, and passes NOT BETWEEN.
class TQuickCondition {
 public:
  // False when the condition has none of these forms on `row`'s columns.
  bool Compile(const TExpToken &condition, const TRowSource &row);
  bool Holds(const uint8_t *record) const;

 private:
  const TFieldDescriptor *FField = nullptr;
  TExpCode FCode = TExpCode::None;  // a comparison with the column on the left, or (Not)Between
  int64_t FLow = 0, FHigh = 0;      // the constant; Between's bounds
};

// The conditions of one source, each tested quickly where it can be, otherwise through the
// evaluator (which reads the source's current record through its row).
class TSourceConditions {
 public:
  void Build(const std::vector<const TExpToken *> &conditions, const TRowSource &row);
  // Whether every condition holds for `record`, the record the row points at.
  bool AllHold(TEvaluator &evaluator, const uint8_t *record) const;

 private:
  std::vector<TQuickCondition> FQuick;
  std::vector<const TExpToken *> FOthers;
};

}  // namespace kura
