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

} // namespace

struct Companion::Impl {
    Impl(CompanionOptions o, feed::MarketFeed& f, feed::Market& w, std::function<QDateTime()> c,
         std::function<QString()> b)
        : options(std::move(o)), feed(f), world(w), clock(std::move(c)), baseUrl(std::move(b)), online(store),
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
    OnlineCounter online;
    std::unique_ptr<phone::PhoneService> phone;
    QStringList channelProblems;
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
    if (path == QLatin1String("/gpreadall.asp"))
        return framed(companion::onlinePayload(d->online.count(r.received)));
    if (path == QLatin1String("/gpall.asp"))
        return framed(companion::kAllPayload);
    if (d->options.showNumbers && path == QLatin1String("/gpshow.asp")) {
        const QString sn = field(QStringLiteral("sn"));
        return page(isPhoneNumber(sn) ? companion::showPage(sn, d->store.config(sn)) : companion::badNumberPage(sn));
    }
    if (path == QLatin1String("/gpjgshow.asp"))
        return framed(recommend::showPayload(d->store.recommendations(recommend::kShownPosts)));
    if (path == QLatin1String("/jg.asp"))
        return page(recommend::boardPage(d->store.recommendations(-1)));
    if (path == QLatin1String("/gpjg.asp")) {
        const FormReply reply = recommend::answerPost(d->store, r.address, d->clock(), field, d->options.postsPerDay);
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
    d->online.seen(address, when);
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

bool Companion::startPhoneAlerts(QString* error)
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
