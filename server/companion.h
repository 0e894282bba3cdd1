// The companion server's pages, as text; the sandbox sends them GBK-encoded.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace feed {
class Market;
}

namespace server {


struct MirroredConfig;

namespace companion {

// A companion text page: <html><body text="#000000">PAYLOAD</body></html>
QString frame(const QString& payload);
QString htmlEscape(const QString& text);

// The modes of the status page: normal, notice, upgrade, ban.
QStringList statusModes();
bool isStatusMode(const QString& mode);
// Two status records, each "<code>&1<address>" and ended by "&2": the service status with its
// page (1 normal, 2 open the notice and go on, 0 banned), then the version (3 = current, else
// upgrade) with its waiting page. `link` and `waiting` replace the default addresses when set.
// An unknown mode gives an empty string.
QString statusPayload(const QString& mode, const QString& baseUrl, const QString& link = {},
                      const QString& waiting = {});

// Plain GBK pages, not framed.
QString noticePage();
QString waitingPage();
QString banPage();
QString downloadPage();
// The author's web space; `contact` is the author's QQ number.
QString authorPage(const QString& contact);
QString fetionPage();
// The chat link: says a chat with `uin` would open (or that no valid number was given).
QString chatPage(const QString& uin);
// What the server holds for `sn`; showPage() expects a well-formed number.
QString showPage(const QString& sn, const MirroredConfig& config);
QString badNumberPage(const QString& sn);

// The payloads of the form pages.
inline const QString kNumberAdded = QStringLiteral("手机号码添加成功");
inline const QString kNumberExists = QStringLiteral("该手机号码已存在");
inline const QString kBadNumber = QStringLiteral("号码错误");
inline const QString kSwitchSet = QStringLiteral("设置成功");
inline const QString kRowsDeleted = QStringLiteral("删除成功");
inline const QString kRowAdded = QStringLiteral("添加成功");
inline const QString kServerBusy = QStringLiteral("服务器忙，请稍后再试");   // with status 503
// A table already holds CompanionStore::kMaxRowsPerTable rows of the number.
inline const QString kTableFull = QStringLiteral("每张表最多100只股票");
QString badFieldPayload(const QString& field);   // "参数错误：<field>"

// About one stock, looked up by code or by name; an unknown one gets a short "not found" text.
QString stockPage(feed::Market& market, const QString& requested, const QDateTime& now);
QString adPage(const QString& baseUrl);
QString onlinePayload(int count);
inline const QString kAllPayload = QStringLiteral("OK");   // /gpall.asp

} // namespace companion
} // namespace server
