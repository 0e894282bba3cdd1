#include "cli.h"
#include "net/codecs.h"
#include "net/failure.h"
#include "net/httpclient.h"
#include "net/pageloader.h"
#include "sandbox.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTcpServer>
#include <QTest>
#include <QTimer>

using net::HttpClient;
using net::HttpFailure;

namespace {

// The fault modes below: each broken answer becomes a failure (or, for the modes that still carry
// a page, the page as sent), always within the client's bound.
constexpr int kBoundMs = 1500;
const QString kGbkPage = QStringLiteral("/notice.html");   // a companion page in GBK, with Chinese text

} // namespace

class TestHttpClient : public QObject {
    Q_OBJECT
    std::unique_ptr<sandbox::Sandbox> box;
    QString base;

private Q_SLOTS:
    void init()
    {
        sandbox::Options options;
        options.port = 0;
        box = std::make_unique<sandbox::Sandbox>(options);
        QString error;
        QVERIFY2(box->start(&error), qPrintable(error));
        base = box->baseUrl();
    }
    void cleanup() { box.reset(); }

    static QString secretFile()
    {
        static QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("secret.html"));
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write("secret");
        return path;
    }

    void everyRequestCarriesTheCommonHeaders()
    {
        box->setFixedPage("/hello.html", "hello");
        HttpClient client("IdHTTP1");
        QCOMPARE(client.get(base + "/hello.html"), QByteArray("hello"));
        const auto log = box->requestsTo("/hello.html");
        QCOMPARE(log.size(), 1);
        QCOMPARE(log[0].headers.value("accept"), QByteArray("text/html, */*"));
        QCOMPARE(log[0].headers.value("user-agent"), QByteArray("Mozilla/3.0 (compatible; Indy Library)"));
        QCOMPARE(log[0].headers.value("connection").toLower(), QByteArray("close"));
    }

    void postSendsGbkFormInOrder()
    {
        box->setFixedPage("/gpycf.asp", "ok");
        HttpClient client("IdHTTP1");
        client.post(base + "/gpycf.asp", {{"sn", "13900000000"}, {"gpmc", "平安银行"}, {"ycf", "1"}});
        const auto log = box->requestsTo("/gpycf.asp");
        QCOMPARE(log.size(), 1);
        QCOMPARE(log[0].method, QByteArray("POST"));
        QCOMPARE(log[0].headers.value("content-type"), QByteArray("application/x-www-form-urlencoded"));
        QCOMPARE(log[0].form, (net::Form{{"sn", "13900000000"}, {"gpmc", "平安银行"}, {"ycf", "1"}}));
    }

    void failuresThrow_data()
    {
        QTest::addColumn<int>("status");
        QTest::newRow("404") << 404;
        QTest::newRow("500") << 500;
    }
    void failuresThrow()
    {
        QFETCH(int, status);
        box->setFixedPage("/broken.html", "error page", "text/html", status);
        HttpClient client("IdHTTP1");
        QVERIFY_THROWS_EXCEPTION(HttpFailure, client.get(base + "/broken.html"));
    }

    void refusedConnectionThrows()
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        const quint16 closedPort = probe.serverPort();
        probe.close();
        HttpClient client("IdHTTP1");
        QVERIFY_THROWS_EXCEPTION(HttpFailure,
                                 client.get(QStringLiteral("http://127.0.0.1:%1/x").arg(closedPort)));
    }

    void bodyOverTheCapThrows()
    {
        box->setFixedPage("/big.html", QByteArray(64 * 1024, 'x'));
        HttpClient client("IdHTTP1");
        client.setBodyCap(16 * 1024);
        QVERIFY_THROWS_EXCEPTION(HttpFailure, client.get(base + "/big.html"));
        client.setBodyCap(net::kMaxBodyBytes);
        QCOMPARE(client.get(base + "/big.html").size(), 64 * 1024);
    }

    void silentServerTimesOutWhileTimersKeepRunning()
    {
        box->setSilent("/hang.asp");
        HttpClient client("IdHTTP1");
        client.setReadTimeout(400);
        int ticks = 0;
        QTimer timer;
        timer.setInterval(20);
        connect(&timer, &QTimer::timeout, [&] { ++ticks; });
        timer.start();
        QVERIFY_THROWS_EXCEPTION(HttpFailure, client.get(base + "/hang.asp"));
        QVERIFY2(ticks > 0, "the nested loop must keep dispatching timer events");
        QCOMPARE(client.pending(), 0);
    }

    void pageLoaderReportsOnlyTheLatestLoad()
    {
        box->setSilent("/slow.html");
        box->setFixedPage("/fast.html", "<p>fast</p>");
        net::PageLoader loader;
        QSignalSpy loaded(&loader, &net::PageLoader::loaded);
        loader.load(base + "/slow.html");
        loader.load(base + "/fast.html");
        QVERIFY(loaded.wait(5000));
        QTest::qWait(100);
        QCOMPARE(loaded.size(), 1);
        QCOMPARE(loaded[0][0].toString(), base + "/fast.html");
        QCOMPARE(loaded[0][1].toByteArray(), QByteArray("<p>fast</p>"));
    }

    // Addresses from remote pages are fetched only when they are web addresses: the network
    // layer would otherwise read a local file, answer a data: address from its own text, or try
    // any scheme it knows.
    void nonWebAddressesAreNeverFetched_data()
    {
        QTest::addColumn<QString>("address");
        QTest::newRow("file") << "file://" + secretFile();
        QTest::newRow("FILE upper case") << "FILE://" + secretFile();
        QTest::newRow("data") << QStringLiteral("data:text/html,secret");
        QTest::newRow("javascript") << QStringLiteral("javascript:alert(1)");
        QTest::newRow("custom scheme") << QStringLiteral("huilan-evil://host/x");
        QTest::newRow("no scheme") << secretFile();
        QTest::newRow("qrc") << QStringLiteral("qrc:/qt-project.org/qmime/freedesktop.org.xml");
    }
    void nonWebAddressesAreNeverFetched()
    {
        QFETCH(QString, address);
        HttpClient client("IdHTTP1");
        QVERIFY_THROWS_EXCEPTION(HttpFailure, client.get(address));
        QVERIFY_THROWS_EXCEPTION(HttpFailure, client.post(address, {{"a", "b"}}));
        net::PageLoader loader;
        QSignalSpy loaded(&loader, &net::PageLoader::loaded);
        QSignalSpy failed(&loader, &net::PageLoader::failed);
        loader.load(address);
        QVERIFY(failed.wait(5000));
        QCOMPARE(loaded.size(), 0);
        // A refusal overtaken by a new load is not reported.
        loader.load(address);
        loader.load(base + "/gpcgad.html");
        QVERIFY(loaded.wait(5000));
        QCOMPARE(failed.size(), 1);
    }

    void pageLoaderReportsFailures()
    {
        net::PageLoader loader;
        QSignalSpy failed(&loader, &net::PageLoader::failed);
        loader.load(base + "/no-such-page.html");
        QVERIFY(failed.wait(5000));
    }

    // Every mode that breaks the exchange is a failure, reached within the client's bound.
    void brokenAnswersFail_data()
    {
        QTest::addColumn<QString>("mode");
        for (const char* mode : {"refuse", "silent", "drip", "cut", "cut:0", "500", "big", "redirect-loop",
                                 "redirect-file"})
            QTest::newRow(mode) << QString::fromLatin1(mode);
    }
    void brokenAnswersFail()
    {
        QFETCH(QString, mode);
        QVERIFY(box->setFault(kGbkPage, mode));
        HttpClient client("IdHTTP1");
        client.setReadTimeout(kBoundMs);
        QElapsedTimer waited;
        waited.start();
        QVERIFY_THROWS_EXCEPTION(HttpFailure, client.get(base + kGbkPage));
        QVERIFY2(waited.elapsed() < kBoundMs + 1000, qPrintable(QString::number(waited.elapsed())));
        QCOMPARE(client.pending(), 0);

        box->clearFault(kGbkPage);   // lifted: the same client reads the page again
        QVERIFY(net::fromGbk(client.get(base + kGbkPage)).contains(QStringLiteral("</html>")));
    }

    // The modes that still deliver a page deliver exactly what they promise.
    void pagesStillDelivered_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("path");
        QTest::newRow("big under the cap") << "big:2" << kGbkPage;
        QTest::newRow("garbage") << "garbage" << kGbkPage;
        QTest::newRow("GBK page as UTF-8") << "encoding" << kGbkPage;
        QTest::newRow("UTF-8 page as GBK") << "encoding" << "/EM_Quote2007/default.aspx";
    }
    void pagesStillDelivered()
    {
        QFETCH(QString, mode);
        QFETCH(QString, path);
        HttpClient client("IdHTTP1");
        const QByteArray plain = client.get(base + path);
        QVERIFY(box->setFault(path.toUpper(), mode));   // paths match without regard to case
        const QByteArray body = client.get(base + path);
        if (mode == "big:2") {
            QVERIFY(body.size() > 2 * 1024 * 1024 - 200 && body.size() <= 2 * 1024 * 1024);
            QVERIFY(net::fromGbk(body).contains(QStringLiteral("浦发银行")));
        } else if (mode == "garbage") {
            QCOMPARE(body.size(), 256 * 1024);
            QCOMPARE(client.get(base + path), body);   // the same bytes each time
        } else if (path == kGbkPage) {
            QVERIFY(body != plain);
            QCOMPARE(QString::fromUtf8(body), net::fromGbk(plain));
        } else {
            QVERIFY(body != plain);
            QCOMPARE(net::fromGbk(body), QString::fromUtf8(plain));
        }
    }

    // The page loader is held to the same bound and never follows a redirect off the web.
    void pageLoaderBounded_data()
    {
        QTest::addColumn<QString>("mode");
        for (const char* mode : {"silent", "drip", "redirect-file", "big"})
            QTest::newRow(mode) << QString::fromLatin1(mode);
    }
    void pageLoaderBounded()
    {
        QFETCH(QString, mode);
        QVERIFY(box->setFault("/pages/*", mode));
        net::PageLoader loader;
        loader.setReadTimeout(kBoundMs);
        QSignalSpy failed(&loader, &net::PageLoader::failed);
        QSignalSpy loaded(&loader, &net::PageLoader::loaded);
        loader.load(base + "/pages/a.html");
        QVERIFY(failed.wait(kBoundMs + 1000));
        QCOMPARE(loaded.size(), 0);
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("faults");   // "path=mode;..." as read back, empty for an error
        QTest::newRow("two") << QStringList{"--fault", "/gpall.asp=Silent", "--fault", "/blog/*=cut:200"}
                             << "/gpall.asp=silent;/blog/*=cut:200";
        QTest::newRow("big default") << QStringList{"--fault", "/a=big"} << "/a=big:12";
        QTest::newRow("unknown mode") << QStringList{"--fault", "/a=slow"} << "";
        QTest::newRow("no mode") << QStringList{"--fault", "/a"} << "";
        QTest::newRow("relative path") << QStringList{"--fault", "a=500"} << "";
        QTest::newRow("amount on a plain mode") << QStringList{"--fault", "/a=500:3"} << "";
        QTest::newRow("big beyond reason") << QStringList{"--fault", "/a=big:100000"} << "";
    }
    void commandLine()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, faults);
        const sandbox::CommandLine cli = sandbox::parseCommandLine(QStringList{"huilan-sandbox"} + args);
        QStringList got;
        for (const auto& [path, fault] : cli.options.faults)
            got << path + "=" + sandbox::faultName(fault);
        QCOMPARE(cli.error.isEmpty(), !faults.isEmpty());
        if (!faults.isEmpty())
            QCOMPARE(got.join(';'), faults);
        QVERIFY(sandbox::parseCommandLine({"huilan-sandbox", "--help"}).helpText.contains("redirect-file"));
    }
};

QTEST_GUILESS_MAIN(TestHttpClient)
#include "test_httpclient.moc"
