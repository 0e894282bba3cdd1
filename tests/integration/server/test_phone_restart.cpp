// Nothing twice after a crash: the real huilan-sandbox sends a number's alerts to an ntfy stand-in,
// is killed with SIGKILL and started again on the same data, and no alert reaches the phone twice
// while new ones keep coming. And what a stop left half handed over is dropped, not sent again.
#include "ntfystandin.h"
#include "phoneservice.h"
#include "sandbox.h"
#include "store.h"

#include "net/httpclient.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kPhone = QStringLiteral("13800138000");
constexpr int kSpeed = 30;   // market seconds per real second: a 5 s tick is 2.5 market minutes

// huilan-sandbox as a process of its own; its address once it says it is listening.
struct SandboxProcess {
    ~SandboxProcess()
    {
        process.kill();
        process.waitForFinished();
    }
    bool start(const QStringList& args)
    {
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QStringLiteral(HUILAN_SANDBOX_EXE), QStringList{"--port", "0"} + args);
        return QTest::qWaitFor([this] {
            output += process.readAllStandardOutput();
            base = QRegularExpression(QStringLiteral("listening on (http://\\S+)")).match(QString::fromUtf8(output)).captured(1);
            return !base.isEmpty() || process.state() == QProcess::NotRunning;
        }, 15000) && !base.isEmpty();
    }
    QProcess process;
    QByteArray output;
    QString base;
};

QStringList alertTexts(const NtfyStandIn& ntfy)
{
    QStringList out;
    for (const QString& message : ntfy.texts(QStringLiteral("huilan-crash")))
        out << message.split(QStringLiteral("\n\n"));
    return out;
}

// The alert texts the phone got more often than the outbox of `database` holds alerts with that
// text. A push message carries no key, but each alert's text is kept with its key when the alert
// is claimed, and an alert decided again later reads differently (its price and volume moved): so
// an alert sent twice shows up here either as a text seen twice or as a text never claimed.
QStringList unclaimedOrRepeated(const QStringList& received, const QString& database)
{
    QHash<QString, int> claimed;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("outbox"));
        db.setDatabaseName(database);
        if (!db.open())
            return {QStringLiteral("cannot open ") + database};
        QSqlQuery q(db);
        q.exec(QStringLiteral("SELECT body FROM phone_outbox WHERE channel = 'ntfy'"));
        while (q.next())
            ++claimed[q.value(0).toString()];
    }
    QSqlDatabase::removeDatabase(QStringLiteral("outbox"));
    QStringList out;
    QHash<QString, int> got;
    for (const QString& t : received)
        if (++got[t] > claimed.value(t))
            out << t;
    return out;
}

} // namespace

class TestPhoneRestart : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void aKilledServerSendsNoAlertTwice()
    {
        NtfyStandIn ntfy;
        QTemporaryDir dir;
        const QString channels = dir.filePath(QStringLiteral("channels.ini"));
        {
            QFile f(channels);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("[13800138000]\nntfy=huilan-crash\n");
        }
        auto args = [&](const QDateTime& clock) {
            return QStringList{"--data", dir.filePath(QStringLiteral("data")), "--scenario", "alerts", "--clock",
                               clock.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), "--speed", QString::number(kSpeed),
                               "--channels", channels, "--notify-base", "ntfy=" + ntfy.base()};
        };
        const QDateTime opening(QDate(2026, 12, 9), QTime(9, 29, 50));

        QElapsedTimer ran;
        ran.start();
        auto first = std::make_unique<SandboxProcess>();
        QVERIFY(first->start(args(opening)));
        // The program's forms: the number, its phone switch on, every trading alert on the
        // stocks the alerts scenario steers.
        net::HttpClient client(QStringLiteral("test"));
        client.post(first->base + "/gpaddsj.asp", {{"sn", kPhone}});
        client.post(first->base + "/gpycf.asp", {{"sn", kPhone}, {"ycf", "1"}});
        for (const char* code : {"600036", "000651", "601318", "000333", "300059", "601398"})
            client.post(first->base + "/gpadd2.asp", {{"sn", kPhone}, {"zh", "1111"}, {"ddcj", "1"}, {"ddmm", "1"},
                                                      {"zdf", "0"}, {"gpmc", ""}, {"gpdm", code}});
        // The first message (every rule fires at the opening); the program's cooldowns hold the
        // next ones back for minutes of real time.
        QTRY_VERIFY_WITH_TIMEOUT(!ntfy.messages.isEmpty(), 30000);
        first->process.kill();   // SIGKILL: no chance to finish anything
        QVERIFY(first->process.waitForFinished());
        QCOMPARE(first->process.exitStatus(), QProcess::CrashExit);
        const QDateTime reached = opening.addMSecs(ran.elapsed() * kSpeed);
        QTest::qWait(300);   // anything already on its way arrives
        const QStringList before = alertTexts(ntfy);
        const QString database = dir.filePath(QStringLiteral("data/companion.db"));
        QCOMPARE(unclaimedOrRepeated(before, database), QStringList());

        // Started again with the market clock past the next five minutes: the day's limit and
        // rise/fall alerts are decided again (a fresh process knows nothing of them) and must not
        // go out again; the large trades and orders of a new five-minute window are new alerts.
        SandboxProcess second;
        QVERIFY(second.start(args(reached.addSecs(5 * 60))));
        QTRY_VERIFY_WITH_TIMEOUT(alertTexts(ntfy).size() > before.size(), 40000);
        QTest::qWait(6000);   // one more tick, in case anything was about to be repeated
        second.process.kill();
        QVERIFY(second.process.waitForFinished());
        const QStringList all = alertTexts(ntfy);
        QCOMPARE(unclaimedOrRepeated(all, database), QStringList());
        QCOMPARE(all.mid(0, before.size()), before);
    }

    void anAlertCutOffMidSendIsDroppedAndAWaitingOneIsSent()
    {
        NtfyStandIn ntfy;
        QTemporaryDir dir;
        QFile f(dir.filePath(QStringLiteral("channels.ini")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[13800138000]\nntfy=huilan-cut\n");
        f.close();
        QDir().mkpath(dir.filePath(QStringLiteral("data")));
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        {
            // What a run left: one alert handed to ntfy when it stopped, one waiting for a retry.
            server::CompanionStore store;
            QVERIFY(store.open(dir.filePath(QStringLiteral("data/companion.db"))));
            QVERIFY(store.claimAlert({"13800138000|a", "ntfy", kPhone, "t", "handed over", now}));
            QVERIFY(store.claimAlert({"13800138000|b", "ntfy", kPhone, "t2", "waiting", now}));
            QVERIFY(store.markAlerts({"13800138000|a"}, "ntfy", "sending"));
        }
        sandbox::Options o;
        o.port = 0;
        o.dataDir = dir.filePath(QStringLiteral("data"));
        o.channelsFile = f.fileName();
        o.notifyBases = {{QStringLiteral("ntfy"), ntfy.base()}};
        sandbox::Sandbox box(o);
        QVERIFY(box.start());
        QTRY_COMPARE(ntfy.messages.size(), 1);
        QCOMPARE(ntfy.texts(QStringLiteral("huilan-cut")), QStringList{QStringLiteral("waiting")});
        QTRY_VERIFY(box.store().pendingAlerts(0).isEmpty());
        QTest::qWait(200);
        QCOMPARE(ntfy.messages.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestPhoneRestart)
#include "test_phone_restart.moc"
