#include "livefeed.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTextStream>
#include <QUrl>

namespace sandbox {

namespace {

constexpr qint64 kFreshMs = 1000;      // a cached answer is served while younger than this
constexpr qint64 kWatchedMs = 60000;   // a code asked for within this is refreshed every second
constexpr qint64 kMaxBody = 8 * 1024 * 1024;
// Both quote services take a list of codes; the cap keeps one request's address short.
constexpr int kCodesPerBatch = 60;
// The Shanghai and the Shenzhen stock the source check asks for.
QStringList probeCodes()
{
    return {QStringLiteral("600036"), QStringLiteral("000001")};
}

QuoteAnswer unknownCode()
{
    return std::nullopt;
}

} // namespace

LiveFeed::LiveFeed(const QHash<QString, QString>& bases, QObject* parent)
    : QObject(parent), bases_(upstream::defaultBases()), network_(new QNetworkAccessManager(this))
{
    for (auto it = bases.begin(); it != bases.end(); ++it)
        bases_.insert(it.key(), it.value());
    clock_.start();
    nextBatch_.setSingleShot(true);
    connect(&nextBatch_, &QTimer::timeout, this, [this] {
        if (!batchInFlight_)
            startBatch();
    });
}

LiveFeed::~LiveFeed() = default;

void LiveFeed::setTimeout(int ms)
{
    timeoutMs_ = ms;
}

QHash<QString, int> LiveFeed::upstreamRequests() const
{
    return sent_;
}

void LiveFeed::get(const QString& name, const QString& pathAndQuery, std::function<void(Body)> done)
{
    ++sent_[name];
    QNetworkRequest request(QUrl(bases_.value(name) + pathAndQuery));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArrayLiteral("Mozilla/5.0 (compatible; huilan-sandbox)"));
    if (name.startsWith(QLatin1String("sina")))
        request.setRawHeader("Referer", upstream::kSinaReferer);
    else if (name.startsWith(QLatin1String("eastmoney")))
        request.setRawHeader("Referer", "https://quote.eastmoney.com/");
    QNetworkReply* reply = network_->get(request);
    // A bound on the whole exchange, so a server that sends a byte now and then still fails in time.
    QTimer::singleShot(timeoutMs_, reply, [reply] { reply->abort(); });
    connect(reply, &QNetworkReply::readyRead, reply, [reply] {
        if (reply->bytesAvailable() > kMaxBody)
            reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this, [reply, done = std::move(done)] {
        reply->deleteLater();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (reply->error() != QNetworkReply::NoError || status >= 400)
            return done(std::nullopt);
        done(reply->readAll());
    });
}

template <typename T>
void LiveFeed::shared(const QString& key, std::function<void(Done<T>)> fetch, Done<T> done)
{
    SharedEntry& entry = shared_[key];
    auto deliver = [done](const std::shared_ptr<void>& value) { done(*std::static_pointer_cast<std::optional<T>>(value)); };
    if (!entry.inFlight && entry.readMs >= 0 && clock_.elapsed() - entry.readMs < kFreshMs)
        return deliver(entry.value);
    entry.waiters.append(deliver);
    if (entry.inFlight)
        return;
    entry.inFlight = true;
    fetch([this, key](std::optional<T> answer) {
        SharedEntry& e = shared_[key];
        e.inFlight = false;
        e.readMs = answer ? clock_.elapsed() : -1;   // a failure is not kept: the next request tries again
        e.value = std::make_shared<std::optional<T>>(std::move(answer));
        const std::shared_ptr<void> value = e.value;
        for (const auto& waiter : std::exchange(e.waiters, {}))
            waiter(value);
    });
}

void LiveFeed::quote(const QString& code, const QDateTime&, Done<QuoteAnswer> done)
{
    if (!isStockCode(code))
        return done(unknownCode());   // no service lists it: answered without asking one
    CodeState& state = codes_[code];
    const qint64 now = clock_.elapsed();
    state.askedMs = now;
    if (state.answer && now - state.readMs < kFreshMs)
        return done(*state.answer);
    waiting_.append({code, std::move(done)});
    if (batchInFlight_)
        return;
    if (now - lastBatchMs_ >= kFreshMs)
        startBatch();
    else if (!nextBatch_.isActive())
        nextBatch_.start(int(kFreshMs - (now - lastBatchMs_)));
}

void LiveFeed::startBatch()
{
    const qint64 now = clock_.elapsed();
    QStringList codes;
    for (auto it = codes_.cbegin(); it != codes_.cend(); ++it)
        if (it->askedMs >= 0 && now - it->askedMs <= kWatchedMs)
            codes << it.key();
    if (codes.isEmpty())
        return;
    codes.sort();
    if (codes.size() > kCodesPerBatch) {
        // The codes waited for first, then the others, up to the cap; the rest wait their turn.
        QStringList first;
        for (const Waiter& w : waiting_)
            if (!first.contains(w.code))
                first << w.code;
        for (const QString& c : codes)
            if (!first.contains(c))
                first << c;
        codes = first.mid(0, kCodesPerBatch);
    }
    batchInFlight_ = true;
    lastBatchMs_ = now;
    nextBatch_.start(int(kFreshMs));
    fetchQuotes(codes, [this, codes](std::optional<upstream::Snapshots> read, bool fromTencent) {
        finishBatch(codes, read, fromTencent);
    });
}

void LiveFeed::fetchQuotes(const QStringList& codes, std::function<void(std::optional<upstream::Snapshots>, bool)> done)
{
    get(QStringLiteral("tencent"), upstream::tencentPath(codes), [this, codes, done](Body body) {
        if (const auto read = body ? upstream::readTencent(*body, codes) : std::nullopt)
            return done(read, true);
        get(QStringLiteral("sina"), upstream::sinaPath(codes), [codes, done](Body body) {
            done(body ? upstream::readSina(*body, codes) : std::nullopt, false);
        });
    });
}

void LiveFeed::finishBatch(const QStringList& codes, const std::optional<upstream::Snapshots>& read, bool)
{
    batchInFlight_ = false;
    const qint64 now = clock_.elapsed();
    if (read) {
        for (const QString& code : codes) {
            CodeState& s = codes_[code];
            s.readMs = now;
            const std::optional<upstream::Snapshot> snap = read->value(code);
            if (!snap) {
                s.answer = unknownCode();
                continue;
            }
            StockQuote q = snap->quote;
            if (snap->outer >= 0) {
                // A rise in the outer volume is a buy, in the inner volume a sell; with both, the
                // larger move. Nothing moved: the last trade is still the one seen before.
                if (s.outer >= 0 && snap->outer >= s.outer && snap->inner >= s.inner) {
                    const qint64 up = snap->outer - s.outer;
                    const qint64 down = snap->inner - s.inner;
                    if (up > 0 || down > 0) {
                        s.hasTrade = true;
                        s.tradeSign = up >= down ? 1 : -1;
                        s.tradeLots = std::max(up, down);
                    }
                } else {
                    s.hasTrade = false;   // the first reading, or a new day: nothing to compare with
                }
                s.outer = snap->outer;
                s.inner = snap->inner;
                q.hasLastTrade = s.hasTrade;
                q.lastTradeSign = s.tradeSign;
                q.lastTradeVolume = s.tradeLots;
            }
            s.answer = QuoteAnswer(q);
        }
    }
    QList<Waiter> later;
    for (Waiter& w : std::exchange(waiting_, {})) {
        if (!codes.contains(w.code))
            later.append(std::move(w));
        else if (read)
            w.done(*codes_[w.code].answer);
        else
            w.done(std::nullopt);
    }
    waiting_ = later + waiting_;
    if (!waiting_.isEmpty() && !batchInFlight_ && now - lastBatchMs_ >= kFreshMs)
        startBatch();
}

void LiveFeed::indices(const QDateTime&, Done<IndexAnswer> done)
{
    shared<IndexAnswer>(
        QStringLiteral("index"),
        [this](Done<IndexAnswer> fetched) {
            get(QStringLiteral("eastmoney"), upstream::indexPath(), [fetched](Body body) {
                fetched(body ? upstream::readIndices(*body) : std::nullopt);
            });
        },
        std::move(done));
}

void LiveFeed::bigOrders(const QString& code, const QDateTime& t, int days, Done<BigOrderAnswer> done)
{
    quote(code, t, [this, code, t, days, done](std::optional<QuoteAnswer> q) {
        if (!q)
            return done(std::nullopt);
        if (!*q)
            return done(BigOrderAnswer{});   // an unknown stock: the page without data
        const QString name = (*q)->name;
        if (days == 1) {
            const QDate day = upstream::tradingDayOf(t);
            return shared<BigOrderDay>(
                QStringLiteral("bills:") + code,
                [this, code, day, t](Done<BigOrderDay> fetched) {
                    get(QStringLiteral("sina-bills"), upstream::billPath(code, day), [fetched, day, t](Body body) {
                        fetched(body ? upstream::readBills(*body, day, t) : std::nullopt);
                    });
                },
                [name, done](std::optional<BigOrderDay> today) {
                    if (!today)
                        return done(std::nullopt);
                    done(BigOrderAnswer{name, {*today}});
                });
        }
        shared<QList<BigOrderDay>>(
            QStringLiteral("flow:%1:%2").arg(code).arg(days),
            [this, code, days](Done<QList<BigOrderDay>> fetched) {
                get(QStringLiteral("eastmoney-history"), upstream::moneyFlowPath(code, days), [fetched](Body body) {
                    fetched(body ? upstream::readMoneyFlow(*body) : std::nullopt);
                });
            },
            [name, done](std::optional<QList<BigOrderDay>> list) {
                if (!list)
                    return done(std::nullopt);
                done(BigOrderAnswer{name, *list});
            });
    });
}

void LiveFeed::notices(const QString& code, const QDateTime& t, Done<NoticeAnswer> done)
{
    quote(code, t, [this, code, done](std::optional<QuoteAnswer> q) {
        if (!q)
            return done(std::nullopt);
        if (!*q)
            return done(NoticeAnswer{});
        const QString name = (*q)->name;
        shared<QList<NoticeEntry>>(
            QStringLiteral("notices:") + code,
            [this, code](Done<QList<NoticeEntry>> fetched) {
                get(QStringLiteral("eastmoney-notices"), upstream::noticePath(code), [fetched, code](Body body) {
                    fetched(body ? upstream::readNotices(*body, code) : std::nullopt);
                });
            },
            [name, done](std::optional<QList<NoticeEntry>> list) {
                if (!list)
                    return done(std::nullopt);
                done(NoticeAnswer{name, *list});
            });
    });
}

void LiveFeed::newsFlash(const QDateTime&, int count, Done<QList<NewsEntry>> done)
{
    shared<QList<NewsEntry>>(
        QStringLiteral("news"),
        [this, count](Done<QList<NewsEntry>> fetched) {
            get(QStringLiteral("eastmoney-news"), upstream::newsPath(count), [fetched](Body body) {
                fetched(body ? upstream::readNews(*body) : std::nullopt);
            });
        },
        std::move(done));
}

void LiveFeed::probe(const QString& name, std::function<void(bool, QString)> done)
{
    auto quotes = [done](const std::optional<upstream::Snapshots>& read) {
        if (!read)
            return done(false, QString());
        QStringList seen;
        for (const QString& code : probeCodes()) {
            const auto snap = read->value(code);
            seen << (snap ? QStringLiteral("%1 %2 %3").arg(code, snap->quote.name).arg(snap->quote.last, 0, 'f', 2)
                          : code + QStringLiteral(" unknown"));
        }
        done(true, seen.join(QStringLiteral(", ")));
    };
    const QDateTime now = QDateTime::currentDateTime();
    const QString code = probeCodes().constFirst();
    if (name == QLatin1String("tencent"))
        return get(name, upstream::tencentPath(probeCodes()),
                   [quotes](Body b) { quotes(b ? upstream::readTencent(*b, probeCodes()) : std::nullopt); });
    if (name == QLatin1String("sina"))
        return get(name, upstream::sinaPath(probeCodes()),
                   [quotes](Body b) { quotes(b ? upstream::readSina(*b, probeCodes()) : std::nullopt); });
    if (name == QLatin1String("eastmoney"))
        return get(name, upstream::indexPath(), [done](Body b) {
            const auto read = b ? upstream::readIndices(*b) : std::nullopt;
            if (!read)
                return done(false, QString());
            done(true, QStringLiteral("%1 %2, %3 %4")
                           .arg(read->shanghai.name)
                           .arg(read->shanghai.value, 0, 'f', 2)
                           .arg(read->shenzhen.name)
                           .arg(read->shenzhen.value, 0, 'f', 2));
        });
    if (name == QLatin1String("sina-bills")) {
        const QDate day = upstream::tradingDayOf(now);
        return get(name, upstream::billPath(code, day), [done, day, now, code](Body b) {
            const auto read = b ? upstream::readBills(*b, day, now) : std::nullopt;
            if (!read)
                return done(false, QString());
            done(true, QStringLiteral("%1 on %2: %3 shares bought, %4 sold in large trades")
                           .arg(code, day.toString(Qt::ISODate))
                           .arg(read->buyShares())
                           .arg(read->sellShares()));
        });
    }
    if (name == QLatin1String("eastmoney-history"))
        return get(name, upstream::moneyFlowPath(code, 10), [done, code](Body b) {
            const auto read = b ? upstream::readMoneyFlow(*b) : std::nullopt;
            if (!read)
                return done(false, QString());
            done(true, QStringLiteral("%1: %2 days of money flow%3")
                           .arg(code)
                           .arg(read->size())
                           .arg(read->isEmpty() ? QString() : QStringLiteral(", the last ") + read->last().date.toString(Qt::ISODate)));
        });
    if (name == QLatin1String("eastmoney-notices"))
        return get(name, upstream::noticePath(code), [done, code](Body b) {
            const auto read = b ? upstream::readNotices(*b, code) : std::nullopt;
            if (!read)
                return done(false, QString());
            done(true, QStringLiteral("%1: %2 notices%3")
                           .arg(code)
                           .arg(read->size())
                           .arg(read->isEmpty() ? QString() : QStringLiteral(", the newest ") + read->first().title));
        });
    if (name == QLatin1String("eastmoney-news"))
        return get(name, upstream::newsPath(5), [done](Body b) {
            const auto read = b ? upstream::readNews(*b) : std::nullopt;
            if (!read)
                return done(false, QString());
            done(true, QStringLiteral("%1 items%2").arg(read->size()).arg(read->isEmpty() ? QString() : QStringLiteral(", the newest ") + read->first().headline));
        });
    done(false, QStringLiteral("unknown source"));
}

int checkSources(const QHash<QString, QString>& bases, QTextStream& out)
{
    LiveFeed feed(bases);
    QHash<QString, QString> shown = upstream::defaultBases();
    for (auto it = bases.begin(); it != bases.end(); ++it)
        shown.insert(it.key(), it.value());
    bool quotes = false;
    for (const QString& name : upstream::names()) {
        QEventLoop loop;
        bool answered = false;
        bool finished = false;
        QString what;
        feed.probe(name, [&](bool ok, QString read) {
            answered = ok;
            what = std::move(read);
            finished = true;
            loop.quit();
        });
        if (!finished)
            loop.exec();
        if (answered && (name == QLatin1String("tencent") || name == QLatin1String("sina")))
            quotes = true;
        out << QStringLiteral("%1 %2 ").arg(name, -18).arg(shown.value(name))
            << (answered ? QStringLiteral("answered: ") + what : QStringLiteral("no answer")) << Qt::endl;
    }
    out << (quotes ? QStringLiteral("Live quotes reach this computer.") : QStringLiteral("No quote source answered."))
        << Qt::endl;
    return quotes ? 0 : 1;
}

} // namespace sandbox
