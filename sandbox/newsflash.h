// The East Money stock site's news flash: the list page "/news/cgszb.html" whose first item
// changes a few times a day, and an article page behind every item. GBK.
#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

namespace feed {
class Market;
struct NewsEntry;
}

namespace sandbox {

using namespace feed;

namespace newsflash {

struct Item {
    QDateTime time;     // when the item appeared
    QString id;         // yyyyMMddhhmm
    QString headline;
    QString body;
};

// The path of an item's article page.
QString articlePath(const Item& item);
// The items of one day, oldest first (seven a day, from early morning to the evening).
QList<Item> itemsOfDay(const Market& market, const QDate& date);
// The `count` newest items that have appeared at `t`, newest first.
QList<Item> latest(const Market& market, const QDateTime& t, int count);

QString listPage(const Market& market, const QString& baseUrl, const QDateTime& t);
// The list page of `items` (newest first); an item without an address of its own links to its
// article page on this site.
QString listPageOf(const QString& baseUrl, const QList<NewsEntry>& items);
// The simulated world's newest items as the feed gives them.
QList<NewsEntry> entries(const QList<Item>& items);
// The article at `path` ("/news/1406,<id>.html"); nothing for an unknown or future item.
std::optional<QString> articlePage(const Market& market, const QString& path, const QDateTime& t);

// The page behind today's information link on the sandbox: the day's news items so far and the
// day's biggest movers.
inline const QString kTodayInfoPath = QStringLiteral("/gptodayinfo.html");
QString todayInfoPage(Market& market, const QString& baseUrl, const QDateTime& t);

} // namespace newsflash
} // namespace sandbox
