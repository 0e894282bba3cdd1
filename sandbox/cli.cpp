#include "cli.h"

#include "market.h"
#include "options.h"

#include <QCommandLineParser>

#include <cmath>
#include <optional>

namespace sandbox {

using namespace feed;

namespace {

constexpr int kMaxIdleExitMinutes = 7 * 24 * 60;   // a week; beyond that, say 0 for never

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
        + server::upstreamHelp()
        + QStringLiteral("\nSocket activation: started by systemd (the user units huilan-sandbox.socket and\n"
                         "huilan-sandbox.service) or systemd-socket-activate, it serves on the socket handed over\n"
                         "(LISTEN_FDS) instead of --port and --bind, and --idle-exit lets it end when unused.\n"));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption fault(
        QStringLiteral("fault"),
        QStringLiteral("Answer every request for PATH in the fault mode MODE (listed above) instead of "
                       "the page. May be given more than once."),
        QStringLiteral("PATH=MODE"));
    const QCommandLineOption check(
        QStringLiteral("check"),
        QStringLiteral("With --market live: ask every upstream once (a Shanghai and a Shenzhen stock, the indices), "
                       "print whether each answered and what it read, and exit; the exit code is 1 when no quote "
                       "source or no index source (eastmoney, tencent) answered."));
    const QCommandLineOption idleExit(
        QStringLiteral("idle-exit"),
        QStringLiteral("When systemd hands over the listening socket (socket activation): end after MINUTES "
                       "without a request or an open connection (a fraction allowed, e.g. 0.5); systemd starts the "
                       "server again on the next connection. Started by hand, the server ignores it and runs until "
                       "interrupted. Default: 0, never."),
        QStringLiteral("MINUTES"));
    parser.addOption(help);
    // The shared options, with the sandbox's own where its help has always listed them.
    server::addCommonOptions(parser, server::Program::Sandbox,
                             {{QStringLiteral("waiting-page"), {fault}}, {QStringLiteral("upstream"), {check, idleExit}}});
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

    server::CommonOptions common;
    if (const QString problem = server::readCommonOptions(parser, common); !problem.isEmpty())
        return fail(problem);
    Options& o = out.options;
    o.port = common.port;
    o.bind = common.bind;
    o.seed = common.seed;
    o.clockStart = common.clockStart;
    o.speed = common.speed;
    o.scenario = common.scenario;
    o.dataDir = common.dataDir;
    o.logFile = common.logFile;
    o.status = common.status;
    o.statusLink = common.statusLink;
    o.waitingPage = common.waitingPage;
    o.market = common.market;
    o.upstreams = common.upstreams;
    o.channelsFile = common.channelsFile;
    o.notifyBases = common.notifyBases;
    if (parser.isSet(idleExit)) {
        bool ok = false;
        const double minutes = parser.value(idleExit).toDouble(&ok);
        if (!ok || !std::isfinite(minutes) || minutes < 0 || minutes > kMaxIdleExitMinutes)
            return fail(QStringLiteral("--idle-exit: expected a number of minutes from 0 to %1, got \"%2\"")
                            .arg(kMaxIdleExitMinutes)
                            .arg(parser.value(idleExit)));
        o.idleExitMs = qint64(std::ceil(minutes * 60000));
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
