// The in-memory alert configuration: parallel lists, entry i of every list describes watched
// stock i, plus the alert check's own state lists and the two delivery switches.
#pragma once

#include <QStringList>

namespace store {

struct AlertLists {
    QStringList AlertSendOpenClose;   // "1": broadcast the opening and closing price
    QStringList AlertCodes;
    QStringList AlertNames;           // as the database returns them
    QStringList AlertFlags;           // four "1"/"0": limit, large trade, large order, percent
    QStringList AlertTradeDigits;     // digit count of a large trade
    QStringList AlertOrderDigits;     // digit count of a large resting order
    QStringList AlertPercent;         // rise/fall threshold in percent
    QStringList AlertInterval;        // phone broadcast interval, minutes
    QStringList AlertBroadcast;       // "1": the server broadcasts the price to the phone
    // The alert check's state, one entry per 第二波 row of the last load.
    QStringList LimitAlerted;         // starts "0"
    QStringList TradeAlertState;      // start "-1"
    QStringList OrderAlertState;
    QStringList PercentAlertState;
    bool LocalAlertsOn = false;
    bool PhoneAlertsOn = false;

    // Empties the nine configuration lists (the dialog edits them afresh).
    void clearConfiguration();
    // Empties all thirteen lists.
    void clearAll();
    // Brings the four state lists to the length of the watched list: entries past the end are
    // dropped, new stocks are armed with the starting values.
    void realignStates();
    int watchedCount() const { return int(AlertCodes.size()); }
};

} // namespace store
