#include "app/AppStart.h"

#include <QApplication>
#include <QScreen>
#include <QStringList>
#include <memory>

#include "app/DataModule.h"
#include "app/Fonts.h"
#include "app/MainWindow.h"
#include "app/SmallBoardWindows.h"

namespace miretoka {

QString HelpFile;

int RunProgram(QApplication &app, int, char **) {
  InstallFontSubstitutes();
  app.setFont(WindowFont(12));
  HelpFile = QStringLiteral("ミレトカ.hlp");
  app.setApplicationName(QStringLiteral("ミレトカ"));
  app.setApplicationDisplayName(QStringLiteral("ミレトカ"));

  auto dataModule = std::make_unique<TDataModule1>();
  auto form2 = std::make_unique<TForm2>(dataModule.get());
  auto form3 = std::make_unique<TForm3>(form2.get());
  auto form4 = std::make_unique<TForm4>(form2.get());

  if (QScreen *screen = form2->screen()) {
    QRect frame = form2->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    form2->move(frame.topLeft());
  }

  const QStringList args = app.arguments();
  const int i = args.indexOf(QStringLiteral("--screenshot"));
  if (i >= 0) {
    if (i + 1 >= args.size()) return 2;
    form2->show();
    app.processEvents();
    return form2->grab().save(args[i + 1], "PNG") ? 0 : 1;
  }
  form2->show();
  return app.exec();
}

}  // namespace miretoka
