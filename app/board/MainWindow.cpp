// TForm2: construction of the window, its menu bar, status bar and clock, the
// layout of the side panel, and the window-level commands (help, version, quit).
#include "app/board/MainWindow.h"
#include "app/board/SavedGame.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QGroupBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QRadioButton>
#include <QScrollArea>
#include <QShortcut>
#include <QTableView>
#include <QTextBrowser>
#include <algorithm>
#include <QTimer>

#include "app/start/AppStart.h"
#include "app/board/BoardCoordinates.h"
#include "app/lessons/ContentsDelegate.h"
#include "app/start/UserSettings.h"
#include "app/board/BoardLayout.h"
#include "app/data/DataModule.h"
#include "app/data/DataSetModel.h"
#include "app/feedback/ErrorReporter.h"
#include "app/start/Fonts.h"
#include "app/board/PlayState.h"
#include "app/board/StatusClock.h"
#include "app/board/SmallBoardWindows.h"
#include "app/board/StatusPanels.h"
#include "app/board/WindowParts.h"
#include "app/help/HelpViewer.h"
#include "app/play/PlayMenu.h"
#include "app/records/RecordMenu.h"
#include "controls/CuteButton.h"

namespace miretoka {

using namespace play;

namespace {
constexpr int ClientWidth = 750;   // 766 outer less the window frame
constexpr int ClientHeight = 540;  // the board and a little margin
constexpr int PanelLeft = 552;     // the side panel to the right of the board
constexpr int BoardSide = 536;     // the board's background
// The comment area under the board shows this many lines without scrolling.
constexpr int CommentLines = 5;
}  // namespace

TForm2::TForm2(TDataModule1 *dataModule, QWidget *parent) : QMainWindow(parent), FDataModule(dataModule) {
  setObjectName(QStringLiteral("Form2"));
  setWindowTitle(QStringLiteral("ミレトカ"));
  setFont(WindowFont(12));
  QPalette pal = palette();
  pal.setColor(QPalette::Window, WindowColor());
  setPalette(pal);
  setAutoFillBackground(true);

  ShowHelp = [](QWidget *w, const QString &file) { ShowHelpContents(w, file); };
  ShowHelpTopic = [](QWidget *w, const QString &file, int context) { miretoka::ShowHelpTopic(w, file, context); };
  Terminate = [] { QCoreApplication::quit(); };

  FScroll = new QScrollArea(this);
  FScroll->setObjectName(QStringLiteral("ClientScroll"));
  FScroll->setFrameShape(QFrame::NoFrame);
  FScroll->setWidgetResizable(false);
  FClient = new QWidget;
  FClient->setObjectName(QStringLiteral("Client"));
  FClient->setFixedSize(ClientWidth, ClientHeight);
  FClient->setPalette(pal);
  FClient->setAutoFillBackground(true);
  FScroll->setWidget(FClient);
  FScroll->setPalette(pal);
  setCentralWidget(FScroll);

  TBoardParts board = BuildBoard();
  BuildSidePanel();
  BuildCommentArea();
  ConnectProblemControls();
  FBoard = std::make_unique<TPlayBoard>(std::move(board.Images), std::move(board.Labels), FEdit1, FEdit2);
  FBoard->PlaybackCaptureKeys = [this](CaptureRecord &record) { FigureCaptureKeys(record); };
  BuildMenu();
  SetUpKeys();

  FStatusBar1 = new TStatusPanels(this, {{300, false}, {300, false}, {50, true}});
  FStatusBar1->setObjectName(QStringLiteral("StatusBar1"));
  setStatusBar(FStatusBar1);

  FTimer1 = new QTimer(this);
  FTimer1->setObjectName(QStringLiteral("Timer1"));
  FTimer1->setInterval(1000);
  connect(FTimer1, &QTimer::timeout, this, [this] { RunHandler(this, [this] { Timer1Timer(); }); });
  FTimer1->start();

  // Plays a sequence by itself once 解答表示 has started it; its first tick stops it.
  FTimer2 = new QTimer(this);
  FTimer2->setObjectName(QStringLiteral("Timer2"));
  FTimer2->setInterval(1000);
  connect(FTimer2, &QTimer::timeout, this, [this] { RunHandler(this, [this] { Timer2Timer(); }); });
  FTimer2->start();

  resize(ClientWidth, menuBar()->sizeHint().height() + FClient->height() + FStatusBar1->sizeHint().height());

  FormCreate();
}

TForm2::~TForm2() = default;

TBoardGeometry TForm2::Geometry() {
  TBoardGeometry g;
  g.Lines = 19;
  g.Origin = QPoint(0, 0);
  for (int c : {3, 9, 15})
    for (int r : {3, 9, 15}) g.Stars.emplace_back(c, r);
  return g;
}

TBoardParts TForm2::BuildBoard() {
  TBoardParts parts = miretoka::BuildBoard(FClient, Geometry(), [this](TPointLabel *sender, Qt::MouseButton button,
                                                                       Qt::KeyboardModifiers shift) {
    RunHandler(this, [&] { Label1MouseDown(sender, button, shift); });
  });
  FShapes = parts.Shapes;
  FCoordinates = new TBoardCoordinates(FClient, Geometry());
  FCoordinates->setVisible(TUserSettings::Coordinates());
  return parts;
}

void TForm2::BuildCommentArea() {
  // The comments of a lesson are sentences; they get the width of the board and wrap at
  // word (character) boundaries, scrolling only when a comment is longer than five lines.
  FComment = new QTextBrowser(FClient);
  FComment->setObjectName(QStringLiteral("CommentArea"));
  FComment->setReadOnly(true);
  FComment->setFocusPolicy(Qt::NoFocus);
  FComment->setLineWrapMode(QTextEdit::WidgetWidth);
  FComment->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  FComment->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  FComment->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  FComment->setFont(WindowFont(12));
  const QFontMetrics fm(FComment->font());
  const int margin = static_cast<int>(FComment->document()->documentMargin());
  const int height = CommentLines * fm.lineSpacing() + 2 * margin + 2 * FComment->frameWidth() + 4;
  FComment->setGeometry(0, BoardSide + TBoardCoordinates::Strip + 2, BoardSide, height);
  FClient->setFixedSize(ClientWidth, std::max(ClientHeight, FComment->geometry().bottom() + 5));
}

TCuteButton *TForm2::AddButton(int number, const QString &caption, void (TForm2::*handler)()) {
  std::function<void()> run;
  if (handler) run = [this, handler] { (this->*handler)(); };
  TCuteButton *b = AddCommandButton(FClient, this, number, caption, run);
  FButtons[number] = b;
  return b;
}

void TForm2::BuildSidePanel() {
  // The layout toggle, hidden from start-up on. Authors bring it out with Ctrl+Shift+E.
  AddButton(1, QStringLiteral("入門"), &TForm2::CuteButton1Click)->setGeometry(PanelLeft + 128, 0, 64, 20);
  auto *authorKey = new QShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+E")), this);
  authorKey->setObjectName(QStringLiteral("AuthorShortcut"));
  connect(authorKey, &QShortcut::activated, this, [this] { CuteButton(1)->show(); });

  FDBGrid1 = new QTableView(FClient);
  FDBGrid1->setObjectName(QStringLiteral("DBGrid1"));
  // The contents query through DataSource1; the grid shows the titles under "目次".
  FContentsModel = new TDataSetModel(FDataModule ? FDataModule->DataSource1.DataSet() : nullptr,
                                     {{QStringLiteral("ITEM"), QStringLiteral("目次")}}, this);
  FContentsModel->AttachView(FDBGrid1);
  FDBGrid1->horizontalHeader()->setStretchLastSection(true);
  FDBGrid1->verticalHeader()->setDefaultSectionSize(18);
  FDBGrid1->verticalHeader()->setFixedWidth(12);
  FDBGrid1->setGeometry(PanelLeft, 20, 192, 276);
  // Chapters, sections and lessons as an indented tree, the last and finished lessons marked.
  FContentsDelegate = new TContentsDelegate(FContentsModel, this);
  FContentsDelegate->SetLastOpened(TUserSettings::LastLesson());
  FContentsDelegate->SetFinished(TUserSettings::FinishedLessons());
  FDBGrid1->setItemDelegateForColumn(0, FContentsDelegate);
  // A click moves the contents cursor to the clicked row before the click handlers run;
  // the cursor moved by the program moves the grid's selection (CurrentRowChanged above).
  connect(FDBGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex &current) {
            if (!FDataModule || !current.isValid()) return;
            RunHandler(this, [&] {
              kura::TKuraQuery &q = FDataModule->KuraQuery1;
              if (q.Active() && q.RecNo() != current.row() + 1) q.SetRecNo(current.row() + 1);
            });
          });
  connect(FDBGrid1, &QAbstractItemView::clicked, this, [this] { RunHandler(this, [this] { DBGrid1CellClick(); }); });
  connect(FDBGrid1, &QAbstractItemView::doubleClicked, this,
          [this] { RunHandler(this, [this] { DBGrid1DblClick(); }); });

