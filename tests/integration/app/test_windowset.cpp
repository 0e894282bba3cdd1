// The program's windows as main() wires them: the alert tick's results reach the pop-ups, and
// the notice pause boxes and the tray's resume items follow each other.
#include "app/mainwindow.h"
#include "app/tray.h"
#include "app/windowset.h"
#include "appfixture.h"
#include "core/eventlog.h"
#include "bigorder/bigorderwindows.h"
#include "recommend/recommendwindow.h"
#include "settings/settingsdialog.h"
#include "ticker/tickercontroller.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>

namespace {

// The program's own timers (objectName "TimerN") by owner and name, with their intervals.
QMap<QString, int> timerIntervals(app::WindowSet& windows)
{
    QList<QTimer*> timers = windows.main().findChildren<QTimer*>();
    timers << &windows.ticker().timer();
    QMap<QString, int> out;
    for (QTimer* t : timers)
        if (t->objectName().startsWith(QLatin1String("Timer")))
            out.insert(t->parent()->metaObject()->className() + (u'/' + t->objectName()), t->interval());
    return out;
}

// A tick result holding the opening broadcast of one stock.
alerts::TickResult openingBroadcast()
{
    alerts::TickResult r;
    alerts::Broadcast b;
    b.title = "现在(9:28:05)播报开盘价";
    b.heading = "开盘价";
    b.rows = {{"1", "招商银行(600036)", "35.30", "0.0↑", "0"}};
    r.broadcast = b;
    return r;
}

QStringList g_logged;
void keepMessage(QtMsgType, const QMessageLogContext& context, const QString& text)
{
    if (QLatin1String(context.category) == QLatin1String("huilan.events"))
        g_logged << text;
}

} // namespace

