// The drop-down menu: opened at once or after DropDownDelay, from the mouse,
// Space or Enter, below the button; the press that opened it never clicks.
#include "CuteButtonTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// A menu that notes where and how it was shown and closes itself at once,
// either plainly or by choosing its first item from the keyboard.
struct MenuProbe {
  QMenu menu;
  QAction *item;
  int shown = 0;
  int chosen = 0;
  QPoint at;
  TBevelCut bevelWhileOpen = TBevelCut::None;
  TCuteButton *button = nullptr;
  bool choose = false;

  explicit MenuProbe(TCuteButton *b) : button(b) {
    item = menu.addAction("Item");
    menu.addAction("Second");
    QObject::connect(item, &QAction::triggered, [this] { ++chosen; });
    QObject::connect(&menu, &QMenu::aboutToShow, [this] {
      ++shown;
      QTimer::singleShot(0, &menu, [this] {
        at = menu.pos();
        bevelWhileOpen = button->BevelOuter();
        if (choose) {
          menu.setActiveAction(item);
          QTest::keyClick(&menu, Qt::Key_Return);
        } else {
          menu.close();
        }
      });
    });
    b->SetDropDownMenu(&menu);
  }
};

TEST(CuteButtonDropDown, MousePressOpensTheMenuBelowAndTheClickIsSwallowed) {
  CuteButtonHost host;
  TCuteButton *b = host.Button();
  MenuProbe probe(b);
  QTest::mousePress(b, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
  EXPECT_EQ(probe.shown, 1);
  EXPECT_EQ(probe.at, b->mapToGlobal(QPoint(0, b->height())));
  EXPECT_EQ(probe.bevelWhileOpen, TBevelCut::Lowered);
  EXPECT_EQ(host.Clicks(), 0);
  EXPECT_EQ(b->BevelOuter(), TBevelCut::Raised);
  QTest::mouseRelease(b, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
  EXPECT_EQ(host.Clicks(), 0);
  EXPECT_EQ(probe.shown, 1);

  // Nothing of the menu press lingers: without the menu the next click counts.
  b->SetDropDownMenu(nullptr);
  QTest::mouseClick(b, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
  EXPECT_EQ(host.Clicks(), 1);
}

TEST(CuteButtonDropDown, SpaceOpensTheMenuAndAChosenItemRunsInsteadOfTheClick) {
  CuteButtonHost host;
  TCuteButton *b = host.Button();
  MenuProbe probe(b);
  probe.choose = true;
  b->setFocus();
  QTest::keyPress(b, Qt::Key_Space);
  EXPECT_EQ(probe.shown, 1);
  EXPECT_EQ(probe.chosen, 1);
  EXPECT_EQ(probe.bevelWhileOpen, TBevelCut::Lowered);
  EXPECT_EQ(host.Clicks(), 0);
  EXPECT_EQ(b->BevelOuter(), TBevelCut::Raised);
  // The menu finished the press; releasing Space now does nothing more.
  QTest::keyRelease(b, Qt::Key_Space);
  EXPECT_EQ(host.Clicks(), 0);
  EXPECT_EQ(probe.shown, 1);
}

TEST(CuteButtonDropDown, EnterOpensTheMenuOnlyWithoutDelay) {
  CuteButtonHost host;
  TCuteButton *b = host.Button();
  MenuProbe probe(b);
  b->setFocus();
  QTest::keyClick(b, Qt::Key_Return);
  EXPECT_EQ(probe.shown, 1);
  EXPECT_EQ(host.Clicks(), 0);
  EXPECT_EQ(b->BevelOuter(), TBevelCut::Raised);

  b->SetDropDownDelay(10000);
  QTest::keyClick(b, Qt::Key_Return);
  EXPECT_EQ(probe.shown, 1);
  EXPECT_EQ(host.Clicks(), 1);
}

TEST(CuteButtonDropDown, AQuickClickBeforeTheDelayClicksWithoutMenu) {
  CuteButtonHost host;
  TCuteButton *b = host.Button();
  MenuProbe probe(b);
  b->SetDropDownDelay(10000);
  QTest::mousePress(b, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
  EXPECT_TRUE(b->DropDownPending());
  QTest::mouseRelease(b, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
  EXPECT_FALSE(b->DropDownPending());
  EXPECT_EQ(host.Clicks(), 1);

  b->setFocus();
  QTest::keyPress(b, Qt::Key_Space);
  EXPECT_TRUE(b->DropDownPending());
  QTest::keyRelease(b, Qt::Key_Space);
  EXPECT_FALSE(b->DropDownPending());
  EXPECT_EQ(host.Clicks(), 2);
  EXPECT_EQ(probe.shown, 0);
}

TEST(CuteButtonDropDown, HoldingTheMouseThroughTheDelayOpensTheMenu) {
  CuteButtonHost host;
  TCuteButton *b = host.Button();
  MenuProbe probe(b);
  b->SetDropDownDelay(20);
  QTest::mousePress(b, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
  ASSERT_TRUE(WaitUntil([&] { return probe.shown == 1 && !b->DropDownPending(); }));
  QApplication::processEvents();
  EXPECT_EQ(probe.at, b->mapToGlobal(QPoint(0, b->height())));
  QTest::mouseRelease(b, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
  EXPECT_EQ(host.Clicks(), 0);
  EXPECT_EQ(probe.shown, 1);
}

TEST(CuteButtonDropDown, HoldingSpaceThroughTheDelayOpensTheMenu) {
  CuteButtonHost host;
  TCuteButton *b = host.Button();
  MenuProbe probe(b);
  b->SetDropDownDelay(20);
  b->setFocus();
  QTest::keyPress(b, Qt::Key_Space);
  // Held Space repeats; a pending delay is not restarted or doubled.
  SendKey(b, QEvent::KeyPress, Qt::Key_Space, true);
  ASSERT_TRUE(WaitUntil([&] { return probe.shown == 1 && !b->DropDownPending(); }));
  QApplication::processEvents();
  EXPECT_EQ(probe.bevelWhileOpen, TBevelCut::Lowered);
  QTest::keyRelease(b, Qt::Key_Space);
  EXPECT_EQ(host.Clicks(), 0);
  EXPECT_EQ(probe.shown, 1);
  EXPECT_EQ(b->BevelOuter(), TBevelCut::Raised);
}

TEST(CuteButtonDropDown, CancellingTheSpacePressCancelsThePendingMenu) {
  CuteButtonHost host;
  TCuteButton *b = host.Button();
  MenuProbe probe(b);
  b->SetDropDownDelay(20);
  b->setFocus();
  QTest::keyPress(b, Qt::Key_Space);
  ASSERT_TRUE(b->DropDownPending());
  QTest::keyPress(b, Qt::Key_Escape);
  EXPECT_FALSE(b->DropDownPending());
  QTest::qWait(60);
  QTest::keyRelease(b, Qt::Key_Escape);
  QTest::keyRelease(b, Qt::Key_Space);
  EXPECT_EQ(probe.shown, 0);
  EXPECT_EQ(host.Clicks(), 0);
}

TEST(CuteButtonDropDown, ReleasingOutsideBeforeTheDelayGivesNeitherMenuNorClick) {
  CuteButtonHost host;
  TCuteButton *b = host.Button();
  MenuProbe probe(b);
  b->SetDropDownDelay(10000);
  QTest::mousePress(b, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
  QTest::mouseMove(b, QPoint(200, 60));
  QTest::mouseRelease(b, Qt::LeftButton, Qt::NoModifier, QPoint(200, 60));
  EXPECT_FALSE(b->DropDownPending());
  EXPECT_EQ(probe.shown, 0);
  EXPECT_EQ(host.Clicks(), 0);
}

TEST(CuteButtonDropDown, ADeletedMenuIsForgotten) {
  CuteButtonHost host;
  TCuteButton *b = host.Button();
  auto *menu = new QMenu;
  menu->addAction("Item");
  b->SetDropDownMenu(menu);
  EXPECT_EQ(b->DropDownMenu(), menu);
  delete menu;
  EXPECT_EQ(b->DropDownMenu(), nullptr);
  QTest::mouseClick(b, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
  EXPECT_EQ(host.Clicks(), 1);
}

}  // namespace
