#include "app/start/AppStart.h"

#include <QApplication>
#include <QScreen>
#include <QMetaObject>
#include <QStringList>
#include <cstdio>
#include <memory>

#include "app/data/DataModule.h"
#include "app/feedback/ErrorReporter.h"
#include "app/start/Fonts.h"
#include "app/board/MainWindow.h"
#include "app/data/PasswordDialog.h"
#include "app/start/Screenshot.h"
#include "app/start/Translations.h"
#include "app/board/SmallBoardWindows.h"
#include "query/dataset/KuraSession.h"

namespace miretoka {

QString HelpFile;

int RunProgram(QApplication &app, int, char **) {
  InstallFontSubstitutes();
  InstallQtTranslations(app);
  app.setFont(WindowFont(12));
  HelpFile = QStringLiteral("ミレトカ.hlp");
  app.setApplicationName(QStringLiteral("ミレトカ"));
  app.setApplicationDisplayName(QStringLiteral("ミレトカ"));

  // Encrypted tables ask the user for their password.
  InstallPasswordDialog(kura::Session());
  auto dataModule = std::make_unique<TDataModule1>();
  auto form2 = std::make_unique<TForm2>(dataModule.get());
  auto form3 = std::make_unique<TForm3>(form2.get());
  auto form4 = std::make_unique<TForm4>(form2.get());
  form2->SetSmallWindows(form3.get(), form4.get());

  if (QScreen *screen = form2->screen()) {
    QRect frame = form2->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    form2->move(frame.topLeft());
  }

  const QStringList args = app.arguments();
  const bool screenshot = args.contains(QStringLiteral("--screenshot"));
  // Without its lessons the program still runs (the board is usable); say what is missing.
  if (!dataModule->StartupError().isEmpty() && screenshot)
    std::fprintf(stderr, "%s\n", dataModule->StartupError().toLocal8Bit().constData());
  else if (!dataModule->StartupError().isEmpty())
    QMetaObject::invokeMethod(
        form2.get(), [&] { Reporter().ShowError(form2.get(), dataModule->StartupError()); }, Qt::QueuedConnection);
  const int i = args.indexOf(QStringLiteral("--screenshot"));
  if (i >= 0) {
    if (i + 1 >= args.size()) return 2;
    form2->show();
    app.processEvents();
    QWidget *shown = PrepareScreenshot(*form2, args);
    if (!shown) return 2;
    app.processEvents();
    return shown->grab().save(args[i + 1], "PNG") ? 0 : 1;
  }
  form2->show();
  return app.exec();
}

}  // namespace miretoka
