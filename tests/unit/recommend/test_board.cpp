// Reading the recommendation board page and keeping the list of recommendations.
#include "recommend/board.h"

#include <QTest>

using recommend::Recommendation;
using recommend::RecommendationList;

namespace {

const QString kHead = QStringLiteral("<html><body text=\"#000000\">");

QString record(const QString& a, const QString& s, const QString& r, const QString& t)
{
    return QStringLiteral("$a0") + a + QStringLiteral("$a1") + s + QStringLiteral("$a2") + r + QStringLiteral("$a3") + t
           + QStringLiteral("$a4");
}

Recommendation rec(int n)
{
    return {QStringLiteral("10.0.0.%1").arg(n), QStringLiteral("股票(60000%1)").arg(n), QStringLiteral("理由%1").arg(n),
            QStringLiteral("2026-12-9 9:0%1:00").arg(n)};
}

} // namespace

class TestBoard : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void parse_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QStringList>("reasons");   // reasons of the records found, in order
        const QString a = record("1.2.3.*", "浦发银行(600000)", "理由甲", "2026-12-9 9:05:07");
        const QString b = record("4.5.6.*", "万科A(000002)", "理由乙", "2026-12-9 10:00:00");
        QTest::newRow("two records") << kHead + a + "<br>" + b + "</body>" << QStringList{"理由甲", "理由乙"};
        QTest::newRow("records before the framing marker are not read")
            << a + kHead + b << QStringList{"理由乙"};
        QTest::newRow("no framing marker") << a + b << QStringList{};
        QTest::newRow("a field token twice: not a record")
            << kHead + record("1.1.1.*", "x$a1y", "r1", "t") + b << QStringList{"理由乙"};
        QTest::newRow("tokens out of order: not a record")
            << kHead + "$a0addr$a2stock$a1reason$a3time$a4" + b << QStringList{"理由乙"};
        QTest::newRow("a token missing: not a record") << kHead + "$a0addr$a1stock$a3time$a4" << QStringList{};
        QTest::newRow("a second $a0 restarts the record")
            << kHead + "$a0junk$a1x" + a << QStringList{"理由甲"};
        QTest::newRow("$a4 without $a0 is ignored") << kHead + a + "tail$a4" << QStringList{"理由甲"};
        QTest::newRow("unclosed record at the end") << kHead + a + "$a0x$a1y$a2z$a3t" << QStringList{"理由甲"};
        QTest::newRow("markup and a long reason stay text")
            << kHead + record("h", "s", "<b>粗</b>" + QString(1000, u'长'), "t")
            << QStringList{"<b>粗</b>" + QString(1000, u'长')};
    }
    void parse()
    {
        QFETCH(QString, page);
        QFETCH(QStringList, reasons);
        QStringList got;
        for (const Recommendation& r : recommend::parseBoard(page))
            got << r.reason;
        QCOMPARE(got, reasons);
    }

    void fieldsAreSplitAndTheRecordTrimmed()
    {
        const auto records = recommend::parseBoard(kHead + "$a0 \r\n 1.2.3.*$a1 浦发 $a2理由$a3 2026-12-9 9:05:07 \n$a4");
        QCOMPARE(records.size(), 1);
        QCOMPARE(records[0], (Recommendation{"1.2.3.*", " 浦发 ", "理由", " 2026-12-9 9:05:07"}));
    }

    void firstLoadAppendsLaterLoadsInsertAtTheTop()
    {
        RecommendationList list;
        QVERIFY(list.merge({rec(1), rec(2)}));
        QCOMPARE(list.RecommendReasons, (QStringList{"理由1", "理由2"}));
        // Several new records in one later reply end up at the top in reverse reply order.
        QVERIFY(list.merge({rec(3), rec(1), rec(4)}));
        QCOMPARE(list.RecommendReasons, (QStringList{"理由4", "理由3", "理由1", "理由2"}));
        QCOMPARE(list.RecommendTimes.size(), 4);
        QCOMPARE(list.at(0), rec(4));
        QVERIFY(!list.merge({rec(2), rec(3)}));   // the same records again add nothing
        QCOMPARE(list.size(), 4);
    }

    void emptyFirstLoadStillEndsTheFirstLoad()
    {
        RecommendationList list;
        QVERIFY(!list.merge({}));
        QVERIFY(list.firstLoadDone());
        QVERIFY(list.merge({rec(1), rec(2)}));
        QCOMPARE(list.RecommendReasons, (QStringList{"理由2", "理由1"}));
    }

    void recordsThatOnlyConcatenateAlikeAreDifferent()
    {
        RecommendationList list;
        list.merge({{"1.2.3.4", "5", "r", "t"}});
        QVERIFY(list.merge({{"1.2.3.", "45", "r", "t"}}));
        QVERIFY(!list.merge({{"1.2.3.", "45", "r", "t"}, {"1.2.3.", "45", "r", "t"}}));
        QCOMPARE(list.size(), 2);
    }

    void lineTexts()
    {
        const Recommendation r{"1.2.3.*", "浦发银行(600000)", "看好\n后市", "2026-12-9 9:05:07"};
        QCOMPARE(recommend::lineCaption(r), QStringLiteral("    1.2.3.*   浦发银行(600000)   看好 后市"));
        QCOMPARE(recommend::lineHint(r), QStringLiteral("看好\n后市【推荐时间：2026-12-9 9:05:07】"));
    }
};

QTEST_APPLESS_MAIN(TestBoard)
#include "test_board.moc"
