// huilan-sandbox: runs the sandbox server until interrupted.
#include "cli.h"
#include "livefeed.h"
#include "sandbox.h"

#include <QCoreApplication>
#include <QTextStream>

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

    sandbox::Sandbox box(cli.options);
    QString error;
    if (!box.start(&error)) {
        err << "huilan-sandbox: " << error << "\n";
        return 1;
    }
    QString host = cli.options.bind.toString();
    if (cli.options.bind.protocol() == QAbstractSocket::IPv6Protocol)
        host = QLatin1Char('[') + host + QLatin1Char(']');
    out << "huilan-sandbox listening on http://" << host << ':' << box.port()
        << (cli.options.market == QLatin1String("live") ? " (live market)" : "") << Qt::endl;
    return app.exec();
}
