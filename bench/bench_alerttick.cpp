// One alert tick over 100 watched stocks against an in-process sandbox: wall time per tick and
// requests per second, median of 10 ticks. Each tick makes one quote request per stock, one
// after another, over a fresh connection, as the program does every five seconds.
#include "alerts/alertengine.h"
#include "market.h"
#include "market/quote.h"
#include "net/httpclient.h"
#include "sandbox.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int watched = 100;
    const QDateTime moment(QDate(2026, 12, 9), QTime(10, 15));

    sandbox::Options options;
    options.port = 0;
    options.clockStart = moment;
    sandbox::Sandbox box(options);
    QString error;
    if (!box.start(&error)) {
        std::fprintf(stderr, "sandbox: %s\n", qPrintable(error));
        return 1;
    }

    store::AlertLists lists;
    const QStringList codes = box.market().codes();
    for (int i = 0; i < watched; ++i) {
        lists.AlertSendOpenClose << "1";
        lists.AlertCodes << codes[i % codes.size()];
        lists.AlertNames << QString();
        lists.AlertFlags << "1111";
        lists.AlertTradeDigits << "4";
        lists.AlertOrderDigits << "4";
        lists.AlertPercent << "5";
        lists.AlertInterval << "10";
        lists.AlertBroadcast << "0";
    }
    lists.LocalAlertsOn = true;

    alerts::AlertEngine engine;
    net::HttpClient client(QStringLiteral("IdHTTPgj"));
    client.setReadTimeout(6000);
    const QString base = box.baseUrl();
    auto fetch = [&](const QString& code) { return market::fetchQuote(client, base, code); };

    std::vector<double> ms;
    for (int tick = 0; tick < 10; ++tick) {
        QElapsedTimer t;
        t.start();
        const alerts::TickResult r = engine.Timer4Timer(moment.addSecs(5 * tick), lists, fetch);
        ms.push_back(t.nsecsElapsed() / 1e6);
        if (r.aborted || r.fetched.size() != watched) {
            std::fprintf(stderr, "tick %d did not fetch every stock\n", tick);
            return 1;
        }
    }
    std::sort(ms.begin(), ms.end());
    const double median = ms[ms.size() / 2];
    std::printf("alert tick, %d watched stocks: %.1f ms per tick (median of 10; %.1f..%.1f ms), "
                "%.0f requests/s, %.2f ms per request\n",
                watched, median, ms.front(), ms.back(), watched / (median / 1000.0), median / watched);
    return 0;
}
