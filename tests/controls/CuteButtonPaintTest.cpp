// What Paint puts on screen: the bevels of each look pixel by pixel, the face
// colour, the text rectangle with its insets and margins, the shift of a
// pressed caption, the engraved caption of a disabled button, the focus frame.
#include "CuteButtonTestSupport.h"

#include <QImage>
#include <QPixmap>
#include <gtest/gtest.h>

namespace {

const QColor kFace(60, 180, 60);
const QColor kLight(250, 50, 50);
const QColor kDark(40, 40, 200);

void UseTestColours(TCuteButton &b) {
  b.SetColor(kFace);
  b.SetBevelHighlightColor(kLight);
  b.SetBevelShadowColor(kDark);
}

QImage Shot(TCuteButton &b) { return b.grab().toImage().convertToFormat(QImage::Format_RGB32); }

// Pixel colours compare as RGB names so that failures read well.
QString At(const QImage &image, int x, int y) { return QColor(image.pixel(x, y)).name(); }
QString Name(const QColor &c) { return c.name(); }

struct Box {
  int minX = INT_MAX, minY = INT_MAX, maxX = -1, maxY = -1, count = 0;
};

// Where pixels of exactly this colour lie inside `area`.
Box Find(const QImage &image, const QColor &colour, const QRect &area) {
  Box box;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      if (QColor(image.pixel(x, y)).rgb() == colour.rgb()) {
        box.minX = std::min(box.minX, x);
        box.minY = std::min(box.minY, y);
        box.maxX = std::max(box.maxX, x);
        box.maxY = std::max(box.maxY, y);
        ++box.count;
      }
  return box;
}

// A caption in hard-edged glyphs, so that text pixels have exact colours.
void UseCaption(TCuteButton &b, const QString &caption) {
  QFont font = b.font();
  font.setPixelSize(16);
  font.setBold(true);
  font.setStyleStrategy(QFont::NoAntialias);
  b.setFont(font);
  b.SetCaption(caption);
}

QColor TextColour(const TCuteButton &b) { return b.palette().color(QPalette::Active, QPalette::ButtonText); }

TEST(CuteButtonPaint, RestLookIsTheRaisedInnerBevelAtTheEdge) {
  TCuteButton b;
  UseTestColours(b);
  const QImage img = Shot(b);
  ASSERT_EQ(img.size(), QSize(75, 25));
  // Light along the top and left, the far corners excepted.
  EXPECT_EQ(At(img, 0, 0), Name(kLight));
  EXPECT_EQ(At(img, 73, 0), Name(kLight));
  EXPECT_EQ(At(img, 0, 23), Name(kLight));
  // Dark along the right and bottom, corners included.
  EXPECT_EQ(At(img, 74, 0), Name(kDark));
  EXPECT_EQ(At(img, 74, 12), Name(kDark));
  EXPECT_EQ(At(img, 0, 24), Name(kDark));
  EXPECT_EQ(At(img, 37, 24), Name(kDark));
  EXPECT_EQ(At(img, 74, 24), Name(kDark));
  // One pixel wide: the face begins right inside.
  EXPECT_EQ(At(img, 1, 1), Name(kFace));
  EXPECT_EQ(At(img, 73, 23), Name(kFace));
}

TEST(CuteButtonPaint, HotLookIsTwoRaisedBevels) {
  TCuteButton b;
  UseTestColours(b);
  b.SetBevelOuter(TBevelCut::Raised);
  const QImage img = Shot(b);
  EXPECT_EQ(At(img, 0, 0), Name(kLight));
  EXPECT_EQ(At(img, 1, 1), Name(kLight));
  EXPECT_EQ(At(img, 72, 1), Name(kLight));
  EXPECT_EQ(At(img, 73, 1), Name(kDark));
  EXPECT_EQ(At(img, 1, 23), Name(kDark));
  EXPECT_EQ(At(img, 73, 23), Name(kDark));
  EXPECT_EQ(At(img, 74, 24), Name(kDark));
  EXPECT_EQ(At(img, 2, 2), Name(kFace));
  EXPECT_EQ(At(img, 72, 22), Name(kFace));
}

TEST(CuteButtonPaint, PressedLookIsALoweredOuterBevelAroundTheRaisedInner) {
  TCuteButton b;
  UseTestColours(b);
  b.SetBevelOuter(TBevelCut::Lowered);
  const QImage img = Shot(b);
  EXPECT_EQ(At(img, 0, 0), Name(kDark));
  EXPECT_EQ(At(img, 73, 0), Name(kDark));
  EXPECT_EQ(At(img, 0, 23), Name(kDark));
  EXPECT_EQ(At(img, 74, 0), Name(kLight));
  EXPECT_EQ(At(img, 74, 24), Name(kLight));
  EXPECT_EQ(At(img, 0, 24), Name(kLight));
  EXPECT_EQ(At(img, 1, 1), Name(kLight));
  EXPECT_EQ(At(img, 73, 23), Name(kDark));
  EXPECT_EQ(At(img, 2, 2), Name(kFace));
}

TEST(CuteButtonPaint, FlatButtonHasNoEdgeAtRestAndOneWhenHot) {
  TCuteButton b;
  UseTestColours(b);
  b.SetFlat(true);
  QImage img = Shot(b);
  EXPECT_EQ(At(img, 0, 0), Name(kFace));
  EXPECT_EQ(At(img, 74, 24), Name(kFace));
  b.SetBevelOuter(TBevelCut::Raised);
  img = Shot(b);
  EXPECT_EQ(At(img, 0, 0), Name(kLight));
  EXPECT_EQ(At(img, 74, 24), Name(kDark));
  EXPECT_EQ(At(img, 1, 1), Name(kFace));
}

TEST(CuteButtonPaint, BevelWidthWidensEachBevel) {
  TCuteButton b;
  UseTestColours(b);
  b.SetBevelWidth(2);
  QImage img = Shot(b);
  EXPECT_EQ(At(img, 0, 0), Name(kLight));
  EXPECT_EQ(At(img, 1, 1), Name(kLight));
  EXPECT_EQ(At(img, 73, 23), Name(kDark));
  EXPECT_EQ(At(img, 2, 2), Name(kFace));
  b.SetBevelOuter(TBevelCut::Lowered);
  img = Shot(b);
  EXPECT_EQ(At(img, 1, 1), Name(kDark));
  EXPECT_EQ(At(img, 3, 3), Name(kLight));
  EXPECT_EQ(At(img, 4, 4), Name(kFace));
}

TEST(CuteButtonPaint, HoveringRepaintsWithTheHotLook) {
  CuteButtonHost host;
  TCuteButton *b = host.Button();
  UseTestColours(*b);
  EXPECT_EQ(At(Shot(*b), 1, 1), Name(kFace));
  QTest::mouseMove(host.Window(), host.Inside());
  EXPECT_EQ(At(Shot(*b), 1, 1), Name(kLight));
  QTest::mousePress(host.Window(), Qt::LeftButton, Qt::NoModifier, host.Inside());
  EXPECT_EQ(At(Shot(*b), 0, 0), Name(kDark));
  QTest::mouseRelease(host.Window(), Qt::LeftButton, Qt::NoModifier, host.Inside());
  EXPECT_EQ(At(Shot(*b), 0, 0), Name(kLight));
}

TEST(CuteButtonPaint, DisabledColourPaintsTheFaceOnlyWhenAskedAndDisabled) {
  TCuteButton b;
  UseTestColours(b);
  const QColor grey(128, 128, 128);
  b.SetUseDisabledColor(true);
  EXPECT_EQ(At(Shot(b), 3, 3), Name(kFace));
  b.setEnabled(false);
  EXPECT_EQ(At(Shot(b), 3, 3), Name(grey));
  b.SetDisabledColor(QColor(10, 20, 30));
  EXPECT_EQ(At(Shot(b), 3, 3), QColor(10, 20, 30).name());
  b.SetUseDisabledColor(false);
  EXPECT_EQ(At(Shot(b), 3, 3), Name(kFace));
}

TEST(CuteButtonPaint, DisabledCaptionIsEngraved) {
  TCuteButton b;
  UseTestColours(b);
  UseCaption(b, "HEH");
  const QColor light = TCuteButton::SystemButtonHighlight();
  const QColor dark = TCuteButton::SystemButtonShadow();
  ASSERT_NE(light.rgb(), dark.rgb());
  const QRect area = b.TextRect();

  // Enabled: the caption is in the text colour, nothing engraved.
  QImage img = Shot(b);
  EXPECT_GT(Find(img, TextColour(b), area).count, 20);
  EXPECT_EQ(Find(img, light, area).count, 0);

  b.setEnabled(false);
  img = Shot(b);
  EXPECT_EQ(Find(img, TextColour(b), area).count, 0);
  const Box shadow = Find(img, dark, area);
  const Box highlight = Find(img, light, area.adjusted(0, 0, 1, 1));
  ASSERT_GT(shadow.count, 20);
  ASSERT_GT(highlight.count, 5);
  // The light copy lies one pixel right of and below the dark one.
  EXPECT_EQ(highlight.maxX, shadow.maxX + 1);
  EXPECT_EQ(highlight.maxY, shadow.maxY + 1);
}

TEST(CuteButtonPaint, TextRectangleInsetsAndMargins) {
  TCuteButton b;
  EXPECT_EQ(b.TextRect(), QRect(QPoint(2, 2), QPoint(72, 22)));
  b.SetFlat(true);
  EXPECT_EQ(b.TextRect(), QRect(QPoint(1, 1), QPoint(73, 23)));
  b.SetFlat(false);
  b.SetBevelWidth(3);
  EXPECT_EQ(b.TextRect(), QRect(QPoint(6, 6), QPoint(68, 18)));
  b.SetBevelWidth(1);

  // Margins apply only on the side the caption is aligned to.
  b.SetMarginX(5);
  b.SetMarginY(3);
  EXPECT_EQ(b.TextRect(), QRect(QPoint(2, 2), QPoint(72, 22)));
  b.SetAlignment(TCaptionAlignment::Left);
  b.SetLayout(TTextLayout::Top);
  EXPECT_EQ(b.TextRect(), QRect(QPoint(7, 5), QPoint(72, 22)));
  b.SetAlignment(TCaptionAlignment::Right);
  b.SetLayout(TTextLayout::Bottom);
  EXPECT_EQ(b.TextRect(), QRect(QPoint(2, 2), QPoint(67, 19)));
  b.SetMarginX(-1);
  b.SetMarginY(-9);
  EXPECT_EQ(b.TextRect(), QRect(QPoint(2, 2), QPoint(72, 22)));

  // Pressed: the left and top edges move in by two pixels.
  b.SetBevelOuter(TBevelCut::Lowered);
  EXPECT_EQ(b.TextRect(), QRect(QPoint(4, 4), QPoint(72, 22)));
}

TEST(CuteButtonPaint, PressedCaptionMovesTwoPixelsRightAndDown) {
  TCuteButton b;
  UseTestColours(b);
  UseCaption(b, "HEH");
  b.SetAlignment(TCaptionAlignment::Left);
  b.SetLayout(TTextLayout::Top);
  const Box rest = Find(Shot(b), TextColour(b), b.rect());
  b.SetBevelOuter(TBevelCut::Lowered);
  const Box pressed = Find(Shot(b), TextColour(b), b.rect());
  ASSERT_GT(rest.count, 20);
  EXPECT_EQ(pressed.count, rest.count);
  EXPECT_EQ(pressed.minX, rest.minX + 2);
  EXPECT_EQ(pressed.minY, rest.minY + 2);
}

TEST(CuteButtonPaint, MarginMovesTheAlignedCaption) {
  TCuteButton b;
  UseTestColours(b);
  UseCaption(b, "HEH");
  b.SetAlignment(TCaptionAlignment::Left);
  b.SetMarginX(0);
  const Box at0 = Find(Shot(b), TextColour(b), b.rect());
  b.SetMarginX(10);
  const Box at10 = Find(Shot(b), TextColour(b), b.rect());
  EXPECT_EQ(at10.minX, at0.minX + 10);
  b.SetAlignment(TCaptionAlignment::Right);
  const Box right10 = Find(Shot(b), TextColour(b), b.rect());
  b.SetMarginX(-1);
  const Box right = Find(Shot(b), TextColour(b), b.rect());
  EXPECT_EQ(right10.maxX, right.maxX - 10);
}

TEST(CuteButtonPaint, FocusRectangleIsDrawnTwoPixelsInsideTheTextRectangle) {
  CuteButtonHost host;
  TCuteButton *b = host.Button();
  UseTestColours(*b);
  b->SetCaption("");
  const QColor dot = TextColour(*b);
  // Text rectangle (2,2)-(72,22); the frame runs at (4,4)-(70,20).
  b->setFocus();
  ASSERT_TRUE(b->hasFocus());
  EXPECT_EQ(At(Shot(*b), 4, 4), Name(kFace));
  b->SetShowFocusRect(true);
  QImage img = Shot(*b);
  EXPECT_EQ(At(img, 4, 4), Name(dot));
  EXPECT_EQ(At(img, 5, 4), Name(kFace));  // dotted
  EXPECT_EQ(At(img, 6, 4), Name(dot));
  EXPECT_EQ(At(img, 70, 20), Name(dot));
  EXPECT_EQ(At(img, 4, 12), Name(dot));
  EXPECT_EQ(At(img, 5, 5), Name(kFace));
  EXPECT_EQ(At(img, 3, 3), Name(kFace));
  host.Other()->setFocus();
  EXPECT_EQ(At(Shot(*b), 4, 4), Name(kFace));
}

}  // namespace
