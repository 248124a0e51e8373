#pragma once
// The text forms of dates, times, timestamps, booleans and numbers as the expression layer
// reads and writes them. The calendar and the text forms themselves are the table store's
// (engine/data/DateTimeCodec.h); this adds the conversion error that text raises where it is
// read outside evaluation.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "engine/data/ConstantText.h"
#include "engine/data/DateTimeCodec.h"

namespace kura {

// The conversion error of text that is no valid date, time, timestamp, boolean or number.
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reading; these raise EConvertError.
int32_t ParseDate(std::string_view text);       // "'%s' is not a valid date"
int32_t ParseTime(std::string_view text);       // "'%s' is not a valid time"
double ParseTimeStamp(std::string_view text);   // "'%s' is not a valid date and time"
bool ParseBoolean(std::string_view text);       // "'%s' is not a valid boolean"
double ParseFloat(std::string_view text);       // "'%s' is not a valid floating point value"
int64_t ParseInteger(std::string_view text, int64_t min, int64_t max);  // "'%s' is not a valid integer value"

// Non-throwing forms.
inline bool TryParseDate(std::string_view text, int32_t &out) { return ParseDateText(text, out); }
inline bool TryParseTime(std::string_view text, int32_t &out) { return ParseTimeText(text, out); }
inline bool TryParseTimeStamp(std::string_view text, double &out) { return ParseTimeStampText(text, out); }
inline bool TryParseFloat(std::string_view text, double &out) { return ParseNumberText(text, out); }
bool TryParseInteger(std::string_view text, int64_t min, int64_t max, int64_t &out);

// Writing.
inline std::string DateText(int64_t dayNumber) { return FormatDateText(dayNumber); }  // 2004-12-31
inline std::string TimeText(int64_t msOfDay, bool twentyFourHour = true) {           // 13:05, 01:05:09 PM
  return FormatTimeText(msOfDay, twentyFourHour);
}
inline std::string TimeStampText(double timeStamp, bool twentyFourHour = true) {
  return FormatTimeStampText(timeStamp, twentyFourHour);
}
inline std::string BooleanText(bool value) { return FormatBooleanText(value); }  // True / False
inline std::string FloatText(double value) { return FormatFloatText(value); }    // "." as decimal separator

// Today and now by the local clock.
int32_t CurrentDate();
int32_t CurrentTime();
double CurrentTimeStamp();

}  // namespace kura
