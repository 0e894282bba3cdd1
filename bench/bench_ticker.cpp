// CPU of the whole program with the desktop ticker on: the real window set (main window, alert
// tick, index summary, ticker) runs in this process against huilan-sandbox in a child process, with
// ten watched stocks and the clock in trading hours. The process's own CPU time (user + system)
// over the measured span, as a share of one core, once with the ticker off and once with it on.
// Usage: bench_ticker [PATH_TO_HUILAN_SANDBOX [seconds, default 60]]; scripts/bench passes both in
// the environment.
#include "figure.h"
#include "windowbench.h"
#include "app/programicon.h"
#include "core/startupheap.h"
#include "app/context.h"
#include "app/mainwindow.h"
#include "app/tray.h"
#include "app/windowset.h"
#include "core/clock.h"
#include "store/alertstore.h"
#include "core/prompter.h"
#include "net/urlopener.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <sys/resource.h>
#include <cstdio>

namespace {

using bench::freePort;
using bench::runFor;

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + u.ru_stime.tv_sec + u.ru_stime.tv_usec / 1e6;
}

// CPU share of one core while the event loop runs for `seconds`.
double measure(int seconds)
{
    QElapsedTimer wall;
    const double before = cpuSeconds();
    wall.start();
    runFor(seconds * 1000);
    return (cpuSeconds() - before) / (wall.nsecsElapsed() / 1e9) * 100.0;
}

} // namespace

int main(int argc, char** argv)
{
    app::reserveStartupHeap(app::kStartupHeapBytes);   // as main() does
    QApplication application(argc, argv);
    app::useChineseDefaultFont();
    QApplication::setQuitOnLastWindowClosed(false);
    // scripts/bench names the sandbox and the length in the environment; by hand they may be given
    // as arguments: bench_ticker [PATH_TO_HUILAN_SANDBOX [seconds]].
    const QString sandboxBin = argc > 1 ? QString::fromLocal8Bit(argv[1]) : bench::sandboxPath();
    const int seconds = argc > 2 ? atoi(argv[2]) : bench::sessionSeconds();
    const QString start = QStringLiteral("2026-12-09 10:00:00");

    QTemporaryDir dir;
    const quint16 port = freePort();
    QProcess sandbox;
    if (!bench::startSandbox(sandbox, sandboxBin,
                             {QStringLiteral("--port"), QString::number(port), QStringLiteral("--clock"), start,
                              QStringLiteral("--data"), dir.filePath("sandbox"), QStringLiteral("--log"),
                              dir.filePath("requests.log")}))
        return 1;

    const app::Settings settings =
        bench::settingsAt(QStringLiteral("http://127.0.0.1:%1").arg(port), dir.filePath("system"));
    // Ten watched stocks.
    bench::saveWatched(settings.SystemDir, {"600000", "600036", "600030", "601318", "601398", "000001", "000002",
                                            "000651", "002415", "300059"});

    app::RunningClock clock(QDateTime::fromString(start, QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    bench::PrintingPrompter prompter;
    bench::PrintingOpener opener;
    app::AppContext context(settings, clock, prompter, opener);
    app::WindowSet windows(context);
    if (!windows.startUp()) {
        std::fprintf(stderr, "the program ended at start-up\n");
        return 1;
    }
    QTimer::singleShot(app::kStartupHeapSeconds * 1000, [] { app::releaseStartupHeap(); });
    std::printf("watched stocks: %d\n", context.alerts.watchedCount());
    runFor(5000);   // the first pages arrive

    const double off = measure(seconds);
    std::printf("ticker off: %.2f %% of one core over %d s\n", off, seconds);
    bench::figure("cpu_ticker_off_percent", off, "%");
    windows.main().tray().item("N13")->trigger();
    runFor(2000);
    QFile log(dir.filePath("requests.log"));
    log.open(QIODevice::ReadOnly);
    const qint64 logStart = log.size();
    const double on = measure(seconds);
    log.seek(logStart);
    int quotes = 0;
    for (const QByteArray& line : log.readAll().split('\n'))
        quotes += line.contains("optional.aspx") ? 1 : 0;
    std::printf("ticker on:  %.2f %% of one core over %d s (%d quote requests, ticker and alert tick)\n",
                on, seconds, quotes);
    bench::figure("cpu_ticker_on_percent", on, "%");
    sandbox.kill();
    sandbox.waitForFinished();
    return 0;
}
