#include "app/DataSetModel.h"

#include <exception>

#include "query/dataset/KuraDataSet.h"

namespace miretoka {

TDataSetModel::TDataSetModel(kura::TKuraDataSet *dataSet, std::vector<TColumn> columns, QObject *parent)
    : QAbstractTableModel(parent), FDataSet(dataSet), FColumns(std::move(columns)) {
  if (FDataSet) FDataSet->AddObserver(this);
  Reload();
}

TDataSetModel::~TDataSetModel() {
  if (FDataSet) FDataSet->RemoveObserver(this);
}

int TDataSetModel::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : FRowCount; }

int TDataSetModel::columnCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : static_cast<int>(FColumns.size());
}

QVariant TDataSetModel::data(const QModelIndex &index, int role) const {
  if (!FDataSet || !index.isValid() || index.row() >= FRowCount || index.column() >= columnCount()) return {};
  if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
  QVariant value;
  try {
    const std::string field = FColumns[static_cast<size_t>(index.column())].Field.toStdString();
    FDataSet->PeekRow(index.row() + 1, [&] {
      kura::TField &f = FDataSet->FieldByName(field);
      if (!f.IsNull()) value = QString::fromStdString(f.AsString());
    });
  } catch (const std::exception &) {
    // A row that cannot be read (gone meanwhile) shows empty; painting must not fail.
  }
  return value;
}

QVariant TDataSetModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return QAbstractTableModel::headerData(section, orientation, role);
  if (orientation == Qt::Horizontal) {
    if (section >= 0 && section < columnCount()) return FColumns[static_cast<size_t>(section)].Title;
    return {};
  }
  return QString();  // the row header is only the current-row marker
}

int TDataSetModel::CurrentRow() const {
  if (!FDataSet || !FDataSet->Active() || FDataSet->IsEmpty()) return -1;
  try {
    return static_cast<int>(FDataSet->RecNo()) - 1;
  } catch (const std::exception &) {
    return -1;
  }
}

void TDataSetModel::DataSetScrolled(kura::TKuraDataSet &) { emit CurrentRowChanged(CurrentRow()); }

void TDataSetModel::RecordChanged(kura::TKuraDataSet &) {
  const int row = CurrentRow();
  if (row >= 0 && row < FRowCount) emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

void TDataSetModel::DataSetDestroying(kura::TKuraDataSet &) {
  beginResetModel();
  FDataSet = nullptr;
  FRowCount = 0;
  endResetModel();
}

void TDataSetModel::Reload() {
  beginResetModel();
  FRowCount = 0;
  if (FDataSet && FDataSet->Active()) {
    try {
      FRowCount = static_cast<int>(FDataSet->RecordCount());
    } catch (const std::exception &) {
      FRowCount = 0;
    }
  }
  endResetModel();
  emit CurrentRowChanged(CurrentRow());
}

}  // namespace miretoka
