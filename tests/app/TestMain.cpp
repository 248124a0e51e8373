// Runs the window tests inside one QApplication, without a display.
#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "app/start/Fonts.h"

int main(int argc, char **argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  // What the program remembers between runs goes to a folder of the test run, never to
  // the user's own settings.
  QTemporaryDir settings;
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
  miretoka::InstallFontSubstitutes();
  return RUN_ALL_TESTS();
}