  // The figure grid of the editor layout: every field of the figure query, 30 px a column.
  FDBGrid2 = new QTableView(FClient);
  FDBGrid2->setObjectName(QStringLiteral("DBGrid2"));
  std::vector<TDataSetModel::TColumn> figureColumns;
  for (const char *field : {"MNB", "TES", "COL", "PST", "BFR", "BTO", "DTX", "CMT"})
    figureColumns.push_back({QString::fromLatin1(field), QString::fromLatin1(field)});
  FFigureModel =
      new TDataSetModel(FDataModule ? FDataModule->DataSource2.DataSet() : nullptr, std::move(figureColumns), this);
  FDBGrid2->setModel(FFigureModel);
  FDBGrid2->setSelectionBehavior(QAbstractItemView::SelectRows);
  FDBGrid2->setSelectionMode(QAbstractItemView::SingleSelection);
  connect(FFigureModel, &TDataSetModel::CurrentRowChanged, FDBGrid2, [this](int row) {
    if (row >= 0 && FFigureGridAttached) FDBGrid2->selectRow(row);
  });
  FDBGrid2->horizontalHeader()->setMinimumSectionSize(30);
  FDBGrid2->horizontalHeader()->setDefaultSectionSize(30);
  for (int c = 0; c < FFigureModel->columnCount(); ++c) FDBGrid2->setColumnWidth(c, 30);
  FDBGrid2->verticalHeader()->setDefaultSectionSize(18);
  FDBGrid2->verticalHeader()->setFixedWidth(12);
  FDBGrid2->setGeometry(PanelLeft, 127, 192, 140);
  FDBGrid2->hide();
  // As in the contents grid, a click moves the figure cursor to the clicked row.
  connect(FDBGrid2->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex &current) {
            if (!FDataModule || !current.isValid() || !FFigureGridAttached) return;
            RunHandler(this, [&] {
              kura::TKuraQuery &q = FDataModule->KuraQuery2;
              if (q.Active() && q.RecNo() != current.row() + 1) q.SetRecNo(current.row() + 1);
            });
          });

  connect(FDBGrid2, &QAbstractItemView::clicked, this, [this] { RunHandler(this, [this] { DBGrid2CellClick(); }); });

  // The character spec of marks: place and colour.
  auto specBox = [this](const char *name, int left, std::initializer_list<const char *> captions) {
    auto *box = new QGroupBox(FClient);
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(left, 268, 94, 76);
    int i = 0;
    for (const char *caption : captions) {
      auto *rb = new QRadioButton(QString::fromUtf8(caption), box);
      rb->setObjectName(QString::fromLatin1(name) + QStringLiteral("Option") + QString::number(++i));
      rb->setGeometry(6, 4 + 22 * (i - 1), 84, 20);
    }
    box->hide();
    return box;
  };
  FGroupBox2 = specBox("GroupBox2", PanelLeft, {"石上", "背景", "直接"});
  FGroupBox3 = specBox("GroupBox3", PanelLeft + 98, {"標準", "緑", "赤"});
  ConnectLettering();

  FComboBox1 = new QComboBox(FClient);
  FComboBox1->setObjectName(QStringLiteral("ComboBox1"));
  FComboBox1->setEditable(true);
  for (int i = 1; i <= 9; ++i) FComboBox1->addItem(QStringLiteral("問題") + QChar(0xFF10 + i));
  FComboBox1->setEditText(QStringLiteral("問題選択"));
  FComboBox1->setGeometry(PanelLeft, 324, 94, 22);
  FComboBox2 = new QComboBox(FClient);
  FComboBox2->setObjectName(QStringLiteral("ComboBox2"));
  FComboBox2->setEditable(true);
  FComboBox2->addItems({QStringLiteral("○"), QStringLiteral("×"), QStringLiteral("－")});
  FComboBox2->setEditText(QStringLiteral("解答選択"));
  FComboBox2->setGeometry(PanelLeft + 98, 324, 94, 22);

  AddButton(10, QStringLiteral("解答表示"), &TForm2::CuteButton10Click)->setGeometry(PanelLeft, 352, 94, 26);
  // Marks and figure numbers typed by an author; in the editor layout beside 解答表示.
  FEdit3 = new QLineEdit(FClient);
  FEdit3->setObjectName(QStringLiteral("Edit3"));
  FEdit3->setGeometry(PanelLeft + 98, 376, 94, 24);
  FEdit3->hide();
  // The authoring buttons of the editor layout.
  AddButton(2, QStringLiteral("基本図登録"), &TForm2::CuteButton2Click)->setGeometry(PanelLeft, 404, 94, 26);
  AddButton(3, QStringLiteral("基本図削除"), &TForm2::CuteButton3Click)->setGeometry(PanelLeft + 98, 404, 94, 26);
  AddButton(8, QStringLiteral("手順登録"), &TForm2::CuteButton8Click)->setGeometry(PanelLeft, 432, 94, 26);
  AddButton(4, QStringLiteral("手順削除"), &TForm2::CuteButton4Click)->setGeometry(PanelLeft + 98, 432, 94, 26);
  AddButton(11, QStringLiteral("MNB変"), &TForm2::CuteButton11Click)->setGeometry(PanelLeft, 516, 94, 22);
  AddButton(5, QStringLiteral("1手進む"), &TForm2::CuteButton5Click)->setGeometry(PanelLeft, 384, 94, 26);
  AddButton(7, QStringLiteral("1手戻す"), &TForm2::CuteButton7Click)->setGeometry(PanelLeft + 98, 384, 94, 26);
  AddButton(6, QStringLiteral("クリア"), &TForm2::CuteButton6Click)->setGeometry(PanelLeft, 416, 94, 26);
  AddButton(9, QStringLiteral("元に戻す"), &TForm2::CuteButton9Click)->setGeometry(PanelLeft + 98, 416, 94, 26);

  const TCapturedRow row = BuildCapturedRow(FClient, QPoint(PanelLeft, 452));
  FEdit1 = row.Edit1;
  FEdit2 = row.Edit2;

  FModeBox = BuildPlayModeBox(FClient, this, QPoint(PanelLeft, 480),
                                            {[this] { RadioButton1Click(); }, [this] { RadioButton2Click(); },
                                             [this] { RadioButton3Click(); }});
  {
    // The design state: "交互" checked (start-up then checks "自由").
    const QSignalBlocker block(RadioButton1());
    RadioButton1()->setChecked(true);
  }
}

