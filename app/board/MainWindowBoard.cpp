// TForm2: the board of the main window - finding the clicked point, drawing
// stones, numbers and marks, capturing, and clearing.
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>

#include "app/board/MainWindow.h"
#include "app/board/PlayState.h"
#include "app/board/StatusPanels.h"
#include "app/feedback/ErrorReporter.h"

namespace miretoka {

using namespace play;

int TForm2::PointFromLabel(const TPointLabel *label) const {
  // The label's place as the window sees it: its design place less the scroll
  // positions, to which the scroll positions are added back.
  const int hs = FScroll->horizontalScrollBar()->value();
  const int vs = FScroll->verticalScrollBar()->value();
  const QPoint shown = label->mapTo(FScroll->viewport(), QPoint(0, 0));
  const TBoardGeometry g = Geometry();
  return g.ColumnAt(hs + shown.x()) * 19 + g.RowAt(vs + shown.y()) + 1;
}

void TForm2::DrawStone(int moveNumber, int color, int point, int code, const QString &text) {
  if (!FBoard->HasPoint(point)) return;
  TPointLabel *label = Label(point);
  label->SetBold(false);
  auto drawPicture = [&] {
    FBoard->LoadStone(point, color);
    label->SetFontColor(std::abs(color) == 1 ? Qt::white : Qt::black);
    // A red number (a wrong move) stays red on a white stone; on a black stone pure red is
    // hard to read, so it is a light red there, as bright as the white numbers.
    if (color < 0) label->SetFontColor(std::abs(color) == 1 ? QColor(255, 150, 150) : QColor(255, 0, 0));
  };
  if (code <= 2) {
    drawPicture();
    FBoard->ShowNumber(moveNumber, point, code);
    ShowComment(text);
    if (PlayMode != PlayGomoku) CaptureAround(moveNumber, point);
    return;
  }
  const int place = code / 10;
  const int choice = code % 10;
  if (place == 1) drawPicture();
  label->setText(text);
  if (choice == 1) label->SetFontColor(color == 1 ? Qt::white : Qt::black);
  if (choice == 2) label->SetFontColor(QColor(0, 255, 0));
  if (choice == 3) label->SetFontColor(QColor(255, 0, 0));
  if (place >= 2) label->SetBold(true);
  label->SetTransparent(place != 2);
}

void TForm2::PlayFeedback(int kind) { miretoka::PlayFeedback(kind); }

void TForm2::CaptureAround(int moveNumber, int point) { FBoard->CaptureAround(moveNumber, point); }

void TForm2::ClearBoard() {
  ResetPlayCounters();
  ChoicePending = 0;
  PlaybackStepped = 0;
  // A marking of dead stones that was never confirmed ends with the board.
  FBoard->CancelDeadMarking(false);
  FEdit1->setText(QStringLiteral("0"));
  FEdit2->setText(QStringLiteral("0"));
  FStatusBar1->SetPanelText(0, QString());
  ShowComment(QString());
  // A new board has no newest stone whose number the next move would take over.
  LastPoint = 0;
  FTakeBack.Clear();
  for (int k = 1; k <= MaxPoints; ++k) {
    Label(k)->SetTransparent(true);
    Label(k)->setText(QStringLiteral(" "));
    Image(k)->Clear();
    Board[static_cast<std::size_t>(k - 1)] = 0;
  }
}

void TForm2::ClearMarks() {
  for (int k = 1; k <= MaxPoints; ++k) {
    TPointLabel *label = Label(k);
    if (label->IsTransparent() && label->text() != QStringLiteral("●")) continue;
    label->SetTransparent(true);
    label->setText(QString());
  }
}

}  // namespace miretoka
