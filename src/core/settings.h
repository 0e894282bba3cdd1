// The application's settings: one INI file (--config FILE, else huilan.ini in the user's config
// folder). Missing keys take defaults that point at the local sandbox.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

namespace app {

inline const QString kDefaultBase = QStringLiteral("http://127.0.0.1:8780");
inline const QString kAppTitle = QStringLiteral("汇澜股票情报系统V2.8");
inline const QString kVersionText = QStringLiteral("2.8");

struct Settings {
    // [services] — scheme and host, no trailing '/'
    QString ServerBase = kDefaultBase;
    QString QuoteServiceBase = kDefaultBase;
    QString BigOrderBase = kDefaultBase;
    QString ForumBase = kDefaultBase;
    QString CommentaryBase = kDefaultBase;
    QString NoticeBase = kDefaultBase;
    QString CompanyPageBase = kDefaultBase;
    QString StockSiteBase = kDefaultBase;
    QString QqFinanceBase = kDefaultBase;
    QString ChatBase = kDefaultBase;
    // [author]
    QString Contact = QStringLiteral("10000");
    QString SpaceUrl = kDefaultBase + QStringLiteral("/author.html");
    // [links]
    QString FetionHomeUrl = kDefaultBase + QStringLiteral("/fetion.html");
    // [paths]
    QString SystemDir;   // empty: the platform's application data folder

    // Reads `path`; a missing or unreadable file is an error (nullopt, *error says why).
    static std::optional<Settings> load(const QString& path, QString* error);
    static QString defaultPath();
};

// The parsed command line.
struct CommandLine {
    QString configPath;
    QDateTime clockStart;   // invalid: the system clock
    double speed = 1.0;     // clock seconds per real second
    bool help = false;
    bool version = false;
    QString error;          // non-empty: print it and exit with code 2
    QString helpText;
};
CommandLine parseCommandLine(const QStringList& arguments);

// The data folder the program's files live in, created when missing.
QString resolveSystemDir(const Settings& settings);

} // namespace app
