#include "alerts/alertengine.h"

#include "net/failure.h"

#include <QHash>
#include <QSet>
#include <QTest>

using alerts::AlertEngine;
using alerts::AlertKind;
using alerts::AlertShow;
using alerts::BroadcastKind;
using alerts::Icon;
using alerts::TickResult;

Q_DECLARE_METATYPE(alerts::AlertKind)
Q_DECLARE_METATYPE(alerts::Icon)

namespace {

const QDate kWednesday(2026, 12, 9);
const QDate kSaturday(2026, 12, 12);

// A moment of the given day from "H:mm:ss", optionally with ".zzz".
QDateTime at(const QString& time, const QDate& day = kWednesday)
{
    const QString format = time.contains(u'.') ? QStringLiteral("H:mm:ss.zzz") : QStringLiteral("H:mm:ss");
    return QDateTime(day, QTime::fromString(time, format));
}

// One quote reply; every field a check reads can be set.
struct Reply {
    QString code = QStringLiteral("600036");
    QString name = QStringLiteral("招商银行");
    QString lastPrice = QStringLiteral("35.12");
    QString changePercent = QStringLiteral("2.15%");
    QString change = QStringLiteral("0.74");
    QString bidVolume1 = QStringLiteral("120");
    QString askVolume1 = QStringLiteral("88");
    QString volume = QStringLiteral("456789");
    QString openPrice = QStringLiteral("34.50");
    QString lastTradeSign = QStringLiteral("1");
    QString lastTradeVolume = QStringLiteral("35");

    QString text() const
    {
        return QStringList{QStringLiteral("var q=[\"1"), code, name, lastPrice, changePercent, change,
                           QStringLiteral("35.11"), bidVolume1, QStringLiteral("35.12"), askVolume1,
                           volume, QStringLiteral("160234.5"), openPrice, QStringLiteral("34.38"),
                           QStringLiteral("35.50"), QStringLiteral("34.40"), lastTradeSign,
                           lastTradeVolume, QStringLiteral("2026-12-09\"]")}
            .join(u',');
    }
};

// The quote service as the tick sees it: replies per code, codes that fail, and every request.
struct FakeMarket {
    QHash<QString, Reply> replies;
    QSet<QString> failing;
    QStringList asked;

    alerts::QuoteFetch fetch()
    {
        return [this](const QString& code) {
            asked << code;
            if (failing.contains(code))
                throw net::HttpFailure(QStringLiteral("connection refused"));
            return market::parseQuote(replies.value(code).text());
        };
    }
};

// Watches a stock as a load does, with its state armed.
void watch(store::AlertLists& lists, const Reply& r, const QString& flags, const QString& openClose = "0",
           const QString& tradeDigits = "4", const QString& orderDigits = "4", const QString& percent = "5")
{
    lists.AlertSendOpenClose << openClose;
    lists.AlertCodes << r.code;
    lists.AlertNames << r.name;
    lists.AlertFlags << flags;
    lists.AlertTradeDigits << tradeDigits;
    lists.AlertOrderDigits << orderDigits;
    lists.AlertPercent << percent;
    lists.AlertInterval << QStringLiteral("10");
    lists.AlertBroadcast << QStringLiteral("0");
    lists.realignStates();
    lists.LocalAlertsOn = true;
}

Reply stock(const QString& code, const QString& name, const QString& changePercent = "2.15%")
{
    Reply r;
    r.code = code;
    r.name = name;
    r.changePercent = changePercent;
    return r;
}

QStringList line1s(const TickResult& result)
{
    QStringList out;
    for (const AlertShow& a : result.alerts)
        out << a.line1;
    return out;
}

} // namespace

class TestAlertEngine : public QObject {
    Q_OBJECT

    AlertEngine engine;
    store::AlertLists lists;
    FakeMarket market;

