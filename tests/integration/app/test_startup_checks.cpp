// The first show's companion-server status check and alert database, against the sandbox.
#include "app/statuscheck.h"
#include "core/companion.h"
#include "app/mainwindow.h"
#include "appfixture.h"
#include "net/codecs.h"
#include "widgets/webpane.h"
#include "store/alertstore.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTimer>

using app::MainWindow;

namespace {

QByteArray statusPage(const QString& payload)
{
    return net::toGbk(QStringLiteral("<html><body text=\"#000000\">") + payload + QStringLiteral("</body></html>"));
}

bool timerActive(const QWidget& w, const char* name)
{
    return w.findChild<QTimer*>(QString::fromLatin1(name))->isActive();
}

} // namespace

class TestStartupChecks : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void normalStatusLoadsTheWaitingPageAndGoesOn()
    {
        AppFixture f;
        const QString waiting = f.box->baseUrl() + "/waiting.html";
        f.box->setFixedPage("/gplogin.asp", statusPage("1&1http://x.test/&2 3&1" + waiting + "&2"));
        MainWindow w(*f.context, nullptr);
        w.show();
        QCOMPARE(f.prompter.texts(), QStringList{});
        QVERIFY(f.opener.opened.isEmpty());
        QCOMPARE(w.findChild<app::WebPane*>("WebBrowser5")->currentAddress(), waiting);
        QTRY_COMPARE(f.requestCount("/waiting.html"), 1);
        QVERIFY(!w.endRequested());
        QVERIFY(timerActive(w, "Timer1"));
        QCOMPARE(f.context->status.VersionCode, QStringLiteral("3"));
    }

    void noticeOpensTheLinkAndGoesOn()
    {
        AppFixture f;
        f.box->setFixedPage("/gplogin.asp", statusPage("2&1http://notice.test/n.html&2 3&1http://w.test/&2"));
        MainWindow w(*f.context, nullptr);
        w.show();
        QCOMPARE(f.opener.opened, QStringList{"http://notice.test/n.html"});
        QVERIFY(!w.endRequested());
        QVERIFY(timerActive(w, "Timer1"));
    }

    void banWinsAndEndsTheProgram()
    {
        AppFixture f;
        f.box->setFixedPage("/gplogin.asp", statusPage("0&1http://ban.test/why.html&2 3&1http://w.test/&2"));
        MainWindow w(*f.context, nullptr);
        w.show();
        QCOMPARE(f.prompter.boxes.size(), 1);
        QCOMPARE(f.prompter.boxes[0].kind, QStringLiteral("error"));
        QCOMPARE(f.prompter.boxes[0].caption, QStringLiteral("错误"));
        QCOMPARE(f.prompter.boxes[0].text, app::kBanText);
        QCOMPARE(f.opener.opened, QStringList{"http://ban.test/why.html"});
        QVERIFY(w.endRequested());
        QCOMPARE(f.requestCount(kQuotePath), 0);   // no later start-up step ran
        QVERIFY(!timerActive(w, "Timer1"));
        QVERIFY(!timerActive(w, "Timer7"));
    }

    void upgradeAsksThenEnds_data()
    {
        QTest::addColumn<QString>("payload");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QStringList>("opened");
        QTest::newRow("old version, OK") << "1&1http://dl.test/new.exe&2 2&1http://w.test/&2" << true
                                         << QStringList{"http://dl.test/new.exe"};
        QTest::newRow("old version, Cancel") << "1&1http://dl.test/new.exe&2 2&1http://w.test/&2" << false
                                             << QStringList{};
        QTest::newRow("one record") << "1&1http://dl.test/&2" << true << QStringList{"http://dl.test/"};
        QTest::newRow("garbage page") << "<h1>服务器维护中</h1>" << true << QStringList{};
    }
    void upgradeAsksThenEnds()
    {
        QFETCH(QString, payload);
        QFETCH(bool, ok);
        QFETCH(QStringList, opened);
        AppFixture f;
        f.box->setFixedPage("/gplogin.asp", statusPage(payload));
        f.prompter.answers = {ok};
        MainWindow w(*f.context, nullptr);
        w.show();
        QCOMPARE(f.prompter.texts().size(), 1);
        QCOMPARE(f.prompter.boxes[0].kind, QStringLiteral("question"));
        QCOMPARE(f.prompter.boxes[0].caption, QStringLiteral("提示"));
        QCOMPARE(f.prompter.boxes[0].text, QStringLiteral("系统需要升级，按\"确定\"进入网站下载"));
        QCOMPARE(f.opener.opened, opened);
        QVERIFY(w.endRequested());
        QCOMPARE(f.requestCount(kQuotePath), 0);
    }

    void unreachableServerOpensTheAuthorsSpaceAndEnds()
    {
        AppFixture f;
        f.box->setFixedPage("/gplogin.asp", "busy", "text/html", 503);
        QTest::failOnWarning(QRegularExpression("huilan-sandbox"));   // a server answered: no hint
        MainWindow w(*f.context, nullptr);
        w.show();
        QCOMPARE(f.prompter.texts(), QStringList{app::unreachableText(f.context->settings.Contact)});
        QCOMPARE(f.opener.opened, QStringList{f.context->settings.SpaceUrl});
        QVERIFY(w.endRequested());
        QCOMPARE(f.requestCount(kQuotePath), 0);
    }

    // Nothing listens on the loopback address: the log says the local server is not running and how
    // to start it; the box and the page are the same as for any other failure.
    void nothingListeningLogsHowToStartTheLocalServer()
    {
        AppFixture f;
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        const QString base = QStringLiteral("http://127.0.0.1:%1").arg(probe.serverPort());
        probe.close();
        f.context->settings.ServerBase = base;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^huilan: nothing answers at " + QRegularExpression::escape(base)
                                                              + ": the local server huilan-sandbox is not running\\..*"
                                                              + "huilan-sandbox --market live --port \\d+ &$"));
        MainWindow w(*f.context, nullptr);
        w.show();
        QCOMPARE(f.prompter.texts(), QStringList{app::unreachableText(f.context->settings.Contact)});
        QCOMPARE(f.opener.opened, QStringList{f.context->settings.SpaceUrl});
        QVERIFY(w.endRequested());
    }

    void everySandboxStatusModeHasItsOutcome_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("ends");
        QTest::addColumn<QString>("opened");   // the page opened in the browser, by its path
        QTest::newRow("normal") << "normal" << false << "";
        QTest::newRow("notice") << "notice" << false << "/notice.html";
        QTest::newRow("upgrade") << "upgrade" << true << "/download.html";
        QTest::newRow("ban") << "ban" << true << "/ban.html";
    }
    void everySandboxStatusModeHasItsOutcome()
    {
        QFETCH(QString, mode);
        QFETCH(bool, ends);
        QFETCH(QString, opened);
        AppFixture f;
        f.box->setStatus(mode);
        MainWindow w(*f.context, nullptr);
        w.show();
        QCOMPARE(w.endRequested(), ends);
        QCOMPARE(f.opener.opened, opened.isEmpty() ? QStringList{} : QStringList{f.box->baseUrl() + opened});
        QCOMPARE(timerActive(w, "Timer1"), !ends);
    }

    void firstStartCreatesTheDatabaseAndShowsBothOff()
    {
        AppFixture f;
        MainWindow w(*f.context, nullptr);
        w.show();
        QVERIFY(QFile::exists(f.systemFile("gpbd0856.dat")));
        QCOMPARE(w.statusPanel(1)->text(), QStringLiteral("本机监视股价：停止  手机接收股价：停止"));
        QCOMPARE(f.context->alerts.watchedCount(), 0);
        QCOMPARE(f.prompter.texts(), QStringList{});
    }

    void storedSwitchesAndListsAreLoaded()
    {
        AppFixture f;
        f.storeOneWatchedStock("1111", "5", "7", "20");
        MainWindow w(*f.context, nullptr);
        w.show();
        QCOMPARE(w.statusPanel(1)->text(), QStringLiteral("本机监视股价：启用  手机接收股价：停止"));
        QVERIFY(f.context->alerts.LocalAlertsOn);
        QVERIFY(!f.context->alerts.PhoneAlertsOn);
        QCOMPARE(f.context->alerts.AlertCodes, QStringList{"600036"});
        QCOMPARE(f.context->alerts.LimitAlerted, QStringList{"0"});
    }

    void unusableDatabaseIsReportedAndKept()
    {
        AppFixture f;
        QDir().mkpath(f.systemFile(""));
        QFile db(f.systemFile("gpbd0856.dat"));
        QVERIFY(db.open(QIODevice::WriteOnly));
        db.write("not a database");
        db.close();
        MainWindow w(*f.context, nullptr);
        w.show();
        QCOMPARE(f.prompter.boxes.size(), 1);
        QVERIFY(f.prompter.boxes[0].text.contains("gpbd0856.dat"));
        QCOMPARE(f.prompter.boxes[0].caption, QStringLiteral("错误"));
        QVERIFY(db.open(QIODevice::ReadOnly));
        QCOMPARE(db.readAll(), QByteArray("not a database"));
        QCOMPARE(f.requestCount("/gplogin.asp"), 0);   // the first show stopped there
        QVERIFY(f.context->state.FirstShowDone);
    }

    // The first show stopped before it read the TV lists: closing leaves the user's files alone.
    void listsNeverReadAreNotWrittenAtClose()
    {
        AppFixture f;
        QDir().mkpath(f.systemFile(""));
        const QByteArray line = net::toGbk(QStringLiteral("一台&mms://tv.test/1\r\n"));
        const QStringList lists{"gpnew06857.dat", "gpnew06858.dat"};
        for (const QString& name : QStringList{"gpbd0856.dat"} + lists) {
            QFile file(f.systemFile(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(lists.contains(name) ? line : QByteArray("not a database"));
        }
        MainWindow w(*f.context, nullptr);
        w.show();
        w.close();
        for (const QString& name : lists) {
            QFile file(f.systemFile(name));
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), line);
        }
    }

    // One step failing after the status check, whichever it is, leaves the program running: the
    // quote refresh, the alert tick and the blog search are on.
    void aFailingStepAfterTheStatusCheckKeepsTheTimers_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("stock name") << kQuotePath;
        QTest::newRow("evaluation list") << "/gpreadzhpj.asp";
        QTest::newRow("blog directory") << "/gpreadtoady1.asp";
        QTest::newRow("online count") << "/gpreadall.asp";
        QTest::newRow("TV directory") << "/gp1gettvdata.asp";
    }
    void aFailingStepAfterTheStatusCheckKeepsTheTimers()
    {
        QFETCH(QString, path);
        AppFixture f;
        f.box->setFixedPage(path, "busy", "text/html", 503);
        MainWindow w(*f.context, nullptr);
        w.show();
        QVERIFY(!w.endRequested());
        QVERIFY(f.requestCount(path) > 0);
        for (const char* name : {"Timer1", "Timer4", "Timer5"})
            QVERIFY2(timerActive(w, name), name);
    }

    void onlineCountShowsTheTrimmedPayload()
    {
        AppFixture f;
        f.box->setFixedPage("/gpreadall.asp", statusPage(" \r\n 17 \r\n"));
        MainWindow w(*f.context, nullptr);
        w.show();
        QCOMPARE(w.findChild<QLabel*>("Label20")->text(), QStringLiteral("17"));
        QCOMPARE(f.requestCount("/gpall.asp"), 1);
    }
};

QTEST_MAIN(TestStartupChecks)
#include "test_startup_checks.moc"
