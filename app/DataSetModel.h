#pragma once
// TDataSetModel: a read-only Qt item model over a dataset, for the data grids. Each column
// shows one field of the dataset under its own title; the rows are the dataset's rows in its
// order. The model follows the dataset: it resets when the dataset opens, closes or gains or
// loses rows, and tells the view when the current record moves (CurrentRowChanged).
#include <QAbstractTableModel>
#include <QString>
#include <QStringList>
#include <vector>

#include "query/dataset/DataSetObserver.h"

namespace kura {
class TKuraDataSet;
}

namespace miretoka {

class TDataSetModel : public QAbstractTableModel, private kura::TDataSetObserver {
  Q_OBJECT
public:
  struct TColumn {
    QString Field;  // the dataset's field name
    QString Title;  // the column header
  };

  TDataSetModel(kura::TKuraDataSet *dataSet, std::vector<TColumn> columns, QObject *parent = nullptr);
  ~TDataSetModel() override;

  int rowCount(const QModelIndex &parent = QModelIndex()) const override;
  int columnCount(const QModelIndex &parent = QModelIndex()) const override;
  QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

  // 0-based row of the dataset's current record; -1 without one.
  int CurrentRow() const;

signals:
  void CurrentRowChanged(int row);

private:
  void DataSetOpened(kura::TKuraDataSet &) override { Reload(); }
  void DataSetClosed(kura::TKuraDataSet &) override { Reload(); }
  void DataSetChanged(kura::TKuraDataSet &) override { Reload(); }
  void DataSetScrolled(kura::TKuraDataSet &) override;
  void RecordChanged(kura::TKuraDataSet &) override;
  void DataSetDestroying(kura::TKuraDataSet &) override;
  void Reload();

  kura::TKuraDataSet *FDataSet;
  std::vector<TColumn> FColumns;
  int FRowCount = 0;
};

}  // namespace miretoka
