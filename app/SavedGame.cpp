#include "app/SavedGame.h"

#include "app/PlayState.h"

namespace miretoka {

using namespace play;

std::vector<TSavedMove> MovesToSave() {
  // Moves taken back stay in the list until overwritten; they are not on the
  // board, so they are not saved.
  std::vector<TSavedMove> moves;
  for (std::int32_t n = 1; n <= MoveCount && static_cast<std::size_t>(n) <= MoveList.size(); ++n) {
    const MoveRecord &m = MoveList[static_cast<std::size_t>(n - 1)];
    if (m.Point <= 0) break;
    moves.push_back({m.Number, m.Color, m.Point});
  }
  return moves;
}

void ReplayMoves(const std::vector<TSavedMove> &moves,
                 const std::function<void(int number, int color, int point)> &draw) {
  std::int32_t n = 0;
  for (const TSavedMove &m : moves) {
    // A row that names no point of this board cannot be a move; it is passed over.
    if (m.Point < 1 || m.Point > PointCount || (m.Color != 1 && m.Color != 2)) continue;
    n += 1;
    MoveRecord &rec = MoveAt(n);
    rec.Number = m.Number;
    rec.Color = m.Color;
    rec.Point = m.Point;
    MoveNumber = m.Number;
    CurrentColor = m.Color;
    MoveCount = n;
    Board[static_cast<std::size_t>(m.Point - 1)] = m.Color;
    draw(MoveNumber, CurrentColor, m.Point);
  }
  if (n > 0) CurrentColor = NextColor(CurrentColor);
}

namespace {
// Both go through the figure query, which is then left open on the saved
// game with CurrentFigure = boardSize.
// Rows of "figure" with MNB = boardSize, in the order the figure query gives
// them. Not available until the dataset layer exists: no rows.
std::vector<TSavedMove> ReadStoredMoves(int) { return {}; }
// Deletes the rows of "figure" with MNB = boardSize and appends `moves`. Not
// available until the dataset layer exists: nothing is written.
void WriteStoredMoves(int, const std::vector<TSavedMove> &) {}
}  // namespace

bool SavedGameStorageReady() { return false; }

const char *const SavedGameNotReadyText = "対局の保存と復元は、まだ使えません。";

void SaveGame(int boardSize) {
  const std::vector<TSavedMove> moves = MovesToSave();
  if (moves.empty()) return;  // an empty board keeps the game stored before
  WriteStoredMoves(boardSize, moves);
}

void RestoreGame(int boardSize, const std::function<void(int number, int color, int point)> &draw) {
  ReplayMoves(ReadStoredMoves(boardSize), draw);
}

}  // namespace miretoka
