// The sandbox's blog directory, blogs, evaluation sites, news flash and daily index pages, read
// with the application's own scanners.
#include "blogs.h"
#include "companion.h"
#include "companioninfo.h"
#include "evaluations.h"
#include "info/blogsearch.h"
#include "info/companionpages.h"
#include "info/newsflash.h"
#include "market.h"
#include "net/codecs.h"
#include "newsflash.h"
#include "qqfinance.h"

#include <QSet>
#include <QTest>

using namespace sandbox;

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
    void directoryParsesWhole()
    {
        const QByteArray reply = net::toGbk(companion::frame(companioninfo::directoryPayload(kBase, kMorning)));
        const info::BlogDirectory dir = info::parseBlogDirectory(reply);
        QCOMPARE(dir.todayLink, kBase + companioninfo::kTodayInfoPath);
        QCOMPARE(dir.addresses.size(), 12);
        QCOMPARE(dir.names.size(), 12);
        for (const QString& name : dir.names) {
            const QByteArray bytes = net::toGbk(name);
            QVERIFY2(!bytes.contains('|') && !bytes.contains('*') && !bytes.contains(']'), qPrintable(name));
        }
    }

    void evaluationListParsesWhole()
    {
        const QByteArray reply = net::toGbk(companion::frame(companioninfo::evaluationsPayload(kBase)));
        Market market;
        for (const QString& code : {QStringLiteral("600000"), QStringLiteral("000001"), QStringLiteral("300059")}) {
            const info::SiteEvaluations sites = info::parseSiteEvaluations(reply, code);
            QCOMPARE(sites.names.size(), 6);
            QCOMPARE(sites.addresses.size(), 6);
            for (const QString& address : sites.addresses) {
                const QString path = pathOf(address).section(u'?', 0, 0);
                const QString query = pathOf(address).section(u'?', 1);
                const std::optional<QString> page = evaluations::page(market, path, query, kMorning);
                QVERIFY2(page && page->contains(market.nameOf(code)), qPrintable(address));
            }
        }
    }

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
