// The blog directory payload, the mention test and the news-flash scan.
#include "info/blogsearch.h"
#include "info/newsflash.h"
#include "net/codecs.h"

#include <QTest>

using info::BlogDirectory;

namespace {

QByteArray framed(const QByteArray& payload)
{
    return "<html><body text=\"#000000\">" + payload + "</body></html>";
}

} // namespace

class TestBlogSearch : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void directory_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("link");
        QTest::addColumn<QStringList>("addresses");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("link, ignored field, two blogs")
            << framed("L*X|A1*N1|A2*N2|") << "L" << QStringList{"A1", "A2"} << QStringList{"N1", "N2"};
        QTest::newRow("blanks around every field")
            << framed("\r\n L *X| A1 * N1 |\tA2*N2|\r\n") << "L" << QStringList{"A1", "A2"}
            << QStringList{"N1", "N2"};
        QTest::newRow("last marker before </body> counts")
            << QByteArray("<p text=\"#000000\">old*x|a*b|<body text=\"#000000\">L*X|A*N|</body>") << "L"
            << QStringList{"A"} << QStringList{"N"};
        QTest::newRow("</body> before the marker is passed over")
            << QByteArray("</body><body text=\"#000000\">L*X|A*N|</body>") << "L" << QStringList{"A"}
            << QStringList{"N"};
        QTest::newRow("no marker") << QByteArray("<body>L*X|A*N|</body>") << "" << QStringList{} << QStringList{};
        QTest::newRow("no </body>") << QByteArray("<body text=\"#000000\">L*X|A*N|") << "" << QStringList{}
                                    << QStringList{};
        QTest::newRow("empty body") << framed("  \r\n ") << "" << QStringList{} << QStringList{};
        QTest::newRow("only the link") << framed("L*X|") << "L" << QStringList{} << QStringList{};
        QTest::newRow("cut inside the last blog")
            << framed("L*X|A1*N1|A2*N") << "L" << QStringList{"A1", "A2"} << QStringList{"N1"};
        QTest::newRow("a bar before any star is not a field end")
            << framed("|L*X|A*N|") << "|L" << QStringList{"A"} << QStringList{"N"};
        QTest::newRow("blog without a star: its name runs back to the last star")
            << framed("L*X|A1*N1|B|") << "L" << QStringList{"A1"} << QStringList{"N1", "N1|B"};
        QTest::newRow("GBK names") << framed(net::toGbk(QStringLiteral("L*今日|http://a/1*股海拾贝|")))
                                   << "L" << QStringList{"http://a/1"} << QStringList{QStringLiteral("股海拾贝")};
    }
    void directory()
    {
        QFETCH(QByteArray, reply);
        const BlogDirectory dir = info::parseBlogDirectory(reply);
        QFETCH(QString, link);
        QCOMPARE(dir.todayLink, link);
        QFETCH(QStringList, addresses);
        QCOMPARE(dir.addresses, addresses);
        QFETCH(QStringList, names);
        QCOMPARE(dir.names, names);
    }

    // Stars or bars without partners make every field run back to one start; the lists and the
    // fields stay bounded and the scan stays quick.
    void runawayPayloads_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::newRow("stars") << "L*X|" + QByteArray(4 << 20, '*');
        QTest::newRow("bars") << "L*X|A*" + QByteArray(4 << 20, '|');
        QTest::newRow("pairs") << "L*X|" + QByteArray("a*b|").repeated(1 << 20);
    }
    void runawayPayloads()
    {
        QFETCH(QByteArray, payload);
        const BlogDirectory dir = info::parseBlogDirectory(framed(payload));
        QVERIFY(dir.addresses.size() <= info::kMaxBlogs);
        QVERIFY(dir.names.size() <= info::kMaxBlogs);
        for (const QStringList* list : {&dir.addresses, &dir.names})
            for (const QString& field : *list)
                QVERIFY(field.size() <= 4096);
    }

    void mention_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("found");
        QTest::newRow("GBK name") << net::toGbk(QStringLiteral("今天看好浦发银行的走势")) << "浦发银行" << true;
        QTest::newRow("code only") << QByteArray("<p>600000 breaks out</p>") << "浦发银行" << true;
        QTest::newRow("UTF-8 name only") << QStringLiteral("<p>浦发银行放量</p>").toUtf8() << "浦发银行" << true;
        QTest::newRow("neither") << net::toGbk(QStringLiteral("平安银行 000001")) << "浦发银行" << false;
        QTest::newRow("empty name finds nothing") << QByteArray("any page") << "" << false;
    }
    void mention()
    {
        QFETCH(QByteArray, page);
        QFETCH(QString, name);
        const QString code = name.isEmpty() ? QString() : QStringLiteral("600000");
        QFETCH(bool, found);
        QCOMPARE(info::mentionsStock(page, name, code), found);
    }

    void newsFlash_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("headline");
        const QString item = QStringLiteral(
            "<li><span>12-09 10:30</span><a href=\"http://s/news/1.html\" title=\"沪指震荡\" target=\"_blank\">沪指震荡</a></li>");
        QTest::newRow("first item") << QStringLiteral("<a href=\"http://s/x.html\" title=\"nav\" target=\"_top\">")
                                           + item
                                           + QStringLiteral("<li><span><a href=\"http://s/news/2.html\" title=\"b\" target=\"\">")
                                    << true << "http://s/news/1.html" << QStringLiteral("沪指震荡");
        QTest::newRow("no list item") << QStringLiteral("<a href=\"a.html\" title=\"t\" target=\"_blank\">") << false
                                      << "" << "";
        QTest::newRow("no anchor end") << QStringLiteral("<li><span><a href=\"a.html\" title=\"t") << false << ""
                                       << "";
        QTest::newRow("empty title") << QStringLiteral("<li><span><a href=\"http://s/a.html\" title=\" target=\"_blank\">")
                                     << true << "http://s/a.html" << "";
        QTest::newRow("no .html: no link") << QStringLiteral("<li><span><a href=\"http://s/a.htm\" title=\"t\" target=\"\">")
                                           << true << "" << "t";
    }
    void newsFlash()
    {
        QFETCH(QString, page);
        const std::optional<info::NewsItem> item = info::scanNewsFlash(page);
        QFETCH(bool, found);
        QCOMPARE(item.has_value(), found);
        if (item) {
            QFETCH(QString, link);
            QCOMPARE(item->link, link);
            QFETCH(QString, headline);
            QCOMPARE(item->headline, headline);
        }
    }
};

QTEST_GUILESS_MAIN(TestBlogSearch)
#include "test_blogsearch.moc"
