#pragma once
// The play and lesson state shared by the three board windows. It is plain
// module-level data on purpose: the 13- and 9-line windows read and write the
// very same cells, counters and lists as the main window.
#include <QString>
#include <array>
#include <cstdint>
#include <vector>

#include "app/board/MoveHistory.h"

namespace miretoka::play {

constexpr int MaxPoints = 361;

// 0 empty, 1 black, 2 white; lesson loading may store -1/-2 (red-numbered stones).
extern std::array<std::int32_t, MaxPoints> Board;
extern std::int32_t BoardSize;   // 19, 13 or 9
extern std::int32_t PointCount;  // BoardSize * BoardSize
extern std::int32_t CurrentColor;
extern std::int32_t MoveNumber;
extern std::int32_t MoveCount;
extern std::int32_t LastPoint;
extern QString ProgramDir;  // with trailing separator
extern std::int32_t BlackCaptured;
extern std::int32_t WhiteCaptured;
extern std::int32_t PlayMode;  // 1 alternate, 2 free, 3 end of game, 4 gomoku
extern std::int32_t PlaybackStepped;

// Move history and capture log. Both grow as needed; see MoveHistory.h.
extern std::vector<MoveRecord> MoveList;  // MoveList[0] is record number 1
extern std::vector<CaptureRecord> CaptureLog;

// Dead-stone marking of the end-of-game mode.
extern std::vector<std::int32_t> DeadList;  // n waiting, -n examined
extern std::int32_t DeadMarked;
// Label texts that the "*" marks covered, restored when a marking is cancelled.
extern std::vector<std::pair<std::int32_t, QString>> DeadCoveredTexts;

// Lesson state (the lesson panel fills these in; play reads a few of them).
extern std::int32_t LessonMode;  // 1 learner layout, 2 editor layout
extern std::int32_t CurrentFigure;
extern std::int32_t LessonKind;
extern std::int32_t CurrentProblem;
extern std::int32_t AutoAdvance;
extern std::int32_t ChoicePending;  // 1 while the offered choices await a click

// One offered next move: the first row of a branch hanging at the current end.
struct ChoiceEntry {
  std::int32_t Color = 0;  // COL of the branch's first row
  std::int32_t Point = 0;  // its PST; 0 ends the list
  std::int32_t From = 0;   // its BTO, the branch number of the end it hangs at
};
constexpr int ChoiceTableSize = 20;
// Filled by FindBranches (FigureNavigation.h) only; the used entries come first.
extern std::array<ChoiceEntry, ChoiceTableSize> ChoiceTable;

constexpr std::int32_t PlayAlternate = 1;
constexpr std::int32_t PlayFree = 2;
constexpr std::int32_t PlayEndOfGame = 3;
constexpr std::int32_t PlayGomoku = 4;

// The turn rule: 1 becomes 2 and 2 becomes 1.
inline std::int32_t NextColor(std::int32_t color) { return color == 0 ? 0 : 2 / color; }

inline std::int32_t CaptureLogCount() { return static_cast<std::int32_t>(CaptureLog.size()); }

// Record number n (1-based) of the move list, growing the list when n lies past its end.
MoveRecord &MoveAt(std::int32_t n);

// Puts every variable back to its start-up value (used when the program starts).
void ResetAll();

}  // namespace miretoka::play
