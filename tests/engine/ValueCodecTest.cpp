// Day numbers, text forms, packed decimals, extended floats, constants and the value
// conversion table.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "engine/data/Bcd.h"
#include "engine/data/ConstantText.h"
#include "engine/data/DateTimeCodec.h"
#include "engine/data/FieldCodec.h"
#include "engine/data/Scramble.h"
#include "engine/data/ValueConversion.h"
#include "engine/util/Bytes.h"

using namespace kura;
using T = EngineFieldType;

TEST(DateTimeCodec, DayNumbersCountFromTheFirstOfJanuaryOfYearOne) {
  int32_t day;
  ASSERT_TRUE(DateToDayNumber(1, 1, 1, day));
  EXPECT_EQ(day, 1);
  ASSERT_TRUE(DateToDayNumber(1899, 12, 30, day));
  EXPECT_EQ(day, kDateDelta);
  ASSERT_TRUE(DateToDayNumber(2000, 3, 1, day));
  int y, m, d;
  ASSERT_TRUE(DayNumberToDate(day, y, m, d));
  EXPECT_EQ(y * 10000 + m * 100 + d, 20000301);
  ASSERT_TRUE(DayNumberToDate(day - 1, y, m, d));
  EXPECT_EQ(y * 10000 + m * 100 + d, 20000229);
  EXPECT_FALSE(DateToDayNumber(1900, 2, 29, day));
  EXPECT_FALSE(DateToDayNumber(2023, 13, 1, day));
  EXPECT_FALSE(DayNumberToDate(0, y, m, d));
  int32_t dayNumber, ms;
  ASSERT_TRUE(DecodeTimeStamp(EncodeTimeStamp(730000, 45296789), dayNumber, ms));
  EXPECT_EQ(dayNumber, 730000);
  EXPECT_EQ(ms, 45296789);
  EXPECT_FALSE(DecodeTimeStamp(-5, dayNumber, ms));
  EXPECT_FALSE(DecodeTimeStamp(NAN, dayNumber, ms));
}

TEST(DateTimeCodec, TextFormsReadAndWrite) {
  int32_t day, ms;
  ASSERT_TRUE(ParseDateText("2004-12-31", day));
  EXPECT_EQ(FormatDateText(day), "2004-12-31");
  EXPECT_FALSE(ParseDateText("31/12/2004", day));
  EXPECT_FALSE(ParseDateText("2004-12-32", day));
  ASSERT_TRUE(ParseTimeText("1:05:09 PM", ms));
  EXPECT_EQ(ms, (13 * 3600 + 5 * 60 + 9) * 1000);
  EXPECT_EQ(FormatTimeText(ms, true), "13:05:09");
  EXPECT_EQ(FormatTimeText(ms, false), "01:05:09 PM");
  ASSERT_TRUE(ParseTimeText("am 12:30", ms));
  EXPECT_EQ(ms, 30 * 60 * 1000);
  ASSERT_TRUE(ParseTimeText("23:59:59.250", ms));
  EXPECT_EQ(FormatTimeText(ms, true), "23:59:59.250");
  EXPECT_FALSE(ParseTimeText("24:00", ms));
  EXPECT_FALSE(ParseTimeText("13:00 PM", ms));
  double stamp;
  ASSERT_TRUE(ParseTimeStampText("2004-12-31 13:05", stamp));
  EXPECT_EQ(FormatTimeStampText(stamp, true), "2004-12-31 13:05");
  ASSERT_TRUE(ParseTimeStampText("10:00", stamp));
  EXPECT_EQ(FormatTimeStampText(stamp, true), "1899-12-30 10:00");
  ASSERT_TRUE(ParseTimeStampText("2004-01-02", stamp));
  EXPECT_EQ(FormatTimeStampText(stamp, true), "2004-01-02 00:00");
  bool b;
  ASSERT_TRUE(ParseBooleanText(" true ", b));
  EXPECT_TRUE(b);
  EXPECT_FALSE(ParseBooleanText("yes", b));
  EXPECT_EQ(FormatBooleanText(false), "False");
}

