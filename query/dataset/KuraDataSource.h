#pragma once
// A data source: the link from a dataset to the things that follow it (grids, detail
// queries). Followers observe the dataset through it.
#include "query/dataset/KuraDataSet.h"

namespace kura {

class TKuraDataSource {
 public:
  explicit TKuraDataSource(TKuraDataSet *dataSet = nullptr) : FDataSet(dataSet) {}
  TKuraDataSet *DataSet() const { return FDataSet; }
  void SetDataSet(TKuraDataSet *dataSet) { FDataSet = dataSet; }
  bool Enabled = true;

 private:
  TKuraDataSet *FDataSet;
};

}  // namespace kura
