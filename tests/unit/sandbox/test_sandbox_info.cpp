// The sandbox's blogs, news flash and daily index pages, read with the application's own
// scanners. (The directory and the evaluation sites are read end to end by the controller tests.)
#include "blogs.h"
#include "info/blogsearch.h"
#include "info/newsflash.h"
#include "market.h"
#include "net/codecs.h"
#include "newsflash.h"
#include "qqfinance.h"

#include <QSet>
#include <QTest>

using namespace sandbox;
using namespace feed;
using namespace server;

namespace {

const QString kBase = QStringLiteral("http://127.0.0.1:8780");
const QDateTime kMorning(QDate(2026, 12, 9), QTime(9, 0));

QString pathOf(const QString& address)
{
    return address.mid(kBase.size());
}

} // namespace

class TestSandboxInfo : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Over the day each blog's mentions change; code-only blogs never name the stock, UTF-8 blogs
    // are found through their UTF-8 reading only.
    void blogsChangeAndUseEveryStyle()
    {
        Market market;
        const QList<blogs::Entry> dir = blogs::directory(kBase);
        int changed = 0, codeOnly = 0, utf8Only = 0;
        for (int i = 0; i < dir.size(); ++i) {
            const QDateTime evening(kMorning.date(), QTime(21, 0));
            changed += blogs::mentionedCodes(market, i, kMorning) != blogs::mentionedCodes(market, i, evening);
            const std::optional<blogs::Page> page = blogs::page(market, pathOf(dir[i].address), kMorning);
            QVERIFY(page);
            for (const QString& code : blogs::mentionedCodes(market, i, kMorning)) {
                const QString name = market.nameOf(code);
                QVERIFY(info::mentionsStock(page->body, name, code));
                const QString gbk = net::fromGbk(page->body);
                codeOnly += gbk.contains(code) && !gbk.contains(name);
                utf8Only += !gbk.contains(name) && !gbk.contains(code);
            }
            const QString other = market.codes().first();
            if (!blogs::mentionedCodes(market, i, kMorning).contains(other))
                QVERIFY(!info::mentionsStock(page->body, market.nameOf(other), other));
        }
        QVERIFY(changed >= 10);
        QVERIFY(codeOnly > 0);
        QVERIFY(utf8Only > 0);
        QVERIFY(!blogs::page(market, QStringLiteral("/blog/nobody.html"), kMorning));
    }

    // The first item changes a few times a day; its article, and the day's index, are served.
    void newsFlashFirstItemChanges()
    {
        Market market;
        QSet<QString> links;
        for (int hour = 6; hour <= 22; ++hour) {
            const QDateTime t(kMorning.date(), QTime(hour, 0));
            const std::optional<info::NewsItem> item =
                info::scanNewsFlash(net::fromGbk(net::toGbk(newsflash::listPage(market, kBase, t))));
            QVERIFY(item);
            QVERIFY(!item->headline.isEmpty());
            QVERIFY(newsflash::articlePage(market, pathOf(item->link), t)->contains(item->headline));
            links.insert(item->link);
        }
        QCOMPARE(links.size(), 8);   // yesterday's last item, then the seven of the day
        QVERIFY(!newsflash::articlePage(market, QStringLiteral("/news/1406,202612092359.html"), kMorning));

        const std::optional<QString> index =
            qqfinance::dayPage(market, kBase, QStringLiteral("/a/20261208/"), kMorning);
        QVERIFY(index && index->contains(newsflash::itemsOfDay(market, QDate(2026, 12, 8)).first().headline));
        QVERIFY(!qqfinance::dayPage(market, kBase, QStringLiteral("/a/20261210/"), kMorning));
        QVERIFY(!qqfinance::dayPage(market, kBase, QStringLiteral("/a/20261300/"), kMorning));
    }
};

QTEST_GUILESS_MAIN(TestSandboxInfo)
#include "test_sandbox_info.moc"
