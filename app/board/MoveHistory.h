#pragma once
// Records of the move history and of the capture log.
#include <cstdint>

namespace miretoka::play {

struct MoveRecord {
  std::int32_t Number = 0;  // number shown on the stone; 0 for free and gomoku moves
  std::int32_t Color = 0;
  std::int32_t Point = 0;  // 0: the record holds no move
  std::int32_t Mark = 0;   // mark code of an authoring click; play leaves it alone
  // The point whose stone carried the newest number when this move was placed (LastPoint
  // then). In a lesson the figure draws numbered moves between the learner's own, so the
  // stone to number again after a take-back is not always the record before this one.
  // -1: not known (a replayed game), the record before stands for it.
  std::int32_t PreviousPoint = -1;
};

struct CaptureRecord {
  std::int32_t MoveKey = 0;      // MoveCount of the capturing move (TES in figure playback)
  std::int32_t StoneNumber = 0;  // number of the capturing move
  std::int32_t Color = 0;        // colour of the captured stone
  std::int32_t Point = 0;        // where it stood
  // 1 for a stone taken by a move of a lesson figure (keyed by TES): only stepping the
  // figure back restores it, never the take-back of a click-placed move with the same key.
  std::int32_t FromFigure = 0;
};

// The move list starts with room for 400 moves and the capture log for 100
// records; both grow past that instead of losing moves or captures.
constexpr int InitialMoveListSize = 400;
constexpr int InitialCaptureLogSize = 100;

}  // namespace miretoka::play
