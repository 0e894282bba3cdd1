// The alert tick and the cooldown clock: decides which price broadcasts and alerts to show for
// the watched stocks, and returns texts and window choices; the main window shows them.
#pragma once

#include "market/quote.h"
#include "store/alertlists.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace alerts {

// The four alert windows: TForm6, TForm7, TForm8 and TForm9.
enum class AlertKind { Limit, LargeTrade, LargeOrder, RiseFall };
// Which picture the limit and rise/fall windows show; the other two windows have none.
enum class Icon { None, Up, Down };
// The three daily price broadcasts.
enum class BroadcastKind { Opening, Midday, Closing };

// One alert to put into its window.
struct AlertShow {
    AlertKind kind = AlertKind::Limit;
    QString line1;
    QString line2;          // the quote line
    bool falling = false;   // line 2 green RGB(0,128,0) if true, red RGB(255,0,0) otherwise
    Icon icon = Icon::None;
    QString code;           // the stock it is about
};

// The broadcast grid (TForm5): title, column-2 heading and one row per stock.
struct Broadcast {
    BroadcastKind kind = BroadcastKind::Opening;
    QString title;
    QString heading;
    QList<QStringList> rows;   // number, name(code), value, percent with arrow, volume
};

// What one tick decided.
struct TickResult {
    bool stopTimer1 = false;              // weekend: the main window stops its one-second timer
    std::optional<Broadcast> broadcast;   // show the broadcast grid
    QList<AlertShow> alerts;              // in showing order; a later one of a kind overwrites an earlier
    QStringList fetched;                  // codes asked for, in order, the failing one included
    bool aborted = false;                 // the tick ended early on a failure
};

// Fetches one stock's quote; may throw net::HttpFailure or SilentAbort.
using QuoteFetch = std::function<market::StockQuote(const QString& code)>;

class AlertEngine {
public:
    // The whole alert tick at local moment `now`: fetches through `fetch` (the engine itself turns
    // an unchanged "0" change percent into "0.0"), reads and updates the state lists in `lists`.
    // A fetch failure, a change percent that is not a number or a missing list entry ends the tick
    // early with `aborted` set; the result then holds what was decided before. Never throws.
    TickResult Timer4Timer(const QDateTime& now, store::AlertLists& lists, const QuoteFetch& fetch);

    // The one-second cooldown clock: counts up every running cooldown and re-arms it after 300.
    void Timer6Timer(store::AlertLists& lists);

    // Whether the broadcast was already shown on the trading day of the last tick.
    bool broadcastDone(BroadcastKind kind) const;

private:
    QDate day_;                  // the trading day the flags below belong to
    bool done_[3] = {false, false, false};
};

} // namespace alerts
