#pragma once
// BCD values in expressions: computed as a 64-bit integer scaled by 10 000 (four decimal
// places), the table store's currency value; stored as its 34-byte packed decimal record
// (engine/data/Bcd.h, which also holds the text forms and the record conversions).
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/data/Bcd.h"

namespace kura {

constexpr int64_t kBcdScale = 10000;
constexpr int kBcdMaxPlaces = 4;

using TPackedBcd = std::array<uint8_t, kBcdSize>;

// All arithmetic reports overflow as an empty result instead of wrapping.
std::optional<int64_t> BcdAdd(int64_t a, int64_t b);
std::optional<int64_t> BcdSubtract(int64_t a, int64_t b);
std::optional<int64_t> BcdMultiply(int64_t a, int64_t b);  // rounded half away from zero
std::optional<int64_t> BcdDivide(int64_t a, int64_t b);    // empty when b is 0
std::optional<int64_t> BcdFromInteger(int64_t v);
std::optional<int64_t> BcdFromFloat(double v);  // rounded to four places
double BcdToFloat(int64_t scaled);
int64_t BcdTruncate(int64_t scaled);  // the integer part, toward zero
// Rounds the scaled value to `places` decimal places (0 to 4), half away from zero.
std::optional<int64_t> BcdRound(int64_t scaled, int places);

// Text: "-12.5" style, no trailing zeros, "." as separator.
inline std::string BcdText(int64_t scaled) { return CurrencyToString(scaled); }
inline bool TryParseBcd(std::string_view text, int64_t &scaled) { return StringToCurrency(text, scaled); }

// Precision 32 and the given places (the value rounded to them when fewer than four).
TPackedBcd PackBcd(int64_t scaled, int places);
// Rounded to four places; false when the record is malformed (bad nibbles or places) or does
// not fit.
bool UnpackBcd(const TPackedBcd &packed, int64_t &scaled);

}  // namespace kura
