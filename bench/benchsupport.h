// What the benchmarks that run the real program share: a sandbox on a free port with its clock
// set, a settings file pointing every service at it, waiting with the event loop running, and the
// resident memory of a process.
#pragma once

#include "sandbox.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>
#include <memory>

inline bool waitFor(const std::function<bool()>& done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

// VmRSS of process `pid` in KiB, -1 when it cannot be read.
inline long rssKiB(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

struct BenchWorld {
    QTemporaryDir dir;
    QTemporaryDir runtime;   // its own lock folder, so a running copy does not stop the benchmark
    std::unique_ptr<sandbox::Sandbox> box;
    QString ini;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();

    // Starts the sandbox with its clock at `clock` ("yyyy-MM-dd HH:mm:ss") and writes the settings.
    bool start(const QString& clock)
    {
        sandbox::Options options;
        options.port = 0;
        options.dataDir = dir.filePath("sandbox");
        options.clockStart = QDateTime::fromString(clock, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        box = std::make_unique<sandbox::Sandbox>(options);
        QString error;
        if (!box->start(&error)) {
            std::fprintf(stderr, "sandbox: %s\n", qPrintable(error));
            return false;
        }
        ini = dir.filePath("huilan.ini");
        QFile file(ini);
        file.open(QIODevice::WriteOnly);
        QString text = QStringLiteral("[services]\n");
        for (const char* key : {"ServerBase", "QuoteServiceBase", "BigOrderBase", "ForumBase", "CommentaryBase",
                                "NoticeBase", "CompanyPageBase", "StockSiteBase", "QqFinanceBase", "ChatBase"})
            text += QStringLiteral("%1=%2\n").arg(QLatin1String(key), box->baseUrl());
        file.write((text + QStringLiteral("[paths]\nSystemDir=%1\n").arg(dir.filePath("system"))).toUtf8());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        if (!env.contains(QStringLiteral("DISPLAY")))
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        return true;
    }
};
