#include "bigorder/bigorderpages.h"


namespace bigorder {

QString marketOf(const QString& code)
{
    return code.startsWith(u'6') ? QStringLiteral("sh") : QStringLiteral("sz");
}

QString pageAddress(const QString& base, const QString& code, Page page)
{
    QString file;
    switch (page) {
    case Page::Hourly: file = QStringLiteral("single-bar.htm"); break;
    case Page::Day: file = QStringLiteral("single-barDay.htm"); break;
    case Page::Pie: file = QStringLiteral("single-pie.htm"); break;
    }
    return base + QStringLiteral("/stock/") + marketOf(code) + u'/' + code + u'/' + file;
}

// Keys never share state, so each is read on its own with indexOf instead of testing every key
// at every position. An armed key's value starts after the last occurrence of the key before the
// closing "&" (a key met again while armed starts the value again), unless the key is armed only
// once. A key holds no "&", so the "&" that closes it always lies after the key.
void extractKeys(QStringView text, const QList<KeyTarget>& keys)
{
    for (const KeyTarget& key : keys) {
        const qsizetype length = key.key.size();
        if (length == 0)
            continue;
        qsizetype from = 0;
        for (qsizetype found = text.indexOf(key.key, from); found >= 0; found = text.indexOf(key.key, from)) {
            qsizetype start = found + length;
            const qsizetype close = text.indexOf(u'&', start);
            if (close < 0)
                break;
            if (!key.firstOnly) {
                for (qsizetype again = text.indexOf(key.key, found + 1); again >= 0 && again < close;
                     again = text.indexOf(key.key, again + 1))
                    start = again + length;
            }
            for (QStringView item : text.sliced(start, close - start).split(u','))
                key.list->append(item.toString());
            if (key.firstOnly)
                break;
            from = close + 1;
        }
    }
}

bool parseHourPage(QStringView text, BigOrderLists& lists)
{
    lists.HourBuyList.clear();
    lists.HourSellList.clear();
    if (text.contains(u"values=&"))
        return false;
    extractKeys(text, {{u"values=", &lists.HourBuyList}, {u"values_2=", &lists.HourSellList}});
    return true;
}

void parseDayPage(QStringView text, BigOrderLists& lists)
{
    lists.DayBuyList.clear();
    lists.DaySellList.clear();
    lists.DayLabelList.clear();
    extractKeys(text, {{u"values=", &lists.DayBuyList},
                       {u"values_2=", &lists.DaySellList},
                       {u"x_labels=", &lists.DayLabelList}});
}

void parsePiePage(QStringView text, BigOrderLists& lists)
{
    lists.PieValueList.clear();
    lists.PieColourList.clear();
    extractKeys(text, {{u"values=", &lists.PieValueList, true}, {u"colours=", &lists.PieColourList}});
}

QStringView bodyMarkup(QStringView document)
{
    const qsizetype open = document.indexOf(u"<body", 0, Qt::CaseInsensitive);
    if (open < 0)
        return document;
    const qsizetype tagEnd = document.indexOf(u'>', open);
    if (tagEnd < 0)
        return document.mid(document.size());
    const qsizetype close = document.lastIndexOf(u"</body>", -1, Qt::CaseInsensitive);
    const qsizetype from = tagEnd + 1;
    return document.mid(from, close >= from ? close - from : document.size() - from);
}

} // namespace bigorder
