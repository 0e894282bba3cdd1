// The tray under a real X display with a notification-area host: minimising sends the main
// window there and the menu brings it back.
#include "app/mainwindow.h"
#include "app/tray.h"
#include "appfixture.h"

#include <QAction>
#include <QSystemTrayIcon>

class TestTray : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void minimiseGoesToTheTrayAndTheMenuBringsItBack()
    {
        AppFixture f;
        app::MainWindow w(*f.context, nullptr);
        w.show();
        QTRY_VERIFY_WITH_TIMEOUT(app::Tray::available(), 10000);

        w.setWindowState(Qt::WindowMinimized);
        QTRY_VERIFY(!w.isVisible());
        QVERIFY(f.context->state.HiddenInTray);
        QVERIFY(w.tray().shown());

        w.tray().item("N1")->trigger();
        QTRY_VERIFY(w.isVisible());
        QVERIFY(!f.context->state.HiddenInTray);
        QVERIFY(w.windowFlags() & Qt::Tool);
        QVERIFY(w.tray().shown());   // the icon stays

        w.setWindowState(Qt::WindowMinimized);   // a second time: the one icon is reused
        QTRY_VERIFY(!w.isVisible());
        QVERIFY(w.tray().shown());

        w.tray().item("N2")->trigger();
        QVERIFY(w.endRequested());
        QVERIFY(!w.tray().shown());
    }
};

QTEST_MAIN(TestTray)
#include "test_tray.moc"
