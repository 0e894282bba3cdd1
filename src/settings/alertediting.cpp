#include "settings/alertediting.h"

namespace settings {

QString stockItemText(const QString& name, const QString& code)
{
    return name + QStringLiteral("(") + code + QStringLiteral(")");
}

bool codeListed(const QStringList& items, const QString& code)
{
    for (const QString& item : items)
        if (item.contains(code))
            return true;
    return false;
}

Lookup lookupFromReply(QStringView reply)
{
    // Walk the fields in order as they close: the name at the third comma, the price at the
    // fourth, the change percent at the fifth.
    Lookup lookup;
    int commas = 0;
    qsizetype start = 0;
    for (qsizetype i = 0; i < reply.size(); ++i) {
        if (reply[i] != u',')
            continue;
        ++commas;
        const QString field = reply.mid(start, i - start).toString();
        start = i + 1;
        if (commas == 3) {
            lookup.name = field;
            if (field.isEmpty())
                return lookup;
        } else if (commas == 4) {
            lookup.priceText = QStringLiteral("最新价:") + field + QStringLiteral("元");
        } else if (commas == 5) {
            lookup.falling = field.contains(u'-');
            lookup.complete = true;
            return lookup;
        }
    }
    return lookup;
}

void appendNewStock(store::AlertLists& l, const QString& code, const QString& name)
{
    l.AlertSendOpenClose << QStringLiteral("1");
    l.AlertCodes << code;
    l.AlertNames << name;
    l.AlertFlags << QStringLiteral("0000");
    l.AlertPercent << QStringLiteral("5");
    l.AlertTradeDigits << QStringLiteral("4");
    l.AlertOrderDigits << QStringLiteral("4");
    l.AlertInterval << QStringLiteral("10");
    l.AlertBroadcast << QStringLiteral("0");
}

void removeStock(store::AlertLists& l, int row)
{
    for (QStringList* list : {&l.AlertSendOpenClose, &l.AlertCodes, &l.AlertNames, &l.AlertFlags,
                              &l.AlertTradeDigits, &l.AlertOrderDigits, &l.AlertPercent,
                              &l.AlertInterval, &l.AlertBroadcast})
        if (row >= 0 && row < list->size())
            list->removeAt(row);
}

QString withFlag(QString flags, int position, bool on)
{
    if (position < 1 || position > 4)
        return flags;
    while (flags.size() < 4)
        flags += u'0';
    flags[position - 1] = on ? u'1' : u'0';
    return flags;
}

bool flagOn(const QString& flags, int position)
{
    return position >= 1 && position <= flags.size() && flags[position - 1] == u'1';
}

void copyConfiguration(const store::AlertLists& from, store::AlertLists& to)
{
    to.AlertSendOpenClose = from.AlertSendOpenClose;
    to.AlertCodes = from.AlertCodes;
    to.AlertNames = from.AlertNames;
    to.AlertFlags = from.AlertFlags;
    to.AlertTradeDigits = from.AlertTradeDigits;
    to.AlertOrderDigits = from.AlertOrderDigits;
    to.AlertPercent = from.AlertPercent;
    to.AlertInterval = from.AlertInterval;
    to.AlertBroadcast = from.AlertBroadcast;
    to.LocalAlertsOn = from.LocalAlertsOn;
    to.PhoneAlertsOn = from.PhoneAlertsOn;
}

} // namespace settings
