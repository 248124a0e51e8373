#include "app/board/StatusClock.h"

namespace miretoka {

QString FormatClock(const QDateTime &when) {
  const QDate d = when.date();
  const QTime t = when.time();
  int hour = t.hour() % 12;
  if (hour == 0) hour = 12;  // midnight and noon read 12
  return QStringLiteral("%1/%2  %3:%4 %5")
      .arg(d.month(), 2, 10, QLatin1Char('0'))
      .arg(d.day(), 2, 10, QLatin1Char('0'))
      .arg(hour, 2, 10, QLatin1Char('0'))
      .arg(t.minute(), 2, 10, QLatin1Char('0'))
      .arg(t.hour() < 12 ? QStringLiteral("AM") : QStringLiteral("PM"));
}

}  // namespace miretoka
