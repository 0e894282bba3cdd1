// The companion server's pages, as text; the sandbox sends them GBK-encoded.
#pragma once

#include <QDateTime>
#include <QString>

namespace sandbox {

class Market;

namespace companion {

// A companion text page: <html><body text="#000000">PAYLOAD</body></html>
QString frame(const QString& payload);
QString htmlEscape(const QString& text);

// Two status records, each "<code><two characters><address>" and ended by "&2": the service
// status (1 = normal) with its notice page, then the version (3 = current) with its waiting page.
QString loginPayload(const QString& baseUrl);
QString noticePage();
QString waitingPage();
// About one stock, looked up by code or by name; an unknown one gets a short "not found" text.
QString stockPage(Market& market, const QString& requested, const QDateTime& now);
QString adPage(const QString& baseUrl);
QString onlinePayload(int count);

} // namespace companion
} // namespace sandbox
