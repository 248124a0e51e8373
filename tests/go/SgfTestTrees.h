#pragma once
// Game trees made from a seed, for the round-trip tests and the fuzz driver: variations,
// setup, markup, annotations, Japanese comments with line breaks and characters that need
// escapes, unknown properties.
#include <cstdint>
#include <string>

#include "go/GameTree.h"

namespace go::test {

TGameTree RandomTree(std::uint32_t seed, int nodes);

// A record as a game server writes one: a long main line with captures, chat comments,
// several variations, game information.
std::string ServerStyleRecord(int moves, int variations);

}  // namespace go::test
