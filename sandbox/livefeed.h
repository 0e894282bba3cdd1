// The live market: the market pages filled from today's public market-data services.
//
// Quotes: every code asked for in the last minute is refreshed in one batched request a second,
// from `tencent`, or from `sina` when `tencent` fails; a program request is answered from that
// cache while it is under a second old, and otherwise waits for the next batch. The last trade's
// side and size come from how the outer and inner volume moved since the previous batch. The other
// pages share one upstream request among the program requests of the same second. A request no
// source answers fails: the page is then not served.
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

namespace sandbox {

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
    void newsFlash(const QDateTime& t, int count, Done<QList<NewsEntry>> done) override;

    // Asks upstream `name` once for a Shanghai and a Shenzhen stock (or what that source gives)
    // and reports whether it answered and what it read, in one line.
    void probe(const QString& name, std::function<void(bool answered, QString what)> done);

    // How long one upstream request may take before it counts as failed (default 2500 ms, so two
    // quote sources in turn stay within the program's 6-second wait).
    void setTimeout(int ms);
    // Upstream requests sent so far, per upstream name.
    QHash<QString, int> upstreamRequests() const;

private:
    // One code's quote as the last batch read it, and the outer and inner volume it saw.
    struct CodeState {
        std::optional<QuoteAnswer> answer;
        qint64 readMs = -1;    // when the answer arrived; -1 never
        qint64 askedMs = -1;   // when a program last asked for the code
        qint64 outer = -1;
        qint64 inner = -1;
        bool hasTrade = false;
        int tradeSign = 1;
        qint64 tradeLots = 0;
    };
    // A reply shared by the program requests of one second.
    struct SharedEntry {
        std::shared_ptr<void> value;   // the last answer, a std::optional<T>
        qint64 readMs = -1;
        bool inFlight = false;
        QList<std::function<void(const std::shared_ptr<void>&)>> waiters;
    };
    using Body = std::optional<QByteArray>;

    void get(const QString& name, const QString& pathAndQuery, std::function<void(Body)> done);
    // Runs `fetch` once for all program requests of `key` within a second of each other.
    template <typename T>
    void shared(const QString& key, std::function<void(Done<T>)> fetch, Done<T> done);
    void startBatch();
    void finishBatch(const QStringList& codes, const std::optional<upstream::Snapshots>& read, bool tencent);
    void fetchQuotes(const QStringList& codes, std::function<void(std::optional<upstream::Snapshots>, bool)> done);

    QHash<QString, QString> bases_;
    QNetworkAccessManager* network_;
    int timeoutMs_ = 2500;
    QHash<QString, int> sent_;
    QElapsedTimer clock_;
    QHash<QString, CodeState> codes_;
    QHash<QString, SharedEntry> shared_;
    struct Waiter {
        QString code;
        Done<QuoteAnswer> done;
    };
    QList<Waiter> waiting_;
    bool batchInFlight_ = false;
    qint64 lastBatchMs_ = -1000000;
    QTimer nextBatch_;
};

// Asks every upstream once (probe), one line each on `out`, the sources in turn; returns 0 when a
// quote source answered and 1 when none did.
int checkSources(const QHash<QString, QString>& bases, QTextStream& out);

} // namespace sandbox
