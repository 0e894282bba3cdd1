// The large-order statistics site: three small chart pages per stock (hourly, daily and by trade
// size), each carrying its chart data inline as "&key=items&" in the chart's flash variables.
#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

namespace sandbox {

class Market;

namespace bigorder {

// The page at `path` ("/stock/sz/000001/single-bar.htm", compared without case) at moment `t`;
// nothing when the path is not one of this site's pages. An unknown stock gets a page without data.
std::optional<QString> page(Market& market, const QString& path, const QDateTime& t);

} // namespace bigorder
} // namespace sandbox
