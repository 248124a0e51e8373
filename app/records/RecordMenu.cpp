#include "app/records/RecordMenu.h"

#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>

#include "app/board/MainWindow.h"
#include "app/board/PlayBoard.h"
#include "app/board/PlayState.h"
#include "app/board/SmallBoardWindows.h"
#include "app/board/StatusPanels.h"
#include "app/feedback/ErrorReporter.h"
#include "app/records/RecordFiles.h"
#include "app/records/RecordPlayer.h"
#include "go/SgfReader.h"

namespace miretoka::records {

namespace {

QString AskForFile(QWidget *parent, bool save, const QString &suggested) {
  const QString filter = QStringLiteral("棋譜 (*.sgf);;すべてのファイル (*)");
  return save ? QFileDialog::getSaveFileName(parent, QStringLiteral("棋譜の保存"), suggested, filter)
              : QFileDialog::getOpenFileName(parent, QStringLiteral("棋譜を開く"), QString(), filter);
}

QAction *Item(QMenu *menu, const char *name, const QString &caption, QWidget *window, std::function<void()> run) {
  QAction *a = menu->addAction(caption);
  a->setObjectName(QString::fromLatin1(name));
  QObject::connect(a, &QAction::triggered, window, [window, run] { RunHandler(window, run); });
  return a;
}

}  // namespace

TRecordMenu::TRecordMenu(TForm2 *mainWindow, QMenuBar *bar)
    : QObject(mainWindow), FWindow(mainWindow), FMain(mainWindow) {
  FPlayer = new TRecordPlayer(MainBoardView(mainWindow));
  Build(bar);
}

TRecordMenu::TRecordMenu(TSmallBoardWindow *window, QMenuBar *bar)
    : QObject(window), FWindow(window), FSmall(window) {
  FPlayer = new TRecordPlayer(SmallBoardView(window));
  Build(bar);
}

int TRecordMenu::Lines() const { return FPlayer->View().Lines(); }

void TRecordMenu::Build(QMenuBar *bar) {
  setObjectName(QStringLiteral("RecordMenu"));
  ChooseFile = AskForFile;
  FMenu = new QMenu(QStringLiteral("棋譜"), bar);
  FMenu->setObjectName(QStringLiteral("RecordMenu"));
  FMenu->menuAction()->setObjectName(QStringLiteral("RecordMenu"));
  bar->addMenu(FMenu);
  Item(FMenu, "RecordOpen", QStringLiteral("開く…"), FWindow, [this] { OpenCommand(); });
  Item(FMenu, "RecordSave", QStringLiteral("保存…"), FWindow, [this] { SaveCommand(); });
  if (FMain) {
    QMenu *saved = FMenu->addMenu(QStringLiteral("打ち掛けの書き出し"));
    saved->setObjectName(QStringLiteral("RecordExport"));
    Item(saved, "RecordExport19", QStringLiteral("１９路盤…"), FWindow, [this] { ExportSavedGame(19); });
    Item(saved, "RecordExport13", QStringLiteral("１３路盤…"), FWindow, [this] { ExportSavedGame(13); });
    Item(saved, "RecordExport9", QStringLiteral("９路盤…"), FWindow, [this] { ExportSavedGame(9); });
  }
  FRecent = FMenu->addMenu(QStringLiteral("最近開いた棋譜"));
  FRecent->setObjectName(QStringLiteral("RecordRecent"));
  connect(FRecent, &QMenu::aboutToShow, this, [this] { FillRecent(); });
  FillRecent();
}

void TRecordMenu::FillRecent() {
  FRecent->clear();
  const QStringList files = RecentRecords();
  for (int i = 0; i < files.size(); ++i) {
    const QString file = files[i];
    QAction *a = FRecent->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(QFileInfo(file).fileName()));
    a->setObjectName(QStringLiteral("RecordRecent%1").arg(i + 1));
    a->setToolTip(file);
    connect(a, &QAction::triggered, FWindow, [this, file] { RunHandler(FWindow, [&] { OpenFile(file); }); });
  }
  FRecent->setEnabled(!files.isEmpty());
}

