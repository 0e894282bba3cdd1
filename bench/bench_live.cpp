// Program requests against upstream requests in the live market: the real window set (main
// window, alert tick over 20 watched stocks, index summary, desktop ticker) runs in this process
// against huilan-sandbox --market live in a child process, whose every upstream is a stand-in in
// this process answering in the quote services' reply formats. Over the measured span it counts
// the program's quote requests (the sandbox's request log) and the upstream quote requests (the
// stand-in), and prints both per minute.
// Usage: bench_live [PATH_TO_HUILAN_SANDBOX [seconds, default 60]]; scripts/bench passes both in
// the environment.
#include "figure.h"
#include "windowbench.h"

#include "app/context.h"
#include "app/mainwindow.h"
#include "app/tray.h"
#include "app/windowset.h"
#include "core/clock.h"
#include "net/codecs.h"
#include "store/alertstore.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>

namespace {

// Answers the live market's upstream requests on loopback: Tencent quote lines for whatever codes
// a batch names, East Money's index reply, and "not found" for the rest (the large-order, notice
// and news services, which this benchmark does not count).
class StandIn : public QObject {
public:
    StandIn()
    {
        server_.listen(QHostAddress::LocalHost, 0);
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { serve(socket); });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
    QString baseUrl() const { return QStringLiteral("http://127.0.0.1:%1").arg(server_.serverPort()); }
    int quoteRequests = 0;
    int codesAsked = 0;
    int otherRequests = 0;

private:
    void serve(QTcpSocket* socket)
    {
        QByteArray& buffer = pending_[socket];
        buffer += socket->readAll();
        if (!buffer.contains("\r\n\r\n"))
            return;
        const QByteArray path = buffer.split(' ').value(1);
        pending_.remove(socket);
        QByteArray body;
        int status = 200;
        if (path.startsWith("/q=")) {
            ++quoteRequests;
            for (const QByteArray& symbol : path.mid(3).split(',')) {
                ++codesAsked;
                body += tencentLine(symbol);
            }
        } else if (path.startsWith("/api/qt/ulist.np/get")) {
            body = "{\"rc\":0,\"data\":{\"total\":2,\"diff\":["
                   "{\"f2\":3050.12,\"f3\":0.45,\"f4\":13.66,\"f6\":412345678901.0,\"f12\":\"000001\",\"f15\":3061.2,"
                   "\"f16\":3030.01,\"f17\":3036.5,\"f18\":3036.46,\"f104\":1523,\"f105\":712,\"f106\":65},"
                   "{\"f2\":10012.35,\"f3\":-0.31,\"f4\":-31.14,\"f6\":523456789012.0,\"f12\":\"399001\",\"f15\":10080.11,"
                   "\"f16\":9990.02,\"f17\":10043.2,\"f18\":10043.49,\"f104\":1102,\"f105\":1598,\"f106\":120}]}}";
        } else {
            ++otherRequests;
            status = 404;
        }
        socket->write("HTTP/1.1 " + QByteArray::number(status) + (status == 200 ? " OK" : " Not Found")
                      + "\r\nContent-Type: text/plain; charset=GBK\r\nContent-Length: " + QByteArray::number(body.size())
                      + "\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
    }

    // A quote line in Tencent's layout whose outer volume grows with every request, so the
    // last trade moves.
    QByteArray tencentLine(const QByteArray& symbol)
    {
        const QByteArray code = symbol.mid(2);
        const qint64 outer = 200000 + quoteRequests * 7;
        QStringList f(50, QStringLiteral("0"));
        f[0] = QStringLiteral("1");
        f[1] = QStringLiteral("股票") + QString::fromLatin1(code);
        f[2] = QString::fromLatin1(code);
        f[3] = QStringLiteral("10.12");
        f[4] = QStringLiteral("10.00");
        f[5] = QStringLiteral("10.01");
        f[6] = QString::number(outer + 200000);
        f[7] = QString::number(outer);
        f[8] = QStringLiteral("200000");
        f[9] = QStringLiteral("10.11");
        f[19] = QStringLiteral("10.12");
        f[30] = QStringLiteral("20261209103000");
        f[33] = QStringLiteral("10.20");
        f[34] = QStringLiteral("9.98");
        f[37] = QStringLiteral("40480");
        return "v_" + symbol + "=\"" + net::toGbk(f.join(QLatin1Char('~'))) + "\";\n";
    }

    QTcpServer server_;
    QHash<QTcpSocket*, QByteArray> pending_;
};

int programQuoteRequests(QFile& log)
{
    int n = 0;
    for (const QByteArray& line : log.readAll().split('\n'))
        n += line.contains("optional.aspx") ? 1 : 0;
    return n;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const QString sandboxBin = argc > 1 ? QString::fromLocal8Bit(argv[1]) : bench::sandboxPath();
    const int seconds = argc > 2 ? atoi(argv[2]) : bench::sessionSeconds();

    StandIn upstream;
    QTemporaryDir dir;
    const quint16 port = bench::freePort();
    QStringList args = {QStringLiteral("--port"), QString::number(port), QStringLiteral("--market"),
                        QStringLiteral("live"), QStringLiteral("--data"), dir.filePath("sandbox"),
                        QStringLiteral("--log"), dir.filePath("requests.log")};
    for (const char* name : {"tencent", "sina", "eastmoney", "sina-bills", "eastmoney-history", "eastmoney-notices",
                             "eastmoney-news"})
        args << QStringLiteral("--upstream") << QString::fromLatin1(name) + u'=' + upstream.baseUrl();
    QProcess sandbox;
    if (!bench::startSandbox(sandbox, sandboxBin, args))
        return 1;

    const app::Settings settings =
        bench::settingsAt(QStringLiteral("http://127.0.0.1:%1").arg(port), dir.filePath("system"));
    // Twenty watched stocks.
    bench::saveWatched(settings.SystemDir, {"600000", "600036", "600030", "601318", "601398", "600519", "600276",
                                            "601012", "600887", "601857", "000001", "000002", "000651", "002415",
                                            "300059", "000333", "000858", "002594", "300750", "000725"});

    // The program's clock in trading hours, so the panel, the alert tick and the ticker all poll.
    app::RunningClock clock(QDateTime(QDate(2026, 12, 9), QTime(10, 0)));
    bench::PrintingPrompter prompter;
    bench::PrintingOpener opener;
    app::AppContext context(settings, clock, prompter, opener);
    app::WindowSet windows(context);
    if (!windows.startUp()) {
        std::fprintf(stderr, "the program ended at start-up\n");
        return 1;
    }
    windows.main().tray().item("N13")->trigger();   // the ticker on
    bench::runFor(5000);

    QFile log(dir.filePath("requests.log"));
    log.open(QIODevice::ReadOnly);
    log.seek(log.size());
    const int upstreamBefore = upstream.quoteRequests;
    const int codesBefore = upstream.codesAsked;
    bench::runFor(seconds * 1000);
    const int program = programQuoteRequests(log);
    const int up = upstream.quoteRequests - upstreamBefore;
    const double perMinute = 60.0 / seconds;
    std::printf("watched stocks: %d, ticker on, %d s\n", context.alerts.watchedCount(), seconds);
    std::printf("program quote requests: %d (%.0f a minute)\n", program, program * perMinute);
    std::printf("upstream quote requests: %d (%.0f a minute), %.1f codes each\n", up, up * perMinute,
                up ? double(upstream.codesAsked - codesBefore) / up : 0.0);
    bench::figure("live_program_quotes_per_minute", program * perMinute, "requests");
    bench::figure("live_upstream_quotes_per_minute", up * perMinute, "requests");
    sandbox.kill();
    sandbox.waitForFinished();
    return 0;
}
