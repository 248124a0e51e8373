#pragma once
// Change notification of a dataset, for views that show its rows (a grid model).
namespace kura {

class TKuraDataSet;

class TDataSetObserver {
 public:
  virtual ~TDataSetObserver() = default;
  // The dataset opened: rows and fields are new.
  virtual void DataSetOpened(TKuraDataSet &dataSet) { (void)dataSet; }
  // The dataset closed (or is about to be destroyed): drop everything shown.
  virtual void DataSetClosed(TKuraDataSet &dataSet) { (void)dataSet; }
  // The current record moved to another row.
  virtual void DataSetScrolled(TKuraDataSet &dataSet) { (void)dataSet; }
  // Values of the current record changed (a field assigned while editing, a post or cancel).
  virtual void RecordChanged(TKuraDataSet &dataSet) { (void)dataSet; }
  // Rows came or went (append, delete, refresh, filter change): the row count may differ.
  virtual void DataSetChanged(TKuraDataSet &dataSet) { (void)dataSet; }
  // Browse, edit or insert state changed.
  virtual void StateChanged(TKuraDataSet &dataSet) { (void)dataSet; }
  // The dataset object is going away: forget it (no RemoveObserver needed afterwards).
  virtual void DataSetDestroying(TKuraDataSet &dataSet) { (void)dataSet; }
};

}  // namespace kura
