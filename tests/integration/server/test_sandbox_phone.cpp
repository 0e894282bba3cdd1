// huilan-sandbox with a channels file: a number the program registered and mirrored gets its
// alerts from the simulated market's alerts scenario on a loopback ntfy stand-in.
#include "channels.h"
#include "cli.h"
#include "phoneservice.h"
#include "sandbox.h"
#include "http.h"
#include "store.h"

#include "net/httpclient.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kPhone = QStringLiteral("13800138000");

struct Ntfy {
    Ntfy()
        : server([this](const server::http::Request& r, server::http::Responder s) {
              messages << QJsonDocument::fromJson(r.body).object();
              s.send(status, "application/json", status == 200 ? R"({"id":"x1","event":"message"})" : R"({"code":50001,"http":500})");
          })
    {
        server.listen(QHostAddress::LocalHost, 0);
    }
    QString base() const { return QStringLiteral("http://127.0.0.1:%1").arg(server.port()); }
    QList<QJsonObject> messages;
    int status = 200;
    server::http::Server server;
};

// A sandbox of the alerts scenario at 10:30 whose channels file is `channels` and whose ntfy is
// the stand-in; its data in `dir`.
sandbox::Options phoneOptions(const QTemporaryDir& dir, const QByteArray& channels, const Ntfy& ntfy)
{
    QFile file(dir.filePath(QStringLiteral("channels.ini")));
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write the channels file");
    file.write(channels);
    sandbox::Options o;
    o.port = 0;
    o.dataDir = dir.filePath(QStringLiteral("data"));
    o.clockStart = QDateTime(QDate(2026, 12, 9), QTime(10, 30));
    o.scenario = QStringLiteral("alerts");
    o.channelsFile = file.fileName();
    o.notifyBases = {{QStringLiteral("ntfy"), ntfy.base()}};
    return o;
}

// What the program's settings dialog mirrors for kPhone: the number, its switch on, and a trading
// alert on any move of 招商银行.
void mirrorAnyMove(const sandbox::Sandbox& box)
{
    net::HttpClient client(QStringLiteral("test"));
    auto post = [&](const char* path, const net::Form& form) { client.post(box.baseUrl() + QLatin1String(path), form); };
    post("/gpaddsj.asp", {{"sn", kPhone}});
    post("/gpycf.asp", {{"sn", kPhone}, {"ycf", "1"}});
    post("/gpadd2.asp", {{"sn", kPhone}, {"zh", "0001"}, {"ddcj", "1"}, {"ddmm", "9"}, {"zdf", "0"},
                         {"gpmc", QStringLiteral("招商银行")}, {"gpdm", "600036"}});
}

} // namespace

class TestSandboxPhone : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void theMirroredAlertsReachThePhone()
    {
        Ntfy ntfy;
        QTemporaryDir dir;
        const sandbox::Options o = phoneOptions(dir, "[13800138000]\nntfy=huilan-test\nwecom=bad key\n", ntfy);
        sandbox::Sandbox box(o);
        QVERIFY(box.start());
        QCOMPARE(box.channelProblems(), QStringList{QStringLiteral("line 3: wecom: not a usable value")});
        QVERIFY(box.phoneService());
        mirrorAnyMove(box);
        box.phoneService()->tick();
        QTRY_COMPARE_WITH_TIMEOUT(ntfy.messages.size(), 1, 10000);
        const QJsonObject m = ntfy.messages.first();
        QCOMPARE(m.value(QStringLiteral("topic")).toString(), QStringLiteral("huilan-test"));
        QVERIFY2(m.value(QStringLiteral("message")).toString().contains(QStringLiteral("注意:招商银行(600036)")),
                 qPrintable(m.value(QStringLiteral("message")).toString()));
        QTRY_COMPARE(box.phoneService()->attempts().size(), 1);
        QCOMPARE(int(box.phoneService()->attempts().first().result), int(server::notify::Result::Sent));

        QCOMPARE(box.store().attemptCount(kPhone), 1);

        // A restart on the same data: the alerts of the day went out already and stay sent.
        {
            sandbox::Sandbox again(o);
            QVERIFY(again.start());
            again.phoneService()->tick();
            QTest::qWait(300);
            QCOMPARE(ntfy.messages.size(), 1);
            QVERIFY(again.phoneService()->attempts().isEmpty());
        }

        // The switch off: nothing more for that number.
        net::HttpClient(QStringLiteral("test")).post(box.baseUrl() + QStringLiteral("/gpycf.asp"), {{"sn", kPhone}, {"ycf", "0"}});
        box.phoneService()->tick();
        QTest::qWait(200);
        QCOMPARE(ntfy.messages.size(), 1);
    }

    void whatAStopInterruptedIsSentAfterTheRestart()
    {
        Ntfy ntfy;
        ntfy.status = 500;
        QTemporaryDir dir;
        const sandbox::Options o = phoneOptions(dir, "[13800138000]\nntfy=huilan-test\n", ntfy);
        {
            sandbox::Sandbox box(o);
            QVERIFY(box.start());
            mirrorAnyMove(box);
            box.phoneService()->tick();
            QTRY_COMPARE(box.phoneService()->attempts().size(), 1);   // refused; the next try is seconds away
            QCOMPARE(box.phoneService()->waiting(), 1);
        }
        // The server stopped with the alert still to go; started again, it sends it first thing.
        ntfy.status = 200;
        sandbox::Sandbox again(o);
        QVERIFY(again.start());
        QTRY_COMPARE(ntfy.messages.size(), 2);
        QVERIFY(ntfy.messages.last().value(QStringLiteral("message")).toString().contains(QStringLiteral("注意:招商银行(600036)")));
        QTRY_COMPARE(again.phoneService()->attempts().size(), 1);
        QCOMPARE(int(again.phoneService()->attempts().first().result), int(server::notify::Result::Sent));
        QVERIFY(again.store().pendingAlerts(0).isEmpty());
    }

    void commandLineAndAnUnreadableFile()
    {
        const QString exe = QStringLiteral("huilan-sandbox");
        const auto cli = sandbox::parseCommandLine({exe, "--channels", "/tmp/x.ini", "--notify-base", "bark=http://127.0.0.1:9/"});
        QCOMPARE(cli.error, QString());
        QCOMPARE(cli.options.channelsFile, QStringLiteral("/tmp/x.ini"));
        QCOMPARE(cli.options.notifyBases.value(QStringLiteral("bark")), QStringLiteral("http://127.0.0.1:9"));
        QVERIFY(!sandbox::parseCommandLine({exe, "--notify-base", "sms=http://x"}).error.isEmpty());
        QVERIFY(!sandbox::parseCommandLine({exe, "--notify-base", "ntfy=file:///etc"}).error.isEmpty());

        sandbox::Options o;
        o.port = 0;
        o.channelsFile = QStringLiteral("/nonexistent/channels.ini");
        sandbox::Sandbox box(o);
        QString error;
        QVERIFY(!box.start(&error));
        QVERIFY(error.contains(QStringLiteral("/nonexistent/channels.ini")));
    }
};

QTEST_GUILESS_MAIN(TestSandboxPhone)
#include "test_sandbox_phone.moc"
