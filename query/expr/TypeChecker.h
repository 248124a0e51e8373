#pragma once
// The type checker: resolves column names through a resolver and fixes every node's result
// type, subtype, size and scale, converting String constants that meet dates and times.
#include <cstdint>
#include <string>

#include "engine/errors/ErrorCodes.h"
#include "query/expr/ExpToken.h"
#include "query/expr/ValueConvert.h"

namespace kura {

// Finds the columns an expression names. In a query the columns are those of the source
// tables; in a filter, the cursor's fields.
class TColumnResolver {
 public:
  virtual ~TColumnResolver() = default;
  // Fills DataType, SubType, Size, Scale, FieldNo and Source of a column node; false when
  // there is no such column.
  virtual bool ResolveColumn(TExpToken &column) = 0;
  // Whether String constants naming a column stand for that column (filters do this).
  virtual bool ResolvesStringConstants() const { return false; }
  // A sub-select column node: fills its type from the sub-select's single column; false
  // when the sub-select has more than one column.
  virtual bool ResolveSubSelect(TExpToken &node) { (void)node; return false; }
  // Whether a resolved column has a text index (TEXTSEARCH, TEXTOCCURS).
  virtual bool HasTextIndex(const TExpToken &column) { (void)column; return false; }
  // Whether a name is one of the source tables (LASTAUTOINC, IDENT_CURRENT).
  virtual bool IsSourceTable(const std::string &name) { (void)name; return false; }
};

struct TCheckContext {
  std::string ContextName = "SQL statement";
  TColumnResolver *Resolver = nullptr;
  uint16_t ErrorCode = KURA_SQLPARSE;
  std::string ErrorTable;  // named by errors other than SQL errors
  // The root is a condition (WHERE, JOIN, HAVING, filters): a Boolean column standing alone
  // there is compared with True. Not so for select-list columns and values.
  bool RootIsCondition = true;
};

// Checks the tree bottom-up and returns its root, which may be a new node (a Boolean column
// standing alone becomes "column = True"). Failures raise the engine error of the context.
TExpToken *CheckExpression(TExpToken *root, const TCheckContext &context);

// Result type of an arithmetic operator on two operand types (used by the checker and by
// code that builds typed trees directly). Unknown when the pair is not allowed.
TTypeInfo ArithmeticResultType(TExpCode op, const TTypeInfo &left, const TTypeInfo &right);
// Whether the pair is allowed by the comparison/operator tables.
bool OperatorAllows(TExpCode op, const TTypeInfo &left, const TTypeInfo &right);
// Whether a value of `from` may be CAST to `to`.
bool CastAllowed(TDataType from, TDataType to);

}  // namespace kura
