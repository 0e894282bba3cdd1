#include "net/codecs.h"
#include "net/form.h"
#include "net/pageloader.h"
#include "net/scan.h"
#include "net/urlopener.h"

#include <QTest>

class TestTextAndForms : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void formValuesArePercentEncodedFromGbkInOrder()
    {
        const net::Form form = {{"sn", "13900000000"}, {"gpmc", "平安"}, {"tjly", "a b&c=d"}};
        const QByteArray body = net::encodeForm(form);
        QCOMPARE(body, QByteArray("sn=13900000000&gpmc=%C6%BD%B0%B2&tjly=a%20b%26c%3Dd"));
        QCOMPARE(net::decodeForm(body), form);
        QCOMPARE(net::decodeForm("a=1+2&b"), (net::Form{{"a", "1 2"}, {"b", ""}}));
    }

    void gbkRoundTripAndBadBytes()
    {
        QCOMPARE(net::fromGbk(net::toGbk(QStringLiteral("汇澜股票"))), QStringLiteral("汇澜股票"));
        // A lead byte without its trail byte: the gap is marked, the text around it survives.
        QCOMPARE(net::fromGbk(QByteArray("\x81 A", 3)), QString(QChar(0xFFFD)) + QStringLiteral(" A"));
        QVERIFY(net::fromUtf8(QByteArray("\xc3", 1)).contains(QChar(0xFFFD)));
        // The converter is kept between calls: a page cut after a lead byte must not change how
        // the next page begins.
        const QString cut = net::fromGbk(QByteArray("A\xd6", 2));
        QVERIFY(cut.startsWith(u'A'));
        QCOMPARE(net::fromGbk(QByteArray("\xd6\xd0" "B", 3)), QStringLiteral("中B"));
        QCOMPARE(net::fromGbk(QByteArray("A\xd6", 2)), cut);
        QCOMPARE(net::toGbk(QStringLiteral("中")), QByteArray("\xd6\xd0"));
        QCOMPARE(net::toGbk(QStringLiteral("中")), QByteArray("\xd6\xd0"));
    }

    void scanHelpers()
    {
        const QString text = QStringLiteral("ab上证指数");
        QVERIFY(net::at(text, 2, u"上证指数"));
        QVERIFY(!net::at(text, 3, u"上证指数"));   // would run past the end
        QVERIFY(!net::at(text, -1, u"a"));
        QVERIFY(!net::at(text, 0, u"ax"));   // first character matches, the rest does not
        QVERIFY(net::at(text, 5, u""));
        QCOMPARE(net::trimBlanks(QStringLiteral(" \t\r\n 123 \r\n")), QStringLiteral("123"));
        QCOMPARE(net::trimBlanks(QStringLiteral("   ")), QString());
    }

    void onlyWebAddressesAreOpened_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("opened");
        QTest::newRow("http") << "http://127.0.0.1:8780/notice.html" << true;
        QTest::newRow("https") << "HTTPS://example.com/a?b=1" << true;
        QTest::newRow("file") << "file:///etc/passwd" << false;
        QTest::newRow("javascript") << "javascript:alert(1)" << false;
        QTest::newRow("program") << "/usr/bin/xterm" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("no host") << "http://" << false;
    }
    void onlyWebAddressesAreOpened()
    {
        QFETCH(QString, address);
        QFETCH(bool, opened);
        QCOMPARE(net::isWebAddress(address), opened);
    }

    void documentsDecodeByTheirCharset()
    {
        const QByteArray gbk = net::toGbk(QStringLiteral("<p>沙盒</p>"));
        QCOMPARE(net::PageLoader::decodeDocument(gbk, "text/html; charset=gbk"), QStringLiteral("<p>沙盒</p>"));
        QCOMPARE(net::PageLoader::decodeDocument(gbk, "text/html"), QStringLiteral("<p>沙盒</p>"));
        const QByteArray utf8 = QStringLiteral("<meta charset=utf-8><p>沙盒</p>").toUtf8();
        QVERIFY(net::PageLoader::decodeDocument(utf8, "text/html").contains(QStringLiteral("沙盒")));
    }
};

QTEST_GUILESS_MAIN(TestTextAndForms)
#include "test_text_and_forms.moc"
