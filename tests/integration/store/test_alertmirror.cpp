#include "net/failure.h"
#include "net/httpclient.h"
#include "sandbox.h"
#include "store/alertmirror.h"

#include <QTest>

using namespace store;
using net::HttpFailure;

namespace {

// The two-stock example: the first with the open/close alert off and broadcasting on, the
// second with the open/close alert on and broadcasting off.
AlertLists twoStocks()
{
    AlertLists l;
    l.AlertSendOpenClose = {"0", "1"};
    l.AlertCodes = {"600036", "000001"};
    l.AlertNames = {"招商银行", "平安银行"};
    l.AlertFlags = {"1000", "0110"};
    l.AlertTradeDigits = {"4", "5"};
    l.AlertOrderDigits = {"4", "6"};
    l.AlertPercent = {"5", "3"};
    l.AlertInterval = {"30", "10"};
    l.AlertBroadcast = {"1", "0"};
    return l;
}

} // namespace

class TestAlertMirror : public QObject {
    Q_OBJECT
    std::unique_ptr<sandbox::Sandbox> box;

private Q_SLOTS:
    void init()
    {
        sandbox::Options o;
        o.port = 0;
        box = std::make_unique<sandbox::Sandbox>(o);
        QVERIFY(box->start());
        // Whatever the server makes of them, the replies are ignored.
        for (const char* p : {"/gpycf.asp", "/gpdel1.asp", "/gpdel2.asp", "/gpdel3.asp", "/gpadd1.asp",
                              "/gpadd2.asp", "/gpadd3.asp"})
            box->setFixedPage(QString::fromLatin1(p), "<body text=\"#000000\">ok</body>");
    }
    void cleanup() { box.reset(); }

    void twoStocksArriveInTableOrder()
    {
        net::HttpClient client("IdHTTPsave");
        MirrorAlerts(client, box->baseUrl(), "13912345678", true, twoStocks());
        const auto log = box->requests();
        QStringList paths;
        for (const auto& r : log)
            paths << r.path;
        QCOMPARE(paths, (QStringList{"/gpycf.asp", "/gpdel1.asp", "/gpadd1.asp", "/gpdel2.asp", "/gpadd2.asp",
                                     "/gpadd2.asp", "/gpdel3.asp", "/gpadd3.asp"}));
        using F = net::Form;
        QCOMPARE(log[0].form, (F{{"sn", "13912345678"}, {"ycf", "1"}}));
        QCOMPARE(log[1].form, (F{{"sn", "13912345678"}}));
        QCOMPARE(log[2].form, (F{{"sn", "13912345678"}, {"gpmc", "平安银行"}, {"gpdm", "000001"}}));
        QCOMPARE(log[4].form, (F{{"sn", "13912345678"}, {"zh", "1000"}, {"ddcj", "4"}, {"ddmm", "4"},
                                 {"zdf", "5"}, {"gpmc", "招商银行"}, {"gpdm", "600036"}}));
        QCOMPARE(log[5].form, (F{{"sn", "13912345678"}, {"zh", "0110"}, {"ddcj", "5"}, {"ddmm", "6"},
                                 {"zdf", "3"}, {"gpmc", "平安银行"}, {"gpdm", "000001"}}));
        QCOMPARE(log[7].form, (F{{"sn", "13912345678"}, {"sjjg", "30"}, {"gpdm", "600036"}, {"gpmc", "招商银行"}}));
        for (const auto& r : log)
            QCOMPARE(r.method, QByteArray("POST"));
    }

    void phoneOffSendsOnlyTheSwitch()
    {
        net::HttpClient client("IdHTTPsave");
        MirrorAlerts(client, box->baseUrl(), "13900000000", false, twoStocks());
        const auto log = box->requests();
        QCOMPARE(log.size(), 1);
        QCOMPARE(log[0].path, QStringLiteral("/gpycf.asp"));
        QCOMPARE(log[0].form, (net::Form{{"sn", "13900000000"}, {"ycf", "0"}}));
    }

    void networkFailureStopsTheMirrorPartWay()
    {
        box->setFixedPage("/gpdel2.asp", "down", "text/html", 500);
        net::HttpClient client("IdHTTPsave");
        QVERIFY_THROWS_EXCEPTION(HttpFailure,
                                 MirrorAlerts(client, box->baseUrl(), "13912345678", true, twoStocks()));
        QCOMPARE(box->requests().size(), 4);   // ycf, del1, add1, del2: then it stopped
    }
};

QTEST_GUILESS_MAIN(TestAlertMirror)
#include "test_alertmirror.moc"
