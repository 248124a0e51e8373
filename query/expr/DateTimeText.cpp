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
}  // namespace

bool TryParseInteger(std::string_view text, int64_t min, int64_t max, int64_t &out) {
  int64_t v;
  if (!ParseIntegerText(text, v) || v < min || v > max) return false;
  out = v;
  return true;
}

int32_t ParseDate(std::string_view text) {
  int32_t v;
  if (!ParseDateText(text, v)) Throw("is not a valid date", text);
  return v;
}

int32_t ParseTime(std::string_view text) {
  int32_t v;
  if (!ParseTimeText(text, v)) Throw("is not a valid time", text);
  return v;
}

double ParseTimeStamp(std::string_view text) {
  double v;
  if (!ParseTimeStampText(text, v)) Throw("is not a valid date and time", text);
  return v;
}

bool ParseBoolean(std::string_view text) {
  bool v;
  if (!ParseBooleanText(text, v)) Throw("is not a valid boolean", text);
  return v;
}

double ParseFloat(std::string_view text) {
  double v;
  if (!ParseNumberText(text, v)) Throw("is not a valid floating point value", text);
  return v;
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
