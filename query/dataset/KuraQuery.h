#pragma once
// TKuraQuery: a dataset over the result of an SQL statement. ":name" markers of the SQL
// become positional parameters; a live result is a cursor on the source table itself, so
// editing it changes the table.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "query/dataset/DataSetObserver.h"
#include "query/dataset/KuraDBDataSet.h"
#include "query/dataset/KuraDataSource.h"
#include "query/dataset/KuraParams.h"
#include "query/dataset/KuraStrings.h"

namespace kura {

class TSelectQuery;
class TQueryStatement;

class TKuraQuery : public TKuraDBDataSet, private TDataSetObserver {
 public:
  TKuraQuery();
  ~TKuraQuery() override;

  static const char *EngineVersion();

  // Editing the lines closes and unprepares the query when the text changes.
  TKuraStrings &SQL() { return FSQL; }
  const TKuraStrings &SQL() const { return FSQL; }
  // The text handed to the engine (markers replaced by "?").
  const std::string &Text() const { return FPreparedText; }

  TParams &Params() { return FParams; }
  TParam &ParamByName(const std::string &name) { return FParams.ParamByName(name); }
  int ParamCount() const { return FParams.Count(); }
  bool ParamCheck() const { return FParamCheck; }
  void SetParamCheck(bool check);

  bool RequestLive() const { return FRequestLive; }
  void SetRequestLive(bool live);
  // -1: no limit.
  int64_t MaxRowCount() const { return FMaxRowCount; }
  void SetMaxRowCount(int64_t count);
  // True also while the open result cannot be changed.
  bool ReadOnly() const { return FReadOnly || FResultReadOnly; }
  void SetReadOnly(bool readOnly);

  // The master whose current record fills the parameters the application did not assign.
  TKuraDataSource *DataSource() const { return FDataSource; }
  void SetDataSource(TKuraDataSource *source);

  void Prepare();
  void Unprepare();
  bool Prepared() const { return FSelect != nullptr || FChange != nullptr; }
  // Runs a statement without a result set.
  void ExecSQL();
  int64_t RowsAffected() const { return FRowsAffected; }
  double ExecutionTime() const { return FExecutionTime; }
  bool Live() const { return FLive; }

  void SetDatabaseName(const std::string &name) override;
  void SetSessionName(const std::string &name) override;

  std::function<void(TKuraQuery &, int percentDone, bool &abortQuery)> OnQueryProgress;

 protected:
  TDataCursor *CreateCursor() override;
  void DestroyCursor() override;
  void AfterCursorClosed() override;
  bool IsQuery() const override { return true; }
  size_t VisibleFieldCount() const override;

 private:
  // TDataSetObserver of the master dataset.
  void DataSetOpened(TKuraDataSet &) override { MasterChanged(); }
  void DataSetScrolled(TKuraDataSet &) override { MasterChanged(); }
  void RecordChanged(TKuraDataSet &) override {}
  void DataSetChanged(TKuraDataSet &) override { MasterChanged(); }
  void DataSetClosed(TKuraDataSet &) override {}
  void DataSetDestroying(TKuraDataSet &dataSet) override {
    if (&dataSet == FMaster) FMaster = nullptr;
  }
  void MasterChanged();

  void SQLChanged();
  void PrepareStatement();
  void Execute();
  void ExecuteChange();
  void ReleaseStatement();
  TParams EffectiveParams();
  TDataCursor *ResultCursor();

  TKuraStrings FSQL;
  std::string FLastText;
  std::string FPreparedText;
  TParams FParams;
  bool FParamCheck = true;
  bool FRequestLive = false;
  int64_t FMaxRowCount = -1;
  bool FResultReadOnly = false;
  bool FLive = false;
  TKuraDataSource *FDataSource = nullptr;
  TKuraDataSet *FMaster = nullptr;
  bool FPreparedByOpen = false;
  int64_t FRowsAffected = 0;
  double FExecutionTime = 0;
  std::unique_ptr<TSelectQuery> FSelect;
  // A statement of another kind (or a script), run by the change executor.
  std::unique_ptr<TQueryStatement> FChange;
  bool FChangeIsScript = false;
  std::string FChangeDatabase;
  std::unique_ptr<TDataCursor> FResultCursor;
};

}  // namespace kura
