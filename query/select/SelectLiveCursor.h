#pragma once
// The cursor a live result is served through: a cursor on the single source table, in the
// order of the index that serves ORDER BY (natural order without ORDER BY), narrowed by WHERE
// as a filter, showing the selected columns as a projection with calculated fields computed
// when a record is read; and the cursor a result table is served through.
#include <memory>

#include "engine/cursor/DataCursor.h"
#include "engine/index/IndexFile.h"
#include "engine/table/DataDirectory.h"
#include "query/select/SelectQuery.h"
#include "query/select/SelectResolver.h"
#include "query/select/SelectValues.h"
#include "query/select/SelectWhereFilter.h"

namespace kura {


namespace live_cursor {

// What the cursor's filter and calculation callbacks evaluate with.
struct TLiveState {
  TLiveState(TSelectQuery &owner, TSelectPlan &plan)
      : Plan(plan), Context(owner), Evaluator(&Context, plan.LanguageId, plan.SortId) {
    Context.SetPlan(&plan);
  }
  ~TLiveState() {
    if (Cursor) Cursor->CloseCursor();
  }
  TSelectPlan &Plan;
  TRowEvalContext Context;
  TEvaluator Evaluator;
  std::unique_ptr<TDataCursor> Cursor;
};

}  // namespace live_cursor

inline std::shared_ptr<TDataCursor> OpenLiveCursor(TSelectQuery &owner, TSelectPlan &plan) {
  auto state = std::make_shared<live_cursor::TLiveState>(owner, plan);
  TSelectSource &source = *plan.Sources[0];
  state->Cursor = std::make_unique<TDataCursor>(source.Directory, source.Parsed->TableName);
  TDataCursor &cursor = *state->Cursor;
  TCursorOptions options;
  options.InMemory = source.Directory->IsMemory();
  options.NaturalOrder = plan.LiveIndex < 0;
  cursor.SetOptions(options);
  cursor.OpenCursor();
  cursor.SetIndexNo(plan.LiveIndex < 0 ? kNaturalOrder : plan.LiveIndex);

  // Projection: the visible columns, source fields under their result names.
  std::vector<TProjectionField> projection;
  bool calculated = false;
  for (size_t i = 0; i < plan.VisibleCount; ++i) {
    const TSelectColumn &c = plan.Columns[i];
    TProjectionField p;
    p.Field = c.Field;
    p.Database = source.Directory->Path();
    if (c.Kind == TColumnKind::Plain) {
      p.SourceField = c.SourceField;
      p.Origin = source.Parsed->TableName + "." + source.Table->DataFile().Field(c.SourceField).Name;
    } else {
      p.Field.Calculated = 1;
      calculated = true;
    }
    projection.push_back(std::move(p));
  }
  cursor.SetProjection(projection);
  live_cursor::TLiveState *raw = state.get();
  if (calculated) {
    cursor.CalculateFields = [raw](TDataCursor &c, uint8_t *record) {
      TSelectSource &s = *raw->Plan.Sources[0];
      s.Row.Record = record;
      s.Row.NullRow = false;
      for (size_t i = 0; i < raw->Plan.VisibleCount; ++i) {
        const TSelectColumn &column = raw->Plan.Columns[i];
        if (column.Kind == TColumnKind::Plain || !column.Expression) continue;
        TExpValue value, converted;
        raw->Evaluator.Eval(*column.Expression, value);
        const TTypeInfo from{column.Expression->DataType, column.Expression->SubType, column.Expression->Size,
                             column.Expression->Scale};
        const TFieldDescriptor &field = c.Fields()[i];
        if (!value.Null && !ConvertValue(from, value, FieldTypeInfo(field), converted)) converted.Clear();
        WriteFieldValue(field, record, converted, raw->Plan.LanguageId);
      }
      s.Row.Record = nullptr;
    };
  }

  // WHERE as the cursor's filters: conditions on the selected source columns go to expression
  // filters (which the table's indexes may answer); the rest are tested record by record.
  std::vector<const TExpToken *> all;
  for (const TJoinLevel &level : plan.Levels) all.insert(all.end(), level.Conditions.begin(), level.Conditions.end());
  all.insert(all.end(), plan.Residual.begin(), plan.Residual.end());
  std::vector<int> cursorField(source.Table->DataFile().FieldCount() + 1, 0);
  for (size_t i = 0; i < plan.VisibleCount; ++i) {
    const TSelectColumn &c = plan.Columns[i];
    if (c.Kind == TColumnKind::Plain && c.Field.Type != TDataType::Blob && c.SourceField >= 1 && c.SourceField < static_cast<int>(cursorField.size()) &&
        cursorField[c.SourceField] == 0)
      cursorField[c.SourceField] = static_cast<int>(i) + 1;
  }
  const TCursorFieldMap map = [&cursorField](int sourceField) {
    return sourceField >= 1 && sourceField < static_cast<int>(cursorField.size()) ? cursorField[sourceField] : 0;
  };
  std::vector<const TExpToken *> conditions;
  for (const TExpToken *c : all) {
    if (FilterCanTake(*c, &source.Row, map)) ActivateConditionFilter(cursor, *c, map);
    else conditions.push_back(c);
  }
  if (!conditions.empty()) {
    TCursorFilter *filter = cursor.AddCallbackFilter([raw, conditions](const uint8_t *record) {
      TSelectSource &s = *raw->Plan.Sources[0];
      s.Row.Record = record;
      s.Row.NullRow = false;
      bool passes = true;
      for (const TExpToken *c : conditions)
        if (!raw->Evaluator.Condition(*c)) {
          passes = false;
          break;
        }
      s.Row.Record = nullptr;
      return passes;
    });
    cursor.ActivateFilter(filter);
  }
  cursor.SetToBegin();
  return std::shared_ptr<TDataCursor>(state, state->Cursor.get());
}

// A cursor on a finished result table in the order of its records; it takes over the
// caller's use of the table (which is closed here). The caller has made the table's system
// record index list the records first: result rows are written straight into the data file
// (and reordered there by the record sort, which rebuilds the index itself).
inline std::shared_ptr<TDataCursor> OpenResultCursor(TDataDirectory &directory, TDataTable *table,
                                                     const std::string &name, bool inMemory) {
  directory.CloseTable(table);
  auto cursor = std::make_shared<TDataCursor>(&directory, name);
  TCursorOptions options;
  options.Exclusive = true;
  options.InMemory = inMemory;
  options.NaturalOrder = true;
  cursor->SetOptions(options);
  cursor->OpenCursor();
  cursor->SetToBegin();
  return cursor;
}

}  // namespace kura
