// The simulated market: reproducible, inside the exchange's rules, quiet outside trading hours,
// and formatted the way the application's parsers read the quote and index pages.
#include "market.h"

#include <QRegularExpression>
#include <QTest>

#include <cmath>

using feed::Market;
using feed::StockQuote;

namespace {

const QDate kMonday(2026, 12, 7);
const QDate kWednesday(2026, 12, 9);
const QDate kFriday(2026, 12, 11);

QDateTime at(const QDate& d, int h, int m, int s = 0)
{
    return QDateTime(d, QTime(h, m, s));
}

// Field k of a comma-separated reply: the text between the k-th and (k+1)-th comma.
QStringList fieldsOf(const QString& line)
{
    return line.split(QLatin1Char(','));
}

qint64 cents(double v)
{
    return std::llround(v * 100);
}

// Limits worked out from the previous close alone, the way the exchange states them.
qint64 limitUp(const StockQuote& q)
{
    const double pct = q.code.startsWith(QLatin1Char('3')) ? 0.2 : 0.1;
    return std::llround(q.prevClose * (1 + pct) * 100 + 1e-6);
}

qint64 limitDown(const StockQuote& q)
{
    const double pct = q.code.startsWith(QLatin1Char('3')) ? 0.2 : 0.1;
    return std::llround(q.prevClose * (1 - pct) * 100 + 1e-6);
}

// Everything but the time stamp, to compare the market's state at two moments.
QList<qint64> numbers(const StockQuote& q)
{
    return {cents(q.last), cents(q.open), cents(q.high), cents(q.low), cents(q.bidPrice1), q.bidVolume1,
            cents(q.askPrice1), q.askVolume1, q.volume, cents(q.amount), q.lastTradeSign, q.lastTradeVolume};
}

QList<QList<qint64>> allNumbers(Market& m, const QDateTime& t)
{
    QList<QList<qint64>> out;
    for (const StockQuote& q : m.quotes(t))
        out << numbers(q);
    return out;
}

QDateTime stepAt(const QDate& d, int step)
{
    return QDateTime(d, Market::stepTime(step));
}

} // namespace

