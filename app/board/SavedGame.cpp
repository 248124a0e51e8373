#include "app/board/SavedGame.h"

#include "app/board/PlayState.h"
#include "app/data/DataModule.h"

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

// The figure query opened on figure `mnb`, which becomes the current figure.
kura::TKuraQuery &FigureOf(TDataModule1 &dm, int mnb) {
  CurrentFigure = mnb;
  dm.OpenFigure(mnb);
  return dm.KuraQuery2;
}

void DeleteAllRows(kura::TKuraQuery &q) {
  q.First();
  while (!q.IsEmpty()) q.Delete();
}

}  // namespace

void SaveGame(TDataModule1 &dm, int boardSize) { SaveMoves(dm, boardSize, MovesToSave()); }

void SaveMoves(TDataModule1 &dm, int boardSize, const std::vector<TSavedMove> &moves) {
  if (moves.empty()) return;  // an empty board keeps the game stored before
  const int staging = -boardSize;

  kura::TKuraQuery &q = FigureOf(dm, staging);
  DeleteAllRows(q);  // what a save cut short left behind
  for (const TSavedMove &m : moves) {
    q.Append();  // posts the row before
    q.Fields(0).SetAsInteger(staging);
    q.Fields(1).SetAsInteger(m.Number);
    q.Fields(2).SetAsInteger(m.Color);
    q.Fields(3).SetAsInteger(m.Point);
  }
  q.Post();

  DeleteAllRows(FigureOf(dm, boardSize));

  // A renumbered row leaves the live result, so the first row is always the next one.
  FigureOf(dm, staging);
  for (std::int64_t left = q.RecordCount(); left > 0 && !q.IsEmpty(); --left) {
    q.First();
    q.Edit();
    q.Fields(0).SetAsInteger(boardSize);
    q.Post();
  }
  FigureOf(dm, boardSize);
}

std::vector<TSavedMove> StoredMoves(TDataModule1 &dm, int boardSize) {
  kura::TKuraQuery &q = FigureOf(dm, boardSize);
  std::vector<TSavedMove> moves;
  for (q.First(); !q.Eof(); q.Next())
    moves.push_back({static_cast<std::int32_t>(q.Fields(1).AsInteger()),
                     static_cast<std::int32_t>(q.Fields(2).AsInteger()),
                     static_cast<std::int32_t>(q.Fields(3).AsInteger())});
  return moves;
}

void RestoreGame(TDataModule1 &dm, int boardSize,
                 const std::function<void(int number, int color, int point)> &draw) {
  // Read in full first: the figure query stays on the saved game afterwards.
  ReplayMoves(StoredMoves(dm, boardSize), draw);
}

}  // namespace miretoka
