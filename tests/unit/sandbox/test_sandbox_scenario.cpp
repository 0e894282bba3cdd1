// The alerts scenario: every kind of trading alert can be seen within two minutes of any moment in
// a session, inside the exchange's rules, quiet outside trading hours, reproducible for a seed; and
// the plain market is left exactly as it was.
#include "cli.h"
#include "market.h"
#include "sandbox.h"

#include <QCryptographicHash>
#include <QProcess>
#include <QTest>

#include <cmath>

using feed::Market;
using feed::Scenario;

namespace {

const QDate kMonday(2026, 12, 7);
const QDate kTuesday(2026, 12, 8);
const QDate kWednesday(2026, 12, 9);
const QDate kFriday(2026, 12, 11);
const QDate kNextMonday(2026, 12, 14);

QDateTime at(const QDate& d, int h, int m, int s = 0)
{
    return QDateTime(d, QTime(h, m, s));
}

QDateTime stepAt(const QDate& d, int step)
{
    return QDateTime(d, Market::stepTime(step));
}

// One quote reply read the way the client reads it: the fields between commas, the change percent
// with its last character dropped, the digit counts of the volumes.
struct Line {
    QStringList f;

    explicit Line(const QString& text) : f(text.split(QLatin1Char(','))) {}
    QString code() const { return f[1]; }
    double percent() const { return f[4].chopped(1).toDouble(); }
    qsizetype bidDigits() const { return f[7].size(); }
    qsizetype askDigits() const { return f[9].size(); }
    qsizetype tradeDigits() const { return f[17].size(); }
    // Fields 3 to 17: everything but the code, the name and the time stamp.
    QStringList numbers() const { return f.mid(3, 15); }
};

QList<Line> lines(Market& m, const QDateTime& t)
{
    QList<Line> out;
    for (const QString& code : m.codes())
        out << Line(m.quoteLine(code, t));
    return out;
}

// The alerts a watcher with the default thresholds (N = 5, D = 4) would raise.
enum Kind { LimitUp = 1, LimitDown = 2, RiseOrFall = 4, LargeTrade = 8, LargeBid = 16, LargeAsk = 32 };
constexpr int kAllKinds = 63;

int kindsIn(const QList<Line>& quotes)
{
    int seen = 0;
    for (const Line& q : quotes) {
        const double p = q.percent();
        if (p > 9)
            seen |= LimitUp;
        if (p < -9)
            seen |= LimitDown;
        if (std::abs(p) > 5 && std::abs(p) < 9)
            seen |= RiseOrFall;
        if (q.tradeDigits() >= 4)
            seen |= LargeTrade;
        if (q.bidDigits() >= 4)
            seen |= LargeBid;
        if (q.askDigits() >= 4)
            seen |= LargeAsk;
    }
    return seen;
}

QString missing(int seen)
{
    QStringList out;
    const QList<std::pair<int, const char*>> names{{LimitUp, "p > 9"},           {LimitDown, "p < -9"},
                                                   {RiseOrFall, "5 < |p| < 9"},  {LargeTrade, "trade >= 1000"},
                                                   {LargeBid, "bid >= 1000"},     {LargeAsk, "ask >= 1000"}};
    for (const auto& [kind, name] : names)
        if (!(seen & kind))
            out << QString::fromLatin1(name);
    return out.join(QStringLiteral(", "));
}

// A digest of the plain market's quote and index pages over three days. The values the test expects
// were recorded before the scenario was added.
QByteArray plainDigest(quint64 seed)
{
    Market m(seed);
    QCryptographicHash h(QCryptographicHash::Sha1);
    for (const QDate& day : {kWednesday, kFriday, kNextMonday}) {
        for (int step = 0; step < Market::kStepsPerDay; step += 37) {
            const QDateTime t = stepAt(day, step);
            for (const QString& code : m.codes())
                h.addData(m.quoteLine(code, t).toUtf8());
            h.addData(m.indexPage(t).toUtf8());
        }
    }
    return h.result().toHex();
}

} // namespace

