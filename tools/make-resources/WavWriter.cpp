#include "tools/make-resources/WavWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace miretoka::resources {
namespace {
void Put16(QByteArray &out, std::uint16_t v) {
  out.append(char(v & 0xFF));
  out.append(char((v >> 8) & 0xFF));
}
void Put32(QByteArray &out, std::uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) out.append(char((v >> shift) & 0xFF));
}
}  // namespace

QByteArray EncodeWav16(const std::vector<double> &samples, int sampleRate) {
  constexpr std::uint16_t kChannels = 1;
  constexpr std::uint16_t kBits = 16;
  constexpr std::uint16_t kBlockAlign = kChannels * kBits / 8;
  const auto dataBytes = std::uint32_t(samples.size() * kBlockAlign);

  QByteArray out;
  out.reserve(int(44 + dataBytes));
  out.append("RIFF", 4);
  Put32(out, 36 + dataBytes);
  out.append("WAVE", 4);
  out.append("fmt ", 4);
  Put32(out, 16);
  Put16(out, 1);  // PCM
  Put16(out, kChannels);
  Put32(out, std::uint32_t(sampleRate));
  Put32(out, std::uint32_t(sampleRate) * kBlockAlign);
  Put16(out, kBlockAlign);
  Put16(out, kBits);
  out.append("data", 4);
  Put32(out, dataBytes);
  for (double s : samples) {
    const double clipped = std::clamp(s, -1.0, 1.0);
    const auto v = std::int16_t(std::lround(clipped * 32767.0));
    Put16(out, std::uint16_t(v));
  }
  return out;
}
}  // namespace miretoka::resources
