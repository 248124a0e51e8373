// The board as a beginner reads and touches it: every pixel of a point's cell takes
// the click, marks stand out, background letters leave the lines between them, and a
// cleared board numbers its first stone.
#include <QImage>
#include <QTest>

#include "BoardTestSupport.h"
#include "app/board/BoardControls.h"
#include "app/board/PlayState.h"

namespace miretoka::test {
namespace {

using namespace play;

class BoardReadabilityTest : public BoardTest {
protected:
  // A mouse click at a place of the board given in client pixels, delivered to whatever
  // control lies there, as the window system does.
  void ClickAt(QPoint at, Qt::MouseButton button = Qt::LeftButton) {
    QWidget *target = Form->Client()->childAt(at);
    ASSERT_NE(target, nullptr) << at.x() << "," << at.y();
    QTest::mouseClick(target, button, Qt::NoModifier, target->mapFrom(Form->Client(), at));
  }
  static QPoint Crossing(int c, int r) { return {16 + 28 * c, 16 + 28 * r}; }
};

TEST_F(BoardReadabilityTest, EveryPixelOfACellTakesTheClick) {
  // Offsets from the crossing to the corners and edges of its 28 x 28 cell.
  const int offsets[] = {-13, -8, 0, 8, 12};
  int i = 0;
  for (int dx : offsets)
    for (int dy : offsets) {
      const int c = 1 + (i % 5) * 4, r = 1 + (i / 5) * 4;  // a fresh point for each offset
      ClickAt(Crossing(c, r) + QPoint(dx, dy));
      EXPECT_EQ(Cell(P(c, r)), 1) << "offset " << dx << "," << dy;
      ++i;
    }
  EXPECT_EQ(MoveCount, 25);
}

TEST_F(BoardReadabilityTest, ADeadStoneMarkIsALargeRedCross) {
  Click(P(5, 5));
  ClickRadio(3);
  Click(P(5, 5));
  ASSERT_EQ(Text(P(5, 5)), QStringLiteral("*"));
  const QImage shown = Form->Client()->grab(Form->Image(P(5, 5))->geometry()).toImage();
  int red = 0;
  for (int y = 0; y < shown.height(); ++y)
    for (int x = 0; x < shown.width(); ++x) {
      const QColor p = shown.pixelColor(x, y);
      if (p.red() > 180 && p.green() < 80 && p.blue() < 80) ++red;
    }
  EXPECT_GT(red, 30) << "the mark must be seen at a glance on a black stone";
}

TEST_F(BoardReadabilityTest, BackgroundLettersLeaveTheEdgeLineBetweenThem) {
  // Letters on three neighbouring points of the top edge.
  for (int c : {3, 4, 5}) Form->DrawStone(0, 3, P(c, 0), 21, QStringLiteral("A"));
  const QImage shown = Form->Client()->grab().toImage();
  for (int c : {3, 4, 5}) {
    // The line is drawn left and right of each letter, up to a few pixels from it.
    for (int dx : {-12, 11}) {
      const QPoint at = Crossing(c, 0) + QPoint(dx, 0);
      EXPECT_EQ(shown.pixelColor(at), QColor(Qt::black)) << c << " " << dx;
    }
    // The letter itself still stands on the patch of board colour.
    EXPECT_FALSE(Form->Label(P(c, 0))->PatchRect().isEmpty());
  }
}

TEST_F(BoardReadabilityTest, NumbersOnBlackStonesAreLight) {
  ClickRadio(1);
  CurrentColor = 1;
  Click(P(3, 3));
  EXPECT_EQ(Form->Label(P(3, 3))->FontColor(), QColor(Qt::white));
  Form->DrawStone(2, -1, P(4, 4), 2, QString());  // a wrong move of a lesson, black
  const QColor wrong = Form->Label(P(4, 4))->FontColor();
  EXPECT_GT(wrong.red(), 200);
  EXPECT_GT(wrong.green(), 120) << "pure red is hard to read on black";
}

TEST_F(BoardReadabilityTest, TheFirstStoneAfterClearingKeepsItsNumber) {
  ClickRadio(1);
  CurrentColor = 1;
  Play({P(3, 3), P(15, 15)});
  Press(6);
  Click(P(15, 15));
  EXPECT_EQ(Text(P(15, 15)), QStringLiteral("1"));
  EXPECT_EQ(Cell(P(15, 15)), 1);
}

// On a screen scaled to 150 % or 200 % the stones come from the pictures with more pixels.
TEST_F(BoardReadabilityTest, ScaledScreensGetTheSharperStonePictures) {
  QImage sharp(56, 56, QImage::Format_ARGB32);
  sharp.fill(Qt::transparent);
  ASSERT_TRUE(sharp.save(Dir.path() + QStringLiteral("/stB@2x.bmp"), "BMP"));
  const QString file = Dir.path() + QStringLiteral("/stB.bmp");
  const struct {
    qreal Ratio;
    int Pixels;
  } cases[] = {{1.0, 28}, {1.5, 56}, {2.0, 56}, {3.0, 56}};  // no @3x picture here: @2x serves
  for (const auto &c : cases) {
    const QPixmap picture = LoadStonePicture(file, c.Ratio);
    EXPECT_EQ(picture.width(), c.Pixels) << c.Ratio;
    EXPECT_EQ(picture.deviceIndependentSize(), QSizeF(28, 28)) << c.Ratio;
  }
}

}  // namespace
}  // namespace miretoka::test
