// Resident memory of the real program with the big-order charts in use: the clock starts at
// 10:29:40 on a trading day, so the first show fills the day chart, the minute timer reloads the
// hourly and pie pages after 10:30 and the hourly announcement opens the pie window once. VmRSS
// is read 60 s after the start (and again later, when a longer wait is asked for).
#include "sandbox.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>

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
    const int seconds = argc > 2 ? atoi(argv[2]) : 60;
    const QString clock = QStringLiteral("2026-12-09 10:29:40");

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
    QString services = QStringLiteral("[services]\n");
    for (const char* key : {"ServerBase", "QuoteServiceBase", "BigOrderBase", "ForumBase", "CommentaryBase",
                            "NoticeBase", "CompanyPageBase", "StockSiteBase", "QqFinanceBase", "ChatBase"})
        services += QStringLiteral("%1=%2\n").arg(QLatin1String(key), box.baseUrl());
    file.write((services + QStringLiteral("[paths]\nSystemDir=%1\n").arg(dir.filePath("system"))).toUtf8());
    file.close();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QTemporaryDir runtime;
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    if (!env.contains(QStringLiteral("DISPLAY")))
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));

    QProcess p;
    p.setProcessEnvironment(env);
    QElapsedTimer t;
    t.start();
    p.start(program, {QStringLiteral("--config"), ini, QStringLiteral("--clock"), clock});
    const QString hourly = QStringLiteral("/stock/sz/000001/single-bar.htm");
    // The first show's load and the minute timer's reload after 10:30.
    if (!waitFor([&] { return box.requestsTo(hourly).size() >= 2; }, 90000)) {
        std::fprintf(stderr, "the hourly page was not reloaded after 10:30\n");
        p.kill();
        return 1;
    }
    std::printf("hourly page reloaded %.1f s after the start\n", t.elapsed() / 1000.0);
    waitFor([] { return false; }, int(std::max<qint64>(0, 60000 - t.elapsed())));
    std::printf("resident memory after 60 s, both charts filled, pie shown: %.1f MiB\n",
                rssKiB(p.processId()) / 1024.0);
    if (seconds > 60) {
        waitFor([] { return false; }, (seconds - 60) * 1000);
        std::printf("resident memory after %d s: %.1f MiB\n", seconds, rssKiB(p.processId()) / 1024.0);
    }
    p.kill();
    p.waitForFinished();
    return 0;
}
