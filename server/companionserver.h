// The companion server as one object: every page and form the program asks it for, its store,
// the online count and the phone alerts. It knows nothing of sockets: whoever serves HTTP hands it
// a request already taken apart and sends the reply it gives. huilan-server serves it alone;
// huilan-sandbox serves it beside the outside sites on one port.
#pragma once

#include "companioninfo.h"
#include "recommend.h"
#include "store.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class QHostAddress;

namespace feed {
class Market;
class MarketFeed;
}

namespace server {

namespace phone {
class PhoneService;
}

struct CompanionOptions {
    // What /gplogin.asp reports: "normal", "notice" (open the notice page and go on), "upgrade"
    // (a newer version is out) or "ban" (service stopped for this user).
    QString status = QStringLiteral("normal");
    QString statusLink;     // replaces the address of the first status record; empty: the mode's page
    QString waitingPage;    // replaces the address of the second status record; empty: /waiting.html
    // /gpshow.asp shows anyone what a number holds: for demos on one's own machine only.
    bool showNumbers = false;
    // Posts one address may make on the board in a day.
    int postsPerDay = recommend::kPostsPerDay;
    // Phone alerts: the operator's channels file (empty: none are sent), and push-service
    // addresses by channel name in place of the real ones.
    QString channelsFile;
    QHash<QString, QString> notifyBases;
};

// What the pages that name outside sites point at. By default the real sites; the sandbox puts
// its own in their place.
struct CompanionSites {
    QString todayInfo = QString::fromLatin1(companioninfo::kLiveTodayInfo);
    QList<companioninfo::Blog> blogs;
    QList<companioninfo::EvaluationSite> evaluations = companioninfo::liveEvaluationSites();
    // The TV directory's payload for the server's own address; unset: a directory without channels.
    std::function<QString(const QString& baseUrl)> tvDirectory;
};

struct CompanionRequest {
    QString path;                                          // lower case
    std::function<QString(const QString& name)> field;     // a query or form field by name
    QString address;                                       // the client's, IPv4 without the v6 prefix
    QDateTime received;                                    // real time of arrival
    QByteArray method;                                     // "GET", "POST"; empty when not said
};

struct CompanionReply {
    QByteArray body;
    QByteArray contentType;
    int status = 200;
};

class Companion {
public:
    // `world` answers the stock lookup page; `clock` is the market's time; `baseUrl` the server's
    // own address as clients reach it.
    Companion(CompanionOptions options, feed::MarketFeed& feed, feed::Market& world,
              std::function<QDateTime()> clock, std::function<QString()> baseUrl);
    ~Companion();
    Companion(const Companion&) = delete;
    Companion& operator=(const Companion&) = delete;

    // Opens the store: "sqlite:PATH", "postgresql://..." or a plain file path (SQLite).
    bool open(const QString& database, QString* error = nullptr);
    // Reads the channels file and starts sending phone alerts; nothing without a channels file.
    // Without `decide` the service only sends what it is given (the binding page's codes): the
    // copies of a server with several processes, where the first one decides the alerts.
    bool startPhoneAlerts(QString* error = nullptr, bool decide = true);
    // Reads the channels file again (on SIGHUP): the numbers and channels from now on.
    bool reloadChannels(QString* error = nullptr);

    void setSites(CompanionSites sites);
    // Changes what /gplogin.asp reports; false (and nothing changes) for an unknown mode.
    bool setStatus(const QString& mode, const QString& link = {}, const QString& waitingPage = {});

    // The reply to a companion page or form; none when `request.path` is not one of them.
    std::optional<CompanionReply> answer(const CompanionRequest& request);
    // A client was seen (the online count).
    void seen(const QHostAddress& address, const QDateTime& when);

    CompanionStore& store();
    QStringList channelProblems() const;
    phone::PhoneService* phoneService() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace server
