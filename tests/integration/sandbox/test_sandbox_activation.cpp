// The installed user units at work: systemd-socket-activate holds the socket the way systemd does
// and runs the service unit's own command line, with its data in a home folder made for the test.
#include "activation.h"
#include "cli.h"
#include "net/codecs.h"
#include "upstream.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <unistd.h>

namespace {

const QString kPhone = QStringLiteral("13800138000");

QString unitFile(const QString& name)
{
    QFile f(QStringLiteral(HUILAN_UNIT_DIR "/") + name);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// The value of `key=` in a unit file (the last one, as systemd reads it).
QString unitValue(const QString& unit, const QString& key)
{
    QString value;
    for (const QString& line : unit.split(QLatin1Char('\n')))
        if (line.startsWith(key + QLatin1Char('=')))
            value = line.mid(key.size() + 1).trimmed();
    return value;
}

// The service's ExecStart as systemd expands it: %h is `home`, ${NAME} the unit's Environment=
// values with `overrides` on top (what `systemctl --user edit` adds), the program the one built.
QStringList serviceCommand(const QString& home, const QHash<QString, QString>& overrides)
{
    const QString unit = unitFile(QStringLiteral("huilan-sandbox.service"));
    QHash<QString, QString> env;
    for (const QString& pair : unitValue(unit, QStringLiteral("Environment")).split(QLatin1Char(' '), Qt::SkipEmptyParts))
        env.insert(pair.section(QLatin1Char('='), 0, 0), pair.section(QLatin1Char('='), 1));
    env.insert(overrides);
    QStringList words = unitValue(unit, QStringLiteral("ExecStart")).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.isEmpty() || words.constFirst() != QLatin1String("huilan-sandbox"))
        return {};
    words.first() = QStringLiteral(HUILAN_SANDBOX_EXE);
    for (QString& w : words) {
        w.replace(QLatin1String("%h"), home);
        for (auto it = env.cbegin(); it != env.cend(); ++it)
            w.replace(QStringLiteral("${%1}").arg(it.key()), it.value());
    }
    // The live market's sources are never asked here; should a page want one, it stays on this machine.
    for (const QString& name : sandbox::upstream::names())
        words << QStringLiteral("--upstream") << name + QStringLiteral("=http://127.0.0.1:9");
    return words;
}

quint16 freePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

// One HTTP exchange on a fresh connection: the whole reply, or empty when none came.
QByteArray exchange(quint16 port, const QByteArray& request)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(10000))
        return {};
    socket.write(request);
    QByteArray reply;
    while (socket.waitForReadyRead(20000))
        reply += socket.readAll();
    return reply + socket.readAll();
}

