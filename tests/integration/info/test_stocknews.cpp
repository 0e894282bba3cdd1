// The commentary, announcement, rumour and report panels against the in-process sandbox, with the
// all-announcements window; clicks go to the browser double.
#include "appfixture.h"
#include "market.h"

#include "core/guard.h"
#include "info/announcementswindow.h"
#include "info/cellgrid.h"
#include "info/rumours.h"
#include "info/stocknews.h"
#include "net/codecs.h"
#include "net/httpclient.h"
#include "widgets/widgets.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QTest>

using info::StockNewsController;

namespace {

const QString kNoticePath = QStringLiteral("/Notice/Notice_List.aspx");
const QString kCommentPath = QStringLiteral("/data/qgqp.asp");

QByteArray notices(const QStringList& dates)
{
    QString out = QStringLiteral("<span class=\"caption\"><a href=\"#\">公告标题</a></span><span class=\"time\">公告时间</span>");
    for (int i = 0; i < dates.size(); ++i)
        out += QStringLiteral("<span class=\"caption\"><a href=\"D.aspx?id=%1\">某某(600000)公告%1</a></span>"
                              "<span class=\"time\">%2</span>")
                   .arg(i + 1)
                   .arg(dates[i]);
    return net::toGbk(out);
}

} // namespace

class TestStockNews : public QObject {
    Q_OBJECT

    std::unique_ptr<AppFixture> fx;
    std::unique_ptr<net::HttpClient> http;
    std::unique_ptr<QWidget> window;
    std::unique_ptr<StockNewsController> news;
    std::unique_ptr<info::AnnouncementsWindow> all;

    app::AppState& state() { return fx->context->state; }
    QString text(const char* name) const { return window->findChild<QLabel*>(QString::fromLatin1(name))->text(); }
    app::ClickLabel* link(const char* name) const
    {
        return window->findChild<app::ClickLabel*>(QString::fromLatin1(name));
    }
    bool run(const std::function<void()>& step) { return app::guarded(fx->prompter, step); }
    // The steps `start` runs for this panel, in its order.
    bool loadAll()
    {
        return run([&] {
            news->getyg(state().CurrentCode);
            news->clearAnnouncements();
            news->getqgqp(state().CurrentCode);
            news->getgg(state().CurrentCode);
        });
    }
    void useStock(const QString& code)
    {
        state().CurrentCode = code;
        state().CurrentName = fx->box->market().nameOf(code);
    }

private Q_SLOTS:
    void init()
    {
        fx = std::make_unique<AppFixture>();
        QVERIFY(fx->started);
        http = std::make_unique<net::HttpClient>(QStringLiteral("IdHTTP2"));
        http->setReadTimeout(6000);
        window = std::make_unique<QWidget>();
        news = std::make_unique<StockNewsController>(state(), fx->context->settings, fx->clock, fx->opener, *http);
        news->commentaryBox()->setParent(window.get());
        news->newsBox()->setParent(window.get());
        all = std::make_unique<info::AnnouncementsWindow>(news->announcements(), fx->opener);
        news->setAnnouncementsWindow([w = all.get()] { return w; });
        window->show();
        useStock(QStringLiteral("600000"));
    }
    void cleanup()
    {
        all.reset();
        news.reset();
        window.reset();
        http.reset();
        fx.reset();
    }

    void fillsEveryLineForEverySandboxStock()
    {
        for (const QString& code : fx->box->market().codes()) {
            useStock(code);
            QVERIFY2(loadAll(), qPrintable(code));
            QVERIFY(!text("Label36").isEmpty());
            QVERIFY(!text("Label39").isEmpty());
            QVERIFY(text("Label15").startsWith(QStringLiteral("今日")));
            QCOMPARE(news->newsBox()->title(), state().CurrentName + "(" + code + ")个股最新信息");
            QVERIFY(news->announcements().titles.size() >= 2);
        }
        QVERIFY(fx->prompter.boxes.isEmpty());
    }

    void clicksOpenTheRightPages()
    {
        QVERIFY(loadAll());
        const QString base = fx->box->baseUrl();
        link("Label36")->clicked();
        QCOMPARE(fx->opener.opened.size(), 1);
        QVERIFY(fx->opener.opened[0].startsWith(base + "/realstock/company/sh600000/rumour/"));
        QCOMPARE(fx->opener.opened[0], news->rumourLink());
        link("Label39")->clicked();
        QCOMPARE(fx->opener.opened.last(), news->reportLink());

        // The announcement line opens the window over a disabled main window, and showing it
        // opens no announcement: the grid taking the focus is no choice of a row.
        const qsizetype before = fx->opener.opened.size();
        link("Label15")->clicked();
        QVERIFY(QTest::qWaitForWindowActive(all.get()));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(all->grid()));
        QCOMPARE(fx->opener.opened.size(), before);
        QVERIFY(all->isVisible());
        QVERIFY(!window->isEnabled());
        QCOMPARE(all->windowTitle(), state().CurrentName + "(600000) 的所有公告");
        QCOMPARE(all->size(), QSize(713, 318));
        const info::AnnouncementLists& lists = news->announcements();
        QCOMPARE(all->grid()->rowCount(), lists.titles.size() + 1);
        QCOMPARE(all->grid()->cellText(0, 1), "公告内容");
        QCOMPARE(all->grid()->cellText(1, 1), lists.titles[1]);
        QCOMPARE(all->grid()->cellText(1, 2), lists.dates[1]);
        QVERIFY(!window->findChild<QLabel*>("Image3")->isVisibleTo(window.get()));
        QTest::mouseClick(all->grid()->viewport(), Qt::LeftButton, {},
                          all->grid()->visualItemRect(all->grid()->item(2, 1)).center());
        QCOMPARE(fx->opener.opened.last(), lists.addresses[2]);
        QCOMPARE(fx->opener.opened.size(), before + 1);
        QTest::keyClick(all->grid(), Qt::Key_Up);   // a row chosen with the keyboard opens too
        QCOMPARE(fx->opener.opened.last(), lists.addresses[1]);
        const qsizetype opened = fx->opener.opened.size();
        all->StringGrid1SelectCell(all->grid()->rowCount() - 1, 1);   // the trailing empty row
        QCOMPARE(fx->opener.opened.size(), opened);
        all->close();
        QVERIFY(window->isEnabled());

