#pragma once
// TDataModule1: the queries over the lesson tables in the database "kyozai".
// The queries are created closed; the lesson panel opens them. Until the table
// store is in place the data module holds no query and every lesson step that
// would read one finds no rows.
#include <QObject>
#include <QString>

namespace miretoka {

class TDataModule1 : public QObject {
  Q_OBJECT
public:
  explicit TDataModule1(QObject *parent = nullptr);

  // Opens the contents query with the given condition ("Where MNB > 0").
  // Returns false while there is no table store to open it on.
  bool OpenContents(const QString &condition);
  // MNB of the contents query's first row; 0 when the query is empty or closed.
  int FirstContentsMnb() const;
  // Opens the figure query on the figure with this MNB.
  bool OpenFigure(int mnb);
  bool ContentsOpen() const { return false; }
  bool FigureOpen() const { return false; }
};

}  // namespace miretoka
