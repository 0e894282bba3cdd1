// The sandbox over real HTTP on loopback: page formats and encodings, overrides, the request log,
// form decoding, the online count and the command line.
#include "cli.h"
#include "market.h"
#include "requests.h"
#include "sandbox.h"

#include "net/codecs.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

using sandbox::Sandbox;

namespace {

struct Reply {
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    int status = 0;
    QByteArray contentType;
    QByteArray body;
};

// A Saturday: the market shows Friday's close, so pages do not change while a test runs.
const QDateTime kWeekend(QDate(2026, 12, 12), QTime(10, 0));

sandbox::Options options(const QDateTime& clock = kWeekend)
{
    sandbox::Options o;
    o.port = 0;
    o.clockStart = clock;
    return o;
}

Reply send(QNetworkAccessManager& nam, const QUrl& url, const QByteArray& postBody = {}, bool post = false,
           int timeoutMs = 10000, const QList<QPair<QByteArray, QByteArray>>& headers = {})
{
    QNetworkRequest request(url);
    request.setRawHeader("Connection", "close");
    for (const auto& [name, value] : headers)
        request.setRawHeader(name, value);
    request.setTransferTimeout(timeoutMs);
    QNetworkReply* reply;
    if (post) {
        request.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded");
        reply = nam.post(request, postBody);
    } else {
        reply = nam.get(request);
    }
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();
    Reply out;
    out.error = reply->error();
    out.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    out.contentType = reply->rawHeader("Content-Type");
    if (reply->isOpen())
        out.body = reply->readAll();
    reply->deleteLater();
    return out;
}

Reply get(QNetworkAccessManager& nam, const QString& url)
{
    return send(nam, QUrl(url));
}

// The payload of a companion text page, or a null string when the page is not framed.
QString payloadOf(const QByteArray& body)
{
    const QByteArray open = "<html><body text=\"#000000\">";
    const QByteArray close = "</body></html>";
    if (!body.startsWith(open) || !body.endsWith(close))
        return {};
    return net::fromGbk(body.mid(open.size(), body.size() - open.size() - close.size()));
}

QByteArray gbkPercent(const QString& text)
{
    return net::toGbk(text).toPercentEncoding();
}

} // namespace

