#pragma once
// Day numbers of stored dates and the text forms of dates, times, timestamps and booleans.
//
// A stored Date is a day number with 0001-01-01 = day 1; a Time is milliseconds since
// midnight; a TimeStamp is day number × 86 400 000 + milliseconds of the day. The date-time
// zero of the platform (1899-12-30) is day 693 594.
#include <cstdint>
#include <string>
#include <string_view>

namespace kura {

inline constexpr int32_t kDateDelta = 693594;  // day number of 1899-12-30
inline constexpr double kMillisecondsPerDay = 86400000.0;

bool IsValidCalendarDate(int year, int month, int day);
// False when the date is not a valid calendar date of years 1 to 9999.
bool DateToDayNumber(int year, int month, int day, int32_t &dayNumber);
// Day numbers outside 1 .. 3 652 059 (9999-12-31) give false.
bool DayNumberToDate(int32_t dayNumber, int &year, int &month, int &day);
inline double EncodeTimeStamp(int32_t dayNumber, int32_t msOfDay) {
  return static_cast<double>(dayNumber) * kMillisecondsPerDay + msOfDay;
}
// Splits a stored timestamp; false for values that are not a day number and time of day.
bool DecodeTimeStamp(double value, int32_t &dayNumber, int32_t &msOfDay);

// Text forms: dates "yyyy-mm-dd"; times "h:m[:s[.ms]]" with optional AM/PM anywhere; timestamps
// a date, a blank and a time, or a time alone (on 1899-12-30), or a date alone (midnight).
bool ParseDateText(std::string_view text, int32_t &dayNumber);
bool ParseTimeText(std::string_view text, int32_t &msOfDay);
bool ParseTimeStampText(std::string_view text, double &value);
bool ParseBooleanText(std::string_view text, bool &value);
std::string FormatDateText(int32_t dayNumber);
std::string FormatTimeText(int32_t msOfDay, bool twentyFourHour);
std::string FormatTimeStampText(double value, bool twentyFourHour);
inline std::string FormatBooleanText(bool value) { return value ? "True" : "False"; }

// Local date and time now as day number and milliseconds.
void CurrentLocalDateTime(int32_t &dayNumber, int32_t &msOfDay);
// Local now as a platform date-time value (days since 1899-12-30 with fraction).
double CurrentLocalDateTimeValue();

}  // namespace kura