TEST(Bcd, PackedDecimalsConvertBothWays) {
  TBcd v;
  ASSERT_TRUE(StringToBcd("-1234.5", 2, v));
  EXPECT_TRUE(v.Negative());
  EXPECT_EQ(v.Places(), 2);
  uint8_t bytes[kBcdSize];
  v.Encode(bytes);
  EXPECT_EQ(bytes[1], 0x82);
  // Digits 123450, high nibble first.
  EXPECT_EQ(bytes[2], 0x12);
  EXPECT_EQ(bytes[3], 0x34);
  EXPECT_EQ(bytes[4], 0x50);
  std::string text;
  ASSERT_TRUE(BcdToString(v, text));
  EXPECT_EQ(text, "-1234.5");
  int64_t currency;
  ASSERT_TRUE(BcdToCurrency(v, currency));
  EXPECT_EQ(currency, -12345000);
  TBcd fromCurrency = CurrencyToBcd(12345678, 2);  // 1234.5678 to two places
  EXPECT_EQ(fromCurrency.Precision, 32);
  ASSERT_TRUE(BcdToString(fromCurrency, text));
  EXPECT_EQ(text, "1234.57");
  double d;
  ASSERT_TRUE(BcdToDouble(fromCurrency, d));
  EXPECT_DOUBLE_EQ(d, 1234.57);
  ASSERT_TRUE(StringToBcd("0.005", 2, v));
  ASSERT_TRUE(BcdToString(v, text));
  EXPECT_EQ(text, "0.01");
  EXPECT_FALSE(StringToBcd("1.2.3", 2, v));
  EXPECT_FALSE(StringToBcd("", 2, v));
  TBcd damaged;
  damaged.Precision = 4;
  damaged.Fraction[0] = 0xA1;
  EXPECT_FALSE(BcdIsValid(damaged));
  EXPECT_FALSE(BcdToString(damaged, text));
  damaged.Precision = 200;
  EXPECT_FALSE(BcdToString(damaged, text));
  EXPECT_EQ(CurrencyToString(-15000), "-1.5");
  EXPECT_FALSE(StringToCurrency("99999999999999999999", currency));
}

TEST(FieldCodec, ExtendedFloatsKeepDoubleValues) {
  uint8_t bytes[10];
  for (double v : {1.0, -2.5, 1e-300, 3.141592653589793, 0.0, 1e300}) {
    DoubleToExtended(v, bytes);
    EXPECT_EQ(ExtendedToDouble(bytes), v);
  }
  DoubleToExtended(1.0, bytes);
  EXPECT_EQ(GetU16(bytes + 8), 16383);
  EXPECT_EQ(GetU64(bytes), 0x8000000000000000ULL);
  DoubleToExtended(INFINITY, bytes);
  EXPECT_TRUE(std::isinf(ExtendedToDouble(bytes)));
}

TEST(ConstantText, ValidityByType) {
  EXPECT_TRUE(IsValidFieldConstant(T::SmallInt, FieldSubType::None, "-32768"));
  EXPECT_FALSE(IsValidFieldConstant(T::SmallInt, FieldSubType::None, "32768"));
  EXPECT_TRUE(IsValidFieldConstant(T::Word, FieldSubType::None, "65535"));
  EXPECT_FALSE(IsValidFieldConstant(T::Word, FieldSubType::None, "-1"));
  EXPECT_TRUE(IsValidFieldConstant(T::LargeInt, FieldSubType::None, "-9223372036854775808"));
  EXPECT_FALSE(IsValidFieldConstant(T::LargeInt, FieldSubType::None, "9223372036854775808"));
  EXPECT_TRUE(IsValidFieldConstant(T::Float, FieldSubType::None, "1.5e-3"));
  EXPECT_FALSE(IsValidFieldConstant(T::Float, FieldSubType::None, "1.5e"));
  EXPECT_TRUE(IsValidFieldConstant(T::BCD, FieldSubType::None, "12.3456"));
  EXPECT_TRUE(IsValidFieldConstant(T::Boolean, FieldSubType::None, "False"));
  EXPECT_TRUE(IsValidFieldConstant(T::TimeStamp, FieldSubType::None, "CURRENT_TIMESTAMP"));
  EXPECT_TRUE(IsValidFieldConstant(T::Time, FieldSubType::None, "current_time"));
  EXPECT_FALSE(IsValidFieldConstant(T::Date, FieldSubType::None, "CURRENT_TIME"));
  EXPECT_TRUE(IsValidFieldConstant(T::String, FieldSubType::None, "anything"));
  EXPECT_FALSE(IsValidFieldConstant(T::Blob, FieldSubType::Memo, "x"));
  EXPECT_TRUE(IsValidFieldConstant(T::Blob, FieldSubType::Memo, ""));
  EXPECT_FALSE(IsValidFieldConstant(T::Integer, FieldSubType::AutoInc, "5"));
}

