// The companion server's information payloads: the blog directory with today's information link
// ("/gpreadtoady1.asp") and the site-evaluation list ("/gpreadzhpj.asp"), and the real sites they
// name by default.
#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

namespace server::companioninfo {

// One blog of the directory.
struct Blog {
    QString address;
    QString name;
};

// One site that evaluates a stock.
struct EvaluationSite {
    QString addressTemplate;   // "{" where the stock code belongs
    QString name;
};

// Today's important information: East Money's selection of the day's main news.
inline constexpr char kLiveTodayInfo[] = "https://finance.eastmoney.com/a/cywjh.html";

// Well-known stock bloggers whose Sina blogs are still plain HTML article lists, each at
// `sinaBlogBase` + "/s/articlelist_UID_0_1.html".
QList<Blog> liveBlogs(const QString& sinaBlogBase);
// Today's stock pages of real finance sites. Most of their addresses take the bare code, so they
// fit Beijing stocks as well; the one that takes the exchange carries "sh", which the program
// turns into "sz" for Shenzhen codes.
QList<EvaluationSite> liveEvaluationSites();

// "link*date|" then "address*name|" per blog, one record a line: `todayLink` is where today's
// important information is read.
QString directoryPayload(const QString& todayLink, const QDateTime& t, const QList<Blog>& blogs);
// "template*name]" per site, one record a line.
QString evaluationsPayload(const QList<EvaluationSite>& sites);

} // namespace server::companioninfo