        // Shown again, it opens nothing by itself either.
        link("Label15")->clicked();
        QVERIFY(QTest::qWaitForWindowActive(all.get()));
        QCOMPARE(fx->opener.opened.size(), opened);
        all->close();
    }

    void announcementLine_data()
    {
        QTest::addColumn<QStringList>("dates");
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("marker");
        QTest::newRow("today not first") << QStringList{"2026-11-01", "2026-12-09"} << "今日有公告,点击查看最新公告" << true;
        QTest::newRow("heading only") << QStringList{} << "今日无公告,点击查看历史公告" << false;
    }
    void announcementLine()
    {
        QFETCH(QStringList, dates);
        QFETCH(QString, line);
        QFETCH(bool, marker);
        fx->box->setFixedPage(kNoticePath, notices(dates));
        QVERIFY(run([&] { news->getgg("600000"); }));
        QCOMPARE(text("Label15"), line);
        QCOMPARE(window->findChild<QLabel*>("Image3")->isVisibleTo(window.get()), marker);
        QCOMPARE(link("Label15")->palette().color(QPalette::WindowText),
                 marker ? QColor(255, 0, 0) : QColor(0, 0, 128));
    }

    void badDatesAndFailuresAbortQuietly()
    {
        fx->box->setFixedPage(kNoticePath, notices({"2026-12-09"}));
        QVERIFY(run([&] { news->getgg("600000"); }));
        fx->box->setFixedPage(kNoticePath, notices({"2026-12-01", "昨天"}));
        news->clearAnnouncements();
        QVERIFY(!run([&] { news->getgg("600000"); }));
        QCOMPARE(text("Label15"), "今日有公告,点击查看最新公告");   // not updated
        QCOMPARE(news->announcements().titles.size(), 3);             // what was appended stays

        fx->box->setFixedPage(kCommentPath, "oops", "text/html", 500);
        QVERIFY(!run([&] { news->getqgqp("600000"); }));
        QCOMPARE(text("Label9"), "获取失败");
        QCOMPARE(text("Label10"), "获取数据失败......");

        http->setReadTimeout(300);
        fx->box->setSilent("/realstock/company/sh600000/nc.shtml");
        link("Label36")->clicked();   // no rumour yet: nothing to open
        QVERIFY(!run([&] { news->getyg("600000"); }));
        QVERIFY(text("Label36").isEmpty());
        QVERIFY(fx->opener.opened.isEmpty());
        QVERIFY(fx->prompter.boxes.isEmpty());
    }

    void commentaryRules()
    {
        // A name shows with the opinion; an empty name shows the failure text though the page came.
        fx->box->setFixedPage(kCommentPath, net::toGbk("<td width=\"156\">&nbsp;<font color=\"x\"><b>看多</font>"));
        QVERIFY(run([&] { news->getqgqp("600000"); }));
        QCOMPARE(text("Label9"), state().CurrentName);
        QCOMPARE(text("Label10"), "<b>看多");   // from the last `">`, shown as plain text
        QCOMPARE(window->findChild<QLabel*>("Label10")->textFormat(), Qt::PlainText);
        fx->box->setFixedPage(kCommentPath, net::toGbk("<td>暂无</td>"));
        QVERIFY(run([&] { news->getqgqp("600000"); }));
        QCOMPARE(text("Label10"), "<b>看多");   // no marker: unchanged
        state().CurrentName.clear();
        QVERIFY(run([&] { news->getqgqp("600000"); }));
        QCOMPARE(text("Label9"), "获取失败");
        QCOMPARE(fx->requestCount(kCommentPath), 3);
        // Without a name the announcement window does not open.
        link("Label15")->clicked();
        QVERIFY(!all->isVisible());
    }

    void moreOnlyReportOpensNothingAndTextsStayPlain()
    {
        const QString page = "<div id=\"con030\"><a href=\"javascript:alert(1).shtml\" target=\"_blank\"><b>传言</b></a></div>"
                             "<div id=\"con03-2\"><a href=\"http://x/more.shtml\">更多&gt;&gt;</a></div>";
        fx->box->setFixedPage("/realstock/company/sh600000/nc.shtml", net::toGbk(page));
        QVERIFY(run([&] { news->getyg("600000"); }));
        QCOMPARE(text("Label36"), "<b>传言</b>");
        QCOMPARE(link("Label36")->textFormat(), Qt::PlainText);
        QCOMPARE(text("Label39"), "暂无");
        QCOMPARE(link("Label39")->toolTip(), "暂无");
        link("Label39")->clicked();
        link("Label36")->clicked();   // not a web address: refused
        QVERIFY(fx->opener.opened.isEmpty());
    }
};

QTEST_MAIN(TestStockNews)
#include "test_stocknews.moc"
