#include "app/lessons/Marks.h"

namespace miretoka::play {

std::int32_t MarkPlace = 0;
std::int32_t MarkColor = 0;

void ResetLettering() {
  MarkPlace = 0;
  MarkColor = 0;
}

}  // namespace miretoka::play
