// huilan-sandbox: runs the sandbox server until interrupted.
#include "activation.h"
#include "cli.h"
#include "livefeed.h"
#include "sandbox.h"

#include <QCoreApplication>
#include <QTextStream>
#include <QUrl>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("huilan-sandbox"));

    const sandbox::CommandLine cli = sandbox::parseCommandLine(QCoreApplication::arguments());
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (cli.help) {
        out << cli.helpText;
        return 0;
    }
    if (!cli.error.isEmpty()) {
        err << "huilan-sandbox: " << cli.error << "\n"
            << "Try 'huilan-sandbox --help' for the options.\n";
        return 2;
    }

    if (cli.check)
        return sandbox::checkSources(cli.options.upstreams, out);

    sandbox::Options options = cli.options;
    const server::HandedSocket handed = server::takeHandedSocket();
    if (!handed.error.isEmpty()) {
        err << "huilan-sandbox: " << handed.error << "\n";
        return 1;
    }
    options.listenFd = handed.fd;
    if (handed.fd < 0)
        options.idleExitMs = 0;   // nobody would start it again
    sandbox::Sandbox box(options);
    QObject::connect(&box, &sandbox::Sandbox::idle, &app, [&] {
        out << "huilan-sandbox: no request for " << double(options.idleExitMs) / 60000.0
            << " minutes: ending; the next connection starts it again" << Qt::endl;
        QCoreApplication::quit();
    });
    QString error;
    if (!box.start(&error)) {
        err << "huilan-sandbox: " << error << "\n";
        return 1;
    }
    for (const QString& problem : box.channelProblems())
        err << "huilan-sandbox: " << options.channelsFile << ": " << problem << Qt::endl;
    // A handed-over socket's address is read from the socket itself.
    const QHostAddress bound = handed.fd >= 0 ? QHostAddress(QUrl(box.baseUrl()).host()) : options.bind;
    QString host = bound.toString();
    if (bound.protocol() == QAbstractSocket::IPv6Protocol)
        host = QLatin1Char('[') + host + QLatin1Char(']');
    out << "huilan-sandbox listening on http://" << host << ':' << box.port()
        << (options.market == QLatin1String("live") ? " (live market)" : "")
        << (handed.fd >= 0 ? " on the socket handed over" : "") << Qt::endl;
    return app.exec();
}
