#include "options.h"

#include "channels.h"
#include "companion.h"
#include "market.h"
#include "upstream.h"

#include <QCommandLineParser>
#include <QUrl>

#include <cmath>

namespace server {

namespace {

// An address for a status record: an absolute URL that cannot be mistaken for the record
// separators "&1" and "&2" or cut at a blank.
bool usableLink(const QString& link)
{
    const QUrl url(link, QUrl::StrictMode);
    return url.isValid() && !url.scheme().isEmpty() && !link.contains(QLatin1String("&1")) &&
           !link.contains(QLatin1String("&2")) && !link.contains(QLatin1Char(' ')) && !link.contains(QLatin1Char('\t'));
}

QCommandLineOption option(const char* name, const char* help, const char* value = nullptr)
{
    if (!value)
        return QCommandLineOption(QString::fromLatin1(name), QString::fromUtf8(help));
    return QCommandLineOption(QString::fromLatin1(name), QString::fromUtf8(help), QString::fromLatin1(value));
}

QList<QCommandLineOption> commonOptions(Program program)
{
    const bool sandbox = program == Program::Sandbox;
    QList<QCommandLineOption> out;
    out << option("port", "TCP port to listen on, 0 for any free port (default 8780).", "N");
    out << option("bind", "Address to listen on (default 127.0.0.1).", "ADDR");
    out << option(
        "seed",
        sandbox ? "Seed of the simulated market; the same seed and clock give the same prices (default 1)."
                : "Seed of the simulated market (with --market simulated); the same seed and clock give the same "
                  "prices (default 1).",
        "N");
    out << option("clock",
                  sandbox ? "Start the sandbox clock at this local time, e.g. \"2026-12-09 10:15:00\"; it then runs "
                            "on. Default: the system clock."
                          : "Start the server's clock (the time its pages, the board and the phone alerts go by) at "
                            "this local time, e.g. \"2026-12-09 10:15:00\"; it then runs on. Default: the system "
                            "clock.",
                  "YYYY-MM-DD HH:MM:SS");
    out << option("speed",
                  sandbox ? "Sandbox seconds per real second (default 1)."
                          : "Clock seconds per real second when --clock is given (default 1).",
                  "X");
    out << option("scenario",
                  sandbox ? "Steer a few stocks for a demo; the only scenario is alerts (described above). Default: "
                            "none, the plain market."
                          : "With --market simulated: steer a few stocks for a demo; the only scenario is alerts. "
                            "Default: none, the plain market.",
                  "NAME");
    out << option("data",
                  sandbox ? "Folder for the companion server's state, kept in DIR/companion.db (SQLite): registered "
                            "phone numbers, their alert switch, the alert tables the client mirrors, and the clients "
                            "seen recently (for the online count). Restarting on the same folder keeps it. Default: a "
                            "new temporary folder each run."
                          : "Folder for the server's state: the SQLite database DIR/companion.db unless --database "
                            "names another. Default: the user's data folder (~/.local/share/huilan-server), created "
                            "when missing.",
                  "DIR");
    out << option("log",
                  "Append one line per request to FILE: time, method, path and query, decoded form fields.", "FILE");
    out << option("status",
                  "What the status page /gplogin.asp reports: normal (default; service on, version current), notice "
                  "(the client opens the notice page and goes on), upgrade (a newer version is out: the client asks "
                  "to download it and ends) or ban (service stopped for this user).",
                  "MODE");
    out << option("status-link",
                  "Address in the first status record instead of the mode's own page (notice.html, download.html or "
                  "ban.html on this server).",
                  "URL");
    out << option("waiting-page", "Address in the second status record instead of waiting.html on this server.",
                  "URL");
    out << option("market",
                  sandbox ? "simulated (default): the simulated market described above; live: the market pages come "
                            "from today's market-data services (listed below)."
                          : "live (default): the phone alerts read today's quotes from the market-data services "
                            "(listed above); simulated: they read the simulated market of --seed and --scenario.",
                  "simulated|live");
    out << option("upstream",
                  "Base address of one live upstream instead of its real one, e.g. --upstream "
                  "tencent=http://127.0.0.1:9000 (a mirror, a proxy, a test stand-in). May be given more than once.",
                  "NAME=URL");
    out << option("channels",
                  "Send the phone alerts of every registered number whose phone switch is on through the push "
                  "channels FILE binds to it (an INI file: a section per phone number with pushplus=, wecom=, "
                  "dingtalk=, feishu=, bark=, ntfy=, telegram=, email= keys; [telegram] token=; [smtp] host= port= "
                  "user= password= from=).",
                  "FILE");
    out << option("notify-base",
                  "Address of one push service instead of its real one, e.g. --notify-base ntfy=https://ntfy.example "
                  "(a self-hosted Bark or ntfy, a test stand-in). May be given more than once.",
                  "NAME=URL");
    return out;
}

} // namespace

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
    const QStringList names = feed::upstream::names();
    const QHash<QString, QString> bases = feed::upstream::defaultBases();
    QString out;
    for (qsizetype i = 0; i < names.size(); ++i)
        out += QStringLiteral("  %1 %2\n      %3\n").arg(names[i], -18).arg(bases.value(names[i]), QString::fromUtf8(what[i]));
    return out;
}

