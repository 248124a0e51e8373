#pragma once
// "打ち掛け": one adjourned game per board size, kept as rows of the table
// "figure" whose MNB is the board size (19, 13 or 9), one row per move:
// MNB, TES (the number on the stone), COL, PST; the other fields stay empty.
// Both operations go through the data module's figure query and leave it open
// on the saved game, with CurrentFigure equal to the board size.
#include <cstdint>
#include <functional>
#include <vector>

namespace miretoka {

class TDataModule1;

// One stored move: TES (the number on the stone), COL, PST.
struct TSavedMove {
  std::int32_t Number = 0;
  std::int32_t Color = 0;
  std::int32_t Point = 0;
  bool operator==(const TSavedMove &) const = default;
};

// The rows a save writes: the moves on the board, records 1 to MoveCount,
// ending early at a record whose Point is 0 (an empty history gives no rows).
std::vector<TSavedMove> MovesToSave();

// Replays stored moves onto a cleared board in their order: each becomes
// record n of the history, MoveNumber and the Board cell are set, and `draw`
// draws the stone (number, color, point) with its captures. Afterwards the
// turn passes to the other colour; with no rows black stays to play.
void ReplayMoves(const std::vector<TSavedMove> &moves,
                 const std::function<void(int number, int color, int point)> &draw);

// Replaces the stored game of this board size with MovesToSave(). With an
// empty history nothing is written and the game stored before stays.
//
// The new rows are written in full before the old ones go: they are appended
// under the figure number -boardSize, then the old rows are deleted and the new
// ones renumbered to boardSize (in place, so they keep their order). A save that
// fails while writing leaves the game stored before as it was. Rows left under
// -boardSize by a save that was cut short are cleared by the next save.
// Failures of the table store propagate.
void SaveGame(TDataModule1 &dm, int boardSize);
// The same for moves that are not on the shared board (a game against the computer).
void SaveMoves(TDataModule1 &dm, int boardSize, const std::vector<TSavedMove> &moves);

// The stored moves of this board size in the order the figure query gives
// them (the order they were saved in).
std::vector<TSavedMove> StoredMoves(TDataModule1 &dm, int boardSize);

// Replays the stored game of this board size with `draw`; the caller clears
// the board first. With nothing stored the board stays empty.
void RestoreGame(TDataModule1 &dm, int boardSize,
                 const std::function<void(int number, int color, int point)> &draw);

}  // namespace miretoka
