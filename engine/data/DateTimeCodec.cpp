// Calendar arithmetic and text forms of dates, times and timestamps.
#include "engine/data/DateTimeCodec.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "engine/util/TextScan.h"

namespace kura {
namespace {

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int64_t &y, int &m, int &d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = yoe + era * 400;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y += m <= 2;
}

// Day number = days since 1970 - this.
const int64_t kDayOneOffset = DaysFromCivil(1, 1, 1) - 1;

// Reads 1 to maxDigits decimal digits at pos; fails when more digits follow.
bool ReadNumber(std::string_view s, size_t &pos, int maxDigits, int &value) {
  size_t start = pos;
  value = 0;
  while (pos < s.size() && IsAsciiDigit(s[pos]) && static_cast<int>(pos - start) < maxDigits) {
    value = value * 10 + (s[pos] - '0');
    ++pos;
  }
  return pos > start && !(pos < s.size() && IsAsciiDigit(s[pos]));
}

int64_t WeekOneMonday(int year) {
  int64_t jan4 = DayNumber(year, 1, 4);
  return jan4 - (DayOfWeek(jan4) - 1);
}

}  // namespace

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

bool IsValidDate(int year, int month, int day) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
  return day <= kDays[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
}

int32_t DayNumber(int year, int month, int day) {
  return static_cast<int32_t>(DaysFromCivil(year, month, day) - kDayOneOffset);
}

void DecodeDayNumber(int64_t dayNumber, int &year, int &month, int &day) {
  // Keep the arithmetic in range for any 64-bit input.
  const int64_t limit = int64_t(1) << 40;
  if (dayNumber > limit) dayNumber = limit;
  if (dayNumber < -limit) dayNumber = -limit;
  int64_t y;
  CivilFromDays(dayNumber + kDayOneOffset, y, month, day);
  year = static_cast<int>(y);
}

bool DateToDayNumber(int year, int month, int day, int32_t &dayNumber) {
  if (!IsValidDate(year, month, day)) return false;
  dayNumber = DayNumber(year, month, day);
  return true;
}

bool DayNumberToDate(int32_t dayNumber, int &year, int &month, int &day) {
  if (dayNumber < 1 || dayNumber > kMaxDayNumber) return false;
  DecodeDayNumber(dayNumber, year, month, day);
  return true;
}

int DayOfWeek(int64_t dayNumber) {
  // Day 1 (0001-01-01) was a Monday.
  int64_t r = (dayNumber - 1) % 7;
  if (r < 0) r += 7;
  return static_cast<int>(r) + 1;
}

int DayOfYear(int64_t dayNumber) {
  int y, m, d;
  DecodeDayNumber(dayNumber, y, m, d);
  return static_cast<int>(dayNumber - DayNumber(y, 1, 1)) + 1;
}

int IsoWeek(int64_t dayNumber) {
  int y, m, d;
  DecodeDayNumber(dayNumber, y, m, d);
  int64_t start = WeekOneMonday(y);
  if (dayNumber < start)
    start = WeekOneMonday(y - 1);
  else if (dayNumber >= WeekOneMonday(y + 1))
    return 1;
  return static_cast<int>((dayNumber - start) / 7) + 1;
}

void SplitTimeStamp(double timeStamp, int64_t &dayNumber, int64_t &msOfDay) {
  if (!std::isfinite(timeStamp)) timeStamp = 0;
  const double limit = 9.0e15;  // beyond every representable day of the calendar
  if (timeStamp > limit) timeStamp = limit;
  if (timeStamp < -limit) timeStamp = -limit;
  double day = std::floor(timeStamp / static_cast<double>(kMsPerDay));
  dayNumber = static_cast<int64_t>(day);
  msOfDay = static_cast<int64_t>(std::llround(timeStamp - day * static_cast<double>(kMsPerDay)));
  if (msOfDay >= kMsPerDay) {
    msOfDay -= kMsPerDay;
    ++dayNumber;
  }
  if (msOfDay < 0) msOfDay = 0;
}

bool DecodeTimeStamp(double value, int32_t &dayNumber, int32_t &msOfDay) {
  if (!std::isfinite(value)) return false;
  int64_t day, ms;
  SplitTimeStamp(value, day, ms);
  if (day < 1 || day > kMaxDayNumber) return false;
  dayNumber = static_cast<int32_t>(day);
  msOfDay = static_cast<int32_t>(ms);
  return true;
}

bool ParseDateText(std::string_view text, int32_t &dayNumber) {
  std::string_view s = TrimValueText(text);
  size_t pos = 0;
  int y, m, d;
  if (!ReadNumber(s, pos, 4, y) || pos >= s.size() || s[pos] != '-') return false;
  ++pos;
  if (!ReadNumber(s, pos, 2, m) || pos >= s.size() || s[pos] != '-') return false;
  ++pos;
  if (!ReadNumber(s, pos, 2, d) || pos != s.size()) return false;
  return DateToDayNumber(y, m, d, dayNumber);
}

