// Parse rates of the quote record, the index page and the TV channel directory (on a page of
// realistic size and on one a hundred times larger: the scanner must stay linear). Prints one
// line per figure.
#include "figure.h"
#include "market/indexsummary.h"
#include "market/quote.h"
#include "tv/tvdirectory.h"

#include <QElapsedTimer>
#include <QString>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

template <class F>
double medianSeconds(int runs, F&& body)
{
    std::vector<double> times;
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer t;
        t.start();
        body();
        times.push_back(t.nsecsElapsed() / 1e9);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// `records` records like the server's: a category every 20, groups every 5, channels between.
QString directory(int records)
{
    QString page = QStringLiteral("<html><body text=\"#000000\">\r\n");
    for (int i = 0; i < records; ++i) {
        const bool category = i % 20 == 0, group = i % 5 == 0;
        page += QStringLiteral("频道%1&1gsso9..sw-dw`lokd-bm9/7/4/live/ch%1&2%2&3%3&4%4***\r\n")
                    .arg(i)
                    .arg(category ? 0 : i / 20 + 1)
                    .arg(category ? i / 20 + 1 : i / 5)
                    .arg(group ? 0 : 1);
    }
    return page + QStringLiteral("</body></html>");
}

void directoryRate(int records, int repeats)
{
    const QString page = directory(records);
    const double bytes = page.toUtf8().size();
    volatile qsizetype sink = 0;
    const double seconds = medianSeconds(5, [&] {
        for (int i = 0; i < repeats; ++i)
            sink = sink + tv::parseTvDirectory(page).channels.size();
    });
    std::printf("TV directory parse, %d records (%.0f KB): %.1f MB/s, %.3f ms per page (median of 5 runs of %d)\n",
                records, bytes / 1024, repeats * bytes / seconds / 1e6, seconds / repeats * 1e3, repeats);
}

} // namespace

int main()
{
    const QString quote = QStringLiteral(
        "var quote_data=[\"1,600036,招商银行,35.12,2.15%,0.74,35.11,120,35.12,88,456789,160234.5,"
        "34.50,34.38,35.50,34.40,-1,35,2026-12-09 10:15:03\"]\n");
    const int records = 200000;
    volatile int sink = 0;
    const double quoteSeconds = medianSeconds(5, [&] {
        for (int i = 0; i < records; ++i)
            sink = sink + market::parseQuote(quote).fieldCount;
    });
    std::printf("quote parse: %.0f records/s (median of 5 runs of %d records)\n",
                records / quoteSeconds, records);
    bench::figure("quote_parse_mrecords_s", records / quoteSeconds / 1e6, "M/s");

    // An index page of realistic size: both sections inside about 2 KB of surrounding text.
    QString page = QString(900, u'x') + QStringLiteral(
        "上证指数,3245.67,-12.34,-0.38%,25123456,520,410,80,000001,3258.01,3250.00,3260.11,3240.22,")
        + QString(600, u'y') + QStringLiteral(
        "深证成指,10234.5,5.5,0.05%,30123456,900,700,100,399001,10229.0,10220.1,10240.2,10210.3,")
        + QString(400, u'z');
    const double pageBytes = page.toUtf8().size();
    const int pages = 20000;
    const double indexSeconds = medianSeconds(5, [&] {
        for (int i = 0; i < pages; ++i) {
            market::IndexSummary s;
            market::applyIndexPage(page, s);
            sink = sink + int(s.line1.size());
        }
    });
    std::printf("index page parse: %.1f MB/s (median of 5 runs of %d pages of %.0f bytes)\n",
                pages * pageBytes / indexSeconds / 1e6, pages, pageBytes);
    bench::figure("index_parse_mb_s", pages * pageBytes / indexSeconds / 1e6, "MB/s");
    directoryRate(200, 200);
    directoryRate(20000, 2);
    return sink == -1;
}
