#include "alerts/alertengine.h"

#include "core/calendar.h"
#include "net/failure.h"

#include <algorithm>
#include <cmath>
#include <exception>

namespace alerts {

namespace {

using market::StockQuote;

// A cooldown reaches this many seconds and the alert is armed again on the next second.
constexpr int kCooldownSeconds = 300;
// A change beyond this many percent counts as near the daily limit.
constexpr double kLimitPercent = 9.0;

// Ends the tick silently, as a failed fetch does.
[[noreturn]] void endTick()
{
    throw SilentAbort{};
}

// Entry i of a list; a missing entry ends the tick instead of reading past the end.
QString& entry(QStringList& list, qsizetype i)
{
    if (i < 0 || i >= list.size())
        endTick();
    return list[i];
}

// A whole-number setting such as a digit count or a percent threshold.
int wholeNumber(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok)
        endTick();
    return value;
}

// The change percent as a number: the text without its unit character ("9.01%" gives 9.01,
// the alert table's "0.0" gives 0). Anything else ends the tick.
double changePercentValue(const StockQuote& q)
{
    QString text = q.changePercent;
    text.chop(1);
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        endTick();
    return value;
}

// Character `position` (from 1) of a stock's four switches is "1"; a short switch text is off.
bool switchOn(const QString& flags, int position)
{
    return flags.size() >= position && flags.at(position - 1) == u'1';
}

bool isDown(const QString& text)
{
    return text.contains(u'-');
}

// Strictly between the two times, compared on whole seconds.
bool between(const QTime& t, const QTime& from, const QTime& to)
{
    return from < t && t < to;
}

bool inTradingHours(const QTime& time)
{
    const QTime t = app::wholeSeconds(time);
    return between(t, QTime(9, 30, 0), QTime(11, 30, 0))
           || between(t, QTime(13, 0, 0), QTime(15, 0, 0));
}

QString nameAndCode(const StockQuote& q)
{
    return q.name + u'(' + q.code + u')';
}

// Line 2 of every alert window. The large-trade and large-order windows put no blank before
// the falling arrow.
QString quoteLine(const StockQuote& q, bool down, bool blankBeforeDownArrow = true)
{
    const QString head = QStringLiteral("最新价:") + q.lastPrice;
    const QString volume = QStringLiteral(" 成交量:") + q.volume + QStringLiteral("手");
    if (!down)
        return head + QStringLiteral(" 涨:") + q.change + QStringLiteral("元 幅度:")
               + q.changePercent + QStringLiteral(" ↑") + volume;
    return head + QStringLiteral(" 跌:") + q.change + QStringLiteral("元 幅度:") + q.changePercent
           + (blankBeforeDownArrow ? QStringLiteral(" ↓") : QStringLiteral("↓")) + volume;
}

// One tick's work; failures leave it by SilentAbort, caught by Timer4Timer.
class Tick {
public:
    Tick(const QDateTime& now, store::AlertLists& lists, const QuoteFetch& fetch, TickResult& result)
        : lists_(lists), fetch_(fetch), result_(result), time_(app::timeText(now.time())),
          trading_(inTradingHours(now.time()))
    {
    }

    // Fetches the broadcast's stocks and fills the broadcast grid; the caller marks it done.
    void broadcast(BroadcastKind kind)
    {
        QStringList codes = lists_.AlertCodes;
        const QStringList chosen = lists_.AlertSendOpenClose;
        for (qsizetype i = 0; i < chosen.size(); ++i)
            if (chosen.at(i) == u"1")
                gestockgj(entry(codes, i));
        if (lists_.AlertCodes != codes || lists_.AlertSendOpenClose != chosen)
            endTick();   // edited meanwhile: the next tick broadcasts the new list

        Broadcast b;
        b.kind = kind;
        switch (kind) {
        case BroadcastKind::Opening:
            b.title = QStringLiteral("现在(") + time_ + QStringLiteral(")播报开盘价");
            b.heading = QStringLiteral("开盘价");
            break;
        case BroadcastKind::Midday:
            b.title = QStringLiteral("现在(") + time_ + QStringLiteral(")播报午间收盘价");
            b.heading = QStringLiteral("收盘价");
            break;
        case BroadcastKind::Closing:
            b.title = QStringLiteral("现在(") + time_ + QStringLiteral(")播报收盘价");
            b.heading = QStringLiteral("收盘价");
            break;
        }
        int number = 0;
        for (const StockQuote& q : quotes_) {
            const QString& value = kind == BroadcastKind::Opening ? q.openPrice : q.lastPrice;
            b.rows.append({QString::number(++number), nameAndCode(q), value,
                           q.changePercent + (isDown(q.changePercent) ? u'↓' : u'↑'), q.volume});
        }
        result_.broadcast = std::move(b);
    }

