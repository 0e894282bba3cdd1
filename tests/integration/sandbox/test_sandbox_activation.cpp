// The installed user units at work: systemd-socket-activate holds the socket the way systemd does
// and runs the service unit's own command line, with its data in a home folder made for the test.
#include "activation.h"
#include "cli.h"
#include "net/codecs.h"
#include "upstream.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <unistd.h>

namespace {

// The service unit's ExecStart as systemd expands it: %h is `home`, ${NAME} the unit's
// Environment= values with `overrides` on top (what `systemctl --user edit` adds), the program the
// one built. The live market's sources, never asked here, are kept on this machine all the same.
QStringList serviceCommand(const QString& home, const QHash<QString, QString>& overrides)
{
    QFile f(QStringLiteral(HUILAN_UNIT_DIR "/huilan-sandbox.service"));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QHash<QString, QString> env;
    QStringList words;
    for (const QString& line : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("Environment=")))
            for (const QString& pair : line.mid(12).split(QLatin1Char(' '), Qt::SkipEmptyParts))
                env.insert(pair.section(QLatin1Char('='), 0, 0), pair.section(QLatin1Char('='), 1));
        if (line.startsWith(QLatin1String("ExecStart=")))
            words = line.mid(10).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    }
    env.insert(overrides);
    if (words.isEmpty() || words.constFirst() != QLatin1String("huilan-sandbox"))
        return {};
    words.first() = QStringLiteral(HUILAN_SANDBOX_EXE);
    for (QString& w : words) {
        w.replace(QLatin1String("%h"), home);
        for (auto it = env.cbegin(); it != env.cend(); ++it)
            w.replace(QStringLiteral("${%1}").arg(it.key()), it.value());
    }
    for (const QString& name : feed::upstream::names())
        words << QStringLiteral("--upstream") << name + QStringLiteral("=http://127.0.0.1:9");
    return words;
}

quint16 freePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

// One HTTP/1.1 exchange on a fresh connection: the whole reply, or empty when none came.
QByteArray exchange(quint16 port, const QByteArray& head, const QByteArray& body = {})
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(10000))
        return {};
    socket.write(head + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n");
    if (!body.isEmpty())
        socket.write("Content-Type: application/x-www-form-urlencoded\r\nContent-Length: "
                     + QByteArray::number(body.size()) + "\r\n");
    socket.write("\r\n" + body);
    QByteArray reply;
    while (socket.waitForReadyRead(20000))
        reply += socket.readAll();
    return reply;
}

// systemd's part: a socket that outlives the server, and a new start of the service's command
// each time a connection waits while none runs. The outer systemd-socket-activate opens the
// socket; the loop hands it to an inner one per start, which waits for a connection and then
// runs the command with LISTEN_PID set to the command's own process.
class SocketUnit {
public:
    SocketUnit(quint16 port, const QStringList& command)
    {
        process.setChildProcessModifier([] { ::setpgid(0, 0); });
        process.start(QStringLiteral("systemd-socket-activate"),
                      QStringList{QStringLiteral("-l"), QStringLiteral("127.0.0.1:%1").arg(port), QStringLiteral("--"),
                                  QStringLiteral("sh"), QStringLiteral("-c"),
                                  QStringLiteral("while :; do sh -c 'LISTEN_PID=$$ exec systemd-socket-activate -- "
                                                 "\"$@\"' sh \"$@\" || exit; done"),
                                  QStringLiteral("sh")}
                          + command);
    }
    ~SocketUnit()   // the whole process group: the loop and the server it runs
    {
        if (process.processId() > 0)
            ::kill(-pid_t(process.processId()), SIGTERM);
        process.waitForFinished(10000);
    }
    int count(const char* line) { return int((out += process.readAllStandardOutput()).count(line)); }

    QProcess process;
    QByteArray out;
};

} // namespace

class TestSandboxActivation : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("systemd-socket-activate")).isEmpty())
            QSKIP("systemd-socket-activate (Debian's systemd package) is not installed");
    }

    // Started on the first connection, it answers the status page; while a request is on its way
    // it stays; unused it ends, and the next connection starts it again on the same data.
    void startsOnDemandEndsWhenIdleAndStartsAgain()
    {
        QTemporaryDir home;
        const quint16 port = freePort();
        // 3 seconds without a request instead of the unit's minutes.
        SocketUnit unit(port, serviceCommand(home.path(), {{"HUILAN_IDLE_MINUTES", "0.05"}}));
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT((said += unit.process.readAllStandardError()).contains("Listening on"), 10000);
        QVERIFY2(unit.count("listening on") == 0, said.constData());   // nothing runs before somebody connects

        const QByteArray status = exchange(port, "GET /gplogin.asp");
        QVERIFY2(status.startsWith("HTTP/1.1 200") && status.contains("text=\"#000000\">1&1http://127.0.0.1:")
                     && status.contains("&2 3&1"), status.constData());
        QTRY_COMPARE(unit.count("listening on http://127.0.0.1:"), 1);
        QCOMPARE(unit.count("(live market) on the socket handed over"), 1);
        QVERIFY(net::fromGbk(exchange(port, "POST /gpaddsj.asp", "sn=13800138000")).contains(QStringLiteral("成功")));
        QVERIFY(QFile::exists(home.filePath(".local/share/huilan-sandbox/companion.db")));

        // A client half-way through its request for longer than the idle time keeps the server.
        QTcpSocket slow;
        slow.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(slow.waitForConnected(5000));
        slow.write("GET /gplogin.asp HTTP/1.1\r\nHost: 127.0.0.1\r\n");
        QTest::qWait(6000);
        QCOMPARE(unit.count("ending; the next connection starts it again"), 0);
        slow.write("Connection: close\r\n\r\n");
        QVERIFY(slow.waitForReadyRead(10000) && slow.readAll().startsWith("HTTP/1.1 200"));

        QTRY_COMPARE_WITH_TIMEOUT(unit.count("ending; the next connection starts it again"), 1, 30000);
        QCOMPARE(unit.process.state(), QProcess::Running);   // the socket stays
        const QString page = net::fromGbk(exchange(port, "GET /gpshow.asp?sn=13800138000"));
        QVERIFY2(page.contains(QStringLiteral("已注册")), qPrintable(page));   // the same data folder
        QTRY_COMPARE(unit.count("listening on http://127.0.0.1:"), 2);
    }

    // Variables meant for another process are left alone; more sockets than the one it serves on,
    // or a count that is no number, are an error rather than a quiet bind of its own port.
    void handOverRules()
    {
        QCOMPARE(server::handedSocket("41", "1", 42).fd, -1);
        QVERIFY(server::handedSocket("41", "1", 42).error.isEmpty());
        QVERIFY(server::handedSocket("42", "2", 42).error.contains("2 sockets"));
        QVERIFY(!server::handedSocket("42", "x", 42).error.isEmpty());
        QCOMPARE(sandbox::parseCommandLine({"huilan-sandbox", "--idle-exit", "0.5"}).options.idleExitMs, 30000);
        QVERIFY(!sandbox::parseCommandLine({"huilan-sandbox", "--idle-exit", "-1"}).error.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSandboxActivation)
#include "test_sandbox_activation.moc"
