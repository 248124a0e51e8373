#pragma once
// Day numbers, times and timestamps, and the text forms of dates, times, timestamps, booleans
// and floats. Text that does not read raises EConvertError with the system's message.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kura {

// The conversion error of text that is no valid date, time, timestamp, boolean or number.
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

constexpr int64_t kMsPerDay = 86400000;
// Day number of 1899-12-30, the day a time of day alone is taken to fall on.
constexpr int32_t kDayZero = 693594;

// Day numbers count 0001-01-01 as day 1.
int32_t DayNumber(int year, int month, int day);
void DecodeDayNumber(int64_t dayNumber, int &year, int &month, int &day);
bool IsValidDate(int year, int month, int day);
bool IsLeapYear(int year);
// Monday = 1 .. Sunday = 7.
int DayOfWeek(int64_t dayNumber);
int DayOfYear(int64_t dayNumber);
// ISO 8601 week number.
int IsoWeek(int64_t dayNumber);

double TimeStampOf(int64_t dayNumber, int64_t msOfDay);
// Day number and milliseconds of the day of a timestamp (floor division, so it never fails).
void SplitTimeStamp(double timeStamp, int64_t &dayNumber, int64_t &msOfDay);

// Reading; these raise EConvertError.
int32_t ParseDate(std::string_view text);       // "'%s' is not a valid date"
int32_t ParseTime(std::string_view text);       // "'%s' is not a valid time"
double ParseTimeStamp(std::string_view text);   // "'%s' is not a valid date and time"
bool ParseBoolean(std::string_view text);       // "'%s' is not a valid boolean"
double ParseFloat(std::string_view text);       // "'%s' is not a valid floating point value"
int64_t ParseInteger(std::string_view text, int64_t min, int64_t max);  // "'%s' is not a valid integer value"
// Non-throwing forms.
bool TryParseDate(std::string_view text, int32_t &out);
bool TryParseTime(std::string_view text, int32_t &out);
bool TryParseTimeStamp(std::string_view text, double &out);
bool TryParseFloat(std::string_view text, double &out);
bool TryParseInteger(std::string_view text, int64_t min, int64_t max, int64_t &out);

// Writing.
std::string DateText(int64_t dayNumber);                        // 2004-12-31
std::string TimeText(int64_t msOfDay, bool twentyFourHour = true);  // 13:05, 1:05:09 PM
std::string TimeStampText(double timeStamp, bool twentyFourHour = true);
std::string BooleanText(bool value);                            // True / False
std::string FloatText(double value);                            // "." as decimal separator

// Today and now by the local clock.
int32_t CurrentDate();
int32_t CurrentTime();
double CurrentTimeStamp();

}  // namespace kura
