#pragma once
// Writes samples as a 16-bit PCM RIFF/WAVE file.
#include <QByteArray>
#include <vector>

namespace miretoka::resources {
// Mono 16-bit PCM at `sampleRate`; samples outside -1 .. 1 are clipped.
QByteArray EncodeWav16(const std::vector<double> &samples, int sampleRate);
}  // namespace miretoka::resources
