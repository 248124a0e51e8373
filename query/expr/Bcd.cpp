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
  int64_t scaled;
  if (!DoubleToCurrency(v, scaled)) return std::nullopt;
  return scaled;
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

TPackedBcd PackBcd(int64_t scaled, int places) {
  TPackedBcd out{};
  CurrencyToBcd(scaled, places).Encode(out.data());
  return out;
}

bool UnpackBcd(const TPackedBcd &packed, int64_t &scaled) {
  TBcd value;
  value.Decode(packed.data());
  return BcdToCurrency(value, scaled);
}

}  // namespace kura
