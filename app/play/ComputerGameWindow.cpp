#include "app/play/ComputerGameWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QProgressBar>
#include <QVBoxLayout>
#include <cmath>

#include "app/board/BoardControls.h"
#include "app/board/PlayBoard.h"
#include "app/board/PlayState.h"
#include "app/board/SmallBoardWindows.h"
#include "app/board/StatusPanels.h"
#include "app/board/WindowParts.h"
#include "app/feedback/ErrorReporter.h"
#include "app/play/EngineProcess.h"
#include "app/start/Fonts.h"
#include "controls/CuteButton.h"
#include "go/Point.h"
#include "go/Rules.h"
#include "go/match/Handicap.h"
#include "go/match/Score.h"

namespace miretoka::versus {

using go::match::TRefusal;

namespace {

TBoardGeometry GeometryOf(int size) {
  if (size == 13) return TForm3::Design();
  if (size == 9) return TForm4::Design();
  // The main window's 19-line board, a little away from the window's edge.
  TBoardGeometry g;
  g.Lines = 19;
  g.Origin = QPoint(8, 8);
  for (int c : {3, 9, 15})
    for (int r : {3, 9, 15}) g.Stars.emplace_back(c, r);
  return g;
}

const QColor MarkColor(220, 0, 0);

// A stone picture of the program's folder, or a drawn stone when the picture cannot be read.
QPixmap StonePicture(int color) {
  try {
    return LoadStonePicture(play::ProgramDir + (color == 1 ? QStringLiteral("stB.bmp") : QStringLiteral("stW.bmp")));
  } catch (const EMediaError &) {
    QPixmap p(26, 26);
    p.fill(Qt::transparent);
    QPainter painter(&p);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::black);
    painter.setBrush(color == 1 ? Qt::black : Qt::white);
    painter.drawEllipse(QRectF(1, 1, 24, 24));
    return p;
  }
}

}  // namespace

QString RefusalText(TRefusal refusal) {
  switch (refusal) {
    case TRefusal::None: return {};
    case TRefusal::Occupied: return QStringLiteral("そこにはもう石があります。");
    case TRefusal::Suicide: return QStringLiteral("そこに打つと自分の石に息がなくなります。自殺手は打てません。");
    case TRefusal::Ko: return QStringLiteral("コウです。すぐには取り返せません。ほかに一手打ってからにしましょう。");
    case TRefusal::WrongTurn: return QStringLiteral("コンピュータの番です。お待ちください。");
    case TRefusal::NotOnBoard: return QStringLiteral("碁盤の外です。");
    case TRefusal::Over: return QStringLiteral("対局は終わりました。");
  }
  return {};
}

QString PointsText(double points) {
  const double a = std::fabs(points);
  const long whole = static_cast<long>(std::floor(a + 1e-9));
  const bool half = a - static_cast<double>(whole) > 0.25;
  const QString sign = points < 0 ? QStringLiteral("－") : QString();
  if (whole == 0 && half) return sign + QStringLiteral("半目");
  return sign + QString::number(whole) + (half ? QStringLiteral("目半") : QStringLiteral("目"));
}

TComputerGameWindow::TComputerGameWindow(const TGameSettings &settings, TDataModule1 *dataModule, QWidget *parent)
    : QDialog(parent), FSettings(settings), FDataModule(dataModule), FGeometry(GeometryOf(settings.Size)),
      FMatch(settings.Size, go::match::HandicapPoints(settings.Size, settings.Handicap)) {
  setObjectName(QStringLiteral("ComputerGame"));
  setWindowTitle(QStringLiteral("ミレトカ - コンピュータと対局（%1路盤）").arg(settings.Size));
  setModal(false);
  setFont(WindowFont(12));
  QPalette pal = palette();
  pal.setColor(QPalette::Window, WindowColor());
  setPalette(pal);
  setAutoFillBackground(true);
  ChooseFile = [](QWidget *parent, const QString &suggested) {
    return QFileDialog::getSaveFileName(parent, QStringLiteral("棋譜の保存"), suggested,
                                        QStringLiteral("SGF 棋譜 (*.sgf)"));
  };
  BuildWindow();
  Redraw();
  SetStatus(QStringLiteral("コンピュータを呼んでいます…"));
}

TComputerGameWindow::~TComputerGameWindow() {
  ++FGeneration;
  if (FProcess) FProcess->Client().Shutdown();
}