QAction *TForm2::AddItem(QWidget *menu, const char *name, const QString &caption, void (TForm2::*handler)()) {
  return AddMenuItem(menu, name, caption, this, [this, handler] { (this->*handler)(); }, FMenuItems);
}

void TForm2::BuildMenu() {
  QMenuBar *bar = menuBar();
  bar->setObjectName(QStringLiteral("MainMenu1"));
  auto submenu = [this, bar](const char *name, const QString &caption) {
    QMenu *m = bar->addMenu(caption);
    m->setObjectName(QString::fromLatin1(name));
    m->menuAction()->setObjectName(QString::fromLatin1(name));
    FMenuItems[QString::fromLatin1(name)] = m->menuAction();
    return m;
  };
  QMenu *n3 = submenu("N3", QStringLiteral("碁盤選択"));
  AddItem(n3, "N10", QStringLiteral("１９路盤"), &TForm2::N10Click);
  AddItem(n3, "N4", QStringLiteral("１３路盤"), &TForm2::N4Click);
  AddItem(n3, "N5", QStringLiteral("９路盤"), &TForm2::N5Click);
  AddItem(n3, "N7", QStringLiteral("五目並べ"), &TForm2::N7Click);
  AddItem(n3, "N8", QStringLiteral("五目並べ終了"), &TForm2::N8Click);
  QMenu *n1 = submenu("N1", QStringLiteral("打ち掛け"));
  AddItem(n1, "Save1", QStringLiteral("保存"), &TForm2::Save1Click);
  AddItem(n1, "N2", QStringLiteral("復元"), &TForm2::N2Click);
  records::InstallRecordMenu(this, bar);  // 棋譜: SGF records in and out
  versus::InstallPlayMenu(this, FDataModule, bar);  // 対局: a game against the computer
  AddItem(bar, "N9", QStringLiteral("地の計算"), &TForm2::N9Click);
  BuildSettingsMenu(bar);
  QMenu *n6 = submenu("N6", QStringLiteral("ヘルプ"));
  AddItem(n6, "ALLHelp", QStringLiteral("オンラインヘルプ"), &TForm2::ALLHelpClick);
  AddItem(n6, "VInfo", QStringLiteral("バージョン情報"), &TForm2::VInfoClick);
  AddItem(n6, "APEnd", QStringLiteral("終了"), &TForm2::APEndClick);
}

