#include "settings/alertediting.h"

#include <QTest>

using namespace settings;

class TestAlertEditing : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void lookupWalksTheFieldsAsTheyClose_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("price");     // "-" = not set
        QTest::addColumn<int>("falling");       // -1 not set, 0 red, 1 green
        QTest::addColumn<bool>("complete");
        QTest::newRow("full") << "x,600036,招商银行,35.12,-2.15%,-0.74,35.11," << "招商银行" << "最新价:35.12元" << 1 << true;
        QTest::newRow("rising") << "x,600036,招商银行,35.12,2.15%," << "招商银行" << "最新价:35.12元" << 0 << true;
        QTest::newRow("unknown code") << "x,999999,,0,0,0," << "" << "-" << -1 << false;
        QTest::newRow("cut after price") << "x,600036,招商银行,35.12," << "招商银行" << "最新价:35.12元" << -1 << false;
        QTest::newRow("cut after name") << "x,600036,招商银行," << "招商银行" << "-" << -1 << false;
        QTest::newRow("empty") << "" << "" << "-" << -1 << false;
    }
    void lookupWalksTheFieldsAsTheyClose()
    {
        QFETCH(QString, reply);
        QFETCH(QString, name);
        QFETCH(QString, price);
        QFETCH(int, falling);
        QFETCH(bool, complete);
        const Lookup l = lookupFromReply(reply);
        QCOMPARE(l.name, name);
        QCOMPARE(l.priceText.value_or("-"), price);
        QCOMPARE(l.falling ? int(*l.falling) : -1, falling);
        QCOMPARE(l.complete, complete);
    }

    void flagsChangeOneCharacter()
    {
        QCOMPARE(withFlag("0000", 2, true), QStringLiteral("0100"));
        QCOMPARE(withFlag("0000", 4, true), QStringLiteral("0001"));
        QCOMPARE(withFlag("1111", 1, false), QStringLiteral("0111"));
        QCOMPARE(withFlag("", 3, true), QStringLiteral("0010"));   // a short text is padded
        QCOMPARE(withFlag("0000", 5, true), QStringLiteral("0000"));
        QVERIFY(flagOn("0010", 3));
        QVERIFY(!flagOn("0010", 4));
        QVERIFY(!flagOn("1", 2));
    }

    void codeAnywhereInAnItemCountsAsListed()
    {
        const QStringList items = {"招商银行(600036)", "平安银行(000001)"};
        QVERIFY(codeListed(items, "600036"));
        QVERIFY(codeListed({"ST600036x(300001)"}, "600036"));
        QVERIFY(!codeListed(items, "600000"));
        QCOMPARE(stockItemText("招商银行", "600036"), QStringLiteral("招商银行(600036)"));
    }

    void newStocksGetTheDefaultsAndRemovalKeepsListsAligned()
    {
        store::AlertLists l;
        appendNewStock(l, "600036", "招商银行");
        appendNewStock(l, "000001", "平安银行");
        QCOMPARE(l.AlertSendOpenClose, (QStringList{"1", "1"}));
        QCOMPARE(l.AlertFlags[0], QStringLiteral("0000"));
        QCOMPARE((QStringList{l.AlertPercent[0], l.AlertTradeDigits[0], l.AlertOrderDigits[0], l.AlertInterval[0]}),
                 (QStringList{"5", "4", "4", "10"}));
        QCOMPARE(l.AlertBroadcast[0], QStringLiteral("0"));
        removeStock(l, 0);
        QCOMPARE(l.AlertCodes, QStringList{"000001"});
        QCOMPARE(l.AlertNames, QStringList{"平安银行"});
        QCOMPARE(l.AlertInterval.size(), 1);
        removeStock(l, 5);   // out of range: nothing happens
        QCOMPARE(l.watchedCount(), 1);
    }
};

QTEST_GUILESS_MAIN(TestAlertEditing)
#include "test_alertediting.moc"
