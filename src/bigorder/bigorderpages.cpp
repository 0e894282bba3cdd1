#include "bigorder/bigorderpages.h"

#include "net/scan.h"

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

void extractKeys(QStringView text, const QList<KeyTarget>& keys)
{
    struct Armed {
        bool armed = false;
        bool seen = false;
        qsizetype start = 0;
    };
    QList<Armed> state(keys.size());
    for (qsizetype p = 0; p < text.size(); ++p) {
        for (qsizetype k = 0; k < keys.size(); ++k) {
            const KeyTarget& key = keys[k];
            Armed& s = state[k];
            if (net::at(text, p, key.key) && !(key.firstOnly && s.seen)) {
                s.armed = true;
                s.seen = true;
                s.start = p + key.key.size();
            }
            if (s.armed && text[p] == u'&') {
                const QStringView value = text.mid(s.start, p - s.start);
                for (QStringView item : value.split(u','))
                    key.list->append(item.toString());
                s.armed = false;
            }
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