TCuteButton *TForm2::CuteButton(int k) const {
  auto it = FButtons.find(k);
  return it == FButtons.end() ? nullptr : it->second;
}

QAction *TForm2::MenuItem(const QString &name) const {
  auto it = FMenuItems.find(name);
  return it == FMenuItems.end() ? nullptr : it->second;
}

void TForm2::FormCreate() {
  ProgramDir = QCoreApplication::applicationDirPath() + QLatin1Char('/');
  HelpFile = ProgramDir + QStringLiteral("ミレトカ.hlp");
  ClearBoard();
  LessonMode = 1;
  PlayMode = PlayFree;
  BoardSize = 19;
  PointCount = 361;
  RadioButton2()->setChecked(true);
  ShowLearnerLayout();
  // The lesson steps: contents and figure of the first lesson.
  if (FDataModule) {
    // A missing or broken lesson directory leaves the lesson panel empty; the program shows
    // the data module's StartupError once the window is up.
    FDataModule->OpenLessons();
    CurrentFigure = FDataModule->CurrentFigure;
  }
  CuteButton(1)->hide();
  ShowLastLesson();
  Timer1Timer();  // the clock shows at once rather than after the first tick
}

void TForm2::N10Click() {
  ClearBoard();
  FLessonOpen = false;
  BoardSize = 19;
  PointCount = 361;
  PlayMode = PlayAlternate;
  RadioButton1()->setChecked(true);
  CurrentColor = 1;
  FStatusBar1->SetPanelText(0, QStringLiteral("始めてください。"));
}