    // A stock near its daily limit, watched for the limit alert only.
    void watchLimitStock()
    {
        const Reply r = stock("600036", "招商银行", "9.50%");
        market.replies[r.code] = r;
        watch(lists, r, "1000");
    }

private Q_SLOTS:
    void init()
    {
        engine = AlertEngine();
        lists = store::AlertLists();
        market = FakeMarket();
    }

    void tradingWindowsExcludeTheirEnds_data()
    {
        QTest::addColumn<QString>("time");
        QTest::addColumn<bool>("fires");
        QTest::newRow("9:30:00") << "9:30:00" << false;
        QTest::newRow("9:30:00.900") << "9:30:00.900" << false;
        QTest::newRow("9:30:01") << "9:30:01" << true;
        QTest::newRow("11:29:59") << "11:29:59" << true;
        QTest::newRow("11:30:00") << "11:30:00" << false;
        QTest::newRow("12:15:00") << "12:15:00" << false;
        QTest::newRow("13:00:00") << "13:00:00" << false;
        QTest::newRow("13:00:01") << "13:00:01" << true;
        QTest::newRow("14:59:59") << "14:59:59" << true;
        QTest::newRow("15:00:00") << "15:00:00" << false;
        QTest::newRow("evening") << "21:00:00" << false;
    }
    void tradingWindowsExcludeTheirEnds()
    {
        QFETCH(QString, time);
        QFETCH(bool, fires);
        watchLimitStock();
        engine.Timer4Timer(at("9:28:00"), lists, market.fetch());   // the opening broadcast
        const TickResult r = engine.Timer4Timer(at(time), lists, market.fetch());
        QVERIFY(!r.aborted);
        QCOMPARE(r.fetched, QStringList{"600036"});   // quotes are fetched at any hour
        QCOMPARE(r.alerts.size(), fires ? 1 : 0);
    }

    void openingBroadcastThenChecksFiveSecondsLater()
    {
        watchLimitStock();
        const Reply other = stock("000001", "平安银行", "9.80%");
        market.replies[other.code] = other;
        watch(lists, other, "1000", "1");

        TickResult r = engine.Timer4Timer(at("9:28:00"), lists, market.fetch());
        QVERIFY(r.broadcast);
        QCOMPARE(r.broadcast->kind, BroadcastKind::Opening);
        QCOMPARE(r.fetched, QStringList{"000001"});   // only the stocks broadcast
        QVERIFY(r.alerts.isEmpty());
        QVERIFY(engine.broadcastDone(BroadcastKind::Opening));

        r = engine.Timer4Timer(at("9:28:05"), lists, market.fetch());
        QVERIFY(!r.broadcast);
        QCOMPARE(r.fetched, (QStringList{"600036", "000001"}));
        QVERIFY(r.alerts.isEmpty());

        r = engine.Timer4Timer(at("9:30:00"), lists, market.fetch());
        QVERIFY(r.alerts.isEmpty());
        r = engine.Timer4Timer(at("9:30:05"), lists, market.fetch());
        QCOMPARE(r.alerts.size(), 2);
    }

