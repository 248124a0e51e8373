#include "app/board/PlayState.h"

namespace miretoka::play {

std::array<std::int32_t, MaxPoints> Board{};
std::int32_t BoardSize = 19;
std::int32_t PointCount = 361;
std::int32_t CurrentColor = 1;
std::int32_t MoveNumber = 0;
std::int32_t MoveCount = 0;
std::int32_t LastPoint = 0;
QString ProgramDir;
std::int32_t BlackCaptured = 0;
std::int32_t WhiteCaptured = 0;
std::int32_t PlayMode = PlayFree;
std::int32_t PlaybackStepped = 0;

std::vector<MoveRecord> MoveList(InitialMoveListSize);
std::vector<CaptureRecord> CaptureLog;

std::vector<std::int32_t> DeadList;
std::int32_t DeadMarked = 0;
std::vector<std::pair<std::int32_t, QString>> DeadCoveredTexts;

std::int32_t LessonMode = 1;
std::int32_t CurrentFigure = 0;
std::int32_t LessonKind = 0;
std::int32_t CurrentProblem = 1;
std::int32_t AutoAdvance = 0;
std::int32_t ChoicePending = 0;
std::array<ChoiceEntry, ChoiceTableSize> ChoiceTable{};

MoveRecord &MoveAt(std::int32_t n) {
  if (n < 1) n = 1;
  if (static_cast<std::size_t>(n) > MoveList.size())
    MoveList.resize(std::max<std::size_t>(static_cast<std::size_t>(n), MoveList.size() * 2));
  return MoveList[static_cast<std::size_t>(n - 1)];
}

void ResetAll() {
  Board.fill(0);
  BoardSize = 19;
  PointCount = 361;
  CurrentColor = 1;
  MoveNumber = 0;
  MoveCount = 0;
  LastPoint = 0;
  BlackCaptured = 0;
  WhiteCaptured = 0;
  PlayMode = PlayFree;
  PlaybackStepped = 0;
  MoveList.assign(InitialMoveListSize, MoveRecord{});
  CaptureLog.clear();
  CaptureLog.reserve(InitialCaptureLogSize);
  DeadList.clear();
  DeadMarked = 0;
  DeadCoveredTexts.clear();
  LessonMode = 1;
  CurrentFigure = 0;
  LessonKind = 0;
  CurrentProblem = 1;
  AutoAdvance = 0;
  ChoicePending = 0;
  ChoiceTable.fill(ChoiceEntry{});
}

}  // namespace miretoka::play
