#pragma once
// IN ( SELECT ... ) in the WHERE clause of UPDATE and DELETE: each sub-select is run once, as
// a query of its own made from its text as the parser read it, and its column values kept.
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "query/expr/Evaluator.h"
#include "query/expr/ValueConvert.h"
#include "query/sql/QueryStatement.h"

namespace kura {

class TDataSession;

class TSubSelectValues {
 public:
  TSubSelectValues(TDataSession &session, std::string databaseName, const TQueryStatement &statement);
  // Runs the sub-select of the node (once) and gives the node the type of its single column;
  // false when it has more than one column.
  bool Resolve(TExpToken &node);
  // Whether a value of the sub-select's column equals the value, by the rules of "=".
  bool Matches(TEvaluator &evaluator, const TExpToken &subSelect, const TExpToken &valueNode,
               const TExpValue &value) const;

 private:
  struct TEntry {
    std::string Text;
    bool Run = false;
    std::vector<TExpValue> Values;
  };
  TDataSession &FSession;
  std::string FDatabaseName;
  std::map<const TDataQuery *, TEntry> FEntries;
};


}  // namespace kura
