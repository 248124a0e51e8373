#include "SmallBoardTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QTest>
#include <QTimer>

#include "app/board/StatusPanels.h"
#include "controls/CuteButton.h"

namespace miretoka::test {

void SmallBoardTest::SetUp() {
  BoardTest::SetUp();
  Form3 = std::make_unique<TForm3>(Form.get());
  Form4 = std::make_unique<TForm4>(Form.get());
  Form->SetSmallWindows(Form3.get(), Form4.get());
  for (TSmallBoardWindow *w : {static_cast<TSmallBoardWindow *>(Form3.get()), static_cast<TSmallBoardWindow *>(Form4.get())})
    w->Terminate = [this] { ++SmallTerminated; };
  QCoreApplication::processEvents();
}

void SmallBoardTest::TearDown() {
  Form4.reset();
  Form3.reset();
  BoardTest::TearDown();
}

void SmallBoardTest::WhileShown(const char *item, TSmallBoardWindow *window, const std::function<void()> &script) {
  bool ran = false;
  bool modal = false;
  // A timer of this scope: if the window never opens, it dies unfired.
  QTimer timer;
  timer.setSingleShot(true);
  QObject::connect(&timer, &QTimer::timeout, window, [&] {
    ran = true;
    modal = window->isVisible() && QApplication::activeModalWidget() == window;
    struct TCloser {
      TSmallBoardWindow *W;
      ~TCloser() {
        if (W->isVisible()) W->close();
      }
    } closer{window};
    script();
  });
  timer.start(0);
  Trigger(item);
  EXPECT_TRUE(ran) << item << " did not show its window";
  EXPECT_TRUE(modal) << item << " did not show its window modally";
  EXPECT_FALSE(window->isVisible());
}

void SmallBoardTest::ClickOn(TSmallBoardWindow *w, int k, Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
  QTest::mouseClick(w->Label(k), button, modifiers);
}

void SmallBoardTest::PressOn(TCuteButton *button) { QTest::mouseClick(button, Qt::LeftButton); }

void SmallBoardTest::TriggerOn(TSmallBoardWindow *w, const char *item) {
  QAction *a = w->MenuItem(QString::fromLatin1(item));
  ASSERT_NE(a, nullptr) << item;
  a->trigger();
}

QString SmallBoardTest::PanelOf(TSmallBoardWindow *w, int i) { return w->StatusBar1()->PanelText(i); }

bool SmallBoardTest::StoneOn(TSmallBoardWindow *w, int k) { return !w->Image(k)->IsEmpty(); }

}  // namespace miretoka::test
