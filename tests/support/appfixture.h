// A running sandbox plus everything the windows need: settings pointing at it, a fake clock,
// a recording prompter and browser opener, and a fresh data folder.
#pragma once

#include "app/context.h"
#include "doubles.h"
#include "sandbox.h"

#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <QTest>
#include <memory>

struct AppFixture {
    // `configure` may change the sandbox's options before it starts (the live market, say).
    explicit AppFixture(const QDateTime& now = QDateTime(QDate(2026, 12, 9), QTime(10, 0)),
                        const std::function<void(sandbox::Options&)>& configure = {})
        : clock(now)
    {
        sandbox::Options options;
        options.port = 0;
        options.clockStart = now;
        options.dataDir = dir.filePath("sandbox");
        if (configure)
            configure(options);
        box = std::make_unique<sandbox::Sandbox>(options);
        QString error;
        started = box->start(&error);
        if (!started)
            qWarning("sandbox did not start: %s", qPrintable(error));
        app::Settings s;
        const QString base = box->baseUrl();
        s.ServerBase = s.QuoteServiceBase = s.BigOrderBase = s.ForumBase = s.CommentaryBase =
            s.NoticeBase = s.CompanyPageBase = s.StockSiteBase = s.QqFinanceBase = s.ChatBase = base;
        s.SystemDir = dir.filePath("system");
        context = std::make_unique<app::AppContext>(s, clock, prompter, opener);
    }

    QString systemFile(const QString& name) const { return dir.filePath("system/" + name); }

    int requestCount(const QString& path) const { return int(box->requestsTo(path).size()); }

    // An alert database in the data folder that watches 招商银行(600036) with these settings (trade
    // and order digits alike), local alerts on and phone alerts off: what the first show loads.
    void storeOneWatchedStock(const QString& flags, const QString& digits, const QString& percent,
                              const QString& interval) const
    {
        store::AlertStore s;
        s.createbase(systemFile("gpbd0856.dat"));
        store::AlertLists l;
        l.AlertSendOpenClose = {"1"};
        l.AlertCodes = {"600036"};
        l.AlertNames = {"招商银行"};
        l.AlertFlags = {flags};
        l.AlertTradeDigits = {digits};
        l.AlertOrderDigits = {digits};
        l.AlertPercent = {percent};
        l.AlertInterval = {interval};
        l.AlertBroadcast = {"0"};
        s.SaveAlerts(l);
        s.SaveSwitches(true, false);
    }

    QTemporaryDir dir;
    app::FakeClock clock;
    RecordingPrompter prompter;
    RecordingUrlOpener opener;
    std::unique_ptr<sandbox::Sandbox> box;
    std::unique_ptr<app::AppContext> context;
    bool started = false;
};

// Runs `action` from the event loop once the sandbox holds a request (see holdReplies): the
// moment a handler is waiting on that reply, whatever the machine's load.
inline void whenHeld(sandbox::Sandbox& box, std::function<void()> action)
{
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, &box, action = std::move(action)] {
        if (box.heldWaiting() == 0)
            return;
        poll->stop();
        poll->deleteLater();
        action();
    });
    poll->start(10);
}

inline const QString kQuotePath = QStringLiteral("/EM_Quote2007/optional.aspx");
inline const QString kIndexPath = QStringLiteral("/EM_Quote2007/default.aspx");
