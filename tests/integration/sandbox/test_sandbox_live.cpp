// The live market over real HTTP on loopback: a live sandbox whose upstreams all point at a
// stand-in serving the recorded replies. Quotes are read back with the program's own client and
// parser, field by field.
#include "cli.h"
#include "livedata.h"
#include "livefeed.h"
#include "sandbox.h"

#include "info/commentary.h"
#include "info/rumours.h"
#include "market/indexsummary.h"
#include "market/quote.h"
#include "net/codecs.h"
#include "net/failure.h"
#include "net/httpclient.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QTextStream>

using sandbox::Sandbox;

namespace {

const QDateTime kAfterClose(QDate(2026, 12, 9), QTime(16, 0));

struct Live {
    // `moved`: upstreams pointed elsewhere than the stand-in.
    explicit Live(StandIn& standIn, const QDateTime& clock = kAfterClose, const QHash<QString, QString>& moved = {})
    {
        sandbox::Options o;
        o.port = 0;
        o.clockStart = clock;
        o.dataDir = dir.filePath(QStringLiteral("live"));
        o.market = QStringLiteral("live");
        o.upstreams = standIn.bases();
        o.upstreams.insert(moved);
        box = std::make_unique<Sandbox>(o);
        started = box->start();
        feed().setTimeout(600);   // a hung upstream counts as failed soon, so the tests stay quick
    }
    feed::LiveFeed& feed() { return dynamic_cast<feed::LiveFeed&>(box->feed()); }
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

