#include "query/expr/DateTimeText.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <limits>

namespace kura {

namespace {

// Days from 0000-03-01 based civil calendar; proleptic Gregorian throughout.
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;  // days since 1970-01-01
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

std::string_view Trim(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
  return s;
}

bool ReadNumber(std::string_view s, size_t &pos, int maxDigits, int &value) {
  size_t start = pos;
  value = 0;
  while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9' && int(pos - start) < maxDigits) {
    value = value * 10 + (s[pos] - '0');
    ++pos;
  }
  return pos > start && !(pos < s.size() && s[pos] >= '0' && s[pos] <= '9');
}

bool ReadDate(std::string_view s, int32_t &out) {
  s = Trim(s);
  size_t pos = 0;
  int y, m, d;
  if (!ReadNumber(s, pos, 4, y) || pos >= s.size() || s[pos] != '-') return false;
  ++pos;
  if (!ReadNumber(s, pos, 2, m) || pos >= s.size() || s[pos] != '-') return false;
  ++pos;
  if (!ReadNumber(s, pos, 2, d) || pos != s.size()) return false;
  if (!IsValidDate(y, m, d)) return false;
  out = DayNumber(y, m, d);
  return true;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = char(x - 32);
    if (y >= 'a' && y <= 'z') y = char(y - 32);
    if (x != y) return false;
  }
  return true;
}

bool ReadTime(std::string_view text, int32_t &out) {
  // An AM or PM marker may stand anywhere; take it out first.
  std::string s;
  int half = 0;  // 1 AM, 2 PM
  std::string_view t = Trim(text);
  for (size_t i = 0; i < t.size();) {
    if (i + 1 < t.size() && (t[i + 1] == 'M' || t[i + 1] == 'm') &&
        (t[i] == 'A' || t[i] == 'a' || t[i] == 'P' || t[i] == 'p')) {
      if (half) return false;
      half = (t[i] == 'A' || t[i] == 'a') ? 1 : 2;
      i += 2;
      continue;
    }
    s.push_back(t[i]);
    ++i;
  }
  std::string_view v = Trim(s);
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
  if (h > 23 || mi > 59 || sec > 59 || ms > 999) return false;
  out = ((h * 60 + mi) * 60 + sec) * 1000 + ms;
  return true;
}

[[noreturn]] void Throw(const char *pattern, std::string_view text) {
  std::string msg = "'";
  msg += text;
  msg += "' ";
  msg += pattern;
  throw EConvertError(msg);
}

}  // namespace

bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

bool IsValidDate(int y, int m, int d) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1) return false;
  int dim = kDays[m - 1] + (m == 2 && IsLeapYear(y) ? 1 : 0);
  return d <= dim;
}

int32_t DayNumber(int y, int m, int d) {
  return static_cast<int32_t>(DaysFromCivil(y, m, d) - DaysFromCivil(1, 1, 1) + 1);
}

void DecodeDayNumber(int64_t dayNumber, int &year, int &month, int &day) {
  // Keep the arithmetic in range for any 64-bit input.
  const int64_t limit = int64_t(1) << 40;
  if (dayNumber > limit) dayNumber = limit;
  if (dayNumber < -limit) dayNumber = -limit;
  int64_t y;
  CivilFromDays(dayNumber - 1 + DaysFromCivil(1, 1, 1), y, month, day);
  year = static_cast<int>(y);
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
  return static_cast<int>(dayNumber - (DaysFromCivil(y, 1, 1) - DaysFromCivil(1, 1, 1) + 1)) + 1;
}

namespace {
int64_t WeekOneMonday(int year) {
  int64_t jan4 = DaysFromCivil(year, 1, 4) - DaysFromCivil(1, 1, 1) + 1;
  return jan4 - (DayOfWeek(jan4) - 1);
}
}  // namespace

int IsoWeek(int64_t dayNumber) {
  int y, m, d;
  DecodeDayNumber(dayNumber, y, m, d);
  int64_t start = WeekOneMonday(y);
  if (dayNumber < start) {
    start = WeekOneMonday(y - 1);
  } else {
    int64_t next = WeekOneMonday(y + 1);
    if (dayNumber >= next) return 1;
  }
  return static_cast<int>((dayNumber - start) / 7) + 1;
}

double TimeStampOf(int64_t dayNumber, int64_t msOfDay) {
  return static_cast<double>(dayNumber) * kMsPerDay + static_cast<double>(msOfDay);
}

void SplitTimeStamp(double ts, int64_t &dayNumber, int64_t &msOfDay) {
  if (!std::isfinite(ts)) ts = 0;
  double limit = 9.0e15;  // beyond every representable day of the calendar
  if (ts > limit) ts = limit;
  if (ts < -limit) ts = -limit;
  double day = std::floor(ts / kMsPerDay);
  dayNumber = static_cast<int64_t>(day);
  msOfDay = static_cast<int64_t>(std::llround(ts - day * kMsPerDay));
  if (msOfDay >= kMsPerDay) {
    msOfDay -= kMsPerDay;
    ++dayNumber;
  }
  if (msOfDay < 0) msOfDay = 0;
}

bool TryParseDate(std::string_view text, int32_t &out) { return ReadDate(text, out); }
bool TryParseTime(std::string_view text, int32_t &out) { return ReadTime(text, out); }

