// Kills the save routines with SIGKILL at random moments and checks what is left: every file and
// every database holds the old content or the new, whole, and the program and the sandbox start
// normally on what is left.
#include "appfixture.h"
#include "crashsave_contents.h"

#include "core/stockcodefile.h"
#include "store/alertstore.h"
#include "tv/tvlists.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <QThread>

namespace {

// Seeded, so a failing kill can be run again.
constexpr quint32 kSeed = 16;
constexpr int kClientKills = 60;
constexpr int kSandboxKills = 40;
constexpr int kCreateKills = 30;

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QString integrity(const QString& connection)
{
    QSqlQuery q(QSqlDatabase::database(connection, false));
    if (!q.exec(QStringLiteral("PRAGMA integrity_check")) || !q.next())
        return QStringLiteral("integrity_check did not run");
    return q.value(0).toString();
}

// The nine configuration lists, which one save writes together.
QList<QStringList> configuration(const store::AlertLists& l)
{
    return {l.AlertSendOpenClose, l.AlertCodes, l.AlertNames, l.AlertFlags, l.AlertTradeDigits,
            l.AlertOrderDigits, l.AlertPercent, l.AlertInterval, l.AlertBroadcast};
}

bool isPrefix(const QList<QStringList>& rows, const QList<QStringList>& of)
{
    return rows.size() <= of.size() && of.mid(0, rows.size()) == rows;
}

struct Kill {
    QByteArray lastStep;   // the routine the helper had started when it died
    int posted = 0;        // recommendations it reported committed
};

// Starts the helper, waits for its save loop, lets it run `delayMs` and kills it.
Kill killDuringSaves(const QString& mode, const QString& dir, int delayMs)
{
    QProcess p;
    p.start(QStringLiteral(CRASHSAVE_HELPER), {mode, dir});
    if (!p.waitForStarted(10000))
        qFatal("helper did not start");
    QByteArray out;
    while (!out.contains("saving\n")) {
        if (!p.waitForReadyRead(20000))
            qFatal("helper never reached its save loop: %s", p.readAllStandardError().constData());
        out += p.readAllStandardOutput();
    }
    QThread::msleep(delayMs);
    p.kill();   // SIGKILL
    p.waitForFinished(10000);
    out += p.readAllStandardOutput();
    if (p.exitStatus() != QProcess::CrashExit)
        qFatal("helper ended by itself: %s", p.readAllStandardError().constData());
    Kill k;
    for (const QByteArray& line : out.split('\n')) {
        if (line.startsWith("posted "))
            k.posted = line.mid(7).toInt();
        else if (!line.isEmpty() && line != "saving")
            k.lastStep = line;
    }
    return k;
}

void prepare(const QString& mode, const QString& dir)
{
    QProcess p;
    p.start(QStringLiteral(CRASHSAVE_HELPER), {mode, dir, QStringLiteral("once")});
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), 0);
}

QString report(const QMap<QByteArray, int>& points)
{
    QStringList parts;
    for (auto it = points.begin(); it != points.end(); ++it)
        parts << QStringLiteral("%1 %2").arg(it.key().isEmpty() ? QStringLiteral("loop start") : QString::fromLatin1(it.key()))
                     .arg(it.value());
    return parts.join(QStringLiteral(", "));
}

} // namespace

