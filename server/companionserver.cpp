#include "companionserver.h"

#include "binding.h"
#include "channelsfile.h"
#include "companion.h"
#include "forms.h"
#include "market.h"
#include "marketfeed.h"
#include "phonehooks.h"
#include "phoneservice.h"
#include "requests.h"

#include "market/quote.h"
#include "net/codecs.h"

#include <QHostAddress>

namespace server {

namespace {

constexpr char kGbkHtml[] = "text/html; charset=gbk";
// The author's QQ number on the author's page: the one the application names by default.
constexpr QLatin1String kAuthorContact("10000");

// Every request counts its client as seen, but writing that down on every request would make each
// page a database write. A client already written down is written again only after this long: the
// online count looks ten minutes back, so a minute more or less of last-seen time changes nothing.
constexpr qint64 kSeenRewriteMs = 60 * 1000;
// Clients remembered as written down, at most; past that the memory starts afresh.
constexpr qsizetype kSeenRemembered = 100000;
// The board and the online count are asked for by every user every half minute. Each process
// keeps the page it last read for this long, so a burst of users costs one read; a post made
// through this process shows at once, one made through another instance within this time.
constexpr qint64 kPageKeptMs = 1000;

qint64 realMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

// A page read from the store, kept for kPageKeptMs.
struct Kept {
    std::optional<CompanionReply> reply;
    qint64 readMs = 0;
    const CompanionReply* fresh() const { return reply && realMs() - readMs < kPageKeptMs ? &*reply : nullptr; }
    CompanionReply keep(CompanionReply r)
    {
        if (r.status == 200) {
            reply = r;
            readMs = realMs();
        }
        return r;
    }
};

} // namespace

struct Companion::Impl {
    Impl(CompanionOptions o, feed::MarketFeed& f, feed::Market& w, std::function<QDateTime()> c,
         std::function<QString()> b)
        : options(std::move(o)), feed(f), world(w), clock(std::move(c)), baseUrl(std::move(b)), onlineCount(store),
          bindPage(store, [this] { return phone.get(); })
    {
    }

    phone::PhoneService::Hooks phoneHooks();

