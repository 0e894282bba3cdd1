// Start-up of the real program (HUILAN_BIN) against huilan-sandbox in trading hours: from
// spawning the process to the program saying, on stderr, that the first show is done and every
// window exists (HUILAN_STARTUP_MARK asks it to). Median of 5 starts, each with a fresh data
// folder, so the first start's database creation is in every run. Also the processor time the
// program used until then, which a busy machine does not stretch as it stretches the wall time.
#include "figure.h"
#include "sandboxprocess.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString program = bench::programPath();

    QTemporaryDir dir;
    bench::SandboxProcess box;
    if (!box.start(dir.filePath("sandbox")))
        return 1;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HUILAN_STARTUP_MARK"), QStringLiteral("1"));
    if (!env.contains(QStringLiteral("DISPLAY")))
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));

    std::vector<double> times, cpu;
    for (int run = 0; run < 5; ++run) {
        QTemporaryDir runDir;   // fresh data folder, and a lock folder of its own
        const QString ini = runDir.filePath("huilan.ini");
        if (!box.writeSettings(ini, runDir.filePath("system")))
            return 1;
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runDir.path());
        QProcess p;
        p.setProcessEnvironment(env);
        QEventLoop loop;
        bool started = false;
        QByteArray err;
        QObject::connect(&p, &QProcess::readyReadStandardError, &loop, [&] {
            err += p.readAllStandardError();
            if (err.contains("huilan: started")) {
                started = true;
                loop.quit();
            }
        });
        QObject::connect(&p, &QProcess::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(30000, &loop, &QEventLoop::quit);
        QElapsedTimer t;
        t.start();
        p.start(program, {QStringLiteral("--config"), ini, QStringLiteral("--clock"),
                          QString::fromLatin1(bench::SandboxProcess::kClock)});
        loop.exec();
        const double ms = t.nsecsElapsed() / 1e6;
        cpu.push_back(bench::cpuSeconds(p.processId()) * 1000);
        p.kill();
        p.waitForFinished();
        if (!started) {
            std::fprintf(stderr, "run %d: the program did not report the end of its first show:\n%s\n", run,
                         err.constData());
            return 1;
        }
        times.push_back(ms);
    }
    std::sort(times.begin(), times.end());
    std::printf("start-up to the end of the first show: %.1f ms median of 5 (%.1f..%.1f ms)\n",
                bench::median(times), times.front(), times.back());
    bench::figure("first_show_ms", bench::median(times), "ms");
    // Processor time the program used up to then: the part of the figure a busy machine does not
    // stretch (counted in clock ticks of 10 ms).
    bench::figure("first_show_cpu_ms", bench::median(cpu), "ms");
    return 0;
}
