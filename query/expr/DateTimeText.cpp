#include "query/expr/DateTimeText.h"

namespace kura {

namespace {
[[noreturn]] void Throw(const char *pattern, std::string_view text) {
  std::string msg = "'";
  msg += text;
  msg += "' ";
  msg += pattern;
  throw EConvertError(msg);
}

// Reads text with one of the table store's readers; text it refuses raises the message.
template <typename V>
V ReadOrThrow(std::string_view text, bool (*read)(std::string_view, V &), const char *pattern) {
  V v;
  if (!read(text, v)) Throw(pattern, text);
  return v;
}
}  // namespace

bool TryParseInteger(std::string_view text, int64_t min, int64_t max, int64_t &out) {
  int64_t v;
  if (!ParseIntegerText(text, v) || v < min || v > max) return false;
  out = v;
  return true;
}

int32_t ParseDate(std::string_view text) { return ReadOrThrow<int32_t>(text, ParseDateText, "is not a valid date"); }
int32_t ParseTime(std::string_view text) { return ReadOrThrow<int32_t>(text, ParseTimeText, "is not a valid time"); }
double ParseTimeStamp(std::string_view text) {
  return ReadOrThrow<double>(text, ParseTimeStampText, "is not a valid date and time");
}
bool ParseBoolean(std::string_view text) { return ReadOrThrow<bool>(text, ParseBooleanText, "is not a valid boolean"); }
double ParseFloat(std::string_view text) {
  return ReadOrThrow<double>(text, ParseNumberText, "is not a valid floating point value");
}

int64_t ParseInteger(std::string_view text, int64_t min, int64_t max) {
  int64_t v;
  if (!TryParseInteger(text, min, max, v)) Throw("is not a valid integer value", text);
  return v;
}

int32_t CurrentDate() {
  int32_t day, ms;
  CurrentLocalDateTime(day, ms);
  return day;
}

int32_t CurrentTime() {
  int32_t day, ms;
  CurrentLocalDateTime(day, ms);
  return ms;
}

double CurrentTimeStamp() {
  int32_t day, ms;
  CurrentLocalDateTime(day, ms);
  return TimeStampOf(day, ms);
}

}  // namespace kura
