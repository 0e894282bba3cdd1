// What the benchmarks that run the real window set share: boxes and browser addresses printed
// instead of shown, so no window blocks a measurement, a free port and a plain wait.
#pragma once

#include "core/prompter.h"
#include "net/urlopener.h"

#include <QEventLoop>
#include <QTcpServer>
#include <QTimer>
#include <QUrl>
#include <cstdio>

namespace bench {

class PrintingPrompter : public app::Prompter {
public:
    void error(const QString& text, const QString&) override { std::fprintf(stderr, "error: %s\n", qPrintable(text)); }
    void notice(const QString& text, const QString&) override { std::fprintf(stderr, "notice: %s\n", qPrintable(text)); }
    bool question(const QString& text, const QString&) override
    {
        std::fprintf(stderr, "question: %s\n", qPrintable(text));
        return false;
    }
};

class PrintingOpener : public net::UrlOpener {
protected:
    void openWebAddress(const QUrl& url) override { std::fprintf(stderr, "open: %s\n", qPrintable(url.toString())); }
};

inline quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// Runs the event loop for `ms`.
inline void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace bench
