#include "app/mainwindow.h"
#include "market/marketcontroller.h"
#include "bigorder/chartwidgets.h"
#include "core/stockcodefile.h"
#include "appfixture.h"
#include "net/failure.h"
#include "net/httpclient.h"
#include "widgets/webpane.h"
#include "app/tray.h"
#include "net/codecs.h"
#include "tv/tvwidgets.h"
#include "store/alertlists.h"

#include <QAction>
#include <QApplication>
#include <QMouseEvent>
#include <QEnterEvent>
#include <QSystemTrayIcon>

#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QTimer>

using app::MainWindow;

namespace {

const QDate kWednesday(2026, 12, 9);
const QDate kSaturday(2026, 12, 12);

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QString labelText(const QWidget& w, const char* name)
{
    const QLabel* l = w.findChild<QLabel*>(QString::fromLatin1(name));
    return l ? l->text() : QStringLiteral("<no %1>").arg(QLatin1String(name));
}

QColor labelColour(const QWidget& w, const char* name)
{
    return w.findChild<QLabel*>(QString::fromLatin1(name))->palette().color(QPalette::WindowText);
}

QTimer* timer(const QWidget& w, const char* name)
{
    return w.findChild<QTimer*>(QString::fromLatin1(name));
}

const QByteArray kFixedQuote =
    "var q=[\"1,600036,招商银行,35.12,-2.15%,-0.74,35.11,120,35.12,88,456789,160234.5,34.50,35.86,"
    "35.50,34.40,1,35,2026-12-09 10:15:03\"]";

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void firstStartWithoutCodeFileUses000001()
    {
        AppFixture f;
        QVERIFY(f.started);
        MainWindow w(*f.context, nullptr);
        w.show();
        QCOMPARE(f.context->state.CurrentCode, QStringLiteral("000001"));
        QCOMPARE(w.findChild<QLineEdit*>("Edit1")->text(), QStringLiteral("000001"));
        QCOMPARE(f.context->state.CurrentName, QStringLiteral("平安银行"));
        QCOMPARE(f.requestCount("/gpgetstock.asp"), 0);   // no stock page at the first show
        QCOMPARE(fileBytes(f.systemFile("gp06856.dat")), QByteArray("000001\r\n"));
        QVERIFY(f.context->state.FirstShowDone);
        for (const char* t : {"Timer1", "Timer2", "Timer3", "Timer4", "Timer5", "Timer6", "Timer7", "Timer9"})
            QVERIFY2(timer(w, t)->isActive(), t);
        for (const char* c : {"IdHTTP1", "IdHTTP2", "IdHTTP5"})
            QCOMPARE(w.findChild<net::HttpClient*>(c)->readTimeout(), 6000);
        QCOMPARE(w.windowTitle(), QStringLiteral("汇澜股票情报系统V2.8"));
        QCOMPARE(w.size(), QSize(932, 628));
        QCOMPARE(w.findChild<QWidget*>("Panel7")->size(), QSize(400, 366));
        QCOMPARE(labelText(w, "Label33"), QStringLiteral("(今天是2026-12-9)"));
        QCOMPARE(f.prompter.texts(), QStringList{});
    }

    void storedCodeLoadsItsStockPage()
    {
        AppFixture f;
        QDir().mkpath(f.systemFile(""));
        app::writeStockCodeFile(f.systemFile("gp06856.dat"), "600036");
        MainWindow w(*f.context, nullptr);
        w.show();
        QCOMPARE(f.context->state.CurrentCode, QStringLiteral("600036"));
        QTRY_COMPARE(f.requestCount("/gpgetstock.asp"), 1);
        QCOMPARE(f.box->requestsTo("/gpgetstock.asp")[0].query, QStringLiteral("name=600036"));
        QTRY_COMPARE(f.requestCount("/gpcgad.html"), 1);
        QVERIFY(labelText(w, "Label26").contains(QStringLiteral("\"招商银行\"(600036)")));
        QCOMPARE(w.findChild<QGroupBox*>("GroupBox1")->title(),
                 QStringLiteral("网民对(招商银行)的最新热评（所有数据仅供参考）"));
    }