    void broadcastWindowsTitlesAndRows_data()
    {
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("title");   // empty: no broadcast
        QTest::addColumn<QString>("heading");
        QTest::addColumn<QString>("value");
        QTest::newRow("9:27:59") << "9:27:59" << "" << "" << "";
        QTest::newRow("9:28:00") << "9:28:00" << "现在(9:28:00)播报开盘价" << "开盘价" << "34.50";
        QTest::newRow("9:30:59") << "9:30:59" << "现在(9:30:59)播报开盘价" << "开盘价" << "34.50";
        QTest::newRow("9:31:00") << "9:31:00" << "" << "" << "";
        QTest::newRow("11:32:59") << "11:32:59" << "" << "" << "";
        QTest::newRow("11:33:00") << "11:33:00" << "现在(11:33:00)播报午间收盘价" << "收盘价" << "35.12";
        QTest::newRow("11:44:59") << "11:44:59" << "现在(11:44:59)播报午间收盘价" << "收盘价" << "35.12";
        QTest::newRow("11:45:00") << "11:45:00" << "" << "" << "";
        QTest::newRow("15:02:59") << "15:02:59" << "" << "" << "";
        QTest::newRow("15:03:00") << "15:03:00" << "现在(15:03:00)播报收盘价" << "收盘价" << "35.12";
        QTest::newRow("15:09:59") << "15:09:59" << "现在(15:09:59)播报收盘价" << "收盘价" << "35.12";
        QTest::newRow("15:10:00") << "15:10:00" << "" << "" << "";
    }
    void broadcastWindowsTitlesAndRows()
    {
        QFETCH(QString, time);
        QFETCH(QString, title);
        QFETCH(QString, heading);
        QFETCH(QString, value);
        const Reply r = stock("600036", "招商银行");
        market.replies[r.code] = r;
        watch(lists, r, "0000", "1");
        const TickResult result = engine.Timer4Timer(at(time), lists, market.fetch());
        QCOMPARE(bool(result.broadcast), !title.isEmpty());
        if (title.isEmpty())
            return;
        QCOMPARE(result.broadcast->title, title);
        QCOMPARE(result.broadcast->heading, heading);
        QCOMPARE(result.broadcast->rows,
                 (QList<QStringList>{{"1", "招商银行(600036)", value, "2.15%↑", "456789"}}));
    }

    void broadcastRowsFollowListOrder()
    {
        const Reply a = stock("600036", "招商银行", "-1.20%");
        const Reply skipped = stock("600000", "浦发银行");
        const Reply b = stock("000001", "平安银行", "0");
        for (const Reply& r : {a, skipped, b})
            market.replies[r.code] = r;
        watch(lists, a, "0000", "1");
        watch(lists, skipped, "0000", "0");
        watch(lists, b, "0000", "1");
        const TickResult result = engine.Timer4Timer(at("15:05:00"), lists, market.fetch());
        QCOMPARE(result.fetched, (QStringList{"600036", "000001"}));
        QVERIFY(result.broadcast);
        QCOMPARE(result.broadcast->rows,
                 (QList<QStringList>{{"1", "招商银行(600036)", "35.12", "-1.20%↓", "456789"},
                                     {"2", "平安银行(000001)", "35.12", "0.0↑", "456789"}}));
    }

    void broadcastWithoutStocksStillShows()
    {
        const Reply r = stock("600036", "招商银行");
        market.replies[r.code] = r;
        watch(lists, r, "1111", "0");
        const TickResult result = engine.Timer4Timer(at("11:40:00"), lists, market.fetch());
        QVERIFY(result.broadcast);
        QCOMPARE(result.broadcast->heading, QStringLiteral("收盘价"));
        QVERIFY(result.broadcast->rows.isEmpty());
        QVERIFY(result.fetched.isEmpty());
    }

    void eachBroadcastOncePerDay()
    {
        watch(lists, stock("600036", "招商银行"), "0000", "1");
        market.replies["600036"] = stock("600036", "招商银行");
        QVERIFY(engine.Timer4Timer(at("9:28:00"), lists, market.fetch()).broadcast);
        QVERIFY(!engine.Timer4Timer(at("9:29:00"), lists, market.fetch()).broadcast);
        QVERIFY(engine.Timer4Timer(at("11:33:00"), lists, market.fetch()).broadcast);
        QVERIFY(!engine.Timer4Timer(at("11:40:00"), lists, market.fetch()).broadcast);
        // A program left running shows the next trading day's broadcasts as well.
        const QDate thursday = kWednesday.addDays(1);
        const TickResult next = engine.Timer4Timer(at("9:28:30", thursday), lists, market.fetch());
        QVERIFY(next.broadcast);
        QCOMPARE(next.broadcast->title, QStringLiteral("现在(9:28:30)播报开盘价"));
        QVERIFY(!engine.broadcastDone(BroadcastKind::Midday));
    }