bool TryParseTimeStamp(std::string_view text, double &out) {
  std::string_view s = Trim(text);
  int32_t d, t;
  size_t blank = s.find(' ');
  if (blank != std::string_view::npos && ReadDate(s.substr(0, blank), d) &&
      ReadTime(s.substr(blank + 1), t)) {
    out = TimeStampOf(d, t);
    return true;
  }
  if (s.find(':') != std::string_view::npos) {
    if (!ReadTime(s, t)) return false;
    out = TimeStampOf(kDayZero, t);
    return true;
  }
  if (ReadDate(s, d)) {
    out = TimeStampOf(d, 0);
    return true;
  }
  return false;
}

bool TryParseFloat(std::string_view text, double &out) {
  std::string_view s = Trim(text);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  if (s.empty()) return false;
  // Only plain decimal notation: digits, one ".", an exponent.
  for (char c : s)
    if (!((c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '-' || c == '+'))
      return false;
  auto r = std::from_chars(s.data(), s.data() + s.size(), out);
  return r.ec == std::errc() && r.ptr == s.data() + s.size() && std::isfinite(out);
}

bool TryParseInteger(std::string_view text, int64_t min, int64_t max, int64_t &out) {
  std::string_view s = Trim(text);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  if (s.empty()) return false;
  int64_t v;
  auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  if (r.ec != std::errc() || r.ptr != s.data() + s.size() || v < min || v > max) return false;
  out = v;
  return true;
}

int32_t ParseDate(std::string_view text) {
  int32_t v;
  if (!ReadDate(text, v)) Throw("is not a valid date", text);
  return v;
}

int32_t ParseTime(std::string_view text) {
  int32_t v;
  if (!ReadTime(text, v)) Throw("is not a valid time", text);
  return v;
}

double ParseTimeStamp(std::string_view text) {
  double v;
  if (!TryParseTimeStamp(text, v)) Throw("is not a valid date and time", text);
  return v;
}

bool ParseBoolean(std::string_view text) {
  std::string_view s = Trim(text);
  if (EqualsIgnoringCase(s, "TRUE")) return true;
  if (EqualsIgnoringCase(s, "FALSE")) return false;
  Throw("is not a valid boolean", text);
}

double ParseFloat(std::string_view text) {
  double v;
  if (!TryParseFloat(text, v)) Throw("is not a valid floating point value", text);
  return v;
}

int64_t ParseInteger(std::string_view text, int64_t min, int64_t max) {
  int64_t v;
  if (!TryParseInteger(text, min, max, v)) Throw("is not a valid integer value", text);
  return v;
}

std::string DateText(int64_t dayNumber) {
  int y, m, d;
  DecodeDayNumber(dayNumber, y, m, d);
  char buf[48];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
  return buf;
}

std::string TimeText(int64_t ms, bool twentyFourHour) {
  ms %= kMsPerDay;
  if (ms < 0) ms += kMsPerDay;
  int h = static_cast<int>(ms / 3600000), mi = static_cast<int>(ms / 60000 % 60),
      s = static_cast<int>(ms / 1000 % 60), milli = static_cast<int>(ms % 1000);
  const char *suffix = "";
  if (!twentyFourHour) {
    suffix = h >= 12 ? " PM" : " AM";
    h %= 12;
    if (h == 0) h = 12;
  }
  char buf[48];
  int n = std::snprintf(buf, sizeof buf, "%02d:%02d", h, mi);
  if (s != 0 || milli != 0) n += std::snprintf(buf + n, sizeof buf - n, ":%02d", s);
  if (milli != 0) n += std::snprintf(buf + n, sizeof buf - n, ".%03d", milli);
  std::snprintf(buf + n, sizeof buf - n, "%s", suffix);
  return buf;
}

std::string TimeStampText(double ts, bool twentyFourHour) {
  int64_t day, ms;
  SplitTimeStamp(ts, day, ms);
  return DateText(day) + " " + TimeText(ms, twentyFourHour);
}

std::string BooleanText(bool v) { return v ? "True" : "False"; }

std::string FloatText(double v) {
  if (std::isnan(v)) return "NAN";
  if (std::isinf(v)) return v > 0 ? "INF" : "-INF";
  char buf[64];
  // 15 significant digits, plain notation where it reads well, "." always.
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15);
  std::string s(buf, r.ptr);
  size_t e = s.find('e');
  if (e != std::string::npos) {
    // 1e+20 -> 1E20, 1.5e-07 -> 1.5E-7
    std::string mant = s.substr(0, e);
    std::string exp = s.substr(e + 1);
    bool neg = !exp.empty() && exp[0] == '-';
    if (!exp.empty() && (exp[0] == '+' || exp[0] == '-')) exp.erase(0, 1);
    while (exp.size() > 1 && exp[0] == '0') exp.erase(0, 1);
    s = mant + "E" + (neg ? "-" : "") + exp;
  }
  return s;
}

namespace {
void LocalNow(int64_t &day, int64_t &ms) {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  time_t secs = ts.tv_sec;
  tm local{};
  localtime_r(&secs, &local);
  day = DayNumber(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
  ms = ((local.tm_hour * 60 + local.tm_min) * 60 + local.tm_sec) * 1000 + ts.tv_nsec / 1000000;
}
}  // namespace

int32_t CurrentDate() {
  int64_t d, ms;
  LocalNow(d, ms);
  return static_cast<int32_t>(d);
}

int32_t CurrentTime() {
  int64_t d, ms;
  LocalNow(d, ms);
  return static_cast<int32_t>(ms);
}

double CurrentTimeStamp() {
  int64_t d, ms;
  LocalNow(d, ms);
  return TimeStampOf(d, ms);
}

}  // namespace kura
