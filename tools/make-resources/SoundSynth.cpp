#include "tools/make-resources/SoundSynth.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace miretoka::resources {
namespace {
struct Mode {
  double frequency;  // Hz
  double amplitude;
  double decay;  // seconds for the amplitude to fall to 1/e
};

// Adds exponentially decaying sine modes, starting at sample `start`.
void AddModes(std::vector<double> &out, std::size_t start, const std::vector<Mode> &modes) {
  for (const Mode &m : modes) {
    const double w = 2.0 * std::numbers::pi * m.frequency / kSampleRate;
    for (std::size_t i = start; i < out.size(); ++i) {
      const double t = double(i - start) / kSampleRate;
      const double env = m.amplitude * std::exp(-t / m.decay);
      if (env < 1e-5) break;
      out[i] += env * std::sin(w * double(i - start));
    }
  }
}

// A short linear rise at the start and a raised-cosine fall at the end, so neither end of
// the sound clicks in the speaker.
void ShapeEnds(std::vector<double> &out, double riseSeconds, double fallSeconds) {
  const auto rise = std::size_t(riseSeconds * kSampleRate);
  const auto fall = std::size_t(fallSeconds * kSampleRate);
  for (std::size_t i = 0; i < rise && i < out.size(); ++i) out[i] *= double(i) / double(rise);
  for (std::size_t k = 0; k < fall && k < out.size(); ++k) {
    const double g = 0.5 * (1.0 + std::cos(std::numbers::pi * double(k + 1) / double(fall)));
    out[out.size() - fall + k] *= g;
  }
  if (!out.empty()) out.back() = 0.0;
}

void Normalise(std::vector<double> &out, double peak) {
  double max = 0.0;
  for (double s : out) max = std::max(max, std::abs(s));
  if (max <= 0.0) return;
  for (double &s : out) s *= peak / max;
}
}  // namespace

std::vector<double> SynthesiseClick() {
  std::vector<double> out(std::size_t(0.12 * kSampleRate), 0.0);
  // The body of a thick board rings briefly in a few inharmonic modes.
  AddModes(out, 0,
           {{380.0, 0.55, 0.018},
            {1130.0, 1.00, 0.011},
            {1720.0, 0.55, 0.008},
            {2650.0, 0.40, 0.005},
            {4100.0, 0.20, 0.003}});
  // The impact itself: a couple of milliseconds of decaying noise. A fixed generator keeps
  // the file the same on every build.
  std::uint32_t state = 0x2545F491u;
  const auto burst = std::size_t(0.004 * kSampleRate);
  for (std::size_t i = 0; i < burst && i < out.size(); ++i) {
    state = state * 1664525u + 1013904223u;
    const double noise = double(state >> 8) / double(1u << 24) * 2.0 - 1.0;
    out[i] += 0.6 * noise * std::exp(-double(i) / (0.0008 * kSampleRate));
  }
  ShapeEnds(out, 0.0003, 0.02);
  Normalise(out, 0.70);
  return out;
}

std::vector<double> SynthesiseChime() {
  std::vector<double> out(std::size_t(1.2 * kSampleRate), 0.0);
  // Partials of a small bell relative to its fundamental.
  auto bell = [](double f, double gain) {
    return std::vector<Mode>{{f, 1.00 * gain, 0.45},
                             {f * 2.00, 0.45 * gain, 0.28},
                             {f * 2.76, 0.30 * gain, 0.18},
                             {f * 5.40, 0.12 * gain, 0.08}};
  };
  AddModes(out, 0, bell(1318.5, 1.0));                                  // E6
  AddModes(out, std::size_t(0.22 * kSampleRate), bell(1046.5, 1.0));  // C6
  ShapeEnds(out, 0.002, 0.12);
  Normalise(out, 0.60);
  return out;
}
}  // namespace miretoka::resources
