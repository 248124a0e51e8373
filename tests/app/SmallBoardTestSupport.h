#pragma once
// The main window with its 13-line and 9-line windows, as the program builds
// them, and helpers that open a small window through its menu item and act on
// it while it is shown modally.
#include <functional>
#include <memory>

#include "BoardTestSupport.h"
#include "app/board/SmallBoardWindows.h"

namespace miretoka::test {

class SmallBoardTest : public BoardTest {
protected:
  void SetUp() override;
  void TearDown() override;

  // Chooses the main window's menu item, and while `window` is shown modally
  // runs `script`; closes the window afterwards if the script left it open.
  void WhileShown(const char *item, TSmallBoardWindow *window, const std::function<void()> &script);
  void On13(const std::function<void()> &script) { WhileShown("N4", Form3.get(), script); }
  void On9(const std::function<void()> &script) { WhileShown("N5", Form4.get(), script); }

public:
  // Mouse-down on Label<k> of a small window.
  static void ClickOn(TSmallBoardWindow *w, int k, Qt::MouseButton button = Qt::LeftButton,
                      Qt::KeyboardModifiers modifiers = Qt::NoModifier);
  static void PressOn(TCuteButton *button);
  static void TriggerOn(TSmallBoardWindow *w, const char *item);
  static QString PanelOf(TSmallBoardWindow *w, int i);
  static bool StoneOn(TSmallBoardWindow *w, int k);

  // Point of column c, row r (0-based) on a board of `lines` lines.
  static int At(int lines, int c, int r) { return c * lines + r + 1; }

protected:
  std::unique_ptr<TForm3> Form3;
  std::unique_ptr<TForm4> Form4;
  int SmallTerminated = 0;
};

}  // namespace miretoka::test