    void failedBroadcastIsTriedAgain()
    {
        const Reply a = stock("600036", "招商银行");
        const Reply b = stock("000001", "平安银行");
        market.replies[a.code] = a;
        market.replies[b.code] = b;
        watch(lists, a, "0000", "1");
        watch(lists, b, "0000", "1");
        market.failing << b.code;
        TickResult r = engine.Timer4Timer(at("9:28:00"), lists, market.fetch());
        QVERIFY(r.aborted);
        QVERIFY(!r.broadcast);
        QVERIFY(!engine.broadcastDone(BroadcastKind::Opening));

        market.failing.clear();
        r = engine.Timer4Timer(at("9:28:05"), lists, market.fetch());
        QVERIFY(!r.aborted);
        QVERIFY(r.broadcast);
        QCOMPARE(r.broadcast->rows.size(), 2);
    }

    void alertTexts_data()
    {
        QTest::addColumn<QString>("flags");
        QTest::addColumn<QString>("changePercent");
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("bidVolume");
        QTest::addColumn<QString>("askVolume");
        QTest::addColumn<QString>("tradeSign");
        QTest::addColumn<QString>("tradeVolume");
        QTest::addColumn<AlertKind>("kind");
        QTest::addColumn<QString>("line1");
        QTest::addColumn<QString>("line2");
        QTest::addColumn<bool>("falling");
        QTest::addColumn<Icon>("icon");

        const QString up = "最新价:35.12 涨:0.74元 幅度:2.15% ↑ 成交量:456789手";
        const QString downNoBlank = "最新价:35.12 跌:-0.74元 幅度:-2.15%↓ 成交量:456789手";
        QTest::newRow("limit up") << "1000" << "9.50%" << "3.05" << "120" << "88" << "1" << "35"
            << AlertKind::Limit << "注意:招商银行(600036) 股价接近涨停或已涨停"
            << "最新价:35.12 涨:3.05元 幅度:9.50% ↑ 成交量:456789手" << false << Icon::Up;
        QTest::newRow("limit down") << "1000" << "-9.50%" << "-3.05" << "120" << "88" << "1" << "35"
            << AlertKind::Limit << "注意:招商银行(600036) 股价接近跌停或已跌停"
            << "最新价:35.12 跌:-3.05元 幅度:-9.50% ↓ 成交量:456789手" << true << Icon::Down;
        QTest::newRow("large buy trade") << "0100" << "2.15%" << "0.74" << "120" << "88" << "1" << "1500"
            << AlertKind::LargeTrade << "注意:招商银行(600036)在10:15:03有1500手大买单成交" << up << false
            << Icon::None;
        QTest::newRow("large sell trade") << "0100" << "-2.15%" << "-0.74" << "120" << "88" << "-1" << "1500"
            << AlertKind::LargeTrade << "注意:招商银行(600036)在10:15:03有1500手大卖单成交" << downNoBlank
            << true << Icon::None;
        QTest::newRow("sell trade, price up") << "0100" << "2.15%" << "0.74" << "120" << "88" << "-1" << "1500"
            << AlertKind::LargeTrade << "注意:招商银行(600036)在10:15:03有1500手大卖单成交" << up << false
            << Icon::None;
        QTest::newRow("large bid") << "0010" << "2.15%" << "0.74" << "5000" << "88" << "1" << "35"
            << AlertKind::LargeOrder << "注意:招商银行(600036)10:15:03在买①出现5000手买单" << up << false
            << Icon::None;
        QTest::newRow("large ask") << "0010" << "-2.15%" << "-0.74" << "120" << "80000" << "1" << "35"
            << AlertKind::LargeOrder << "注意:招商银行(600036)10:15:03在卖①出现80000手卖单" << downNoBlank
            << true << Icon::None;
        QTest::newRow("rise") << "0001" << "6.10%" << "2.02" << "120" << "88" << "1" << "35"
            << AlertKind::RiseFall << "注意:招商银行(600036) 涨幅超过6.10%"
            << "最新价:35.12 涨:2.02元 幅度:6.10% ↑ 成交量:456789手" << false << Icon::Up;
        QTest::newRow("fall") << "0001" << "-6.10%" << "-2.02" << "120" << "88" << "1" << "35"
            << AlertKind::RiseFall << "注意:招商银行(600036) 跌幅超过-6.10%"
            << "最新价:35.12 跌:-2.02元 幅度:-6.10% ↓ 成交量:456789手" << true << Icon::Down;
    }
    void alertTexts()
    {
        QFETCH(QString, flags);
        Reply r;
        QFETCH(QString, changePercent);
        QFETCH(QString, change);
        QFETCH(QString, bidVolume);
        QFETCH(QString, askVolume);
        QFETCH(QString, tradeSign);
        QFETCH(QString, tradeVolume);
        r.changePercent = changePercent;
        r.change = change;
        r.bidVolume1 = bidVolume;
        r.askVolume1 = askVolume;
        r.lastTradeSign = tradeSign;
        r.lastTradeVolume = tradeVolume;
        market.replies[r.code] = r;
        watch(lists, r, flags);

        const TickResult result = engine.Timer4Timer(at("10:15:03"), lists, market.fetch());
        QCOMPARE(result.alerts.size(), 1);
        const AlertShow& a = result.alerts.first();
        QTEST(a.kind, "kind");
        QTEST(a.line1, "line1");
        QTEST(a.line2, "line2");
        QTEST(a.falling, "falling");
        QTEST(a.icon, "icon");
    }

