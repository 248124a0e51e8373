#include "app/AppStart.h"

#include <QApplication>
#include <QMainWindow>
#include <QStringList>

namespace miretoka {
int RunProgram(QApplication &app, int, char **) {
  app.setApplicationName(QStringLiteral("ミレトカ"));
  QMainWindow w;
  w.setWindowTitle(QStringLiteral("ミレトカ"));
  w.resize(766, 610);
  const QStringList args = app.arguments();
  const int i = args.indexOf(QStringLiteral("--screenshot"));
  if (i >= 0) {
    if (i + 1 >= args.size()) return 2;
    w.show();
    app.processEvents();
    return w.grab().save(args[i + 1], "PNG") ? 0 : 1;
  }
  w.show();
  return app.exec();
}
}  // namespace miretoka