class TestSandboxServer : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void quotePage()
    {
        Sandbox box(options());
        QVERIFY(box.start());
        QCOMPARE(box.baseUrl(), QStringLiteral("http://127.0.0.1:%1").arg(box.port()));
        QNetworkAccessManager nam;

        const Reply r = get(nam, box.baseUrl() + "/EM_Quote2007/optional.aspx?type=z&fav=000001&hick=zhou");
        QCOMPARE(r.error, QNetworkReply::NoError);
        QCOMPARE(r.status, 200);
        QCOMPARE(r.contentType, QByteArray("text/html; charset=utf-8"));
        const QString line = QString::fromUtf8(r.body);
        QCOMPARE(line, box.market().quoteLine(QStringLiteral("000001"), box.now()));
        QVERIFY(line.count(QLatin1Char(',')) >= 19);
        QVERIFY(line.endsWith(QStringLiteral("\"]\n")));
        const QStringList f = line.split(QLatin1Char(','));
        QCOMPARE(f[1], QStringLiteral("000001"));
        QCOMPARE(f[2], QStringLiteral("平安银行"));
        QCOMPARE(f[18], QStringLiteral("2026-12-11 15:00:00"));

        // Unknown and malformed codes: same layout, empty name.
        for (const QString& fav : {QStringLiteral("999999"), QStringLiteral("abc%2Cdef"), QString()}) {
            const Reply u = get(nam, box.baseUrl() + "/EM_Quote2007/optional.aspx?type=z&fav=" + fav + "&hick=zhou");
            QCOMPARE(u.status, 200);
            const QStringList uf = QString::fromUtf8(u.body).split(QLatin1Char(','));
            QCOMPARE(uf.size(), 20);
            QCOMPARE(uf[2], QString());
        }
        const Reply bare = get(nam, box.baseUrl() + "/EM_Quote2007/optional.aspx");
        QCOMPARE(bare.status, 200);
        QCOMPARE(QString::fromUtf8(bare.body).split(QLatin1Char(','))[2], QString());
    }

    void indexPage()
    {
        Sandbox box(options());
        QVERIFY(box.start());
        QNetworkAccessManager nam;
        const Reply r = get(nam, box.baseUrl() + "/EM_Quote2007/default.aspx?type=fs&stk=6000361");
        QCOMPARE(r.status, 200);
        QCOMPARE(r.contentType, QByteArray("text/html; charset=utf-8"));
        const QString page = QString::fromUtf8(r.body);
        QCOMPARE(page, box.market().indexPage(box.now()));
        QVERIFY(page.indexOf(QStringLiteral("上证指数")) >= 0);
        QVERIFY(page.indexOf(QStringLiteral("深证成指")) > page.indexOf(QStringLiteral("上证指数")));
    }

    void companionPagesAreGbkFramed()
    {
        Sandbox box(options());
        QVERIFY(box.start());
        QNetworkAccessManager nam;
        const QString base = box.baseUrl();

        const Reply login = get(nam, base + "/gplogin.asp");
        QCOMPARE(login.status, 200);
        QCOMPARE(login.contentType, QByteArray("text/html; charset=gbk"));
        QCOMPARE(payloadOf(login.body),
                 QStringLiteral("1&1%1/notice.html&2 3&1%1/waiting.html&2").arg(base));

        const Reply stock = get(nam, base + "/gpgetstock.asp?name=000001");
        QCOMPARE(stock.contentType, QByteArray("text/html; charset=gbk"));
        const QString about = payloadOf(stock.body);
        QVERIFY(about.contains(QStringLiteral("平安银行")));
        QVERIFY(about.contains(QStringLiteral("000001")));
        QVERIFY(stock.body.contains(net::toGbk(QStringLiteral("平安银行"))));
        QVERIFY(!stock.body.contains(QStringLiteral("平安银行").toUtf8()));
        const QString lastPrice = box.market().quoteLine(QStringLiteral("000001"), box.now()).split(QLatin1Char(','))[3];
        QVERIFY(about.contains(lastPrice));

        // Looked up by its name, sent GBK-encoded, as well as by code.
        const Reply byName = send(nam, QUrl::fromEncoded("http://127.0.0.1:" + QByteArray::number(box.port())
                                                         + "/gpgetstock.asp?name=" + gbkPercent(QStringLiteral("平安银行"))));
        QVERIFY(payloadOf(byName.body).contains(QStringLiteral("000001")));
        const Reply missing = get(nam, base + "/gpgetstock.asp?name=%3Cb%3E");
        QCOMPARE(missing.status, 200);
        QVERIFY(!payloadOf(missing.body).isNull());
        QVERIFY(!missing.body.contains("<b>"));

        const Reply ad = get(nam, base + "/gpcgad.html");
        QVERIFY(payloadOf(ad.body).contains(QStringLiteral("汇澜股票情报系统")));

        const Reply online = get(nam, base + "/gpreadall.asp");
        QCOMPARE(online.contentType, QByteArray("text/html; charset=gbk"));
        QCOMPARE(payloadOf(online.body).trimmed(), QStringLiteral("1"));

        const Reply waiting = get(nam, base + "/waiting.html");
        QCOMPARE(waiting.status, 200);
        QVERIFY(net::fromGbk(waiting.body).contains(QStringLiteral("请稍候......")));
        const Reply notice = get(nam, base + "/notice.html");
        QCOMPARE(notice.status, 200);
        QCOMPARE(notice.contentType, QByteArray("text/html; charset=gbk"));
    }

    void unknownPathsAndMethods()
    {
        Sandbox box(options());
        QVERIFY(box.start());
        QNetworkAccessManager nam;
        QCOMPARE(get(nam, box.baseUrl() + "/nope.asp").status, 404);
        QCOMPARE(get(nam, box.baseUrl() + "/").status, 404);
        QCOMPARE(get(nam, box.baseUrl() + "/gplogin.asp/extra").status, 404);
        // Paths are matched without regard to case, like the servers it stands in for.
        QCOMPARE(get(nam, box.baseUrl() + "/GPLogin.ASP").status, 200);

        QNetworkRequest put(QUrl(box.baseUrl() + "/gplogin.asp"));
        put.setTransferTimeout(10000);
        QNetworkReply* reply = nam.put(put, QByteArray("x"));
        QEventLoop loop;
        connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
        QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 405);
        reply->deleteLater();
    }

    void closesTheConnectionAfterEachReply()
    {
        Sandbox box(options());
        QVERIFY(box.start());
        // The server runs in this thread, so wait with the event loop running, never blocking.
        QTcpSocket socket;
        QByteArray received;
        connect(&socket, &QTcpSocket::readyRead, this, [&] { received += socket.readAll(); });
        QSignalSpy closed(&socket, &QTcpSocket::disconnected);
        socket.connectToHost(QHostAddress::LocalHost, box.port());
        // No "Connection: close" here: the sandbox closes anyway.
        socket.write("GET /gpreadall.asp HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
        QVERIFY(closed.wait(10000));
        received += socket.readAll();
        QVERIFY(received.startsWith("HTTP/1.1 200"));
        QVERIFY(received.endsWith("</body></html>"));
    }

    void fixedPagesAndSilentPaths()
    {
        Sandbox box(options());
        QVERIFY(box.start());
        QNetworkAccessManager nam;
        const QString base = box.baseUrl();

        box.setFixedPage(QStringLiteral("/gplogin.asp"), net::toGbk(QStringLiteral("维护中")));
        box.setFixedPage(QStringLiteral("/EM_Quote2007/optional.aspx?type=z&fav=000002&hick=zhou"), "broken",
                         "text/plain", 503);
        box.setFixedPage(QStringLiteral("/brand-new.html"), "hello", "text/plain");

        Reply r = get(nam, base + "/gplogin.asp?anything=1");
        QCOMPARE(net::fromGbk(r.body), QStringLiteral("维护中"));
        QCOMPARE(r.contentType, QByteArray("text/html; charset=gbk"));

        r = get(nam, base + "/EM_Quote2007/optional.aspx?type=z&fav=000002&hick=zhou");
        QCOMPARE(r.status, 503);
        QCOMPARE(r.body, QByteArray("broken"));
        QCOMPARE(r.contentType, QByteArray("text/plain"));
        // A key with a query matches that query only.
        r = get(nam, base + "/EM_Quote2007/optional.aspx?type=z&fav=000001&hick=zhou");
        QCOMPARE(r.status, 200);
        QVERIFY(QString::fromUtf8(r.body).contains(QStringLiteral("平安银行")));
        QCOMPARE(get(nam, base + "/brand-new.html").body, QByteArray("hello"));

        // A silent path accepts the request and never answers: the client gives up on its own.
        box.setSilent(QStringLiteral("/gpreadall.asp"));
        const Reply hung = send(nam, QUrl(base + "/gpreadall.asp"), {}, false, 500);
        QVERIFY(hung.error == QNetworkReply::OperationCanceledError || hung.error == QNetworkReply::TimeoutError);
        QCOMPARE(hung.status, 0);
        QVERIFY(hung.body.isEmpty());
        QCOMPARE(box.requestsTo(QStringLiteral("/gpreadall.asp")).size(), 1);
        // Other paths still answer while one hangs.
        QCOMPARE(get(nam, base + "/gpcgad.html").status, 200);

        box.clearOverrides();
        QCOMPARE(get(nam, base + "/gpreadall.asp").status, 200);
        QVERIFY(!payloadOf(get(nam, base + "/gplogin.asp").body).isEmpty());
        QCOMPARE(get(nam, base + "/EM_Quote2007/optional.aspx?type=z&fav=000002&hick=zhou").status, 200);
        QCOMPARE(get(nam, base + "/brand-new.html").status, 404);
    }

    void postFormsAreDecodedFromGbk()
    {
        Sandbox box(options());
        QVERIFY(box.start());
        QNetworkAccessManager nam;
        const QByteArray body = "gpmc=%C6%BD%B0%B2&pass=a+b%26c&empty=&name=" + gbkPercent(QStringLiteral("深证成指"));
        const Reply r = send(nam, QUrl(box.baseUrl() + "/gplogin.asp"), body, true);
        QCOMPARE(r.status, 200);

        const QList<sandbox::LoggedRequest> logged = box.requestsTo(QStringLiteral("/gplogin.asp"));
        QCOMPARE(logged.size(), 1);
        QCOMPARE(logged[0].method, QByteArray("POST"));
        const QList<QPair<QString, QString>> expected{{QStringLiteral("gpmc"), QStringLiteral("平安")},
                                                      {QStringLiteral("pass"), QStringLiteral("a b&c")},
                                                      {QStringLiteral("empty"), QString()},
                                                      {QStringLiteral("name"), QStringLiteral("深证成指")}};
        QCOMPARE(logged[0].form, expected);

        // A form field can stand in for the query, as the companion pages accept either.
        const Reply stock = send(nam, QUrl(box.baseUrl() + "/gpgetstock.asp"), "name=300059", true);
        QVERIFY(payloadOf(stock.body).contains(QStringLiteral("东方财富")));
    }

    void formDecoding_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QStringList>("pairs");   // key, value, key, value, ...
        QTest::newRow("gbk") << QByteArray("gpmc=%C6%BD%B0%B2") << QStringList{"gpmc", "平安"};
        QTest::newRow("order kept") << QByteArray("b=2&a=1&b=3") << QStringList{"b", "2", "a", "1", "b", "3"};
        QTest::newRow("no value") << QByteArray("flag&x=") << QStringList{"flag", "", "x", ""};
        QTest::newRow("empty fields") << QByteArray("&&a=1&") << QStringList{"a", "1"};
        QTest::newRow("plus and escapes") << QByteArray("q=1+2%2B3%3D6") << QStringList{"q", "1 2+3=6"};
        QTest::newRow("value with equals") << QByteArray("k=a=b") << QStringList{"k", "a=b"};
        QTest::newRow("bad escape") << QByteArray("k=%ZZ%4") << QStringList{"k", "%ZZ%4"};
        QTest::newRow("gbk key") << QByteArray("%C3%FB=1") << QStringList{"名", "1"};
    }

    void formDecoding()
    {
        QFETCH(QByteArray, body);
        QFETCH(QStringList, pairs);
        QStringList got;
        for (const auto& [k, v] : server::decodeGbkForm(body))
            got << k << v;
        QCOMPARE(got, pairs);
    }

    void queryText()
    {
        QCOMPARE(server::decodeQueryText("name=%C6%BD%B0%B2"), QStringLiteral("name=平安"));
        QCOMPARE(server::decodeQueryText("name=%E5%B9%B3%E5%AE%89"), QStringLiteral("name=平安"));
        QCOMPARE(server::queryValue("type=z&fav=000001&hick=zhou", QStringLiteral("fav")), QStringLiteral("000001"));
        QCOMPARE(server::queryValue("fav&fav=2", QStringLiteral("fav")), QString());
        QCOMPARE(server::queryValue("a=1", QStringLiteral("fav")), QString());
    }

    void requestLog()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        sandbox::Options o = options();
        o.logFile = dir.filePath(QStringLiteral("requests.log"));
        o.dataDir = dir.filePath(QStringLiteral("state"));
        Sandbox box(o);
        QString error;
        QVERIFY2(box.start(&error), qPrintable(error));
        QCOMPARE(box.dataDir(), QDir(o.dataDir).absolutePath());
        QVERIFY(QDir(o.dataDir).exists());
        QNetworkAccessManager nam;

        send(nam, QUrl(box.baseUrl() + "/EM_Quote2007/optional.aspx?type=z&fav=000001&hick=zhou"), {}, false, 10000,
             {{"X-Huilan-Test", "yes"}});
        send(nam, QUrl(box.baseUrl() + "/gplogin.asp"), "gpmc=%C6%BD%B0%B2&pw=1", true);
        get(nam, box.baseUrl() + "/missing");

        const QList<sandbox::LoggedRequest> all = box.requests();
        QCOMPARE(all.size(), 3);
        QCOMPARE(all[0].method, QByteArray("GET"));
        QCOMPARE(all[0].path, QStringLiteral("/EM_Quote2007/optional.aspx"));
        QCOMPARE(all[0].query, QStringLiteral("type=z&fav=000001&hick=zhou"));
        QCOMPARE(all[0].headers.value("x-huilan-test"), QByteArray("yes"));
        QCOMPARE(all[0].headers.value("connection"), QByteArray("close"));
        QVERIFY(all[0].form.isEmpty());
        QVERIFY(all[0].time.isValid());
        QCOMPARE(all[1].form.value(0).second, QStringLiteral("平安"));
        QCOMPARE(all[2].path, QStringLiteral("/missing"));   // unknown paths are logged too
        QCOMPARE(box.requestsTo(QStringLiteral("/gplogin.asp")).size(), 1);

        QFile file(o.logFile);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines[0].contains(QStringLiteral("\tGET\t/EM_Quote2007/optional.aspx?type=z&fav=000001&hick=zhou")));
        QVERIFY(lines[1].contains(QStringLiteral("\tPOST\t/gplogin.asp\tgpmc=平安&pw=1")));
        QVERIFY(lines[2].contains(QStringLiteral("/missing")));

        box.clearRequests();
        QVERIFY(box.requests().isEmpty());
    }

    void logLineStaysOnOneLine()
    {
        sandbox::LoggedRequest r;
        r.time = QDateTime(QDate(2026, 12, 9), QTime(10, 15, 3, 120));
        r.method = "POST";
        r.path = QStringLiteral("/gplogin.asp");
        r.form = {{QStringLiteral("note"), QStringLiteral("a\nb\tc")}};
        QCOMPARE(server::logLine(r), QStringLiteral("2026-12-09 10:15:03.120\tPOST\t/gplogin.asp\tnote=a\\nb\\tc"));
    }

    void onlineCountCountsDistinctAddresses()
    {
        sandbox::Options o = options();
        o.bind = QHostAddress::Any;
        Sandbox box(o);
        QVERIFY(box.start());
        QNetworkAccessManager nam;
        const QString v4 = QStringLiteral("http://127.0.0.1:%1/gpreadall.asp").arg(box.port());
        get(nam, v4);
        QCOMPARE(payloadOf(get(nam, v4).body), QStringLiteral(" 1 "));

        const Reply v6 = get(nam, QStringLiteral("http://[::1]:%1/gpreadall.asp").arg(box.port()));
        if (v6.error != QNetworkReply::NoError)
            QSKIP("no IPv6 loopback here to be a second client");
        QCOMPARE(payloadOf(v6.body), QStringLiteral(" 2 "));
        QCOMPARE(payloadOf(get(nam, v4).body), QStringLiteral(" 2 "));
    }

    void startFailsOnATakenPort()
    {
        Sandbox first(options());
        QVERIFY(first.start());
        sandbox::Options o = options();
        o.port = first.port();
        Sandbox second(o);
        QString error;
        QVERIFY(!second.start(&error));
        QVERIFY(error.contains(QString::number(first.port())));
    }

    void sandboxClock()
    {
        Sandbox box(options(QDateTime(QDate(2026, 12, 9), QTime(10, 15))));
        const QDateTime t = box.now();
        QVERIFY(t >= QDateTime(QDate(2026, 12, 9), QTime(10, 15)));
        QVERIFY(t < QDateTime(QDate(2026, 12, 9), QTime(11, 15)));
        QVERIFY(box.now() >= t);

        box.setClock(QDateTime(QDate(2027, 1, 4), QTime(9, 0)), 60);
        QCOMPARE(box.now().date(), QDate(2027, 1, 4));
        box.setClock(QDateTime());
        QVERIFY(std::abs(box.now().secsTo(QDateTime::currentDateTime())) < 3600);
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("ok");
        QTest::newRow("defaults") << QStringList{} << true;
        QTest::newRow("all set") << QStringList{"--port", "0", "--bind", "0.0.0.0", "--seed", "18446744073709551615",
                                                "--clock", "2026-12-09 10:15:00", "--speed", "2.5", "--data", "d",
                                                "--log", "l.txt"}
                                 << true;
        QTest::newRow("port too big") << QStringList{"--port", "70000"} << false;
        QTest::newRow("port not a number") << QStringList{"--port", "http"} << false;
        QTest::newRow("bad address") << QStringList{"--bind", "nowhere"} << false;
        QTest::newRow("negative seed") << QStringList{"--seed", "-1"} << false;
        QTest::newRow("bad clock") << QStringList{"--clock", "2026-13-09 10:15:00"} << false;
        QTest::newRow("clock without time") << QStringList{"--clock", "2026-12-09"} << false;
        QTest::newRow("zero speed") << QStringList{"--speed", "0"} << false;
        QTest::newRow("speed nan") << QStringList{"--speed", "nan"} << false;
        QTest::newRow("missing value") << QStringList{"--port"} << false;
        QTest::newRow("unknown option") << QStringList{"--colour"} << false;
        QTest::newRow("stray argument") << QStringList{"extra"} << false;
    }

    void commandLine()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, ok);
        const sandbox::CommandLine cli = sandbox::parseCommandLine(QStringList{"huilan-sandbox"} + args);
        QCOMPARE(cli.error.isEmpty(), ok);
        QVERIFY(!cli.help);
    }

    void commandLineValues()
    {
        const sandbox::CommandLine defaults = sandbox::parseCommandLine({"huilan-sandbox"});
        QCOMPARE(defaults.options.port, quint16(8780));
        QCOMPARE(defaults.options.bind, QHostAddress(QHostAddress::LocalHost));
        QCOMPARE(defaults.options.seed, quint64(1));
        QVERIFY(!defaults.options.clockStart.isValid());
        QCOMPARE(defaults.options.speed, 1.0);

        const sandbox::CommandLine set = sandbox::parseCommandLine(
            {"huilan-sandbox", "--port", "9001", "--seed", "77", "--clock", "2026-12-09 10:15:00", "--speed", "60"});
        QCOMPARE(set.options.port, quint16(9001));
        QCOMPARE(set.options.seed, quint64(77));
        QCOMPARE(set.options.clockStart, QDateTime(QDate(2026, 12, 9), QTime(10, 15)));
        QCOMPARE(set.options.speed, 60.0);

        const sandbox::CommandLine help = sandbox::parseCommandLine({"huilan-sandbox", "--help"});
        QVERIFY(help.help);
        for (const char* option : {"--port", "--bind", "--seed", "--clock", "--speed", "--data", "--log", "--status",
                                   "--status-link", "--waiting-page"})
            QVERIFY2(help.helpText.contains(QLatin1String(option)), option);
    }
};

QTEST_GUILESS_MAIN(TestSandboxServer)
#include "test_sandbox_server.moc"
