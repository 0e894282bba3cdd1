// East Money's stock forum as the live market reads it: the request for a stock's post list on the
// forum's list page (`guba`) and on its JSON twin (`gbapi`), a reader for each reply, and the
// addresses of the posts themselves. Each reader returns nothing for a reply that is not a post
// list: a captcha or identity-check page, a refused request (rc other than 1), a list cut short.
#pragma once

#include "marketfeed.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QPair>
#include <QString>
#include <optional>

namespace feed::liveforum {

// How many posts one request asks for: about a day of a busy stock's bar.
inline constexpr int kPageSize = 80;

// The list page ordered by post time, "/list,600036,f_1.html"; its posts are the script value
// `var article_list={...};` of the page.
QString listPath(const QString& code);
// The same list from the JSON service: {"re":[...],"rc":1,"me":"..."}.
QString articleListPath(const QString& code);

// The extra headers both services want to see from a browser on the forum's own site.
QList<QPair<QByteArray, QByteArray>> requestHeaders(const QString& upstream);

// Where a forum post and a 财富号 article are read in a browser.
QString postAddress(const QString& code, const QString& postId);
QString caifuhaoAddress(const QString& articleId);

// The posts of the stock's own bar in a reply, newest first; the pinned and hot posts of other
// bars that the list also carries are left out. A post of the bar whose id, time or counts cannot
// be read makes the whole reply a failure, so the other source is asked.
std::optional<QList<ForumPost>> readListPage(const QByteArray& body, const QString& code);
std::optional<QList<ForumPost>> readArticleList(const QByteArray& body, const QString& code);

// The posts of `day`, in their order.
QList<ForumPost> postsOf(const QList<ForumPost>& posts, const QDate& day);

} // namespace feed::liveforum
