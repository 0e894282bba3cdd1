// The information sites of the sandbox, read over loopback with the application's own scanners:
// every listed stock gets a forum page, commentary, notice list and company page in the layouts
// the scanners read, pages exist behind every entry, and an unknown code gets pages without
// entries.
#include "market.h"
#include "sandbox.h"

#include "core/calendar.h"
#include "info/announcements.h"
#include "info/commentary.h"
#include "info/forum.h"
#include "info/rumours.h"
#include "net/codecs.h"
#include "net/httpclient.h"

#include <QTest>
#include <QUrl>

namespace {

const QDateTime kMorning(QDate(2026, 12, 9), QTime(10, 0));

} // namespace

class TestSandboxInfoSites : public QObject {
    Q_OBJECT

    std::unique_ptr<sandbox::Sandbox> box;
    net::HttpClient http{QStringLiteral("test")};
    QString base;

    QString page(const QString& pathAndQuery)
    {
        return net::fromGbk(http.get(base + pathAndQuery));
    }
    // The page behind an address the scanners found: it must be on the sandbox and answer 200.
    void expectPageBehind(const QString& address)
    {
        QVERIFY2(address.startsWith(base + '/'), qPrintable(address));
        const QString text = page(address.mid(base.size()));
        QVERIFY(!text.isEmpty());
    }

private Q_SLOTS:
    void init()
    {
        sandbox::Options o;
        o.port = 0;
        o.clockStart = kMorning;
        box = std::make_unique<sandbox::Sandbox>(o);
        QVERIFY(box->start());
        base = box->baseUrl();
    }
    void cleanup() { box.reset(); }

    void everyStockHasTodaysPagesInTheScannedLayout()
    {
        int withCommentary = 0, todayNotFirst = 0, moreOnly = 0, noPostsYet = 0, linkedAuthors = 0;
        const QString today = app::dateText(kMorning.date());
        for (const QString& code : box->market().codes()) {
            const QList<info::ForumPost> posts =
                info::scanForumPage(page("/topic," + code + ".html"), base, 2026);
            QVERIFY2(!posts.isEmpty(), qPrintable(code));
            int todays = 0;
            for (const info::ForumPost& p : posts) {
                QVERIFY(!p.title.isEmpty() && !p.author.isEmpty() && !p.author.contains('<'));
                QVERIFY(p.date == today || p.date == "2026-12-8");
                todays += p.date == today;
            }
            noPostsYet += todays == 0;
            linkedAuthors += std::count_if(posts.begin(), posts.end(), [](const info::ForumPost& p) {
                return !p.author.contains('.') && !p.author.isEmpty();
            });
            if (code == box->market().codes().first())
                expectPageBehind(posts.first().link);

            const std::optional<QString> opinion = info::scanCommentary(page(info::commentaryPath(code)));
            if (opinion) {
                ++withCommentary;
                QVERIFY(opinion->startsWith(QStringLiteral("该股今日")));
            }

            info::AnnouncementLists lists;
            info::scanNoticeList(page(info::noticeListPath(code)), base, lists);
            QVERIFY2(lists.titles.size() >= 2, qPrintable(code));
            QCOMPARE(lists.titles.size(), lists.dates.size());
            QVERIFY(info::announcedToday(lists.dates, kMorning.date()).has_value());
            const qsizetype todayRow = lists.dates.indexOf(QStringLiteral("2026-12-09"));
            todayNotFirst += todayRow > 1;
            if (code == box->market().codes().first())
                expectPageBehind(lists.addresses[1]);

            const info::CompanyPageScan news = info::scanCompanyPage(page(info::companyPagePath(code)));
            QVERIFY2(news.rumour.title && news.rumour.link && news.report, qPrintable(code));
            expectPageBehind(*news.rumour.link);
            if (news.report->link.isEmpty())
                ++moreOnly;
            else
                expectPageBehind(news.report->link);
        }
        QVERIFY(withCommentary > 0 && withCommentary < box->market().codes().size());
        QVERIFY(todayNotFirst > 0);
        QVERIFY(moreOnly > 0);
        QVERIFY(linkedAuthors > 0);
        QVERIFY(noPostsYet < box->market().codes().size());
    }

    void newPostsAppearAndCountsGrowDuringTheDay()
    {
        const QString code = box->market().codes().first();
        const QList<info::ForumPost> morning = info::scanForumPage(page("/topic," + code + ".html"), base, 2026);
        box->setClock(kMorning.addSecs(5 * 3600));
        const QList<info::ForumPost> afternoon = info::scanForumPage(page("/topic," + code + ".html"), base, 2026);
        int grown = 0;
        for (const info::ForumPost& p : morning)
            for (const info::ForumPost& q : afternoon)
                if (p.link == q.link && p.date == q.date)
                    grown += q.clicks.toInt() > p.clicks.toInt();
        QVERIFY(grown > 0);
        QVERIFY(afternoon.size() > morning.size() || afternoon.first().link != morning.first().link);
    }

    void unknownCodeGetsPagesWithoutEntries()
    {
        QVERIFY(info::scanForumPage(page("/topic,999999.html"), base, 2026).isEmpty());
        QVERIFY(!info::scanCommentary(page(info::commentaryPath("999999"))));
        info::AnnouncementLists lists;
        info::scanNoticeList(page(info::noticeListPath("999999")), base, lists);
        QCOMPARE(lists.dates, QStringList({info::kNoticeDateHeading}));
        const info::CompanyPageScan news = info::scanCompanyPage(page(info::companyPagePath("999999")));
        QVERIFY(!news.rumour.title && !news.report);
        QVERIFY_THROWS_EXCEPTION(net::HttpFailure, http.get(base + "/news,999999,1.html"));
    }
};

QTEST_GUILESS_MAIN(TestSandboxInfoSites)
#include "test_sandbox_infosites.moc"
