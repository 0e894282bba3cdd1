#include "info/forum.h"

#include <QTest>

using namespace info;

namespace {

const QString kBase = QStringLiteral("http://forum.test");

struct Row {
    QString clicks, replies, href, title, author, date;
};

QString rowHtml(const Row& r)
{
    return QStringLiteral("<ul><li class=l1>%1</li><li class=l2>%2</li><li class=l3><a href=\"%3\" >%4</a></li>"
                          "<li class=l4>%5</li><li class=l5>%6</li><li class=l6>12-09 11:00</li></ul>")
        .arg(r.clicks, r.replies, r.href, r.title, r.author, r.date);
}

QString pageOf(const QList<Row>& rows, const QString& beforeHeading = QString())
{
    QString out = QStringLiteral("<html><body>") + beforeHeading
                  + QStringLiteral("<div><span>点击</span><span>发表日期</span></div>");
    for (const Row& r : rows)
        out += rowHtml(r);
    return out + QStringLiteral("</body></html>");
}

Row post(int n, const QString& date = QStringLiteral("12-09 10:0%1"))
{
    return {QString::number(100 + n), QString::number(n), QStringLiteral("news,600000,%1.html").arg(n),
            QStringLiteral("帖子%1").arg(n), QStringLiteral("作者%1").arg(n), date.arg(n)};
}

const QString kToday = QStringLiteral("2026-12-9");

} // namespace

