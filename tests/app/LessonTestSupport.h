#pragma once
// A main window over a kyozai built from the lesson material of data/lessons (or from a
// test's own rows), with helpers that click the contents grid as a person does.
#include <QTableView>

#include "BoardTestSupport.h"
#include "LessonSource.h"

namespace miretoka::test {

// A figure row for lesson sources written in a test.
kyozai::TFigureRow FigureRow(int mnb, int tes, int col, int pst, int bfr, int bto, int dtx = 0,
                             const char *cmt = "");

class LessonTest : public BoardTest {
protected:
  kyozai::TLessonSource Lessons() const override;

  QTableView *Grid() const { return Form->DBGrid1(); }
  // The contents row (0-based) whose MNB is `mnb`; -1 when there is none.
  int RowOf(int mnb) const;
  // A mouse click (press and release) on the title of contents row `row`.
  void ClickRow(int row);
  void DoubleClickRow(int row);
  // Clicks the row of lesson `mnb`.
  void Open(int mnb);
  // The row of the contents grid the cursor stands on (0-based).
  int GridRow();
};

}  // namespace miretoka::test
