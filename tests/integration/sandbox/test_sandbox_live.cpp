// The live market over real HTTP on loopback: a live sandbox whose upstreams all point at a
// stand-in serving the recorded replies. Quotes are read back with the program's own client and
// parser, field by field.
#include "cli.h"
#include "livedata.h"
#include "livefeed.h"
#include "sandbox.h"

#include "market/indexsummary.h"
#include "market/quote.h"
#include "net/codecs.h"
#include "net/failure.h"
#include "net/httpclient.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <QTextStream>

using sandbox::Sandbox;

namespace {

const QDateTime kAfterClose(QDate(2026, 12, 9), QTime(16, 0));

struct Live {
    explicit Live(StandIn& standIn)
    {
        sandbox::Options o;
        o.port = 0;
        o.clockStart = kAfterClose;
        o.dataDir = dir.filePath(QStringLiteral("live"));
        o.market = QStringLiteral("live");
        o.upstreams = standIn.bases();
        box = std::make_unique<Sandbox>(o);
        started = box->start();
        feed().setTimeout(600);   // a hung upstream counts as failed soon, so the tests stay quick
    }
    sandbox::LiveFeed& feed() { return dynamic_cast<sandbox::LiveFeed&>(box->feed()); }
    market::StockQuote quote(const QString& code) { return market::fetchQuote(client, box->baseUrl(), code); }
    QString page(const QString& path) { return net::fromGbk(client.get(box->baseUrl() + path)); }

    QTemporaryDir dir;
    std::unique_ptr<Sandbox> box;
    net::HttpClient client{QStringLiteral("test")};
    bool started = false;
};

// The quote line the program reads, field by field from `code` on.
QStringList fields(const market::StockQuote& q)
{
    QStringList out;
    for (int f = market::StockQuote::Code; f <= q.fieldCount && f <= market::StockQuote::LastTradeVolume; ++f)
        if (f != market::StockQuote::Unused13)
            out << q.field(market::StockQuote::Field(f));
    return out;
}

} // namespace

