// The command-line options huilan-sandbox and huilan-server share: where to listen, the data
// folder, the request log, the market and its clock, what the status page reports, and the phone
// alerts' channels. Each program adds them to its own parser, with its own options in between,
// and reads them with the same checks.
#pragma once

#include <QCommandLineOption>
#include <QDateTime>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QPair>
#include <QStringList>
#include <QString>
#include <optional>

class QCommandLineParser;

namespace server {

struct CommonOptions {
    quint16 port = 8780;
    QHostAddress bind = QHostAddress::LocalHost;
    quint64 seed = 1;
    QDateTime clockStart;   // invalid: the system clock
    double speed = 1.0;     // clock seconds per real second
    QString scenario;       // empty: the plain market
    QString dataDir;        // empty: the program's default
    QString logFile;        // empty: no request log
    QString status = QStringLiteral("normal");
    QString statusLink;
    QString waitingPage;
    QString market = QStringLiteral("simulated");
    QHash<QString, QString> upstreams;   // upstream name -> base address
    QString channelsFile;
    QHash<QString, QString> notifyBases;   // push channel name -> base address
};

// Whose help texts the options carry: the few that mean something different in each program.
enum class Program { Sandbox, Server };

// Options a program adds right after one of the shared ones (named without dashes), so that its
// help lists them in its own order.
using OptionsAfter = QList<QPair<QString, QList<QCommandLineOption>>>;

// Adds --port, --bind, --seed, --clock, --speed, --scenario, --data, --log, --status,
// --status-link, --waiting-page, --market, --upstream, --channels and --notify-base, in that order,
// each followed by what `after` puts behind it.
void addCommonOptions(QCommandLineParser& parser, Program program, const OptionsAfter& after = {});

// Reads the shared options the parser holds into `options`, leaving the rest as they were.
// Returns why a value cannot be used ("--port: expected ..."), or an empty string.
QString readCommonOptions(const QCommandLineParser& parser, CommonOptions& options);

// "NAME=URL" with NAME one of `names` and an http or https address (a trailing '/' dropped).
std::optional<QPair<QString, QString>> namedBase(const QString& value, const QStringList& names);

// The live upstreams, their real addresses and what each is read for, as help text.
QString upstreamHelp();

} // namespace server
