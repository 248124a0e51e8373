#pragma once
// Name resolution and evaluation seams of a prepared SELECT: columns resolve to the fields of
// the plan's sources (or, for HAVING, of the result record) and read from their current
// record images.
#include "query/expr/Evaluator.h"
#include "query/expr/TypeChecker.h"
#include "query/select/SelectPlan.h"

namespace kura {

class TSelectQuery;

// Compares names without regard to ASCII case.
bool SameName(const std::string &a, const std::string &b);

class TSourceResolver : public TColumnResolver {
 public:
  TSourceResolver(TSelectPlan &plan, TSelectQuery &owner) : FPlan(plan), FOwner(owner) {}
  bool ResolveColumn(TExpToken &column) override;
  bool ResolveSubSelect(TExpToken &node) override;
  bool IsSourceTable(const std::string &name) override;

 private:
  TSelectPlan &FPlan;
  TSelectQuery &FOwner;
};

// Resolves HAVING against the result columns (by name) once its aggregates are rewritten
// into references to result columns.
class TResultResolver : public TColumnResolver {
 public:
  explicit TResultResolver(TSelectPlan &plan) : FPlan(plan) {}
  bool ResolveColumn(TExpToken &column) override;

 private:
  TSelectPlan &FPlan;
};

// Fills a column node from a field of a row source.
void BindColumn(TExpToken &column, const TFieldDescriptor &field, int fieldNo, TRowSource *row);

// Evaluation against the row sources the column nodes point to.
class TRowEvalContext : public TEvalContext {
 public:
  explicit TRowEvalContext(TSelectQuery &owner) : FOwner(owner) {}
  void ReadColumn(const TExpToken &column, TExpValue &value) override;
  bool SubSelectMatches(const TExpToken &subSelect, const TExpToken &valueNode,
                        const TExpValue &value) override;
  bool LastAutoIncValue(const std::string &table, int64_t &value) override;
  void SetPlan(TSelectPlan *plan) { FPlan = plan; }

 private:
  TSelectQuery &FOwner;
  TSelectPlan *FPlan = nullptr;
};

}  // namespace kura
