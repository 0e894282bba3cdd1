#include "cli.h"

#include "companion.h"
#include "market.h"
#include "upstream.h"

#include "channels.h"

#include <QCommandLineParser>
#include <QDateTime>
#include <QUrl>

#include <cmath>
#include <optional>

namespace sandbox {

using namespace feed;

namespace {

constexpr int kMaxIdleExitMinutes = 7 * 24 * 60;   // a week; beyond that, say 0 for never

// An address for a status record: an absolute URL that cannot be mistaken for the record
// separators "&1" and "&2" or cut at a blank.
bool usableLink(const QString& link)
{
    const QUrl url(link, QUrl::StrictMode);
    return url.isValid() && !url.scheme().isEmpty() && !link.contains(QLatin1String("&1")) &&
           !link.contains(QLatin1String("&2")) && !link.contains(QLatin1Char(' ')) && !link.contains(QLatin1Char('\t'));
}

// "NAME=URL" with NAME one of `names` and an http or https address (a trailing '/' dropped).
std::optional<QPair<QString, QString>> namedBase(const QString& value, const QStringList& names)
{
    const QString name = value.section(QLatin1Char('='), 0, 0).trimmed().toLower();
    QString base = value.section(QLatin1Char('='), 1).trimmed();
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    const QUrl url(base, QUrl::StrictMode);
    if (!names.contains(name) || !url.isValid() || (url.scheme() != u"http" && url.scheme() != u"https") || url.host().isEmpty())
        return std::nullopt;
    return QPair<QString, QString>{name, base};
}

QString upstreamHelp()
{
    static const char* const what[] = {
        "quotes of single stocks, batched (GBK v_sh600036=\"...~...\" lines); the indices when eastmoney fails",
        "quotes when tencent fails (GBK, comma-separated; sent with a Referer of its finance site)",
        "the two indices and the counts of rising, falling and unchanged stocks (push2 ulist.np)",
        "today's large trades of a stock (CN_Bill.GetBillList, 100 000 yuan and over)",
        "the daily money flow of the last ten days (push2his fflow daykline)",
        "the notice list (announcement API)",
        "the news flash (7x24 fast news API)",
        "the news flash when eastmoney-news fails (the same request on its sister host)",
        "the stock bloggers' article lists the blog directory names (read by the program itself)",
        "today's forum posts of a stock (the list page's article_list; sent as a browser on the forum); the rumour "
        "line: answered 传闻求证 questions of 问董秘 (a POST to GetData.aspx)",
        "the forum posts when guba fails or asks for a captcha (the list's JSON service)",
        "the commentary line (千股千评: diagnosis text, volume-trend comment, else the day's figures)",
        "the research reports of a stock (report list, newest first)",
        "the rumour line of Shenzhen and Beijing stocks when guba has none (互动易 Q&A)",
        "the rumour line of Shanghai stocks when guba has none (上证e互动 Q&A)",
    };
    const QStringList names = upstream::names();
    const QHash<QString, QString> bases = upstream::defaultBases();
    QString out;
    for (qsizetype i = 0; i < names.size(); ++i)
        out += QStringLiteral("  %1 %2\n      %3\n").arg(names[i], -18).arg(bases.value(names[i]), QString::fromUtf8(what[i]));
    return out;
}

} // namespace

CommandLine parseCommandLine(const QStringList& arguments)
{
    CommandLine out;
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Huilan sandbox: one local HTTP server standing in for the companion server and the\n"
        "finance sites Huilan reads, serving a simulated, reproducible A-share market.\n"
        "Companion pages: /gplogin.asp (status, see --status), /gpreadall.asp (clients seen in the\n"
        "last 10 minutes), /gpall.asp, /gpgetstock.asp, /gpcgad.html; forms /gpaddsj.asp, /gpycf.asp,\n"
        "/gpdel1-3.asp, /gpadd1-3.asp (POST, GBK); plain pages /notice.html, /ban.html,\n"
        "/download.html, /waiting.html, /author.html, /fetion.html, /msgrd?V=1&Uin=N; and\n"
        "/gpshow.asp?sn=NUMBER, a page showing what the server holds for that phone number.\n"
        "Information: /gpreadtoady1.asp (blog directory), /gpreadzhpj.asp (evaluating sites),\n"
        "/gptodayinfo.html; blogs /blog/<id>.html; evaluations /pj/<site>/...; the news flash\n"
        "/news/cgszb.html and its articles /news/1406,<yyyyMMddhhmm>.html; daily index /a/yyyyMMdd/.\n"
        "Recommendation board: /gpjgshow.asp (newest posts), /jg.asp (all), /gpjg.asp (post form,\n"
        "two posts per client address and day; a fresh data folder starts with a few posts).\n"
        "\n"
        "Scenarios (--scenario NAME):\n") + scenarioSummary(Scenario::Alerts)
        + QStringLiteral("\nFault modes (--fault PATH=MODE, e.g. --fault /gpreadall.asp=silent or\n"
                         "--fault '/blog/*=cut:200'; a PATH ending in '*' covers every path starting so):\n")
        + faultHelp()
        + QStringLiteral("\nLive market (--market live): the quote service's pages (/EM_Quote2007/optional.aspx and\n"
                         "default.aspx), the large-order pages, the notice list and the news flash are filled from\n"
                         "today's public market-data services; the forum, commentary, company news, blogs, evaluations\n"
                         "and daily index pages answer with their pages without entries; the companion pages stay.\n"
                         "Upstreams (--upstream NAME=URL replaces one base address):\n")
        + upstreamHelp()
        + QStringLiteral("\nSocket activation: started by systemd (the user units huilan-sandbox.socket and\n"
                         "huilan-sandbox.service) or systemd-socket-activate, it serves on the socket handed over\n"
                         "(LISTEN_FDS) instead of --port and --bind, and --idle-exit lets it end when unused.\n"));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("TCP port to listen on, 0 for any free port (default 8780)."),
                                  QStringLiteral("N"));
    const QCommandLineOption bind(QStringLiteral("bind"),
                                  QStringLiteral("Address to listen on (default 127.0.0.1)."), QStringLiteral("ADDR"));
    const QCommandLineOption seed(QStringLiteral("seed"),
                                  QStringLiteral("Seed of the simulated market; the same seed and clock give the "
                                                 "same prices (default 1)."),
                                  QStringLiteral("N"));
    const QCommandLineOption clock(QStringLiteral("clock"),
                                   QStringLiteral("Start the sandbox clock at this local time, e.g. "
                                                  "\"2026-12-09 10:15:00\"; it then runs on. Default: the "
                                                  "system clock."),
                                   QStringLiteral("YYYY-MM-DD HH:MM:SS"));
    const QCommandLineOption speed(QStringLiteral("speed"),
                                   QStringLiteral("Sandbox seconds per real second (default 1)."), QStringLiteral("X"));
    const QCommandLineOption data(QStringLiteral("data"),
                                  QStringLiteral("Folder for the companion server's state, kept in DIR/companion.db "
                                                 "(SQLite): registered phone numbers, their alert switch, the alert "
                                                 "tables the client mirrors, and the clients seen recently (for the "
                                                 "online count). Restarting on the same folder keeps it. Default: a "
                                                 "new temporary folder each run."),
                                  QStringLiteral("DIR"));
    const QCommandLineOption status(
        QStringLiteral("status"),
        QStringLiteral("What the status page /gplogin.asp reports: normal (default; service on, version current), "
                       "notice (the client opens the notice page and goes on), upgrade (a newer version is out: the "
                       "client asks to download it and ends) or ban (service stopped for this user)."),
        QStringLiteral("MODE"));
    const QCommandLineOption statusLink(
        QStringLiteral("status-link"),
        QStringLiteral("Address in the first status record instead of the mode's own page (notice.html, "
                       "download.html or ban.html on this server)."),
        QStringLiteral("URL"));
    const QCommandLineOption waitingPage(
        QStringLiteral("waiting-page"),
        QStringLiteral("Address in the second status record instead of waiting.html on this server."),
        QStringLiteral("URL"));
    const QCommandLineOption scenario(
        QStringLiteral("scenario"),
        QStringLiteral("Steer a few stocks for a demo; the only scenario is alerts (described above). Default: "
                       "none, the plain market."),
        QStringLiteral("NAME"));
    const QCommandLineOption log(QStringLiteral("log"),
                                 QStringLiteral("Append one line per request to FILE: time, method, path and "
                                                "query, decoded form fields."),
                                 QStringLiteral("FILE"));
    const QCommandLineOption fault(
        QStringLiteral("fault"),
        QStringLiteral("Answer every request for PATH in the fault mode MODE (listed above) instead of "
                       "the page. May be given more than once."),
        QStringLiteral("PATH=MODE"));
    const QCommandLineOption marketMode(
        QStringLiteral("market"),
        QStringLiteral("simulated (default): the simulated market described above; live: the market pages come "
                       "from today's market-data services (listed below)."),
        QStringLiteral("simulated|live"));
    const QCommandLineOption upstreamBase(
        QStringLiteral("upstream"),
        QStringLiteral("Base address of one live upstream instead of its real one, e.g. --upstream "
                       "tencent=http://127.0.0.1:9000 (a mirror, a proxy, a test stand-in). May be given more than once."),
        QStringLiteral("NAME=URL"));
    const QCommandLineOption check(
        QStringLiteral("check"),
        QStringLiteral("With --market live: ask every upstream once (a Shanghai and a Shenzhen stock, the indices), "
                       "print whether each answered and what it read, and exit; the exit code is 1 when no quote "
                       "source or no index source (eastmoney, tencent) answered."));
    parser.addOptions({help, port, bind, seed, clock, speed, scenario, data, log, status, statusLink, waitingPage});
    parser.addOption(fault);
    const QCommandLineOption idleExit(
        QStringLiteral("idle-exit"),
        QStringLiteral("When systemd hands over the listening socket (socket activation): end after MINUTES "
                       "without a request or an open connection (a fraction allowed, e.g. 0.5); systemd starts the "
                       "server again on the next connection. Started by hand, the server ignores it and runs until "
                       "interrupted. Default: 0, never."),
        QStringLiteral("MINUTES"));
    const QCommandLineOption channels(
        QStringLiteral("channels"),
        QStringLiteral("Send the phone alerts of every registered number whose phone switch is on through the push "
                       "channels FILE binds to it (an INI file: a section per phone number with pushplus=, wecom=, "
                       "dingtalk=, feishu=, bark=, ntfy=, telegram=, email= keys; [telegram] token=; [smtp] host= "
                       "port= user= password= from=)."),
        QStringLiteral("FILE"));
    const QCommandLineOption notifyBase(
        QStringLiteral("notify-base"),
        QStringLiteral("Address of one push service instead of its real one, e.g. --notify-base ntfy=https://ntfy.example "
                       "(a self-hosted Bark or ntfy, a test stand-in). May be given more than once."),
        QStringLiteral("NAME=URL"));
    parser.addOptions({marketMode, upstreamBase, check, idleExit, channels, notifyBase});
    out.helpText = parser.helpText();

    auto fail = [&out](const QString& message) {
        out.error = message;
        return out;
    };
    if (!parser.parse(arguments))
        return fail(parser.errorText());
    if (parser.isSet(help)) {
        out.help = true;
        return out;
    }
    if (!parser.positionalArguments().isEmpty())
        return fail(QStringLiteral("unexpected argument: %1").arg(parser.positionalArguments().constFirst()));

    Options& o = out.options;
    if (parser.isSet(port)) {
        bool ok = false;
        const uint v = parser.value(port).toUInt(&ok);
        if (!ok || v > 65535)
            return fail(QStringLiteral("--port: expected a number from 0 to 65535, got \"%1\"").arg(parser.value(port)));
        o.port = quint16(v);
    }
    if (parser.isSet(bind)) {
        const QString v = parser.value(bind).trimmed();
        if (v.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
            o.bind = QHostAddress(QHostAddress::LocalHost);
        else if (!o.bind.setAddress(v))
            return fail(QStringLiteral("--bind: \"%1\" is not an IP address").arg(parser.value(bind)));
    }
    if (parser.isSet(seed)) {
        bool ok = false;
        const quint64 v = parser.value(seed).toULongLong(&ok);
        if (!ok)
            return fail(QStringLiteral("--seed: expected a non-negative whole number, got \"%1\"").arg(parser.value(seed)));
        o.seed = v;
    }
    if (parser.isSet(clock)) {
        const QString v = parser.value(clock).trimmed();
        QDateTime t = QDateTime::fromString(v, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        if (!t.isValid())
            t = QDateTime::fromString(v, QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
        if (!t.isValid())
            return fail(QStringLiteral("--clock: expected \"YYYY-MM-DD HH:MM:SS\", got \"%1\"").arg(parser.value(clock)));
        o.clockStart = t;
    }
    if (parser.isSet(speed)) {
        bool ok = false;
        const double v = parser.value(speed).toDouble(&ok);
        if (!ok || !std::isfinite(v) || v <= 0 || v > 1e6)
            return fail(QStringLiteral("--speed: expected a number above 0 (at most 1000000), got \"%1\"")
                            .arg(parser.value(speed)));
        o.speed = v;
    }
    if (parser.isSet(scenario)) {
        o.scenario = parser.value(scenario).trimmed().toLower();
        if (o.scenario.isEmpty() || !scenarioNamed(o.scenario))
            return fail(QStringLiteral("--scenario: expected one of %1, got \"%2\"")
                            .arg(scenarioNames().join(QStringLiteral(", ")), parser.value(scenario)));
    }
    if (parser.isSet(data)) {
        o.dataDir = parser.value(data);
        if (o.dataDir.isEmpty())
            return fail(QStringLiteral("--data: the folder name is empty"));
    }
    if (parser.isSet(log)) {
        o.logFile = parser.value(log);
        if (o.logFile.isEmpty())
            return fail(QStringLiteral("--log: the file name is empty"));
    }
    if (parser.isSet(status)) {
        o.status = parser.value(status).trimmed().toLower();
        if (!server::companion::isStatusMode(o.status))
            return fail(QStringLiteral("--status: expected one of %1, got \"%2\"")
                            .arg(server::companion::statusModes().join(QStringLiteral(", ")), parser.value(status)));
    }
    for (const auto& [option, target] : {std::pair{&statusLink, &o.statusLink}, std::pair{&waitingPage, &o.waitingPage}}) {
        if (!parser.isSet(*option))
            continue;
        *target = parser.value(*option).trimmed();
        if (!usableLink(*target))
            return fail(QStringLiteral("--%1: expected an absolute URL without blanks, \"&1\" or \"&2\", got \"%2\"")
                            .arg(option->names().constFirst(), parser.value(*option)));
    }
    if (parser.isSet(marketMode)) {
        o.market = parser.value(marketMode).trimmed().toLower();
        if (o.market != QLatin1String("simulated") && o.market != QLatin1String("live"))
            return fail(QStringLiteral("--market: expected simulated or live, got \"%1\"").arg(parser.value(marketMode)));
    }
    for (const QString& value : parser.values(upstreamBase)) {
        const auto named = namedBase(value, upstream::names());
        if (!named)
            return fail(QStringLiteral("--upstream: expected NAME=URL with NAME one of %1 and an http or https URL, "
                                       "got \"%2\"").arg(upstream::names().join(QStringLiteral(", ")), value));
        o.upstreams.insert(named->first, named->second);
    }
    if (parser.isSet(idleExit)) {
        bool ok = false;
        const double minutes = parser.value(idleExit).toDouble(&ok);
        if (!ok || !std::isfinite(minutes) || minutes < 0 || minutes > kMaxIdleExitMinutes)
            return fail(QStringLiteral("--idle-exit: expected a number of minutes from 0 to %1, got \"%2\"")
                            .arg(kMaxIdleExitMinutes)
                            .arg(parser.value(idleExit)));
        o.idleExitMs = qint64(std::ceil(minutes * 60000));
    }
    o.channelsFile = parser.value(channels);
    QStringList channelNames;
    for (const auto c : server::notify::allChannels())
        channelNames << server::notify::channelName(c);
    for (const QString& value : parser.values(notifyBase)) {
        const auto named = namedBase(value, channelNames);
        if (!named)
            return fail(QStringLiteral("--notify-base: expected NAME=URL with NAME one of %1 and an http or https URL, "
                                       "got \"%2\"").arg(channelNames.join(QStringLiteral(", ")), value));
        o.notifyBases.insert(named->first, named->second);
    }
    out.check = parser.isSet(check);
    if (out.check && o.market != QLatin1String("live"))
        return fail(QStringLiteral("--check: only with --market live"));
    for (const QString& value : parser.values(fault)) {
        const QString path = value.section(QLatin1Char('='), 0, 0).trimmed();
        const std::optional<Fault> f = parseFault(value.section(QLatin1Char('='), 1));
        if (!value.contains(QLatin1Char('=')) || !path.startsWith(QLatin1Char('/')) || !f)
            return fail(QStringLiteral("--fault: expected PATH=MODE with PATH starting with '/' and a mode "
                                       "listed in --help, got \"%1\"").arg(value));
        o.faults.append({path, *f});
    }
    return out;
}

} // namespace sandbox
