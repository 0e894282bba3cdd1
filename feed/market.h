// The sandbox's simulated A-share market: about thirty stocks and the two headline indices.
//
// The state at a moment t is a pure function of (seed, t). Each trading day is walked from its
// start in fixed steps of kStepSeconds sandbox seconds; every step draws from a generator seeded
// by (seed, date, step), and each day's closing price is fixed in advance from (seed, stock, date),
// so the next day's previous close is known without walking the days before it. The last walked
// day is cached, so queries that move forward in time only walk the new steps.
//
// The market reads the wall-clock fields of the QDateTime it is given (its date() and time()),
// whatever its time zone. Weekdays are trading days; sessions are 9:30:00-11:30:00 and
// 13:00:00-15:00:00, each step taking effect at the start of its 3-second slot.
//
// A scenario steers a few named stocks on purpose (see scenarioSummary()); every other stock walks
// exactly as it does in the plain market.
#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

namespace feed {

enum class Board { Shanghai, Shenzhen, ChiNext };

struct StockQuote {
    QString code;
    QString name;
    Board board = Board::Shanghai;
    double prevClose = 0;
    double last = 0;
    double open = 0;
    double high = 0;
    double low = 0;
    double bidPrice1 = 0;
    qint64 bidVolume1 = 0;        // lots
    double askPrice1 = 0;
    qint64 askVolume1 = 0;        // lots
    qint64 volume = 0;            // lots traded today
    double amount = 0;            // 万元 traded today
    int lastTradeSign = 1;        // 1 buy, -1 sell
    qint64 lastTradeVolume = 0;   // lots
    bool hasLastTrade = true;     // false when the source cannot tell the last trade: the line ends before it
    double limitUp = 0;
    double limitDown = 0;
    QDateTime time;               // the moment the data belongs to

    double change() const { return last - prevClose; }
    double changePercent() const { return prevClose > 0 ? (last - prevClose) / prevClose * 100 : 0; }
};

struct IndexQuote {
    QString code;   // "000001" for 上证指数, "399001" for 深证成指
    QString name;
    double value = 0;
    double prevClose = 0;
    // Unknown before the open, when a source gives none of them yet.
    std::optional<double> open = 0.0;
    std::optional<double> high = 0.0;
    std::optional<double> low = 0.0;
    double amount = 0;   // 万元
    // The counts of rising, falling and unchanged stocks; unknown where a source does not give them.
    std::optional<int> rising = 0;
    std::optional<int> falling = 0;
    std::optional<int> unchanged = 0;
    QDateTime time;

    double change() const { return value - prevClose; }
    double changePercent() const { return prevClose > 0 ? (value - prevClose) / prevClose * 100 : 0; }
};

// One stock's large trades on one trading day, as far as the day had gone: what the large-order
// statistics site publishes. A trade is large from kLargeTradeYuan on.
struct BigOrderDay {
    static constexpr qint64 kLargeTradeYuan = 100000;
    QDate date;
    int hoursDone = 0;              // trading hours over (0 to 4): 10:30, 11:30, 14:00, 15:00
    qint64 hourBuy[4] = {};         // shares bought in large trades in each trading hour
    qint64 hourSell[4] = {};        // shares sold
    // Large-trade turnover in yuan by trade size: buys under 0.5 million, 0.5-2, 2-5 and over 5
    // million yuan, then the sells in the same order.
    double bucketYuan[8] = {};

    qint64 buyShares() const { return hourBuy[0] + hourBuy[1] + hourBuy[2] + hourBuy[3]; }
    qint64 sellShares() const { return hourSell[0] + hourSell[1] + hourSell[2] + hourSell[3]; }
};

// Six decimal digits.
bool isStockCode(const QString& s);

// The one-line quote reply for `requested` (echoed back, made safe for the line): the quote's
// fields, or the line of a code the service does not know when there is no quote.
QString quoteLineFor(const QString& requested, const std::optional<StockQuote>& quote, const QDateTime& t);
// The index reply: both indices' fields as the page carries them.
QString indexPageFor(const IndexQuote& shanghai, const IndexQuote& shenzhen);

// What the market is asked to show besides its ordinary walk.
enum class Scenario {
    None,     // the plain market
    Alerts,   // a few stocks steered so every kind of trading alert shows within a minute or two
};

// "" is the plain market, "alerts" the alerts scenario; anything else is unknown.
std::optional<Scenario> scenarioNamed(const QString& name);
QStringList scenarioNames();   // the known names, without the empty one
// A few lines saying which stocks the scenario steers and how, for --help.
QString scenarioSummary(Scenario scenario);

class Market {
public:
    static constexpr int kStepSeconds = 3;
    static constexpr int kStepsPerSession = 2 * 3600 / kStepSeconds;
    static constexpr int kStepsPerDay = 2 * kStepsPerSession;

    explicit Market(quint64 seed = 1, Scenario scenario = Scenario::None);
    // A world that lists no stock: every code is unknown to it, so each information site written
    // from it answers with its page without entries.
    static std::unique_ptr<Market> withoutStocks(quint64 seed = 1);
    ~Market();
    Market(const Market&) = delete;
    Market& operator=(const Market&) = delete;

    quint64 seed() const;
    Scenario scenario() const;
    QStringList codes() const;
    bool contains(const QString& code) const;
    QString nameOf(const QString& code) const;       // empty when unknown
    QString codeOfName(const QString& name) const;   // empty when unknown

    std::optional<StockQuote> quote(const QString& code, const QDateTime& t);
    QList<StockQuote> quotes(const QDateTime& t);
    IndexQuote shanghaiIndex(const QDateTime& t);
    IndexQuote shenzhenIndex(const QDateTime& t);

    // The one-line quote reply for `requested` (echoed back, made safe for the line) and the
    // index reply, both as the pages carry them.
    QString quoteLine(const QString& requested, const QDateTime& t);
    QString indexPage(const QDateTime& t);

    // The large trades of `code` on the trading day `t` falls in (the last one before it on a
    // day without trading), up to `t`; nothing for an unknown code.
    std::optional<BigOrderDay> bigOrders(const QString& code, const QDateTime& t);
    // The last `count` trading days up to that day, oldest first; the earlier ones whole.
    QList<BigOrderDay> bigOrderDays(const QString& code, const QDateTime& t, int count);

    static bool isTradingDay(const QDate& date);
    static QDate previousTradingDay(const QDate& date);
    // Steps of the day that have taken effect at `time`: 0 before 9:30, kStepsPerDay after 15:00.
    static int stepsDone(const QTime& time);
    static QTime stepTime(int step);

private:
    struct DayState;
    struct PastDays;

    const DayState& stateAt(const QDate& date, int steps);
    void startDay(const QDate& date);
    // One step of the day; with `only` set, just that stock moves (the big-order walk of a past
    // day), with exactly the numbers it draws in the whole walk.
    void advance(int only = -1);
    StockQuote makeQuote(int i, const QDateTime& stamp) const;
    IndexQuote makeIndex(int which, const QDateTime& t) const;
    QDateTime dataTime(const QDateTime& t) const;
    qint64 closeCents(int stock, const QDate& date) const;

    quint64 seed_;
    Scenario scenario_;
    bool unlisted_ = false;
    std::unique_ptr<DayState> day_;
    std::unique_ptr<PastDays> past_;   // whole days already walked for their large trades
};

} // namespace feed
