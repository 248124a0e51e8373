// TComputerGameWindow: the engine's side of the game - setting it up, its moves, hints, the
// dead stones at the end, and what happens when it fails.
#include <QLabel>

#include "app/board/PlayBoard.h"
#include "app/board/PlayState.h"
#include "app/board/StatusPanels.h"
#include "app/feedback/ErrorReporter.h"
#include "app/play/ComputerGameWindow.h"
#include "app/play/EngineProcess.h"
#include "go/Rules.h"
#include "go/match/Score.h"

namespace miretoka::versus {

using go::gtp::TFault;
using go::gtp::TMoveAnswer;
using go::gtp::TReply;
using go::gtp::TVertexKind;
using go::match::TRefusal;

namespace {

QString VertexName(int size, int point) { return QString::fromStdString(go::gtp::VertexText(size, point)); }

}  // namespace

void TComputerGameWindow::Start() {
  FProcess = std::make_unique<TEngineProcess>();
  FEngine = std::make_unique<go::gtp::TEngine>(FProcess->Client(), FSettings.Size);
  FProcess->Client().OnFault = [this](TFault fault, const std::string &why) { EngineFailed(fault, why); };
  FPhase = TPhase::Starting;
  SetWaiting(+1);
  const TEngineLaunch launch = EngineLaunch(FSettings.EngineCommand, FSettings.Level);
  FProcess->Start(launch.Program, launch.Arguments);
  if (FPhase == TPhase::Broken) return;

  const int generation = FGeneration;
  auto failed = [this, generation](const TReply &r, const QString &what) {
    if (generation != FGeneration || r.Fault != TFault::None || r.Success) return false;
    EngineNonsense(QStringLiteral("%1を受け付けませんでした（%2）").arg(what, QString::fromStdString(r.Text)));
    return true;
  };
  FEngine->NewGame([failed](const TReply &r) { failed(r, QStringLiteral("碁盤の大きさ")); });
  FEngine->Komi(FSettings.Komi, [failed](const TReply &r) { failed(r, QStringLiteral("コミ")); });
  if (!FMatch.Handicap().empty())
    FEngine->SetFreeHandicap(FMatch.Handicap(), [failed](const TReply &r) { failed(r, QStringLiteral("置き石")); });
  // Every answer above has come once this one does.
  FProcess->Client().Send("name", [this, generation](const TReply &r) {
    if (generation != FGeneration || r.Fault != TFault::None || FPhase == TPhase::Broken) return;
    if (r.Success && !r.Text.empty()) FEngineName = QString::fromStdString(r.Text);
    SetWaiting(-1);
    FPhase = TPhase::Playing;
    Redraw();
    if (LearnerToMove())
      SetStatus(QStringLiteral("あなたの番です。%1を打ってください。")
                    .arg(FSettings.LearnerColor == 1 ? QStringLiteral("黒") : QStringLiteral("白")));
    else
      EngineMove();
  }, CommandTimeoutMs);
}

void TComputerGameWindow::EngineMove() {
  SetWaiting(+1);
  SetStatus(QStringLiteral("コンピュータの番です。"));
  const int generation = FGeneration;
  FEngine->GenMove(EngineColor(), [this, generation](const TMoveAnswer &a) {
    if (generation != FGeneration) return;
    if (a.Reply.Fault != TFault::None) return;  // EngineFailed has said it
    SetWaiting(-1);
    if (a.Nonsense) {
      EngineNonsense(QStringLiteral("手の代わりに「%1」と答えました").arg(QString::fromStdString(a.Reply.Text)));
      return;
    }
    if (!a.Reply.Success) {
      EngineNonsense(QStringLiteral("手を考えられませんでした（%1）").arg(QString::fromStdString(a.Reply.Text)));
      return;
    }
    if (a.Move.Kind == TVertexKind::Resign) {
      Finish();
      FResultText = QString::fromStdString(go::match::ResignationText(FSettings.LearnerColor));
      FSgfResult = go::match::SgfResignation(FSettings.LearnerColor);
      FResult->setText(FResultText);
      Redraw();
      SetStatus(QStringLiteral("コンピュータが投了しました。%1です。").arg(FResultText));
      PlayFeedback(1);
      return;
    }
    const TRefusal refusal = FMatch.Check(EngineColor(), a.Move.Point);
    if (refusal != TRefusal::None) {
      EngineNonsense(QStringLiteral("打てない手 %1 を答えました（%2）")
                         .arg(VertexName(FMatch.Size(), a.Move.Point), RefusalText(refusal)));
      return;
    }
    FMatch.Play(EngineColor(), a.Move.Point);
    PlayFeedback(0);
    if (FMatch.TwoPasses()) {
      StartMarking();
      return;
    }
    Redraw();
    if (a.Move.Kind == TVertexKind::Pass)
      SetStatus(QStringLiteral("コンピュータはパスしました。あなたの番です（パスすると終局です）。"));
    else
      SetStatus(QStringLiteral("コンピュータは %1 に打ちました。あなたの番です。")
                    .arg(VertexName(FMatch.Size(), a.Move.Point)));
  }, MoveTimeoutMs());
}

void TComputerGameWindow::HintCommand() {
  if (FPhase != TPhase::Playing || EngineBusy() || !LearnerToMove()) {
    SetStatus(FPhase == TPhase::Playing ? RefusalText(TRefusal::WrongTurn) : NotPlayingText());
    return;
  }
  SetWaiting(+1);
  const int generation = FGeneration;
  const size_t moveCount = FMatch.Moves().size();
  FEngine->RegGenMove(FSettings.LearnerColor, [this, generation, moveCount](const TMoveAnswer &a) {
    if (generation != FGeneration || a.Reply.Fault != TFault::None) return;
    SetWaiting(-1);
    if (FMatch.Moves().size() != moveCount) return;  // the position has changed meanwhile
    if (!a.Ok()) {
      SetStatus(QStringLiteral("コンピュータはヒントを出せませんでした。"));
      return;
    }
    if (a.Move.Kind == TVertexKind::Point && FMatch.Check(FSettings.LearnerColor, a.Move.Point) == TRefusal::None) {
      FHintPoint = a.Move.Point;
      Redraw();
      SetStatus(QStringLiteral("コンピュータのおすすめは %1（◎の所）です。").arg(VertexName(FMatch.Size(), FHintPoint)));
    } else if (a.Move.Kind == TVertexKind::Pass) {
      SetStatus(QStringLiteral("コンピュータのおすすめはパスです。"));
    } else if (a.Move.Kind == TVertexKind::Resign) {
      SetStatus(QStringLiteral("コンピュータのおすすめは投了です。"));
    } else {
      SetStatus(QStringLiteral("コンピュータはヒントを出せませんでした。"));
    }
  }, MoveTimeoutMs());
}

QString TComputerGameWindow::Status() const { return FStatus->PanelText(0); }

void TComputerGameWindow::StartMarking() {
  FPhase = TPhase::Marking;
  FDead.clear();
  Redraw();
  SetWaiting(+1);
  SetStatus(QStringLiteral("終局です。コンピュータが死に石を調べています…"));
  const int generation = FGeneration;
  FEngine->DeadStones([this, generation](const go::gtp::TPointsAnswer &a) {
    if (generation != FGeneration) return;
    if (a.Reply.Fault != TFault::None) return;
    SetWaiting(-1);
    bool usable = a.Ok();
    if (usable)
      for (int p : a.Points)
        if (FMatch.Board().At(p) == 0) usable = false;
    if (usable && !a.Points.empty()) {
      FDead.insert(a.Points.begin(), a.Points.end());
      SetStatus(QStringLiteral("終局です。死に石に×を付けました。石をクリックすると直せます。よければ「計算」を押してください。"));
    } else if (usable) {
      SetStatus(QStringLiteral("終局です。コンピュータは死に石はないと見ています。あればクリックして×を付け、「計算」を押してください。"));
    } else {
      SetStatus(QStringLiteral("終局です。死に石をクリックして×を付け、「計算」を押してください。"));
    }
    FScore->setText(Status());
    Redraw();
  }, MoveTimeoutMs());
}

void TComputerGameWindow::ToggleDead(int point) {
  if (FMatch.Board().At(point) == 0) return;
  const std::vector<std::int32_t> cells(FMatch.Board().Cells().begin(), FMatch.Board().Cells().end());
  const go::TGroup group = go::GroupAt(cells, FMatch.Size(), point);
  const bool dead = FDead.count(point) == 0;
  for (int p : group.Stones) {
    if (dead)
      FDead.insert(p);
    else
      FDead.erase(p);
  }
  Redraw();
  SetStatus(dead ? QStringLiteral("死に石にしました。") : QStringLiteral("生きている石に戻しました。"));
}

void TComputerGameWindow::EngineFailed(TFault fault, const std::string &why) {
  ++FGeneration;
  FWaiting = 0;
  SetWaiting(0);
  const TPhase before = FPhase;
  if (FPhase != TPhase::Over) FPhase = TPhase::Broken;
  QString text;
  switch (fault) {
    case TFault::NotStarted:
      text = QStringLiteral("コンピュータの相手「%1」を起動できませんでした。対局の設定で相手のプログラムを確かめてください。")
                 .arg(FSettings.EngineCommand);
      break;
    case TFault::Exited:
    case TFault::Protocol:
      if (before == TPhase::Starting) {
        text = QStringLiteral("コンピュータの相手「%1」が%2。対局の設定で相手のプログラムを確かめてください。")
                   .arg(FSettings.EngineCommand,
                        fault == TFault::Exited ? QStringLiteral("起動してすぐに止まりました")
                                                : QStringLiteral("囲碁の対局の言葉（GTP）で答えませんでした"));
        break;
      }
      text = fault == TFault::Exited ? QStringLiteral("コンピュータの相手が止まってしまいました。")
                                     : QStringLiteral("コンピュータの相手がおかしな答えを返しました。相手を止めました。");
      break;
    case TFault::TimedOut:
      text = QStringLiteral("コンピュータの相手が時間内に答えませんでした。相手を止めました。");
      break;
    case TFault::None:
      break;
  }
  if (before != TPhase::Over) text += QStringLiteral("盤の石はそのまま残ります（棋譜や打ち掛けに保存できます）。");
  Redraw();
  SetStatus(text);
  FScore->setText(text);
  FStatus->Panel(0)->setToolTip(QString::fromStdString(why));
  if (before != TPhase::Over) Reporter().ShowError(this, text);
}

void TComputerGameWindow::EngineNonsense(const QString &what) {
  // The engine is no use any more: the game on the board stays, the engine goes.
  const QString text = QStringLiteral("コンピュータの相手が%1。相手を止めました。盤の石はそのまま残ります（棋譜や打ち掛けに保存できます）。")
                           .arg(what);
  ++FGeneration;
  FWaiting = 0;
  SetWaiting(0);
  if (FPhase != TPhase::Over) FPhase = TPhase::Broken;
  FProcess->Client().Shutdown();
  Redraw();
  SetStatus(text);
  FScore->setText(text);
  Reporter().ShowError(this, text);
}

}  // namespace miretoka::versus
