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

namespace feed {
class Market;
struct ForumPost;
struct NoticeEntry;
struct CompanyNewsAnswer;
}

namespace sandbox {

using namespace feed;

// A query or form field of the request by name.
using FieldReader = std::function<QString(const QString&)>;

struct SitePage {
    QString html;
    int status = 200;
};

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
// The path the 千股千评 page of a stock is asked for with ("?zqdm=CODE" follows).
inline constexpr char kPath[] = "/data/qgqp.asp";
// The stock's 千股千评 line in the simulated world, written from its quote at `now`; empty for the
// few stocks without one and for a code the world does not know.
QString simulated(Market& market, const QString& code, const QDateTime& now);
// The 千股千评 page of the stock `name` (empty: a code the site does not know); without the
// commentary cell when `opinion` is empty.
QString page(const QString& name, const QString& code, const QString& opinion);
}

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
// The code of a company news page path "/realstock/company/shCODE/nc.shtml" (lower-case), or none.
std::optional<QString> newsPageCode(const QString& path);
// The stock's rumours and research reports up to `today` in the simulated world.
CompanyNewsAnswer simulated(Market& market, const QString& code, const QDate& today);
// The company news page of `code` from `news`: a rumour's link is its item page on this site, a
// report's its own address when it has one.
QString newsPage(const QString& code, const CompanyNewsAnswer& news, const QString& baseUrl);
// The page behind a live rumour, "/realstock/company/shCODE/rumour/ID.shtml" with an id of a live
// source (see livenews.h): it sends the browser on to the question's page there. None for any
// other path.
std::optional<SitePage> movedPage(const QString& path);

// The pages behind the rumours and reports of the simulated world, and their lists.
std::optional<SitePage> answer(Market& market, const QString& path, const QDateTime& now,
                               const QString& baseUrl);
}

} // namespace sandbox
