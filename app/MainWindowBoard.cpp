// TForm2: the board of the main window - finding the clicked point, drawing
// stones, numbers and marks, the feedback sounds, capturing, and clearing.
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>

#include "app/Capture.h"
#include "app/ErrorReporter.h"
#include "app/MainWindow.h"
#include "app/PlayState.h"
#include "app/SoundPlayer.h"
#include "app/StatusPanels.h"

namespace miretoka {

using namespace play;

int TForm2::PointFromLabel(const TPointLabel *label) const {
  // The label's place as the window sees it: its design place less the scroll
  // positions, to which the scroll positions are added back.
  const int hs = FScroll->horizontalScrollBar()->value();
  const int vs = FScroll->verticalScrollBar()->value();
  const QPoint shown = label->mapTo(FScroll->viewport(), QPoint(0, 0));
  const int column = (hs + shown.x() - 3) / 28;
  const int row = (vs + shown.y() - 8) / 28;
  return column * 19 + row + 1;
}

void TForm2::LoadStone(int point, int color) {
  const QString file = ProgramDir + (std::abs(color) == 1 ? QStringLiteral("stB.bmp") : QStringLiteral("stW.bmp"));
  // Every stone reloads its picture from disk, so a picture replaced while the
  // program runs shows at once.
  Image(point)->SetPicture(LoadStonePicture(file));
}

void TForm2::DrawStone(int moveNumber, int color, int point, int code, const QString &text) {
  if (point < 1 || point > MaxPoints) return;
  TPointLabel *label = Label(point);
  label->SetBold(false);
  if (code <= 2) {
    LoadStone(point, color);
    label->SetFontColor(std::abs(color) == 1 ? Qt::white : Qt::black);
    if (color < 0) label->SetFontColor(QColor(255, 0, 0));
    if (code >= 1 && moveNumber > 0) label->setText(QString::number(moveNumber));
    if (code == 1 && LastPoint >= 1 && LastPoint <= MaxPoints) Label(LastPoint)->setText(QString());
    LastPoint = point;
    FStatusBar1->SetPanelText(1, text);
    if (PlayMode != PlayGomoku) CaptureAround(moveNumber, point);
    return;
  }
  const int place = code / 10;
  const int choice = code % 10;
  if (place == 1) {
    LoadStone(point, color);
    label->SetFontColor(std::abs(color) == 1 ? Qt::white : Qt::black);
    if (color < 0) label->SetFontColor(QColor(255, 0, 0));
  }
  label->setText(text);
  if (choice == 1) label->SetFontColor(color == 1 ? Qt::white : Qt::black);
  if (choice == 2) label->SetFontColor(QColor(0, 255, 0));
  if (choice == 3) label->SetFontColor(QColor(255, 0, 0));
  if (place >= 2) label->SetBold(true);
  label->SetTransparent(place != 2);
}

void TForm2::PlayFeedback(int kind) {
  const QString file = ProgramDir + (kind == 0 ? QStringLiteral("Oto1.wav") : QStringLiteral("Oto2.wav"));
  CheckSoundFile(file);
  SoundPlayer().Play(file);
}

void TForm2::ShowCaptured() {
  FEdit1->setText(QString::number(WhiteCaptured));
  FEdit2->setText(QString::number(BlackCaptured));
}

void TForm2::CaptureAround(int moveNumber, int point) {
  const int own = Board[static_cast<std::size_t>(point - 1)];
  const int opp = own == 0 ? 0 : 2 / own;
  const std::vector<std::int32_t> captured = FindCapturedPoints(point);
  for (std::int32_t k : captured) {
    Image(k)->Clear();
    Label(k)->setText(QString());
    Board[static_cast<std::size_t>(k - 1)] = 0;
    CaptureRecord rec;
    rec.Color = opp;
    rec.Point = k;
    if (MoveCount > 0) {
      rec.MoveKey = MoveCount;
      rec.StoneNumber = moveNumber;
    }
    // During figure playback (MoveCount 0) the keys come from the figure rows,
    // which the lesson panel supplies; without a figure they stay 0.
    CaptureLog.push_back(rec);
  }
  const int count = static_cast<int>(captured.size());
  if (opp == 1)
    BlackCaptured += count;
  else
    WhiteCaptured += count;
  ShowCaptured();
}

void TForm2::ClearBoard() {
  MoveNumber = 0;
  CurrentColor = 1;
  MoveCount = 0;
  CaptureLog.clear();
  BlackCaptured = 0;
  WhiteCaptured = 0;
  ChoicePending = 0;
  PlaybackStepped = 0;
  // A marking of dead stones that was never confirmed ends with the board.
  CancelDeadMarking(false);
  FEdit1->setText(QStringLiteral("0"));
  FEdit2->setText(QStringLiteral("0"));
  FStatusBar1->SetPanelText(0, QString());
  FStatusBar1->SetPanelText(1, QString());
  for (int k = 1; k <= MaxPoints; ++k) {
    Label(k)->SetTransparent(true);
    Label(k)->setText(QStringLiteral(" "));
    Image(k)->Clear();
    Board[static_cast<std::size_t>(k - 1)] = 0;
  }
  for (MoveRecord &m : MoveList) {
    m.Number = 0;
    m.Color = 0;
    m.Point = 0;
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