namespace {

struct Converted {
  bool ok;
  std::vector<uint8_t> data;
};

Converted Convert(T from, std::vector<uint8_t> src, T to, size_t toSize, int scale = 0) {
  Converted result;
  result.data.assign(toSize, 0xEE);
  result.ok = ConvertFieldValue(from, src.size(), src.data(), to, toSize, scale, result.data.data());
  return result;
}

std::vector<uint8_t> Text(const std::string &s, size_t size) {
  std::vector<uint8_t> v(size, 0);
  std::memcpy(v.data(), s.data(), std::min(s.size(), size));
  return v;
}
std::vector<uint8_t> I16(int16_t v) {
  std::vector<uint8_t> b(2);
  PutI16(b.data(), v);
  return b;
}
std::vector<uint8_t> I32(int32_t v) {
  std::vector<uint8_t> b(4);
  PutI32(b.data(), v);
  return b;
}
std::vector<uint8_t> I64(int64_t v) {
  std::vector<uint8_t> b(8);
  PutI64(b.data(), v);
  return b;
}
std::vector<uint8_t> F64(double v) {
  std::vector<uint8_t> b(8);
  PutF64(b.data(), v);
  return b;
}
std::string AsText(const Converted &c) { return std::string(reinterpret_cast<const char *>(c.data.data())); }

}  // namespace