class TestSandboxMarket : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void listing()
    {
        Market m;
        const QStringList codes = m.codes();
        QVERIFY(codes.size() >= 25);
        QCOMPARE(m.nameOf(QStringLiteral("000001")), QStringLiteral("平安银行"));
        QCOMPARE(m.codeOfName(QStringLiteral("平安银行")), QStringLiteral("000001"));
        int sh = 0, sz = 0, cy = 0;
        for (const QString& c : codes) {
            QVERIFY2(QRegularExpression(QStringLiteral("^[036]\\d{5}$")).match(c).hasMatch(), qPrintable(c));
            QVERIFY(!m.nameOf(c).isEmpty());
            (c.startsWith(QLatin1Char('6')) ? sh : c.startsWith(QLatin1Char('3')) ? cy : sz)++;
        }
        QVERIFY(sh > 0 && sz > 0 && cy > 0);
        QVERIFY(!m.contains(QStringLiteral("999999")));
    }

    void sameSeedAndTimeGiveSamePages()
    {
        const QDateTime t = at(kWednesday, 10, 15, 3);
        Market a(7), b(7), other(8);
        bool differs = false;
        for (const QString& code : a.codes()) {
            const QString line = a.quoteLine(code, t);
            QCOMPARE(b.quoteLine(code, t), line);
            differs = differs || other.quoteLine(code, t) != line;
        }
        QCOMPARE(b.indexPage(t), a.indexPage(t));
        QVERIFY(differs);
        QVERIFY(other.indexPage(t) != a.indexPage(t));
    }

    void cachedWalkMatchesFreshWalk()
    {
        // Going forward reuses the walk so far, going back restarts it; both must agree with a
        // market that has never been asked anything.
        const QDateTime early = at(kWednesday, 10, 0, 0);
        const QDateTime late = at(kWednesday, 14, 20, 7);
        Market used(3);
        used.quotes(early);
        Market freshLate(3), freshEarly(3);
        QCOMPARE(allNumbers(used, late), allNumbers(freshLate, late));
        QCOMPARE(allNumbers(used, early), allNumbers(freshEarly, early));
        used.quotes(at(kMonday, 13, 0, 0));
        QCOMPARE(used.indexPage(late), Market(3).indexPage(late));
    }

    void pricesStayWithinDailyLimits()
    {
        for (const quint64 seed : {1ull, 42ull}) {
            Market m(seed);
            for (const QDate& day : {kWednesday, kFriday}) {
                for (int step = 0; step < Market::kStepsPerDay; ++step) {
                    for (const StockQuote& q : m.quotes(stepAt(day, step))) {
                        const qint64 up = limitUp(q), down = limitDown(q);
                        QCOMPARE(cents(q.limitUp), up);
                        QCOMPARE(cents(q.limitDown), down);
                        for (const double p : {q.last, q.high, q.low, q.open, q.bidPrice1, q.askPrice1}) {
                            if (cents(p) < down || cents(p) > up)
                                QFAIL(qPrintable(QStringLiteral("%1 at step %2: %3 outside %4..%5")
                                                     .arg(q.code).arg(step).arg(p).arg(down).arg(up)));
                        }
                        QVERIFY(q.low <= q.last && q.last <= q.high);
                    }
                }
            }
        }
    }

    void previousCloseCarriesOverNight()
    {
        Market m(5);
        const auto friday = m.quotes(at(kFriday, 15, 0));
        const auto monday = m.quotes(at(kMonday.addDays(7), 9, 0));
        for (int i = 0; i < friday.size(); ++i)
            QCOMPARE(cents(monday[i].prevClose), cents(friday[i].last));
    }

    void quietOutsideTradingHours()
    {
        Market m(11);
        // Before the open: the previous close, nothing traded.
        for (const QDateTime& t : {at(kWednesday, 0, 0), at(kWednesday, 9, 29, 59)}) {
            for (const StockQuote& q : m.quotes(t)) {
                QCOMPARE(cents(q.last), cents(q.prevClose));
                QCOMPARE(q.volume, qint64(0));
                QCOMPARE(q.amount, 0.0);
                QCOMPARE(fieldsOf(m.quoteLine(q.code, t)).at(4), QStringLiteral("0"));
            }
        }
        // The first step is the open.
        QVERIFY(allNumbers(m, at(kWednesday, 9, 30, 0)) != allNumbers(m, at(kWednesday, 9, 29, 59)));

        // Lunch: frozen from the last morning step until 13:00.
        const auto lunch = allNumbers(m, at(kWednesday, 11, 30, 0));
        QCOMPARE(allNumbers(m, at(kWednesday, 11, 29, 59)), lunch);
        QCOMPARE(allNumbers(m, at(kWednesday, 12, 59, 59)), lunch);
        QVERIFY(allNumbers(m, at(kWednesday, 13, 0, 0)) != lunch);

        // After the close, and over the weekend, the close of the last trading day stays up.
        const QDateTime close = at(kFriday, 15, 0, 0);
        QVERIFY(allNumbers(m, at(kFriday, 14, 59, 59)) == allNumbers(m, close));
        for (const QDateTime& t : {at(kFriday, 23, 59, 59), at(kFriday.addDays(1), 10, 0), at(kFriday.addDays(2), 14, 0)})
            for (const QString& code : m.codes())
                QCOMPARE(m.quoteLine(code, t), m.quoteLine(code, close));
        QCOMPARE(m.indexPage(at(kFriday.addDays(1), 10, 0)), m.indexPage(close));
    }

    void volumeAccumulatesThroughTheDay()
    {
        Market m(2);
        QList<StockQuote> before = m.quotes(at(kWednesday, 9, 0));
        for (int step = 0; step < Market::kStepsPerDay; step += 7) {
            const QList<StockQuote> now = m.quotes(stepAt(kWednesday, step));
            for (int i = 0; i < now.size(); ++i) {
                QVERIFY(now[i].volume >= before[i].volume);
                QVERIFY(now[i].amount >= before[i].amount);
            }
            before = now;
        }
        for (const StockQuote& q : before)
            QVERIFY2(q.volume > 10000, qPrintable(q.code));
    }

    void quoteLineLayout()
    {
        Market m(9);
        const QRegularExpression price(QStringLiteral("^\\d+\\.\\d\\d$"));
        const QRegularExpression signedPrice(QStringLiteral("^-?\\d+\\.\\d\\d$"));
        const QRegularExpression percent(QStringLiteral("^-?\\d+\\.\\d\\d%$"));
        const QRegularExpression whole(QStringLiteral("^\\d+$"));
        int flat = 0, moved = 0;
        for (int step = 0; step < Market::kStepsPerDay; step += 97) {
            const QDateTime t = stepAt(kWednesday, step);
            for (const QString& code : m.codes()) {
                const QString line = m.quoteLine(code, t);
                QVERIFY(line.startsWith(QStringLiteral("var quote_data=[\"1,")));
                QVERIFY(line.endsWith(QStringLiteral(",\"]\n")));
                QCOMPARE(line.count(QLatin1Char(',')), 19);
                const QStringList f = fieldsOf(line);
                QCOMPARE(f[1], code);
                QCOMPARE(f[2], m.nameOf(code));
                for (const int k : {3, 6, 8, 12, 13, 14, 15})
                    QVERIFY2(price.match(f[k]).hasMatch(), qPrintable(line));
                for (const int k : {7, 9, 10, 17})
                    QVERIFY2(whole.match(f[k]).hasMatch(), qPrintable(line));
                QVERIFY(QRegularExpression(QStringLiteral("^\\d+\\.\\d\\d$")).match(f[11]).hasMatch());
                QVERIFY(f[16] == QLatin1String("1") || f[16] == QLatin1String("-1"));
                QCOMPARE(f[18], t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
                QVERIFY(signedPrice.match(f[5]).hasMatch());

                // An unchanged stock reads exactly "0"; any other carries the sign of its change.
                if (f[3] == f[13]) {
                    ++flat;
                    QCOMPARE(f[4], QStringLiteral("0"));
                    QCOMPARE(f[5], QStringLiteral("0.00"));
                } else {
                    ++moved;
                    QVERIFY2(percent.match(f[4]).hasMatch(), qPrintable(line));
                    QCOMPARE(f[4].startsWith(QLatin1Char('-')), f[5].startsWith(QLatin1Char('-')));
                    QVERIFY(f[4] != QLatin1String("0.00%") && f[4] != QLatin1String("-0.00%"));
                    const double expected = (f[3].toDouble() - f[13].toDouble()) / f[13].toDouble() * 100;
                    QVERIFY(std::abs(f[4].chopped(1).toDouble() - expected) < 0.006);
                    QVERIFY(std::abs(f[5].toDouble() - (f[3].toDouble() - f[13].toDouble())) < 1e-9);
                }
            }
        }
        QVERIFY(flat > 0);
        QVERIFY(moved > 0);
    }

    void unknownCodeHasEmptyName_data()
    {
        QTest::addColumn<QString>("requested");
        QTest::addColumn<QString>("echo");
        QTest::newRow("unlisted") << QStringLiteral("999999") << QStringLiteral("999999");
        QTest::newRow("too short") << QStringLiteral("00001") << QStringLiteral("00001");
        QTest::newRow("letters") << QStringLiteral("sh600000") << QStringLiteral("sh600000");
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("commas and quotes") << QStringLiteral("1,2\"]3") << QStringLiteral("12]3");
        QTest::newRow("padded") << QStringLiteral(" 000001") << QStringLiteral("000001");
    }

    void unknownCodeHasEmptyName()
    {
        QFETCH(QString, requested);
        QFETCH(QString, echo);
        Market m;
        const QString line = m.quoteLine(requested, at(kWednesday, 10, 0));
        QCOMPARE(line.count(QLatin1Char(',')), 19);
        const QStringList f = fieldsOf(line);
        QCOMPARE(f[1], echo);
        QCOMPARE(f[2], QString());
        for (int k = 3; k <= 17; ++k)
            QCOMPARE(f[k], QStringLiteral("0"));
    }

    void indexPageLayout()
    {
        Market m(4);
        for (const QDateTime& t : {at(kWednesday, 9, 0), at(kWednesday, 10, 45, 30), at(kWednesday, 15, 30)}) {
            const QString page = m.indexPage(t);
            const qsizetype sh = page.indexOf(QStringLiteral("上证指数"));
            const qsizetype sz = page.indexOf(QStringLiteral("深证成指"));
            QVERIFY(sh >= 0 && sz > sh);
            for (const auto& [marker, pos] : {std::pair{QStringLiteral("上证指数"), sh}, std::pair{QStringLiteral("深证成指"), sz}}) {
                // Read it as the client will: count commas after the marker.
                const QString rest = page.mid(pos + marker.size());
                const QStringList f = rest.split(QLatin1Char(','));
                QVERIFY(f.size() >= 14);   // field 12 is followed by a comma
                if (pos == sh)   // Shanghai's thirteen fields all come before the Shenzhen marker
                    QVERIFY(!f.mid(0, 13).join(QLatin1Char(',')).contains(QStringLiteral("深证成指")));
                QCOMPARE(f[0], QString());
                bool ok = false;
                const double value = f[1].toDouble(&ok);
                QVERIFY(ok && value > 1000);
                const double change = f[2].toDouble(&ok);
                QVERIFY(ok);
                QVERIFY(f[3].endsWith(QLatin1Char('%')));
                const double pct = f[3].chopped(1).toDouble(&ok);
                QVERIFY(ok);
                const double amount = f[4].toDouble(&ok);
                QVERIFY(ok && amount >= 0);
                const int rising = f[5].toInt(&ok);
                QVERIFY(ok);
                const int falling = f[6].toInt(&ok);
                QVERIFY(ok);
                const int unchanged = f[7].toInt(&ok);
                QVERIFY(ok);
                QVERIFY(rising + falling + unchanged > 1500);
                const double prev = f[9].toDouble(&ok);
                QVERIFY(ok);
                const double open = f[10].toDouble(&ok), high = f[11].toDouble(), low = f[12].toDouble();
                QVERIFY(ok);
                QVERIFY(std::abs(value - prev - change) < 0.005);
                QVERIFY(std::abs(pct - change / prev * 100) < 0.006);
                QVERIFY(low <= value && value <= high && low <= open && open <= high);
                if (t.time() < QTime(9, 30)) {
                    QCOMPARE(change, 0.0);
                    QCOMPARE(amount, 0.0);
                    QCOMPARE(rising + falling, 0);
                } else {
                    QVERIFY(amount > 1e5);
                    QVERIFY(rising > 0 && falling > 0);
                }
                if (t.time() > QTime(15, 0))
                    QVERIFY(amount > 1e7);
            }
        }
    }

    void rareEventsHappenEveryDay()
    {
        for (const quint64 seed : {1ull, 2ull, 99ull}) {
            Market m(seed);
            for (const QDate& day : {kMonday, kWednesday, kFriday}) {
                bool bigTrade = false, bigOrder = false, bigMove = false, limitHit = false;
                QList<QList<double>> history;   // last prices, one row per step
                for (int step = 0; step < Market::kStepsPerDay; ++step) {
                    const QList<StockQuote> qs = m.quotes(stepAt(day, step));
                    QList<double> row;
                    for (const StockQuote& q : qs) {
                        bigTrade = bigTrade || q.lastTradeVolume >= 1000;
                        bigOrder = bigOrder || q.bidVolume1 >= 1000 || q.askVolume1 >= 1000;
                        limitHit = limitHit || q.last == q.limitUp || q.last == q.limitDown;
                        row << q.last;
                    }
                    // A move of 2% of the previous close within one minute.
                    if (history.size() >= 20) {
                        const QList<double>& then = history[history.size() - 20];
                        for (int i = 0; i < qs.size(); ++i)
                            bigMove = bigMove || std::abs(row[i] - then[i]) >= 0.02 * qs[i].prevClose;
                    }
                    history << row;
                }
                const QByteArray where = QStringLiteral("seed %1, %2").arg(seed).arg(day.toString(Qt::ISODate)).toLatin1();
                QVERIFY2(bigTrade, where.constData());
                QVERIFY2(bigOrder, where.constData());
                QVERIFY2(bigMove, where.constData());
                QVERIFY2(limitHit, where.constData());
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestSandboxMarket)
#include "test_sandbox_market.moc"