    CompanionOptions options;
    feed::MarketFeed& feed;
    feed::Market& world;
    std::function<QDateTime()> clock;
    std::function<QString()> baseUrl;
    CompanionSites sites;
    CompanionStore store;
    OnlineCounter onlineCount;
    std::unique_ptr<phone::PhoneService> phone;
    QStringList channelProblems;
    Kept board;    // /gpjgshow.asp
    Kept online;   // /gpreadall.asp
    QHash<QString, qint64> seenWritten;   // client address -> when last written down (real time)
    binding::BindingPage bindPage;
};

Companion::Companion(CompanionOptions options, feed::MarketFeed& feed, feed::Market& world,
                     std::function<QDateTime()> clock, std::function<QString()> baseUrl)
    : d(std::make_unique<Impl>(std::move(options), feed, world, std::move(clock), std::move(baseUrl)))
{
}

Companion::~Companion() = default;

bool Companion::open(const QString& database, QString* error)
{
    return d->store.open(database, error);
}

void Companion::setSites(CompanionSites sites)
{
    d->sites = std::move(sites);
}

bool Companion::setStatus(const QString& mode, const QString& link, const QString& waitingPage)
{
    if (!companion::isStatusMode(mode))
        return false;
    d->options.status = mode;
    d->options.statusLink = link;
    d->options.waitingPage = waitingPage;
    return true;
}

std::optional<CompanionReply> Companion::answer(const CompanionRequest& r)
{
    const QString& path = r.path;
    const auto& field = r.field;
    auto page = [](const QString& html, int status = 200) {
        return CompanionReply{net::toGbk(html), kGbkHtml, status};
    };
    auto framed = [&page](const QString& payload, int status = 200) { return page(companion::frame(payload), status); };

    if (auto reply = d->bindPage.answer(r))
        return reply;
    if (path == QLatin1String("/gplogin.asp"))
        return framed(companion::statusPayload(d->options.status, d->baseUrl(), d->options.statusLink,
                                               d->options.waitingPage));
    if (path == QLatin1String("/notice.html"))
        return page(companion::noticePage());
    if (path == QLatin1String("/waiting.html"))
        return page(companion::waitingPage());
    if (path == QLatin1String("/ban.html"))
        return page(companion::banPage());
    if (path == QLatin1String("/download.html"))
        return page(companion::downloadPage());
    if (path == QLatin1String("/author.html"))
        return page(companion::authorPage(kAuthorContact));
    if (path == QLatin1String("/fetion.html"))
        return page(companion::fetionPage());
    if (path == QLatin1String("/msgrd")) {
        const QString uin = field(QStringLiteral("Uin"));
        return page(companion::chatPage(uin.isEmpty() ? field(QStringLiteral("uin")) : uin));
    }
    if (path == QLatin1String("/gpgetstock.asp"))
        return page(companion::stockPage(d->world, field(QStringLiteral("name")), d->clock()));
    if (path == QLatin1String("/gpcgad.html"))
        return page(companion::adPage(d->baseUrl()));
    // Pages read from the store answer 503 while it cannot be read, rather than an empty answer.
    auto busy = [&framed] { return framed(companion::kServerBusy, 503); };
    bool read = false;
    if (path == QLatin1String("/gpreadall.asp")) {
        if (const CompanionReply* kept = d->online.fresh())
            return *kept;
        const int count = d->onlineCount.count(r.received, &read);
        return d->online.keep(read ? framed(companion::onlinePayload(count)) : busy());
    }
    if (path == QLatin1String("/gpall.asp"))
        return framed(companion::kAllPayload);
    if (d->options.showNumbers && path == QLatin1String("/gpshow.asp")) {
        const QString sn = field(QStringLiteral("sn"));
        if (!isPhoneNumber(sn))
            return page(companion::badNumberPage(sn));
        const MirroredConfig config = d->store.config(sn, &read);
        return read ? page(companion::showPage(sn, config)) : page(companion::kServerBusy, 503);
    }
    if (path == QLatin1String("/gpjgshow.asp")) {
        if (const CompanionReply* kept = d->board.fresh())
            return *kept;
        const auto posts = d->store.recommendations(recommend::kShownPosts, &read);
        return d->board.keep(read ? framed(recommend::showPayload(posts)) : busy());
    }
    if (path == QLatin1String("/jg.asp")) {
        const auto posts = d->store.recommendations(-1, &read);
        return read ? page(recommend::boardPage(posts)) : page(companion::kServerBusy, 503);
    }
    if (path == QLatin1String("/gpjg.asp")) {
        const FormReply reply = recommend::answerPost(d->store, r.address, d->clock(), field, d->options.postsPerDay);
        d->board.reply.reset();   // this process shows its own post at once
        return framed(reply.payload, reply.status);
    }
    if (const auto reply = answerForm(d->store, path, field))
        return framed(reply->payload, reply->status);
    if (path == QLatin1String("/gp1gettvdata.asp"))
        return framed(d->sites.tvDirectory ? d->sites.tvDirectory(d->baseUrl()) : QString());
    if (path == QLatin1String("/gpreadtoady1.asp"))
        return framed(companioninfo::directoryPayload(d->sites.todayInfo, d->clock(), d->sites.blogs));
    if (path == QLatin1String("/gpreadzhpj.asp"))
        return framed(companioninfo::evaluationsPayload(d->sites.evaluations));
    return std::nullopt;
}

void Companion::seen(const QHostAddress& address, const QDateTime& when)
{
    const QString key = address.toString();
    const qint64 ms = when.toMSecsSinceEpoch();
    const auto it = d->seenWritten.constFind(key);
    const bool known = it != d->seenWritten.constEnd();
    if (known && ms >= *it && ms - *it < kSeenRewriteMs)
        return;
    if (d->seenWritten.size() >= kSeenRemembered)
        d->seenWritten.clear();
    d->onlineCount.seen(address, when);
    d->seenWritten.insert(key, ms);
    if (!known)
        d->online.reply.reset();   // a client new to this process counts at once
}

CompanionStore& Companion::store()
{
    return d->store;
}

QStringList Companion::channelProblems() const
{
    return d->channelProblems;
}

phone::PhoneService* Companion::phoneService() const
{
    return d->phone.get();
}

bool Companion::startPhoneAlerts(QString* error, bool decide)
{
    if (d->options.channelsFile.isEmpty())
        return true;
    const auto file = notify::readChannelsFile(d->options.channelsFile, error);
    if (!file)
        return false;
    d->channelProblems = file->problems;
    d->phone = std::make_unique<phone::PhoneService>(d->phoneHooks());
    d->phone->setChannels(*file);
    d->phone->setBases(d->options.notifyBases);
    if (decide)
        d->phone->start();
    return true;
}

bool Companion::reloadChannels(QString* error)
{
    if (!d->phone)
        return startPhoneAlerts(error);
    const auto file = notify::readChannelsFile(d->options.channelsFile, error);
    if (!file)
        return false;   // the channels in use stay as they were
    d->channelProblems = file->problems;
    d->phone->setChannels(*file);
    return true;
}

phone::PhoneService::Hooks Companion::Impl::phoneHooks()
{
    phone::PhoneService::Hooks h = phone::storeHooks(store);
    h.now = clock;
    h.quotes = [this](const QStringList& codes, std::function<void(phone::PhoneService::Quotes)> done) {
        // Every code asked for at once, so the live market reads them in its batches; the quotes
        // go through the same line the program reads.
        auto quotes = std::make_shared<phone::PhoneService::Quotes>();
        auto left = std::make_shared<qsizetype>(codes.size());
        const QDateTime t = clock();
        for (const QString& code : codes)
            feed.quote(code, t, [quotes, left, done, code, t](std::optional<feed::QuoteAnswer> q) {
                if (q && *q)
                    quotes->insert(code, market::parseQuote(feed::quoteLineFor(code, *q, t)));
                if (--*left == 0)
                    done(*quotes);
            });
    };
    return h;
}

} // namespace server