TEST(ValueConversion, TableOfConversions) {
  // String to others.
  EXPECT_EQ(GetI32(Convert(T::String, Text("2004-12-31", 11), T::Date, 4).data.data()),
            [] { int32_t d; DateToDayNumber(2004, 12, 31, d); return d; }());
  EXPECT_EQ(GetI16(Convert(T::String, Text("70000", 6), T::SmallInt, 2).data.data()), static_cast<int16_t>(70000));
  EXPECT_EQ(GetI64(Convert(T::String, Text("-12345678901", 12), T::LargeInt, 8).data.data()), -12345678901LL);
  EXPECT_EQ(GetU16(Convert(T::String, Text("TRUE", 5), T::Boolean, 2).data.data()), 1);
  EXPECT_EQ(AsText(Convert(T::String, Text("abcdef", 7), T::String, 4)), "abc");
  TBcd bcd;
  Converted toBcd = Convert(T::String, Text("12.345", 7), T::BCD, 34, 2);
  ASSERT_TRUE(toBcd.ok);
  bcd.Decode(toBcd.data.data());
  std::string text;
  BcdToString(bcd, text);
  EXPECT_EQ(text, "12.35");
  // Failures leave the zero of the target type.
  Converted badDate = Convert(T::String, Text("not a date", 11), T::Date, 4);
  EXPECT_FALSE(badDate.ok);
  EXPECT_EQ(GetI32(badDate.data.data()), kDateDelta);
  Converted badInt = Convert(T::String, Text("x", 2), T::Integer, 4);
  EXPECT_FALSE(badInt.ok);
  EXPECT_EQ(GetI32(badInt.data.data()), 0);
  Converted badStamp = Convert(T::String, Text("x", 2), T::TimeStamp, 8);
  EXPECT_EQ(GetF64(badStamp.data.data()), EncodeTimeStamp(kDateDelta, 0));
  // Dates and times.
  int32_t day;
  DateToDayNumber(2020, 2, 29, day);
  EXPECT_EQ(AsText(Convert(T::Date, I32(day), T::String, 11)), "2020-02-29");
  EXPECT_EQ(GetF64(Convert(T::Date, I32(day), T::TimeStamp, 8).data.data()), EncodeTimeStamp(day, 0));
  EXPECT_EQ(AsText(Convert(T::Time, I32(13 * 3600000), T::String, 20)), "13:00");
  EXPECT_EQ(GetF64(Convert(T::Time, I32(5), T::TimeStamp, 8).data.data()), EncodeTimeStamp(kDateDelta, 5));
  double stamp = EncodeTimeStamp(day, 3723000);
  EXPECT_EQ(GetI32(Convert(T::TimeStamp, F64(stamp), T::Date, 4).data.data()), day);
  EXPECT_EQ(GetI32(Convert(T::TimeStamp, F64(stamp), T::Time, 4).data.data()), 3723000);
  EXPECT_EQ(AsText(Convert(T::TimeStamp, F64(stamp), T::String, 30)), "2020-02-29 01:02:03");
  EXPECT_FALSE(Convert(T::Date, I32(day), T::Integer, 4).ok);
  // Numbers.
  EXPECT_EQ(GetI32(Convert(T::SmallInt, I16(-2), T::Integer, 4).data.data()), -2);
  EXPECT_EQ(GetU16(Convert(T::SmallInt, I16(-2), T::Word, 2).data.data()), 65534);
  EXPECT_EQ(GetI32(Convert(T::Word, {0xFE, 0xFF}, T::Integer, 4).data.data()), 65534);
  EXPECT_EQ(GetI16(Convert(T::Integer, I32(65537), T::SmallInt, 2).data.data()), 1);
  EXPECT_EQ(GetI32(Convert(T::LargeInt, I64(0x100000005LL), T::Integer, 4).data.data()), 5);
  EXPECT_EQ(GetI32(Convert(T::Float, F64(-2.9), T::Integer, 4).data.data()), -2);
  EXPECT_FALSE(Convert(T::Float, F64(1e300), T::Integer, 4).ok);
  EXPECT_EQ(GetU16(Convert(T::SmallInt, I16(7), T::Boolean, 2).data.data()), 1);
  EXPECT_FALSE(Convert(T::Integer, I32(7), T::Boolean, 2).ok);
  EXPECT_EQ(AsText(Convert(T::Boolean, {1, 0}, T::String, 6)), "True");
  EXPECT_EQ(GetI64(Convert(T::Boolean, {1, 0}, T::LargeInt, 8).data.data()), 1);
  EXPECT_DOUBLE_EQ(GetF64(Convert(T::Integer, I32(-40), T::Float, 8).data.data()), -40.0);
  Converted floatBcd = Convert(T::Float, F64(2.71828), T::BCD, 34, 4);
  bcd.Decode(floatBcd.data.data());
  BcdToString(bcd, text);
  EXPECT_EQ(text, "2.7183");
  Converted bcdInt = Convert(T::BCD, floatBcd.data, T::Integer, 4);
  EXPECT_EQ(GetI32(bcdInt.data.data()), 2);
  EXPECT_EQ(AsText(Convert(T::BCD, floatBcd.data, T::String, 10)), "2.7183");
  EXPECT_EQ(AsText(Convert(T::Integer, I32(-77), T::String, 10)), "-77");
  // Bytes and the types that are not converted.
  Converted bytes = Convert(T::Integer, I32(0x04030201), T::Bytes, 3);
  EXPECT_EQ(bytes.data, (std::vector<uint8_t>{1, 2, 3}));
  Converted fromBytes = Convert(T::Bytes, {9, 8, 7, 6, 5}, T::Integer, 4);
  EXPECT_EQ(fromBytes.data, (std::vector<uint8_t>{9, 8, 7, 6}));
  EXPECT_FALSE(Convert(T::Bytes, {1}, T::Blob, 8).ok);
  Converted blob = Convert(T::Blob, {1, 2, 3, 4, 5, 6, 7, 8}, T::Blob, 8);
  EXPECT_TRUE(blob.ok);
  EXPECT_EQ(blob.data, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_TRUE(Convert(T::LongWord, I32(5), T::String, 4).ok);
}

TEST(ValueConversion, StoredBytesFollowTheRulesOfTheTargetType) {
  // A Boolean is 1 for any non-zero bytes.
  Converted flag = Convert(T::Bytes, {0, 2}, T::Boolean, 2);
  ASSERT_TRUE(flag.ok);
  EXPECT_EQ(GetU16(flag.data.data()), 1);
  // A String keeps its terminating zero.
  Converted text = Convert(T::Bytes, {'a', 'b', 'c', 'd'}, T::String, 3);
  ASSERT_TRUE(text.ok);
  EXPECT_EQ(text.data, (std::vector<uint8_t>{'a', 'b', 0}));
  // A packed decimal is rounded to four places and stored with the target scale.
  TBcd source;
  ASSERT_TRUE(StringToBcd("1.23456", 5, source));
  std::vector<uint8_t> bytes(kBcdSize);
  source.Encode(bytes.data());
  Converted bcd = Convert(T::VarBytes, bytes, T::BCD, kBcdSize, 2);
  ASSERT_TRUE(bcd.ok);
  TBcd stored;
  stored.Decode(bcd.data.data());
  EXPECT_EQ(stored.Places(), 2);
  std::string value;
  ASSERT_TRUE(BcdToString(stored, value));
  EXPECT_EQ(value, "1.23");
  // Bytes that are no packed decimal do not convert.
  std::vector<uint8_t> damaged(kBcdSize, 0xFF);
  damaged[0] = 4;
  damaged[1] = 0;
  Converted bad = Convert(T::Bytes, damaged, T::BCD, kBcdSize, 2);
  EXPECT_FALSE(bad.ok);
  stored.Decode(bad.data.data());
  ASSERT_TRUE(BcdToString(stored, value));
  EXPECT_EQ(value, "0");
}

TEST(ValueConversion, NumbersAtTheEdges) {
  // SmallInt, Integer and Word read a 32-bit decimal integer.
  EXPECT_FALSE(Convert(T::String, Text("99999999999", 12), T::Integer, 4).ok);
  EXPECT_FALSE(Convert(T::String, Text("99999999999", 12), T::SmallInt, 2).ok);
  EXPECT_FALSE(Convert(T::String, Text("+-5", 4), T::Integer, 4).ok);
  EXPECT_EQ(GetI32(Convert(T::String, Text(" +17 ", 6), T::Integer, 4).data.data()), 17);
  // A number too large for a double is no Float.
  EXPECT_FALSE(Convert(T::String, Text("1e400", 6), T::Float, 8).ok);
  EXPECT_FALSE(IsValidFieldConstant(T::Float, FieldSubType::None, "1e400"));
  // BCD to integers truncates the exact value, not its nearest double.
  Converted bcd = Convert(T::String, Text("99999999999999.9999", 20), T::BCD, kBcdSize, 4);
  ASSERT_TRUE(bcd.ok);
  EXPECT_EQ(GetI64(Convert(T::BCD, bcd.data, T::LargeInt, 8).data.data()), 99999999999999LL);
  // Floats print with "." and the exponent form of the text.
  EXPECT_EQ(AsText(Convert(T::Float, F64(1e20), T::String, 20)), "1E20");
  EXPECT_EQ(AsText(Convert(T::Float, F64(-1.5e-7), T::String, 20)), "-1.5E-7");
  EXPECT_EQ(AsText(Convert(T::Float, F64(0.1 + 0.2), T::String, 20)), "0.3");
  EXPECT_FALSE(Convert(T::BCD, bcd.data, T::Boolean, 2).ok);
  // Fixed-size values shorter than their type are refused, never read or written past.
  EXPECT_FALSE(Convert(T::Integer, {1, 2}, T::LargeInt, 8).ok);
  Converted tooSmall = Convert(T::Integer, I32(5), T::BCD, 10);
  EXPECT_FALSE(tooSmall.ok);
  EXPECT_EQ(tooSmall.data, std::vector<uint8_t>(10, 0));
}

TEST(DateTimeCodec, MarkersTimeStampsAndCalendarEdges) {
  int32_t ms;
  ASSERT_TRUE(ParseTimeText("0:30 AM", ms));
  EXPECT_EQ(ms, 30 * 60000);
  EXPECT_FALSE(ParseTimeText("1:00 AM PM", ms));
  double stamp;
  // A time alone may carry its marker in front.
  ASSERT_TRUE(ParseTimeStampText("PM 1:05", stamp));
  EXPECT_EQ(stamp, EncodeTimeStamp(kDateDelta, (13 * 60 + 5) * 60000));
  EXPECT_FALSE(ParseTimeStampText("2004-01-02 25:00", stamp));
  // Times wrap around the day; dates outside the calendar have no text.
  EXPECT_EQ(FormatTimeText(-60000, true), "23:59");
  EXPECT_EQ(FormatDateText(0), "");
  EXPECT_EQ(FormatDateText(3652060), "");
  EXPECT_EQ(FormatTimeStampText(5, true), "");
  int32_t day;
  EXPECT_FALSE(DecodeTimeStamp(5, day, ms));
  EXPECT_EQ(DayOfWeek(DayNumber(2004, 12, 31)), 5);
  EXPECT_EQ(IsoWeek(DayNumber(2004, 12, 31)), 53);
  EXPECT_EQ(IsoWeek(DayNumber(2005, 1, 4)), 1);
  EXPECT_EQ(IsoWeek(DayNumber(2005, 1, 2)), 53);  // a Sunday before week 1
  EXPECT_EQ(DayOfYear(DayNumber(2004, 12, 31)), 366);
}

TEST(Scramble, AppliedTwiceRestoresAndMultiplesOf65536AreUnchanged) {
  std::vector<uint8_t> data(1000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i);
  std::vector<uint8_t> copy = data;
  Scramble(data.data(), data.size(), kRecordKey);
  EXPECT_NE(data, copy);
  // First byte: XOR with both key bytes.
  EXPECT_EQ(data[0], static_cast<uint8_t>(0 ^ kRecordKey.Low ^ kRecordKey.High));
  EXPECT_EQ(data[1], static_cast<uint8_t>(1 ^ static_cast<uint8_t>(kRecordKey.Low + 1) ^
                                          static_cast<uint8_t>(kRecordKey.High - 1)));
  Scramble(data.data(), data.size(), kRecordKey);
  EXPECT_EQ(data, copy);
  std::vector<uint8_t> big(65536, 7);
  Scramble(big.data(), big.size(), kPasswordKey);
  EXPECT_EQ(big, std::vector<uint8_t>(65536, 7));
}
