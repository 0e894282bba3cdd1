// The companion server: how its text pages frame their payload, the start-up status page and
// the online-user count.
#pragma once

#include <QString>
#include <QStringView>
#include <optional>

namespace app {

// The end of a text page's body tag; the payload follows it.
inline constexpr char16_t kPayloadMarker[] = u"text=\"#000000\">";

// The text between the first payload marker and the next "</body>"; empty when either is missing.
QString framedPayload(QStringView page);

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

// The online-user count of "/gpreadall.asp": the text after the last payload marker before the
// first "</body>" (from the start when there is no marker), blanks removed. Nothing when the
// reply has no "</body>" at all: the label then keeps its count.
std::optional<QString> onlineCount(QStringView page);

} // namespace app