class TestWindowSet : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void tickResultsReachThePopups()
    {
        AppFixture f;
        app::WindowSet windows(*f.context);
        QVERIFY(windows.startUp());
        alerts::TickResult r = openingBroadcast();
        const alerts::Broadcast& b = *r.broadcast;
        r.alerts = {{alerts::AlertKind::RiseFall, "first", "line", false, alerts::Icon::Up},
                    {alerts::AlertKind::RiseFall, "second", "line", true, alerts::Icon::Down},
                    {alerts::AlertKind::LargeTrade, "trade", "line", false, alerts::Icon::None}};
        windows.showAlerts(r);
        QVERIFY(windows.broadcastWindow().isVisible());
        QCOMPARE(windows.broadcastWindow().findChild<QLabel*>("Panel1")->text(), b.title);
        QCOMPARE(windows.broadcastWindow().findChild<QTableWidget*>("StringGrid1")->item(1, 1)->text(),
                 QStringLiteral("招商银行(600036)"));
        alerts::AlertWindow& rise = windows.alertWindow(alerts::AlertKind::RiseFall);
        QVERIFY(rise.isVisible());
        QCOMPARE(rise.findChild<QLabel*>("Label1")->text(), QStringLiteral("second"));   // the later one is left
        QVERIFY(windows.alertWindow(alerts::AlertKind::LargeTrade).isVisible());
        QVERIFY(!windows.alertWindow(alerts::AlertKind::Limit).isVisible());
        QVERIFY(!windows.alertWindow(alerts::AlertKind::LargeOrder).isVisible());
        for (const char* name : {"TForm5", "TForm6", "TForm7", "TForm8", "TForm9", "TForm10", "TForm11"}) {
            bool found = false;
            for (QWidget* w : QApplication::topLevelWidgets())
                found = found || w->objectName() == QLatin1String(name);
            QVERIFY2(found, name);
        }
    }

    // An alert tick that runs while the first show still waits on the network shows its pop-up.
    void alertsDecidedDuringTheFirstShowAreShown()
    {
        AppFixture f;
        f.storeOneWatchedStock("0001", "4", "2", "10");
        f.box->setFixedPage(kQuotePath + "?type=z&fav=600036&hick=zhou",
                            "x,600036,招商银行,38.50,3.01%,1.12,38.49,10,38.50,12,900,1000,37.4,37.38,38.6,37.3,1,5,t,",
                            "text/html; charset=utf-8");
        f.box->holdReplies("/topic,000001.html", QByteArray());   // start's forum read waits
        app::WindowSet windows(*f.context);
        bool ticked = false;
        whenHeld(*f.box, [&] {
            ticked = true;
            windows.main().alerts().Timer4Timer();
            f.box->releaseHeld();
        });
        QVERIFY(windows.startUp());
        QVERIFY(ticked);
        alerts::AlertWindow& rise = windows.alertWindow(alerts::AlertKind::RiseFall);
        QVERIFY(rise.isVisible());
        QCOMPARE(rise.findChild<QLabel*>("Label1")->text(), QStringLiteral("注意:招商银行(600036) 涨幅超过3.01%"));
    }

    // Windows that open by themselves over a dialog: the pie of the hourly announcement and the
    // recommendation prompt over the settings dialog. The main window stays disabled until the
    // last of them closes, whichever closes first.
    void mainWindowComesBackWhenTheLastDialogCloses()
    {
        AppFixture f(QDateTime(QDate(2026, 12, 9), QTime(10, 30)));
        app::WindowSet windows(*f.context);
        QVERIFY(windows.startUp());
        app::MainWindow& w = windows.main();
        QTRY_VERIFY_WITH_TIMEOUT(!w.bigOrder().lists().PieValueList.isEmpty(), 20000);
        QTest::mouseClick(w.findChild<QWidget*>("Label18"), Qt::LeftButton);
        settings::SettingsDialog& dialog = windows.settingsDialog();
        QVERIFY(dialog.isVisible());
        w.bigOrder().dbshow();
        bigorder::PieWindow& pie = w.bigOrder().pieWindow();
        QVERIFY(pie.isVisible());
        w.Timer9Timer();
        QWidget& board = windows.recommendations().window();
        QVERIFY(board.isVisible());

        pie.close();
        QVERIFY(!w.isEnabled());
        w.bigOrder().dbshow();   // the pie again, then the dialog goes first
        dialog.close();          // leaving without saving: the question is answered OK
        QVERIFY(!dialog.isVisible());
        QVERIFY(!w.isEnabled());
        board.close();
        QVERIFY(!w.isEnabled());
        pie.close();
        QVERIFY(w.isEnabled());
    }

    void pauseBoxesAndTrayItemsFollowEachOther()
    {
        AppFixture f;
        app::WindowSet windows(*f.context);
        QVERIFY(windows.startUp());
        app::Tray& tray = windows.main().tray();
        auto* flowBox = windows.flowNotice().findChild<QCheckBox*>("CheckBox1");
        flowBox->click();
        QVERIFY(windows.pauses().flow);
        QVERIFY(!tray.item("N5")->isChecked());
        tray.item("N5")->trigger();
        QVERIFY(!windows.pauses().flow);
        QVERIFY(!flowBox->isChecked());
        QVERIFY(tray.item("N5")->isChecked());

        auto* blogBox = windows.blogNotice().findChild<QCheckBox*>("CheckBox1");
        blogBox->click();
        QVERIFY(windows.pauses().blog);
        QVERIFY(!tray.item("N7")->isChecked());
        QVERIFY(tray.item("N5")->isChecked());   // the other item is left alone
        tray.item("N7")->trigger();
        QVERIFY(!windows.pauses().blog);
        QVERIFY(!blogBox->isChecked());
    }

    void startUpThatEndsCreatesNoOtherWindow()
    {
        AppFixture f;
        f.box->setStatus("ban");
        app::WindowSet windows(*f.context);
        QVERIFY(!windows.startUp());
        QVERIFY(windows.main().endRequested());
        for (QWidget* w : QApplication::topLevelWidgets())
            QVERIFY2(w->objectName() != QLatin1String("TForm3") && w->objectName() != QLatin1String("TForm5"),
                     qPrintable(w->objectName()));
    }

    // Against a clock running eight times as fast, every timer of the program fires eight times
    // as often, so the ticks keep their pace in clock time (the --speed option).
    void timersFollowTheClockSpeed()
    {
        QMap<QString, int> normal;
        {
            AppFixture f;
            app::WindowSet windows(*f.context);
            QVERIFY(windows.startUp());
            normal = timerIntervals(windows);
        }
        AppFixture f;
        f.clock.setSpeed(8);
        app::WindowSet windows(*f.context);
        QVERIFY(windows.startUp());
        const QMap<QString, int> fast = timerIntervals(windows);
        QCOMPARE(fast.keys(), normal.keys());
        QVERIFY(normal.size() >= 10);   // Timer1 to Timer9 and the ticker's
        for (auto it = normal.cbegin(); it != normal.cend(); ++it)
            QVERIFY2(fast.value(it.key()) == qMax(1, qRound(it.value() / 8.0)), qPrintable(it.key()));
    }

    // The event log is off unless switched on; on, it names each broadcast, alert and stock
    // change with the program's clock time.
    void eventLogFollowsWhatTheUserIsShown()
    {
        AppFixture f;
        app::WindowSet windows(*f.context);
        QVERIFY(windows.startUp());
        alerts::TickResult r = openingBroadcast();
        r.alerts = {{alerts::AlertKind::Limit, "注意:招商银行(600036) 股价接近涨停或已涨停", "line", false,
                     alerts::Icon::Up}};
        g_logged.clear();
        const QtMessageHandler previous = qInstallMessageHandler(keepMessage);
        windows.showAlerts(r);
        QVERIFY(g_logged.isEmpty());

        QLoggingCategory::setFilterRules("huilan.events.info=true");
        windows.showAlerts(r);
        auto* edit = windows.main().findChild<QLineEdit*>("Edit1");
        edit->setText("600036");
        windows.main().ChangeStock();
        edit->setText("600999");   // no such stock: no change to log
        windows.main().ChangeStock();
        QLoggingCategory::setFilterRules(QString());
        qInstallMessageHandler(previous);
        QCOMPARE(g_logged, (QStringList{"2026-12-09 10:00:00 broadcast 现在(9:28:05)播报开盘价",
                                        "2026-12-09 10:00:00 alert 注意:招商银行(600036) 股价接近涨停或已涨停",
                                        "2026-12-09 10:00:00 stock 600036 招商银行"}));
    }
};

QTEST_MAIN(TestWindowSet)
#include "test_windowset.moc"
