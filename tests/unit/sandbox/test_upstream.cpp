// The readers of the live market's upstream replies, on the recorded replies and on broken ones.
#include "livedata.h"
#include "upstream.h"

#include "net/codecs.h"

#include <QTest>

using namespace sandbox;
using namespace sandbox::upstream;

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
        QTest::newRow("price not a number") << QByteArray(t).replace("~35.12~34.80~", "~abc~34.80~")
                                            << QByteArray(s).replace(",35.12,35.30,", ",abc,35.30,");
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
        QCOMPARE(read->shanghai.rising, 1523);
        QCOMPARE(read->shanghai.falling, 712);
        QCOMPARE(read->shanghai.unchanged, 65);
        QCOMPARE(read->shanghai.prevClose, 3036.46);
        QCOMPARE(read->shenzhen.name, QStringLiteral("深证成指"));
        QCOMPARE(read->shenzhen.open, 10043.2);
        QCOMPARE(read->shenzhen.high, 10080.11);
        QCOMPARE(read->shenzhen.low, 9990.02);
        QCOMPARE(read->shenzhen.unchanged, 120);
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
};

QTEST_GUILESS_MAIN(TestUpstream)
#include "test_upstream.moc"
