#include "bigorder/bigorderpages.h"

#include <QRandomGenerator>
#include <QTest>

using namespace bigorder;

class TestBigOrderPages : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void addresses_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("address");
        QTest::newRow("shanghai hourly") << "600000" << int(Page::Hourly) << "http://b/stock/sh/600000/single-bar.htm";
        QTest::newRow("shenzhen day") << "000001" << int(Page::Day) << "http://b/stock/sz/000001/single-barDay.htm";
        QTest::newRow("chinext pie") << "300001" << int(Page::Pie) << "http://b/stock/sz/300001/single-pie.htm";
    }
    void addresses()
    {
        QFETCH(QString, code);
        QFETCH(int, page);
        QFETCH(QString, address);
        QCOMPARE(pageAddress(QStringLiteral("http://b"), code, Page(page)), address);
    }

    void keyExtraction_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QStringList>("values2");
        QTest::newRow("two items") << "values=1200,3400&" << QStringList{"1200", "3400"} << QStringList{};
        QTest::newRow("one item") << "values=5&" << QStringList{"5"} << QStringList{};
        QTest::newRow("empty last item") << "values=1,2,&" << QStringList{"1", "2", ""} << QStringList{};
        QTest::newRow("no closing &") << "values=1,2" << QStringList{} << QStringList{};
        QTest::newRow("values_2 is not values") << "values_2=7,8&" << QStringList{} << QStringList{"7", "8"};
        QTest::newRow("armed again appends") << "&values=1&x&values=2,3&" << QStringList{"1", "2", "3"} << QStringList{};
        QTest::newRow("re-armed before & restarts")
            << "values=9,values=4&" << QStringList{"4"} << QStringList{};
        QTest::newRow("both keys interleaved")
            << "&values=1&values_2=2&" << QStringList{"1"} << QStringList{"2"};
    }
    void keyExtraction()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, values);
        QFETCH(QStringList, values2);
        QStringList a, b;
        extractKeys(text, {{u"values=", &a}, {u"values_2=", &b}});
        QCOMPARE(a, values);
        QCOMPARE(b, values2);
    }

    // The key reader against the rule read one character at a time: every key tested at every
    // position, on random texts built from keys, parts of keys, self-overlapping keys, "&" and ",".
    void keyExtractionMatchesCharacterRule()
    {
        const QList<QStringView> pieces{u"values=", u"values_2=", u"aa", u"a", u"val", u"&", u",", u"1", u"="};
        QRandomGenerator rng(11);
        for (int round = 0; round < 3000; ++round) {
            QString text;
            for (int i = int(rng.bounded(30)); i > 0; --i)
                text += pieces[rng.bounded(pieces.size())];
            const bool firstOnly = rng.bounded(2) == 0;
            QStringList fast[3], slow[3];
            const QStringView keys[3] = {u"values=", u"values_2=", u"aa"};
            extractKeys(text, {{keys[0], &fast[0], firstOnly}, {keys[1], &fast[1]}, {keys[2], &fast[2]}});
            for (int k = 0; k < 3; ++k) {
                bool armed = false, seen = false;
                qsizetype start = 0;
                for (qsizetype p = 0; p < text.size(); ++p) {
                    if (QStringView(text).sliced(p).startsWith(keys[k]) && !(k == 0 && firstOnly && seen)) {
                        armed = seen = true;
                        start = p + keys[k].size();
                    }
                    if (armed && text[p] == u'&') {
                        slow[k] += text.mid(start, p - start).split(u',');
                        armed = false;
                    }
                }
                QVERIFY2(fast[k] == slow[k], qPrintable(text));
            }
        }
    }

    void hourPage()
    {
        BigOrderLists lists;
        lists.HourBuyList = {"old"};
        QVERIFY(parseHourPage(u"<p>&values=120000,80000&values_2=60000,90000&</p>", lists));
        QCOMPARE(lists.HourBuyList, (QStringList{"120000", "80000"}));
        QCOMPARE(lists.HourSellList, (QStringList{"60000", "90000"}));

        // The data twice gives every item twice.
        QVERIFY(parseHourPage(u"&values=1,2&values_2=3,4& ... &values=1,2&values_2=3,4&", lists));
        QCOMPARE(lists.HourBuyList.size(), 4);
        QCOMPARE(lists.HourSellList.size(), 4);

        // No hour over yet: lists emptied, and the caller is told not to redraw.
        QVERIFY(!parseHourPage(u"&x_labels=&\n&values=&\n&values_2=&", lists));
        QVERIFY(lists.HourBuyList.isEmpty());
        QVERIFY(lists.HourSellList.isEmpty());

        // A page without keys (an error page) is a complete parse with empty lists.
        lists.HourBuyList = {"1"};
        QVERIFY(parseHourPage(u"<html>404</html>", lists));
        QVERIFY(lists.HourBuyList.isEmpty());
    }

    void dayPageKeyOrder()
    {
        BigOrderLists a, b;
        parseDayPage(u"&x_labels=12-01,12-02&\n&values=10,20&\n&values_2=30,40&", a);
        parseDayPage(u"&values_2=30,40&\n&values=10,20&\n&x_labels=12-01,12-02&", b);
        for (const BigOrderLists* l : {&a, &b}) {
            QCOMPARE(l->DayBuyList, (QStringList{"10", "20"}));
            QCOMPARE(l->DaySellList, (QStringList{"30", "40"}));
            QCOMPARE(l->DayLabelList, (QStringList{"12-01", "12-02"}));
        }
    }

    void piePageTwice()
    {
        BigOrderLists lists;
        const QString data = QStringLiteral("&values=60,40&\n&colours=#FF6666,#99FF00&\n");
        parsePiePage(QStringLiteral("<param value=\"") + data + QStringLiteral("\"><embed flashvars=\"")
                         + QStringLiteral("&values=1,2&colours=#FF6666,#99FF00&") + QStringLiteral("\">"),
                     lists);
        QCOMPARE(lists.PieValueList, (QStringList{"60", "40"}));
        QCOMPARE(lists.PieColourList, (QStringList{"#FF6666", "#99FF00", "#FF6666", "#99FF00"}));
    }

    void body()
    {
        QCOMPARE(bodyMarkup(u"<html><head><title>values=1&</title></head><BODY class=x>in</body></html>"),
                 QStringView(u"in"));
        QCOMPARE(bodyMarkup(u"no tags"), QStringView(u"no tags"));
        QCOMPARE(bodyMarkup(u"<body>cut off"), QStringView(u"cut off"));
        QVERIFY(bodyMarkup(u"<body").isEmpty());
    }

    // Pages cut anywhere or made of random characters never crash the parse, and a large page is
    // read in one pass.
    void hostilePages()
    {
        const QString page = QStringLiteral(
            "<body><param value=\"&x_labels=12-01,12-02&\n&values=10,20&\n&values_2=30,40&\n"
            "&colours=#FF6666,#99FF00&\"></body>");
        for (qsizetype cut = 0; cut <= page.size(); ++cut) {
            BigOrderLists lists;
            const QStringView part = QStringView(page).left(cut);
            parseHourPage(part, lists);
            parseDayPage(part, lists);
            parsePiePage(part, lists);
            QVERIFY(lists.DayBuyList.size() <= 2);
        }
        QRandomGenerator rng(7);
        QString noise;
        for (int i = 0; i < 200000; ++i)
            noise += QChar(u"values=_2&,x#"[rng.bounded(13)]);
        BigOrderLists lists;
        parseDayPage(noise, lists);
        parsePiePage(noise, lists);
        QVERIFY(parseHourPage(QString(4 << 20, u'v') + QStringLiteral("values=1&"), lists));
        QCOMPARE(lists.HourBuyList, QStringList{"1"});
    }
};

QTEST_APPLESS_MAIN(TestBigOrderPages)
#include "test_bigorderpages.moc"
