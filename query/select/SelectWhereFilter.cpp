#include "query/select/SelectWhereFilter.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "engine/data/FieldTypes.h"
#include "query/expr/ConstantFolding.h"
#include "query/filter/ExprFilter.h"
#include "query/filter/FilterIndexRanges.h"
#include "query/select/SourceCursorCache.h"

namespace kura {

namespace {

void PrepareCopy(TExpToken *node, const TCursorFieldMap &map) {
  if (!node) return;
  if (node->Kind == TExpNodeKind::Column) node->FieldNo = map(node->FieldNo);
  // A marker holds this execution's value, and the filter lives for this execution only.
  if (node->Kind == TExpNodeKind::Constant) node->IsParameter = false;
  PrepareCopy(node->Left, map);
  PrepareCopy(node->Right, map);
  for (TExpToken *a : node->Args) PrepareCopy(a, map);
}

bool InRange(int64_t v, int64_t low, int64_t high) { return v >= low && v <= high; }

// Folding gives a constant compared with a column the column's type; only where that
// conversion is exact does the filter judge as the query does.
bool ConvertsExactly(const TExpToken &column, const TExpToken &constant) {
  if (constant.Value.Null || constant.DataType == column.DataType || constant.DataType == TDataType::String)
    return true;
  if (!IsIntegerType(constant.DataType)) return false;
  const int64_t v = constant.Value.Int;
  switch (column.DataType) {
    case TDataType::SmallInt: return InRange(v, -32767, 32767);
    case TDataType::Word: return InRange(v, 0, 65535);
    case TDataType::Integer: return InRange(v, -2147483647, 2147483647);
    case TDataType::LargeInt: return true;
    case TDataType::Float: return InRange(v, -(int64_t{1} << 53), int64_t{1} << 53);
    case TDataType::BCD: return InRange(v, -100000000000000, 100000000000000);
    default: return false;
  }
}

bool ConstantsConvertExactly(const TExpToken &n) {
  std::vector<const TExpToken *> operands{n.Left, n.Right};
  operands.insert(operands.end(), n.Args.begin(), n.Args.end());
  for (const TExpToken *column : operands) {
    if (!column || column->Kind != TExpNodeKind::Column) continue;
    for (const TExpToken *c : operands)
      if (c && c->Kind == TExpNodeKind::Constant && !ConvertsExactly(*column, *c)) return false;
  }
  return true;
}

}  // namespace

bool FilterCanTake(const TExpToken &condition, const void *owner, const TCursorFieldMap &map) {
  const TExpToken &n = condition;
  if (n.Kind == TExpNodeKind::SubSelect || n.SubQuery || n.IsAllColumns) return false;
  if (n.Kind == TExpNodeKind::Function &&
      (n.Code == TExpCode::TextSearch || n.Code == TExpCode::TextOccurs || n.Code == TExpCode::LastAutoInc))
    return false;
  if (!ConstantsConvertExactly(n)) return false;
  if (n.Kind == TExpNodeKind::Column) {
    if (n.Source != owner || n.FieldNo < 1 || map(n.FieldNo) < 1) return false;
  }
  for (const TExpToken *child : {n.Left, n.Right})
    if (child && !FilterCanTake(*child, owner, map)) return false;
  for (const TExpToken *a : n.Args)
    if (a && !FilterCanTake(*a, owner, map)) return false;
  return true;
}

namespace {

TExprFilterOptions ConditionFilterOptions() {
  TExprFilterOptions options;
  options.CaseInsensitive = false;
  options.PartialCompare = false;
  return options;
}

// The condition as a filter on the cursor takes it: a copy whose columns carry the cursor's
// field numbers, column sides to the left and constants in the column's type, as index ranges
// need them; "=" keeps comparing whole values with case.
TExpTreePtr ConditionFilterTree(TDataCursor &cursor, const TExpToken &condition, const TCursorFieldMap &map) {
  TExpTreePtr copy(CopyTree(&condition));
  PrepareCopy(copy.get(), map);
  TurnConstantComparisons(copy.get());
  TFoldOptions fold;
  fold.CaseInsensitive = false;
  fold.NoPartialCompare = true;
  return TExpTreePtr(CopyTreeFolded(copy.get(), fold, cursor.LanguageId(), cursor.SortId()));
}

// Attaches a filter for the condition without switching it on.
TExprFilter *AddConditionFilter(TDataCursor &cursor, const TExpToken &condition, const TCursorFieldMap &map) {
  return AddExprFilter(cursor, ConditionFilterTree(cursor, condition, map), ConditionFilterOptions());
}

}  // namespace

TExprFilter *ActivateConditionFilter(TDataCursor &cursor, const TExpToken &condition, const TCursorFieldMap &map) {
  TExprFilter *filter = AddConditionFilter(cursor, condition, map);
  cursor.ActivateFilter(filter);
  return filter;
}

namespace {

// A key lookup "column = constant" on an integer column of the statement's own table, written
// column first with the constant already in the column's type: the condition as it stands is
// what the filter copy would be (no side to turn, nothing to fold), so the index is asked with
// it directly, without a filter or a copy of the tree.
bool IsPlainKeyEquality(const TExpToken &n, const void *owner, int fieldCount) {
  if ((n.Kind != TExpNodeKind::Binary && n.Kind != TExpNodeKind::Compare) || n.Code != TExpCode::Equal) return false;
  const TExpToken *column = n.Left;
  const TExpToken *constant = n.Right;
  if (!column || !constant || column->Kind != TExpNodeKind::Column || constant->Kind != TExpNodeKind::Constant)
    return false;
  if (column->IsAllColumns || column->Source != owner || column->FieldNo < 1 || column->FieldNo > fieldCount)
    return false;
  if (!column->Args.empty() || column->Left || column->Right || !constant->Args.empty() || constant->Left ||
      constant->Right)
    return false;
  return !constant->Value.Null && !constant->IsParameter && constant->DataType == column->DataType &&
         IsIntegerType(column->DataType);
}

}  // namespace

bool IndexedCandidates(TDataCursor &cursor, const void *owner, const std::vector<const TExpToken *> &conditions,
                       TCandidateRecords &passing) {
  const int fieldCount = cursor.FieldCount();
  const TCursorFieldMap map = [fieldCount](int sourceField) {
    return sourceField >= 1 && sourceField <= fieldCount ? sourceField : 0;
  };
  const uint32_t slots = static_cast<uint32_t>(std::max<int32_t>(0, cursor.Table()->DataFile().SlotCount()));
  TCandidateRecords records = TCandidateRecords::AllSlots(slots);
  bool built = false;
  for (const TExpToken *c : conditions) {
    if (IsPlainKeyEquality(*c, owner, fieldCount)) {
      const int indexNo = ServingIndex(cursor, *c);
      if (indexNo >= 0) {
        TCandidateRecords passed;
        IndexMatchSet(cursor, indexNo, *c, records, passed);
        records = std::move(passed);
        built = true;
        if (records.Empty()) break;
        continue;
      }
    }
    if (!FilterCanTake(*c, owner, map)) continue;
    // The filter is asked for its record set directly, not attached to the cursor: a filter in
    // use (or natural order) would first walk every live record of the table.
    TExpTreePtr tree = ConditionFilterTree(cursor, *c, map);
    if (!tree || tree->DataType != TDataType::Boolean) continue;
    TExprFilter filter(cursor, std::move(tree), ConditionFilterOptions());
    // A condition no index serves is left to the record-by-record test.
    TCandidateRecords passed;
    if (filter.RootLevel() != TOptLevel::None && filter.MatchingRecords(cursor, records, passed)) {
      records = std::move(passed);
      built = true;
    }
    if (built && records.Empty()) break;
  }
  if (built) passing = std::move(records);
  return built;
}

std::unique_ptr<TDataCursor> OpenIndexCursor(const TSelectSource &source) {
  auto cursor = std::make_unique<TDataCursor>(source.Directory, source.Parsed->TableName);
  TCursorOptions options;
  options.InMemory = source.Directory->IsMemory();
  options.NaturalOrder = false;
  options.ReadOnly = source.Table->ReadOnly();
  cursor->SetOptions(options);
  cursor->OpenCursor();
  return cursor;
}

bool FilteredRecords(TSelectSource &source, const std::vector<const TExpToken *> &conditions,
                     TCandidateRecords &passing, TSourceCursorCache *cache) {
  const int fieldCount = source.Table->DataFile().FieldCount();
  const TCursorFieldMap map = [fieldCount](int sourceField) {
    return sourceField >= 1 && sourceField <= fieldCount ? sourceField : 0;
  };
  bool any = false;
  for (const TExpToken *c : conditions) any = any || FilterCanTake(*c, &source.Row, map);
  if (!any) return false;
  // The table's read lock for the whole walk: no other process changes the indexes meanwhile.
  // Its change check comes first, so that a kept cursor is only taken for an unchanged table.
  source.Table->ReadLock();
  std::unique_ptr<TDataCursor> opened;
  bool built = false;
  try {
    TDataCursor *cursor = cache ? cache->Find(*source.Table) : nullptr;
    if (!cursor) {
      opened = OpenIndexCursor(source);
      cursor = opened.get();
    }
    if (cursor->FieldCount() == fieldCount) built = IndexedCandidates(*cursor, &source.Row, conditions, passing);
    if (opened && cache && opened->Table() == source.Table) cache->Keep(*source.Table, std::move(opened));
  } catch (...) {
    if (opened && opened->IsOpen()) opened->CloseCursor();
    source.Table->ReadUnlock();
    throw;
  }
  if (opened) opened->CloseCursor();
  source.Table->ReadUnlock();
  return built;
}

}  // namespace kura