void TForm2::SetSmallWindows(TForm3 *form3, TForm4 *form4) {
  FForm3 = form3;
  FForm4 = form4;
  // The small boards keep their games in the same lesson tables.
  for (TSmallBoardWindow *w : {static_cast<TSmallBoardWindow *>(form3), static_cast<TSmallBoardWindow *>(form4)})
    if (w) {
      w->SetDataModule(FDataModule);
      w->ShowCoordinates(FCoordinates && !FCoordinates->isHidden());
    }
}

void TForm2::N4Click() { PlayOnSmallBoard(FForm3, 13, true); }

// Unlike "１３路盤" this item does not choose alternate play itself: only the
// "交互" handler does, when the button was not checked before.
void TForm2::N5Click() { PlayOnSmallBoard(FForm4, 9, false); }

void TForm2::PlayOnSmallBoard(TSmallBoardWindow *window, int size, bool) {
  if (!window) return;
  const int mainMode = PlayMode;
  // The 19-line game (or lesson) waits while the small board is played: it is kept
  // whole and comes back as it was, so nothing unsaved is lost by a look at 9 lines.
  FBoard->CancelDeadMarking(true);
  const TBoardSnapshot mainGame = TakeSnapshot(*FBoard);
  TTakeBackStack<TStep> mainSteps = FTakeBack;
  const QString prompt = FStatusBar1->PanelText(0), comment = FStatusBar1->PanelText(1);
  KeepingLessonFigure([&] {
    BoardSize = size;
    PointCount = size * size;
    window->ClearWindow();
    // Every small board opens in alternate play with "交互" shown checked: the button
    // and the play mode always agree (there is no gomoku on a small board either).
    PlayMode = PlayAlternate;
    {
      const QSignalBlocker block(window->RadioButton1());
      window->RadioButton1()->setChecked(true);
    }
    CurrentColor = 1;
    window->exec();
    window->ClearWindow();
  });
  BoardSize = 19;
  PointCount = 361;
  PlayMode = mainMode;
  RestoreSnapshot(*FBoard, mainGame);
  FTakeBack = std::move(mainSteps);
  FStatusBar1->SetPanelText(0, prompt);
  ShowComment(comment);
}

