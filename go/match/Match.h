#pragma once
// TMatch: a game under the normal rules of Go, as played against the computer.
//
// Unlike the free board of ミレトカ, a move here must be legal: the point must be empty, a
// stone that takes nothing and is left without liberties (suicide) is refused, and so is
// retaking a ko at once (a move that would bring back the position before the opponent's
// last move; checking the whole history is not needed for the simple ko a beginner meets).
// Handicap stones stand on the board before the first move; white moves first then.
#include <cstdint>
#include <vector>

#include "go/Board.h"

namespace go::match {

enum class TRefusal { None, NotOnBoard, Occupied, Suicide, Ko, WrongTurn, Over };

struct TMatchMove {
  int Color = 0;
  int Point = 0;  // 0: a pass
  std::vector<int> Captured;
};

class TMatch {
 public:
  TMatch(int size, const std::vector<int> &handicap = {});

  int Size() const { return FSize; }
  const std::vector<int> &Handicap() const { return FHandicap; }
  const TBoard &Board() const { return FBoard; }
  const std::vector<TMatchMove> &Moves() const { return FMoves; }
  int ToMove() const { return FToMove; }
  // The last stone played (0 when none or the last move was a pass).
  int LastPoint() const { return FMoves.empty() ? 0 : FMoves.back().Point; }
  // Both sides passed in turn: the game is over but for counting.
  bool TwoPasses() const;

  // Why `color` may not play `point` now (None when the move is legal; a pass, point 0,
  // is always legal for the side to move).
  TRefusal Check(int color, int point) const;
  // Plays the move when it is legal.
  TRefusal Play(int color, int point);
  // Takes the last move back with its captures; false when there is none.
  bool Undo();

 private:
  int FSize;
  std::vector<int> FHandicap;
  TBoard FBoard;
  std::vector<TMatchMove> FMoves;
  std::vector<TBoard> FHistory;  // the position before each move
  int FToMove = 1;
};

}  // namespace go::match
