// The QQ finance site's daily index pages ("/a/yyyyMMdd/"): that day's news items. GBK.
#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

namespace feed {
class Market;
}

namespace sandbox {

using namespace feed;

namespace qqfinance {

// Where the live market sends the day's index: East Money's daily summary of the finance news
// ("财经早餐"), the closest real page to the index of the day before.
inline constexpr char kLiveDayIndex[] = "https://stock.eastmoney.com/a/czpnc.html";

// Whether `path` is a day's index path ("/a/yyyyMMdd/").
bool isDayPath(const QString& path);

// The index of the day in `path`; nothing for a malformed path or a day after `t`.
std::optional<QString> dayPage(const Market& market, const QString& baseUrl, const QString& path, const QDateTime& t);

} // namespace qqfinance
} // namespace sandbox
