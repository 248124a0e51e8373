// Space, Enter and the caption's accelerator; Space then another key calls
// the press off; a disabled button answers none of them.
#include "CuteButtonTestSupport.h"

#include <QApplication>
#include <gtest/gtest.h>

namespace {

TEST(CuteButtonKeys, SpaceLowersOnPressAndClicksOnRelease) {
  CuteButtonHost host;
  TCuteButton *b = host.Button();
  b->setFocus();
  QTest::keyPress(b, Qt::Key_Space);
  EXPECT_EQ(b->BevelOuter(), TBevelCut::Lowered);
  EXPECT_EQ(host.Clicks(), 0);
  QTest::keyRelease(b, Qt::Key_Space);
  EXPECT_EQ(host.Clicks(), 1);
  EXPECT_EQ(b->BevelOuter(), TBevelCut::Raised);

  b->SetTabFocusUp(false);
  QTest::keyClick(b, Qt::Key_Space);
  EXPECT_EQ(host.Clicks(), 2);
  EXPECT_EQ(b->BevelOuter(), TBevelCut::None);
}

TEST(CuteButtonKeys, HeldSpaceRepeatingIsStillOneClick) {
  CuteButtonHost host;
  TCuteButton *b = host.Button();
  b->setFocus();
  SendKey(b, QEvent::KeyPress, Qt::Key_Space);
  for (int i = 0; i < 3; ++i) {
    SendKey(b, QEvent::KeyRelease, Qt::Key_Space, true);
    SendKey(b, QEvent::KeyPress, Qt::Key_Space, true);
  }
  EXPECT_EQ(host.Clicks(), 0);
  EXPECT_EQ(b->BevelOuter(), TBevelCut::Lowered);
  SendKey(b, QEvent::KeyRelease, Qt::Key_Space);
  EXPECT_EQ(host.Clicks(), 1);
}

TEST(CuteButtonKeys, SpaceThenEscapeCancelsThePress) {
  CuteButtonHost host;
  TCuteButton *b = host.Button();
  b->setFocus();
  QTest::keyPress(b, Qt::Key_Space);
  QTest::keyPress(b, Qt::Key_Escape);
  EXPECT_EQ(b->BevelOuter(), TBevelCut::Raised);
  QTest::keyRelease(b, Qt::Key_Escape);
  QTest::keyRelease(b, Qt::Key_Space);
  EXPECT_EQ(host.Clicks(), 0);

  // Any other key cancels too, Enter included; the next Space press works.
  QTest::keyPress(b, Qt::Key_Space);
  QTest::keyPress(b, Qt::Key_Return);
  QTest::keyRelease(b, Qt::Key_Return);
  QTest::keyRelease(b, Qt::Key_Space);
  EXPECT_EQ(host.Clicks(), 0);
  QTest::keyClick(b, Qt::Key_Space);
  EXPECT_EQ(host.Clicks(), 1);
}

TEST(CuteButtonKeys, SpaceReleasedAfterTheFocusMovedDoesNotClick) {
  CuteButtonHost host;
  TCuteButton *b = host.Button();
  b->setFocus();
  QTest::keyPress(b, Qt::Key_Space);
  host.Other()->setFocus();
  EXPECT_EQ(b->BevelOuter(), TBevelCut::None);
  b->setFocus();
  QTest::keyRelease(b, Qt::Key_Space);
  EXPECT_EQ(host.Clicks(), 0);
}

TEST(CuteButtonKeys, EnterAndKeypadEnterClick) {
  CuteButtonHost host;
  TCuteButton *b = host.Button();
  b->setFocus();
  TBevelCut during = TBevelCut::None;
  int clicks = 0;
  b->OnClick = [&](TCuteButton *sender) {
    during = sender->BevelOuter();
    ++clicks;
  };
  QTest::keyClick(b, Qt::Key_Return);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(during, TBevelCut::Lowered);
  EXPECT_EQ(b->BevelOuter(), TBevelCut::Raised);
  QTest::keyClick(b, Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_EQ(clicks, 2);
  b->SetTabFocusUp(false);
  QTest::keyClick(b, Qt::Key_Return);
  EXPECT_EQ(clicks, 3);
  EXPECT_EQ(b->BevelOuter(), TBevelCut::None);
}

TEST(CuteButtonKeys, OtherKeysPassToTheParent) {
  CuteButtonHost host;
  TCuteButton *b = host.Button();
  b->setFocus();
  QKeyEvent letter(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
  QApplication::sendEvent(b, &letter);
  EXPECT_FALSE(letter.isAccepted());
  EXPECT_EQ(host.Clicks(), 0);
}

TEST(CuteButtonKeys, AcceleratorOfTheCaptionActsLikeEnter) {
  CuteButtonHost host;
  TCuteButton *b = host.Button();
  b->SetCaption("&Open");
  TBevelCut during = TBevelCut::None;
  int clicks = 0;
  b->OnClick = [&](TCuteButton *sender) {
    during = sender->BevelOuter();
    ++clicks;
  };
  // The focus stays on the other button: the accelerator works window-wide.
  QTest::keyClick(host.Other(), Qt::Key_O, Qt::AltModifier);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(during, TBevelCut::Lowered);
  EXPECT_TRUE(host.Other()->hasFocus());

  // A new caption moves the accelerator.
  b->SetCaption("O&K");
  QTest::keyClick(host.Other(), Qt::Key_O, Qt::AltModifier);
  EXPECT_EQ(clicks, 1);
  QTest::keyClick(host.Other(), Qt::Key_K, Qt::AltModifier);
  EXPECT_EQ(clicks, 2);

  b->setEnabled(false);
  QTest::keyClick(host.Other(), Qt::Key_K, Qt::AltModifier);
  EXPECT_EQ(clicks, 2);
}

TEST(CuteButtonKeys, CaptionWithoutAcceleratorHasNone) {
  CuteButtonHost host;
  TCuteButton *b = host.Button();
  b->SetCaption("Fish && Chips");
  QTest::keyClick(host.Other(), Qt::Key_C, Qt::AltModifier);
  QTest::keyClick(host.Other(), Qt::Key_F, Qt::AltModifier);
  EXPECT_EQ(host.Clicks(), 0);
}

TEST(CuteButtonKeys, DisabledButtonIgnoresSpaceAndEnter) {
  CuteButtonHost host;
  TCuteButton *b = host.Button();
  b->setFocus();
  b->setEnabled(false);
  QTest::keyClick(b, Qt::Key_Space);
  QTest::keyClick(b, Qt::Key_Return);
  EXPECT_EQ(host.Clicks(), 0);
  EXPECT_NE(b->BevelOuter(), TBevelCut::Lowered);
  // The handlers themselves refuse too, whoever delivers the keys.
  SendKey(b, QEvent::KeyPress, Qt::Key_Space);
  SendKey(b, QEvent::KeyRelease, Qt::Key_Space);
  EXPECT_EQ(host.Clicks(), 0);
}

TEST(CuteButtonKeys, DisablingWhileSpaceIsHeldDropsThePress) {
  CuteButtonHost host;
  TCuteButton *b = host.Button();
  b->setFocus();
  QTest::keyPress(b, Qt::Key_Space);
  b->setEnabled(false);
  b->setEnabled(true);
  b->setFocus();
  QTest::keyRelease(b, Qt::Key_Space);
  EXPECT_EQ(host.Clicks(), 0);
}

}  // namespace
