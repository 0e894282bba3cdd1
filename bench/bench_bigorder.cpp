// Resident memory of the real program with the big-order charts in use: the clock starts at
// 10:30:00 on a trading day, so the first show fills the hourly chart (one finished hour) and the
// day chart, Timer7's first tick announces the hour and opens the pie window, and the minute timer
// reloads the hourly and pie pages. VmRSS is read 60 s after the start (and again later, when a
// longer wait is asked for).
#include "benchsupport.h"

#include <QProcess>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString program = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("huilan");
    const int seconds = argc > 2 ? atoi(argv[2]) : 60;
    const QString clock = QStringLiteral("2026-12-09 10:30:00");

    BenchWorld world;
    if (!world.start(clock))
        return 1;
    sandbox::Sandbox& box = *world.box;

    QProcess p;
    p.setProcessEnvironment(world.env);
    QElapsedTimer t;
    t.start();
    p.start(program, {QStringLiteral("--config"), world.ini, QStringLiteral("--clock"), clock});
    const QString hourly = QStringLiteral("/stock/sz/000001/single-bar.htm");
    if (!waitFor([&] { return !box.requestsTo(hourly).isEmpty(); }, 30000)) {
        std::fprintf(stderr, "the first show did not load the hourly page\n");
        p.kill();
        return 1;
    }
    waitFor([] { return false; }, int(std::max<qint64>(0, 60000 - t.elapsed())));
    std::printf("resident memory after 60 s, both charts filled, pie shown: %.1f MiB "
                "(hourly page loaded %d times)\n",
                rssKiB(p.processId()) / 1024.0, int(box.requestsTo(hourly).size()));
    if (seconds > 60) {
        waitFor([] { return false; }, (seconds - 60) * 1000);
        std::printf("resident memory after %d s: %.1f MiB\n", seconds, rssKiB(p.processId()) / 1024.0);
    }
    p.kill();
    p.waitForFinished();
    return 0;
}
