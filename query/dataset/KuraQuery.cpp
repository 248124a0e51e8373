// Query components.
#include "query/dataset/KuraQuery.h"

#include <chrono>

#include "engine/cursor/DataCursor.h"
#include "engine/errors/EngineError.h"
#include "engine/table/DataDirectory.h"
#include "engine/table/DataTable.h"
#include "query/dataset/DataSetErrors.h"
#include "query/dataset/KuraSession.h"
#include "query/dataset/LiveResultFilter.h"
#include "query/dataset/TextCompare.h"
#include "query/select/SelectPlan.h"
#include "query/select/SelectQuery.h"
#include "query/change/ChangeExecutor.h"
#include "query/sql/QueryStatement.h"

namespace kura {

TKuraQuery::TKuraQuery() {
  FSQL.OnChange = [this] { SQLChanged(); };
}

TKuraQuery::~TKuraQuery() {
  if (FMaster) FMaster->RemoveObserver(this);
  try {
    Close();
    Unprepare();
  } catch (...) {
  }
}

const char *TKuraQuery::EngineVersion() { return kEngineVersion; }

void TKuraQuery::SQLChanged() {
  const std::string text = FSQL.Text();
  if (text == FLastText) return;
  Close();
  Unprepare();
  FLastText = text;
  if (FParamCheck) {
    std::vector<std::string> names;
    FPreparedText = ReplaceParameterMarkers(text, names);
    FParams.Rebuild(names);
  } else {
    FPreparedText = text;
  }
}

void TKuraQuery::SetParamCheck(bool check) {
  if (check == FParamCheck) return;
  FParamCheck = check;
  FLastText.clear();
  const std::string text = FSQL.Text();
  if (!text.empty()) SQLChanged();
}

void TKuraQuery::SetRequestLive(bool live) {
  if (live == FRequestLive) return;
  CheckInactive();
  Unprepare();
  FRequestLive = live;
}

void TKuraQuery::SetMaxRowCount(int64_t count) {
  FMaxRowCount = count < 0 ? -1 : count;
  if (FSelect) FSelect->SetMaxRowCount(FMaxRowCount);
}

void TKuraQuery::SetReadOnly(bool readOnly) {
  CheckInactive();
  FReadOnly = readOnly;
}

void TKuraQuery::SetDatabaseName(const std::string &name) {
  CheckInactive();
  Unprepare();
  TKuraDBDataSet::SetDatabaseName(name);
}

void TKuraQuery::SetSessionName(const std::string &name) {
  CheckInactive();
  Unprepare();
  TKuraDBDataSet::SetSessionName(name);
}

void TKuraQuery::SetDataSource(TKuraDataSource *source) {
  // A master chain that leads back to this query would reopen it forever.
  for (TKuraDataSource *s = source; s; ) {
    TKuraDataSet *ds = s->DataSet();
    if (ds == this) RaiseDatabaseError(dsmsg::CircularDataLink);
    auto *q = dynamic_cast<TKuraQuery *>(ds);
    s = q ? q->FDataSource : nullptr;
  }
  if (FMaster) FMaster->RemoveObserver(this);
  FDataSource = source;
  FMaster = source ? source->DataSet() : nullptr;
  if (FMaster) FMaster->AddObserver(this);
}

void TKuraQuery::MasterChanged() {
  if (!Active() || !FDataSource || !FDataSource->Enabled) return;
  if (State() != TDataSetState::dsBrowse) return;
  Close();
  Open();
}

// ---- Prepare and execute --------------------------------------------------------------------

void TKuraQuery::Prepare() {
  CheckInactive();
  if (Prepared()) return;
  PrepareStatement();
  FPreparedByOpen = false;
}

void TKuraQuery::PrepareStatement() {
  if (FPreparedText.size() < 2 || TrimText(FPreparedText).empty()) RaiseDatabaseError(dsmsg::NoSqlStatement);
  TKuraDatabase &db = OpenDatabase();
  try {
    TDataDirectory &dir = db.Handle();
    const std::string databaseName = dir.IsMemory() ? std::string("Memory") : dir.Path();
    // The statement kind decides who runs it: SELECT makes a result, the others change data.
    auto statement = std::make_unique<TQueryStatement>();
    statement->SetRequestLive(FRequestLive);
    statement->SetMaxRowCount(FMaxRowCount);
    statement->Prepare(FPreparedText);
    if (statement->Kind() == TStatementKind::Select && !statement->HasNextStatement()) {
      auto select = std::make_unique<TSelectQuery>(*dir.Session(), databaseName);
      select->SetRequestLive(FRequestLive);
      select->SetMaxRowCount(FMaxRowCount);
      select->OnProgress = [this](int percent, bool &abort) {
        if (OnQueryProgress) OnQueryProgress(*this, percent, abort);
      };
      select->Prepare(FPreparedText);
      FSelect = std::move(select);
    } else {
      FChangeIsScript = statement->HasNextStatement();
      FChangeDatabase = databaseName;
      FChange = std::move(statement);
    }
  } catch (...) {
    if (!Active()) CloseDatabase();
    throw;
  }
}

void TKuraQuery::ReleaseStatement() {
  FSelect.reset();
  FChange.reset();
  FChangeIsScript = false;
  FPreparedByOpen = false;
}

void TKuraQuery::Unprepare() {
  if (!Prepared()) return;
  if (FResultCursor) {
    FResultCursor->CloseCursor();
    FResultCursor.reset();
  }
  ReleaseStatement();
  if (!Active()) CloseDatabase();
}

TParams TKuraQuery::EffectiveParams() {
  TParams params = FParams;
  if (FMaster && FMaster->Active()) {
    for (int i = 0; i < params.Count(); ++i) {
      TParam &p = params[i];
      if (p.Bound()) continue;
      if (TField *f = FMaster->FindField(p.Name())) {
        p.SetDataType(f->DataType());
        p.SetValue(f->Value());
      }
    }
  }
  return params;
}

void TKuraQuery::Execute() {
  const std::vector<TParamValue> values = BuildParamValues(EffectiveParams());
  const size_t markers = FSelect->ParameterCount();
  for (size_t i = 0; i < markers; ++i) {
    if (i >= values.size()) RaiseDatabaseError(dsmsg::NoParameterValue, std::to_string(i + 1));
    FSelect->SetParameter(i, values[i].Type, values[i].Value);
  }
  try {
    FSelect->Execute();
  } catch (const EKuraEngineError &e) {
    // A statement that fails to check is parsed again by the next open.
    if (e.ErrorCode() == KURA_SQLPARSE) ReleaseStatement();
    throw;
  }
  FRowsAffected = FSelect->RowCount();
  FExecutionTime = FSelect->ExecutionTime();
}

void TKuraQuery::ExecuteChange() {
  const std::vector<TParamValue> values = BuildParamValues(EffectiveParams());
  TKuraDatabase *db = Database();
  if (!db) RaiseDatabaseError(dsmsg::DatabaseClosed);
  TChangeExecutor executor(*db->Handle().Session(), FChangeDatabase);
  const auto started = std::chrono::steady_clock::now();
  // A script runs from its first statement every time.
  if (FChangeIsScript) FChange->Prepare(FPreparedText);
  size_t used = 0;
  int64_t rows = 0;
  try {
    for (bool first = true;; first = false) {
      if (!first) FChange->PrepareNext();
      for (TExpToken *marker : FChange->Parameters()) {
        if (used >= values.size()) RaiseDatabaseError(dsmsg::NoParameterValue, std::to_string(used + 1));
        const TParamValue &v = values[used++];
        marker->Value = v.Value;
        if (marker->DataType == TDataType::Unknown) {
          marker->DataType = v.Type.Type;
          marker->SubType = v.Type.SubType;
          marker->Size = v.Type.Size;
          marker->Scale = v.Type.Scale;
        }
      }
      if (FChange->Kind() == TStatementKind::Select)
        throw EKuraDatabaseError("A SELECT inside a script of statements cannot be run here");
      rows += executor.Execute(*FChange);
      if (!FChange->HasNextStatement()) break;
    }
  } catch (const EKuraEngineError &e) {
    if (e.ErrorCode() == KURA_SQLPARSE) ReleaseStatement();
    throw;
  }
  FRowsAffected = rows;
  FExecutionTime = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
}

TDataCursor *TKuraQuery::ResultCursor() {
  TSelectPlan &plan = *FSelect->PlanOf(FSelect->Statement().Master());
  FLive = FSelect->Live();
  std::unique_ptr<TDataCursor> cursor;
  TCursorOptions options;
  if (FLive) {
    TDataTable *source = plan.Sources[0]->Table;
    cursor = std::make_unique<TDataCursor>(source->Directory(), source->Name());
    options.InMemory = source->InMemory();
    options.ReadOnly = FReadOnly;
    // Without ORDER BY the rows come in the table's natural order, the order of appending.
    options.NaturalOrder = plan.LiveIndex < 0;
    cursor->SetOptions(options);
    cursor->OpenCursor();
    if (plan.LiveIndex >= 0) cursor->SetIndexNo(plan.LiveIndex);
    if (!FSelect->Statement().SelectsAllColumns()) {
      std::vector<TProjectionField> projection;
      std::vector<int> columnIndexes;
      bool anyCalculated = false;
      for (size_t i = 0; i < plan.VisibleCount; ++i) {
        const TSelectColumn &c = plan.Columns[i];
        TProjectionField p;
        p.Field = c.Field;
        if (c.Kind == TColumnKind::Plain) {
          p.SourceField = c.SourceField;
          p.Field.Calculated = 0;
        } else {
          p.Field.Calculated = 247;
          anyCalculated = true;
        }
        p.Origin = c.Kind == TColumnKind::Plain ? source->Name() + "." + c.Field.Name : std::string();
        p.Database = source->Directory()->Path();
        projection.push_back(std::move(p));
        columnIndexes.push_back(static_cast<int>(i));
      }
      cursor->SetProjection(projection);
      if (anyCalculated) {
        TSelectQuery *select = FSelect.get();
        TSelectPlan *planPtr = &plan;
        cursor->CalculateFields = [select, planPtr, columnIndexes](TDataCursor &c, uint8_t *record) {
          CalculateLiveColumns(*select, *planPtr, columnIndexes, c, record);
        };
      }
    }
    TCursorFilter *filter =
        cursor->AddFilter(std::make_unique<TLiveResultFilter>(*FSelect, plan, FSelect->LiveRecords()), true);
    cursor->ActivateFilter(filter);
  } else {
    TDataTable *table = FSelect->ResultTable();
    if (!table) RaiseDatabaseError(dsmsg::NoTableHandle);
    // The statement made the result table for itself alone; it is complete now, so its
    // buffers are written and the table is opened to this dataset's cursor as well.
    if (table->Exclusive()) {
      table->FlushBuffers();
      table->SetOpenFlags(false, false, table->Temporary());
    }
    cursor = std::make_unique<TDataCursor>(table->Directory(), table->Name());
    options.InMemory = table->InMemory();
    options.Temporary = table->Temporary();
    options.NaturalOrder = true;
    options.ReadOnly = FReadOnly;
    cursor->SetOptions(options);
    cursor->OpenCursor();
  }
  FResultReadOnly = cursor->Options().ReadOnly;
  FResultCursor = std::move(cursor);
  return FResultCursor.get();
}

TDataCursor *TKuraQuery::CreateCursor() {
  if (TrimText(FSQL.Text()).empty()) RaiseDatabaseError(dsmsg::NoSqlStatement);
  try {
    if (!Prepared()) {
      PrepareStatement();
      FPreparedByOpen = true;
    }
    if (FChange) {
      // The statement runs, but it makes no rows to show.
      ExecuteChange();
      RaiseDatabaseError(dsmsg::NoTableHandle);
    }
    Execute();
    return ResultCursor();
  } catch (...) {
    if (FResultCursor) {
      FResultCursor->CloseCursor();
      FResultCursor.reset();
    }
    if (FSelect) FSelect->Close();
    if (FPreparedByOpen) ReleaseStatement();
    if (!Prepared()) CloseDatabase();
    throw;
  }
}

void TKuraQuery::DestroyCursor() {
  if (FResultCursor) {
    FResultCursor->CloseCursor();
    FResultCursor.reset();
  }
  if (FSelect) FSelect->Close();
  FResultReadOnly = false;
  FLive = false;
}

void TKuraQuery::AfterCursorClosed() {
  // Open prepared the statement for itself: the last reason to hold it is gone.
  if (FPreparedByOpen) ReleaseStatement();
  if (!Prepared()) CloseDatabase();
}

size_t TKuraQuery::VisibleFieldCount() const {
  if (!FSelect || FLive || !FSelect->Executed()) return SIZE_MAX;
  const TSelectPlan *plan = FSelect->PlanOf(FSelect->Statement().Master());
  return plan ? plan->VisibleCount : SIZE_MAX;
}

void TKuraQuery::ExecSQL() {
  CheckInactive();
  if (TrimText(FSQL.Text()).empty()) RaiseDatabaseError(dsmsg::NoSqlStatement);
  const bool preparedHere = !Prepared();
  if (preparedHere) PrepareStatement();
  try {
    if (FChange)
      ExecuteChange();
    else
      Execute();
  } catch (...) {
    if (FSelect) FSelect->Close();
    if (preparedHere) Unprepare();
    throw;
  }
  if (FSelect) FSelect->Close();
  if (preparedHere) Unprepare();
}

}  // namespace kura
