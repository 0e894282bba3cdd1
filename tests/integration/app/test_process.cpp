// The built program as a user starts it: command-line errors and the single running copy.
#include "appfixture.h"

#include <QFile>
#include <QProcess>
#include <QTest>

namespace {

QProcessEnvironment childEnvironment(const QString& runtimeDir)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_RUNTIME_DIR", runtimeDir);   // the lock file lives here
    env.insert("HOME", runtimeDir);
    return env;
}

} // namespace

class TestProcess : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void badCommandLinesExitWithCode2_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("mentions");
        QTest::newRow("missing config") << QStringList{"--config", "/nonexistent/huilan.ini"} << "/nonexistent/huilan.ini";
        QTest::newRow("bad clock") << QStringList{"--clock", "25:99"} << "--clock";
        QTest::newRow("unknown option") << QStringList{"--frobnicate"} << "frobnicate";
        QTest::newRow("bad speed") << QStringList{"--speed", "0"} << "--speed";
    }
    void badCommandLinesExitWithCode2()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, mentions);
        QTemporaryDir runtime;
        QProcess p;
        p.setProcessEnvironment(childEnvironment(runtime.path()));
        p.start(HUILAN_BIN, args);
        QVERIFY(p.waitForFinished(20000));
        QCOMPARE(p.exitCode(), 2);
        QVERIFY2(QString::fromLocal8Bit(p.readAllStandardError()).contains(mentions), qPrintable(mentions));
    }

    void versionAndHelp()
    {
        QTemporaryDir runtime;
        QProcess p;
        p.setProcessEnvironment(childEnvironment(runtime.path()));
        p.start(HUILAN_BIN, {"--version"});
        QVERIFY(p.waitForFinished(20000));
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(p.readAllStandardOutput().contains("2.8"));
        p.start(HUILAN_BIN, {"--help"});
        QVERIFY(p.waitForFinished(20000));
        QVERIFY(p.readAllStandardOutput().contains("--config"));
    }

    // A terminal over ssh or a packaging script has no display: the command line still works.
    void commandLineNeedsNoDisplay()
    {
        QTemporaryDir runtime;
        QProcessEnvironment env = childEnvironment(runtime.path());
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        const struct { QStringList args; int code; const char* mentions; } runs[] = {
            {{"--version"}, 0, "2.8"},
            {{"--help"}, 0, "--config"},
            {{"--config", "/nonexistent/huilan.ini"}, 2, "/nonexistent/huilan.ini"},
            {{"--clock", "25:99"}, 2, "--clock"},
        };
        for (const auto& run : runs) {
            QProcess p;
            p.setProcessEnvironment(env);
            p.start(HUILAN_BIN, run.args);
            QVERIFY(p.waitForFinished(20000));
            QCOMPARE(p.exitStatus(), QProcess::NormalExit);
            QCOMPARE(p.exitCode(), run.code);
            const QString out = QString::fromLocal8Bit(p.readAllStandardOutput() + p.readAllStandardError());
            QVERIFY2(out.contains(QLatin1String(run.mentions)), qPrintable(out));
        }
    }

    void secondCopyEndsWithoutAWindow()
    {
        AppFixture f;
        QVERIFY(f.started);
        QTemporaryDir runtime;
        QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QString ini = f.dir.filePath("huilan.ini");
        QFile file(ini);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("[services]\nServerBase=%1\nQuoteServiceBase=%1\n[paths]\nSystemDir=%2\n")
                       .arg(f.box->baseUrl(), f.dir.filePath("system")).toUtf8());
        file.close();

        QProcess first;
        first.setProcessEnvironment(childEnvironment(runtime.path()));
        first.start(HUILAN_BIN, {"--config", ini});
        QVERIFY(first.waitForStarted());
        // The first copy is up once its first show asked for the current stock's quote.
        QTRY_VERIFY_WITH_TIMEOUT(f.requestCount(kQuotePath) > 0, 20000);
        QTest::qWait(500);
        const int before = int(f.box->requests().size());

        QProcess second;
        second.setProcessEnvironment(childEnvironment(runtime.path()));
        second.start(HUILAN_BIN, {"--config", ini});
        QVERIFY(second.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(second.state() == QProcess::NotRunning, 20000);
        QCOMPARE(second.exitCode(), 0);
        // The second copy never got as far as a first show: it asked the servers for nothing.
        const auto log = f.box->requests();
        int secondCopyPages = 0;
        for (qsizetype i = before; i < log.size(); ++i)
            if (log[i].path == "/gpcgad.html")
                ++secondCopyPages;
        QCOMPARE(secondCopyPages, 0);
        QCOMPARE(first.state(), QProcess::Running);

        first.kill();
        first.waitForFinished();
        // A copy that died leaves its lock behind; the next start takes it over.
        QProcess third;
        third.setProcessEnvironment(childEnvironment(runtime.path()));
        third.start(HUILAN_BIN, {"--config", ini});
        QVERIFY(third.waitForStarted());
        QTest::qWait(3000);
        QCOMPARE(third.state(), QProcess::Running);
        third.kill();
        third.waitForFinished();
    }
};

QTEST_GUILESS_MAIN(TestProcess)
#include "test_process.moc"
