// The big-order controller as the main window and the window set run it: the first show loads the
// pages, Timer7 announces the finished hour through the flow notice and opens the pie, the pie's
// pause box and the tray's N6 follow each other, and the minute tick reloads and counts.
#include "app/mainwindow.h"
#include "app/tray.h"
#include "app/windowset.h"
#include "appfixture.h"
#include "bigorder/bigorderwindows.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

namespace {

const QString kHourPath = QStringLiteral("/stock/sz/000001/single-bar.htm");

} // namespace

class TestBigOrderWiring : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void firstShowAndAnnouncement()
    {
        AppFixture f(QDateTime(QDate(2026, 12, 9), QTime(10, 30)));
        app::WindowSet windows(*f.context);
        QVERIFY(windows.startUp());
        app::MainWindow& w = windows.main();
        bigorder::BigOrderController& big = w.bigOrder();
        QTRY_COMPARE_WITH_TIMEOUT(big.lists().DayBuyList.size(), 10, 20000);
        QCOMPARE(f.requestCount(kHourPath), 1);
        QVERIFY(w.findChild<QTimer*>("Timer7")->isActive());
        QCOMPARE(w.findChild<QGroupBox*>("GroupBox3")->geometry(), QRect(406, 342, 260, 150));

        // Timer7 announces the first hour within one period.
        alerts::FlowNoticeWindow& flow = windows.flowNotice();
        QTRY_VERIFY_WITH_TIMEOUT(flow.isVisible(), 12000);
        QVERIFY(flow.findChild<QLabel*>("Label1")->text().startsWith(QStringLiteral("在 9:30-10:30 之间大单净")));
        QCOMPARE(flow.findChild<QLabel*>("Label2")->text(), QStringLiteral("平安银行(000001)"));
        QVERIFY(flow.findChild<QLabel*>("Label3")->text().startsWith(QStringLiteral("今日大单流入:")));
        bigorder::PieWindow& pie = big.pieWindow();
        QVERIFY(pie.isVisible());
        QVERIFY(!w.isEnabled());
        pie.close();
        QVERIFY(w.isEnabled());

        // The pie's pause box unchecks N6; N6 unticks the box again.
        QAction* n6 = w.tray().item("N6");
        auto* box = pie.findChild<QCheckBox*>("CheckBox1");
        box->click();
        QVERIFY(!n6->isChecked());
        n6->trigger();
        QVERIFY(n6->isChecked());
        QVERIFY(!box->isChecked());
        QVERIFY(!pie.paused());
    }

    void minuteTick()
    {
        AppFixture f(QDateTime(QDate(2026, 12, 9), QTime(10, 30)));
        app::MainWindow w(*f.context, nullptr);
        w.show();
        app::AppState& s = f.context->state;
        QCOMPARE(s.MinuteTickCount, 1);
        QTRY_COMPARE_WITH_TIMEOUT(w.bigOrder().lists().DayBuyList.size(), 10, 20000);
        QTRY_COMPARE(f.requestCount(kHourPath), 1);
        f.box->clearRequests();

        // 10:30:00 itself reloads nothing; the tenth tick reads the online count.
        s.MinuteTickCount = 10;
        w.Timer2Timer();
        QCOMPARE(s.MinuteTickCount, 11);
        QCOMPARE(f.requestCount("/gpreadall.asp"), 1);
        w.Timer2Timer();
        QCOMPARE(f.requestCount("/gpreadall.asp"), 1);
        QCOMPARE(f.requestCount(kHourPath), 0);

        f.clock.setTime(QTime(10, 30, 1));
        w.Timer2Timer();
        QTRY_COMPARE(f.requestCount(kHourPath), 1);
        QTRY_COMPARE(f.requestCount("/stock/sz/000001/single-pie.htm"), 1);
        QCOMPARE(f.requestCount("/stock/sz/000001/single-barDay.htm"), 0);

        // A failing count ends the tick silently without raising the count; the timer runs on.
        f.box->setFixedPage("/gpreadall.asp", "down", "text/plain", 503);
        s.MinuteTickCount = 20;
        w.Timer2Timer();
        QCOMPARE(s.MinuteTickCount, 20);
        QVERIFY(f.prompter.boxes.isEmpty());
        QVERIFY(w.findChild<QTimer*>("Timer2")->isActive());
    }

    // A code change empties the hourly chart and the hourly, day and pie lists at once and loads
    // the new stock's pages.
    void codeChange()
    {
        AppFixture f(QDateTime(QDate(2026, 12, 9), QTime(14, 30)));
        app::MainWindow w(*f.context, nullptr);
        w.show();
        bigorder::BigOrderController& big = w.bigOrder();
        QTRY_COMPARE_WITH_TIMEOUT(big.lists().HourBuyList.size(), 3, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!big.lists().PieValueList.isEmpty(), 20000);
        w.findChild<QLineEdit*>("Edit1")->setText("600036");
        f.box->setSilent("/stock/sh/600036/single-bar.htm");
        f.box->setSilent("/stock/sh/600036/single-pie.htm");
        w.ChangeStock();
        QVERIFY(big.lists().HourBuyList.isEmpty());
        QVERIFY(big.lists().PieValueList.isEmpty());
        QVERIFY(big.hourlyChart()->series().isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(w.findChild<QGroupBox*>("GroupBox3")->title(),
                                  QStringLiteral("招商银行(600036)近5日大单成交分布图"), 20000);
    }
};

QTEST_MAIN(TestBigOrderWiring)
#include "test_bigorder_wiring.moc"
