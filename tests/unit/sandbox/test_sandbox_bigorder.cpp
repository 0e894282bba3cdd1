#include "bigorder.h"
#include "bigorder/bigorderpages.h"
#include "market.h"

#include <QTest>

using feed::Market;

namespace {

QDateTime wednesday(int h, int m, int s = 0)
{
    return QDateTime(QDate(2026, 12, 9), QTime(h, m, s));
}

QString pageOf(Market& market, const QString& code, const char* file, const QDateTime& t)
{
    const QString prefix = code.startsWith(u'6') ? QStringLiteral("sh") : QStringLiteral("sz");
    return *sandbox::bigorder::page(market, QStringLiteral("/stock/%1/%2/%3").arg(prefix, code, QLatin1String(file)), t);
}

} // namespace

class TestSandboxBigOrder : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // One item per finished trading hour, from the market's own large trades.
    void hourlyPage_data()
    {
        QTest::addColumn<QTime>("time");
        QTest::addColumn<int>("items");
        QTest::newRow("10:29:59") << QTime(10, 29, 59) << 0;
        QTest::newRow("10:30:00") << QTime(10, 30) << 1;
        QTest::newRow("lunch") << QTime(12, 0) << 2;
        QTest::newRow("14:00") << QTime(14, 0) << 3;
        QTest::newRow("evening") << QTime(20, 0) << 4;
    }
    void hourlyPage()
    {
        QFETCH(QTime, time);
        QFETCH(int, items);
        Market market(1);
        const QDateTime t(QDate(2026, 12, 9), time);
        const QString page = pageOf(market, "000001", "single-bar.htm", t);
        bigorder::BigOrderLists l;
        QCOMPARE(bigorder::parseHourPage(page, l), items > 0);
        QCOMPARE(l.HourBuyList.size(), items);
        QCOMPARE(l.HourSellList.size(), items);
        const feed::BigOrderDay day = *market.bigOrders("000001", t);
        for (int h = 0; h < items; ++h) {
            QCOMPARE(l.HourBuyList[h], QString::number(day.hourBuy[h]));
            QCOMPARE(l.HourSellList[h], QString::number(day.hourSell[h]));
        }
        if (items == 4)
            QVERIFY(day.buyShares() + day.sellShares() > 0);
    }

    void dayPage()
    {
        Market market(1);
        const QDateTime t = wednesday(16, 0);
        bigorder::BigOrderLists l;
        bigorder::parseDayPage(pageOf(market, "600036", "single-barDay.htm", t), l);
        QCOMPARE(l.DayLabelList.size(), 10);
        QCOMPARE(l.DayLabelList.first(), QStringLiteral("11-26"));   // ten trading days back, weekends skipped
        QCOMPARE(l.DayLabelList.last(), QStringLiteral("12-09"));
        const feed::BigOrderDay today = *market.bigOrders("600036", t);
        QCOMPARE(l.DayBuyList.last(), QString::number(today.buyShares()));
        QCOMPARE(l.DaySellList.size(), 10);
        // A past day walked for one stock alone gives what the whole market's walk of that day
        // gives, and leaves today's quotes as they were.
        Market other(1, feed::Scenario::Alerts);
        const qint64 volume = other.quote("300059", t)->volume;
        const feed::BigOrderDay yesterday = other.bigOrderDays("300059", t, 2).first();
        QCOMPARE(other.quote("300059", t)->volume, volume);
        const feed::BigOrderDay walked = *other.bigOrders("300059", QDateTime(QDate(2026, 12, 8), QTime(16, 0)));
        QCOMPARE(yesterday.date, walked.date);
        for (int h = 0; h < 4; ++h) {
            QCOMPARE(yesterday.hourBuy[h], walked.hourBuy[h]);
            QCOMPARE(yesterday.hourSell[h], walked.hourSell[h]);
        }
        QVERIFY(walked.buyShares() > 0);
    }

    void piePage()
    {
        Market market(1, feed::Scenario::Alerts);
        const QString page = pageOf(market, "300059", "single-pie.htm", wednesday(11, 0));
        bigorder::BigOrderLists l;
        bigorder::parsePiePage(page, l);
        QCOMPARE(l.PieValueList.size(), 8);
        const QStringList codes = {"#FF6666", "#FF3333", "#CC3333", "#990000",
                                   "#99FF00", "#00CC33", "#009966", "#336600"};
        QCOMPARE(l.PieColourList, codes + codes);   // the data stands twice in the page
        int sum = 0;
        for (const QString& v : l.PieValueList)
            sum += v.toInt();
        QCOMPARE(sum, 100);
        // The steered prints of 1000 lots and more land in the big buckets.
        QVERIFY(l.PieValueList[3].toInt() + l.PieValueList[7].toInt() > 0);
    }

    void unknownPages()
    {
        Market market(1);
        const QDateTime t = wednesday(14, 0);
        for (const char* path : {"/stock/sz/999999/single-bar.htm", "/stock/sh/000001/single-pie.htm"}) {
            const std::optional<QString> page = sandbox::bigorder::page(market, QString::fromLatin1(path), t);
            QVERIFY(page);
            QVERIFY(!page->contains(QStringLiteral("values=")));
        }
        QVERIFY(!sandbox::bigorder::page(market, "/stock/sz/000001/other.htm", t));
        QVERIFY(!sandbox::bigorder::page(market, "/gplogin.asp", t));
        QVERIFY(sandbox::bigorder::page(market, "/stock/sz/000001/SINGLE-BARDAY.HTM", t));
    }
};

QTEST_APPLESS_MAIN(TestSandboxBigOrder)
#include "test_sandbox_bigorder.moc"
