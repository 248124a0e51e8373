#pragma once
// "打ち掛け": one adjourned game per board size, kept as rows of the table
// "figure" whose MNB is the board size (19, 13 or 9), one row per move.
//
// NOT FINISHED: reading and writing those rows needs the dataset layer over
// the table store, which does not exist yet. Until it does, SaveGame stores
// nothing and RestoreGame finds no stored row. The conversion between the move
// history and the rows, and the replay of the rows, are complete.
#include <cstdint>
#include <functional>
#include <vector>

namespace miretoka {

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

// The table seam. SaveGame replaces the stored game of this board size with
// MovesToSave(), keeping it when the history is empty; RestoreGame replays the
// stored game with `draw` (the caller clears the board first).
void SaveGame(int boardSize);
// False while the table seam above is not connected: the menu commands then
// say so instead of reporting a save or restore that did not happen.
bool SavedGameStorageReady();
// The text shown when the storage is not ready.
extern const char *const SavedGameNotReadyText;
void RestoreGame(int boardSize, const std::function<void(int number, int color, int point)> &draw);

}  // namespace miretoka
