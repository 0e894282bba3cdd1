// The well-known stock blogs the companion server's directory lists. Every blog shows its three
// latest posts; a new post every two hours names a few listed stocks, so which stocks a blog
// mentions changes over the sandbox's day. Some blogs write stock names, some only six-digit
// codes, and some are UTF-8 pages.
#pragma once

#include "companioninfo.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

namespace feed {
class Market;
}

namespace sandbox {

using namespace feed;

namespace blogs {

using Entry = server::companioninfo::Blog;

// Every blog with its address on the sandbox, in directory order.
QList<Entry> directory(const QString& baseUrl);
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
