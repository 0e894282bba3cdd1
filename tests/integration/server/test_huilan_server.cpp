// The huilan-server executable over loopback: its companion pages are the sandbox's, what it does
// not serve it refuses, `show` tells the operator what a number holds, workers share its port and
// end with it, SIGHUP rereads the channels file, and its command line refuses bad values.
#include "companion.h"
#include "pgcluster.h"
#include "recommend.h"

#include "net/codecs.h"
#include "sandbox.h"
#include "store.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <memory>

namespace {

const QStringList kCompanionPages{"/gplogin.asp", "/gpreadall.asp", "/gpreadzhpj.asp", "/gpreadtoady1.asp",
                                  "/gpjgshow.asp", "/gpall.asp", "/notice.html", "/gp1gettvdata.asp"};
const QString kClock = QStringLiteral("2026-12-09 10:15:00");
const QByteArray kNumber = "13800138000";

struct Reply {
    int status = 0;
    QByteArray head;
    QByteArray body;
};

// One request on its own connection, waiting in the event loop so an in-process server answers too.
Reply fetch(quint16 port, const QByteArray& method, const QByteArray& target, const QByteArray& body = {},
            const QByteArray& extraHeaders = {})
{
    QTcpSocket socket;
    QByteArray received;
    QEventLoop loop;
    QObject::connect(&socket, &QTcpSocket::readyRead, &loop, [&] { received += socket.readAll(); });
    QObject::connect(&socket, &QTcpSocket::disconnected, &loop, &QEventLoop::quit);
    QObject::connect(&socket, &QTcpSocket::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    socket.connectToHost(QHostAddress::LocalHost, port);
    socket.write(method + ' ' + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) + "\r\n" +
                 extraHeaders + (body.isEmpty() ? QByteArray() : "Content-Type: application/x-www-form-urlencoded\r\n") +
                 "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
    if (socket.state() != QAbstractSocket::UnconnectedState)
        loop.exec();
    received += socket.readAll();
    Reply r;
    const qsizetype end = received.indexOf("\r\n\r\n");
    if (end < 0)
        return r;
    r.head = received.left(end);
    r.body = received.mid(end + 4);
    r.status = r.head.mid(9, 3).toInt();
    return r;
}

// Writes `text` to `path`; the path, or an empty string when it cannot be written.
QString writeFile(const QString& path, const QByteArray& text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size() ? path : QString();
}

// A running huilan-server and the port it printed.
struct Running {
    std::unique_ptr<QProcess> process = std::make_unique<QProcess>();
    quint16 port = 0;
};

Running startServer(const QStringList& arguments)
{
    Running out;
    out.process->start(QStringLiteral(HUILAN_SERVER_EXE), QStringList{"--port", "0"} + arguments);
    QByteArray line;
    QElapsedTimer waited;
    waited.start();
    while (!line.contains('\n') && waited.elapsed() < 20000 && out.process->waitForReadyRead(20000))
        line += out.process->readAllStandardOutput();
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("listening on http://127\\.0\\.0\\.1:(\\d+)")).match(QString::fromUtf8(line));
    if (m.hasMatch())
        out.port = quint16(m.captured(1).toUInt());
    return out;
}

// Runs the executable to its end; returns the exit code, filling *out and *err.
int run(const QStringList& arguments, QByteArray* out = nullptr, QByteArray* err = nullptr)
{
    QProcess p;
    p.start(QStringLiteral(HUILAN_SERVER_EXE), arguments);
    if (!p.waitForFinished(30000))
        return -1;
    if (out)
        *out = p.readAllStandardOutput();
    if (err)
        *err = p.readAllStandardError();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

// The processes whose parent is `pid`.
QList<qint64> childrenOf(qint64 pid)
{
    QList<qint64> out;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool numeric = false;
        const qint64 child = entry.toLongLong(&numeric);
        if (!numeric)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // pid (comm) state ppid ...: the name may hold blanks, so read after its ')'.
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields[1].toLongLong() == pid && fields[0] != "Z")
            out << child;
    }
    return out;
}