    void unreachableQuoteServiceStopsTheFirstShow()
    {
        AppFixture f;
        f.box->setFixedPage(kQuotePath, "down", "text/html", 503);
        MainWindow w(*f.context, nullptr);
        w.show();
        QCOMPARE(f.prompter.texts(), QStringList{QStringLiteral("网络错误,请稍后再试。")});
        QVERIFY(f.context->state.FirstShowDone);
        // The stock was never loaded: no hourly announcements. The status check let the program
        // run, so the quote refresh, the alert tick and the blog search are on.
        QVERIFY(!timer(w, "Timer7")->isActive());
        for (const char* t : {"Timer1", "Timer4", "Timer5"})
            QVERIFY2(timer(w, t)->isActive(), t);
        // No stock was shown, so the two drop-downs keep their general headings.
        QCOMPARE(labelText(w, "Label21"), QStringLiteral("在各大网站对该股的综合评价："));
        QCOMPARE(labelText(w, "Label26"), QStringLiteral("当前知名博客提及该股："));
        QCOMPARE(w.findChild<QGroupBox*>("GroupBox1")->title(),
                 QStringLiteral("网民对该股的最新热评（所有数据来自于各大股票论坛，仅供参考）"));
    }

    void startFetchesByDayAndTime_data()
    {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<int>("quotes");
        QTest::addColumn<int>("indexPages");
        QTest::newRow("Saturday 10:00") << QDateTime(kSaturday, QTime(10, 0)) << 1 << 0;
        QTest::newRow("Saturday 8:00") << QDateTime(kSaturday, QTime(8, 0)) << 2 << 1;
        QTest::newRow("weekday 10:00") << QDateTime(kWednesday, QTime(10, 0)) << 0 << 0;
    }
    void startFetchesByDayAndTime()
    {
        QFETCH(QDateTime, now);
        QFETCH(int, quotes);
        QFETCH(int, indexPages);
        AppFixture f(now);
        MainWindow w(*f.context, nullptr);
        w.show();
        // Only start's own requests count: the one-second quote tick would add one whenever start
        // waits longer than a second on a busy machine.
        for (QTimer* t : w.findChildren<QTimer*>())
            t->stop();
        f.box->clearRequests();
        w.start();
        QCOMPARE(f.requestCount(kQuotePath), quotes);
        QCOMPARE(f.requestCount(kIndexPath), indexPages);
    }

    void timer1RefreshesTheQuoteUntil150500()
    {
        AppFixture f(QDateTime(kWednesday, QTime(15, 5, 0)));
        MainWindow w(*f.context, nullptr);
        w.show();
        f.box->clearRequests();
        f.context->state.IndexTickCount = 0;
        w.Timer1Timer();   // tick 0: index and quote
        QCOMPARE(f.requestCount(kIndexPath), 1);
        QCOMPARE(f.requestCount(kQuotePath), 1);
        QVERIFY(timer(w, "Timer1")->isActive());

        f.clock.setTime(QTime(15, 5, 1));
        f.box->clearRequests();
        for (int i = 0; i < 3; ++i)
            w.Timer1Timer();   // ticks 1, 2, 3: the index once, no quote
        QCOMPARE(f.requestCount(kIndexPath), 1);
        QCOMPARE(f.requestCount(kQuotePath), 0);
    }

    void failingIndexPageSkipsTheQuoteAndRetriesNextTick()
    {
        AppFixture f;
        MainWindow w(*f.context, nullptr);
        w.show();
        f.box->setFixedPage(kIndexPath, "busy", "text/html", 500);
        f.box->clearRequests();
        f.context->state.IndexTickCount = 0;
        w.Timer1Timer();
        w.Timer1Timer();
        QCOMPARE(f.requestCount(kIndexPath), 2);   // tried again on the very next tick
        QCOMPARE(f.requestCount(kQuotePath), 0);
        QCOMPARE(f.context->state.IndexTickCount, 0);
        QVERIFY(timer(w, "Timer1")->isActive());
        QCOMPARE(f.prompter.texts(), QStringList{});
    }

