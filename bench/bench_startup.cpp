// Start-up time and resident memory of the real program against an in-process sandbox.
// Start-up: from spawning the process to the sandbox receiving the advertisement-strip request,
// the last request of the first show when the clock stands in trading hours (the current stock's
// quote is then left to the one-second timer). Memory: VmRSS after the program ran 60 s.
#include "sandbox.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

bool waitFor(const std::function<bool()>& done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

long rssKiB(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString program = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("huilan");
    const int memorySeconds = argc > 2 ? atoi(argv[2]) : 60;
    const QString clock = QStringLiteral("2026-12-09 10:00:00");

    QTemporaryDir dir;
    sandbox::Options options;
    options.port = 0;
    options.dataDir = dir.filePath("sandbox");
    options.clockStart = QDateTime::fromString(clock, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    sandbox::Sandbox box(options);
    QString error;
    if (!box.start(&error)) {
        std::fprintf(stderr, "sandbox: %s\n", qPrintable(error));
        return 1;
    }
    const QString ini = dir.filePath("huilan.ini");
    QFile file(ini);
    file.open(QIODevice::WriteOnly);
    file.write(QStringLiteral("[services]\nServerBase=%1\nQuoteServiceBase=%1\n[paths]\nSystemDir=%2\n")
                   .arg(box.baseUrl(), dir.filePath("system")).toUtf8());
    file.close();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QTemporaryDir runtime;   // its own lock folder, so a running copy does not stop the benchmark
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    if (!env.contains(QStringLiteral("DISPLAY")))
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));

    std::vector<double> times;
    for (int run = 0; run < 5; ++run) {
        box.clearRequests();
        QProcess p;
        p.setProcessEnvironment(env);
        QElapsedTimer t;
        t.start();
        p.start(program, {QStringLiteral("--config"), ini, QStringLiteral("--clock"), clock});
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