bool gone(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray text = stat.readAll();
    return text.mid(text.lastIndexOf(')') + 2, 1) == "Z";
}

} // namespace

class TestHuilanServer : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The companion pages answer byte for byte as the sandbox's companion part does in live mode;
    // /gpshow.asp, unknown paths and other methods are refused.
    void pagesAsTheSandbox()
    {
        QTemporaryDir data;
        Running server = startServer({"--data", data.path(), "--workers", "1", "--clock", kClock});
        QVERIFY(server.port);

        sandbox::Options o;
        o.port = 0;
        o.market = QStringLiteral("live");
        o.clockStart = QDateTime::fromString(kClock, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        QTemporaryDir boxData;
        o.dataDir = boxData.path();
        sandbox::Sandbox box(o);
        QVERIFY(box.start());

        const QByteArray ownBase = "http://127.0.0.1:" + QByteArray::number(server.port);
        const QByteArray boxBase = box.baseUrl().toLatin1();
        for (const QString& page : kCompanionPages) {
            if (page == u"/gp1gettvdata.asp")
                continue;   // the sandbox serves its own TV channels
            const Reply mine = fetch(server.port, "GET", page.toLatin1());
            const Reply theirs = fetch(box.port(), "GET", page.toLatin1());
            QCOMPARE(mine.status, 200);
            QVERIFY2(!mine.body.isEmpty(), qPrintable(page));
            QCOMPARE(mine.body, QByteArray(theirs.body).replace(boxBase, ownBase));
        }
        // Without --tv-directory the TV directory has no channels.
        QCOMPARE(fetch(server.port, "GET", "/gp1gettvdata.asp").body, QByteArray("<html><body text=\"#000000\"></body></html>"));

        QCOMPARE(fetch(server.port, "GET", "/gpshow.asp?sn=" + kNumber).status, 404);
        const Reply unknown = fetch(server.port, "GET", "/EM_Quote2007/optional.aspx");
        QCOMPARE(unknown.status, 404);
        QCOMPARE(unknown.body, QByteArray("Not Found\n"));
        QCOMPARE(fetch(server.port, "PUT", "/gplogin.asp").status, 405);
        // HEAD: the head GET would get, with its length, and no body.
        const Reply head = fetch(server.port, "HEAD", "/gplogin.asp");
        QCOMPARE(head.status, 200);
        QVERIFY(head.body.isEmpty());
        QVERIFY(head.head.contains("Content-Length: " + QByteArray::number(fetch(server.port, "GET", "/gplogin.asp").body.size())));
        // The path is matched without regard to case.
        QCOMPARE(fetch(server.port, "GET", "/GPLOGIN.ASP").status, 200);
        server.process->terminate();
        QVERIFY(server.process->waitForFinished(10000));
        QCOMPARE(server.process->exitCode(), 0);
    }

    // A number registered over HTTP, with a row and a channel, as `show` prints it; the request
    // log; the TV directory from a file.
    void showAndLog()
    {
        QTemporaryDir data;
        const QString log = data.filePath("requests.log");
        const QString tv = data.filePath("tv.txt");
        QFile tvFile(tv);
        QVERIFY(tvFile.open(QIODevice::WriteOnly));
        tvFile.write("CCTV-1&1http://tv.example/1.m3u8&2");
        tvFile.close();
        const QString channels = data.filePath("channels.ini");
        QFile channelsFile(channels);
        QVERIFY(channelsFile.open(QIODevice::WriteOnly));
        channelsFile.write("[" + kNumber + "]\npushplus=abcdef0123456789wxyz\n");
        channelsFile.close();

        Running server = startServer({"--data", data.path(), "--workers", "1", "--log", log, "--tv-directory", tv});
        QVERIFY(server.port);
        QCOMPARE(fetch(server.port, "POST", "/gpaddsj.asp", "sn=" + kNumber).status, 200);
        QCOMPARE(fetch(server.port, "POST", "/gpycf.asp", "sn=" + kNumber + "&ycf=1").status, 200);
        // 招商银行 in GBK
        QCOMPARE(fetch(server.port, "POST", "/gpadd1.asp", "sn=" + kNumber + "&gpmc=%D5%D0%C9%CC%D2%F8%D0%D0&gpdm=600036")
                     .status,
                 200);
        QVERIFY(fetch(server.port, "GET", "/gp1gettvdata.asp").body.contains("http://tv.example/1.m3u8"));

        QByteArray out;
        QByteArray err;
        QCOMPARE(run({"show", QString::fromLatin1(kNumber), "--data", data.path(), "--channels", channels}, &out, &err), 0);
        const QString shown = QString::fromUtf8(out);
        QVERIFY2(shown.contains(QStringLiteral("number 13800138000: registered")), qPrintable(shown));
        QVERIFY(shown.contains(QStringLiteral("phone switch: on")));
        QVERIFY(shown.contains(QStringLiteral("table 1 (opening/closing price alerts): 1 row")));
        QVERIFY(shown.contains(QStringLiteral("gpmc\tgpdm")));
        QVERIFY(shown.contains(QStringLiteral("招商银行\t600036")));
        QVERIFY(shown.contains(QStringLiteral("table 2 (trading alerts): 0 rows")));
        QVERIFY(shown.contains(QStringLiteral("pushplus\t****************wxyz")));
        QVERIFY(!shown.contains(QStringLiteral("abcdef")));
        QVERIFY(shown.contains(QStringLiteral("last phone-alert attempts: 0")));

        QCOMPARE(run({"show", "13900000000", "--database", "sqlite:" + data.filePath("companion.db")}, &out), 0);
        QVERIFY(out.contains("number 13900000000: not registered"));
        QCOMPARE(run({"show", "12345", "--data", data.path()}, nullptr, &err), 2);
        QVERIFY(err.contains("not a phone number"));

        QFile logFile(log);
        QVERIFY(logFile.open(QIODevice::ReadOnly));
        const QByteArray logged = logFile.readAll();
        QCOMPARE(logged.count('\n'), 4);
        QVERIFY(logged.contains("/gpadd1.asp"));
        QVERIFY(logged.contains("600036"));
        server.process->terminate();
        QVERIFY(server.process->waitForFinished(10000));

        // The last 20 tries to send an alert, newest first.
        {
            server::CompanionStore store;
            QVERIFY(store.open(data.filePath("companion.db")));
            for (int i = 1; i <= 25; ++i)
                QVERIFY(store.recordAttempt(QString::fromLatin1(kNumber), "ntfy", QStringLiteral("key-%1").arg(i),
                                            1765000000000 + i * 1000, i == 25 ? "sent" : "retry", "429"));
            QVERIFY(store.recordAttempt("13900000000", "ntfy", "other-number", 1765000000000, "sent", "200"));
        }
        QCOMPARE(run({"show", QString::fromLatin1(kNumber), "--data", data.path()}, &out), 0);
        const QStringList lines = QString::fromUtf8(out).split('\n');
        const qsizetype first = lines.indexOf(QStringLiteral("last phone-alert attempts: 20"));
        QVERIFY2(first >= 0, out.constData());
        QVERIFY(lines.value(first + 1).endsWith(QStringLiteral("\tntfy\tsent\t429\tkey-25")));
        QVERIFY(lines.value(first + 20).endsWith(QStringLiteral("\tkey-6")));
        QVERIFY(!out.contains("other-number") && !out.contains("key-5\n"));
    }

    // Behind a proxy on loopback each X-Forwarded-For address counts as a client of its own;
    // without --trust-proxy the header is only the client's say and changes nothing.
    void trustProxy()
    {
        for (const bool trusted : {true, false}) {
            QTemporaryDir data;
            Running server = startServer(QStringList{"--data", data.path(), "--workers", "1"} +
                                         (trusted ? QStringList{"--trust-proxy"} : QStringList{}));
            QVERIFY(server.port);
            for (const QByteArray client : {"203.0.113.7", "203.0.113.8", "203.0.113.7, 203.0.113.9"})
                QCOMPARE(fetch(server.port, "GET", "/gpall.asp", {}, "X-Forwarded-For: " + client + "\r\n").status, 200);
            const QByteArray count = fetch(server.port, "GET", "/gpreadall.asp", {}, "X-Forwarded-For: 203.0.113.7\r\n").body;
            QVERIFY2(count.contains(trusted ? "> 3 <" : "> 1 <"), count.constData());
            server.process->terminate();
            QVERIFY(server.process->waitForFinished(10000));
        }
    }

    // Two processes serve one port; ending the first, cleanly or not, ends the other.
    void workers()
    {
        for (const int signal : {SIGTERM, SIGKILL}) {
            QTemporaryDir data;
            Running server = startServer({"--data", data.path(), "--workers", "2"});
            QVERIFY(server.port);
            const qint64 parent = server.process->processId();
            QList<qint64> children;
            QTRY_VERIFY_WITH_TIMEOUT((children = childrenOf(parent)).size() == 1, 10000);
            QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(children[0]));
            QVERIFY(cmdline.open(QIODevice::ReadOnly));
            QVERIFY(cmdline.readAll().contains("--worker"));

            int answered = 0;
            for (int i = 0; i < 40; ++i)
                answered += fetch(server.port, "GET", "/gpreadall.asp").status == 200;
            QCOMPARE(answered, 40);

            ::kill(pid_t(parent), signal);
            QVERIFY(server.process->waitForFinished(10000));
            if (signal == SIGTERM)
                QCOMPARE(server.process->exitCode(), 0);
            QTRY_VERIFY_WITH_TIMEOUT(gone(children[0]), 10000);
        }
    }

    // With several processes, each one sends the binding page's codes: whichever process the
    // kernel hands a request to, the page works (only the first process decides alerts).
    void bindingPageOnEveryWorker()
    {
        QTemporaryDir data;
        const QString channels = writeFile(data.filePath("channels.ini"), "[" + kNumber + "]\nntfy=alerts-topic\n");
        QVERIFY(!channels.isEmpty());
        Running server = startServer({"--data", data.path(), "--workers", "2", "--channels", channels,
                                      "--notify-base", "ntfy=http://127.0.0.1:9"});
        QVERIFY(server.port);
        QTRY_COMPARE_WITH_TIMEOUT(childrenOf(server.process->processId()).size(), 1, 10000);
        for (int i = 0; i < 20; ++i) {
            const QByteArray number = "139000000" + QByteArray::number(10 + i);
            const Reply r = fetch(server.port, "POST", "/bind",
                                  "number=" + number + "&action=bind&channel=ntfy&value=topic" + QByteArray::number(i));
            QVERIFY2(r.status == 200 && r.body.contains("验证码已发送"), r.body.constData());
        }
        server.process->terminate();
        QVERIFY(server.process->waitForFinished(10000));
    }

    // A worker that ends after running a while is started again; the port is served throughout.
    void workerStartedAgain()
    {
        QTemporaryDir data;
        Running server = startServer({"--data", data.path(), "--workers", "2"});
        QVERIFY(server.port);
        const qint64 parent = server.process->processId();
        QList<qint64> children;
        QTRY_VERIFY_WITH_TIMEOUT((children = childrenOf(parent)).size() == 1, 10000);
        QTest::qWait(2500);   // past the start-up time in which an ending worker is left ended
        const qint64 first = children[0];
        ::kill(pid_t(first), SIGKILL);
        QByteArray err;
        QTRY_VERIFY_WITH_TIMEOUT((err += server.process->readAllStandardError()).contains("starting it again"), 10000);
        QTRY_VERIFY_WITH_TIMEOUT((children = childrenOf(parent)).size() == 1 && children[0] != first, 10000);
        for (int i = 0; i < 10; ++i)
            QCOMPARE(fetch(server.port, "GET", "/gpall.asp").status, 200);
        server.process->terminate();
        QVERIFY(server.process->waitForFinished(10000));
        QTRY_VERIFY_WITH_TIMEOUT(gone(children[0]), 10000);
    }

    // Handed a listening socket the way systemd does, the first process and its worker both serve
    // on it; the listening line says so.
    void socketActivationWithWorkers()
    {
        const QString activate = QStandardPaths::findExecutable(QStringLiteral("systemd-socket-activate"));
        if (activate.isEmpty())
            QSKIP("systemd-socket-activate (Debian's systemd package) is not installed");
        quint16 port = 0;
        {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost));
            port = probe.serverPort();
        }
        QTemporaryDir data;
        QProcess unit;
        unit.start(activate, {"-l", QStringLiteral("127.0.0.1:%1").arg(port), QStringLiteral(HUILAN_SERVER_EXE),
                              "--data", data.path(), "--workers", "2"});
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT((said += unit.readAllStandardError()).contains("Listening on"), 10000);
        int answered = 0;
        for (int i = 0; i < 20; ++i)
            answered += fetch(port, "GET", "/gplogin.asp").status == 200;
        QCOMPARE(answered, 20);
        QByteArray out;
        QTRY_VERIFY_WITH_TIMEOUT((out += unit.readAllStandardOutput()).contains("on the socket handed over"), 10000);
        QVERIFY(out.contains("(2 processes)"));
        const QList<qint64> children = childrenOf(unit.processId());
        QCOMPARE(children.size(), 1);
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(children[0]));
        QVERIFY(cmdline.open(QIODevice::ReadOnly));
        QVERIFY(cmdline.readAll().contains("--listen-fd"));
        unit.terminate();
        QVERIFY(unit.waitForFinished(10000));
        QCOMPARE(unit.exitCode(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(gone(children[0]), 10000);
    }

    // SIGHUP rereads the channels file and reports its problems; the server goes on serving.
    void sighupRereadsChannels()
    {
        QTemporaryDir data;
        const QString channels = writeFile(data.filePath("channels.ini"), "[" + kNumber + "]\nntfy=alerts-topic\n");
        QVERIFY(!channels.isEmpty());
        QFile file(channels);
        Running server = startServer({"--data", data.path(), "--workers", "1", "--channels", channels});
        QVERIFY(server.port);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("[" + kNumber + "]\nntfy=alerts-topic\nnosuchchannel=1\n");
        file.close();
        ::kill(pid_t(server.process->processId()), SIGHUP);
        QByteArray err;
        QTRY_VERIFY_WITH_TIMEOUT((err += server.process->readAllStandardError()).contains("line 3"), 10000);
        QVERIFY(err.contains("reread"));
        QCOMPARE(fetch(server.port, "GET", "/gpall.asp").status, 200);
        server.process->terminate();
        QVERIFY(server.process->waitForFinished(10000));
        QCOMPARE(server.process->exitCode(), 0);
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("named");
        QTest::newRow("no workers") << QStringList{"--workers", "0"} << "--workers";
        QTest::newRow("database scheme") << QStringList{"--database", "mysql://u:p@h/db"} << "--database";
        QTest::newRow("database without path") << QStringList{"--database", "sqlite:"} << "--database";
        QTest::newRow("postgres without name") << QStringList{"--database", "postgresql://u:p@h:5432"} << "--database";
        QTest::newRow("posts per day") << QStringList{"--posts-per-day", "-1"} << "--posts-per-day";
        QTest::newRow("port") << QStringList{"--port", "70000"} << "--port";
        QTest::newRow("market") << QStringList{"--market", "paper"} << "--market";
        QTest::newRow("unknown") << QStringList{"--colour"} << "colour";
        QTest::newRow("stray") << QStringList{"serve"} << "serve";
        QTest::newRow("show without number") << QStringList{"show"} << "show";
    }

    void commandLine()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, named);
        QByteArray err;
        QCOMPARE(run(args, nullptr, &err), 2);
        QVERIFY2(err.contains(named.toUtf8()), err.constData());
    }

    void helpAndVersion()
    {
        QByteArray out;
        QCOMPARE(run({"--help"}, &out), 0);
        for (const char* option : {"--port", "--bind", "--data", "--database", "--log", "--market", "--upstream",
                                   "--workers", "--posts-per-day", "--tv-directory", "--trust-proxy", "--channels",
                                   "--notify-base", "--version"})
            QVERIFY2(out.contains(option), option);
        QVERIFY(!out.contains("--worker ") && !out.contains("--listen-fd"));
        QCOMPARE(run({"--version"}, &out), 0);
        QVERIFY(QRegularExpression(QStringLiteral("^huilan-server \\d+\\.\\d+\\.\\d+\n$")).match(QString::fromUtf8(out)).hasMatch());
    }

    // Two huilan-server processes on one PostgreSQL database serve as one server: a number one
    // registered the other knows, the board's daily limit counts the posts of both, a post made
    // through one shows on the other, and a database that stops under them turns writes into
    // "server busy" with nothing half-written, then serves again once it is back.
    void twoInstancesOnOnePostgreSQL()
    {
        PgCluster cluster;
        const QString database = cluster.createDatabase();
        if (database.isEmpty())
            QSKIP(qPrintable(QStringLiteral("no PostgreSQL cluster: %1").arg(cluster.error())));
        QTemporaryDir dataA;
        QTemporaryDir dataB;
        Running a = startServer({"--data", dataA.path(), "--workers", "1", "--database", database});
        Running b = startServer({"--data", dataB.path(), "--workers", "1", "--database", database});
        QVERIFY(a.port && b.port);

        const QByteArray added = net::toGbk(server::companion::kNumberAdded);
        const QByteArray exists = net::toGbk(server::companion::kNumberExists);
        QVERIFY(fetch(a.port, "POST", "/gpaddsj.asp", "sn=" + kNumber).body.contains(added));
        QVERIFY(fetch(b.port, "POST", "/gpaddsj.asp", "sn=" + kNumber).body.contains(exists));

        const QByteArray post = "gpdm=600036&gpmc=%D5%D0%C9%CC%D2%F8%D0%D0&tjly=%CE%C8%BD%A1";
        const QByteArray accepted = net::toGbk(server::recommend::kPostAccepted);
        QVERIFY(fetch(a.port, "POST", "/gpjg.asp", post).body.contains(accepted));
        QVERIFY(fetch(b.port, "POST", "/gpjg.asp", post).body.contains(accepted));
        const Reply third = fetch(a.port, "POST", "/gpjg.asp", post);
        QVERIFY(!third.body.contains(accepted));
        QVERIFY(third.body.contains(net::toGbk(server::recommend::overLimit(2))));
        // Each process keeps the board it read for a second.
        QTRY_COMPARE_WITH_TIMEOUT(fetch(b.port, "GET", "/gpjgshow.asp").body.count("$a0"), 2, 5000);

        QVERIFY(cluster.stop());
        const Reply busy = fetch(b.port, "POST", "/gpycf.asp", "sn=" + kNumber + "&ycf=1");
        QCOMPARE(busy.status, 503);
        QVERIFY(busy.body.contains(net::toGbk(server::companion::kServerBusy)));
        QVERIFY(cluster.start());
        QCOMPARE(fetch(b.port, "POST", "/gpycf.asp", "sn=" + kNumber + "&ycf=1").status, 200);
        QByteArray out;
        QCOMPARE(run({"show", QString::fromLatin1(kNumber), "--database", database}, &out), 0);
        QVERIFY2(out.contains("number " + kNumber + ": registered") && out.contains("phone switch: on"), out.constData());
        a.process->terminate();
        b.process->terminate();
        QVERIFY(a.process->waitForFinished(10000) && b.process->waitForFinished(10000));
    }
};

QTEST_GUILESS_MAIN(TestHuilanServer)
#include "test_huilan_server.moc"
