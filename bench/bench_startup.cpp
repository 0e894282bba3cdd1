// Start-up time and resident memory of the real program against an in-process sandbox.
// Start-up: from spawning the process to the sandbox receiving the advertisement-strip request,
// the last request of the first show when the clock stands in trading hours (the current stock's
// quote is then left to the one-second timer). Memory: VmRSS after the program ran 60 s.
#include "benchsupport.h"

#include <QProcess>
#include <algorithm>
#include <vector>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString program = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("huilan");
    const int memorySeconds = argc > 2 ? atoi(argv[2]) : 60;
    const QString clock = QStringLiteral("2026-12-09 10:00:00");

    BenchWorld world;
    if (!world.start(clock))
        return 1;
    sandbox::Sandbox& box = *world.box;

    std::vector<double> times;
    for (int run = 0; run < 5; ++run) {
        box.clearRequests();
        QProcess p;
        p.setProcessEnvironment(world.env);
        QElapsedTimer t;
        t.start();
        p.start(program, {QStringLiteral("--config"), world.ini, QStringLiteral("--clock"), clock});
        if (!waitFor([&] { return !box.requestsTo(QStringLiteral("/gpcgad.html")).isEmpty(); }, 30000)) {
            std::fprintf(stderr, "run %d: the first show did not finish\n", run);
            return 1;
        }
        times.push_back(t.nsecsElapsed() / 1e6);
        if (run < 4) {
            p.kill();
            p.waitForFinished();
            continue;
        }
        waitFor([] { return false; }, memorySeconds * 1000);
        std::printf("resident memory after %d s: %.1f MiB\n", memorySeconds, rssKiB(p.processId()) / 1024.0);
        p.kill();
        p.waitForFinished();
    }
    std::sort(times.begin(), times.end());
    std::printf("start-up to the end of the first show: %.0f ms (median of 5; runs %.0f..%.0f ms)\n",
                times[2], times.front(), times.back());
    return 0;
}
