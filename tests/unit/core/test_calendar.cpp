#include "core/calendar.h"

#include <QTest>

using namespace app;

class TestCalendar : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void weekdayNamesRunSundayToSaturday()
    {
        const QDate sunday(2026, 12, 6);
        const QStringList expected = {"星期天", "星期一", "星期二", "星期三", "星期四", "星期五", "星期六"};
        for (int i = 0; i < 7; ++i)
            QCOMPARE(WeekdayName(sunday.addDays(i)), expected[i]);
        QVERIFY(isWeekend(sunday) && isWeekend(sunday.addDays(6)) && !isWeekend(sunday.addDays(1)));
    }

    void dateAndTimeTextsDropLeadingZeros()
    {
        QCOMPARE(dateText(QDate(2009, 3, 5)), QStringLiteral("2009-3-5"));
        QCOMPARE(timeText(QTime(9, 5, 7)), QStringLiteral("9:05:07"));
        QCOMPARE(timeText(QTime(15, 0, 0)), QStringLiteral("15:00:00"));
        const LocalTime t = gettime(QDateTime(QDate(2026, 12, 9), QTime(13, 4, 5, 678)));
        QCOMPARE(t.year, 2026);
        QCOMPARE(t.hour, 13);
        QCOMPARE(t.millisecond, 678);
    }

    void quoteHoursIncludeBothEnds_data()
    {
        QTest::addColumn<QTime>("time");
        QTest::addColumn<bool>("inside");
        QTest::newRow("9:09:59") << QTime(9, 9, 59) << false;
        QTest::newRow("9:10:00") << QTime(9, 10, 0) << true;
        QTest::newRow("15:05:00") << QTime(15, 5, 0) << true;
        QTest::newRow("15:05:00.999") << QTime(15, 5, 0, 999) << true;
        QTest::newRow("15:05:01") << QTime(15, 5, 1) << false;
    }
    void quoteHoursIncludeBothEnds()
    {
        QFETCH(QTime, time);
        QFETCH(bool, inside);
        QCOMPARE(inQuoteHours(time), inside);
    }

    void startFetchesByWeekdayAndTime_data()
    {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<int>("quotes");
        QTest::addColumn<bool>("index");
        const QDate saturday(2026, 12, 12), wednesday(2026, 12, 9);
        QTest::newRow("Saturday 10:00") << QDateTime(saturday, QTime(10, 0)) << 1 << false;
        QTest::newRow("Saturday 8:00") << QDateTime(saturday, QTime(8, 0)) << 2 << true;
        QTest::newRow("weekday 10:00") << QDateTime(wednesday, QTime(10, 0)) << 0 << false;
        QTest::newRow("weekday 20:00") << QDateTime(wednesday, QTime(20, 0)) << 1 << true;
        QTest::newRow("Sunday 15:05:01") << QDateTime(saturday.addDays(1), QTime(15, 5, 1)) << 2 << true;
    }
    void startFetchesByWeekdayAndTime()
    {
        QFETCH(QDateTime, now);
        QFETCH(int, quotes);
        QFETCH(bool, index);
        const StartFetches f = startFetches(now);
        QCOMPARE(int(f.weekendQuote) + int(f.offHoursIndexAndQuote), quotes);
        QCOMPARE(f.offHoursIndexAndQuote, index);
    }
};

QTEST_GUILESS_MAIN(TestCalendar)
#include "test_calendar.moc"
