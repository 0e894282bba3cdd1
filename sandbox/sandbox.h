// huilan-sandbox: one local HTTP server standing in for the companion server and every outside
// finance site the application reads. Tests run it in-process on port 0; the executable is a thin
// main() around this class.
#pragma once

#include "faults.h"
#include "requests.h"
#include "store.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>
#include <memory>

namespace feed {
class Market;
class MarketFeed;
}

namespace server::phone {
class PhoneService;
}

namespace sandbox {

using namespace feed;
// The companion server's records and requests, as the sandbox hands them to its callers.
using server::LoggedRequest;
using server::MirroredConfig;

struct Options {
    quint16 port = 8780;
    QHostAddress bind = QHostAddress::LocalHost;
    // A listening socket opened by someone else (systemd's socket activation) to serve on instead
    // of binding `bind`:`port`; -1: none.
    int listenFd = -1;
    // With a handed-over socket: end (idle() is emitted) once no request has come and no
    // connection has been open for this many milliseconds; 0: never. The socket's owner starts the
    // server again on the next connection. A server that bound its own port never ends this way,
    // since nobody would start it again.
    qint64 idleExitMs = 0;
    quint64 seed = 1;
    QDateTime clockStart;   // invalid: the sandbox clock is the system clock
    double speed = 1.0;     // sandbox seconds per real second
    QString dataDir;        // where server-side state (SQLite) lives; empty: a temporary folder
    QString logFile;        // one line per request; empty: no log file
    // What /gplogin.asp reports: "normal", "notice" (open the notice page and go on), "upgrade"
    // (a newer version is out) or "ban" (service stopped for this user).
    QString status = QStringLiteral("normal");
    QString statusLink;     // replaces the address of the first status record; empty: the mode's page
    QString waitingPage;    // replaces the address of the second status record; empty: /waiting.html
    // Stocks steered on purpose: empty for the plain market, "alerts" for a market in which every
    // kind of trading alert shows within a minute or two (see scenarioSummary() in market.h).
    QString scenario;
    // "simulated" (the default): the market pages come from the simulated world. "live": they come
    // from today's market-data services, and the other information sites answer with their pages
    // without entries.
    QString market = QStringLiteral("simulated");
    // Upstream name -> base address for the live market (see upstream::names()); names not given
    // take their real address.
    QHash<QString, QString> upstreams;
    // Faults put on paths from the start (see setFault), in the order given.
    QList<QPair<QString, Fault>> faults;
    // Phone alerts: the operator's channels file (empty: none are sent), and push-service
    // addresses by channel name in place of the real ones.
    QString channelsFile;
    QHash<QString, QString> notifyBases;
};

class Sandbox : public QObject {
    Q_OBJECT
public:
    explicit Sandbox(Options options, QObject* parent = nullptr);
    ~Sandbox() override;

    // Starts listening; on failure returns false and fills *error.
    bool start(QString* error = nullptr);
    // The lines of the channels file that could not be used (reported, left out).
    QStringList channelProblems() const;
    // The phone alerts' service once started with a channels file; else nullptr.
    server::phone::PhoneService* phoneService() const;
    quint16 port() const;
    QString baseUrl() const;   // "http://127.0.0.1:PORT"
    QString dataDir() const;   // the data folder in use once started (a temporary one by default)

    // Replace the page at `pathAndQuery` (exact match on path, or on path + "?" + query when the
    // key holds a '?') with a fixed body for the rest of this run.
    void setFixedPage(const QString& pathAndQuery, const QByteArray& body,
                      const QByteArray& contentType = "text/html; charset=gbk", int status = 200);
    // Accept requests for `path` but never answer them (a hung server).
    void setSilent(const QString& path);
    // Hold requests for `pathAndQuery` (matched like setFixedPage) unanswered until releaseHeld(),
    // which answers each with `body`: a reply that arrives late, after the client moved on.
    void holdReplies(const QString& pathAndQuery, const QByteArray& body,
                     const QByteArray& contentType = "text/html; charset=utf-8");
    // Answers every held request; returns how many were still waiting.
    int releaseHeld();
    // How many held requests wait for releaseHeld().
    int heldWaiting() const;
    // Drops fixed pages, silent paths, held replies and faults.
    void clearOverrides();

    // Puts `fault` on every request for `path` (matched without regard to case; a path ending in
    // '*' covers every path that starts with the rest) until clearFault. The string form takes a
    // mode as parseFault reads it and returns false, changing nothing, for an unknown one.
    void setFault(const QString& path, const Fault& fault);
    bool setFault(const QString& path, const QString& mode);
    void clearFault(const QString& path);
    void clearFaults();

    // Changes what /gplogin.asp reports from the next request on; an unknown mode is ignored.
    void setStatus(const QString& mode, const QString& link = {}, const QString& waitingPage = {});

    // The companion server's stored state (empty before start()). Rows are in arrival order.
    MirroredConfig mirroredConfig(const QString& sn) const;
    QStringList registeredNumbers() const;   // in the order they were registered

    QList<LoggedRequest> requests() const;
    QList<LoggedRequest> requestsTo(const QString& path) const;
    void clearRequests();

    QDateTime now() const;   // the sandbox clock
    // Restarts the sandbox clock at `start`, running at `speed`; an invalid start means the system
    // clock.
    void setClock(const QDateTime& start, double speed = 1.0);
    Market& market();
    // What the market pages are written from: the simulated world or the live services.
    // The companion server's records (open once started).
    server::CompanionStore& store();
    MarketFeed& feed();

Q_SIGNALS:
    // Options::idleExitMs passed without a request or an open connection; nothing more is accepted.
    void idle();

private:
    void armIdleExit();

    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace sandbox
