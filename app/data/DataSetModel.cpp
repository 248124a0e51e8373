#include "app/data/DataSetModel.h"

#include <QAbstractItemView>
#include <QItemSelectionModel>
#include <exception>

#include "app/feedback/ErrorReporter.h"
#include "query/dataset/KuraDataSet.h"
#include "query/dataset/KuraQuery.h"

namespace miretoka {

TDataSetModel::TDataSetModel(kura::TKuraDataSet *dataSet, std::vector<TColumn> columns, QObject *parent)
    : QAbstractTableModel(parent), FDataSet(dataSet), FColumns(std::move(columns)) {
  if (FDataSet) FDataSet->AddObserver(this);
  Reload(true);
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
  // The editor starts from the text shown, an empty cell from an empty text.
  if (role == Qt::EditRole && !value.isValid()) return QString();
  return value;
}

QString TDataSetModel::FieldText(int row, const QString &field) const {
  if (!FDataSet || row < 0 || row >= FRowCount) return {};
  QString value;
  try {
    FDataSet->PeekRow(row + 1, [&] {
      kura::TField &f = FDataSet->FieldByName(field.toStdString());
      if (!f.IsNull()) value = QString::fromStdString(f.AsString());
    });
  } catch (const std::exception &) {
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

bool TDataSetModel::CanEdit() const {
  if (!FDataSet || !FDataSet->Active() || !FDataSet->CanModify()) return false;
  if (auto *query = dynamic_cast<const kura::TKuraQuery *>(FDataSet)) return query->Live();
  return true;
}

bool TDataSetModel::FieldEditable(int column) const {
  if (column < 0 || column >= columnCount() || !CanEdit()) return false;
  kura::TField *f = FDataSet->FindField(FColumns[static_cast<size_t>(column)].Field.toStdString());
  return f && !f->ReadOnly;
}

Qt::ItemFlags TDataSetModel::flags(const QModelIndex &index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags result = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
  if (index.row() < FRowCount && FieldEditable(index.column())) result |= Qt::ItemIsEditable;
  return result;
}

bool TDataSetModel::setData(const QModelIndex &index, const QVariant &value, int role) {
  if (role != Qt::EditRole || !index.isValid() || index.row() >= FRowCount || !FieldEditable(index.column()))
    return false;
  const int row = index.row();
  try {
    if (CurrentRow() != row) {
      FDataSet->SetRecNo(row + 1);
      if (CurrentRow() != row) return false;  // the row is gone
    }
    FDataSet->Edit();
    kura::TField &f = FDataSet->FieldByName(FColumns[static_cast<size_t>(index.column())].Field.toStdString());
    // Trailing blanks go as the store drops them; an empty text is NULL.
    f.SetAsString(value.toString().toStdString());
    FDataSet->Post();
    return true;
  } catch (const std::exception &e) {
    const QString text = QString::fromUtf8(e.what());
    try {
      FDataSet->Cancel();
    } catch (...) {
      // The dataset is left as the failure left it; the box below says what happened.
    }
    ReportError(text);
  }
  // The cell shows the stored value again.
  if (row < FRowCount) emit dataChanged(this->index(row, 0), this->index(row, columnCount() - 1));
  return false;
}

int TDataSetModel::CurrentRow() const {
  if (!FDataSet || !FDataSet->Active() || FDataSet->IsEmpty()) return -1;
  try {
    return static_cast<int>(FDataSet->RecNo()) - 1;
  } catch (const std::exception &) {
    return -1;
  }
}

void TDataSetModel::Refresh() {
  if (!FDataSet || !FDataSet->Active()) return;
  // The dataset tells the model (DataSetChanged), which re-counts the rows and repaints.
  FDataSet->Refresh();
}

void TDataSetModel::AttachView(QAbstractItemView *view) {
  if (!view) return;
  FView = view;
  view->setModel(this);
  view->setSelectionBehavior(QAbstractItemView::SelectRows);
  view->setSelectionMode(QAbstractItemView::SingleSelection);
  // Typing into a cell or F2 opens its editor (the flags decide which cells can be edited at
  // all). A click never does: clicking a row again is how a view's row is chosen afresh.
  view->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
  connect(this, &TDataSetModel::CurrentRowChanged, view, [this](int row) {
    if (!FView || row < 0 || row >= FRowCount) return;
    QItemSelectionModel *selection = FView->selectionModel();
    if (!selection) return;
    const QModelIndex current = selection->currentIndex();
    if (current.isValid() && current.row() == row && selection->isRowSelected(row, QModelIndex())) return;
    const QModelIndex target = index(row, current.isValid() ? current.column() : 0);
    selection->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  });
  connect(view->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex &current, const QModelIndex &) {
            if (current.isValid()) ViewRowSelected(current.row());
          });
  emit CurrentRowChanged(CurrentRow());
}

void TDataSetModel::ViewRowSelected(int row) {
  if (FMovingDataSet || !FDataSet || !FDataSet->Active() || row == CurrentRow()) return;
  FMovingDataSet = true;
  try {
    // A pending edit is posted first, as leaving a row of a data grid does.
    FDataSet->SetRecNo(row + 1);
  } catch (const std::exception &e) {
    FMovingDataSet = false;
    ReportError(QString::fromUtf8(e.what()));
    emit CurrentRowChanged(CurrentRow());
    return;
  }
  FMovingDataSet = false;
  // A row that vanished meanwhile: the view goes back to where the dataset stands.
  if (CurrentRow() != row) emit CurrentRowChanged(CurrentRow());
}

void TDataSetModel::ReportError(const QString &text) {
  QWidget *parent = FView ? FView->window() : nullptr;
  Reporter().ShowError(parent, text);
}

void TDataSetModel::DataSetScrolled(kura::TKuraDataSet &) {
  if (FMovingDataSet) return;
  emit CurrentRowChanged(CurrentRow());
}

void TDataSetModel::RecordChanged(kura::TKuraDataSet &) {
  const int row = CurrentRow();
  if (row >= 0 && row < FRowCount) emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

void TDataSetModel::StateChanged(kura::TKuraDataSet &) {
  // Whether cells can be edited may have changed (opened read-only, closed).
  if (FRowCount > 0) emit dataChanged(index(0, 0), index(FRowCount - 1, columnCount() - 1));
}

void TDataSetModel::DataSetDestroying(kura::TKuraDataSet &) {
  beginResetModel();
  FDataSet = nullptr;
  FRowCount = 0;
  endResetModel();
}

void TDataSetModel::Reload(bool force) {
  int count = 0;
  if (FDataSet && FDataSet->Active()) {
    try {
      count = static_cast<int>(FDataSet->RecordCount());
    } catch (const std::exception &) {
      count = 0;
    }
  }
  if (!force && count == FRowCount) {
    if (count > 0) emit dataChanged(index(0, 0), index(count - 1, columnCount() - 1));
  } else {
    beginResetModel();
    FRowCount = count;
    endResetModel();
  }
  emit CurrentRowChanged(CurrentRow());
}

}  // namespace miretoka
