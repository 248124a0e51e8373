#include "LessonTestSupport.h"

#include <QTest>

#include "app/data/DataModule.h"

namespace miretoka::test {

kyozai::TFigureRow FigureRow(int mnb, int tes, int col, int pst, int bfr, int bto, int dtx, const char *cmt) {
  kyozai::TFigureRow r;
  r.MNB = mnb;
  r.TES = tes;
  r.COL = col;
  r.PST = pst;
  r.BFR = bfr;
  r.BTO = bto;
  r.DTX = dtx;
  r.CMT = cmt;
  return r;
}

kyozai::TLessonSource LessonTest::Lessons() const { return kyozai::ReadLessonSource(LESSON_SOURCE_DIR); }

int LessonTest::RowOf(int mnb) const {
  const kyozai::TLessonSource source = Lessons();
  int row = 0;
  for (const auto &c : source.Contents) {
    if (c.MNB <= 0) continue;
    if (c.MNB == mnb) return row;
    ++row;
  }
  return -1;
}

void LessonTest::ClickRow(int row) {
  const QModelIndex index = Grid()->model()->index(row, 0);
  ASSERT_TRUE(index.isValid()) << "row " << row;
  Grid()->scrollTo(index);
  QTest::mouseClick(Grid()->viewport(), Qt::LeftButton, Qt::NoModifier, Grid()->visualRect(index).center());
}

void LessonTest::DoubleClickRow(int row) {
  const QModelIndex index = Grid()->model()->index(row, 0);
  ASSERT_TRUE(index.isValid()) << "row " << row;
  Grid()->scrollTo(index);
  const QPoint at = Grid()->visualRect(index).center();
  // What a double click delivers: press, release, double-click, release.
  QTest::mouseClick(Grid()->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  QTest::mouseDClick(Grid()->viewport(), Qt::LeftButton, Qt::NoModifier, at);
}

void LessonTest::Open(int mnb) {
  const int row = RowOf(mnb);
  ASSERT_GE(row, 0) << mnb;
  ClickRow(row);
}

int LessonTest::GridRow() { return static_cast<int>(DataModule.KuraQuery1.RecNo()) - 1; }

}  // namespace miretoka::test
