#pragma once
// The clock text of the status bar: "mm/dd  hh:mm AM/PM" on the 12-hour clock.
#include <QDateTime>
#include <QString>

namespace miretoka {
QString FormatClock(const QDateTime &when);
}
