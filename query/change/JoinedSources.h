#pragma once
// The further sources of UPDATE ... FROM and DELETE FROM with several sources: for the target
// table's current record, a search over the other sources' records (nested, in the order
// written) for a combination that satisfies the join conditions and WHERE. LEFT OUTER joined
// sources without a matching record take part as a NULL row.
#include <memory>
#include <string>
#include <vector>

#include "query/change/ChangeTarget.h"

namespace kura {

class TChangeExecutor;

class TJoinedSources : public TColumnResolver, public TEvalContext {
 public:
  // Opens every source after the first (which is the target) for reading.
  TJoinedSources(TChangeExecutor &executor, TChangeTarget &target, TDataQuery &query);
  ~TJoinedSources() override;

  // Type-checks WHERE, the join conditions and (for UPDATE) the values against all sources.
  void Check(TDataQuery &query, bool checkValues);
  // Positions the other sources on the first combination that, with the target's current
  // record, satisfies the conditions; false when there is none.
  bool FindMatch(const TExpToken *where);

  // TColumnResolver
  bool ResolveColumn(TExpToken &column) override;
  bool IsSourceTable(const std::string &name) override;
  // TEvalContext
  void ReadColumn(const TExpToken &column, TExpValue &value) override;

 private:
  struct TSource {
    std::string TableName, Correlation;
    std::unique_ptr<TDataCursor> Cursor;
    std::vector<uint8_t> Record;
    bool NullRow = false;
    bool Outer = false;
    const TExpToken *On = nullptr;  // join condition checked when this source is positioned
  };
  bool Match(size_t k, const TExpToken *where);
  void CheckTree(TExpTreePtr &tree, const char *contextName, bool condition);

  TChangeTarget &FTarget;
  std::vector<std::unique_ptr<TSource>> FSources;
  std::unique_ptr<TEvaluator> FEvaluator;
};

}  // namespace kura
