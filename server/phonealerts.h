// What the companion server decides for one phone number on each tick: the program's own alert
// rules (its rule code, run on the tables the program mirrored), the phone's price broadcast
// every few minutes, and the limits a phone needs against repetition.
#pragma once

#include "alerts/alertengine.h"
#include "market/quote.h"
#include "store/alertlists.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>

namespace server::phone {

// The three tables a number's program mirrored: table 1 names the stocks whose opening and
// closing prices are broadcast, table 2 holds each stock's alert settings, table 3 the stocks
// whose price goes to the phone every `minutes`.
struct StockRow {
    QString code;
    QString name;
    QString flags;         // four "1"/"0": limit, large trade, large order, rise/fall
    QString tradeDigits;
    QString orderDigits;
    QString percent;
    bool operator==(const StockRow&) const = default;
};
struct IntervalRow {
    QString code;
    QString name;
    int minutes = 0;
    bool operator==(const IntervalRow&) const = default;
};
struct MirroredTables {
    QStringList openClose;   // codes of table 1
    QList<StockRow> rows;
    QList<IntervalRow> intervals;
    bool operator==(const MirroredTables&) const = default;
};

// One alert of a tick with the key that makes it happen once: the number, the kind, the stock,
// the trading day and the direction, five-minute window or broadcast slot.
struct PhoneAlert {
    QString key;
    QString text;
};

// All of one number's new alerts of one tick, in one message.
struct PhoneMessage {
    QString number;
    QString title;
    QString text;
    QList<PhoneAlert> alerts;
};

class NumberWatch {
public:
    NumberWatch(const QString& number, const MirroredTables& tables);

    const QString& number() const { return number_; }
    // Every code whose quote a tick needs.
    QStringList codes() const;

    // One tick at local time `now`, `elapsedSeconds` after the one before (the cooldowns count
    // on by as much). `quotes` holds the batch's quote of every code it could read; a code
    // without one ends the rule checks of this tick, as a failed quote ends the program's tick.
    // Nothing when there is nothing new to say.
    std::optional<PhoneMessage> tick(const QDateTime& now, int elapsedSeconds,
                                     const QHash<QString, market::StockQuote>& quotes);

private:
    void add(QList<PhoneAlert>& out, const QString& key, const QString& text);

    QString number_;
    store::AlertLists lists_;
    alerts::AlertEngine engine_;
    QList<IntervalRow> intervals_;
    QDate day_;
    QSet<QString> decided_;   // keys already decided today
};

} // namespace server::phone
