#include "bigorder/bigorderrules.h"

#include <QTest>

using namespace bigorder;

namespace {

QStringList labels(const QList<BarPoint>& points)
{
    QStringList out;
    for (const BarPoint& p : points)
        out << p.label;
    return out;
}

QStringList numbers(int from, int count)
{
    QStringList out;
    for (int i = 0; i < count; ++i)
        out << QString::number((from + i) * 100);
    return out;
}

// A weekday (Wednesday 2026-12-09) at the given time.
QDateTime wednesday(int h, int m, int s = 0)
{
    return QDateTime(QDate(2026, 12, 9), QTime(h, m, s));
}

} // namespace

class TestBigOrderRules : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void conversion_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("lots");
        QTest::addColumn<double>("bar");
        QTest::newRow("12345") << "12345" << true << "123" << 123.45;
        QTest::newRow("negative truncates toward zero") << "-150" << true << "-1" << -1.5;
        QTest::newRow("plus sign") << "+99" << true << "0" << 0.99;
        QTest::newRow("empty") << "" << false << "" << 0.0;
        QTest::newRow("blank") << " 12" << false << "" << 0.0;
        QTest::newRow("decimal point") << "1.5" << false << "" << 0.0;
        QTest::newRow("sign only") << "-" << false << "" << 0.0;
        QTest::newRow("too large") << "99999999999999999999" << false << "" << 0.0;
    }
    void conversion()
    {
        QFETCH(QString, item);
        QFETCH(bool, valid);
        const std::optional<qint64> n = shareCount(item);
        QCOMPARE(n.has_value(), valid);
        if (valid) {
            QFETCH(QString, lots);
            QFETCH(double, bar);
            QCOMPARE(lotText(*n), lots);
            QCOMPARE(barValue(*n), bar);
        }
    }

    void hourly()
    {
        BigOrderLists l;
        l.HourBuyList = {"12345", "80000"};
        l.HourSellList = {"60000", "90000"};
        const BarChartData d = hourChart("平安银行", "000001", l);
        QVERIFY(d.ok());
        QCOMPARE(d.caption, QStringLiteral("平安银行(000001)今日每小时大单成交分布图"));
        QCOMPARE(labels(d.buy), (QStringList{"10:30", "11:30"}));
        QCOMPARE(d.buy[0].value, 123.45);
        QCOMPARE(labels(d.sell), (QStringList{"600", "900"}));

        // A bad item stops the rebuild there: the points before it stay, with their lot texts,
        // because the hour labels are put on afterwards.
        l.HourBuyList = {"100000", "x1"};
        const BarChartData bad = hourChart("n", "c", l);
        QCOMPARE(bad.error, QStringLiteral("'x1' is not a valid integer value"));
        QCOMPARE(labels(bad.buy), QStringList{"1000"});
        QVERIFY(bad.sell.isEmpty());
    }

    void days_data()
    {
        QTest::addColumn<int>("n");
        QTest::addColumn<QString>("captionEnd");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("ten") << 10 << ")近5日大单成交分布图" << QStringList{"d5", "d6", "d7", "d8", "d9"};
        QTest::newRow("seven: the five newest") << 7 << ")近5日大单成交分布图" << QStringList{"d2", "d3", "d4", "d5", "d6"};
        QTest::newRow("five") << 5 << ")近5日大单成交分布图" << QStringList{"d0", "d1", "d2", "d3", "d4"};
        QTest::newRow("four") << 4 << ")近4日大单成交分布图" << QStringList{"d0", "d1", "d2", "d3"};
        QTest::newRow("none") << 0 << ")近0日大单成交分布图" << QStringList{};
    }
    void days()
    {
        QFETCH(int, n);
        QFETCH(QString, captionEnd);
        QFETCH(QStringList, shown);
        BigOrderLists l;
        l.DayBuyList = numbers(1, n);
        l.DaySellList = numbers(2, n);
        for (int i = 0; i < n; ++i)
            l.DayLabelList << QStringLiteral("d%1").arg(i);
        const BarChartData d = dayChart("万科A", "000002", l);
        QVERIFY(d.ok());
        QVERIFY(d.caption.startsWith(QStringLiteral("万科A(000002)")));
        QVERIFY2(d.caption.endsWith(captionEnd), qPrintable(d.caption));
        QCOMPARE(labels(d.buy), shown);
        QCOMPARE(labels(d.sell), shown);
    }

    void dayLabelMissing()
    {
        BigOrderLists l;
        l.DayBuyList = numbers(1, 3);
        l.DaySellList = numbers(1, 3);
        l.DayLabelList = {"a", "b"};
        const BarChartData d = dayChart("n", "c", l);
        QCOMPARE(d.error, QStringLiteral("List index out of bounds (2)"));
        QCOMPARE(d.buy.size(), 2);
        QVERIFY(d.sell.isEmpty());
    }

    void tenDay_data()
    {
        QTest::addColumn<QStringList>("buy");
        QTest::addColumn<QStringList>("sell");
        QTest::addColumn<QString>("totals");
        QTest::addColumn<bool>("red");
        QTest::newRow("150+250 is 3 lots")
            << QStringList{"150", "250"} << QStringList{"0", "0"}
            << "近10日 大单流入:3手  大单流出:0手  合计流入:3手" << true;
        QTest::newRow("balance")
            << QStringList{"500", "500"} << QStringList{"900", "100"}
            << "近10日 大单流入:10手  大单流出:10手  合计流出:0手" << false;
        QTest::newRow("outflow is negative")
            << QStringList{"100"} << QStringList{"700"}
            << "近10日 大单流入:1手  大单流出:7手  合计流出:-6手" << false;
    }
    void tenDay()
    {
        QFETCH(QStringList, buy);
        QFETCH(QStringList, sell);
        QFETCH(QString, totals);
        QFETCH(bool, red);
        BigOrderLists l;
        l.DayBuyList = buy;
        l.DaySellList = sell;
        l.DayLabelList = QStringList(buy.size(), QStringLiteral("d"));
        const TenDayData t = tenDayChart("n", "c", l);
        QVERIFY(t.chart.ok());
        QCOMPARE(t.totals, totals);
        QCOMPARE(t.totalsColour, red ? kRed : kGreen);
    }

    void tenDayEightDaysAndErrors()
    {
        BigOrderLists l;
        l.DayBuyList = numbers(1, 8);
        l.DaySellList = numbers(1, 8);
        l.DayLabelList = QStringList(8, QStringLiteral("d"));
        const TenDayData t = tenDayChart("万科A", "000002", l);
        QCOMPARE(t.chart.caption, QStringLiteral("万科A(000002)近8日大单成交分布图"));
        QVERIFY(t.totals.startsWith(QStringLiteral("近10日 大单流入:")));
        QCOMPARE(t.chart.buy.size(), 8);
        l.DayBuyList = numbers(1, 10);
        l.DaySellList = numbers(1, 10);
        l.DayLabelList = QStringList(10, QStringLiteral("d"));
        QCOMPARE(tenDayChart("万科A", "000002", l).chart.caption, QStringLiteral("万科A(000002)近10日大单成交分布图"));

        // Fewer sell items than buy items: the totals step stops, nothing is set.
        l.DaySellList = numbers(1, 9);
        const TenDayData cut = tenDayChart("n", "c", l);
        QCOMPARE(cut.chart.error, QStringLiteral("List index out of bounds (9)"));
        QVERIFY(cut.totals.isEmpty());
        QVERIFY(cut.chart.caption.isEmpty());
    }

    void pie()
    {
        BigOrderLists l;
        l.PieValueList = {"12", "88", "5"};
        l.PieColourList = {"#FF3333", "#abcdef"};
        const PieData d = pieChart("平安银行", "000001", QDate(2009, 3, 5), l);
        QVERIFY(d.ok());
        QCOMPARE(d.title, QStringLiteral("平安银行(000001)今日(2009-3-5)大单进出成交分布图"));
        QCOMPARE(d.slices.size(), 2);   // the value without a colour is left out
        QCOMPARE(d.slices[0].size, 12);
        QCOMPARE(d.slices[0].label, QStringLiteral("单笔买入50-200万(12%)"));
        QCOMPARE(d.slices[0].colour, rgb(255, 0, 68));
        QCOMPARE(d.slices[1].label, QStringLiteral("#abcdef(88%)"));   // codes compare exactly
        QCOMPARE(d.slices[1].colour, kUnknownBucketColour);
        QCOMPARE(bucketTable().size(), 8);
        QCOMPARE(bucketFor("#336600")->colour, rgb(0, 128, 136));

        l.PieValueList = {"12", "1e3"};
        QCOMPARE(pieChart("n", "c", QDate(2009, 3, 5), l).error, QStringLiteral("'1e3' is not a valid integer value"));
    }

    void flowTiming_data()
    {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<bool>("acts");
        QTest::newRow("10:29:59") << wednesday(10, 29, 59) << false;
        QTest::newRow("10:30:00") << wednesday(10, 30) << true;
        QTest::newRow("late evening") << wednesday(22, 0) << true;
        QTest::newRow("saturday") << QDateTime(QDate(2026, 12, 12), QTime(11, 0)) << false;
        QTest::newRow("sunday") << QDateTime(QDate(2026, 12, 13), QTime(11, 0)) << false;
    }
    void flowTiming()
    {
        QFETCH(QDateTime, now);
        QFETCH(bool, acts);
        BigOrderLists l;
        l.HourBuyList = {"500000"};
        l.HourSellList = {"312345"};
        FlowState state;
        state.day = now.date();
        const FlowTick t = flowTick(now, l, state);
        QCOMPARE(t.announcement.has_value(), acts);
        QCOMPARE(t.totalsChanged, acts);
        QCOMPARE(state.announced, acts ? 1 : 0);
    }

    void flowTexts()
    {
        BigOrderLists l;
        l.HourBuyList = {"500000"};
        l.HourSellList = {"312345"};
        FlowState state;
        FlowTick t = flowTick(wednesday(10, 30), l, state);
        QCOMPARE(t.announcement->text, QStringLiteral("在 9:30-10:30 之间大单净流入1876手"));
        QVERIFY(t.announcement->inflow);
        QCOMPARE(t.totals, QStringLiteral("今日大单流入:5000手 大单流出:3123手 总计净流入1877手"));
        QCOMPARE(t.totalsColour, kRed);
        QVERIFY(state.hourDone[0]);

        // Announced once; later ticks only rewrite the totals while the count is below the items.
        t = flowTick(wednesday(10, 31), l, state);
        QVERIFY(!t.announcement);
        QVERIFY(!t.totalsChanged);

        // Equal hour: outflow 0手, green; totals over 150 and 250 are 3 lots.
        l.HourBuyList = {"500000", "150"};
        l.HourSellList = {"312345", "150"};
        t = flowTick(wednesday(11, 30), l, state);
        QCOMPARE(t.announcement->hour, 2);
        QCOMPARE(t.announcement->text, QStringLiteral("在 10:30-11:30 之间大单净流出0手"));
        QVERIFY(!t.announcement->inflow);
        l.HourBuyList = {"150", "250"};
        l.HourSellList = {"100", "100"};
        state.reset();
        state.hourDone[1] = true;
        state.announced = 1;
        t = flowTick(wednesday(11, 30), l, state);
        QCOMPARE(t.totals, QStringLiteral("今日大单流入:3手 大单流出:2手 总计净流入1手"));
        QVERIFY(!t.announcement);   // hour 2 was announced already
    }

    void flowSkipsAndBadLists()
    {
        // The item count jumps from 1 to 3: hour 3 is announced, hour 2 never; the count stays
        // below the item count so the totals go on being rewritten.
        BigOrderLists l;
        l.HourBuyList = {"100"};
        l.HourSellList = {"200"};
        FlowState state;
        flowTick(wednesday(10, 30), l, state);
        l.HourBuyList = {"100", "100", "100"};
        l.HourSellList = {"200", "200", "200"};
        QCOMPARE(flowTick(wednesday(14, 0), l, state).announcement->hour, 3);
        const FlowTick again = flowTick(wednesday(14, 1), l, state);
        QVERIFY(again.totalsChanged);
        QVERIFY(!again.announcement);
        QCOMPARE(state.announced, 2);

        // A missing sell item or a non-numeric item ends the tick with nothing done.
        FlowState fresh;
        l.HourSellList = {"200", "200"};
        QVERIFY(!flowTick(wednesday(14, 0), l, fresh).totalsChanged);
        l.HourSellList = {"200", "abc", "200"};
        QVERIFY(!flowTick(wednesday(14, 0), l, fresh).totalsChanged);
        QCOMPARE(fresh.announced, 0);
        QVERIFY(!fresh.hourDone[2]);
    }

    void flowNextDay()
    {
        BigOrderLists l;
        l.HourBuyList = {"1", "2", "3", "4"};
        l.HourSellList = {"1", "2", "3", "4"};
        FlowState state;
        QCOMPARE(flowTick(wednesday(15, 10), l, state).announcement->hour, 4);
        // Thursday: yesterday's hours are dropped and the day starts afresh.
        const QDateTime thursday(QDate(2026, 12, 10), QTime(9, 0));
        QVERIFY(flowTick(thursday, l, state).newDay);
        QVERIFY(l.HourBuyList.isEmpty());
        QCOMPARE(state.announced, 0);
        l.HourBuyList = {"900"};
        l.HourSellList = {"100"};
        QCOMPARE(flowTick(thursday.addSecs(5400), l, state).announcement->hour, 1);
    }

    void reloadHours_data()
    {
        QTest::addColumn<QTime>("time");
        QTest::addColumn<bool>("reload");
        QTest::newRow("10:30:00") << QTime(10, 30) << false;
        QTest::newRow("10:30:00.900") << QTime(10, 30, 0, 900) << false;
        QTest::newRow("10:30:01") << QTime(10, 30, 1) << true;
        QTest::newRow("15:29:59") << QTime(15, 29, 59) << true;
        QTest::newRow("15:30:00") << QTime(15, 30) << false;
    }
    void reloadHours()
    {
        QFETCH(QTime, time);
        QFETCH(bool, reload);
        QCOMPARE(inReloadHours(time), reload);
    }

    // The value axis covers every value and 0 with a few round steps.
    void valueAxisSteps()
    {
        const ValueAxis a = valueAxis({1234.5, 876, 0.5}, 4);
        QCOMPARE(a.step, 500.0);
        QCOMPARE(a.low, 0.0);
        QCOMPARE(a.high, 1500.0);
        const ValueAxis neg = valueAxis({-0.3, 0.1}, 4);
        QCOMPARE(neg.step, 0.1);
        QVERIFY(neg.low <= -0.3 && neg.low > -0.31);
        QVERIFY(neg.high >= 0.1 && neg.high < 0.11);
        // No values, only zeros, or values that are not finite: the unit range.
        for (const QList<double>& vs : {QList<double>{}, QList<double>{0, 0},
                                        QList<double>{qQNaN(), qInf()}}) {
            const ValueAxis e = valueAxis(vs, 4);
            QCOMPARE(e.low, 0.0);
            QCOMPARE(e.high, 1.0);
        }
        // The largest share counts a page can give stay a handful of steps.
        const ValueAxis big = valueAxis({9.2e16, -9.2e16}, 3);
        QVERIFY((big.high - big.low) / big.step <= 5);
        QVERIFY(big.low <= -9.2e16 && big.high >= 9.2e16);
    }
};

QTEST_APPLESS_MAIN(TestBigOrderRules)
#include "test_bigorderrules.moc"
