// Parse rates of the quote record and the index page. Prints one line per figure.
#include "figure.h"
#include "market/indexsummary.h"
#include "market/quote.h"

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
    return sink == -1;
}