void addCommonOptions(QCommandLineParser& parser, Program program, const OptionsAfter& after)
{
    for (const QCommandLineOption& shared : commonOptions(program)) {
        parser.addOption(shared);
        for (const auto& [name, extra] : after)
            if (name == shared.names().constFirst())
                parser.addOptions(extra);
    }
}

QString readCommonOptions(const QCommandLineParser& parser, CommonOptions& o)
{
    auto isSet = [&parser](const char* name) { return parser.isSet(QString::fromLatin1(name)); };
    auto value = [&parser](const char* name) { return parser.value(QString::fromLatin1(name)); };

    if (isSet("port")) {
        bool ok = false;
        const uint v = value("port").toUInt(&ok);
        if (!ok || v > 65535)
            return QStringLiteral("--port: expected a number from 0 to 65535, got \"%1\"").arg(value("port"));
        o.port = quint16(v);
    }
    if (isSet("bind")) {
        const QString v = value("bind").trimmed();
        if (v.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
            o.bind = QHostAddress(QHostAddress::LocalHost);
        else if (!o.bind.setAddress(v))
            return QStringLiteral("--bind: \"%1\" is not an IP address").arg(value("bind"));
    }
    if (isSet("seed")) {
        bool ok = false;
        const quint64 v = value("seed").toULongLong(&ok);
        if (!ok)
            return QStringLiteral("--seed: expected a non-negative whole number, got \"%1\"").arg(value("seed"));
        o.seed = v;
    }
    if (isSet("clock")) {
        const QString v = value("clock").trimmed();
        QDateTime t = QDateTime::fromString(v, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        if (!t.isValid())
            t = QDateTime::fromString(v, QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
        if (!t.isValid())
            return QStringLiteral("--clock: expected \"YYYY-MM-DD HH:MM:SS\", got \"%1\"").arg(value("clock"));
        o.clockStart = t;
    }
    if (isSet("speed")) {
        bool ok = false;
        const double v = value("speed").toDouble(&ok);
        if (!ok || !std::isfinite(v) || v <= 0 || v > 1e6)
            return QStringLiteral("--speed: expected a number above 0 (at most 1000000), got \"%1\"").arg(value("speed"));
        o.speed = v;
    }
    if (isSet("scenario")) {
        o.scenario = value("scenario").trimmed().toLower();
        if (o.scenario.isEmpty() || !feed::scenarioNamed(o.scenario))
            return QStringLiteral("--scenario: expected one of %1, got \"%2\"")
                .arg(feed::scenarioNames().join(QStringLiteral(", ")), value("scenario"));
    }
    if (isSet("data")) {
        o.dataDir = value("data");
        if (o.dataDir.isEmpty())
            return QStringLiteral("--data: the folder name is empty");
    }
    if (isSet("log")) {
        o.logFile = value("log");
        if (o.logFile.isEmpty())
            return QStringLiteral("--log: the file name is empty");
    }
    if (isSet("status")) {
        o.status = value("status").trimmed().toLower();
        if (!companion::isStatusMode(o.status))
            return QStringLiteral("--status: expected one of %1, got \"%2\"")
                .arg(companion::statusModes().join(QStringLiteral(", ")), value("status"));
    }
    for (const auto& [name, target] : {std::pair{"status-link", &o.statusLink}, std::pair{"waiting-page", &o.waitingPage}}) {
        if (!isSet(name))
            continue;
        *target = value(name).trimmed();
        if (!usableLink(*target))
            return QStringLiteral("--%1: expected an absolute URL without blanks, \"&1\" or \"&2\", got \"%2\"")
                .arg(QLatin1String(name), value(name));
    }
    if (isSet("market")) {
        o.market = value("market").trimmed().toLower();
        if (o.market != QLatin1String("simulated") && o.market != QLatin1String("live"))
            return QStringLiteral("--market: expected simulated or live, got \"%1\"").arg(value("market"));
    }
    for (const QString& v : parser.values(QStringLiteral("upstream"))) {
        const auto named = namedBase(v, feed::upstream::names());
        if (!named)
            return QStringLiteral("--upstream: expected NAME=URL with NAME one of %1 and an http or https URL, "
                                  "got \"%2\"")
                .arg(feed::upstream::names().join(QStringLiteral(", ")), v);
        o.upstreams.insert(named->first, named->second);
    }
    if (isSet("channels"))
        o.channelsFile = value("channels");
    QStringList channelNames;
    for (const auto c : notify::allChannels())
        channelNames << notify::channelName(c);
    for (const QString& v : parser.values(QStringLiteral("notify-base"))) {
        const auto named = namedBase(v, channelNames);
        if (!named)
            return QStringLiteral("--notify-base: expected NAME=URL with NAME one of %1 and an http or https URL, "
                                  "got \"%2\"")
                .arg(channelNames.join(QStringLiteral(", ")), v);
        o.notifyBases.insert(named->first, named->second);
    }
    return {};
}

} // namespace server
