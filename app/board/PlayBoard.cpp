#include "app/board/PlayBoard.h"

#include <QLineEdit>
#include <cstdlib>

#include "app/board/BoardControls.h"
#include "app/board/PlayRules.h"
#include "app/feedback/ErrorReporter.h"
#include "app/board/PlayState.h"
#include "app/feedback/SoundPlayer.h"

namespace miretoka {

using namespace play;

namespace {
std::int32_t &CellOf(int point) { return Board[static_cast<std::size_t>(point - 1)]; }
}  // namespace

TPlayBoard::TPlayBoard(std::vector<TPointImage *> images, std::vector<TPointLabel *> labels,
                       QLineEdit *edit1, QLineEdit *edit2)
    : FImages(std::move(images)), FLabels(std::move(labels)), FEdit1(edit1), FEdit2(edit2) {}

void TPlayBoard::LoadStone(int point, int color) {
  const QString file = ProgramDir + (std::abs(color) == 1 ? QStringLiteral("stB.bmp") : QStringLiteral("stW.bmp"));
  // Every stone reloads its picture from disk, so a picture replaced while the
  // program runs shows at once.
  Image(point)->SetPicture(LoadStonePicture(file));
}

void TPlayBoard::ShowNumber(int moveNumber, int point, int code) {
  if (code >= 1 && moveNumber > 0) Label(point)->setText(QString::number(moveNumber));
  if (code == 1 && HasPoint(LastPoint)) Label(LastPoint)->setText(QString());
  LastPoint = point;
}

void TPlayBoard::ShowCaptured() {
  FEdit1->setText(QString::number(WhiteCaptured));
  FEdit2->setText(QString::number(BlackCaptured));
}

void TPlayBoard::CaptureAround(int moveNumber, int point) {
  const int own = CellOf(point);
  const int opp = own == 0 ? 0 : 2 / own;
  const std::vector<std::int32_t> captured = FindCapturedPoints(point);
  for (std::int32_t k : captured) {
    Image(k)->Clear();
    Label(k)->setText(QString());
    CellOf(k) = 0;
    CaptureRecord rec;
    rec.Color = opp;
    rec.Point = k;
    if (MoveCount > 0) {
      rec.MoveKey = MoveCount;
      rec.StoneNumber = moveNumber;
    } else {
      // During figure playback (MoveCount 0) the keys come from the figure rows.
      rec.FromFigure = 1;
      if (PlaybackCaptureKeys) PlaybackCaptureKeys(rec);
    }
    CaptureLog.push_back(rec);
  }
  const int count = static_cast<int>(captured.size());
  if (opp == 1)
    BlackCaptured += count;
  else
    WhiteCaptured += count;
  ShowCaptured();
}

void TPlayBoard::UndoMove() {
  if (MoveCount < 1) return;
  CancelDeadMarking(true);
  // Put back the stones this move captured. The records are taken out of the
  // log, wherever they stand in it, so later records are never overwritten.
  for (std::size_t i = 0; i < CaptureLog.size();) {
    const CaptureRecord rec = CaptureLog[i];
    if (rec.MoveKey != MoveCount || rec.FromFigure != 0 || !HasPoint(rec.Point)) {
      ++i;
      continue;
    }
    LoadStone(rec.Point, rec.Color);  // before any change: a missing picture leaves the record in place
    CurrentColor = rec.Color;
    CellOf(rec.Point) = rec.Color;
    CaptureLog.erase(CaptureLog.begin() + static_cast<std::ptrdiff_t>(i));
    if (rec.Color == 1)
      BlackCaptured -= 1;
    else
      WhiteCaptured -= 1;
    ShowCaptured();
  }
  const int q = MoveAt(MoveCount).Point;
  const int before = MoveAt(MoveCount).PreviousPoint;
  if (HasPoint(q)) {
    Image(q)->Clear();
    Label(q)->setText(QString());
    Label(q)->SetTransparent(true);
    CellOf(q) = 0;
  }
  MoveCount -= 1;
  if (MoveNumber > 0) MoveNumber -= 1;
  // The stone numbered before this move: the one that lost its number when this move was
  // drawn, which may be a move of the lesson figure rather than the record before.
  const int r = before >= 0 ? before : MoveCount > 0 ? MoveAt(MoveCount).Point : 0;
  // The previous stone shows its number again, unless it has left the board.
  if (LessonMode == 1 && MoveNumber > 0 && HasPoint(r) && CellOf(r) > 0)
    Label(r)->setText(QString::number(MoveNumber));
  LastPoint = r;
  if (CurrentColor > 0) CurrentColor = NextColor(CurrentColor);
}

void TPlayBoard::TakeOff(int point) {
  if (CellOf(point) <= 0) return;
  Image(point)->Clear();
  Label(point)->setText(QString());
  if (CellOf(point) == 1)
    BlackCaptured += 1;
  else
    WhiteCaptured += 1;
  CellOf(point) = 0;
}

void TPlayBoard::CancelDeadMarking(bool restoreLabels) {
  if (restoreLabels)
    for (const auto &[point, text] : DeadCoveredTexts)
      if (HasPoint(point) && Label(point)->text() == QStringLiteral("*")) Label(point)->setText(text);
  DeadCoveredTexts.clear();
  DeadList.clear();
  DeadMarked = 0;
}

void TPlayBoard::MarkDeadStones(int point) {
  const bool stone = CellOf(point) > 0;
  if (!stone) return;
  if (DeadMarked == 0) {
    ListDeadGroup(point);
    DeadCoveredTexts.clear();
    for (std::int32_t e : DeadList)
      if (e < 0) {
        DeadCoveredTexts.emplace_back(-e, Label(-e)->text());
        Label(-e)->setText(QStringLiteral("*"));
      }
    DeadMarked = 1;
    return;
  }
  if (!IsInDeadList(point)) return;  // a click beside the marked group leaves the marks
  for (std::int32_t e : DeadList)
    if (e < 0) TakeOff(-e);
  ShowCaptured();
  DeadList.clear();
  DeadCoveredTexts.clear();
  DeadMarked = 0;
}

void PlayFeedback(int kind) {
  if (!SoundOn()) return;
  const QString file = ProgramDir + (kind == 0 ? QStringLiteral("Oto1.wav") : QStringLiteral("Oto2.wav"));
  CheckSoundFile(file);
  SoundPlayer().Play(file);
}

void RecordMove(int number, int color, int point) {
  MoveCount += 1;
  CellOf(point) = color;
  MoveRecord &rec = MoveAt(MoveCount);
  rec.Number = number;
  rec.Color = color;
  rec.Point = point;
  rec.PreviousPoint = LastPoint;
}

void ResetPlayCounters() {
  MoveNumber = 0;
  CurrentColor = 1;
  MoveCount = 0;
  CaptureLog.clear();
  BlackCaptured = 0;
  WhiteCaptured = 0;
  for (MoveRecord &m : MoveList) {
    m.Number = 0;
    m.Color = 0;
    m.Point = 0;
    m.PreviousPoint = -1;
  }
}

void SelectAlternate(TPlayBoard &board) {
  board.CancelDeadMarking(true);
  PlayMode = PlayAlternate;
  CurrentColor = NextColor(CurrentColor);
}

void SelectFree(TPlayBoard &board) {
  board.CancelDeadMarking(true);
  PlayMode = PlayFree;
}

void SelectEndOfGame(QWidget *window) {
  PlayMode = PlayEndOfGame;
  Reporter().ShowInformation(window, QStringLiteral("手入れの完了を確認してください。ダメ詰めは不要です。"));
}

QString TerritoryText() {
  const TerritoryCount t = CountTerritory();
  return QStringLiteral("黒 %1 目、白 %2 目です。").arg(t.Black - BlackCaptured).arg(t.White - WhiteCaptured);
}

}  // namespace miretoka
