#pragma once
// TDataModule1: the queries over the lesson tables in the database "kyozai".
//   KuraQuery1 (DataSource1): the contents, shown by the contents grid DBGrid1.
//   KuraQuery2 (DataSource2): the figure of the open lesson; its cursor is the current row of
//                             every lesson operation.
//   KuraQuery4 (DataSource4): scratch query for NextBranchNumber.
// The queries are created closed; the lesson panel opens them. Failures of the table store
// propagate as exceptions (EKuraEngineError and the dataset errors).
#include <QObject>
#include <QString>
#include <memory>

#include "query/dataset/KuraDataSource.h"
#include "query/dataset/KuraQuery.h"

namespace miretoka {

class TDataModule1 : public QObject {
  Q_OBJECT
public:
  explicit TDataModule1(QObject *parent = nullptr);
  ~TDataModule1() override;

  kura::TKuraQuery KuraQuery1, KuraQuery2, KuraQuery4;
  kura::TKuraDataSource DataSource1{&KuraQuery1}, DataSource2{&KuraQuery2}, DataSource4{&KuraQuery4};

  // The figure OpenFigure() opens; the main window keeps it equal to its CurrentFigure.
  int CurrentFigure = 0;

  // Opens the contents query with the given condition ("Where MNB > 0"), ordered by MNB.
  void OpenContents(const QString &condition);
  // MNB of the contents query's first row; 0 when the query is empty or closed.
  int FirstContentsMnb();
  // Opens the figure query on CurrentFigure.
  void OpenFigure();
  // Sets CurrentFigure and opens the figure query on it.
  void OpenFigure(int mnb);
  // The smallest positive number that is not the BFR of a row of figure `mnb`.
  int NextBranchNumber(int mnb);
  // Closes the contents and figure queries (the destroy handler).
  void DataModuleDestroy();

  bool ContentsOpen() const { return KuraQuery1.Active(); }
  bool FigureOpen() const { return KuraQuery2.Active(); }

  // The lesson steps of start-up: contents with "Where MNB > 0", CurrentFigure from the first
  // contents row, the figure. A failure of the table store leaves the lesson panel empty and
  // is kept in StartupError() (empty when all went well) for the program to show.
  void OpenLessons();
  const QString &StartupError() const { return FStartupError; }

private:
  QString FStartupError;
};

// The data module a window was given; a window without one (none was made) cannot reach the
// lesson tables, which is reported as a failure of the command rather than a crash.
TDataModule1 &LessonData(TDataModule1 *dataModule);

}  // namespace miretoka