    // Fetches every watched stock, then runs each stock's checks in list order.
    void perStockChecks()
    {
        QStringList codes = lists_.AlertCodes;
        const qsizetype count = lists_.AlertFlags.size();
        for (qsizetype i = 0; i < count; ++i)
            gestockgj(entry(codes, i));
        // Stocks added or removed in the settings while the quotes were awaited: the quotes no
        // longer line up with the rows, so this tick decides nothing and the next one starts afresh.
        if (lists_.AlertCodes != codes || lists_.AlertFlags.size() != count)
            endTick();
        for (qsizetype i = 0; i < count; ++i)
            check(i, quotes_.at(i));
    }

private:
    // Fetches one stock's quote and appends it to the tick's quote table. `code` is a copy: the
    // lists may change while the quote is awaited.
    void gestockgj(QString code)
    {
        result_.fetched.append(code);
        quotes_.append(market::forAlertTable(fetch_(code)));
    }

    void show(AlertKind kind, const QString& line1, const StockQuote& q, bool down, Icon icon,
              bool blankBeforeDownArrow = true)
    {
        result_.alerts.append({kind, line1, quoteLine(q, down, blankBeforeDownArrow), down, icon, q.code});
    }

    // The four kinds for stock i, in the order limit, large trade, large order, rise/fall. Every
    // kind waits for trading hours and its armed state before it reads any number. The lists are
    // looked up afresh, since the settings dialog may have edited them while a quote was awaited.
    void check(qsizetype i, const StockQuote& q)
    {
        const QString flags = entry(lists_.AlertFlags, i);
        QString& limitAlerted = entry(lists_.LimitAlerted, i);
        QString& tradeState = entry(lists_.TradeAlertState, i);
        QString& orderState = entry(lists_.OrderAlertState, i);
        QString& percentState = entry(lists_.PercentAlertState, i);
        const QString warn = QStringLiteral("注意:") + nameAndCode(q);

        if (switchOn(flags, 1) && trading_ && limitAlerted == u"0") {
            const double p = changePercentValue(q);
            if (p > kLimitPercent) {
                limitAlerted = QStringLiteral("1");
                show(AlertKind::Limit, warn + QStringLiteral(" 股价接近涨停或已涨停"), q, false, Icon::Up);
            }
            if (p < -kLimitPercent) {
                limitAlerted = QStringLiteral("1");
                show(AlertKind::Limit, warn + QStringLiteral(" 股价接近跌停或已跌停"), q, true, Icon::Down);
            }
        }

        if (switchOn(flags, 2) && trading_ && tradeState == u"-1"
            && q.lastTradeVolume.size() >= wholeNumber(entry(lists_.AlertTradeDigits, i))) {
            tradeState = QStringLiteral("0");
            const QString ending = q.lastTradeIsSell() ? QStringLiteral("手大卖单成交")
                                                       : QStringLiteral("手大买单成交");
            show(AlertKind::LargeTrade,
                 warn + QStringLiteral("在") + time_ + QStringLiteral("有") + q.lastTradeVolume + ending,
                 q, isDown(q.change), Icon::None, false);
        }

        if (switchOn(flags, 3) && trading_ && orderState == u"-1") {
            // Both sides are looked at in the same tick, so a large bid and a large ask give
            // two alerts and the ask is the one left showing.
            const int digits = wholeNumber(entry(lists_.AlertOrderDigits, i));
            if (q.bidVolume1.size() >= digits && limitAlerted == u"0") {
                orderState = QStringLiteral("0");
                show(AlertKind::LargeOrder,
                     warn + time_ + QStringLiteral("在买①出现") + q.bidVolume1 + QStringLiteral("手买单"),
                     q, isDown(q.change), Icon::None, false);
            }
            if (q.askVolume1.size() >= digits && limitAlerted == u"0") {
                orderState = QStringLiteral("0");
                show(AlertKind::LargeOrder,
                     warn + time_ + QStringLiteral("在卖①出现") + q.askVolume1 + QStringLiteral("手卖单"),
                     q, isDown(q.change), Icon::None, false);
            }
        }

        if (switchOn(flags, 4) && trading_ && percentState == u"-1") {
            // Compared as a double: negating a whole number read from a file could overflow.
            const double threshold = wholeNumber(entry(lists_.AlertPercent, i));
            const double p = changePercentValue(q);
            // The text after 超过 is the stock's own change percent, not the threshold.
            if (p > threshold) {
                percentState = QStringLiteral("0");
                show(AlertKind::RiseFall, warn + QStringLiteral(" 涨幅超过") + q.changePercent, q,
                     false, Icon::Up);
            }
            if (p < -threshold) {
                percentState = QStringLiteral("0");
                show(AlertKind::RiseFall, warn + QStringLiteral(" 跌幅超过") + q.changePercent, q,
                     true, Icon::Down);
            }
        }
    }

