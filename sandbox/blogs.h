// The well-known stock blogs the companion server's directory lists. Every blog shows its three
// latest posts; a new post every two hours names a few listed stocks, so which stocks a blog
// mentions changes over the sandbox's day. Some blogs write stock names, some only six-digit
// codes, and some are UTF-8 pages.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

namespace sandbox {

class Market;

namespace blogs {

struct Entry {
    QString address;
    QString name;
};

// Every blog with its address on the sandbox, in directory order.
QList<Entry> directory(const QString& baseUrl);
// The live market's directory: well-known stock bloggers whose Sina blogs are still plain HTML
// article lists, each at `sinaBlogBase` + "/s/articlelist_UID_0_1.html".
QList<Entry> liveDirectory(const QString& sinaBlogBase);

// The codes blog `index` mentions at `t`.
QStringList mentionedCodes(const Market& market, int index, const QDateTime& t);

struct Page {
    QByteArray body;
    QByteArray contentType;
};
// The blog page at `path` ("/blog/<id>.html"); nothing for an unknown blog.
std::optional<Page> page(const Market& market, const QString& path, const QDateTime& t);

} // namespace blogs
} // namespace sandbox
