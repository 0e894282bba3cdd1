// The desktop ticker as the program wires it: the tray item N13 with its check mark, the index
// cells after the main window's index fetch, and the settings dialog's pause and rebuild.
#include "app/mainwindow.h"
#include "app/tray.h"
#include "app/windowset.h"
#include "appfixture.h"
#include "settings/settingsdialog.h"
#include "ticker/tickercontroller.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

namespace {

struct WiredFixture : AppFixture {
    WiredFixture() : windows(*context) { started = started && windows.startUp(); }
    ticker::TickerController& ticker() { return windows.ticker(); }
    QAction* n13() { return windows.main().tray().item("N13"); }
    void clickDialog(const char* name)
    {
        QTest::mouseClick(windows.settingsDialog().findChild<QWidget*>(QString::fromLatin1(name)), Qt::LeftButton);
    }
    void addInDialog(const QString& code)
    {
        auto* edit = windows.settingsDialog().findChild<QLineEdit*>(QStringLiteral("Edit1"));
        edit->setText(code);
        clickDialog("BitBtn1");
    }
    void openDialog()
    {
        QTest::mouseClick(windows.main().findChild<QWidget*>(QStringLiteral("Label18")), Qt::LeftButton);
    }
    app::WindowSet windows;
};

} // namespace

class TestTickerWiring : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void trayItemSwitchesTheTickerAndCarriesItsCheckMark()
    {
        WiredFixture f;
        QVERIFY(f.started);
        QVERIFY(f.n13()->isCheckable());
        QVERIFY(!f.n13()->isChecked());
        QVERIFY(!f.ticker().window().isVisible());
        f.n13()->trigger();
        QVERIFY(f.ticker().window().isVisible());
        QVERIFY(f.n13()->isChecked());
        f.n13()->trigger();
        QVERIFY(!f.ticker().window().isVisible());
        QVERIFY(!f.n13()->isChecked());
        f.n13()->trigger();
        f.ticker().window().close();   // a close through the window manager unchecks it too
        QVERIFY(!f.n13()->isChecked());
        // Hiding the main window to the tray leaves the ticker where it is.
        f.n13()->trigger();
        f.windows.main().windowmin();
        QVERIFY(f.ticker().window().isVisible());
    }

    void indexCellsFollowTheMainWindowsIndexFetch()
    {
        WiredFixture f;
        QVERIFY(f.started);
        f.windows.main().Timer1Timer();   // its first tick reads the index page
        QVERIFY(!f.context->index.shanghai.value.isEmpty());
        auto* cell = f.ticker().window().findChild<QLabel*>(QStringLiteral("Label8"));
        QCOMPARE(cell->text(), f.context->index.shanghai.value);
        QCOMPARE(f.ticker().window().findChild<QLabel*>(QStringLiteral("Label19"))->text(),
                 f.context->index.shenzhen.amount);
        QVERIFY(!f.ticker().window().isVisible());
    }

    void theSettingsDialogPausesAndItsSaveRebuilds()
    {
        WiredFixture f;
        QVERIFY(f.started);
        f.n13()->trigger();
        QCOMPARE(f.ticker().window().builtRows(), 0);
        f.openDialog();
        QVERIFY(f.ticker().paused());
        QVERIFY(!f.ticker().timer().isActive());
        f.addInDialog(QStringLiteral("600036"));
        f.addInDialog(QStringLiteral("000001"));
        f.clickDialog("BitBtn3");   // save
        QVERIFY(!f.ticker().paused());
        QVERIFY(f.ticker().timer().isActive());
        QCOMPARE(f.ticker().rowCodes(), (QStringList{"600036", "000001"}));
        QCOMPARE(f.ticker().window().builtRows(), 2);

        // Adding a third stock and leaving without saving keeps the two rows.
        f.openDialog();
        f.addInDialog(QStringLiteral("600519"));
        f.prompter.answers = {true};
        f.clickDialog("BitBtn4");
        QVERIFY(!f.windows.settingsDialog().isVisible());
        QVERIFY(f.ticker().timer().isActive());
        QCOMPARE(f.ticker().window().builtRows(), 2);
        // Only the ticker asks for quotes from here on: the main window's quote and alert timers stop.
        f.windows.main().findChild<QTimer*>(QStringLiteral("Timer1"))->stop();
        f.windows.main().alertTimer()->stop();
        f.box->clearRequests();
        for (int i = 0; i < 4; ++i) {
            f.ticker().Timer1Timer();
            QTRY_VERIFY(!f.ticker().waiting());
        }
        const QList<sandbox::LoggedRequest> asked = f.box->requestsTo(kQuotePath);
        QCOMPARE(asked.size(), 3);   // two stocks, the idle second, the first again
        for (const sandbox::LoggedRequest& r : asked)
            QVERIFY2(!r.query.contains(QStringLiteral("600519")), qPrintable(r.query));
    }
};

QTEST_MAIN(TestTickerWiring)
#include "test_ticker_wiring.moc"
