// The sandbox's recommendation board over loopback: what a post must hold, the board pages, and
// the seeded posts that a fresh data folder starts with and a restart keeps.
#include "recommend/board.h"
#include "sandbox.h"

#include "net/codecs.h"
#include "net/form.h"
#include "net/httpclient.h"

#include <QTemporaryDir>
#include <QTest>

using sandbox::Sandbox;

namespace {

sandbox::Options options(const QString& dataDir)
{
    sandbox::Options o;
    o.port = 0;
    o.dataDir = dataDir;
    o.clockStart = QDateTime(QDate(2026, 12, 9), QTime(10, 0));
    return o;
}

QString post(const Sandbox& box, const QString& code, const QString& name, const QString& reason)
{
    net::HttpClient client(QStringLiteral("test"));
    return net::fromGbk(client.post(box.baseUrl() + "/gpjg.asp", {{"gpdm", code}, {"gpmc", name}, {"tjly", reason}}));
}

QList<recommend::Recommendation> board(const Sandbox& box)
{
    net::HttpClient client(QStringLiteral("test"));
    return recommend::parseBoard(net::fromGbk(client.get(box.baseUrl() + "/gpjgshow.asp")));
}

} // namespace

class TestSandboxRecommend : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void malformedPostsAreRefusedWithNeitherWord_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason");
        QTest::newRow("code with a letter") << "60000a" << "浦发银行" << "理由";
        QTest::newRow("seven digits") << "6000001" << "浦发银行" << "理由";
        QTest::newRow("no name") << "600000" << "" << "理由";
        QTest::newRow("blank reason") << "600000" << "浦发银行" << "  ";
        QTest::newRow("reason over 60 characters") << "600000" << "浦发银行" << QString(61, u'长');
    }
    void malformedPostsAreRefusedWithNeitherWord()
    {
        QFETCH(QString, code);
        QFETCH(QString, name);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        Sandbox box(options(dir.path()));
        QVERIFY(box.start());
        const int before = int(board(box).size());
        const auto outcome = recommend::postOutcome(post(box, code, name, reason));
        QVERIFY(!outcome.accepted && !outcome.overLimit);
        QCOMPARE(board(box).size(), before);
    }

    void seededBoardNewestFirstAndKeptOverARestart()
    {
        QTemporaryDir dir;
        QList<recommend::Recommendation> first;
        {
            Sandbox box(options(dir.path()));
            QVERIFY(box.start());
            first = board(box);
            QVERIFY(first.size() >= 3);
            QVERIFY(first[0].time > first[1].time);   // same day, later first
            QVERIFY(recommend::postOutcome(post(box, "600000", "浦发银行", QStringLiteral("<b>60</b>"))).accepted);
            QCOMPARE(board(box).first().reason, QStringLiteral("<b>60</b>"));
            net::HttpClient client(QStringLiteral("test"));
            const QString page = net::fromGbk(client.get(box.baseUrl() + "/jg.asp"));
            QVERIFY(page.contains(QStringLiteral("&lt;b&gt;60&lt;/b&gt;")));
            QVERIFY(!page.contains(QStringLiteral("<b>60")));
        }
        Sandbox again(options(dir.path()));
        QVERIFY(again.start());
        QCOMPARE(board(again).size(), first.size() + 1);   // not seeded twice
        // The restart is the same day: one more post, then the limit.
        QVERIFY(recommend::postOutcome(post(again, "600000", "浦发银行", "二")).accepted);
        QVERIFY(recommend::postOutcome(post(again, "600000", "浦发银行", "三")).overLimit);
    }
};

QTEST_MAIN(TestSandboxRecommend)
#include "test_sandbox_recommend.moc"
