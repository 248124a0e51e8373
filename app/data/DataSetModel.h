#pragma once
// TDataSetModel: a Qt item model over a dataset, for the data grids. Each column shows one
// field of the dataset under its own title; the rows are the dataset's rows in its order.
//
// The model follows the dataset: it resets when the dataset opens or closes or gains or loses
// rows, repaints when values change, and tells the view when the current record moves
// (CurrentRowChanged). A view attached with AttachView selects the dataset's current row, and
// moves the dataset when the user selects another row.
//
// Cells are edited in place when the dataset is a live result (or a table) that can be
// modified: setData edits the row, assigns the field and posts. A failure (a key violation, a
// value the field does not take) is shown through the error reporter and the edit is
// cancelled, so the cell shows the stored value again.
#include <QAbstractTableModel>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <vector>

#include "query/dataset/DataSetObserver.h"

class QAbstractItemView;
class QWidget;

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
  Qt::ItemFlags flags(const QModelIndex &index) const override;
  // Edit, assign, Post; false (and the stored value shown again) when that fails.
  bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

  // The text of a field (any field of the dataset, shown or not) in row `row` (0-based),
  // read without moving the dataset; empty for a null or unreadable value.
  QString FieldText(int row, const QString &field) const;
  // 0-based row of the dataset's current record; -1 without one.
  int CurrentRow() const;
  // Whether cells can be edited: the dataset is open, can be modified and, for a query, its
  // result is live (changes to a result table would never reach the table).
  bool CanEdit() const;
  // Re-reads the dataset, so that changes other users (or other queries) made show.
  void Refresh();
  // Shows the model in a view whose selection follows the dataset's current record and moves
  // it. Error boxes of failed edits get the view's window as parent.
  void AttachView(QAbstractItemView *view);

signals:
  void CurrentRowChanged(int row);

private:
  void DataSetOpened(kura::TKuraDataSet &) override { Reload(true); }
  void DataSetClosed(kura::TKuraDataSet &) override { Reload(true); }
  void DataSetChanged(kura::TKuraDataSet &) override { Reload(false); }
  void DataSetScrolled(kura::TKuraDataSet &) override;
  void RecordChanged(kura::TKuraDataSet &) override;
  void StateChanged(kura::TKuraDataSet &) override;
  void DataSetDestroying(kura::TKuraDataSet &) override;
  // Rows anew; without `force` an unchanged row count only repaints (keeps the view's editor
  // and selection).
  void Reload(bool force);
  void ViewRowSelected(int row);
  void ReportError(const QString &text);
  bool FieldEditable(int column) const;

  kura::TKuraDataSet *FDataSet;
  std::vector<TColumn> FColumns;
  int FRowCount = 0;
  QPointer<QAbstractItemView> FView;
  bool FMovingDataSet = false;  // the view moves the dataset: its own echo is not news
};

}  // namespace miretoka
