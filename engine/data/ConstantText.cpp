// Validity of field constant texts.
#include "engine/data/ConstantText.h"

#include <charconv>
#include <cmath>
#include <string>

#include "engine/data/Bcd.h"
#include "engine/data/DateTimeCodec.h"
#include "engine/util/TextScan.h"

namespace kura {

bool ParseIntegerText(std::string_view text, int64_t &value) {
  std::string_view s = TrimValueText(text);
  size_t i = !s.empty() && (s[0] == '-' || s[0] == '+') ? 1 : 0;
  if (i == s.size()) return false;
  for (size_t k = i; k < s.size(); ++k)
    if (!IsAsciiDigit(s[k])) return false;
  if (s[0] == '+') s.remove_prefix(1);  // from_chars takes no leading "+"
  int64_t v;
  auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  if (r.ec != std::errc() || r.ptr != s.data() + s.size()) return false;
  value = v;
  return true;
}

bool ParseNumberText(std::string_view text, double &value) {
  std::string_view s = TrimValueText(text);
  size_t i = 0;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
  size_t digits = 0;
  while (i < s.size() && IsAsciiDigit(s[i])) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && IsAsciiDigit(s[i])) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
    size_t expDigits = 0;
    while (i < s.size() && IsAsciiDigit(s[i])) ++i, ++expDigits;
    if (expDigits == 0) return false;
  }
  if (i != s.size()) return false;
  // from_chars reads "." whatever the locale; it takes no leading "+".
  if (s.front() == '+') s.remove_prefix(1);
  double v;
  auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  if (r.ec != std::errc() || r.ptr != s.data() + s.size() || !std::isfinite(v)) return false;
  value = v;
  return true;
}

bool IsValidFieldConstant(EngineFieldType type, FieldSubType subType, std::string_view text) {
  std::string_view s = TrimValueText(text);
  if (s.empty()) return true;
  int64_t i;
  double d;
  int32_t n;
  bool b;
  switch (type) {
    case EngineFieldType::String:
    case EngineFieldType::Bytes:
    case EngineFieldType::VarBytes: return true;
    case EngineFieldType::SmallInt: return ParseIntegerText(s, i) && i >= -32768 && i <= 32767;
    case EngineFieldType::Word: return ParseIntegerText(s, i) && i >= 0 && i <= 65535;
    case EngineFieldType::Integer:
      if (subType == FieldSubType::AutoInc) return false;
      return ParseIntegerText(s, i) && i >= INT32_MIN && i <= INT32_MAX;
    case EngineFieldType::LongWord: return ParseIntegerText(s, i) && i >= 0 && i <= UINT32_MAX;
    case EngineFieldType::LargeInt: return ParseIntegerText(s, i);
    case EngineFieldType::Float:
    case EngineFieldType::Extended: return ParseNumberText(s, d);
    case EngineFieldType::BCD: {
      int64_t currency;
      return ParseNumberText(s, d) && (StringToCurrency(s, currency) || DoubleToCurrency(d, currency));
    }
    case EngineFieldType::Boolean: return ParseBooleanText(s, b);
    case EngineFieldType::Date: return SameTextIgnoringCase(s, "CURRENT_DATE") || ParseDateText(s, n);
    case EngineFieldType::Time: return SameTextIgnoringCase(s, "CURRENT_TIME") || ParseTimeText(s, n);
    case EngineFieldType::TimeStamp:
      return SameTextIgnoringCase(s, "CURRENT_TIMESTAMP") || SameTextIgnoringCase(s, "CURRENT_DATE") ||
             SameTextIgnoringCase(s, "CURRENT_TIME") || ParseTimeStampText(s, d);
    default: return false;  // Blob and types without storage take no constants
  }
}

}  // namespace kura
