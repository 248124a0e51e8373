#pragma once
// Evaluation of checked expression trees against the current records of their sources.
#include <cstdint>
#include <string>

#include "query/expr/ExpToken.h"

namespace kura {

// What evaluation asks of the records it runs against. Column nodes read their field from
// "the current record of their source" (a query's source table or a cursor); the node's
// FieldNo and Source, filled by the resolver, say which.
class TEvalContext {
 public:
  virtual ~TEvalContext() = default;
  // The current value of the column in the representation of the column node's data type
  // (see TExpValue). Set value.Null for a NULL field.
  virtual void ReadColumn(const TExpToken &column, TExpValue &value) = 0;
  // IN ( SELECT ... ): whether the sub-select returns a row whose column equals the value.
  virtual bool SubSelectMatches(const TExpToken &subSelect, const TExpToken &valueNode,
                                const TExpValue &value) {
    (void)subSelect, (void)valueNode, (void)value;
    return false;
  }
  // TEXTSEARCH / TEXTOCCURS through the column's text index; false when not available.
  virtual bool TextSearch(const TExpToken &column, const std::string &text, int64_t &occurrences) {
    (void)column, (void)text, (void)occurrences;
    return false;
  }
  // LASTAUTOINC / IDENT_CURRENT of a source table; false when unknown.
  virtual bool LastAutoIncValue(const std::string &table, int64_t &value) {
    (void)table, (void)value;
    return false;
  }
};

class TEvaluator {
 public:
  TEvaluator(TEvalContext *context, uint16_t languageId = 0, uint16_t sortId = 0)
      : FContext(context), FLanguageId(languageId), FSortId(sortId) {}

  // The value of a node, in the representation of its data type. Never throws on data.
  void Eval(const TExpToken &node, TExpValue &out);
  // A condition: TRUE only when the value is a non-NULL true Boolean.
  bool Condition(const TExpToken &node);

  uint16_t LanguageId() const { return FLanguageId; }
  uint16_t SortId() const { return FSortId; }

 private:
  void EvalUnary(const TExpToken &n, TExpValue &out);
  void EvalArithmetic(const TExpToken &n, TExpValue &out);
  bool EvalComparison(const TExpToken &n);
  bool EvalExtended(const TExpToken &n);
  void EvalFunction(const TExpToken &n, TExpValue &out);
  void EvalStringFunction(const TExpToken &n, TExpValue &out);
  void EvalConditional(const TExpToken &n, TExpValue &out);

 public:
  // a <op> b for two evaluated operands (op one of the comparison codes).
  bool CompareOperands(TExpCode op, const TExpToken &ln, const TExpValue &lv,
                       const TExpToken &rn, const TExpValue &rv, bool caseInsensitive = false,
                       uint32_t partialLength = 0);

 private:
  TEvalContext *FContext;
  uint16_t FLanguageId, FSortId;
};

// A new constant node (from the pool) holding the node's value and NULL flag; the caller
// returns it to the pool.
TExpToken *Evaluate(const TExpToken *node, TEvalContext *context, uint16_t languageId,
                    uint16_t sortId);

// Converts an evaluated value of one node's type to another node's type as CAST does;
// NULL when it does not convert.
void ConvertToNodeType(const TExpToken &from, const TExpValue &in, const TExpToken &to,
                       TExpValue &out);

}  // namespace kura
