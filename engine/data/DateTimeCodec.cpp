// Calendar arithmetic and text forms of dates and times.
#include "engine/data/DateTimeCodec.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <sys/time.h>

namespace kura {
namespace {

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int &year, int &month, int &day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(y + (month <= 2));
}

const int64_t kDayOneOffset = DaysFromCivil(1, 1, 1) - 1;  // day number = days since 1970 - this
constexpr int32_t kMaxDayNumber = 3652059;

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

// Reads 1 to maxDigits decimal digits.
bool ReadNumber(std::string_view &s, int maxDigits, int &value) {
  int digits = 0;
  value = 0;
  while (!s.empty() && std::isdigit(static_cast<unsigned char>(s.front())) && digits < maxDigits) {
    value = value * 10 + (s.front() - '0');
    s.remove_prefix(1);
    ++digits;
  }
  return digits > 0;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

}  // namespace

bool IsValidCalendarDate(int year, int month, int day) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  int limit = kDays[month - 1] + (month == 2 && leap ? 1 : 0);
  return day <= limit;
}

bool DateToDayNumber(int year, int month, int day, int32_t &dayNumber) {
  if (!IsValidCalendarDate(year, month, day)) return false;
  dayNumber = static_cast<int32_t>(DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) -
                                   kDayOneOffset);
  return true;
}

bool DayNumberToDate(int32_t dayNumber, int &year, int &month, int &day) {
  if (dayNumber < 1 || dayNumber > kMaxDayNumber) return false;
  CivilFromDays(static_cast<int64_t>(dayNumber) + kDayOneOffset, year, month, day);
  return true;
}

bool DecodeTimeStamp(double value, int32_t &dayNumber, int32_t &msOfDay) {
  if (!std::isfinite(value) || value < 0 || value > (kMaxDayNumber + 1.0) * kMillisecondsPerDay) return false;
  double days = std::floor(value / kMillisecondsPerDay);
  dayNumber = static_cast<int32_t>(days);
  double ms = value - days * kMillisecondsPerDay;
  msOfDay = static_cast<int32_t>(std::llround(ms));
  if (msOfDay >= 86400000) {
    ++dayNumber;
    msOfDay -= 86400000;
  }
  return true;
}

bool ParseDateText(std::string_view text, int32_t &dayNumber) {
  std::string_view s = Trim(text);
  int y, m, d;
  if (!ReadNumber(s, 4, y) || s.empty() || s.front() != '-') return false;
  s.remove_prefix(1);
  if (!ReadNumber(s, 2, m) || s.empty() || s.front() != '-') return false;
  s.remove_prefix(1);
  if (!ReadNumber(s, 2, d) || !s.empty()) return false;
  return DateToDayNumber(y, m, d, dayNumber);
}

bool ParseTimeText(std::string_view text, int32_t &msOfDay) {
  std::string s(Trim(text));
  // AM or PM may appear anywhere.
  int meridiem = 0;
  for (size_t i = 0; i + 1 < s.size(); ++i) {
    std::string_view two(s.data() + i, 2);
    if (EqualsIgnoringCase(two, "AM") || EqualsIgnoringCase(two, "PM")) {
      meridiem = EqualsIgnoringCase(two, "AM") ? 1 : 2;
      s.erase(i, 2);
      break;
    }
  }
  std::string_view v = Trim(s);
  int h, m, sec = 0, ms = 0;
  if (!ReadNumber(v, 2, h) || v.empty() || v.front() != ':') return false;
  v.remove_prefix(1);
  if (!ReadNumber(v, 2, m)) return false;
  if (!v.empty() && v.front() == ':') {
    v.remove_prefix(1);
    if (!ReadNumber(v, 2, sec)) return false;
    if (!v.empty() && v.front() == '.') {
      v.remove_prefix(1);
      if (!ReadNumber(v, 3, ms)) return false;
    }
  }
  if (!Trim(v).empty()) return false;
  if (meridiem != 0) {
    if (h < 1 || h > 12) return false;
    if (meridiem == 1 && h == 12) h = 0;
    if (meridiem == 2 && h != 12) h += 12;
  }
  if (h > 23 || m > 59 || sec > 59) return false;
  msOfDay = ((h * 60 + m) * 60 + sec) * 1000 + ms;
  return true;
}

bool ParseTimeStampText(std::string_view text, double &value) {
  std::string_view s = Trim(text);
  size_t blank = s.find(' ');
  int32_t day = 0, ms = 0;
  if (blank != std::string_view::npos && s.substr(0, blank).find(':') == std::string_view::npos) {
    if (!ParseDateText(s.substr(0, blank), day) || !ParseTimeText(s.substr(blank + 1), ms)) return false;
  } else if (s.find(':') != std::string_view::npos) {
    day = kDateDelta;
    if (!ParseTimeText(s, ms)) return false;
  } else {
    if (!ParseDateText(s, day)) return false;
  }
  value = EncodeTimeStamp(day, ms);
  return true;
}

bool ParseBooleanText(std::string_view text, bool &value) {
  std::string_view s = Trim(text);
  if (EqualsIgnoringCase(s, "TRUE")) {
    value = true;
    return true;
  }
  if (EqualsIgnoringCase(s, "FALSE")) {
    value = false;
    return true;
  }
  return false;
}

std::string FormatDateText(int32_t dayNumber) {
  int y, m, d;
  if (!DayNumberToDate(dayNumber, y, m, d)) return std::string();
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", y, m, d);
  return buffer;
}

std::string FormatTimeText(int32_t msOfDay, bool twentyFourHour) {
  if (msOfDay < 0) msOfDay = 0;
  int ms = msOfDay % 1000;
  int sec = (msOfDay / 1000) % 60;
  int min = (msOfDay / 60000) % 60;
  int hour = (msOfDay / 3600000) % 24;
  char buffer[32];
  int shownHour = twentyFourHour ? hour : (hour % 12 == 0 ? 12 : hour % 12);
  int n = std::snprintf(buffer, sizeof buffer, "%02d:%02d", shownHour, min);
  std::string result(buffer, static_cast<size_t>(n));
  if (sec != 0 || ms != 0) {
    std::snprintf(buffer, sizeof buffer, ":%02d", sec);
    result += buffer;
  }
  if (ms != 0) {
    std::snprintf(buffer, sizeof buffer, ".%03d", ms);
    result += buffer;
  }
  if (!twentyFourHour) result += hour < 12 ? " AM" : " PM";
  return result;
}

std::string FormatTimeStampText(double value, bool twentyFourHour) {
  int32_t day, ms;
  if (!DecodeTimeStamp(value, day, ms)) return std::string();
  return FormatDateText(day) + " " + FormatTimeText(ms, twentyFourHour);
}

void CurrentLocalDateTime(int32_t &dayNumber, int32_t &msOfDay) {
  struct timeval now {};
  gettimeofday(&now, nullptr);
  time_t seconds = now.tv_sec;
  struct tm local {};
  localtime_r(&seconds, &local);
  if (!DateToDayNumber(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, dayNumber)) dayNumber = kDateDelta;
  msOfDay = ((local.tm_hour * 60 + local.tm_min) * 60 + local.tm_sec) * 1000 + static_cast<int32_t>(now.tv_usec / 1000);
}

double CurrentLocalDateTimeValue() {
  int32_t day, ms;
  CurrentLocalDateTime(day, ms);
  return (day - kDateDelta) + ms / kMillisecondsPerDay;
}

}  // namespace kura
