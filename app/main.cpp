#include <QApplication>

#include <cstdlib>
#include <cstring>

#include "app/start/AppStart.h"

int main(int argc, char **argv) {
  // A screenshot needs no screen: without a display, render off-screen instead of aborting.
  bool screenshot = false;
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--screenshot") == 0) screenshot = true;
  if (screenshot && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  return miretoka::RunProgram(app, argc, argv);
}
