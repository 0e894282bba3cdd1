// The recommendation window as the program wires it: the main window's prompt timer, the tray
// items and the main window disabled while the window is open.
#include "app/mainwindow.h"
#include "app/tray.h"
#include "app/windowset.h"
#include "appfixture.h"
#include "recommend/recommendwindow.h"

#include <QAction>
#include <QCheckBox>
#include <QTimer>

class TestRecommendWiring : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void firstPromptTickOpensTheBoardAndTheNextFindsNothingNew()
    {
        AppFixture f;
        app::WindowSet windows(*f.context);
        QVERIFY(windows.startUp());
        recommend::RecommendController& rc = windows.recommendations();
        QVERIFY(!rc.windowVisible());
        windows.main().Timer9Timer();
        QVERIFY(rc.windowVisible());
        QVERIFY(!windows.main().isEnabled());
        QVERIFY(!f.context->state.NewRecommendations);
        QVERIFY(windows.main().promptTimer()->isActive());
        QVERIFY(rc.window().visibleLineCount() > 0);
        const int reads = f.requestCount(QStringLiteral("/gpjgshow.asp"));
        windows.main().Timer9Timer();   // the window is open: the tick does nothing
        QCOMPARE(f.requestCount(QStringLiteral("/gpjgshow.asp")), reads);
        rc.window().close();
        QVERIFY(windows.main().isEnabled());
        windows.main().Timer9Timer();
        QVERIFY(!rc.windowVisible());   // the same board again: nothing new
        QCOMPARE(f.requestCount(QStringLiteral("/gpjgshow.asp")), reads + 1);
    }

    void promptSwitchedOffKeepsTheWindowShutUntilTheTrayItemSwitchesItOn()
    {
        AppFixture f;
        app::WindowSet windows(*f.context);
        QVERIFY(windows.startUp());
        recommend::RecommendController& rc = windows.recommendations();
        app::Tray& tray = windows.main().tray();
        rc.window().promptOffBox->click();
        QVERIFY(f.context->state.RecommendPromptOff);
        QVERIFY(!tray.item("N15")->isChecked());
        windows.main().Timer9Timer();
        QVERIFY(!rc.windowVisible());
        QVERIFY(rc.list().size() > 0);   // merged silently
        tray.item("N15")->trigger();
        QVERIFY(tray.item("N15")->isChecked());
        QVERIFY(!rc.window().promptOffBox->isChecked());
        QVERIFY(!f.context->state.RecommendPromptOff);
    }

    void trayItemOpensTheWindowAndABoardFailureKeepsItShut()
    {
        AppFixture f;
        app::WindowSet windows(*f.context);
        QVERIFY(windows.startUp());
        recommend::RecommendController& rc = windows.recommendations();
        app::Tray& tray = windows.main().tray();
        f.box->setFixedPage(QStringLiteral("/gpjgshow.asp"), "down", "text/html", 500);
        tray.item("N14")->trigger();
        QVERIFY(!rc.windowVisible());
        QVERIFY(windows.main().isEnabled());
        windows.main().Timer9Timer();   // a failed tick ends quietly and the timer runs on
        QVERIFY(windows.main().promptTimer()->isActive());
        QVERIFY(f.prompter.texts().isEmpty());
        f.box->clearOverrides();
        tray.item("N14")->trigger();
        QVERIFY(rc.windowVisible());
        QVERIFY(!windows.main().isEnabled());
    }
};

QTEST_MAIN(TestRecommendWiring)
#include "test_recommend_wiring.moc"
