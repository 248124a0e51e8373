#include <gtest/gtest.h>

#include <limits>

#include "query/expr/Bcd.h"
#include "query/expr/DateTimeText.h"
#include "query/expr/ValueConvert.h"
#include "query/select/SelectValues.h"

using namespace kura;

namespace {

std::string ConvertError(void (*f)()) {
  try {
    f();
  } catch (const EConvertError &e) {
    return e.what();
  }
  return "";
}

TEST(DateTimeTextTest, DayNumbers) {
  EXPECT_EQ(DayNumber(1, 1, 1), 1);
  EXPECT_EQ(DayNumber(1899, 12, 30), kDayZero);
  EXPECT_EQ(DayNumber(2000, 3, 1) - DayNumber(2000, 2, 28), 2);
  int y, m, d;
  for (int32_t day : {1, 59, 60, 365, 366, kDayZero, 730000, 3652059}) {
    DecodeDayNumber(day, y, m, d);
    EXPECT_EQ(DayNumber(y, m, d), day);
  }
  DecodeDayNumber(3652059, y, m, d);
  EXPECT_EQ(y, 9999);
  EXPECT_EQ(m, 12);
  EXPECT_EQ(d, 31);
  // Any day number decodes without trouble.
  DecodeDayNumber(std::numeric_limits<int64_t>::min(), y, m, d);
  DecodeDayNumber(std::numeric_limits<int64_t>::max(), y, m, d);
  EXPECT_EQ(DayOfWeek(1), 1);  // 0001-01-01 was a Monday
  EXPECT_FALSE(IsValidDate(1900, 2, 29));
  EXPECT_TRUE(IsValidDate(2000, 2, 29));
}

TEST(DateTimeTextTest, ReadingDates) {
  EXPECT_EQ(ParseDate("2004-12-31"), DayNumber(2004, 12, 31));
  EXPECT_EQ(ParseDate(" 2004-1-2 "), DayNumber(2004, 1, 2));
  for (const char *bad : {"", "2004", "2004-12", "2004-12-32", "2004/12/31", "12-31-2004x",
                          "20041-1-1", "0-1-1", "2004-00-01", "abc"}) {
    int32_t out;
    EXPECT_FALSE(TryParseDate(bad, out)) << bad;
  }
  EXPECT_EQ(ConvertError([] { ParseDate("abc"); }), "'abc' is not a valid date");
}

TEST(DateTimeTextTest, ReadingTimes) {
  EXPECT_EQ(ParseTime("13:05"), (13 * 60 + 5) * 60000);
  EXPECT_EQ(ParseTime("1:05:09.250"), ((1 * 60 + 5) * 60 + 9) * 1000 + 250);
  EXPECT_EQ(ParseTime("12:00 AM"), 0);
  EXPECT_EQ(ParseTime("12:30 am"), 30 * 60000);
  EXPECT_EQ(ParseTime("12:00 PM"), 12 * 3600000);
  EXPECT_EQ(ParseTime("1:00 PM"), 13 * 3600000);
  EXPECT_EQ(ParseTime("PM 1:00"), 13 * 3600000);  // the marker may stand anywhere
  for (const char *bad : {"", "13", "24:00", "12:60", "1:2:60", "13:00 PM", "1:00 AM PM", "x:00"}) {
    int32_t out;
    EXPECT_FALSE(TryParseTime(bad, out)) << bad;
  }
  EXPECT_EQ(ConvertError([] { ParseTime("25:00"); }), "'25:00' is not a valid time");
}

TEST(DateTimeTextTest, ReadingTimeStamps) {
  EXPECT_DOUBLE_EQ(ParseTimeStamp("2004-01-02 03:04"),
                   TimeStampOf(DayNumber(2004, 1, 2), (3 * 60 + 4) * 60000));
  EXPECT_DOUBLE_EQ(ParseTimeStamp("2004-01-02"), TimeStampOf(DayNumber(2004, 1, 2), 0));
  EXPECT_DOUBLE_EQ(ParseTimeStamp("10:00"), TimeStampOf(kDayZero, 10 * 3600000));
  EXPECT_EQ(ConvertError([] { ParseTimeStamp("2004-01-02 99:00"); }),
            "'2004-01-02 99:00' is not a valid date and time");
}

TEST(DateTimeTextTest, Writing) {
  EXPECT_EQ(DateText(DayNumber(2004, 1, 2)), "2004-01-02");
  EXPECT_EQ(DateText(DayNumber(12, 3, 4)), "0012-03-04");
  EXPECT_EQ(TimeText(0), "00:00");
  EXPECT_EQ(TimeText(0, false), "12:00 AM");
  EXPECT_EQ(TimeText(13 * 3600000 + 5 * 60000, false), "01:05 PM");
  EXPECT_EQ(TimeText(12 * 3600000, false), "12:00 PM");
  EXPECT_EQ(TimeText(13 * 3600000 + 5 * 60000 + 9000), "13:05:09");
  EXPECT_EQ(TimeText(13 * 3600000 + 5 * 60000 + 250), "13:05:00.250");
  EXPECT_EQ(TimeStampText(TimeStampOf(DayNumber(2004, 1, 2), 3600000)), "2004-01-02 01:00");
  EXPECT_EQ(BooleanText(true), "True");
  EXPECT_EQ(BooleanText(false), "False");
  EXPECT_EQ(ParseBoolean("true"), true);
  EXPECT_EQ(ParseBoolean(" FALSE "), false);
  EXPECT_EQ(ConvertError([] { ParseBoolean("yes"); }), "'yes' is not a valid boolean");
  EXPECT_EQ(FloatText(3.5), "3.5");
  EXPECT_EQ(FloatText(-0.25), "-0.25");
  EXPECT_EQ(FloatText(100), "100");
  EXPECT_EQ(FloatText(1e20), "1E20");
  EXPECT_EQ(FloatText(1.5e-7), "1.5E-7");
  EXPECT_EQ(FloatText(0.1 + 0.2), "0.3");
  // Round trips through the text forms.
  for (int32_t day : {1, kDayZero, DayNumber(2024, 2, 29), 3652059})
    EXPECT_EQ(ParseDate(DateText(day)), day);
  for (int32_t ms : {0, 1, 999, 59999, 43200000, 86399999}) {
    EXPECT_EQ(ParseTime(TimeText(ms)), ms);
    EXPECT_EQ(ParseTime(TimeText(ms, false)), ms);
  }
}

TEST(BcdTest, ArithmeticAndRounding) {
  EXPECT_EQ(*BcdMultiply(15000, 15000), 22500);  // 1.5 * 1.5
  EXPECT_EQ(*BcdDivide(10000, 30000), 3333);     // 1 / 3
  EXPECT_EQ(*BcdDivide(20000, 30000), 6667);     // 2 / 3, rounded
  EXPECT_EQ(*BcdDivide(-20000, 30000), -6667);
  EXPECT_FALSE(BcdDivide(1, 0));
  EXPECT_FALSE(BcdAdd(std::numeric_limits<int64_t>::max(), 1));
  EXPECT_FALSE(BcdFromInteger(std::numeric_limits<int64_t>::max()));
  EXPECT_FALSE(BcdFromFloat(1e300));
  EXPECT_EQ(*BcdFromFloat(1.23456), 12346);
  EXPECT_EQ(*BcdRound(12345, 2), 12300);
  EXPECT_EQ(*BcdRound(12350, 2), 12400);
  EXPECT_EQ(*BcdRound(-12350, 2), -12400);
  EXPECT_EQ(*BcdRound(25000, 0), 30000);
  EXPECT_EQ(BcdTruncate(-29999), -2);
}

TEST(BcdTest, TextForms) {
  EXPECT_EQ(BcdText(12500), "1.25");
  EXPECT_EQ(BcdText(-5), "-0.0005");
  EXPECT_EQ(BcdText(30000), "3");
  EXPECT_EQ(BcdText(std::numeric_limits<int64_t>::min()), "-922337203685477.5808");
  int64_t v;
  EXPECT_TRUE(TryParseBcd("1.25", v));
  EXPECT_EQ(v, 12500);
  EXPECT_TRUE(TryParseBcd(" -0.00005 ", v));
  EXPECT_EQ(v, -1);  // rounded to four places
  EXPECT_TRUE(TryParseBcd("7", v));
  EXPECT_EQ(v, 70000);
  EXPECT_FALSE(TryParseBcd("", v));
  EXPECT_FALSE(TryParseBcd("1.2.3", v));
  EXPECT_FALSE(TryParseBcd("99999999999999999999", v));
  EXPECT_FALSE(TryParseBcd("-", v));
}

TEST(BcdTest, PackedRecord) {
  for (int64_t v : {0LL, 12345LL, -12345LL, 9999999999LL, -1LL}) {
    TPackedBcd p = PackBcd(v, 4);
    int64_t back;
    ASSERT_TRUE(UnpackBcd(p, back));
    EXPECT_EQ(back, v);
  }
  TPackedBcd p = PackBcd(-12345, 2);
  EXPECT_EQ(p[0], 32);
  EXPECT_EQ(p[1], 0x80 | 2);
  int64_t back;
  ASSERT_TRUE(UnpackBcd(p, back));
  EXPECT_EQ(back, -12300);  // stored with two places
  TPackedBcd bad{};
  bad[0] = 4;
  bad[2] = 0xAB;  // not decimal digits
  EXPECT_FALSE(UnpackBcd(bad, back));
  bad[0] = 200;
  EXPECT_FALSE(UnpackBcd(bad, back));
}

TEST(ValueConvertTest, IntegerResultTextIsTheConvertedStringValue) {
  // Result values are written through a direct path for integers: it must say what the
  // conversion to a String value says, wrapped values of a narrower type included.
  const TTypeInfo asText{TDataType::String, FieldSubType::None, 1024, 0};
  const int64_t values[] = {0,          1,           -1,          32767,       -32768,     32768,
                            65535,      65536,       -65537,      2147483647,  -2147483647 - 1,
                            2147483648, 123456789012, std::numeric_limits<int64_t>::max(),
                            std::numeric_limits<int64_t>::min()};
  for (TDataType type : {TDataType::SmallInt, TDataType::Word, TDataType::Integer, TDataType::LargeInt}) {
    const TTypeInfo info{type, FieldSubType::None, 0, 0};
    for (int64_t v : values) {
      SCOPED_TRACE(std::to_string(static_cast<int>(type)) + " " + std::to_string(v));
      TExpValue converted;
      ASSERT_TRUE(ConvertValue(info, TExpValue::OfInt(v), asText, converted));
      EXPECT_EQ(FieldValueText(info, TExpValue::OfInt(v)), converted.Str);
    }
  }
}

TEST(ValueConvertTest, GeneralConversion) {
  using T = TDataType;
  auto conv = [](TTypeInfo from, TExpValue in, TTypeInfo to, TExpValue &out) {
    return ConvertValue(from, in, to, out);
  };
  TExpValue out;
  // Integer sizes keep their low bits.
  EXPECT_TRUE(conv({T::LargeInt}, TExpValue::OfInt(0x100000005LL), {T::Integer}, out));
  EXPECT_EQ(out.Int, 5);
  EXPECT_TRUE(conv({T::Integer}, TExpValue::OfInt(-1), {T::Word}, out));
  EXPECT_EQ(out.Int, 65535);
  EXPECT_TRUE(conv({T::Word}, TExpValue::OfInt(65535), {T::SmallInt}, out));
  EXPECT_EQ(out.Int, -1);
  EXPECT_TRUE(conv({T::SmallInt}, TExpValue::OfInt(-1), {T::LargeInt}, out));
  EXPECT_EQ(out.Int, -1);
  // Floats truncate toward zero; BCD rounds to four places.
  EXPECT_TRUE(conv({T::Float}, TExpValue::OfFloat(-2.7), {T::Integer}, out));
  EXPECT_EQ(out.Int, -2);
  EXPECT_TRUE(conv({T::Float}, TExpValue::OfFloat(2.71828), {T::BCD, FieldSubType::None, 34, 4}, out));
  EXPECT_EQ(out.Int, 27183);
  EXPECT_FALSE(conv({T::Float}, TExpValue::OfFloat(1e19), {T::LargeInt}, out));
  // Dates, times and timestamps.
  EXPECT_TRUE(conv({T::Date}, TExpValue::OfInt(DayNumber(2004, 1, 2)), {T::TimeStamp}, out));
  EXPECT_DOUBLE_EQ(out.Float, TimeStampOf(DayNumber(2004, 1, 2), 0));
  EXPECT_TRUE(conv({T::Time}, TExpValue::OfInt(1000), {T::TimeStamp}, out));
  EXPECT_DOUBLE_EQ(out.Float, TimeStampOf(kDayZero, 1000));
  EXPECT_TRUE(conv({T::TimeStamp}, TExpValue::OfFloat(TimeStampOf(5000, 7)), {T::Time}, out));
  EXPECT_EQ(out.Int, 7);
  EXPECT_FALSE(conv({T::Date}, TExpValue::OfInt(1), {T::Integer}, out));
  // Strings and bytes.
  EXPECT_TRUE(conv({T::Integer}, TExpValue::OfInt(-12), {T::String, FieldSubType::None, 3}, out));
  EXPECT_EQ(out.Str, "-1");  // cut to the declared length of 2
  EXPECT_TRUE(conv({T::Integer}, TExpValue::OfInt(0x01020304), {T::Bytes, FieldSubType::None, 2}, out));
  EXPECT_EQ(out.Str, std::string("\x04\x03", 2));
  EXPECT_TRUE(conv({T::Bytes}, TExpValue::OfStr(std::string("\x04\x03\x02\x01", 4)), {T::Integer}, out));
  EXPECT_EQ(out.Int, 0x01020304);
  EXPECT_TRUE(conv({T::Bytes}, TExpValue::OfStr("\x01"), {T::Float}, out));  // short bytes: zeros
  EXPECT_TRUE(conv({T::Boolean}, TExpValue::OfInt(1), {T::BCD, FieldSubType::None, 34, 2}, out));
  EXPECT_EQ(out.Int, 10000);
  EXPECT_TRUE(conv({T::BCD}, TExpValue::OfInt(-29999), {T::Integer}, out));
  EXPECT_EQ(out.Int, -2);
  EXPECT_TRUE(conv({T::BCD}, TExpValue::OfInt(12500), {T::String, FieldSubType::None, 20}, out));
  EXPECT_EQ(out.Str, "1.25");
  EXPECT_FALSE(conv({T::Unknown}, TExpValue(), {T::Integer}, out));
}

TEST(ValueConvertTest, FollowsTheTableOfTheTableStore) {
  using T = TDataType;
  TExpValue out;
  // Every integer type and BCD turn into Boolean by being non-zero (the stored-value table
  // covers only SmallInt and Word; CAST must not give NULL for the others).
  EXPECT_TRUE(ConvertValue({T::SmallInt}, TExpValue::OfInt(7), {T::Boolean}, out));
  EXPECT_EQ(out.Int, 1);
  EXPECT_TRUE(ConvertValue({T::Integer}, TExpValue::OfInt(7), {T::Boolean}, out));
  EXPECT_EQ(out.Int, 1);
  EXPECT_TRUE(ConvertValue({T::BCD}, TExpValue::OfInt(0), {T::Boolean}, out));
  EXPECT_EQ(out.Int, 0);
  // A String result is cut without splitting a character.
  EXPECT_TRUE(ConvertValue({T::String}, TExpValue::OfStr("\xE6\x97\xA5\xE6\x9C\xAC"),
                           {T::String, FieldSubType::None, 5}, out));
  EXPECT_EQ(out.Str, "\xE6\x97\xA5");
  EXPECT_TRUE(ConvertValue({T::Blob, FieldSubType::Memo}, TExpValue::OfStr("\xE6\x97\xA5\xE6\x9C\xAC"),
                           {T::String, FieldSubType::None, 5}, out));
  EXPECT_EQ(out.Str, "\xE6\x97\xA5");
  // BCD values keep all four places on the way through, whatever the source's scale.
  EXPECT_TRUE(ConvertValue({T::BCD, FieldSubType::None, 34, 0}, TExpValue::OfInt(12345),
                           {T::Float}, out));
  EXPECT_DOUBLE_EQ(out.Float, 1.2345);
  // An empty text is NULL.
  EXPECT_TRUE(ConvertValue({T::Bytes}, TExpValue::OfStr(std::string("\0a", 2)), {T::String, FieldSubType::None, 5},
                           out));
  EXPECT_TRUE(out.Null);
  EXPECT_EQ(ValueText({T::Date}, TExpValue::OfInt(DayNumber(2004, 1, 2))), "2004-01-02");
  EXPECT_EQ(ValueText({T::Float}, TExpValue::OfFloat(2.5)), "2.5");
}

TEST(BcdTest, PackedRecordsWithMorePlacesRoundToFour) {
  TPackedBcd p{};
  p[0] = 6;
  p[1] = 5;  // 1.23456
  p[2] = 0x12;
  p[3] = 0x34;
  p[4] = 0x56;
  int64_t v;
  ASSERT_TRUE(UnpackBcd(p, v));
  EXPECT_EQ(v, 12346);
  p[1] = 0x80 | 5;
  ASSERT_TRUE(UnpackBcd(p, v));
  EXPECT_EQ(v, -12346);
}

}  // namespace
