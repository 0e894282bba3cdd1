#include "appfixture.h"
#include "bigorder/bigordercontroller.h"
#include "bigorder/bigorderwindows.h"
#include "market.h"
#include "net/codecs.h"
#include "net/pageloader.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>

using namespace bigorder;

namespace {

// What the controller asked of the flow notice window.
struct FlowRecord {
    QString totals, stock, message;
    QColor totalsColour, messageColour;
    bool inflow = false;
    int fills = 0, shows = 0;
    bool paused = false;
};

struct Rig {
    explicit Rig(const QDateTime& now, const QString& code = QStringLiteral("000001"))
        : fx(now)
    {
        app::AppState& s = fx.context->state;
        s.CurrentCode = code;
        s.CurrentName = fx.box->market().nameOf(code);
        controller = std::make_unique<BigOrderController>(s, fx.context->settings, fx.clock, fx.prompter, main);
        FlowNoticeHook hook;
        hook.setTotals = [this](const QString& t, const QColor& c) { flow.totals = t; flow.totalsColour = c; };
        hook.fill = [this](const QString& stock, const QString& m, const QColor& c, bool in) {
            flow.stock = stock;
            flow.message = m;
            flow.messageColour = c;
            flow.inflow = in;
            ++flow.fills;
        };
        hook.paused = [this] { return flow.paused; };
        hook.show = [this] { ++flow.shows; };
        controller->setFlowNotice(hook);
    }

    // Loads the three pages of CurrentCode and waits until all three were taken in.
    bool loadAll()
    {
        QSignalSpy spy(controller.get(), &BigOrderController::pageParsed);
        controller->loadpages(fx.context->state.CurrentCode);
        return QTest::qWaitFor([&] { return spy.size() >= 3; }, 20000);
    }

    QGroupBox* box(const char* name) { return main.findChild<QGroupBox*>(QString::fromLatin1(name)); }

    AppFixture fx;
    QWidget main;
    FlowRecord flow;
    std::unique_ptr<BigOrderController> controller;
};

const QString kHourPath = QStringLiteral("/stock/sz/000001/single-bar.htm");
const QString kDayPath = QStringLiteral("/stock/sz/000001/single-barDay.htm");
const QString kPiePath = QStringLiteral("/stock/sz/000001/single-pie.htm");

} // namespace

