// The companion server's start-up status page and what start-up does with it.
#pragma once

#include <QString>
#include <QStringView>
#include <functional>

namespace net { class HttpClient; }

namespace app {

struct AppContext;

// The two status records of "/gplogin.asp".
struct StatusReply {
    QString ServiceCode;   // "0" ban, "2" notice, anything else normal
    QString ServiceLink;   // notice, ban or download page
    QString VersionCode;   // "3": this version is current
    QString WaitingPage;   // shown while a TV stream connects
};
StatusReply parseStatusPage(QStringView page);

// What start-up does with a status reply, checked in this order.
struct StatusDecision {
    bool ban = false;          // show the ban box, open ServiceLink, end the program
    bool openNotice = false;   // open ServiceLink in the browser and go on
    bool upgrade = false;      // ask to download the new version, then end the program
};
StatusDecision decideStatus(const StatusReply& reply);

inline const QString kUpgradeQuestion = QStringLiteral("系统需要升级，按\"确定\"进入网站下载");
inline const QString kBanText = QStringLiteral("本软件已停止为您服务，按\"确定\"查看详细说明。");
QString unreachableText(const QString& contact);

// For the log, when nothing listened at `serverBase` during the status check: on a loopback address
// that is the local server not running, and the text names it and says how to start it. Empty for
// any other address.
QString localServerHint(const QString& serverBase);

// The status check of start-up: reads "/gplogin.asp" over `client` into context.status and acts
// on it. An unreachable server, a ban and an upgrade each show their box, open their page and end
// the program (`requestExit`, then a silent abort); a notice opens its page and start-up goes on;
// a waiting page that is a web address goes to `loadWaitingPage`.
void getmail(AppContext& context, net::HttpClient& client,
             const std::function<void(const QString&)>& loadWaitingPage,
             const std::function<void()>& requestExit);

} // namespace app
