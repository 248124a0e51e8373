#include "CuteButtonTestSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <gtest/gtest.h>

namespace {

// The application object lives for the whole run; it is made only when tests
// run, so that listing the tests needs no display at all.
class QtEnvironment : public ::testing::Environment {
public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "miretoka_controls_tests";
    static char *argv[] = {name, nullptr};
    FApp = std::make_unique<QApplication>(argc, argv);
  }
  void TearDown() override { FApp.reset(); }

private:
  std::unique_ptr<QApplication> FApp;
};

}  // namespace

int main(int argc, char **argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new QtEnvironment);
  return RUN_ALL_TESTS();
}

CuteButtonHost::CuteButtonHost() : FWindow(std::make_unique<QWidget>()) {
  FWindow->resize(300, 200);
  FButton = new TCuteButton(FWindow.get());
  FButton->move(20, 20);
  FButton->SetCaption("Button");
  FButton->OnClick = [this](TCuteButton *) { ++FClicks; };
  FOther = new TCuteButton(FWindow.get());
  FOther->move(20, 120);
  FOther->SetCaption("Other");
  FWindow->show();
  FWindow->activateWindow();
  EXPECT_TRUE(QTest::qWaitForWindowActive(FWindow.get()));
  // Park the pointer away from both buttons.
  QTest::mouseMove(FWindow.get(), Outside());
  FOther->setFocus();
  QApplication::processEvents();
}

CuteButtonHost::~CuteButtonHost() {
  QTest::mouseMove(FWindow.get(), Outside());
  QApplication::processEvents();
}

QPoint CuteButtonHost::Inside() const { return QPoint(50, 30); }
QPoint CuteButtonHost::Outside() const { return QPoint(250, 80); }

bool WaitUntil(const std::function<bool()> &done) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > 5000) return false;
    QTest::qWait(5);
  }
  return true;
}

void SendKey(QWidget *target, QEvent::Type type, int key, bool autoRepeat) {
  const QString text = key == Qt::Key_Space ? QStringLiteral(" ") : QString();
  QKeyEvent event(type, key, Qt::NoModifier, text, autoRepeat);
  QApplication::sendEvent(target, &event);
}

void SendMouse(QWidget *target, QEvent::Type type, QPoint pos, Qt::MouseButtons buttons) {
  const QPointF local(pos);
  const QPointF global(target->mapToGlobal(pos));
  const Qt::MouseButton button = Qt::LeftButton;
  QMouseEvent event(type, local, local, global, button, buttons, Qt::NoModifier);
  QApplication::sendEvent(target, &event);
}