void TComputerGameWindow::BuildWindow() {
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  FMenu = new QMenuBar(this);
  FMenu->setObjectName(QStringLiteral("MainMenu1"));
  layout->setMenuBar(FMenu);
  QMenu *game = FMenu->addMenu(QStringLiteral("対局"));
  game->setObjectName(QStringLiteral("Game"));
  AddMenuItem(game, "GameSaveRecord", QStringLiteral("棋譜の保存（SGF）…"), this, [this] { SaveRecordCommand(); },
              FMenuItems);
  AddMenuItem(game, "GameSaveAdjourned", QStringLiteral("打ち掛け 保存"), this, [this] { SaveAdjournedCommand(); },
              FMenuItems);
  AddMenuItem(game, "GameClose", QStringLiteral("閉じる"), this, [this] { close(); }, FMenuItems);

  auto *client = new QWidget(this);
  client->setObjectName(QStringLiteral("Client"));
  const int boardRight = FGeometry.Origin.x() + FGeometry.BackgroundSize();
  const int left = boardRight + 32;
  client->setMinimumSize(left + 250, std::max(480, FGeometry.Origin.y() + FGeometry.BackgroundSize() + 16));
  layout->addWidget(client, 1);
  FStatus = new TStatusPanels(this, {{client->minimumWidth() - 170, false}, {170, false}});
  FStatus->setObjectName(QStringLiteral("StatusBar1"));
  layout->addWidget(FStatus);

  TBoardParts parts = BuildBoard(client, FGeometry, [this](TPointLabel *sender, Qt::MouseButton, Qt::KeyboardModifiers) {
    RunHandler(this, [&] { ClickPoint(sender->PointNumber()); });
  });
  FImages = std::move(parts.Images);
  FLabels = std::move(parts.Labels);

  const int top = std::max(40, FGeometry.Origin.y());
  FPlayers = new QLabel(client);
  FPlayers->setObjectName(QStringLiteral("Players"));
  const QString you = FSettings.LearnerColor == 1 ? QStringLiteral("黒") : QStringLiteral("白");
  const QString it = FSettings.LearnerColor == 1 ? QStringLiteral("白") : QStringLiteral("黒");
  QString players = QStringLiteral("あなた：%1\nコンピュータ：%2（レベル %3）\nコミ：%4")
                        .arg(you, it)
                        .arg(FSettings.Level)
                        .arg(PointsText(FSettings.Komi));
  if (FSettings.Handicap >= 2) players += QStringLiteral("　置き石：%1 子").arg(FSettings.Handicap);
  FPlayers->setText(players);
  FPlayers->setGeometry(left, top, 220, 60);
  FPrisoners = new QLabel(client);
  FPrisoners->setObjectName(QStringLiteral("Prisoners"));
  FPrisoners->setGeometry(left, top + 66, 220, 20);

  auto button = [&](int number, const QString &caption, int row, int column, std::function<void()> handler) {
    TCuteButton *b = AddCommandButton(client, this, number, caption, std::move(handler));
    b->setGeometry(left + column * 104, top + 100 + row * 34, 98, 28);
    return b;
  };
  FUndo = button(1, QStringLiteral("1手戻す"), 0, 0, [this] { UndoCommand(); });
  FPass = button(2, QStringLiteral("パス"), 0, 1, [this] { PassCommand(); });
  FHint = button(3, QStringLiteral("ヒント"), 1, 0, [this] { HintCommand(); });
  FResign = button(4, QStringLiteral("投了"), 1, 1, [this] { ResignCommand(); });
  FCount = button(5, QStringLiteral("計算"), 2, 0, [this] { CountCommand(); });

  FBusy = new QProgressBar(client);
  FBusy->setObjectName(QStringLiteral("Busy"));
  FBusy->setRange(0, 0);  // runs without an end while the engine thinks
  FBusy->setTextVisible(false);
  FBusy->setGeometry(left, top + 210, 202, 14);
  FBusy->hide();

  FResult = new QLabel(client);
  FResult->setObjectName(QStringLiteral("Result"));
  FResult->setFont(WindowFont(18));
  FResult->setStyleSheet(QStringLiteral("color: rgb(0, 0, 128); font-weight: bold;"));
  FResult->setGeometry(left, top + 236, 220, 32);
  FScore = new QLabel(client);
  FScore->setObjectName(QStringLiteral("Score"));
  FScore->setGeometry(left, top + 272, 244, 100);
  FScore->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  FScore->setWordWrap(true);
}

QAction *TComputerGameWindow::MenuItem(const QString &name) const {
  auto i = FMenuItems.find(name);
  return i == FMenuItems.end() ? nullptr : i->second;
}

bool TComputerGameWindow::EngineBusy() const { return FWaiting > 0; }

bool TComputerGameWindow::CommandsPending() const {
  return FProcess && !FProcess->Client().Broken() && FProcess->Client().Busy();
}

void TComputerGameWindow::SetStatus(const QString &text) { FStatus->SetPanelText(0, text); }

