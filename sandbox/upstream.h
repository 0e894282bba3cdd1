// Today's public market-data services as the live market reads them: the address of each request
// and a reader for each reply format. A reader returns nothing for a reply that is not in its
// format (garbage, an error page, a reply cut short), so the caller can try the next source.
#pragma once

#include "marketfeed.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>

namespace sandbox::upstream {

// The upstream names, in the order --check asks them, and their real base addresses.
QStringList names();
QHash<QString, QString> defaultBases();

// "sh" for a Shanghai code (first digit 6), "sz" otherwise.
QString prefixOf(const QString& code);

// One stock in a quote service's reply. Outer and inner volume (lots traded at the ask and at
// the bid) are -1 when the source does not give them.
struct Snapshot {
    StockQuote quote;
    qint64 outer = -1;
    qint64 inner = -1;
};
// Code -> its snapshot, or nothing for a code the service does not know.
using Snapshots = QHash<QString, std::optional<Snapshot>>;

QString tencentPath(const QStringList& codes);   // "/q=sh600036,sz000001"
QString sinaPath(const QStringList& codes);      // "/list=sh600036,sz000001"
// Sina refuses requests that do not come from its finance site.
inline constexpr char kSinaReferer[] = "https://finance.sina.com.cn/";
QString indexPath();                             // push2 ulist.np with both indices
QString billPath(const QString& code, const QDate& day);
QString moneyFlowPath(const QString& code, int days);
QString noticePath(const QString& code);
QString newsPath(int count);
// Where a notice of the announcement service is read in a browser.
QString noticeAddress(const QString& code, const QString& artCode);

// GBK lines v_sh600036="1~name~code~price~..."; codes asked for but missing are unknown.
std::optional<Snapshots> readTencent(const QByteArray& body, const QStringList& codes);
// GBK lines var hq_str_sh600036="name,open,prev,price,...": volumes in shares, amounts in yuan.
std::optional<Snapshots> readSina(const QByteArray& body, const QStringList& codes);
std::optional<IndexAnswer> readIndices(const QByteArray& body);
// Large trades of one day, summed per trading hour and by trade size; `now` decides how many
// trading hours of that day are over.
std::optional<BigOrderDay> readBills(const QByteArray& body, const QDate& day, const QDateTime& now);
// Daily money flow, oldest first: the day's net large-order flow as buying or selling.
std::optional<QList<BigOrderDay>> readMoneyFlow(const QByteArray& body);
std::optional<QList<NoticeEntry>> readNotices(const QByteArray& body, const QString& code);
std::optional<QList<NewsEntry>> readNews(const QByteArray& body);

// The trading day whose large trades a page at `t` shows: t's own on a weekday, else the last
// weekday before; and how many of its trading hours are over at `t`.
QDate tradingDayOf(const QDateTime& t);
int hoursDone(const QDate& day, const QDateTime& t);

} // namespace sandbox::upstream
