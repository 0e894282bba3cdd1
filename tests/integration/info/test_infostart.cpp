// The stock news panels inside the main window: `start` fills them in its order and stops at the
// first failing read, a code change gives the new stock's latest post, and the minute tick
// appends new posts unless the window is in the tray.
#include "appfixture.h"

#include "app/mainwindow.h"
#include "core/guard.h"
#include "core/stockcodefile.h"
#include "info/cellgrid.h"
#include "info/forum.h"

#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

using app::MainWindow;

namespace {

const QString kForum = QStringLiteral("/topic,600036.html");
const QString kCompany = QStringLiteral("/realstock/company/sh600036/nc.shtml");
const QString kCommentary = QStringLiteral("/data/qgqp.asp");
const QString kNotices = QStringLiteral("/Notice/Notice_List.aspx");

QString text(const QWidget& w, const char* name)
{
    const QLabel* l = w.findChild<QLabel*>(QString::fromLatin1(name));
    return l ? l->text() : QStringLiteral("<no %1>").arg(QLatin1String(name));
}

void startOn(AppFixture& f, const QString& code)
{
    QDir().mkpath(f.systemFile(""));
    app::writeStockCodeFile(f.systemFile("gp06856.dat"), code);
}

} // namespace

class TestInfoStart : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void firstShowFillsEveryPanelInOrder()
    {
        AppFixture f;
        startOn(f, "600036");
        MainWindow w(*f.context, nullptr);
        w.show();
        const QStringList order = [&] {
            QStringList paths;
            for (const sandbox::LoggedRequest& r : f.box->requests())
                if (r.path == kCompany || r.path == kCommentary || r.path == kNotices || r.path == kForum)
                    paths << r.path;
            return paths;
        }();
        QCOMPARE(order, QStringList({kCompany, kCommentary, kNotices, kForum}));
        QCOMPARE(text(w, "Label9"), "招商银行");
        QVERIFY(!text(w, "Label36").isEmpty() && !text(w, "Label39").isEmpty());
        QVERIFY(text(w, "Label15").startsWith("今日"));
        QCOMPARE(w.findChild<QGroupBox*>("GroupBox6")->title(), "招商银行(600036)个股最新信息");
        QCOMPARE(w.findChild<QGroupBox*>("GroupBox2")->title(), "个股评论（数据来自千股千评,仅供参考）");
        QCOMPARE(w.findChild<QLabel*>("Label9")->parentWidget()->objectName(), "GroupBox2");
        // The old placeholder of the commentary box is gone (Label13 is now the TV viewer's).
        QVERIFY(!w.findChild<QGroupBox*>("GroupBox2")->findChild<QLabel*>("Label13"));
        const int posts = w.forum().posts().count();
        QVERIFY(posts > 0);
        QCOMPARE(w.forum().grid()->rowCount(), posts + 2);
        QCOMPARE(w.forum().grid()->currentRow(), posts + 1);
        QCOMPARE(text(w, "Label45"), info::latestCaption(w.forum().posts().PostTitleList[0]));
        QVERIFY(f.prompter.boxes.isEmpty());
    }

    void aFailingReadEndsStart()
    {
        AppFixture f;
        startOn(f, "600036");
        f.box->setFixedPage(kCompany, "down", "text/html", 503);
        MainWindow w(*f.context, nullptr);
        w.show();
        QCOMPARE(f.requestCount(kCompany), 1);
        QCOMPARE(f.requestCount(kCommentary), 0);
        QCOMPARE(f.requestCount(kForum), 0);
        QVERIFY(!w.findChild<QGroupBox*>("GroupBox1")->title().contains("招商银行"));   // captions skipped

        // The commentary fails: its labels say so and the announcements are not read.
        f.box->clearOverrides();
        f.box->setFixedPage(kCommentary, "down", "text/html", 503);
        QVERIFY(!app::guarded(f.prompter, [&] { w.start(); }));
        QCOMPARE(text(w, "Label10"), "获取数据失败......");
        QCOMPARE(f.requestCount(kNotices), 0);

        // The forum fails last: the grid is left empty, the line says why.
        f.box->clearOverrides();
        f.box->setFixedPage(kForum, "down", "text/html", 503);
        QVERIFY(!app::guarded(f.prompter, [&] { w.start(); }));
        QCOMPARE(text(w, "Label45"), "读取数据出错,或今日无新帖");
        QCOMPARE(w.forum().grid()->rowCount(), 2);
        QVERIFY(f.prompter.boxes.isEmpty());
    }

    void codeChangeAndMinuteTick()
    {
        AppFixture f;
        startOn(f, "600036");
        MainWindow w(*f.context, nullptr);
        w.show();
        const QString firstLink = w.forum().posts().investorCommentLink;

        w.findChild<QLineEdit*>("Edit1")->setText("000001");
        w.ChangeStock();
        QVERIFY(w.forum().posts().investorCommentLink != firstLink);
        QCOMPARE(w.forum().posts().investorCommentLink, w.forum().posts().PostLinkList.value(0));
        QCOMPARE(w.findChild<QGroupBox*>("GroupBox6")->title(), "平安银行(000001)个股最新信息");

        // Hours later the minute tick appends the posts written meanwhile.
        const int before = w.forum().posts().count();
        f.clock.advance(4 * 3600);
        f.box->setClock(f.clock.now());
        f.context->state.HiddenInTray = true;
        w.Timer2Timer();
        QCOMPARE(w.forum().posts().count(), before);   // in the tray the forum is not read
        f.context->state.HiddenInTray = false;
        w.Timer2Timer();
        QVERIFY(w.forum().posts().count() > before);
        QCOMPARE(w.forum().grid()->rowCount(), w.forum().posts().count() + 2);
        QVERIFY(w.findChild<QTimer*>("Timer2")->isActive());

        // A failing tick ends quietly and the timer runs again.
        f.box->setFixedPage("/topic,000001.html", "down", "text/html", 503);
        w.Timer2Timer();
        QVERIFY(w.findChild<QTimer*>("Timer2")->isActive());
        QVERIFY(f.prompter.boxes.isEmpty());
    }
};

QTEST_MAIN(TestInfoStart)
#include "test_infostart.moc"
