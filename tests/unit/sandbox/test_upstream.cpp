// The readers of the live market's upstream replies, on the recorded replies and on broken ones.
#include "livedata.h"
#include "liveforum.h"
#include "upstream.h"

#include "net/codecs.h"

#include <QTest>

using namespace feed;
using namespace feed::upstream;

namespace {

const QStringList kBoth = {QStringLiteral("000001"), QStringLiteral("600036"), QStringLiteral("600999")};

QByteArray gbk(const QString& s)
{
    return net::toGbk(s);
}

} // namespace

class TestUpstream : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void tencentReplyForTwoCodes()
    {
        const auto read = readTencent(liveData("tencent_quotes.txt"), kBoth);
        QVERIFY(read);
        QCOMPARE(read->size(), 3);
        QVERIFY(!read->value(QStringLiteral("600999")));   // not listed: the service's none-match line
        const Snapshot cmb = *read->value(QStringLiteral("600036"));
        const StockQuote& q = cmb.quote;
        QCOMPARE(q.name, QStringLiteral("招商银行"));
        QCOMPARE(q.last, 35.12);
        QCOMPARE(q.prevClose, 34.80);
        QCOMPARE(q.open, 34.90);
        QCOMPARE(q.volume, 456789);
        QCOMPARE(q.bidPrice1, 35.11);
        QCOMPARE(q.bidVolume1, 320);
        QCOMPARE(q.askPrice1, 35.12);
        QCOMPARE(q.askVolume1, 150);
        QCOMPARE(q.high, 35.30);
        QCOMPARE(q.low, 34.75);
        QCOMPARE(q.amount, 160123.0);
        QCOMPARE(q.time, QDateTime(QDate(2026, 12, 9), QTime(10, 30)));
        QCOMPARE(cmb.outer, 240000);
        QCOMPARE(cmb.inner, 216789);
        QCOMPARE(read->value(QStringLiteral("000001"))->quote.name, QStringLiteral("平安银行"));
        QCOMPARE(read->value(QStringLiteral("000001"))->quote.last, 11.02);
    }

    void sinaReplyInSharesAndYuan()
    {
        const auto read = readSina(liveData("sina_quotes.txt"), kBoth);
        QVERIFY(read);
        QVERIFY(!read->value(QStringLiteral("600999")));   // an empty value: unknown
        const Snapshot cmb = *read->value(QStringLiteral("600036"));
        QCOMPARE(cmb.quote.name, QStringLiteral("招商银行"));
        QCOMPARE(cmb.quote.volume, 456789);      // 45 678 900 shares
        QCOMPARE(cmb.quote.amount, 160123.46);   // 1 601 234 567 yuan
        QCOMPARE(cmb.quote.bidVolume1, 320);
        QCOMPARE(cmb.quote.askVolume1, 150);
        QCOMPARE(cmb.quote.prevClose, 34.80);
        QCOMPARE(cmb.quote.open, 34.90);
        QCOMPARE(cmb.outer, -1);   // the service does not tell
        QCOMPARE(cmb.quote.time, QDateTime(QDate(2026, 12, 9), QTime(10, 30)));
    }

    void brokenQuoteReplies_data()
    {
        QTest::addColumn<QByteArray>("tencent");
        QTest::addColumn<QByteArray>("sina");
        const QByteArray t = liveData("tencent_quotes.txt");
        const QByteArray s = liveData("sina_quotes.txt");
        QTest::newRow("cut inside a line") << t.left(300) << s.left(200);
        QTest::newRow("cut after a line's quote") << t.left(t.indexOf("\";") + 1) << s.left(s.indexOf("\";") + 1);
        QTest::newRow("empty") << QByteArray() << QByteArray();
        QTest::newRow("error page") << QByteArray("<html><body>502 Bad Gateway</body></html>")
                                    << QByteArray("<html><body>Forbidden</body></html>");
        QTest::newRow("garbage") << QByteArray("\x8f\x01\xff~~;;\"=") << QByteArray("\x8f\x01\xff,,;;\"=");
        QTest::newRow("too few fields") << gbk(QStringLiteral("v_sh600036=\"1~招商银行~600036~35.12\";"))
                                        << gbk(QStringLiteral("var hq_str_sh600036=\"招商银行,34.90,34.80\";"));
        QTest::newRow("the only line's price not a number")
            << gbk(QStringLiteral("v_sh600036=\"1~招商银行~600036~abc") + QStringLiteral("~1").repeated(40) + QStringLiteral("\";"))
            << gbk(QStringLiteral("var hq_str_sh600036=\"招商银行,34.90,abc") + QStringLiteral(",1").repeated(40) + QStringLiteral("\";"));
    }
    void brokenQuoteReplies()
    {
        QFETCH(QByteArray, tencent);
        QFETCH(QByteArray, sina);
        QVERIFY(!readTencent(tencent, kBoth));
        QVERIFY(!readSina(sina, kBoth));
    }

    void indices()
    {
        const auto read = readIndices(liveData("eastmoney_indices.json"));
        QVERIFY(read);
        QCOMPARE(read->shanghai.name, QStringLiteral("上证指数"));
        QCOMPARE(read->shanghai.value, 3050.12);
        QCOMPARE(read->shanghai.amount, 41234567.8901);   // 万元
        QCOMPARE(*read->shanghai.rising, 1523);
        QCOMPARE(*read->shanghai.falling, 712);
        QCOMPARE(*read->shanghai.unchanged, 65);
        QCOMPARE(read->shanghai.prevClose, 3036.46);
        QCOMPARE(read->shenzhen.name, QStringLiteral("深证成指"));
        QCOMPARE(*read->shenzhen.open, 10043.2);
        QCOMPARE(*read->shenzhen.high, 10080.11);
        QCOMPARE(*read->shenzhen.low, 9990.02);
        QCOMPARE(*read->shenzhen.unchanged, 120);
        // A value left out, one index missing, or no JSON: nothing is read.
        QVERIFY(!readIndices(liveData("eastmoney_indices.json").replace("\"f104\": 1102", "\"f104\": \"-\"")));
        QVERIFY(!readIndices(liveData("eastmoney_indices.json").replace("\"399001\"", "\"399006\"")));
        QVERIFY(!readIndices(liveData("eastmoney_indices.json").left(200)));
    }

    void billsByHourAndSize()
    {
        const QDate day(2026, 12, 9);
        const auto read = readBills(liveData("sina_bills.txt"), day, QDateTime(day, QTime(14, 30)));
        QVERIFY(read);
        QCOMPARE(read->hoursDone, 3);
        QCOMPARE(QList<qint64>(read->hourBuy, read->hourBuy + 4), (QList<qint64>{0, 150000, 0, 60000}));
        QCOMPARE(QList<qint64>(read->hourSell, read->hourSell + 4), (QList<qint64>{4000, 0, 20000, 0}));
        QCOMPARE(QList<double>(read->bucketYuan, read->bucketYuan + 8),
                 (QList<double>{0, 0, 2106000, 5250000, 139800, 701000, 0, 0}));   // the neutral trade left out
        QCOMPARE(readBills("null", day, QDateTime(day, QTime(9, 0)))->buyShares(), 0);
        QCOMPARE(readBills("null", day, QDateTime(day, QTime(9, 0)))->hoursDone, 0);
        QCOMPARE(readBills("[]", day, QDateTime(day.addDays(1), QTime(9, 0)))->hoursDone, 4);   // a past day
        QVERIFY(!readBills(liveData("sina_bills.txt").left(120), day, QDateTime(day, QTime(14, 30))));
        QVERIFY(!readBills("<html>", day, QDateTime(day, QTime(14, 30))));
    }

    void tradingDay()
    {
        QCOMPARE(tradingDayOf(QDateTime(QDate(2026, 12, 12), QTime(10, 0))), QDate(2026, 12, 11));   // Saturday
        QCOMPARE(tradingDayOf(QDateTime(QDate(2026, 12, 9), QTime(8, 0))), QDate(2026, 12, 9));
        QCOMPARE(hoursDone(QDate(2026, 12, 9), QDateTime(QDate(2026, 12, 9), QTime(11, 29, 59))), 1);
        QCOMPARE(hoursDone(QDate(2026, 12, 9), QDateTime(QDate(2026, 12, 9), QTime(15, 0))), 4);
    }

    void moneyFlowAsBuyingOrSelling()
    {
        const auto read = readMoneyFlow(liveData("eastmoney_moneyflow.json"));
        QVERIFY(read);
        QCOMPARE(read->size(), 10);
        QCOMPARE(read->first().date, QDate(2026, 11, 26));
        QCOMPARE(read->first().buyShares(), 1000000);   // 35.12 million yuan net at 35.12
        QCOMPARE(read->first().sellShares(), 0);
        QCOMPARE(read->at(1).buyShares(), 0);
        QCOMPARE(read->at(1).sellShares(), 500000);
        QCOMPARE(read->last().date, QDate(2026, 12, 9));
        QCOMPARE(readMoneyFlow("{\"rc\":0,\"data\":null}")->size(), 0);   // a code the service does not know
        QVERIFY(!readMoneyFlow("{\"rc\":0,\"data\":{\"klines\":[\"2026-12-09,1,2\"]}}"));
    }

    void noticesAndNews()
    {
        const auto notices = readNotices(liveData("eastmoney_notices.json"), QStringLiteral("600036"));
        QVERIFY(notices);
        QCOMPARE(notices->size(), 2);
        QCOMPARE(notices->first().id, QStringLiteral("600036_AN202612091234567890"));
        QCOMPARE(notices->first().date, QDate(2026, 12, 9));
        QCOMPARE(notices->first().title, QStringLiteral("招商银行:第十二届董事会第三十次会议决议公告"));
        QVERIFY(!readNotices("{\"data\":{\"list\":[{\"title\":\"x\"}]}}", QStringLiteral("600036")));

        const auto news = readNews(liveData("eastmoney_news.json"));
        QVERIFY(news);
        QCOMPARE(news->size(), 2);
        QCOMPARE(news->first().headline, QStringLiteral("招商银行：拟发行不超过300亿元金融债"));
        QCOMPARE(news->first().url, QStringLiteral("https://finance.eastmoney.com/a/202612103262789012.html"));
        QCOMPARE(news->first().time, QDateTime(QDate(2026, 12, 10), QTime(11, 32, 5)));
        // Quotes in a headline would end the page's title attribute early.
        const QByteArray quoted = "{\"data\":{\"fastNewsList\":[{\"code\":\"1234567\",\"title\":\"a \\\"b\\\" <c>\","
                                  "\"showTime\":\"2026-12-10 11:00:00\"}]}}";
        QCOMPARE(readNews(quoted)->first().headline, QStringLiteral("a b c"));
        QVERIFY(!readNews("{\"data\":{}}"));
    }

    void exchangeOfEveryKindOfCode_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("exchange");
        QTest::addColumn<int>("market");
        const struct { const char* code; const char* exchange; int market; } rows[] = {
            {"600036", "sh", 1}, {"688981", "sh", 1}, {"510300", "sh", 1},   // main board, STAR, fund
            {"900901", "sh", 1},                                           // Shanghai B share
            {"000001", "sz", 0}, {"300059", "sz", 0}, {"159915", "sz", 0}, {"200002", "sz", 0},
            {"920002", "bj", 0}, {"830799", "bj", 0}, {"430047", "bj", 0},   // Beijing
        };
        for (const auto& r : rows)
            QTest::newRow(r.code) << QString::fromLatin1(r.code) << QString::fromLatin1(r.exchange) << r.market;
    }
    void exchangeOfEveryKindOfCode()
    {
        QFETCH(QString, code);
        QFETCH(QString, exchange);
        QFETCH(int, market);
        QCOMPARE(exchangeOf(code), exchange);
        QCOMPARE(tencentPath({code}), QStringLiteral("/q=") + exchange + code);
        QCOMPARE(sinaPath({code}), QStringLiteral("/list=") + exchange + code);
        QVERIFY(moneyFlowPath(code, 10).contains(QStringLiteral("secid=%1.%2&").arg(market).arg(code)));
        QVERIFY(billPath(code, QDate(2026, 12, 9), 1).contains(QStringLiteral("symbol=") + exchange + code + u'&'));
    }

    void beijingStocksFundsAndSinasTrailingComma()
    {
        const QStringList codes = {QStringLiteral("920002"), QStringLiteral("510300")};
        const auto tencent = readTencent(liveData("tencent_beijing.txt"), codes);
        QVERIFY(tencent);
        QCOMPARE(tencent->value(QStringLiteral("920002"))->quote.name, QStringLiteral("万达轴承"));
        QCOMPARE(tencent->value(QStringLiteral("920002"))->quote.last, 41.50);
        QCOMPARE(tencent->value(QStringLiteral("920002"))->outer, 12000);
        QCOMPARE(tencent->value(QStringLiteral("510300"))->quote.last, 3.912);

        const auto sina = readSina(liveData("sina_quotes_trailing_comma.txt"),
                                   {QStringLiteral("600036"), QStringLiteral("920002")});
        QVERIFY(sina);
        QCOMPARE(sina->value(QStringLiteral("600036"))->quote.amount, 160123.46);
        QCOMPARE(sina->value(QStringLiteral("600036"))->quote.time, QDateTime(QDate(2026, 12, 9), QTime(10, 30)));
        QCOMPARE(sina->value(QStringLiteral("920002"))->quote.volume, 23456);
    }

    void oneBadLineFailsOnlyItsOwnCode_data()
    {
        QTest::addColumn<QByteArray>("from");
        QTest::addColumn<QByteArray>("to");
        QTest::newRow("not a number") << QByteArray("~35.12~34.80~") << QByteArray("~abc~34.80~");
        QTest::newRow("too large") << QByteArray("~456789~240000~") << QByteArray("~1e300~240000~");
        QTest::newRow("negative volume") << QByteArray("~456789~240000~") << QByteArray("~-456789~240000~");
        QTest::newRow("infinite") << QByteArray("~35.30~34.75~") << QByteArray("~inf~34.75~");
        QTest::newRow("too few fields") << QByteArray("~35.11~320~") << QByteArray("\";\nv_x=\"");
    }
    void oneBadLineFailsOnlyItsOwnCode()
    {
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, to);
        QByteArray reply = liveData("tencent_quotes.txt");
        QVERIFY(reply.contains(from));
        const auto read = readTencent(reply.replace(from, to), kBoth);
        QVERIFY(read);
        QVERIFY(!read->contains(QStringLiteral("600036")));   // failed: another source may answer it
        QCOMPARE(read->value(QStringLiteral("000001"))->quote.last, 11.02);
        QVERIFY(read->contains(QStringLiteral("600999")) && !read->value(QStringLiteral("600999")));   // still unknown
    }

    void numbersOutOfRangeInTheOtherReplies()
    {
        const QDate day(2026, 12, 9);
        const QDateTime at(day, QTime(14, 30));
        QVERIFY(!readBills(liveData("sina_bills.txt").replace("\"60000\"", "\"1e300\""), day, at));
        QVERIFY(!readBills(liveData("sina_bills.txt").replace("\"60000\"", "\"-60000\""), day, at));
        QVERIFY(!readBills(liveData("sina_bills.txt").replace("\"35.100\"", "\"-35.1\""), day, at));
        QVERIFY(!readMoneyFlow(liveData("eastmoney_moneyflow.json").replace("14048000.0,21072000.0", "14048000.0,1e300")));
        QVERIFY(!readMoneyFlow(liveData("eastmoney_moneyflow.json").replace(",35.12,0.35,", ",1e-300,0.35,")));
        QVERIFY(!readIndices(liveData("eastmoney_indices.json").replace("\"f104\": 1523", "\"f104\": 1e300")));
        QVERIFY(!readIndices(liveData("eastmoney_indices.json").replace("\"f2\": 3050.12", "\"f2\": -3050.12")));
    }

    void eastMoneysRefusalIsAFailureNotNoData()
    {
        const QByteArray refused = liveData("eastmoney_refused.json");
        QVERIFY(!readMoneyFlow(refused));
        QVERIFY(!readIndices(refused));
        QVERIFY(!readMoneyFlow("{\"data\":{\"klines\":[]}}"));   // no rc at all: not the service's reply
        QCOMPARE(readMoneyFlow("{\"rc\":0,\"data\":null}")->size(), 0);
    }

    void indicesBeforeTheOpenAndFromTencent()
    {
        const auto pre = readIndices(liveData("eastmoney_indices_preopen.json"));
        QVERIFY(pre);
        QCOMPARE(pre->shanghai.value, 3036.46);   // the previous close
        QCOMPARE(pre->shanghai.change(), 0.0);
        QCOMPARE(pre->shanghai.amount, 0.0);
        QVERIFY(!pre->shanghai.open && !pre->shanghai.high && !pre->shenzhen.low);
        QCOMPARE(*pre->shenzhen.unchanged, 2820);

        const auto tencent = readTencentIndices(liveData("tencent_indices.txt"));
        QVERIFY(tencent);
        QCOMPARE(tencent->shanghai.name, QStringLiteral("上证指数"));
        QCOMPARE(tencent->shanghai.value, 3050.12);
        QCOMPARE(tencent->shanghai.prevClose, 3036.46);
        QCOMPARE(*tencent->shanghai.open, 3036.50);
        QCOMPARE(tencent->shanghai.amount, 41234568.0);
        QCOMPARE(*tencent->shenzhen.low, 9990.02);
        QVERIFY(!tencent->shanghai.rising && !tencent->shenzhen.unchanged);   // Tencent does not give the counts
        // Ping An Bank's line (sz000001) is no Shanghai index.
        QVERIFY(!readTencentIndices(liveData("tencent_quotes.txt")));
    }

    void billListQuotedOrBareKeysAndItsPages()
    {
        const QDate day(2026, 12, 9);
        const QDateTime at(day, QTime(14, 30));
        const auto bare = readBills(liveData("sina_bills.txt"), day, at);
        const auto quoted = readBills(liveData("sina_bills_quoted.txt"), day, at);
        QVERIFY(bare && quoted);
        QCOMPARE(QList<qint64>(quoted->hourBuy, quoted->hourBuy + 4), QList<qint64>(bare->hourBuy, bare->hourBuy + 4));
        QCOMPARE(QList<double>(quoted->bucketYuan, quoted->bucketYuan + 8), QList<double>(bare->bucketYuan, bare->bucketYuan + 8));
        // A colon and a comma inside a quoted value do not become keys.
        const QByteArray odd = "[{\"symbol\":\"sh600036\",\"name\":\"a,b:c\",\"ticktime\":\"10:01:00\",\"price\":\"10\","
                               "\"volume\":\"20000\",\"kind\":\"U\"}]";
        QCOMPARE(readBills(odd, day, at)->hourBuy[0], 20000);
        QCOMPARE(readBillPage(liveData("sina_bills.txt"))->size(), 5);
        const QString page2 = billPath(QStringLiteral("600036"), day, 2);
        QVERIFY(page2.contains(QStringLiteral("num=10000&page=2&")) && page2.contains(QStringLiteral("asc=1")));
    }

    void forumListPageAndItsJsonTwin()
    {
        const auto page = liveforum::readListPage(liveData("guba_list.html"), QStringLiteral("600036"));
        const auto twin = liveforum::readArticleList(liveData("gbapi_articlelist.json"), QStringLiteral("600036"));
        QVERIFY(page && twin);
        // The pinned post and the hot post of other bars are left out; the bar's own old pinned
        // post goes to its place by time.
        QStringList links;
        for (const ForumPost& p : *page)
            links << p.link;
        QCOMPARE(links, (QStringList{"news,600036,1600000005.html", "caifuhao,600036,20261209142958123456780.html",
                                     "news,600036,1600000003.html", "news,600036,1600000002.html",
                                     "news,600036,1600000001.html", "news,600036,1598765432.html"}));
        const ForumPost& cfh = page->at(1);
        QCOMPARE(cfh.title, QStringLiteral("招商银行：“零售之王”的护城河还在吗"));   // trimmed, no '"' to end a field
        QCOMPARE(cfh.author, QStringLiteral("银行研究所"));
        QCOMPARE(cfh.clicks, 8920);
        QCOMPARE(cfh.replies, 120);
        QCOMPARE(cfh.posted, QDateTime(QDate(2026, 12, 9), QTime(14, 30)));
        QCOMPARE(cfh.updated, QDateTime(QDate(2026, 12, 9), QTime(15, 40)));
        for (qsizetype i = 0; i < page->size(); ++i)
            QVERIFY(page->at(i).link == twin->at(i).link && page->at(i).title == twin->at(i).title);
        QCOMPARE(liveforum::postsOf(*page, QDate(2026, 12, 9)).size(), 3);
        // An empty list is a day without posts, not a failure.
        QCOMPARE(liveforum::readArticleList(R"({"re":[],"count":0,"rc":1,"me":"ok"})", QStringLiteral("600036"))->size(), 0);
        QCOMPARE(liveforum::articleListPath(QStringLiteral("920002")).left(68),
                 QStringLiteral("/webarticlelist/api/Article/Articlelist?code=920002&p=1&ps=80&type=0"));
    }

    void forumRepliesThatAreNoPostList()
    {
        const QString code = QStringLiteral("600036");
        const QByteArray page = liveData("guba_list.html");
        QVERIFY(!liveforum::readListPage(liveData("guba_captcha.html"), code));    // an identity check
        QVERIFY(!liveforum::readArticleList(liveData("gbapi_refused.json"), code));   // rc 0
        QVERIFY(!liveforum::readListPage(QByteArray(page).replace(R"("rc":1,)", R"("rc":0,)"), code));
        QVERIFY(!liveforum::readListPage(page.left(page.indexOf("1600000003")), code));   // cut short
        QVERIFY(!liveforum::readArticleList(liveData("guba_list.html"), code));   // the page is not the JSON reply
        // A count out of range in a post of the bar fails the reply; in another bar's post it is not read.
        for (const char* bad : {"-268", "1e300", "\"x\""})
            QVERIFY2(!liveforum::readListPage(QByteArray(page).replace("\"post_click_count\":268,", "\"post_click_count\":" + QByteArray(bad) + ","), code), bad);
        QVERIFY(liveforum::readListPage(QByteArray(page).replace("\"post_click_count\":30211,", "\"post_click_count\":-1,"), code));
        QVERIFY(!liveforum::readListPage(QByteArray(page).replace("2026-12-09 10:05:33\",\"post_last", "yesterday\",\"post_last"), code));
    }

    void tradingDayFromTheQuoteServicesDate_data()
    {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QDateTime>("quoted");
        QTest::addColumn<QDate>("day");   // invalid: no trading today
        const QDate thu(2026, 10, 1), wed(2026, 9, 30), sat(2026, 10, 3), mon(2026, 12, 7), fri(2026, 12, 4);
        QTest::newRow("a trading day") << QDateTime(mon, QTime(10, 0)) << QDateTime(mon, QTime(9, 59, 58)) << mon;
        QTest::newRow("a holiday") << QDateTime(thu, QTime(11, 0)) << QDateTime(wed, QTime(15, 0, 3)) << QDate();
        QTest::newRow("before the first quote") << QDateTime(mon, QTime(8, 0)) << QDateTime(fri, QTime(15, 0)) << QDate();
        QTest::newRow("a weekend after a holiday") << QDateTime(sat, QTime(10, 0)) << QDateTime(wed, QTime(15, 0)) << wed;
        QTest::newRow("no quote time") << QDateTime(sat, QTime(10, 0)) << QDateTime() << QDate(2026, 10, 2);
    }
    void tradingDayFromTheQuoteServicesDate()
    {
        QFETCH(QDateTime, now);
        QFETCH(QDateTime, quoted);
        QFETCH(QDate, day);
        QCOMPARE(tradingDayOf(now, quoted).value_or(QDate()), day);
    }
};

QTEST_GUILESS_MAIN(TestUpstream)
#include "test_upstream.moc"
