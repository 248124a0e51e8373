#include "query/expr/Bcd.h"

#include <cmath>
#include <limits>

namespace kura {

namespace {
constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
constexpr int64_t kMin = std::numeric_limits<int64_t>::min();

std::optional<int64_t> Fit(__int128 v) {
  if (v > kMax || v < kMin) return std::nullopt;
  return static_cast<int64_t>(v);
}

// Division of 128-bit values rounded half away from zero.
__int128 DivideRounded(__int128 n, __int128 d) {
  __int128 q = n / d, r = n % d;
  __int128 twice = (r < 0 ? -r : r) * 2;
  __int128 ad = d < 0 ? -d : d;
  if (twice >= ad) q += ((n < 0) != (d < 0)) ? -1 : 1;
  return q;
}
}  // namespace

std::optional<int64_t> BcdAdd(int64_t a, int64_t b) { return Fit(__int128(a) + b); }
std::optional<int64_t> BcdSubtract(int64_t a, int64_t b) { return Fit(__int128(a) - b); }

std::optional<int64_t> BcdMultiply(int64_t a, int64_t b) {
  return Fit(DivideRounded(__int128(a) * b, kBcdScale));
}

std::optional<int64_t> BcdDivide(int64_t a, int64_t b) {
  if (b == 0) return std::nullopt;
  return Fit(DivideRounded(__int128(a) * kBcdScale, b));
}

std::optional<int64_t> BcdFromInteger(int64_t v) { return Fit(__int128(v) * kBcdScale); }

std::optional<int64_t> BcdFromFloat(double v) {
  if (!std::isfinite(v)) return std::nullopt;
  double scaled = std::round(v * kBcdScale);  // half away from zero
  if (scaled >= 9.2e18 || scaled <= -9.2e18) return std::nullopt;
  return static_cast<int64_t>(scaled);
}

double BcdToFloat(int64_t scaled) { return static_cast<double>(scaled) / kBcdScale; }

int64_t BcdTruncate(int64_t scaled) { return scaled / kBcdScale; }

std::optional<int64_t> BcdRound(int64_t scaled, int places) {
  if (places >= kBcdMaxPlaces) return scaled;
  if (places < 0) places = 0;
  int64_t unit = 1;
  for (int i = places; i < kBcdMaxPlaces; ++i) unit *= 10;
  return Fit(DivideRounded(scaled, unit) * unit);
}

std::string BcdText(int64_t scaled) {
  bool neg = scaled < 0;
  unsigned __int128 mag = neg ? -(__int128)scaled : scaled;
  uint64_t whole = static_cast<uint64_t>(mag / kBcdScale);
  uint64_t frac = static_cast<uint64_t>(mag % kBcdScale);
  std::string s = (neg ? "-" : "") + std::to_string(whole);
  if (frac) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04llu", static_cast<unsigned long long>(frac));
    std::string f(buf);
    while (!f.empty() && f.back() == '0') f.pop_back();
    s += "." + f;
  }
  return s;
}

bool TryParseBcd(std::string_view text, int64_t &scaled) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
  bool neg = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    neg = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return false;
  __int128 whole = 0;
  size_t i = 0;
  bool digits = false;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    whole = whole * 10 + (text[i] - '0');
    digits = true;
    if (whole > kMax) return false;
  }
  __int128 frac = 0;
  int places = 0;
  bool roundUp = false;
  if (i < text.size() && text[i] == '.') {
    ++i;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
      digits = true;
      if (places < kBcdMaxPlaces) {
        frac = frac * 10 + (text[i] - '0');
        ++places;
      } else if (places == kBcdMaxPlaces) {
        roundUp = text[i] >= '5';
        ++places;
      }
    }
  }
  if (!digits || i != text.size()) return false;
  for (int p = std::min(places, kBcdMaxPlaces); p < kBcdMaxPlaces; ++p) frac *= 10;
  __int128 v = whole * kBcdScale + frac + (roundUp ? 1 : 0);
  if (neg) v = -v;
  auto fit = Fit(v);
  if (!fit) return false;
  scaled = *fit;
  return true;
}

TPackedBcd PackBcd(int64_t scaled, int places, int precision) {
  TPackedBcd out{};
  if (places < 0) places = 0;
  if (places > kBcdMaxPlaces) places = kBcdMaxPlaces;
  auto rounded = BcdRound(scaled, places);
  int64_t v = rounded ? *rounded : scaled;
  bool neg = v < 0;
  unsigned __int128 mag = neg ? -(__int128)v : v;
  for (int i = places; i < kBcdMaxPlaces; ++i) mag /= 10;  // drop the places not stored
  // Digits right-aligned within `precision` nibbles.
  if (precision < 1) precision = 1;
  if (precision > 64) precision = 64;
  out[0] = static_cast<uint8_t>(precision);
  out[1] = static_cast<uint8_t>((neg ? 0x80 : 0) | places);
  for (int nib = precision - 1; nib >= 0 && mag; --nib) {
    uint8_t digit = static_cast<uint8_t>(mag % 10);
    mag /= 10;
    uint8_t &byte = out[2 + nib / 2];
    if (nib % 2 == 0) byte |= static_cast<uint8_t>(digit << 4); else byte |= digit;
  }
  return out;
}

bool UnpackBcd(const TPackedBcd &packed, int64_t &scaled) {
  int precision = packed[0];
  int places = packed[1] & 0x3F;
  bool neg = (packed[1] & 0x80) != 0;
  if (precision > 64 || places > precision) return false;
  __int128 v = 0;
  for (int nib = 0; nib < precision; ++nib) {
    uint8_t byte = packed[2 + nib / 2];
    uint8_t digit = nib % 2 == 0 ? byte >> 4 : byte & 0x0F;
    if (digit > 9) return false;
    if (nib < precision - places + kBcdMaxPlaces) {
      v = v * 10 + digit;
      if (v > (__int128)kMax * 10) return false;
    }
  }
  // v holds the value with min(places, 4) decimals when places <= 4; scale it to four places.
  int kept = places < kBcdMaxPlaces ? places : kBcdMaxPlaces;
  for (int i = kept; i < kBcdMaxPlaces; ++i) v *= 10;
  if (neg) v = -v;
  auto fit = Fit(v);
  if (!fit) return false;
  scaled = *fit;
  return true;
}

}  // namespace kura
