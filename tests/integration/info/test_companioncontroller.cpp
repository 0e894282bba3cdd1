// The site evaluations, the online-count refresh and the two information links against the
// in-process sandbox.
#include "appfixture.h"
#include "core/guard.h"
#include "info/blogcontroller.h"
#include "info/companioncontroller.h"
#include "net/codecs.h"
#include "net/httpclient.h"
#include "widgets/widgets.h"

#include <QComboBox>
#include <QTest>
#include <QTimer>

using info::BlogController;
using info::CompanionPagesController;

namespace {

struct Rig {
    AppFixture fx;
    app::AppState& state = fx.context->state;
    QWidget parent;
    net::HttpClient IdHTTP3{QStringLiteral("IdHTTP3")};
    net::HttpClient IdHTTP5{QStringLiteral("IdHTTP5")};
    QStringList counts;
    std::unique_ptr<BlogController> blogs;
    std::unique_ptr<CompanionPagesController> pages;

    explicit Rig(const QDateTime& now = QDateTime(QDate(2026, 12, 9), QTime(10, 0))) : fx(now)
    {
        state.ServerBase = fx.box->baseUrl();
        state.CurrentCode = QStringLiteral("600000");
        state.CurrentName = QStringLiteral("浦发银行");
        blogs = std::make_unique<BlogController>(state, fx.context->settings, fx.clock, fx.prompter, fx.opener,
                                                 IdHTTP3, BlogController::Hooks{}, &parent);
        pages = std::make_unique<CompanionPagesController>(
            state, fx.context->settings, fx.clock, fx.prompter, fx.opener, IdHTTP3, IdHTTP5, *blogs,
            [this](const QString& count) { counts << count; }, &parent);
    }
    QStringList items() const
    {
        QStringList out;
        for (int i = 0; i < pages->ComboBox1()->count(); ++i)
            out << pages->ComboBox1()->itemText(i);
        return out;
    }
    // GET through a fresh client, as the browser would: the GBK page text, empty on failure.
    QString fetch(const QString& address)
    {
        net::HttpClient client(QStringLiteral("browser"));
        try {
            return net::fromGbk(client.get(address));
        } catch (const net::HttpFailure&) {
            return {};
        }
    }
};

} // namespace

