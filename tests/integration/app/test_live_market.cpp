// The program against the live market: a live sandbox whose upstreams are a stand-in serving the
// recorded replies. What the windows show is the recorded market, translated field by field.
#include "app/mainwindow.h"
#include "appfixture.h"
#include "bigorder/bigordercontroller.h"
#include "companioninfo.h"
#include "info/companioncontroller.h"
#include "core/guard.h"
#include "core/stockcodefile.h"
#include "info/blogcontroller.h"
#include "info/cellgrid.h"
#include "info/forumcontroller.h"
#include "widgets/widgets.h"
#include "livedata.h"
#include "ticker/tickercontroller.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>

using app::MainWindow;

namespace {

// After the close on a weekday, so the first show fills the quote panel and the banner itself.
const QDateTime kAfterClose(QDate(2026, 12, 9), QTime(16, 0));

struct LiveProgram {
    LiveProgram()
        : f(kAfterClose, [this](sandbox::Options& o) {
              o.market = QStringLiteral("live");
              o.upstreams = up.bases();
          })
    {
        QDir().mkpath(f.systemFile(""));
        app::writeStockCodeFile(f.systemFile("gp06856.dat"), "600036");
    }
    StandIn up;   // first, so it is up before the program's sandbox asks it
    AppFixture f;
};

QString text(const QWidget& w, const char* name)
{
    const QLabel* l = w.findChild<QLabel*>(QString::fromLatin1(name));
    return l ? l->text() : QStringLiteral("<no %1>").arg(QLatin1String(name));
}

} // namespace

