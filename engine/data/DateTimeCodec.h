#pragma once
// Day numbers of stored dates, calendar arithmetic and the text forms of dates, times,
// timestamps, booleans and floats. The table store and the expression layer share these.
//
// A stored Date is a day number with 0001-01-01 = day 1; a Time is milliseconds since
// midnight; a TimeStamp is day number × 86 400 000 + milliseconds of the day. The date-time
// zero of the platform (1899-12-30) is day 693 594.
#include <cstdint>
#include <string>
#include <string_view>

namespace kura {

inline constexpr int64_t kMsPerDay = 86400000;
// Day number of 1899-12-30, the day a time of day alone is taken to fall on.
inline constexpr int32_t kDayZero = 693594;
inline constexpr int32_t kDateDelta = kDayZero;
inline constexpr int32_t kMaxDayNumber = 3652059;  // 9999-12-31

bool IsLeapYear(int year);
// A calendar date of years 1 to 9999.
bool IsValidDate(int year, int month, int day);
// Day number of any proleptic Gregorian date (not checked).
int32_t DayNumber(int year, int month, int day);
// Date of any day number; values far outside the calendar are clamped, never overflow.
void DecodeDayNumber(int64_t dayNumber, int &year, int &month, int &day);
// False when the date is not a valid calendar date of years 1 to 9999.
bool DateToDayNumber(int year, int month, int day, int32_t &dayNumber);
// Day numbers outside 1 .. 3 652 059 (9999-12-31) give false.
bool DayNumberToDate(int32_t dayNumber, int &year, int &month, int &day);
// Monday = 1 .. Sunday = 7.
int DayOfWeek(int64_t dayNumber);
// 1 January = 1.
int DayOfYear(int64_t dayNumber);
// ISO 8601 week number.
int IsoWeek(int64_t dayNumber);

inline double TimeStampOf(int64_t dayNumber, int64_t msOfDay) {
  return static_cast<double>(dayNumber) * static_cast<double>(kMsPerDay) + static_cast<double>(msOfDay);
}
inline double EncodeTimeStamp(int32_t dayNumber, int32_t msOfDay) { return TimeStampOf(dayNumber, msOfDay); }
// Day number and milliseconds of the day of any timestamp (floor division; a value that is no
// number counts as 0), so it never fails.
void SplitTimeStamp(double timeStamp, int64_t &dayNumber, int64_t &msOfDay);
// Splits a stored timestamp; false for values that are not a calendar day and time of day.
bool DecodeTimeStamp(double value, int32_t &dayNumber, int32_t &msOfDay);

// Text forms: dates "yyyy-mm-dd"; times "h:m[:s[.ms]]" with an optional AM or PM anywhere;
// timestamps a date, a blank and a time, or a time alone (on 1899-12-30), or a date alone
// (midnight); booleans "TRUE" or "FALSE" without regard to case. Blanks around are ignored.
bool ParseDateText(std::string_view text, int32_t &dayNumber);
bool ParseTimeText(std::string_view text, int32_t &msOfDay);
bool ParseTimeStampText(std::string_view text, double &value);
bool ParseBooleanText(std::string_view text, bool &value);
// Empty for a day outside the calendar.
std::string FormatDateText(int64_t dayNumber);
// Milliseconds are taken modulo one day.
std::string FormatTimeText(int64_t msOfDay, bool twentyFourHour);
// Empty for a timestamp outside the calendar.
std::string FormatTimeStampText(double value, bool twentyFourHour);
inline std::string FormatBooleanText(bool value) { return value ? "True" : "False"; }
// Up to 15 significant digits, "." as decimal separator whatever the locale, exponents as
// "1E20" and "1.5E-7".
std::string FormatFloatText(double value);

// Local date and time now as day number and milliseconds.
void CurrentLocalDateTime(int32_t &dayNumber, int32_t &msOfDay);
// Local now as a platform date-time value (days since 1899-12-30 with fraction).
double CurrentLocalDateTimeValue();

}  // namespace kura
