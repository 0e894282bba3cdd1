// The large-order statistics site's three chart pages of a stock: their addresses, the lists they
// fill and the key extraction that reads the chart data ("key=" items separated by "," up to "&").
#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

namespace bigorder {

enum class Page { Hourly, Day, Pie };

// The lists filled from the three pages. Items are stored exactly as the page writes them.
struct BigOrderLists {
    QStringList HourBuyList;    // shares bought in large orders per finished trading hour, oldest first
    QStringList HourSellList;   // the same, sold
    QStringList DayBuyList;     // shares bought in large orders per trading day, oldest first
    QStringList DaySellList;
    QStringList DayLabelList;   // the label of each of those days
    QStringList PieValueList;   // each size bucket's share of today's large-order turnover, in percent
    QStringList PieColourList;  // the bucket's colour code ("#FF6666"), which identifies the bucket
};

// "sh" for codes starting with 6, "sz" otherwise.
QString marketOf(const QString& code);
// BigOrderBase + "/stock/" + market + "/" + code + "/single-bar.htm" (single-barDay.htm, single-pie.htm).
QString pageAddress(const QString& base, const QString& code, Page page);

// One key of a page and the list its items go to. With `firstOnly` the key is armed only where it
// first occurs in the text.
struct KeyTarget {
    QStringView key;
    QStringList* list;
    bool firstOnly = false;
};

// Each key is armed where the text holds it; an armed key meeting "&" appends the items before it
// (split at ",", empty items kept) to its list and is disarmed. A key that occurs again appends
// again; met again before its "&", it starts its value again. Keys hold no "&", an empty key
// matches nothing, and each key has a list of its own.
void extractKeys(QStringView text, const QList<KeyTarget>& keys);

// Hourly page: empties both hourly lists, then fills them unless the text holds "values=&" (no
// trading hour over yet). Returns false in that case: the chart and its caption stay as they are.
bool parseHourPage(QStringView text, BigOrderLists& lists);
// Day page: empties and fills the day buy, sell and label lists.
void parseDayPage(QStringView text, BigOrderLists& lists);
// Pie page: empties and fills the pie lists; the values are taken only at the first "values=".
void parsePiePage(QStringView text, BigOrderLists& lists);

// What the page's body holds: the text between the opening <body ...> tag and the last </body>,
// or the whole text when the page has no body tag.
QStringView bodyMarkup(QStringView document);

} // namespace bigorder
