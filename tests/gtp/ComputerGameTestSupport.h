#pragma once
// A game window against the scripted engine (or GNU Go), on the test board's data files and
// settings of its own, with helpers that click like the learner and wait for the engine.
#include <QStringList>
#include <memory>

#include "BoardTestSupport.h"
#include "app/play/ComputerGameWindow.h"

namespace miretoka::test {

class ComputerGameTest : public BoardTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A 9-line game (unless changed) against the scripted engine started with `arguments`;
  // the engine's commands are logged for Commands().
  void Open(const QStringList &arguments, versus::TGameSettings settings = {});
  // Opens with the settings' own engine command.
  void OpenWith(const versus::TGameSettings &settings);
  // Processes events until the engine has answered what the window waits for.
  bool WaitIdle(int milliseconds = 10000);
  // A click on a point named like "E5", then waiting for the engine.
  void ClickAt(const char *vertex);
  void PressButton(class ::TCuteButton *button);
  int At(const char *vertex) const;
  QString Status() const;
  bool Stone(const char *vertex) const;
  QString Mark(const char *vertex) const;
  // The commands the scripted engine received, without ids.
  QStringList Commands() const;
  static void SetMoveTimeout(double seconds);

  std::unique_ptr<versus::TComputerGameWindow> Game;
  QString Log;
};

}  // namespace miretoka::test
