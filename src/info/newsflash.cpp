#include "info/newsflash.h"

#include "net/scan.h"

namespace info {

std::optional<NewsItem> scanNewsFlash(QStringView page)
{
    const qsizetype armed = page.indexOf(u"<li><span>");
    if (armed < 0)
        return std::nullopt;
    NewsItem item;
    qsizetype start = armed;
    // A marker met before the one it pairs with leaves a span that may run backwards; such a
    // span is empty.
    auto span = [&](qsizetype from, qsizetype end) {
        return end > from ? page.sliced(from, end - from).toString() : QString();
    };
    for (qsizetype p = armed; p < page.size(); ++p) {
        if (net::at(page, p, u"href=\""))
            start = p + 6;
        if (net::at(page, p, u".html"))
            item.link = span(start, p + 5);
        if (net::at(page, p, u"title=\""))
            start = p + 7;
        if (net::at(page, p, u"\" targe")) {
            item.headline = span(start, p);
            return item;
        }
    }
    return std::nullopt;
}

} // namespace info
