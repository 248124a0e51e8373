#include "app/lessons/ContentsDelegate.h"

#include "app/data/DataSetModel.h"

namespace miretoka {

TContentsDelegate::TContentsDelegate(TDataSetModel *model, QObject *parent)
    : QStyledItemDelegate(parent), FModel(model) {}

int TContentsDelegate::Level(int mnb) {
  if (mnb % 1000 == 0) return 0;
  if (mnb % 100 == 0) return 1;
  return 2;
}

int TContentsDelegate::Mnb(int row) const { return FModel->FieldText(row, QStringLiteral("MNB")).toInt(); }

bool TContentsDelegate::IsChapter(int row) const { return Level(Mnb(row)) == 0; }

QString TContentsDelegate::ShownText(int row) const {
  const int mnb = Mnb(row);
  // Full-width spaces indent as wide as one character of the titles.
  QString text = QString(Level(mnb), QChar(0x3000));
  if (mnb == FLastOpened)
    text += QStringLiteral("▶");
  else if (FFinished.contains(mnb))
    text += QStringLiteral("✓");
  return text + FModel->FieldText(row, QStringLiteral("ITEM"));
}

void TContentsDelegate::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const {
  QStyledItemDelegate::initStyleOption(option, index);
  option->text = ShownText(index.row());
  if (IsChapter(index.row())) option->font.setBold(true);
}

}  // namespace miretoka
