#pragma once
// The table a data-changing statement writes: its cursor, the record being built or changed,
// the resolution of column names against it and the storing of evaluated values.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/cursor/DataCursor.h"
#include "query/expr/Evaluator.h"
#include "query/expr/TypeChecker.h"
#include "query/change/SubSelectValues.h"
#include "query/sql/DataQuery.h"

namespace kura {

class TChangeTarget : public TColumnResolver, public TEvalContext {
 public:
  // Opens the table for writing (exclusively when asked). UPDATE and DELETE go to chosen records
  // one by one (by the primary key where the table has one) and INSERT only appends: the cursor
  // is not opened in natural order, whose set of live records costs a pass over the whole
  // table at every open (a table without a primary key has no other order).
  TChangeTarget(TDataDirectory *directory, const TTableRef &ref, const std::string &correlation,
                bool exclusive = false);
  // Takes over a cursor already open on the table (a cursor kept from an earlier statement).
  TChangeTarget(std::unique_ptr<TDataCursor> cursor, const TTableRef &ref, const std::string &correlation);
  ~TChangeTarget() override;
  // Gives the open cursor away (to be kept for a later statement); the target is done then.
  std::unique_ptr<TDataCursor> ReleaseCursor() { return std::move(FCursor); }

  TDataCursor &Cursor() { return *FCursor; }
  std::vector<uint8_t> &Record() { return FRecord; }
  // Field number of a column name (case-insensitive), 0 when there is none.
  int FindField(const std::string &name) const;

  // Type-checks an expression of the statement against the table's columns.
  void Check(TExpTreePtr &tree, const char *contextName, bool condition);

  // Evaluates the value expression and stores it into the field of the current record;
  // `statementName` ("INSERT", "UPDATE") names the statement in the type mismatch message.
  // Evaluates and stores the value expressions into the fields, all of them evaluated before the
  // first is stored (SET values see the record as it was). Columns are read through `context`
  // (the target alone when null).
  void StoreValues(const std::vector<int> &fields, const std::vector<TUpdateValue> &values, const char *statementName,
                   TEvalContext *context = nullptr);
  // Stores a value of the given type into the field, converting it to the field's type; Blob
  // values go in through the cursor's blob operations.
  void StoreTyped(int fieldNo, const TTypeInfo &from, const TExpValue &value, const char *statementName);

  // IN ( SELECT ... ) is served by these (none: not allowed).
  void SetSubSelects(TSubSelectValues *subSelects) { FSubSelects = subSelects; }
  TSubSelectValues *SubSelects() const { return FSubSelects; }

  // TColumnResolver
  bool ResolveColumn(TExpToken &column) override;
  bool IsSourceTable(const std::string &name) override;
  bool ResolveSubSelect(TExpToken &node) override;
  // TEvalContext
  void ReadColumn(const TExpToken &column, TExpValue &value) override;
  bool LastAutoIncValue(const std::string &table, int64_t &value) override;
  bool SubSelectMatches(const TExpToken &subSelect, const TExpToken &valueNode, const TExpValue &value) override;

 private:
  TSubSelectValues *FSubSelects = nullptr;
  std::unique_ptr<TDataCursor> FCursor;
  std::string FTableName;
  std::string FCorrelation;
  std::vector<uint8_t> FRecord;
};

}  // namespace kura
