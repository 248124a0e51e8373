#include "query/change/SubSelectValues.h"

#include "engine/errors/EngineError.h"
#include "query/select/SelectQuery.h"

namespace kura {

TSubSelectValues::TSubSelectValues(TDataSession &session, std::string databaseName, const TQueryStatement &statement)
    : FSession(session), FDatabaseName(std::move(databaseName)) {
  // UNION parts belong to their sub-select, whose text holds them.
  for (const auto &query : statement.Queries())
    if (query->IsSubSelect && !query->IsUnionPart && !query->UnionMaster)
      FEntries[query.get()].Text = query->SourceText;
}

bool TSubSelectValues::Resolve(TExpToken &node) {
  auto found = FEntries.find(node.SubQuery);
  if (found == FEntries.end()) return false;
  TEntry &entry = found->second;
  TSelectQuery select(FSession, FDatabaseName);
  select.Prepare(entry.Text);
  if (select.ColumnCount() != 1) return false;
  const TTypeInfo type = select.Column(0).Type;
  node.DataType = type.Type;
  node.SubType = type.SubType;
  node.Size = type.Size;
  node.Scale = type.Scale;
  select.Execute();
  for (int64_t r = 0; r < select.RowCount(); ++r) entry.Values.push_back(select.Row(r)[0]);
  entry.Run = true;
  select.Close();
  return true;
}

bool TSubSelectValues::Matches(TEvaluator &evaluator, const TExpToken &subSelect, const TExpToken &valueNode,
                               const TExpValue &value) const {
  auto found = FEntries.find(subSelect.SubQuery);
  if (found == FEntries.end()) return false;
  for (const TExpValue &v : found->second.Values)
    if (evaluator.CompareOperands(TExpCode::Equal, valueNode, value, subSelect, v)) return true;
  return false;
}

}  // namespace kura
