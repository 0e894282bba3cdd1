// The program icon is compiled in at the sizes windows and trays use, and the main window and the
// tray show it, so the task bar, the tray and the menu entry all show one picture.
#include "app/mainwindow.h"
#include "app/programicon.h"
#include "app/startuploader.h"
#include "app/tray.h"
#include "appfixture.h"
#include "store/alertstore.h"

#include "widgets/widgets.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QSystemTrayIcon>
#include <QTemporaryDir>

class TestProgramIcon : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // First, before anything here uses a font: the installed fonts are listed on the loader's
    // thread while this thread draws Chinese text, and both end with the same list; the
    // database driver the thread loaded opens databases here.
    void fontsListedBesideTheFirstCaption()
    {
        app::StartupLoader loader;
        std::jthread list = loader.loadAfterApplication();
        QLabel label(QStringLiteral("汇澜股票情报系统"));
        label.setFont(QFont(app::chineseFontFamilies()));
        QVERIFY(!label.grab().isNull());
        list.join();
        const QStringList families = QFontDatabase::families();
        QVERIFY(families.contains(QFontInfo(label.font()).family()));
        QVERIFY(QFontMetrics(label.font()).inFontUcs4(U'汇'));
        QTemporaryDir dir;
        store::AlertStore store;
        store.createbase(dir.filePath(QStringLiteral("gpbd0856.dat")));
        QVERIFY(store.isOpen());
    }

    void windowAndTraySizesAreCompiledIn()
    {
        const QIcon icon = app::programIcon();
        for (int size : {16, 22, 24, 32, 48, 64}) {
            QVERIFY2(icon.availableSizes().contains(QSize(size, size)), qPrintable(QString::number(size)));
            const QImage image = icon.pixmap(size).toImage();
            QCOMPARE(image.size(), QSize(size, size));
            // Rounded corners are see-through; the middle of the navy square is not.
            QCOMPARE(image.pixelColor(0, 0).alpha(), 0);
            QCOMPARE(image.pixelColor(size / 2, size / 8).alpha(), 255);
        }
    }

    // The default font is the first installed face of the program's list (setup installs the
    // first), and it draws Chinese itself rather than through a fallback search.
    void defaultFontIsTheFirstInstalledChineseFace()
    {
        const QFont before = QApplication::font();
        app::useChineseDefaultFont();
        const QStringList installed = QFontDatabase::families();
        QString expected;
        for (const QString& family : app::chineseFontFamilies()) {
            if (installed.contains(family)) {
                expected = family;
                break;
            }
        }
        QVERIFY2(!expected.isEmpty(), "no Chinese face of the list is installed");
        QCOMPARE(QFontInfo(QApplication::font()).family(), expected);
        QVERIFY(QFontMetrics(QApplication::font()).inFontUcs4(U'汇'));
        QApplication::setFont(before);
    }

    void windowAndTrayShowIt()
    {
        AppFixture f;
        app::MainWindow window(*f.context, nullptr);
        const QImage expected = app::programIcon().pixmap(48).toImage();
        QCOMPARE(window.windowIcon().pixmap(48).toImage(), expected);
        QCOMPARE(window.tray().icon()->icon().pixmap(48).toImage(), expected);
    }
};

QTEST_MAIN(TestProgramIcon)
#include "test_programicon.moc"
