// Parse rate of the TV channel directory, on a page of realistic size and on one a hundred times
// larger (the scanner must stay linear). Prints one line per figure.
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

void rate(int records, int repeats)
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
    rate(200, 200);
    rate(20000, 2);
    return 0;
}
