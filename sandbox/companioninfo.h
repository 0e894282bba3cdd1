// The companion server's information payloads: the blog directory with today's information link
// ("/gpreadtoady1.asp"), the site-evaluation list ("/gpreadzhpj.asp"), and the page behind
// today's information link ("/gptodayinfo.html").
#pragma once

#include "blogs.h"
#include "evaluations.h"

#include <QDateTime>
#include <QList>
#include <QString>

namespace sandbox {

class Market;

namespace companioninfo {

inline const QString kTodayInfoPath = QStringLiteral("/gptodayinfo.html");
// Today's important information in live mode: East Money's selection of the day's main news.
inline constexpr char kLiveTodayInfo[] = "https://finance.eastmoney.com/a/cywjh.html";

// "link*date|" then "address*name|" per blog, one record a line: `todayLink` is where today's
// important information is read.
QString directoryPayload(const QString& todayLink, const QDateTime& t, const QList<blogs::Entry>& blogs);
// "template*name]" per site, one record a line.
QString evaluationsPayload(const QList<evaluations::Site>& sites);
// Today's important information: the day's news items so far and the day's biggest movers.
QString todayInfoPage(Market& market, const QString& baseUrl, const QDateTime& t);

} // namespace companioninfo
} // namespace sandbox
