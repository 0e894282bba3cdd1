// What every benchmark shares: the machine-readable figure line scripts/bench compares with the
// budgets in bench/budgets, and readings of a process's memory and processor time from /proc.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <unistd.h>
#include <vector>

namespace bench {

// One figure: "FIGURE name value unit". Names are the first column of bench/budgets.
inline void figure(const char* name, double value, const char* unit)
{
    std::printf("FIGURE %s %.3f %s\n", name, value, unit);
    std::fflush(stdout);
}

// What scripts/bench tells every benchmark: the program and the sandbox it built, and how long a
// session runs. A benchmark started by hand falls back to the names on PATH and 60 s.
inline QString programPath()
{
    const QByteArray bin = qgetenv("HUILAN_BIN");
    return bin.isEmpty() ? QStringLiteral("huilan") : QString::fromLocal8Bit(bin);
}
inline QString sandboxPath()
{
    const QByteArray bin = qgetenv("HUILAN_SANDBOX_BIN");
    return bin.isEmpty() ? QStringLiteral("huilan-sandbox") : QString::fromLocal8Bit(bin);
}
inline int sessionSeconds()
{
    return qEnvironmentVariableIsSet("HUILAN_BENCH_SECONDS") ? qEnvironmentVariableIntValue("HUILAN_BENCH_SECONDS")
                                                             : 60;
}

// Runs the event loop until done() holds or ms pass; says whether it holds.
inline bool waitFor(const std::function<bool()>& done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// A field of /proc/PID/status in KiB ("VmRSS", "RssAnon", "RssFile"); -1 when unreadable.
inline long statusKiB(qint64 pid, const char* field)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').first().toLong();
    return -1;
}

// User plus system processor time the process has used, in seconds; -1 when unreadable.
inline double cpuSeconds(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray stat = f.readAll();
    // Fields after the command name, which is in parentheses and may hold blanks.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    const double ticks = double(sysconf(_SC_CLK_TCK));
    return (fields[11].toLongLong() + fields[12].toLongLong()) / ticks;   // utime, stime
}

} // namespace bench
