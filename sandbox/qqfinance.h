// The QQ finance site's daily index pages ("/a/yyyyMMdd/"): that day's news items. GBK.
#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

namespace sandbox {

class Market;

namespace qqfinance {

// The index of the day in `path`; nothing for a malformed path or a day after `t`.
std::optional<QString> dayPage(const Market& market, const QString& baseUrl, const QString& path, const QDateTime& t);

} // namespace qqfinance
} // namespace sandbox
