// The outside information sites the stock-news panels read: the stock forum, the commentary page,
// the notice list and the company news page. Each answers the paths of its own site and returns
// none for any other path; pages are generated from the market world for every listed stock, and
// an unknown code gets the site's page without entries.
#pragma once

#include <QDateTime>
#include <QString>
#include <functional>
#include <optional>

namespace sandbox {

class Market;

// A query or form field of the request by name.
using FieldReader = std::function<QString(const QString&)>;

struct SitePage {
    QString html;
    int status = 200;
};

namespace forum {
// "/topic,CODE.html" (the post list, newest first, today's posts as far as `now`, then the day
// before's) and "/news,CODE,ID.html" (one post). `path` is lower-case.
std::optional<SitePage> answer(Market& market, const QString& path, const QDateTime& now,
                               const QString& baseUrl);
}

namespace commentary {
// "/data/qgqp.asp?zqdm=CODE": the 千股千评 line of the stock, written from its quote at `now`.
std::optional<SitePage> answer(Market& market, const QString& path, const FieldReader& field,
                               const QDateTime& now);
}

namespace notices {
// "/notice/notice_list.aspx?code=CODE" (the notice list) and "/notice/notice_detail.aspx?id=ID".
std::optional<SitePage> answer(Market& market, const QString& path, const FieldReader& field,
                               const QDateTime& now);
}

namespace companypage {
// "/realstock/company/shCODE/nc.shtml" (rumours and research reports) and the pages behind them.
std::optional<SitePage> answer(Market& market, const QString& path, const QDateTime& now,
                               const QString& baseUrl);
}

} // namespace sandbox
