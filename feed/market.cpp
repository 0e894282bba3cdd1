#include "market.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <vector>

namespace feed {

namespace {

// A small, fast generator; every step of every day gets its own, seeded from (seed, date, step).
struct SplitMix {
    quint64 state;

    quint64 next()
    {
        quint64 z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    double uniform() { return double(next() >> 11) * 0x1.0p-53; }
    // Roughly standard normal (sum of four uniforms), bounded to about +-3.5.
    double normal() { return (uniform() + uniform() + uniform() + uniform() - 2.0) * 1.7320508075688772; }
    int below(int n) { return int(next() % quint64(n)); }
    // Moves on as `count` calls of next() would.
    void skip(quint64 count) { state += count * 0x9E3779B97F4A7C15ull; }
};

// What each stock draws from the step's generator: three normals of four uniforms each, one
// uniform and two more normals.
constexpr quint64 kDrawsPerStock = 4 + 4 + 1 + 4 + 4;

quint64 mix(quint64 a, quint64 b)
{
    SplitMix m{a ^ (b * 0xD1B54A32D192ED03ull)};
    m.next();
    return m.next();
}

quint64 seedFor(quint64 seed, qint64 julianDay, quint64 salt)
{
    return mix(mix(seed, quint64(julianDay)), salt);
}

constexpr quint64 kEventSalt = 0xE7E7E7E7ull << 32;
constexpr quint64 kCloseSalt = 0xC105Eull << 32;
constexpr quint64 kScenarioSalt = 0x5CE7A210ull << 32;

constexpr int kSessionStart = 9 * 3600 + 30 * 60;
constexpr int kMorningEnd = 11 * 3600 + 30 * 60;
constexpr int kAfternoonStart = 13 * 3600;
constexpr int kSessionEnd = 15 * 3600;

struct ListingRow {
    const char* code;
    const char* name;
    qint64 baseCents;   // the level the price wanders around
    double liquidity;   // typical lots per 3-second step
    double volatility;  // relative to an ordinary large cap
};

// Prices are kept below 100 yuan so a one-tick move always shows as at least 0.01%.
constexpr std::array<ListingRow, 30> kListings{{
    {"600000", "浦发银行", 750, 45, 0.8},
    {"600030", "中信证券", 2140, 40, 1.1},
    {"600036", "招商银行", 3320, 40, 0.9},
    {"600104", "上汽集团", 1480, 20, 0.9},
    {"600276", "恒瑞医药", 4560, 15, 1.2},
    {"600309", "万华化学", 7890, 10, 1.1},
    {"600585", "海螺水泥", 2310, 15, 1.0},
    {"600690", "海尔智家", 2670, 18, 1.0},
    {"600887", "伊利股份", 2830, 22, 0.9},
    {"601012", "隆基绿能", 1980, 35, 1.4},
    {"601318", "中国平安", 4650, 35, 1.0},
    {"601398", "工商银行", 530, 60, 0.6},
    {"601857", "中国石油", 790, 50, 0.7},
    {"000001", "平安银行", 1120, 50, 0.9},
    {"000002", "万科A", 860, 45, 1.3},
    {"000063", "中兴通讯", 2840, 30, 1.3},
    {"000333", "美的集团", 6250, 15, 1.0},
    {"000538", "云南白药", 5230, 8, 0.9},
    {"000625", "长安汽车", 1370, 40, 1.3},
    {"000651", "格力电器", 3860, 20, 0.9},
    {"000725", "京东方A", 420, 60, 1.1},
    {"002415", "海康威视", 3150, 20, 1.1},
    {"002475", "立讯精密", 3020, 25, 1.2},
    {"300014", "亿纬锂能", 4210, 15, 1.5},
    {"300015", "爱尔眼科", 1430, 25, 1.4},
    {"300059", "东方财富", 1560, 60, 1.6},
    {"300122", "智飞生物", 2780, 12, 1.5},
    {"300124", "汇川技术", 6040, 10, 1.3},
    {"300274", "阳光电源", 7950, 15, 1.7},
    {"300408", "三环集团", 2960, 10, 1.4},
}};

Board boardOf(const char* code)
{
    switch (code[0]) {
    case '6': return Board::Shanghai;
    case '3': return Board::ChiNext;
    default: return Board::Shenzhen;
    }
}

// Limit prices follow the exchange rule: previous close times 1 +- limit, rounded to the cent.
qint64 limitUpCents(qint64 prev, Board board)
{
    return (prev * (board == Board::ChiNext ? 120 : 110) + 50) / 100;
}

qint64 limitDownCents(qint64 prev, Board board)
{
    return (prev * (board == Board::ChiNext ? 80 : 90) + 50) / 100;
}

QString centsText(qint64 cents)
{
    const qint64 a = cents < 0 ? -cents : cents;
    return QStringLiteral("%1%2.%3")
        .arg(cents < 0 ? QStringLiteral("-") : QString())
        .arg(a / 100)
        .arg(a % 100, 2, 10, QLatin1Char('0'));
}

qint64 toCents(double value)
{
    return std::llround(value * 100.0);
}

// Percent with two decimals from integer cents, so the sign and digits never disagree.
QString percentText(qint64 changeCents, qint64 prevCents)
{
    if (prevCents <= 0)
        return QStringLiteral("0.00%");
    const qint64 hundredths = std::llround(double(changeCents) * 10000.0 / double(prevCents));
    return centsText(hundredths) + QLatin1Char('%');
}

QString stampText(const QDateTime& t)
{
    return t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// The quote line echoes the requested code; keep anything that would break its layout out.
QString safeEcho(const QString& requested)
{
    QString out;
    for (const QChar c : requested) {
        if (out.size() >= 32)
            break;
        if (c == QLatin1Char(',') || c == QLatin1Char('"') || c == QLatin1Char('\\') || c.isSpace()
            || c.category() == QChar::Other_Control)
            continue;
        out += c;
    }
    return out;
}

} // namespace

bool isStockCode(const QString& s)
{
    if (s.size() != 6)
        return false;
    return std::all_of(s.begin(), s.end(), [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
}

namespace {

struct Listing {
    QString code;
    QString name;
    Board board;
    qint64 baseCents;
    double liquidity;
    double volatility;
};

struct IndexDef {
    const char* code;
    const char* name;
    double base;     // index level when every member sits at its base price
    double amountScale;
    int members;     // stocks in the real market the counts are scaled to
};

constexpr int kShanghai = 0;
constexpr int kShenzhen = 1;

const std::vector<Listing>& listings()
{
    static const std::vector<Listing> all = [] {
        std::vector<Listing> v;
        for (const ListingRow& r : kListings)
            v.push_back({QString::fromLatin1(r.code), QString::fromUtf8(r.name), boardOf(r.code),
                         r.baseCents, r.liquidity, r.volatility});
        return v;
    }();
    return all;
}

const std::array<IndexDef, 2> kIndices{{
    {"000001", "上证指数", 3200.0, 52.0, 2150},
    {"399001", "深证成指", 10500.0, 61.0, 2650},
}};

bool inIndex(int which, Board board)
{
    return which == kShanghai ? board == Board::Shanghai : board != Board::Shanghai;
}

// What a steered stock does in the alerts scenario.
enum class Role {
    Normal,   // the ordinary walk
    Swing,    // alternates between two closes, holding a large move through each session
    Prints,   // a large last trade every minute
    Wall,     // a large resting order at the best bid or ask every minute
};

struct SteerRow {
    const char* code;
    Role role;
    int climbsOn;    // Swing: the parity of the trading days on which the stock climbs
    double ratio;    // Swing: its higher close over its lower one
    double aimUp;    // Swing: percent from the previous close held on a climbing day
    double aimDown;  // ... and on a falling day
    double band;     // Swing: how far, in percent, the price wanders around the aim
};

// The alerts scenario. 600036 招商银行 and 000651 格力电器 swing beyond 9% (limit alerts), one up and
// the other down on each trading day, swapping the next day; 601318 中国平安 and 000333 美的集团 do
// the same around 6.5% (rise/fall alerts with the default threshold of 5%); 300059 东方财富 prints
// large trades and 601398 工商银行 shows large resting orders. 000001 平安银行 and the others are
// left alone, so a demo can set a steered stock against a normal one.
//
// A swing stock's close alternates between its base price and base x ratio, so the previous close
// of every day is known without walking the days before it and prices never drift away. The
// ratios are picked so both directions pass the threshold: 1.0995 gives +9.95% and -9.05%, 1.065
// gives +6.5% and -6.1%, all inside the 10% daily limit.
constexpr std::array<SteerRow, 6> kAlertsScenario{{
    {"600036", Role::Swing, 0, 1.0995, 9.5, -9.5, 0.3},
    {"000651", Role::Swing, 1, 1.0995, 9.5, -9.5, 0.3},
    {"601318", Role::Swing, 0, 1.065, 6.5, -6.3, 0.5},
    {"000333", Role::Swing, 1, 1.065, 6.5, -6.3, 0.5},
    {"300059", Role::Prints, 0, 0, 0, 0, 0},
    {"601398", Role::Wall, 0, 0, 0, 0, 0},
}};

// The morning ramp: a swing stock moves from its open to its aim over this many steps (75 s).
constexpr int kRampSteps = 25;
// Large trades and orders repeat every minute of each session, counted from its opening.
constexpr int kCycleSteps = 20;
// Two consecutive steps carry a large trade, so a client polling every 5 s always sees one:
// 21 s and 24 s into each minute.
constexpr int kPrintPhase = 7;
// A large order rests for five steps (15 s), from 36 s into each minute.
constexpr int kWallPhase = 12;
constexpr int kWallSteps = 5;

const SteerRow* steerRow(Scenario scenario, int stock)
{
    if (scenario != Scenario::Alerts)
        return nullptr;
    const QString& code = listings()[size_t(stock)].code;
    for (const SteerRow& r : kAlertsScenario)
        if (code == QLatin1String(r.code))
            return &r;
    return nullptr;
}

// Trading days are weekdays and a weekend is two days long, so two trading days in a row always
// differ in the parity of their day number: a swing stock climbs and falls on alternate days.
bool climbsOn(const SteerRow& r, const QDate& date)
{
    return int(date.toJulianDay() & 1) == r.climbsOn;
}

// Adds one step's trade to the day's large-trade statistics when it is worth kLargeTradeYuan.
void countLargeTrade(BigOrderDay& big, int step, qint64 lots, qint64 priceCents, int sign)
{
    const qint64 yuan = lots * priceCents;   // lots x 100 shares x cents / 100
    if (yuan < BigOrderDay::kLargeTradeYuan)
        return;
    const int hour = std::min(3, step / (3600 / Market::kStepSeconds));
    (sign > 0 ? big.hourBuy : big.hourSell)[hour] += lots * 100;
    const int size = yuan < 500000 ? 0 : yuan < 2000000 ? 1 : yuan < 5000000 ? 2 : 3;
    big.bucketYuan[(sign > 0 ? 0 : 4) + size] += double(yuan);
}

} // namespace

// One trading day's walk, as far as it has been taken.
struct Market::DayState {
    enum class EventKind { BigMove, BigTrade, BigOrder, LimitRun };
    struct Event {
        int step;
        int stock;
        EventKind kind;
        int sign;        // direction of the move or trade; side of the order (1 bid, -1 ask)
        double size;     // log move for BigMove
        qint64 lots;     // BigTrade, BigOrder
        int duration;    // steps a BigOrder rests, or a LimitRun stays sealed at the limit
    };
    struct Stock {
        Role role = Role::Normal;
        double aim = 0, band = 0;   // Swing: percent held from the previous close, and its spread
        double openPercent = 0;     // Swing: the open, in percent from the previous close
        double wobble = 0;          // Swing: the current offset from the aim, within +-band
        qint64 prev = 0, close = 0, up = 0, down = 0;
        double logClose = 0, logUp = 0, logDown = 0;
        double x = 0;    // log price before rounding
        qint64 price = 0, open = 0, high = 0, low = 0;
        qint64 bid = 0, ask = 0, bidVol = 0, askVol = 0;
        qint64 volume = 0;
        double amount = 0;
        int sign = 1;
        qint64 lastVol = 0;
        int pushSteps = 0;
        double pushPerStep = 0;
        int sealUntil = -1;     // held at the limit on sealSide until this step
        int sealSide = 0;
        int orderUntil = -1;
        int orderSide = 0;
        qint64 orderLots = 0;
        qint64 tradeLots = 0;   // a big trade due this step
        int tradeSign = 0;
        BigOrderDay big;        // the day's large trades so far
    };
    struct Index {
        double prev = 0, value = 0, open = 0, high = 0, low = 0, amount = 0;
    };

    QDate date;
    int steps = 0;
    std::vector<Stock> stocks;
    std::array<Index, 2> index;
    std::vector<Event> events;
    size_t nextEvent = 0;
};

std::optional<Scenario> scenarioNamed(const QString& name)
{
    if (name.isEmpty())
        return Scenario::None;
    if (name == QLatin1String("alerts"))
        return Scenario::Alerts;
    return std::nullopt;
}

QStringList scenarioNames()
{
    return {QStringLiteral("alerts")};
}

QString scenarioSummary(Scenario scenario)
{
    if (scenario != Scenario::Alerts)
        return {};
    return QStringLiteral(
        "alerts: a few stocks steered so every trading alert shows within two minutes of any moment\n"
        "in a session (times are sandbox clock times):\n"
        "  600036 招商银行 and 000651 格力电器: one climbs to about +9.5%, the other falls to about\n"
        "    -9.5%, over the first 75 s after 9:30, and both stay there all day; they swap the next\n"
        "    trading day (limit alerts, and rise/fall alerts for any N).\n"
        "  601318 中国平安 and 000333 美的集团: the same around +6.5% and -6.3% (rise/fall alerts with\n"
        "    the default N = 5).\n"
        "  300059 东方财富: a large last trade at 21 s and 24 s into every minute of a session, buy and\n"
        "    sell in turn, 1000-3499 lots, every third minute 10000-17999 (large-trade alerts).\n"
        "  601398 工商银行: a resting order of 1000-5999 lots, every third minute 10000-29999, for 15 s\n"
        "    from 36 s into every minute, at the best bid and the best ask in turn (large-order alerts).\n"
        "  000001 平安银行 and the other stocks trade as usual.");
}

// Whole trading days walked for their large trades, by date; each holds every stock.
struct Market::PastDays {
    std::map<std::pair<QDate, int>, BigOrderDay> days;   // by date and stock
};

Market::Market(quint64 seed, Scenario scenario)
    : seed_(seed), scenario_(scenario), past_(std::make_unique<PastDays>()) {}

std::unique_ptr<Market> Market::withoutStocks(quint64 seed)
{
    auto market = std::make_unique<Market>(seed);
    market->unlisted_ = true;
    return market;
}

Market::~Market() = default;

quint64 Market::seed() const
{
    return seed_;
}

Scenario Market::scenario() const
{
    return scenario_;
}

QStringList Market::codes() const
{
    QStringList out;
    if (unlisted_)
        return out;
    for (const Listing& l : listings())
        out << l.code;
    return out;
}

bool Market::contains(const QString& code) const
{
    return !nameOf(code).isEmpty();
}

QString Market::nameOf(const QString& code) const
{
    if (unlisted_)
        return {};
    for (const Listing& l : listings())
        if (l.code == code)
            return l.name;
    return {};
}

QString Market::codeOfName(const QString& name) const
{
    if (unlisted_)
        return {};
    for (const Listing& l : listings())
        if (l.name == name)
            return l.code;
    return {};
}

bool Market::isTradingDay(const QDate& date)
{
    return date.isValid() && date.dayOfWeek() <= 5;
}

QDate Market::previousTradingDay(const QDate& date)
{
    QDate d = date.addDays(-1);
    while (!isTradingDay(d))
        d = d.addDays(-1);
    return d;
}

int Market::stepsDone(const QTime& time)
{
    const int s = time.isValid() ? time.msecsSinceStartOfDay() / 1000 : 0;
    if (s < kSessionStart)
        return 0;
    if (s < kMorningEnd)
        return (s - kSessionStart) / kStepSeconds + 1;
    if (s < kAfternoonStart)
        return kStepsPerSession;
    if (s < kSessionEnd)
        return kStepsPerSession + (s - kAfternoonStart) / kStepSeconds + 1;
    return kStepsPerDay;
}

QTime Market::stepTime(int step)
{
    const int s = step < kStepsPerSession ? kSessionStart + step * kStepSeconds
                                          : kAfternoonStart + (step - kStepsPerSession) * kStepSeconds;
    return QTime::fromMSecsSinceStartOfDay(s * 1000);
}

qint64 Market::closeCents(int stock, const QDate& date) const
{
    const Listing& l = listings()[size_t(stock)];
    if (const SteerRow* r = steerRow(scenario_, stock); r && r->role == Role::Swing)
        return climbsOn(*r, date) ? std::llround(double(l.baseCents) * r->ratio) : l.baseCents;
    SplitMix rng{seedFor(seed_, date.toJulianDay(), kCloseSalt + quint64(stock))};
    // z in [-1, 1], peaked at 0. Two neighbouring closes differ by at most exp(2 * spread), which
    // stays inside the daily limit, so every close is reachable from the one before it.
    const double z = (rng.uniform() + rng.uniform() + rng.uniform()) / 1.5 - 1.0;
    const double spread = l.board == Board::ChiNext ? 0.085 : 0.045;
    return std::max<qint64>(1, std::llround(double(l.baseCents) * std::exp(spread * z)));
}

void Market::startDay(const QDate& date)
{
    auto d = std::make_unique<DayState>();
    d->date = date;
    const auto& all = listings();
    const int n = int(all.size());
    const QDate before = previousTradingDay(date);
    d->stocks.resize(size_t(n));
    for (int i = 0; i < n; ++i) {
        DayState::Stock& s = d->stocks[size_t(i)];
        s.prev = closeCents(i, before);
        s.up = limitUpCents(s.prev, all[size_t(i)].board);
        s.down = limitDownCents(s.prev, all[size_t(i)].board);
        s.close = std::clamp(closeCents(i, date), s.down, s.up);
        s.logClose = std::log(double(s.close));
        s.logUp = std::log(double(s.up));
        s.logDown = std::log(double(s.down));
        s.x = std::log(double(s.prev));
        s.price = s.open = s.high = s.low = s.prev;
        s.bid = s.ask = s.prev;
        if (const SteerRow* r = steerRow(scenario_, i)) {
            s.role = r->role;
            s.aim = s.close > s.prev ? r->aimUp : r->aimDown;
            s.band = r->band;
        }
    }
    for (int k = 0; k < 2; ++k) {
        double sum = 0;
        int members = 0;
        for (int i = 0; i < n; ++i) {
            if (!inIndex(k, all[size_t(i)].board))
                continue;
            sum += double(d->stocks[size_t(i)].prev) / double(all[size_t(i)].baseCents);
            ++members;
        }
        DayState::Index& x = d->index[size_t(k)];
        x.prev = x.value = x.open = x.high = x.low = kIndices[size_t(k)].base * sum / members;
    }

    // The day's rare events: a few sharp moves, large prints and large resting orders, spread over
    // the day but away from its last minutes so the walk can still settle on the close.
    SplitMix rng{seedFor(seed_, date.toJulianDay(), kEventSalt)};
    const int lastEventStep = kStepsPerDay - 300;
    const int moves = 4 + rng.below(3);
    const int trades = 8 + rng.below(5);
    const int orders = 6 + rng.below(3);
    for (int e = 0; e < moves; ++e) {
        DayState::Event ev{};
        ev.kind = DayState::EventKind::BigMove;
        ev.step = 20 + rng.below(lastEventStep - 20);
        ev.stock = rng.below(n);
        ev.sign = rng.below(2) ? 1 : -1;
        ev.size = 0.03 + 0.05 * rng.uniform();
        d->events.push_back(ev);
    }
    for (int e = 0; e < trades; ++e) {
        DayState::Event ev{};
        ev.kind = DayState::EventKind::BigTrade;
        ev.step = 1 + rng.below(lastEventStep - 1);
        ev.stock = rng.below(n);
        ev.sign = rng.below(2) ? 1 : -1;
        ev.lots = 1000 + rng.below(4000);
        d->events.push_back(ev);
    }
    for (int e = 0; e < orders; ++e) {
        DayState::Event ev{};
        ev.kind = DayState::EventKind::BigOrder;
        ev.step = 1 + rng.below(lastEventStep - 1);
        ev.stock = rng.below(n);
        ev.sign = rng.below(2) ? 1 : -1;
        ev.lots = 2000 + rng.below(6000);
        ev.duration = 20 + rng.below(80);
        d->events.push_back(ev);
    }
    {
        // One stock a day runs to its limit and stays sealed there for a while.
        DayState::Event ev{};
        ev.kind = DayState::EventKind::LimitRun;
        ev.step = 200 + rng.below(lastEventStep - 800);
        ev.stock = rng.below(n);
        ev.sign = rng.uniform() < 0.7 ? 1 : -1;
        ev.duration = 100 + rng.below(500);
        d->events.push_back(ev);
    }
    std::stable_sort(d->events.begin(), d->events.end(),
                     [](const DayState::Event& a, const DayState::Event& b) { return a.step < b.step; });
    day_ = std::move(d);
}

void Market::advance(int only)
{
    DayState& d = *day_;
    const int step = d.steps;
    const auto& all = listings();
    const int n = int(all.size());

    while (d.nextEvent < d.events.size() && d.events[d.nextEvent].step == step) {
        const DayState::Event& ev = d.events[d.nextEvent++];
        DayState::Stock& s = d.stocks[size_t(ev.stock)];
        if (s.role != Role::Normal)
            continue;   // a steered stock follows its script, not the day's chance events
        switch (ev.kind) {
        case DayState::EventKind::BigMove:
            s.pushSteps = 10;
            s.pushPerStep = ev.sign * ev.size / 10;
            break;
        case DayState::EventKind::BigTrade:
            s.tradeLots = ev.lots;
            s.tradeSign = ev.sign;
            break;
        case DayState::EventKind::LimitRun:
            // Aim past the limit so the clamp, not the aim, decides where the run stops.
            s.pushSteps = 10;
            s.pushPerStep = 1.5 * ((ev.sign > 0 ? s.logUp : s.logDown) - s.x) / 10;
            s.sealUntil = step + 10 + ev.duration;
            s.sealSide = ev.sign;
            break;
        case DayState::EventKind::BigOrder:
            s.orderUntil = step + ev.duration;
            s.orderSide = ev.sign;
            s.orderLots = ev.lots;
            break;
        }
    }

    if (scenario_ != Scenario::None) {
        // The steered large trades and orders, on a one-minute cycle that restarts with each
        // session. Their sizes come from a generator of their own, so the ordinary walk of every
        // other stock draws exactly what it draws in the plain market.
        const int inSession = step % kStepsPerSession;
        const int cycle = inSession / kCycleSteps;
        const int phase = inSession % kCycleSteps;
        // Every third cycle is larger; three is odd, so those alternate between the two sides too.
        const bool large = cycle % 3 == 2;
        const int side = cycle % 2 == 0 ? 1 : -1;
        SplitMix srng{seedFor(seed_ ^ kScenarioSalt, d.date.toJulianDay(), quint64(step))};
        for (DayState::Stock& s : d.stocks) {
            if (s.role == Role::Prints && (phase == kPrintPhase || phase == kPrintPhase + 1)) {
                s.tradeLots = large ? 10000 + srng.below(8000) : 1000 + srng.below(2500);
                s.tradeSign = side;
            } else if (s.role == Role::Wall && phase == kWallPhase) {
                s.orderUntil = step + kWallSteps;
                s.orderSide = side;
                s.orderLots = large ? 10000 + srng.below(20000) : 1000 + srng.below(5000);
            }
        }
    }

    SplitMix rng{seedFor(seed_ ^ 0x5EED5EED5EED5EEDull, d.date.toJulianDay(), quint64(step))};
    const int remaining = kStepsPerDay - step;
    // A walk of one stock skips the draws of the stocks before it and stops after it.
    if (only >= 0)
        rng.skip(kDrawsPerStock * quint64(only));
    for (int i = std::max(only, 0); i < (only >= 0 ? only + 1 : n); ++i) {
        const Listing& l = all[size_t(i)];
        DayState::Stock& s = d.stocks[size_t(i)];
        // Always draw the same numbers per stock so one stock's events never shift another's walk.
        const double gMove = rng.normal();
        const double gLots = rng.normal();
        const double uSign = rng.uniform();
        const double gBid = rng.normal();
        const double gAsk = rng.normal();

        const double sigma = l.volatility * 0.02 / std::sqrt(double(kStepsPerDay));
        qint64 price;
        if (step == kStepsPerDay - 1) {
            s.x = s.logClose;
            price = s.close;
        } else if (s.role == Role::Swing) {
            // Held at its aim with a little bounded noise; over the first steps of the morning it
            // moves there from the open. Lunch and the afternoon simply carry on holding.
            double percent;
            if (step == 0) {
                s.openPercent = std::clamp(0.4 * gMove, -1.0, 1.0);
                percent = s.openPercent;
            } else {
                s.wobble = std::clamp(0.9 * s.wobble + 0.15 * s.band * gMove, -s.band, s.band);
                const double reached = std::min(1.0, double(step) / kRampSteps);
                percent = s.openPercent + (s.aim + s.wobble - s.openPercent) * reached;
            }
            price = std::clamp<qint64>(std::llround(double(s.prev) * (1 + percent / 100)), s.down, s.up);
            s.x = std::log(double(price));
        } else {
            if (step == 0)
                s.x = std::log(double(s.prev)) + 0.006 * l.volatility * gMove;   // opening gap
            else
                s.x += (s.logClose - s.x) / remaining + sigma * gMove;           // pulled to the close
            if (s.pushSteps > 0) {
                s.x += s.pushPerStep;
                --s.pushSteps;
            } else if (step < s.sealUntil) {
                s.x = s.sealSide > 0 ? s.logUp : s.logDown;
            }
            if (s.tradeLots > 0)
                s.x += s.tradeSign * 0.002;
            s.x = std::clamp(s.x, s.logDown, s.logUp);
            price = std::clamp<qint64>(std::llround(std::exp(s.x)), s.down, s.up);
        }

        qint64 lots;
        int sign;
        if (s.tradeLots > 0) {
            lots = s.tradeLots;
            sign = s.tradeSign;
            s.tradeLots = 0;
        } else {
            const qint64 cap = step == 0 ? 900 : 600;
            const double scale = step == 0 ? 8.0 : 1.0;
            lots = std::clamp<qint64>(std::llround(scale * l.liquidity * std::exp(0.7 * gLots)), 1, cap);
            sign = price > s.price ? 1 : price < s.price ? -1 : (uSign < 0.5 ? 1 : -1);
        }
        const bool sealed = step < s.sealUntil && s.pushSteps == 0
                            && price == (s.sealSide > 0 ? s.up : s.down);
        if (sealed)
            sign = s.sealSide;

        // A buy lifts the offer, a sell hits the bid; the other side sits one tick away.
        qint64 bid = sign > 0 ? price - 1 : price;
        qint64 ask = bid + 1;
        if (ask > s.up) {
            ask = s.up;
            bid = s.up - 1;
        }
        if (bid < s.down) {
            bid = s.down;
            ask = s.down + 1;
        }
        s.bid = bid;
        s.ask = ask;
        s.bidVol = std::clamp<qint64>(std::llround(3 * l.liquidity * std::exp(0.6 * gBid)), 1, 900);
        s.askVol = std::clamp<qint64>(std::llround(3 * l.liquidity * std::exp(0.6 * gAsk)), 1, 900);
        if (step < s.orderUntil) {
            if (s.orderSide > 0)
                s.bidVol = s.orderLots;
            else
                s.askVol = s.orderLots;
        }
        if (sealed) {
            // Sealed at the limit: a wall of orders at the limit price and nothing on the other
            // side, which cannot trade beyond it.
            const qint64 wall = 3000 + std::llround(2000 * std::abs(gBid));
            s.bid = s.ask = price;
            s.bidVol = s.sealSide > 0 ? wall : 0;
            s.askVol = s.sealSide > 0 ? 0 : wall;
        }

        s.price = price;
        if (step == 0) {
            s.open = s.high = s.low = price;
        } else {
            s.high = std::max(s.high, price);
            s.low = std::min(s.low, price);
        }
        s.sign = sign;
        s.lastVol = lots;
        countLargeTrade(s.big, step, lots, price, sign);
        s.volume += lots;
        s.amount += double(lots) * double(price) / 10000.0;   // lots x 100 shares x yuan, in 万元
    }

    for (int k = 0; k < 2 && only < 0; ++k) {
        double sum = 0, amount = 0;
        int members = 0;
        for (int i = 0; i < n; ++i) {
            if (!inIndex(k, all[size_t(i)].board))
                continue;
            sum += double(d.stocks[size_t(i)].price) / double(all[size_t(i)].baseCents);
            amount += d.stocks[size_t(i)].amount;
            ++members;
        }
        DayState::Index& x = d.index[size_t(k)];
        x.value = kIndices[size_t(k)].base * sum / members;
        x.amount = amount * kIndices[size_t(k)].amountScale;
        if (step == 0) {
            x.open = x.high = x.low = x.value;
        } else {
            x.high = std::max(x.high, x.value);
            x.low = std::min(x.low, x.value);
        }
    }
    ++d.steps;
}

const Market::DayState& Market::stateAt(const QDate& date, int steps)
{
    if (!day_ || day_->date != date || day_->steps > steps)
        startDay(date);
    while (day_->steps < steps)
        advance();
    return *day_;
}

namespace {

struct Moment {
    QDate date;   // the trading day whose state applies
    int steps;
};

Moment momentOf(const QDateTime& t)
{
    if (Market::isTradingDay(t.date()))
        return {t.date(), Market::stepsDone(t.time())};
    return {Market::previousTradingDay(t.date()), Market::kStepsPerDay};
}

QDateTime validOrNow(const QDateTime& t)
{
    return t.isValid() ? t : QDateTime::currentDateTime();
}

} // namespace

QDateTime Market::dataTime(const QDateTime& t) const
{
    const Moment m = momentOf(t);
    const int s = t.time().msecsSinceStartOfDay() / 1000;
    if (m.date != t.date() || s >= kSessionEnd)
        return QDateTime(m.date, QTime(15, 0));
    if (m.steps == 0)
        return QDateTime(t.date(), QTime::fromMSecsSinceStartOfDay(s * 1000));
    if (s >= kMorningEnd && s < kAfternoonStart)
        return QDateTime(m.date, QTime(11, 30));
    return QDateTime(m.date, stepTime(m.steps - 1));
}

StockQuote Market::makeQuote(int i, const QDateTime& stamp) const
{
    const Listing& l = listings()[size_t(i)];
    const DayState::Stock& s = day_->stocks[size_t(i)];
    StockQuote q;
    q.code = l.code;
    q.name = l.name;
    q.board = l.board;
    q.prevClose = s.prev / 100.0;
    q.last = s.price / 100.0;
    q.open = s.open / 100.0;
    q.high = s.high / 100.0;
    q.low = s.low / 100.0;
    q.bidPrice1 = s.bid / 100.0;
    q.askPrice1 = s.ask / 100.0;
    q.bidVolume1 = day_->steps > 0 ? s.bidVol : 0;
    q.askVolume1 = day_->steps > 0 ? s.askVol : 0;
    q.volume = s.volume;
    q.amount = s.amount;
    q.lastTradeSign = s.sign;
    q.lastTradeVolume = day_->steps > 0 ? s.lastVol : 0;
    q.limitUp = s.up / 100.0;
    q.limitDown = s.down / 100.0;
    q.time = stamp;
    return q;
}

IndexQuote Market::makeIndex(int which, const QDateTime& t) const
{
    const IndexDef& def = kIndices[size_t(which)];
    const DayState::Index& x = day_->index[size_t(which)];
    IndexQuote q;
    q.code = QString::fromLatin1(def.code);
    q.name = QString::fromUtf8(def.name);
    q.value = toCents(x.value) / 100.0;
    q.prevClose = toCents(x.prev) / 100.0;
    q.open = toCents(x.open) / 100.0;
    q.high = toCents(x.high) / 100.0;
    q.low = toCents(x.low) / 100.0;
    q.amount = toCents(x.amount) / 100.0;
    q.time = dataTime(t);

    // Breadth of the whole market, scaled from the simulated members: how many of them are up,
    // down or flat, blended with how far the index itself has moved.
    const auto& all = listings();
    int up = 0, down = 0, flat = 0;
    for (size_t i = 0; i < all.size(); ++i) {
        if (!inIndex(which, all[i].board))
            continue;
        const DayState::Stock& s = day_->stocks[i];
        (s.price > s.prev ? up : s.price < s.prev ? down : flat)++;
    }
    const int members = up + down + flat;
    if (flat == members) {
        q.unchanged = def.members;
        return q;
    }
    const int unchanged = int(std::lround(def.members * (0.03 + 0.3 * flat / double(members))));
    q.unchanged = unchanged;
    const int moving = def.members - unchanged;
    const double byCount = double(up) / double(up + down > 0 ? up + down : 1);
    const double byIndex = 0.5 + 20.0 * (x.value / x.prev - 1.0);
    const double share = std::clamp(0.5 * byCount + 0.5 * byIndex, 0.03, 0.97);
    const int rising = int(std::lround(moving * share));
    q.rising = rising;
    q.falling = moving - rising;
    return q;
}

std::optional<StockQuote> Market::quote(const QString& code, const QDateTime& at)
{
    if (unlisted_)
        return std::nullopt;
    const auto& all = listings();
    for (size_t i = 0; i < all.size(); ++i) {
        if (all[i].code != code)
            continue;
        const QDateTime t = validOrNow(at);
        const Moment m = momentOf(t);
        stateAt(m.date, m.steps);
        return makeQuote(int(i), dataTime(t));
    }
    return std::nullopt;
}

std::optional<BigOrderDay> Market::bigOrders(const QString& code, const QDateTime& at)
{
    const QList<BigOrderDay> days = bigOrderDays(code, at, 1);
    if (days.isEmpty())
        return std::nullopt;
    return days.first();
}

QList<BigOrderDay> Market::bigOrderDays(const QString& code, const QDateTime& at, int count)
{
    if (unlisted_)
        return {};
    const auto& all = listings();
    int stock = -1;
    for (size_t i = 0; i < all.size(); ++i)
        if (all[i].code == code)
            stock = int(i);
    if (stock < 0 || count <= 0)
        return {};
    const QDateTime t = validOrNow(at);
    const Moment m = momentOf(t);
    QList<BigOrderDay> out;
    // Earlier days are walked once for this stock alone, aside from the day the quotes are walking.
    QDate date = m.date;
    for (int k = 1; k < count; ++k) {
        date = previousTradingDay(date);
        auto it = past_->days.find({date, stock});
        if (it == past_->days.end()) {
            if (past_->days.size() > 600)
                past_->days.clear();
            std::unique_ptr<DayState> today = std::move(day_);
            startDay(date);
            while (day_->steps < kStepsPerDay)
                advance(stock);
            const BigOrderDay whole = day_->stocks[size_t(stock)].big;
            day_ = std::move(today);
            it = past_->days.emplace(std::make_pair(date, stock), whole).first;
        }
        BigOrderDay d = it->second;
        d.date = date;
        d.hoursDone = 4;
        out.prepend(d);
    }
    const DayState& day = stateAt(m.date, m.steps);
    BigOrderDay d = day.stocks[size_t(stock)].big;
    d.date = m.date;
    const int s = m.date == t.date() ? t.time().msecsSinceStartOfDay() / 1000 : kSessionEnd;
    d.hoursDone = s >= kSessionEnd ? 4 : s >= 14 * 3600 ? 3 : s >= kMorningEnd ? 2 : s >= 10 * 3600 + 30 * 60 ? 1 : 0;
    out.append(d);
    return out;
}

QList<StockQuote> Market::quotes(const QDateTime& at)
{
    if (unlisted_)
        return {};
    const QDateTime t = validOrNow(at);
    const Moment m = momentOf(t);
    stateAt(m.date, m.steps);
    const QDateTime stamp = dataTime(t);
    QList<StockQuote> out;
    for (size_t i = 0; i < listings().size(); ++i)
        out << makeQuote(int(i), stamp);
    return out;
}

IndexQuote Market::shanghaiIndex(const QDateTime& at)
{
    const QDateTime t = validOrNow(at);
    const Moment m = momentOf(t);
    stateAt(m.date, m.steps);
    return makeIndex(kShanghai, t);
}

IndexQuote Market::shenzhenIndex(const QDateTime& at)
{
    const QDateTime t = validOrNow(at);
    const Moment m = momentOf(t);
    stateAt(m.date, m.steps);
    return makeIndex(kShenzhen, t);
}

QString quoteLineFor(const QString& requested, const std::optional<StockQuote>& q, const QDateTime& t)
{
    QStringList f;
    f << QStringLiteral("var quote_data=[\"1");
    if (!q) {
        f << safeEcho(requested) << QString();
        for (int k = 3; k <= 17; ++k)
            f << QStringLiteral("0");
        f << stampText(t);
    } else {
        const qint64 prev = toCents(q->prevClose);
        const qint64 last = toCents(q->last);
        const qint64 change = last - prev;
        f << q->code << q->name << centsText(last)
          << (change == 0 ? QStringLiteral("0") : percentText(change, prev)) << centsText(change)
          << centsText(toCents(q->bidPrice1)) << QString::number(q->bidVolume1)
          << centsText(toCents(q->askPrice1)) << QString::number(q->askVolume1)
          << QString::number(q->volume) << QString::number(q->amount, 'f', 2)
          << centsText(toCents(q->open)) << centsText(prev) << centsText(toCents(q->high))
          << centsText(toCents(q->low));
        // Without the last trade the line ends here, so fields 16 and on never get their comma.
        if (q->hasLastTrade)
            f << QString::number(q->lastTradeSign) << QString::number(q->lastTradeVolume) << stampText(q->time);
    }
    f << QStringLiteral("\"]\n");
    return f.join(QLatin1Char(','));
}

QString indexPageFor(const IndexQuote& shanghai, const IndexQuote& shenzhen)
{
    // What a source did not give stays an empty field: nothing is made up.
    auto count = [](const std::optional<int>& n) { return n ? QString::number(*n) : QString(); };
    auto price = [](const std::optional<double>& v) { return v ? centsText(toCents(*v)) : QString(); };
    auto fields = [&](const IndexQuote& q) {
        const qint64 value = toCents(q.value);
        const qint64 prev = toCents(q.prevClose);
        QStringList f;
        f << q.name << centsText(value) << centsText(value - prev) << percentText(value - prev, prev)
          << QString::number(q.amount, 'f', 2) << count(q.rising) << count(q.falling) << count(q.unchanged)
          << q.code << centsText(prev) << price(q.open) << price(q.high) << price(q.low) << QString();
        return f.join(QLatin1Char(','));
    };
    return QStringLiteral("var zs=[\"%1\",\"%2\"];\n").arg(fields(shanghai), fields(shenzhen));
}

QString Market::quoteLine(const QString& requested, const QDateTime& at)
{
    const QDateTime t = validOrNow(at);
    return quoteLineFor(requested, isStockCode(requested) ? quote(requested, t) : std::nullopt, t);
}

QString Market::indexPage(const QDateTime& at)
{
    const QDateTime t = validOrNow(at);
    return indexPageFor(shanghaiIndex(t), shenzhenIndex(t));
}

} // namespace feed