class TestCrashSaves : public QObject {
    Q_OBJECT
private:
    // Every client file is one of the two contents, whole; the database passes its integrity
    // check and each of its two saves (stock tables, switches) is old or new.
    void checkClientFolder(const QDir& dir, int kill)
    {
        using crashsave::clientContent;
        const QString at = QStringLiteral(" after kill %1").arg(kill);
        const QByteArray code = fileBytes(dir.filePath(app::kStockCodeFile));
        QVERIFY2(code == clientContent(0).code.toLatin1() + "\r\n" || code == clientContent(1).code.toLatin1() + "\r\n",
                 qPrintable(QString::fromLatin1(code) + at));
        for (bool recent : {true, false}) {
            const QByteArray bytes = fileBytes(dir.filePath(recent ? tv::kRecentFile : tv::kFavouritesFile));
            auto text = [recent](int which) {
                const crashsave::ClientContent& c = clientContent(which);
                return tv::tvListFileText(recent ? c.recent : c.favourites);
            };
            QVERIFY2(bytes == text(0) || bytes == text(1), qPrintable((recent ? "recent" : "favourites") + at));
        }
        store::AlertStore db;
        db.createbase(dir.filePath(store::kAlertDatabaseFile));
        QCOMPARE(integrity(db.connectionName()), QStringLiteral("ok"));
        store::AlertLists loaded;
        db.sendbase(loaded);
        const auto lists = configuration(loaded);
        QVERIFY2(lists == configuration(clientContent(0).lists) || lists == configuration(clientContent(1).lists),
                 qPrintable(loaded.AlertCodes.join(u',') + at));
        QVERIFY2((loaded.LocalAlertsOn != loaded.PhoneAlertsOn), qPrintable("switches" + at));
    }

