#pragma once
// The 34-byte packed decimal of BCD fields: precision, sign-and-places, 32 bytes of digits
// (two per byte, high nibble first). Value = digits / 10^places, negative when bit 7 is set.
#include <cstdint>
#include <string>
#include <string_view>

namespace kura {

inline constexpr size_t kBcdSize = 34;
inline constexpr int kBcdMaxDigits = 64;

struct TBcd {
  uint8_t Precision = 0;
  uint8_t SignSpecialPlaces = 0;
  uint8_t Fraction[32] = {};

  bool Negative() const { return (SignSpecialPlaces & 0x80) != 0; }
  int Places() const { return SignSpecialPlaces & 0x3F; }
  void Decode(const uint8_t *bytes);
  void Encode(uint8_t *bytes) const;
};

// Checks precision, places and digit nibbles; a damaged value is refused, never read past.
bool BcdIsValid(const TBcd &value);
// Plain decimal text ("-12.5"); false for an invalid value.
bool BcdToString(const TBcd &value, std::string &text);
// From decimal text (optional sign, digits, optional "." and digits), stored with the given
// number of places (rounded half away from zero). False when the text is not a number or does
// not fit.
bool StringToBcd(std::string_view text, int places, TBcd &value);
// Currency values are 64-bit integers of value × 10 000.
bool BcdToCurrency(const TBcd &value, int64_t &currency);
// Precision 32, the given places (the currency rounded to them when fewer than four).
TBcd CurrencyToBcd(int64_t currency, int places);
bool BcdToDouble(const TBcd &value, double &result);
// Rounded to a currency value first (four decimal places); false when out of range.
bool DoubleToCurrency(double value, int64_t &currency);
// Currency text with up to four decimals and no trailing zeros ("12.5", "-3").
std::string CurrencyToString(int64_t currency);
bool StringToCurrency(std::string_view text, int64_t &currency);

}  // namespace kura
