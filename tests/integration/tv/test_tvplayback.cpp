// Plays the sandbox's streams through the real player: the waiting page while it connects, then
// "正在播放"; a stream that never starts keeps the waiting page up. Skipped where the machine has
// no way to output the stream.
#include "tvviewer.h"

#include <QFile>
#include <QSignalSpy>

namespace {

// Waits until the player reports `wanted` or fails; returns the last status.
QString waitFor(const Viewer& v, const QString& wanted, int ms)
{
    auto settled = [&] {
        const QString s = v.tv->player()->status();
        return s == wanted || s.startsWith(QStringLiteral("播放出错"));
    };
    (void)QTest::qWaitFor(settled, ms);   // the caller reads the status either way
    return v.tv->player()->status();
}

// Is a library whose file name contains `name` mapped into this process?
bool loaded(const char* name)
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains(name);
}

// A viewer with its column built and the player prepared, as after the first show.
void prepare(Viewer& v)
{
    v.tv->preparePlayer();
    v.tv->parkWaitingPage();
    v.tv->addtv();
}

} // namespace

class TestTvPlayback : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void toneAndPicturePlay_data()
    {
        QTest::addColumn<QString>("channel");
        QTest::addColumn<bool>("video");
        QTest::newRow("tone") << QStringLiteral("测试音") << false;
        QTest::newRow("test picture") << QStringLiteral("测试图") << true;
    }
    void toneAndPicturePlay()
    {
        QFETCH(QString, channel);
        QFETCH(bool, video);
        // The multimedia libraries are loaded with the player module at the first play.
        if (!loaded("libQt6Multimedia.so"))
            QVERIFY(!loaded("huilan-player.so"));
        // Without a sound device the player falls back to a silent output and still plays; a
        // machine that cannot play the stream at all reports an error and the case is skipped.
        AppFixture f;
        Viewer v(f);
        prepare(v);
        QSignalSpy statuses(v.tv->player(), &tv::PlayerPane::statusChange);
        v.tv->nclick(channel);
        QVERIFY(!v.tv->waitingPageParked());
        const QString status = waitFor(v, QStringLiteral("正在播放"), 45000);
        QVERIFY(loaded("huilan-player.so") && loaded("libQt6Multimedia.so"));
        if (status.startsWith(QStringLiteral("播放出错")))
            QSKIP(qPrintable("the player cannot output this stream here: " + status));
        QCOMPARE(status, QStringLiteral("正在播放"));
        QVERIFY(v.tv->waitingPageParked());
        QCOMPARE(statuses.first().first().toString(), QStringLiteral("正在连接…"));
        QCOMPARE(v.tvState, QStringLiteral("正在播放:") + channel);
        QVERIFY(!f.box->requestsTo(video ? "/tv/testcard.mjpg" : "/tv/tone.wav").isEmpty());

        v.tv->N3Click();
        QCOMPARE(v.tv->player()->status(), QStringLiteral("已停止"));
        QVERIFY(!v.tv->player()->isVisible());
    }

    void neverStartingStreamKeepsTheWaitingPage()
    {
        AppFixture f;
        Viewer v(f);
        prepare(v);
        v.tv->nclick(QStringLiteral("无信号"));
        QTest::qWait(1500);
        QVERIFY(v.tv->player()->status().contains(QStringLiteral("正在连接"))
                || v.tv->player()->status().startsWith(QStringLiteral("播放出错")));
        QVERIFY(!v.tv->waitingPageParked());
        QVERIFY(v.tv->player()->isVisible());
        // Minimising to the tray stops it and goes back to the start screen.
        v.tv->stopForTray();
        QVERIFY(!v.tv->controlStrip()->isVisible());
        QCOMPARE(v.tvState, QString());
    }

    void aMissingPlayerModuleIsReported()
    {
        qputenv("HUILAN_PLAYER_MODULE", "/nonexistent/huilan-player.so");
        AppFixture f;
        Viewer v(f);
        prepare(v);
        v.tv->nclick(QStringLiteral("测试音"));
        qunsetenv("HUILAN_PLAYER_MODULE");
        QVERIFY(v.tv->player()->status().startsWith(QStringLiteral("播放出错：找不到播放组件")));
        QVERIFY(!v.tv->player()->player());
        QVERIFY(!v.tv->waitingPageParked());   // nothing plays: the waiting page stays
        v.tv->N3Click();
        QCOMPARE(v.tv->player()->status(), QStringLiteral("已停止"));
    }
};

QTEST_MAIN(TestTvPlayback)
#include "test_tvplayback.moc"
