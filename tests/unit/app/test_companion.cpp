#include "app/statuscheck.h"
#include "core/companion.h"

#include <QTest>

using namespace app;

namespace {
QString page(const QString& payload)
{
    return QStringLiteral("<html><body text=\"#000000\">") + payload + QStringLiteral("</body></html>");
}
} // namespace

class TestCompanion : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void statusRecords_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QStringList>("expected");   // code, link, version, waiting page
        QTest::newRow("two records") << page("1&1x&2 3&1y&2") << QStringList{"1", "x", "3", "y"};
        QTest::newRow("blank record skipped") << page("   &2 1&1x&2\r\n&2 3&1y&2") << QStringList{"1", "x", "3", "y"};
        QTest::newRow("third record ignored") << page("1&1x&2 3&1y&2 0&1z&2") << QStringList{"1", "x", "3", "y"};
        QTest::newRow("one record") << page("2&1http://n/&2") << QStringList{"2", "http://n/", "", ""};
        QTest::newRow("no marker") << QStringLiteral("<body>1&1x&2 3&1y&2</body>") << QStringList{"", "", "", ""};
        QTest::newRow("garbage") << QStringLiteral("\uFFFD&2&2&&") << QStringList{"", "", "", ""};
        QTest::newRow("empty") << QString() << QStringList{"", "", "", ""};
        QTest::newRow("short record") << page("1&2 3&1y&2") << QStringList{"1", "", "3", "y"};
        QTest::newRow("marker armed again") << page("9&1old&2") + page("1&1x&2 3&1y&2")
                                            << QStringList{"9", "old", "1", "x"};
    }
    void statusRecords()
    {
        QFETCH(QString, body);
        QFETCH(QStringList, expected);
        const StatusReply r = parseStatusPage(body);
        QCOMPARE((QStringList{r.ServiceCode, r.ServiceLink, r.VersionCode, r.WaitingPage}), expected);
    }

    void statusDecisions_data()
    {
        QTest::addColumn<QString>("payload");
        QTest::addColumn<bool>("ban");
        QTest::addColumn<bool>("notice");
        QTest::addColumn<bool>("upgrade");
        QTest::newRow("normal") << "1&1x&2 3&1y&2" << false << false << false;
        QTest::newRow("notice and current") << "2&1x&2 3&1y&2" << false << true << false;
        QTest::newRow("ban wins over current version") << "0&1x&2 3&1y&2" << true << false << false;
        QTest::newRow("old version") << "1&1x&2 2&1y&2" << false << false << true;
        QTest::newRow("one record asks for upgrade") << "1&1x&2" << false << false << true;
        QTest::newRow("nothing asks for upgrade") << "" << false << false << true;
    }
    void statusDecisions()
    {
        QFETCH(QString, payload);
        QFETCH(bool, ban);
        QFETCH(bool, notice);
        QFETCH(bool, upgrade);
        const StatusDecision d = decideStatus(parseStatusPage(page(payload)));
        QCOMPARE(d.ban, ban);
        QCOMPARE(d.openNotice, notice);
        QCOMPARE(d.upgrade, upgrade);
    }

    void onlineCountIsTrimmedPayload()
    {
        QCOMPARE(onlineCount(page(" \r\n 123 \t")).value_or("-"), QStringLiteral("123"));
        QCOMPARE(onlineCount(QStringLiteral("x text=\"#000000\">1 text=\"#000000\"> 7 </body>")).value_or("-"),
                 QStringLiteral("7"));   // after the last marker before </body>
        QCOMPARE(onlineCount(QStringLiteral(" 42 </body>")).value_or("-"), QStringLiteral("42"));
        QVERIFY(!onlineCount(QStringLiteral("text=\"#000000\">5")));
    }

    void payloadFraming()
    {
        QCOMPARE(framedPayload(page("a*b]c")), QStringLiteral("a*b]c"));
        QCOMPARE(framedPayload(QStringLiteral("<body>no marker</body>")), QString());
        QCOMPARE(framedPayload(QStringLiteral("text=\"#000000\">no end")), QString());
    }

    void messages()
    {
        QCOMPARE(kUpgradeQuestion, QStringLiteral("系统需要升级，按\"确定\"进入网站下载"));
        QCOMPARE(unreachableText("12345"),
                 QStringLiteral("当前有故障，按”确定“进入作者的空间查看原因！有疑问请联系作者QQ:12345"));
    }

    // The log line after a refused status check gives the command that starts the local server
    // where the program looks for it, and the socket unit only for the address it listens on.
    void localServerHint()
    {
        QVERIFY(app::localServerHint("http://127.0.0.1:8780").contains("systemctl --user enable --now huilan-sandbox.socket"));
        const QString other = app::localServerHint("http://localhost:9000");
        QVERIFY(!other.contains("systemctl") && other.endsWith("huilan-sandbox --market live --port 9000 &"));
        QVERIFY(app::localServerHint("http://[::1]:8780").endsWith("huilan-sandbox --market live --bind ::1 &"));
        QCOMPARE(app::localServerHint("http://192.0.2.1:8780"), QString());
    }
};

QTEST_GUILESS_MAIN(TestCompanion)
#include "test_companion.moc"
