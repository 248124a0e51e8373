// The pixmap checks need a GUI application object; listing the tests does not.
#include <QGuiApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
  QGuiApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