class TestCompanionController : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Every evaluation the drop-down offers opens a page about that stock, for a Shanghai, a
    // Shenzhen and a ChiNext code.
    void evaluationsOpenTheStocksPages_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("name");
        QTest::newRow("sh") << "600000" << QStringLiteral("浦发银行");
        QTest::newRow("sz") << "000001" << QStringLiteral("平安银行");
        QTest::newRow("chinext") << "300059" << QStringLiteral("东方财富");
    }
    void evaluationsOpenTheStocksPages()
    {
        QFETCH(QString, code);
        QFETCH(QString, name);
        Rig rig;
        rig.state.CurrentCode = code;
        rig.pages->readzhpj();
        QCOMPARE(rig.items().size(), 6);
        QCOMPARE(rig.items(), rig.pages->siteNames());
        for (int i = 0; i < rig.items().size(); ++i) {
            rig.pages->ComboBox1Change(i);
            const QString address = rig.fx.opener.opened.last();
            QVERIFY2(address.contains(code), qPrintable(address));
            QVERIFY2(rig.fetch(address).contains(name), qPrintable(address));
        }
        QCOMPARE(rig.fx.opener.opened.size(), 6);
    }

    // A new stock's empty list empties the drop-down; a failed read keeps the old list and
    // ends its sequence quietly.
    void emptyAndFailedLists()
    {
        Rig rig;
        rig.pages->readzhpj();
        QCOMPARE(rig.items().size(), 6);
        rig.fx.box->setFixedPage(QStringLiteral("/gpreadzhpj.asp"), "<body text=\"#000000\"></body>", "text/html", 500);
        QVERIFY(!app::guarded(rig.fx.prompter, [&] { rig.pages->readzhpj(); }));
        QCOMPARE(rig.items().size(), 6);
        rig.fx.box->setFixedPage(QStringLiteral("/gpreadzhpj.asp"), "<body text=\"#000000\"></body>");
        rig.pages->readzhpj();
        QCOMPARE(rig.items(), QStringList());
        QVERIFY(rig.pages->siteAddresses().isEmpty());
        rig.pages->ComboBox1Change(0);
        QVERIFY(rig.fx.opener.opened.isEmpty());
        QVERIFY(rig.fx.prompter.boxes.isEmpty());
    }

    // A code change while the list is on its way: the reply is for the old code and is dropped.
    void codeChangeDuringTheWaitKeepsTheList()
    {
        Rig rig;
        QTimer::singleShot(0, &rig.parent, [&] { ++rig.state.StockGeneration; });
        rig.pages->readzhpj();
        QCOMPARE(rig.items(), QStringList());
    }

    // Keys never change the selection.
    void keysAreDiscarded()
    {
        Rig rig;
        rig.pages->readzhpj();
        QComboBox* combo = rig.pages->ComboBox1();
        combo->setCurrentIndex(0);
        QTest::keyClick(combo, Qt::Key_Down);
        QTest::keyClick(combo, Qt::Key_End);
        QCOMPARE(combo->currentIndex(), 0);
        QVERIFY(rig.fx.opener.opened.isEmpty());
    }

    void refreshOnlineCount()
    {
        Rig rig;
        rig.fx.box->setFixedPage(QStringLiteral("/gpreadall.asp"), "<body text=\"#000000\"> 37 \r\n</body>");
        rig.pages->Label11Click();
        QCOMPARE(rig.counts, QStringList{"37"});
        QCOMPARE(rig.fx.requestCount(QStringLiteral("/gpreadall.asp")), 1);

        rig.fx.box->setFixedPage(QStringLiteral("/gpreadall.asp"), "", "text/html", 503);
        QVERIFY(!app::guarded(rig.fx.prompter, [&] { rig.pages->Label11Click(); }));
        QCOMPARE(rig.counts, QStringList{"37"});
        QCOMPARE(rig.fx.prompter.boxes.size(), 1);
        QCOMPARE(rig.fx.prompter.boxes[0].text, QStringLiteral("刷新失败，请稍后再试!"));

        // A second click while the count loads sends nothing.
        rig.fx.box->clearOverrides();
        rig.fx.box->clearRequests();
        rig.fx.box->holdReplies(QStringLiteral("/gpreadall.asp"), "<body text=\"#000000\"> 5 </body>");
        whenHeld(*rig.fx.box, [&] {
            rig.pages->Label11Click();
            rig.fx.box->releaseHeld();
        });
        rig.pages->Label11Click();
        QCOMPARE(rig.fx.requestCount(QStringLiteral("/gpreadall.asp")), 1);
        QCOMPARE(rig.counts.last(), QStringLiteral("5"));
        QCOMPARE(rig.fx.prompter.boxes[0].caption, QStringLiteral("错误"));
    }

    // The previous day's index, across a month boundary on the 1st; the sandbox has the page.
    void yesterdaysIndex_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QString>("day");
        QTest::newRow("15th") << QDate(2026, 12, 15) << "20261214";
        QTest::newRow("1st") << QDate(2026, 12, 1) << "20261130";
    }
    void yesterdaysIndex()
    {
        QFETCH(QDate, today);
        Rig rig(QDateTime(today, QTime(10, 0)));
        rig.pages->Label32Click();
        QFETCH(QString, day);
        const QString address = rig.fx.box->baseUrl() + QStringLiteral("/a/") + day + u'/';
        QCOMPARE(rig.fx.opener.opened, QStringList{address});
        QVERIFY(rig.fetch(address).contains(QStringLiteral("财经要闻")));
    }

    void todaysInformation()
    {
        Rig rig;
        rig.pages->Label31Click();   // no directory yet: nothing to open
        QVERIFY(rig.fx.opener.opened.isEmpty());
        rig.blogs->loadDirectory();
        rig.pages->Label31Click();
        QCOMPARE(rig.fx.opener.opened, QStringList{rig.fx.box->baseUrl() + QStringLiteral("/gptodayinfo.html")});
        QVERIFY(rig.fetch(rig.fx.opener.opened[0]).contains(QStringLiteral("今日重大信息")));
        QCOMPARE(rig.pages->Label31()->toolTip(), QStringLiteral("今日重要信息"));
        QCOMPARE(rig.pages->Label32()->toolTip(), QStringLiteral("昨日财经信息大全"));
    }
};

QTEST_MAIN(TestCompanionController)
#include "test_companioncontroller.moc"
