#pragma once
// The play on one window's board. Every board window (the 19-line main window
// and the 13- and 9-line windows) owns one TPlayBoard over its own point
// controls and captured-stones boxes; what placing, capturing, taking back and
// marking dead stones do is written once here, on the shared play state.
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

#include "app/board/MoveHistory.h"

class QLineEdit;
class QWidget;

namespace miretoka {

class TPointImage;
class TPointLabel;

class TPlayBoard {
public:
  // images[k] and labels[k] belong to point k (index 0 unused); edit1 shows
  // WhiteCaptured (beside "黒番"), edit2 BlackCaptured (beside "白番").
  TPlayBoard(std::vector<TPointImage *> images, std::vector<TPointLabel *> labels, QLineEdit *edit1,
             QLineEdit *edit2);

  int Points() const { return static_cast<int>(FLabels.size()) - 1; }
  TPointImage *Image(int k) const { return FImages.at(static_cast<std::size_t>(k)); }
  TPointLabel *Label(int k) const { return FLabels.at(static_cast<std::size_t>(k)); }
  bool HasPoint(int k) const { return k >= 1 && k <= Points(); }
  QLineEdit *Edit1() const { return FEdit1; }
  QLineEdit *Edit2() const { return FEdit2; }

  // Loads the stone picture of this colour (|color| 1 black, else white) from disk.
  void LoadStone(int point, int color);
  // The number part of drawing a stone of code 0 to 2: code 1 or 2 writes
  // `moveNumber` (when positive) on the stone, code 1 also empties the number
  // on LastPoint; then LastPoint := point.
  void ShowNumber(int moveNumber, int point, int code);
  // Edit1 := WhiteCaptured, Edit2 := BlackCaptured.
  void ShowCaptured();
  // Removes the opponent groups the stone on `point` left without liberties,
  // logs each removed stone and counts them.
  void CaptureAround(int moveNumber, int point);
  // Fills MoveKey and StoneNumber of a capture made while no click-placed move
  // is recorded (MoveCount 0), i.e. during lesson playback, from the figure
  // rows; without it both stay 0.
  std::function<void(play::CaptureRecord &record)> PlaybackCaptureKeys;
  // Takes back record MoveCount with the stones it captured (MoveCount >= 1).
  void UndoMove();
  // Takes the stone on `point` off as a prisoner of its colour: picture and
  // text emptied, the counter of its colour raised, the cell emptied; an
  // empty point is left alone. The boxes are not rewritten; call ShowCaptured.
  void TakeOff(int point);

  // End of game: a click on `point` marks the group of a stone with "*", or
  // confirms a marked group and takes it off.
  void MarkDeadStones(int point);
  // Ends a marking that was never confirmed; with restoreLabels the texts the
  // "*" marks covered come back.
  void CancelDeadMarking(bool restoreLabels);

private:
  std::vector<TPointImage *> FImages;
  std::vector<TPointLabel *> FLabels;
  QLineEdit *FEdit1;
  QLineEdit *FEdit2;
};

// --- play steps shared by every board window ---

// Plays the feedback sound: kind 0 "Oto1.wav", any other kind "Oto2.wav".
void PlayFeedback(int kind);

// Raises MoveCount and writes the new record (number, color, point, and the
// LastPoint whose number the new stone takes over) and the Board cell of the
// point. The record's Mark is left as it was.
void RecordMove(int number, int color, int point);

// The counters every clear resets: MoveNumber 0, black to play, no moves, an
// empty capture log, no prisoners; the move records lose their moves but keep
// their authoring marks.
void ResetPlayCounters();

// The play-mode buttons: "交互" passes the turn, "自由" frees the colour,
// "終局" starts the end of the game with its reminder box (parent `window`).
void SelectAlternate(TPlayBoard &board);
void SelectFree(TPlayBoard &board);
void SelectEndOfGame(QWidget *window);

// The territory count less each side's prisoners:
// "黒 <black> 目、白 <white> 目です。".
QString TerritoryText();

}  // namespace miretoka
