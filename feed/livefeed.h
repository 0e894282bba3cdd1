// The live market: the market pages filled from today's public market-data services.
//
// Quotes: every code asked for in the last minute is refreshed in one batched request a second,
// from `tencent`, or from `sina` for the codes `tencent` could not answer; a program request is
// answered from that cache while it is under a second old, and otherwise waits for the next batch.
// The last trade's side and size come from how the outer and inner volume moved since the reading
// a second before. The indices come from `eastmoney`, or from `tencent` when it fails. The other
// pages share one upstream request among the program requests of the same second. A request no
// source answers fails (the page is then not served), and so does one that would keep the
// program waiting longer than its own read time-out. The commentary, the research reports and the
// rumours are asked for at most once a minute per stock.
#pragma once

#include "marketfeed.h"
#include "upstream.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

class QNetworkAccessManager;
class QTextStream;

namespace feed {

class LiveFeed : public QObject, public MarketFeed {
    Q_OBJECT
public:
    // `bases`: upstream name -> base address (scheme and host, no trailing '/'); names missing
    // take their real address.
    explicit LiveFeed(const QHash<QString, QString>& bases, QObject* parent = nullptr);
    ~LiveFeed() override;

    void quote(const QString& code, const QDateTime& t, Done<QuoteAnswer> done) override;
    void indices(const QDateTime& t, Done<IndexAnswer> done) override;
    void bigOrders(const QString& code, const QDateTime& t, int days, Done<BigOrderAnswer> done) override;
    void notices(const QString& code, const QDateTime& t, Done<NoticeAnswer> done) override;
    // From the forum's list page, or its JSON twin when the page fails; one upstream request per
    // stock a minute at most.
    void forumPosts(const QString& code, const QDateTime& t, Done<ForumAnswer> done) override;
    void newsFlash(const QDateTime& t, int count, Done<QList<NewsEntry>> done) override;
    void commentary(const QString& code, const QDateTime& t, Done<CommentaryAnswer> done) override;
    void companyNews(const QString& code, const QDateTime& t, Done<CompanyNewsAnswer> done) override;

    // Asks upstream `name` once for a Shanghai and a Shenzhen stock (or what that source gives)
    // and reports whether it answered and what it read, in one line.
    void probe(const QString& name, std::function<void(bool answered, QString what)> done);

    // How long one upstream request may take before it counts as failed (default 2000 ms, so two
    // quote sources in turn, after the wait for the next batch, stay within the program's 6 s).
    void setTimeout(int ms);
    // How long a program request may wait for its answer before it fails (default 5500 ms, below
    // the program's 6-second read time-out).
    void setWaitBound(int ms);
    // Upstream requests sent so far, per upstream name.
    QHash<QString, int> upstreamRequests() const;
    // How many codes and shared replies are held now (each is dropped a minute after it was last
    // asked for).
    int heldCodes() const { return int(codes_.size()); }
    int heldReplies() const { return int(shared_.size()); }

    // At most this many codes are held; a request for another one fails until some are dropped.
    static constexpr int kMaxCodes = 300;

private:
    // One code's quote as the last batch read it, and the outer and inner volume it saw.
    struct CodeState {
        std::optional<QuoteAnswer> answer;
        qint64 readMs = -1;      // when the answer arrived; -1 never
        qint64 askedMs = -1;     // when a program last asked for the code
        bool inFlight = false;   // a batch asking for it is under way
        qint64 outer = -1;       // the outer and inner volume of the last reading that had them,
        qint64 inner = -1;
        qint64 volumesMs = -1;   // when that reading arrived,
        QDate volumesDay;        // and the trading day it belongs to
        bool hasTrade = false;
        int tradeSign = 1;
        qint64 tradeLots = 0;
    };
    // A reply shared by the program requests of one second.
    struct SharedEntry {
        std::shared_ptr<void> value;   // the last answer, a std::optional<T>
        qint64 readMs = -1;
        qint64 askedMs = -1;
        bool inFlight = false;
        QList<std::function<void(const std::shared_ptr<void>&)>> waiters;
    };
    using Body = std::optional<QByteArray>;
    using QuoteRead = std::optional<upstream::Snapshots>;

    void get(const QString& name, const QString& pathAndQuery, std::function<void(Body)> done);
    // The same as a form POST of `form` (the 问董秘 and investor Q&A services take their questions so).
    void post(const QString& name, const QString& pathAndQuery, const QByteArray& form, std::function<void(Body)> done);
    void send(const QString& name, const QString& pathAndQuery, const std::optional<QByteArray>& form,
              std::function<void(Body)> done);
    // get(), read with `reader`; a reply the reader refuses is asked for once more after a short
    // pause (East Money refuses in waves), then fails.
    template <typename T>
    void getRead(const QString& name, const QString& pathAndQuery, std::function<std::optional<T>(const QByteArray&)> reader,
                 Done<T> done, int retries = 1);
    // Runs `fetch` once for all program requests of `key` within `freshMs` (a second unless
    // said) of each other; a failure is never kept.
    template <typename T>
    void shared(const QString& key, std::function<void(Done<T>)> fetch, Done<T> done, qint64 freshMs = 1000);
    // `done`, called at most once: with nothing when the answer has not come within the wait bound.
    template <typename T>
    Done<T> bounded(Done<T> done);
    void startBatch();
    void finishBatch(const QStringList& codes, const QuoteRead& read);
    void fetchQuotes(const QStringList& codes, std::function<void(QuoteRead)> done);
    // The last-trade fields of a Tencent reading of `code`, from the reading before it.
    void trackLastTrade(CodeState& state, const upstream::Snapshot& snapshot, StockQuote& quote, qint64 now);
    // Drops the codes and shared replies nobody asked for in the last minute.
    void prune(qint64 now);
    // The commentary line from the data centre's reports in turn, from `report` on.
    void fetchComment(const QString& code, int report, bool failed, Done<QString> done);
    // The rumours: 问董秘's 传闻求证, else the exchange's investor Q&A.
    void fetchRumours(const QString& code, const QDateTime& t, Done<QList<CompanyNewsEntry>> done);
    void fetchExchangeQuestions(const QString& code, const QDateTime& t, Done<QList<CompanyNewsEntry>> done);
    void fetchBills(const QString& code, const QDate& day, const QDateTime& t, int page, QList<upstream::Bill> sofar,
                    Done<BigOrderDay> done);

    QHash<QString, QString> bases_;
    QNetworkAccessManager* network_;
    int timeoutMs_ = 2000;
    int waitMs_ = 5500;
    QHash<QString, int> sent_;
    QElapsedTimer clock_;
    QHash<QString, CodeState> codes_;
    QHash<QString, SharedEntry> shared_;
    struct Waiter {
        QString code;
        Done<QuoteAnswer> done;
    };
    QList<Waiter> waiting_;
    qint64 lastBatchMs_ = -1000000;
    bool batchSoon_ = false;   // a batch starts once the event loop comes round
    QTimer nextBatch_;
    // The counts of rising, falling and unchanged stocks East Money last gave, and their day: kept
    // for the index page while the indices come from Tencent, which does not give them.
    std::optional<IndexAnswer> lastCounts_;
    QDate lastCountsDay_;
};

// Asks every upstream once (probe), and Tencent for the indices as well, one line each on `out`,
// the sources in turn; returns 0 when a quote source and an index source answered, 1 otherwise.
int checkSources(const QHash<QString, QString>& bases, QTextStream& out);

} // namespace feed
