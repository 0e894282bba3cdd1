// The companion server's information payloads: the blog directory with today's information link
// ("/gpreadtoady1.asp"), the site-evaluation list ("/gpreadzhpj.asp"), and the page behind
// today's information link ("/gptodayinfo.html").
#pragma once

#include <QDateTime>
#include <QString>

namespace sandbox {

class Market;

namespace companioninfo {

inline const QString kTodayInfoPath = QStringLiteral("/gptodayinfo.html");

// "link*date|" then "address*name|" per blog, one record a line.
QString directoryPayload(const QString& baseUrl, const QDateTime& t);
// "template*name]" per site, one record a line.
QString evaluationsPayload(const QString& baseUrl);
// Today's important information: the day's news items so far and the day's biggest movers.
QString todayInfoPage(Market& market, const QString& baseUrl, const QDateTime& t);

} // namespace companioninfo
} // namespace sandbox
