// The clock text of status panel 2.
#include <gtest/gtest.h>

#include "app/board/StatusClock.h"

namespace miretoka {
namespace {

QDateTime At(int month, int day, int hour, int minute) {
  return QDateTime(QDate(2026, month, day), QTime(hour, minute));
}

TEST(StatusClock, TwelveHourClockWithAmPm) {
  EXPECT_EQ(FormatClock(At(3, 7, 9, 5)), QStringLiteral("03/07  09:05 AM"));
  EXPECT_EQ(FormatClock(At(12, 31, 13, 7)), QStringLiteral("12/31  01:07 PM"));
  EXPECT_EQ(FormatClock(At(1, 1, 23, 59)), QStringLiteral("01/01  11:59 PM"));
}

TEST(StatusClock, MidnightAndNoonReadTwelve) {
  EXPECT_EQ(FormatClock(At(6, 15, 0, 0)), QStringLiteral("06/15  12:00 AM"));
  EXPECT_EQ(FormatClock(At(6, 15, 12, 30)), QStringLiteral("06/15  12:30 PM"));
}

}  // namespace
}  // namespace miretoka