void TForm2::KeepingLessonFigure(const std::function<void()> &action) {
  // Saving and restoring a game open the figure query on the saved game; a lesson open
  // on the board goes on from the row where it was.
  const int figure = CurrentFigure;
  const bool lesson = FLessonOpen && FDataModule && FDataModule->KuraQuery2.Active() && figure > 0 &&
                      figure != 19 && figure != 13 && figure != 9;
  const std::vector<uint8_t> row = lesson ? FDataModule->KuraQuery2.GetBookmark() : std::vector<uint8_t>();
  auto putBack = [&] {
    if (!lesson || (CurrentFigure == figure && FDataModule->KuraQuery2.Active())) return;
    CurrentFigure = figure;
    FDataModule->OpenFigure(figure);
    if (!row.empty() && !FDataModule->KuraQuery2.IsEmpty()) FDataModule->KuraQuery2.GotoBookmark(row);
  };
  try {
    action();
  } catch (...) {
    putBack();
    throw;
  }
  putBack();
}

// "打ち掛け": the game of the 19-line board, kept in the lesson tables.
void TForm2::Save1Click() {
  KeepingLessonFigure([this] { SaveGame(LessonData(FDataModule), 19); });
  FStatusBar1->SetPanelText(0, QStringLiteral("　保存しました。"));
  PlayFeedback(0);
}

void TForm2::N2Click() {
  TDataModule1 &dm = LessonData(FDataModule);
  ClearBoard();
  FLessonOpen = false;  // the board holds the restored game now
  RestoreGame(dm, 19, [this](int number, int color, int point) { DrawStone(number, color, point, 1, QString()); });
  FStatusBar1->SetPanelText(0, QStringLiteral("　復元しました。"));
  PlayFeedback(0);
}

void TForm2::ALLHelpClick() {
  if (ShowHelp) ShowHelp(this, HelpFile);
}

QString TForm2::VersionText() {
  return QStringLiteral("ミレトカ\r\nVersion 3.3\r\n\r\nCopyright (C) ミレトカ制作グループ All rights reserved.");
}

void TForm2::VInfoClick() { Reporter().ShowInformation(this, VersionText()); }

void TForm2::APEndClick() {
  // There is no sockets library to release on this platform.
  if (Reporter().AskYesNo(this, QStringLiteral("「ミレトカ」を終了していいですか？")) != TAnswer::No)
    if (Terminate) Terminate();
}

void TForm2::Timer1Timer() { FStatusBar1->SetPanelText(2, FormatClock(QDateTime::currentDateTime())); }

}  // namespace miretoka
