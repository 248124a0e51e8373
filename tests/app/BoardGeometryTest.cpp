// The board controls at their design places, and the point of a clicked label.
#include <QCoreApplication>
#include <QScrollArea>
#include <QScrollBar>

#include "BoardTestSupport.h"
#include "app/board/PlayState.h"

namespace miretoka::test {
namespace {

using namespace play;

TEST_F(BoardTest, BackgroundLinesAndStarPointsAtTheirPixels) {
  EXPECT_EQ(Form->Shape(1)->geometry(), QRect(0, 0, 536, 536));
  EXPECT_EQ(Form->Shape(1)->Color(), QColor(254, 231, 182));
  for (int r = 0; r < 19; ++r) {
    const int thick = (r == 0 || r == 18) ? 2 : 1;
    EXPECT_EQ(Form->Shape(2 + r)->geometry(), QRect(16, 16 + 28 * r, 504, thick)) << r;
    EXPECT_EQ(Form->Shape(21 + r)->geometry(), QRect(16 + 28 * r, 16, thick, 504)) << r;
  }
  std::vector<QPoint> stars;
  for (int k = 40; k <= 48; ++k) {
    EXPECT_EQ(Form->Shape(k)->Kind(), TShape::TKind::Circle);
    EXPECT_EQ(Form->Shape(k)->size(), QSize(5, 5));
    stars.push_back(Form->Shape(k)->pos());
  }
  for (int x : {98, 266, 434})
    for (int y : {98, 266, 434}) EXPECT_NE(std::find(stars.begin(), stars.end(), QPoint(x, y)), stars.end());
}

TEST_F(BoardTest, ImagesAndLabelsOfEveryPointAtTheirPixels) {
  for (int c = 0; c < 19; ++c)
    for (int r = 0; r < 19; ++r) {
      const int k = P(c, r);
      ASSERT_EQ(Form->Image(k)->geometry(), QRect(2 + 28 * c, 2 + 28 * r, 28, 28)) << k;
      ASSERT_EQ(Form->Label(k)->geometry(), QRect(4 + 28 * c, 9 + 28 * r, 26, 16)) << k;
      ASSERT_EQ(Form->Label(k)->objectName(), QStringLiteral("Label%1").arg(k));
      ASSERT_EQ(Form->Image(k)->objectName(), QStringLiteral("Image%1").arg(k));
    }
  EXPECT_EQ(Form->Label(1)->pos(), QPoint(4, 9));
  EXPECT_EQ(Form->Label(20)->pos(), QPoint(32, 9));
  EXPECT_EQ(Form->Label(361)->pos(), QPoint(508, 513));
}

TEST_F(BoardTest, StackingRunsBackgroundLinesStarsImagesLabels) {
  const QObjectList &order = Form->Client()->children();
  auto index = [&](QObject *o) { return order.indexOf(o); };
  EXPECT_LT(index(Form->Shape(1)), index(Form->Shape(2)));
  EXPECT_LT(index(Form->Shape(39)), index(Form->Shape(40)));
  EXPECT_LT(index(Form->Shape(48)), index(Form->Image(1)));
  EXPECT_LT(index(Form->Image(361)), index(Form->Label(1)));
  // A click on the place of a label reaches the label, not the picture below.
  EXPECT_EQ(Form->Client()->childAt(Form->Label(200)->geometry().center()), Form->Label(200));
}

TEST_F(BoardTest, EveryLabelAtItsPlaceGivesItsOwnPoint) {
  for (int k = 1; k <= 361; ++k) ASSERT_EQ(Form->PointFromLabel(Form->Label(k)), k);
}

TEST_F(BoardTest, ClickOnLabelsOneTwentyAndLastPlacesThere) {
  for (int k : {1, 20, 361}) {
    Click(k);
    EXPECT_EQ(Cell(k), 1) << k;
    EXPECT_TRUE(HasStone(k)) << k;
  }
  int stones = 0;
  for (int k = 1; k <= 361; ++k) stones += Cell(k) != 0;
  EXPECT_EQ(stones, 3);
}

TEST_F(BoardTest, ScrolledWindowAddsTheScrollPositions) {
  Form->resize(300, 300);  // as small as the window gets: scroll bars appear
  QCoreApplication::processEvents();
  QScrollBar *h = Form->ScrollArea()->horizontalScrollBar();
  QScrollBar *v = Form->ScrollArea()->verticalScrollBar();
  ASSERT_GT(h->maximum(), 20);
  ASSERT_GT(v->maximum(), 20);
  h->setValue(h->maximum());
  v->setValue(v->maximum());
  QCoreApplication::processEvents();
  const int hs = h->value(), vs = v->value();
  const int k = P(17, 16);
  // The label is shown moved by the scroll positions...
  EXPECT_EQ(Form->Label(k)->mapTo(Form->ScrollArea()->viewport(), QPoint(0, 0)),
            QPoint(4 + 28 * 17 - hs, 9 + 28 * 16 - vs));
  // ...and still gives its own point.
  for (int j = 1; j <= 361; ++j) ASSERT_EQ(Form->PointFromLabel(Form->Label(j)), j);
  Click(k);
  EXPECT_EQ(Cell(k), 1);
  Click(361);
  EXPECT_EQ(Cell(361), 1);
}

}  // namespace
}  // namespace miretoka::test
