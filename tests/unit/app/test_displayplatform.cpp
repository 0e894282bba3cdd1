#include "app/displayplatform.h"

#include <QTest>

using namespace app;

class TestDisplayPlatform : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void choice_data()
    {
        QTest::addColumn<QByteArray>("qpa");
        QTest::addColumn<QByteArray>("wayland");
        QTest::addColumn<QByteArray>("display");
        QTest::addColumn<QByteArray>("platform");
        QTest::addColumn<bool>("note");
        QTest::newRow("wayland with xwayland") << QByteArray() << QByteArray("wayland-0") << QByteArray(":0")
                                               << QByteArray("xcb") << false;
        QTest::newRow("wayland alone") << QByteArray() << QByteArray("wayland-0") << QByteArray()
                                       << QByteArray("wayland") << true;
        QTest::newRow("x11 alone") << QByteArray() << QByteArray() << QByteArray(":0") << QByteArray() << false;
        QTest::newRow("no display") << QByteArray() << QByteArray() << QByteArray() << QByteArray() << false;
        QTest::newRow("user chose wayland") << QByteArray("wayland") << QByteArray("wayland-0") << QByteArray(":0")
                                            << QByteArray() << false;
        QTest::newRow("user chose offscreen") << QByteArray("offscreen") << QByteArray("wayland-0") << QByteArray()
                                              << QByteArray() << false;
        QTest::newRow("user chose xcb") << QByteArray("xcb") << QByteArray() << QByteArray(":1") << QByteArray()
                                        << false;
    }
    void choice()
    {
        QFETCH(QByteArray, qpa);
        QFETCH(QByteArray, wayland);
        QFETCH(QByteArray, display);
        QFETCH(QByteArray, platform);
        QFETCH(bool, note);
        const PlatformChoice c = choosePlatform({qpa, wayland, display});
        QCOMPARE(c.platform, platform);
        QCOMPARE(c.placementNote, note);
    }

    // An empty variable is an unset one, as Qt reads QT_QPA_PLATFORM.
    void emptyVariablesAreUnset()
    {
        qputenv("QT_QPA_PLATFORM", "");
        qputenv("WAYLAND_DISPLAY", "wayland-1");
        qputenv("DISPLAY", "");
        const PlatformChoice c = choosePlatform(currentDisplayEnvironment());
        QCOMPARE(c.platform, QByteArray("wayland"));
        QVERIFY(c.placementNote);
    }
};

QTEST_GUILESS_MAIN(TestDisplayPlatform)
#include "test_displayplatform.moc"
