// Runs the window tests inside one QApplication, without a display.
#include <QApplication>
#include <gtest/gtest.h>

#include "app/Fonts.h"

int main(int argc, char **argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  miretoka::InstallFontSubstitutes();
  return RUN_ALL_TESTS();
}
