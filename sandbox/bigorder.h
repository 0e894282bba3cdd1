// The large-order statistics site: three small chart pages per stock (hourly, daily and by trade
// size), each carrying its chart data inline as "&key=items&" in the chart's flash variables.
#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

namespace feed {
class Market;
struct BigOrderAnswer;
}

namespace sandbox {

using namespace feed;

namespace bigorder {

enum class Kind { Hourly, Day, Pie };

// What a path of this site asks for: which page of which stock.
struct Request {
    Kind kind;
    QString code;
    bool marketMatches;   // the "sh"/"sz" part agrees with the code
    int days() const { return kind == Kind::Day ? 10 : 1; }
};

// Nothing when the path is not one of this site's pages.
std::optional<Request> parse(const QString& path);
// The page of `request` written from the stock's large trades (a page without data for an
// unknown stock, or one whose market part is wrong).
QString pageFor(const Request& request, const BigOrderAnswer& answer);

// The page at `path` ("/stock/sz/000001/single-bar.htm", compared without case) at moment `t`;
// nothing when the path is not one of this site's pages. An unknown stock gets a page without data.
std::optional<QString> page(Market& market, const QString& path, const QDateTime& t);

} // namespace bigorder
} // namespace sandbox