bool ParseTimeText(std::string_view text, int32_t &msOfDay) {
  // An AM or PM marker may stand anywhere; take it out first. A second marker is an error.
  std::string rest;
  int half = 0;  // 1 AM, 2 PM
  std::string_view t = TrimValueText(text);
  for (size_t i = 0; i < t.size();) {
    if (i + 1 < t.size() && UpperAsciiChar(t[i + 1]) == 'M' && (UpperAsciiChar(t[i]) == 'A' || UpperAsciiChar(t[i]) == 'P')) {
      if (half) return false;
      half = UpperAsciiChar(t[i]) == 'A' ? 1 : 2;
      i += 2;
      continue;
    }
    rest.push_back(t[i++]);
  }
  std::string_view v = TrimValueText(rest);
  size_t pos = 0;
  int h, mi, sec = 0, ms = 0;
  if (!ReadNumber(v, pos, 2, h) || pos >= v.size() || v[pos] != ':') return false;
  ++pos;
  if (!ReadNumber(v, pos, 2, mi)) return false;
  if (pos < v.size() && v[pos] == ':') {
    ++pos;
    if (!ReadNumber(v, pos, 2, sec)) return false;
    if (pos < v.size() && v[pos] == '.') {
      ++pos;
      if (!ReadNumber(v, pos, 3, ms)) return false;
    }
  }
  if (pos != v.size()) return false;
  if (half) {
    if (h > 12) return false;
    if (half == 1 && h == 12) h = 0;
    if (half == 2 && h != 12) h += 12;
  }
  if (h > 23 || mi > 59 || sec > 59) return false;
  msOfDay = ((h * 60 + mi) * 60 + sec) * 1000 + ms;
  return true;
}

bool ParseTimeStampText(std::string_view text, double &value) {
  std::string_view s = TrimValueText(text);
  int32_t day, ms;
  size_t blank = s.find(' ');
  if (blank != std::string_view::npos && ParseDateText(s.substr(0, blank), day) &&
      ParseTimeText(s.substr(blank + 1), ms)) {
    value = TimeStampOf(day, ms);
    return true;
  }
  if (s.find(':') != std::string_view::npos) {
    if (!ParseTimeText(s, ms)) return false;
    value = TimeStampOf(kDayZero, ms);
    return true;
  }
  if (!ParseDateText(s, day)) return false;
  value = TimeStampOf(day, 0);
  return true;
}

bool ParseBooleanText(std::string_view text, bool &value) {
  std::string_view s = TrimValueText(text);
  if (SameTextIgnoringCase(s, "TRUE")) {
    value = true;
    return true;
  }
  if (SameTextIgnoringCase(s, "FALSE")) {
    value = false;
    return true;
  }
  return false;
}

std::string FormatDateText(int64_t dayNumber) {
  if (dayNumber < 1 || dayNumber > kMaxDayNumber) return std::string();
  int y, m, d;
  DecodeDayNumber(dayNumber, y, m, d);
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", y, m, d);
  return buffer;
}

std::string FormatTimeText(int64_t msOfDay, bool twentyFourHour) {
  msOfDay %= kMsPerDay;
  if (msOfDay < 0) msOfDay += kMsPerDay;
  int h = static_cast<int>(msOfDay / 3600000), mi = static_cast<int>(msOfDay / 60000 % 60),
      s = static_cast<int>(msOfDay / 1000 % 60), milli = static_cast<int>(msOfDay % 1000);
  const char *suffix = "";
  if (!twentyFourHour) {
    suffix = h >= 12 ? " PM" : " AM";
    h %= 12;
    if (h == 0) h = 12;
  }
  char buffer[48];
  int n = std::snprintf(buffer, sizeof buffer, "%02d:%02d", h, mi);
  if (s != 0 || milli != 0) n += std::snprintf(buffer + n, sizeof buffer - n, ":%02d", s);
  if (milli != 0) n += std::snprintf(buffer + n, sizeof buffer - n, ".%03d", milli);
  std::snprintf(buffer + n, sizeof buffer - n, "%s", suffix);
  return buffer;
}

std::string FormatTimeStampText(double value, bool twentyFourHour) {
  int32_t day, ms;
  if (!DecodeTimeStamp(value, day, ms)) return std::string();
  return FormatDateText(day) + " " + FormatTimeText(ms, twentyFourHour);
}

std::string FormatFloatText(double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
  char buffer[64];
  // 15 significant digits, plain notation where it reads well; to_chars ignores the locale.
  auto r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
  std::string s(buffer, r.ptr);
  size_t e = s.find('e');
  if (e != std::string::npos) {
    // 1e+20 -> 1E20, 1.5e-07 -> 1.5E-7
    std::string mantissa = s.substr(0, e);
    std::string exponent = s.substr(e + 1);
    bool negative = !exponent.empty() && exponent[0] == '-';
    if (!exponent.empty() && (exponent[0] == '+' || exponent[0] == '-')) exponent.erase(0, 1);
    while (exponent.size() > 1 && exponent[0] == '0') exponent.erase(0, 1);
    s = mantissa + "E" + (negative ? "-" : "") + exponent;
  }
  return s;
}

void CurrentLocalDateTime(int32_t &dayNumber, int32_t &msOfDay) {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  time_t seconds = now.tv_sec;
  tm local{};
  localtime_r(&seconds, &local);
  if (!DateToDayNumber(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, dayNumber)) dayNumber = kDayZero;
  msOfDay = ((local.tm_hour * 60 + local.tm_min) * 60 + local.tm_sec) * 1000 + static_cast<int32_t>(now.tv_nsec / 1000000);
}

double CurrentLocalDateTimeValue() {
  int32_t day, ms;
  CurrentLocalDateTime(day, ms);
  return (day - kDayZero) + ms / static_cast<double>(kMsPerDay);
}

}  // namespace kura
