// Weekday names, split local time and the date and time texts the windows show.
#pragma once

#include <QDateTime>
#include <QString>

namespace app {

// "星期天", "星期一" … "星期六" for Sunday to Saturday.
QString WeekdayName(const QDate& date);
bool isWeekend(const QDate& date);

// The local date and time split into fields.
struct LocalTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};
LocalTime gettime(const QDateTime& now);

// 2009-3-5: no leading zeros.
QString dateText(const QDate& date);
// 9:05:07: hours without a leading zero, minutes and seconds with two digits.
QString timeText(const QTime& time);

// Time-of-day comparisons are made on whole seconds, so 15:05:00.900 still counts as 15:05:00.
QTime wholeSeconds(const QTime& time);
// From 9:10:00 to 15:05:00 inclusive: the quote panel is kept fresh by the one-second timer.
bool inQuoteHours(const QTime& time);

// What `start` fetches at a given moment: the quote once on a weekend, and the index summary and
// the quote outside 9:10:00-15:05:00; both apply on a weekend outside those hours.
struct StartFetches {
    bool weekendQuote = false;
    bool offHoursIndexAndQuote = false;
};
StartFetches startFetches(const QDateTime& now);

} // namespace app
