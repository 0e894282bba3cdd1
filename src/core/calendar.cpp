#include "core/calendar.h"

namespace app {

QString WeekdayName(const QDate& date)
{
    static const char16_t* const names[] = {u"星期一", u"星期二", u"星期三", u"星期四",
                                            u"星期五", u"星期六", u"星期天"};
    const int dow = date.dayOfWeek();   // 1 = Monday … 7 = Sunday
    return dow >= 1 && dow <= 7 ? QString::fromUtf16(names[dow - 1]) : QString();
}

bool isWeekend(const QDate& date)
{
    const QString name = WeekdayName(date);
    return name == u"星期天" || name == u"星期六";
}

LocalTime gettime(const QDateTime& now)
{
    const QDate d = now.date();
    const QTime t = now.time();
    return {d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second(), t.msec()};
}

QString dateText(const QDate& date)
{
    return QStringLiteral("%1-%2-%3").arg(date.year()).arg(date.month()).arg(date.day());
}

QString timeText(const QTime& time)
{
    return QStringLiteral("%1:%2:%3")
        .arg(time.hour())
        .arg(time.minute(), 2, 10, QLatin1Char('0'))
        .arg(time.second(), 2, 10, QLatin1Char('0'));
}

QTime wholeSeconds(const QTime& time)
{
    return QTime(time.hour(), time.minute(), time.second());
}

bool inQuoteHours(const QTime& time)
{
    const QTime t = wholeSeconds(time);
    return t >= QTime(9, 10, 0) && t <= QTime(15, 5, 0);
}

StartFetches startFetches(const QDateTime& now)
{
    return {isWeekend(now.date()), !inQuoteHours(now.time())};
}

} // namespace app