    void hiddenInTrayStopsQuoteRefresh()
    {
        AppFixture f;
        MainWindow w(*f.context, nullptr);
        w.show();
        f.context->state.HiddenInTray = true;
        f.box->clearRequests();
        w.Timer1Timer();
        QCOMPARE(f.requestCount(kQuotePath), 0);
    }

    void bannerStartsEmptyRedThenShowsLine2First()
    {
        AppFixture f;
        MainWindow w(*f.context, nullptr);
        QCOMPARE(labelText(w, "Panel4"), QString());
        QCOMPARE(labelColour(w, "Panel4"), QColor(255, 0, 0));
        w.show();
        f.context->state.BannerTickCount = 0;
        w.market().getvtzs();
        f.context->index.flag2 = "1";
        w.Timer3Timer();
        QCOMPARE(labelText(w, "Panel4"), f.context->index.line2);
        QVERIFY(labelText(w, "Panel4").startsWith(QStringLiteral("深圳成指：")));
        QCOMPARE(labelColour(w, "Panel4"), QColor(0, 255, 0));
        f.context->index.flag1 = "2";
        w.Timer3Timer();
        QVERIFY(labelText(w, "Panel4").startsWith(QStringLiteral("上证指数：")));
        QCOMPARE(labelColour(w, "Panel4"), QColor(255, 0, 0));
    }

    void codeChangeClearsTheLastTradeOfTheStockBefore()
    {
        AppFixture f;
        MainWindow w(*f.context, nullptr);
        w.show();
        f.box->setFixedPage(kQuotePath, kFixedQuote, "text/html; charset=utf-8");
        w.market().getvtdate(QStringLiteral("600036"));
        QCOMPARE(labelText(w, "Label29"), QStringLiteral("买盘↑ 35手"));
        // The new stock's quotes end before the last trade (none seen yet): nothing of the stock
        // before may stay beside its price.
        f.box->setFixedPage(kQuotePath, "x,000001,平安银行,11.02,-0.72%,-0.08,11.01,1500,11.02,830,987654,108901,11.08,0,11.12,10.98,",
                            "text/html; charset=utf-8");
        w.findChild<QLineEdit*>("Edit1")->setText(QStringLiteral("000001"));
        w.ChangeStock();
        QCOMPARE(f.context->state.CurrentCode, QStringLiteral("000001"));
        QCOMPARE(labelText(w, "Label29"), QStringLiteral("0"));
        QCOMPARE(labelColour(w, "Label29"), labelColour(w, "Label8"));   // the panel's own colour again
        w.market().getvtdate(QStringLiteral("000001"));
        QCOMPARE(labelText(w, "Label2"), QStringLiteral("11.02元"));
        QCOMPARE(labelText(w, "Label29"), QStringLiteral("0"));
    }

