// The TV viewer against the sandbox's channel directory: the column, the menus, the start screen
// and the player's show and hide rules, and the recently watched and favourite lists with their
// files. Playback itself is driven through the status texts here; test_tvplayback plays for real.
#include "net/codecs.h"
#include "tv.h"
#include "tvviewer.h"
#include "widgets/webpane.h"

#include <QApplication>
#include <QFile>
#include <QFrame>
#include <QGraphicsView>
#include <QMouseEvent>

using tv::TvController;

namespace {

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QStringList captions(const QMenu* menu)
{
    QStringList out;
    for (const QAction* a : menu->actions())
        out << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return out;
}

QAction* item(const QMenu* menu, const QString& text)
{
    for (QAction* a : menu->actions())
        if (a->text() == text)
            return a;
    return nullptr;
}

const QColor kLime(0, 255, 0);

} // namespace

class TestTvController : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void playerStatusTexts_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<int>("media");
        QTest::addColumn<bool>("started");
        QTest::addColumn<QString>("text");
        using P = QMediaPlayer;
        QTest::newRow("opening") << int(P::PlayingState) << int(P::LoadingMedia) << false << "正在连接…";
        QTest::newRow("filling") << int(P::PlayingState) << int(P::BufferingMedia) << false << "正在缓冲…";
        QTest::newRow("running, topping up") << int(P::PlayingState) << int(P::BufferingMedia) << true << "正在播放";
        QTest::newRow("stalled") << int(P::PlayingState) << int(P::StalledMedia) << true << "正在缓冲…";
        QTest::newRow("buffered") << int(P::PlayingState) << int(P::BufferedMedia) << false << "正在播放";
        QTest::newRow("stopped") << int(P::StoppedState) << int(P::LoadedMedia) << true << "已停止";
        QTest::newRow("ended") << int(P::PlayingState) << int(P::EndOfMedia) << true << "已停止";
    }
    void playerStatusTexts()
    {
        QFETCH(int, state);
        QFETCH(int, media);
        QFETCH(bool, started);
        QFETCH(QString, text);
        QCOMPARE(tv::playerStatusText(QMediaPlayer::PlaybackState(state), QMediaPlayer::MediaStatus(media),
                                      QMediaPlayer::NoError, {}, started),
                 text);
        QCOMPARE(tv::playerStatusText(QMediaPlayer::PlaybackState(state), QMediaPlayer::MediaStatus(media),
                                      QMediaPlayer::NetworkError, "refused", started),
                 QStringLiteral("播放出错：refused"));
    }

    void columnAndMenusFromTheSandboxDirectory()
    {
        AppFixture f;
        Viewer v(f);
        v.tv->addtv();
        QCOMPARE(v.column(), (QStringList{"财经频道", "地方财经", "测试信号", "最近观看", "收 藏 夹"}));
        const tv::ColumnLabel* last = v.tv->column().last();
        QCOMPARE(last->geometry(), QRect(400 - 80, 20 + 4 * 20, 60, 20));
        QCOMPARE(last->font().pointSize(), 10);

        QMenu* menu = v.open(QStringLiteral("财经频道"));
        QCOMPARE(v.label(QStringLiteral("财经频道"))->background(), kLime);
        // Captions are literal: "&" is doubled so Qt shows it instead of marking a key.
        QCOMPARE(captions(menu), (QStringList{"央视财经", "第一财经", "东方财经"}));
        QVERIFY(!item(menu, "央视财经")->menu());   // its own address: no sub-items
        QCOMPARE(captions(item(menu, "第一财经")->menu()),
                 (QStringList{"第一财经直播", "第一财经(备用)", "沪&&深快讯"}));   // not 跨类频道

        // The multimedia framework is loaded only when the first channel plays.
        QVERIFY(!v.tv->player()->player());
        item(item(menu, "第一财经")->menu(), "沪&&深快讯")->trigger();
        QVERIFY(v.tv->player()->player());
        QCOMPARE(v.tv->nowPlaying().name, QStringLiteral("沪&深快讯"));
        QCOMPARE(v.tv->player()->URL(), f.box->baseUrl() + "/tv/tone.wav?ch=hsk");
        QCOMPARE(v.tvState, QStringLiteral("正在播放:沪&深快讯"));

        // The same name twice: the first with an address plays.
        v.play(QStringLiteral("上海财经"));
        QCOMPARE(v.tv->player()->URL(), f.box->baseUrl() + "/tv/tone.wav?ch=sh");
        v.tv->N3Click();
    }

    void columnWithoutCategoriesAndHoverColours()
    {
        AppFixture f;
        f.box->setFixedPage(sandbox::tv::kDirectoryPath,
                            net::toGbk("<body text=\"#000000\">财经&1&20&31&40</body>"));   // no "***"
        Viewer v(f);
        v.tv->addtv();
        QCOMPARE(v.column(), (QStringList{"最近观看", "收 藏 夹"}));
        tv::ColumnLabel* recent = v.label(QStringLiteral("最近观看"));
        v.tv->msin(recent);
        v.tv->Image24MouseMove();
        QCOMPARE(recent->background(), kLime);   // no categories: the colours stay
        v.tv->msout(recent);
        QCOMPARE(recent->background(), QColor(Qt::white));
        // An empty recently watched list falls through to an (empty) category menu.
        QVERIFY(v.open(QStringLiteral("最近观看"))->actions().isEmpty());

    }

    // Mouse moves over a widget handed to the viewer (over a chart view's viewport, which takes
    // them) clear the column's highlight; moves over any other widget leave it.
    void mouseMovesOverOtherControlsClearTheHighlight()
    {
        AppFixture f;
        Viewer v(f);
        v.tv->addtv();
        QWidget plain(&v.window);
        QGraphicsView area(&v.window);
        QWidget other(&v.window);
        v.tv->clearHighlightOnMouseMove(&plain);
        v.tv->clearHighlightOnMouseMove(&area);
        tv::ColumnLabel* first = v.tv->column().first();
        auto moveOver = [&](QWidget* widget) {
            v.tv->msin(first);
            QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), QPointF(2, 2), Qt::NoButton, Qt::NoButton,
                             Qt::NoModifier);
            QApplication::sendEvent(widget, &move);
            return first->background();
        };
        QCOMPARE(moveOver(&other), kLime);
        QCOMPARE(moveOver(&plain), QColor(Qt::white));
        QCOMPARE(moveOver(area.viewport()), QColor(Qt::white));
    }

    void directoryFailureAbortsWithoutAColumn()
    {
        AppFixture f;
        f.box->setFixedPage(sandbox::tv::kDirectoryPath, "busy", "text/html", 500);
        Viewer v(f);
        bool aborted = false;
        try {
            v.tv->addtv();
        } catch (const SilentAbort&) {
            aborted = true;
        }
        QVERIFY(aborted);
        QVERIFY(v.tv->column().isEmpty());
        QVERIFY(f.prompter.boxes.isEmpty());
    }

    void playerShowAndHideFollowTheStatus()
    {
        AppFixture f;
        Viewer v(f);
        v.tv->addtv();
        v.tv->parkWaitingPage();
        v.play(QStringLiteral("央视财经"));
        QVERIFY(!v.tv->waitingPageParked());
        QCOMPARE(v.tv->waitingPage().x(), 18);
        QVERIFY(v.tv->player()->isVisible());
        QVERIFY(v.tv->controlStrip()->isVisible());

        v.tv->WindowsMediaPlayer1StatusChange(QStringLiteral("正在播放"));
        QVERIFY(v.tv->waitingPageParked());
        v.tv->WindowsMediaPlayer1StatusChange(QStringLiteral("正在缓冲…"));
        QVERIFY(!v.tv->waitingPageParked());
        v.tv->WindowsMediaPlayer1StatusChange(QStringLiteral("正在播放"));
        // Only the exact text ends the display; a longer one holding it does not.
        v.tv->WindowsMediaPlayer1StatusChange(QStringLiteral("媒体已停止播放"));
        QVERIFY(v.tv->player()->isVisible());
        QCOMPARE(v.tvState, QStringLiteral("正在播放:央视财经"));
        v.tv->WindowsMediaPlayer1StatusChange(QStringLiteral("已停止"));
        QVERIFY(!v.tv->player()->isVisible());
        QVERIFY(!v.tv->controlStrip()->isVisible());
        QVERIFY(v.tv->waitingPageParked());
        QCOMPARE(v.tvState, QString());

        v.play(QStringLiteral("东方财经"));
        v.tv->N3Click();   // "返回到选台画面"
        QVERIFY(!v.tv->player()->isVisible());
        QVERIFY(v.tv->waitingPageParked());
        QCOMPARE(v.tvState, QString());
        QCOMPARE(qobject_cast<QMediaPlayer*>(v.tv->player()->player())->playbackState(), QMediaPlayer::StoppedState);
    }

    void onlyStreamAddressesPlay()
    {
        AppFixture f;
        const QString page = "<body text=\"#000000\">本地&1" + sandbox::tv::scramble("file:///etc/passwd-of-the-user")
                             + "&21&31&40***</body>";
        f.box->setFixedPage(sandbox::tv::kDirectoryPath, net::toGbk(page));
        Viewer v(f);
        v.tv->addtv();
        v.play(QStringLiteral("本地"));
        QVERIFY(!v.tv->player()->isVisible());
        QVERIFY(v.tv->lists().recent.isEmpty());
        QVERIFY(v.tv->player()->URL().isEmpty());
    }

    void recentlyWatchedRingSurvivesARestart()
    {
        AppFixture f;
        // Ten lines written by an earlier run, one without "&" (skipped), one address with "&".
        QDir().mkpath(f.context->settings.SystemDir);
        QByteArray lines;
        for (int i = 0; i < 10; ++i)
            lines += net::toGbk(QStringLiteral("频道%1&http://tv.example.cn/live?id=%1&q=hd\r\n").arg(i));
        lines += "no separator here\r\n";
        QFile file(f.systemFile(tv::kRecentFile));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(lines);
        file.close();
        {
            Viewer v(f);
            v.tv->loadLists();
            v.tv->addtv();
            QCOMPARE(v.tv->lists().playCounter, 10);
            QCOMPARE(v.tv->lists().recent[3].address, QStringLiteral("http://tv.example.cn/live?id=3&q=hd"));
            v.play(QStringLiteral("测试音"));   // replaces entry 0
            QCOMPARE(v.tv->lists().recent.size(), 10);
            QCOMPARE(v.tv->lists().recent[0].name, QStringLiteral("测试音"));
            // Plays from the recently watched menu are not recorded.
            QMenu* menu = v.open(QStringLiteral("最近观看"));
            QCOMPARE(menu->actions().size(), 10);
            item(menu, QStringLiteral("频道4"))->trigger();
            QCOMPARE(v.tv->nowPlaying().name, QStringLiteral("频道4"));
            QCOMPARE(v.tv->lists().playCounter, 11);
            v.tv->writeLists();
        }
        const QByteArray saved = fileBytes(f.systemFile(tv::kRecentFile));
        QCOMPARE(saved.count("\r\n"), 10);
        QVERIFY(saved.startsWith(net::toGbk("测试音&" + f.box->baseUrl() + "/tv/tone.wav?ch=tone\r\n频道1&")));

        Viewer again(f);
        again.tv->loadLists();
        again.tv->addtv();
        f.prompter.answers = {false, true};
        again.tv->N11Click();   // cancelled
        QCOMPARE(again.tv->lists().recent.size(), 10);
        again.tv->N11Click();
        QVERIFY(again.tv->lists().recent.isEmpty());
        QCOMPARE(f.prompter.texts(), (QStringList{"确定要删除最近访问过的电视台吗？", "确定要删除最近访问过的电视台吗？",
                                                  "最近访问过的电视台删除成功!"}));
        again.play(QStringLiteral("测试图"));
        QCOMPARE(again.tv->lists().recent.size(), 1);
        QCOMPARE(again.tv->lists().playCounter, 1);
    }

    void favouritesAddDeleteAndTheDeletionMenu()
    {
        AppFixture f;
        {
            Viewer v(f);
            v.tv->loadLists();   // no favourites file: N9 stays without separator
            v.tv->addtv();
            QVERIFY(v.tv->favouritesDeleteMenu()->actions().isEmpty());
            for (const QString& n : {QStringLiteral("央视财经"), QStringLiteral("东方财经")}) {
                v.play(n);
                v.tv->N8Click();
            }
            v.tv->N8Click();   // 东方财经 again
            QCOMPARE(f.prompter.texts(), QStringList{"东方财经已存在,无须再收藏!"});
            QCOMPARE(captions(v.tv->favouritesDeleteMenu()), (QStringList{"央视财经", "东方财经"}));
            v.tv->writeLists();
        }
        QCOMPARE(fileBytes(f.systemFile(tv::kFavouritesFile)),
                 net::toGbk("央视财经&" + f.box->baseUrl() + "/tv/tone.wav?ch=cctv2\r\n东方财经&" + f.box->baseUrl()
                            + "/tv/testcard.mjpg?ch=dfcj\r\n"));

        f.prompter.boxes.clear();
        Viewer v(f);
        v.tv->loadLists();
        v.tv->addtv();
        QMenu* n9 = v.tv->favouritesDeleteMenu();
        QCOMPARE(captions(n9), (QStringList{"央视财经", "东方财经", "-", "删除全部"}));
        v.play(QStringLiteral("测试音"));
        v.tv->N8Click();   // goes in before the separator
        QCOMPARE(captions(n9), (QStringList{"央视财经", "东方财经", "测试音", "-", "删除全部"}));

        item(n9, QStringLiteral("东方财经"))->trigger();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(captions(n9), (QStringList{"央视财经", "测试音", "-", "删除全部"}));
        QCOMPARE(f.prompter.texts(), (QStringList{"确定要删除\"东方财经\"吗？", "注意:\"东方财经\"删除成功!"}));
        QCOMPARE(v.tv->lists().favourites.size(), 2);
        QCOMPARE(v.tv->lists().favourites[1].name, QStringLiteral("测试音"));

        // The favourites menu plays without recording.
        const int plays = v.tv->lists().playCounter;
        item(v.open(QStringLiteral("收 藏 夹")), QStringLiteral("测试音"))->trigger();
        QCOMPARE(v.tv->lists().playCounter, plays);
        QCOMPARE(v.tv->nowPlaying().name, QStringLiteral("测试音"));

        f.prompter.boxes.clear();
        item(n9, QStringLiteral("删除全部"))->trigger();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(captions(n9), (QStringList{"-", "删除全部"}));
        QVERIFY(v.tv->lists().favourites.isEmpty());
        QCOMPARE(f.prompter.texts().last(), QStringLiteral("注意:收藏的电视台地址已被全部删除!"));
    }

    void unreadableListIsReportedAndLeftAlone()
    {
        AppFixture f;
        QDir().mkpath(f.systemFile(tv::kRecentFile));   // a folder where the file should be
        {
            Viewer v(f);
            v.tv->loadLists();
            QCOMPARE(f.prompter.boxes.size(), 1);
            QCOMPARE(f.prompter.boxes[0].kind, QStringLiteral("error"));
            v.tv->addtv();
            v.play(QStringLiteral("测试音"));
            v.tv->N8Click();
            v.tv->writeLists();
        }
        QVERIFY(QFileInfo(f.systemFile(tv::kRecentFile)).isDir());
        QCOMPARE(fileBytes(f.systemFile(tv::kFavouritesFile)).count("\r\n"), 1);
        QCOMPARE(f.prompter.boxes.size(), 1);

        // A save that cannot be written is reported; nothing else happens.
        f.context->settings.SystemDir = f.dir.filePath("gone");
        Viewer w(f);
        w.tv->loadLists();
        QDir(f.dir.filePath("gone")).removeRecursively();
        w.tv->writeLists();
        QCOMPARE(f.prompter.boxes.size(), 3);
    }
};

QTEST_MAIN(TestTvController)
#include "test_tvcontroller.moc"