    void percentThresholdsAreStrict_data()
    {
        QTest::addColumn<QString>("flags");
        QTest::addColumn<QString>("changePercent");
        QTest::addColumn<QString>("line1");   // empty: no alert
        QTest::newRow("limit 9.00") << "1000" << "9.00%" << "";
        QTest::newRow("limit 9.01") << "1000" << "9.01%" << "注意:招商银行(600036) 股价接近涨停或已涨停";
        QTest::newRow("limit -9.00") << "1000" << "-9.00%" << "";
        QTest::newRow("limit -9.01") << "1000" << "-9.01%" << "注意:招商银行(600036) 股价接近跌停或已跌停";
        QTest::newRow("limit unchanged") << "1000" << "0" << "";
        QTest::newRow("rise at threshold") << "0001" << "5.00%" << "";
        QTest::newRow("rise over threshold") << "0001" << "5.01%" << "注意:招商银行(600036) 涨幅超过5.01%";
        QTest::newRow("fall at threshold") << "0001" << "-5.00%" << "";
        QTest::newRow("fall over threshold") << "0001" << "-5.01%" << "注意:招商银行(600036) 跌幅超过-5.01%";
        QTest::newRow("rise unchanged") << "0001" << "0" << "";
    }
    void percentThresholdsAreStrict()
    {
        QFETCH(QString, flags);
        QFETCH(QString, changePercent);
        QFETCH(QString, line1);
        const Reply r = stock("600036", "招商银行", changePercent);
        market.replies[r.code] = r;
        watch(lists, r, flags);
        const TickResult result = engine.Timer4Timer(at("10:00:00"), lists, market.fetch());
        QVERIFY(!result.aborted);
        QCOMPARE(line1s(result), line1.isEmpty() ? QStringList() : QStringList{line1});
    }

    void largeTradeDigitsAndCooldown()
    {
        Reply r = stock("600036", "招商银行");
        r.lastTradeVolume = "999";
        market.replies[r.code] = r;
        watch(lists, r, "0100", "0", "4");
        auto tick = [&] { return engine.Timer4Timer(at("10:00:00"), lists, market.fetch()).alerts.size(); };
        auto seconds = [&](int n) {
            for (int k = 0; k < n; ++k)
                engine.Timer6Timer(lists);
        };
        QCOMPARE(tick(), 0);
        market.replies[r.code].lastTradeVolume = "1000";
        QCOMPARE(tick(), 1);
        seconds(200);
        QCOMPARE(lists.TradeAlertState, QStringList{"200"});
        QCOMPARE(tick(), 0);
        seconds(100);
        QCOMPARE(tick(), 0);   // 300 seconds: still cooling down
        seconds(1);
        QCOMPARE(lists.TradeAlertState, QStringList{"-1"});
        QCOMPARE(tick(), 1);
    }

