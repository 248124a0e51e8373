// Validity of field constant texts.
#include "engine/data/ConstantText.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <string>

#include "engine/data/Bcd.h"
#include "engine/data/DateTimeCodec.h"

namespace kura {
namespace {

std::string Trimmed(std::string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && std::isspace(static_cast<unsigned char>(text[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(text[e - 1]))) --e;
  return std::string(text.substr(b, e - b));
}

bool UpperEquals(const std::string &a, const char *b) {
  std::string up;
  for (char c : a) up += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return up == b;
}

}  // namespace

bool ParseIntegerText(std::string_view text, int64_t &value) {
  std::string s = Trimmed(text);
  if (s.empty()) return false;
  size_t i = (s[0] == '-' || s[0] == '+') ? 1 : 0;
  if (i == s.size()) return false;
  for (size_t k = i; k < s.size(); ++k)
    if (!std::isdigit(static_cast<unsigned char>(s[k]))) return false;
  errno = 0;
  long long v = std::strtoll(s.c_str(), nullptr, 10);
  if (errno == ERANGE) return false;
  value = v;
  return true;
}

bool ParseNumberText(std::string_view text, double &value) {
  std::string s = Trimmed(text);
  size_t i = 0;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
  size_t digits = 0;
  while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
    size_t expDigits = 0;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++expDigits;
    if (expDigits == 0) return false;
  }
  if (i != s.size()) return false;
  value = std::strtod(s.c_str(), nullptr);
  return true;
}

bool IsValidFieldConstant(EngineFieldType type, FieldSubType subType, std::string_view text) {
  std::string s = Trimmed(text);
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
    case EngineFieldType::Date: return UpperEquals(s, "CURRENT_DATE") || ParseDateText(s, n);
    case EngineFieldType::Time: return UpperEquals(s, "CURRENT_TIME") || ParseTimeText(s, n);
    case EngineFieldType::TimeStamp:
      return UpperEquals(s, "CURRENT_TIMESTAMP") || UpperEquals(s, "CURRENT_DATE") ||
             UpperEquals(s, "CURRENT_TIME") || ParseTimeStampText(s, d);
    default: return false;  // Blob and types without storage take no constants
  }
}

}  // namespace kura
