// Defaults and the three looks the outer bevel carries under the pointer,
// the mouse buttons and the focus.
#include "CuteButtonTestSupport.h"

#include <QApplication>
#include <gtest/gtest.h>

namespace {

TEST(CuteButtonDefaults, NewButtonHasTheDocumentedProperties) {
  TCuteButton button;
  EXPECT_EQ(button.width(), 75);
  EXPECT_EQ(button.height(), 25);
  EXPECT_EQ(button.BevelOuter(), TBevelCut::None);
  EXPECT_EQ(button.BevelInner(), TBevelCut::Raised);
  EXPECT_EQ(button.BevelWidth(), 1);
  EXPECT_EQ(button.Alignment(), TCaptionAlignment::Center);
  EXPECT_EQ(button.Layout(), TTextLayout::Center);
  EXPECT_EQ(button.MarginX(), -1);
  EXPECT_EQ(button.MarginY(), -1);
  EXPECT_EQ(button.DropDownDelay(), 0);
  EXPECT_EQ(button.DropDownMenu(), nullptr);
  EXPECT_TRUE(button.TabStop());
  EXPECT_TRUE(button.TabFocusUp());
  EXPECT_FALSE(button.Flat());
  EXPECT_FALSE(button.ShowFocusRect());
  EXPECT_FALSE(button.UseDisabledColor());
  EXPECT_FALSE(button.EgnoreContClick());
  EXPECT_EQ(button.DisabledColor(), QColor(128, 128, 128));
  EXPECT_EQ(button.Color(), TCuteButton::SystemButtonFace());
  EXPECT_EQ(button.BevelHighlightColor(), TCuteButton::SystemButtonHighlight());
  EXPECT_EQ(button.BevelShadowColor(), TCuteButton::SystemButtonShadow());
  EXPECT_EQ(button.focusPolicy(), Qt::StrongFocus);
  EXPECT_TRUE(button.Caption().isEmpty());
  EXPECT_FALSE(button.OnClick);
}

TEST(CuteButtonDefaults, MarginsBelowMinusOneBecomeMinusOne) {
  TCuteButton button;
  button.SetMarginX(-7);
  button.SetMarginY(-2);
  EXPECT_EQ(button.MarginX(), -1);
  EXPECT_EQ(button.MarginY(), -1);
  button.SetMarginX(5);
  button.SetMarginY(0);
  EXPECT_EQ(button.MarginX(), 5);
  EXPECT_EQ(button.MarginY(), 0);
  button.SetMarginX(-100);
  EXPECT_EQ(button.MarginX(), -1);
}

TEST(CuteButtonDefaults, FlatDropsAndRestoresTheInnerBevel) {
  TCuteButton button;
  button.SetFlat(true);
  EXPECT_EQ(button.BevelInner(), TBevelCut::None);
  button.SetFlat(false);
  EXPECT_EQ(button.BevelInner(), TBevelCut::Raised);
}

TEST(CuteButtonDefaults, BevelWidthStaysPositiveAndTabStopSetsFocusPolicy) {
  TCuteButton button;
  button.SetBevelWidth(0);
  EXPECT_EQ(button.BevelWidth(), 1);
  button.SetBevelWidth(3);
  EXPECT_EQ(button.BevelWidth(), 3);
  button.SetTabStop(false);
  EXPECT_EQ(button.focusPolicy(), Qt::ClickFocus);
  button.SetTabStop(true);
  EXPECT_EQ(button.focusPolicy(), Qt::StrongFocus);
}

TEST(CuteButtonLooks, PointerOverMakesItHotAndLeavingRestsIt) {
  CuteButtonHost host;
  TCuteButton *b = host.Button();
  int enters = 0, leaves = 0;
  QPoint enterAt;
  b->OnMouseEnter = [&](TCuteButton *sender, Qt::KeyboardModifiers, Qt::MouseButtons, int x, int y) {
    EXPECT_EQ(sender, b);
    ++enters;
    enterAt = QPoint(x, y);
  };
  b->OnMouseLeave = [&](TCuteButton *, Qt::KeyboardModifiers, Qt::MouseButtons, int, int) { ++leaves; };
  ASSERT_EQ(b->BevelOuter(), TBevelCut::None);

  QTest::mouseMove(host.Window(), host.Inside());
  EXPECT_EQ(enters, 1);
  EXPECT_EQ(enterAt, host.Inside() - b->pos());
  EXPECT_EQ(b->BevelOuter(), TBevelCut::Raised);

  QTest::mouseMove(host.Window(), host.Outside());
  EXPECT_EQ(leaves, 1);
  EXPECT_EQ(b->BevelOuter(), TBevelCut::None);
  EXPECT_EQ(host.Clicks(), 0);
}

TEST(CuteButtonLooks, FocusedButtonStaysHotAfterThePointerLeavesOnlyWithTabFocusUp) {
  CuteButtonHost host;
  TCuteButton *b = host.Button();
  b->setFocus();
  EXPECT_EQ(b->BevelOuter(), TBevelCut::Raised);
  QTest::mouseMove(host.Window(), host.Inside());
  QTest::mouseMove(host.Window(), host.Outside());
  EXPECT_EQ(b->BevelOuter(), TBevelCut::Raised);

  host.Other()->setFocus();
  EXPECT_EQ(b->BevelOuter(), TBevelCut::None);

  b->SetTabFocusUp(false);
  b->setFocus();
  EXPECT_EQ(b->BevelOuter(), TBevelCut::None);
  QTest::mouseMove(host.Window(), host.Inside());
  EXPECT_EQ(b->BevelOuter(), TBevelCut::Raised);
  QTest::mouseMove(host.Window(), host.Outside());
  EXPECT_EQ(b->BevelOuter(), TBevelCut::None);
}

TEST(CuteButtonLooks, PressLowersAndReleaseInsideClicksAndRaises) {
  CuteButtonHost host;
  TCuteButton *b = host.Button();
  QTest::mouseMove(host.Window(), host.Inside());
  QTest::mousePress(host.Window(), Qt::LeftButton, Qt::NoModifier, host.Inside());
  EXPECT_TRUE(b->hasFocus());
  EXPECT_EQ(b->BevelOuter(), TBevelCut::Lowered);
  EXPECT_EQ(host.Clicks(), 0);
  QTest::mouseRelease(host.Window(), Qt::LeftButton, Qt::NoModifier, host.Inside());
  EXPECT_EQ(host.Clicks(), 1);
  EXPECT_EQ(b->BevelOuter(), TBevelCut::Raised);
}

TEST(CuteButtonLooks, RightButtonTakesTheFocusButNeitherPressesNorClicks) {
  CuteButtonHost host;
  TCuteButton *b = host.Button();
  b->SetTabFocusUp(false);
  QTest::mouseClick(b, Qt::RightButton, Qt::NoModifier, QPoint(10, 10));
  EXPECT_TRUE(b->hasFocus());
  EXPECT_NE(b->BevelOuter(), TBevelCut::Lowered);
  EXPECT_EQ(host.Clicks(), 0);
}

TEST(CuteButtonLooks, PressMoveOutReleaseGivesNoClickAndKeepsTheHotLook) {
  CuteButtonHost host;
  TCuteButton *b = host.Button();
  QTest::mouseMove(host.Window(), host.Inside());
  QTest::mousePress(host.Window(), Qt::LeftButton, Qt::NoModifier, host.Inside());
  QTest::mouseMove(host.Window(), host.Outside());
  // Focused with TabFocusUp: leaving does not rest the bevel.
  EXPECT_EQ(b->BevelOuter(), TBevelCut::Lowered);
  QTest::mouseRelease(host.Window(), Qt::LeftButton, Qt::NoModifier, host.Outside());
  EXPECT_EQ(host.Clicks(), 0);
  EXPECT_TRUE(b->hasFocus());
  EXPECT_EQ(b->BevelOuter(), TBevelCut::Raised);
}

TEST(CuteButtonLooks, WithoutTabFocusUpMovingOutRestsAndMovingBackInPressesAgain) {
  CuteButtonHost host;
  TCuteButton *b = host.Button();
  b->SetTabFocusUp(false);
  QTest::mouseMove(host.Window(), host.Inside());
  QTest::mousePress(host.Window(), Qt::LeftButton, Qt::NoModifier, host.Inside());
  EXPECT_EQ(b->BevelOuter(), TBevelCut::Lowered);
  QTest::mouseMove(host.Window(), host.Outside());
  EXPECT_EQ(b->BevelOuter(), TBevelCut::None);
  QTest::mouseMove(host.Window(), host.Inside());
  EXPECT_EQ(b->BevelOuter(), TBevelCut::Lowered);
  QTest::mouseRelease(host.Window(), Qt::LeftButton, Qt::NoModifier, host.Inside());
  EXPECT_EQ(host.Clicks(), 1);
  EXPECT_EQ(b->BevelOuter(), TBevelCut::Raised);

  // Released outside without TabFocusUp: no click, no hot look.
  QTest::mousePress(host.Window(), Qt::LeftButton, Qt::NoModifier, host.Inside());
  QTest::mouseMove(host.Window(), host.Outside());
  QTest::mouseRelease(host.Window(), Qt::LeftButton, Qt::NoModifier, host.Outside());
  EXPECT_EQ(host.Clicks(), 1);
  EXPECT_EQ(b->BevelOuter(), TBevelCut::None);
}

TEST(CuteButtonLooks, FocusRaisesWithTabFocusUpAndLosingItRests) {
  CuteButtonHost host;
  TCuteButton *b = host.Button();
  QTest::keyClick(host.Other(), Qt::Key_Tab);
  ASSERT_TRUE(b->hasFocus() || host.Other()->hasFocus());
  b->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(b->BevelOuter(), TBevelCut::Raised);
  host.Other()->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(b->BevelOuter(), TBevelCut::None);
  EXPECT_EQ(host.Clicks(), 0);
}

TEST(CuteButtonLooks, DoubleClickArrivesAsTwoClicks) {
  CuteButtonHost host;
  TCuteButton *b = host.Button();
  const QPoint at(10, 10);
  SendMouse(b, QEvent::MouseButtonPress, at, Qt::LeftButton);
  SendMouse(b, QEvent::MouseButtonRelease, at, Qt::NoButton);
  SendMouse(b, QEvent::MouseButtonDblClick, at, Qt::LeftButton);
  EXPECT_EQ(b->BevelOuter(), TBevelCut::Lowered);
  SendMouse(b, QEvent::MouseButtonRelease, at, Qt::NoButton);
  EXPECT_EQ(host.Clicks(), 2);

  QTest::mouseDClick(b, Qt::LeftButton, Qt::NoModifier, at);
  EXPECT_EQ(host.Clicks(), 4);
}

}  // namespace
