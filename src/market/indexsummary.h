// The two index summary lines of the top banner (Shanghai and Shenzhen), their direction flags
// and the desktop ticker's index rows, built from the quote service's index page.
#pragma once

#include <QString>
#include <QStringView>

namespace net { class HttpClient; }

namespace market {

// One index row of the desktop ticker.
struct TickerIndexRow {
    QString value, change, changePercent, amount;
    bool falling = false;   // change has a "-": green cells, otherwise red
};

struct IndexSummary {
    QString line1, line2;   // finished summaries: Shanghai, Shenzhen
    QString flag1, flag2;   // "2" up, "1" down, empty before the first page
    TickerIndexRow shanghai, shenzhen;

    // Line for the banner tick `count`: odd counts line 2, even counts line 1.
    const QString& bannerLine(int count) const { return count % 2 ? line2 : line1; }
    // The banner is bright green while the shown line's flag is "1", red otherwise.
    bool bannerFalling(int count) const { return (count % 2 ? flag2 : flag1) == u"1"; }
};

// Amount in 万元 to whole 亿, halves to the even neighbour; false when it is not a number.
bool amountInYi(QStringView wan, qint64* yi);

// Applies one index page to `summary`. A line is replaced only when its section reaches field
// 12; returns false (the scan stops there) when an amount is not a number.
bool applyIndexPage(QStringView page, IndexSummary& summary);

QString indexAddress(const QString& quoteServiceBase);

// GET the index page and apply it. Throws net::HttpFailure; returns applyIndexPage's result.
bool fetchIndexSummary(net::HttpClient& client, const QString& quoteServiceBase, IndexSummary& summary);

} // namespace market