    void quotePanelKeepsTextsOnBadReplies()
    {
        AppFixture f;
        MainWindow w(*f.context, nullptr);
        QCOMPARE(labelText(w, "Label2"), QStringLiteral("0"));
        QCOMPARE(labelText(w, "Label38"), QString());
        QCOMPARE(labelText(w, "Label25"), QStringLiteral("开盘价："));
        w.show();
        f.box->setFixedPage(kQuotePath, kFixedQuote, "text/html; charset=utf-8");
        w.market().getvtdate("600036");
        QCOMPARE(labelText(w, "Label2"), QStringLiteral("35.12元"));
        QCOMPARE(labelColour(w, "Label2"), QColor(0, 128, 0));
        QCOMPARE(labelText(w, "Label29"), QStringLiteral("买盘↑ 35手"));
        QCOMPARE(labelColour(w, "Label29"), QColor(255, 0, 0));

        const QStringList names = {"Label2", "Label44", "Label4", "Label38", "Label37", "Label8",
                                   "Label7", "Label25", "Label23", "Label24", "Label29"};
        auto snapshot = [&] {
            QStringList out;
            for (const QString& n : names)
                out << labelText(w, qPrintable(n));
            return out;
        };
        const QStringList before = snapshot();
        // Failures: an error status, a hung server, and a body over the size limit.
        f.box->setFixedPage(kQuotePath, "oops", "text/html", 500);
        QVERIFY_THROWS_EXCEPTION(SilentAbort, w.market().getvtdate("600036"));
        QCOMPARE(snapshot(), before);
        w.findChild<net::HttpClient*>("IdHTTP1")->setReadTimeout(300);
        f.box->setSilent(kQuotePath);
        QVERIFY_THROWS_EXCEPTION(SilentAbort, w.market().getvtdate("600036"));
        QCOMPARE(snapshot(), before);
        f.box->clearOverrides();
        f.box->setFixedPage(kQuotePath, QByteArray(9 * 1024 * 1024, ','));
        QVERIFY_THROWS_EXCEPTION(SilentAbort, w.market().getvtdate("600036"));
        QCOMPARE(snapshot(), before);
        // A truncated reply changes only the fields that arrived whole.
        f.box->setFixedPage(kQuotePath, "x,600036,招商银行,36.00,1.0%,0.3", "text/html; charset=utf-8");
        w.market().getvtdate("600036");
        QCOMPARE(labelText(w, "Label2"), QStringLiteral("36.00元"));
        QCOMPARE(labelColour(w, "Label2"), QColor(255, 0, 0));
        QCOMPARE(labelText(w, "Label4"), before[2]);
        QCOMPARE(labelText(w, "Label29"), before[10]);
        QCOMPARE(f.prompter.texts(), QStringList{});
    }