class TestSandboxScenario : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void namesAndOptions()
    {
        QCOMPARE(feed::scenarioNamed(QString()), std::optional(Scenario::None));
        QCOMPARE(feed::scenarioNamed(QStringLiteral("alerts")), std::optional(Scenario::Alerts));
        QVERIFY(!feed::scenarioNamed(QStringLiteral("crash")));

        const sandbox::CommandLine plain = sandbox::parseCommandLine({"huilan-sandbox"});
        QVERIFY(plain.error.isEmpty());
        QCOMPARE(plain.options.scenario, QString());
        QVERIFY(plain.helpText.contains(QStringLiteral("--scenario")));
        QVERIFY(plain.helpText.contains(QStringLiteral("000001")));   // the stock left alone is named
        const sandbox::CommandLine set = sandbox::parseCommandLine({"huilan-sandbox", "--scenario", " Alerts "});
        QVERIFY2(set.error.isEmpty(), qPrintable(set.error));
        QCOMPARE(set.options.scenario, QStringLiteral("alerts"));
        for (const QString& bad : {QStringLiteral("crash"), QString()}) {
            const sandbox::CommandLine cli = sandbox::parseCommandLine({"huilan-sandbox", "--scenario", bad});
            QVERIFY2(cli.error.contains(QStringLiteral("--scenario")), qPrintable(bad));
        }

        // The server builds its market for the scenario, and will not start with an unknown one.
        sandbox::Options o;
        o.port = 0;
        o.scenario = QStringLiteral("alerts");
        sandbox::Sandbox box(o);
        QCOMPARE(box.market().scenario(), Scenario::Alerts);
        o.scenario = QStringLiteral("crash");
        sandbox::Sandbox bad(o);
        QString error;
        QVERIFY(!bad.start(&error));
        QVERIFY2(error.contains(QStringLiteral("crash")), qPrintable(error));

        // The executable: an unknown scenario is a usage error.
        QProcess process;
        process.start(HUILAN_SANDBOX_EXE, {"--port", "0", "--scenario", "crash"});
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 2);
        QVERIFY(process.readAllStandardError().contains("--scenario"));
    }

    void plainMarketUnchanged()
    {
        QCOMPARE(plainDigest(1), QByteArray("630fee15177ea3e439f5bd5c8beac855b5011236"));
        QCOMPARE(plainDigest(42), QByteArray("29b6e4b64b805ca9148cdea6e3aa14d0e18908d4"));

        // A stock the scenario leaves alone trades exactly as in the plain market.
        Market m(1), steered(1, Scenario::Alerts);
        for (const QDate& day : {kMonday, kTuesday}) {
            for (int step = 0; step < Market::kStepsPerDay; step += 13) {
                const QDateTime t = stepAt(day, step);
                QCOMPARE(steered.quoteLine(QStringLiteral("000001"), t), m.quoteLine(QStringLiteral("000001"), t));
            }
        }
    }

    void everyAlertShowsWithinTwoMinutes_data()
    {
        QTest::addColumn<quint64>("seed");
        QTest::addColumn<QDateTime>("from");
        for (const quint64 seed : {1ull, 77ull}) {
            for (const QDate& day : {kMonday, kTuesday}) {   // the swing stocks trade roles day by day
                const QString tag = QStringLiteral("seed %1 %2 ").arg(seed).arg(day.toString(QStringLiteral("ddd")));
                QTest::newRow(qPrintable(tag + "morning open")) << seed << at(day, 9, 30);
                QTest::newRow(qPrintable(tag + "an hour later")) << seed << at(day, 10, 30);
                QTest::newRow(qPrintable(tag + "odd moment")) << seed << at(day, 11, 7, 13);
                QTest::newRow(qPrintable(tag + "afternoon open")) << seed << at(day, 13, 0);
                QTest::newRow(qPrintable(tag + "afternoon later")) << seed << at(day, 14, 0, 2);
            }
        }
    }

    void everyAlertShowsWithinTwoMinutes()
    {
        // A watcher polling every 5 seconds, starting at `from`.
        QFETCH(quint64, seed);
        QFETCH(QDateTime, from);
        Market m(seed, Scenario::Alerts);
        int seen = 0;
        for (int s = 5; s <= 120; s += 5)
            seen |= kindsIn(lines(m, from.addSecs(s)));
        QVERIFY2(seen == kAllKinds, qPrintable(QStringLiteral("missing: ") + missing(seen)));
    }

    void largeTradesAndOrdersAlternate()
    {
        // The stock printing most large trades prints them every minute of both sessions, buy and
        // sell in turn, some of five digits; large orders of five digits rest on both sides.
        Market m(3, Scenario::Alerts);
        QHash<QString, QList<std::pair<int, qint64>>> prints;   // step, signed lots
        bool bid10k = false, ask10k = false;
        for (int step = 0; step < Market::kStepsPerDay; ++step) {
            for (const feed::StockQuote& q : m.quotes(stepAt(kFriday, step))) {
                if (q.lastTradeVolume >= 1000)
                    prints[q.code] << std::pair{step, q.lastTradeSign * q.lastTradeVolume};
                bid10k = bid10k || q.bidVolume1 >= 10000;
                ask10k = ask10k || q.askVolume1 >= 10000;
            }
        }
        QVERIFY(bid10k && ask10k);
        QString busiest;
        for (auto it = prints.cbegin(); it != prints.cend(); ++it)
            if (busiest.isEmpty() || it->size() > prints[busiest].size())
                busiest = it.key();
        const auto& p = prints[busiest];
        int fiveDigits = 0, turns = 0, gaps = 0;
        for (qsizetype i = 0; i < p.size(); ++i) {
            fiveDigits += std::abs(p[i].second) >= 10000;
            const int gap = i > 0 ? p[i].first - p[i - 1].first : 0;
            gaps += gap > 20;
            if (gap > 1)   // the first print of the next minute
                turns += (p[i].second > 0) != (p[i - 1].second > 0);
        }
        // 240 minutes of trading: 239 changes of side from one minute to the next, lunch included.
        QCOMPARE(turns, 239);
        QCOMPARE(gaps, 0);
        QVERIFY(fiveDigits >= 240 / 4);   // about every third minute
    }

    void staysInsideTheRules()
    {
        // Limits never crossed, high and low cover the last price, volume and amount only grow,
        // "0" exactly when unchanged, and each close is the next trading day's previous close.
        for (const quint64 seed : {1ull, 42ull}) {
            Market m(seed, Scenario::Alerts);
            QList<feed::StockQuote> lastClose;
            for (const QDate& day : {kFriday, kNextMonday, kNextMonday.addDays(1)}) {
                const QList<feed::StockQuote> before = m.quotes(at(day, 9, 0));
                for (qsizetype i = 0; i < lastClose.size(); ++i)
                    QCOMPARE(std::llround(before[i].prevClose * 100), std::llround(lastClose[i].last * 100));
                QList<feed::StockQuote> previous = before;
                for (int step = 0; step < Market::kStepsPerDay; ++step) {
                    const QList<feed::StockQuote> now = m.quotes(stepAt(day, step));
                    for (qsizetype i = 0; i < now.size(); ++i) {
                        const feed::StockQuote& q = now[i];
                        const qint64 prev = std::llround(q.prevClose * 100);
                        const int limit = q.code.startsWith(QLatin1Char('3')) ? 20 : 10;
                        const qint64 up = (prev * (100 + limit) + 50) / 100;
                        const qint64 down = (prev * (100 - limit) + 50) / 100;
                        for (const double price : {q.last, q.bidPrice1, q.askPrice1, q.open, q.high, q.low}) {
                            const qint64 c = std::llround(price * 100);
                            if (c < down || c > up)
                                QFAIL(qPrintable(QStringLiteral("%1 at step %2: %3 outside %4..%5")
                                                     .arg(q.code).arg(step).arg(price).arg(down).arg(up)));
                        }
                        QVERIFY(q.low <= q.last && q.last <= q.high);
                        QVERIFY(q.bidPrice1 <= q.askPrice1);
                        QVERIFY(q.volume >= previous[i].volume);
                        QVERIFY(q.amount >= previous[i].amount);
                    }
                    if (step % 7 == 0) {
                        for (const Line& q : lines(m, stepAt(day, step)))
                            QCOMPARE(q.f[4] == QLatin1String("0"), q.f[3] == q.f[13]);
                    }
                    previous = now;
                }
                lastClose = previous;
            }
        }
    }

    void quietOutsideTradingHours()
    {
        Market m(11, Scenario::Alerts);
        for (const QDateTime& t : {at(kMonday, 0, 0), at(kMonday, 9, 29, 59)}) {
            for (const Line& q : lines(m, t)) {
                QCOMPARE(q.f[3], q.f[13]);
                QCOMPARE(q.f[4], QStringLiteral("0"));
                QCOMPARE(q.f[10], QStringLiteral("0"));
                QCOMPARE(kindsIn({q}), 0);
            }
        }
        auto numbers = [&m](const QDateTime& t) {
            QList<QStringList> out;
            for (const Line& q : lines(m, t))
                out << q.numbers();
            return out;
        };
        const auto lunch = numbers(at(kMonday, 11, 30));
        QCOMPARE(numbers(at(kMonday, 12, 59, 59)), lunch);
        QVERIFY(numbers(at(kMonday, 13, 0, 3)) != lunch);
        const auto close = numbers(at(kFriday, 15, 0));
        QCOMPARE(numbers(at(kFriday, 22, 0)), close);
        QCOMPARE(numbers(at(kFriday.addDays(1), 10, 30)), close);
    }

    void sameSeedSameScenario()
    {
        Market a(5, Scenario::Alerts), b(5, Scenario::Alerts), other(6, Scenario::Alerts), plain(5);
        for (const QDateTime& t : {at(kWednesday, 9, 31, 1), at(kWednesday, 10, 44, 21), at(kWednesday, 14, 3, 36)}) {
            bool differsBySeed = false, differsFromPlain = false;
            for (const QString& code : a.codes()) {
                const QString line = a.quoteLine(code, t);
                QCOMPARE(b.quoteLine(code, t), line);
                differsBySeed = differsBySeed || other.quoteLine(code, t) != line;
                differsFromPlain = differsFromPlain || plain.quoteLine(code, t) != line;
            }
            QCOMPARE(b.indexPage(t), a.indexPage(t));
            QVERIFY(differsBySeed);
            QVERIFY(differsFromPlain);
        }
    }
};

QTEST_GUILESS_MAIN(TestSandboxScenario)
#include "test_sandbox_scenario.moc"