void TComputerGameWindow::SetWaiting(int delta) {
  FWaiting = std::max(0, FWaiting + delta);
  FBusy->setVisible(FWaiting > 0);
  FStatus->SetPanelText(1, FWaiting > 0 ? QStringLiteral("コンピュータが考えています…") : QString());
  UpdateButtons();
}

void TComputerGameWindow::Redraw() {
  const go::TBoard &board = FMatch.Board();
  const QPixmap black = StonePicture(1), white = StonePicture(2);
  std::vector<int> territory;
  if (FPhase == TPhase::Over && FSgfResult.find("+R") == std::string::npos)
    territory = go::match::TerritoryMap(FMatch, std::vector<int>(FDead.begin(), FDead.end()));
  const int last = FMatch.LastPoint();
  for (int p = 1; p <= board.PointCount(); ++p) {
    const int v = board.At(p);
    if (v == 0)
      Image(p)->Clear();
    else
      Image(p)->SetPicture(v == 1 ? black : white);
    TPointLabel *label = Label(p);
    QString text;
    QColor color = v == 1 ? Qt::white : Qt::black;
    const QColor mark = v == 1 ? QColor(255, 120, 120) : MarkColor;  // light enough on a black stone
    if (FDead.count(p)) {
      text = QStringLiteral("×");
      color = mark;
    } else if (p == FHintPoint) {
      text = QStringLiteral("◎");
      color = MarkColor;
    } else if (p == last && v != 0) {
      text = QString::number(static_cast<int>(FMatch.Moves().size()));
      color = mark;
    } else if (!territory.empty() && territory[static_cast<size_t>(p - 1)] != 0 && (v == 0 || FDead.count(p))) {
      text = QStringLiteral("■");
      color = territory[static_cast<size_t>(p - 1)] == 1 ? Qt::black : Qt::white;
    }
    label->setText(text);
    label->SetFontColor(color);
    label->SetBold(p == last);
  }
  FPrisoners->setText(QStringLiteral("アゲハマ　黒：%1　白：%2").arg(board.WhiteCaptured()).arg(board.BlackCaptured()));
  UpdateButtons();
}

void TComputerGameWindow::UpdateButtons() {
  // While the engine thinks only 投了 is of use.
  const bool playing = FPhase == TPhase::Playing && FWaiting == 0;
  FPass->setEnabled(playing);
  FHint->setEnabled(playing);
  FUndo->setEnabled(playing);
  FResign->setEnabled(FPhase == TPhase::Playing || (FPhase == TPhase::Marking && !FCounted));
  FCount->setEnabled(FPhase == TPhase::Marking && FWaiting == 0);
}

void TComputerGameWindow::ClickPoint(int point) {
  if (FPhase == TPhase::Marking) {
    ToggleDead(point);
    return;
  }
  if (FPhase == TPhase::Over && FCounted && FMatch.Board().At(point) != 0) {
    // A second thought about a group after the count: mark it and count again.
    FPhase = TPhase::Marking;
    ToggleDead(point);
    CountCommand();
    return;
  }
  if (FPhase == TPhase::Over || FPhase == TPhase::Broken) {
    SetStatus(NotPlayingText());
    return;
  }
  if (FPhase == TPhase::Starting || EngineBusy() || !LearnerToMove()) {
    SetStatus(RefusalText(TRefusal::WrongTurn));
    return;
  }
  const TRefusal refusal = FMatch.Play(FSettings.LearnerColor, point);
  if (refusal != TRefusal::None) {
    SetStatus(RefusalText(refusal));
    return;
  }
  PlayFeedback(0);
  const int generation = FGeneration;
  FEngine->Play(FSettings.LearnerColor, point, [this, generation, point](const go::gtp::TReply &r) {
    if (generation != FGeneration || r.Fault != go::gtp::TFault::None) return;
    if (!r.Success) {
      // The engine does not take a move our rules allow: the two views of the game differ.
      EngineNonsense(QStringLiteral("%1 を受け付けませんでした（%2）")
                         .arg(QString::fromStdString(go::gtp::VertexText(FMatch.Size(), point)),
                              QString::fromStdString(r.Text)));
    }
  });
  AfterMove();
}

void TComputerGameWindow::PassCommand() {
  if (FPhase != TPhase::Playing || EngineBusy() || !LearnerToMove()) {
    SetStatus(FPhase == TPhase::Playing ? RefusalText(TRefusal::WrongTurn) : NotPlayingText());
    return;
  }
  FMatch.Play(FSettings.LearnerColor, 0);
  FEngine->Play(FSettings.LearnerColor, 0, nullptr);
  AfterMove();
}