    void changeStockRefusalsLeaveTimer7Running_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("message");
        QTest::newRow("five digits") << "60003" << "必须输入六位股票代码!";
        QTest::newRow("starts with 9") << "900901" << "必须输入沪深股票及创业板代码";
        QTest::newRow("unknown") << "600999" << "您输入的股票不存在,请重新输入！";
    }
    void changeStockRefusalsLeaveTimer7Running()
    {
        QFETCH(QString, code);
        QFETCH(QString, message);
        AppFixture f;
        MainWindow w(*f.context, nullptr);
        w.show();
        auto* edit = w.findChild<QLineEdit*>("Edit1");
        edit->setText(code);
        w.ChangeStock();
        QCOMPARE(f.prompter.texts(), QStringList{message});
        QCOMPARE(f.prompter.boxes[0].caption, QStringLiteral("错误"));
        QVERIFY(timer(w, "Timer7")->isActive());
        QVERIFY(!f.context->state.CodeChangeBusy);
        QCOMPARE(f.context->state.CurrentCode, QStringLiteral("000001"));
        w.ChangeStock();   // a second click works
        QCOMPARE(f.prompter.boxes.size(), 2);
        // and a good code is then accepted
        edit->setText("600036");
        w.ChangeStock();
        QCOMPARE(f.prompter.boxes.size(), 2);
        QCOMPARE(f.context->state.CurrentCode, QStringLiteral("600036"));
        QCOMPARE(f.context->state.CurrentName, QStringLiteral("招商银行"));
        QCOMPARE(fileBytes(f.systemFile("gp06856.dat")), QByteArray("600036\r\n"));
        QTRY_COMPARE(f.requestCount("/gpgetstock.asp"), 1);
        QVERIFY(timer(w, "Timer7")->isActive());
    }

    void secondClickWhileWaitingDoesNothing()
    {
        AppFixture f;
        MainWindow w(*f.context, nullptr);
        w.show();
        w.findChild<net::HttpClient*>("IdHTTP1")->setReadTimeout(3000);
        timer(w, "Timer1")->stop();   // only the code change asks for quotes here
        f.box->setSilent(kQuotePath);
        f.box->clearRequests();
        w.findChild<QLineEdit*>("Edit1")->setText("600036");
        bool clickedDuringWait = false;
        int requestsSeenDuringWait = -1;
        // The second click comes once the first one's request reached the server, however
        // loaded the machine is.
        QTimer poll;
        connect(&poll, &QTimer::timeout, &w, [&] {
            if (f.requestCount(kQuotePath) == 0)
                return;
            poll.stop();
            clickedDuringWait = f.context->state.CodeChangeBusy;
            w.ChangeStock();
            requestsSeenDuringWait = f.requestCount(kQuotePath);
        });
        poll.start(10);
        w.ChangeStock();
        QVERIFY(clickedDuringWait);
        QCOMPARE(requestsSeenDuringWait, 1);
        QCOMPARE(f.requestCount(kQuotePath), 1);
        QCOMPARE(f.prompter.texts(), QStringList{QStringLiteral("网络错误,请稍后再试。")});
        QVERIFY(timer(w, "Timer7")->isActive());
        QVERIFY(!f.context->state.CodeChangeBusy);
        QCOMPARE(f.context->state.CurrentCode, QStringLiteral("000001"));
    }

    // While a new stock loads the window takes no keys or clicks, and the blog search waits for
    // the new stock's display: the code written to the file is the one the panels load.
    void aLoadingStockTakesNoInput()
    {
        AppFixture f;
        MainWindow w(*f.context, nullptr);
        w.show();
        auto* edit = w.findChild<QLineEdit*>("Edit1");
        edit->setText("600036");
        const int blogTicks = w.blogs().tickCount();
        f.box->holdReplies(kQuotePath + "?type=z&fav=600036&hick=zhou",
                           "var q=[\"1,600036,招商银行,35.12,-2.15%,-0.74,35.11,120,35.12,88,456789,160234.5,"
                           "34.50,35.86,35.50,34.40,1,35,2026-12-09 10:15:03\"]");
        bool waited = false;
        whenHeld(*f.box, [&] {
            waited = true;
            QTest::keyClick(edit, Qt::Key_Backspace);
            w.blogs().Timer5Timer(*w.blogTimer());
            f.box->releaseHeld();
        });
        w.ChangeStock();
        QVERIFY(waited);
        QCOMPARE(edit->text(), QStringLiteral("600036"));
        QCOMPARE(fileBytes(f.systemFile("gp06856.dat")), QByteArray("600036\r\n"));
        QCOMPARE(w.blogs().tickCount(), blogTicks);
        QTest::keyClick(edit, Qt::Key_Backspace);   // and afterwards it takes them again
        QCOMPARE(edit->text(), QStringLiteral("60003"));
    }

    // The minute tick that comes while a code change waits on the network reads no forum page:
    // the post lists still belong to the stock being replaced.
    void minuteTickLeavesTheForumToACodeChange()
    {
        AppFixture f;
        MainWindow w(*f.context, nullptr);
        w.show();
        w.findChild<QLineEdit*>("Edit1")->setText("600036");
        f.box->holdReplies(kQuotePath + "?type=z&fav=600036&hick=zhou",
                           "var q=[\"1,600036,招商银行,35.12,-2.15%,-0.74,35.11,120,35.12,88,456789,160234.5,"
                           "34.50,35.86,35.50,34.40,1,35,2026-12-09 10:15:03\"]");
        int forumReads = -1;
        whenHeld(*f.box, [&] {
            f.box->clearRequests();
            w.Timer2Timer();
            forumReads = f.requestCount("/topic,000001.html") + f.requestCount("/topic,600036.html");
            f.box->releaseHeld();
        });
        w.ChangeStock();
        QCOMPARE(forumReads, 0);
        QVERIFY(timer(w, "Timer2")->isActive());
        QCOMPARE(f.requestCount("/topic,600036.html"), 1);   // the code change read them itself
    }

    // The program runs through midnight: the first banner tick of the new day shows the new date
    // and empties what was today's (the posts, the announcement line, the hourly chart and the pie
    // figures); the minute tick reads the new day's posts.
    void midnightRollsTheDay()
    {
        AppFixture f(QDateTime(kWednesday, QTime(23, 59, 50)));
        f.box->setFixedPage("/Notice/Notice_List.aspx",
                            net::toGbk("<span class=\"caption\"><a href=\"#\">公告标题</a></span>"
                                       "<span class=\"time\">公告时间</span><span class=\"caption\">"
                                       "<a href=\"D.aspx?id=1\">平安银行公告</a></span>"
                                       "<span class=\"time\">2026-12-09</span>"));
        MainWindow w(*f.context, nullptr);
        w.show();
        bigorder::BigOrderController& big = w.bigOrder();
        QTRY_VERIFY_WITH_TIMEOUT(!big.lists().HourBuyList.isEmpty() && !big.lists().PieValueList.isEmpty(), 20000);
        auto* date = w.findChild<QLabel*>("Label33");
        auto* notice = w.findChild<QLabel*>("Label15");
        const int posts = w.forum().posts().count();
        QVERIFY(posts > 0);
        QCOMPARE(date->text(), QStringLiteral("(今天是2026-12-9)"));
        QCOMPARE(notice->text(), QStringLiteral("今日有公告,点击查看最新公告"));
        w.Timer3Timer();   // the same day: nothing is dropped
        QCOMPARE(w.forum().posts().count(), posts);
        QVERIFY(!big.hourlyChart()->series().isEmpty());

        f.clock.set(QDateTime(kWednesday.addDays(1), QTime(0, 0, 3)));
        w.Timer3Timer();
        QCOMPARE(date->text(), QStringLiteral("(今天是2026-12-10)"));
        QCOMPARE(notice->text(), QStringLiteral("今日无公告,点击查看历史公告"));
        QCOMPARE(w.forum().posts().count(), 0);
        QCOMPARE(w.findChild<QTableWidget*>("StringGrid1")->rowCount(), 2);
        QVERIFY(big.hourlyChart()->series().isEmpty());
        QVERIFY(big.lists().HourBuyList.isEmpty());
        QVERIFY(big.lists().PieValueList.isEmpty());
        QVERIFY(!big.lists().DayBuyList.isEmpty());   // the last days' figures stay
        f.box->clearRequests();
        w.Timer2Timer();
        QCOMPARE(f.requestCount("/topic,000001.html"), 1);
    }

    void codeBoxTakesOnlyDigitsAndBackspace()
    {
        AppFixture f;
        MainWindow w(*f.context, nullptr);
        auto* edit = w.findChild<QLineEdit*>("Edit1");
        edit->clear();
        QTest::keyClicks(edit, "6a0-0 0361234");
        QCOMPARE(edit->text(), QStringLiteral("600036"));
        QTest::keyClick(edit, Qt::Key_Backspace);
        QCOMPARE(edit->text(), QStringLiteral("60003"));
        QTest::keyClick(edit, Qt::Key_Left);
        QTest::keyClick(edit, Qt::Key_Home);
        QTest::keyClick(edit, '9');
        QCOMPARE(edit->text(), QStringLiteral("600039"));   // cursor keys were discarded
    }

    void tvViewerAtStartupTrayAndClose()
    {
        AppFixture f;
        MainWindow w(*f.context, nullptr);
        w.show();
        tv::TvController& tv = w.tv();
        QCOMPARE(tv.column().size(), 5);   // three categories, recently watched, favourites
        QCOMPARE(tv.panel()->findChild<QLabel*>("Label33")->text(), QStringLiteral("(今天是2026-12-9)"));
        QVERIFY(tv.waitingPageParked());

        tv.nclick(QStringLiteral("测试图"));
        QCOMPARE(w.statusPanel(3)->text(), QStringLiteral("正在播放:测试图"));
        tv.N8Click();
        // Moving over a big-order chart clears the column's highlight.
        tv.msin(tv.column().first());
        QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), QPointF(5, 5), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(w.findChild<QWidget*>("Chart1"), &move);
        QCOMPARE(tv.column().first()->background(), QColor(Qt::white));

        w.windowmin();
        QVERIFY(!tv.player()->isVisibleTo(tv.panel()));
        QVERIFY(!tv.controlStrip()->isVisibleTo(tv.panel()));
        QCOMPARE(w.statusPanel(3)->text(), QString());
        w.exitFromTray();   // the tray's exit writes nothing
        QVERIFY(!QFile::exists(f.systemFile("gpnew06857.dat")));
        w.close();          // closing the window does
        QCOMPARE(fileBytes(f.systemFile("gpnew06857.dat")),
                 net::toGbk("测试图&" + f.box->baseUrl() + "/tv/testcard.mjpg?ch=bars\r\n"));
        QCOMPARE(fileBytes(f.systemFile("gpnew06858.dat")), fileBytes(f.systemFile("gpnew06857.dat")));
    }

    void trayMinimiseShowAndExit()
    {
        AppFixture f;
        MainWindow w(*f.context, nullptr);
        w.show();
        const QStringList items = {"N1", "N4", "N5", "N6", "N7", "N15", "N13", "N14", "N2"};
        const QStringList captions = {"显示主窗口", "继续提示", "实时大单流入流出情况", "实时大单流入流出分布图",
                                      "实时知名博客是否提及本股", "实时有新荐股数据", "在桌面显示股价", "荐股交流",
                                      "退      出"};
        for (int i = 0; i < items.size(); ++i)
            QCOMPARE(w.tray().item(qPrintable(items[i]))->text(), captions[i]);
        for (const char* checked : {"N5", "N6", "N7", "N15"})
            QVERIFY2(w.tray().item(checked)->isChecked(), checked);
        QCOMPARE(w.tray().icon()->toolTip(), QStringLiteral("汇澜股票情报系统V2.8"));

        w.findChild<QWidget*>("Panel6")->show();
        w.setStatusPanel(3, "正在播放");
        w.windowmin();
        QVERIFY(!w.isVisible());
        QVERIFY(f.context->state.HiddenInTray);
        QVERIFY(!w.findChild<QWidget*>("Panel6")->isVisible());
        QCOMPARE(w.statusPanel(3)->text(), QString());
        for (const char* t : {"Timer1", "Timer3", "Timer4", "Timer5", "Timer6", "Timer9"})
            QVERIFY2(timer(w, t)->isActive(), t);   // the background work goes on
        timer(w, "Timer7")->stop();

        w.tray().item("N1")->trigger();
        QVERIFY(w.isVisible());
        QVERIFY(!f.context->state.HiddenInTray);
        QVERIFY(w.windowFlags() & Qt::Tool);   // no taskbar button
        QVERIFY(timer(w, "Timer7")->isActive());

        w.tray().item("N5")->trigger();   // resume items stay checked
        QVERIFY(w.tray().item("N5")->isChecked());

        w.tray().item("N2")->trigger();
        QVERIFY(w.endRequested());
        QVERIFY(!w.tray().shown());
    }

    void alertTickFetchesEveryWatchedStockAndShowsWhatItDecided()
    {
        AppFixture f(QDateTime(kWednesday, QTime(10, 15)));
        MainWindow w(*f.context, nullptr);
        w.show();
        QList<alerts::TickResult> shown;
        w.alerts().setAlertSink([&](const alerts::TickResult& r) { shown << r; });
        store::AlertLists& l = f.context->alerts;
        l.AlertSendOpenClose = {"1", "1"};
        l.AlertCodes = {"600036", "000001"};
        l.AlertNames = {"招商银行", "平安银行"};
        l.AlertFlags = {"0001", "0001"};
        l.AlertTradeDigits = {"4", "4"};
        l.AlertOrderDigits = {"4", "4"};
        l.AlertPercent = {"2", "2"};
        l.AlertInterval = {"10", "10"};
        l.AlertBroadcast = {"0", "0"};

        f.box->clearRequests();
        l.LocalAlertsOn = false;
        w.alerts().Timer4Timer();
        QCOMPARE(f.requestCount(kQuotePath), 0);   // local alerts off: nothing is fetched

        l.LocalAlertsOn = true;
        f.box->setFixedPage(kQuotePath + "?type=z&fav=600036&hick=zhou",
                            "x,600036,招商银行,38.50,3.01%,1.12,38.49,10,38.50,12,900,1000,37.4,37.38,38.6,37.3,1,5,t,",
                            "text/html; charset=utf-8");
        w.alerts().Timer4Timer();
        const auto log = f.box->requestsTo(kQuotePath);
        QCOMPARE(log.size(), 2);
        QCOMPARE(log[0].query, QStringLiteral("type=z&fav=600036&hick=zhou"));
        QCOMPARE(log[1].query, QStringLiteral("type=z&fav=000001&hick=zhou"));
        QVERIFY(timer(w, "Timer4")->isActive());
        QCOMPARE(l.LimitAlerted.size(), 2);   // state lists armed for the new entries
        QVERIFY(!shown.isEmpty());
        QCOMPARE(shown.last().alerts.first().line1, QStringLiteral("注意:招商银行(600036) 涨幅超过3.01%"));
        QCOMPARE(l.PercentAlertState[0], QStringLiteral("0"));
        w.alerts().Timer6Timer();
        QCOMPARE(l.PercentAlertState[0], QStringLiteral("1"));
        QVERIFY(timer(w, "Timer6")->isActive());

        // A hung quote service ends the tick quietly and the timer runs again.
        w.findChild<net::HttpClient*>("IdHTTPgj")->setReadTimeout(300);
        f.box->setSilent(kQuotePath);
        shown.clear();
        w.alerts().Timer4Timer();
        QVERIFY(shown.isEmpty());
        QVERIFY(timer(w, "Timer4")->isActive());
        QCOMPARE(f.prompter.texts(), QStringList{});
    }

    void weekendTickStopsTimer1UntilMonday()
    {
        AppFixture f(QDateTime(kSaturday, QTime(10, 0)));
        MainWindow w(*f.context, nullptr);
        w.show();
        QVERIFY(timer(w, "Timer1")->isActive());
        w.alerts().Timer4Timer();
        QVERIFY(!timer(w, "Timer1")->isActive());
        QVERIFY(timer(w, "Timer4")->isActive());
        f.clock.set(QDateTime(kSaturday.addDays(2), QTime(9, 0)));
        w.alerts().Timer4Timer();
        QVERIFY(timer(w, "Timer1")->isActive());
    }

    void linkLabelsFollowTheHoverRule()
    {
        AppFixture f;
        MainWindow w(*f.context, nullptr);
        auto colours = [&](const char* name) {
            const QPalette p = w.findChild<QLabel*>(QString::fromLatin1(name))->palette();
            return std::pair{p.color(QPalette::Window), p.color(QPalette::WindowText)};
        };
        auto hover = [&](const char* name, QEvent::Type type) {
            QWidget* label = w.findChild<QLabel*>(QString::fromLatin1(name));
            if (type == QEvent::Enter) {
                QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
                QCoreApplication::sendEvent(label, &enter);
            } else {
                QEvent leave(QEvent::Leave);
                QCoreApplication::sendEvent(label, &leave);
            }
        };
        const QColor red(255, 0, 0), navy(0, 0, 128);
        hover("Label31", QEvent::Enter);
        QCOMPARE(colours("Label31"), (std::pair{red, QColor(Qt::white)}));
        hover("Label31", QEvent::Leave);
        QCOMPARE(colours("Label31"), (std::pair{QColor(Qt::white), navy}));
        // The alert-settings link changes only its background.
        const QColor text = colours("Label18").second;
        hover("Label18", QEvent::Enter);
        QCOMPARE(colours("Label18"), (std::pair{red, text}));
        hover("Label18", QEvent::Leave);
        QCOMPARE(colours("Label18"), (std::pair{QColor(Qt::white), text}));
    }

    void fetionPictureOpensItsHomePage()
    {
        AppFixture f;
        MainWindow w(*f.context, nullptr);
        auto* picture = w.findChild<QLabel*>("Image15");
        QCOMPARE(picture->toolTip(), QStringLiteral("不了解飞信，点这里进入中国移动官方网站查询"));
        QTest::mouseClick(picture, Qt::LeftButton);
        QCOMPARE(f.opener.opened, QStringList{f.context->settings.FetionHomeUrl});
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