class TestBigOrderController : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Wednesday 14:30 against the simulated market: three finished hours, ten days, eight buckets.
    void loadsTheThreePages()
    {
        Rig rig(QDateTime(QDate(2026, 12, 9), QTime(14, 30)));
        QVERIFY(rig.loadAll());
        const BigOrderLists& l = rig.controller->lists();
        QCOMPARE(l.HourBuyList.size(), 3);
        QCOMPARE(l.HourSellList.size(), 3);
        QCOMPARE(l.DayBuyList.size(), 10);
        QCOMPARE(l.DayLabelList.last(), QStringLiteral("12-09"));
        QCOMPARE(l.PieValueList.size(), 8);
        QCOMPARE(l.PieColourList.size(), 16);   // the pie data stands twice in its page
        const feed::BigOrderDay today = *rig.fx.box->market().bigOrders("000001", rig.fx.box->now());
        QCOMPARE(l.HourBuyList.first(), QString::number(today.hourBuy[0]));

        QCOMPARE(rig.box("GroupBox4")->title(), QStringLiteral("平安银行(000001)今日每小时大单成交分布图"));
        QCOMPARE(rig.box("GroupBox3")->title(), QStringLiteral("平安银行(000001)近5日大单成交分布图"));
        BarChart* hourly = rig.controller->hourlyChart();
        QCOMPARE(hourly->categories(), (QStringList{"10:30", "11:30", "14:00"}));
        const QList<BarSeries>& bars = hourly->series();
        QCOMPARE(bars.size(), 2);
        QCOMPARE(bars[0].title, QStringLiteral("大单买入"));
        QCOMPARE(bars[0].colour, QColor(255, 0, 0));
        QCOMPARE(bars[1].title, QStringLiteral("大单卖出"));
        QCOMPARE(bars[1].colour, QColor(0, 128, 0));
        QCOMPARE(bars[0].points[0].value, double(today.hourBuy[0]) / 100.0);
        QVERIFY(hourly->legendVisible());
        QVERIFY(!rig.controller->dayChart()->legendVisible());
        QCOMPARE(rig.controller->dayChart()->categories().size(), 5);
        QVERIFY(rig.fx.prompter.boxes.isEmpty());
    }

    // Before 10:30 the hourly page says no hour is over: the chart and its caption stay.
    void noHourYetLeavesTheChart()
    {
        Rig rig(QDateTime(QDate(2026, 12, 9), QTime(10, 0)));
        QVERIFY(rig.loadAll());
        QVERIFY(rig.controller->lists().HourBuyList.isEmpty());
        QCOMPARE(rig.box("GroupBox4")->title(), QStringLiteral("大单成交分时图"));
        QVERIFY(rig.controller->hourlyChart()->series().isEmpty());
        QCOMPARE(rig.controller->lists().DayBuyList.size(), 10);
    }

    // A code change before the new stock's first hour has ended: the emptied chart does not keep
    // the old stock's name over it.
    void codeChangeGivesTheHourlyCaptionBack()
    {
        Rig rig(QDateTime(QDate(2026, 12, 9), QTime(14, 30)));
        QVERIFY(rig.loadAll());
        QVERIFY(rig.box("GroupBox4")->title().startsWith(QStringLiteral("平安银行(000001)")));
        rig.fx.box->setClock(QDateTime(QDate(2026, 12, 10), QTime(10, 0)));
        app::AppState& s = rig.fx.context->state;
        s.CurrentCode = QStringLiteral("600000");
        s.CurrentName = rig.fx.box->market().nameOf(s.CurrentCode);
        ++s.StockGeneration;
        rig.controller->resetHourlyFlow();
        rig.controller->clearHourlyChart();
        QCOMPARE(rig.box("GroupBox4")->title(), QStringLiteral("大单成交分时图"));
        QVERIFY(rig.loadAll());
        QVERIFY(rig.controller->lists().HourBuyList.isEmpty());
        QCOMPARE(rig.box("GroupBox4")->title(), QStringLiteral("大单成交分时图"));
        QVERIFY(rig.controller->hourlyChart()->series().isEmpty());
    }

    // Failing, unknown and stale pages.
    void badPages()
    {
        Rig rig(QDateTime(QDate(2026, 12, 9), QTime(14, 30)));
        QVERIFY(rig.loadAll());
        rig.fx.box->setFixedPage(kDayPath, "<html><body>Server Error</body></html>", "text/html", 500);
        rig.fx.box->setFixedPage(kHourPath, QByteArray(9 << 20, 'v'));   // over the body cap
        QVERIFY(rig.loadAll());
        QVERIFY(rig.controller->lists().DayBuyList.isEmpty());
        QVERIFY(rig.controller->lists().HourBuyList.isEmpty());
        // The charts are rebuilt with two empty series.
        QCOMPARE(rig.box("GroupBox3")->title(), QStringLiteral("平安银行(000001)近0日大单成交分布图"));
        QCOMPARE(rig.controller->hourlyChart()->series().size(), 2);
        QCOMPARE(rig.controller->hourlyChart()->series()[0].points.size(), 0);
        QVERIFY(rig.fx.prompter.boxes.isEmpty());

        // A page that completes after the stock changed is dropped.
        rig.fx.box->clearOverrides();
        QSignalSpy done(&rig.controller->loader(Page::Day), &net::PageLoader::loaded);
        rig.controller->loadpages(QStringLiteral("000001"));
        rig.fx.context->state.CurrentCode = QStringLiteral("600000");
        QVERIFY(done.wait(20000));
        QVERIFY(rig.controller->lists().DayBuyList.isEmpty());

        // An unknown stock's page has no data.
        rig.fx.context->state.CurrentCode = QStringLiteral("600999");
        QVERIFY(rig.loadAll());
        QVERIFY(rig.controller->lists().PieValueList.isEmpty());
    }

    void badItemShowsTheMessage()
    {
        Rig rig(QDateTime(QDate(2026, 12, 9), QTime(14, 30)));
        rig.fx.box->setFixedPage(kDayPath, net::toGbk(QStringLiteral(
            "<body>&x_labels=a,b,c&values=100,2x0,300&values_2=1,2,3&</body>")));
        QVERIFY(rig.loadAll());
        QCOMPARE(rig.fx.prompter.texts(), QStringList{"'2x0' is not a valid integer value"});
        QCOMPARE(rig.controller->dayChart()->series()[0].points.size(), 1);
    }

    void tenDayWindow()
    {
        Rig rig(QDateTime(QDate(2026, 12, 9), QTime(15, 30)));
        QVERIFY(rig.loadAll());
        auto* box = rig.main.findChild<QCheckBox*>("CheckBox1");
        QCOMPARE(box->text(), QStringLiteral("10日"));
        box->click();
        TenDayWindow& w = rig.controller->tenDayWindow();
        QVERIFY(w.isVisible());
        QVERIFY(!rig.main.isEnabled());
        QCOMPARE(w.chart()->title(), QStringLiteral("平安银行(000001)近10日大单成交分布图"));
        QCOMPARE(w.chart()->series()[0].points.size(), 10);
        QVERIFY(w.totalsLabel()->text().startsWith(QStringLiteral("近10日 大单流入:")));
        w.close();
        QVERIFY(!w.isVisible());
        QVERIFY(!box->isChecked());
        QVERIFY(rig.main.isEnabled());
    }

    // The hour is announced with the pop-up and the pie; pauses and an open pie are respected.
    void announcement()
    {
        Rig rig(QDateTime(QDate(2026, 12, 9), QTime(10, 30)));
        BigOrderLists& l = rig.controller->lists();
        l.HourBuyList = {"500000"};
        l.HourSellList = {"312345"};
        l.PieValueList = {"60", "40"};
        l.PieColourList = {"#FF6666", "#99FF00"};
        rig.controller->Timer7Timer();
        QCOMPARE(rig.flow.message, QStringLiteral("在 9:30-10:30 之间大单净流入1876手"));
        QCOMPARE(rig.flow.messageColour, QColor(255, 0, 0));
        QVERIFY(rig.flow.inflow);
        QCOMPARE(rig.flow.stock, QStringLiteral("平安银行(000001)"));
        QCOMPARE(rig.flow.totals, QStringLiteral("今日大单流入:5000手 大单流出:3123手 总计净流入1877手"));
        QCOMPARE(rig.flow.shows, 1);
        PieWindow& pie = rig.controller->pieWindow();
        QVERIFY(pie.isVisible());
        QVERIFY(!rig.main.isEnabled());
        QCOMPARE(pie.chart()->slices().size(), 2);
        QCOMPARE(pie.chart()->slices()[0].label, QStringLiteral("单笔买入50万以下(60%)"));
        QCOMPARE(pie.chart()->title(), QStringLiteral("平安银行(000001)今日(2026-12-9)大单进出成交分布图"));

        // The pie stays open: the next hour neither rebuilds nor reopens it. The flow pause keeps
        // the pop-up hidden but its lines are still written.
        rig.flow.paused = true;
        l.HourBuyList << "100";
        l.HourSellList << "300";
        l.PieValueList = {"100"};
        rig.fx.clock.setTime(QTime(11, 30));
        rig.controller->Timer7Timer();
        QCOMPARE(rig.flow.fills, 2);
        QCOMPARE(rig.flow.shows, 1);
        QCOMPARE(rig.flow.message, QStringLiteral("在 10:30-11:30 之间大单净流出2手"));
        QCOMPARE(rig.flow.messageColour, QColor(0, 128, 0));
        QCOMPARE(pie.chart()->slices().size(), 2);

        // Closed, the pie opens with the next hour even while the pop-up is paused.
        pie.close();
        QVERIFY(rig.main.isEnabled());
        l.HourBuyList << "100";
        l.HourSellList << "300";
        rig.fx.clock.setTime(QTime(14, 0));
        rig.controller->Timer7Timer();
        QVERIFY(pie.isVisible());
        QCOMPARE(pie.chart()->slices().size(), 1);
        pie.close();

        // A code change empties the hourly lists and the announcement state.
        rig.controller->resetHourlyFlow();
        QVERIFY(l.HourBuyList.isEmpty());
        QCOMPARE(rig.controller->flowState().announced, 0);
    }

    // The pie window's pause box and the tray item follow each other.
    void piePause()
    {
        Rig rig(QDateTime(QDate(2026, 12, 9), QTime(10, 30)));
        PieWindow& pie = rig.controller->pieWindow();
        QSignalSpy spy(&pie, &PieWindow::pauseChanged);
        auto* box = pie.findChild<QCheckBox*>("CheckBox1");
        box->click();
        QCOMPARE(spy.size(), 1);
        QCOMPARE(spy[0][0].toBool(), true);
        QVERIFY(pie.paused());
        BigOrderLists& l = rig.controller->lists();
        l.HourBuyList = {"100"};
        l.HourSellList = {"100"};
        rig.controller->Timer7Timer();
        QVERIFY(!pie.isVisible());   // paused
        rig.controller->N6Click();
        QVERIFY(!box->isChecked());
        QVERIFY(!pie.paused());
        QCOMPARE(spy.size(), 1);   // resuming from the tray is not reported back
    }
};

QTEST_MAIN(TestBigOrderController)
#include "test_bigordercontroller.moc"
