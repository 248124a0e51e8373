// Oto1.wav (a short wooden click) and Oto2.wav (a short chime): 16-bit PCM that any
// player accepts, with no clipping and no click at either end.
#include <gtest/gtest.h>

#include <QFile>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>
#include <vector>

namespace {
struct Wav {
  int format = 0, channels = 0, sampleRate = 0, byteRate = 0, blockAlign = 0, bits = 0;
  std::vector<double> samples;  // -1 .. 1
  double seconds() const { return double(samples.size()) / sampleRate; }
};

// Walks the RIFF chunks as a player would; nothing is assumed about their order.
std::optional<Wav> ReadWav(const QString &path, std::string *why) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return *why = "cannot open", std::nullopt;
  const QByteArray b = f.readAll();
  auto u32 = [&](qsizetype at) { return qFromLittleEndian<quint32>(b.constData() + at); };
  auto u16 = [&](qsizetype at) { return qFromLittleEndian<quint16>(b.constData() + at); };
  if (b.size() < 12 || b.left(4) != "RIFF" || b.mid(8, 4) != "WAVE") return *why = "not RIFF/WAVE", std::nullopt;
  if (u32(4) != quint32(b.size() - 8)) return *why = "RIFF size does not match the file", std::nullopt;
  Wav w;
  bool haveFormat = false, haveData = false;
  for (qsizetype at = 12; at + 8 <= b.size();) {
    const QByteArray id = b.mid(at, 4);
    const quint32 size = u32(at + 4);
    if (at + 8 + qsizetype(size) > b.size()) return *why = "chunk runs past the end", std::nullopt;
    if (id == "fmt ") {
      if (size < 16) return *why = "short fmt chunk", std::nullopt;
      w.format = u16(at + 8);
      w.channels = u16(at + 10);
      w.sampleRate = int(u32(at + 12));
      w.byteRate = int(u32(at + 16));
      w.blockAlign = u16(at + 20);
      w.bits = u16(at + 22);
      haveFormat = true;
    } else if (id == "data") {
      if (!haveFormat || w.bits != 16) return *why = "data before a 16-bit fmt", std::nullopt;
      for (quint32 i = 0; i + 1 < size; i += 2)
        w.samples.push_back(qFromLittleEndian<qint16>(b.constData() + at + 8 + i) / 32768.0);
      haveData = true;
    }
    at += 8 + size + (size & 1);
  }
  if (!haveFormat || !haveData) return *why = "fmt or data chunk missing", std::nullopt;
  return w;
}

// Strength of one frequency in a stretch of samples (Goertzel), normalised per sample.
double ToneLevel(const std::vector<double> &s, std::size_t from, std::size_t to, double hz, int rate) {
  const double k = 2.0 * std::cos(2.0 * std::numbers::pi * hz / rate);
  double p1 = 0, p2 = 0;
  for (std::size_t i = from; i < to; ++i) {
    const double p0 = s[i] + k * p1 - p2;
    p2 = p1;
    p1 = p0;
  }
  return std::sqrt(std::max(0.0, p1 * p1 + p2 * p2 - k * p1 * p2)) / double(to - from);
}

double Rms(const std::vector<double> &s, std::size_t from, std::size_t to) {
  double sum = 0;
  for (std::size_t i = from; i < to; ++i) sum += s[i] * s[i];
  return std::sqrt(sum / double(to - from));
}

Wav Load(const char *name) {
  std::string why;
  const auto w = ReadWav(QStringLiteral(MIRETOKA_BIN_DIR "/") + QLatin1String(name), &why);
  EXPECT_TRUE(w.has_value()) << name << ": " << why;
  return w.value_or(Wav{});
}

void ExpectPlainPcm(const Wav &w) {
  EXPECT_EQ(w.format, 1);  // PCM
  EXPECT_EQ(w.bits, 16);
  EXPECT_EQ(w.channels, 1);
  EXPECT_EQ(w.sampleRate, 44100);
  EXPECT_EQ(w.blockAlign, w.channels * w.bits / 8);
  EXPECT_EQ(w.byteRate, w.sampleRate * w.blockAlign);
}

void ExpectCleanLevels(const Wav &w) {
  ASSERT_FALSE(w.samples.empty());
  double peak = 0;
  for (double s : w.samples) peak = std::max(peak, std::abs(s));
  EXPECT_GT(peak, 0.3);    // clearly audible
  EXPECT_LT(peak, 0.95);   // never clipped
  // Starting and ending near silence: no pop when the device opens or closes.
  EXPECT_LT(std::abs(w.samples.front()), 0.01);
  EXPECT_LT(std::abs(w.samples.back()), 0.001);
}
}  // namespace

TEST(ClickSound, IsShortPlainPcm) {
  const Wav w = Load("Oto1.wav");
  ExpectPlainPcm(w);
  ExpectCleanLevels(w);
  EXPECT_GE(w.seconds(), 0.05);
  EXPECT_LE(w.seconds(), 0.25);  // a click, not a tone: each placement plays it
}

TEST(ClickSound, IsAPercussiveKnockThatDiesAwayAtOnce) {
  const Wav w = Load("Oto1.wav");
  ASSERT_GT(w.samples.size(), std::size_t(w.sampleRate / 20));
  const std::size_t ms = std::size_t(w.sampleRate / 1000);
  const double attack = Rms(w.samples, 0, 10 * ms);
  const double after = Rms(w.samples, 40 * ms, 50 * ms);
  EXPECT_GT(attack, 0.05);
  EXPECT_LT(after, attack * 0.1);  // down by more than 20 dB within 40 ms
}

TEST(ChimeSound, IsShortPlainPcm) {
  const Wav w = Load("Oto2.wav");
  ExpectPlainPcm(w);
  ExpectCleanLevels(w);
  EXPECT_GE(w.seconds(), 0.5);
  EXPECT_LE(w.seconds(), 2.0);
}

TEST(ChimeSound, RingsTwoBellNotesOneAfterTheOther) {
  const Wav w = Load("Oto2.wav");
  const int rate = w.sampleRate;
  ASSERT_GT(w.samples.size(), std::size_t(rate / 2));
  const auto at = [&](double seconds) { return std::size_t(seconds * rate); };
  // First note E6 (1318.5 Hz), the second C6 (1046.5 Hz) joining it a little later.
  const double e6Early = ToneLevel(w.samples, at(0.02), at(0.20), 1318.5, rate);
  const double c6Early = ToneLevel(w.samples, at(0.02), at(0.20), 1046.5, rate);
  const double c6Later = ToneLevel(w.samples, at(0.25), at(0.45), 1046.5, rate);
  const double offTone = ToneLevel(w.samples, at(0.02), at(0.20), 600.0, rate);
  EXPECT_GT(e6Early, 5 * c6Early);
  EXPECT_GT(e6Early, 5 * offTone);
  EXPECT_GT(c6Later, 5 * c6Early);
  // A bell decays: the last tenth is much quieter than the strike.
  const std::size_t n = w.samples.size();
  EXPECT_LT(Rms(w.samples, n - n / 10, n), 0.25 * Rms(w.samples, 0, n / 10));
}
