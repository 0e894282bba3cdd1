// The forum panel against the in-process sandbox: reads fill and extend the grid, the opened
// marks colour the rows, clicks open posts through the browser double, failures show the error
// line and abort silently.
#include "appfixture.h"

#include "core/calendar.h"
#include "core/guard.h"
#include "info/cellgrid.h"
#include "info/forumcontroller.h"
#include "net/codecs.h"
#include "net/httpclient.h"
#include "widgets/widgets.h"

#include <QLabel>
#include <QScrollBar>
#include <QTest>

using info::ForumController;

namespace {

const QColor kLavender(245, 240, 255);
const QColor kYellow(255, 255, 153);

QByteArray forumPage(const QList<int>& posts, const QString& day = QStringLiteral("12-09"))
{
    QString out = QStringLiteral("<html><body><div>发表日期</div>");
    for (int n : posts)
        out += QStringLiteral("<ul><li class=l1>%1</li><li class=l2>%2</li><li class=l3><a href=\"news,600000,%2.html\" >"
                              "帖子标题第%2号</a></li><li class=l4>作者%2</li><li class=l5>%3 10:00</li>"
                              "<li class=l6></li></ul>")
                   .arg(n * 10)
                   .arg(n)
                   .arg(day);
    return net::toGbk(out + QStringLiteral("</body></html>"));
}

} // namespace

class TestForumController : public QObject {
    Q_OBJECT

    std::unique_ptr<AppFixture> fx;
    std::unique_ptr<net::HttpClient> http;
    std::unique_ptr<QWidget> host;
    std::unique_ptr<ForumController> forum;

    app::AppState& state() { return fx->context->state; }
    QString link(int n) const { return fx->box->baseUrl() + QStringLiteral("/news,600000,%1.html").arg(n); }
    bool read() { return app::guarded(fx->prompter, [&] { forum->getgbdata(state().CurrentCode); }); }
    QColor rowColour(int row) const { return forum->grid()->item(row, 1)->background().color(); }

private Q_SLOTS:
    void init()
    {
        fx = std::make_unique<AppFixture>();
        QVERIFY(fx->started);
        http = std::make_unique<net::HttpClient>(QStringLiteral("IdHTTP5"));
        http->setReadTimeout(6000);
        state().CurrentCode = QStringLiteral("600000");
        host = std::make_unique<QWidget>();
        forum = std::make_unique<ForumController>(state(), fx->context->settings, fx->clock, fx->opener, *http);
        forum->grid()->setParent(host.get());
        forum->latestLine()->setParent(host.get());
        forum->newMarker()->setParent(host.get());
        forum->foundAt()->setParent(host.get());
        host->show();
    }
    void cleanup()
    {
        forum.reset();
        host.reset();
        http.reset();
        fx.reset();
    }

    void readsASandboxStockIntoTheGrid()
    {
        QVERIFY(read());
        forum->showposts();
        const info::ForumPosts& posts = forum->posts();
        QVERIFY(posts.count() > 0);
        QCOMPARE(forum->grid()->rowCount(), posts.count() + 2);
        QCOMPARE(forum->grid()->cellText(0, 1), "帖子标题");
        QCOMPARE(forum->grid()->cellText(0, 2), "点击/回复");
        QCOMPARE(forum->grid()->cellText(1, 0), "1");
        QCOMPARE(forum->grid()->cellText(1, 1), posts.PostTitleList[0]);
        QCOMPARE(forum->grid()->currentRow(), posts.count() + 1);
        QCOMPARE(forum->grid()->item(0, 1)->background().color(), QColor(255, 251, 240));
        QCOMPARE(forum->grid()->columnWidth(1), 320);
        QCOMPARE(forum->grid()->rowHeight(1), 20);
        QVERIFY(forum->newMarker()->isVisibleTo(host.get()));
        QCOMPARE(forum->foundAt()->text(), "最新于:10:00:00");
        QCOMPARE(forum->latestLine()->toolTip(), posts.PostTitleList[0]);

        // Later in the day the minute tick appends the new posts below the earlier ones.
        const int before = posts.count();
        fx->clock.advance(4 * 3600);
        fx->box->setClock(fx->clock.now());
        QVERIFY(read());
        forum->showposts();
        QVERIFY(posts.count() > before);
        QCOMPARE(forum->grid()->rowCount(), posts.count() + 2);
        QCOMPARE(forum->grid()->cellText(before + 1, 0), QString::number(before + 1));
        QCOMPARE(forum->latestLine()->toolTip(), posts.PostTitleList.last());
        QCOMPARE(forum->foundAt()->text(), "最新于:14:00:00");
    }

