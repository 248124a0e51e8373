#include <QApplication>

#include "app/AppStart.h"

int main(int argc, char **argv) {
  QApplication app(argc, argv);
  return miretoka::RunProgram(app, argc, argv);
}
