#include "livefeed.h"

#include "liveforum.h"
#include "livenews.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTextStream>
#include <QUrl>

#include <algorithm>

namespace feed {

namespace {

constexpr qint64 kFreshMs = 1000;      // a cached answer is served while younger than this
constexpr qint64 kWatchedMs = 60000;   // a code asked for within this is refreshed every second
// Two readings of the outer and inner volume further apart than this are not compared: what
// traded in between is many trades, not the last one.
constexpr qint64 kTradeGapMs = 2500;
constexpr qint64 kMaxBody = 8 * 1024 * 1024;
// Both quote services take a list of codes; the cap keeps one request's address short.
constexpr int kCodesPerBatch = 60;
// A stock's forum list is asked for once a minute at most, however often the program asks.
constexpr qint64 kForumFreshMs = 60000;
// A refused East Money reply is asked for again after this pause.
constexpr int kRetryPauseMs = 300;
// The large-trade list is read page by page; more pages than this is not a day of one stock.
constexpr int kMaxBillPages = 20;
// The Shanghai and the Shenzhen stock the source check asks for.
QStringList probeCodes()
{
    return {QStringLiteral("600036"), QStringLiteral("000001")};
}

// The commentary, reports and rumours of a stock are asked for at most this often.
constexpr qint64 kNewsFreshMs = 60000;
// The Referer each information service expects: a page of its own site.
QByteArray refererOf(const QString& name)
{
    if (name == QLatin1String("datacenter") || name == QLatin1String("reportapi"))
        return "https://data.eastmoney.com/";
    if (name == QLatin1String("guba"))
        return "https://guba.eastmoney.com/";
    if (name == QLatin1String("cninfo-irm"))
        return "https://irm.cninfo.com.cn/";
    if (name == QLatin1String("sse-sns"))
        return "https://sns.sseinfo.com/";
    return {};
}

// The source check's name for Tencent asked for the two indices.
constexpr char kTencentIndex[] = "tencent-index";

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
    connect(&nextBatch_, &QTimer::timeout, this, [this] { startBatch(); });
}

LiveFeed::~LiveFeed() = default;

void LiveFeed::setTimeout(int ms)
{
    timeoutMs_ = ms;
}

void LiveFeed::setWaitBound(int ms)
{
    waitMs_ = ms;
}

QHash<QString, int> LiveFeed::upstreamRequests() const
{
    return sent_;
}

void LiveFeed::get(const QString& name, const QString& pathAndQuery, std::function<void(Body)> done)
{
    send(name, pathAndQuery, std::nullopt, std::move(done));
}

void LiveFeed::post(const QString& name, const QString& pathAndQuery, const QByteArray& form, std::function<void(Body)> done)
{
    send(name, pathAndQuery, form, std::move(done));
}

void LiveFeed::send(const QString& name, const QString& pathAndQuery, const std::optional<QByteArray>& form,
                    std::function<void(Body)> done)
{
    ++sent_[name];
    QNetworkRequest request(QUrl(bases_.value(name) + pathAndQuery));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArrayLiteral("Mozilla/5.0 (compatible; huilan-sandbox)"));
    if (name.startsWith(QLatin1String("sina")))
        request.setRawHeader("Referer", upstream::kSinaReferer);
    else if (name.startsWith(QLatin1String("eastmoney")))
        request.setRawHeader("Referer", "https://quote.eastmoney.com/");
    else if (const QByteArray referer = refererOf(name); !referer.isEmpty())
        request.setRawHeader("Referer", referer);
    for (const auto& [header, value] : liveforum::requestHeaders(name))
        request.setRawHeader(header, value);
    if (form) {
        request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded; charset=UTF-8"));
        request.setRawHeader("X-Requested-With", "XMLHttpRequest");
        request.setRawHeader("Accept", "application/json, text/javascript, */*; q=0.01");
    }
    QNetworkReply* reply = form ? network_->post(request, *form) : network_->get(request);
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
void LiveFeed::getRead(const QString& name, const QString& pathAndQuery,
                       std::function<std::optional<T>(const QByteArray&)> reader, Done<T> done, int retries)
{
    get(name, pathAndQuery, [this, name, pathAndQuery, reader, done, retries](Body body) {
        if (auto read = body ? reader(*body) : std::nullopt)
            return done(std::move(read));
        if (retries <= 0)
            return done(std::nullopt);
        QTimer::singleShot(kRetryPauseMs, this, [this, name, pathAndQuery, reader, done, retries] {
            getRead<T>(name, pathAndQuery, reader, done, retries - 1);
        });
    });
}

template <typename T>
Done<T> LiveFeed::bounded(Done<T> done)
{
    auto pending = std::make_shared<Done<T>>(std::move(done));
    auto timer = new QTimer(this);
    timer->setSingleShot(true);
    auto finish = [pending, timer](std::optional<T> answer) {
        if (!*pending)
            return;   // answered already, or given up on
        const Done<T> call = std::exchange(*pending, nullptr);
        timer->deleteLater();
        call(std::move(answer));
    };
    connect(timer, &QTimer::timeout, this, [finish] { finish(std::nullopt); });
    timer->start(waitMs_);
    return finish;
}

template <typename T>
void LiveFeed::shared(const QString& key, std::function<void(Done<T>)> fetch, Done<T> done, qint64 freshMs)
{
    SharedEntry& entry = shared_[key];
    entry.askedMs = clock_.elapsed();
    auto deliver = [done](const std::shared_ptr<void>& value) { done(*std::static_pointer_cast<std::optional<T>>(value)); };
    if (!entry.inFlight && entry.readMs >= 0 && clock_.elapsed() - entry.readMs < freshMs)
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

void LiveFeed::quote(const QString& code, const QDateTime&, Done<QuoteAnswer> whenRead)
{
    if (!isStockCode(code))
        return whenRead(unknownCode());   // no service lists it: answered without asking one
    const qint64 now = clock_.elapsed();
    if (!codes_.contains(code) && codes_.size() >= kMaxCodes) {
        prune(now);
        if (codes_.size() >= kMaxCodes)
            return whenRead(std::nullopt);   // too many codes at once: this one is not served
    }
    CodeState& state = codes_[code];
    state.askedMs = now;
    if (state.answer && now - state.readMs < kFreshMs)
        return whenRead(*state.answer);
    waiting_.append({code, bounded(std::move(whenRead))});
    if (state.inFlight)
        return;   // the batch under way answers it
    if (now - lastBatchMs_ >= kFreshMs) {
        // Once the codes asked for in this turn of the event loop are all in: one batch for them.
        if (!batchSoon_) {
            batchSoon_ = true;
            QTimer::singleShot(0, this, [this] {
                batchSoon_ = false;
                startBatch();
            });
        }
    } else if (!nextBatch_.isActive()) {
        nextBatch_.start(int(kFreshMs - (now - lastBatchMs_)));
    }
}

void LiveFeed::prune(qint64 now)
{
    for (auto it = codes_.begin(); it != codes_.end();) {
        const bool waitedFor = std::any_of(waiting_.cbegin(), waiting_.cend(), [&](const Waiter& w) { return w.code == it.key(); });
        if (!it->inFlight && !waitedFor && now - it->askedMs > kWatchedMs)
            it = codes_.erase(it);
        else
            ++it;
    }
    for (auto it = shared_.begin(); it != shared_.end();) {
        if (!it->inFlight && it->waiters.isEmpty() && now - it->askedMs > kWatchedMs)
            it = shared_.erase(it);
        else
            ++it;
    }
}

void LiveFeed::startBatch()
{
    const qint64 now = clock_.elapsed();
    prune(now);
    if (codes_.isEmpty())
        return;   // nothing watched: the refresh stops until a program asks again
    lastBatchMs_ = now;
    nextBatch_.start(int(kFreshMs));
    // The codes waited for first, then the other watched ones, up to the cap; the rest wait their
    // turn. A code already in a batch under way is not asked twice.
    QStringList codes;
    for (const Waiter& w : std::as_const(waiting_))
        if (!codes_.value(w.code).inFlight && !codes.contains(w.code))
            codes << w.code;
    QStringList watched;
    for (auto it = codes_.cbegin(); it != codes_.cend(); ++it)
        if (!it->inFlight && now - it->askedMs <= kWatchedMs && !codes.contains(it.key()))
            watched << it.key();
    watched.sort();
    codes += watched;
    codes = codes.mid(0, kCodesPerBatch);
    if (codes.isEmpty())
        return;
    codes.sort();
    for (const QString& c : std::as_const(codes))
        codes_[c].inFlight = true;
    fetchQuotes(codes, [this, codes](QuoteRead read) { finishBatch(codes, read); });
}

void LiveFeed::fetchQuotes(const QStringList& codes, std::function<void(QuoteRead)> done)
{
    get(QStringLiteral("tencent"), upstream::tencentPath(codes), [this, codes, done](Body body) {
        const QuoteRead tencent = body ? upstream::readTencent(*body, codes) : std::nullopt;
        QStringList missing;
        for (const QString& c : codes)
            if (!tencent || !tencent->contains(c))
                missing << c;
        if (missing.isEmpty())
            return done(tencent);
        // Sina for the codes Tencent could not answer: all of them, or the few whose lines were odd.
        get(QStringLiteral("sina"), upstream::sinaPath(missing), [tencent, missing, done](Body body) {
            QuoteRead sina = body ? upstream::readSina(*body, missing) : std::nullopt;
            if (!tencent)
                return done(sina);
            upstream::Snapshots merged = *tencent;
            if (sina)
                merged.insert(*sina);
            done(merged);
        });
    });
}

void LiveFeed::trackLastTrade(CodeState& s, const upstream::Snapshot& snap, StockQuote& q, qint64 now)
{
    const QDate day = q.time.date();
    const bool comparable = s.outer >= 0 && now - s.volumesMs <= kTradeGapMs && day == s.volumesDay
                            && snap.outer >= s.outer && snap.inner >= s.inner;
    if (comparable) {
        // A rise in the outer volume is a buy, in the inner volume a sell; with both, the larger
        // move. Nothing moved: the last trade is still the one seen before.
        const qint64 up = snap.outer - s.outer;
        const qint64 down = snap.inner - s.inner;
        if (up > 0 || down > 0) {
            s.hasTrade = true;
            s.tradeSign = up >= down ? 1 : -1;
            s.tradeLots = std::max(up, down);
        }
    } else {
        // The first reading, one after a gap (the code was not watched, or another source answered
        // meanwhile) or of a new day: what moved since is many trades, not the last one.
        s.hasTrade = false;
    }
    s.outer = snap.outer;
    s.inner = snap.inner;
    s.volumesMs = now;
    s.volumesDay = day;
    q.hasLastTrade = s.hasTrade;
    q.lastTradeSign = s.tradeSign;
    q.lastTradeVolume = s.tradeLots;
}

void LiveFeed::finishBatch(const QStringList& codes, const QuoteRead& read)
{
    const qint64 now = clock_.elapsed();
    for (const QString& code : codes) {
        CodeState& s = codes_[code];
        s.inFlight = false;
        if (!read || !read->contains(code))
            continue;   // no source could read this code: its waiters fail, its last answer stays
        s.readMs = now;
        const std::optional<upstream::Snapshot> snap = read->value(code);
        if (!snap) {
            s.answer = unknownCode();
            continue;
        }
        StockQuote q = snap->quote;
        if (snap->outer >= 0)
            trackLastTrade(s, *snap, q, now);
        s.answer = QuoteAnswer(q);
    }
    QList<Waiter> later;
    for (Waiter& w : std::exchange(waiting_, {})) {
        if (!codes.contains(w.code))
            later.append(std::move(w));
        else if (read && read->contains(w.code))
            w.done(*codes_[w.code].answer);
        else
            w.done(std::nullopt);
    }
    waiting_ = later + waiting_;
    const bool unasked = std::any_of(waiting_.cbegin(), waiting_.cend(), [this](const Waiter& w) { return !codes_.value(w.code).inFlight; });
    if (unasked && now - lastBatchMs_ >= kFreshMs)
        startBatch();
}

void LiveFeed::indices(const QDateTime& t, Done<IndexAnswer> done)
{
    shared<IndexAnswer>(
        QStringLiteral("index"),
        [this, day = t.date()](Done<IndexAnswer> fetched) {
            get(QStringLiteral("eastmoney"), upstream::indexPath(), [this, day, fetched](Body body) {
                if (auto read = body ? upstream::readIndices(*body) : std::nullopt) {
                    lastCounts_ = read;
                    lastCountsDay_ = day;
                    return fetched(read);
                }
                // East Money refused or failed: the levels from Tencent, with the counts East
                // Money gave earlier today, or none.
                get(QStringLiteral("tencent"), upstream::tencentIndexPath(), [this, day, fetched](Body body) {
                    auto read = body ? upstream::readTencentIndices(*body) : std::nullopt;
                    if (read && lastCounts_ && lastCountsDay_ == day) {
                        for (auto [to, from] : {std::pair{&read->shanghai, &lastCounts_->shanghai},
                                                std::pair{&read->shenzhen, &lastCounts_->shenzhen}}) {
                            to->rising = from->rising;
                            to->falling = from->falling;
                            to->unchanged = from->unchanged;
                        }
                    }
                    fetched(read);
                });
            });
        },
        bounded(std::move(done)));
}

void LiveFeed::fetchBills(const QString& code, const QDate& day, const QDateTime& t, int page,
                          QList<upstream::Bill> sofar, Done<BigOrderDay> done)
{
    getRead<QList<upstream::Bill>>(
        QStringLiteral("sina-bills"), upstream::billPath(code, day, page), upstream::readBillPage,
        [this, code, day, t, page, sofar = std::move(sofar), done](std::optional<QList<upstream::Bill>> bills) mutable {
            if (!bills)
                return done(std::nullopt);
            const bool full = bills->size() >= upstream::kBillPageSize;
            sofar += *bills;
            if (!full)
                return done(upstream::billsDay(sofar, day, t));
            if (page >= kMaxBillPages)
                return done(std::nullopt);   // never cut the day short silently
            fetchBills(code, day, t, page + 1, std::move(sofar), done);
        },
        0);
}

void LiveFeed::bigOrders(const QString& code, const QDateTime& t, int days, Done<BigOrderAnswer> whenRead)
{
    Done<BigOrderAnswer> done = bounded(std::move(whenRead));
    quote(code, t, [this, code, t, days, done](std::optional<QuoteAnswer> q) {
        if (!q)
            return done(std::nullopt);
        if (!*q)
            return done(BigOrderAnswer{});   // an unknown stock: the page without data
        const QString name = (*q)->name;
        if (days == 1) {
            // The quote service's own date says whether there is trading today (it knows the holidays).
            const std::optional<QDate> day = upstream::tradingDayOf(t, (*q)->time);
            if (!day) {
                BigOrderDay none;
                none.date = t.date();
                return done(BigOrderAnswer{name, {none}});   // no trading today (yet): no hour is over
            }
            return shared<BigOrderDay>(
                QStringLiteral("bills:%1:%2").arg(code, day->toString(Qt::ISODate)),
                [this, code, day = *day, t](Done<BigOrderDay> fetched) { fetchBills(code, day, t, 1, {}, fetched); },
                [name, done](std::optional<BigOrderDay> today) {
                    if (!today)
                        return done(std::nullopt);
                    done(BigOrderAnswer{name, {*today}});
                });
        }
        shared<QList<BigOrderDay>>(
            QStringLiteral("flow:%1:%2").arg(code).arg(days),
            [this, code, days](Done<QList<BigOrderDay>> fetched) {
                getRead<QList<BigOrderDay>>(QStringLiteral("eastmoney-history"), upstream::moneyFlowPath(code, days),
                                            upstream::readMoneyFlow, fetched);
            },
            [name, done](std::optional<QList<BigOrderDay>> list) {
                if (!list)
                    return done(std::nullopt);
                done(BigOrderAnswer{name, *list});
            });
    });
}

void LiveFeed::notices(const QString& code, const QDateTime& t, Done<NoticeAnswer> whenRead)
{
    Done<NoticeAnswer> done = bounded(std::move(whenRead));
    quote(code, t, [this, code, done](std::optional<QuoteAnswer> q) {
        if (!q)
            return done(std::nullopt);
        if (!*q)
            return done(NoticeAnswer{});
        const QString name = (*q)->name;
        shared<QList<NoticeEntry>>(
            QStringLiteral("notices:") + code,
            [this, code](Done<QList<NoticeEntry>> fetched) {
                getRead<QList<NoticeEntry>>(QStringLiteral("eastmoney-notices"), upstream::noticePath(code),
                                            [code](const QByteArray& b) { return upstream::readNotices(b, code); }, fetched);
            },
            [name, done](std::optional<QList<NoticeEntry>> list) {
                if (!list)
                    return done(std::nullopt);
                done(NoticeAnswer{name, *list});
            });
    });
}

void LiveFeed::forumPosts(const QString& code, const QDateTime& t, Done<ForumAnswer> whenRead)
{
    Done<ForumAnswer> done = bounded(std::move(whenRead));
    quote(code, t, [this, code, t, done](std::optional<QuoteAnswer> q) {
        if (!q)
            return done(std::nullopt);
        if (!*q)
            return done(ForumAnswer{});
        shared<QList<ForumPost>>(
            QStringLiteral("forum:") + code,
            [this, code](Done<QList<ForumPost>> fetched) {
                // The list page first; its JSON twin when the page fails or is a captcha.
                get(QStringLiteral("guba"), liveforum::listPath(code), [this, code, fetched](Body body) {
                    if (auto read = body ? liveforum::readListPage(*body, code) : std::nullopt)
                        return fetched(read);
                    get(QStringLiteral("gbapi"), liveforum::articleListPath(code),
                        [code, fetched](Body b) { fetched(b ? liveforum::readArticleList(*b, code) : std::nullopt); });
                });
            },
            [name = (*q)->name, day = t.date(), done](std::optional<QList<ForumPost>> posts) {
                if (!posts)
                    return done(std::nullopt);
                done(ForumAnswer{name, liveforum::postsOf(*posts, day)});
            },
            kForumFreshMs);
    });
}

void LiveFeed::newsFlash(const QDateTime&, int count, Done<QList<NewsEntry>> done)
{
    shared<QList<NewsEntry>>(
        QStringLiteral("news"),
        [this, count](Done<QList<NewsEntry>> fetched) {
            // The flash's list host first, its sister host (the same request) when it fails.
            get(QStringLiteral("eastmoney-news"), upstream::newsPath(count), [this, count, fetched](Body body) {
                if (auto read = body ? upstream::readNews(*body) : std::nullopt)
                    return fetched(read);
                get(QStringLiteral("eastmoney-weblist"), upstream::newsPath(count),
                    [fetched](Body b) { fetched(b ? upstream::readNews(*b) : std::nullopt); });
            });
        },
        bounded(std::move(done)));
}

void LiveFeed::fetchComment(const QString& code, int report, bool failed, Done<QString> done)
{
    constexpr livenews::CommentReport order[] = {livenews::CommentReport::Diagnosis, livenews::CommentReport::TrendVolume,
                                                  livenews::CommentReport::Figures};
    if (report >= int(std::size(order)))
        return failed ? done(std::nullopt) : done(QString());   // nothing today, unless a report could not be read
    const livenews::CommentReport which = order[report];
    getRead<QString>(
        QStringLiteral("datacenter"), livenews::commentPath(which, code),
        [which](const QByteArray& b) { return livenews::readComment(which, b); },
        [this, code, report, failed, done](std::optional<QString> text) {
            if (text && !text->isEmpty())
                return done(text);
            fetchComment(code, report + 1, failed || !text, done);
        });
}

void LiveFeed::commentary(const QString& code, const QDateTime& t, Done<CommentaryAnswer> whenRead)
{
    Done<CommentaryAnswer> done = bounded(std::move(whenRead));
    quote(code, t, [this, code, done](std::optional<QuoteAnswer> q) {
        if (!q)
            return done(std::nullopt);
        if (!*q)
            return done(CommentaryAnswer{});
        const QString name = (*q)->name;
        shared<QString>(
            QStringLiteral("comment:") + code,
            [this, code](Done<QString> fetched) { fetchComment(code, 0, false, fetched); },
            [name, done](std::optional<QString> text) {
                if (!text)
                    return done(std::nullopt);
                done(CommentaryAnswer{name, *text});
            },
            kNewsFreshMs);
    });
}

void LiveFeed::fetchExchangeQuestions(const QString& code, const QDateTime& t, Done<QList<CompanyNewsEntry>> done)
{
    using List = QList<CompanyNewsEntry>;
    if (upstream::exchangeOf(code) == QLatin1String("sh")) {
        return post(QStringLiteral("sse-sns"), livenews::snsCompanyPath(), livenews::snsCompanyForm(code), [this, t, done](Body b) {
            const auto uid = b ? livenews::readSnsCompany(*b) : std::nullopt;
            if (!uid || uid->isEmpty())
                return done(uid ? std::optional<List>(List()) : std::nullopt);
            post(QStringLiteral("sse-sns"), livenews::snsQuestionPath(*uid), QByteArray(),
                 [t, done](Body b) { done(b ? livenews::readSnsQuestions(*b, t) : std::nullopt); });
        });
    }
    post(QStringLiteral("cninfo-irm"), livenews::irmOrgPath(), livenews::irmOrgForm(code), [this, code, done](Body b) {
        const auto org = b ? livenews::readIrmOrg(*b, code) : std::nullopt;
        if (!org || org->isEmpty())
            return done(org ? std::optional<List>(List()) : std::nullopt);
        post(QStringLiteral("cninfo-irm"), livenews::irmQuestionPath(code, *org), QByteArray(),
             [done](Body b) { done(b ? livenews::readIrmQuestions(*b) : std::nullopt); });
    });
}

void LiveFeed::fetchRumours(const QString& code, const QDateTime& t, Done<QList<CompanyNewsEntry>> done)
{
    post(QStringLiteral("guba"), livenews::questionPath(), livenews::questionForm(code), [this, code, t, done](Body b) {
        const auto questions = b ? livenews::readQuestions(*b) : std::nullopt;
        if (questions && !questions->isEmpty())
            return done(questions);
        // No answered 传闻求证 question, or the forum host failed: the exchange's investor Q&A. Its
        // answer stands, unless it failed too and 问董秘 had failed as well.
        fetchExchangeQuestions(code, t, [questions, done](std::optional<QList<CompanyNewsEntry>> other) {
            done(other ? other : questions);
        });
    });
}

void LiveFeed::companyNews(const QString& code, const QDateTime& t, Done<CompanyNewsAnswer> whenRead)
{
    Done<CompanyNewsAnswer> done = bounded(std::move(whenRead));
    quote(code, t, [this, code, t, done](std::optional<QuoteAnswer> q) {
        if (!q)
            return done(std::nullopt);
        if (!*q)
            return done(CompanyNewsAnswer{});
        const QString name = (*q)->name;
        using List = QList<CompanyNewsEntry>;
        // Both lists are asked for at once; the page waits for both, and fails when either failed.
        auto rumours = std::make_shared<std::optional<std::optional<List>>>();
        auto reports = std::make_shared<std::optional<std::optional<List>>>();
        auto finish = [name, done, rumours, reports] {
            if (!*rumours || !*reports)
                return;
            if (!**rumours || !**reports)
                return done(std::nullopt);
            done(CompanyNewsAnswer{name, ***rumours, ***reports});
        };
        shared<List>(
            QStringLiteral("rumours:") + code, [this, code, t](Done<List> fetched) { fetchRumours(code, t, fetched); },
            [rumours, finish](std::optional<List> list) {
                *rumours = std::move(list);
                finish();
            },
            kNewsFreshMs);
        shared<List>(
            QStringLiteral("reports:") + code,
            [this, code, day = t.date()](Done<List> fetched) {
                getRead<List>(QStringLiteral("reportapi"), livenews::reportListPath(code, day), livenews::readReports, fetched);
            },
            [reports, finish](std::optional<List> list) {
                *reports = std::move(list);
                finish();
            },
            kNewsFreshMs);
    });
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
    auto indices = [done](const std::optional<IndexAnswer>& read) {
        if (!read)
            return done(false, QString());
        done(true, QStringLiteral("%1 %2, %3 %4")
                       .arg(read->shanghai.name)
                       .arg(read->shanghai.value, 0, 'f', 2)
                       .arg(read->shenzhen.name)
                       .arg(read->shenzhen.value, 0, 'f', 2));
    };
    if (name == QLatin1String("eastmoney"))
        return get(name, upstream::indexPath(), [indices](Body b) { indices(b ? upstream::readIndices(*b) : std::nullopt); });
    if (name == QLatin1String(kTencentIndex))
        return get(QStringLiteral("tencent"), upstream::tencentIndexPath(),
                   [indices](Body b) { indices(b ? upstream::readTencentIndices(*b) : std::nullopt); });
    if (name == QLatin1String("sina-bills")) {
        const QDate day = upstream::tradingDayOf(now);
        return get(name, upstream::billPath(code, day, 1), [done, day, now, code](Body b) {
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
    if (name == QLatin1String("eastmoney-news") || name == QLatin1String("eastmoney-weblist"))
        return get(name, upstream::newsPath(5), [done](Body b) {
            const auto read = b ? upstream::readNews(*b) : std::nullopt;
            if (!read)
                return done(false, QString());
            done(true, QStringLiteral("%1 items%2").arg(read->size()).arg(read->isEmpty() ? QString() : QStringLiteral(", the newest ") + read->first().headline));
        });
    if (name == QLatin1String("sina-blog")) {
        const QString uid = QStringLiteral("1300871220");   // the first blog of the live directory
        return get(name, upstream::sinaBlogListPath(uid), [done, uid](Body b) {
            const auto read = b ? upstream::readBlogList(*b) : std::nullopt;
            if (!read)
                return done(false, QString());
            done(true, QStringLiteral("blog %1: %2 articles listed").arg(uid).arg(*read));
        });
    }
    if (name == QLatin1String("guba") || name == QLatin1String("gbapi")) {
        const bool page = name == QLatin1String("guba");
        return get(name, page ? liveforum::listPath(code) : liveforum::articleListPath(code), [done, code, page](Body b) {
            const auto read = !b ? std::nullopt : page ? liveforum::readListPage(*b, code) : liveforum::readArticleList(*b, code);
            if (!read)
                return done(false, QString());
            done(true, QStringLiteral("%1: %2 posts of the bar%3")
                           .arg(code)
                           .arg(read->size())
                           .arg(read->isEmpty() ? QString() : QStringLiteral(", the newest ") + read->first().title));
        });
    }
    auto newest = [done, code](const std::optional<QList<CompanyNewsEntry>>& read, const QString& what) {
        if (!read)
            return done(false, QString());
        done(true, QStringLiteral("%1: %2 %3%4")
                       .arg(code)
                       .arg(read->size())
                       .arg(what, read->isEmpty() ? QString() : QStringLiteral(", the newest ") + read->first().title));
    };
    if (name == QLatin1String("datacenter"))
        return get(name, livenews::commentPath(livenews::CommentReport::Figures, code), [done, code](Body b) {
            const auto read = b ? livenews::readComment(livenews::CommentReport::Figures, *b) : std::nullopt;
            if (!read)
                return done(false, QString());
            done(true, code + QStringLiteral(": ") + (read->isEmpty() ? QStringLiteral("no figures today") : *read));
        });
    if (name == QLatin1String("reportapi"))
        return get(name, livenews::reportListPath(code, now.date()),
                   [newest](Body b) { newest(b ? livenews::readReports(*b) : std::nullopt, QStringLiteral("reports")); });
    if (name == QLatin1String("cninfo-irm")) {
        const QString sz = probeCodes().constLast();
        return post(name, livenews::irmOrgPath(), livenews::irmOrgForm(sz), [done, sz](Body b) {
            const auto org = b ? livenews::readIrmOrg(*b, sz) : std::nullopt;
            if (!org)
                return done(false, QString());
            done(true, QStringLiteral("%1: %2").arg(sz, org->isEmpty() ? QStringLiteral("not listed") : QStringLiteral("organisation ") + *org));
        });
    }
    if (name == QLatin1String("sse-sns"))
        return post(name, livenews::snsCompanyPath(), livenews::snsCompanyForm(code), [done, code](Body b) {
            const auto uid = b ? livenews::readSnsCompany(*b) : std::nullopt;
            if (!uid)
                return done(false, QString());
            done(true, QStringLiteral("%1: %2").arg(code, uid->isEmpty() ? QStringLiteral("not listed") : QStringLiteral("user ") + *uid));
        });
    done(false, QStringLiteral("unknown source"));
}

int checkSources(const QHash<QString, QString>& bases, QTextStream& out)
{
    LiveFeed feed(bases);
    QHash<QString, QString> shown = upstream::defaultBases();
    for (auto it = bases.begin(); it != bases.end(); ++it)
        shown.insert(it.key(), it.value());
    shown.insert(QString::fromLatin1(kTencentIndex), shown.value(QStringLiteral("tencent")));
    // Every upstream, and Tencent asked for the indices right after East Money: the two index sources.
    QStringList probes = upstream::names();
    probes.insert(probes.indexOf(QStringLiteral("eastmoney")) + 1, QString::fromLatin1(kTencentIndex));
    bool quotes = false;
    bool indices = false;
    for (const QString& name : std::as_const(probes)) {
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
        if (answered && (name == QLatin1String("eastmoney") || name == QLatin1String(kTencentIndex)))
            indices = true;
        out << QStringLiteral("%1 %2 ").arg(name, -18).arg(shown.value(name))
            << (answered ? QStringLiteral("answered: ") + what : QStringLiteral("no answer")) << Qt::endl;
    }
    out << (quotes ? QStringLiteral("Live quotes reach this computer.") : QStringLiteral("No quote source answered."))
        << Qt::endl;
    out << (indices ? QStringLiteral("The indices reach this computer.") : QStringLiteral("No index source answered."))
        << Qt::endl;
    return quotes && indices ? 0 : 1;
}

} // namespace feed
