#include "app/board/SmallBoardWindow.h"

#include <QAction>
#include <QCoreApplication>
#include <QDateTime>
#include <QLineEdit>
#include <QMenuBar>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include "app/board/BoardControls.h"
#include "app/board/BoardCoordinates.h"
#include "app/data/DataModule.h"
#include "app/board/PlayRules.h"
#include "app/feedback/ErrorReporter.h"
#include "app/start/Fonts.h"
#include "app/board/PlayState.h"
#include "app/board/SavedGame.h"
#include "app/board/StatusClock.h"
#include "app/board/StatusPanels.h"
#include "app/board/WindowParts.h"
#include "controls/CuteButton.h"

namespace miretoka {

using namespace play;

namespace {
constexpr int ClientWidth = 742;   // 758 outer less the window frame
constexpr int WindowHeight = 568;  // 606 outer less frame and caption
constexpr int ClientHeight = 480;  // the board and the side panel
constexpr int PanelLeft = 500;     // the side panel to the right of the board
}  // namespace

TSmallBoardWindow::TSmallBoardWindow(const char *name, const TBoardGeometry &geometry, const QString &undoCaption,
                                     QWidget *parent)
    : QDialog(parent), FGeometry(geometry) {
  setObjectName(QString::fromLatin1(name));
  setWindowTitle(QStringLiteral("ミレトカ"));
  setModal(true);
  setFont(WindowFont(12));
  QPalette pal = palette();
  pal.setColor(QPalette::Window, WindowColor());
  setPalette(pal);
  setAutoFillBackground(true);

  Terminate = [this] {
    close();
    QCoreApplication::exit(0);
  };

  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  FMainMenu1 = new QMenuBar(this);
  FMainMenu1->setObjectName(QStringLiteral("MainMenu1"));
  layout->setMenuBar(FMainMenu1);
  FClient = new QWidget(this);
  FClient->setObjectName(QStringLiteral("Client"));
  FClient->setMinimumSize(ClientWidth, ClientHeight);
  layout->addWidget(FClient, 1);
  FStatusBar1 = new TStatusPanels(this, {{300, false}, {300, false}, {50, true}});
  FStatusBar1->setObjectName(QStringLiteral("StatusBar1"));
  layout->addWidget(FStatusBar1);

  TBoardParts parts = BuildBoard(FClient, FGeometry, [this](TPointLabel *sender, Qt::MouseButton button,
                                                           Qt::KeyboardModifiers shift) {
    RunHandler(this, [&] { Label1MouseDown(sender, button, shift); });
  });
  FShapes = parts.Shapes;
  FCoordinates = new TBoardCoordinates(FClient, FGeometry);
  FCoordinates->hide();

  FCuteButton1 = AddCommandButton(FClient, this, 1, undoCaption, [this] { CuteButton1Click(); });
  FCuteButton1->setGeometry(PanelLeft, 300, 94, 26);
  FCuteButton2 = AddCommandButton(FClient, this, 2, QStringLiteral("クリア"), [this] { CuteButton2Click(); });
  FCuteButton2->setGeometry(PanelLeft + 98, 300, 94, 26);
  const TCapturedRow row = BuildCapturedRow(FClient, QPoint(PanelLeft, 340));
  FModeBox = BuildPlayModeBox(FClient, this, QPoint(PanelLeft, 370),
                                            {[this] { RadioButton1Click(); }, [this] { RadioButton2Click(); },
                                             [this] { RadioButton3Click(); }});
  FBoard = std::make_unique<TPlayBoard>(std::move(parts.Images), std::move(parts.Labels), row.Edit1, row.Edit2);

  // The clock of these windows is set once a minute; it stays empty until then.
  FTimer1 = new QTimer(this);
  FTimer1->setObjectName(QStringLiteral("Timer1"));
  FTimer1->setInterval(60000);
  connect(FTimer1, &QTimer::timeout, this, [this] { RunHandler(this, [this] { Timer1Timer(); }); });
  FTimer1->start();

  resize(ClientWidth, WindowHeight);
  FormCreate();
}

TSmallBoardWindow::~TSmallBoardWindow() = default;

QAction *TSmallBoardWindow::MenuItem(const QString &name) const {
  auto it = FMenuItems.find(name);
  return it == FMenuItems.end() ? nullptr : it->second;
}

QAction *TSmallBoardWindow::AddItem(QWidget *menu, const char *name, const QString &caption,
                                    std::function<void()> handler) {
  return AddMenuItem(menu, name, caption, this, std::move(handler), FMenuItems);
}

void TSmallBoardWindow::showEvent(QShowEvent *event) {
  // Each opening shows the window in the middle of the desktop.
  if (QScreen *s = screen()) {
    QRect frame = frameGeometry();
    frame.moveCenter(s->availableGeometry().center());
    move(frame.topLeft());
  }
  QDialog::showEvent(event);
}

int TSmallBoardWindow::PointFromLabel(const TPointLabel *label) const {
  const int column = FGeometry.ColumnAt(label->x());
  const int row = FGeometry.RowAt(label->y());
  return column * BoardSize + row + 1;
}

void TSmallBoardWindow::DrawStone(int moveNumber, int color, int point, int code) {
  if (!FBoard->HasPoint(point) || code > 2) return;  // these boards know no marks
  FBoard->LoadStone(point, color == 1 ? 1 : 2);
  Label(point)->SetFontColor(color == 1 ? Qt::white : Qt::black);
  FBoard->ShowNumber(moveNumber, point, code);
  FBoard->CaptureAround(moveNumber, point);
}

void TSmallBoardWindow::ClearWindow() {
  ResetPlayCounters();
  LastPoint = 0;
  FTakeBack.Clear();
  // A marking of dead stones that was never confirmed ends with the board.
  FBoard->CancelDeadMarking(false);
  Edit1()->setText(QStringLiteral("0"));
  Edit2()->setText(QStringLiteral("0"));
  FStatusBar1->SetPanelText(0, QString());
  for (int k = 1; k <= FBoard->Points(); ++k) {
    Image(k)->Clear();
    Label(k)->setText(QString());
    Board[static_cast<std::size_t>(k - 1)] = 0;
  }
  FStatusBar1->SetPanelText(0, QStringLiteral("始めてください。"));
}

void TSmallBoardWindow::FormCreate() { ClearWindow(); }

void TSmallBoardWindow::ShowCoordinates(bool shown) { FCoordinates->setVisible(shown); }

void TSmallBoardWindow::Label1MouseDown(TPointLabel *sender, Qt::MouseButton button, Qt::KeyboardModifiers shift) {
  FStatusBar1->SetPanelText(0, QString());
  // Only while this window's size is the board in play: a click never works
  // on the cells of another board's geometry.
  if (BoardSize != Lines() || PointCount != FBoard->Points()) return;
  const int point = PointFromLabel(sender);
  if (!FBoard->HasPoint(point)) return;
  const bool occupied = Board[static_cast<std::size_t>(point - 1)] > 0;
  if (shift == Qt::ShiftModifier && (button == Qt::LeftButton || button == Qt::RightButton)) {
    // Shift-click takes a stone off as a prisoner, outside the move history.
    if (occupied) {
      FTakeBack.Push(TakeSnapshot(*FBoard));
      FBoard->TakeOff(point);
      FBoard->ShowCaptured();
    }
    return;
  }
  if (PlayMode != PlayEndOfGame && occupied) return;
  if (PlayMode == PlayAlternate || PlayMode == PlayFree || (DeadMarked == 1 && IsInDeadList(point)))
    FTakeBack.Push(TakeSnapshot(*FBoard));
  switch (PlayMode) {
    case PlayAlternate:
      MoveNumber += 1;
      RecordMove(MoveNumber, CurrentColor, point);
      DrawStone(MoveNumber, CurrentColor, point, 1);
      PlayFeedback(0);
      CurrentColor = NextColor(CurrentColor);
      break;
    case PlayFree:
      MoveNumber = 0;
      CurrentColor = button == Qt::LeftButton ? 1 : 2;
      RecordMove(0, CurrentColor, point);
      DrawStone(0, CurrentColor, point, 0);
      break;
    case PlayEndOfGame:
      FBoard->MarkDeadStones(point);
      break;
    default:
      break;  // no gomoku on these boards
  }
}

void TSmallBoardWindow::CuteButton1Click() {
  FStatusBar1->SetPanelText(0, QString());
  if (!FTakeBack.Empty()) {
    RestoreSnapshot(*FBoard, FTakeBack.Pop());
  } else if (MoveCount != 0) {  // a restored game's moves
    FBoard->UndoMove();
  } else {
    FStatusBar1->SetPanelText(0, QStringLiteral("もう戻せません。"));
    PlayFeedback(0);
  }
}

void TSmallBoardWindow::CuteButton2Click() {
  const int mode = PlayMode;
  if (!MovesToSave().empty()) SaveGame(LessonData(FDataModule), Lines());
  ClearWindow();
  PlayMode = mode;
  // "自由" takes over from the end of the game; its handler runs only if it
  // was not checked already.
  if (mode == PlayAlternate)
    RadioButton1()->setChecked(true);
  else
    RadioButton2()->setChecked(true);
}

void TSmallBoardWindow::RadioButton1Click() { SelectAlternate(*FBoard); }

void TSmallBoardWindow::RadioButton2Click() { SelectFree(*FBoard); }

void TSmallBoardWindow::RadioButton3Click() { SelectEndOfGame(this); }

void TSmallBoardWindow::SaveCommand() {
  SaveGame(LessonData(FDataModule), Lines());
  FStatusBar1->SetPanelText(0, QStringLiteral("　保存しました。"));
  PlayFeedback(0);
}

void TSmallBoardWindow::RestoreCommand() {
  TDataModule1 &dm = LessonData(FDataModule);
  ClearWindow();
  RestoreGame(dm, Lines(), [this](int number, int color, int point) { DrawStone(number, color, point, 1); });
  FStatusBar1->SetPanelText(0, QStringLiteral("　復元しました。"));
  PlayFeedback(0);
}

void TSmallBoardWindow::CountCommand() {
  // Counted in every play mode on these boards.
  FStatusBar1->SetPanelText(0, TerritoryText());
  PlayFeedback(0);
}

void TSmallBoardWindow::MainBoardCommand() { close(); }

void TSmallBoardWindow::ExitCommand() {
  if (Reporter().AskYesNo(this, QStringLiteral("「ミレトカ」を終了していいですか？")) != TAnswer::No)
    if (Terminate) Terminate();
}

void TSmallBoardWindow::Timer1Timer() {
  FStatusBar1->SetPanelText(2, FormatClock(QDateTime::currentDateTime()));
}

}  // namespace miretoka
