#include "phonealerts.h"

#include "core/calendar.h"
#include "core/guard.h"

namespace server::phone {

namespace {

using alerts::AlertKind;

// Minutes into the trading day at `t` (9:30-11:30 and 13:00-15:00 count), or nothing outside them.
std::optional<int> tradingMinute(const QTime& t)
{
    const int m = t.hour() * 60 + t.minute();
    if (m >= 9 * 60 + 30 && m < 11 * 60 + 30)
        return m - (9 * 60 + 30);
    if (m >= 13 * 60 && m < 15 * 60)
        return 120 + m - 13 * 60;
    return std::nullopt;
}

QString kindName(AlertKind kind)
{
    switch (kind) {
    case AlertKind::Limit: return QStringLiteral("limit");
    case AlertKind::LargeTrade: return QStringLiteral("trade");
    case AlertKind::LargeOrder: return QStringLiteral("order");
    case AlertKind::RiseFall: return QStringLiteral("risefall");
    }
    return QString();
}

} // namespace

NumberWatch::NumberWatch(const QString& number, const MirroredTables& tables) : number_(number), intervals_(tables.intervals)
{
    for (const StockRow& row : tables.rows) {
        lists_.AlertCodes << row.code;
        lists_.AlertNames << row.name;
        lists_.AlertFlags << row.flags;
        lists_.AlertTradeDigits << row.tradeDigits;
        lists_.AlertOrderDigits << row.orderDigits;
        lists_.AlertPercent << row.percent;
        lists_.AlertSendOpenClose << (tables.openClose.contains(row.code) ? QStringLiteral("1") : QStringLiteral("0"));
        lists_.AlertInterval << QString();
        lists_.AlertBroadcast << QStringLiteral("0");
    }
    lists_.LocalAlertsOn = true;   // the rules run here for the phone
}

QStringList NumberWatch::codes() const
{
    QStringList out = lists_.AlertCodes;
    for (const IntervalRow& r : intervals_)
        if (!out.contains(r.code))
            out << r.code;
    return out;
}

void NumberWatch::add(QList<PhoneAlert>& out, const QString& key, const QString& text)
{
    const QString full = number_ + u'|' + key;
    // Two alerts of one key in the same tick (a large bid and a large ask) go out together.
    for (PhoneAlert& a : out)
        if (a.key == full)
            return void(a.text += u'\n' + text);
    if (decided_.contains(full))
        return;
    decided_.insert(full);
    out.append({full, text});
}

std::optional<PhoneMessage> NumberWatch::tick(const QDateTime& now, int elapsedSeconds,
                                              const QHash<QString, market::StockQuote>& quotes)
{
    if (now.date() != day_) {
        // A new day: every rule is armed again (the program re-arms them when it loads its lists).
        day_ = now.date();
        decided_.clear();
        for (QStringList* states : {&lists_.LimitAlerted, &lists_.TradeAlertState, &lists_.OrderAlertState, &lists_.PercentAlertState})
            states->clear();
    }
    // The cooldowns count down a second at a time; with none running (every state armed, "-1")
    // there is nothing to count, which is the case for most numbers on most ticks.
    const auto cooling = [this] {
        for (const QStringList* states : {&lists_.TradeAlertState, &lists_.OrderAlertState, &lists_.PercentAlertState})
            for (const QString& state : *states)
                if (state != u"-1")
                    return true;
        return false;
    };
    for (int s = 0; s < elapsedSeconds && s < 300 && cooling(); ++s)
        engine_.Timer6Timer(lists_);
    const QString day = now.date().toString(Qt::ISODate);
    QList<PhoneAlert> out;

    // The program's rules, on the batch's quotes.
    const alerts::TickResult result = engine_.Timer4Timer(now, lists_, [&quotes](const QString& code) {
        const auto it = quotes.constFind(code);
        if (it == quotes.constEnd())
            throw SilentAbort{};
        return *it;
    });
    if (result.broadcast) {
        QStringList lines{result.broadcast->title};
        for (const QStringList& row : result.broadcast->rows)
            lines << row.mid(1).join(u' ');
        add(out, QStringLiteral("broadcast|%1|%2").arg(int(result.broadcast->kind)).arg(day), lines.join(u'\n'));
    }
    const int window = (now.time().hour() * 60 + now.time().minute()) / 5;
    for (const alerts::AlertShow& a : result.alerts) {
        // Limit and rise/fall once per stock, direction and day; large trades and orders once per
        // stock and kind in five minutes.
        const QString slot = a.kind == AlertKind::Limit || a.kind == AlertKind::RiseFall
                                 ? (a.falling ? QStringLiteral("down") : QStringLiteral("up"))
                                 : QStringLiteral("w%1").arg(window);
        add(out, QStringLiteral("%1|%2|%3|%4").arg(kindName(a.kind), a.code, day, slot), a.line1 + u'\n' + a.line2);
    }

    // The phone's own broadcast: each listed stock's price every `minutes` of trading time.
    const std::optional<int> minute = app::isWeekend(now.date()) ? std::nullopt : tradingMinute(now.time());
    if (minute) {
        for (const IntervalRow& r : intervals_) {
            const auto q = quotes.constFind(r.code);
            if (r.minutes <= 0 || q == quotes.constEnd() || *minute % r.minutes != 0)
                continue;
            add(out, QStringLiteral("price|%1|%2|%3").arg(r.code, day).arg(*minute / r.minutes),
                QStringLiteral("%1(%2) %3元 %4").arg(q->name, r.code, q->lastPrice, q->changePercent));
        }
    }
    if (out.isEmpty())
        return std::nullopt;
    PhoneMessage message{number_, QStringLiteral("汇澜股价提示 ") + now.toString(QStringLiteral("HH:mm")), QString(), out};
    QStringList texts;
    for (const PhoneAlert& a : out)
        texts << a.text;
    message.text = texts.join(QStringLiteral("\n\n"));
    return message;
}

} // namespace server::phone
