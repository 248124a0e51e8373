#include "app/play/PlayMenu.h"

#include <QMenu>
#include <QMenuBar>
#include <QPointer>

#include "app/board/MainWindow.h"
#include "app/feedback/ErrorReporter.h"
#include "app/play/ComputerGameWindow.h"
#include "app/play/NewGameDialog.h"

namespace miretoka::versus {

namespace {

QPointer<TComputerGameWindow> Current;

void NewGame(TForm2 *main, TDataModule1 *dataModule) {
  TNewGameDialog dialog(LoadGameSettings(), main);
  if (dialog.exec() != QDialog::Accepted) return;
  const TGameSettings settings = dialog.Settings();
  StoreGameSettings(settings);
  if (Current) Current->close();
  auto *window = new TComputerGameWindow(settings, dataModule, main);
  window->setAttribute(Qt::WA_DeleteOnClose);
  Current = window;
  window->show();
  window->Start();
}

}  // namespace

void InstallPlayMenu(TForm2 *main, TDataModule1 *dataModule, QMenuBar *bar) {
  QMenu *menu = bar->addMenu(QStringLiteral("対局"));
  menu->setObjectName(QStringLiteral("PlayMenu"));
  QAction *a = menu->addAction(QStringLiteral("コンピュータと対局…"));
  a->setObjectName(QStringLiteral("PlayComputer"));
  QObject::connect(a, &QAction::triggered, main, [main, dataModule] { RunHandler(main, [&] { NewGame(main, dataModule); }); });
}

TComputerGameWindow *CurrentGameWindow() { return Current.data(); }

}  // namespace miretoka::versus
