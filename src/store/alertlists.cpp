#include "store/alertlists.h"

namespace store {

void AlertLists::clearConfiguration()
{
    for (QStringList* list : {&AlertSendOpenClose, &AlertCodes, &AlertNames, &AlertFlags,
                              &AlertTradeDigits, &AlertOrderDigits, &AlertPercent, &AlertInterval,
                              &AlertBroadcast})
        list->clear();
}

void AlertLists::clearAll()
{
    clearConfiguration();
    for (QStringList* list : {&LimitAlerted, &TradeAlertState, &OrderAlertState, &PercentAlertState})
        list->clear();
}

void AlertLists::realignStates()
{
    const qsizetype n = AlertFlags.size();
    auto fit = [n](QStringList& list, const char* start) {
        while (list.size() > n)
            list.removeLast();
        while (list.size() < n)
            list.append(QString::fromLatin1(start));
    };
    fit(LimitAlerted, "0");
    fit(TradeAlertState, "-1");
    fit(OrderAlertState, "-1");
    fit(PercentAlertState, "-1");
}

} // namespace store