class TestSandboxLive : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void quoteFromTencentAndTheLastTradeFromOuterAndInnerVolume()
    {
        StandIn up;
        Live live(up);
        QVERIFY(up.started && live.started);
        // The first reading has nothing to compare the outer and inner volume with: the line ends
        // after the low, so the program keeps its last-trade label.
        market::StockQuote q = live.quote(QStringLiteral("600036"));
        QCOMPARE(fields(q), (QStringList{"600036", "招商银行", "35.12", "0.92%", "0.32", "35.11", "320", "35.12", "150",
                                         "456789", "160123.00", "34.90", "35.30", "34.75"}));
        QCOMPARE(q.fieldCount, int(market::StockQuote::LowPrice));

        // 30 more lots traded at the ask: a buy of 30 lots.
        const QByteArray reply = liveData("tencent_quotes.txt");
        up.box->setFixedPage(QStringLiteral("/q=sh600036"), QByteArray(reply).replace("~240000~216789~", "~240030~216789~"),
                             "text/html; charset=GBK");
        QTest::qWait(1300);
        q = live.quote(QStringLiteral("600036"));
        QCOMPARE(q.lastTradeSign, QStringLiteral("1"));
        QCOMPARE(q.lastTradeVolume, QStringLiteral("30"));
        // Then 50 at the bid: a sell; with no trade since, the last one stays.
        up.box->setFixedPage(QStringLiteral("/q=sh600036"), QByteArray(reply).replace("~240000~216789~", "~240030~216839~"),
                             "text/html; charset=GBK");
        QTest::qWait(1300);
        QCOMPARE(live.quote(QStringLiteral("600036")).lastTradeSign, QStringLiteral("-1"));
        QTest::qWait(1300);
        q = live.quote(QStringLiteral("600036"));
        QCOMPARE(q.lastTradeSign, QStringLiteral("-1"));
        QCOMPARE(q.lastTradeVolume, QStringLiteral("50"));
    }

    void watchedCodesShareOneBatchAndTheCacheAnswersMostRequests()
    {
        StandIn up;
        Live live(up);
        live.quote(QStringLiteral("600036"));
        live.quote(QStringLiteral("000001"));   // waits for the next batch, which asks both
        QCOMPARE(up.asked(kTencentBoth), 1);
        QCOMPARE(live.quote(QStringLiteral("000001")).name, QStringLiteral("平安银行"));

        // Many program requests over three seconds: about one upstream request a second.
        QTest::qWait(1100);
        const int before = live.feed().upstreamRequests().value(QStringLiteral("tencent"));
        const int bothBefore = up.asked(kTencentBoth);
        QElapsedTimer t;
        t.start();
        int programRequests = 0;
        while (t.elapsed() < 3000) {
            for (const char* code : {"600036", "000001"}) {
                QCOMPARE(live.quote(QString::fromLatin1(code)).lastPrice,
                         QString::fromLatin1(code[0] == '6' ? "35.12" : "11.02"));
                ++programRequests;
            }
            QTest::qWait(20);
        }
        const int upstream = live.feed().upstreamRequests().value(QStringLiteral("tencent")) - before;
        QVERIFY2(programRequests > 40, qPrintable(QString::number(programRequests)));
        QVERIFY2(upstream >= 2 && upstream <= 4, qPrintable(QString::number(upstream)));
        QCOMPARE(up.asked(kTencentBoth) - bothBefore, upstream);   // every one of them for both codes
    }

    void unknownCodeGivesTheEmptyName()
    {
        StandIn up;
        Live live(up);
        // Not a code at all: answered without asking an upstream.
        const QByteArray notACode = live.client.get(market::quoteAddress(live.box->baseUrl(), QStringLiteral("abc")));
        QCOMPARE(market::parseQuote(QString::fromUtf8(notACode)).name, QString());
        QCOMPARE(up.box->requests().size(), 0);
        QCOMPARE(live.quote(QStringLiteral("600999")).name, QString());
        QCOMPARE(live.quote(QStringLiteral("600999")).code, QStringLiteral("600999"));
    }

    void sinaWhenTencentFails_data()
    {
        QTest::addColumn<QString>("mode");
        for (const char* mode : {"refuse", "silent", "cut:40", "garbage", "500", "drip"})
            QTest::newRow(mode) << QString::fromLatin1(mode);
    }
    void sinaWhenTencentFails()
    {
        QFETCH(QString, mode);
        StandIn up;
        Live live(up);
        QVERIFY(up.box->setFault(QStringLiteral("/q=*"), mode));
        QElapsedTimer t;
        t.start();
        const market::StockQuote q = live.quote(QStringLiteral("600036"));
        QVERIFY2(t.elapsed() < 1500, qPrintable(QString::number(t.elapsed())));   // bounded, well under the program's 6 s
        QCOMPARE(fields(q), (QStringList{"600036", "招商银行", "35.12", "0.92%", "0.32", "35.11", "320", "35.12", "150",
                                         "456789", "160123.46", "34.90", "35.30", "34.75"}));
        QVERIFY(up.asked(QStringLiteral("/q=sh600036")) >= 1);   // the network layer may retry a refused one once
        const QList<sandbox::LoggedRequest> sina = up.box->requestsTo(QStringLiteral("/list=sh600036"));
        QCOMPARE(sina.size(), 1);
        QCOMPARE(sina[0].headers.value("referer"), QByteArray(sandbox::upstream::kSinaReferer));
    }

    void noSourceAnsweringFailsTheRequest()
    {
        StandIn up;
        Live live(up);
        up.box->setFault(QStringLiteral("/q=*"), QStringLiteral("refuse"));
        up.box->setFault(QStringLiteral("/list=*"), QStringLiteral("garbage"));
        up.box->setFault(kIndexApi, QStringLiteral("cut:30"));
        QVERIFY_THROWS_EXCEPTION(net::HttpFailure, live.quote(QStringLiteral("600036")));
        market::IndexSummary summary;
        QVERIFY_THROWS_EXCEPTION(net::HttpFailure, market::fetchIndexSummary(live.client, live.box->baseUrl(), summary));
        QVERIFY_THROWS_EXCEPTION(net::HttpFailure, live.page(QStringLiteral("/stock/sh/600036/single-bar.htm")));
        // The failure is not remembered: the next request tries the sources again.
        up.box->clearFaults();
        QCOMPARE(live.quote(QStringLiteral("600036")).lastPrice, QStringLiteral("35.12"));
    }

    void largeOrderNoticeAndNewsPagesInTheLayoutsTheProgramReads()
    {
        StandIn up;
        Live live(up);
        const QString hourly = live.page(QStringLiteral("/stock/sh/600036/single-bar.htm"));
        QVERIFY(hourly.contains(QStringLiteral("&values=0,150000,0,60000&")));
        QVERIFY(hourly.contains(QStringLiteral("&values_2=4000,0,20000,0&")));
        QVERIFY(live.page(QStringLiteral("/stock/sh/600036/single-pie.htm")).contains(QStringLiteral("&values=0,0,26,64,2,8,0,0&")));
        QCOMPARE(up.asked(kBillApi), 1);   // the two pages of the same second share one list
        QVERIFY(up.box->requestsTo(kBillApi)[0].query.contains(QStringLiteral("symbol=sh600036")));
        QVERIFY(up.box->requestsTo(kBillApi)[0].query.contains(QStringLiteral("day=2026-12-09")));
        const QString day = live.page(QStringLiteral("/stock/sh/600036/single-barDay.htm"));
        QVERIFY(day.contains(QStringLiteral("&values=1000000,0,100000,0,200000,200000,0,100000,0,1000000&")));
        QVERIFY(day.contains(QStringLiteral("&values_2=0,500000,0,50000,0,0,200000,0,200000,0&")));
        QVERIFY(day.contains(QStringLiteral("&x_labels=11-26,11-27,11-30,12-01,12-02,12-03,12-04,12-07,12-08,12-09&")));
        // A market part that does not fit the code: the page without data, as in the simulated market.
        QVERIFY(!live.page(QStringLiteral("/stock/sz/600036/single-bar.htm")).contains(QStringLiteral("values=")));

        const QString notices = live.page(QStringLiteral("/Notice/Notice_List.aspx?code=600036&date=&type="));
        QVERIFY(notices.contains(QStringLiteral("<span class=\"caption\"><a href=\"Notice_Detail.aspx?id=600036_AN202612091234567890\">"
                                                "招商银行(600036)招商银行:第十二届董事会第三十次会议决议公告</a></span>"
                                                "<span class=\"time\">2026-12-09</span>")));
        QVERIFY(live.page(QStringLiteral("/Notice/Notice_Detail.aspx?id=600036_AN202612091234567890"))
                    .contains(QStringLiteral("url=https://data.eastmoney.com/notices/detail/600036/AN202612091234567890.html")));

        const QString news = live.page(QStringLiteral("/news/cgszb.html"));
        QVERIFY(news.contains(QStringLiteral("<li><span>12-10 11:32</span><a href=\"https://finance.eastmoney.com/a/"
                                             "202612103262789012.html\" title=\"招商银行：拟发行不超过300亿元金融债\" target")));
    }

    void otherInformationSitesShowNothingFound()
    {
        StandIn up;
        Live live(up);
        QVERIFY(!live.page(QStringLiteral("/topic,600036.html")).contains(QStringLiteral("class=\"articleh\"")));
        QVERIFY(live.page(QStringLiteral("/data/qgqp.asp?zqdm=600036")).contains(QStringLiteral("暂无该股的千股千评数据")));
        QVERIFY(live.page(QStringLiteral("/realstock/company/sh600036/nc.shtml")).contains(QStringLiteral("class=\"err\"")));
        QVERIFY(!live.page(QStringLiteral("/a/20261209/")).contains(QStringLiteral("<li>")));
        QVERIFY_THROWS_EXCEPTION(net::HttpFailure, live.page(QStringLiteral("/pj/hexun/600036.html")));
        // The companion server's own pages are served as ever, but show no simulated figures.
        QVERIFY(live.page(QStringLiteral("/gplogin.asp")).contains(QStringLiteral("text=\"#000000\"")));
        QVERIFY(live.page(QStringLiteral("/gpgetstock.asp?name=600036")).contains(QStringLiteral("未找到股票：600036")));
        const QString today = live.page(QStringLiteral("/gptodayinfo.html"));
        QVERIFY(today.contains(QStringLiteral("<li>暂无</li>")) && !today.contains(QStringLiteral("%</li>")));
        // None of this asked an upstream.
        QCOMPARE(up.box->requests().size(), 0);
    }

    void checkReportsEverySource()
    {
        StandIn up;
        QString text;
        QTextStream out(&text);
        QCOMPARE(sandbox::checkSources(up.bases(), out), 0);
        QVERIFY2(text.contains(QStringLiteral("answered: 600036 招商银行 35.12, 000001 平安银行 11.02")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("answered: 上证指数 3050.12, 深证成指 10012.35")), qPrintable(text));
        QCOMPARE(text.count(QStringLiteral("answered:")), sandbox::upstream::names().size());

        up.box->setFault(QStringLiteral("/q=*"), QStringLiteral("500"));
        up.box->setFault(QStringLiteral("/list=*"), QStringLiteral("refuse"));
        text.clear();
        QCOMPARE(sandbox::checkSources(up.bases(), out), 1);
        QVERIFY(text.startsWith(QStringLiteral("tencent ")));
        QCOMPARE(text.count(QStringLiteral("no answer")), 2);
        QVERIFY(text.contains(QStringLiteral("No quote source answered.")));
    }

    void checkFromTheCommandLine()
    {
        StandIn up;
        QStringList args = {QStringLiteral("--market"), QStringLiteral("live"), QStringLiteral("--check")};
        for (const QString& name : sandbox::upstream::names())
            args << QStringLiteral("--upstream") << name + u'=' + up.box->baseUrl();
        QProcess exe;
        exe.start(QStringLiteral(HUILAN_SANDBOX_EXE), args);
        QVERIFY(exe.waitForStarted());
        QTRY_COMPARE_WITH_TIMEOUT(exe.state(), QProcess::NotRunning, 20000);   // the stand-in answers from this loop
        QCOMPARE(exe.exitCode(), 0);
        const QString out = QString::fromUtf8(exe.readAllStandardOutput());
        QVERIFY2(out.contains(QStringLiteral("eastmoney-news")) && out.contains(QStringLiteral("Live quotes reach this computer.")),
                 qPrintable(out));
    }

    void commandLine()
    {
        using sandbox::parseCommandLine;
        const QString exe = QStringLiteral("huilan-sandbox");
        const auto cli = parseCommandLine({exe, "--market", "live", "--upstream", "tencent=http://127.0.0.1:9000/",
                                           "--upstream", "eastmoney-news=https://mirror.example/news", "--check"});
        QCOMPARE(cli.error, QString());
        QCOMPARE(cli.options.market, QStringLiteral("live"));
        QCOMPARE(cli.options.upstreams.value(QStringLiteral("tencent")), QStringLiteral("http://127.0.0.1:9000"));
        QCOMPARE(cli.options.upstreams.value(QStringLiteral("eastmoney-news")), QStringLiteral("https://mirror.example/news"));
        QVERIFY(cli.check);
        QCOMPARE(parseCommandLine({exe}).options.market, QStringLiteral("simulated"));
        QVERIFY(!parseCommandLine({exe, "--market", "real"}).error.isEmpty());
        QVERIFY(!parseCommandLine({exe, "--upstream", "yahoo=http://x"}).error.isEmpty());
        QVERIFY(!parseCommandLine({exe, "--upstream", "sina=file:///etc/passwd"}).error.isEmpty());
        QVERIFY(!parseCommandLine({exe, "--check"}).error.isEmpty());
        const QString help = parseCommandLine({exe}).helpText;
        for (const QString& name : sandbox::upstream::names())
            QVERIFY2(help.contains(name), qPrintable(name));
        for (const char* option : {"--market", "--upstream", "--check"})
            QVERIFY(help.contains(QLatin1String(option)));
    }
};

QTEST_GUILESS_MAIN(TestSandboxLive)
#include "test_sandbox_live.moc"
