// The site-evaluation list and the address of the previous day's finance index.
#include "info/companionpages.h"
#include "net/codecs.h"

#include <QTest>

namespace {

QByteArray framed(const QByteArray& payload)
{
    return "<html><body text=\"#000000\">" + payload + "</body></html>";
}

} // namespace

class TestCompanionPages : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void evaluations_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QStringList>("addresses");
        QTest::addColumn<QStringList>("names");
        const QByteArray sh = framed("http://e/q/sh{.html*SiteA]");
        QTest::newRow("sh to sz for 0") << sh << "000001" << QStringList{"http://e/q/sz000001.html"} << QStringList{"SiteA"};
        QTest::newRow("sh to sz for 3") << sh << "300001" << QStringList{"http://e/q/sz300001.html"} << QStringList{"SiteA"};
        QTest::newRow("sh kept for 6") << sh << "600000" << QStringList{"http://e/q/sh600000.html"} << QStringList{"SiteA"};
        QTest::newRow("sh kept for 2") << sh << "200002" << QStringList{"http://e/q/sh200002.html"} << QStringList{"SiteA"};
        QTest::newRow("sh elsewhere in the prefix")
            << framed("http://e/a.shtml?c={*SiteB]") << "000001" << QStringList{"http://e/a.shtml?sz000001"}
            << QStringList{"SiteB"};
        QTest::newRow("no sh: plain code") << framed("http://e/p?code={&t=1*SiteC]") << "300001"
                                           << QStringList{"http://e/p?code=300001&t=1"} << QStringList{"SiteC"};
        QTest::newRow("record without a star adds nothing")
            << framed("http://e/{]http://f/{*SiteF]") << "600000" << QStringList{"http://f/600000"}
            << QStringList{"SiteF"};
        QTest::newRow("two stars add two names")
            << framed("http://e/{*A*B]") << "600000" << QStringList{"http://e/600000", "http://e/600000*A"}
            << QStringList{"A*B", "B"};
        QTest::newRow("template without a brace: a name, no address")
            << framed("http://e/x*NoBrace]http://f/{*F]") << "600000" << QStringList{"http://f/600000"}
            << QStringList{"NoBrace", "F"};
        QTest::newRow("blanks and empty records") << framed("\r\n http://e/{ * A \r\n] ]]") << "600000"
                                                  << QStringList{"http://e/600000 "} << QStringList{" A"};
        QTest::newRow("text after the last ] ignored") << framed("http://e/{*A]http://f/{*B") << "600000"
                                                       << QStringList{"http://e/600000"} << QStringList{"A"};
        QTest::newRow("empty payload") << framed("") << "600000" << QStringList{} << QStringList{};
        QTest::newRow("unframed") << QByteArray("http://e/{*A]") << "600000" << QStringList{} << QStringList{};
        QTest::newRow("GBK name") << framed(net::toGbk(QStringLiteral("http://e/{*和讯评级]"))) << "600000"
                                  << QStringList{"http://e/600000"} << QStringList{QStringLiteral("和讯评级")};
    }
    void evaluations()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QString, code);
        const info::SiteEvaluations sites = info::parseSiteEvaluations(reply, code);
        QFETCH(QStringList, addresses);
        QCOMPARE(sites.addresses, addresses);
        QFETCH(QStringList, names);
        QCOMPARE(sites.names, names);
    }

    // Stars and braces everywhere: at most two of each count per record, and the list is capped.
    void runawayPayload()
    {
        const info::SiteEvaluations stars = info::parseSiteEvaluations(framed(QByteArray(4 << 20, '*') + "]"), "600000");
        QCOMPARE(stars.names.size(), 2);
        const info::SiteEvaluations braces =
            info::parseSiteEvaluations(framed(QByteArray("{{{{*{*{*a]").repeated(1 << 18)), "000001");
        QCOMPARE(braces.names.size(), info::kMaxSites);
        QVERIFY(braces.addresses.size() <= 4 * info::kMaxSites);
    }

    void dailyIndex_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QString>("address");
        QTest::newRow("15th") << QDate(2026, 12, 15) << "http://qq/a/20261214/";
        QTest::newRow("10th: day 09") << QDate(2026, 3, 10) << "http://qq/a/20260309/";
        QTest::newRow("1st: last day of the month before") << QDate(2026, 3, 1) << "http://qq/a/20260228/";
        QTest::newRow("1 January: the year before") << QDate(2027, 1, 1) << "http://qq/a/20261231/";
    }
    void dailyIndex()
    {
        QFETCH(QDate, today);
        QFETCH(QString, address);
        QCOMPARE(info::dailyIndexAddress(QStringLiteral("http://qq"), today), address);
    }
};

QTEST_GUILESS_MAIN(TestCompanionPages)
#include "test_companionpages.moc"
