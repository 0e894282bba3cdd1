#include "core/settings.h"

#include "core/clock.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <cmath>

namespace app {

namespace {

QString base(const QSettings& ini, const char* key, const QString& fallback)
{
    QString value = ini.value(QLatin1String(key), fallback).toString().trimmed();
    while (value.endsWith(u'/'))
        value.chop(1);
    return value;
}

} // namespace

QString Settings::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)
           + QStringLiteral("/huilan.ini");
}

std::optional<Settings> Settings::load(const QString& path, QString* error)
{
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile()) {
        if (error)
            *error = QStringLiteral("configuration file not found: %1").arg(path);
        return std::nullopt;
    }
    if (!info.isReadable()) {
        if (error)
            *error = QStringLiteral("configuration file cannot be read: %1").arg(path);
        return std::nullopt;
    }
    QSettings ini(path, QSettings::IniFormat);
    if (ini.status() != QSettings::NoError) {
        if (error)
            *error = QStringLiteral("configuration file is not a valid INI file: %1").arg(path);
        return std::nullopt;
    }
    Settings s;
    ini.beginGroup(QStringLiteral("services"));
    s.ServerBase = base(ini, "ServerBase", s.ServerBase);
    s.QuoteServiceBase = base(ini, "QuoteServiceBase", s.QuoteServiceBase);
    s.BigOrderBase = base(ini, "BigOrderBase", s.BigOrderBase);
    s.ForumBase = base(ini, "ForumBase", s.ForumBase);
    s.CommentaryBase = base(ini, "CommentaryBase", s.CommentaryBase);
    s.NoticeBase = base(ini, "NoticeBase", s.NoticeBase);
    s.CompanyPageBase = base(ini, "CompanyPageBase", s.CompanyPageBase);
    s.StockSiteBase = base(ini, "StockSiteBase", s.StockSiteBase);
    s.QqFinanceBase = base(ini, "QqFinanceBase", s.QqFinanceBase);
    s.ChatBase = base(ini, "ChatBase", s.ChatBase);
    ini.endGroup();
    s.Contact = ini.value(QStringLiteral("author/Contact"), s.Contact).toString();
    s.SpaceUrl = ini.value(QStringLiteral("author/SpaceUrl"), s.SpaceUrl).toString();
    s.FetionHomeUrl = ini.value(QStringLiteral("links/FetionHomeUrl"), s.FetionHomeUrl).toString();
    s.SystemDir = ini.value(QStringLiteral("paths/SystemDir"), s.SystemDir).toString();
    return s;
}

CommandLine parseCommandLine(const QStringList& arguments)
{
    CommandLine result;
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Huilan stock information and alerts for the Shanghai and Shenzhen markets.\n"
                       "\n"
                       "It reads the companion server and the market pages from %1 unless the\n"
                       "settings name other servers: the local server huilan-sandbox. Installed from the\n"
                       "package, systemd starts it on the first connection (the user socket\n"
                       "huilan-sandbox.socket; turn it on with: systemctl --user enable --now huilan-sandbox.socket).\n"
                       "Without a systemd user session, start it by hand first: huilan-sandbox --market live &")
            .arg(kDefaultBase));
    const QCommandLineOption config(QStringLiteral("config"),
                                    QStringLiteral("Read settings from FILE instead of %1.")
                                        .arg(Settings::defaultPath()),
                                    QStringLiteral("FILE"));
    const QCommandLineOption clock(QStringLiteral("clock"),
                                   QStringLiteral("Start the program's clock at this moment and let "
                                                  "it run (\"YYYY-MM-DD HH:MM:SS\")."),
                                   QStringLiteral("MOMENT"));
    const QCommandLineOption speed(QStringLiteral("speed"),
                                   QStringLiteral("Run the program's clock X times faster than real time "
                                                  "(above 0, at most %1; default 1), from --clock or from "
                                                  "now. Every timer keeps its pace in clock time, so a "
                                                  "trading day passes in minutes; network time-outs stay "
                                                  "in real time. For demos and soak runs against the "
                                                  "sandbox started with the same --speed.")
                                       .arg(kMaxClockSpeed),
                                   QStringLiteral("X"));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption version(QStringLiteral("version"),
                                     QStringLiteral("Show the version and exit."));
    parser.addOptions({config, clock, speed, help, version});
    result.helpText = parser.helpText();
    if (!parser.parse(arguments)) {
        result.error = parser.errorText();
        return result;
    }
    if (!parser.positionalArguments().isEmpty()) {
        result.error = QStringLiteral("unexpected argument: %1").arg(parser.positionalArguments().constFirst());
        return result;
    }
    result.help = parser.isSet(help);
    result.version = parser.isSet(version);
    result.configPath = parser.value(config);
    if (parser.isSet(clock)) {
        result.clockStart = parseClockText(parser.value(clock));
        if (!result.clockStart.isValid())
            result.error = QStringLiteral("--clock wants \"YYYY-MM-DD HH:MM:SS\", got \"%1\"")
                               .arg(parser.value(clock));
    }
    if (parser.isSet(speed)) {
        bool ok = false;
        result.speed = parser.value(speed).toDouble(&ok);
        if (!ok || !std::isfinite(result.speed) || result.speed <= 0 || result.speed > kMaxClockSpeed)
            result.error = QStringLiteral("--speed wants a number above 0 and at most %1, got \"%2\"")
                               .arg(kMaxClockSpeed)
                               .arg(parser.value(speed));
    }
    return result;
}

QString resolveSystemDir(const Settings& settings)
{
    QString dir = settings.SystemDir;
    if (dir.isEmpty())
        dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(dir);
    return QDir::cleanPath(dir);
}

} // namespace app