    void cooldownClock_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::newRow("armed") << "-1" << "-1";
        QTest::newRow("just fired") << "0" << "1";
        QTest::newRow("299") << "299" << "300";
        QTest::newRow("300") << "300" << "-1";
        QTest::newRow("not a count") << "x" << "-1";
    }
    void cooldownClock()
    {
        QFETCH(QString, before);
        QFETCH(QString, after);
        watch(lists, Reply(), "1111");
        lists.LimitAlerted = {"1"};
        lists.TradeAlertState = lists.OrderAlertState = lists.PercentAlertState = {before};
        engine.Timer6Timer(lists);
        QCOMPARE(lists.TradeAlertState, QStringList{after});
        QCOMPARE(lists.OrderAlertState, QStringList{after});
        QCOMPARE(lists.PercentAlertState, QStringList{after});
        QCOMPARE(lists.LimitAlerted, QStringList{"1"});   // a limit alert has no clock
    }

    // The settings remove the first stock while the tick waits for a quote: the quotes no longer
    // line up with the rows, so the tick decides nothing, and the cooldown clock leaves the state
    // lists to the stocks they belong to until the rows come back or are saved.
    void rowsEditedDuringTheTick()
    {
        const Reply limit = stock("600036", "招商银行", "9.50%");
        const Reply calm = stock("000651", "格力电器", "0.10%");
        market.replies[limit.code] = limit;
        market.replies[calm.code] = calm;
        watch(lists, limit, "1000");
        watch(lists, calm, "1000");
        alerts::QuoteFetch fetch = market.fetch();
        const alerts::QuoteFetch editing = [&](const QString& code) {
            if (code == calm.code)
                for (QStringList* list : {&lists.AlertCodes, &lists.AlertFlags, &lists.AlertNames})
                    list->removeFirst();
            return fetch(code);
        };
        const TickResult result = engine.Timer4Timer(at("10:00:00"), lists, editing);
        QVERIFY(result.aborted);
        QVERIFY(result.alerts.isEmpty());
        QCOMPARE(lists.LimitAlerted, (QStringList{"0", "0"}));

        lists.LimitAlerted = {"1", "0"};
        engine.Timer6Timer(lists);
        QCOMPARE(lists.LimitAlerted, (QStringList{"1", "0"}));
    }

    void limitAlertBlocksLargeOrders()
    {
        Reply r = stock("600036", "招商银行", "9.50%");
        r.bidVolume1 = "999999";
        market.replies[r.code] = r;
        watch(lists, r, "1010");
        TickResult result = engine.Timer4Timer(at("10:00:00"), lists, market.fetch());
        QCOMPARE(result.alerts.size(), 1);
        QCOMPARE(result.alerts.first().kind, AlertKind::Limit);
        for (int k = 0; k < 301; ++k)
            engine.Timer6Timer(lists);
        result = engine.Timer4Timer(at("10:05:02"), lists, market.fetch());
        QVERIFY(result.alerts.isEmpty());
        QCOMPARE(lists.OrderAlertState, QStringList{"-1"});
    }

    void largeBidAndAskInOneTick()
    {
        Reply r;
        r.bidVolume1 = "5000";
        r.askVolume1 = "6000";
        market.replies[r.code] = r;
        watch(lists, r, "0010");
        const TickResult result = engine.Timer4Timer(at("10:00:00"), lists, market.fetch());
        QCOMPARE(line1s(result), (QStringList{"注意:招商银行(600036)10:00:00在买①出现5000手买单",
                                              "注意:招商银行(600036)10:00:00在卖①出现6000手卖单"}));
        QCOMPARE(lists.OrderAlertState, QStringList{"0"});
    }

    void checksRunPerStockInListOrder()
    {
        Reply a = stock("600036", "招商银行", "6.00%");
        a.lastTradeVolume = "2000";
        const Reply b = stock("000001", "平安银行", "7.00%");
        market.replies[a.code] = a;
        market.replies[b.code] = b;
        watch(lists, a, "0101");
        watch(lists, b, "0001");
        const TickResult result = engine.Timer4Timer(at("14:00:00"), lists, market.fetch());
        QCOMPARE(line1s(result), (QStringList{"注意:招商银行(600036)在14:00:00有2000手大买单成交",
                                              "注意:招商银行(600036) 涨幅超过6.00%",
                                              "注意:平安银行(000001) 涨幅超过7.00%"}));
    }

    void localAlertsOffFetchesNothing()
    {
        watch(lists, stock("600036", "招商银行", "9.50%"), "1111", "1");
        lists.LocalAlertsOn = false;
        for (const char* time : {"9:28:00", "10:00:00", "15:05:00"}) {
            const TickResult r = engine.Timer4Timer(at(time), lists, market.fetch());
            QVERIFY(!r.broadcast);
            QVERIFY(r.alerts.isEmpty());
        }
        QVERIFY(market.asked.isEmpty());
    }

    void weekendStopsTimer1_data()
    {
        QTest::addColumn<QDate>("day");
        QTest::addColumn<bool>("weekend");
        QTest::newRow("Saturday") << kSaturday << true;
        QTest::newRow("Sunday") << kSaturday.addDays(1) << true;
        QTest::newRow("Wednesday") << kWednesday << false;
    }
    void weekendStopsTimer1()
    {
        QFETCH(QDate, day);
        QFETCH(bool, weekend);
        const Reply r = stock("600036", "招商银行", "9.50%");
        market.replies[r.code] = r;
        watch(lists, r, "1000", "1");
        const TickResult result = engine.Timer4Timer(at("9:28:00", day), lists, market.fetch());
        QCOMPARE(result.stopTimer1, weekend);
        QCOMPARE(bool(result.broadcast), !weekend);
        QCOMPARE(market.asked.isEmpty(), weekend);
    }

    void misalignedListsEndTheTickOrRealign()
    {
        const Reply a = stock("600036", "招商银行", "9.50%");
        const Reply b = stock("000001", "平安银行", "9.60%");
        market.replies[a.code] = a;
        market.replies[b.code] = b;
        watch(lists, a, "1000");
        // A stock added in the settings dialog without a save: no state entries yet.
        lists.AlertCodes << b.code;
        lists.AlertFlags << "1000";
        TickResult r = engine.Timer4Timer(at("10:00:00"), lists, market.fetch());
        QVERIFY(!r.aborted);
        QCOMPARE(r.alerts.size(), 2);
        QCOMPARE(lists.LimitAlerted, (QStringList{"1", "1"}));
        QCOMPARE(lists.PercentAlertState, (QStringList{"-1", "-1"}));

        // A stock removed: the state lists shrink with the flags at the next tick (the cooldown
        // clock leaves them as they are).
        lists.AlertFlags.removeLast();
        lists.AlertCodes.removeLast();
        engine.Timer6Timer(lists);
        QCOMPARE(lists.TradeAlertState.size(), 2);
        engine.Timer4Timer(at("10:00:01"), lists, market.fetch());
        QCOMPARE(lists.TradeAlertState.size(), 1);
        lists.AlertCodes << b.code;

        // Flags for a stock whose code is missing: the tick ends before any check.
        lists.LimitAlerted = {"0"};
        lists.AlertFlags << "1000";
        lists.AlertCodes.removeLast();
        r = engine.Timer4Timer(at("10:00:05"), lists, market.fetch());
        QVERIFY(r.aborted);
        QVERIFY(r.alerts.isEmpty());
        QCOMPARE(r.fetched, QStringList{"600036"});

        // A missing threshold ends the tick at that stock's check, after the earlier alerts.
        lists.AlertCodes << b.code;
        lists.AlertFlags.last() = "0001";
        r = engine.Timer4Timer(at("10:00:10"), lists, market.fetch());
        QVERIFY(r.aborted);
        QCOMPARE(r.alerts.size(), 1);

        // A broadcast entry past the end of the codes.
        lists.AlertSendOpenClose = {"0", "0", "1"};
        r = engine.Timer4Timer(at("15:04:00"), lists, market.fetch());
        QVERIFY(r.aborted);
        QVERIFY(!r.broadcast);

        // A short switch text counts its missing switches as off.
        lists.AlertFlags = {"1", "0"};
        lists.LimitAlerted = {"0", "0"};
        r = engine.Timer4Timer(at("10:00:15"), lists, market.fetch());
        QVERIFY(!r.aborted);
        QCOMPARE(line1s(r), QStringList{"注意:招商银行(600036) 股价接近涨停或已涨停"});
    }

    void unreadableChangePercentEndsTheTick_data()
    {
        QTest::addColumn<QString>("flags");
        QTest::addColumn<QString>("time");
        QTest::addColumn<bool>("aborted");
        QTest::newRow("limit armed") << "1000" << "10:00:00" << true;
        QTest::newRow("rise/fall armed") << "0001" << "10:00:00" << true;
        QTest::newRow("neither armed") << "0110" << "10:00:00" << false;
        QTest::newRow("outside trading hours") << "1001" << "12:00:00" << false;
    }
    void unreadableChangePercentEndsTheTick()
    {
        QFETCH(QString, flags);
        QFETCH(QString, time);
        QFETCH(bool, aborted);
        const Reply first = stock("600036", "招商银行", "6.00%");
        const Reply broken = stock("600000", "浦发银行", "--");
        const Reply last = stock("000001", "平安银行", "7.00%");
        for (const Reply& r : {first, broken, last})
            market.replies[r.code] = r;
        watch(lists, first, "0001");
        watch(lists, broken, flags);
        watch(lists, last, "0001");
        const TickResult r = engine.Timer4Timer(at(time), lists, market.fetch());
        QCOMPARE(r.aborted, aborted);
        QCOMPARE(r.fetched.size(), 3);
        if (time == "12:00:00")
            return;
        QCOMPARE(lists.PercentAlertState.first(), QStringLiteral("0"));   // stays changed
        QCOMPARE(lists.PercentAlertState.last(), aborted ? QStringLiteral("-1") : QStringLiteral("0"));
        QCOMPARE(r.alerts.size(), aborted ? 1 : 2);
    }

    void fetchFailureShowsNothing_data()
    {
        QTest::addColumn<bool>("silent");
        QTest::newRow("HTTP failure") << false;
        QTest::newRow("silent abort") << true;
    }
    void fetchFailureShowsNothing()
    {
        QFETCH(bool, silent);
        const Reply a = stock("600036", "招商银行", "9.50%");
        market.replies[a.code] = a;
        watch(lists, a, "1000");
        watch(lists, stock("600000", "浦发银行"), "1000");
        watch(lists, stock("000001", "平安银行", "9.50%"), "1000");
        const alerts::QuoteFetch inner = market.fetch();
        const alerts::QuoteFetch fetch = [&](const QString& code) {
            if (code == "600000") {
                if (silent)
                    throw SilentAbort{};
                throw net::HttpFailure(QStringLiteral("time-out"));
            }
            return inner(code);
        };
        const TickResult r = engine.Timer4Timer(at("10:00:00"), lists, fetch);
        QVERIFY(r.aborted);
        QVERIFY(r.alerts.isEmpty());
        QCOMPARE(r.fetched, (QStringList{"600036", "600000"}));
        QCOMPARE(lists.LimitAlerted, (QStringList{"0", "0", "0"}));
    }
};

QTEST_GUILESS_MAIN(TestAlertEngine)
#include "test_alertengine.moc"
