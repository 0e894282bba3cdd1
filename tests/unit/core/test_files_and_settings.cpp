#include "core/clock.h"
#include "core/settings.h"
#include "core/stockcodefile.h"
#include "net/codecs.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <limits>

using namespace app;

namespace {
void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}
} // namespace

class TestFilesAndSettings : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void stockCodeFileIsOneGbkLineWithCrLf()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("gp06856.dat");
        writeStockCodeFile(path, "600036");
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("600036\r\n"));
        QCOMPARE(readStockCodeFile(path).value_or("?"), QStringLiteral("600036"));
        writeStockCodeFile(path, "000001");   // replaced whole
        QCOMPARE(readStockCodeFile(path).value_or("?"), QStringLiteral("000001"));
    }

    void readingTakesTheFirstLineOnly_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("code");   // "-" = treated as missing
        QTest::newRow("crlf and more lines") << QByteArray("300750\r\n600000\r\n") << "300750";
        QTest::newRow("no line end") << QByteArray("000002") << "000002";
        QTest::newRow("empty file") << QByteArray() << "-";
        QTest::newRow("empty first line") << QByteArray("\r\n600000\r\n") << "-";
        QTest::newRow("gbk text") << net::toGbk(QStringLiteral("平安")) + "\r\n" << "平安";
    }
    void readingTakesTheFirstLineOnly()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, code);
        QTemporaryDir dir;
        const QString path = dir.filePath("gp06856.dat");
        writeBytes(path, bytes);
        QCOMPARE(readStockCodeFile(path).value_or("-"), code);
    }

    void missingFileReadsAsNothingAndUnwritableFileThrows()
    {
        QTemporaryDir dir;
        QVERIFY(!readStockCodeFile(dir.filePath("none.dat")));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                                 writeStockCodeFile(dir.filePath("no/such/dir/gp06856.dat"), "1"));
    }

    void settingsFileOverridesDefaultsAndDropsTrailingSlash()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("huilan.ini");
        writeBytes(path, "[services]\nServerBase=http://example.test:81/\n[paths]\nSystemDir=/tmp/x\n");
        QString error;
        const auto s = Settings::load(path, &error);
        QVERIFY2(s, qPrintable(error));
        QCOMPARE(s->ServerBase, QStringLiteral("http://example.test:81"));
        QCOMPARE(s->QuoteServiceBase, kDefaultBase);
        QCOMPARE(s->SystemDir, QStringLiteral("/tmp/x"));
    }

    void missingSettingsFileIsAnError()
    {
        QString error;
        QVERIFY(!Settings::load("/nonexistent/huilan.ini", &error));
        QVERIFY(error.contains("/nonexistent/huilan.ini"));
    }

    void commandLineOptions()
    {
        CommandLine ok = parseCommandLine({"huilan", "--config", "a.ini", "--clock", "2026-12-12 09:28:00"});
        QVERIFY(ok.error.isEmpty());
        QCOMPARE(ok.configPath, QStringLiteral("a.ini"));
        QCOMPARE(ok.clockStart, QDateTime(QDate(2026, 12, 12), QTime(9, 28)));
        QVERIFY(!parseCommandLine({"huilan", "--clock", "tomorrow"}).error.isEmpty());
        QVERIFY(!parseCommandLine({"huilan", "--bogus"}).error.isEmpty());
        QVERIFY(parseCommandLine({"huilan", "--help"}).help);
    }

    void speedOption_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<double>("speed");   // 0: refused
        QTest::newRow("whole") << "100" << 100.0;
        QTest::newRow("fraction") << "0.5" << 0.5;
        QTest::newRow("highest") << "1000" << 1000.0;
        QTest::newRow("too fast") << "1001" << 0.0;
        QTest::newRow("zero") << "0" << 0.0;
        QTest::newRow("negative") << "-3" << 0.0;
        QTest::newRow("not a number") << "fast" << 0.0;
        QTest::newRow("nan") << "nan" << 0.0;
        QTest::newRow("infinite") << "inf" << 0.0;
    }
    void speedOption()
    {
        QFETCH(QString, value);
        QFETCH(double, speed);
        const CommandLine cli = parseCommandLine({"huilan", "--speed", value});
        if (speed == 0) {
            QVERIFY(cli.error.contains("--speed"));
        } else {
            QVERIFY2(cli.error.isEmpty(), qPrintable(cli.error));
            QCOMPARE(cli.speed, speed);
        }
        QCOMPARE(parseCommandLine({"huilan"}).speed, 1.0);
    }

    // A timer meant to fire every N clock milliseconds fires every N / speed real ones, never
    // less than one (a zero interval would spin) and without overflow on a slow clock.
    void timerIntervalsFollowTheSpeed_data()
    {
        QTest::addColumn<double>("speed");
        QTest::addColumn<int>("clockMs");
        QTest::addColumn<int>("realMs");
        QTest::newRow("real time") << 1.0 << 60000 << 60000;
        QTest::newRow("hundredfold") << 100.0 << 5000 << 50;
        QTest::newRow("rounded") << 300.0 << 1000 << 3;
        QTest::newRow("at least 1 ms") << 1000.0 << 10 << 1;
        QTest::newRow("slower") << 0.5 << 1000 << 2000;
        QTest::newRow("very slow") << 1e-9 << 60000 << std::numeric_limits<int>::max();
    }
    void timerIntervalsFollowTheSpeed()
    {
        QFETCH(double, speed);
        QFETCH(int, clockMs);
        QFETCH(int, realMs);
        QCOMPARE(RunningClock(QDateTime::currentDateTime(), speed).timerInterval(clockMs), realMs);
    }

    void runningClockRunsAtItsSpeed()
    {
        const QDateTime start(QDate(2026, 12, 9), QTime(9, 20));
        RunningClock fast(start, 200);
        QElapsedTimer real;
        real.start();
        QTest::qWait(30);
        const qint64 waited = real.elapsed();
        const QDateTime now = fast.now();
        // At least 200 clock milliseconds passed for every real one (the wait may run long).
        QVERIFY2(start.msecsTo(now) >= 200 * waited, qPrintable(now.toString()));
    }

    void runningClockStartsAtTheGivenMoment()
    {
        const QDateTime start(QDate(2026, 12, 12), QTime(9, 28));
        RunningClock clock(start);
        QVERIFY(clock.now() >= start && clock.now() < start.addSecs(5));
    }
};

QTEST_GUILESS_MAIN(TestFilesAndSettings)
#include "test_files_and_settings.moc"
