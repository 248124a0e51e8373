#include "app/records/RecordPlayer.h"

#include <QEvent>
#include <QMouseEvent>
#include <QApplication>
#include <QKeyEvent>
#include <algorithm>

#include "app/board/BoardControls.h"
#include "app/board/PlayBoard.h"
#include "app/board/PlayState.h"
#include "app/feedback/ErrorReporter.h"

namespace miretoka::records {

using namespace play;

TRecordPlayer::TRecordPlayer(std::unique_ptr<TBoardView> view) : QObject(view->Window()), FView(std::move(view)) {
  QWidget *w = FView->Window();
  w->installEventFilter(this);
  // ← and → reach the window whichever of its controls has the focus (a radio button or a
  // grid would take the arrows for themselves), but only while a record is shown.
  qApp->installEventFilter(this);
  for (int k = 1; k <= FView->Lines() * FView->Lines(); ++k) FView->Label(k)->installEventFilter(this);
}

TRecordPlayer::~TRecordPlayer() = default;

void TRecordPlayer::Open(go::TGameTree tree, const QString &file) {
  FTree = std::move(tree);
  FFile = file;
  Rebuild(FTree->Root());
}

void TRecordPlayer::OpenWhenShown(go::TGameTree tree, const QString &file) {
  FPending = std::move(tree);
  FPendingFile = file;
}

std::vector<int> TRecordPlayer::Offered() const {
  std::vector<int> points;
  for (const auto &[p, n] : FVariations) points.push_back(p);
  return points;
}

bool TRecordPlayer::StillShown() const {
  if (!FTree || BoardSize != FView->Lines()) return false;
  for (size_t i = 0; i < FSnapshot.size(); ++i)
    if (Board[i] != FSnapshot[i]) return false;
  return true;
}

void TRecordPlayer::Detach() {
  FTree.reset();
  FCurrent = nullptr;
  FVariations.clear();
  FDecorated.clear();
}

void TRecordPlayer::Apply(const go::TNode &node) {
  const int points = FView->Lines() * FView->Lines();
  auto onBoard = [points](int p) { return p >= 1 && p <= points; };
  for (int p : node.AddEmpty)
    if (onBoard(p)) {
      Board[static_cast<size_t>(p - 1)] = 0;
      FView->Erase(p);
    }
  for (int colour : {1, 2})
    for (int p : colour == 1 ? node.AddBlack : node.AddWhite)
      if (onBoard(p)) {
        Board[static_cast<size_t>(p - 1)] = colour;
        FView->DrawSetup(colour, p);
      }
  if (node.HasMove()) {
    FMoveNumber = node.MoveNumber > 0 ? node.MoveNumber : FMoveNumber + 1;
    if (onBoard(node.MovePoint)) {
      MoveNumber = FMoveNumber;
      RecordMove(FMoveNumber, node.MoveColor, node.MovePoint);
      FView->DrawMove(FMoveNumber, node.MoveColor, node.MovePoint);
    }
    CurrentColor = NextColor(node.MoveColor);
  }
}

void TRecordPlayer::Decorate(int point, const QString &text, const QColor &color) {
  TPointLabel *label = FView->Label(point);
  if (!FDecorated.count(point)) FDecorated[point] = label->text();
  label->setText(text);
  label->SetFontColor(color);
}

void TRecordPlayer::ClearDecorations() {
  for (const auto &[p, text] : FDecorated) {
    FView->Label(p)->setText(text);
    // The number of a stone is written in the stone's opposite colour.
    FView->Label(p)->SetFontColor(Board[static_cast<size_t>(p - 1)] == 1 ? Qt::white : Qt::black);
  }
  FDecorated.clear();
  FVariations.clear();
}

void TRecordPlayer::Decorate(const go::TNode &node) {
  const int points = FView->Lines() * FView->Lines();
  auto ink = [](int p) { return Board[static_cast<size_t>(p - 1)] == 1 ? QColor(Qt::white) : QColor(Qt::black); };
  for (const go::TLabel &l : node.Labels)
    if (l.Point >= 1 && l.Point <= points) Decorate(l.Point, QString::fromStdString(l.Text), ink(l.Point));
  const std::pair<const std::vector<int> *, const char *> symbols[] = {
      {&node.Triangles, "△"}, {&node.Squares, "□"}, {&node.Circles, "○"}, {&node.Crosses, "×"}};
  for (const auto &[list, text] : symbols)
    for (int p : *list)
      if (p >= 1 && p <= points) Decorate(p, QString::fromUtf8(text), ink(p));

  FView->SetStatus(1, QString::fromStdString(node.Comment));
  QString status = FMoveNumber > 0 ? QStringLiteral("棋譜 %1手目").arg(FMoveNumber) : QStringLiteral("棋譜の初めです。");
  if (node.Children.size() > 1) {
    for (const go::TNode *c : node.Children)
      if (c->HasMove() && c->MovePoint >= 1 && c->MovePoint <= points && !FVariations.count(c->MovePoint)) {
        FVariations[c->MovePoint] = c;
        Decorate(c->MovePoint, QStringLiteral("●"), c->BadMove > 0 ? QColor(255, 0, 0) : QColor(0, 255, 0));
      }
    status += QStringLiteral("　変化があります（●で選ぶか →で本線）。");
  } else if (node.Children.empty()) {
    status += QStringLiteral("　棋譜の終わりです。");
  }
  FView->SetStatus(0, status);
  FSnapshot.assign(Board.begin(), Board.begin() + points);
}

void TRecordPlayer::Rebuild(const go::TNode *node) {
  std::vector<const go::TNode *> path;
  for (const go::TNode *n = node; n; n = n->Parent) path.push_back(n);
  std::reverse(path.begin(), path.end());
  FDecorated.clear();
  FVariations.clear();
  FView->Clear();
  FMoveNumber = 0;
  CurrentColor = 1;
  for (const go::TNode *n : path) Apply(*n);
  FCurrent = node;
  Decorate(*node);
}

void TRecordPlayer::StepForward() {
  if (!StillShown()) return Detach();
  if (FCurrent->Children.empty()) {
    FView->SetStatus(0, QStringLiteral("もう進めません。棋譜の終わりです。"));
    PlayFeedback(0);
    return;
  }
  const go::TNode *next = FCurrent->Children.front();
  Enter(next);
  PlayFeedback(0);
}

void TRecordPlayer::Enter(const go::TNode *next) {
  // A node with setup stones changes the position itself: the board is built again up to it.
  ClearDecorations();
  if (next->HasSetup()) {
    Rebuild(next);
  } else {
    Apply(*next);
    FCurrent = next;
    Decorate(*next);
  }
}

void TRecordPlayer::StepBack() {
  if (!StillShown()) return Detach();
  if (!FCurrent->Parent) {
    FView->SetStatus(0, QStringLiteral("もう戻せません。棋譜の初めです。"));
    PlayFeedback(0);
    return;
  }
  Rebuild(FCurrent->Parent);
  PlayFeedback(0);
}

bool TRecordPlayer::ChooseVariation(int point) {
  if (!StillShown()) {
    Detach();
    return false;
  }
  auto it = FVariations.find(point);
  if (it == FVariations.end()) return false;
  const go::TNode *next = it->second;
  Enter(next);
  PlayFeedback(0);
  return true;
}

bool TRecordPlayer::eventFilter(QObject *watched, QEvent *event) {
  if ((event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) && FTree) {
    auto *key = static_cast<QKeyEvent *>(event);
    auto *widget = qobject_cast<QWidget *>(watched);
    const bool arrow = (key->key() == Qt::Key_Left || key->key() == Qt::Key_Right) &&
                       (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (arrow && widget && widget->window() == FView->Window()) {
      if (!StillShown()) {
        Detach();  // the board moved on; the keys are the window's again
        return false;
      }
      event->accept();
      if (event->type() == QEvent::KeyPress)
        RunHandler(FView->Window(), [&] { key->key() == Qt::Key_Right ? StepForward() : StepBack(); });
      return true;
    }
    return false;
  }
  if (event->type() == QEvent::Show && watched == FView->Window() && FPending) {
    go::TGameTree tree = std::move(*FPending);
    FPending.reset();
    const QString file = FPendingFile;
    RunHandler(FView->Window(), [&] { Open(std::move(tree), file); });
    return false;
  }
  if (event->type() == QEvent::MouseButtonPress && watched != FView->Window() && FTree) {
    auto *label = static_cast<TPointLabel *>(watched);
    const int point = label->PointNumber();
    if (FVariations.count(point)) {
      bool chosen = false;
      RunHandler(FView->Window(), [&] { chosen = ChooseVariation(point); });
      return chosen;
    }
  }
  return false;
}

}  // namespace miretoka::records
