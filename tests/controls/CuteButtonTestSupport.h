#pragma once
// Shared set-up of the button tests: a shown, active window holding the
// button under test and a second button to take the focus elsewhere.
// Mouse events go through the window system, as a user's would: the window
// finds the widget under the pointer, keeps the pressed widget grabbed and
// reports entering and leaving.
#define QTEST_QPA_MOUSE_HANDLING
#include "controls/CuteButton.h"

#include <QTest>
#include <QWidget>
#include <functional>
#include <memory>

class CuteButtonHost {
public:
  CuteButtonHost();
  ~CuteButtonHost();

  QWidget *Window() { return FWindow.get(); }
  TCuteButton *Button() { return FButton; }
  TCuteButton *Other() { return FOther; }

  // Points in window coordinates: inside the button, well outside it.
  QPoint Inside() const;
  QPoint Outside() const;

  int Clicks() const { return FClicks; }

private:
  std::unique_ptr<QWidget> FWindow;
  TCuteButton *FButton;
  TCuteButton *FOther;
  int FClicks = 0;
};

// Runs the event loop until `done` holds or five seconds have passed.
bool WaitUntil(const std::function<bool()> &done);

// Key and mouse events sent straight to a widget, for sequences QTest
// does not make (auto-repeat, a double-click event).
void SendKey(QWidget *target, QEvent::Type type, int key, bool autoRepeat = false);
void SendMouse(QWidget *target, QEvent::Type type, QPoint pos, Qt::MouseButtons buttons);
