#include "app/authoring/LessonAuthoring.h"

#include "app/board/PlayState.h"

namespace miretoka::play {

std::vector<QString> MoveTexts(InitialMoveTextsSize);

QString &MoveTextAt(std::int32_t i) {
  if (i < 0) i = 0;
  if (static_cast<std::size_t>(i) >= MoveTexts.size())
    MoveTexts.resize(std::max<std::size_t>(static_cast<std::size_t>(i) + 1, MoveTexts.size() * 2));
  return MoveTexts[static_cast<std::size_t>(i)];
}

std::int32_t CountMoves() {
  std::int32_t n = 0;
  for (const MoveRecord &m : MoveList) {
    if (m.Point <= 0) break;
    ++n;
  }
  return n;
}

void ResetMoveList() {
  // The entries past 100 are zeroed too: a list that grew for a long figure must not leave
  // old clicks behind the new ones.
  for (MoveRecord &m : MoveList) m = MoveRecord{};
  MoveTexts.assign(InitialMoveTextsSize, QString());
  MoveCount = 0;
}

}  // namespace miretoka::play
