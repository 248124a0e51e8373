// Where the help window first appears next to the program's window.
#include <gtest/gtest.h>

#include "app/help/HelpPlacement.h"

namespace miretoka {
namespace {

const QSize kWanted(600, 560);

TEST(HelpPlacement, BesideTheOwnerWhenThereIsRoom) {
  // A wide screen: to the right of the centred main window, top aligned with it.
  const QRect owner(897, 415, 766, 610);
  const QRect r = HelpWindowPlacement(owner, kWanted, QRect(0, 0, 2560, 1440));
  EXPECT_EQ(r.size(), kWanted);
  EXPECT_GT(r.left(), owner.right());
  EXPECT_EQ(r.top(), owner.top());
  EXPECT_LE(r.right(), 2559);
  EXPECT_FALSE(r.intersects(owner));
  // The owner pushed to the right edge: the help goes to its left.
  const QRect moved(1100, 100, 766, 610);
  const QRect l = HelpWindowPlacement(moved, kWanted, QRect(0, 0, 1920, 1080));
  EXPECT_EQ(l.size(), kWanted);
  EXPECT_LT(l.right(), moved.left());
  EXPECT_GE(l.left(), 0);
}

TEST(HelpPlacement, NarrowedIntoASideStripRatherThanOverTheBoard) {
  // 1920 x 1080 and 1280 x 1024: the free columns on either side of the centred window are
  // fewer than the wanted width.
  const QRect hd(577, 235, 766, 610);
  const QRect h = HelpWindowPlacement(hd, kWanted, QRect(0, 0, 1920, 1080));
  EXPECT_FALSE(h.intersects(hd));
  EXPECT_GE(h.width(), 500);
  EXPECT_LE(h.right(), 1919);
  const QRect owner(257, 207, 766, 610);
  const QRect r = HelpWindowPlacement(owner, kWanted, QRect(0, 0, 1280, 1024));
  EXPECT_FALSE(r.intersects(owner));
  EXPECT_GE(r.width(), 240);
  EXPECT_LE(r.right(), 1279);
  EXPECT_EQ(r.height(), kWanted.height());
}

TEST(HelpPlacement, SmallScreenKeepsTheWindowOnTheScreen) {
  // 1024 x 768: no strip is wide enough; the window sits at the right edge, fully visible.
  const QRect owner(129, 79, 766, 610);
  const QRect r = HelpWindowPlacement(owner, kWanted, QRect(0, 0, 1024, 768));
  EXPECT_EQ(r.size(), kWanted);
  EXPECT_EQ(r.right(), 1023);
  EXPECT_GE(r.top(), 0);
  EXPECT_LE(r.bottom(), 767);
  // A screen lower than the window: the height is cut to the screen.
  const QRect tiny = HelpWindowPlacement(QRect(0, 0, 640, 480), kWanted, QRect(0, 0, 640, 480));
  EXPECT_EQ(tiny.height(), 480);
  EXPECT_EQ(tiny.top(), 0);
  EXPECT_EQ(tiny.width(), 600);
  // An owner partly off the screen's top still gives a window on the screen.
  const QRect off = HelpWindowPlacement(QRect(700, -200, 766, 610), kWanted, QRect(0, 0, 1920, 1080));
  EXPECT_GE(off.top(), 0);
}

}  // namespace
}  // namespace miretoka