    void threePostsSelectMarkAndRefresh()
    {
        fx->box->setFixedPage("/topic,600000.html", forumPage({1, 2, 3}));
        QVERIFY(read());
        forum->showposts();
        for (int r = 1; r <= 4; ++r)
            QCOMPARE(rowColour(r), kLavender);

        // Clicking row 2 opens the second post and marks it opened.
        QTest::mouseClick(forum->grid()->viewport(), Qt::LeftButton, {},
                          forum->grid()->visualItemRect(forum->grid()->item(2, 1)).center());
        QCOMPARE(fx->opener.opened, QStringList({link(2)}));
        QCOMPARE(forum->grid()->currentRow(), 2);
        // The next tick selects the empty row again; row 2 shows it was opened.
        QVERIFY(read());
        forum->showposts();
        QCOMPARE(forum->grid()->currentRow(), 4);
        QCOMPARE(rowColour(1), kLavender);
        QCOMPARE(rowColour(2), kYellow);
        QCOMPARE(rowColour(3), kLavender);

        // The empty row opens nothing; a second click on the same row opens it again.
        forum->StringGrid1SelectCell(4, 1);
        QCOMPARE(fx->opener.opened.size(), 1);
        QTest::mouseClick(forum->grid()->viewport(), Qt::LeftButton, {},
                          forum->grid()->visualItemRect(forum->grid()->item(1, 1)).center());
        QTest::mouseClick(forum->grid()->viewport(), Qt::LeftButton, {},
                          forum->grid()->visualItemRect(forum->grid()->item(1, 1)).center());
        QCOMPARE(fx->opener.opened, QStringList({link(2), link(1), link(1)}));

        // After a reset the same three posts come back unopened.
        forum->resetposts();
        QCOMPARE(forum->grid()->rowCount(), 2);
        QVERIFY(read());
        forum->showposts();
        for (int r = 1; r <= 3; ++r)
            QCOMPARE(rowColour(r), kLavender);
    }

    // More posts than the box shows: the header row stays at the top while the posts scroll under
    // it, and a post the keyboard reaches is never hidden beneath it.
    void headerRowStaysInSightWhenScrolled()
    {
        QList<int> many;
        for (int n = 1; n <= 30; ++n)
            many << n;
        fx->box->setFixedPage("/topic,600000.html", forumPage(many));
        info::CellGrid* grid = forum->grid();
        grid->setGeometry(0, 0, 516, 140);
        QVERIFY(read());
        forum->showposts();
        QVERIFY(grid->verticalScrollBar()->value() > 0);   // scrolled down to the empty last row

        const QImage shot = grid->grab().toImage();
        const QPoint topLeft = grid->viewport()->geometry().topLeft();
        const QPoint headerCell = topLeft + QPoint(28 + 10, 2);
        QCOMPARE(shot.pixelColor(headerCell), QColor(255, 251, 240));
        const QPoint firstShownRow = topLeft + QPoint(28 + 10, grid->rowHeight(0) + 2);
        QCOMPARE(shot.pixelColor(firstShownRow), kLavender);
        QVERIFY(grid->rowAt(grid->rowHeight(0) + 2) > 1);

        grid->setFocus();
        grid->setCurrentCell(1, 1);
        QVERIFY(grid->visualItemRect(grid->item(1, 1)).top() >= grid->rowHeight(0));
        QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClick(grid, Qt::Key_PageUp);
        const int reached = grid->currentRow();
        QVERIFY(reached > 1 && reached < 31);
        QVERIFY(grid->visualItemRect(grid->item(reached, 1)).top() >= grid->rowHeight(0));
        // The keyboard stops at the first post; the header row never becomes the current row.
        QTest::keyClick(grid, Qt::Key_Home, Qt::ControlModifier);
        QTest::keyClick(grid, Qt::Key_Up);
        QCOMPARE(grid->currentRow(), 1);
        QCOMPARE(grid->verticalScrollBar()->value(), 0);
    }

    void latestLineKeepsTheFirstThenTakesTheNewest()
    {
        fx->box->setFixedPage("/topic,600000.html", forumPage({1, 2}));
        QVERIFY(read());
        QCOMPARE(forum->latestLine()->text(), "帖子标题第1号");
        fx->box->setFixedPage("/topic,600000.html", forumPage({1, 2, 3, 4}));
        QVERIFY(read());
        QCOMPARE(forum->latestLine()->text(), "帖子标题第4号");
        QCOMPARE(forum->posts().investorCommentLink, link(4));

        // A click hides the marker and opens the post.
        forum->latestLine()->clicked();
        QVERIFY(!forum->newMarker()->isVisibleTo(host.get()));
        QVERIFY(!forum->foundAt()->isVisibleTo(host.get()));
        QCOMPARE(fx->opener.opened, QStringList({link(4)}));

        // A new stock: the first post found becomes the line again.
        forum->resetLatestPost();
        forum->resetposts();
        QVERIFY(read());
        QCOMPARE(forum->latestLine()->text(), "帖子标题第1号");
    }

