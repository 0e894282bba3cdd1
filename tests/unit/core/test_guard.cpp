#include "core/guard.h"

#include <QTest>

class TestGuard : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // A handler's pause switches its timer on again on every way out, unless the timer was
    // switched off from outside while the handler waited.
    void pauseRestartsUnlessStoppedMeanwhile()
    {
        QTimer t;
        t.start(1000);
        {
            app::TimerPause pause(t);
            QVERIFY(!t.isActive());
        }
        QVERIFY(t.isActive());
        try {
            app::TimerPause pause(t);
            throw SilentAbort{};
        } catch (const SilentAbort&) {
        }
        QVERIFY(t.isActive());
        {
            app::TimerPause pause(t);
            app::stopTimer(t);   // a dialog opened while the handler waited
        }
        QVERIFY(!t.isActive());
        t.start();
        {
            app::TimerPause pause(t);   // the dialog closed again: pauses work as before
        }
        QVERIFY(t.isActive());
    }
};

QTEST_GUILESS_MAIN(TestGuard)
#include "test_guard.moc"
