// What the market pages are written from: the quote of a stock, the two indices, a stock's large
// trades today and over the last days, its notices, its forum posts, its commentary line, its
// rumours and research reports, and the news flash. The simulated world is one
// feed, the live market-data services another; the pages' layouts do not know which one they read.
//
// Every request calls `done` exactly once, at once or later from the event loop. An empty optional
// means no source could answer: the page is then not served at all.
#pragma once

#include "market.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

namespace feed {

// One line of a stock's notice list.
struct NoticeEntry {
    QString id;      // what the notice's detail page is asked for with
    QDate date;
    QString title;
};

// One item of the news flash.
struct NewsEntry {
    QDateTime time;
    QString headline;
    QString url;   // the article's address; empty: the page's own article path
    QString id;    // yyyyMMddhhmm, for the page's own article path
};

// One post of a stock's forum list, as the list shows it.
struct ForumPost {
    QString link;       // the post's page, relative to the forum's address ("news,600036,123.html")
    QDateTime posted;
    QDateTime updated;  // the last reply, or when it was posted
    QString title;      // plain text, without the characters that end a field of the list early
    QString author;     // the author cell: a plain name, or a link around it
    qint64 clicks = 0;
    qint64 replies = 0;
};

// One rumour or research report of the company news page.
struct CompanyNewsEntry {
    QDate date;
    QString title;
    QString id;    // what the page's own item page is asked for with
    QString url;   // the item's page elsewhere (http or https); empty: the page's own item page
};

// A stock's quote, or nothing when the source does not know the code.
using QuoteAnswer = std::optional<StockQuote>;
// A stock's large trades with its name (empty for an unknown stock).
struct BigOrderAnswer {
    QString name;
    QList<BigOrderDay> days;   // oldest first
};
struct NoticeAnswer {
    QString name;   // empty for an unknown stock
    QList<NoticeEntry> notices;   // newest first, as the list shows them
};
struct ForumAnswer {
    QString name;   // empty for an unknown stock
    QList<ForumPost> posts;   // newest first, as the list shows them
};
// The 千股千评 line of a stock.
struct CommentaryAnswer {
    QString name;      // empty for an unknown stock
    QString opinion;   // empty: no commentary for the stock today
};
// The rumours and research reports of a stock's company news page, each newest first.
struct CompanyNewsAnswer {
    QString name;   // empty for an unknown stock
    QList<CompanyNewsEntry> rumours;
    QList<CompanyNewsEntry> reports;
};
struct IndexAnswer {
    IndexQuote shanghai;
    IndexQuote shenzhen;
};

template <typename T>
using Done = std::function<void(std::optional<T>)>;

class MarketFeed {
public:
    virtual ~MarketFeed() = default;
    virtual void quote(const QString& code, const QDateTime& t, Done<QuoteAnswer> done) = 0;
    virtual void indices(const QDateTime& t, Done<IndexAnswer> done) = 0;
    // Today's large trades (one day) or the last `days` trading days.
    virtual void bigOrders(const QString& code, const QDateTime& t, int days, Done<BigOrderAnswer> done) = 0;
    virtual void notices(const QString& code, const QDateTime& t, Done<NoticeAnswer> done) = 0;
    // The stock's forum posts as its list shows them at `t`.
    virtual void forumPosts(const QString& code, const QDateTime& t, Done<ForumAnswer> done) = 0;
    virtual void newsFlash(const QDateTime& t, int count, Done<QList<NewsEntry>> done) = 0;
    virtual void commentary(const QString& code, const QDateTime& t, Done<CommentaryAnswer> done) = 0;
    virtual void companyNews(const QString& code, const QDateTime& t, Done<CompanyNewsAnswer> done) = 0;
};

// The simulated world as a feed: it always answers, at once. The world has quotes, indices and
// large trades; its stocks have no notices, forum posts, commentary, rumours or news of their own,
// so those answers carry the stock's name and no entries. The sandbox's made-up information sites
// add them (see sandbox/simulatedsites.h).
class SimulatedFeed : public MarketFeed {
public:
    explicit SimulatedFeed(Market& market) : market_(market) {}
    void quote(const QString& code, const QDateTime& t, Done<QuoteAnswer> done) override;
    void indices(const QDateTime& t, Done<IndexAnswer> done) override;
    void bigOrders(const QString& code, const QDateTime& t, int days, Done<BigOrderAnswer> done) override;
    void notices(const QString& code, const QDateTime& t, Done<NoticeAnswer> done) override;
    void forumPosts(const QString& code, const QDateTime& t, Done<ForumAnswer> done) override;
    void newsFlash(const QDateTime& t, int count, Done<QList<NewsEntry>> done) override;
    void commentary(const QString& code, const QDateTime& t, Done<CommentaryAnswer> done) override;
    void companyNews(const QString& code, const QDateTime& t, Done<CompanyNewsAnswer> done) override;

protected:
    Market& market() const { return market_; }

private:
    Market& market_;
};

} // namespace feed