    void checkCompanionFolder(const QDir& dir, const Kill& k, int kill)
    {
        const QString at = QStringLiteral(" after kill %1").arg(kill);
        {
            QSqlDatabase raw = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw"));
            raw.setDatabaseName(dir.filePath(crashsave::kCompanionFile));
            QVERIFY(raw.open());
            QCOMPARE(integrity(QStringLiteral("raw")), QStringLiteral("ok"));
            raw.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("raw"));
        server::CompanionStore store;
        QString error;
        QVERIFY2(store.open(dir.filePath(crashsave::kCompanionFile), &error), qPrintable(error));
        const sandbox::MirroredConfig config = store.config(crashsave::kPhone);
        QVERIFY(config.registered);
        QVERIFY2(config.ycf == u"0" || config.ycf == u"1", qPrintable(config.ycf + at));
        // One request per row: a kill in the middle of a mirror leaves each table as a run of
        // whole rows from the start of the old or the new list.
        const QList<QStringList>* tables[] = {&config.table1, &config.table2, &config.table3};
        for (int t = 0; t < 3; ++t)
            QVERIFY2(isPrefix(*tables[t], crashsave::companionContent(0).tables[t])
                         || isPrefix(*tables[t], crashsave::companionContent(1).tables[t]),
                     qPrintable(QStringLiteral("table %1").arg(t + 1) + at));
        // Every post the store reported committed is there, whole, and nothing else.
        const QList<server::StoredRecommendation> posts = store.recommendations(-1);
        QVERIFY2(posts.size() == k.posted || posts.size() == k.posted + 1,
                 qPrintable(QStringLiteral("%1 posts, %2 committed").arg(posts.size()).arg(k.posted) + at));
        for (qsizetype i = 0; i < posts.size(); ++i) {
            const server::StoredRecommendation expected = crashsave::recommendation(int(posts.size() - 1 - i));
            QCOMPARE(posts[i].reason, expected.reason);
            QCOMPARE(posts[i].postedMsecs, expected.postedMsecs);
        }
    }

private Q_SLOTS:
    void clientFilesSurviveKills()
    {
        QTemporaryDir tmp;
        const QDir dir(tmp.filePath(QStringLiteral("system")));
        QVERIFY(QDir().mkpath(dir.path()));
        prepare(QStringLiteral("client"), dir.path());
        QRandomGenerator random(kSeed);
        QMap<QByteArray, int> points;
        for (int i = 0; i < kClientKills; ++i) {
            const Kill k = killDuringSaves(QStringLiteral("client"), dir.path(), random.bounded(1, 80));
            ++points[k.lastStep];
            checkClientFolder(dir, i);
            if (QTest::currentTestFailed())
                return;
        }
        qInfo("client kills by routine: %s", qPrintable(report(points)));

        // The program starts on what is left: it opens the database (its first show asks the
        // companion server for its status only after that) and reads the stock code back.
        AppFixture f;
        QVERIFY(f.started);
        const QString code = QString::fromLatin1(fileBytes(dir.filePath(app::kStockCodeFile)).trimmed());
        const QString ini = tmp.filePath(QStringLiteral("huilan.ini"));
        QFile file(ini);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("[services]\nServerBase=%1\nQuoteServiceBase=%1\n[paths]\nSystemDir=%2\n")
                       .arg(f.box->baseUrl(), dir.path()).toUtf8());
        file.close();
        QTemporaryDir runtime;
        QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_RUNTIME_DIR", runtime.path());
        env.insert("HOME", runtime.path());
        QProcess program;
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(HUILAN_BIN), {QStringLiteral("--config"), ini});
        QVERIFY(program.waitForStarted());
        auto askedForQuoteOf = [&] {
            for (const auto& r : f.box->requestsTo(kQuotePath))
                if (r.query.contains(QStringLiteral("fav=") + code))
                    return true;
            return false;
        };
        QTRY_VERIFY_WITH_TIMEOUT(f.requestCount(QStringLiteral("/gplogin.asp")) > 0 && askedForQuoteOf(), 30000);
        QCOMPARE(program.state(), QProcess::Running);
        program.kill();
        program.waitForFinished();
        checkClientFolder(dir, kClientKills);
    }

    // A first start killed while it makes the database: the next start opens or makes it anew.
    void aFirstStartKilledWhileMakingTheDatabase()
    {
        QTemporaryDir tmp;
        const QDir dir(tmp.path());
        QRandomGenerator random(kSeed + 2);
        QMap<QByteArray, int> sizes;
        for (int i = 0; i < kCreateKills; ++i) {
            killDuringSaves(QStringLiteral("create"), dir.path(), random.bounded(0, 40));
            const QFileInfo file(dir.filePath(store::kAlertDatabaseFile));
            ++sizes[!file.exists() ? "missing" : file.size() == 0 ? "empty" : "whole"];
            if (QFileInfo::exists(file.filePath() + QStringLiteral(".new")))
                ++sizes["half-made aside"];
            store::AlertStore db;
            try {
                db.createbase(file.filePath());
            } catch (const store::StoreError& e) {
                QFAIL(qPrintable(QStringLiteral("kill %1: %2").arg(i).arg(QString::fromStdString(e.what()))));
            }
            QCOMPARE(integrity(db.connectionName()), QStringLiteral("ok"));
            QCOMPARE(db.listedStocks().size(), 0);
            QCOMPARE(db.phoneNumber(), QString());
        }
        qInfo("database file after each kill: %s", qPrintable(report(sizes)));
    }

    void companionStoreSurvivesKills()
    {
        QTemporaryDir tmp;
        const QDir dir(tmp.path());
        prepare(QStringLiteral("sandbox"), dir.path());
        QRandomGenerator random(kSeed + 1);
        QMap<QByteArray, int> points;
        int committed = 0;
        for (int i = 0; i < kSandboxKills; ++i) {
            Kill k = killDuringSaves(QStringLiteral("sandbox"), dir.path(), random.bounded(1, 80));
            // A run killed before its first post reports none: the earlier runs' posts count.
            committed = k.posted = std::max(committed, k.posted);
            ++points[k.lastStep];
            checkCompanionFolder(dir, k, i);
            if (QTest::currentTestFailed())
                return;
        }
        qInfo("sandbox kills by routine: %s", qPrintable(report(points)));

        // The sandbox starts on that folder and answers from what the store kept.
        sandbox::Options options;
        options.port = 0;
        options.dataDir = dir.path();
        sandbox::Sandbox box(options);
        QString error;
        QVERIFY2(box.start(&error), qPrintable(error));
        QVERIFY(box.mirroredConfig(crashsave::kPhone).registered);
    }
};

QTEST_GUILESS_MAIN(TestCrashSaves)
#include "test_crash_saves.moc"
