// Packed decimal conversions.
#include "engine/data/Bcd.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "engine/util/TextScan.h"

namespace kura {
namespace {

int DigitAt(const TBcd &v, int i) { return (i % 2 == 0) ? (v.Fraction[i / 2] >> 4) : (v.Fraction[i / 2] & 0x0F); }

void SetDigit(TBcd &v, int i, int d) {
  uint8_t &b = v.Fraction[i / 2];
  if (i % 2 == 0)
    b = static_cast<uint8_t>((b & 0x0F) | (d << 4));
  else
    b = static_cast<uint8_t>((b & 0xF0) | d);
}

// Parses sign, integer digits and fraction digits of a decimal text.
bool SplitDecimal(std::string_view text, bool &negative, std::string &integer, std::string &fraction) {
  text = TrimValueText(text);
  negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  integer.clear();
  fraction.clear();
  while (!text.empty() && IsAsciiDigit(text.front())) {
    integer += text.front();
    text.remove_prefix(1);
  }
  if (!text.empty() && text.front() == '.') {
    text.remove_prefix(1);
    while (!text.empty() && IsAsciiDigit(text.front())) {
      fraction += text.front();
      text.remove_prefix(1);
    }
  }
  return text.empty() && !(integer.empty() && fraction.empty());
}

// Builds a BCD from a sign and a digit string whose last `places` digits are decimals.
bool FromDigits(bool negative, std::string digits, int places, int precision, TBcd &value) {
  while (digits.size() > static_cast<size_t>(places) + 1 && digits.front() == '0') digits.erase(0, 1);
  if (precision < static_cast<int>(digits.size())) precision = static_cast<int>(digits.size());
  if (precision > kBcdMaxDigits || places > precision) return false;
  digits.insert(0, static_cast<size_t>(precision) - digits.size(), '0');
  value = TBcd();
  value.Precision = static_cast<uint8_t>(precision);
  bool zero = digits.find_first_not_of('0') == std::string::npos;
  value.SignSpecialPlaces = static_cast<uint8_t>((negative && !zero ? 0x80 : 0) | (places & 0x3F));
  for (int i = 0; i < precision; ++i) SetDigit(value, i, digits[static_cast<size_t>(i)] - '0');
  return true;
}

// Rounds a digit string (integer part + fraction) to `places` decimals, half away from zero.
std::string RoundDigits(const std::string &integer, std::string fraction, int places) {
  bool roundUp = static_cast<int>(fraction.size()) > places && fraction[static_cast<size_t>(places)] >= '5';
  if (static_cast<int>(fraction.size()) > places) fraction.resize(static_cast<size_t>(places));
  fraction.append(static_cast<size_t>(places) - fraction.size(), '0');
  std::string digits = (integer.empty() ? "0" : integer) + fraction;
  if (roundUp) {
    int i = static_cast<int>(digits.size()) - 1;
    while (i >= 0) {
      if (digits[static_cast<size_t>(i)] == '9') {
        digits[static_cast<size_t>(i)] = '0';
        --i;
      } else {
        ++digits[static_cast<size_t>(i)];
        break;
      }
    }
    if (i < 0) digits.insert(0, "1");
  }
  return digits;
}

}  // namespace

void TBcd::Decode(const uint8_t *bytes) {
  Precision = bytes[0];
  SignSpecialPlaces = bytes[1];
  std::memcpy(Fraction, bytes + 2, sizeof Fraction);
}

void TBcd::Encode(uint8_t *bytes) const {
  bytes[0] = Precision;
  bytes[1] = SignSpecialPlaces;
  std::memcpy(bytes + 2, Fraction, sizeof Fraction);
}

bool BcdIsValid(const TBcd &value) {
  if (value.Precision > kBcdMaxDigits || value.Places() > value.Precision) return false;
  for (int i = 0; i < value.Precision; ++i)
    if (DigitAt(value, i) > 9) return false;
  return true;
}

bool BcdToString(const TBcd &value, std::string &text) {
  if (!BcdIsValid(value)) return false;
  std::string digits;
  for (int i = 0; i < value.Precision; ++i) digits += static_cast<char>('0' + DigitAt(value, i));
  int places = value.Places();
  std::string integer = digits.substr(0, digits.size() - static_cast<size_t>(places));
  std::string fraction = digits.substr(digits.size() - static_cast<size_t>(places));
  while (integer.size() > 1 && integer.front() == '0') integer.erase(0, 1);
  if (integer.empty()) integer = "0";
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  bool zero = integer == "0" && fraction.empty();
  text = (value.Negative() && !zero ? "-" : "") + integer + (fraction.empty() ? "" : "." + fraction);
  return true;
}

bool StringToBcd(std::string_view text, int places, TBcd &value) {
  bool negative;
  std::string integer, fraction;
  if (places < 0 || places > 63 || !SplitDecimal(text, negative, integer, fraction)) return false;
  return FromDigits(negative, RoundDigits(integer, fraction, places), places, 0, value);
}

bool BcdToCurrency(const TBcd &value, int64_t &currency) {
  std::string text;
  if (!BcdToString(value, text)) return false;
  return StringToCurrency(text, currency);
}

TBcd CurrencyToBcd(int64_t currency, int places) {
  if (places < 0) places = 0;
  if (places > 32) places = 32;
  std::string text = CurrencyToString(currency);
  TBcd value;
  bool negative;
  std::string integer, fraction;
  SplitDecimal(text, negative, integer, fraction);
  FromDigits(negative, RoundDigits(integer, fraction, places), places, 32, value);
  return value;
}

bool BcdToDouble(const TBcd &value, double &result) {
  std::string text;
  if (!BcdToString(value, text)) return false;
  // from_chars reads "." whatever the locale.
  return std::from_chars(text.data(), text.data() + text.size(), result).ec == std::errc();
}

bool DoubleToCurrency(double value, int64_t &currency) {
  if (!std::isfinite(value)) return false;
  double scaled = std::round(value * 10000.0);
  if (scaled >= 9.2233720368547758e18 || scaled <= -9.2233720368547758e18) return false;
  currency = static_cast<int64_t>(scaled);
  return true;
}

std::string CurrencyToString(int64_t currency) {
  bool negative = currency < 0;
  uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(currency) : static_cast<uint64_t>(currency);
  std::string integer = std::to_string(magnitude / 10000);
  std::string fraction = std::to_string(magnitude % 10000);
  fraction.insert(0, 4 - fraction.size(), '0');
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  return (negative ? "-" : "") + integer + (fraction.empty() ? "" : "." + fraction);
}

bool StringToCurrency(std::string_view text, int64_t &currency) {
  bool negative;
  std::string integer, fraction;
  if (!SplitDecimal(text, negative, integer, fraction)) return false;
  std::string digits = RoundDigits(integer, fraction, 4);
  while (digits.size() > 1 && digits.front() == '0') digits.erase(0, 1);
  if (digits.size() > 19) return false;
  uint64_t magnitude = 0;
  for (char c : digits) {
    uint64_t next = magnitude * 10 + static_cast<uint64_t>(c - '0');
    if (next / 10 != magnitude && magnitude != 0) return false;
    magnitude = next;
  }
  if (magnitude > static_cast<uint64_t>(INT64_MAX) + (negative ? 1 : 0)) return false;
  currency = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
  return true;
}

}  // namespace kura
