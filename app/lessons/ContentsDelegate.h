#pragma once
// How the contents grid shows its rows: as an indented tree - chapters (MNB a multiple of
// 1000) in bold at the left, sections (of 100) one step in, lessons two steps in - with the
// lesson opened last marked "▶" and the lessons finished marked "✓".
#include <QSet>
#include <QStyledItemDelegate>

namespace miretoka {

class TDataSetModel;

class TContentsDelegate : public QStyledItemDelegate {
  Q_OBJECT
public:
  TContentsDelegate(TDataSetModel *model, QObject *parent);
  // Depth of a contents row in the tree: 0 chapter, 1 section, 2 lesson.
  static int Level(int mnb);
  // The text shown for a row: indentation, mark and title.
  QString ShownText(int row) const;
  bool IsChapter(int row) const;
  void SetLastOpened(int mnb) { FLastOpened = mnb; }
  void SetFinished(const QSet<int> &finished) { FFinished = finished; }

protected:
  void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;

private:
  int Mnb(int row) const;
  TDataSetModel *FModel;
  int FLastOpened = 0;
  QSet<int> FFinished;
};

}  // namespace miretoka
