#include "sandbox.h"

#include "blogs.h"
#include "bigorder.h"
#include "companion.h"
#include "companionserver.h"
#include "evaluations.h"
#include "faults.h"
#include "infosites.h"
#include "livefeed.h"
#include "market.h"
#include "marketfeed.h"
#include "newsflash.h"
#include "pagegen.h"
#include "qqfinance.h"
#include "recommend.h"
#include "requests.h"
#include "http.h"
#include "simulatedsites.h"
#include "tv.h"

#include "net/codecs.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSet>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <limits>

namespace sandbox {

using namespace feed;

namespace {

constexpr char kGbkHtml[] = "text/html; charset=gbk";
constexpr char kUtf8Html[] = "text/html; charset=utf-8";
// A demo left polling for a day must not grow without bound; the oldest entries go first.
constexpr qsizetype kMaxLoggedRequests = 50000;
constexpr QLatin1String kDatabaseFile("companion.db");

bool isFormBody(const QHash<QByteArray, QByteArray>& headers)
{
    const QByteArray type = headers.value("content-type");
    return type.isEmpty() || type.toLower().contains("x-www-form-urlencoded");
}

} // namespace

struct Sandbox::Impl {
    struct FixedPage {
        QByteArray body;
        QByteArray contentType;
        int status;
    };

    using Page = std::pair<QByteArray, QByteArray>;   // body and content type

    explicit Impl(Options o)
        : options(std::move(o)),
          market(options.seed, scenarioNamed(options.scenario).value_or(Scenario::None))
    {
        if (live()) {
            unlisted = Market::withoutStocks(options.seed);
            feed = std::make_unique<LiveFeed>(options.upstreams);
        } else {
            feed = std::make_unique<SimulatedSites>(market, [this] { return baseUrl(); });
        }
        server::CompanionOptions c;
        c.status = options.status;
        c.statusLink = options.statusLink;
        c.waitingPage = options.waitingPage;
        c.showNumbers = true;   // the sandbox runs on one's own machine, for demos and tests
        c.channelsFile = options.channelsFile;
        c.notifyBases = options.notifyBases;
        companion = std::make_unique<server::Companion>(
            c, *feed, world(), [this] { return now(); }, [this] { return baseUrl(); });
    }
    // What the companion pages that name outside sites point at: the sandbox's own sites, or in
    // live mode the real ones.
    server::CompanionSites sites();

    bool live() const { return options.market == QLatin1String("live"); }
    // The base address of upstream `name`: as --upstream gave it, else the real one.
    QString upstreamBase(const QString& name) const
    {
        return options.upstreams.value(name, upstream::defaultBases().value(name));
    }
    // The world the information sites without a live source, and the companion pages that show a
    // stock's figures, are written from: in live mode one without stocks, so each answers with its
    // page without entries, never simulated figures beside live ones.
    Market& world() { return unlisted ? *unlisted : market; }
    bool answerMarketPage(const server::http::Responder& responder, const LoggedRequest& r,
                          const QString& path, const FieldReader& field, const QDateTime& t, const Fault* reshape);
    // Asks the feed with `ask` and answers with the page `write` makes of its answer, at once or
    // when the answer comes; closes the connection without a page when the feed has none.
    template <typename T>
    void serve(const server::http::Responder& responder, const Fault* reshape,
               const std::function<void(Done<T>)>& ask, std::function<Page(const T&)> write);

    void handle(const server::http::Request& request, const server::http::Responder& responder);
    void record(const LoggedRequest& r, const QHostAddress& from);
    void answer(const server::http::Responder& responder, const QHostAddress& peer, const LoggedRequest& r,
                const QByteArray& rawQuery, const Fault* reshape = nullptr);
    const Fault* faultFor(const QString& path) const;
    QDateTime now() const;
    QString baseUrl() const;

