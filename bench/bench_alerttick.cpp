// One alert tick over 100 watched stocks against huilan-sandbox running as a process of its own
// (as a real server would, it answers outside the program's processor time): wall time per tick
// and per request, median of 10 ticks. Each tick makes one quote request per stock, one after
// another, over a fresh connection, as the program does every five seconds.
#include "alerts/alertengine.h"
#include "figure.h"
#include "market/quote.h"
#include "net/httpclient.h"
#include "sandboxprocess.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int watched = 100;
    const QDateTime moment(QDate(2026, 12, 9), QTime(10, 15));

    QTemporaryDir dir;
    bench::SandboxProcess box;
    if (!box.start(dir.filePath("sandbox")))
        return 1;

    store::AlertLists lists;
    const QStringList codes = bench::SandboxProcess::codes();
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
    const double cpuStart = bench::cpuSeconds(QCoreApplication::applicationPid());
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
    bench::figure("alert_tick_100_ms", median, "ms");
    bench::figure("alert_request_ms", median / watched, "ms");
    // The program's own processor time per tick, which a busy machine does not stretch.
    bench::figure("alert_tick_cpu_ms",
                  (bench::cpuSeconds(QCoreApplication::applicationPid()) - cpuStart) * 1000 / 10, "ms");
    return 0;
}
