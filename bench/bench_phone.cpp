// The companion server's phone alerts at scale. 100,000 phone numbers, each with ten stocks of
// the simulated market in its mirrored trading-alert table and an ntfy channel bound in the store,
// all in a SQLite companion store: the time of one PhoneService tick (the store read, one batch of
// quotes, every number's rules, and the claims of what fires; the sends are handed to the network
// and answered afterwards by a loopback ntfy stand-in, outside the tick) and the peak resident
// memory. Then the rate at which decided messages reach the stand-in: 5,000 numbers whose every
// alert fires at once, from the tick until the last reply is recorded.
#include "market.h"
#include "figure.h"
#include "phonehooks.h"
#include "phoneservice.h"
#include "http.h"
#include "store.h"

#include "market/quote.h"

#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTemporaryDir>
#include <cstdio>

namespace {

using server::phone::PhoneService;

// HUILAN_BENCH_NUMBERS replaces the count, for trying a change on fewer.
const int kNumbers = qEnvironmentVariableIsSet("HUILAN_BENCH_NUMBERS") ? qEnvironmentVariableIntValue("HUILAN_BENCH_NUMBERS") : 100000;
constexpr int kStocksEach = 10;
constexpr int kBurstNumbers = 5000;

// An ntfy server that takes every message.
struct Ntfy {
    Ntfy()
        : server([this](const server::http::Request&, server::http::Responder s) {
              ++received;
              s.send(200, "application/json", R"({"id":"b1","event":"message"})");
          })
    {
        server.listen(QHostAddress::LocalHost, 0);
    }
    QString base() const { return QStringLiteral("http://127.0.0.1:%1").arg(server.port()); }
    qint64 received = 0;
    server::http::Server server;
};

// Fills the store's file through a connection of its own, in one transaction: numbers with their
// switch on, `rows(i)` as number i's trading-alert rows, an ntfy topic bound to each.
bool fill(const QString& file, int numbers, const std::function<QList<QStringList>(int)>& rows)
{
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fill"));
        db.setDatabaseName(file);
        ok = db.open() && db.transaction();
        QSqlQuery reg(db), sw(db), row(db), bind(db);
        ok = ok && reg.prepare("INSERT INTO registrations (sn, registered_at) VALUES (?, 0)")
             && sw.prepare("INSERT INTO switches (sn, ycf) VALUES (?, '1')")
             && row.prepare("INSERT INTO trade_alerts (sn, zh, ddcj, ddmm, zdf, gpmc, gpdm) VALUES (?, ?, ?, ?, ?, ?, ?)")
             && bind.prepare("INSERT INTO phone_bindings (sn, channel, value, bound_at) VALUES (?, 'ntfy', ?, 0)");
        for (int i = 0; ok && i < numbers; ++i) {
            const QString sn = QStringLiteral("1%1").arg(3000000000LL + i, 10, 10, QLatin1Char('0'));
            reg.addBindValue(sn);
            sw.addBindValue(sn);
            bind.addBindValue(sn);
            bind.addBindValue(QStringLiteral("bench%1").arg(i));
            ok = reg.exec() && sw.exec() && bind.exec();
            for (const QStringList& r : rows(i)) {
                row.addBindValue(sn);
                for (const QString& v : r)
                    row.addBindValue(v);
                ok = ok && row.exec();
            }
        }
        if (!ok)
            std::fprintf(stderr, "fill: %s\n", qPrintable(db.lastError().text()));
        ok = ok && db.commit();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fill"));
    return ok;
}

// A service on `store` whose quotes come straight from `market` at `now()`, sending to `ntfy`.
std::unique_ptr<PhoneService> service(server::CompanionStore& store, feed::Market& market,
                                      std::function<QDateTime()> now, const Ntfy& ntfy)
{
    PhoneService::Hooks h = server::phone::storeHooks(store);
    h.now = now;
    h.quotes = [&market, now](const QStringList& codes, std::function<void(PhoneService::Quotes)> done) {
        PhoneService::Quotes quotes;
        const QDateTime t = now();
        for (const QString& code : codes)
            quotes.insert(code, market::parseQuote(market.quoteLine(code, t)));
        done(quotes);
    };
    auto s = std::make_unique<PhoneService>(h);
    s->setBases({{QStringLiteral("ntfy"), ntfy.base()}});
    s->setChannels({});
    return s;
}

// Opens a store in `dir` and makes its binding table (created on first use).
bool openStore(server::CompanionStore& store, const QString& file)
{
    QString error;
    if (!store.open(file, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return false;
    }
    store.phoneBindings(QStringLiteral("0"));
    return true;
}

double ms(const QElapsedTimer& t)
{
    return t.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const qint64 pid = QCoreApplication::applicationPid();
    QTemporaryDir dir;
    Ntfy ntfy;

    // Every number watches ten stocks of the simulated market, drawn at random, with the settings
    // a user would leave: every rule on, large trades and orders of 4 digits, rise/fall 5 %.
    feed::Market market(1, feed::Scenario::None);
    const QStringList codes = market.codes();
    QRandomGenerator pick(7);
    const QString file = dir.filePath(QStringLiteral("companion.db"));
    {
        server::CompanionStore store;
        if (!openStore(store, file))
            return 1;
    }
    QElapsedTimer filling;
    filling.start();
    const bool filled = fill(file, kNumbers, [&](int) {
        QList<QStringList> rows;
        QStringList chosen;
        while (chosen.size() < kStocksEach) {
            const QString c = codes[int(pick.bounded(codes.size()))];
            if (!chosen.contains(c))
                chosen << c;
        }
        for (const QString& c : chosen)
            rows.append({"1111", "4", "4", "5", market.nameOf(c), c});
        return rows;
    });
    if (!filled)
        return 1;
    std::printf("store filled: %d numbers x %d stocks of %lld listed, %.1f s\n", kNumbers, kStocksEach,
                qlonglong(codes.size()), filling.elapsed() / 1000.0);
    const long rssBefore = bench::statusKiB(pid, "VmRSS");

    server::CompanionStore store;
    if (!openStore(store, file))
        return 1;
    QDateTime moment(QDate(2026, 12, 9), QTime(10, 30));
    auto phone = service(store, market, [&moment] { return moment; }, ntfy);
    std::vector<double> steady;
    double first = 0;
    for (int tick = 0; tick < 6; ++tick) {
        QElapsedTimer t;
        t.start();
        phone->tick();
        const double took = ms(t);
        if (tick == 0)
            first = took;
        else
            steady.push_back(took);
        // The replies to what this tick sent come in before the next tick: until no new attempt
        // was recorded for 300 ms.
        for (qsizetype seen = -1; seen != phone->attempts().size();) {
            seen = phone->attempts().size();
            QElapsedTimer quiet;
            quiet.start();
            while (quiet.elapsed() < 300)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        std::printf("tick %d at %s: %.1f ms, %lld messages at ntfy so far\n", tick,
                    qPrintable(moment.toString(QStringLiteral("HH:mm:ss"))), took, qlonglong(ntfy.received));
        std::fflush(stdout);
        moment = moment.addSecs(5);
    }
    const long peak = bench::statusKiB(pid, "VmHWM");
    const long rss = bench::statusKiB(pid, "VmRSS");
    std::printf("phone tick, %d numbers x %d stocks: first %.0f ms (every watch made), then %.0f ms median of %zu; "
                "RSS %.0f MiB before the service, %.0f MiB after, peak %.0f MiB\n",
                kNumbers, kStocksEach, first, bench::median(steady), steady.size(), rssBefore / 1024.0, rss / 1024.0,
                peak / 1024.0);
    bench::figure("phone_tick_100k_ms", bench::median(steady), "ms");
    bench::figure("phone_first_tick_100k_ms", first, "ms");
    bench::figure("phone_peak_rss_mib", peak / 1024.0, "MiB");
    phone.reset();
    store.close();

    // Messages a second: a store of its own where every number watches the same stock with every
    // rule at its loosest, so each number's first tick decides a message.
    const QString burstFile = dir.filePath(QStringLiteral("burst.db"));
    {
        server::CompanionStore s;
        if (!openStore(s, burstFile))
            return 1;
    }
    feed::Market steered(1, feed::Scenario::Alerts);
    if (!fill(burstFile, kBurstNumbers, [&](int) { return QList<QStringList>{{"1111", "1", "1", "0", steered.nameOf("600036"), "600036"}}; }))
        return 1;
    server::CompanionStore burstStore;
    if (!openStore(burstStore, burstFile))
        return 1;
    const QDateTime at(QDate(2026, 12, 9), QTime(10, 30));
    auto burst = service(burstStore, steered, [at] { return at; }, ntfy);
    const qint64 before = ntfy.received;
    QElapsedTimer t;
    t.start();
    burst->tick();
    const double decided = ms(t);
    // Sent, counted as the replies come (a refused connection is tried again after its pause).
    auto sent = [&] {
        qsizetype n = 0;
        for (const auto& a : burst->attempts())
            n += a.result == server::notify::Result::Sent;
        return n;
    };
    bench::waitFor([&] { return sent() >= kBurstNumbers; }, 120000);
    const double all = ms(t);
    const qsizetype ok = sent();
    qsizetype retried = 0;
    for (const auto& a : burst->attempts())
        retried += a.result == server::notify::Result::Retry;
    std::printf("burst: %lld messages decided in %.0f ms, %lld sent (%lld requests reached the stand-in, %lld tries "
                "to be repeated) in %.0f ms: %.0f messages/s\n",
                qlonglong(kBurstNumbers), decided, qlonglong(ok), qlonglong(ntfy.received - before), qlonglong(retried), all,
                ok / (all / 1000.0));
    if (ok < kBurstNumbers) {
        std::fprintf(stderr, "only %lld of %d messages were sent\n", qlonglong(ok), kBurstNumbers);
        return 1;
    }
    bench::figure("phone_messages_per_s", ok / (all / 1000.0), "msg/s");
    return 0;
}