    Options options;
    Market market;
    std::unique_ptr<Market> unlisted;
    std::unique_ptr<MarketFeed> feed;
    QElapsedTimer elapsed;
    QHash<QString, FixedPage> fixed;
    QSet<QString> silent;
    QList<QPair<QString, Fault>> faults;   // lower-case path (or prefix ending in '*'), newest last
    QHash<QString, FixedPage> held;                      // replies given only on release
    QList<QPair<server::http::Responder, FixedPage>> waiting;   // held requests not answered yet
    QList<LoggedRequest> log;
    std::unique_ptr<server::Companion> companion;   // its store opened by start(), in the data folder
    QFile logFile;
    std::unique_ptr<QTemporaryDir> tempDir;
    QString dataDir;
    quint16 port = 0;
    // Runs while the server serves on a handed-over socket with an idle limit; every request
    // starts it again.
    QTimer idleTimer;
    // Last, so it goes first: no request can arrive while the rest is being torn down.
    std::unique_ptr<server::http::Server> server;
};

QDateTime Sandbox::Impl::now() const
{
    if (!options.clockStart.isValid())
        return QDateTime::currentDateTime();
    const double ms = double(elapsed.nsecsElapsed()) / 1e6 * options.speed;
    return options.clockStart.addMSecs(qint64(std::floor(ms)));
}

QString Sandbox::Impl::baseUrl() const
{
    return server::baseUrlOf(options.bind, port);
}

void Sandbox::Impl::handle(const server::http::Request& request, const server::http::Responder& responder)
{
    if (idleTimer.isActive())
        idleTimer.start();
    LoggedRequest r;
    r.time = QDateTime::currentDateTime();
    r.method = request.method;
    r.path = request.path;
    const QByteArray& rawQuery = request.rawQuery;
    r.query = server::decodeQueryText(rawQuery);
    r.headers = request.headers;
    if (!request.body.isEmpty() && isFormBody(r.headers))
        r.form = server::decodeGbkForm(request.body);
    record(r, request.peer);

    const Fault* fault = faultFor(r.path);
    if (fault && answersAlone(*fault))
        return serveFault(*fault, responder.socket(), request.target);
    if (silent.contains(r.path))
        return;   // a hung server: the connection stays open and nothing is ever written
    for (const QString& key : {r.path + QLatin1Char('?') + r.query, r.path}) {
        if (const auto it = held.constFind(key); it != held.constEnd()) {
            waiting.append({responder, *it});
            return;
        }
    }
    answer(responder, request.peer, r, rawQuery, fault);
}

const Fault* Sandbox::Impl::faultFor(const QString& path) const
{
    const QString key = path.toLower();
    for (auto it = faults.crbegin(); it != faults.crend(); ++it) {
        const QString& p = it->first;
        if (p == key || (p.endsWith(QLatin1Char('*')) && key.startsWith(QStringView(p).chopped(1))))
            return &it->second;
    }
    return nullptr;
}

void Sandbox::Impl::record(const LoggedRequest& r, const QHostAddress& from)
{
    if (log.size() >= kMaxLoggedRequests)
        log.removeFirst();
    log.append(r);
    companion->seen(from, r.time);
    if (logFile.isOpen()) {
        logFile.write(server::logLine(r).toUtf8() + '\n');
        logFile.flush();
    }
}

template <typename T>
void Sandbox::Impl::serve(const server::http::Responder& responder, const Fault* reshape,
                          const std::function<void(Done<T>)>& ask, std::function<Page(const T&)> write)
{
    const std::optional<Fault> fault = reshape ? std::optional<Fault>(*reshape) : std::nullopt;
    ask([fault, responder, write = std::move(write)](std::optional<T> value) {
        QTcpSocket* socket = responder.socket();
        if (!socket)
            return;
        if (!value)
            return socket->disconnectFromHost();
        const auto [body, type] = write(*value);
        if (fault)
            return sendReshaped(*fault, socket, body, type, 200);
        responder.send(200, type, body);
    });
}

bool Sandbox::Impl::answerMarketPage(const server::http::Responder& responder, const LoggedRequest& r,
                                     const QString& path, const FieldReader& field, const QDateTime& t,
                                     const Fault* reshape)
{
    auto gbk = [](const QString& html) { return Page{net::toGbk(html), kGbkHtml}; };
    if (path == QLatin1String("/em_quote2007/optional.aspx")) {
        const QString code = field(QStringLiteral("fav"));
        serve<QuoteAnswer>(
            responder, reshape, [&](Done<QuoteAnswer> done) { feed->quote(code, t, std::move(done)); },
            [code, t](const QuoteAnswer& q) { return Page{quoteLineFor(code, q, t).toUtf8(), kUtf8Html}; });
        return true;
    }
    if (path == QLatin1String("/em_quote2007/default.aspx")) {
        serve<IndexAnswer>(
            responder, reshape, [&](Done<IndexAnswer> done) { feed->indices(t, std::move(done)); },
            [](const IndexAnswer& i) { return Page{indexPageFor(i.shanghai, i.shenzhen).toUtf8(), kUtf8Html}; });
        return true;
    }
    if (path == QLatin1String("/notice/notice_list.aspx")) {
        const QString code = field(QStringLiteral("code"));
        serve<NoticeAnswer>(
            responder, reshape, [&](Done<NoticeAnswer> done) { feed->notices(code, t, std::move(done)); },
            [code, gbk](const NoticeAnswer& n) { return gbk(notices::listPage(n.name, code, n.notices)); });
        return true;
    }
    static const QRegularExpression forumList(QStringLiteral("^/topic,(\\w{1,12})\\.html$"));
    if (const QRegularExpressionMatch m = forumList.match(path); m.hasMatch()) {
        const QString code = m.captured(1);
        serve<ForumAnswer>(
            responder, reshape, [&](Done<ForumAnswer> done) { feed->forumPosts(code, t, std::move(done)); },
            [code, base = baseUrl(), gbk](const ForumAnswer& f) { return gbk(forum::listPage(f.name, code, f.posts, base)); });
        return true;
    }
    if (path == QLatin1String(commentary::kPath)) {
        const QString code = field(QStringLiteral("zqdm"));
        serve<CommentaryAnswer>(
            responder, reshape, [&](Done<CommentaryAnswer> done) { feed->commentary(code, t, std::move(done)); },
            [code, gbk](const CommentaryAnswer& c) { return gbk(commentary::page(c.name, code, c.opinion)); });
        return true;
    }
    if (const std::optional<QString> code = companypage::newsPageCode(path)) {
        serve<CompanyNewsAnswer>(
            responder, reshape, [&](Done<CompanyNewsAnswer> done) { feed->companyNews(*code, t, std::move(done)); },
            [code = *code, base = baseUrl(), gbk](const CompanyNewsAnswer& n) { return gbk(companypage::newsPage(code, n, base)); });
        return true;
    }
    if (path == QLatin1String("/news/cgszb.html")) {
        serve<QList<NewsEntry>>(
            responder, reshape, [&](Done<QList<NewsEntry>> done) { feed->newsFlash(t, 12, std::move(done)); },
            [base = baseUrl(), gbk](const QList<NewsEntry>& items) { return gbk(newsflash::listPageOf(base, items)); });
        return true;
    }
    if (const std::optional<bigorder::Request> page = bigorder::parse(r.path)) {   // the large-order statistics site
        serve<BigOrderAnswer>(
            responder, reshape,
            [&](Done<BigOrderAnswer> done) { feed->bigOrders(page->code, t, page->days(), std::move(done)); },
            [p = *page, gbk](const BigOrderAnswer& a) { return gbk(bigorder::pageFor(p, a)); });
        return true;
    }
    return false;
}

void Sandbox::Impl::answer(const server::http::Responder& responder, const QHostAddress& peer, const LoggedRequest& r,
                           const QByteArray& rawQuery, const Fault* reshape)
{
    auto send = [&](const QByteArray& body, const QByteArray& type, int status = 200) {
        if (reshape)
            return sendReshaped(*reshape, responder.socket(), body, type, status);
        responder.send(status, type, body);
    };

    if (!rawQuery.isEmpty()) {
        for (const QString& key : {r.path + QLatin1Char('?') + r.query,
                                   r.path + QLatin1Char('?') + QString::fromLatin1(rawQuery)}) {
            const auto it = fixed.constFind(key);
            if (it != fixed.constEnd())
                return send(it->body, it->contentType, it->status);
        }
    }
    if (const auto it = fixed.constFind(r.path); it != fixed.constEnd())
        return send(it->body, it->contentType, it->status);

    if (r.method != "GET" && r.method != "POST")
        return send("Method Not Allowed\n", "text/plain; charset=utf-8", 405);

    // Both companion and quote sites treat paths case-insensitively; so does the sandbox.
    const QString path = r.path.toLower();
    const QDateTime t = now();
    auto field = [&](const QString& key) { return server::fieldValue(rawQuery, r.form, key); };

    if (answerMarketPage(responder, r, path, field, t, reshape))
        return;
    const server::CompanionRequest asked{path, field, peer.toString(), r.time, r.method};
    if (const auto reply = companion->answer(asked))
        return send(reply->body, reply->contentType, reply->status);
    auto sendPage = [&](const QString& page, int status = 200) { send(net::toGbk(page), kGbkHtml, status); };
    if (tv::startStream(path, responder.socket()))
        return;
    if (path == tv::kNeverPath)
        return;   // the connection stays open and the stream never starts
    if (path == newsflash::kTodayInfoPath)
        return sendPage(newsflash::todayInfoPage(world(), baseUrl(), t));

    // In live mode a notice of the list is read on the announcement service's own page.
    if (live() && path == QLatin1String("/notice/notice_detail.aspx")) {
        const SitePage moved = notices::movedPage(field(QStringLiteral("id")));
        return sendPage(moved.html, moved.status);
    }
    // In live mode a forum post is read on the forum's (or the 财富号 site's) own page.
    if (live()) {
        if (const std::optional<SitePage> moved = forum::movedPage(path))
            return sendPage(moved->html, moved->status);
    }
    // ... and a rumour on the page of the question on its source.
    if (live()) {
        if (const std::optional<SitePage> moved = companypage::movedPage(path))
            return sendPage(moved->html, moved->status);
    }
    // East Money stock site: the news flash's articles.
    Market& info = world();
    if (const auto article = newsflash::articlePage(info, path, t))
        return sendPage(*article);
    // The stock blogs of the directory.
    if (const auto blog = blogs::page(info, path, t))
        return send(blog->body, blog->contentType);
    // The sites that evaluate a stock.
    if (const auto evaluation = evaluations::page(info, path, r.query, t))
        return sendPage(*evaluation);
    // QQ finance: the daily index pages; in live mode the day's page sends the browser on to a
    // real summary of the day's finance news.
    if (live() && qqfinance::isDayPath(path))
        return sendPage(pagegen::movedPage(QStringLiteral("昨日财经要闻"), QString::fromLatin1(qqfinance::kLiveDayIndex)));
    if (const auto day = qqfinance::dayPage(info, baseUrl(), path, t))
        return sendPage(*day);

    // The outside information sites: stock forum, commentary, notices, company news.
    const QString base = baseUrl();
    for (const std::optional<SitePage>& site :
         {forum::answer(info, path, t, base), notices::answer(info, path, field, t), companypage::answer(info, path, t, base)})
        if (site)
            return sendPage(site->html, site->status);

    send("<html><body>404 Not Found</body></html>", kUtf8Html, 404);
}

Sandbox::Sandbox(Options options, QObject* parent) : QObject(parent), d(std::make_unique<Impl>(std::move(options)))
{
    for (const auto& [path, fault] : d->options.faults)
        setFault(path, fault);
    if (!(d->options.speed > 0) || !std::isfinite(d->options.speed))
        d->options.speed = 1.0;
    d->elapsed.start();
}

Sandbox::~Sandbox()
{
    d->server.reset();
}

bool Sandbox::start(QString* error)
{
    auto fail = [error](const QString& message) {
        if (error)
            *error = message;
        return false;
    };
    if (d->server)
        return true;
    if (!server::companion::isStatusMode(d->options.status))
        return fail(QStringLiteral("unknown status mode \"%1\" (expected %2)")
                        .arg(d->options.status, server::companion::statusModes().join(QStringLiteral(", "))));
    if (d->options.market != QLatin1String("simulated") && !d->live())
        return fail(QStringLiteral("unknown market \"%1\" (expected simulated or live)").arg(d->options.market));
    if (!scenarioNamed(d->options.scenario))
        return fail(QStringLiteral("unknown scenario \"%1\" (expected %2)")
                        .arg(d->options.scenario, scenarioNames().join(QStringLiteral(", "))));

    if (d->options.dataDir.isEmpty()) {
        d->tempDir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/huilan-sandbox-XXXXXX"));
        if (!d->tempDir->isValid())
            return fail(QStringLiteral("cannot create a temporary data folder: %1").arg(d->tempDir->errorString()));
        d->dataDir = d->tempDir->path();
    } else {
        if (!QDir().mkpath(d->options.dataDir))
            return fail(QStringLiteral("cannot create the data folder %1").arg(d->options.dataDir));
        d->dataDir = QDir(d->options.dataDir).absolutePath();
    }

    QString storeError;
    if (!d->companion->open(QDir(d->dataDir).filePath(kDatabaseFile), &storeError))
        return fail(storeError);
    server::CompanionStore& store = d->companion->store();
    // A fresh board of the simulated market starts with a few recommendations, so a demo shows the
    // prompt; next to the real market those would be made-up posts, so a live board starts empty.
    if (!d->live())
        server::recommend::seedBoard(store, d->market, d->now());

    if (!d->options.logFile.isEmpty()) {
        d->logFile.setFileName(d->options.logFile);
        if (!d->logFile.open(QIODevice::WriteOnly | QIODevice::Append)) {
            store.close();
            return fail(QStringLiteral("cannot open the log file %1: %2")
                            .arg(d->options.logFile, d->logFile.errorString()));
        }
    }

    QString readError;
    if (!d->companion->startPhoneAlerts(&readError)) {
        store.close();
        return fail(readError);
    }

    Impl* impl = d.get();
    auto server = std::make_unique<server::http::Server>(
        [impl](const server::http::Request& request, server::http::Responder responder) {
            impl->handle(request, responder);
        });
    QString listenError;
    if (d->options.listenFd >= 0) {
        if (!server->useDescriptor(d->options.listenFd, &listenError)) {
            d->logFile.close();
            store.close();
            return fail(QStringLiteral("cannot serve on the handed-over socket (descriptor %1): %2")
                            .arg(d->options.listenFd)
                            .arg(listenError));
        }
        d->options.bind = server->address();
    } else if (!server->listen(d->options.bind, d->options.port, false, &listenError)) {
        d->logFile.close();
        store.close();
        return fail(QStringLiteral("cannot listen on %1 port %2: %3")
                        .arg(d->options.bind.toString())
                        .arg(d->options.port)
                        .arg(listenError));
    }
    d->port = server->port();
    d->server = std::move(server);
    if (d->options.listenFd >= 0 && d->options.idleExitMs > 0)
        armIdleExit();
    d->companion->setSites(d->sites());
    return true;
}

void Sandbox::armIdleExit()
{
    d->idleTimer.setSingleShot(true);
    d->idleTimer.setInterval(int(std::min<qint64>(d->options.idleExitMs, std::numeric_limits<int>::max())));
    connect(&d->idleTimer, &QTimer::timeout, this, [this] {
        // A client still connected (a TV stream, a reply the live market is still fetching, a
        // request on its way) is not idle: look again a whole period later.
        if (d->server->openConnections() > 0) {
            d->idleTimer.start();
            return;
        }
        // Connections arriving from now on wait in the socket, which stays open with its owner.
        d->server->pauseAccepting();
        Q_EMIT idle();
    });
    d->idleTimer.start();
}

quint16 Sandbox::port() const
{
    return d->port;
}

QString Sandbox::baseUrl() const
{
    return d->baseUrl();
}

QString Sandbox::dataDir() const
{
    return d->dataDir;
}

void Sandbox::setFixedPage(const QString& pathAndQuery, const QByteArray& body, const QByteArray& contentType,
                           int status)
{
    d->fixed.insert(pathAndQuery, {body, contentType, status});
}

void Sandbox::setSilent(const QString& path)
{
    d->silent.insert(path);
}

void Sandbox::holdReplies(const QString& pathAndQuery, const QByteArray& body, const QByteArray& contentType)
{
    d->held.insert(pathAndQuery, {body, contentType, 200});
}

int Sandbox::releaseHeld()
{
    int answered = 0;
    const auto waiting = std::exchange(d->waiting, {});
    d->held.clear();
    for (const auto& [responder, page] : waiting) {
        if (!responder.isOpen())
            continue;
        responder.send(200, page.contentType, page.body);
        ++answered;
    }
    return answered;
}

int Sandbox::heldWaiting() const
{
    return int(d->waiting.size());
}

void Sandbox::setFault(const QString& path, const Fault& fault)
{
    clearFault(path);
    d->faults.append({path.toLower(), fault});
}

bool Sandbox::setFault(const QString& path, const QString& mode)
{
    const std::optional<Fault> fault = parseFault(mode);
    if (fault)
        setFault(path, *fault);
    return fault.has_value();
}

void Sandbox::clearFault(const QString& path)
{
    const QString key = path.toLower();
    d->faults.removeIf([&key](const auto& entry) { return entry.first == key; });
}

void Sandbox::clearFaults()
{
    d->faults.clear();
}

void Sandbox::clearOverrides()
{
    d->faults.clear();
    d->fixed.clear();
    d->silent.clear();
    d->held.clear();
}

void Sandbox::setStatus(const QString& mode, const QString& link, const QString& waitingPage)
{
    if (!d->companion->setStatus(mode, link, waitingPage)) {
        qWarning("huilan-sandbox: unknown status mode \"%s\" ignored", qPrintable(mode));
        return;
    }
    d->options.status = mode;
    d->options.statusLink = link;
    d->options.waitingPage = waitingPage;
}

MirroredConfig Sandbox::mirroredConfig(const QString& sn) const
{
    return d->companion->store().config(sn);
}

QStringList Sandbox::registeredNumbers() const
{
    return d->companion->store().registeredNumbers();
}

QList<LoggedRequest> Sandbox::requests() const
{
    return d->log;
}

QList<LoggedRequest> Sandbox::requestsTo(const QString& path) const
{
    QList<LoggedRequest> out;
    for (const LoggedRequest& r : d->log)
        if (r.path == path)
            out.append(r);
    return out;
}

void Sandbox::clearRequests()
{
    d->log.clear();
}

QDateTime Sandbox::now() const
{
    return d->now();
}

void Sandbox::setClock(const QDateTime& start, double speed)
{
    d->options.clockStart = start;
    d->options.speed = speed > 0 && std::isfinite(speed) ? speed : 1.0;
    d->elapsed.restart();
}

Market& Sandbox::market()
{
    return d->market;
}

server::CompanionSites Sandbox::Impl::sites()
{
    server::CompanionSites out;
    out.tvDirectory = [](const QString& base) { return tv::directoryPayload(base); };
    if (live()) {
        out.blogs = server::companioninfo::liveBlogs(upstreamBase(QStringLiteral("sina-blog")));
        return out;
    }
    out.todayInfo = baseUrl() + newsflash::kTodayInfoPath;
    out.blogs = blogs::directory(baseUrl());
    out.evaluations = evaluations::sites(baseUrl());
    return out;
}

QStringList Sandbox::channelProblems() const
{
    return d->companion->channelProblems();
}

server::phone::PhoneService* Sandbox::phoneService() const
{
    return d->companion->phoneService();
}

server::CompanionStore& Sandbox::store()
{
    return d->companion->store();
}

MarketFeed& Sandbox::feed()
{
    return *d->feed;
}

} // namespace sandbox