// After the learner's move: the engine's turn, or the end when both passed.
void TComputerGameWindow::AfterMove() {
  FHintPoint = 0;
  if (FMatch.TwoPasses()) {
    StartMarking();
    return;
  }
  Redraw();
  EngineMove();
}

void TComputerGameWindow::UndoCommand() {
  if (FPhase != TPhase::Playing) {
    SetStatus(NotPlayingText());
    return;
  }
  if (EngineBusy()) {
    SetStatus(RefusalText(TRefusal::WrongTurn));
    return;
  }
  // Back to the learner's last move, which goes too.
  const auto &moves = FMatch.Moves();
  int back = 0;
  for (int i = static_cast<int>(moves.size()) - 1; i >= 0; --i) {
    ++back;
    if (moves[static_cast<size_t>(i)].Color == FSettings.LearnerColor) break;
    if (i == 0) back = 0;  // only the engine's moves: nothing of the learner's to take back
  }
  if (back == 0) {
    SetStatus(QStringLiteral("もう戻せません。"));
    return;
  }
  for (int i = 0; i < back; ++i) {
    FMatch.Undo();
    FEngine->Undo([this, generation = FGeneration](const go::gtp::TReply &r) {
      if (generation == FGeneration && r.Fault == go::gtp::TFault::None && !r.Success)
        EngineNonsense(QStringLiteral("待ったを受け付けませんでした"));
    });
  }
  FHintPoint = 0;
  Redraw();
  SetStatus(QStringLiteral("%1手戻しました。あなたの番です。").arg(back));
}

void TComputerGameWindow::ResignCommand() {
  if (FPhase != TPhase::Playing && (FPhase != TPhase::Marking || FCounted)) {
    SetStatus(NotPlayingText());
    return;
  }
  if (Reporter().AskYesNo(this, QStringLiteral("投了しますか？")) != TAnswer::Yes) return;
  FDead.clear();
  Finish();
  FHintPoint = 0;
  FResultText = QString::fromStdString(go::match::ResignationText(EngineColor()));
  FSgfResult = go::match::SgfResignation(EngineColor());
  FResult->setText(FResultText);
  Redraw();
  SetStatus(QStringLiteral("あなたが投了しました。%1です。").arg(FResultText));
  PlayFeedback(1);
}

void TComputerGameWindow::CountCommand() {
  if (FPhase != TPhase::Marking) {
    SetStatus(QStringLiteral("両方がパスしてから計算します。"));
    return;
  }
  const go::match::TScore s =
      go::match::CountScore(FMatch, std::vector<int>(FDead.begin(), FDead.end()), FSettings.Komi);
  FResultText = QString::fromStdString(go::match::ResultText(s.Margin()));
  FSgfResult = go::match::SgfResult(s.Margin());
  FCounted = true;
  Finish();
  FResult->setText(FResultText);
  Redraw();
  FScore->setText(QStringLiteral("黒：地 %1＋アゲハマ %2＝%3\n白：地 %4＋アゲハマ %5＋コミ %6＝%7")
                     .arg(s.BlackTerritory)
                     .arg(s.BlackPrisoners)
                     .arg(PointsText(s.Black()))
                     .arg(s.WhiteTerritory)
                     .arg(s.WhitePrisoners)
                     .arg(PointsText(s.Komi), PointsText(s.White())));
  SetStatus(QStringLiteral("黒 %1、白 %2（コミを含む）で、%3です。")
                .arg(PointsText(s.Black()), PointsText(s.White()), FResultText));
  PlayFeedback(1);
}

QString TComputerGameWindow::NotPlayingText() const {
  if (FPhase == TPhase::Broken) return QStringLiteral("コンピュータが動いていないので、対局を続けられません。");
  if (FPhase == TPhase::Marking) return QStringLiteral("終局です。死に石を確かめて「計算」を押してください。");
  if (FPhase == TPhase::Starting) return QStringLiteral("コンピュータの用意ができるまでお待ちください。");
  return RefusalText(TRefusal::Over);
}

void TComputerGameWindow::Finish() {
  // The game is decided: the engine is no longer needed, and what it may still be thinking
  // about no longer matters.
  ++FGeneration;
  FPhase = TPhase::Over;
  FHintPoint = 0;
  if (FProcess) FProcess->Client().Shutdown();
  FWaiting = 0;
  SetWaiting(0);
}

void TComputerGameWindow::closeEvent(QCloseEvent *event) {
  // Closing never waits for the engine: it is stopped where it stands.
  ++FGeneration;
  if (FProcess) FProcess->Client().Shutdown();
  FWaiting = 0;
  SetWaiting(0);
  QDialog::closeEvent(event);
}

}  // namespace miretoka::versus
