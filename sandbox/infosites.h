// The outside information sites the stock-news panels read: the stock forum, the commentary page,
// the notice list and the company news page. Each answers the paths of its own site and returns
// none for any other path; pages are generated from the market world for every listed stock, and
// an unknown code gets the site's page without entries.
#pragma once

#include <QDateTime>
#include <QList>
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

struct ForumPost;

namespace forum {
// The stock's posts in the simulated world as its list shows them at `now`: newest first, today's
// posts as far as `now`, then the day before's. Author links point at `baseUrl`.
QList<ForumPost> simulated(Market& market, const QString& code, const QDateTime& now, const QString& baseUrl);
// The post list "/topic,CODE.html" of the stock `name` (empty: a code the forum does not know,
// a list without rows).
QString listPage(const QString& name, const QString& code, const QList<ForumPost>& posts, const QString& baseUrl);
// The page behind a live post, "/news,CODE,ID.html" or "/caifuhao,CODE,ID.html": it sends the
// browser on to the post on the forum or the 财富号 article; none for any other path.
std::optional<SitePage> movedPage(const QString& path);

// "/topic,CODE.html" (the post list) and "/news,CODE,ID.html" (one post). `path` is lower-case.
std::optional<SitePage> answer(Market& market, const QString& path, const QDateTime& now,
                               const QString& baseUrl);
}

namespace commentary {
// "/data/qgqp.asp?zqdm=CODE": the 千股千评 line of the stock, written from its quote at `now`.
std::optional<SitePage> answer(Market& market, const QString& path, const FieldReader& field,
                               const QDateTime& now);
}

struct NoticeEntry;

namespace notices {
// The stock's notices up to `today` in the simulated world, newest first as the list shows them.
QList<NoticeEntry> simulated(Market& market, const QString& code, const QDate& today);
// The notice list of the stock `name` (empty: a code the site does not know, a list without rows).
QString listPage(const QString& name, const QString& code, const QList<NoticeEntry>& notices);
// The page behind a live notice ("CODE_ARTCODE"): it sends the browser on to the notice on the
// announcement service; a page not found for an id of another form.
SitePage movedPage(const QString& id);

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
