#include "market/indexsummary.h"

#include <QTest>

using market::IndexSummary;

namespace {

QString section(const char* marker, const char* change, const char* amount, const char* low = "3240.22")
{
    return QStringLiteral("%1,3245.67,%2,-0.38%,%3,520,410,80,000001,3258.01,3250.00,3260.11,%4,")
        .arg(QString::fromUtf8(marker), QLatin1String(change), QLatin1String(amount), QLatin1String(low));
}

} // namespace

class TestIndexSummary : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void buildsBothLinesWithTheirBlanks()
    {
        IndexSummary s;
        const QString page = QStringLiteral("var zs=[\"") + section("上证指数", "-12.34", "25000")
                             + QStringLiteral("\",\"") + section("深证成指", "5.5", "35000", "10210.3")
                             + QStringLiteral("\"];");
        QVERIFY(market::applyIndexPage(page, s));
        QCOMPARE(s.line1, QStringLiteral("上证指数：3245.67  跌-12.34↓  幅度：-0.38%  总成交量：2亿 上涨：520"
                                         " 下跌：410 平盘：80  昨收：3258.01  今开：3250.00  最高：3260.11"
                                         "  最低：3240.22"));
        QVERIFY(s.line2.startsWith(QStringLiteral("深圳成指：3245.67  涨5.5↑  幅度：-0.38%  总成交量：4亿")));
        QVERIFY(s.line2.endsWith(QStringLiteral("  最低：10210.3")));
        QCOMPARE(s.flag1, QStringLiteral("1"));
        QCOMPARE(s.flag2, QStringLiteral("2"));
        QVERIFY(s.shanghai.falling);
        QCOMPARE(s.shanghai.value, QStringLiteral("3245.67"));
        QCOMPARE(s.shanghai.change, QStringLiteral("-12.34"));
        QCOMPARE(s.shanghai.changePercent, QStringLiteral("-0.38%"));
        QCOMPARE(s.shanghai.amount, QStringLiteral("2亿元"));
        QVERIFY(!s.shenzhen.falling);
        QCOMPARE(s.shenzhen.amount, QStringLiteral("4亿元"));
    }

    void amountRoundsHalfToEven_data()
    {
        QTest::addColumn<QString>("wan");
        QTest::addColumn<qint64>("yi");
        QTest::newRow("25000") << "25000" << qint64(2);
        QTest::newRow("25001") << "25001" << qint64(3);
        QTest::newRow("35000") << "35000" << qint64(4);
        QTest::newRow("decimals") << "24999.99" << qint64(2);
        QTest::newRow("large") << "251234567.8" << qint64(25123);
    }
    void amountRoundsHalfToEven()
    {
        QFETCH(QString, wan);
        QFETCH(qint64, yi);
        qint64 got = -1;
        QVERIFY(market::amountInYi(wan, &got));
        QCOMPARE(got, yi);
    }

    void pageCutAfterShenzhenField11KeepsOldLine2()
    {
        IndexSummary s;
        s.line2 = QStringLiteral("old line 2");
        QString sz = section("深证成指", "5.5", "30000");
        sz.chop(sz.size() - sz.lastIndexOf(u',', sz.size() - 2) - 1);   // drop field 12 and its comma
        QVERIFY(market::applyIndexPage(section("上证指数", "1.0", "25001") + sz, s));
        QCOMPARE(s.line2, QStringLiteral("old line 2"));
        QVERIFY(s.line1.contains(QStringLiteral("总成交量：3亿")));
    }

    void amountThatIsNotANumberStopsTheScan()
    {
        IndexSummary s;
        s.line1 = QStringLiteral("kept");
        QVERIFY(!market::applyIndexPage(section("上证指数", "1.0", "n/a"), s));
        QCOMPARE(s.line1, QStringLiteral("kept"));
    }

    void emptyOrForeignPageChangesNothing()
    {
        IndexSummary s;
        QVERIFY(market::applyIndexPage(QString(), s));
        QVERIFY(market::applyIndexPage(QStringLiteral("<html>服务器忙,请稍后</html>,,,,"), s));
        QVERIFY(s.line1.isEmpty() && s.line2.isEmpty() && s.flag1.isEmpty());
    }

    // A page that fails after field 2 must not turn the banner green under an old red line.
    void directionChangesOnlyWithACompleteLine()
    {
        IndexSummary s;
        QVERIFY(market::applyIndexPage(section("上证指数", "1.0", "25000"), s));
        const QString upLine = s.line1;
        QCOMPARE(s.flag1, QStringLiteral("2"));
        QVERIFY(!market::applyIndexPage(QStringLiteral("上证指数,3100.00,-9.99,-0.3%,n/a,"), s));
        QCOMPARE(s.flag1, QStringLiteral("2"));
        QCOMPARE(s.line1, upLine);
        QVERIFY(!s.shanghai.falling);
        QCOMPARE(s.shanghai.value, QStringLiteral("3245.67"));
    }

    // Each section builds its own line: a repeated Shanghai section, or Shenzhen first, leaves
    // no text of an earlier section in a line.
    void sectionsDoNotCarryEachOthersText()
    {
        IndexSummary s;
        QVERIFY(market::applyIndexPage(section("深证成指", "5.5", "35000") + section("上证指数", "1.0", "25000")
                                           + section("上证指数", "2.0", "25000"), s));
        QVERIFY(s.line1.startsWith(QStringLiteral("上证指数：3245.67  涨2.0↑")));
        QCOMPARE(s.line1.count(QStringLiteral("上证指数")), 1);
        QVERIFY(!s.line1.contains(QStringLiteral("深圳成指")));
        QVERIFY(s.line2.startsWith(QStringLiteral("深圳成指：")));
    }

    // A hostile page of repeated sections near the body cap. The old scanner copied all text
    // built so far at every section (minutes of work on the window's thread); a linear one
    // finishes at once. The run under ctest's time-out is the check: nothing is timed here.
    void multiMegabytePageOfRepeatedSections()
    {
        const QString one = section("上证指数", "1.0", "25000");
        QString page;
        page.reserve(4 * 1024 * 1024);
        while (page.size() < 2 * 1024 * 1024)
            page += one;
        IndexSummary s;
        QVERIFY(market::applyIndexPage(page, s));
        QVERIFY(s.line1.size() < 200);
    }

    void bannerAlternatesStartingWithLine2()
    {
        IndexSummary s;
        s.line1 = "L1";
        s.line2 = "L2";
        s.flag1 = "1";
        s.flag2 = "2";
        QCOMPARE(s.bannerLine(1), QStringLiteral("L2"));
        QCOMPARE(s.bannerLine(2), QStringLiteral("L1"));
        QVERIFY(!s.bannerFalling(1));
        QVERIFY(s.bannerFalling(2));
        QVERIFY(!IndexSummary().bannerFalling(1));   // empty flag: red
    }
};

QTEST_GUILESS_MAIN(TestIndexSummary)
#include "test_indexsummary.moc"
