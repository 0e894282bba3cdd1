// The tray under a real X display with a notification-area host: minimising sends the main
// window there and the menu brings it back.
#include "app/mainwindow.h"
#include "app/tray.h"
#include "appfixture.h"

#include "app/windowset.h"

#include <QAction>
#include <QProcess>
#include <QSystemTrayIcon>

namespace {

// Under a window manager the window is minimised the way its button does it: the manager
// iconifies it and tells the program. Without one the program's own state change stands in.
void minimise(QWidget& w)
{
    if (qEnvironmentVariableIsSet("HUILAN_WM"))
        w.showMinimized();
    else
        w.setWindowState(Qt::WindowMinimized);
}

// An X property of a window as xprop prints it.
QString xprop(const QWidget& w, const char* property)
{
    QProcess p;
    p.start(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(w.winId()),
                                      QString::fromLatin1(property)});
    p.waitForFinished(5000);
    return QString::fromLocal8Bit(p.readAllStandardOutput());
}

} // namespace

class TestTray : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void minimiseGoesToTheTrayAndTheMenuBringsItBack()
    {
        AppFixture f;
        app::MainWindow w(*f.context, nullptr);
        w.show();
        QTRY_VERIFY_WITH_TIMEOUT(app::Tray::available(), 10000);

        minimise(w);
        QTRY_VERIFY(!w.isVisible());
        QVERIFY(f.context->state.HiddenInTray);
        QVERIFY(w.tray().shown());

        w.tray().item("N1")->trigger();
        QTRY_VERIFY(w.isVisible());
        QVERIFY(!f.context->state.HiddenInTray);
        QVERIFY(w.windowFlags() & Qt::Tool);
        QVERIFY(w.tray().shown());   // the icon stays

        minimise(w);   // a second time: the one icon is reused
        QTRY_VERIFY(!w.isVisible());
        QVERIFY(w.tray().shown());

        w.tray().item("N2")->trigger();
        QVERIFY(w.endRequested());
        QVERIFY(!w.tray().shown());
    }

    // A notice of a tray program adds no taskbar entry of its own: its window type is a utility
    // window, not the normal application window that taskbars list. A window manager takes the
    // first type of the list it knows; Qt adds "normal" after it for those that know no other.
    void popupsHaveNoTaskbarEntry()
    {
        if (!qEnvironmentVariableIsSet("HUILAN_WM"))
            QSKIP("needs a window manager");
        AppFixture f;
        app::WindowSet windows(*f.context);
        QVERIFY(windows.startUp());
        QList<QWidget*> popups = {&windows.broadcastWindow(), &windows.flowNotice(), &windows.blogNotice(),
                                  &windows.alertWindow(alerts::AlertKind::Limit)};
        for (QWidget* popup : popups) {
            popup->show();
            QVERIFY(QTest::qWaitForWindowExposed(popup));
            const QString type = xprop(*popup, "_NET_WM_WINDOW_TYPE");
            QVERIFY2(type.section(u'=', 1).trimmed().startsWith(QLatin1String("_NET_WM_WINDOW_TYPE_UTILITY")),
                     qPrintable(popup->objectName() + u' ' + type));
            popup->hide();
        }
    }
};

QTEST_MAIN(TestTray)
#include "test_tray.moc"