    void earlierDaysAndFailuresShowTheErrorLine()
    {
        fx->box->setFixedPage("/topic,600000.html", forumPage({1, 2}, QStringLiteral("12-08")));
        QVERIFY(!read());
        QCOMPARE(forum->latestLine()->text(), "读取数据出错,或今日无新帖");
        QVERIFY(forum->posts().PostMarkList.size() == 4);

        fx->box->setFixedPage("/topic,600000.html", "busy", "text/html", 500);
        QVERIFY(!read());
        QCOMPARE(forum->latestLine()->text(), "读取数据出错,或今日无新帖");

        // Once posts are listed, a failed read keeps the line and the lists.
        fx->box->setFixedPage("/topic,600000.html", forumPage({1}));
        QVERIFY(read());
        fx->box->clearOverrides();
        fx->box->setSilent("/topic,600000.html");
        http->setReadTimeout(300);
        QVERIFY(!read());
        QCOMPARE(forum->latestLine()->text(), "帖子标题第1号");
        QCOMPARE(forum->posts().count(), 1);
        QVERIFY(fx->prompter.boxes.isEmpty());
    }

    // A new stock whose read fails, or finds nothing of today: the error line keeps nothing of the
    // previous stock's post, and a click on it opens nothing.
    void failedReadForANewStockClearsTheLatestPost_data()
    {
        QTest::addColumn<bool>("serverError");
        QTest::newRow("server error") << true;
        QTest::newRow("no post of today") << false;
    }
    void failedReadForANewStockClearsTheLatestPost()
    {
        QFETCH(bool, serverError);
        fx->box->setFixedPage("/topic,600000.html", forumPage({1}));
        QVERIFY(read());
        QCOMPARE(forum->latestLine()->toolTip(), "帖子标题第1号");

        state().CurrentCode = QStringLiteral("000001");
        ++state().StockGeneration;
        forum->resetLatestPost();
        forum->resetposts();
        if (serverError)
            fx->box->setFixedPage("/topic,000001.html", "busy", "text/html", 500);
        else
            fx->box->setFixedPage("/topic,000001.html", forumPage({2}, QStringLiteral("12-08")));
        QVERIFY(!read());
        QCOMPARE(forum->latestLine()->text(), "读取数据出错,或今日无新帖");
        QVERIFY(forum->latestLine()->toolTip().isEmpty());
        QVERIFY(forum->posts().investorCommentLink.isEmpty());
        QVERIFY(!forum->newMarker()->isVisibleTo(host.get()));
        QVERIFY(forum->foundAt()->text().isEmpty());
        QVERIFY(!forum->foundAt()->isVisibleTo(host.get()));
        forum->latestLine()->clicked();
        QVERIFY(fx->opener.opened.isEmpty());
    }

    void garbageAndHugePagesFailQuietly()
    {
        QByteArray garbage(3 * 1024 * 1024, '\0');
        for (qsizetype i = 0; i < garbage.size(); ++i)
            garbage[i] = char((i * 2654435761u) >> 13);
        fx->box->setFixedPage("/topic,600000.html", garbage);
        QVERIFY(!read());
        QCOMPARE(forum->latestLine()->text(), "读取数据出错,或今日无新帖");
        // A real page cut in the middle of a row keeps the rows before the cut.
        const QByteArray page = forumPage({1, 2, 3});
        fx->box->setFixedPage("/topic,600000.html", page.left(page.indexOf("<li class=l5>", page.indexOf(net::toGbk("帖子标题第3号")))));
        QVERIFY(read());
        QCOMPARE(forum->posts().count(), 2);
        QVERIFY(fx->prompter.boxes.isEmpty());
    }

    void aReplyForAnotherStockIsDropped()
    {
        fx->box->setFixedPage("/topic,600000.html", forumPage({1}));
        // A code change happens while the request waits.
        QTimer::singleShot(0, this, [this] {
            state().CurrentCode = QStringLiteral("000001");
            ++state().StockGeneration;
        });
        QVERIFY(!read());
        QCOMPARE(forum->posts().count(), 0);
        QCOMPARE(forum->latestLine()->text(), QString());
    }
};

QTEST_MAIN(TestForumController)
#include "test_forumcontroller.moc"
