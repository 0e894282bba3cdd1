// Today's public market-data services as the live market reads them: the address of each request
// and a reader for each reply format. A reader returns nothing for a reply that is not in its
// format (garbage, an error page, a reply cut short), so the caller can try the next source.
#pragma once

#include "marketfeed.h"

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>
#include <optional>

namespace feed::upstream {

// The upstream names, in the order --check asks them, and their real base addresses.
QStringList names();
QHash<QString, QString> defaultBases();

// The exchange a code is listed on, as the quote services prefix it: "bj" for the Beijing Stock
// Exchange (920xxx, 8xxxxx, 4xxxxx), "sh" for Shanghai (6xxxxx stocks, 5xxxxx funds, 9xxxxx B
// shares), "sz" for Shenzhen (everything else: 0xxxxx, 1xxxxx, 2xxxxx, 3xxxxx).
QString exchangeOf(const QString& code);
// East Money's market number in a secid: 1 for Shanghai, 0 for Shenzhen and Beijing.
int eastMoneyMarket(const QString& code);

// One stock in a quote service's reply. Outer and inner volume (lots traded at the ask and at
// the bid) are -1 when the source does not give them.
struct Snapshot {
    StockQuote quote;
    qint64 outer = -1;
    qint64 inner = -1;
};
// Code -> its snapshot, or nothing for a code the service does not know. A code asked for whose
// line could not be read (too few fields, a number out of range) is missing: only that code failed.
using Snapshots = QHash<QString, std::optional<Snapshot>>;

QString tencentPath(const QStringList& codes);   // "/q=sh600036,sz000001"
QString sinaPath(const QStringList& codes);      // "/list=sh600036,sz000001"
// How many trades one request of the large-trade list asks for.
inline constexpr int kBillPageSize = 10000;
// Sina refuses requests that do not come from its finance site.
inline constexpr char kSinaReferer[] = "https://finance.sina.com.cn/";
QString indexPath();                             // push2 ulist.np with both indices
QString tencentIndexPath();                      // "/q=sh000001,sz399001"
// One page of `pageSize` large trades of `day`, oldest first, so trades made while the pages are
// read only ever add to the last page.
QString billPath(const QString& code, const QDate& day, int page, int pageSize = kBillPageSize);
QString moneyFlowPath(const QString& code, int days);
QString noticePath(const QString& code);
QString newsPath(int count);
// A Sina blog's list of articles (the newest first), by the blog owner's account number.
QString sinaBlogListPath(const QString& uid);
// How many articles a Sina blog's article list shows; nothing for a page that is not one.
std::optional<int> readBlogList(const QByteArray& body);
// Where a notice of the announcement service is read in a browser.
QString noticeAddress(const QString& code, const QString& artCode);

// GBK lines v_sh600036="1~name~code~price~..."; codes asked for but missing are unknown. Nothing
// when the reply is not in the format, or when no line of it could be read.
std::optional<Snapshots> readTencent(const QByteArray& body, const QStringList& codes);
// GBK lines var hq_str_sh600036="name,open,prev,price,...": volumes in shares, amounts in yuan.
std::optional<Snapshots> readSina(const QByteArray& body, const QStringList& codes);
// East Money's index reply. Before the open its rows carry "-" for the level, the change and the
// amount: the level is then the previous close, the amount 0, and open, high and low unknown.
// A reply with rc other than 0 (a refused or throttled request) is a failure.
std::optional<IndexAnswer> readIndices(const QByteArray& body);
// Both indices from Tencent's quote lines (sh000001, sz399001): everything but the counts of
// rising, falling and unchanged stocks, which that service does not give.
std::optional<IndexAnswer> readTencentIndices(const QByteArray& body);

// One page of the large-trade list: each trade's time, shares, price and side (U bought, D sold,
// E neutral), as the list gives them.
struct Bill {
    QTime time;
    qint64 shares = 0;
    double price = 0;
    QChar kind;
};
// Nothing when the page is not the list's format, or a trade in it is out of range.
std::optional<QList<Bill>> readBillPage(const QByteArray& body);
// A day's large trades summed per trading hour and by trade size; `now` decides how many trading
// hours of that day are over.
BigOrderDay billsDay(const QList<Bill>& bills, const QDate& day, const QDateTime& now);
// One whole list read as a single page: readBillPage, then billsDay.
std::optional<BigOrderDay> readBills(const QByteArray& body, const QDate& day, const QDateTime& now);
// Daily money flow, oldest first: the day's net large-order flow as buying or selling. A code the
// service does not know (rc 0, data null) gives no day; rc other than 0 is a failure.
std::optional<QList<BigOrderDay>> readMoneyFlow(const QByteArray& body);
std::optional<QList<NoticeEntry>> readNotices(const QByteArray& body, const QString& code);
std::optional<QList<NewsEntry>> readNews(const QByteArray& body);

// A count (of clicks, replies, lots) as a reply gives it, as a number or a string: a whole number
// from 0 to 1e15; nothing for anything else (negative, huge, not a number).
std::optional<qint64> countValue(const QJsonValue& value);
// Text from a remote service that goes into a page: without the characters that would end a field
// of the page's layout early ('<', '>', '"'), spaces run together and trimmed.
QString plainText(const QString& text);

// The trading day whose large trades a page at `t` shows: t's own on a weekday, else the last
// weekday before; and how many of its trading hours are over at `t`.
QDate tradingDayOf(const QDateTime& t);
int hoursDone(const QDate& day, const QDateTime& t);
// The same from the quote service's own date and time of the stock's last quote (`quoted`), which
// knows the holidays: the quote's day when it is t's day or t falls on a weekend; on a weekday the
// quote has not reached yet (a holiday, or before the day's first quote) nothing: no trading today.
// Without a quote time, tradingDayOf.
std::optional<QDate> tradingDayOf(const QDateTime& t, const QDateTime& quoted);

// The checks the readers share, for the readers of other files: a price, volume or amount (a
// number from 0 up to the largest any reply may carry, nothing otherwise), a whole count of the
// same range, text from a remote service made safe for a page's layout, and a reply's JSON object.
std::optional<double> amountIn(const QJsonValue& v);
std::optional<qint64> countIn(const QJsonValue& v);
QString pageText(const QString& text);
std::optional<QJsonObject> jsonObjectOf(const QByteArray& body);

} // namespace feed::upstream
