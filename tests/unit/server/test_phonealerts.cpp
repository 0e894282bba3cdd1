// What the server decides for a phone number: the program's rules on its mirrored tables, its
// price broadcasts, and each alert once (per day, direction, five minutes or broadcast slot).
#include "phonealerts.h"

#include <QTest>

using namespace server::phone;

namespace {

const QDate kWednesday(2026, 12, 9);

// A quote line as the quote service writes it: price, change percent, bid and ask, volume, the
// last trade's side and size.
market::StockQuote quote(const QString& code, const QString& price, const QString& percent, const QString& tradeLots = QStringLiteral("5"),
                         const QString& bidLots = QStringLiteral("12"))
{
    return market::parseQuote(QStringLiteral("x,%1,招商银行,%2,%3,1.00,%2,%5,%2,9,456789,160234.5,34.80,0,%2,34.80,1,%4,")
                                  .arg(code, price, percent, tradeLots, bidLots));
}

MirroredTables tables()
{
    MirroredTables t;
    // limit, large trade (3 digits), large order (4 digits), rise/fall beyond 5%
    t.rows.append({QStringLiteral("600036"), QStringLiteral("招商银行"), QStringLiteral("1111"), QStringLiteral("3"),
                   QStringLiteral("4"), QStringLiteral("5")});
    t.openClose << QStringLiteral("600036");
    t.intervals.append({QStringLiteral("000001"), QStringLiteral("平安银行"), 15});
    return t;
}

QHash<QString, market::StockQuote> quotes(const market::StockQuote& cmb)
{
    return {{QStringLiteral("600036"), cmb},
            {QStringLiteral("000001"), market::parseQuote(QStringLiteral("x,000001,平安银行,11.02,-0.72%,-0.08,11.01,1,11.02,1,9,9,11.08,0,11.12,10.98,"))}};
}

QDateTime at(int h, int m, int s = 0, const QDate& day = kWednesday)
{
    return QDateTime(day, QTime(h, m, s));
}

} // namespace

class TestPhoneAlerts : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void theProgramsRulesOncePerDayAndDirection()
    {
        NumberWatch w(QStringLiteral("13800138000"), tables());
        QCOMPARE(w.codes(), (QStringList{"600036", "000001"}));
        const auto first = w.tick(at(10, 1), 5, quotes(quote("600036", "38.28", "10.00%")));
        QVERIFY(first);
        QCOMPARE(first->number, QStringLiteral("13800138000"));
        // The limit and the rise beyond 5% of one tick, in one message.
        QCOMPARE(first->alerts.size(), 2);
        QCOMPARE(first->alerts[0].key, QStringLiteral("13800138000|limit|600036|2026-12-09|up"));
        QVERIFY(first->text.contains(QStringLiteral("注意:招商银行(600036) 股价接近涨停或已涨停")));
        QVERIFY(first->text.contains(QStringLiteral("涨幅超过10.00%")));
        QCOMPARE(first->title, QStringLiteral("汇澜股价提示 10:01"));

        // The program's cooldown re-arms the rise alert after five minutes; the phone hears it once.
        QVERIFY(!w.tick(at(10, 7), 360, quotes(quote("600036", "38.28", "10.00%"))));
        // The fall is another direction; the next day starts afresh.
        const auto fall = w.tick(at(10, 20), 400, quotes(quote("600036", "31.30", "-10.00%")));
        QVERIFY(fall && fall->alerts.size() == 1 && fall->alerts[0].key.endsWith(QStringLiteral("risefall|600036|2026-12-09|down")));
        QVERIFY(w.tick(at(10, 1, 0, kWednesday.addDays(1)), 400, quotes(quote("600036", "38.28", "10.00%"))));
    }

    void largeTradesAndOrdersOnceInFiveMinutes()
    {
        MirroredTables t = tables();
        t.rows[0].flags = QStringLiteral("0110");   // large trades and orders only
        NumberWatch w(QStringLiteral("13800138000"), t);
        auto trade = w.tick(at(10, 2), 5, quotes(quote("600036", "35.00", "0.50%", "3000", "12")));
        QVERIFY(trade && trade->alerts.size() == 1);
        QVERIFY(trade->text.contains(QStringLiteral("有3000手大买单成交")));
        QVERIFY(!w.tick(at(10, 2, 30), 30, quotes(quote("600036", "35.00", "0.50%", "3000", "12"))));   // cooling down
        // Five minutes on, another large trade is news again; a large bid of the same tick with it.
        trade = w.tick(at(10, 8), 330, quotes(quote("600036", "35.00", "0.50%", "4000", "20000")));
        QVERIFY(trade);
        QCOMPARE(trade->alerts.size(), 2);
        QVERIFY(trade->text.contains(QStringLiteral("在买①出现20000手买单")));
    }

    void broadcastsOfOpeningAndEveryFewMinutes()
    {
        NumberWatch w(QStringLiteral("13800138000"), tables());
        const auto opening = w.tick(at(9, 28, 5), 5, quotes(quote("600036", "35.00", "0.50%")));
        QVERIFY(opening);
        QVERIFY(opening->text.startsWith(QStringLiteral("现在(9:28:05)播报开盘价\n招商银行(600036) 34.80 0.50%↑")));
        QVERIFY(!w.tick(at(9, 29), 55, quotes(quote("600036", "35.00", "0.50%"))));   // once a day

        // 平安银行 every 15 minutes of trading time: 9:45, 10:00, ... not at 9:46, not at noon.
        const auto price = w.tick(at(9, 45), 5, quotes(quote("600036", "35.00", "0.50%")));
        QVERIFY(price);
        QCOMPARE(price->text, QStringLiteral("平安银行(000001) 11.02元 -0.72%"));
        QVERIFY(!w.tick(at(9, 45, 5), 5, quotes(quote("600036", "35.00", "0.50%"))));
        QVERIFY(!w.tick(at(9, 46), 55, quotes(quote("600036", "35.00", "0.50%"))));
        QVERIFY(!w.tick(at(12, 0), 5, quotes(quote("600036", "35.00", "0.50%"))));
        QVERIFY(w.tick(at(13, 0), 5, quotes(quote("600036", "35.00", "0.50%"))));   // 120 minutes in
        QVERIFY(!w.tick(at(13, 0, 0, QDate(2026, 12, 12)), 5, quotes(quote("600036", "35.00", "0.50%"))));   // Saturday
    }

    void aMissingQuoteEndsOnlyTheRules()
    {
        NumberWatch w(QStringLiteral("13800138000"), tables());
        QHash<QString, market::StockQuote> onlyPingAn = quotes(quote("600036", "38.28", "10.00%"));
        onlyPingAn.remove(QStringLiteral("600036"));
        const auto out = w.tick(at(10, 0), 5, onlyPingAn);
        QVERIFY(out && out->alerts.size() == 1 && out->alerts[0].key.contains(QStringLiteral("|price|000001|")));
        // The limit is still news when the quote comes.
        QVERIFY(w.tick(at(10, 1), 60, quotes(quote("600036", "38.28", "10.00%"))));
    }
};

QTEST_GUILESS_MAIN(TestPhoneAlerts)
#include "test_phonealerts.moc"