    store::AlertLists& lists_;
    const QuoteFetch& fetch_;
    TickResult& result_;
    const QString time_;            // the tick's time of day, as in 9:29:05
    const bool trading_;            // inside the morning or afternoon trading window
    QList<StockQuote> quotes_;      // this tick's quotes, in fetch order
};

// The broadcast whose minute window `hour`:`minute` lies in, if any.
std::optional<BroadcastKind> broadcastWindow(int hour, int minute)
{
    if (hour == 9 && minute >= 28 && minute <= 30)
        return BroadcastKind::Opening;
    if (hour == 11 && minute >= 33 && minute <= 44)
        return BroadcastKind::Midday;
    if (hour == 15 && minute >= 3 && minute <= 9)
        return BroadcastKind::Closing;
    return std::nullopt;
}

} // namespace

TickResult AlertEngine::Timer4Timer(const QDateTime& now, store::AlertLists& lists,
                                    const QuoteFetch& fetch)
{
    TickResult result;
    // A stock added or removed since the last load gets its state entries here, so no check
    // reads a state list past its end.
    lists.realignStates();

    if (app::isWeekend(now.date())) {
        result.stopTimer1 = true;
        return result;
    }
    if (!lists.LocalAlertsOn)
        return result;

    // Each broadcast is shown once per trading day, so a program left running shows the next
    // day's broadcasts too.
    if (now.date() != day_) {
        day_ = now.date();
        std::fill(std::begin(done_), std::end(done_), false);
    }

    try {
        Tick tick(now, lists, fetch, result);
        const app::LocalTime local = app::gettime(now);
        const std::optional<BroadcastKind> due = broadcastWindow(local.hour, local.minute);
        if (due && !done_[int(*due)]) {
            // Marked done only once every quote arrived: a failed fetch leaves the broadcast
            // to the next tick inside the same minutes.
            tick.broadcast(*due);
            done_[int(*due)] = true;
        } else {
            tick.perStockChecks();
        }
    } catch (const SilentAbort&) {
        result.aborted = true;
    } catch (const std::exception&) {
        result.aborted = true;
    } catch (...) {
        result.aborted = true;
    }
    return result;
}

void AlertEngine::Timer6Timer(store::AlertLists& lists)
{
    // The state lists are counted as they are, not fitted to the rows: while the settings dialog
    // edits the rows they still belong to the stocks the dialog opened with, and leaving it without
    // saving brings those rows back. The next alert tick fits them before it reads them.
    for (QStringList* states : {&lists.TradeAlertState, &lists.OrderAlertState, &lists.PercentAlertState}) {
        for (QString& state : *states) {
            if (state == u"-1")
                continue;
            bool ok = false;
            const int seconds = state.toInt(&ok) + 1;
            // An entry that is not a count could never run out; arm it again instead.
            state = !ok || seconds > kCooldownSeconds ? QStringLiteral("-1") : QString::number(seconds);
        }
    }
}

bool AlertEngine::broadcastDone(BroadcastKind kind) const
{
    return done_[int(kind)];
}

} // namespace alerts
