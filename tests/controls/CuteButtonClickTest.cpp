// Click handling: EgnoreContClick swallowing clicks that arrive while the
// handler runs, and handlers that change or remove the button.
#include "CuteButtonTestSupport.h"

#include <QApplication>
#include <QMouseEvent>
#include <gtest/gtest.h>

namespace {

// Queues a complete left click on the button, as a user clicking again while
// the program is busy would.
void PostClick(TCuteButton *b) {
  const QPointF at(10, 10);
  const QPointF global(b->mapToGlobal(QPoint(10, 10)));
  QCoreApplication::postEvent(b, new QMouseEvent(QEvent::MouseButtonPress, at, at, global,
                                                 Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
  QCoreApplication::postEvent(b, new QMouseEvent(QEvent::MouseButtonRelease, at, at, global,
                                                 Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
}

struct BusyHandler {
  int calls = 0;
  int depth = 0;
  int maxDepth = 0;
  void Run(TCuteButton *b) {
    ++calls;
    ++depth;
    maxDepth = std::max(maxDepth, depth);
    if (calls == 1) PostClick(b);
    --depth;
  }
};

TEST(CuteButtonClick, WithoutEgnoreContClickAClickMadeDuringTheHandlerFollowsIt) {
  CuteButtonHost host;
  TCuteButton *b = host.Button();
  BusyHandler busy;
  b->OnClick = [&](TCuteButton *sender) { busy.Run(sender); };
  QTest::mouseClick(b, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
  ASSERT_TRUE(WaitUntil([&] { return busy.calls == 2; }));
  EXPECT_EQ(busy.maxDepth, 1);  // handled after the first, not inside it
  QApplication::processEvents();
  EXPECT_EQ(busy.calls, 2);
}

TEST(CuteButtonClick, WithEgnoreContClickAClickMadeDuringTheHandlerIsLost) {
  CuteButtonHost host;
  TCuteButton *b = host.Button();
  b->SetEgnoreContClick(true);
  BusyHandler busy;
  b->OnClick = [&](TCuteButton *sender) { busy.Run(sender); };
  QTest::mouseClick(b, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
  // The queued click was processed, without a handler, before Click returned.
  EXPECT_EQ(busy.calls, 1);
  ASSERT_TRUE(b->OnClick);
  QApplication::processEvents();
  EXPECT_EQ(busy.calls, 1);

  // The handler is back for the next click, by mouse and by key.
  QTest::mouseClick(b, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
  EXPECT_EQ(busy.calls, 2);
  QTest::keyClick(b, Qt::Key_Space);
  EXPECT_EQ(busy.calls, 3);
}

TEST(CuteButtonClick, WithEgnoreContClickTheHandlerSeesItselfDetached) {
  CuteButtonHost host;
  TCuteButton *b = host.Button();
  b->SetEgnoreContClick(true);
  bool attachedDuringRun = true;
  b->OnClick = [&](TCuteButton *sender) { attachedDuringRun = bool(sender->OnClick); };
  b->Click();
  EXPECT_FALSE(attachedDuringRun);
  EXPECT_TRUE(b->OnClick);
}

TEST(CuteButtonClick, AHandlerMayReplaceItselfWhileRunning) {
  for (bool egnore : {false, true}) {
    CuteButtonHost host;
    TCuteButton *b = host.Button();
    b->SetEgnoreContClick(egnore);
    int first = 0, second = 0;
    b->OnClick = [&](TCuteButton *sender) {
      ++first;
      sender->OnClick = [&](TCuteButton *) { ++second; };
    };
    b->Click();
    b->Click();
    EXPECT_EQ(first, 1) << "EgnoreContClick " << egnore;
    EXPECT_EQ(second, 1) << "EgnoreContClick " << egnore;
  }
}

TEST(CuteButtonClick, AHandlerMayDeleteItsButton) {
  for (bool egnore : {false, true}) {
    CuteButtonHost host;
    QPointer<TCuteButton> b = host.Button();
    b->SetEgnoreContClick(egnore);
    b->OnClick = [](TCuteButton *sender) { delete sender; };
    b->setFocus();
    QTest::keyPress(b.data(), Qt::Key_Space);
    QTest::keyRelease(b.data(), Qt::Key_Space);
    EXPECT_TRUE(b.isNull()) << "EgnoreContClick " << egnore;
  }
}

TEST(CuteButtonClick, ClickWithoutHandlerDoesNothing) {
  CuteButtonHost host;
  TCuteButton *b = host.Button();
  b->OnClick = nullptr;
  b->Click();
  b->SetEgnoreContClick(true);
  b->Click();
  EXPECT_FALSE(b->OnClick);
}

}  // namespace