void TRecordMenu::OpenCommand() {
  const QString file = ChooseFile ? ChooseFile(FWindow, false, QString()) : QString();
  if (!file.isEmpty()) OpenFile(file);
}

void TRecordMenu::OpenFile(const QString &file) {
  go::TSgfRecord record;
  try {
    record = go::ReadSgfFile(file.toStdString());
  } catch (const go::ESgfError &e) {
    if (e.Code == go::TSgfErrorCode::FileUnreadable) ForgetRecord(file);
    Reporter().ShowError(FWindow, QStringLiteral("棋譜 %1 を開けません。\n%2")
                                      .arg(QFileInfo(file).fileName(), QString::fromUtf8(e.what())));
    PlayFeedback(0);
    FillRecent();
    return;
  }
  RememberRecord(file);
  FillRecent();
  go::TGameTree tree = std::move(record.Trees.front());
  const int size = tree.Info.Size;
  if (size == Lines()) {
    FPlayer->Open(std::move(tree), file);
    if (!record.Warning.empty()) Reporter().ShowInformation(FWindow, QString::fromStdString(record.Warning));
    return;
  }
  // A record of another size: from the main window, in the small window of its size.
  if (FMain) {
    TSmallBoardWindow *small = size == 13 ? static_cast<TSmallBoardWindow *>(FMain->Form3())
                                          : static_cast<TSmallBoardWindow *>(FMain->Form4());
    TRecordMenu *menu = small ? RecordMenuOf(small) : nullptr;
    if (menu) {
      menu->Player().OpenWhenShown(std::move(tree), file);
      if (size == 13) FMain->N4Click();
      else FMain->N5Click();
      return;
    }
  }
  Reporter().ShowInformation(FWindow, QStringLiteral("この棋譜は%1路盤です。メイン碁盤の「棋譜」から開いてください。").arg(size));
}

void TRecordMenu::SaveCommand() {
  if (play::PlayMode == play::PlayGomoku) {
    Reporter().ShowInformation(FWindow, QStringLiteral("五目並べは棋譜にできません。"));
    return;
  }
  const go::TGameTree *record = FPlayer->Attached() ? FPlayer->Tree() : nullptr;
  const go::TGameTree tree = CurrentGame(record);
  const QString file = ChooseFile ? ChooseFile(FWindow, true, QStringLiteral("対局.sgf")) : QString();
  if (file.isEmpty()) return;
  QString error;
  if (!WriteRecordFile(tree, file, error)) {
    Reporter().ShowError(FWindow, error);
    return;
  }
  FPlayer->View().SetStatus(0, QStringLiteral("　棋譜を保存しました。"));
  PlayFeedback(0);
}

void TRecordMenu::ExportSavedGame(int size) {
  const go::TGameTree tree = SavedGame(size);
  if (tree.Root()->Children.empty()) {
    Reporter().ShowInformation(FWindow, QStringLiteral("%1路盤の打ち掛けは保存されていません。").arg(size));
    return;
  }
  const QString file = ChooseFile ? ChooseFile(FWindow, true, QStringLiteral("打ち掛け%1路.sgf").arg(size)) : QString();
  if (file.isEmpty()) return;
  QString error;
  if (!WriteRecordFile(tree, file, error)) {
    Reporter().ShowError(FWindow, error);
    return;
  }
  FPlayer->View().SetStatus(0, QStringLiteral("　打ち掛けを書き出しました。"));
  PlayFeedback(0);
}

void InstallRecordMenu(TForm2 *mainWindow, QMenuBar *bar) { new TRecordMenu(mainWindow, bar); }
void InstallRecordMenu(TSmallBoardWindow *window, QMenuBar *bar) { new TRecordMenu(window, bar); }

TRecordMenu *RecordMenuOf(QWidget *window) {
  return window ? window->findChild<TRecordMenu *>(QStringLiteral("RecordMenu"), Qt::FindDirectChildrenOnly) : nullptr;
}

}  // namespace miretoka::records
