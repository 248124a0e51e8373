// TForm2: construction of the window, its menu bar, status bar and clock, the
// layout of the side panel, and the window-level commands (help, version, quit).
#include "app/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QRadioButton>
#include <QScrollArea>
#include <QTableWidget>
#include <QTimer>

#include "app/AppStart.h"
#include "app/DataModule.h"
#include "app/ErrorReporter.h"
#include "app/Fonts.h"
#include "app/PlayState.h"
#include "app/StatusClock.h"
#include "app/StatusPanels.h"
#include "app/help/HelpViewer.h"
#include "controls/CuteButton.h"

namespace miretoka {

using namespace play;

namespace {
constexpr int ClientWidth = 750;   // 766 outer less the window frame
constexpr int ClientHeight = 540;  // the board and a little margin
constexpr int PanelLeft = 552;     // the side panel to the right of the board
const QColor WindowColor(240, 240, 255);
const QColor GroupBoxColor(250, 235, 235);
}  // namespace

TForm2::TForm2(TDataModule1 *dataModule, QWidget *parent) : QMainWindow(parent), FDataModule(dataModule) {
  setObjectName(QStringLiteral("Form2"));
  setWindowTitle(QStringLiteral("ミレトカ"));
  setFont(WindowFont(12));
  QPalette pal = palette();
  pal.setColor(QPalette::Window, WindowColor);
  setPalette(pal);
  setAutoFillBackground(true);

  ShowHelp = [](QWidget *w, const QString &file) { ShowHelpContents(w, file); };
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

  BuildBoard();
  BuildSidePanel();
  BuildMenu();

  FStatusBar1 = new TStatusPanels(this, {{300, false}, {300, false}, {50, true}});
  FStatusBar1->setObjectName(QStringLiteral("StatusBar1"));
  setStatusBar(FStatusBar1);

  FTimer1 = new QTimer(this);
  FTimer1->setObjectName(QStringLiteral("Timer1"));
  FTimer1->setInterval(1000);
  connect(FTimer1, &QTimer::timeout, this, [this] { RunHandler(this, [this] { Timer1Timer(); }); });
  FTimer1->start();

  resize(ClientWidth, menuBar()->sizeHint().height() + ClientHeight + FStatusBar1->sizeHint().height());

  FormCreate();
}

TForm2::~TForm2() = default;

void TForm2::BuildBoard() {
  // Stacking from bottom to top follows the order of creation: background,
  // lines, star points, pictures, labels.
  auto *bg = new TShape(FClient, TShape::TKind::Rectangle, BoardColor());
  bg->setGeometry(0, 0, 536, 536);
  FShapes[1] = bg;
  for (int r = 0; r < 19; ++r) {
    auto *line = new TShape(FClient, TShape::TKind::Rectangle, Qt::black);
    line->setGeometry(16, 16 + 28 * r, 504, (r == 0 || r == 18) ? 2 : 1);
    FShapes[static_cast<std::size_t>(2 + r)] = line;
  }
  for (int c = 0; c < 19; ++c) {
    auto *line = new TShape(FClient, TShape::TKind::Rectangle, Qt::black);
    line->setGeometry(16 + 28 * c, 16, (c == 0 || c == 18) ? 2 : 1, 504);
    FShapes[static_cast<std::size_t>(21 + c)] = line;
  }
  int star = 40;
  for (int x : {98, 266, 434})
    for (int y : {98, 266, 434}) {
      auto *s = new TShape(FClient, TShape::TKind::Circle, Qt::black);
      s->setGeometry(x, y, 5, 5);
      FShapes[static_cast<std::size_t>(star++)] = s;
    }
  for (std::size_t i = 1; i < FShapes.size(); ++i)
    if (FShapes[i]) FShapes[i]->setObjectName(QStringLiteral("Shape%1").arg(i));

  for (int c = 0; c < 19; ++c)
    for (int r = 0; r < 19; ++r) {
      const int k = c * 19 + r + 1;
      auto *img = new TPointImage(FClient);
      img->setObjectName(QStringLiteral("Image%1").arg(k));
      img->setGeometry(2 + 28 * c, 2 + 28 * r, 28, 28);
      FImages[static_cast<std::size_t>(k)] = img;
    }
  for (int c = 0; c < 19; ++c)
    for (int r = 0; r < 19; ++r) {
      const int k = c * 19 + r + 1;
      auto *label = new TPointLabel(FClient, k);
      label->setObjectName(QStringLiteral("Label%1").arg(k));
      label->setGeometry(4 + 28 * c, 9 + 28 * r, 26, 16);
      label->OnMouseDown = [this](TPointLabel *sender, Qt::MouseButton button, Qt::KeyboardModifiers shift) {
        RunHandler(this, [&] { Label1MouseDown(sender, button, shift); });
      };
      FLabels[static_cast<std::size_t>(k)] = label;
    }
}

TCuteButton *TForm2::AddButton(int number, const QString &caption, void (TForm2::*handler)()) {
  auto *b = new TCuteButton(FClient);
  b->setObjectName(QStringLiteral("CuteButton%1").arg(number));
  b->SetCaption(caption);
  if (handler)
    b->OnClick = [this, handler](TCuteButton *) { RunHandler(this, [&] { (this->*handler)(); }); };
  FButtons[number] = b;
  return b;
}

void TForm2::BuildSidePanel() {
  // The layout toggle, hidden from start-up on.
  AddButton(1, QStringLiteral("入門"), nullptr)->setGeometry(PanelLeft + 128, 0, 64, 20);

  FDBGrid1 = new QTableWidget(0, 1, FClient);
  FDBGrid1->setObjectName(QStringLiteral("DBGrid1"));
  FDBGrid1->setHorizontalHeaderLabels({QStringLiteral("目次")});
  FDBGrid1->horizontalHeader()->setStretchLastSection(true);
  FDBGrid1->verticalHeader()->setDefaultSectionSize(18);
  FDBGrid1->verticalHeader()->setFixedWidth(12);
  FDBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  FDBGrid1->setGeometry(PanelLeft, 20, 192, 276);

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

  AddButton(10, QStringLiteral("解答表示"), nullptr)->setGeometry(PanelLeft, 352, 192, 26);
  AddButton(5, QStringLiteral("1手進む"), &TForm2::CuteButton5Click)->setGeometry(PanelLeft, 384, 94, 26);
  AddButton(7, QStringLiteral("1手戻す"), &TForm2::CuteButton7Click)->setGeometry(PanelLeft + 98, 384, 94, 26);
  AddButton(6, QStringLiteral("クリア"), &TForm2::CuteButton6Click)->setGeometry(PanelLeft, 416, 94, 26);
  AddButton(9, QStringLiteral("元に戻す"), &TForm2::CuteButton9Click)->setGeometry(PanelLeft + 98, 416, 94, 26);

  auto addText = [this](const char *name, const QString &text, int x, int y, int w) {
    auto *l = new QLabel(text, FClient);
    l->setObjectName(QString::fromLatin1(name));
    l->setGeometry(x, y, w, 20);
    return l;
  };
  addText("LabelAgeishi", QStringLiteral("アゲ石："), PanelLeft, 452, 48);
  addText("LabelBlack", QStringLiteral("黒番"), PanelLeft + 50, 452, 28);
  FEdit1 = new QLineEdit(QStringLiteral("0"), FClient);
  FEdit1->setObjectName(QStringLiteral("Edit1"));
  FEdit1->setGeometry(PanelLeft + 78, 451, 36, 22);
  addText("LabelWhite", QStringLiteral("白番"), PanelLeft + 122, 452, 28);
  FEdit2 = new QLineEdit(QStringLiteral("0"), FClient);
  FEdit2->setObjectName(QStringLiteral("Edit2"));
  FEdit2->setGeometry(PanelLeft + 150, 451, 36, 22);
  for (QLineEdit *e : {FEdit1, FEdit2}) e->setAlignment(Qt::AlignRight);

  FGroupBox1 = new QGroupBox(FClient);
  FGroupBox1->setObjectName(QStringLiteral("GroupBox1"));
  FGroupBox1->setGeometry(PanelLeft, 480, 192, 44);
  QPalette gp = FGroupBox1->palette();
  gp.setColor(QPalette::Window, GroupBoxColor);
  FGroupBox1->setPalette(gp);
  FGroupBox1->setAutoFillBackground(true);
  const QString captions[3] = {QStringLiteral("交互"), QStringLiteral("自由"), QStringLiteral("終局")};
  QRadioButton **buttons[3] = {&FRadioButton1, &FRadioButton2, &FRadioButton3};
  void (TForm2::*handlers[3])() = {&TForm2::RadioButton1Click, &TForm2::RadioButton2Click,
                                   &TForm2::RadioButton3Click};
  for (int i = 0; i < 3; ++i) {
    auto *rb = new QRadioButton(captions[i], FGroupBox1);
    rb->setObjectName(QStringLiteral("RadioButton%1").arg(i + 1));
    rb->setGeometry(10 + 60 * i, 12, 56, 22);
    // A radio button's handler runs when it goes from unchecked to checked,
    // whether the user clicked it or the program checked it.
    auto handler = handlers[i];
    connect(rb, &QRadioButton::toggled, this, [this, handler](bool checked) {
      if (checked) RunHandler(this, [&] { (this->*handler)(); });
    });
    *buttons[i] = rb;
  }
  {
    // The design state: "交互" checked (start-up then checks "自由").
    const QSignalBlocker block(FRadioButton1);
    FRadioButton1->setChecked(true);
  }
}

QAction *TForm2::AddItem(QMenu *menu, const char *name, const QString &caption, void (TForm2::*handler)()) {
  QAction *a = menu->addAction(caption);
  a->setObjectName(QString::fromLatin1(name));
  if (handler)
    connect(a, &QAction::triggered, this, [this, handler] { RunHandler(this, [&] { (this->*handler)(); }); });
  FMenuItems[a->objectName()] = a;
  return a;
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
  QAction *n9 = bar->addAction(QStringLiteral("地の計算"));
  n9->setObjectName(QStringLiteral("N9"));
  connect(n9, &QAction::triggered, this, [this] { RunHandler(this, [this] { N9Click(); }); });
  FMenuItems[QStringLiteral("N9")] = n9;
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
  FRadioButton2->setChecked(true);
  ShowLearnerLayout();
  // The lesson steps: contents and figure of the first lesson.
  if (FDataModule) {
    FDataModule->OpenContents(QStringLiteral("Where MNB > 0"));
    CurrentFigure = FDataModule->FirstContentsMnb();
    FDataModule->OpenFigure(CurrentFigure);
  }
  CuteButton(1)->hide();
  Timer1Timer();  // the clock shows at once rather than after the first tick
}

void TForm2::ShowLearnerLayout() {
  for (int k : {2, 3, 8, 4, 11})
    if (TCuteButton *b = CuteButton(k)) b->hide();
  auto setTop = [](QWidget *w, int top) { w->move(w->x(), top); };
  setTop(CuteButton(5), 384);
  setTop(CuteButton(7), 384);
  setTop(CuteButton(6), 416);
  setTop(CuteButton(9), 416);
  CuteButton(10)->setEnabled(false);
  setTop(CuteButton(10), 352);
  FComboBox1->setEnabled(false);
  FComboBox2->setEnabled(false);
  setTop(FComboBox1, 324);
  setTop(FComboBox2, 324);
  for (const char *name : {"LabelAgeishi", "LabelBlack", "LabelWhite"})
    if (auto *w = FClient->findChild<QWidget *>(QString::fromLatin1(name))) w->show();
  FEdit1->show();
  FEdit2->show();
  FGroupBox1->show();
  FDBGrid1->setGeometry(FDBGrid1->x(), 20, FDBGrid1->width(), 276);
}

void TForm2::N10Click() {
  ClearBoard();
  BoardSize = 19;
  PointCount = 361;
  PlayMode = PlayAlternate;
  FRadioButton1->setChecked(true);
  CurrentColor = 1;
  FStatusBar1->SetPanelText(0, QStringLiteral("始めてください。"));
}

// The 13- and 9-line windows and the saved game come with their own work;
// until then these items are present and do nothing.
void TForm2::N4Click() {}
void TForm2::N5Click() {}
void TForm2::Save1Click() {}
void TForm2::N2Click() {}

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