QByteArray get(quint16 port, const QByteArray& path)
{
    return exchange(port, "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
}

// systemd's part: a socket that outlives the server, and a new start of the service's command
// each time a connection waits while none runs. The outer systemd-socket-activate opens the
// socket; the loop hands it to an inner one per start, which waits for a connection and then
// runs the command with LISTEN_PID set to the command's own process.
class SocketUnit {
public:
    SocketUnit(quint16 port, const QStringList& command)
    {
        process.setProgram(QStringLiteral("systemd-socket-activate"));
        process.setArguments(QStringList{QStringLiteral("-l"), QStringLiteral("127.0.0.1:%1").arg(port),
                                         QStringLiteral("--"), QStringLiteral("sh"), QStringLiteral("-c"),
                                         QStringLiteral("while :; do sh -c 'LISTEN_PID=$$ exec systemd-socket-activate "
                                                        "-- \"$@\"' sh \"$@\" || exit; done"),
                                         QStringLiteral("sh")}
                             + command);
        // Its own process group, so the server it runs ends with it.
        process.setChildProcessModifier([] { ::setpgid(0, 0); });
        process.start();
    }
    ~SocketUnit()
    {
        if (process.state() != QProcess::NotRunning && process.processId() > 0) {
            ::kill(-pid_t(process.processId()), SIGTERM);
            process.waitForFinished(10000);
        }
    }
    // Everything the servers it started printed so far.
    QString output()
    {
        out += QString::fromUtf8(process.readAllStandardOutput());
        return out;
    }
    QString errors()
    {
        err += QString::fromUtf8(process.readAllStandardError());
        return err;
    }
    int starts() { return int(output().count(QLatin1String("huilan-sandbox listening on http://127.0.0.1:"))); }
    int idleEnds() { return int(output().count(QLatin1String("ending; the next connection starts it again"))); }

    QProcess process;
    QString out, err;
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

    // The socket unit listens on the program's default address; the service runs the live market
    // with its data in the user's data folder and ends when idle.
    void unitsSayWhatTheProgramExpects()
    {
        QCOMPARE(unitValue(unitFile("huilan-sandbox.socket"), "ListenStream"), QStringLiteral("127.0.0.1:8780"));
        const QStringList command = serviceCommand("/home/someone", {});
        QVERIFY(command.join(' ').contains("--market live --idle-exit "));
        QVERIFY(command.join(' ').contains("--data /home/someone/.local/share/huilan-sandbox"));
        QVERIFY(!command.join(' ').contains("${"));
    }

    // Started on the first connection, it answers the status page; while a request is on its way
    // it stays; unused it ends, and the next connection starts it again on the same data.
    void startsOnDemandEndsWhenIdleAndStartsAgain()
    {
        QTemporaryDir home;
        const quint16 port = freePort();
        // 3 seconds without a request instead of the unit's minutes.
        SocketUnit unit(port, serviceCommand(home.path(), {{"HUILAN_IDLE_MINUTES", "0.05"}}));
        QTRY_VERIFY_WITH_TIMEOUT(unit.errors().contains(QStringLiteral("Listening on 127.0.0.1:%1").arg(port)), 10000);
        QTest::qWait(500);
        QCOMPARE(unit.starts(), 0);   // nothing runs before somebody connects

        const QByteArray status = get(port, "/gplogin.asp");
        QVERIFY2(status.startsWith("HTTP/1.1 200") && status.contains("text=\"#000000\">1&1http://127.0.0.1:"),
                 status.constData());
        QVERIFY(status.contains("&2 3&1"));
        QTRY_COMPARE(unit.starts(), 1);
        QVERIFY(unit.output().contains("(live market) on the socket handed over"));
        const QByteArray form = "sn=" + kPhone.toLatin1();
        QVERIFY(net::fromGbk(exchange(port, "POST /gpaddsj.asp HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
                                            "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: "
                                            + QByteArray::number(form.size()) + "\r\n\r\n" + form))
                    .contains(QStringLiteral("成功")));
        QVERIFY(QFile::exists(home.filePath(".local/share/huilan-sandbox/companion.db")));

        // A client half-way through its request for longer than the idle time keeps the server.
        {
            QTcpSocket slow;
            slow.connectToHost(QHostAddress::LocalHost, port);
            QVERIFY(slow.waitForConnected(5000));
            slow.write("GET /gplogin.asp HTTP/1.1\r\nHost: 127.0.0.1\r\n");
            QVERIFY(slow.waitForBytesWritten(5000));
            QTest::qWait(6000);
            QCOMPARE(unit.idleEnds(), 0);
            slow.write("Connection: close\r\n\r\n");
            QByteArray reply;
            while (slow.waitForReadyRead(10000))
                reply += slow.readAll();
            QVERIFY(reply.startsWith("HTTP/1.1 200"));
        }

        QTRY_COMPARE_WITH_TIMEOUT(unit.idleEnds(), 1, 30000);
        QCOMPARE(unit.process.state(), QProcess::Running);   // the socket stays

        const QString page = net::fromGbk(get(port, "/gpshow.asp?sn=" + kPhone.toLatin1()));
        QVERIFY2(page.contains(QStringLiteral("已注册")), qPrintable(page));   // the same data folder
        QTRY_COMPARE(unit.starts(), 2);
        QVERIFY2(!unit.errors().contains("ERROR"), qPrintable(unit.errors()));
    }

    // Variables meant for another process are left alone; a count that is no number, or more than
    // the one socket the server serves on, is an error rather than a silent bind of its own port.
    void handOverRules()
    {
        using sandbox::handedSocket;
        QCOMPARE(handedSocket("", "", 42).fd, -1);
        QCOMPARE(handedSocket("41", "1", 42).fd, -1);
        QVERIFY(handedSocket("41", "1", 42).error.isEmpty());
        QCOMPARE(handedSocket("42", "0", 42).fd, -1);
        QVERIFY(handedSocket("42", "2", 42).error.contains("2 sockets"));
        QVERIFY(!handedSocket("42", "x", 42).error.isEmpty());

        QCOMPARE(sandbox::parseCommandLine({"huilan-sandbox", "--idle-exit", "0.5"}).options.idleExitMs, 30000);
        QCOMPARE(sandbox::parseCommandLine({"huilan-sandbox"}).options.idleExitMs, 0);
        for (const char* bad : {"-1", "nan", "ten", "100000"})
            QVERIFY(!sandbox::parseCommandLine({"huilan-sandbox", "--idle-exit", bad}).error.isEmpty());
    }

    // Started by hand, the same command line binds its own port and never ends for being idle.
    void startedByHandIgnoresTheIdleTime()
    {
        QTemporaryDir home;
        const quint16 port = freePort();
        QStringList command = serviceCommand(home.path(), {{"HUILAN_IDLE_MINUTES", "0.01"}});
        QProcess server;
        server.start(command.takeFirst(), command << "--port" << QString::number(port));
        QByteArray printed;
        QTRY_VERIFY_WITH_TIMEOUT((printed += server.readAllStandardOutput()).contains("listening on"), 20000);
        QTest::qWait(3000);
        QVERIFY(get(port, "/gplogin.asp").startsWith("HTTP/1.1 200"));
        QTest::qWait(2000);
        QCOMPARE(server.state(), QProcess::Running);
        server.terminate();
        QVERIFY(server.waitForFinished(10000));
    }
};

QTEST_GUILESS_MAIN(TestSandboxActivation)
#include "test_sandbox_activation.moc"
