// What the benchmarks that run the real window set share: boxes and browser addresses printed
// instead of shown, so no window blocks a measurement, a free port and a plain wait.
#pragma once

#include "app/context.h"
#include "core/prompter.h"
#include "net/urlopener.h"
#include "store/alertstore.h"

#include <QDir>
#include <QEventLoop>
#include <QProcess>
#include <QThread>
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

// Starts huilan-sandbox and gives it a second to listen; false (with a message) when it does not start.
inline bool startSandbox(QProcess& sandbox, const QString& bin, const QStringList& args)
{
    sandbox.start(bin, args);
    if (!sandbox.waitForStarted()) {
        std::fprintf(stderr, "huilan-sandbox did not start\n");
        return false;
    }
    QThread::msleep(1000);
    return true;
}

// Settings with every service at `base` and the system folder `systemDir` (created).
inline app::Settings settingsAt(const QString& base, const QString& systemDir)
{
    app::Settings settings;
    settings.ServerBase = settings.QuoteServiceBase = settings.BigOrderBase = settings.ForumBase =
        settings.CommentaryBase = settings.NoticeBase = settings.CompanyPageBase =
            settings.StockSiteBase = settings.QqFinanceBase = settings.ChatBase = base;
    settings.SystemDir = systemDir;
    QDir().mkpath(systemDir);
    return settings;
}

// Watched stocks with the settings a newly added stock gets, as the dialog saves them, and local
// alerts on.
inline void saveWatched(const QString& systemDir, const QStringList& codes)
{
    store::AlertLists lists;
    for (const QString& code : codes) {
        lists.AlertCodes << code;
        lists.AlertNames << code;
        lists.AlertSendOpenClose << "1";
        lists.AlertFlags << "0000";
        lists.AlertPercent << "5";
        lists.AlertTradeDigits << "4";
        lists.AlertOrderDigits << "4";
        lists.AlertInterval << "10";
        lists.AlertBroadcast << "0";
    }
    store::AlertStore db;
    db.createbase(systemDir + u'/' + store::kAlertDatabaseFile);
    db.SaveAlerts(lists);
    db.SaveSwitches(true, false);
}

} // namespace bench