class TestLiveMarket : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void quotePanelBannerChartsNoticesAndNewsShowTheLiveMarket()
    {
        LiveProgram p;
        QVERIFY(p.up.started && p.f.started);
        MainWindow w(*p.f.context, nullptr);
        w.show();
        QCOMPARE(p.f.prompter.texts(), QStringList{});
        QCOMPARE(p.f.context->state.CurrentName, QStringLiteral("招商银行"));

        // The quote panel, from Tencent's line.
        QCOMPARE(text(w, "Label2"), QStringLiteral("35.12元"));
        QCOMPARE(text(w, "Label44"), QStringLiteral("0.92%"));
        QCOMPARE(text(w, "Label4"), QStringLiteral("0.32元"));
        QCOMPARE(text(w, "Label38"), QStringLiteral("35.11元(320手)"));
        QCOMPARE(text(w, "Label37"), QStringLiteral("35.12元(150手)"));
        QCOMPARE(text(w, "Label8"), QStringLiteral("456789手"));
        QCOMPARE(text(w, "Label7"), QStringLiteral("160123.00万元"));
        QCOMPARE(text(w, "Label25"), QStringLiteral("开盘价：34.90元"));
        QCOMPARE(text(w, "Label23"), QStringLiteral("最高价：35.30元"));
        QCOMPARE(text(w, "Label24"), QStringLiteral("最低价：34.75元"));
        QCOMPARE(text(w, "Label29"), QStringLiteral("0"));   // no earlier reading to tell the last trade from

        // The banner's two lines, from East Money's index reply.
        QCOMPARE(p.f.context->index.line1,
                 QStringLiteral("上证指数：3050.12  涨13.66↑  幅度：0.45%  总成交量：4123亿 上涨：1523 下跌：712 平盘：65"
                                "  昨收：3036.46  今开：3036.50  最高：3061.20  最低：3030.01"));
        QCOMPARE(p.f.context->index.line2,
                 QStringLiteral("深圳成指：10012.35  跌-31.14↓  幅度：-0.31%  总成交量：5235亿 上涨：1102 下跌：1598 平盘：120"
                                "  昨收：10043.49  今开：10043.20  最高：10080.11  最低：9990.02"));
        QCOMPARE(p.f.context->index.flag2, QStringLiteral("1"));

        // The large-order charts' lists: Sina's large trades of the day, East Money's ten days.
        const bigorder::BigOrderLists& lists = w.bigOrder().lists();
        QTRY_COMPARE(lists.HourBuyList, (QStringList{"0", "150000", "0", "60000"}));
        QCOMPARE(lists.HourSellList, (QStringList{"4000", "0", "20000", "0"}));
        QTRY_COMPARE(lists.PieValueList, (QStringList{"0", "0", "26", "64", "2", "8", "0", "0"}));
        QTRY_COMPARE(lists.DayLabelList.size(), 10);
        QCOMPARE(lists.DayBuyList.first(), QStringLiteral("1000000"));
        QCOMPARE(lists.DaySellList.at(1), QStringLiteral("500000"));

        // The notice line: East Money's announcement list has one of today.
        QCOMPARE(text(w, "Label15"), QStringLiteral("今日有公告,点击查看最新公告"));

        // The commentary from East Money's 千股千评 diagnosis; the rumour line from the newest
        // answered 传闻求证 question of 问董秘, the report line from the report list; each link
        // opens the real page (the rumour's through the sandbox's page that sends it on).
        QCOMPARE(text(w, "Label9"), QStringLiteral("招商银行"));
        QVERIFY2(text(w, "Label10").startsWith(QStringLiteral("近期的平均成本为35.02元，股价在成本上方运行。")), qPrintable(text(w, "Label10")));
        const QWidget& news = *w.findChild<QWidget*>(QStringLiteral("GroupBox6"));   // the quote panel has a Label36 too
        QCOMPARE(text(news, "Label36"), QStringLiteral("有传闻称公司高管近期变动，请董秘..."));
        QCOMPARE(text(news, "Label39"), QStringLiteral("国泰君安：零售银行龙头，财富管理..."));
        w.stockNews().Label39Click();
        w.stockNews().Label36Click();
        QCOMPARE(p.f.opener.opened.value(0), QStringLiteral("https://data.eastmoney.com/report/info/AP202612081234567891.html"));
        QVERIFY(p.f.opener.opened.value(1).endsWith(QStringLiteral("/realstock/company/sh600036/rumour/wdm1456700001.shtml")));
        p.f.opener.opened.clear();

        // The news flash, and its link opens the article on East Money.
        w.blogs().Timer5Timer(*w.blogTimer());
        QTRY_VERIFY(text(w, "Label48").endsWith(QStringLiteral("招商银行：拟发行不超过300亿元金融债")));
        w.blogs().Label48Click();
        QCOMPARE(p.f.opener.opened, QStringList{"https://finance.eastmoney.com/a/202612103262789012.html"});
    }

    void blogsEvaluationsAndTheInformationLinksAreRealPages()
    {
        LiveProgram p;
        MainWindow w(*p.f.context, nullptr);
        w.show();
        const auto* sites = w.findChild<QComboBox*>(QStringLiteral("ComboBox1"));
        QCOMPARE(sites->count(), 6);
        QCOMPARE(sites->itemText(0), QStringLiteral("东方财富千股千评"));
        const QStringList& addresses = w.companionPages().siteAddresses();
        QCOMPARE(addresses.first(), QStringLiteral("https://data.eastmoney.com/stockcomment/stock/600036.html"));
        QVERIFY(addresses.contains(QStringLiteral("https://finance.sina.com.cn/realstock/company/sh600036/nc.shtml")));

        // The blog directory names real bloggers; their article lists come from the sina-blog base.
        const auto* blogs = w.findChild<QComboBox*>(QStringLiteral("ComboBox2"));
        QCOMPARE(blogs->count(), 2);
        QCOMPARE(blogs->itemText(0), QStringLiteral("徐小明(未找到)"));
        w.blogs().Timer5Timer(*w.blogTimer());
        QTRY_COMPARE(blogs->itemText(0), QStringLiteral("徐小明【找到】"));   // the list names 招商银行
        QCOMPARE(p.up.asked(kBlogList), 1);

        w.companionPages().Label31Click();
        QCOMPARE(p.f.opener.opened.last(), QString::fromLatin1(server::companioninfo::kLiveTodayInfo));
    }

    void forumGridShowsTodaysPostsOfTheStocksBar()
    {
        LiveProgram p;
        MainWindow w(*p.f.context, nullptr);
        w.show();
        const info::CellGrid& grid = *w.forum().grid();
        QTRY_COMPARE(w.forum().posts().count(), 3);
        const QStringList rows[] = {{"1", "招行今天这走势，明天怎么看？", "1523/37", "价值发现者"},
                                    {"2", "招商银行：“零售之王”的护城河还在吗", "8920/120", "银行研究所"},
                                    {"3", "分红到账了", "268/5", "老股民2008"}};
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 4; ++c)
                QCOMPARE(grid.cellText(r + 1, c), rows[r][c]);
        QCOMPARE(w.forum().latestLine()->text(), QStringLiteral("招行今天这走势，明天怎么看？"));
        // The 财富号 article opens through the forum's address, which sends it on to the article.
        QCOMPARE(w.forum().posts().PostLinkList.at(1),
                 p.f.box->baseUrl() + QStringLiteral("/caifuhao,600036,20261209142958123456780.html"));
    }

    void tickerRowsOfTwoWatchedStocks()
    {
        LiveProgram p;
        p.f.context->alerts.AlertCodes = {QStringLiteral("600036"), QStringLiteral("000001")};
        ticker::TickerController ticker(p.f.context->alerts, p.f.context->index, p.f.context->settings, p.f.clock,
                                        p.f.prompter);
        ticker.N13Click();
        for (int i = 0; i < 2; ++i) {
            ticker.Timer1Timer();
            QTRY_VERIFY(!ticker.waiting());
        }
        const QStringList expected[] = {{"招商银行", "35.12", "0.92%", "35.30", "34.75", "456789手"},
                                        {"平安银行", "11.02", "-0.72%", "11.12", "10.98", "987654手"}};
        for (int r = 0; r < 2; ++r)
            for (int c = ticker::NameColumn; c < ticker::ColumnCount; ++c)
                QVERIFY2(ticker.window().cell(r, ticker::Column(c))->text().startsWith(expected[r][c]),
                         qPrintable(ticker.window().cell(r, ticker::Column(c))->text()));
    }

    void aFailingUpstreamLeavesThePanelAsItWas()
    {
        LiveProgram p;
        MainWindow w(*p.f.context, nullptr);
        w.show();
        QCOMPARE(text(w, "Label2"), QStringLiteral("35.12元"));
        p.up.box->setFault(QStringLiteral("/q=*"), QStringLiteral("refuse"));
        p.up.box->setFault(QStringLiteral("/list=*"), QStringLiteral("500"));
        p.up.box->setFixedPage(QStringLiteral("/q=sh600036"), "");
        QTest::qWait(1100);   // past the cache
        QVERIFY(!app::guarded(p.f.prompter, [&] { w.start(); }));   // the start ended at the failed quote
        QCOMPARE(text(w, "Label2"), QStringLiteral("35.12元"));
        QCOMPARE(p.f.prompter.texts(), QStringList{});   // a silent failure, as the program's rules say
    }
};

QTEST_MAIN(TestLiveMarket)
#include "test_live_market.moc"