class TestForum : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void normalisesDates_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("year");
        QTest::addColumn<QString>("expected");
        QTest::newRow("leading zero month") << "03-05 14:22" << 2009 << "2009-3-5";
        QTest::newRow("zero day only") << "12-05 09:00" << 2009 << "2009-12-5";
        QTest::newRow("no zeros to drop") << "10-10 09:05" << 2009 << "2009-10-10";
        QTest::newRow("both zeros") << "01-02 00:00" << 2026 << "2026-1-2";
        QTest::newRow("no time keeps no year") << "03-05" << 2009 << "3-5";
        QTest::newRow("empty") << "" << 2009 << "";
    }
    void normalisesDates()
    {
        QFETCH(QString, text);
        QFETCH(int, year);
        QFETCH(QString, expected);
        QCOMPARE(normaliseForumDate(text, year), expected);
    }

    void readsPostsAfterTheDateHeadingOnly()
    {
        const QString early = rowHtml(post(9));   // a row before the heading is not a post
        const QList<ForumPost> posts = scanForumPage(pageOf({post(1), post(2)}, early), kBase, 2026);
        QCOMPARE(posts.size(), 2);
        QCOMPARE(posts[0].clicks, "101");
        QCOMPARE(posts[0].replies, "1");
        QCOMPARE(posts[0].link, kBase + "/news,600000,1.html");
        QCOMPARE(posts[0].title, "帖子1");
        QCOMPARE(posts[0].date, kToday);
        QCOMPARE(posts[1].link, kBase + "/news,600000,2.html");
        QVERIFY(scanForumPage(rowHtml(post(1)), kBase, 2026).isEmpty());
    }

    void authorsPlainOrInsideALink_data()
    {
        QTest::addColumn<QString>("cell");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain, blanks trimmed") << "\r\n   股海 老刀  " << "股海 老刀";
        QTest::newRow("inside a link") << "<a href=\"http://x/u/1\" target=\"_blank\">价值投资者</a>" << "价值投资者";
        QTest::newRow("link with nested tag") << " <span><a href=\"u\"><b>韭菜</b></a></span> " << "";
        QTest::newRow("closing tag only") << "匿名</a>" << "匿名";
    }
    void authorsPlainOrInsideALink()
    {
        QFETCH(QString, cell);
        QFETCH(QString, expected);
        Row r = post(1);
        r.author = cell;
        const QList<ForumPost> posts = scanForumPage(pageOf({r}), kBase, 2026);
        QCOMPARE(posts.size(), 1);
        QCOMPARE(posts[0].author, expected);
    }

    void cutPagesAndStrayMarkersDoNotCrash()
    {
        const QString page = pageOf({post(1), post(2), post(3)});
        for (qsizetype n = 0; n <= page.size(); ++n)
            QVERIFY(scanForumPage(QStringView(page).left(n), kBase, 2026).size() <= 3);
        // A " >" with no address before it and markers at the very end.
        const QString odd = QStringLiteral("发表日期<li class=l1>1</li><li class=l2>2</li> ><li class=l1>");
        QCOMPARE(scanForumPage(odd, kBase, 2026).size(), 0);
    }

    void addsTodaysNewPostsOnceEach()
    {
        ForumPosts lists;
        QList<ForumPost> found = scanForumPage(
            pageOf({post(1), post(2, QStringLiteral("12-08 23:5%1")), post(3)}), kBase, 2026);
        QCOMPARE(lists.addToday(found, kToday), 2);
        QCOMPARE(lists.PostTitleList, QStringList({"帖子1", "帖子3"}));
        QCOMPARE(lists.PostCountList, QStringList({"101/1", "103/3"}));
        QCOMPARE(lists.PostMarkList.size(), 12);   // one block per post and one for the empty row

        // A minute later the same posts come back with new counts: nothing is added twice.
        Row again = post(1);
        again.clicks = QStringLiteral("999");
        found = scanForumPage(pageOf({again, post(4), post(4)}), kBase, 2026);
        QCOMPARE(lists.addToday(found, kToday), 1);
        QCOMPARE(lists.PostCountList, QStringList({"101/1", "103/3", "104/4"}));
    }

    void earlierDaysOnlyFailTheFirstRead()
    {
        ForumPosts lists;
        const QList<ForumPost> old = scanForumPage(pageOf({post(1, QStringLiteral("12-08 10:0%1"))}), kBase, 2026);
        QCOMPARE(lists.addToday(old, kToday), 0);
        LatestPostUpdate u = lists.updateLatest(0);
        QVERIFY(u.noPosts && u.failure && !u.show);

        // Once the line was filled for this stock, an empty list is no failure.
        lists.addToday(scanForumPage(pageOf({post(1)}), kBase, 2026), kToday);
        QVERIFY(lists.updateLatest(1).show);
        lists.reset();
        u = lists.updateLatest(0);
        QVERIFY(u.noPosts && !u.failure);
        QVERIFY(lists.investorCommentLink.isEmpty());
    }

    void latestPostIsFirstFoundThenLastFound()
    {
        ForumPosts lists;
        int added = lists.addToday(scanForumPage(pageOf({post(1), post(2)}), kBase, 2026), kToday);
        LatestPostUpdate u = lists.updateLatest(added);
        QVERIFY(u.show);
        QCOMPARE(u.post, 0);
        QCOMPARE(lists.investorCommentLink, kBase + "/news,600000,1.html");
        QVERIFY(!lists.updateLatest(0).show);   // nothing new: the line keeps its post
        added = lists.addToday(scanForumPage(pageOf({post(3), post(5)}), kBase, 2026), kToday);
        u = lists.updateLatest(added);
        QCOMPARE(u.post, 3);
        QCOMPARE(lists.investorCommentLink, kBase + "/news,600000,5.html");
    }

    void captionsCutAfterSixteenCharacters()
    {
        const QString sixteen = QStringLiteral("一二三四五六七八九十一二三四五六");
        QCOMPARE(latestCaption(sixteen), sixteen);
        QCOMPARE(latestCaption(sixteen + "七"), sixteen + "...");
    }

    void marksOpenWholeBlocksAndResetKeepsOne()
    {
        ForumPosts lists;
        lists.addToday(scanForumPage(pageOf({post(1), post(2), post(3)}), kBase, 2026), kToday);
        lists.markOpened(2);
        QVERIFY(!lists.opened(1) && lists.opened(2) && !lists.opened(3) && !lists.opened(4));
        QCOMPARE(lists.PostMarkList.mid(4, 4), QStringList(4, "0"));
        lists.markOpened(99);   // past the marks: ignored
        lists.markOpened(0);
        QVERIFY(!lists.opened(99));
        lists.latestPostFlag = true;
        lists.reset();
        QCOMPARE(lists.PostMarkList, QStringList(4, "1"));
        QCOMPARE(lists.count(), 0);
        QVERIFY(lists.latestPostFlag);   // only a change of stock clears it
        // The same links are new again after a reset.
        QCOMPARE(lists.addToday(scanForumPage(pageOf({post(1)}), kBase, 2026), kToday), 1);
    }
};

QTEST_GUILESS_MAIN(TestForum)
#include "test_forum.moc"
