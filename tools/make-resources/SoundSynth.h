#pragma once
// Synthesises the program's two signals as mono samples in the range -1 .. 1.
#include <vector>

namespace miretoka::resources {
inline constexpr int kSampleRate = 44100;

// A short dry knock, like a stone put down on a wooden board (about 0.12 s).
std::vector<double> SynthesiseClick();
// Two bell notes falling a major third, the signal that a sequence has ended (about 1.2 s).
std::vector<double> SynthesiseChime();
}  // namespace miretoka::resources