    void codesAskedTogetherShareTheirFirstBatch()
    {
        StandIn up;
        Live live(up);
        // The phone alerts ask for all their codes at once: one upstream request for all of them.
        int answered = 0;
        for (const char* code : {"600036", "000001"})
            live.feed().quote(QString::fromLatin1(code), kAfterClose, [&](std::optional<feed::QuoteAnswer> a) {
                answered += a && *a ? 1 : 0;
            });
        QTRY_COMPARE(answered, 2);
        QCOMPARE(up.asked(kTencentBoth), 1);
        QCOMPARE(up.asked(QStringLiteral("/q=sh600036")), 0);
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
        QCOMPARE(sina[0].headers.value("referer"), QByteArray(feed::upstream::kSinaReferer));
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

    void aGapIsAFirstReadingNotOneHugeTrade()
    {
        StandIn up;
        Live live(up);
        const QByteArray reply = liveData("tencent_quotes.txt");
        const QByteArray gbk = "text/html; charset=GBK";
        auto outerAt = [&](const char* outer) {
            up.box->setFixedPage(QStringLiteral("/q=sh600036"), QByteArray(reply).replace("~240000~", outer), gbk);
        };
        live.quote(QStringLiteral("600036"));
        outerAt("~240030~");
        QTest::qWait(1100);
        QCOMPARE(live.quote(QStringLiteral("600036")).lastTradeVolume, QStringLiteral("30"));
        // Tencent fails for three seconds and Sina answers meanwhile; 20 000 lots trade at the ask.
        up.box->setFault(QStringLiteral("/q=*"), QStringLiteral("500"));
        QTest::qWait(1100);
        QCOMPARE(live.quote(QStringLiteral("600036")).fieldCount, int(market::StockQuote::LowPrice));   // Sina: no last trade
        outerAt("~260030~");
        QTest::qWait(2200);
        up.box->clearFaults();
        QTest::qWait(1100);
        // Back on Tencent: the reading before is seconds old, so this one is a first reading.
        market::StockQuote q = live.quote(QStringLiteral("600036"));
        QCOMPARE(q.lastPrice, QStringLiteral("35.12"));
        QCOMPARE(q.fieldCount, int(market::StockQuote::LowPrice));
        outerAt("~260040~");
        QTest::qWait(1100);
        q = live.quote(QStringLiteral("600036"));
        QCOMPARE(q.lastTradeSign, QStringLiteral("1"));
        QCOMPARE(q.lastTradeVolume, QStringLiteral("10"));
    }

    void beijingStocksAndOneOddLineInABatch()
    {
        StandIn up;
        Live live(up);
        market::StockQuote bj = live.quote(QStringLiteral("920002"));
        QCOMPARE(bj.name, QStringLiteral("万达轴承"));
        QCOMPARE(bj.lastPrice, QStringLiteral("41.50"));
        QCOMPARE(up.asked(QStringLiteral("/q=bj920002")), 1);

        // 600036's line in the batch is odd: Sina answers for it alone, Tencent's 000001 stands.
        Live other(up);
        other.quote(QStringLiteral("600036"));
        up.box->setFixedPage(kTencentBoth, liveData("tencent_quotes.txt").replace("~35.12~34.80~", "~1e400~34.80~"),
                             "text/html; charset=GBK");
        QTest::qWait(1100);
        const market::StockQuote pingan = other.quote(QStringLiteral("000001"));
        QCOMPARE(pingan.amount, QStringLiteral("108901.00"));   // Tencent's 万元, not Sina's yuan
        QCOMPARE(other.quote(QStringLiteral("600036")).amount, QStringLiteral("160123.46"));
        QCOMPARE(up.asked(QStringLiteral("/list=sh600036")), 1);
    }

    void indicesFromTencentWhenEastMoneyRefusesOrBeforeTheOpen()
    {
        StandIn up;
        Live live(up);
        market::IndexSummary summary;
        const QString line1 = QStringLiteral("上证指数：3050.12  涨13.66↑  幅度：0.45%  总成交量：4123亿 上涨：1523 下跌：712 平盘：65"
                                             "  昨收：3036.46  今开：3036.50  最高：3061.20  最低：3030.01");
        market::fetchIndexSummary(live.client, live.box->baseUrl(), summary);
        QCOMPARE(summary.line1, line1);
        // Refused: the same levels from Tencent, with the counts East Money gave earlier today.
        up.box->setFixedPage(kIndexApi, liveData("eastmoney_refused.json"), "application/json");
        QTest::qWait(1100);
        summary = {};
        market::fetchIndexSummary(live.client, live.box->baseUrl(), summary);
        QCOMPARE(summary.line1, line1);
        QCOMPARE(up.asked(kTencentIndices), 1);

        // A server that never read East Money's counts leaves them empty.
        Live fresh(up);
        summary = {};
        market::fetchIndexSummary(fresh.client, fresh.box->baseUrl(), summary);
        QVERIFY2(summary.line2.contains(QStringLiteral(" 上涨： 下跌： 平盘：  昨收：10043.49")), qPrintable(summary.line2));

        // Before the open East Money's rows carry "-": the previous close, nothing traded.
        up.box->setFixedPage(kIndexApi, liveData("eastmoney_indices_preopen.json"), "application/json");
        QTest::qWait(1100);
        summary = {};
        market::fetchIndexSummary(fresh.client, fresh.box->baseUrl(), summary);
        QCOMPARE(summary.line1, QStringLiteral("上证指数：3036.46  涨0.00↑  幅度：0.00%  总成交量：0亿 上涨：0 下跌：0 平盘：2300"
                                               "  昨收：3036.46  今开：  最高：  最低："));
    }

    void eastMoneysRefusalFailsThePageAfterOneRetry()
    {
        StandIn up;
        Live live(up);
        up.box->setFixedPage(kFlowApi, liveData("eastmoney_refused.json"), "application/json");
        std::optional<std::optional<feed::BigOrderAnswer>> answer;
        live.feed().bigOrders(QStringLiteral("600036"), kAfterClose, 10, [&](auto a) { answer = a; });
        QTRY_VERIFY(answer);
        QVERIFY(!*answer);   // a failure, not an empty ten days
        QCOMPARE(up.asked(kFlowApi), 2);
        QVERIFY_THROWS_EXCEPTION(net::HttpFailure, live.page(QStringLiteral("/stock/sh/600036/single-barDay.htm")));
        up.box->setFixedPage(kFlowApi, liveData("eastmoney_moneyflow.json"), "application/json");
        QVERIFY(live.page(QStringLiteral("/stock/sh/600036/single-barDay.htm")).contains(QStringLiteral("&values=1000000,")));
    }

    void largeTradesAreReadPageByPage()
    {
        StandIn up;
        Live live(up);
        const QDate day(2026, 12, 9);
        const QString code = QStringLiteral("600036");
        up.box->setFixedPage(feed::upstream::billPath(code, day, 1), StandIn::fullBillPage(), "application/json");
        up.box->setFixedPage(feed::upstream::billPath(code, day, 2), liveData("sina_bills_quoted.txt"), "text/html; charset=GBK");
        const QString hourly = live.page(QStringLiteral("/stock/sh/600036/single-bar.htm"));
        QVERIFY2(hourly.contains(QStringLiteral("&values=100000000,150000,0,60000&")), qPrintable(hourly.left(600)));
        QCOMPARE(up.asked(kBillApi), 2);
    }

    void noTradingTodayOnAHolidayWeekday()
    {
        StandIn up;
        // Thursday 10 December, 11:00, while the quote service's last quote is of the 9th.
        Live live(up, QDateTime(QDate(2026, 12, 10), QTime(11, 0)));
        const QString hourly = live.page(QStringLiteral("/stock/sh/600036/single-bar.htm"));
        QVERIFY2(hourly.contains(QStringLiteral("&values=&")), qPrintable(hourly.left(600)));
        QCOMPARE(up.asked(kBillApi), 0);
    }

    void waitsStayBelowTheProgramsTimeOut()
    {
        StandIn up;
        Live live(up);
        live.feed().setTimeout(2000);
        live.feed().setWaitBound(3000);
        up.box->setSilent(QStringLiteral("/q=sh600036"));
        up.box->setSilent(QStringLiteral("/list=sh600036"));
        QElapsedTimer t;
        t.start();
        std::optional<feed::QuoteAnswer> hung, other;
        qint64 hungMs = -1, otherMs = -1;
        live.feed().quote(QStringLiteral("600036"), kAfterClose, [&](std::optional<feed::QuoteAnswer> a) {
            hung = a;
            hungMs = t.elapsed();
        });
        QTest::qWait(100);
        // A code not in the batch under way does not wait for it.
        live.feed().quote(QStringLiteral("000001"), kAfterClose, [&](std::optional<feed::QuoteAnswer> a) {
            other = a;
            otherMs = t.elapsed();
        });
        QTRY_VERIFY_WITH_TIMEOUT(hungMs >= 0 && otherMs >= 0, 10000);
        QVERIFY2(otherMs < 2000, qPrintable(QString::number(otherMs)));
        QCOMPARE(other->value().name, QStringLiteral("平安银行"));
        QVERIFY2(hungMs < 3500, qPrintable(QString::number(hungMs)));   // given up at the bound, not after both sources
        QVERIFY(!hung);
    }

    void codesAndSharedRepliesAreBounded()
    {
        StandIn up;
        Live live(up);
        int answered = 0;
        for (int i = 0; i < feed::LiveFeed::kMaxCodes; ++i)
            live.feed().quote(QString::number(100000 + i), kAfterClose, [&](auto) { ++answered; });
        bool refused = false;
        live.feed().quote(QStringLiteral("700000"), kAfterClose, [&](std::optional<feed::QuoteAnswer> a) { refused = !a; });
        QVERIFY(refused);   // at once, without asking anyone
        QCOMPARE(live.feed().heldCodes(), feed::LiveFeed::kMaxCodes);
        QTRY_COMPARE_WITH_TIMEOUT(answered, feed::LiveFeed::kMaxCodes, 20000);
    }

    void newsFromTheSisterHostWhenTheFirstFails()
    {
        StandIn up;
        Live live(up, kAfterClose, {{QStringLiteral("eastmoney-news"), QStringLiteral("http://127.0.0.1:9")}});
        QVERIFY(live.page(QStringLiteral("/news/cgszb.html")).contains(QStringLiteral("招商银行：拟发行不超过300亿元金融债")));
        QCOMPARE(up.asked(kNewsApi), 1);
    }

    void companionListsNameRealPagesAndTheBoardStartsEmpty()
    {
        StandIn up;
        Live live(up);
        const QString directory = live.page(QStringLiteral("/gpreadtoady1.asp"));
        QVERIFY2(directory.contains(QStringLiteral("text=\"#000000\">https://finance.eastmoney.com/a/cywjh.html*2026-12-09|\r\n")),
                 qPrintable(directory));
        QVERIFY(directory.contains(up.box->baseUrl() + kBlogList + QStringLiteral("*徐小明|")));
        const QString sites = live.page(QStringLiteral("/gpreadzhpj.asp"));
        QVERIFY(sites.contains(QStringLiteral("https://stockpage.10jqka.com.cn/{/*同花顺个股]")));
        QVERIFY(!sites.contains(live.box->baseUrl()));   // no page of the sandbox's own
        // The previous day's index is a real page too; the request is the program's own form.
        QVERIFY(live.page(QStringLiteral("/a/20261208/")).contains(QStringLiteral("url=https://stock.eastmoney.com/a/czpnc.html")));
        // No simulated recommendation beside the real market.
        QVERIFY(!live.page(QStringLiteral("/gpjgshow.asp")).contains(QStringLiteral("$a0")));
        QVERIFY(live.page(QStringLiteral("/jg.asp")).contains(QStringLiteral("共 0 条")));
        QCOMPARE(up.box->requests().size(), 0);
    }

    void checkSaysWhenSinaRefusesTheBlogs()
    {
        StandIn up;
        up.box->setFixedPage(kBlogList, "<html>418 I'm a teapot</html>", "text/html", 418);
        QString text;
        QTextStream out(&text);
        QCOMPARE(sandbox::checkSources(up.bases(), out), 0);   // the blogs are no market source
        QVERIFY2(text.contains(QRegularExpression(QStringLiteral("sina-blog +\\S+ no answer"))), qPrintable(text));
    }

    void otherInformationSitesShowNothingFound()
    {
        StandIn up;
        Live live(up);
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

    void forumPostsOfTodayFromTheListPage()
    {
        StandIn up;
        Live live(up);
        const QString page = live.page(QStringLiteral("/topic,600036.html"));
        QVERIFY(page.contains(QStringLiteral("<title>招商银行吧(600036)_股吧_东方财富网股吧</title>")));
        QVERIFY2(page.contains(QStringLiteral(
                     "<li class=l1>1523</li><li class=l2>37</li><li class=l3><a href=\"news,600036,1600000005.html\" >"
                     "招行今天这走势，明天怎么看？</a></li><li class=l4>价值发现者</li><li class=l5>12-09 15:52</li>"
                     "<li class=l6>12-09 15:58</li>")),
                 qPrintable(page));
        QVERIFY(page.indexOf(QStringLiteral("caifuhao,600036,20261209142958123456780.html")) < page.indexOf(QStringLiteral("分红到账了")));
        QCOMPARE(page.count(QStringLiteral("class=\"articleh\"")), 3);   // today's, of this bar only
        QVERIFY(page.contains(QStringLiteral("共 3 篇")));
        // Asked the way a browser on the forum asks, and once a minute however often the program asks.
        const sandbox::LoggedRequest asked = up.box->requestsTo(kGubaList).value(0);
        QCOMPARE(asked.headers.value("referer"), QByteArray("https://guba.eastmoney.com/"));
        QVERIFY(asked.headers.value("user-agent").contains("Chrome/"));
        QVERIFY(live.page(QStringLiteral("/topic,600036.html")).contains(QStringLiteral("分红到账了")));
        QCOMPARE(up.asked(kGubaList), 1);
        QCOMPARE(up.asked(kGbapiList), 0);

        // The posts' own pages, on the forum and on the 财富号 site.
        QVERIFY(live.page(QStringLiteral("/news,600036,1600000005.html"))
                    .contains(QStringLiteral("url=https://guba.eastmoney.com/news,600036,1600000005.html")));
        QVERIFY(live.page(QStringLiteral("/caifuhao,600036,20261209142958123456780.html"))
                    .contains(QStringLiteral("url=https://caifuhao.eastmoney.com/news/20261209142958123456780")));
    }

    void forumTwinWhenThePageIsACaptchaAndNoFailureKept()
    {
        StandIn up;
        up.box->setFixedPage(kGubaList, liveData("guba_captcha.html"), "text/html; charset=utf-8");
        Live live(up);
        QCOMPARE(live.page(QStringLiteral("/topic,600036.html")).count(QStringLiteral("class=\"articleh\"")), 3);
        QCOMPARE(up.asked(kGbapiList), 1);
        QCOMPARE(up.box->requestsTo(kGbapiList).value(0).headers.value("referer"), QByteArray("https://guba.eastmoney.com/"));

        // Both refuse: no page at all, never a list without posts; and the next request asks again.
        StandIn down;
        down.box->setFixedPage(kGubaList, liveData("guba_captcha.html"), "text/html; charset=utf-8");
        down.box->setFixedPage(kGbapiList, liveData("gbapi_refused.json"), "application/json");
        Live refused(down);
        QVERIFY_THROWS_EXCEPTION(net::HttpFailure, refused.page(QStringLiteral("/topic,600036.html")));
        const int asked = down.asked(kGubaList);
        down.box->setFixedPage(kGbapiList, liveData("gbapi_articlelist.json"), "application/json");
        QVERIFY(refused.page(QStringLiteral("/topic,600036.html")).contains(QStringLiteral("分红到账了")));
        QCOMPARE(down.asked(kGubaList), asked + 1);
    }

    void commentaryFromTheDataCentreInTurn()
    {
        using feed::livenews::CommentReport;
        StandIn up;
        {
            Live live(up);
            // 招商银行: the diagnosis text, asked for once a minute however often the page is.
            const QString cmb = live.page(QStringLiteral("/data/qgqp.asp?zqdm=600036"));
            QVERIFY(info::scanCommentary(cmb).value_or(QString()).startsWith(QStringLiteral("近期的平均成本为35.02元")));
            live.page(QStringLiteral("/data/qgqp.asp?zqdm=600036"));
            QCOMPARE(up.asked(kDataCentreApi), 1);
            // 平安银行: 9201 for both texts, so the line of the day's figures.
            QCOMPARE(info::scanCommentary(live.page(QStringLiteral("/data/qgqp.asp?zqdm=000001"))),
                     QStringLiteral("综合得分68.5分，目前排名第1432位，主力成本10.96元，机构参与度36.2%。"));
            QCOMPARE(up.asked(kDataCentreApi), 4);
        }
        {
            // The volume-trend comment when the diagnosis has none; nothing at all is "no commentary".
            up.box->setFixedPage(commentKey(CommentReport::TrendVolume, QStringLiteral("000001")), liveData("datacenter_trend.json"), "application/json");
            up.box->setFixedPage(commentKey(CommentReport::Figures, QStringLiteral("600036")), liveData("datacenter_empty.json"), "application/json");
            up.box->setFixedPage(commentKey(CommentReport::Diagnosis, QStringLiteral("600036")), liveData("datacenter_empty.json"), "application/json");
            up.box->setFixedPage(commentKey(CommentReport::TrendVolume, QStringLiteral("600036")), liveData("datacenter_empty.json"), "application/json");
            Live live(up);
            QCOMPARE(info::scanCommentary(live.page(QStringLiteral("/data/qgqp.asp?zqdm=000001"))),
                     QStringLiteral("量能温和放大，股价沿5日均线震荡上行，短线关注11.20元压力位。"));
            const QString none = live.page(QStringLiteral("/data/qgqp.asp?zqdm=600036"));
            QVERIFY(none.contains(QStringLiteral("暂无该股的千股千评数据")) && !info::scanCommentary(none));
        }
        {
            // A refusal is a failure, never "no commentary": the page is not served, and not kept.
            up.box->setFixedPage(commentKey(CommentReport::Diagnosis, QStringLiteral("600036")), liveData("datacenter_refused.json"), "application/json");
            Live live(up);
            QVERIFY_THROWS_EXCEPTION(net::HttpFailure, live.page(QStringLiteral("/data/qgqp.asp?zqdm=600036")));
            up.box->setFixedPage(commentKey(CommentReport::Diagnosis, QStringLiteral("600036")), liveData("datacenter_diagnosis.json"), "application/json");
            QVERIFY(info::scanCommentary(live.page(QStringLiteral("/data/qgqp.asp?zqdm=600036"))));
        }
    }

    void reportsAndRumoursOnTheCompanyPage()
    {
        StandIn up;
        Live live(up);
        const QString page = live.page(QStringLiteral("/realstock/company/sh600036/nc.shtml"));
        const info::CompanyPageScan scan = info::scanCompanyPage(page);
        QVERIFY(scan.report);
        QCOMPARE(scan.report->link, QStringLiteral("https://data.eastmoney.com/report/info/AP202612081234567891.html"));
        QCOMPARE(scan.report->hint, QStringLiteral("[2026-12-08] 国泰君安：零售银行龙头，财富管理护城河深厚"));
        // The newest answered 传闻求证 question; the one without an answer is passed over.
        QCOMPARE(scan.rumour.title, QStringLiteral("有传闻称公司高管近期变动，请董秘求证。"));
        const QString link = scan.rumour.link.value_or(QString());
        QCOMPARE(link, live.box->baseUrl() + QStringLiteral("/realstock/company/sh600036/rumour/wdm1456700001.shtml"));
        QVERIFY(net::fromGbk(live.client.get(link)).contains(QStringLiteral("url=https://guba.eastmoney.com/news,600036,1456700001.html")));
        QCOMPARE(up.box->requestsTo(kQuestionApi).constFirst().method, QByteArray("POST"));
        QCOMPARE(up.asked(kIrmOrgApi) + up.asked(kSnsCompanyApi), 0);
        // Asked again within the minute: from the cache.
        live.page(QStringLiteral("/realstock/company/sh600036/nc.shtml"));
        QCOMPARE(up.asked(kQuestionApi), 1);
        QCOMPARE(up.asked(kReportApi), 1);
        QVERIFY(up.box->requestsTo(kReportApi).constFirst().query.contains(QStringLiteral("qType=0")));

        // No reports: the section's "更多" alone, which the program shows as 暂无.
        up.box->setFixedPage(kReportApi, liveData("reportapi_empty.json"), "application/json");
        QCOMPARE(info::scanCompanyPage(live.page(QStringLiteral("/realstock/company/sz000001/nc.shtml"))).report->caption,
                 QStringLiteral("暂无"));
    }

    void rumoursFromTheExchangesWhenWenDongMiHasNone()
    {
        StandIn up;
        up.box->setFixedPage(kQuestionApi, liveData("guba_none.json"), "application/json");
        Live live(up);
        // Shenzhen: 互动易, its answered question; Shanghai: 上证e互动.
        const info::CompanyPageScan sz = info::scanCompanyPage(live.page(QStringLiteral("/realstock/company/sz000001/nc.shtml")));
        QCOMPARE(sz.rumour.title, QStringLiteral("请问公司是否有回购股份的计划？"));
        QVERIFY(up.box->requestsTo(kIrmQuestionApi).constFirst().query.contains(QStringLiteral("orgId=gssz0000001")));
        QVERIFY(net::fromGbk(live.client.get(*sz.rumour.link))
                    .contains(QStringLiteral("url=https://irm.cninfo.com.cn/ircs/question/questionDetail?questionId=1866990000000000000")));
        const info::CompanyPageScan sh = info::scanCompanyPage(live.page(QStringLiteral("/realstock/company/sh600036/nc.shtml")));
        QCOMPARE(sh.rumour.title, QStringLiteral("董秘你好，近日市场传闻公司将设立理财子公司二期，请问是否属实？"));
        QVERIFY(up.box->requestsTo(kSnsFeedApi).constFirst().query.contains(QStringLiteral("uid=80")));

        // 问董秘 failing and the exchange failing as well: the page is not served.
        StandIn down;
        down.box->setFault(kQuestionApi, QStringLiteral("500"));
        down.box->setFault(kIrmOrgApi, QStringLiteral("garbage"));
        Live failing(down);
        QVERIFY_THROWS_EXCEPTION(net::HttpFailure, failing.page(QStringLiteral("/realstock/company/sz000001/nc.shtml")));
        // ... while a failed 问董秘 with an exchange that answers shows the exchange's question.
        down.box->clearFault(kIrmOrgApi);
        QCOMPARE(info::scanCompanyPage(failing.page(QStringLiteral("/realstock/company/sz000001/nc.shtml"))).rumour.title,
                 QStringLiteral("请问公司是否有回购股份的计划？"));
    }

    void checkReportsEverySource()
    {
        StandIn up;
        QString text;
        QTextStream out(&text);
        QCOMPARE(sandbox::checkSources(up.bases(), out), 0);
        QVERIFY2(text.contains(QStringLiteral("answered: 600036 招商银行 35.12, 000001 平安银行 11.02")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("answered: 上证指数 3050.12, 深证成指 10012.35")), qPrintable(text));
        QCOMPARE(text.count(QStringLiteral("answered:")), feed::upstream::names().size() + 1);   // and Tencent's indices
        QVERIFY2(text.contains(QStringLiteral("tencent-index")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("answered: 600036: 6 posts of the bar, the newest 招行今天这走势")), qPrintable(text));

        up.box->setFault(QStringLiteral("/q=*"), QStringLiteral("500"));
        up.box->setFault(QStringLiteral("/list=*"), QStringLiteral("refuse"));
        text.clear();
        QCOMPARE(sandbox::checkSources(up.bases(), out), 1);
        QVERIFY(text.startsWith(QStringLiteral("tencent ")));
        QCOMPARE(text.count(QStringLiteral("no answer")), 3);   // both quote sources, and Tencent's indices
        QVERIFY(text.contains(QStringLiteral("No quote source answered.")));
    }

    void checkFailsWhenNoIndexSourceAnswers()
    {
        StandIn up;
        up.box->setFixedPage(kIndexApi, liveData("eastmoney_refused.json"), "application/json");
        QString text;
        QTextStream out(&text);
        QCOMPARE(sandbox::checkSources(up.bases(), out), 0);   // Tencent gives the indices
        up.box->setFault(kTencentIndices, QStringLiteral("garbage"));
        text.clear();
        QCOMPARE(sandbox::checkSources(up.bases(), out), 1);
        QVERIFY2(text.contains(QStringLiteral("Live quotes reach this computer.")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("No index source answered.")), qPrintable(text));
    }

    void checkFromTheCommandLine()
    {
        StandIn up;
        QStringList args = {QStringLiteral("--market"), QStringLiteral("live"), QStringLiteral("--check")};
        for (const QString& name : feed::upstream::names())
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
        for (const QString& name : feed::upstream::names())
            QVERIFY2(help.contains(name), qPrintable(name));
        for (const char* option : {"--market", "--upstream", "--check"})
            QVERIFY(help.contains(QLatin1String(option)));
    }
};

QTEST_GUILESS_MAIN(TestSandboxLive)
#include "test_sandbox_live.moc"
