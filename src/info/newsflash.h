// The East Money news flash ("/news/cgszb.html"): the newest item's link and headline.
#pragma once

#include <QString>
#include <QStringView>
#include <optional>

namespace info {

struct NewsItem {
    QString link;       // the article's address, up to and including ".html"
    QString headline;   // the item's title attribute
};

// Scans from the first "<li><span>" to the end of the first item's anchor (`" targe`); nothing
// when the page holds no such item.
std::optional<NewsItem> scanNewsFlash(QStringView page);

} // namespace info
